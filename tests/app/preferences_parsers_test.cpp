#include <gtest/gtest.h>

#include "quorvix_app/preferences_window.h"

namespace quorvix::app {
namespace {

TEST(PreferencesParsers, ExcludedAppsAreTrimmedLowerCasedAndKeptInOrder) {
  using Apps = std::vector<std::string>;
  const std::pair<const char*, Apps> rows[] = {
      {"  Minecraft \t,, com.apple.Terminal\ngame", {"minecraft", "com.apple.terminal", "game"}},
      {"Firefox, firefox,\n\n ,\t", {"firefox", "firefox"}},
      {"ĐIỆN-THOẠI", {"điện-thoại"}},
      {"", {}},
  };
  for (const auto& [text, apps] : rows) EXPECT_EQ(parseExcludedApps(text), apps) << text;
}

TEST(PreferencesParsers, MacrosSplitAtTheFirstSignAfterSomeText) {
  using Macros = std::map<std::string, std::string>;
  const std::pair<const char*, Macros> rows[] = {
      {"ko=không", {{"ko", "không"}}},
      {"  VN = Việt Nam", {{"vn", " Việt Nam"}}},
      {"x=\n=y\n==\nnothing", {}},
      {"a=b=c\n==k==v", {{"a", "b=c"}, {"k", "=v"}}},
      {" \t=value\n\nko=một\nKO=hai", {{"ko", "hai"}}},
      {"", {}},
  };
  for (const auto& [text, macros] : rows) EXPECT_EQ(parseMacros(text), macros) << text;
}

// Every line that gives no macro is named, with why: the window shows them before it saves.
TEST(PreferencesParsers, MacroLinesThatGiveNoMacroAreNamedWithWhy) {
  using Why = UntakenMacroLine::Why;
  using Lines = std::vector<UntakenMacroLine>;
  const std::pair<const char*, Lines> rows[] = {
      {"abc\n=x\nk=\na=1\na=2",
       {{1, "abc", Why::noSign, 0},
        {2, "=x", Why::noKey, 0},
        {3, "k=", Why::noValue, 0},
        {4, "a=1", Why::replaced, 5}}},
      {"ko=không\n\n  \t\nvn=Việt Nam\n", {}},
      {"==\n \t=value\nx=\n=y",
       {{1, "==", Why::noKey, 0},
        {2, " \t=value", Why::noKey, 0},
        {3, "x=", Why::noValue, 0},
        {4, "=y", Why::noKey, 0}}},
      // A key given three times, in any case: the last line stands, each earlier one gave way to
      // the next.
      {"KO=một\nko=hai\n Ko =ba", {{1, "KO=một", Why::replaced, 2}, {2, "ko=hai", Why::replaced, 3}}},
      {"a=b=c\n==k==v", {}},
  };
  for (const auto& [text, untaken] : rows) {
    const auto parsed = parseMacroLines(text);
    EXPECT_EQ(parsed.untaken, untaken) << text;
    EXPECT_EQ(parsed.macros, parseMacros(text)) << text;
  }
}

}  // namespace
}  // namespace quorvix::app
