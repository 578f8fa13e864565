#include <qrx_engine/ports.h>

#include <gtest/gtest.h>

#include "profile_with.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using qrx_engine::ports::AppProfile;
using qrx_engine::ports::AppProfileMap;
using qrx_engine::ports::Config;
using qrx_engine::ports::normalize_app_id;
using qrx_engine::ports::OutputMode;
using qrx_engine::ports::resolve_profile;

TEST(NormalizeAppId, GivesTheApplicationKey) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases{
      {std::nullopt, ""},
      {"", ""},
      {" \t\n\v\f\r", ""},
      {"\u0085\u00A0\u1680\u2000\u200A\u2028\u2029\u202F\u205F\u3000", ""},
      {"com.apple.Terminal", "terminal"},
      {" Com.Vendor.Kitty ", "kitty"},
      {"\u3000kitty\u2029", "kitty"},
      {"org.vendor.Firefox", "firefox"},
      {"app.vendor.tool", "tool"},
      {"net.a.b.c.d", "d"},
      {"io.github.App", "github"},
      {"io.github.tool", "tool"},
      {"com.vendor.VSCode", "code"},
      {"google-chrome-stable.desktop", "chrome"},
      {"soffice.bin", "libreoffice"},
      {"C:\\Apps\\Editor\\Code.EXE", "code"},
      {"/usr/share/applications/org.vendor.Terminal.desktop", "terminal"},
      {"/Applications/Kitty.app", "kitty"},
      {"firefox:1234", "firefox"},
      {"tool.exe:1", "tool.exe"},
      {"x.app.exe", "x"},
      {"x.exe.app", "x.exe"},
      {"x.desktop.app.exe", "x"},
      {"com", "com"},
      {"com.vendor.", ""},
      {"de.vendor.tool", "de.vendor.tool"},
      {"comx.vendor.tool", "comx.vendor.tool"},
      {"path/to/", ""},
      {"vscode", "code"},
      {"code-url-handler.exe", "code"},
      {"My Editor", "my editor"},
      {"ΟΔΟΣ", "οδο\u03C2"},  // a final capital sigma lowers to the final form
      {"\xFFKitty", "\uFFFDkitty"},
  };
  for (const auto& [app, key] : cases) {
    SCOPED_TRACE(app.value_or("<absent>"));
    EXPECT_EQ(normalize_app_id(app ? std::optional<std::string_view>(*app) : std::nullopt), key);
  }
}

struct Row {
  const char* key;
  std::optional<OutputMode> output_mode;
  std::uint32_t backspace_delay_ms;
  std::uint32_t delay_per_char_ms;
  bool wait_ack;
  std::optional<bool> edit_previous_word;
  std::optional<bool> restore_after_space;
  std::optional<bool> vietnamese;
};

constexpr auto P = OutputMode::Preedit;
constexpr std::optional<OutputMode> kUnset;
constexpr std::optional<bool> kNone;

const std::vector<Row> kBuiltInProfiles{
    {"alacritty", P, 0, 0, false, false, kNone, kNone},
    {"brave", kUnset, 0, 2, true, kNone, kNone, kNone},
    {"chrome", kUnset, 0, 2, true, kNone, kNone, kNone},
    {"chromium", kUnset, 0, 2, true, kNone, kNone, kNone},
    {"code", P, 3, 0, false, kNone, kNone, kNone},
    {"discord", P, 3, 0, false, kNone, kNone, kNone},
    {"firefox", P, 4, 0, false, false, kNone, kNone},
    {"gnome-terminal", P, 0, 0, false, false, false, kNone},
    {"iterm2", P, 0, 0, false, false, kNone, kNone},
    {"kitty", P, 0, 0, false, false, kNone, kNone},
    {"konsole", P, 0, 0, false, false, false, kNone},
    {"minecraft", kUnset, 0, 0, false, kNone, kNone, false},
    {"msedge", kUnset, 0, 2, true, kNone, kNone, kNone},
    {"notion", P, 5, 0, false, kNone, kNone, kNone},
    {"ptyxis", P, 0, 0, false, false, false, kNone},
    {"rxvt", P, 0, 0, false, false, false, kNone},
    {"slack", P, 3, 0, false, kNone, kNone, kNone},
    {"terminal", P, 0, 0, false, false, kNone, kNone},
    {"terminator", P, 0, 0, false, false, false, kNone},
    {"tilix", P, 0, 0, false, false, false, kNone},
    {"urxvt", P, 0, 0, false, false, false, kNone},
    {"wezterm", P, 0, 0, false, false, kNone, kNone},
    {"windowsterminal", P, 0, 0, false, false, kNone, kNone},
    {"xfce4-terminal", P, 0, 0, false, false, false, kNone},
    {"xterm", P, 0, 0, false, false, false, kNone},
};

const AppProfileMap kBuiltIn = [] {
  AppProfileMap map;
  for (const Row& r : kBuiltInProfiles) {
    map[r.key] = AppProfile{r.output_mode,        r.backspace_delay_ms,  r.delay_per_char_ms, r.wait_ack,
                            r.edit_previous_word, r.restore_after_space, r.vietnamese,        std::nullopt,
                            std::nullopt,         std::nullopt,          std::nullopt};
  }
  return map;
}();

TEST(BuiltInProfiles, HoldTheDocumentedTables) {
  EXPECT_EQ(qrx_engine::ports::default_app_profiles(), kBuiltIn);
  EXPECT_EQ(qrx_engine::ports::app_aliases(),
            (qrx_engine::ports::AliasMap{{"code-url-handler", "code"},
                                         {"gnome-terminal-server", "gnome-terminal"},
                                         {"google-chrome", "chrome"},
                                         {"google-chrome-beta", "chrome"},
                                         {"google-chrome-stable", "chrome"},
                                         {"microsoft-edge", "msedge"},
                                         {"microsoft-edge-stable", "msedge"},
                                         {"soffice.bin", "libreoffice"},
                                         {"vscode", "code"}}));
  EXPECT_EQ(&qrx_engine::ports::app_profile_data(), &qrx_engine::ports::app_profile_data());
}

TEST(ResolveProfile, FindsTheProfileOfTheApplicationKey) {
  const Config config;
  const std::vector<std::pair<std::optional<std::string>, AppProfile>> cases{
      {std::nullopt, AppProfile{}},
      {"", AppProfile{}},
      {"   ", AppProfile{}},
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
  const json::Result<Config> config = Config::from_json(
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
  struct Case {
    std::string text;
    std::size_t size;  // 0: rejected
    std::string message_start;
  };
  const std::vector<Case> cases{
      {"{}", 25, ""},
      {"{\"notion\": {}}", 25, ""},
      {"null", 0, "invalid type: null, expected a map"},
      {"{\"x\": null}", 0, "invalid type: null, expected struct AppProfile"},
      {"{\"x\": {}, \"y\": {\"output_mode\": \"x\"}}", 0, "unknown variant `x`"},
      {"{} x", 0, "trailing characters"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.text);
    const json::Result<AppProfileMap> read = qrx_engine::ports::deserialize_app_profiles_json(item.text);
    ASSERT_EQ(read.ok(), item.size != 0);
    if (read.ok()) {
      EXPECT_EQ(read.value().size(), item.size);
    } else {
      EXPECT_TRUE(read.error().message.starts_with(item.message_start)) << read.error().message;
    }
  }
  const json::Result<AppProfileMap> repeated =
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
    const json::Result<qrx_engine::ports::AppProfileData> read =
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

}  // namespace
