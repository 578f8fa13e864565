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
  struct Case {
    std::string patch;
    std::function<void(Config&)> expect;  // turns current() into the expected result
  };
  const auto same = [](Config&) {};
  const std::vector<Case> cases{
      {"{}", same},
      {" \n{ } \t", same},
      {"{\"output_mode\": \"preedit\"}", same},
      {"{\"unknown\": {\"deep\": [1, 2]}, \"unknown\": null}", same},
      {"{\"input_method\": \"vni\"}", [](Config& c) { c.input_method = "vni"; }},
      {"{\"spell_check\": true, \"spell_check\": false}", same},
      {"{\"spell_check\": false, \"spell_check\": true}", [](Config& c) { c.spell_check = true; }},
      // Maps and lists are replaced whole, not merged.
      {"{\"macros\": {\"ko\": \"không\"}}",
       [](Config& c) {
         c.macros = {{"ko", "không"}};
       }},
      {"{\"app_modes\": {\"notes\": true}}",
       [](Config& c) {
         c.app_modes = {{"notes", true}};
       }},
      {"{\"excluded_apps\": [\"a\", \"b\"]}",
       [](Config& c) {
         c.excluded_apps = {"a", "b"};
       }},
      {"{\"app_profiles\": {}}",
       [](Config& c) { c.app_profiles = qrx_engine::ports::default_app_profiles(); }},
      {"{\"app_profiles\": {\"notion\": {\"vietnamese\": false}}}",
       [](Config& c) {
         c.app_profiles = qrx_engine::ports::default_app_profiles();
         c.app_profiles["notion"] = profile_with([](auto& p) { p.vietnamese = false; });
       }},
      {"{\"tone_style\": {\"old\": null}, \"unicode_form\": \"NFD\", \"schema_version\": 4294967295}",
       [](Config& c) {
         c.tone_style = ToneStyle::Old;
         c.unicode_form = UnicodeForm::NFD;
         c.schema_version = 4294967295u;
       }},
      {"{\"x\": " + std::string(127, '[') + std::string(127, ']') + "}", same},
  };
  const Config base = current();
  for (const Case& item : cases) {
    SCOPED_TRACE(item.patch.substr(0, 80));
    Config expected = current();
    item.expect(expected);
    const std::optional<Config> patched = base.apply_json_patch(item.patch);
    ASSERT_TRUE(patched.has_value());
    EXPECT_EQ(*patched, expected);
    EXPECT_EQ(base, current());
  }
}

TEST(ConfigPatch, RejectsWithoutTouchingTheRecord) {
  const std::vector<std::string> rejected{
      "",
      "   \n",
      "[]",
      "[\"vni\"]",
      "\"x\"",
      "5",
      "null",
      "{",
      "{\"a\": 1}x",
      "{\"input_method\": \"\xC3\"}",
      "{\"spell_check\": null}",
      "{\"spell_check\": \"yes\"}",
      "{\"macros\": {\"ko\": null}}",
      "{\"app_profiles\": null}",
      "{\"unicode_form\": \"nfc\"}",
      "{\"tone_style\": \"mid\"}",
      "{\"app_profiles\": {\"x\": {\"output_mode\": \"both\"}}}",
      "{\"app_profiles\": {\"x\": {\"tone_style\": \"newer\"}}}",
      "{\"app_profiles\": {\"x\": {\"wait_ack\": true, \"wait_ack\": true}}}",
      "{\"schema_version\": -1}",
      "{\"schema_version\": 1.5}",
      "{\"schema_version\": 4294967296}",
      "{\"x\": " + std::string(128, '[') + std::string(128, ']') + "}",
      std::string(200000, '{'),
  };
  const Config base = current();
  for (const std::string& patch : rejected) {
    SCOPED_TRACE(patch.substr(0, 80));
    EXPECT_FALSE(base.apply_json_patch(patch).has_value());
    EXPECT_EQ(base, current());
  }
}

}  // namespace
