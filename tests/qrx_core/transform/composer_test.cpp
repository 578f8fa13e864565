#include "typing_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace typing_test;
using qrx_core::transform::Composer;
using qrx_core::transform::diff;

TEST(Composer, OneStatePerKeyUpToTwentyFour) {
  Composer c(TELEX, defaults());
  EXPECT_EQ(c.states().size(), 1u);
  const std::u32string keys = U"bbbbbbbbbbbbbbbbbbbbbbbbbbbb";  // 28 keys
  for (std::size_t i = 0; i < keys.size(); ++i) {
    c.push(keys[i]);
    EXPECT_EQ(c.raw().size(), i + 1);
    EXPECT_EQ(c.states().size(), std::min<std::size_t>(i + 2, 25));
  }
  for (std::size_t i = keys.size(); i-- > 0;) {
    c.pop();
    EXPECT_EQ(c.raw(), keys.substr(0, i));
    EXPECT_EQ(c.states().size(), std::min<std::size_t>(i + 1, 25));
  }
}

TEST(Composer, TwentyFifthKeyIsNotStepped) {
  const std::u32string first24 = U"nghieeng nghieeng nghiee";
  ASSERT_EQ(first24.size(), 24u);
  Composer c = Composer::with_raw(TELEX, defaults(), first24);
  const TypingResult before = c.result(false);
  c.push(U's');
  EXPECT_EQ(c.states().size(), 25u);
  EXPECT_EQ(c.states().back(), Composer::with_raw(TELEX, defaults(), first24).states().back());
  const TypingResult long_word = c.result(false);
  EXPECT_EQ(long_word.text, "nghieeng nghieeng nghiees");
  EXPECT_FALSE(long_word.literal);
  EXPECT_EQ(long_word.status, vi_syllable::kInvalid);
  c.pop();
  EXPECT_EQ(c.result(false), before);
}

TEST(Composer, KeysBeyondTheInlineRoomAreKept) {
  std::u32string keys;
  for (int i = 0; i < 40; ++i) keys.push_back(U'a' + static_cast<char32_t>(i % 26));
  Composer c = Composer::with_raw(TELEX, defaults(), keys);
  EXPECT_EQ(c.raw(), keys);
  EXPECT_EQ(c.result(false).text, unicode::encode_utf8(keys));
  for (int i = 0; i < 10; ++i) c.pop();
  EXPECT_EQ(c.raw(), keys.substr(0, 30));
  c.push(U'!');
  EXPECT_EQ(c.raw(), keys.substr(0, 30) + U"!");
}

TEST(Composer, PopRestoresThePreviousWordDownToEmpty) {
  Composer c = Composer::with_raw(TELEX, defaults(), U"thuoww");
  EXPECT_EQ(c.result(false).text, "thươ");
  for (const char* word : {"thuơ", "thuo", "thu", "th", "t", ""}) {
    c.pop();
    EXPECT_EQ(c.result(false).text, word);
  }
  c.pop();  // on an empty word
  EXPECT_TRUE(c.raw().empty());
  EXPECT_EQ(c.states().size(), 1u);
  const TypingResult r = c.result(false);
  EXPECT_EQ(r.status, vi_syllable::kIncomplete);
  EXPECT_FALSE(r.literal);
}

TEST(Composer, VniDigitRulesBeforeAnyState) {
  const TypingResult r = Composer::with_raw(VNI, defaults(), U"a11").result(false);
  EXPECT_EQ(r.text, "a1");
  EXPECT_TRUE(r.literal);
  EXPECT_EQ(r.status, vi_syllable::kInvalid);
  // Popping the undoing press brings back the toned word.
  Composer c = Composer::with_raw(VNI, defaults(), U"a11");
  c.pop();
  EXPECT_EQ(c.result(false).text, "á");
}

TEST(Diff, CommonPrefixOnly) {
  struct Case {
    const char* old_text;
    const char* new_text;
    const char* insert;
    std::size_t deleted;
  };
  const Case cases[] = {
      {"tiêng", "tiếng", "ếng", 3}, {"ab", "abc", "c", 0},     {"abc", "ab", "", 1},
      {"việt", "việt", "", 0},      {"", "người", "người", 0}, {"người", "", "", 5},
      {"abcd", "xbcd", "xbcd", 4},  {"thuơ", "thươ", "ươ", 2},
  };
  for (const Case& c : cases) {
    const auto [insert, deleted] = diff(c.old_text, c.new_text);
    EXPECT_EQ(insert, c.insert) << c.old_text << " -> " << c.new_text;
    EXPECT_EQ(deleted, c.deleted) << c.old_text << " -> " << c.new_text;
  }
}

}  // namespace
