#include <vi_syllable/vi_syllable.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using vi_syllable::StringSet;

struct ParseCase {
  std::string word;
  std::string onset;
  std::string vowel;
  std::string coda;
  std::size_t vowel_start;
};

TEST(Parse, SplitsOnsetVowelAndCoda) {
  const ParseCase cases[] = {
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
  for (const ParseCase& c : cases) {
    const vi_syllable::Syllable s = vi_syllable::parse(c.word);
    EXPECT_EQ(s.onset, c.onset) << c.word;
    EXPECT_EQ(s.vowel, c.vowel) << c.word;
    EXPECT_EQ(s.coda, c.coda) << c.word;
    EXPECT_EQ(s.vowel_start, c.vowel_start) << c.word;
  }
}

TEST(Parse, PartsAlwaysJoinToTheWord) {
  for (const char* word : {"", "nghiêng", "q", "Quá",
                           "a\xff"
                           "b",
                           "đđ", "giữa", "12 3", "ngh"}) {
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

TEST(Tables, SizesAndContents) {
  const vi_syllable::Tables& t = vi_syllable::tables();
  EXPECT_EQ(t.onset_prefixes,
            (StringSet{"b",  "c",   "ch", "d", "đ",  "g", "gh", "gi", "h", "k", "kh", "l",  "m", "n",
                       "ng", "ngh", "nh", "p", "ph", "q", "qu", "r",  "s", "t", "th", "tr", "v", "x"}));
  EXPECT_EQ(t.onset_prefixes.size(), 28u);
  EXPECT_EQ(t.open_nuclei.size(), 45u);
  EXPECT_EQ(t.closed_nuclei.size(), 23u);
  EXPECT_EQ(t.palatal_nuclei, (StringSet{"a", "ê", "i", "oa", "uê", "uy"}));
  EXPECT_EQ(t.incomplete_nuclei.size(), 72u);
  for (const char* n : {"uo", "ưo", "uye", "ie", "uu", "oai", "ươ", "uyê", "oo"}) {
    EXPECT_TRUE(t.incomplete_nuclei.contains(n)) << n;
  }
  for (const char* n : {"ae", "ee", "uoa", ""}) EXPECT_FALSE(t.incomplete_nuclei.contains(n)) << n;
}

TEST(Tables, CodaPrefixMaps) {
  const vi_syllable::Tables& t = vi_syllable::tables();
  const StringSet palatal{"a", "e", "ê", "i", "oa", "ue", "uê", "uy"};
  StringSet all_closed;
  for (std::string_view n : vi_syllable::CLOSED_NUCLEI) {
    const StringSet r = vi_syllable::relax(n);
    all_closed.insert(r.begin(), r.end());
  }
  ASSERT_EQ(all_closed.size(), 31u);

  std::set<std::string> keys;
  for (const auto& [key, nuclei] : t.coda_prefixes) {
    keys.insert(key);
    EXPECT_EQ(nuclei, key == "ch" || key == "nh" ? palatal : all_closed) << key;
  }
  EXPECT_EQ(keys, (std::set<std::string>{"c", "ch", "m", "n", "ng", "nh", "p", "t"}));
  EXPECT_FALSE(t.coda_prefixes.contains("k"));

  EXPECT_EQ(t.coda_prefixes_k.size(), 9u);
  ASSERT_TRUE(t.coda_prefixes_k.contains("k"));
  EXPECT_EQ(t.coda_prefixes_k.at("k"), all_closed);
  for (const auto& [key, nuclei] : t.coda_prefixes) EXPECT_EQ(t.coda_prefixes_k.at(key), nuclei) << key;
}

TEST(Tables, OneInstanceSharedByAllThreads) {
  std::vector<const vi_syllable::Tables*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] {
      seen[i] = &vi_syllable::tables();
      // The checks' own lookup tables are built on first use as well.
      EXPECT_EQ(vi_syllable::check("nghiêng", 0), vi_syllable::kValid);
    });
  }
  for (std::thread& t : threads) t.join();
  for (const vi_syllable::Tables* p : seen) EXPECT_EQ(p, &vi_syllable::tables());
}

TEST(LetterLists, MembershipMatchesTheLists) {
  for (char32_t c = 0; c < 0x300; ++c) {
    const auto in = [c](const auto& list) {
      for (char32_t l : list) {
        if (l == c) return true;
      }
      return false;
    };
    EXPECT_EQ(vi_syllable::is_vowel(c), in(vi_syllable::VOWELS)) << static_cast<unsigned>(c);
    EXPECT_EQ(vi_syllable::is_marked_vowel(c), in(vi_syllable::MARKED_VOWELS)) << static_cast<unsigned>(c);
    EXPECT_EQ(vi_syllable::is_front_vowel(c), in(vi_syllable::FRONT_VOWELS)) << static_cast<unsigned>(c);
  }
}

}  // namespace
