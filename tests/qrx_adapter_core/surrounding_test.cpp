#include <qrx_adapter_core/surrounding.h>

#include <gtest/gtest.h>
#include <unicode_text/unicode.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace qrx_adapter_core::surrounding;
using std::nullopt;
using std::optional;
using std::string_view;

// "a", U+1F600 (a surrogate pair in UTF-16), "b": four UTF-16 units.
const std::string kPairText = "a\U0001F600b";

TEST(Utf16Slices, CutsOnlyOnCharacterBoundaries) {
  struct Case {
    bool prefix;
    std::uint32_t n;
    optional<string_view> expected;
  };
  const std::vector<Case> cases = {
      {true, 0, ""},         {true, 1, "a"},
      {true, 2, nullopt},    {true, 3, "a\U0001F600"},
      {true, 4, kPairText},  {true, 5, nullopt},
      {false, 0, ""},        {false, 1, "b"},
      {false, 2, nullopt},   {false, 3, "\U0001F600b"},
      {false, 4, kPairText}, {false, 5, nullopt},
  };
  for (const auto& c : cases) {
    const auto got = c.prefix ? utf16_prefix(kPairText, c.n) : utf16_suffix(kPairText, c.n);
    EXPECT_EQ(got, c.expected) << (c.prefix ? "prefix " : "suffix ") << c.n;
  }
}

TEST(NextCodepoint, GivesTheCharacterAtAUnitOffset) {
  const std::vector<std::pair<std::uint32_t, optional<char32_t>>> cases = {
      {0, U'a'}, {1, U'\U0001F600'}, {2, nullopt}, {3, U'b'}, {4, nullopt}, {9, nullopt}};
  for (const auto& [offset, expected] : cases) {
    EXPECT_EQ(next_codepoint(kPairText, offset), expected) << offset;
  }
}

TEST(CharOffsets, CountTheSurrogatePairAsTwoUnits) {
  EXPECT_EQ(char_to_utf16_offset(kPairText, 2), 3u);
  EXPECT_EQ(char_to_utf16_offset(kPairText, 3), 4u);
  EXPECT_EQ(char_to_utf16_offset(kPairText, 4), nullopt);
  EXPECT_EQ(char_to_byte_offset(kPairText, 2), 5u);
  EXPECT_EQ(char_to_byte_offset(kPairText, 3), 6u);
  EXPECT_EQ(utf16_to_char_offset(kPairText, 3), 2u);
  EXPECT_EQ(utf16_to_char_offset(kPairText, 2), nullopt);
  EXPECT_EQ(utf16_to_byte_offset(kPairText, 4), 6u);
  EXPECT_EQ(utf16_to_byte_offset(kPairText, 5), nullopt);
  EXPECT_EQ(char_suffix_utf16_len(kPairText, 2), 3u);
  EXPECT_EQ(utf16_len(kPairText), 4u);
}

TEST(CharSuffix, EmptyText) {
  EXPECT_EQ(char_suffix("", 0), optional<string_view>(""));
  EXPECT_EQ(char_suffix("", 1), nullopt);
  EXPECT_EQ(char_suffix("việt", 2), optional<string_view>("ệt"));
}

TEST(WordCodepoint, RangesAndTheirBorders) {
  struct Case {
    char32_t c;
    bool word;
  };
  const std::vector<Case> cases = {
      {0x1EBF, true},  {0x0111, true},  {0x0301, true},   {U'_', true},    {U'-', false},   {U' ', false},
      {0x00AA, false}, {0x2019, false}, {0x00B5, false},  {U'/', false},   {U'0', true},    {U'9', true},
      {U':', false},   {U'@', false},   {U'A', true},     {U'Z', true},    {U'[', false},   {U'^', false},
      {U'`', false},   {U'a', true},    {U'z', true},     {U'{', false},   {0x00BF, false}, {0x00C0, true},
      {0x00D7, true},  {0x00F7, true},  {0x024F, true},   {0x0250, false}, {0x02FF, false}, {0x0300, true},
      {0x036F, true},  {0x0370, false}, {0x1DFF, false},  {0x1E00, true},  {0x1EFF, true},  {0x1F00, false},
      {0x0410, false}, {0x4E2D, false}, {0x1F600, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_word_codepoint(c.c), c.word) << std::hex << static_cast<std::uint32_t>(c.c);
  }
}

// Independent reference: positions computed from the decoded characters, not by walking bytes.
struct Reference {
  std::vector<std::size_t> byte_at;    // byte offset of character i (size+1 entries)
  std::vector<std::uint32_t> unit_at;  // UTF-16 offset of character i
  std::uint32_t units() const { return unit_at.back(); }
  std::uint32_t chars() const { return static_cast<std::uint32_t>(byte_at.size() - 1); }
  // Character index at a UTF-16 offset, none between the units of a pair or past the end.
  optional<std::uint32_t> char_at_unit(std::uint32_t unit) const {
    for (std::uint32_t i = 0; i < unit_at.size(); ++i) {
      if (unit_at[i] == unit) return i;
    }
    return nullopt;
  }
};

Reference reference_of(const std::u32string& chars) {
  Reference ref;
  ref.byte_at.push_back(0);
  ref.unit_at.push_back(0);
  for (const char32_t c : chars) {
    ref.byte_at.push_back(ref.byte_at.back() + unicode::encode_utf8(c).size());
    ref.unit_at.push_back(ref.unit_at.back() + (c >= 0x10000 ? 2 : 1));
  }
  return ref;
}

std::u32string random_text(std::mt19937& rng, std::size_t length) {
  // ASCII, Vietnamese letters (precomposed and decomposed), two- and three-byte edges,
  // and characters beyond the Basic Multilingual Plane.
  static const std::u32string pool =
      U"aZ0_ ~\u007F\u0080\u00E2\u0111\u01A1\u0301\u0323"
      U"\u1EBF\u1EC7\u1EAD\u2019\uD7FF\uE000\uFFFD\uFFFF"
      U"\U00010000\U0001F600\U00020000\U0010FFFF";
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::u32string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back(pool[pick(rng)]);
  return text;
}

TEST(Offsets, AgreeWithAnIndependentCountOnGeneratedTexts) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<std::size_t> length(0, 24);
  for (int round = 0; round < 600; ++round) {
    const std::u32string chars = random_text(rng, length(rng));
    const std::string text = unicode::encode_utf8(chars);
    const Reference ref = reference_of(chars);
    SCOPED_TRACE(text);

    EXPECT_EQ(utf16_len(text), ref.units());
    EXPECT_EQ(char_len(text), ref.chars());
    for (std::uint32_t n = 0; n <= ref.chars() + 2; ++n) {
      const bool in_range = n <= ref.chars();
      EXPECT_EQ(char_to_byte_offset(text, n), in_range ? optional<std::size_t>(ref.byte_at[n]) : nullopt);
      EXPECT_EQ(char_to_utf16_offset(text, n), in_range ? optional<std::uint32_t>(ref.unit_at[n]) : nullopt);
      const std::uint32_t first = ref.chars() - n;
      EXPECT_EQ(char_suffix(text, n),
                in_range ? optional<string_view>(string_view(text).substr(ref.byte_at[first])) : nullopt);
      EXPECT_EQ(char_suffix_utf16_len(text, n),
                in_range ? optional<std::uint32_t>(ref.units() - ref.unit_at[first]) : nullopt);
    }
    for (std::uint32_t u = 0; u <= ref.units() + 2; ++u) {
      const auto at = ref.char_at_unit(u);
      EXPECT_EQ(utf16_to_char_offset(text, u), at);
      EXPECT_EQ(utf16_to_byte_offset(text, u), at ? optional<std::size_t>(ref.byte_at[*at]) : nullopt);
      EXPECT_EQ(utf16_prefix(text, u),
                at ? optional<string_view>(string_view(text).substr(0, ref.byte_at[*at])) : nullopt);
      EXPECT_EQ(next_codepoint(text, u), at && *at < ref.chars() ? optional<char32_t>(chars[*at]) : nullopt);
      // The suffix of u units starts where the prefix of (total - u) units ends.
      const auto from = u <= ref.units() ? ref.char_at_unit(ref.units() - u) : nullopt;
      EXPECT_EQ(utf16_suffix(text, u),
                from ? optional<string_view>(string_view(text).substr(ref.byte_at[*from])) : nullopt);
    }
  }
}

TEST(Offsets, InvalidBytesNeverMakeAWalkLeaveTheText) {
  // Truncated sequences and stray continuation bytes, each in a buffer of exactly its size so
  // that the sanitizer sees any read past the end.
  const std::vector<std::string> samples = {"\xF0",     "a\xF0\x9F", "\xE1\xBA",
                                            "\x80\x80", "\xC3",      "\xF4\x80\x80"};
  for (const auto& sample : samples) {
    const auto buffer = std::make_unique<char[]>(sample.size());
    std::copy(sample.begin(), sample.end(), buffer.get());
    const string_view text(buffer.get(), sample.size());
    for (std::uint32_t n = 0; n < 6; ++n) {
      const auto by_char = char_to_byte_offset(text, n);
      const auto by_unit = utf16_to_byte_offset(text, n);
      EXPECT_TRUE(!by_char || *by_char <= text.size()) << n;
      EXPECT_TRUE(!by_unit || *by_unit <= text.size()) << n;
      (void)char_suffix(text, n);
      (void)utf16_prefix(text, n);
      (void)utf16_suffix(text, n);
      (void)next_codepoint(text, n);
      (void)char_suffix_utf16_len(text, n);
    }
  }
}

FieldState snapshot(string_view surrounding, std::uint32_t cursor, std::uint32_t anchor) {
  FieldState field;
  field.surrounding = surrounding;
  field.cursor_utf16 = cursor;
  field.anchor_utf16 = anchor;
  return field;
}

TEST(CheckReplace, ConfirmsOnlyWhatStandsJustBeforeTheCaret) {
  struct Case {
    const char* name;
    string_view display;
    FieldState field;
    std::uint32_t n;
    optional<VerifiedDeletion> expected;
  };
  FieldState unread;
  const std::vector<Case> cases = {
      {"display ends the text before the caret", "vie", snapshot("xin vie", 7, 7), 3,
       VerifiedDeletion{"vie", 3, 3}},
      {"part of the display", "viê", snapshot("xin viê", 7, 7), 1, VerifiedDeletion{"ê", 1, 1}},
      {"caret before a space", "vie", snapshot("vie tiep", 3, 3), 3, VerifiedDeletion{"vie", 3, 3}},
      {"astral character", "a\U0001F600", snapshot("a\U0001F600", 3, 3), 2,
       VerifiedDeletion{"\U0001F600", 2, 1}},
      {"empty display: the snapshot is the text", "", snapshot("ab", 2, 2), 1, VerifiedDeletion{"b", 1, 1}},
      {"deletion reaching before the display", "chao", snapshot("xin chao", 8, 8), 8,
       VerifiedDeletion{"xin chao", 8, 8}},
      {"nothing to delete", "vie", snapshot("vie", 3, 3), 0, nullopt},
      {"no snapshot", "vie", unread, 3, nullopt},
      {"selection", "vie", snapshot("vie", 3, 1), 3, nullopt},
      {"letter after the caret", "vie", snapshot("viet", 3, 3), 3, nullopt},
      {"Vietnamese letter after the caret", "vi", snapshot("việt", 2, 2), 2, nullopt},
      {"display elsewhere", "vie", snapshot("abc", 3, 3), 3, nullopt},
      {"caret past the snapshot", "vie", snapshot("vie", 4, 4), 3, nullopt},
      {"caret inside a pair", "a", snapshot("\U0001F600a", 1, 1), 1, nullopt},
      {"deletion longer than the field", "vie", snapshot("vie", 3, 3), 4, nullopt},
      {"longer deletion, display not at the caret", "chao", snapshot("xin chat", 8, 8), 8, nullopt},
      {"deletion cutting a pair", "\U0001F600", snapshot("\U0001F600", 2, 2), 1, nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(check_replace(c.display, c.field, c.n), c.expected) << c.name;
  }
}

}  // namespace
