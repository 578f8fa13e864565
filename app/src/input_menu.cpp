#include "quorvix_app/input_menu.h"

#include <qrx_json/json.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>

#include "quorvix_app/engine_bridge.h"

namespace quorvix::app {
namespace {

struct ClipboardChoice {
  std::string_view title;  // empty for a separator
  std::string_view op;
  std::string_view charset;
};

constexpr std::array<ClipboardChoice, 7> kClipboardChoices{{
    {"Bỏ dấu", "strip", ""},
    {"Chuẩn hoá Unicode NFC", "nfc", ""},
    {"VIQR → Unicode", "decode", "viqr"},
    {"Unicode → VIQR", "encode", "viqr"},
    {"", "", ""},
    {"TCVN3 → Unicode", "decode", "tcvn3"},
    {"Unicode → TCVN3 (UTF-8 thay thế)", "encode", "tcvn3"},
}};

// Marks are what a canonical decomposition splits off a letter; "đ" has none and stays.
std::string stripDiacritics(const std::string& text) {
  auto chars = qrx_unicode::nfd(qrx_unicode::decode_utf8(text));
  std::erase_if(chars, [](char32_t c) { return qrx_unicode::combining_class(c) != 0; });
  return qrx_unicode::encode_utf8(qrx_unicode::nfc(chars));
}

using Conversion = std::optional<std::string> (*)(const std::string& text, const std::string& charset,
                                                  EngineSession* session);

constexpr std::array<std::pair<std::string_view, Conversion>, 4> kConversions{{
    {"strip",
     [](const std::string& text, const std::string&, EngineSession*) -> std::optional<std::string> {
       return stripDiacritics(text);
     }},
    {"nfc",
     [](const std::string& text, const std::string&, EngineSession*) -> std::optional<std::string> {
       return qrx_unicode::nfc(text);
     }},
    {"decode",
     [](const std::string& text, const std::string& charset,
        EngineSession* session) -> std::optional<std::string> {
       if (session == nullptr) return std::nullopt;
       return session->decodeCharset(text, charset);
     }},
    {"encode",
     [](const std::string& text, const std::string& charset,
        EngineSession* session) -> std::optional<std::string> {
       if (session == nullptr) return std::nullopt;
       return session->encodeCharset(text, charset);
     }},
}};

MenuItem separator() {
  MenuItem item;
  item.separator = true;
  return item;
}

MenuItem commandItem(std::string title, MenuCommand action, RepresentedObject argument = {}) {
  MenuItem item;
  item.title = std::move(title);
  item.action = action;
  item.representedObject = std::move(argument);
  return item;
}

MenuItem submenuItem(std::string title, std::string submenuTitle) {
  MenuItem item;
  item.title = std::move(title);
  item.submenuTitle = std::move(submenuTitle);
  return item;
}

MenuItem methodSubmenu(std::string_view current) {
  auto item = submenuItem(methodMenuTitle(current), "Kiểu gõ");
  for (const auto& method : kInputMethods) {
    item.submenu.push_back(
        commandItem(std::string(method.title), MenuCommand::selectMethod, std::string(method.identifier)));
    item.submenu.back().on = method.identifier == current;
  }
  return item;
}

MenuItem clipboardSubmenu() {
  auto item = submenuItem("Clipboard", "Clipboard");
  for (const auto& choice : kClipboardChoices) {
    item.submenu.push_back(
        choice.title.empty()
            ? separator()
            : commandItem(std::string(choice.title), MenuCommand::transformClipboard,
                          std::map<std::string, std::string>{{"op", std::string(choice.op)},
                                                             {"charset", std::string(choice.charset)}}));
  }
  return item;
}

}  // namespace

std::string_view typedMethod(std::string_view method) {
  const auto* found = std::ranges::find(kInputMethods, method, &InputMethodChoice::identifier);
  return (found != kInputMethods.end() ? *found : kInputMethods.front()).identifier;
}

std::string configuredMethod(const qrx_json::Value* inputMethod) {
  return inputMethod != nullptr && inputMethod->is_string() ? inputMethod->as_string() : "telex";
}

std::string currentMethod(const std::optional<std::string>& configJSON) {
  const auto parsed = configJSON ? qrx_json::parse(*configJSON) : qrx_json::Result<qrx_json::Value>(qrx_json::Value());
  return configuredMethod(parsed ? parsed.value().find("input_method") : nullptr);
}

std::string_view methodTitle(std::string_view method) {
  return std::ranges::find(kInputMethods, typedMethod(method), &InputMethodChoice::identifier)->title;
}

Menu inputMenu(EngineSession* session) {
  const auto configJSON = session != nullptr ? session->configJSON() : std::nullopt;
  return inputMenu(session == nullptr || session->isEnabled(), currentMethod(configJSON));
}

std::string toggleTitle(bool vietnameseOn) { return vietnameseOn ? "Tắt tiếng Việt" : "Bật tiếng Việt"; }

std::string methodMenuTitle(std::string_view method) { return "Kiểu gõ: " + std::string(methodTitle(method)); }

Menu inputMenu(const MenuState& state) { return inputMenu(state.vietnameseOn, state.method); }

Menu inputMenu(bool enabled, std::string_view method) {
  Menu menu;
  menu.title = "Quorvix";
  menu.items = {
      commandItem(toggleTitle(enabled), MenuCommand::toggleVietnamese),
      separator(),
      methodSubmenu(method),
      separator(),
      commandItem("Cấu hình…", MenuCommand::showPreferences),
      commandItem("Mở file JSON", MenuCommand::openConfigFile),
      commandItem("Nạp lại cấu hình", MenuCommand::reloadConfig),
      commandItem("Mở cài đặt Fcitx5…", MenuCommand::openInputSources),
      clipboardSubmenu(),
  };
  return menu;
}

std::optional<ClipboardConversion> clipboardConversion(const RepresentedObject& argument) {
  const auto* info = std::get_if<std::map<std::string, std::string>>(&argument);
  if (info == nullptr) return std::nullopt;
  const auto op = info->find("op");
  if (op == info->end()) return std::nullopt;
  const auto charset = info->find("charset");
  return ClipboardConversion{op->second, charset != info->end() ? charset->second : ""};
}

std::optional<std::string> convertClipboardText(const ClipboardConversion& conversion,
                                                const std::string& text, EngineSession* session) {
  const auto* found =
      std::ranges::find(kConversions, conversion.op, &std::pair<std::string_view, Conversion>::first);
  if (found == kConversions.end()) return std::nullopt;
  return found->second(text, conversion.charset, session);
}

ClipboardOutcome transformClipboard(const ClipboardConversion& conversion, platform::Clipboard& clipboard,
                                    EngineSession* session) {
  const auto text = clipboard.string();
  if (!text) return ClipboardOutcome::noText;
  const auto converted = convertClipboardText(conversion, *text, session);
  if (!converted) return ClipboardOutcome::notConverted;
  clipboard.setString(*converted);
  return ClipboardOutcome::converted;
}

}  // namespace quorvix::app
