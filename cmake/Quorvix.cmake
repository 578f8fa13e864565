# Helpers shared by every engine library, test and benchmark target.

set(QRX_WARNINGS -Wall -Wextra -Wpedantic -Werror)
# GCC 12 at -O3 reports overlapping copies inside std::string's own code wherever short strings
# are assigned or concatenated (GCC bug 105651); the report says nothing about our code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND QRX_WARNINGS -Wno-restrict)
endif()

# qrx_add_library(<name> SOURCES <files>... [DEPS <libs>...])
# A static library from the given files under <dir>/src, with its public headers under
# <dir>/include.
function(qrx_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/src/)
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_compile_options(${name} PRIVATE ${QRX_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# qrx_embed_data(<target> <file> <symbol>)
# Compiles <file> into <target> as `extern const std::string_view <symbol>` (namespace qrx_data),
# regenerated whenever the file changes, so built-in tables are never read from disk at run time.
function(qrx_embed_data target file symbol)
  get_filename_component(abs ${file} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${abs} -DOUTPUT=${out} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${abs} ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding ${file}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()

# qrx_add_test(<dir> SOURCES <files>... [DEPS <libs>...])
# One GoogleTest executable from the given files under tests/<dir>, named test_<dir> with "/"
# turned into "_", registered with CTest.
function(qrx_add_test dir)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/)
  string(REPLACE "/" "_" name "test_${dir}")
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${QRX_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
