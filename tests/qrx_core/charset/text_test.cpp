// Diacritic removal and case changes over whole texts.
#include <gtest/gtest.h>
#include <qrx_core/charset.h>

namespace {

namespace cs = qrx_core::charset;

TEST(RemoveDiacritics, Examples) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Đường Việt Nam", "Duong Viet Nam"},
      {"ñ", "n"},
      {"e\u0301\u0323", "e"},  // separate marks go too
      {"\u0301x", "x"},
      {"ø", "ø"},  // no decomposition
      {"ĐĂÂÊÔƠƯđăâêôơư", "DAAEOOUdaaeoou"},
      {"Ǻ", "A"},        // a mark over a mark
      {"한국", "한국"},  // Hangul decomposes to starters and composes again
      {"", ""},
      {"plain ASCII 123", "plain ASCII 123"},
      {"a\xFF", "a\uFFFD"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(cs::remove_diacritics(text), expected) << text;
}

TEST(ChangeCase, Modes) {
  struct Case {
    std::string_view text;
    std::string_view mode;
    std::optional<std::string_view> expected;
  };
  const Case cases[] = {
      {"Việt Nam", "upper", "VIỆT NAM"},
      {"Việt Nam", "UPPER", "VIỆT NAM"},
      {"ĐƯỜNG", "Lower", "đường"},
      {"ß", "upper", "SS"},
      {"x", " upper", std::nullopt},
      {"x", "upper ", std::nullopt},
      {"x", "", std::nullopt},
      {"x", "hello", std::nullopt},
      {"x", "upperx", std::nullopt},
      {"x", "TİTLE", std::nullopt},  // lower-cases to more than five bytes
      {"xin chào thế giới", "title", "Xin Chào Thế Giới"},
      {"hELLO wORLD", "Title", "HELLO WORLD"},
      {"a\tb\nc", "title", "A\tb\nc"},
      {"a  b", "title", "A  B"},
      {" a ", "title", " A "},
      {"ß ǆ", "title", "SS Ǆ"},
      {"", "title", ""},
      {"", "upper", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cs::change_case(c.text, c.mode), c.expected) << c.text << " " << c.mode;
}

}  // namespace
