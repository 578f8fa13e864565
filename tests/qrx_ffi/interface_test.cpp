// The exported functions one by one (neutral results, argument rules, output slots and their
// lifetimes, configuration, charsets, offsets) and the C++ side of the interface (action records,
// counts in the host's units, the host state behind the ports, copy-on-write word lists, fault
// containment).
#include <qrx_ffi/host.h>
#include <quorvix.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using qrx_engine::session::Action;
using quorvix::AccessConflict;
using quorvix::to_c;

struct SessionDeleter {
  void operator()(QrxSession* session) const { qrx_session_free(session); }
};
using SessionPtr = std::unique_ptr<QrxSession, SessionDeleter>;

constexpr std::uint32_t kPreedit = 0;
constexpr std::uint32_t kReplace = 1;

const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

SessionPtr make_session(const char* config = nullptr, std::uint32_t mode = kReplace) {
  return SessionPtr(qrx_session_new(config, mode));
}

// Feeds every character of `keys` as one key; returns the last action.
QrxAction type_keys(QrxSession* session, const std::string& keys) {
  QrxAction last{};
  for (const char ch : keys) last = qrx_process_key(session, std::string(1, ch).c_str(), false, false, false);
  return last;
}

// The pass action: every field zero. (Padding bytes are not part of the record's value: a copy
// of the record need not keep them.)
bool is_all_zero(const QrxAction& action) {
  return action.kind == 0 && action.delete_before_utf16 == 0 && action.cursor_utf16 == 0 &&
         !action.pass_key && action.insert == nullptr;
}

std::string text_of(const char* text) { return text != nullptr ? std::string(text) : std::string("(null)"); }

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
  const std::tuple<const char*, std::uint32_t, bool, std::uint32_t> cases[] = {
      {nullptr, 1, true, kReplace},
      {nullptr, 0, true, kPreedit},
      {nullptr, 0xFFFFFFFF, true, kPreedit},
      {"{} x", 1, false, 0},
      {"", 1, false, 0},
      {R"({"spell_check":1})", 1, false, 0},
  };
  for (const auto& [config, mode, created, expected_mode] : cases) {
    auto session = make_session(config, mode);
    ASSERT_EQ(session != nullptr, created) << text_of(config) << " mode " << mode;
    if (session) {
      EXPECT_EQ(mode_of(session.get()), expected_mode) << text_of(config);
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
  const std::tuple<const char*, std::uint32_t, std::uint32_t, std::uint32_t, bool> cases[] = {
      {"firefox", 4, 0, 1, false},
      {"chrome", 0, 2, 0, true},
  };
  for (const auto& [app, backspace, per_char, mode, wait_ack] : cases) {
    qrx_focus_changed(session.get(), app);
    EXPECT_EQ(qrx_profile_backspace_delay_ms(session.get()), backspace) << app;
    EXPECT_EQ(qrx_profile_delay_per_char_ms(session.get()), per_char) << app;
    EXPECT_EQ(qrx_profile_output_mode(session.get()), mode) << app;
    EXPECT_EQ(qrx_profile_wait_ack(session.get()), wait_ack) << app;
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
  const std::string grin_word = "a" + kGrin;
  const std::tuple<const char*, QrxAction, std::uint32_t, const char*, const char*, std::uint32_t,
                   std::uint32_t, std::uint32_t, std::uint32_t>
      cases[] = {
          {"disabled field", action_of(3, "x"), 2, "", nullptr, 0, 0, 0, 0},
          {"kind 9 counts as normal", action_of(3, "x", 0, true), 9, "", nullptr, 0, 0, 2, 0},
          {"preedit", action_of(1, "vi"), 0, "", nullptr, 0, 0, 1, 0},
          {"no snapshot", action_of(2, "x", 1), 0, "a", nullptr, 0, 0, 4, 0},
          {"no snapshot, fallback always", action_of(2, "x", 1), 0, "a", nullptr, 0, 2, 3, 1},
          {"snapshot confirms a pair", action_of(2, "x", 2), 0, grin_word.c_str(), grin_word.c_str(), 3, 0, 3,
           2},
          // A snapshot that shows nothing before the caret cannot vouch for what is deleted.
          {"empty snapshot", action_of(2, "x", 1), 0, "a", "", 0, 1, 4, 0},
          {"empty snapshot, fallback always", action_of(2, "x", 1), 0, "a", "", 0, 2, 4, 0},
      };
  for (const auto& [name, action, field_kind, display, surrounding, caret, fallback, kind, delete_units] :
       cases) {
    QrxPlan plan{};
    ASSERT_TRUE(qrx_plan_action_with_fallback(session.get(), &action, field_kind, display, surrounding, caret,
                                              caret, false, fallback, &plan))
        << name;
    EXPECT_EQ(plan.kind, kind) << name;
    EXPECT_EQ(plan.delete_utf16, delete_units) << name;
    if (plan.kind == 4) {
      EXPECT_EQ(plan.text, nullptr) << name;
      EXPECT_FALSE(plan.pass_key) << name;
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
}

TEST(Offsets, ConversionsOnTheHostsOwnText) {
  constexpr std::uint32_t kNone = 0xFFFFFFFF;
  using Convert = std::uint32_t (*)(const char*, std::uint32_t);
  const char* grin = kGrin.c_str();
  const char* viet = "vi\xE1\xBB\x87t";
  const std::tuple<const char*, Convert, const char*, std::uint32_t, std::uint32_t> cases[] = {
      {"char to byte", qrx_char_to_byte_offset, viet, 3, 5},
      {"char to byte past the end", qrx_char_to_byte_offset, viet, 5, kNone},
      {"char to utf16 past the end", qrx_char_to_utf16_offset, grin, 2, kNone},
      {"char to utf16 after a pair", qrx_char_to_utf16_offset, grin, 1, 2},
      {"utf16 inside a pair", qrx_utf16_to_byte_offset, grin, 1, kNone},
      {"utf16 after a pair", qrx_utf16_to_byte_offset, grin, 2, 4},
      {"null text", qrx_char_to_byte_offset, nullptr, 0, kNone},
      // Invalid UTF-8: an answer about a repaired copy would not fit the host's buffer.
      {"invalid byte, char to byte", qrx_char_to_byte_offset, "a\377b", 3, kNone},
      {"invalid byte, char to utf16", qrx_char_to_utf16_offset, "a\377b", 0, kNone},
      {"truncated sequence, utf16 to byte", qrx_utf16_to_byte_offset, "a\xE1\xBB", 1, kNone},
  };
  for (const auto& [name, convert, text, offset, expected] : cases)
    EXPECT_EQ(convert(text, offset), expected) << name;
}

TEST(Characters, WordCodePointsAndVersion) {
  for (std::uint32_t cp : {0x5FU, 0x1EC7U}) EXPECT_TRUE(qrx_is_word_codepoint(cp)) << cp;
  for (std::uint32_t cp : {0x20U, 0xD800U, 0x110000U}) EXPECT_FALSE(qrx_is_word_codepoint(cp)) << cp;
  EXPECT_STREQ(qrx_version(), "0.1.2");
}

TEST(ToC, CountsInUtf16Units) {
  const std::tuple<const char*, Action, std::string, std::uint32_t, std::uint32_t, std::uint32_t> cases[] = {
      {"preedit caret after a pair", Action::preedit("a" + kGrin + "b", 2), "", 1, 0, 3},
      {"preedit caret past the end", Action::preedit("a" + kGrin + "b", 9), "", 1, 0, 4},
      {"replace over a pair", Action::replace("y", 2, false), "x" + kGrin, 2, 3, 0},
      // Characters the text does not reach still count: a smaller deletion would leave old
      // text in the host's field.
      {"deletion beyond the known text", Action::replace("y", 5, true), "ab", 2, 5, 0},
      {"deletion with nothing known", Action::replace("y", 2, true), "", 2, 2, 0},
      // U+0000 never reaches the host, so it takes no room there.
      {"preedit caret after a removed NUL", Action::preedit(std::string("a\0bc", 4), 3), "", 1, 0, 2},
      {"deletion over a removed NUL", Action::replace("", 2, false), std::string("x\0y", 3), 2, 1, 0},
      {"commit", Action::commit("xin", true), "abc", 3, 0, 0},
  };
  for (const auto& [name, action, before, kind, delete_units, cursor_units] : cases) {
    auto session = make_session();
    const QrxAction record = to_c(*session, action, before);
    EXPECT_EQ(record.kind, kind) << name;
    EXPECT_EQ(record.delete_before_utf16, delete_units) << name;
    EXPECT_EQ(record.cursor_utf16, cursor_units) << name;
    ASSERT_NE(record.insert, nullptr) << name;
  }
}

TEST(ToC, TextsLoseNulAndStayNonNullWhenEmpty) {
  auto session = make_session();
  const QrxAction replace = to_c(*session, Action::replace(std::string("a\0b", 3), 1, true), "x");
  EXPECT_STREQ(replace.insert, "ab");
  EXPECT_TRUE(replace.pass_key);

  const QrxAction empty = to_c(*session, Action::commit("", false), "");
  ASSERT_NE(empty.insert, nullptr);
  EXPECT_STREQ(empty.insert, "");
  EXPECT_FALSE(empty.pass_key);
}

// Keys fed as a host feeds them: the text before the caret reported before each one.
QrxAction type_into(QrxSession* session, std::string& field, const std::string& keys) {
  QrxAction last{};
  for (const char ch : keys) {
    qrx_set_surrounding_text(session, field.c_str());
    last = qrx_process_key(session, std::string(1, ch).c_str(), false, false, false);
    if (last.kind == 0) field += ch;
  }
  return last;
}

QrxPlan plan_for(QrxSession* session, const QrxAction& action, const char* display,
                 const std::string& field) {
  QrxPlan plan{};
  const auto caret = static_cast<std::uint32_t>(field.size());
  EXPECT_TRUE(qrx_plan_action_with_fallback(session, &action, 0, display, field.c_str(), caret, caret, false,
                                            1, &plan));
  return plan;
}

// The replacement a key returns may delete only what the session wrote before the caret, and
// only while the field still shows all of it there: the phrase macro's key reaches back over
// words the session committed, a re-opened word was taken over from the field.
TEST(Plan, AKeysReplacementRewritesOnlyTheSessionsOwnText) {
  {
    auto session = make_session(R"({"macros":{"xin chao":"Xin ch\u00e0o"}})");
    std::string field = "ab ";
    type_into(session.get(), field, "xin chao");
    qrx_set_surrounding_text(session.get(), field.c_str());
    const QrxAction macro = qrx_process_key(session.get(), " ", false, false, false);
    ASSERT_EQ(macro.kind, 2U);
    EXPECT_EQ(macro.delete_before_utf16, 8U);
    const QrxPlan kept = plan_for(session.get(), macro, "chao", "ab xin chao");
    EXPECT_EQ(kept.kind, 3U);
    EXPECT_EQ(kept.delete_utf16, 8U);
    // The application took letters away, or put its own in between: the word starts over.
    EXPECT_EQ(plan_for(session.get(), macro, "chao", "ab xichao").kind, 4U);
    EXPECT_EQ(plan_for(session.get(), macro, "chao", "ab xin viechao").kind, 4U);
    // The same record made by the host stands for the host's display alone, which does not
    // reach back over the committed words.
    QrxAction copy = macro;
    const std::string text = macro.insert;
    copy.insert = text.c_str();
    EXPECT_EQ(plan_for(session.get(), copy, "chao", "ab xin chao").kind, 3U);
    QrxAction other = copy;
    other.pass_key = false;
    const std::string other_text = text + "!";
    other.insert = other_text.c_str();
    EXPECT_EQ(plan_for(session.get(), other, "chao", "ab xin chao").kind, 4U);
    // Once another operation ran, the record is the host's too.
    qrx_reset(session.get());
    EXPECT_EQ(plan_for(session.get(), macro, "chao", "ab xin chao").kind, 4U);
  }
  {
    // A word re-opened from the field, measured against it.
    auto session = make_session();
    std::string field = "xin vi" + kGrin + "e";
    qrx_set_surrounding_text(session.get(), "xin vie");
    const QrxAction tone = qrx_process_key(session.get(), "j", false, false, false);
    ASSERT_EQ(tone.kind, 2U);
    const QrxPlan kept = plan_for(session.get(), tone, "", "xin vie");
    EXPECT_EQ(kept.kind, 3U);
    EXPECT_EQ(kept.delete_utf16, tone.delete_before_utf16);
    EXPECT_EQ(plan_for(session.get(), tone, "", field).kind, 4U);
    EXPECT_EQ(plan_for(session.get(), tone, "", "e").kind, 4U);
  }
}

// A host that copies the record's text before planning gets the plan the session's own record
// gets: its copy is compared with the session's text rather than checked again. A copy that
// differs, ill-formed bytes included, is read as a host's text always was.
TEST(Plan, AHostsCopyOfTheRecordIsPlannedAsTheRecordItself) {
  const std::string keys = "aswfrxjdeoq uiy,. AD";
  std::mt19937 rng(1729);
  std::uniform_int_distribution<std::size_t> pick(0, keys.size() - 1);
  for (const std::uint32_t mode : {kReplace, kPreedit}) {
    auto session = make_session(nullptr, mode);
    std::string field;
    std::map<std::uint32_t, int> planned;  // by the action's kind
    for (int i = 0; i < 3000; ++i) {
      const std::string display = qrx_display_text(session.get());
      qrx_set_surrounding_text(session.get(), field.c_str());
      const std::string key(1, keys[pick(rng)]);
      const QrxAction action = qrx_process_key(session.get(), key.c_str(), false, false, false);
      if (action.kind != 0) {
        const std::string text = action.insert != nullptr ? action.insert : "";
        QrxAction copy = action;
        copy.insert = action.insert != nullptr ? text.c_str() : nullptr;
        const QrxPlan own = plan_for(session.get(), action, display.c_str(), field);
        const std::string own_text = own.text != nullptr ? own.text : "";
        const QrxPlan copied = plan_for(session.get(), copy, display.c_str(), field);
        EXPECT_EQ(copied.kind, own.kind) << text;
        EXPECT_EQ(copied.delete_utf16, own.delete_utf16) << text;
        EXPECT_EQ(copied.cursor_utf16, own.cursor_utf16) << text;
        EXPECT_EQ(copied.text != nullptr ? std::string(copied.text) : "", own_text) << text;
        if (action.kind == 1 || action.kind == 3) {
          const std::string broken = text + "\xC3";
          copy.insert = broken.c_str();
          const QrxPlan repaired = plan_for(session.get(), copy, display.c_str(), field);
          EXPECT_EQ(repaired.text != nullptr ? std::string(repaired.text) : "", text + "\uFFFD");
        }
        ++planned[action.kind];
      }
      // The field takes what the session writes, as the host loop's field does.
      if (action.kind == 0) {
        field += key;
      } else if (action.kind == 3 || (action.kind == 2 && mode == kReplace)) {
        const QrxPlan plan = plan_for(session.get(), action, display.c_str(), field);
        if (plan.kind == 4) {
          qrx_reset(session.get());
          field += key;
          continue;
        }
        for (std::uint32_t n = plan.delete_chars; n > 0 && !field.empty(); --n) {
          do field.pop_back();
          while (!field.empty() && (static_cast<unsigned char>(field.back()) & 0xC0) == 0x80);
        }
        if (plan.text != nullptr) field += plan.text;
        if (plan.pass_key) field += key;
      }
      if (field.size() > 60) {
        std::size_t cut = field.size() - 40;
        while (cut < field.size() && (static_cast<unsigned char>(field[cut]) & 0xC0) == 0x80) ++cut;
        field.erase(0, cut);
      }
    }
    for (const std::uint32_t kind :
         mode == kReplace ? std::vector<std::uint32_t>{2} : std::vector<std::uint32_t>{1, 3})
      EXPECT_GT(planned[kind], 40) << "mode " << mode << ", kind " << kind;
  }
}

TEST(SharedCell, ConflictingAccessThrowsInsteadOfBlocking) {
  quorvix::SharedCell cell(quorvix::Shared{});
  {
    auto first = cell.read();
    auto second = cell.read();
    EXPECT_THROW(cell.write(), AccessConflict);
  }
  {
    auto writer = cell.write();
    EXPECT_THROW(cell.read(), AccessConflict);
    EXPECT_THROW(cell.write(), AccessConflict);
  }
  // Every guard closed again: both kinds of access work.
  EXPECT_NO_THROW(cell.write());
  EXPECT_NO_THROW(cell.read());
}

TEST(SharedPorts, BeforeCursorCountsCharactersNotBytes) {
  auto cell = std::make_shared<quorvix::SharedCell>(quorvix::Shared{});
  const quorvix::SharedPorts ports(cell);
  EXPECT_EQ(ports.before_cursor(3), std::nullopt);
  const std::string text = "T\xC3\xB4i " + kGrin + "ab";
  cell->write()->surrounding = text;
  EXPECT_EQ(ports.before_cursor(3), kGrin + "ab");
  EXPECT_EQ(ports.before_cursor(0), "");
  EXPECT_EQ(ports.before_cursor(50), text);
}

const qrx_engine::ports::WordListDictionary& dictionary_of(QrxSession& session) {
  return *session.shared->read()->dictionary;
}

TEST(Dictionary, EachSessionCopiesBeforeItsFirstChange) {
  auto a = make_session();
  const auto& process = quorvix::shared_dictionary::dictionary();
  EXPECT_EQ(&dictionary_of(*a), process.get());

  qrx_add_dictionary_words(a.get(), "  ", false);
  EXPECT_EQ(&dictionary_of(*a), process.get()) << "nothing to add, nothing copied";

  qrx_add_dictionary_words(a.get(), " Zyxwv\tQUUX ", false);
  const auto* copy = &dictionary_of(*a);
  EXPECT_NE(copy, process.get());
  EXPECT_TRUE(copy->is_english("zyxwv"));
  EXPECT_TRUE(copy->is_english("quux"));
  EXPECT_FALSE(copy->is_english("Zyxwv"));
  EXPECT_FALSE(process->is_english("zyxwv"));

  qrx_add_dictionary_words(a.get(), "\xC4\x90\xC3\x94NG", true);  // ĐÔNG
  EXPECT_EQ(&dictionary_of(*a), copy) << "the private copy is changed in place";
  EXPECT_TRUE(copy->is_vietnamese("\xC4\x91\xC3\xB4ng"));
}

TEST(Dictionary, LoadingReplacesOnlyTheGivenLists) {
  auto a = make_session();
  const auto& process = quorvix::shared_dictionary::dictionary();
  const std::size_t vietnamese_before = dictionary_of(*a).vietnamese().size();
  ASSERT_GT(vietnamese_before, 0U);

  qrx_load_dictionary(a.get(), nullptr, nullptr);
  EXPECT_EQ(&dictionary_of(*a), process.get());

  qrx_load_dictionary(a.get(), "Hello  WORLD\n", nullptr);
  const auto& dict = dictionary_of(*a);
  EXPECT_EQ(dict.english(), (qrx_engine::ports::WordSet{"hello", "world"}));
  EXPECT_EQ(dict.vietnamese().size(), vietnamese_before);
  EXPECT_GT(process->english().size(), 2U) << "other sessions keep the built-in lists";

  qrx_load_dictionary(a.get(), nullptr, " \n ");
  EXPECT_TRUE(dictionary_of(*a).vietnamese().empty());
  EXPECT_EQ(dictionary_of(*a).english().size(), 2U);
}

TEST(Faults, AreContainedAndResetTheComposition) {
  auto session = make_session(nullptr, kPreedit);
  // A word longer than 24 keys is kept as typed.
  const std::string typed = "bcdfghklmnpqrstvbcdfghklm";
  type_keys(session.get(), typed);
  ASSERT_EQ(text_of(qrx_display_text(session.get())), typed);
  {
    // A write left open below the boundary: the next key's access to the host state (Backspace
    // in a word kept as typed asks the word lists) conflicts.
    auto open = session->shared->write();
    EXPECT_TRUE(is_all_zero(qrx_process_key(session.get(), "Backspace", false, false, false)));
    EXPECT_EQ(qrx_config_version(session.get()), 0U);
  }
  EXPECT_STREQ(qrx_display_text(session.get()), "") << "the composition is dropped";

  {
    // A function that writes while someone reads: refused, and its own access is not left open.
    auto open = session->shared->read();
    qrx_set_surrounding_text(session.get(), "abc");
    EXPECT_EQ(open->surrounding, std::nullopt);
  }
  qrx_set_surrounding_text(session.get(), "abc");
  EXPECT_EQ(session->shared->read()->surrounding, "abc");

  // The handle keeps working with its configuration and mode.
  qrx_set_surrounding_text(session.get(), nullptr);
  const QrxAction next = type_keys(session.get(), "as");
  EXPECT_EQ(next.kind, 1U);
  EXPECT_STREQ(next.insert, "\xC3\xA1");
}

}  // namespace
