// Typing one word: the state machine key by key (what a word shows before the fall-back to the
// keys as typed; the flags the state keeps are checked through what they change in the
// rendering), the lookups of the input methods' key tables, whole key sequences rendered (tone
// placement, the spelling-check fall-back, the digit rules), the reverse mapping from words to
// keys with the round trip of every valid syllable, the Composer and the text diff.
#include <gtest/gtest.h>
#include <qrx_core/transform.h>
#include <qrx_unicode/unicode.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using qrx_core::rules::InputMethodSpec;
using qrx_core::rules::SIMPLE_TELEX;
using qrx_core::rules::TELEX;
using qrx_core::rules::VIQR;
using qrx_core::rules::VNI;
using qrx_core::transform::Composer;
using qrx_core::transform::diff;
using qrx_core::transform::rebuild;
using qrx_core::transform::to_raw;
using qrx_core::transform::transform;
using qrx_core::transform::transform_str;
using qrx_core::transform::TypingOptions;
using qrx_core::transform::TypingResult;
using qrx_core::transform::WordState;
using vi_syllable::kIncomplete;
using vi_syllable::kInvalid;
using vi_syllable::kValid;
using vi_syllable::Mark;
using vi_syllable::ToneStyle;

std::u32string keys_of(std::string_view text) { return qrx_unicode::decode_utf8(text); }

// Spelling check on, everything else off, new tone style.
TypingOptions defaults() { return TypingOptions{}; }

WordState typed(std::string_view keys, const InputMethodSpec& spec, const TypingOptions& options) {
  WordState state;
  for (char32_t k : keys_of(keys)) qrx_core::transform::step(state, k, spec, options);
  return state;
}

// The state rendered without the spelling check, so without the fall-back to the keys.
std::string shown(const WordState& state, const TypingOptions& options) {
  TypingOptions plain = options;
  plain.spell_check = false;
  return qrx_core::transform::result(state, U"", plain, false).text;
}

// The pieces of a case list written with single spaces between cases.
std::vector<std::string_view> split_cases(std::string_view cases) {
  std::vector<std::string_view> out;
  for (std::size_t start = 0; start < cases.size();) {
    const std::size_t end = std::min(cases.find(' ', start), cases.size());
    out.push_back(cases.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// Cases written as "keys=word keys=word ...".
void expect_shown(std::string_view cases, const InputMethodSpec& spec, const TypingOptions& options) {
  for (const std::string_view c : split_cases(cases)) {
    const std::size_t eq = c.find('=');
    EXPECT_EQ(shown(typed(c.substr(0, eq), spec, options), options), c.substr(eq + 1))
        << spec.name << " " << c;
  }
}

// A different tone replaces the first; the circumflex joins the toned letter; the same tone not
// directly repeated is consumed; hook above is refused on a stop final.
TEST(StepTelex, Tones) {
  expect_shown("as=á af=à ar=ả ax=ã aj=ạ asf=à asa=ấ asas=ấ s=s acr=acr acs=ác", TELEX, defaults());
}

TEST(StepTelex, TonesWithoutSpellCheck) {
  TypingOptions o = defaults();
  o.spell_check = false;
  // The first candidate is taken: marks go on the last vowel first.
  expect_shown("acr=ảc text=tẽt bcs=bcs hoaw=hoă", TELEX, o);
}

// The stroke reaches back to the onset; a stroke right after a vowel must pass the spelling
// check, one after a consonant is kept; the pair horn is soft after th until a further press;
// breve on a fails in uă so the horn on u holds; the u of qu gets no candidate.
TEST(StepTelex, Marks) {
  expect_shown(
      "aa=â ee=ê oo=ô aw=ă ow=ơ uw=ư dd=đ dda=đa dad=đa dinhd=đinh muow=mươ thuow=thuơ thuoww=thươ uwo=ươ "
      "UWO=ƯƠ uaw=ưa quaw=quă nguoiw=ngươi tuyeen=tuyên ba=ba add=add bdd=bđ",
      TELEX, defaults());
  // The soft horn shows the u bare only while the pair ends the word as ươ: a circumflex on the o
  // or a letter after it gives the u its horn back.
  TypingOptions plain = defaults();
  plain.spell_check = false;
  expect_shown("thuowo=thưô thuown=thươn uow=uơ uowo=ưô", TELEX, plain);
}

// An undone key is plain from then on; a doubled tone key puts the word in literal mode.
TEST(StepTelex, UndoByDoublePress) {
  expect_shown("aaa=aa AAA=AA aaaa=aaa ass=as asss=ass assf=asf ddd=dd thuowww=thuow aww=aw ooo=oo", TELEX,
               defaults());
}

TEST(StepTelex, RemoveKey) { expect_shown("asz=a aaz=a z=z aasz=â ddaz=đa az=az", TELEX, defaults()); }

// iư can never become a syllable; on a the breve comes first.
TEST(StepTelex, WAsU) {
  TypingOptions o = defaults();
  o.w_as_u = true;
  expect_shown("w=ư W=Ư ww=w waw=waw tw=tư twj=tự iw=iw aw=ă uw=ư wo=ươ", TELEX, o);
  o.spell_check = false;
  expect_shown("ta=ta", TELEX, o);
  // Simple Telex has no standalone key.
  expect_shown("w=w tw=tw", SIMPLE_TELEX, o);
  // Off, w alone is a letter.
  expect_shown("w=w", TELEX, defaults());
}

TEST(StepTelex, BracketKeys) {
  TypingOptions o = defaults();
  o.bracket_keys = true;
  expect_shown("[=ơ ]=ư t[=tơ ]a=ưa x]]=xưư", TELEX, o);
  expect_shown("[=[ a]=a]", TELEX, defaults());
  expect_shown("[=[", SIMPLE_TELEX, o);
  expect_shown("[=[", VNI, o);
}

TEST(StepTelex, QuickTelex) {
  TypingOptions o = defaults();
  o.quick_telex = true;
  expect_shown("cc=ch Cc=Ch CC=CH cC=ch ccc=chc gg=gi kk=kh nn=ng pp=ph qq=qu tt=th dd=đ bb=bb nna=nga ca=ca",
               TELEX, o);
  // The onset is a transformation: a word that fails the spelling check falls back to its keys.
  EXPECT_TRUE(transform(U"ccx", TELEX, o, false).literal);
  expect_shown("cc=cc", TELEX, defaults());
  expect_shown("tt=th", VNI, o);  // every method
}

TEST(StepVni, TonesAndMarks) {
  expect_shown("a6=â a66=a6 o7=ơ a1=á d9=đ a8=ă e6=ê u7o7=ươ muo7=mươ thuo7=thuơ a10=a a60=a x9=x9", VNI,
               defaults());
}

TEST(StepViqr, TonesAndMarks) {
  expect_shown("a^=â a(=ă u+=ư nguo+i=ngươi a'=á a`=à a?=ả a~=ã a.=ạ dd=đ a'0=a", VIQR, defaults());
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

// Per method: the keys probed, the extra word keys among them, the function keys among them.
// Lookups lower-case the key; letters are never extra word keys, insert keys are function keys
// only.
TEST(InputMethodLookups, ExtraWordKeyAndFunctionKey) {
  const std::tuple<const InputMethodSpec*, std::u32string_view, std::u32string_view, std::u32string_view>
      cases[] = {{&TELEX, U"WsS[1zb", U"", U"WsS[z"},
                 {&SIMPLE_TELEX, U"]", U"", U""},
                 {&VNI, U"106as", U"106", U"106"},
                 {&VIQR, U"^.'0d!", U"^.'0", U"^.'0d"}};
  for (const auto& [spec, probed, extra, function] : cases) {
    for (const char32_t key : probed) {
      EXPECT_EQ(spec->extra_word_key(key), extra.find(key) != extra.npos) << spec->name << " " << char(key);
      EXPECT_EQ(spec->is_function_key(key), function.find(key) != function.npos)
          << spec->name << " " << char(key);
    }
  }
}

// Single-letter rules only; the keys of every marked letter are covered by the round trip, and
// the tone keys by the tables of words.
TEST(InputMethodLookups, MarkKey) {
  EXPECT_EQ(TELEX.tone_of(U'f'), 2);
  EXPECT_EQ(VNI.tone_of(U'6'), std::nullopt);
  const std::tuple<const InputMethodSpec*, char32_t, Mark, std::optional<char32_t>> cases[] = {
      {&TELEX, U'o', Mark::Horn, U'w'},
      {&TELEX, U'a', Mark::Breve, U'w'},
      {&VNI, U'e', Mark::Circumflex, U'6'},
      {&VIQR, U'd', Mark::Stroke, U'd'},
      {&TELEX, U'u', Mark::Circumflex, std::nullopt},
      {&TELEX, U'o', Mark::Breve, std::nullopt},
      {&VNI, U'u', Mark::Circumflex, std::nullopt},
      {&VIQR, U'o', Mark::Breve, std::nullopt},
  };
  for (const auto& [spec, base, mark, key] : cases) {
    EXPECT_EQ(spec->mark_key(base, mark), key)
        << spec->name << " " << char(base) << " " << static_cast<int>(mark);
  }
}

TEST(LowerKey, SingleCharacterFormsOnly) {
  EXPECT_EQ(qrx_core::rules::lower_key(U'Đ'), U'đ');
  EXPECT_EQ(qrx_core::rules::lower_key(U'\u0130'), U'\u0130');  // İ lower-cases to two characters
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
  EXPECT_EQ(c.result(false).text, qrx_unicode::encode_utf8(keys));
  for (int i = 0; i < 10; ++i) c.pop();
  c.push(U'!');
  EXPECT_EQ(c.raw(), keys.substr(0, 30) + U"!");
  EXPECT_EQ(c.states().size(), 25u);
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

// What a Composer shows after every push, pop and clear, looked at key by key as the session
// does (the rendering kept from key to key, the letters the key added worked out alone), is what
// the keys give when typed at once.
TEST(Composer, ViewedKeyByKeyAsTypedAtOnce) {
  constexpr std::u32string_view kKeys = U"aaeeoouuiiydddwwsfrxjznghtcqkpbAEODWSJ[]^(+'`?~.01256789 -ưK";
  constexpr char32_t kPop = 0;
  constexpr char32_t kClear = 1;
  std::uint64_t seed = 42;
  const auto next = [&seed](std::size_t below) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>((seed >> 33) % below);
  };
  int compared = 0;
  for (const InputMethodSpec* spec : {&TELEX, &SIMPLE_TELEX, &VNI, &VIQR}) {
    for (unsigned bits = 0; bits < 64; ++bits) {
      TypingOptions o;
      o.tone_style = (bits & 1) ? ToneStyle::Old : ToneStyle::New;
      o.spell_check = (bits & 2) == 0;
      o.w_as_u = (bits & 4) != 0;
      o.bracket_keys = (bits & 8) != 0;
      o.quick_telex = (bits & 16) != 0;
      o.allow_coda_k = (bits & 32) != 0;
      Composer c(*spec, o);
      for (int op = 0; op < 400; ++op) {
        const std::size_t pick = next(kKeys.size() + 4);
        const char32_t key = pick < kKeys.size() ? kKeys[pick] : (pick == kKeys.size() ? kClear : kPop);
        if (key == kPop) {
          c.pop();
        } else if (key == kClear) {
          c.clear();
        } else {
          c.push(key);
        }
        // Left unviewed, the next key finds the rendering behind.
        if (next(4) == 0) continue;
        for (bool finishing : {false, true}) {
          const qrx_core::transform::WordView v = c.view(finishing);
          const TypingResult r = transform(c.raw(), *spec, o, finishing);
          ASSERT_EQ(v.text, r.text) << spec->name << " options " << bits << " keys " << qrx_unicode::encode_utf8(c.raw());
          ASSERT_EQ(v.literal, r.literal) << qrx_unicode::encode_utf8(c.raw());
          ASSERT_EQ(v.status, r.status) << qrx_unicode::encode_utf8(c.raw());
          ASSERT_EQ(v.second_text, !r.second_text.empty()) << qrx_unicode::encode_utf8(c.raw());
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, 100000);
}

// Only a press that takes back what the same key did before, as the last key, counts.
TEST(Composer, LastKeyTookBack) {
  const std::tuple<const InputMethodSpec*, std::u32string_view, bool> cases[] = {
      {&TELEX, U"", false},     {&TELEX, U"aa", false},  {&TELEX, U"aaa", true},  {&TELEX, U"aaaa", false},
      {&TELEX, U"as", false},   {&TELEX, U"ass", true},  {&TELEX, U"asss", false}, {&TELEX, U"ddd", true},
      {&TELEX, U"thuowww", true}, {&VNI, U"a11", true},  {&VNI, U"a1", false},     {&VNI, U"a66", true},
  };
  for (const auto& [spec, keys, took_back] : cases) {
    EXPECT_EQ(Composer::with_raw(*spec, defaults(), keys).last_key_took_back(), took_back)
        << spec->name << " " << qrx_unicode::encode_utf8(keys);
  }
  // Keys beyond the stepped ones are not looked at.
  std::u32string long_word(24, U'b');
  long_word += U"aaa";
  EXPECT_FALSE(Composer::with_raw(TELEX, defaults(), long_word).last_key_took_back());
}

TEST(Composer, ClearedIsAsNew) {
  Composer c(TELEX, defaults());
  for (char32_t k : std::u32string_view(U"thuowng")) c.push(k);
  c.clear();
  EXPECT_TRUE(c.raw().empty());
  EXPECT_EQ(c.states().size(), 1u);
  EXPECT_EQ(c.result(false), Composer(TELEX, defaults()).result(false));
  for (char32_t k : std::u32string_view(U"Vieetj")) c.push(k);
  EXPECT_EQ(c.result(false), Composer::with_raw(TELEX, defaults(), U"Vieetj").result(false));
  EXPECT_EQ(c.states().back(), Composer::with_raw(TELEX, defaults(), U"Vieetj").states().back());
}

TEST(Diff, CommonPrefixOnly) {
  const std::tuple<const char*, const char*, const char*, std::size_t> cases[] = {
      {"tiêng", "tiếng", "ếng", 3}, {"ab", "abc", "c", 0},     {"abc", "ab", "", 1},
      {"việt", "việt", "", 0},      {"", "người", "người", 0}, {"người", "", "", 5},
      {"abcd", "xbcd", "xbcd", 4},  {"thuơ", "thươ", "ươ", 2},
  };
  for (const auto& [old_text, new_text, insert, deleted] : cases) {
    EXPECT_EQ(diff(old_text, new_text), std::make_pair(std::string(insert), deleted))
        << old_text << " -> " << new_text;
  }
}

constexpr int kAnyStatus = -1;

// Cases written as "keys=text keys=text ...", all with the same literal flag and status.
void expect_typed(std::string_view cases, const InputMethodSpec& spec, const TypingOptions& options,
                  bool finishing, bool literal, int status) {
  for (const std::string_view c : split_cases(cases)) {
    const std::size_t eq = c.find('=');
    const TypingResult r = transform(keys_of(c.substr(0, eq)), spec, options, finishing);
    EXPECT_EQ(r.text, c.substr(eq + 1)) << spec.name << " " << c;
    EXPECT_EQ(r.literal, literal) << spec.name << " " << c;
    EXPECT_TRUE(status == kAnyStatus || r.status == status)
        << spec.name << " " << c << " status " << +r.status;
  }
}

TypingOptions old_style() {
  TypingOptions o;
  o.tone_style = vi_syllable::ToneStyle::Old;
  return o;
}

TEST(RenderToneStyle, OldAndNew) {
  expect_typed("hoas=hóa hoaf=hòa khoer=khỏe thuyr=thủy toans=toán quys=quý", TELEX, old_style(), false,
               false, kValid);
  expect_typed("hoas=hoá hoaf=hoà khoer=khoẻ thuyr=thuỷ toans=toán quys=quý giaf=già", TELEX, defaults(),
               false, false, kValid);
}

TEST(RenderTones, PlacementAndCase) {
  expect_typed("Vieetj=Việt VIEETJ=VIỆT dduwowngf=đường DDuwowngf=Đường nguoiwf=người tieengs=tiếng", TELEX,
               defaults(), false, false, kValid);
  // No vowel for the tone rules: the tone goes on the last vowel letter.
  expect_typed("qus=qú", TELEX, defaults(), false, false, kIncomplete);
}

// Untransformed words are never replaced; with no vowel after the đ the stroke stays (and only
// a stroke does: ăcf falls back); a doubled key keeps the word as the user made it.
TEST(RenderSpellCheck, FallBackToKeys) {
  expect_typed("text=text ddawks=ddawks awcf=awcf", TELEX, defaults(), false, true, kInvalid);
  expect_typed("ddn=đn aaa=aa aaan=aan ass=as", TELEX, defaults(), false, false, kInvalid);
  expect_typed("taa=tâ tieng=tieng", TELEX, defaults(), false, false, kIncomplete);
  expect_typed("bas=bá", TELEX, defaults(), false, false, kValid);
}

// Finishing, an incomplete word with an onset falls back; without one, or ending in ươ, it stays.
TEST(RenderSpellCheck, FinishingAWord) {
  expect_typed("taa=taa", TELEX, defaults(), true, true, kIncomplete);
  expect_typed("aa=â tuow=tươ", TELEX, defaults(), true, false, kIncomplete);
  expect_typed("macs=mác tieeng=tiêng", TELEX, defaults(), true, false, kValid);
}

TEST(RenderSpellCheck, Off) {
  TypingOptions o;
  o.spell_check = false;
  expect_typed("text=tẽt", TELEX, o, false, false, kInvalid);
  expect_typed("taa=tâ", TELEX, o, false, false, kIncomplete);
  expect_typed("taa=tâ", TELEX, o, true, false, kIncomplete);
}

TEST(RenderSecondText, OnlyForALiteralModeWord) {
  TypingOptions w;
  w.w_as_u = true;
  EXPECT_EQ(transform(U"ass", TELEX, defaults(), false).second_text, "as");
  EXPECT_EQ(transform(U"ww", TELEX, w, false).second_text, "w");
  EXPECT_EQ(transform(U"aaa", TELEX, defaults(), false).second_text, "");
  EXPECT_EQ(transform(U"as", TELEX, defaults(), false).second_text, "");
}

// Only the sharp and heavy tones go on a stop final.
TEST(RenderCodaK, AllowCodaK) {
  TypingOptions k;
  k.allow_coda_k = true;
  expect_typed("ddawks=đắk aks=ák", TELEX, k, true, false, kValid);
  expect_typed("akf=akf", TELEX, k, true, false, kInvalid);
  // Without it the tone key is a letter and the untransformed word shows as typed.
  expect_typed("aks=aks", TELEX, defaults(), false, false, kInvalid);
  EXPECT_EQ(shown(typed("ddawks", TELEX, defaults()), defaults()), "đăks");  // before the fall-back
}

// A doubled digit is one digit only when the pair was a press and its undoing; digits that did
// nothing to the word are all kept.
TEST(RenderVni, DigitRules) {
  expect_typed("a11=a1 a66=a6 viet15=viet15 2024=2024 a112=a12 x100=x100 A100=A100 a00=a00 11=11 a1611=a1611",
               VNI, defaults(), false, true, kInvalid);
  expect_typed("x99=x99", VNI, defaults(), false, false, kInvalid);
  expect_typed("a0=a0", VNI, defaults(), false, false, kAnyStatus);
  expect_typed("a16=ấ", VNI, defaults(), false, false, kIncomplete);
  expect_typed("Vie6t5=Việt d9u7o7ng2=đường a1n2=àn", VNI, defaults(), false, false, kValid);
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
  expect_typed("Vie^.t=Việt", VIQR, defaults(), false, false, kValid);
  expect_typed("d-=d-", VIQR, defaults(), false, false, kAnyStatus);
  expect_typed("a''=a'", VIQR, defaults(), false, false, kInvalid);
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
  for (const char* keys : {"ẞ", "ǅa", "aẞ", "K", "\u0080", "a中"}) {
    EXPECT_EQ(transform(keys_of(keys), TELEX, defaults(), false).text, keys);
  }
  EXPECT_EQ(transform(U"Á", TELEX, defaults(), false).text, "Á");
  EXPECT_EQ(transform(U"Đi", TELEX, defaults(), false).text, "Đi");
}

TEST(ReverseMapping, ToRaw) {
  using qrx_core::transform::to_raw;
  const std::tuple<const InputMethodSpec*, const char*, std::optional<std::string>> cases[] = {
      {&TELEX, "Việt", "Vieetj"},   {&TELEX, "Â", "AA"},
      {&TELEX, "xoong", "xooong"},  {&TELEX, "", ""},
      {&VNI, "Việt", "Vie6t5"},     {&VNI, "xoong", "xoong"},
      {&VIQR, "Việt", "Vie^t."},    {&SIMPLE_TELEX, "ăn", "awn"},
      {&TELEX, "a1", std::nullopt}, {&TELEX, "ba.", std::nullopt},
      {&TELEX, "ß", std::nullopt},
  };
  for (const auto& [spec, word, keys] : cases)
    EXPECT_EQ(to_raw(word, *spec), keys) << spec->name << " " << word;
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

// The open nucleus uơ keeps a bare u only after these onsets (thuở, huơ); after any other the
// typed pair shows ươ, so such spellings have no keys of their own.
bool bare_u_possible(std::string_view onset, std::string_view nucleus) {
  if (nucleus != "uơ") return true;
  for (std::string_view o : {"", "c", "h", "k", "kh", "qu", "th"}) {
    if (o == onset) return true;
  }
  return false;
}

std::vector<std::string> valid_words(ToneStyle style) {
  std::vector<std::string> onsets = {"", "gi", "qu"};
  for (std::string_view o : vi_syllable::ONSETS) onsets.emplace_back(o);
  std::vector<std::pair<std::string, std::string>> rhymes;
  for (std::string_view n : vi_syllable::OPEN_NUCLEI) rhymes.emplace_back(n, "");
  for (std::string_view n : vi_syllable::CLOSED_NUCLEI) {
    for (std::string_view c : vi_syllable::CODAS) rhymes.emplace_back(n, c);
  }
  std::vector<std::string> words;
  for (const std::string& onset : onsets) {
    for (const auto& [nucleus, coda] : rhymes) {
      if (!bare_u_possible(onset, nucleus)) continue;
      const std::string word = onset + nucleus + coda;
      for (std::uint8_t tone = 0; tone <= 5; ++tone) {
        if (vi_syllable::check_final(word, tone, false) != vi_syllable::kValid) continue;
        const std::string toned = vi_syllable::place_tone(word, tone, style);
        words.push_back(toned);
        words.push_back(qrx_unicode::to_upper(toned));
        std::u32string capital = qrx_unicode::decode_utf8(toned);
        capital[0] = qrx_unicode::simple_upper(capital[0]);
        words.push_back(qrx_unicode::encode_utf8(capital));
      }
    }
  }
  return words;
}

TEST(RoundTrip, EveryValidSyllableTypesBack) {
  for (ToneStyle style : {ToneStyle::Old, ToneStyle::New}) {
    TypingOptions options;
    options.tone_style = style;
    const std::vector<std::string> words = valid_words(style);
    ASSERT_GT(words.size(), 10000u);
    for (const InputMethodSpec* spec : {&TELEX, &SIMPLE_TELEX, &VNI, &VIQR}) {
      int failures = 0;
      Composer typist(*spec, options);
      for (const std::string& word : words) {
        const std::optional<std::string> keys = to_raw(word, *spec);
        if (!keys) {
          ADD_FAILURE() << spec->name << ": no keys for " << word;
          if (++failures > 20) break;
          continue;
        }
        for (bool finishing : {false, true}) {
          const auto r = transform_str(*keys, *spec, options, finishing);
          if (r.text != word || r.literal) {
            ADD_FAILURE() << spec->name << " style " << static_cast<int>(style) << ": " << word << " <- "
                          << *keys << " gives " << r.text;
            ++failures;
          }
        }
        // Typed as the session types it: one Composer for every word, viewed after each key.
        typist.clear();
        for (char32_t k : keys_of(*keys)) {
          typist.push(k);
          typist.view(false);
        }
        if (typist.view(true).text != word) {
          ADD_FAILURE() << spec->name << ": typed key by key, " << *keys << " gives " << typist.view(true).text;
          ++failures;
        }
        if (rebuild(word, *spec, options) != keys_of(*keys)) {
          ADD_FAILURE() << spec->name << ": rebuild of " << word;
          ++failures;
        }
        if (failures > 20) break;
      }
    }
  }
}

}  // namespace
