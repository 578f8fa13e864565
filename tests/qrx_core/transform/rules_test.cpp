// The key tables of the four input methods and their lookups. The effect of every mark rule is
// covered by the keys-to-word tables and by the round trip of every syllable.
#include "typing_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace typing_test;

TEST(InputMethodTables, KeysOfEachMethod) {
  struct Row {
    const InputMethodSpec* spec;
    std::string_view name;
    std::u32string_view tones;  // tone 1 to 5
    std::u32string_view marks;
    char32_t remove_key;
    bool vni_digits;
    std::size_t standalone;
    std::size_t insert;
  };
  const Row rows[] = {
      {&TELEX, "telex", U"sfrxj", U"aeowd", U'z', false, 1, 2},
      {&SIMPLE_TELEX, "simple_telex", U"sfrxj", U"aeowd", U'z', false, 0, 0},
      {&VNI, "vni", U"12345", U"6789", U'0', true, 0, 0},
      {&VIQR, "viqr", U"'`?~.", U"^(+d", U'0', false, 0, 0},
  };
  for (const Row& r : rows) {
    const InputMethodSpec& spec = *r.spec;
    SCOPED_TRACE(spec.name);
    EXPECT_EQ(spec.name, r.name);
    for (std::uint8_t tone = 1; tone <= 5; ++tone) {
      EXPECT_EQ(spec.tone_key(tone), r.tones[tone - 1]);
      EXPECT_EQ(spec.tone_of(r.tones[tone - 1]), tone);
    }
    EXPECT_EQ(spec.tone_key(0), std::nullopt);
    EXPECT_EQ(spec.tone_key(6), std::nullopt);
    std::u32string marks;
    for (const auto& m : spec.marks) marks.push_back(m.key);
    EXPECT_EQ(marks, r.marks);
    EXPECT_EQ(spec.remove_key, r.remove_key);
    EXPECT_EQ(spec.vni_digits, r.vni_digits);
    EXPECT_EQ(spec.standalone.size(), r.standalone);
    EXPECT_EQ(spec.insert.size(), r.insert);
  }
  // Exact lookups: no case folding.
  EXPECT_EQ(TELEX.tone_of(U'S'), std::nullopt);
  EXPECT_EQ(VNI.tone_of(U'6'), std::nullopt);
  EXPECT_TRUE(TELEX.marks_for(U'w').has_value());
  EXPECT_FALSE(TELEX.marks_for(U'W').has_value());
  EXPECT_FALSE(TELEX.marks_for(U's').has_value());
  EXPECT_EQ(TELEX.standalone_for(U'W'), std::nullopt);
}

TEST(InputMethodLookups, ExtraWordKeyAndFunctionKey) {
  struct Case {
    const InputMethodSpec* spec;
    char32_t key;
    bool extra_word_key;
    bool function_key;
  };
  const Case cases[] = {
      {&TELEX, U'W', false, true},  // lower-cased; letters are never extra word keys
      {&TELEX, U's', false, true},  {&TELEX, U'S', false, true},
      {&TELEX, U'[', false, true},  // insert keys are function keys only
      {&TELEX, U'1', false, false}, {&TELEX, U'z', false, true},
      {&TELEX, U'b', false, false}, {&SIMPLE_TELEX, U']', false, false},
      {&VNI, U'1', true, true},     {&VNI, U'0', true, true},
      {&VNI, U'6', true, true},     {&VNI, U'a', false, false},
      {&VNI, U's', false, false},   {&VIQR, U'^', true, true},
      {&VIQR, U'.', true, true},    {&VIQR, U'\'', true, true},
      {&VIQR, U'0', true, true},    {&VIQR, U'd', false, true},
      {&VIQR, U'!', false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.spec->extra_word_key(c.key), c.extra_word_key) << c.spec->name << " " << char(c.key);
    EXPECT_EQ(c.spec->is_function_key(c.key), c.function_key) << c.spec->name << " " << char(c.key);
  }
}

// Single-letter rules only; the keys of every marked letter are covered by the round trip.
TEST(InputMethodLookups, MarkKey) {
  struct Case {
    const InputMethodSpec* spec;
    char32_t base;
    Mark mark;
    std::optional<char32_t> key;
  };
  const Case cases[] = {
      {&TELEX, U'o', Mark::Horn, U'w'},
      {&TELEX, U'a', Mark::Breve, U'w'},
      {&VNI, U'e', Mark::Circumflex, U'6'},
      {&VIQR, U'd', Mark::Stroke, U'd'},
      {&TELEX, U'u', Mark::Circumflex, std::nullopt},
      {&TELEX, U'o', Mark::Breve, std::nullopt},
      {&VNI, U'u', Mark::Circumflex, std::nullopt},
      {&VIQR, U'o', Mark::Breve, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.spec->mark_key(c.base, c.mark), c.key)
        << c.spec->name << " " << char(c.base) << " " << static_cast<int>(c.mark);
  }
}

TEST(QuickTelex, SevenOnsetKeysOnly) {
  const std::u32string_view keys = U"cgknpqt";
  const std::u32string_view onsets[] = {U"ch", U"gi", U"kh", U"ng", U"ph", U"qu", U"th"};
  for (char32_t key = 0; key < 0x80; ++key) {
    const std::size_t at = keys.find(key);
    EXPECT_EQ(qrx_core::rules::quick_telex_onset(key),
              at == keys.npos ? std::nullopt : std::optional(onsets[at]))
        << char(key);
  }
  EXPECT_EQ(qrx_core::rules::quick_telex_onset(U'C'), std::nullopt);  // callers pass the lower-cased key
}

TEST(LowerKey, SingleCharacterFormsOnly) {
  using qrx_core::rules::lower_key;
  EXPECT_EQ(lower_key(U'A'), U'a');
  EXPECT_EQ(lower_key(U'a'), U'a');
  EXPECT_EQ(lower_key(U'1'), U'1');
  EXPECT_EQ(lower_key(U'Đ'), U'đ');
  EXPECT_EQ(lower_key(U'Ệ'), U'ệ');
  EXPECT_EQ(lower_key(U'\u0130'), U'\u0130');  // İ lower-cases to two characters
}

}  // namespace
