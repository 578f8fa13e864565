#include "typing_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace typing_test;
using qrx_core::rules::MarkedLetter;

std::u32string tone_keys(const InputMethodSpec& spec) {
  std::u32string keys;
  for (std::size_t i = 0; i < spec.tones.size(); ++i) {
    EXPECT_EQ(spec.tones[i].tone, i + 1) << spec.name;
    keys.push_back(spec.tones[i].key);
  }
  return keys;
}

std::u32string mark_keys(const InputMethodSpec& spec) {
  std::u32string keys;
  for (const auto& m : spec.marks) keys.push_back(m.key);
  return keys;
}

TEST(InputMethodTables, NamesKeysAndFlags) {
  EXPECT_EQ(TELEX.name, "telex");
  EXPECT_EQ(SIMPLE_TELEX.name, "simple_telex");
  EXPECT_EQ(VNI.name, "vni");
  EXPECT_EQ(VIQR.name, "viqr");

  EXPECT_EQ(tone_keys(TELEX), U"sfrxj");
  EXPECT_EQ(tone_keys(SIMPLE_TELEX), U"sfrxj");
  EXPECT_EQ(tone_keys(VNI), U"12345");
  EXPECT_EQ(tone_keys(VIQR), U"'`?~.");

  EXPECT_EQ(mark_keys(TELEX), U"aeowd");
  EXPECT_EQ(mark_keys(SIMPLE_TELEX), U"aeowd");
  EXPECT_EQ(mark_keys(VNI), U"6789");
  EXPECT_EQ(mark_keys(VIQR), U"^(+d");

  EXPECT_EQ(TELEX.remove_key, U'z');
  EXPECT_EQ(SIMPLE_TELEX.remove_key, U'z');
  EXPECT_EQ(VNI.remove_key, U'0');
  EXPECT_EQ(VIQR.remove_key, U'0');

  EXPECT_FALSE(TELEX.vni_digits);
  EXPECT_FALSE(SIMPLE_TELEX.vni_digits);
  EXPECT_TRUE(VNI.vni_digits);
  EXPECT_FALSE(VIQR.vni_digits);

  EXPECT_EQ(TELEX.standalone.size(), 1u);
  EXPECT_EQ(TELEX.insert.size(), 2u);
  for (const InputMethodSpec* spec : {&SIMPLE_TELEX, &VNI, &VIQR}) {
    EXPECT_TRUE(spec->standalone.empty()) << spec->name;
    EXPECT_TRUE(spec->insert.empty()) << spec->name;
  }
}

TEST(InputMethodTables, MarkRulesInOrder) {
  struct Row {
    const InputMethodSpec* spec;
    char32_t key;
    std::vector<std::tuple<std::u32string, Mark, bool>> rules;
  };
  const std::vector<Row> rows = {
      {&TELEX, U'a', {{U"a", Mark::Circumflex, false}}},
      {&TELEX, U'e', {{U"e", Mark::Circumflex, false}}},
      {&TELEX, U'o', {{U"o", Mark::Circumflex, false}}},
      {&TELEX, U'w', {{U"uo", Mark::Horn, true}, {U"uo", Mark::Horn, false}, {U"a", Mark::Breve, false}}},
      {&TELEX, U'd', {{U"d", Mark::Stroke, false}}},
      {&SIMPLE_TELEX,
       U'w',
       {{U"uo", Mark::Horn, true}, {U"uo", Mark::Horn, false}, {U"a", Mark::Breve, false}}},
      {&VNI, U'6', {{U"aeo", Mark::Circumflex, false}}},
      {&VNI, U'7', {{U"uo", Mark::Horn, true}, {U"uo", Mark::Horn, false}}},
      {&VNI, U'8', {{U"a", Mark::Breve, false}}},
      {&VNI, U'9', {{U"d", Mark::Stroke, false}}},
      {&VIQR, U'^', {{U"aeo", Mark::Circumflex, false}}},
      {&VIQR, U'(', {{U"a", Mark::Breve, false}}},
      {&VIQR, U'+', {{U"uo", Mark::Horn, true}, {U"uo", Mark::Horn, false}}},
      {&VIQR, U'd', {{U"d", Mark::Stroke, false}}},
  };
  for (const Row& row : rows) {
    const auto found = row.spec->marks_for(row.key);
    ASSERT_TRUE(found.has_value()) << row.spec->name << " " << static_cast<char>(row.key);
    ASSERT_EQ(found->size(), row.rules.size());
    for (std::size_t i = 0; i < row.rules.size(); ++i) {
      EXPECT_EQ((*found)[i].letters, std::get<0>(row.rules[i]));
      EXPECT_EQ((*found)[i].mark, std::get<1>(row.rules[i]));
      EXPECT_EQ((*found)[i].pair, std::get<2>(row.rules[i]));
    }
  }
}

TEST(InputMethodTables, StandaloneAndInsertKeys) {
  EXPECT_EQ(TELEX.standalone_for(U'w'), (MarkedLetter{U'u', Mark::Horn}));
  EXPECT_EQ(TELEX.standalone_for(U'W'), std::nullopt);  // exact key
  EXPECT_EQ(TELEX.insert_for(U'['), (MarkedLetter{U'o', Mark::Horn}));
  EXPECT_EQ(TELEX.insert_for(U']'), (MarkedLetter{U'u', Mark::Horn}));
  EXPECT_EQ(SIMPLE_TELEX.insert_for(U'['), std::nullopt);
  EXPECT_EQ(SIMPLE_TELEX.standalone_for(U'w'), std::nullopt);
  EXPECT_EQ(VNI.insert_for(U'['), std::nullopt);
}

TEST(InputMethodLookups, ExtraWordKey) {
  struct Case {
    const InputMethodSpec* spec;
    char32_t key;
    bool expected;
  };
  const Case cases[] = {
      {&TELEX, U'W', false}, {&TELEX, U's', false}, {&TELEX, U'S', false}, {&TELEX, U'[', false},
      {&TELEX, U'1', false}, {&TELEX, U'z', false}, {&VNI, U'1', true},    {&VNI, U'0', true},
      {&VNI, U'6', true},    {&VNI, U'a', false},   {&VIQR, U'^', true},   {&VIQR, U'.', true},
      {&VIQR, U'\'', true},  {&VIQR, U'0', true},   {&VIQR, U'd', false},  {&VIQR, U'!', false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.spec->extra_word_key(c.key), c.expected) << c.spec->name << " " << static_cast<char>(c.key);
  }
}

TEST(InputMethodLookups, IsFunctionKey) {
  EXPECT_TRUE(TELEX.is_function_key(U's'));
  EXPECT_TRUE(TELEX.is_function_key(U'S'));  // lower-cased
  EXPECT_TRUE(TELEX.is_function_key(U'['));
  EXPECT_TRUE(TELEX.is_function_key(U'W'));
  EXPECT_FALSE(TELEX.is_function_key(U'b'));
  EXPECT_FALSE(SIMPLE_TELEX.is_function_key(U']'));
  EXPECT_TRUE(VIQR.is_function_key(U'0'));
  EXPECT_FALSE(VNI.is_function_key(U's'));
}

TEST(InputMethodLookups, ToneOfAndToneKey) {
  EXPECT_EQ(TELEX.tone_of(U's'), 1);
  EXPECT_EQ(TELEX.tone_of(U'j'), 5);
  EXPECT_EQ(TELEX.tone_of(U'S'), std::nullopt);  // no case folding
  EXPECT_EQ(VIQR.tone_of(U'~'), 4);
  EXPECT_EQ(VNI.tone_of(U'6'), std::nullopt);
  for (const InputMethodSpec* spec : {&TELEX, &SIMPLE_TELEX, &VNI, &VIQR}) {
    EXPECT_EQ(spec->tone_key(0), std::nullopt) << spec->name;
    EXPECT_EQ(spec->tone_key(6), std::nullopt) << spec->name;
  }
  EXPECT_EQ(TELEX.tone_key(2), U'f');
  EXPECT_EQ(VNI.tone_key(3), U'3');
  EXPECT_EQ(VIQR.tone_key(5), U'.');
}

TEST(InputMethodLookups, MarkKey) {
  struct Case {
    const InputMethodSpec* spec;
    char32_t base;
    Mark mark;
    std::optional<char32_t> key;
  };
  const Case cases[] = {
      {&TELEX, U'a', Mark::Circumflex, U'a'},
      {&TELEX, U'e', Mark::Circumflex, U'e'},
      {&TELEX, U'o', Mark::Circumflex, U'o'},
      {&TELEX, U'u', Mark::Horn, U'w'},
      {&TELEX, U'o', Mark::Horn, U'w'},
      {&TELEX, U'a', Mark::Breve, U'w'},
      {&TELEX, U'd', Mark::Stroke, U'd'},
      {&TELEX, U'u', Mark::Circumflex, std::nullopt},
      {&TELEX, U'o', Mark::Breve, std::nullopt},
      {&VNI, U'a', Mark::Circumflex, U'6'},
      {&VNI, U'e', Mark::Circumflex, U'6'},
      {&VNI, U'u', Mark::Horn, U'7'},
      {&VNI, U'a', Mark::Breve, U'8'},
      {&VNI, U'd', Mark::Stroke, U'9'},
      {&VNI, U'u', Mark::Circumflex, std::nullopt},
      {&VIQR, U'a', Mark::Circumflex, U'^'},
      {&VIQR, U'u', Mark::Horn, U'+'},
      {&VIQR, U'a', Mark::Breve, U'('},
      {&VIQR, U'd', Mark::Stroke, U'd'},
      {&VIQR, U'o', Mark::Breve, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.spec->mark_key(c.base, c.mark), c.key)
        << c.spec->name << " " << static_cast<char>(c.base) << " " << static_cast<int>(c.mark);
  }
}

TEST(InputMethodLookups, MarksForIsExact) {
  EXPECT_TRUE(TELEX.marks_for(U'w').has_value());
  EXPECT_FALSE(TELEX.marks_for(U'W').has_value());
  EXPECT_FALSE(TELEX.marks_for(U's').has_value());
}

TEST(QuickTelex, SevenOnsetsInEighteenSlots) {
  EXPECT_EQ(qrx_core::rules::QUICK_TELEX_SLOTS, 18u);
  const std::vector<std::pair<char32_t, std::u32string_view>> expected = {
      {U'c', U"ch"}, {U'g', U"gi"}, {U'k', U"kh"}, {U'n', U"ng"},
      {U'p', U"ph"}, {U'q', U"qu"}, {U't', U"th"}};
  int found = 0;
  for (char32_t key = 0; key < 0x80; ++key) {
    const auto onset = qrx_core::rules::quick_telex_onset(key);
    if (!onset) continue;
    ++found;
    bool listed = false;
    for (const auto& [k, o] : expected) {
      if (k == key) {
        EXPECT_EQ(*onset, o);
        listed = true;
      }
    }
    EXPECT_TRUE(listed) << static_cast<char>(key);
  }
  EXPECT_EQ(found, 7);
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
