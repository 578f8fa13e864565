// The engine's ports: the configuration record (its JSON forms, reading, writing and patching),
// application identifiers and profiles, the ready-made configuration stores and word-list
// dictionary, and the ports' lifetime.
#include <qrx_engine/ports.h>
#include <qrx_engine/testing.h>

#include <gtest/gtest.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qrx_engine::ports::AppProfile;
using qrx_engine::ports::AppProfileMap;
using qrx_engine::ports::Config;
using qrx_engine::ports::normalize_app_id;
using qrx_engine::ports::OutputMode;
using qrx_engine::ports::resolve_profile;
using qrx_engine::ports::ToneStyle;
using qrx_engine::ports::UnicodeForm;
using qrx_engine::testing::JsonFileConfigStore;
using qrx_engine::ports::split_words;
using qrx_engine::ports::WordListDictionary;

// The default profile with a few fields changed by `edit`.
template <class Edit>
qrx_engine::ports::AppProfile profile_with(Edit edit) {
  qrx_engine::ports::AppProfile profile;
  edit(profile);
  return profile;
}

// A value nested `levels` deep counting the outer object: {"x": [[...]]}.
std::string nested_config(std::size_t levels) {
  return "{\"x\": " + std::string(levels - 1, '[') + std::string(levels - 1, ']') + "}";
}

// A configuration in which every setting differs from its default.
Config everything_changed() {
  Config c;
  c.input_method = "vni";
  c.tone_style = ToneStyle::Old;
  c.spell_check = false;
  c.w_as_u = c.bracket_keys = c.quick_telex = c.allow_coda_k = true;
  c.macro_enabled = false;
  c.macro_digits = true;
  c.macro_undo = false;
  c.macro_in_off_mode = true;
  c.macros = {{"ko", "không"}, {"vn", "Việt Nam"}, {"q\"\\", "line\nbreak\ttab"}};
  c.auto_capitalize = true;
  c.excluded_apps = {"com.apple.Terminal", "kitty"};
  c.app_modes = {{"code", false}, {"notes", true}};
  c.default_vietnamese = false;
  c.edit_previous_word = false;
  // Every profile field set, the delay at its largest value.
  c.app_profiles["myeditor"] = AppProfile{
      OutputMode::Replace, 4294967295u, 7, true, true, false, true, "viqr", ToneStyle::New, false, "tcvn3"};
  c.app_profiles["notion"] = AppProfile{};
  c.restore_after_space = false;
  c.smart_caps = true;
  c.unicode_form = UnicodeForm::NFD;
  c.schema_version = 7;
  return c;
}

// The defaults, with one default profile: every key in declared order, every unset profile field null.
TEST(ConfigWriting, CompactDefaultsHaveEveryKeyInDeclaredOrder) {
  EXPECT_EQ(Config::make_default().app_profiles, qrx_engine::ports::default_app_profiles());
  Config c;
  c.app_profiles = {{"x", AppProfile{}}};
  EXPECT_EQ(
      c.to_json(),
      "{\"input_method\":\"telex\",\"tone_style\":\"new\",\"spell_check\":true,\"w_as_u\":false,"
      "\"bracket_keys\":false,\"quick_telex\":false,\"allow_coda_k\":false,\"macro_enabled\":true,"
      "\"macro_digits\":false,\"macro_undo\":true,\"macro_in_off_mode\":false,\"macros\":{},"
      "\"auto_capitalize\":false,\"excluded_apps\":[],\"app_modes\":{},\"default_vietnamese\":true,"
      "\"edit_previous_word\":true,\"app_profiles\":{\"x\":{\"output_mode\":null,\"backspace_delay_ms\":0,"
      "\"delay_per_char_ms\":0,\"wait_ack\":false,\"edit_previous_word\":null,\"restore_after_space\":null,"
      "\"vietnamese\":null,\"input_method\":null,\"tone_style\":null,\"spell_check\":null,\"charset\":null}},"
      "\"restore_after_space\":true,\"smart_caps\":false,\"unicode_form\":\"NFC\",\"schema_version\":1}");
}

// The pretty writer's layout is the JSON module's; here only that it is used whole.
TEST(ConfigWriting, PrettyFormIndentsByTwoAndKeepsTextUnescaped) {
  Config c;
  c.macros = {{"ko", "không"}};
  const std::string text = c.to_json_pretty();
  EXPECT_TRUE(text.starts_with("{\n  \"input_method\": \"telex\",\n")) << text;
  EXPECT_NE(text.find("\n  \"macros\": {\n    \"ko\": \"không\"\n  },\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\n  \"schema_version\": 1\n}")) << text;
}

TEST(ConfigWriting, RoundTripsThroughEveryForm) {
  const Config original = everything_changed();
  for (const std::string& text : {original.to_json(), original.to_json_pretty()}) {
    const qrx_json::Result<Config> read = Config::from_json(text);
    ASSERT_TRUE(read.ok()) << read.error().to_string();
    EXPECT_EQ(read.value(), original);
  }
  const qrx_json::Result<Config> from_tree = Config::from_value(original.to_value());
  ASSERT_TRUE(from_tree.ok()) << from_tree.error().to_string();
  EXPECT_EQ(from_tree.value(), original);
  const qrx_json::Result<Config> defaults = Config::from_json(Config{}.to_json());
  ASSERT_TRUE(defaults.ok());
  EXPECT_EQ(defaults.value(), Config{});
}

// A text, and what turns the defaults into the record it gives.
using Accepted = std::pair<std::string, std::function<void(Config&)>>;

TEST(ConfigReading, AcceptsAndAppliesDocumentedForms) {
  const auto same = [](Config&) {};
  // Every key in declared order, matching everything_changed(); one profile in array form.
  const std::string twenty_two =
      "[\"vni\", \"old\", false, true, true, true, true, false, true, false, true,"
      " {\"ko\": \"không\", \"vn\": \"Việt Nam\", \"q\\\"\\\\\": \"line\\nbreak\\ttab\"}, true,"
      " [\"com.apple.Terminal\", \"kitty\"], {\"code\": false, \"notes\": true}, false, false,"
      " {\"myeditor\": [\"replace\", 4294967295, 7, true, true, false, true, \"viqr\", \"new\", false,"
      " \"tcvn3\"], \"notion\": {}}, false, true, \"NFD\", 7]";
  const std::vector<Accepted> cases{
      {"{}", same},
      {"{\"output_mode\": \"preedit\", \"schema_version\": 1}", same},
      {"{\"charset\": \"tcvn3\", \"Spell_check\": false, \"SPELL_CHECK\": 1}", same},
      {"{\"x\": 1, \"x\": {\"deep\": [1, 2, {\"y\": null}]}}", same},
      {"{\"unicode_form\": \"NFD\"}", [](Config& c) { c.unicode_form = UnicodeForm::NFD; }},
      {"{\"unicode_form\": {\"NFD\": null}}", [](Config& c) { c.unicode_form = UnicodeForm::NFD; }},
      {"{\"tone_style\": \"old\"}", [](Config& c) { c.tone_style = ToneStyle::Old; }},
      {"{\"schema_version\": 7}", [](Config& c) { c.schema_version = 7; }},
      {"{\"schema_version\": 4294967295}", [](Config& c) { c.schema_version = 4294967295u; }},
      {"{\"macros\": {\"ko\": \"không\", \"ko\": \"Việt Nam\"}}",
       [](Config& c) { c.macros["ko"] = "Việt Nam"; }},
      {"{\"app_modes\": {\"kitty\": true, \"kitty\": false, \"code\": true}}",
       [](Config& c) { c.app_modes["kitty"] = false, c.app_modes["code"] = true; }},
      {"{\"excluded_apps\": [\"a\", \"b\", \"a\"]}",
       [](Config& c) { c.excluded_apps.assign(3, "a"), c.excluded_apps[1] = "b"; }},
      {"{\"\\u0073pell_check\": false}", [](Config& c) { c.spell_check = false; }},
      {"[\"vni\"]", [](Config& c) { c.input_method = "vni"; }},
      {"[]", same},
      {twenty_two, [](Config& c) { c = everything_changed(); }},
      {nested_config(qrx_json::kMaxDepth), same},
  };
  for (const auto& [text, expect] : cases) {
    SCOPED_TRACE(text);
    Config expected;
    expect(expected);
    const qrx_json::Result<Config> read = Config::from_json(text);
    ASSERT_TRUE(read.ok()) << read.error().to_string();
    EXPECT_EQ(read.value(), expected);
    // The value-tree reader follows the same rules.
    const qrx_json::Result<qrx_json::Value> tree = qrx_json::parse(text);
    ASSERT_TRUE(tree.ok());
    const qrx_json::Result<Config> from_tree = Config::from_value(tree.value());
    ASSERT_TRUE(from_tree.ok()) << from_tree.error().to_string();
    EXPECT_EQ(from_tree.value(), expected);
  }
}

TEST(ConfigReading, RejectsWithTheDocumentedError) {
  std::string long_array = "[\"telex\"";
  for (int i = 1; i < 23; ++i) long_array += i == 1 ? ",\"new\"" : ",true";
  long_array += "]";
  const std::vector<std::tuple<std::string, std::string>> cases{
      {"", "EOF while parsing a value"},
      {"{}x", "trailing characters"},
      {"5", "invalid type: integer `5`, expected struct Config"},
      {"\"telex\"", "invalid type: string \"telex\", expected struct Config"},
      {"{\"spell_check\": false, \"spell_check\": true}", "duplicate field `spell_check`"},
      {"{\"spell_check\": 0}", "invalid type: integer `0`, expected a boolean"},
      {"{\"input_method\": null}", "invalid type: null, expected a string"},
      {"{\"unicode_form\": \"nfd\"}", "unknown variant `nfd`, expected `NFC` or `NFD`"},
      {"{\"unicode_form\": {}}", "invalid value: "},
      {"{\"schema_version\": -1}", "invalid value: integer `-1`, expected u32"},
      {"{\"schema_version\": 4294967296}", "invalid value: integer `4294967296`, expected u32"},
      {"{\"schema_version\": 1.5}", "invalid type: floating point `1.5`, expected u32"},
      {"{\"macros\": {\"ko\": 1}}", "invalid type: integer `1`, expected a string"},
      {"{\"app_modes\": {\"kitty\": \"yes\"}}", "invalid type: string \"yes\", expected a boolean"},
      {"{\"excluded_apps\": \"kitty\"}", "invalid type: string \"kitty\", expected a sequence"},
      {"{\"excluded_apps\": [\"kitty\", 1]}", "invalid type: integer `1`, expected a string"},
      {"{\"app_profiles\": {\"kitty\": 5}}", "invalid type: integer `5`, expected struct AppProfile"},
      {"{\"app_profiles\": {\"kitty\": {\"backspace_delay_ms\": -1}}}", "invalid value: "},
      {"{\"app_profiles\": {\"kitty\": {\"output_mode\": \"Preedit\"}}}", "unknown variant `Preedit`"},
      {"[\"vni\", null]", "invalid type: null"},
      {long_array, "invalid length 23, expected fewer elements in array"},
      {nested_config(qrx_json::kMaxDepth + 1), "recursion limit exceeded"},
  };
  for (const auto& [text, message_start] : cases) {
    SCOPED_TRACE(text.substr(0, 80));
    const qrx_json::Result<Config> read = Config::from_json(text);
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().message.starts_with(message_start)) << read.error().message;
    EXPECT_TRUE(read.error().position.known()) << read.error().message;
    // The value-tree reader follows the same rules.
    const qrx_json::Result<qrx_json::Value> tree = qrx_json::parse(text);
    if (!tree.ok()) continue;
    const qrx_json::Result<Config> from_tree = Config::from_value(tree.value());
    ASSERT_FALSE(from_tree.ok());
    EXPECT_TRUE(from_tree.error().message.starts_with(message_start)) << from_tree.error().message;
  }
}

TEST(ConfigReading, ErrorsFromTextCarryTheirLine) {
  const qrx_json::Result<Config> read = Config::from_json("{\n  \"macros\": {\n    \"ko\": true\n  }\n}");
  ASSERT_FALSE(read.ok());
  EXPECT_NE(read.error().to_string().find(" at line 3 column "), std::string::npos)
      << read.error().to_string();
}

TEST(AppProfileReading, FollowsTheRecordRules) {
  // A text and the profile it gives (nothing: rejected).
  const std::vector<std::pair<std::string, std::optional<AppProfile>>> cases{
      {"{}", AppProfile{}},
      {"[]", AppProfile{}},
      {"{\"output_mode\": \"replace\", \"unknown\": [1]}",
       profile_with([](auto& p) { p.output_mode = OutputMode::Replace; })},
      {"{\"output_mode\": {\"preedit\": null}}",
       profile_with([](auto& p) { p.output_mode = OutputMode::Preedit; })},
      {"{\"tone_style\": \"old\", \"input_method\": \"anything\", \"charset\": \"x\"}",
       AppProfile{{}, 0, 0, false, {}, {}, {}, "anything", ToneStyle::Old, {}, "x"}},
      {"[\"preedit\", 3, 2, true, false]",
       AppProfile{OutputMode::Preedit, 3, 2, true, false, {}, {}, {}, {}, {}, {}}},
      {"{\"backspace_delay_ms\": 4294967295, \"vietnamese\": false}",
       AppProfile{{}, 4294967295u, 0, false, {}, {}, false, {}, {}, {}, {}}},
      {"{\"delay_per_char_ms\": 4294967296}", std::nullopt},
      {"{\"vietnamese\": 1}", std::nullopt},
      {"{\"tone_style\": \"middle\"}", std::nullopt},
      {"{\"charset\": null, \"charset\": null}", std::nullopt},
      {"[null, 0, 0, false, null, null, null, null, null, null, null, null]", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const qrx_json::Result<qrx_json::Value> tree = qrx_json::parse(text);
    ASSERT_TRUE(tree.ok());
    const qrx_json::Result<AppProfile> read = AppProfile::from_value(tree.value());
    ASSERT_EQ(read.ok(), expected.has_value()) << (read.ok() ? "" : read.error().message);
    if (expected) {
      EXPECT_EQ(read.value(), *expected);
    }
  }
}

TEST(AppProfileWriting, NamesEveryFieldAndTheDuplicate) {
  // Reading it back is part of the configuration's round trip.
  EXPECT_EQ(everything_changed().app_profiles.at("myeditor").to_json(),
            "{\"output_mode\":\"replace\",\"backspace_delay_ms\":4294967295,\"delay_per_char_ms\":7,"
            "\"wait_ack\":true,\"edit_previous_word\":true,\"restore_after_space\":false,"
            "\"vietnamese\":true,\"input_method\":\"viqr\",\"tone_style\":\"new\",\"spell_check\":false,"
            "\"charset\":\"tcvn3\"}");

  const qrx_json::Result<qrx_json::Value> repeated = qrx_json::parse("{\"wait_ack\": true, \"wait_ack\": false}");
  ASSERT_TRUE(repeated.ok());
  const qrx_json::Result<AppProfile> rejected = AppProfile::from_value(repeated.value());
  ASSERT_FALSE(rejected.ok());
  EXPECT_EQ(rejected.error().message, "duplicate field `wait_ack`");
}

// A running configuration with user entries in every map and list.
Config current() {
  Config c;
  c.input_method = "telex";
  c.spell_check = false;
  c.macros = {{"vn", "Việt Nam"}, {"hn", "Hà Nội"}};
  c.app_modes = {{"code", false}};
  c.excluded_apps = {"kitty"};
  c.app_profiles["myeditor"] = profile_with([](auto& p) { p.vietnamese = false; });
  c.app_profiles["notion"] = profile_with([](auto& p) { p.backspace_delay_ms = 99; });
  c.schema_version = 3;
  return c;
}

TEST(ConfigPatch, ReplacesOnlyTheNamedTopLevelMembers) {
  // A patch, and what turns current() into the record it gives.
  using Case = std::pair<std::string, std::function<void(Config&)>>;
  const auto same = [](Config&) {};
  const std::vector<Case> cases{
      {"{}", same},
      {"{\"output_mode\": \"preedit\"}", same},
      {"{\"unknown\": {\"deep\": [1, 2]}, \"unknown\": null}", same},
      {"{\"input_method\": \"vni\"}", [](Config& c) { c.input_method = "vni"; }},
      {"{\"spell_check\": false, \"spell_check\": true}", [](Config& c) { c.spell_check = true; }},
      // Maps and lists are replaced whole, not merged.
      {"{\"macros\": {\"ko\": \"không\"}}", [](Config& c) { c.macros.clear(), c.macros["ko"] = "không"; }},
      {"{\"app_modes\": {\"notes\": true}}",
       [](Config& c) { c.app_modes.clear(), c.app_modes["notes"] = true; }},
      {"{\"excluded_apps\": [\"a\", \"b\"]}",
       [](Config& c) { c.excluded_apps.assign(1, "a"), c.excluded_apps.push_back("b"); }},
      {"{\"app_profiles\": {}}",
       [](Config& c) { c.app_profiles = qrx_engine::ports::default_app_profiles(); }},
      {"{\"app_profiles\": {\"notion\": {\"vietnamese\": false}}}",
       [](Config& c) {
         c.app_profiles = qrx_engine::ports::default_app_profiles();
         c.app_profiles["notion"] = profile_with([](auto& p) { p.vietnamese = false; });
       }},
      {"{\"tone_style\": {\"old\": null}, \"unicode_form\": \"NFD\", \"schema_version\": 4294967295}",
       [](Config& c) {
         c.tone_style = ToneStyle::Old, c.unicode_form = UnicodeForm::NFD, c.schema_version = ~0u;
       }},
      {"{\"x\": " + std::string(127, '[') + std::string(127, ']') + "}", same},
  };
  const Config base = current();
  for (const auto& [patch, expect] : cases) {
    SCOPED_TRACE(patch.substr(0, 80));
    Config expected = current();
    expect(expected);
    const std::optional<Config> patched = base.apply_json_patch(patch);
    ASSERT_TRUE(patched.has_value());
    EXPECT_EQ(*patched, expected);
    EXPECT_EQ(base, current());
  }
}

TEST(ConfigPatch, RejectsWithoutTouchingTheRecord) {
  const std::vector<std::string> rejected{
      "",
      "[]",
      "null",
      "{",
      "{\"a\": 1}x",
      "{\"input_method\": \"\xC3\"}",
      "{\"spell_check\": null}",
      "{\"macros\": {\"ko\": null}}",
      "{\"unicode_form\": \"nfc\"}",
      "{\"app_profiles\": {\"x\": {\"output_mode\": \"both\"}}}",
      "{\"app_profiles\": {\"x\": {\"wait_ack\": true, \"wait_ack\": true}}}",
      "{\"schema_version\": -1}",
      "{\"x\": " + std::string(128, '[') + std::string(128, ']') + "}",
      std::string(200000, '{')};
  const Config base = current();
  for (const std::string& patch : rejected) {
    SCOPED_TRACE(patch.substr(0, 80));
    EXPECT_FALSE(base.apply_json_patch(patch).has_value());
    EXPECT_EQ(base, current());
  }
}

TEST(NormalizeAppId, GivesTheApplicationKey) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases{
      {std::nullopt, ""},
      {" \t\n\v\f\r", ""},
      {"\u0085\u00A0\u1680\u2000\u200A\u2028\u2029\u202F\u205F\u3000", ""},
      {"com.apple.Terminal", "terminal"},
      {" Com.Vendor.Kitty ", "kitty"},
      {"net.a.b.c.d", "d"},
      {"io.github.App", "github"},
      {"com.vendor.VSCode", "code"},
      {"google-chrome-stable.desktop", "chrome"},
      {"soffice.bin", "libreoffice"},
      {"C:\\Apps\\Editor\\Code.EXE", "code"},
      {"/usr/share/applications/org.vendor.Terminal.desktop", "terminal"},
      {"firefox:1234", "firefox"},
      {"x.app.exe", "x"},
      {"com.vendor.", ""},
      {"de.vendor.tool", "de.vendor.tool"},
      {"vscode", "code"},
      {"My Editor", "my editor"},
      {"ΟΔΟΣ", "οδο\u03C2"},  // a final capital sigma lowers to the final form
      {"\xFFKitty", "\uFFFDkitty"},
  };
  for (const auto& [app, key] : cases) {
    SCOPED_TRACE(app.value_or("<absent>"));
    EXPECT_EQ(normalize_app_id(app ? std::optional<std::string_view>(*app) : std::nullopt), key);
  }
}

constexpr auto P = OutputMode::Preedit;

// A few rows of the built-in table, one of each kind; the data file holds the rest.
const AppProfileMap kBuiltIn{
    {"terminal", AppProfile{P, 0, 0, false, false, {}, {}, {}, {}, {}, {}}},
    {"chrome", AppProfile{{}, 0, 2, true, {}, {}, {}, {}, {}, {}, {}}},
    {"kitty", AppProfile{P, 0, 0, false, false, {}, {}, {}, {}, {}, {}}},
    {"notion", AppProfile{P, 5, 0, false, {}, {}, {}, {}, {}, {}, {}}},
    {"konsole", AppProfile{P, 0, 0, false, false, false, {}, {}, {}, {}, {}}},
    {"minecraft", profile_with([](auto& p) { p.vietnamese = false; })},
};

TEST(BuiltInProfiles, HoldTheDocumentedTables) {
  const AppProfileMap& builtin = qrx_engine::ports::default_app_profiles();
  EXPECT_EQ(builtin.size(), 25u);
  for (const auto& [key, profile] : kBuiltIn) EXPECT_EQ(builtin.at(key), profile) << key;
  // The aliases are checked through the identifiers they map.
  EXPECT_EQ(qrx_engine::ports::app_aliases().size(), 9u);
  EXPECT_EQ(&qrx_engine::ports::app_profile_data(), &qrx_engine::ports::app_profile_data());
}

TEST(ResolveProfile, FindsTheProfileOfTheApplicationKey) {
  const Config config;
  const std::vector<std::pair<std::optional<std::string>, AppProfile>> cases{
      {std::nullopt, AppProfile{}},
      {"", AppProfile{}},
      {"com.apple.Terminal", kBuiltIn.at("terminal")},
      {"/opt/google/chrome/google-chrome", kBuiltIn.at("chrome")},
      {"minecraft", profile_with([](auto& p) { p.vietnamese = false; })},
      {"soffice.bin", AppProfile{}},
  };
  for (const auto& [app, profile] : cases) {
    SCOPED_TRACE(app.value_or("<absent>"));
    EXPECT_EQ(resolve_profile(config, app ? std::optional<std::string_view>(*app) : std::nullopt), profile);
  }
}

TEST(ResolveProfile, UserEntriesReplaceBuiltInEntriesWhole) {
  const qrx_json::Result<Config> config = Config::from_json(
      "{\"app_profiles\": {\"terminal\": {\"vietnamese\": false}, \"myeditor\": {\"wait_ack\": true},"
      " \"com.apple.Terminal\": {\"backspace_delay_ms\": 9}, \"Kitty\": {\"vietnamese\": false}}}");
  ASSERT_TRUE(config.ok()) << config.error().to_string();
  EXPECT_EQ(resolve_profile(config.value(), "com.apple.Terminal"),
            profile_with([](auto& p) { p.vietnamese = false; }));
  EXPECT_EQ(resolve_profile(config.value(), "MyEditor.exe"),
            profile_with([](auto& p) { p.wait_ack = true; }));
  // Names are kept as written: an entry under a raw identifier or in other case never applies.
  EXPECT_EQ(resolve_profile(config.value(), "kitty"), kBuiltIn.at("kitty"));
  EXPECT_EQ(config.value().app_profiles.size(), 25u + 3u);
  EXPECT_EQ(config.value().app_profiles.at("notion"), kBuiltIn.at("notion"));

  Config without_profiles;
  without_profiles.app_profiles.clear();
  EXPECT_EQ(resolve_profile(without_profiles, "kitty"), AppProfile{});
}

TEST(DeserializeAppProfiles, LaysUserEntriesOverTheBuiltInTable) {
  // A size of 0 means rejected.
  const std::vector<std::tuple<std::string, std::size_t, std::string>> cases{
      {"{}", 25, ""},
      {"null", 0, "invalid type: null, expected a map"},
      {"{\"x\": null}", 0, "invalid type: null, expected struct AppProfile"},
      {"{\"x\": {}, \"y\": {\"output_mode\": \"x\"}}", 0, "unknown variant `x`"},
      {"{} x", 0, "trailing characters"},
  };
  for (const auto& [text, size, message_start] : cases) {
    SCOPED_TRACE(text);
    const qrx_json::Result<AppProfileMap> read = qrx_engine::ports::deserialize_app_profiles_json(text);
    ASSERT_EQ(read.ok(), size != 0);
    if (read.ok()) {
      EXPECT_EQ(read.value().size(), size);
    } else {
      EXPECT_TRUE(read.error().message.starts_with(message_start)) << read.error().message;
    }
  }
  const qrx_json::Result<AppProfileMap> repeated =
      qrx_engine::ports::deserialize_app_profiles_json("{\"notion\": {\"wait_ack\": true}, \"notion\": {}}");
  ASSERT_TRUE(repeated.ok());
  EXPECT_EQ(repeated.value().at("notion"), AppProfile{});
}

TEST(AppProfileData, DocumentNeedsBothTablesOnce) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"{\"aliases\": {}, \"profiles\": {}, \"comment\": 1}", ""},
      {"{\"profiles\": {}}", "missing field `aliases`"},
      {"{\"aliases\": {}}", "missing field `profiles`"},
      {"{\"aliases\": {}, \"profiles\": {}, \"profiles\": {}}", "duplicate field `profiles`"},
      {"{\"aliases\": {\"a\": 1}, \"profiles\": {}}", "invalid type: integer `1`, expected a string"},
      {"{\"aliases\": {}, \"profiles\": {\"x\": 1}}",
       "invalid type: integer `1`, expected struct AppProfile"},
      {"{\"aliases\": {}, \"profiles\": {}} x", "trailing characters"},
      {"[]", "missing field `aliases`"},
  };
  for (const auto& [text, message_start] : cases) {
    SCOPED_TRACE(text);
    const qrx_json::Result<qrx_engine::ports::AppProfileData> read =
        qrx_engine::ports::parse_app_profile_data(text);
    ASSERT_EQ(read.ok(), message_start.empty()) << (read.ok() ? "" : read.error().message);
    if (!read.ok()) {
      EXPECT_TRUE(read.error().message.starts_with(message_start)) << read.error().message;
    }
  }
  // The document's profile table is a plain map: no built-in entries are added to it.
  const auto plain = qrx_engine::ports::parse_app_profile_data(
      "{\"aliases\": {\"a\": \"b\"}, \"profiles\": {\"b\": {\"wait_ack\": true}}}");
  ASSERT_TRUE(plain.ok());
  EXPECT_EQ(plain.value().profiles, (AppProfileMap{{"b", profile_with([](auto& p) { p.wait_ack = true; })}}));
}

TEST(AppProfileData, BrokenBuiltInDocumentIsAnInternalFault) {
  testing::internal::CaptureStderr();
  EXPECT_THROW(qrx_engine::ports::load_builtin_app_profile_data("{\"aliases\": {}"), std::runtime_error);
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(written.starts_with("app_profiles.json không hợp lệ: EOF while parsing an object")) << written;
  EXPECT_TRUE(written.ends_with(" at line 1 column 14\n")) << written;
}

// A fresh directory per test, removed afterwards.
class FileStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qrx-ports-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
    path_ = dir_ / "config.json";
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& text) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    return names;
  }

  fs::path dir_;
  fs::path path_;
};

TEST_F(FileStoreTest, LoadFallsBackToDefaultsOnAnyFailure) {
  const std::vector<std::string> broken{"", "{}x", "{\"spell_check\": false, \"spell_check\": false}",
                                        std::string(5000, '[')};
  const JsonFileConfigStore store(path_);
  EXPECT_EQ(store.load(), Config{});  // no such file
  for (const std::string& text : broken) {
    SCOPED_TRACE(text.substr(0, 60));
    write(text);
    EXPECT_EQ(store.load(), Config{});
    EXPECT_EQ(read(), text);  // loading writes nothing
  }
  write("{\"spell_check\": false}");
  Config expected;
  expected.spell_check = false;
  EXPECT_EQ(store.load(), expected);
  EXPECT_EQ(JsonFileConfigStore(dir_).load(), Config{});  // a directory
}

TEST_F(FileStoreTest, SaveReplacesTheWholeFileAndLeavesNothingBeside) {
  write(std::string(100000, ' ') + "{\"input_method\": \"telex\"}");
  fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
  const JsonFileConfigStore store(path_);
  store.save(everything_changed());
  EXPECT_EQ(read(), everything_changed().to_json_pretty());
  EXPECT_EQ(store.load(), everything_changed());
  EXPECT_EQ(entries(), std::vector<std::string>{"config.json"});
  EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(FileStoreTest, SaveThroughASymbolicLinkUpdatesTheRealFile) {
  const fs::path real = dir_ / "real.json";
  { std::ofstream(real) << "{}"; }
  fs::create_symlink(real.filename(), path_);
  JsonFileConfigStore(path_).save(everything_changed());
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(JsonFileConfigStore(real).load(), everything_changed());
}

TEST_F(FileStoreTest, FailedSaveReportsNothingAndLeavesNoTrace) {
  // The target's folder does not exist.
  const JsonFileConfigStore missing_folder(dir_ / "absent" / "config.json");
  EXPECT_NO_THROW(missing_folder.save(everything_changed()));
  EXPECT_FALSE(fs::exists(dir_ / "absent"));

  // The target is a directory with content, which a file cannot replace.
  fs::create_directories(path_ / "inner");
  const JsonFileConfigStore onto_directory(path_);
  EXPECT_NO_THROW(onto_directory.save(everything_changed()));
  EXPECT_TRUE(fs::is_directory(path_));
  EXPECT_EQ(entries(), std::vector<std::string>{"config.json"});
}

// A port of every kind that records, in a shared trail, when it goes away.
struct Recorded : qrx_engine::ports::ConfigStore,
                  qrx_engine::ports::AppContext,
                  qrx_engine::ports::SurroundingText,
                  qrx_engine::ports::Dictionary {
  Recorded(std::vector<std::string>& trail, std::string name) : trail(trail), name(std::move(name)) {}
  ~Recorded() override { trail.push_back(name); }
  Config load() const override { return Config{}; }
  void save(const Config&) const override {}
  std::optional<std::string> current_app() const override { return std::nullopt; }
  std::optional<std::string> before_cursor(std::size_t) const override { return std::nullopt; }
  bool is_english(std::string_view) const override { return false; }
  bool is_vietnamese(std::string_view) const override { return false; }
  std::vector<std::string>& trail;
  std::string name;
};

TEST(Ports, AreDestroyedInDeclaredOrder) {
  std::vector<std::string> trail;
  {
    qrx_engine::ports::Ports ports(
        std::make_unique<Recorded>(trail, "store"), std::make_unique<Recorded>(trail, "app"),
        std::make_unique<Recorded>(trail, "surrounding"), std::make_unique<Recorded>(trail, "dictionary"));
    qrx_engine::ports::Ports moved = std::move(ports);
    EXPECT_TRUE(trail.empty());
  }
  EXPECT_EQ(trail, (std::vector<std::string>{"store", "app", "surrounding", "dictionary"}));
}

std::vector<std::string> pieces(std::string_view text) {
  std::vector<std::string> out;
  for (std::string_view word : split_words(text)) out.emplace_back(word);
  return out;
}

TEST(WordListDictionary, DefaultAnswersFromTheBuiltInLists) {
  const WordListDictionary dictionary = WordListDictionary::make_default();
  EXPECT_EQ(dictionary.english().size(), 227u);
  EXPECT_EQ(dictionary.vietnamese().size(), 603u);
  const std::vector<std::tuple<std::string, bool, bool>> cases{
      {"a", true, true},
      {"the", true, false},
      {"The", false, false},
      {"", false, false},
      {"việt", false, true},
      {qrx_unicode::nfd("việt"), false, false},
      {std::string("th\0e", 4), false, false},
  };
  for (const auto& [word, english, vietnamese] : cases) {
    SCOPED_TRACE(word);
    EXPECT_EQ(dictionary.is_english(word), english);
    EXPECT_EQ(dictionary.is_vietnamese(word), vietnamese);
  }
}

TEST(WordListDictionary, FromTextKeepsWordsAsWritten) {
  const WordListDictionary dictionary = WordListDictionary::from_text("  \tHello\nworld ", "");
  EXPECT_EQ(dictionary.english(), (qrx_engine::ports::WordSet{"Hello", "world"}));
  EXPECT_TRUE(dictionary.vietnamese().empty());
  EXPECT_FALSE(dictionary.is_english("hello"));

  const WordListDictionary repeated = WordListDictionary::from_text("a a\ta", "x, x. x");
  EXPECT_EQ(repeated.english().size(), 1u);
  EXPECT_EQ(repeated.vietnamese(), (qrx_engine::ports::WordSet{"x,", "x.", "x"}));
}

TEST(SplitWords, BreaksAtEveryRunOfUnicodeWhiteSpace) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"", {}},
      {" \t\r\n", {}},
      {"  one  two ", {"one", "two"}},
      {"a\u00A0b\u3000c\u2028d\u0085e", {"a", "b", "c", "d", "e"}},
      {"zero\u200Bwidth", {"zero\u200Bwidth"}},
      {"\xFF \xFE\xFD", {"\xFF", "\xFE\xFD"}},
      {"tail\xE1\xBB", {"tail\xE1\xBB"}},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(pieces(text), expected);
  }
}

}  // namespace
