# Turns INPUT into a C++ source that defines qrx_data::SYMBOL as a string_view over its bytes.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "((('\\\\x[0-9a-f][0-9a-f]',)){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
"// Generated from ${INPUT}; do not edit.
#include <string_view>
namespace qrx_data {
namespace {
constexpr char bytes[${size} + 1] = {
${bytes}'\\0'};
}
extern const std::string_view ${SYMBOL};
const std::string_view ${SYMBOL}{bytes, ${size}};
}
")
