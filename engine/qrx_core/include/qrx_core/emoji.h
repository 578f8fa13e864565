// A small built-in table of emoji, searchable by Vietnamese name or keyword without regard to
// accents or case.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace qrx_core::emoji {

struct Emoji {
  std::string_view emoji;     // one or more code points
  std::string_view name;      // Vietnamese, with diacritics
  std::string_view keywords;  // lower-case ASCII words separated by single blanks
};

// The 68 rows, in their fixed order.
std::span<const Emoji> table();

// At most `limit` (emoji, name) pairs whose name or keywords contain the query; those that
// start with it first, then shorter names. An empty query lists the table from the start.
std::vector<std::pair<std::string_view, std::string_view>> search(std::string_view query, std::size_t limit);

}  // namespace qrx_core::emoji
