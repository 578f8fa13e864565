#include <vi_syllable/vi_syllable.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using vi_syllable::kIncomplete;
using vi_syllable::kInvalid;
using vi_syllable::kValid;

struct CheckCase {
  std::string word;
  std::uint8_t tone;
  bool allow_k;
  std::uint8_t status;
};

TEST(Check, Status) {
  const CheckCase cases[] = {
      // Characters
      {"", 0, false, kIncomplete},
      {"Ba", 0, false, kInvalid},
      {"ba1", 0, false, kInvalid},
      {"bá", 0, false, kInvalid},
      {"b-a", 0, false, kInvalid},
      // Onsets alone
      {"ng", 0, false, kIncomplete},
      {"kh", 0, false, kIncomplete},
      {"đ", 0, false, kIncomplete},
      {"q", 0, false, kIncomplete},
      {"qu", 0, false, kIncomplete},
      {"nq", 0, false, kInvalid},
      {"pt", 0, false, kInvalid},
      // Onset rules
      {"ke", 0, false, kValid},
      {"ca", 0, false, kValid},
      {"nghe", 0, false, kValid},
      {"ghi", 0, false, kValid},
      {"gi", 0, false, kValid},
      {"đi", 0, false, kValid},
      {"qua", 0, false, kValid},
      {"quy", 0, false, kValid},
      {"oai", 0, false, kValid},
      {"ka", 0, false, kInvalid},
      {"ce", 0, false, kInvalid},
      {"ngha", 0, false, kInvalid},
      {"gha", 0, false, kInvalid},
      {"nge", 0, false, kInvalid},
      {"ge", 0, false, kInvalid},
      {"quu", 0, false, kInvalid},
      {"quư", 0, false, kInvalid},
      // Nuclei without a final
      {"uo", 0, false, kIncomplete},
      {"ươ", 0, false, kIncomplete},
      {"ae", 0, false, kInvalid},
      {"tien", 0, false, kIncomplete},
      {"quyên", 0, false, kValid},
      {"quyen", 0, false, kIncomplete},
      {"thuơ", 0, false, kValid},
      // Finals
      {"ech", 0, false, kIncomplete},
      {"ech", 1, false, kIncomplete},
      {"ech", 2, false, kInvalid},
      {"ach", 0, false, kValid},
      {"uych", 0, false, kValid},
      {"oanh", 0, false, kValid},
      {"onh", 0, false, kInvalid},
      {"tiên", 0, false, kValid},
      {"tiêng", 0, false, kValid},
      {"tien", 4, false, kIncomplete},
      {"anha", 0, false, kInvalid},
      {"nghieng", 0, false, kIncomplete},
      {"nghiêng", 0, false, kValid},
      {"an", 0, false, kValid},
      {"amp", 0, false, kInvalid},
      {"đương", 0, false, kValid},
      {"mac", 0, false, kValid},
      {"mac", 1, false, kValid},
      {"mac", 5, false, kValid},
      {"mac", 2, false, kInvalid},
      {"mac", 3, false, kInvalid},
      {"mac", 4, false, kInvalid},
      {"tiet", 3, false, kInvalid},
      {"tiet", 0, false, kIncomplete},
      // The final k
      {"ak", 0, false, kInvalid},
      {"ak", 0, true, kValid},
      {"ak", 2, true, kInvalid},
      {"iek", 0, true, kIncomplete},
      {"iek", 0, false, kInvalid},
  };
  for (const CheckCase& c : cases) {
    EXPECT_EQ(vi_syllable::check_with(c.word, c.tone, c.allow_k), c.status)
        << c.word << " tone " << int(c.tone) << " k " << c.allow_k;
    if (!c.allow_k) {
      EXPECT_EQ(vi_syllable::check(c.word, c.tone), c.status) << c.word;
    }
  }
}

TEST(CheckFinal, StopFinalsWantAcuteOrDotBelow) {
  const CheckCase cases[] = {
      {"mac", 0, false, kInvalid}, {"mac", 1, false, kValid},       {"mac", 5, false, kValid},
      {"mac", 2, false, kInvalid}, {"ach", 0, false, kInvalid},     {"ach", 1, false, kValid},
      {"ak", 0, true, kInvalid},   {"ak", 1, true, kValid},         {"ak", 5, true, kValid},
      {"ak", 1, false, kInvalid},  {"man", 0, false, kValid},       {"man", 4, false, kValid},
      {"ba", 3, false, kValid},    {"tien", 0, false, kIncomplete}, {"", 0, false, kIncomplete},
  };
  for (const CheckCase& c : cases) {
    EXPECT_EQ(vi_syllable::check_final(c.word, c.tone, c.allow_k), c.status)
        << c.word << " tone " << int(c.tone) << " k " << c.allow_k;
  }
}

TEST(ToneAllowed, HeavyTonesStayOffStopFinals) {
  struct Case {
    const char* word;
    std::uint8_t tone;
    bool allow_k;
    bool allowed;
  };
  const Case cases[] = {
      {"mat", 4, false, false}, {"mat", 1, false, true}, {"mat", 5, false, true}, {"mat", 0, false, true},
      {"man", 4, false, true},  {"ak", 2, false, true},  {"ak", 2, true, false},  {"ech", 3, false, false},
      {"xyz", 2, false, true},  {"", 2, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vi_syllable::tone_allowed_with(c.word, c.tone, c.allow_k), c.allowed)
        << c.word << " tone " << int(c.tone) << " k " << c.allow_k;
    if (!c.allow_k) {
      EXPECT_EQ(vi_syllable::tone_allowed(c.word, c.tone), c.allowed) << c.word;
    }
  }
}

TEST(Check, LongAndMalformedWordsAreJudgedNotMisread) {
  EXPECT_EQ(vi_syllable::check("quyyyyyyyy", 0), kInvalid);
  EXPECT_EQ(vi_syllable::check("aaaaaaaaaaaaaaaa", 0), kInvalid);
  EXPECT_EQ(vi_syllable::check("nghnghngh", 0), kInvalid);
  EXPECT_EQ(vi_syllable::check("a\xff", 0), kInvalid);
  EXPECT_EQ(vi_syllable::check(std::string("a\0", 2), 0), kInvalid);
  EXPECT_EQ(vi_syllable::check("\xc4", 0), kInvalid);  // a lone lead byte of đ
}

}  // namespace
