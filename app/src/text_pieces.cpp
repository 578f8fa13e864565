#include "quorvix_app/text_pieces.h"

#include <algorithm>

namespace quorvix::app {

std::vector<std::string_view> pieces(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> result;
  while (!text.empty()) {
    const auto end = std::min(text.find_first_of(separators), text.size());
    if (end > 0) result.push_back(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return result;
}

}  // namespace quorvix::app
