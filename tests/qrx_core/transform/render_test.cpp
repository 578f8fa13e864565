// Whole key sequences rendered into what the user sees: tone placement, the spelling-check
// fall-back to the keys as typed, the digit rules, and the reverse mapping from words to keys.
#include "typing_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace typing_test;

constexpr int kAnyStatus = -1;

struct Typed {
  const char* keys;
  const char* text;
  bool literal;
  int status;
};

void expect_typed(const std::vector<Typed>& cases, const InputMethodSpec& spec, const TypingOptions& options,
                  bool finishing) {
  for (const Typed& c : cases) {
    const TypingResult r = transform(keys_of(c.keys), spec, options, finishing);
    EXPECT_EQ(r.text, c.text) << spec.name << " keys " << c.keys;
    EXPECT_EQ(r.literal, c.literal) << spec.name << " keys " << c.keys;
    if (c.status != kAnyStatus) {
      EXPECT_EQ(r.status, c.status) << spec.name << " keys " << c.keys;
    }
  }
}

TypingOptions old_style() {
  TypingOptions o;
  o.tone_style = vi_syllable::ToneStyle::Old;
  return o;
}

TEST(RenderToneStyle, OldAndNew) {
  expect_typed({{"hoas", "hóa", false, kValid},
                {"hoaf", "hòa", false, kValid},
                {"khoer", "khỏe", false, kValid},
                {"thuyr", "thủy", false, kValid},
                {"toans", "toán", false, kValid},
                {"quys", "quý", false, kValid}},
               TELEX, old_style(), false);
  expect_typed({{"hoas", "hoá", false, kValid},
                {"hoaf", "hoà", false, kValid},
                {"khoer", "khoẻ", false, kValid},
                {"thuyr", "thuỷ", false, kValid},
                {"toans", "toán", false, kValid},
                {"quys", "quý", false, kValid},
                {"giaf", "già", false, kValid}},
               TELEX, defaults(), false);
}

TEST(RenderTones, PlacementAndCase) {
  expect_typed({{"Vieetj", "Việt", false, kValid},
                {"VIEETJ", "VIỆT", false, kValid},
                {"dduwowngf", "đường", false, kValid},
                {"DDuwowngf", "Đường", false, kValid},
                {"nguoiwf", "người", false, kValid},
                {"qus", "qú", false, kIncomplete},  // no vowel for the tone rules: the last vowel letter
                {"tieengs", "tiếng", false, kValid}},
               TELEX, defaults(), false);
}

TEST(RenderSpellCheck, FallBackToKeys) {
  expect_typed({{"text", "text", true, kInvalid},
                {"taa", "tâ", false, kIncomplete},
                {"ddn", "đn", false, kInvalid},  // no vowel after the đ: the stroke stays
                {"aaa", "aa", false, kInvalid},
                {"aaan", "aan", false, kInvalid},
                {"ass", "as", false, kInvalid},
                {"bas", "bá", false, kValid},
                {"tieng", "tieng", false, kIncomplete},  // untransformed words are never replaced
                {"ddawks", "ddawks", true, kInvalid}},
               TELEX, defaults(), false);
}

TEST(RenderSpellCheck, FinishingAWord) {
  expect_typed({{"taa", "taa", true, kIncomplete},  // incomplete with an onset
                {"aa", "â", false, kIncomplete},    // no onset
                {"tuow", "tươ", false, kIncomplete},
                {"macs", "mác", false, kValid},
                {"tieeng", "tiêng", false, kValid}},
               TELEX, defaults(), true);
}

TEST(RenderSpellCheck, Off) {
  TypingOptions o;
  o.spell_check = false;
  expect_typed({{"text", "tẽt", false, kInvalid}, {"taa", "tâ", false, kIncomplete}}, TELEX, o, false);
  expect_typed({{"taa", "tâ", false, kIncomplete}}, TELEX, o, true);
}

TEST(RenderSecondText, OnlyForALiteralModeWord) {
  TypingResult r = transform(U"ass", TELEX, defaults(), false);
  EXPECT_EQ(r.second_text, "as");
  r = transform(U"aaa", TELEX, defaults(), false);
  EXPECT_EQ(r.second_text, "");
  TypingOptions w;
  w.w_as_u = true;
  r = transform(U"ww", TELEX, w, false);
  EXPECT_EQ(r.text, "w");
  EXPECT_EQ(r.second_text, "w");
  r = transform(U"as", TELEX, defaults(), false);
  EXPECT_EQ(r.second_text, "");
}

TEST(RenderCodaK, AllowCodaK) {
  TypingOptions k;
  k.allow_coda_k = true;
  expect_typed({{"ddawks", "đắk", false, kValid},
                {"aks", "ák", false, kValid},
                {"akf", "akf", false, kInvalid}},  // only the sharp and heavy tones on a stop final
               TELEX, k, true);
  // Without it the tone key is a letter and the untransformed word shows as typed.
  expect_typed({{"aks", "aks", false, kInvalid}}, TELEX, defaults(), false);
  EXPECT_EQ(shown(typed("ddawks", TELEX, defaults()), defaults()), "đăks");  // before the fall-back
}

TEST(RenderVni, DigitRules) {
  expect_typed({{"a11", "a1", true, kInvalid},
                {"a66", "a6", true, kInvalid},
                {"a0", "a0", false, kAnyStatus},
                {"viet15", "viet15", true, kInvalid},
                {"a16", "ấ", false, kIncomplete},
                {"2024", "2024", true, kInvalid},
                {"Vie6t5", "Việt", false, kValid},
                {"d9u7o7ng2", "đường", false, kValid},
                {"a112", "a12", true, kInvalid}},
               VNI, defaults(), false);
}

// A doubled digit is one digit only when the pair was a press and its undoing; digits that did
// nothing to the word are all kept.
TEST(RenderVni, DoubledDigitsThatDidNothingAreKept) {
  expect_typed({{"x100", "x100", true, kInvalid},
                {"x99", "x99", false, kInvalid},
                {"A100", "A100", true, kInvalid},
                {"a00", "a00", true, kInvalid},
                {"11", "11", true, kInvalid},
                {"a1611", "a1611", true, kInvalid}},
               VNI, defaults(), false);
}

TEST(RenderVni, VniLiteralTakesOnlyUndonePairs) {
  using qrx_core::transform::vni_literal;
  EXPECT_EQ(vni_literal(U"a11", true, 0b10), "a1");
  EXPECT_EQ(vni_literal(U"a11", true, 0), "a11");  // two trailing tone digits
  EXPECT_EQ(vni_literal(U"a11", false, 0b10), std::nullopt);
  EXPECT_EQ(vni_literal(U"", true, 0), std::nullopt);
  EXPECT_EQ(vni_literal(U"abc", true, 0), std::nullopt);
  EXPECT_EQ(vni_literal(U"a99", true, 0), std::nullopt);
  EXPECT_EQ(vni_literal(U"a1", true, 0), std::nullopt);
  EXPECT_EQ(vni_literal(U"a6611", true, 0b1010), "a61");
}

TEST(RenderViqr, Words) {
  expect_typed(
      {{"Vie^.t", "Việt", false, kValid}, {"d-", "d-", false, kAnyStatus}, {"a''", "a'", false, kInvalid}},
      VIQR, defaults(), false);
}

TEST(RenderLimits, MoreThanTwentyFourKeys) {
  const std::string keys(25, 'b');
  const TypingResult r = transform(keys_of(keys), TELEX, defaults(), false);
  EXPECT_EQ(r.text, keys);
  EXPECT_FALSE(r.literal);
  EXPECT_EQ(r.status, kInvalid);
  const TypingResult digits = transform(keys_of(std::string(25, '1')), VNI, defaults(), false);
  EXPECT_FALSE(digits.literal);
}

TEST(RenderLiteralKeys, KeepTheCharacterTyped) {
  for (const char* keys : {"ẞ", "ǅa", "aẞ", "K"}) {
    EXPECT_EQ(transform(keys_of(keys), TELEX, defaults(), false).text, keys);
  }
  EXPECT_EQ(transform(U"Á", TELEX, defaults(), false).text, "Á");
  EXPECT_EQ(transform(U"Đi", TELEX, defaults(), false).text, "Đi");
}

TEST(ReverseMapping, ToRaw) {
  using qrx_core::transform::to_raw;
  struct Case {
    const InputMethodSpec* spec;
    const char* word;
    std::optional<std::string> keys;
  };
  const Case cases[] = {
      {&TELEX, "Việt", "Vieetj"},
      {&TELEX, "đường", "dduwowngf"},
      {&TELEX, "Â", "AA"},
      {&TELEX, "xoong", "xooong"},
      {&TELEX, "ĐƯỜNG", "DDUWOWNGf"},
      {&TELEX, "", ""},
      {&VNI, "Việt", "Vie6t5"},
      {&VNI, "đường", "d9u7o7ng2"},
      {&VNI, "xoong", "xoong"},
      {&VIQR, "Việt", "Vie^t."},
      {&VIQR, "Ư", "U+"},
      {&SIMPLE_TELEX, "ăn", "awn"},
      {&TELEX, "a1", std::nullopt},
      {&TELEX, "ba.", std::nullopt},
      {&TELEX, "ß", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(to_raw(c.word, *c.spec), c.keys) << c.spec->name << " " << c.word;
}

TEST(ReverseMapping, Rebuild) {
  using qrx_core::transform::rebuild;
  EXPECT_EQ(rebuild("xoong", TELEX, defaults()), U"xooong");
  EXPECT_EQ(rebuild("Việt", TELEX, defaults()), U"Vieetj");
  EXPECT_EQ(rebuild("ưo", TELEX, defaults()), std::nullopt);  // its keys show ươ
  // The keys place the tone by the option, so a word in the other style is not given back.
  EXPECT_EQ(rebuild("hòa", TELEX, defaults()), std::nullopt);
  EXPECT_EQ(rebuild("hòa", TELEX, old_style()), U"hoaf");
  EXPECT_EQ(rebuild("a1", TELEX, defaults()), std::nullopt);
}

}  // namespace
