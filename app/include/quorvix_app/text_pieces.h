// Text cut into pieces at separators, as lists are written in the preferences window, in search
// paths and in Fcitx5's reports.
#pragma once

#include <string_view>
#include <vector>

namespace quorvix::app {

// The pieces of `text` between any of the `separators`, in order, the empty ones left out.
std::vector<std::string_view> pieces(std::string_view text, std::string_view separators);

}  // namespace quorvix::app
