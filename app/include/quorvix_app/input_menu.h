// The input method's menu, built afresh each time it is shown, and the text conversions behind
// its clipboard items.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/key_event.h"

namespace quorvix::app {

class QrxEngine;

enum class MenuCommand {
  none,
  toggleVietnamese,
  selectMethod,
  showPreferences,
  openConfigFile,
  reloadConfig,
  openInputSources,
  transformClipboard,
};

// A method item carries the input method's identifier, a clipboard item its "op" and
// "charset".
using RepresentedObject = std::variant<std::monostate, std::string, std::map<std::string, std::string>>;

struct MenuItem {
  std::string title;
  MenuCommand action = MenuCommand::none;
  std::string keyEquivalent;
  std::uint64_t keyEquivalentModifierMask = platform::modifier_flags::kCommand;
  RepresentedObject representedObject;
  bool on = false;
  bool separator = false;
  std::string submenuTitle;
  std::vector<MenuItem> submenu;

  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct Menu {
  std::string title;
  std::vector<MenuItem> items;
  friend bool operator==(const Menu&, const Menu&) = default;
};

struct InputMethodChoice {
  std::string_view identifier;  // the configuration's "input_method"
  std::string_view title;
};

inline constexpr std::array<InputMethodChoice, 4> kInputMethods{{
    {"telex", "Telex"},
    {"simple_telex", "Simple Telex"},
    {"vni", "VNI"},
    {"viqr", "VIQR"},
}};

}  // namespace quorvix::app
