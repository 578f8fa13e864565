# Installs the library into a fresh prefix, then builds and runs a C host against the installed
# copy: with pkg-config (shared and static) and with find_package (both targets), from a project
# that also enables C++ and from one in C alone.
# Usage: cmake -DBUILD_DIR= -DWORK_DIR= -DCONSUMER_DIR= -DC_CONSUMER_DIR= -DC_COMPILER= -DCXX_COMPILER=
#              -DGENERATOR= [-DEXTRA_FLAGS=] -P install_test.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${shown}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component quorvix)

if(NOT EXISTS ${prefix}/include/quorvix.h)
  message(FATAL_ERROR "not installed: include/quorvix.h")
endif()
file(GLOB_RECURSE pc_files ${prefix}/*/quorvix.pc)
file(GLOB_RECURSE config_files ${prefix}/*/QuorvixConfig.cmake)
file(GLOB_RECURSE archives ${prefix}/*/libquorvix.a)
file(GLOB_RECURSE shared_libs ${prefix}/*/libquorvix.so)
foreach(found pc_files config_files archives shared_libs)
  list(LENGTH ${found} count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one installed file for ${found}, found: ${${found}}")
  endif()
endforeach()
get_filename_component(libdir ${shared_libs} DIRECTORY)
get_filename_component(pc_dir ${pc_files} DIRECTORY)

# ---- pkg-config ----
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --modversion quorvix)
string(STRIP "${run_output}" version)
if(NOT version STREQUAL "0.1.2")
  message(FATAL_ERROR "pkg-config reports version ${version}")
endif()

run(pkg-config --cflags --libs quorvix)
separate_arguments(shared_flags UNIX_COMMAND "${run_output}")
# The program finds the shared library where the package file says it is installed, with no
# LD_LIBRARY_PATH and no run path of its own.
run(${C_COMPILER} -std=c99 ${extra} ${CONSUMER_DIR}/consumer.c ${shared_flags} -o ${WORK_DIR}/pc_shared)
run(${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${WORK_DIR}/pc_shared)

# Statically: the archive by its file name (next to the shared library of the same name), and
# what pkg-config lists for static linking. The program runs with no path to the shared library.
run(pkg-config --cflags --static --libs quorvix)
string(REPLACE "-lquorvix" "-l:libquorvix.a" static_line "${run_output}")
separate_arguments(static_flags UNIX_COMMAND "${static_line}")
run(${C_COMPILER} -std=c99 ${extra} ${CONSUMER_DIR}/consumer.c ${static_flags} -o ${WORK_DIR}/pc_static)
run(${WORK_DIR}/pc_static)

# ---- find_package ----
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    "-DCMAKE_C_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer_shared)
run(${WORK_DIR}/consumer/consumer_static)

# A project in C alone, whose links the C compiler makes.
run(${CMAKE_COMMAND} -S ${C_CONSUMER_DIR} -B ${WORK_DIR}/c_consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER}
    "-DCMAKE_C_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/c_consumer)
run(${WORK_DIR}/c_consumer/c_consumer_shared)
run(${WORK_DIR}/c_consumer/c_consumer_static)

message(STATUS "installed library builds and runs with pkg-config and find_package")
