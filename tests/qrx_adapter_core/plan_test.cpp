#include <qrx_adapter_core/plan.h>

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace qrx_adapter_core::plan;
using qrx_adapter_core::timing::replace_wait_ms;
using qrx_engine::ports::AppProfile;
using qrx_engine::session::Action;
using std::string_view;

constexpr std::uint32_t kU32Max = std::numeric_limits<std::uint32_t>::max();

AdapterAction pass() { return {AdapterAction::Pass{}}; }
AdapterAction preedit(std::string text, std::uint32_t cursor) {
  return {AdapterAction::Preedit{std::move(text), cursor}};
}
AdapterAction commit(std::string text, bool pass_key) {
  return {AdapterAction::Commit{std::move(text), pass_key}};
}
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
// Replacements under the default profile wait the fixed minimum.
Plan replaced(string_view reason, std::string text, std::uint32_t units, std::uint32_t chars,
              bool pass_key = false) {
  return Plan{std::move(text), reason, 0, units, chars, 3, pass_key, PlanKind::Replace};
}

struct Case {
  const char* name;
  AdapterAction action;
  FieldState field;
  ReplaceFallback fallback;
  Plan expected;
};

void run(const std::vector<Case>& cases, const AppProfile& profile = {}) {
  for (const auto& c : cases) {
    EXPECT_EQ(plan_action_with_fallback(c.action, c.field, profile, c.fallback), c.expected) << c.name;
    if (c.fallback == ReplaceFallback::Off) {
      EXPECT_EQ(plan_action(c.action, c.field, profile), c.expected) << c.name;
    }
  }
}

constexpr auto kOff = ReplaceFallback::Off;
constexpr auto kWithSurrounding = ReplaceFallback::WithSurrounding;
constexpr auto kAlways = ReplaceFallback::Always;

TEST(Plan, PassPreeditAndCommit) {
  run({
      {"field kind 1", replace("ế", DeleteCount::chars(1)), with_kind(field("e", "e", 1), 1), kAlways,
       pass_plan("field-disabled")},
      {"field kind 2, replace", replace("ế", DeleteCount::chars(1)), with_kind(field("e", "e", 1), 2),
       kAlways, pass_plan("field-disabled")},
      {"field kind 2, preedit", preedit("ế", 1), with_kind(field(""), 2), kOff, pass_plan("field-disabled")},
      {"field kind 2, commit", commit("ế", true), with_kind(field(""), 2), kOff, pass_plan("field-disabled")},
      {"field kind 3", pass(), with_kind(field(""), 3), kOff, pass_plan("field-disabled")},
      {"engine pass", pass(), field("abc"), kAlways, pass_plan("engine-pass")},
      {"field kind 4 plans normally", pass(), with_kind(field(""), 4), kOff, pass_plan("engine-pass")},
      {"field kind 5 plans normally", commit("x", false), with_kind(field(""), 5), kOff,
       Plan{"x", "commit", 0, 0, 0, 0, false, PlanKind::Commit}},
      {"preedit", preedit("việt", 3), field("vie"), kOff,
       Plan{"việt", "preedit", 3, 0, 0, 0, false, PlanKind::Preedit}},
      {"preedit caret beyond its text stays on it", preedit("ab", 7), field(""), kOff,
       Plan{"ab", "preedit", 2, 0, 0, 0, false, PlanKind::Preedit}},
      {"preedit caret inside a surrogate pair moves before it", preedit("a\U0001F600", 2), field(""), kOff,
       Plan{"a\U0001F600", "preedit", 1, 0, 0, 0, false, PlanKind::Preedit}},
      {"empty preedit", preedit("", 3), field(""), kOff,
       Plan{"", "preedit", 0, 0, 0, 0, false, PlanKind::Preedit}},
      {"commit passing the key", commit("việt ", true), field("việt"), kOff,
       Plan{"việt ", "commit", 0, 0, 0, 0, true, PlanKind::Commit}},
  });
}

TEST(Plan, ReplaceVerifiedAgainstTheField) {
  run({
      {"verified", replace("viế", DeleteCount::chars(2)), field("vie", "xin vie", 7), kOff,
       replaced("replace-verified", "viế", 2, 2)},
      {"verified, key passed on", replace("việt", DeleteCount::chars(3), true), field("vie", "vie", 3), kOff,
       replaced("replace-verified", "việt", 3, 3, true)},
      {"UTF-16 count", replace("ế", DeleteCount::utf16(1)), field("e", "e", 1), kOff,
       replaced("replace-verified", "ế", 1, 1)},
      {"astral character", replace("x", DeleteCount::chars(1)), field("a\U0001F600", "a\U0001F600", 3), kOff,
       replaced("replace-verified", "x", 2, 1)},
      {"astral character counted in UTF-16", replace("x", DeleteCount::utf16(2)),
       field("a\U0001F600", "a\U0001F600", 3), kOff, replaced("replace-verified", "x", 2, 1)},
      {"nothing to delete (UTF-16)", replace("ế", DeleteCount::utf16(0), true), field("", "", 0), kOff,
       Plan{"ế", "replace-no-delete", 0, 0, 0, 0, true, PlanKind::Commit}},
      {"nothing to delete (characters)", replace("a", DeleteCount::chars(0)), field(""), kAlways,
       Plan{"a", "replace-no-delete", 0, 0, 0, 0, false, PlanKind::Commit}},
      {"count larger than the display", replace("x", DeleteCount::chars(3)), field("ab"), kOff,
       fail_safe("replace-suffix-out-of-range")},
      {"count larger than the display, with fall-back", replace("x", DeleteCount::chars(3)), field("ab"),
       kAlways, fail_safe("replace-suffix-out-of-range")},
      {"no snapshot", replace("x", DeleteCount::utf16(1)), field("a"), kOff,
       fail_safe("replace-no-surrounding")},
      {"no snapshot, fall-back with surrounding", replace("x", DeleteCount::utf16(1)), field("a"),
       kWithSurrounding, fail_safe("replace-no-surrounding")},
      {"no snapshot, fall-back always", replace("x", DeleteCount::utf16(1)), field("a"), kAlways,
       replaced("replace-trusted-direct", "x", 1, 1)},
      {"selection", replace("x", DeleteCount::chars(1)), field("a", "a b", 1, 2), kOff,
       fail_safe("replace-surrounding-mismatch")},
      {"selection blocks the fall-back", replace("x", DeleteCount::chars(1)), field("ba", "ba", 2, 0),
       kAlways, fail_safe("replace-surrounding-mismatch")},
      {"letter after the caret", replace("x", DeleteCount::chars(1)), field("a", "ab", 1), kOff,
       fail_safe("replace-surrounding-mismatch")},
      {"letter after the caret blocks the fall-back", replace("x", DeleteCount::chars(1)),
       field("a", "ab", 1), kAlways, fail_safe("replace-surrounding-mismatch")},
      {"display not before the caret", replace("x", DeleteCount::chars(1)), field("a", "zz", 2), kOff,
       fail_safe("replace-surrounding-mismatch")},
  });
}

// A snapshot that can be read and contradicts the engine (the caret was moved, say by the
// mouse) must not be overridden by the fall-back: that would delete the user's text.
TEST(Plan, FallbackNeverOverridesAContradictingSnapshot) {
  run({
      {"contradiction, fall-back with surrounding", replace("x", DeleteCount::chars(1)), field("a", "zz", 2),
       kWithSurrounding, fail_safe("replace-surrounding-mismatch")},
      {"contradiction, fall-back always", replace("viế", DeleteCount::chars(3)), field("vie", "xin chao", 8),
       kAlways, fail_safe("replace-surrounding-mismatch")},
      {"caret moved into other text", replace("ố", DeleteCount::chars(1)), field("o", "hello world. ", 13),
       kWithSurrounding, fail_safe("replace-surrounding-mismatch")},
      {"short snapshot that disagrees", replace("x", DeleteCount::chars(3)), field("vie", "zz", 2),
       kWithSurrounding, fail_safe("replace-surrounding-mismatch")},
      {"deletion cutting a pair in the snapshot", replace("x", DeleteCount::utf16(1)),
       field("\U0001F600", "\U0001F600", 2), kAlways, fail_safe("replace-surrounding-mismatch")},
      {"fall-back off", replace("x", DeleteCount::chars(1)), field("a", "", 0), kOff,
       fail_safe("replace-surrounding-mismatch")},
  });
}

TEST(Plan, FallbackWhenTheSnapshotCannotTell) {
  run({
      {"nothing before the caret", replace("viế", DeleteCount::chars(3)), field("vie", "", 0),
       kWithSurrounding, replaced("replace-trusted-direct", "viế", 3, 3)},
      {"caret beyond the snapshot", replace("viế", DeleteCount::chars(3)), field("vie", "vie", 9),
       kWithSurrounding, replaced("replace-trusted-direct", "viế", 3, 3)},
      {"snapshot shorter than the deletion but agreeing", replace("viế", DeleteCount::chars(3)),
       field("vie", "ie", 2), kWithSurrounding, replaced("replace-trusted-direct", "viế", 3, 3)},
      {"caret before a space still allows it", replace("ố", DeleteCount::chars(1)), field("o", " x", 0),
       kWithSurrounding, replaced("replace-trusted-direct", "ố", 1, 1)},
      {"unverified: deletion longer than the display", replace("x", DeleteCount::utf16(4)),
       unverified(field("vie")), kOff, fail_safe("replace-unverified-suffix")},
      {"unverified: deletion cutting a pair", replace("x", DeleteCount::utf16(1)),
       unverified(field("\U0001F600")), kOff, fail_safe("replace-unverified-suffix")},
      {"unverified permitted", replace("x", DeleteCount::chars(1)), unverified(field("a\U0001F600")), kOff,
       replaced("replace-trusted-direct", "x", 2, 1)},
      // The host's permission does not overrule a readable snapshot that says otherwise.
      {"unverified against a contradicting snapshot", replace("lé", DeleteCount::utf16(3)),
       unverified(field("telex", "ee", 2)), kOff, fail_safe("replace-surrounding-mismatch")},
      {"unverified with an agreeing snapshot", replace("lé", DeleteCount::utf16(2)),
       unverified(field("telex", "tel ex", 6)), kOff, replaced("replace-trusted-direct", "lé", 2, 2)},
      {"unverified with an unreadable field", replace("lé", DeleteCount::utf16(3)),
       unverified(field("telex", "", 0)), kOff, replaced("replace-trusted-direct", "lé", 3, 3)},
  });
}

// A phrase macro replaces its whole key although only the last word is the current display.
TEST(Plan, DeletionReachingBeforeTheCurrentWord) {
  run({
      {"phrase key verified in the field", replace("xin chào bạn", DeleteCount::chars(8)),
       field("chao", "hi xin chao", 11), kOff, replaced("replace-verified", "xin chào bạn", 8, 8)},
      {"phrase key counted in UTF-16", replace("xin chào", DeleteCount::utf16(8)),
       field("chao", "xin chao", 8), kOff, replaced("replace-verified", "xin chào", 8, 8)},
      {"phrase key with astral text", replace("y", DeleteCount::chars(3)), field("b", "\U0001F600ab", 4),
       kOff, replaced("replace-verified", "y", 4, 3)},
      {"current word not before the caret", replace("x", DeleteCount::chars(8)), field("chao", "xin chat", 8),
       kWithSurrounding, fail_safe("replace-suffix-out-of-range")},
      {"field too short for the key", replace("x", DeleteCount::chars(8)), field("chao", " chao", 5),
       kWithSurrounding, fail_safe("replace-suffix-out-of-range")},
      {"no snapshot to verify against", replace("x", DeleteCount::chars(8)), field("chao"), kAlways,
       fail_safe("replace-suffix-out-of-range")},
      {"UTF-16 count beyond the field", replace("x", DeleteCount::utf16(9)), field("chao", "xin chao", 8),
       kOff, fail_safe("replace-surrounding-mismatch")},
  });
}

TEST(Timing, WaitAfterDeleting) {
  struct Case {
    std::uint32_t backspace;
    std::uint32_t per_char;
    bool wait_ack;
    std::uint32_t chars;
    std::uint32_t expected;
  };
  const std::vector<Case> cases = {
      {500, 500, false, 10, 3},  {0, 0, false, 0, 3},
      {0, 2, true, 1, 3},        {0, 2, true, 10, 20},
      {0, 2, true, 40, 60},      {0, kU32Max, true, 1, 60},
      {0, kU32Max, true, 2, 60}, {kU32Max, kU32Max, true, 3, 60},
      {4, 0, true, 9, 4},        {7, 3, true, 5, 22},
      {0, 0, true, 5, 3},
  };
  for (const auto& c : cases) {
    AppProfile profile;
    profile.backspace_delay_ms = c.backspace;
    profile.delay_per_char_ms = c.per_char;
    profile.wait_ack = c.wait_ack;
    EXPECT_EQ(replace_wait_ms(profile, c.chars), c.expected)
        << c.backspace << " + " << c.per_char << " x " << c.chars;
  }
}

TEST(Timing, ReplacePlanCarriesTheProfileWait) {
  AppProfile profile;
  profile.delay_per_char_ms = 2;
  profile.wait_ack = true;
  profile.backspace_delay_ms = 5;
  const Plan plan = plan_action(replace("việt", DeleteCount::chars(4)), field("viet", "viet", 4), profile);
  EXPECT_EQ(plan, (Plan{"việt", "replace-verified", 0, 4, 4, 13, false, PlanKind::Replace}));
}

TEST(FromAction, ConvertsEachKind) {
  struct Case {
    const char* name;
    Action action;
    AdapterAction expected;
  };
  const std::vector<Case> cases = {
      {"pass", Action::pass(), pass()},
      {"preedit cursor after an astral character", Action::preedit("\U0001F600ab", 2),
       preedit("\U0001F600ab", 3)},
      {"preedit cursor beyond the text", Action::preedit("vi\U0001F600", 9), preedit("vi\U0001F600", 4)},
      {"preedit cursor at the start", Action::preedit("việt", 0), preedit("việt", 0)},
      {"replace", Action::replace("việt", 3, true), replace("việt", DeleteCount::chars(3), true)},
      {"replace with a count beyond 32 bits",
       Action::replace("x", std::size_t{std::numeric_limits<std::uint32_t>::max()} + 2, false),
       replace("x", DeleteCount::chars(kU32Max))},
      {"commit", Action::commit("việt ", true), commit("việt ", true)},
  };
  for (const auto& c : cases) EXPECT_EQ(from_action(c.action), c.expected) << c.name;
}

TEST(FromAction, HugeDeletionFailsSafe) {
  const auto action = from_action(Action::replace("x", std::size_t{1} << 32 | 1, false));
  EXPECT_EQ(plan_action_with_fallback(action, field("a", "a", 1), AppProfile{}, kAlways),
            fail_safe("replace-suffix-out-of-range"));
}

TEST(Plan, CursorToByte) {
  EXPECT_EQ(utf16_cursor_to_byte("a\U0001F600b", 3), std::optional<std::size_t>(5));
  EXPECT_EQ(utf16_cursor_to_byte("a\U0001F600b", 2), std::nullopt);
}

}  // namespace
