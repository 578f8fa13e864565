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

}  // namespace
}  // namespace quorvix::app
