// Guessing the representation of a text.
#include <gtest/gtest.h>
#include <qrx_core/charset.h>

#include "letters.h"

namespace {

namespace cs = qrx_core::charset;
using Ids = std::vector<std::string_view>;

TEST(CharsetDetect, Examples) {
  const std::pair<std::string_view, Ids> cases[] = {
      {"", {}},
      {"Hello, world! 123 (ok)", {}},
      {"Việt Nam", {}},  // already Unicode: no table changes it
      {"&#7879;", {"ncr_decimal"}},
      {"&#x1EC7;", {"ncr_hex"}},
      {"\\x1EC7", {"cstring_hex"}},
      {"dd", {"viqr"}},
      {"a\u0300", charset_test::kDetectRank},  // every decoding composes
      // Equal scores follow the rank: viscii before vps.
      {"\u0192", {"viscii", "vps", "bkhcm1"}},
      // VIQR leaves two letters, the byte tables one: the higher score wins over the rank.
      {"\u00CC a'", {"viqr", "tcvn3", "vps", "bkhcm1", "vietware_full"}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(cs::detect(text), expected) << text;
}

TEST(CharsetDetect, LegacyTextIsRecognised) {
  const std::string tcvn3 = cs::encode("Tiếng Việt có dấu", "tcvn3");
  const Ids found = cs::detect(tcvn3);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.front(), "tcvn3");
  const Ids viqr = cs::detect(cs::encode("Tiếng Việt có dấu", "viqr"));
  ASSERT_FALSE(viqr.empty());
  EXPECT_EQ(viqr.front(), "viqr");
  for (std::string_view id : cs::detect("\u00C6\u00D6 \u00E4")) {
    EXPECT_NE(id, "unicode");
    EXPECT_NE(id, "unicode_nfd");
  }
}

}  // namespace
