// The exported functions one by one: neutral results, argument rules, output slots and their
// lifetimes, configuration, charsets, offsets.
#include "session_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace qrx_ffi_test;

// A plan record whose every byte is 0xAB, to see what a call wrote into it.
void poison(QrxPlan& plan) { std::memset(&plan, 0xAB, sizeof plan); }
bool is_poisoned(const QrxPlan& plan) {
  const auto* raw = reinterpret_cast<const unsigned char*>(&plan);
  return std::all_of(raw, raw + sizeof plan, [](unsigned char b) { return b == 0xAB; });
}

// Whether typing "a" shows marked text (preedit) or lets the key through (replace).
std::uint32_t mode_of(QrxSession* session) {
  const QrxAction action = qrx_process_key(session, "a", false, false, false);
  qrx_reset(session);
  return action.kind == 1 ? kPreedit : kReplace;
}

TEST(SessionNew, ModeAndConfigurationText) {
  struct Case {
    const char* config;
    std::uint32_t mode;
    bool created;
    std::uint32_t expected_mode;
  };
  const Case cases[] = {
      {nullptr, 1, true, kReplace},
      {nullptr, 0, true, kPreedit},
      {nullptr, 0xFFFFFFFF, true, kPreedit},
      {"{}\n\t ", 1, true, kReplace},
      {"{} x", 1, false, 0},
      {"", 1, false, 0},
      {"[", 1, false, 0},
      {R"({"spell_check":1})", 1, false, 0},
  };
  for (const Case& c : cases) {
    auto session = make_session(c.config, c.mode);
    ASSERT_EQ(session != nullptr, c.created) << text_of(c.config) << " mode " << c.mode;
    if (session) {
      EXPECT_EQ(mode_of(session.get()), c.expected_mode) << text_of(c.config);
    }
  }
}

TEST(SessionNew, InvalidUtf8InsideAStringIsReadAsReplacementCharacter) {
  auto session = make_session("{\"macros\":{\"k\":\"a\377b\"}}");
  ASSERT_NE(session, nullptr);
  EXPECT_NE(std::string(qrx_config_json(session.get())).find("\"k\":\"a\xEF\xBF\xBD\x62\""),
            std::string::npos);
}

TEST(NullHandle, EveryFunctionGivesItsNeutralResult) {
  QrxAction action{};
  action.kind = 3;
  action.insert = "x";
  QrxPlan plan;
  poison(plan);
  std::size_t length = 77;
  const std::uint8_t bytes[] = {'a'};

  EXPECT_TRUE(is_all_zero(qrx_process_key(nullptr, "a", false, false, false)));
  EXPECT_TRUE(is_all_zero(qrx_process_char(nullptr, 'a', false, false, false)));
  EXPECT_TRUE(is_all_zero(qrx_flush(nullptr)));
  EXPECT_TRUE(is_all_zero(qrx_cursor_moved(nullptr)));
  EXPECT_TRUE(is_all_zero(qrx_focus_changed(nullptr, "firefox")));
  EXPECT_TRUE(is_all_zero(qrx_toggle_vietnamese(nullptr)));
  EXPECT_TRUE(is_all_zero(qrx_set_field_kind(nullptr, 2)));
  EXPECT_TRUE(is_all_zero(qrx_set_output_mode(nullptr, 1)));
  qrx_set_surrounding_text(nullptr, "abc");
  qrx_reset(nullptr);
  qrx_session_free(nullptr);
  EXPECT_EQ(qrx_display_text(nullptr), nullptr);
  EXPECT_FALSE(qrx_is_enabled(nullptr));
  EXPECT_EQ(qrx_profile_backspace_delay_ms(nullptr), 0U);
  EXPECT_EQ(qrx_profile_delay_per_char_ms(nullptr), 0U);
  EXPECT_EQ(qrx_profile_output_mode(nullptr), 0U);
  EXPECT_FALSE(qrx_profile_wait_ack(nullptr));
  EXPECT_FALSE(qrx_plan_action(nullptr, &action, 0, "", "", 0, 0, false, &plan));
  EXPECT_FALSE(qrx_plan_action_with_fallback(nullptr, &action, 0, "", "", 0, 0, false, 1, &plan));
  EXPECT_TRUE(is_poisoned(plan));
  EXPECT_EQ(qrx_config_json(nullptr), nullptr);
  EXPECT_EQ(qrx_app_profile_json(nullptr), nullptr);
  EXPECT_EQ(qrx_config_version(nullptr), 0U);
  EXPECT_FALSE(qrx_set_config_json(nullptr, "{}"));
  QrxAction out = action;
  EXPECT_FALSE(qrx_apply_config_json(nullptr, "{}", &out));
  EXPECT_EQ(out.kind, 3U);
  qrx_load_dictionary(nullptr, "a", "b");
  qrx_add_dictionary_words(nullptr, "a", true);
  EXPECT_EQ(qrx_charset_encode(nullptr, "viqr", "a"), nullptr);
  EXPECT_EQ(qrx_charset_decode(nullptr, "viqr", "a"), nullptr);
  EXPECT_EQ(qrx_charset_encode_bytes(nullptr, "tcvn3", "a", &length), nullptr);
  EXPECT_EQ(length, 77U);
  EXPECT_EQ(qrx_charset_decode_bytes(nullptr, "tcvn3", bytes, 1), nullptr);
}

TEST(NullArguments, AreRejectedWithoutTouchingTheSession) {
  auto session = make_session(nullptr, kPreedit);
  type_keys(session.get(), "vie");
  std::size_t length = 77;
  const std::uint8_t bytes[] = {'a'};
  QrxPlan plan;
  poison(plan);
  QrxAction action{};

  EXPECT_TRUE(is_all_zero(qrx_process_key(session.get(), nullptr, false, false, false)));
  EXPECT_FALSE(qrx_set_config_json(session.get(), nullptr));
  EXPECT_FALSE(qrx_apply_config_json(session.get(), nullptr, &action));
  EXPECT_EQ(qrx_charset_encode(session.get(), nullptr, "a"), nullptr);
  EXPECT_EQ(qrx_charset_encode(session.get(), "viqr", nullptr), nullptr);
  EXPECT_EQ(qrx_charset_decode(session.get(), nullptr, "a"), nullptr);
  EXPECT_EQ(qrx_charset_decode(session.get(), "viqr", nullptr), nullptr);
  EXPECT_EQ(qrx_charset_encode_bytes(session.get(), nullptr, "a", &length), nullptr);
  EXPECT_EQ(qrx_charset_encode_bytes(session.get(), "tcvn3", nullptr, &length), nullptr);
  EXPECT_EQ(length, 77U);
  EXPECT_EQ(qrx_charset_decode_bytes(session.get(), nullptr, bytes, 1), nullptr);
  EXPECT_EQ(qrx_charset_decode_bytes(session.get(), "tcvn3", nullptr, 0), nullptr);
  EXPECT_FALSE(qrx_plan_action(session.get(), nullptr, 0, "", "", 0, 0, false, &plan));
  EXPECT_FALSE(qrx_plan_action(session.get(), &action, 0, "", "", 0, 0, false, nullptr));
  EXPECT_TRUE(is_poisoned(plan));
  EXPECT_STREQ(qrx_display_text(session.get()), "vie");
}

TEST(ProcessKey, NamesAndCodePoints) {
  auto session = make_session(nullptr, kPreedit);
  type_keys(session.get(), "vie");
  // A code point that is no character, or U+0000, never reaches the session.
  for (std::uint32_t cp : {0xD800U, 0xDFFFU, 0x110000U, 0xFFFFFFFFU, 0U}) {
    EXPECT_TRUE(is_all_zero(qrx_process_char(session.get(), cp, false, false, false))) << cp;
    EXPECT_STREQ(qrx_display_text(session.get()), "vie") << cp;
  }
  const QrxAction by_char = qrx_process_char(session.get(), 0x65, false, false, false);
  EXPECT_EQ(by_char.kind, 1U);
  EXPECT_STREQ(by_char.insert, "vi\xC3\xAA");
  // The empty name is another key: the marked word is committed and the key goes on.
  const QrxAction other = qrx_process_key(session.get(), "", false, false, false);
  EXPECT_EQ(other.kind, 3U);
  EXPECT_STREQ(other.insert, "vi\xC3\xAA");
  EXPECT_TRUE(other.pass_key);
}

TEST(ProcessKey, ReplaceOfAPreviousWordIsMeasuredOnTheSurroundingText) {
  auto session = make_session();
  qrx_set_surrounding_text(session.get(), ("T\xC3\xB4i " + kGrin + " chao").c_str());
  const QrxAction action = qrx_process_key(session.get(), "f", false, false, false);
  ASSERT_EQ(action.kind, 2U);
  EXPECT_STREQ(action.insert, "\xC3\xA0o");  // ào
  EXPECT_EQ(action.delete_before_utf16, 2U);
  EXPECT_STREQ(qrx_display_text(session.get()), "ch\xC3\xA0o");
}

TEST(SessionState, FieldKindAndOutputMode) {
  auto session = make_session();
  EXPECT_TRUE(is_all_zero(qrx_set_field_kind(session.get(), 2)));
  EXPECT_TRUE(is_all_zero(type_keys(session.get(), "as")));
  EXPECT_STREQ(qrx_display_text(session.get()), "") << "a pass-through field changes nothing";
  for (std::uint32_t kind : {6U, 7U}) {
    qrx_set_field_kind(session.get(), 2);
    qrx_set_field_kind(session.get(), kind);
    EXPECT_EQ(type_keys(session.get(), "as").kind, 2U) << kind << " counts as a normal field";
    qrx_reset(session.get());
  }

  EXPECT_TRUE(is_all_zero(qrx_set_output_mode(session.get(), 2)));
  EXPECT_EQ(mode_of(session.get()), kPreedit);
  type_keys(session.get(), "vie");
  const QrxAction commit = qrx_set_output_mode(session.get(), 1);
  EXPECT_EQ(commit.kind, 3U);
  EXPECT_STREQ(commit.insert, "vie");
  EXPECT_FALSE(commit.pass_key);
  EXPECT_EQ(mode_of(session.get()), kReplace);
}

TEST(SessionState, FocusAndToggle) {
  auto session = make_session();
  EXPECT_TRUE(qrx_is_enabled(session.get()));
  qrx_focus_changed(session.get(), "org.example.editor");
  EXPECT_TRUE(is_all_zero(qrx_toggle_vietnamese(session.get())));
  EXPECT_FALSE(qrx_is_enabled(session.get()));
  EXPECT_EQ(qrx_config_version(session.get()), 1U) << "the per-application choice is saved";
  ASSERT_TRUE(qrx_set_config_json(session.get(), "{}")) << "a patch builds on the saved configuration";
  EXPECT_NE(std::string(qrx_config_json(session.get())).find("\"app_modes\":{\"editor\":false}"),
            std::string::npos);

  // No application: the toggle has nowhere to be remembered.
  qrx_focus_changed(session.get(), nullptr);
  qrx_toggle_vietnamese(session.get());
  EXPECT_EQ(qrx_config_version(session.get()), 1U);

  qrx_focus_changed(session.get(), "org.example.editor");
  EXPECT_FALSE(qrx_is_enabled(session.get())) << "the saved choice applies on return";
}

TEST(SessionState, ProfileValues) {
  auto session = make_session();
  struct Case {
    const char* app;
    std::uint32_t backspace, per_char, mode;
    bool wait_ack;
  };
  const Case cases[] = {
      {"firefox", 4, 0, 1, false},
      {"chrome", 0, 2, 0, true},
      {"org.example.editor", 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    qrx_focus_changed(session.get(), c.app);
    EXPECT_EQ(qrx_profile_backspace_delay_ms(session.get()), c.backspace) << c.app;
    EXPECT_EQ(qrx_profile_delay_per_char_ms(session.get()), c.per_char) << c.app;
    EXPECT_EQ(qrx_profile_output_mode(session.get()), c.mode) << c.app;
    EXPECT_EQ(qrx_profile_wait_ack(session.get()), c.wait_ack) << c.app;
  }
  auto custom = make_session(R"({"app_profiles":{"editor":{"output_mode":"replace"}}})");
  qrx_focus_changed(custom.get(), "editor");
  EXPECT_EQ(qrx_profile_output_mode(custom.get()), 2U);
  EXPECT_NE(std::string(qrx_app_profile_json(custom.get())).find("\"output_mode\":\"replace\""),
            std::string::npos);
}

QrxAction action_of(std::uint32_t kind, const char* text, std::uint32_t del = 0, bool pass_key = false) {
  QrxAction action{};
  action.kind = kind;
  action.insert = text;
  action.delete_before_utf16 = del;
  action.pass_key = pass_key;
  return action;
}

TEST(Plan, ArgumentsAndRecord) {
  auto session = make_session();
  QrxPlan plan;
  poison(plan);

  const QrxAction replace = action_of(2, "vi\xE1\xBB\x87t", 3);
  EXPECT_FALSE(
      qrx_plan_action_with_fallback(session.get(), &replace, 0, "vie", "vie", 3, 3, false, 3, &plan));
  const QrxAction unknown = action_of(4, "x");
  EXPECT_FALSE(qrx_plan_action(session.get(), &unknown, 0, "", nullptr, 0, 0, false, &plan));
  EXPECT_TRUE(is_poisoned(plan));

  ASSERT_TRUE(qrx_plan_action(session.get(), &replace, 0, "vie", "xin vie", 7, 7, false, &plan));
  EXPECT_EQ(plan.kind, 3U);
  EXPECT_EQ(plan.delete_utf16, 3U);
  EXPECT_EQ(plan.delete_chars, 3U);
  EXPECT_EQ(plan.wait_ms, 3U);
  EXPECT_FALSE(plan.pass_key);
  EXPECT_STREQ(plan.text, "vi\xE1\xBB\x87t");
  // The record's padding is the host's.
  const auto* raw = reinterpret_cast<const unsigned char*>(&plan);
  for (std::size_t i = offsetof(QrxPlan, pass_key) + 1; i < offsetof(QrxPlan, text); ++i)
    EXPECT_EQ(raw[i], 0xAB) << i;

  // An empty plan text gives null and leaves the earlier text where it was.
  const char* earlier = plan.text;
  const QrxAction pass{};
  ASSERT_TRUE(qrx_plan_action(session.get(), &pass, 0, "", nullptr, 0, 0, false, &plan));
  EXPECT_EQ(plan.kind, 0U);
  EXPECT_EQ(plan.text, nullptr);
  EXPECT_STREQ(earlier, "vi\xE1\xBB\x87t");
}

// Action kinds, field kinds and fall-backs as the interface numbers them; the planning rules
// themselves are the adapter core's.
TEST(Plan, KindsAndFallbacks) {
  auto session = make_session();
  struct Case {
    const char* name;
    QrxAction action;
    std::uint32_t field_kind;
    const char *display, *surrounding;
    std::uint32_t caret, fallback, kind, delete_units;
  };
  const std::string grin_word = "a" + kGrin;
  const Case cases[] = {
      {"disabled field", action_of(3, "x"), 2, "", nullptr, 0, 0, 0, 0},
      {"kind 9 counts as normal", action_of(3, "x", 0, true), 9, "", nullptr, 0, 0, 2, 0},
      {"preedit", action_of(1, "vi"), 0, "", nullptr, 0, 0, 1, 0},
      {"nothing to delete", action_of(2, "x", 0), 0, "", nullptr, 0, 0, 2, 0},
      {"no snapshot", action_of(2, "x", 1), 0, "a", nullptr, 0, 0, 4, 0},
      {"no snapshot, fallback with surrounding", action_of(2, "x", 1), 0, "a", nullptr, 0, 1, 4, 0},
      {"no snapshot, fallback always", action_of(2, "x", 1), 0, "a", nullptr, 0, 2, 3, 1},
      {"snapshot confirms a pair", action_of(2, "x", 2), 0, grin_word.c_str(), grin_word.c_str(), 3, 0, 3, 2},
      {"contradicting snapshot stays refused", action_of(2, "x", 1), 0, "a", "b", 1, 2, 4, 0},
      {"empty snapshot re-planned", action_of(2, "x", 1), 0, "a", "", 0, 1, 3, 1},
  };
  for (const Case& c : cases) {
    QrxPlan plan{};
    ASSERT_TRUE(qrx_plan_action_with_fallback(session.get(), &c.action, c.field_kind, c.display,
                                              c.surrounding, c.caret, c.caret, false, c.fallback, &plan))
        << c.name;
    EXPECT_EQ(plan.kind, c.kind) << c.name;
    EXPECT_EQ(plan.delete_utf16, c.delete_units) << c.name;
    if (plan.kind == 4) {
      EXPECT_EQ(plan.text, nullptr) << c.name;
      EXPECT_FALSE(plan.pass_key) << c.name;
    }
  }
}

TEST(Slots, EachPointerLivesUntilItsOwnSlotIsRefilled) {
  auto session = make_session(R"({"macros":{"ko":"kh\u00f4ng"}})", kPreedit);
  const QrxAction preedit = type_keys(session.get(), "vie");
  const char* display = qrx_display_text(session.get());
  const char* json = qrx_config_json(session.get());
  const char* converted = qrx_charset_encode(session.get(), "viqr", "vi\xE1\xBB\x87t");
  const std::string json_copy = json;

  QrxPlan plan{};
  ASSERT_TRUE(qrx_plan_action(session.get(), &preedit, 0, display, nullptr, 0, 0, false, &plan));
  const char* plan_text = plan.text;

  // A pass is all zero and leaves the action slot alone.
  EXPECT_TRUE(is_all_zero(qrx_process_key(session.get(), "Shift", false, false, false)));
  qrx_set_surrounding_text(session.get(), "abc");
  std::size_t length = 0;
  ASSERT_NE(qrx_charset_encode_bytes(session.get(), "tcvn3", "abc", &length), nullptr);

  EXPECT_STREQ(preedit.insert, "vie");
  EXPECT_STREQ(display, "vie");
  EXPECT_EQ(json_copy, json);
  EXPECT_STREQ(converted, "vie^.t");
  EXPECT_STREQ(plan_text, "vie");

  // The charset list and the version belong to the process.
  EXPECT_EQ(qrx_charset_list(), qrx_charset_list());
  EXPECT_EQ(qrx_version(), qrx_version());
}

TEST(Config, PatchesReloadWithoutCountingAsSaves) {
  auto session = make_session();
  ASSERT_TRUE(qrx_set_config_json(session.get(), R"({"input_method":"vni"})"));
  const std::string json = qrx_config_json(session.get());
  EXPECT_EQ(json.rfind(R"({"input_method":"vni",)", 0), 0U) << json;
  EXPECT_EQ(qrx_config_version(session.get()), 0U);
  EXPECT_EQ(type_keys(session.get(), "a1").kind, 2U) << "the session types VNI now";

  for (const char* rejected : {"[1]", "not json", R"({"spell_check":"yes"})", "{} {}"}) {
    EXPECT_FALSE(qrx_set_config_json(session.get(), rejected)) << rejected;
    EXPECT_EQ(qrx_config_json(session.get()), json) << rejected;
  }
}

TEST(Config, ApplyHandsBackThePendingCommit) {
  auto session = make_session(nullptr, kPreedit);
  type_keys(session.get(), "vieetj");
  QrxAction out{};
  ASSERT_TRUE(qrx_apply_config_json(session.get(), R"({"spell_check":false})", &out));
  EXPECT_EQ(out.kind, 3U);
  EXPECT_STREQ(out.insert, "vi\xE1\xBB\x87t");
  EXPECT_FALSE(out.pass_key);

  type_keys(session.get(), "vieetj");
  EXPECT_TRUE(qrx_apply_config_json(session.get(), R"({"spell_check":true})", nullptr));
  EXPECT_STREQ(qrx_display_text(session.get()), "");

  QrxAction rejected = action_of(9, "keep");
  type_keys(session.get(), "a");
  EXPECT_FALSE(qrx_apply_config_json(session.get(), "[]", &rejected));
  EXPECT_EQ(rejected.kind, 9U);
  EXPECT_STREQ(qrx_display_text(session.get()), "a") << "a rejected patch keeps the word";
}

TEST(Charsets, Conversions) {
  auto session = make_session();
  const std::string viet = "Vi\xE1\xBB\x87t";
  EXPECT_EQ(text_of(qrx_charset_encode(session.get(), " VIQR ", viet.c_str())), "Vie^.t");
  EXPECT_EQ(text_of(qrx_charset_decode(session.get(), "viqr", "Vie^.t")), viet);
  EXPECT_EQ(text_of(qrx_charset_encode(session.get(), "no-such-charset", viet.c_str())), viet);

  std::size_t length = 99;
  EXPECT_EQ(qrx_charset_encode_bytes(session.get(), "viqr", "abc", &length), nullptr);
  EXPECT_EQ(length, 99U);
  EXPECT_NE(qrx_charset_encode_bytes(session.get(), "tcvn3", "", &length), nullptr);
  EXPECT_EQ(length, 0U);

  const std::uint8_t* bytes = qrx_charset_encode_bytes(session.get(), "viscii", viet.c_str(), &length);
  ASSERT_NE(bytes, nullptr);
  ASSERT_EQ(length, 4U);
  const std::vector<std::uint8_t> copy(bytes, bytes + length);
  EXPECT_EQ(text_of(qrx_charset_decode_bytes(session.get(), "viscii", copy.data(), copy.size())), viet);
  EXPECT_NE(qrx_charset_encode_bytes(session.get(), "viscii", viet.c_str(), nullptr), nullptr);
}

TEST(Charsets, BytesWithZeroAreRefusedNotEmptied) {
  auto session = make_session();
  const std::uint8_t plain[] = {'a', 'b'};
  const char* earlier = qrx_charset_decode_bytes(session.get(), "tcvn3", plain, 2);
  ASSERT_STREQ(earlier, "ab");
  const std::uint8_t with_zero[] = {'a', 0, 'b'};
  EXPECT_EQ(qrx_charset_decode_bytes(session.get(), "tcvn3", with_zero, 3), nullptr);
  EXPECT_STREQ(earlier, "ab") << "the charset slot keeps its text";
  EXPECT_STREQ(qrx_charset_decode_bytes(session.get(), "tcvn3", with_zero, 0), "");
}

TEST(Charsets, ListHasSixteenLines) {
  const std::string list = qrx_charset_list();
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 16);
  EXPECT_EQ(list.rfind("unicode\tUnicode (NFC)\n", 0), 0U);
  ASSERT_EQ(list.back(), '\n');
  EXPECT_EQ(list.substr(list.rfind('\n', list.size() - 2) + 1).rfind("cstring_decimal\t", 0), 0U);
}

TEST(Offsets, ConversionsOnTheHostsOwnText) {
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  using Convert = std::uint32_t (*)(const char*, std::uint32_t);
  struct Case {
    const char* name;
    Convert convert;
    const char* text;
    std::uint32_t offset, expected;
  };
  const char* grin = kGrin.c_str();
  const char* viet = "vi\xE1\xBB\x87t";
  const Case cases[] = {
      {"char to byte", qrx_char_to_byte_offset, viet, 3, 5},
      {"char to byte at the end", qrx_char_to_byte_offset, viet, 4, 6},
      {"char to byte past the end", qrx_char_to_byte_offset, viet, 5, kNone},
      {"char to utf16 after a pair", qrx_char_to_utf16_offset, grin, 1, 2},
      {"char to utf16 past the end", qrx_char_to_utf16_offset, grin, 2, kNone},
      {"utf16 inside a pair", qrx_utf16_to_byte_offset, grin, 1, kNone},
      {"utf16 after a pair", qrx_utf16_to_byte_offset, grin, 2, 4},
      {"null text", qrx_char_to_byte_offset, nullptr, 0, kNone},
      // Invalid UTF-8: an answer about a repaired copy would not fit the host's buffer.
      {"invalid byte, char to byte", qrx_char_to_byte_offset, "a\377b", 3, kNone},
      {"invalid byte, char to utf16", qrx_char_to_utf16_offset, "a\377b", 0, kNone},
      {"truncated sequence, utf16 to byte", qrx_utf16_to_byte_offset, "a\xE1\xBB", 1, kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(c.convert(c.text, c.offset), c.expected) << c.name;
}

TEST(Characters, WordCodePointsAndVersion) {
  for (std::uint32_t cp : {0x5FU, 0x1EC7U}) EXPECT_TRUE(qrx_is_word_codepoint(cp)) << cp;
  for (std::uint32_t cp : {0x20U, 0xD800U, 0x110000U}) EXPECT_FALSE(qrx_is_word_codepoint(cp)) << cp;
  EXPECT_STREQ(qrx_version(), "0.1.2");
}

}  // namespace
