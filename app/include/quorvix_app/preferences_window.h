// The preferences window: the configuration file's settings edited without writing JSON. The
// window's controls show the file when it is loaded; saving writes the window's settings into
// the file as it is then, leaving every other key alone, and tells the input controllers of this
// process to reload.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/preferences_window.h"
#include "quorvix_app/config_file.h"
#include "quorvix_app/notification_center.h"

namespace quorvix::app {

struct BoolOption {
  std::string_view key;
  std::string_view title;
};

// The Boolean settings, one check box each, in display order.
inline constexpr std::array<BoolOption, 14> kBoolOptions{{
    {"spell_check", "Kiểm tra chính tả"},
    {"w_as_u", "w → ư"},
    {"bracket_keys", "[ ] → ơ ư"},
    {"quick_telex", "Quick Telex"},
    {"allow_coda_k", "Âm cuối k (Đắk Lắk)"},
    {"macro_enabled", "Bật macro"},
    {"macro_digits", "Macro có số (mp3, k8s)"},
    {"macro_undo", "Backspace hoàn tác macro"},
    {"macro_in_off_mode", "Macro khi tắt tiếng Việt"},
    {"auto_capitalize", "Viết hoa đầu câu"},
    {"smart_caps", "Bảo vệ chữ HOA"},
    {"edit_previous_word", "Sửa từ vừa gõ"},
    {"default_vietnamese", "Mặc định tiếng Việt"},
    {"restore_after_space", "Backspace sau dấu cách nạp lại từ trước"},
}};

// An item of a pop-up: the setting's value it stands for, and its title.
struct PopupItem {
  std::string_view value;
  std::string_view title;
};

// The items of the two-item pop-ups, in index order. The input-method pop-up lists
// kInputMethods (input_menu.h).
inline constexpr std::array<PopupItem, 2> kToneItems{{{"old", "Cũ (hòa)"}, {"new", "Mới (hoà)"}}};
inline constexpr std::array<PopupItem, 2> kUnicodeItems{{{"NFC", "NFC (dựng sẵn)"}, {"NFD", "NFD (tổ hợp)"}}};
inline constexpr std::array<PopupItem, 2> kOutputItems{
    {{"replace", "Không gạch chân (Replace)"}, {"preedit", "Gạch chân (Preedit)"}}};

// Shown in the window before the reason when its settings could not be saved.
inline constexpr std::string_view kNotSavedNotice = "Không lưu được: ";
// Shown in the window before the file's path when no program took it to open.
inline constexpr std::string_view kNotOpenedNotice = "Không có chương trình nào mở được file JSON: ";
// What the excluded-applications field suggests: the program names Fcitx5 knows applications by.
inline constexpr std::string_view kExcludedAppsPlaceholder = "minecraft, gnome-terminal-server, game…";
// Shown above the macro lines a save would not take, and below them.
inline constexpr std::string_view kUntakenMacrosNotice = "Những dòng macro sau sẽ không được lưu:";
inline constexpr std::string_view kSaveAgainNotice =
    "Bấm “Lưu” lần nữa để lưu như vậy, hoặc sửa các dòng trên.";

// Application identifiers separated by commas or line feeds: trimmed of spaces and tabs,
// lower-cased, empty ones dropped; order and repetitions kept.
std::vector<std::string> parseExcludedApps(std::string_view text);
// One macro a line, "key=value": the key trimmed of spaces and tabs and lower-cased, the value as
// typed after the first "=" that follows some text. Lines without both are ignored; a later line
// replaces an earlier one with the same key.
std::map<std::string, std::string> parseMacros(std::string_view text);

// A line of the macro text that gave no macro: why, by its number (from 1) and as typed.
struct UntakenMacroLine {
  enum class Why {
    noSign,    // no "=" at all
    noKey,     // nothing but blanks before the "="
    noValue,   // nothing after it
    replaced,  // a later line has the same key
  };
  std::size_t number = 0;
  std::string text;
  Why why = Why::noSign;
  std::size_t replacedBy = 0;  // the line that replaced it

  friend bool operator==(const UntakenMacroLine&, const UntakenMacroLine&) = default;
};
struct MacroLines {
  std::map<std::string, std::string> macros;  // as parseMacros gives them
  std::vector<UntakenMacroLine> untaken;      // in line order; lines of blanks alone are none
};
MacroLines parseMacroLines(std::string_view text);

// The window's pop-up items and check boxes from the tables above.
platform::PreferencesChoices preferencesChoices();

struct PreferencesServices {
  platform::Files& files;
  platform::RunningApplications& runningApplications;
  NotificationCenter& notifications;
};

class PreferencesWindowController : public platform::PreferencesActions {
 public:
  // Loads the file into the window's controls and makes the window's buttons call this.
  PreferencesWindowController(PreferencesServices services, platform::PreferencesWindow& window);
  ~PreferencesWindowController() override;
  PreferencesWindowController(const PreferencesWindowController&) = delete;
  PreferencesWindowController& operator=(const PreferencesWindowController&) = delete;

  void show();
  void loadValues();

  void save() override;
  void cancel() override;
  void openJSON() override;
  void refreshRunningApps() override;
  void addRunningApp() override;

 private:
  PreferencesServices services_;
  platform::PreferencesWindow& window_;
  ConfigFile config_;
  // The engine's own defaults, shown for keys the file lacks.
  const ConfigDictionary& defaults_;
  std::vector<platform::RunningApplication> runningApps_;
  // The macro text whose untaken lines the window showed, which a save then takes as it is.
  std::optional<std::string> shownMacroText_;
};

}  // namespace quorvix::app
