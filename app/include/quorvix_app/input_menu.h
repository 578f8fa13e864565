// The input method's menu, built afresh each time it is shown, and the text conversions behind
// its clipboard items.
#pragma once

#include <qrx_json/json.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/clipboard.h"

namespace quorvix::app {

class EngineSession;

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

// An item's argument, kept under its macOS name: a method item carries the input method's
// identifier, a clipboard item its "op" and "charset".
using RepresentedObject = std::variant<std::monostate, std::string, std::map<std::string, std::string>>;

// Fcitx5's status area shows only the items' own titles: the menu's and the sub-menus' titles
// stay as the menu's names, and no item has a key equivalent, which Fcitx5 would not show
// (Alt+comma reaches the input controller as a key).
struct MenuItem {
  std::string title;
  MenuCommand action = MenuCommand::none;
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

// What a session's menu shows of it: whether Vietnamese is on, and the input method it types with.
// A default one is a session's on the default settings.
struct MenuState {
  bool vietnameseOn = true;
  std::string method{kInputMethods.front().identifier};
  friend bool operator==(const MenuState&, const MenuState&) = default;
};

// The menu for a session with Vietnamese on or off and the input method `method`.
Menu inputMenu(bool vietnameseOn, std::string_view method);
Menu inputMenu(const MenuState& state);
// The words of the menu's items that say what the session does: the first item's, and the
// input methods' sub-menu's.
std::string toggleTitle(bool vietnameseOn);
std::string methodMenuTitle(std::string_view method);
// The menu as a session's own configuration gives it; without a session, the defaults'. Only the
// tests build menus this way: the controller keeps what its menu shows as it goes.
Menu inputMenu(EngineSession* session);

// The input method a session types with when its configuration names `method`: that one when
// the menu offers it, else Telex, as the engine decides.
std::string_view typedMethod(std::string_view method);
// The input method a configuration's "input_method" value names: its text, or "telex" when the
// configuration gives none (absent, or not a text).
std::string configuredMethod(const qrx_json::Value* inputMethod);
// The "input_method" of a configuration JSON text, "telex" when it names none.
std::string currentMethod(const std::optional<std::string>& configJSON);
// The title of an input method; "Telex" for anything the menu does not offer.
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
// conversion cannot be made (the charset conversions need a session).
std::optional<std::string> convertClipboardText(const ClipboardConversion& conversion,
                                                const std::string& text, EngineSession* session);

enum class ClipboardOutcome { converted, noText, notConverted };

// The clipboard's text converted as asked replaces it. Any other outcome leaves the clipboard
// untouched.
ClipboardOutcome transformClipboard(const ClipboardConversion& conversion, platform::Clipboard& clipboard,
                                    EngineSession* session);

}  // namespace quorvix::app
