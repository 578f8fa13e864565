// The syllable model: letters taken apart and put together, tone placement and removal, the
// tone style's JSON form, syllable parsing and validity.
#include <vi_syllable/vi_syllable.h>

#include <gtest/gtest.h>
#include <qrx_json/json.h>
#include <qrx_unicode/unicode.h>

#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using vi_syllable::kIncomplete;
using vi_syllable::kInvalid;
using vi_syllable::kValid;
using vi_syllable::Mark;
using vi_syllable::PackedLetter;
using vi_syllable::StringSet;
using vi_syllable::ToneStyle;

std::string hex(char32_t c) { return "U+" + std::to_string(static_cast<unsigned>(c)); }

TEST(DecomposeChar, BaseMarkToneAndCase) {
  // Vietnamese letters are covered by the round trip of every letter below.
  const std::tuple<char32_t, char32_t, bool, Mark, std::uint8_t> cases[] = {
      {U'7', U'7', false, Mark::None, 0},
      {U'A', U'a', true, Mark::None, 0},
      {U' ', U' ', false, Mark::None, 0},
      {U'ẞ', U'ß', true, Mark::None, 0},
      // Outside Latin: a Greek vowel with an acute.
      {U'Ά', U'α', true, Mark::None, 1},
      // Parts that are no Vietnamese tone or mark stay with the base.
      {U'한', U'한', false, Mark::None, 0},
      {U'ü', U'ü', false, Mark::None, 0},
      {U'ǘ', U'ü', false, Mark::None, 1},
      {U'Ḉ', U'ç', true, Mark::None, 1},
      {U'\u0958', U'\u0958', false, Mark::None, 0},  // क़, whose parts do not compose again
  };
  for (const auto& [c, base, upper, mark, tone] : cases) {
    EXPECT_EQ(vi_syllable::decompose_char(c), PackedLetter::pack(base, upper, mark, tone)) << hex(c);
  }
}

TEST(ComposeChar, BuildsOneCharacter) {
  const std::tuple<char32_t, Mark, std::uint8_t, bool, char32_t> cases[] = {
      {U'a', Mark::Stroke, 2, false, U'à'},  // the stroke only belongs on d
      {U'x', Mark::Circumflex, 1, false, U'x'}, {U'a', Mark::None, 9, false, U'a'},  // no such tone
      {U'7', Mark::None, 1, true, U'7'},        {U'ü', Mark::None, 1, false, U'ǘ'},
      {U'α', Mark::None, 1, true, U'Ά'},        {U'한', Mark::None, 1, false, U'한'},
      {U'ß', Mark::None, 0, true, U'ß'},  // its upper case is two letters
  };
  for (const auto& [base, mark, tone, upper, result] : cases) {
    EXPECT_EQ(vi_syllable::compose_char(base, mark, tone, upper), result)
        << hex(base) << " mark " << int(mark) << " tone " << int(tone) << " upper " << upper;
  }
}

// Every Vietnamese letter, each vowel in its six tones in tone order, in both cases.
constexpr std::u32string_view kVietnameseLetters =
    U"aáàảãạăắằẳẵặâấầẩẫậeéèẻẽẹêếềểễệiíìỉĩịoóòỏõọôốồổỗộơớờởỡợuúùủũụưứừửữựyýỳỷỹỵđ"
    U"AÁÀẢÃẠĂẮẰẲẴẶÂẤẦẨẪẬEÉÈẺẼẸÊẾỀỂỄỆIÍÌỈĨỊOÓÒỎÕỌÔỐỒỔỖỘƠỚỜỞỠỢUÚÙỦŨỤƯỨỪỬỮỰYÝỲỶỸỴĐ";

TEST(Letters, EveryVietnameseLetterComesApartAndBackTogether) {
  ASSERT_EQ(kVietnameseLetters.size(), 2u * (12 * 6 + 1));
  for (std::size_t i = 0; i < kVietnameseLetters.size(); ++i) {
    const char32_t c = kVietnameseLetters[i];
    const PackedLetter p = vi_syllable::decompose_char(c);
    const std::size_t in_case = i % (12 * 6 + 1);
    EXPECT_EQ(p.upper(), i >= 12 * 6 + 1) << hex(c);
    const bool stroke = in_case == 12 * 6;
    EXPECT_EQ(p.tone(), stroke ? 0 : in_case % 6) << hex(c);
    EXPECT_EQ(p.mark() == Mark::Stroke, stroke) << hex(c);
    EXPECT_EQ(vi_syllable::is_vowel(vi_syllable::compose_char(p.base(), p.mark(), 0, false)), !stroke)
        << hex(c);
    EXPECT_TRUE(p.base() >= U'a' && p.base() <= U'z') << hex(c);
    EXPECT_EQ(vi_syllable::compose_char(p.base(), p.mark(), p.tone(), p.upper()), c) << hex(c);
  }
}

TEST(ToneIndex, OldAndNewStyle) {
  const std::tuple<std::string, std::optional<std::size_t>, std::optional<std::size_t>> cases[] = {
      {"hoa", 1, 2},   {"thuy", 2, 3}, {"khoe", 2, 3}, {"hoan", 2, 2}, {"nguoi", 3, 3}, {"nguơi", 3, 3},
      {"quy", 2, 2},   {"gia", 2, 2},  {"gi", 1, 1},   {"viêt", 2, 2}, {"viet", 2, 2},  {"thuơ", 3, 3},
      {"tuyêt", 3, 3}, {"mua", 1, 1},  {"oai", 1, 1},  {"ươi", 1, 1},  {"uyu", 1, 1},   {"a", 0, 0},
      {"đương", 2, 2}, {"ng", {}, {}}, {"qu", {}, {}}, {"", {}, {}},   {"xyz", 1, 1},   {"aoeu", 0, 0},
  };
  for (const auto& [word, old_style, new_style] : cases) {
    EXPECT_EQ(vi_syllable::tone_index(word, ToneStyle::Old), old_style) << word;
    EXPECT_EQ(vi_syllable::tone_index(word, ToneStyle::New), new_style) << word;
  }
}

// Text that is not Vietnamese survives whole.
TEST(StripTone, RemovesTonesKeepsEverythingElse) {
  const std::tuple<std::string, std::string, std::uint8_t> cases[] = {
      {"Việt", "Viêt", 5}, {"hoà", "hoa", 2},       {"", "", 0},
      {"ĐẶNG", "ĐĂNG", 5}, {"한국", "한국", 0},     {"Việt 한국", "Viêt 한국", 5},
      {"ǘ", "ü", 1},       {"a\xff", "a\uFFFD", 0}, {"\u0958", "\u0958", 0},
  };
  for (const auto& [text, stripped, tone] : cases) {
    EXPECT_EQ(vi_syllable::strip_tone(text), (vi_syllable::StripResult{stripped, tone})) << text;
  }
}

TEST(PlaceTone, PutsTheToneOnTheRightLetter) {
  const std::tuple<std::string, std::uint8_t, ToneStyle, std::string> cases[] = {
      {"viet", 5, ToneStyle::New, "viẹt"}, {"viêt", 5, ToneStyle::New, "việt"},
      {"hoa", 2, ToneStyle::Old, "hòa"},   {"hoa", 2, ToneStyle::New, "hoà"},
      {"THUY", 3, ToneStyle::Old, "THỦY"}, {"THUY", 3, ToneStyle::New, "THUỶ"},
      {"hóa", 0, ToneStyle::New, "hoa"},   {"Việt", 1, ToneStyle::New, "Viết"},
      {"HOÀ", 1, ToneStyle::Old, "HÓA"},   {"Đuong", 2, ToneStyle::New, "Đuòng"},
      {"ng", 2, ToneStyle::New, "ng"},     {"", 1, ToneStyle::New, ""},
      {"한", 1, ToneStyle::New, "한"},     {"한국", 0, ToneStyle::New, "한국"},
  };
  for (const auto& [word, tone, style, result] : cases) {
    EXPECT_EQ(vi_syllable::place_tone(word, tone, style), result)
        << word << " tone " << int(tone) << " style " << int(style);
  }
}

qrx_json::Result<ToneStyle> read(std::string_view text) {
  const qrx_json::Result<qrx_json::Value> value = qrx_json::parse(text);
  EXPECT_TRUE(value.ok()) << text;
  return vi_syllable::tone_style_from_json(value.value());
}

TEST(ToneStyleJson, Writes) {
  EXPECT_EQ(qrx_json::write_compact(vi_syllable::to_json(ToneStyle::Old)), "\"old\"");
  EXPECT_EQ(qrx_json::write_compact(vi_syllable::to_json(ToneStyle::New)), "\"new\"");
  EXPECT_EQ(vi_syllable::tone_style_name(ToneStyle::New), "new");
}

TEST(ToneStyleJson, ReadsStringAndObjectFormsOnly) {
  const std::pair<const char*, ToneStyle> accepted[] = {
      {"\"old\"", ToneStyle::Old}, {"\"new\"", ToneStyle::New}, {"{\"old\": null}", ToneStyle::Old}};
  for (const auto& [text, style] : accepted) {
    const qrx_json::Result<ToneStyle> r = read(text);
    EXPECT_TRUE(r.ok() && r.value() == style) << text;
  }
  const std::pair<const char*, const char*> rejected[] = {
      {"\"Old\"", "unknown variant `Old`, expected `old` or `new`"},
      {"5", "invalid type: integer `5`, expected enum ToneStyle"},
      {"true", "invalid type: boolean `true`, expected enum ToneStyle"},
      {"[\"old\"]", "invalid type: sequence, expected enum ToneStyle"},
      {"{\"x\": null}", "unknown variant `x`, expected `old` or `new`"},
      {"{\"old\": 1}", "invalid type: integer `1`, expected unit"},
      {"{\"old\": null, \"new\": null}", "invalid value: map, expected map with a single key"},
  };
  for (const auto& [text, message] : rejected) {
    const qrx_json::Result<ToneStyle> r = read(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error().message, message) << text;
  }
}

TEST(ToneStyleJson, ErrorsCarryThePositionOfTheValue) {
  for (const char* text : {"\n  \"middle\"", "\n  {\"old\": 2}", "\n  7"}) {
    const qrx_json::Result<ToneStyle> r = read(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error().position.line, 2u) << text;
  }
}

TEST(Parse, SplitsOnsetVowelAndCoda) {
  const std::tuple<std::string, std::string, std::string, std::string, std::size_t> cases[] = {
      {"", "", "", "", 0},           {"nghieng", "ngh", "ie", "ng", 3},
      {"ngoan", "ng", "oa", "n", 2}, {"nhanh", "nh", "a", "nh", 2},
      {"gi", "g", "i", "", 1},       {"gin", "g", "i", "n", 1},
      {"gia", "gi", "a", "", 2},     {"giêng", "gi", "ê", "ng", 2},
      {"gìn", "g", "", "ìn", 1},     {"qu", "qu", "", "", 2},
      {"qua", "qu", "a", "", 2},     {"quy", "qu", "y", "", 2},
      {"quyên", "qu", "yê", "n", 2}, {"q", "", "", "q", 0},
      {"qa", "", "", "qa", 0},       {"ba1", "b", "a", "1", 1},
      {"anh", "", "a", "nh", 0},     {"xyz", "x", "y", "z", 1},
      {"đương", "đ", "ươ", "ng", 1}, {"ươ", "", "ươ", "", 0},
      {"ng", "ng", "", "", 2},
  };
  for (const auto& [word, onset, vowel, coda, vowel_start] : cases) {
    const vi_syllable::Syllable s = vi_syllable::parse(word);
    EXPECT_EQ(s.onset, onset) << word;
    EXPECT_EQ(s.vowel, vowel) << word;
    EXPECT_EQ(s.coda, coda) << word;
    EXPECT_EQ(s.vowel_start, vowel_start) << word;
  }
}

TEST(Parse, PartsAlwaysJoinToTheWord) {
  for (const char* word : {"", "nghiêng", "q", "Quá", "a\xffz", "đđ", "giữa", "12 3", "ngh"}) {
    const vi_syllable::Syllable s = vi_syllable::parse(word);
    EXPECT_EQ(s.onset + s.vowel + s.coda, word);
  }
}

TEST(Parse, ClusterEndFollowsTheNucleus) {
  const std::pair<const char*, std::size_t> cases[] = {
      {"thuyen", 5}, {"", 0}, {"ng", 2}, {"đương", 3}, {"a", 1}, {"qu", 2}, {"nguyêt", 5},
  };
  for (const auto& [word, end] : cases) {
    EXPECT_EQ(vi_syllable::parse(word).cluster_end(), end) << word;
  }
}

TEST(Prefixes, ShortestFirstByCharacter) {
  EXPECT_EQ(vi_syllable::prefixes("ngh"), (std::vector<std::string>{"n", "ng", "ngh"}));
  EXPECT_EQ(vi_syllable::prefixes("ươu"), (std::vector<std::string>{"ư", "ươ", "ươu"}));
  EXPECT_TRUE(vi_syllable::prefixes("").empty());
  // The onsets' prefixes, with gi and qu.
  EXPECT_EQ(vi_syllable::tables().onset_prefixes.size(), 28u);
}

TEST(Relax, EverySubsetOfMarksMayBeDropped) {
  const std::pair<const char*, StringSet> cases[] = {
      {"ươ", {"ươ", "uơ", "ưo", "uo"}},
      {"uyê", {"uyê", "uye"}},
      {"ă", {"ă", "a"}},
      {"", {""}},
      {"oa", {"oa"}},
      {"âu", {"âu", "au"}},
  };
  for (const auto& [s, forms] : cases) EXPECT_EQ(vi_syllable::relax(s), forms) << s;
}

// Every word of `words` (separated by spaces) has `status` with this tone and final-k setting.
void expect_status(std::uint8_t status, std::uint8_t tone, bool allow_k, std::string_view words) {
  for (std::size_t start = 0; start < words.size();) {
    const std::size_t end = std::min(words.find(' ', start), words.size());
    const std::string word(words.substr(start, end - start));
    start = end + 1;
    EXPECT_EQ(vi_syllable::check_with(word, tone, allow_k), status) << word << " tone " << int(tone);
    EXPECT_TRUE(allow_k || vi_syllable::check(word, tone) == status) << word << " tone " << int(tone);
  }
}

TEST(Check, Status) {
  // Onsets alone and their rules, nuclei with and without a final, finals and their tones.
  expect_status(kValid, 0, false,
                "ke ca nghe ghi gi đi qua quy oai quyên thuơ ach uych oanh tiên tiêng nghiêng an đương mac");
  expect_status(kIncomplete, 0, false, "ng kh đ q qu uo ươ tien quyen ech nghieng tiet");
  expect_status(kInvalid, 0, false,
                "Ba ba1 bá b-a nq pt ka ce ngha gha nge ge quu quư ae onh anha amp ak iek");
  EXPECT_EQ(vi_syllable::check("", 0), kIncomplete);
  expect_status(kIncomplete, 1, false, "ech");
  expect_status(kIncomplete, 4, false, "tien");
  expect_status(kValid, 1, false, "mac");
  expect_status(kValid, 5, false, "mac");
  expect_status(kInvalid, 2, false, "ech mac");
  expect_status(kInvalid, 3, false, "mac tiet");
  expect_status(kInvalid, 4, false, "mac");
  // The final k.
  expect_status(kValid, 0, true, "ak");
  expect_status(kInvalid, 2, true, "ak");
  expect_status(kIncomplete, 0, true, "iek");
}

TEST(CheckFinal, StopFinalsWantAcuteOrDotBelow) {
  const std::tuple<std::string, std::uint8_t, bool, std::uint8_t> cases[] = {
      {"mac", 0, false, kInvalid}, {"mac", 1, false, kValid},       {"mac", 5, false, kValid},
      {"mac", 2, false, kInvalid}, {"ach", 0, false, kInvalid},     {"ach", 1, false, kValid},
      {"ak", 0, true, kInvalid},   {"ak", 1, true, kValid},         {"ak", 5, true, kValid},
      {"ak", 1, false, kInvalid},  {"man", 0, false, kValid},       {"man", 4, false, kValid},
      {"ba", 3, false, kValid},    {"tien", 0, false, kIncomplete}, {"", 0, false, kIncomplete},
  };
  for (const auto& [word, tone, allow_k, status] : cases) {
    EXPECT_EQ(vi_syllable::check_final(word, tone, allow_k), status)
        << word << " tone " << int(tone) << " k " << allow_k;
  }
}

TEST(ToneAllowed, HeavyTonesStayOffStopFinals) {
  const std::tuple<const char*, std::uint8_t, bool, bool> cases[] = {
      {"mat", 4, false, false}, {"mat", 1, false, true}, {"mat", 5, false, true}, {"mat", 0, false, true},
      {"man", 4, false, true},  {"ak", 2, false, true},  {"ak", 2, true, false},  {"ech", 3, false, false},
      {"xyz", 2, false, true},  {"", 2, false, true},
  };
  for (const auto& [word, tone, allow_k, allowed] : cases) {
    EXPECT_EQ(vi_syllable::tone_allowed_with(word, tone, allow_k), allowed)
        << word << " tone " << int(tone) << " k " << allow_k;
    if (!allow_k) {
      EXPECT_EQ(vi_syllable::tone_allowed(word, tone), allowed) << word;
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

// The table the checks answer from (facts.cpp), against the parse it was made from.
namespace vi_syllable::detail {
std::uint8_t check_with_uncached(std::string_view word, std::uint8_t tone, bool allow_k);
std::uint8_t check_final_uncached(std::string_view word, std::uint8_t tone, bool allow_k);
bool tone_allowed_uncached(std::string_view word, std::uint8_t tone, bool allow_k);
std::optional<std::size_t> tone_index_uncached(std::string_view word, ToneStyle style);
}  // namespace vi_syllable::detail

namespace {

// Words made of onsets, vowel groups and finals (most of them in the table), and strings of
// letters, capitals and other characters (most of them not), in a fixed random sample.
std::vector<std::string> sample_words() {
  std::vector<std::string> onsets{"", "gi", "qu", "q"};
  onsets.insert(onsets.end(), vi_syllable::ONSETS.begin(), vi_syllable::ONSETS.end());
  StringSet vowel_set{""};
  for (const auto* list : {&vi_syllable::OPEN_NUCLEI}) {
    for (std::string_view v : *list) vowel_set.merge(vi_syllable::relax(v));
  }
  for (std::string_view v : vi_syllable::CLOSED_NUCLEI) vowel_set.merge(vi_syllable::relax(v));
  for (const std::string& v : StringSet(vowel_set)) {
    for (std::string& p : vi_syllable::prefixes(v)) vowel_set.insert(std::move(p));
  }
  const std::vector<std::string> vowels(vowel_set.begin(), vowel_set.end());
  std::vector<std::string> codas{""};
  codas.insert(codas.end(), vi_syllable::CODAS_K.begin(), vi_syllable::CODAS_K.end());
  codas.insert(codas.end(), {"g", "nhh", "chc", "a"});
  const std::vector<std::string> letters{"a", "b", "c", "d", "e", "g", "h", "i", "k", "l", "m", "n", "o", "p",
                                         "q", "r", "s", "t", "u", "v", "x", "y", "f", "j", "w", "z", "ă", "â",
                                         "ê", "ô", "ơ", "ư", "đ", "A", "Đ", "ü", "1", "\xff"};
  std::mt19937 random(15);
  const auto pick = [&random](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) words.push_back(pick(onsets) + pick(vowels) + pick(codas));
  for (int i = 0; i < 1500; ++i) {
    std::string word;
    const int length = std::uniform_int_distribution<int>(0, 12)(random);
    for (int j = 0; j < length; ++j) word += pick(letters);
    words.push_back(word);
  }
  return words;
}

TEST(WordFacts, AnswerAsTheParseDoes) {
  std::size_t held = 0;
  for (const std::string& word : sample_words()) {
    held += vi_syllable::word_facts(vi_syllable::word_key(word)) != nullptr ? 1 : 0;
    for (std::uint8_t tone = 0; tone <= 6; ++tone) {
      for (const bool allow_k : {false, true}) {
        ASSERT_EQ(vi_syllable::check_with(word, tone, allow_k),
                  vi_syllable::detail::check_with_uncached(word, tone, allow_k))
            << word << " tone " << int(tone) << " k " << allow_k;
        ASSERT_EQ(vi_syllable::check_final(word, tone, allow_k),
                  vi_syllable::detail::check_final_uncached(word, tone, allow_k))
            << word << " tone " << int(tone) << " k " << allow_k;
        ASSERT_EQ(vi_syllable::tone_allowed_with(word, tone, allow_k),
                  vi_syllable::detail::tone_allowed_uncached(word, tone, allow_k))
            << word << " tone " << int(tone) << " k " << allow_k;
      }
    }
    for (const ToneStyle style : {ToneStyle::Old, ToneStyle::New}) {
      ASSERT_EQ(vi_syllable::tone_index(word, style), vi_syllable::detail::tone_index_uncached(word, style))
          << word;
    }
  }
  EXPECT_GT(held, 500U) << "the sample reaches the table";
}

TEST(WordFacts, KeysPackLettersAndRefuseOthers) {
  EXPECT_EQ(vi_syllable::word_key(""), 0U);
  EXPECT_EQ(vi_syllable::word_key("b"), 2U);
  EXPECT_EQ(vi_syllable::word_key("ba"), 2U | (1U << 6));
  EXPECT_NE(vi_syllable::word_key("ươ"), vi_syllable::word_key("uơ"));
  for (const char* other : {"A", "ü", "a1", "a b", "\xff", "aaaaaaaaaaa"}) {
    EXPECT_EQ(vi_syllable::word_key(other), vi_syllable::kNoWordKey) << other;
  }
  EXPECT_EQ(vi_syllable::word_facts(vi_syllable::kNoWordKey), nullptr);
}

}  // namespace
