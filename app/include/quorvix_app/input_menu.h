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

#include "platform/clipboard.h"
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

// The menu as it stands for `engine`'s configuration; a missing engine reads as the defaults.
Menu inputMenu(QrxEngine* engine);
// The menu for a session with Vietnamese on or off and the input method `method`.
Menu inputMenu(bool vietnameseOn, std::string_view method);

// The "input_method" of a configuration JSON text, "telex" when it names none.
std::string currentMethod(const std::optional<std::string>& configJSON);
// The title of the configuration's input method; "Telex" for anything the menu does not offer.
std::string_view methodName(const std::optional<std::string>& configJSON);
std::string_view methodTitle(std::string_view method);

// What a clipboard item asks for: its "op" and its "charset" (empty for the operations that
// need none).
struct ClipboardConversion {
  std::string op;
  std::string charset;
  friend bool operator==(const ClipboardConversion&, const ClipboardConversion&) = default;
};

// The conversion a menu item carries; absent when it carries no "op".
std::optional<ClipboardConversion> clipboardConversion(const RepresentedObject& argument);

// The text the conversion makes of `text`; absent when the operation is unknown or the
// conversion cannot be made (the charset conversions need an engine).
std::optional<std::string> convertClipboardText(const ClipboardConversion& conversion,
                                                const std::string& text, QrxEngine* engine);

enum class ClipboardOutcome { converted, noText, notConverted };

// The clipboard's text converted as asked replaces it. Any other outcome leaves the clipboard
// untouched.
ClipboardOutcome transformClipboard(const ClipboardConversion& conversion, platform::Clipboard& clipboard,
                                    QrxEngine* engine);

}  // namespace quorvix::app
