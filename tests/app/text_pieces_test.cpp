#include "quorvix_app/text_pieces.h"

#include <gtest/gtest.h>

namespace quorvix::app {
namespace {

TEST(TextPieces, ArePiecesBetweenAnySeparatorWithoutTheEmptyOnes) {
  using Pieces = std::vector<std::string_view>;
  const struct {
    std::string_view text, separators;
    Pieces pieces;
  } rows[] = {
      {"/usr/local/share:/usr/share", ":", {"/usr/local/share", "/usr/share"}},
      {"::/a::/b:", ":", {"/a", "/b"}},
      {"a, b\nc,\n", ",\n", {"a", " b", "c"}},
      {"one line", "\n", {"one line"}},
      {"", ":", {}},
      {":", ":", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(pieces(row.text, row.separators), row.pieces) << row.text;
}

}  // namespace
}  // namespace quorvix::app
