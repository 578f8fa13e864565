// Properties of the built-in charset data that conversion depends on.
#include <gtest/gtest.h>
#include <json/json.h>
#include <qrx_core/charset.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "letters.h"

namespace qrx_data {
extern const std::string_view charsets_json;
}

namespace {

using charset_test::kLetters;
using charset_test::utf8;

struct Facts {
  std::string_view id;  // in the order of the data
  std::size_t letters;
  std::size_t above_ff;           // letters whose value holds a character above U+00FF
  std::size_t shared_with_lower;  // upper-case letters carrying their lower-case letter's value
  std::size_t max_len;            // longest value, in characters
};

constexpr Facts kFacts[] = {
    {"tcvn3", 134, 0, 60, 1},         {"vni_windows", 134, 0, 0, 2},     {"cp1258", 134, 0, 0, 2},
    {"viqr", 134, 0, 0, 3},           {"viscii", 134, 27, 7, 1},         {"vps", 134, 28, 14, 1},
    {"bkhcm1", 134, 28, 0, 1},        {"bkhcm2", 134, 0, 0, 2},          {"vietware_x", 134, 0, 0, 2},
    {"vietware_full", 134, 8, 60, 1}, {"ncr_decimal", 134, 0, 0, 7},     {"ncr_hex", 102, 0, 0, 8},
    {"cstring_hex", 134, 0, 0, 6},    {"cstring_decimal", 134, 0, 0, 6},
};

// What Windows-1252 shows for bytes 0x80-0x9F where it defines a character.
const std::set<char32_t> kWindows1252High = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                             0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                             0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};

const json::Value& charsets() {
  static const json::Value root = json::parse(qrx_data::charsets_json).value();
  return *root.find("charsets");
}

std::map<char32_t, std::u32string> letter_map(const json::Value& entry) {
  std::map<char32_t, std::u32string> out;
  for (const json::Member& m : entry.find("map")->as_object()) {
    const std::u32string key = unicode::decode_utf8(m.name);
    EXPECT_EQ(key.size(), 1u) << m.name;
    out[key[0]] = unicode::decode_utf8(m.value.as_string());
  }
  return out;
}

// Their names are checked with the display names.
TEST(CharsetData, CharsetsAppearInOrder) {
  const json::Object& members = charsets().as_object();
  ASSERT_EQ(members.size(), std::size(kFacts));
  for (std::size_t i = 0; i < members.size(); ++i) EXPECT_EQ(members[i].name, kFacts[i].id);
}

TEST(CharsetData, MapPropertiesMatchEachTable) {
  for (const Facts& facts : kFacts) {
    SCOPED_TRACE(facts.id);
    const auto map = letter_map(*charsets().find(facts.id));
    EXPECT_EQ(map.size(), facts.letters);
    std::size_t above_ff = 0;
    std::size_t shared = 0;
    std::size_t max_len = 0;
    for (const auto& [letter, value] : map) {
      EXPECT_NE(kLetters.find(letter), std::u32string_view::npos);
      EXPECT_FALSE(value.empty());
      max_len = std::max(max_len, value.size());
      if (std::any_of(value.begin(), value.end(), [](char32_t c) { return c > 0xFF; })) {
        ++above_ff;
        for (char32_t c : value) {
          if (c > 0xFF) {
            EXPECT_TRUE(kWindows1252High.count(c)) << std::hex << static_cast<std::uint32_t>(c);
          }
        }
      }
      const char32_t lower = unicode::simple_lower(letter);
      if (lower != letter && map.count(lower) && map.at(lower) == value) ++shared;
    }
    EXPECT_EQ(above_ff, facts.above_ff);
    EXPECT_EQ(shared, facts.shared_with_lower);
    EXPECT_EQ(max_len, facts.max_len);
  }
}

TEST(CharsetData, NcrHexLeavesLatin1LettersOut) {
  const auto map = letter_map(*charsets().find("ncr_hex"));
  for (char32_t letter : kLetters) {
    EXPECT_EQ(map.count(letter) == 1, letter > 0xFF) << utf8(letter);
  }
}

// Only bkhcm1 gives one value to two different letters; every other shared value belongs to
// the two cases of one letter.
TEST(CharsetData, OnlyBkhcm1HasCollisions) {
  for (const Facts& facts : kFacts) {
    SCOPED_TRACE(facts.id);
    std::map<std::u32string, std::u32string> groups;
    for (const auto& [letter, value] : letter_map(*charsets().find(facts.id))) groups[value] += letter;
    std::map<std::u32string, std::u32string> collisions;
    for (const auto& [value, letters] : groups) {
      if (letters.size() == 1) continue;
      ASSERT_EQ(letters.size(), 2u);
      if (unicode::simple_lower(letters[0]) != unicode::simple_lower(letters[1])) {
        collisions[value] = letters;
      }
    }
    if (facts.id == "bkhcm1") {
      const std::map<std::u32string, std::u32string> expected = {{U"\u02DC", U"ẶỤ"}, {U"\u017D", U"ỊỴ"}};
      EXPECT_EQ(collisions, expected);
    } else {
      EXPECT_TRUE(collisions.empty());
    }
  }
}

// tcvn3 and Vietware Full give their own value only to the capitals of the marked base letters;
// VISCII and VPS give a few capitals their lower-case letter's value.
TEST(CharsetData, WhichCapitalsShareTheLowerCaseValue) {
  const std::tuple<std::string_view, bool, std::u32string_view> cases[] = {
      {"tcvn3", false, U"ÂÊÔĂĐƠƯ"},
      {"vietware_full", false, U"ÂÊÔĂĐƠƯ"},
      {"viscii", true, U"ÕẪẲẴỴỶỸ"},
      {"vps", true, U"ẠẪẬẶẸỆỊỌỘỢỤỮỰỴ"}};
  for (const auto& [id, shared, expected] : cases) {
    const auto map = letter_map(*charsets().find(id));
    std::u32string found;
    for (const auto& [letter, value] : map) {
      const char32_t lower = unicode::simple_lower(letter);
      if (lower != letter && (map.at(lower) == value) == shared) found += letter;
    }
    EXPECT_EQ(found, expected) << id;
  }
}

// Examples of each rule table are among the encoding examples.
TEST(CharsetData, ViqrValuesAreTwoOrThreePrintableAsciiCharacters) {
  for (const json::Member& m : charsets().find("viqr")->find("map")->as_object()) {
    const std::string& value = m.value.as_string();
    EXPECT_TRUE(value.size() == 2 || value.size() == 3) << value;
    EXPECT_TRUE(std::all_of(value.begin(), value.end(), [](char c) { return c > 0x20 && c < 0x7F; }));
  }
}

}  // namespace
