// The word state machine, key by key: what a word shows before the fall-back to the keys as
// typed. The flags the state keeps are checked through what they change in the rendering.
#include "typing_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace typing_test;

struct Shown {
  const char* keys;
  const char* word;
};

void expect_shown(const std::vector<Shown>& cases, const InputMethodSpec& spec,
                  const TypingOptions& options) {
  for (const Shown& c : cases) {
    EXPECT_EQ(shown(typed(c.keys, spec, options), options), c.word) << spec.name << " keys " << c.keys;
  }
}

TEST(StepTelex, Tones) {
  expect_shown({{"as", "á"},
                {"af", "à"},
                {"ar", "ả"},
                {"ax", "ã"},
                {"aj", "ạ"},
                {"asf", "à"},    // a different tone replaces the first
                {"asa", "ấ"},    // the circumflex joins the toned letter
                {"asas", "ấ"},   // the same tone, not directly repeated, is consumed
                {"s", "s"},      // no vowel: an ordinary letter
                {"acr", "acr"},  // hook above refused on a stop final
                {"acs", "ác"}},
               TELEX, defaults());
}

TEST(StepTelex, TonesWithoutSpellCheck) {
  TypingOptions o = defaults();
  o.spell_check = false;
  expect_shown({{"acr", "ảc"}, {"text", "tẽt"}, {"bcs", "bcs"}}, TELEX, o);
}

TEST(StepTelex, Marks) {
  expect_shown({{"aa", "â"},
                {"ee", "ê"},
                {"oo", "ô"},
                {"aw", "ă"},
                {"ow", "ơ"},
                {"uw", "ư"},
                {"dd", "đ"},
                {"dda", "đa"},
                {"dad", "đa"},  // the stroke reaches back to the onset
                {"dinhd", "đinh"},
                {"muow", "mươ"},     // pair horn
                {"thuow", "thuơ"},   // soft horn after th
                {"thuoww", "thươ"},  // a further press shows the u's horn
                {"uwo", "ươ"},       // a typed ưo shows as ươ
                {"uaw", "ưa"},       // breve on a fails (uă), the horn on u holds
                {"quaw", "quă"},     // the u of qu gets no candidate
                {"nguoiw", "ngươi"},
                {"tuyeen", "tuyên"},
                {"ba", "ba"}},
               TELEX, defaults());
}

TEST(StepTelex, UndoByDoublePress) {
  expect_shown({{"aaa", "aa"},
                {"aaaa", "aaa"},  // a is now an undone key
                {"ass", "as"},
                {"asss", "ass"},  // literal mode: every key as typed
                {"assf", "asf"},
                {"ddd", "dd"},
                {"thuowww", "thuow"},
                {"aww", "aw"},
                {"ooo", "oo"}},
               TELEX, defaults());
}

TEST(StepTelex, RemoveKey) {
  expect_shown({{"asz", "a"}, {"aaz", "a"}, {"z", "z"}, {"aasz", "â"}, {"ddaz", "đa"}, {"az", "az"}}, TELEX,
               defaults());
}

TEST(StepTelex, WAsU) {
  TypingOptions o = defaults();
  o.w_as_u = true;
  expect_shown({{"w", "ư"},
                {"W", "Ư"},
                {"ww", "w"},
                {"waw", "waw"},
                {"tw", "tư"},
                {"twj", "tự"},
                {"iw", "iw"},  // iư can never become a syllable
                {"aw", "ă"},   // the breve comes first
                {"uw", "ư"}},
               TELEX, o);
  // Simple Telex has no standalone key.
  expect_shown({{"w", "w"}, {"tw", "tw"}}, SIMPLE_TELEX, o);
  // Off, w alone is a letter.
  expect_shown({{"w", "w"}}, TELEX, defaults());
}

TEST(StepTelex, BracketKeys) {
  TypingOptions o = defaults();
  o.bracket_keys = true;
  expect_shown({{"[", "ơ"}, {"]", "ư"}, {"t[", "tơ"}, {"]a", "ưa"}, {"x]]", "xưư"}}, TELEX, o);
  expect_shown({{"[", "["}, {"a]", "a]"}}, TELEX, defaults());
  expect_shown({{"[", "["}}, SIMPLE_TELEX, o);
  expect_shown({{"[", "["}}, VNI, o);
}

TEST(StepTelex, QuickTelex) {
  TypingOptions o = defaults();
  o.quick_telex = true;
  expect_shown({{"cc", "ch"},
                {"Cc", "Ch"},
                {"CC", "CH"},
                {"cC", "ch"},
                {"ccc", "chc"},
                {"gg", "gi"},
                {"kk", "kh"},
                {"nn", "ng"},
                {"pp", "ph"},
                {"qq", "qu"},
                {"tt", "th"},
                {"dd", "đ"},  // d has no entry: the stroke
                {"bb", "bb"},
                {"nna", "nga"}},
               TELEX, o);
  expect_shown({{"cc", "cc"}}, TELEX, defaults());
  expect_shown({{"tt", "th"}}, VNI, o);  // every method
}

TEST(StepVni, TonesAndMarks) {
  expect_shown({{"a6", "â"},
                {"a66", "a6"},
                {"o7", "ơ"},
                {"a1", "á"},
                {"d9", "đ"},
                {"a8", "ă"},
                {"e6", "ê"},
                {"u7o7", "ươ"},
                {"muo7", "mươ"},  // pair horn
                {"thuo7", "thuơ"},
                {"a10", "a"},
                {"a60", "a"},
                {"x9", "x9"}},
               VNI, defaults());
}

TEST(StepViqr, TonesAndMarks) {
  expect_shown({{"a^", "â"},
                {"a(", "ă"},
                {"u+", "ư"},
                {"nguo+i", "ngươi"},  // pair horn
                {"a'", "á"},
                {"a`", "à"},
                {"a?", "ả"},
                {"a~", "ã"},
                {"a.", "ạ"},
                {"dd", "đ"},
                {"a'0", "a"}},
               VIQR, defaults());
}

TEST(StepLetters, NeverMoreThanThirtyTwo) {
  WordState s;
  for (int i = 0; i < 40; ++i) qrx_core::transform::step(s, U'b', TELEX, defaults());
  EXPECT_EQ(s.letters.size(), qrx_core::transform::MAX_LETTERS);
}

TEST(StepLetters, DisplayAndSpan) {
  using qrx_core::transform::cluster_span;
  using qrx_core::transform::toneless_lower;
  const WordState s = typed("nguoiwf", TELEX, defaults());
  EXPECT_EQ(toneless_lower(s.letters), "ngươi");
  EXPECT_EQ(cluster_span(s.letters), (std::pair<std::size_t, std::size_t>{2, 5}));
  const WordState soft = typed("thuow", TELEX, defaults());
  EXPECT_EQ(toneless_lower(soft.letters), "thuơ");
  const auto d = qrx_core::transform::display(soft.letters);
  EXPECT_EQ(d[2].mark, Mark::None);
  EXPECT_EQ(d[3].mark, Mark::Horn);
  EXPECT_EQ(qrx_core::transform::status(typed("ba", TELEX, defaults()).letters, 0, false),
            vi_syllable::kValid);
}

TEST(StepCandidates, PairsFirstThenSinglesFromTheEnd) {
  const WordState s = typed("ua", TELEX, defaults());
  const auto rules = *TELEX.marks_for(U'w');
  const auto list = qrx_core::transform::candidates(s.letters, rules, {0, 2});
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0][0].index, 1);  // breve on a
  EXPECT_EQ(list[0][0].mark, Mark::Breve);
  EXPECT_EQ(list[1][0].index, 0);  // horn on u
  EXPECT_EQ(list[1][0].mark, Mark::Horn);

  const WordState uo = typed("uo", TELEX, defaults());
  const auto pair = qrx_core::transform::candidates(uo.letters, rules, {0, 2});
  ASSERT_EQ(pair.size(), 3u);
  EXPECT_EQ(pair[0].size(), 2u);
  EXPECT_EQ(pair[1][0].index, 1);
  EXPECT_EQ(pair[2][0].index, 0);
}

}  // namespace
