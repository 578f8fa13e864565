#include <qrx_engine/ports.h>

#include <gtest/gtest.h>

#include "profile_with.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using qrx_engine::ports::AppProfile;
using qrx_engine::ports::Config;
using qrx_engine::ports::OutputMode;
using qrx_engine::ports::ToneStyle;
using qrx_engine::ports::UnicodeForm;

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

TEST(ConfigWriting, PrettyFormIndentsByTwoAndKeepsTextUnescaped) {
  Config c;
  c.app_profiles = {{"x", profile_with([](auto& p) {
                       p.output_mode = OutputMode::Preedit;
                       p.backspace_delay_ms = 3;
                     })}};
  c.macros = {{"ko", "không"}};
  c.excluded_apps = {"kitty"};
  const std::string text = c.to_json_pretty();
  EXPECT_TRUE(text.starts_with("{\n  \"input_method\": \"telex\",\n  \"tone_style\": \"new\",\n")) << text;
  EXPECT_NE(text.find("\n  \"macros\": {\n    \"ko\": \"không\"\n  },\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n  \"excluded_apps\": [\n    \"kitty\"\n  ],\n  \"app_modes\": {},\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n  \"app_profiles\": {\n    \"x\": {\n      \"output_mode\": \"preedit\",\n"
                      "      \"backspace_delay_ms\": 3,\n"),
            std::string::npos)
      << text;
  EXPECT_TRUE(text.ends_with("\n  \"schema_version\": 1\n}")) << text;
}

TEST(ConfigWriting, RoundTripsThroughEveryForm) {
  const Config original = everything_changed();
  for (const std::string& text : {original.to_json(), original.to_json_pretty()}) {
    const json::Result<Config> read = Config::from_json(text);
    ASSERT_TRUE(read.ok()) << read.error().to_string();
    EXPECT_EQ(read.value(), original);
  }
  const json::Result<Config> from_tree = Config::from_value(original.to_value());
  ASSERT_TRUE(from_tree.ok()) << from_tree.error().to_string();
  EXPECT_EQ(from_tree.value(), original);
  const json::Result<Config> defaults = Config::from_json(Config{}.to_json());
  ASSERT_TRUE(defaults.ok());
  EXPECT_EQ(defaults.value(), Config{});
}

struct Accepted {
  std::string text;
  std::function<void(Config&)> expect;  // turns the defaults into the expected record
};

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
      {" \t\r\n{} \n", same},
      {"{\"output_mode\": \"preedit\", \"schema_version\": 1}", same},
      {"{\"charset\": \"tcvn3\", \"Spell_check\": false, \"SPELL_CHECK\": 1}", same},
      {"{\"x\": 1, \"x\": {\"deep\": [1, 2, {\"y\": null}]}}", same},
      {"{\"unicode_form\": \"NFD\"}", [](Config& c) { c.unicode_form = UnicodeForm::NFD; }},
      {"{\"unicode_form\": {\"NFD\": null}}", [](Config& c) { c.unicode_form = UnicodeForm::NFD; }},
      {"{\"tone_style\": \"old\"}", [](Config& c) { c.tone_style = ToneStyle::Old; }},
      {"{\"tone_style\": {\"old\": null}}", [](Config& c) { c.tone_style = ToneStyle::Old; }},
      {"{\"schema_version\": 7}", [](Config& c) { c.schema_version = 7; }},
      {"{\"schema_version\": 0}", [](Config& c) { c.schema_version = 0; }},
      {"{\"schema_version\": 4294967295}", [](Config& c) { c.schema_version = 4294967295u; }},
      {"{\"macros\": {\"ko\": \"không\", \"ko\": \"Việt Nam\"}}",
       [](Config& c) { c.macros["ko"] = "Việt Nam"; }},
      {"{\"app_modes\": {\"kitty\": true, \"kitty\": false, \"code\": true}}",
       [](Config& c) {
         c.app_modes = {{"kitty", false}, {"code", true}};
       }},
      {"{\"excluded_apps\": [\"a\", \"b\", \"a\"]}",
       [](Config& c) {
         c.excluded_apps = {"a", "b", "a"};
       }},
      {"{\"input_method\": \"\\u0076\\u006e\\u0069\"}", [](Config& c) { c.input_method = "vni"; }},
      {"{\"\\u0073pell_check\": false}", [](Config& c) { c.spell_check = false; }},
      {"[\"vni\"]", [](Config& c) { c.input_method = "vni"; }},
      {"[]", same},
      {twenty_two, [](Config& c) { c = everything_changed(); }},
      {nested_config(json::kMaxDepth), same},
  };
  for (const Accepted& item : cases) {
    SCOPED_TRACE(item.text);
    Config expected;
    item.expect(expected);
    const json::Result<Config> read = Config::from_json(item.text);
    ASSERT_TRUE(read.ok()) << read.error().to_string();
    EXPECT_EQ(read.value(), expected);
    // The value-tree reader follows the same rules.
    const json::Result<json::Value> tree = json::parse(item.text);
    ASSERT_TRUE(tree.ok());
    const json::Result<Config> from_tree = Config::from_value(tree.value());
    ASSERT_TRUE(from_tree.ok()) << from_tree.error().to_string();
    EXPECT_EQ(from_tree.value(), expected);
  }
}

struct Rejected {
  std::string text;
  std::string message_start;
};

TEST(ConfigReading, RejectsWithTheDocumentedError) {
  std::string long_array = "[\"telex\"";
  for (int i = 1; i < 23; ++i) long_array += i == 1 ? ",\"new\"" : ",true";
  long_array += "]";
  const std::vector<Rejected> cases{
      {"", "EOF while parsing a value"},
      {"{\"input_method\": \"vni\"", "EOF while parsing an object"},
      {"{\"excluded_apps\": [\"a\"", "EOF while parsing a list"},
      {"{\"input_method\": \"vn", "EOF while parsing a string"},
      {"{}x", "trailing characters"},
      {"\xEF\xBB\xBF{}", ""},
      {"{\"input_method\": \"\xFF\"}", ""},
      {"{\"input_method\": \"telex\",}", ""},
      {"5", "invalid type: integer `5`, expected struct Config"},
      {"\"telex\"", "invalid type: string \"telex\", expected struct Config"},
      {"null", "invalid type: null, expected struct Config"},
      {"{\"spell_check\": false, \"spell_check\": true}", "duplicate field `spell_check`"},
      {"{\"app_profiles\": {}, \"app_profiles\": {}}", "duplicate field `app_profiles`"},
      {"{\"spell_check\": null}", "invalid type: null, expected a boolean"},
      {"{\"spell_check\": 0}", "invalid type: integer `0`, expected a boolean"},
      {"{\"input_method\": null}", "invalid type: null, expected a string"},
      {"{\"unicode_form\": \"nfd\"}", "unknown variant `nfd`, expected `NFC` or `NFD`"},
      {"{\"unicode_form\": 1}", "invalid type: "},
      {"{\"unicode_form\": null}", "invalid type: "},
      {"{\"unicode_form\": {}}", "invalid value: "},
      {"{\"unicode_form\": {\"NFD\": null, \"NFC\": null}}", "invalid value: "},
      {"{\"unicode_form\": {\"NFD\": 1}}", "invalid type: "},
      {"{\"unicode_form\": {\"nfd\": null}}", "unknown variant `nfd`"},
      {"{\"tone_style\": \"Old\"}", "unknown variant `Old`"},
      {"{\"tone_style\": 0}", "invalid type: "},
      {"{\"schema_version\": -1}", "invalid value: integer `-1`, expected u32"},
      {"{\"schema_version\": 4294967296}", "invalid value: integer `4294967296`, expected u32"},
      {"{\"schema_version\": 18446744073709551616}", "invalid type: floating point"},
      {"{\"schema_version\": 1.5}", "invalid type: floating point `1.5`, expected u32"},
      {"{\"schema_version\": 1e999}", ""},
      {"{\"macros\": {\"ko\": 1}}", "invalid type: integer `1`, expected a string"},
      {"{\"macros\": null}", "invalid type: null, expected a map"},
      {"{\"app_modes\": {\"kitty\": \"yes\"}}", "invalid type: string \"yes\", expected a boolean"},
      {"{\"excluded_apps\": \"kitty\"}", "invalid type: string \"kitty\", expected a sequence"},
      {"{\"excluded_apps\": [\"kitty\", 1]}", "invalid type: integer `1`, expected a string"},
      {"{\"app_profiles\": null}", "invalid type: null, expected a map"},
      {"{\"app_profiles\": {\"kitty\": 5}}", "invalid type: integer `5`, expected struct AppProfile"},
      {"{\"app_profiles\": {\"kitty\": {\"backspace_delay_ms\": -1}}}", "invalid value: "},
      {"{\"app_profiles\": {\"kitty\": {\"output_mode\": \"Preedit\"}}}", "unknown variant `Preedit`"},
      {"{\"app_profiles\": {\"kitty\": {\"wait_ack\": null}}}", "invalid type: null, expected a boolean"},
      {"[\"vni\", null]", "invalid type: null"},
      {long_array, "invalid length 23, expected fewer elements in array"},
      {nested_config(json::kMaxDepth + 1), "recursion limit exceeded"},
      {std::string(100000, '['), "recursion limit exceeded"},
  };
  for (const Rejected& item : cases) {
    SCOPED_TRACE(item.text.substr(0, 80));
    const json::Result<Config> read = Config::from_json(item.text);
    ASSERT_FALSE(read.ok());
    EXPECT_TRUE(read.error().message.starts_with(item.message_start)) << read.error().message;
    EXPECT_TRUE(read.error().position.known()) << read.error().message;
    // The value-tree reader follows the same rules.
    const json::Result<json::Value> tree = json::parse(item.text);
    if (!tree.ok()) continue;
    const json::Result<Config> from_tree = Config::from_value(tree.value());
    ASSERT_FALSE(from_tree.ok());
    EXPECT_TRUE(from_tree.error().message.starts_with(item.message_start)) << from_tree.error().message;
  }
}

TEST(ConfigReading, ErrorsFromTextCarryTheirLine) {
  const std::vector<std::pair<std::string, std::size_t>> cases{
      {"{\n  \"spell_check\": true,\n  \"spell_check\": false\n}", 3},
      {"{\n  \"macros\": {\n    \"ko\": true\n  }\n}", 3},
      {"{}\n\nx", 3},
  };
  for (const auto& [text, line] : cases) {
    SCOPED_TRACE(text);
    const json::Result<Config> read = Config::from_json(text);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().position.line, line);
    EXPECT_NE(read.error().to_string().find(" at line " + std::to_string(line) + " column "),
              std::string::npos)
        << read.error().to_string();
  }
}

TEST(AppProfileReading, FollowsTheRecordRules) {
  struct Case {
    std::string text;
    std::optional<AppProfile> expected;  // nothing: rejected
  };
  const std::vector<Case> cases{
      {"{}", AppProfile{}},
      {"[]", AppProfile{}},
      {"{\"output_mode\": null, \"tone_style\": null, \"charset\": null}", AppProfile{}},
      {"{\"output_mode\": \"replace\", \"unknown\": [1]}",
       profile_with([](auto& p) { p.output_mode = OutputMode::Replace; })},
      {"{\"output_mode\": {\"preedit\": null}}",
       profile_with([](auto& p) { p.output_mode = OutputMode::Preedit; })},
      {"{\"tone_style\": \"old\", \"input_method\": \"anything\", \"charset\": \"x\"}",
       profile_with([](auto& p) {
         p.input_method = "anything";
         p.tone_style = ToneStyle::Old;
         p.charset = "x";
       })},
      {"[\"preedit\", 3, 2, true, false]", profile_with([](auto& p) {
         p.output_mode = OutputMode::Preedit;
         p.backspace_delay_ms = 3;
         p.delay_per_char_ms = 2;
         p.wait_ack = true;
         p.edit_previous_word = false;
       })},
      {"{\"backspace_delay_ms\": 4294967295, \"vietnamese\": false}", profile_with([](auto& p) {
         p.backspace_delay_ms = 4294967295u;
         p.vietnamese = false;
       })},
      {"{\"output_mode\": \"Preedit\"}", std::nullopt},
      {"{\"backspace_delay_ms\": null}", std::nullopt},
      {"{\"delay_per_char_ms\": 4294967296}", std::nullopt},
      {"{\"vietnamese\": 1}", std::nullopt},
      {"{\"input_method\": 5}", std::nullopt},
      {"{\"tone_style\": \"middle\"}", std::nullopt},
      {"{\"charset\": null, \"charset\": null}", std::nullopt},
      {"[null, 0, 0, false, null, null, null, null, null, null, null, null]", std::nullopt},
      {"null", std::nullopt},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.text);
    const json::Result<json::Value> tree = json::parse(item.text);
    ASSERT_TRUE(tree.ok());
    const json::Result<AppProfile> read = AppProfile::from_value(tree.value());
    ASSERT_EQ(read.ok(), item.expected.has_value()) << (read.ok() ? "" : read.error().message);
    if (item.expected) {
      EXPECT_EQ(read.value(), *item.expected);
    }
  }
}

TEST(AppProfileWriting, RoundTripsAndNamesTheDuplicate) {
  const AppProfile profile = everything_changed().app_profiles.at("myeditor");
  const json::Result<json::Value> tree = json::parse(profile.to_json());
  ASSERT_TRUE(tree.ok());
  const json::Result<AppProfile> read = AppProfile::from_value(tree.value());
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value(), profile);
  EXPECT_EQ(profile.to_json(),
            "{\"output_mode\":\"replace\",\"backspace_delay_ms\":4294967295,\"delay_per_char_ms\":7,"
            "\"wait_ack\":true,\"edit_previous_word\":true,\"restore_after_space\":false,"
            "\"vietnamese\":true,\"input_method\":\"viqr\",\"tone_style\":\"new\",\"spell_check\":false,"
            "\"charset\":\"tcvn3\"}");

  const json::Result<json::Value> repeated = json::parse("{\"wait_ack\": true, \"wait_ack\": false}");
  ASSERT_TRUE(repeated.ok());
  const json::Result<AppProfile> rejected = AppProfile::from_value(repeated.value());
  ASSERT_FALSE(rejected.ok());
  EXPECT_EQ(rejected.error().message, "duplicate field `wait_ack`");
}

}  // namespace
