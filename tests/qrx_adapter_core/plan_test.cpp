// Edit plans from an engine action and what is known of the field, their timing, and the offset
// conversions and word characters they rest on.
#include <qrx_adapter_core/plan.h>
#include <qrx_adapter_core/surrounding.h>

#include <gtest/gtest.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace qrx_adapter_core::plan;
using namespace qrx_adapter_core::surrounding;
using qrx_adapter_core::timing::replace_wait_ms;
using qrx_engine::ports::AppProfile;
using qrx_engine::session::Action;
using std::nullopt;
using std::optional;
using std::string_view;

constexpr std::uint32_t kU32Max = std::numeric_limits<std::uint32_t>::max();

AdapterAction pass() { return {AdapterAction::Pass{}}; }
AdapterAction preedit(std::string text, std::uint32_t cursor) {
  return {AdapterAction::Preedit{std::move(text), cursor}};
}
AdapterAction commit(std::string text, bool pass_key) {
  return {AdapterAction::Commit{std::move(text), pass_key}};
}
DeleteCount chars(std::uint32_t n) { return DeleteCount::chars(n); }
DeleteCount units(std::uint32_t n) { return DeleteCount::utf16(n); }
AdapterAction replace(std::string text, DeleteCount count, bool pass_key = false) {
  return {AdapterAction::Replace{std::move(text), count, pass_key}};
}

FieldState field(string_view display) {
  FieldState f;
  f.before_display = display;
  return f;
}
FieldState field(string_view display, string_view surrounding, std::uint32_t cursor,
                 std::optional<std::uint32_t> anchor = std::nullopt) {
  FieldState f = field(display);
  f.surrounding = surrounding;
  f.cursor_utf16 = cursor;
  f.anchor_utf16 = anchor.value_or(cursor);
  return f;
}
FieldState with_kind(FieldState f, std::uint8_t kind) {
  f.field_kind = kind;
  return f;
}
FieldState unverified(FieldState f) {
  f.allow_unverified_replace = true;
  return f;
}

Plan fail_safe(string_view reason) { return Plan{"", reason, 0, 0, 0, 0, false, PlanKind::FailSafe}; }
Plan pass_plan(string_view reason) { return Plan{"", reason, 0, 0, 0, 0, false, PlanKind::Pass}; }
Plan preedit_plan(std::string text, std::uint32_t cursor) {
  return Plan{std::move(text), "preedit", cursor, 0, 0, 0, false, PlanKind::Preedit};
}
Plan commit_plan(string_view reason, std::string text, bool pass_key) {
  return Plan{std::move(text), reason, 0, 0, 0, 0, pass_key, PlanKind::Commit};
}
// Replacements under the default profile wait the fixed minimum.
Plan replaced(string_view reason, std::string text, std::uint32_t units, std::uint32_t chars,
              bool pass_key = false) {
  return Plan{std::move(text), reason, 0, units, chars, 3, pass_key, PlanKind::Replace};
}

struct Case {
  AdapterAction action;
  FieldState field;
  ReplaceFallback fallback;
  Plan expected;
};

void run(const std::vector<Case>& cases, const AppProfile& profile = {}) {
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(plan_action_with_fallback(c.action, c.field, profile, c.fallback), c.expected) << "row " << i;
    EXPECT_TRUE(c.fallback != ReplaceFallback::Off || plan_action(c.action, c.field, profile) == c.expected)
        << "row " << i;
  }
}

// The planner's reasons, as it names them.
constexpr string_view kMismatch = "replace-surrounding-mismatch";
constexpr string_view kOutOfRange = "replace-suffix-out-of-range";
constexpr string_view kVerified = "replace-verified";
constexpr string_view kTrusted = "replace-trusted-direct";
constexpr string_view kNoSurrounding = "replace-no-surrounding";
constexpr string_view kUnverifiedSuffix = "replace-unverified-suffix";

constexpr auto kOff = ReplaceFallback::Off;
constexpr auto kWithSurrounding = ReplaceFallback::WithSurrounding;
constexpr auto kAlways = ReplaceFallback::Always;

TEST(Plan, PassPreeditAndCommit) {
  run({
      {replace("ế", chars(1)), with_kind(field("e", "e", 1), 1), kAlways, pass_plan("field-disabled")},
      {pass(), with_kind(field(""), 3), kOff, pass_plan("field-disabled")},
      {pass(), field("abc"), kAlways, pass_plan("engine-pass")},
      {pass(), with_kind(field(""), 4), kOff, pass_plan("engine-pass")},
      {commit("x", false), with_kind(field(""), 5), kOff, commit_plan("commit", "x", false)},
      {preedit("việt", 3), field("vie"), kOff, preedit_plan("việt", 3)},
      {preedit("ab", 7), field(""), kOff, preedit_plan("ab", 2)},
      {preedit("a\U0001F600", 2), field(""), kOff, preedit_plan("a\U0001F600", 1)},
      {preedit("", 3), field(""), kOff, preedit_plan("", 0)},
      {commit("việt ", true), field("việt"), kOff, commit_plan("commit", "việt ", true)},
  });
}

TEST(Plan, ReplaceVerifiedAgainstTheField) {
  run({
      {replace("viế", chars(2)), field("vie", "xin vie", 7), kOff, replaced(kVerified, "viế", 2, 2)},
      {replace("việt", chars(3), true), field("vie", "vie", 3), kOff,
       replaced(kVerified, "việt", 3, 3, true)},
      {replace("ế", units(1)), field("e", "e", 1), kOff, replaced(kVerified, "ế", 1, 1)},
      {replace("x", chars(1)), field("a\U0001F600", "a\U0001F600", 3), kOff, replaced(kVerified, "x", 2, 1)},
      {replace("ế", units(0), true), field("", "", 0), kOff, commit_plan("replace-no-delete", "ế", true)},
      {replace("a", chars(0)), field(""), kAlways, commit_plan("replace-no-delete", "a", false)},
      {replace("x", chars(3)), field("ab"), kOff, fail_safe(kOutOfRange)},
      {replace("x", chars(3)), field("ab"), kAlways, fail_safe(kOutOfRange)},
      {replace("x", units(1)), field("a"), kOff, fail_safe(kNoSurrounding)},
      {replace("x", units(1)), field("a"), kWithSurrounding, fail_safe(kNoSurrounding)},
      {replace("x", units(1)), field("a"), kAlways, replaced(kTrusted, "x", 1, 1)},
      // A selection or a letter after the caret blocks even the fall-back.
      {replace("x", chars(1)), field("ba", "ba", 2, 0), kAlways, fail_safe(kMismatch)},
      {replace("x", chars(1)), field("a", "ab", 1), kAlways, fail_safe(kMismatch)},
      {replace("x", chars(1)), field("a", "zz", 2), kOff, fail_safe(kMismatch)},
  });
}

// A snapshot that can be read and contradicts the engine (the caret was moved, say by the
// mouse) must not be overridden by the fall-back: that would delete the user's text.
TEST(Plan, FallbackNeverOverridesAContradictingSnapshot) {
  run({
      {replace("x", chars(1)), field("a", "zz", 2), kWithSurrounding, fail_safe(kMismatch)},
      {replace("viế", chars(3)), field("vie", "xin chao", 8), kAlways, fail_safe(kMismatch)},
      {replace("x", chars(3)), field("vie", "zz", 2), kWithSurrounding, fail_safe(kMismatch)},
      {replace("x", units(1)), field("\U0001F600", "\U0001F600", 2), kAlways, fail_safe(kMismatch)},
      {replace("x", chars(1)), field("a", "", 0), kOff, fail_safe(kMismatch)},
  });
}

// A snapshot that shows less than the session's own text cannot vouch for it: nothing before the
// caret (a field that tells only the caret's line, after a line break), a caret outside the text,
// a text cut short. The word starts over rather than insert a replacement over a deletion that
// would be cut short; no fall-back overrules it.
TEST(Plan, ASnapshotThatCannotTellStartsTheWordOver) {
  run({
      {replace("viế", chars(3)), field("vie", "", 0), kWithSurrounding, fail_safe(kMismatch)},
      {replace("việ", chars(1)), field("vie", "", 0), kAlways, fail_safe(kMismatch)},
      {replace("viế", chars(3)), field("vie", "vie", 9), kWithSurrounding, fail_safe(kMismatch)},
      {replace("viế", chars(3)), field("vie", "ie", 2), kAlways, fail_safe(kMismatch)},
      {replace("ố", chars(1)), field("o", " x", 0), kWithSurrounding, fail_safe(kMismatch)},
      // Without a snapshot only the host's permission allows a replacement, of the own text alone.
      {replace("x", units(4)), unverified(field("vie")), kOff, fail_safe(kUnverifiedSuffix)},
      {replace("x", units(1)), unverified(field("\U0001F600")), kOff, fail_safe(kUnverifiedSuffix)},
      {replace("x", chars(1)), unverified(field("a\U0001F600")), kOff, replaced(kTrusted, "x", 2, 1)},
      // The host's permission does not overrule a snapshot: it must show all of the own text.
      {replace("lé", units(3)), unverified(field("telex", "ee", 2)), kOff, fail_safe(kMismatch)},
      {replace("lé", units(2)), unverified(field("telex", "tel ex", 6)), kOff, fail_safe(kMismatch)},
      {replace("lé", units(3)), unverified(field("telex", "", 0)), kOff, fail_safe(kMismatch)},
      {replace("lé", units(2)), unverified(field("telex", "a telex", 7)), kOff,
       replaced(kTrusted, "lé", 2, 2)},
  });
}

// The own text may reach back before the current word (a phrase macro takes back the words of
// its key that the session committed); what lies beyond it is never deleted, and all of it must
// stand unchanged before the caret.
TEST(Plan, ADeletionReachesNoFurtherThanTheOwnText) {
  run({
      {replace("Xin chào", chars(8)), field("xin chao", "hi xin chao", 11), kOff,
       replaced(kVerified, "Xin chào", 8, 8)},
      {replace("y", chars(3)), field("\U0001F600ab", "\U0001F600ab", 4), kOff,
       replaced(kVerified, "y", 4, 3)},
      // Only the word as displayed is the session's: the words before it are not.
      {replace("Xin chào", chars(8)), field("chao", "hi xin chao", 11), kOff, fail_safe(kOutOfRange)},
      {replace("xin chào", units(8)), field("chao", "xin chao", 8), kOff, fail_safe(kMismatch)},
      {replace("x", units(9)), field("xin chao", "a xin chao", 10), kAlways, fail_safe(kMismatch)},
      // The application took letters away or put its own in between.
      {replace("Xin chào", chars(8)), field("xin chao", "ab xichao", 9), kWithSurrounding,
       fail_safe(kMismatch)},
      {replace("Xin chào", chars(8)), field("xin chao", "ab xin viechao", 14), kOff, fail_safe(kMismatch)},
      {replace("không", chars(2)), field("ko", "ab kXYo", 7), kOff, fail_safe(kMismatch)},
      {replace("ệ", chars(1)), field("vie", "v·ie", 4), kOff, fail_safe(kMismatch)},
      {replace("x", chars(8)), field("xin chao", "xin chat", 8), kWithSurrounding, fail_safe(kMismatch)},
      {replace("x", chars(8)), field("chao"), kAlways, fail_safe(kOutOfRange)},
  });
}

TEST(Timing, WaitAfterDeleting) {
  // Backspace delay, per-character delay, wait for acknowledgement, characters, the wait.
  const std::tuple<std::uint32_t, std::uint32_t, bool, std::uint32_t, std::uint32_t> cases[] = {
      {500, 500, false, 10, 3},  {0, 0, false, 0, 3},
      {0, 2, true, 1, 3},        {0, 2, true, 10, 20},
      {0, 2, true, 40, 60},      {0, kU32Max, true, 1, 60},
      {0, kU32Max, true, 2, 60}, {kU32Max, kU32Max, true, 3, 60},
      {4, 0, true, 9, 4},        {7, 3, true, 5, 22},
      {0, 0, true, 5, 3},
  };
  for (const auto& [backspace, per_char, wait_ack, chars, expected] : cases) {
    AppProfile profile;
    profile.backspace_delay_ms = backspace;
    profile.delay_per_char_ms = per_char;
    profile.wait_ack = wait_ack;
    EXPECT_EQ(replace_wait_ms(profile, chars), expected) << backspace << " + " << per_char << " x " << chars;
  }
}

TEST(Timing, ReplacePlanCarriesTheProfileWait) {
  AppProfile profile;
  profile.delay_per_char_ms = 2;
  profile.wait_ack = true;
  profile.backspace_delay_ms = 5;
  const Plan plan = plan_action(replace("việt", chars(4)), field("viet", "viet", 4), profile);
  EXPECT_EQ(plan, (Plan{"việt", kVerified, 0, 4, 4, 13, false, PlanKind::Replace}));
}

TEST(FromAction, ConvertsEachKind) {
  const std::tuple<Action, AdapterAction> cases[] = {
      {Action::pass(), pass()},
      {Action::preedit("\U0001F600ab", 2), preedit("\U0001F600ab", 3)},  // a caret after a pair
      {Action::preedit("vi\U0001F600", 9), preedit("vi\U0001F600", 4)},  // a caret beyond the text
      {Action::replace("việt", 3, true), replace("việt", chars(3), true)},
      {Action::replace("x", std::size_t{kU32Max} + 2, false),
       replace("x", chars(kU32Max))},  // beyond 32 bits
      {Action::commit("việt ", true), commit("việt ", true)},
  };
  for (const auto& [action, expected] : cases) EXPECT_EQ(from_action(action), expected);
}

TEST(FromAction, HugeDeletionFailsSafe) {
  const auto action = from_action(Action::replace("x", std::size_t{1} << 32 | 1, false));
  EXPECT_EQ(plan_action_with_fallback(action, field("a", "a", 1), AppProfile{}, kAlways),
            fail_safe(kOutOfRange));
}

TEST(Plan, CursorToByte) {
  EXPECT_EQ(utf16_cursor_to_byte("a\U0001F600b", 3), std::optional<std::size_t>(5));
  EXPECT_EQ(utf16_cursor_to_byte("a\U0001F600b", 2), std::nullopt);
}

// The borders of every range, on both sides.
TEST(WordCodepoint, RangesAndTheirBorders) {
  const std::u32string_view words =
      U"\u1EBF\u0111\u0301_09AZaz\u00C0\u00D7\u00F7\u024F\u0300\u036F\u1E00\u1EFF";
  const std::u32string_view others =
      U"- \u00AA\u2019\u00B5/:@[^`{\u00BF\u0250\u02FF\u0370\u1DFF\u1F00\u0410\u4E2D\U0001F600";
  for (const char32_t c : words)
    EXPECT_TRUE(is_word_codepoint(c)) << std::hex << static_cast<std::uint32_t>(c);
  for (const char32_t c : others)
    EXPECT_FALSE(is_word_codepoint(c)) << std::hex << static_cast<std::uint32_t>(c);
}

// Independent reference: positions computed from the decoded characters, not by walking bytes.
struct Reference {
  std::vector<std::size_t> byte_at;    // byte offset of character i (size+1 entries)
  std::vector<std::uint32_t> unit_at;  // UTF-16 offset of character i
  std::uint32_t units() const { return unit_at.back(); }
  std::uint32_t chars() const { return static_cast<std::uint32_t>(byte_at.size() - 1); }
  // Character index at a UTF-16 offset, none between the units of a pair or past the end.
  optional<std::uint32_t> char_at_unit(std::uint32_t unit) const {
    for (std::uint32_t i = 0; i < unit_at.size(); ++i) {
      if (unit_at[i] == unit) return i;
    }
    return nullopt;
  }
};

Reference reference_of(const std::u32string& chars) {
  Reference ref;
  ref.byte_at.push_back(0);
  ref.unit_at.push_back(0);
  for (const char32_t c : chars) {
    ref.byte_at.push_back(ref.byte_at.back() + qrx_unicode::encode_utf8(c).size());
    ref.unit_at.push_back(ref.unit_at.back() + (c >= 0x10000 ? 2 : 1));
  }
  return ref;
}

std::u32string random_text(std::mt19937& rng, std::size_t length) {
  // ASCII, Vietnamese letters (precomposed and decomposed), two- and three-byte edges,
  // and characters beyond the Basic Multilingual Plane.
  static const std::u32string pool =
      U"aZ0_ ~\u007F\u0080\u00E2\u0111\u01A1\u0301\u0323"
      U"\u1EBF\u1EC7\u1EAD\u2019\uD7FF\uE000\uFFFD\uFFFF"
      U"\U00010000\U0001F600\U00020000\U0010FFFF";
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::u32string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back(pool[pick(rng)]);
  return text;
}

// Every offset function on every offset of generated texts (empty ones and surrogate pairs
// included), against that reference.
TEST(Offsets, AgreeWithAnIndependentCountOnGeneratedTexts) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<std::size_t> length(0, 24);
  for (int round = 0; round < 600; ++round) {
    const std::u32string chars = random_text(rng, length(rng));
    const std::string text = qrx_unicode::encode_utf8(chars);
    const Reference ref = reference_of(chars);
    SCOPED_TRACE(text);

    EXPECT_EQ(utf16_len(text), ref.units());
    EXPECT_EQ(char_len(text), ref.chars());
    for (std::uint32_t n = 0; n <= ref.chars() + 2; ++n) {
      const bool in_range = n <= ref.chars();
      EXPECT_EQ(char_to_byte_offset(text, n), in_range ? optional<std::size_t>(ref.byte_at[n]) : nullopt);
      EXPECT_EQ(char_to_utf16_offset(text, n), in_range ? optional<std::uint32_t>(ref.unit_at[n]) : nullopt);
      const std::uint32_t first = ref.chars() - n;
      EXPECT_EQ(char_suffix(text, n),
                in_range ? optional<string_view>(string_view(text).substr(ref.byte_at[first])) : nullopt);
      EXPECT_EQ(char_suffix_utf16_len(text, n),
                in_range ? optional<std::uint32_t>(ref.units() - ref.unit_at[first]) : nullopt);
    }
    for (std::uint32_t u = 0; u <= ref.units() + 2; ++u) {
      const auto at = ref.char_at_unit(u);
      EXPECT_EQ(utf16_to_char_offset(text, u), at);
      EXPECT_EQ(utf16_to_byte_offset(text, u), at ? optional<std::size_t>(ref.byte_at[*at]) : nullopt);
      EXPECT_EQ(utf16_prefix(text, u),
                at ? optional<string_view>(string_view(text).substr(0, ref.byte_at[*at])) : nullopt);
      EXPECT_EQ(next_codepoint(text, u), at && *at < ref.chars() ? optional<char32_t>(chars[*at]) : nullopt);
      // The suffix of u units starts where the prefix of (total - u) units ends.
      const auto from = u <= ref.units() ? ref.char_at_unit(ref.units() - u) : nullopt;
      EXPECT_EQ(utf16_suffix(text, u),
                from ? optional<string_view>(string_view(text).substr(ref.byte_at[*from])) : nullopt);
    }
  }
}

// Walks over UTF-16 units read eight bytes at a time must stop where a walk over characters
// does, whatever the bytes: a lead announces its sequence's length and a stray byte counts as one
// character, also where they straddle or fill eight bytes.
TEST(Offsets, UnitWalksOverIllFormedBytesAgreeWithACharacterWalk) {
  static const std::vector<std::string> pieces = {
      "a", "ab", "abcdefgh", "\xC6\xB0", "\xE1\xBB\x9D", "\xF0\x9F\x98\x80", "\x80", "\xBF\x80",
      "\xC3", "\xE1\xBA", "\xF0\x9F", "\xFF", "\xF8\x80\x80\x80", "\xC0\xC0"};
  std::mt19937 rng(20261207);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> count(0, 14);
  for (int round = 0; round < 800; ++round) {
    std::string text;
    for (int i = count(rng); i > 0; --i) text += pieces[pick(rng)];
    SCOPED_TRACE(::testing::PrintToString(text));
    // Character starts by the rule every walk follows: a lead byte's announced length, clipped
    // at the text's end, one byte for anything else; two units for a lead of four bytes or more.
    std::vector<std::size_t> byte_at{0};
    std::vector<std::uint32_t> unit_at{0};
    while (byte_at.back() < text.size()) {
      const auto lead = static_cast<unsigned char>(text[byte_at.back()]);
      const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      byte_at.push_back(std::min(text.size(), byte_at.back() + length));
      unit_at.push_back(unit_at.back() + (lead >= 0xF0 ? 2 : 1));
    }
    for (std::uint32_t u = 0; u <= unit_at.back() + 2; ++u) {
      const auto found = std::find(unit_at.begin(), unit_at.end(), u);
      if (found == unit_at.end()) {
        EXPECT_EQ(utf16_to_char_offset(text, u), nullopt) << u;
        EXPECT_EQ(utf16_to_byte_offset(text, u), nullopt) << u;
        EXPECT_EQ(utf16_prefix(text, u), nullopt) << u;
        continue;
      }
      const auto at = static_cast<std::size_t>(found - unit_at.begin());
      EXPECT_EQ(utf16_to_char_offset(text, u), optional<std::uint32_t>(static_cast<std::uint32_t>(at))) << u;
      EXPECT_EQ(utf16_to_byte_offset(text, u), optional<std::size_t>(byte_at[at])) << u;
      EXPECT_EQ(utf16_prefix(text, u), optional<string_view>(string_view(text).substr(0, byte_at[at])))
          << u;
    }
  }
}

// The planner counts a snapshot's units to find its caret from its end: the count follows the
// byte rule (every byte but a continuation byte, and once more for a four-byte lead or above)
// whatever the bytes, at every length, the ones the compiler's vector loop takes whole included.
TEST(Offsets, Utf16LengthFollowsTheByteRuleAtEveryLength) {
  static const std::vector<std::string> pieces = {
      "a",    "\xC6\xB0", "\xE1\xBB\x9D", "\xF0\x9F\x98\x80", "\x80",
      "\xC3", "\xFF",     "\xF8\x80",     " Vi\xE1\xBB\x87t"};
  std::mt19937 rng(29);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<std::size_t> length(0, 700);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    for (const std::size_t size = length(rng); text.size() < size;) text += pieces[pick(rng)];
    std::uint32_t expected = 0;
    for (const char c : text) {
      const auto b = static_cast<unsigned char>(c);
      expected += ((b & 0xC0) != 0x80) + (b >= 0xF0);
    }
    EXPECT_EQ(utf16_len(text), expected) << ::testing::PrintToString(text);
  }
}

TEST(Offsets, InvalidBytesNeverMakeAWalkLeaveTheText) {
  // Truncated sequences and stray continuation bytes, each in a buffer of exactly its size so
  // that the sanitizer sees any read past the end.
  const std::vector<std::string> samples = {"\xF0",     "a\xF0\x9F", "\xE1\xBA",
                                            "\x80\x80", "\xC3",      "\xF4\x80\x80"};
  for (const auto& sample : samples) {
    const auto buffer = std::make_unique<char[]>(sample.size());
    std::copy(sample.begin(), sample.end(), buffer.get());
    const string_view text(buffer.get(), sample.size());
    for (std::uint32_t n = 0; n < 6; ++n) {
      const auto by_char = char_to_byte_offset(text, n);
      const auto by_unit = utf16_to_byte_offset(text, n);
      EXPECT_TRUE(!by_char || *by_char <= text.size()) << n;
      EXPECT_TRUE(!by_unit || *by_unit <= text.size()) << n;
      (void)char_suffix(text, n);
      (void)utf16_prefix(text, n);
      (void)utf16_suffix(text, n);
      (void)next_codepoint(text, n);
      (void)char_suffix_utf16_len(text, n);
    }
  }
}

FieldState snapshot(string_view surrounding, std::uint32_t cursor, std::uint32_t anchor) {
  FieldState field;
  field.surrounding = surrounding;
  field.cursor_utf16 = cursor;
  field.anchor_utf16 = anchor;
  return field;
}

// A caller that knows its snapshot to be well-formed has the caret found from the text's end; the
// check must come out as the walk from the start makes it, for carets anywhere (past the end and
// inside a pair too), selections, own texts that stand before the caret or not, and any deletion.
TEST(CheckReplace, WellFormedSnapshotsAreCheckedAsAWalkFromTheStartChecksThem) {
  std::mt19937 rng(2029);
  std::uniform_int_distribution<std::size_t> length(0, 40);
  std::uniform_int_distribution<int> coin(0, 3);
  for (int round = 0; round < 3000; ++round) {
    const std::u32string chars = random_text(rng, length(rng));
    const std::string text = qrx_unicode::encode_utf8(chars);
    const Reference ref = reference_of(chars);
    const auto cursor = std::uniform_int_distribution<std::uint32_t>(0, ref.units() + 2)(rng);
    // Mostly the session's own text is the end of what stands before a caret on a character.
    const std::uint32_t caret_char = ref.char_at_unit(std::min(cursor, ref.units())).value_or(0);
    const std::size_t own_from = std::uniform_int_distribution<std::size_t>(0, caret_char)(rng);
    std::string own = qrx_unicode::encode_utf8(chars.substr(own_from, caret_char - own_from));
    if (coin(rng) == 0) own = qrx_unicode::encode_utf8(random_text(rng, length(rng) / 4));
    FieldState walked = snapshot(text, cursor, coin(rng) == 0 ? cursor + 1 : cursor);
    FieldState counted = walked;
    counted.surrounding_well_formed = true;
    const auto n =
        std::uniform_int_distribution<std::uint32_t>(0, static_cast<std::uint32_t>(own.size()) + 1)(rng);
    SCOPED_TRACE(::testing::PrintToString(text) + " caret " + std::to_string(cursor) + " own " + own);
    const auto expected = check_replace_view(own, walked, n);
    const auto found = check_replace_view(own, counted, n);
    ASSERT_EQ(found.has_value(), expected.has_value()) << n;
    if (!found) continue;
    EXPECT_EQ(found->deleted, expected->deleted);
    EXPECT_EQ(found->delete_utf16, expected->delete_utf16);
    EXPECT_EQ(found->delete_chars, expected->delete_chars);
  }
}

TEST(CheckReplace, ConfirmsOnlyTheOwnTextStandingJustBeforeTheCaret) {
  FieldState unread;
  using Row = std::tuple<const char*, string_view, FieldState, std::uint32_t, optional<VerifiedDeletion>>;
  const Row cases[] = {
      {"display ends the text", "vie", snapshot("xin vie", 7, 7), 3, VerifiedDeletion{"vie", 3, 3}},
      {"part of the display", "viê", snapshot("xin viê", 7, 7), 1, VerifiedDeletion{"ê", 1, 1}},
      {"caret before a space", "vie", snapshot("vie tiep", 3, 3), 3, VerifiedDeletion{"vie", 3, 3}},
      {"astral character", "a\U0001F600", snapshot("a\U0001F600", 3, 3), 2,
       VerifiedDeletion{"\U0001F600", 2, 1}},
      {"own text reaching back", "xin chao", snapshot("a xin chao", 10, 10), 8,
       VerifiedDeletion{"xin chao", 8, 8}},
      {"no own text", "", snapshot("ab", 2, 2), 1, nullopt},
      {"deletion before the own text", "chao", snapshot("xin chao", 8, 8), 8, nullopt},
      {"own text changed inside", "vie", snapshot("xv·ie", 5, 5), 1, nullopt},
      {"own text cut short", "vie", snapshot("ie", 2, 2), 1, nullopt},
      {"nothing to delete", "vie", snapshot("vie", 3, 3), 0, nullopt},
      {"no snapshot", "vie", unread, 3, nullopt},
      {"selection", "vie", snapshot("vie", 3, 1), 3, nullopt},
      {"letter after the caret", "vie", snapshot("viet", 3, 3), 3, nullopt},
      {"Vietnamese letter after the caret", "vi", snapshot("việt", 2, 2), 2, nullopt},
      {"display elsewhere", "vie", snapshot("abc", 3, 3), 3, nullopt},
      {"caret past the snapshot", "vie", snapshot("vie", 4, 4), 3, nullopt},
      {"caret inside a pair", "a", snapshot("\U0001F600a", 1, 1), 1, nullopt},
      {"deletion longer than the field", "vie", snapshot("vie", 3, 3), 4, nullopt},
      {"longer deletion, display not at the caret", "chao", snapshot("xin chat", 8, 8), 8, nullopt},
      {"deletion cutting a pair", "\U0001F600", snapshot("\U0001F600", 2, 2), 1, nullopt},
  };
  for (const auto& [name, display, field, n, expected] : cases) {
    EXPECT_EQ(check_replace(display, field, n), expected) << name;
  }
}

}  // namespace
