// Helpers shared by the charset and emoji sources; not part of the library's interface.
#pragma once

#include <string_view>

namespace qrx_core::charset::detail {

// `text` without Unicode white space at either end.
std::string_view trim_white_space(std::string_view text);

}  // namespace qrx_core::charset::detail
