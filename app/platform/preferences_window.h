// The preferences window's controls as its controller sees them, the actions its buttons
// trigger, and the running applications it offers for the excluded list.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::platform {

// The four pop-up lists of the window.
enum class PreferencesPopup { method, tone, unicode, output };

// What the window offers: each pop-up's item titles (by PreferencesPopup), the check boxes
// (setting key, title), in display order, and the excluded-applications field's example.
struct PreferencesChoices {
  struct CheckBox {
    std::string key;
    std::string title;
  };
  std::array<std::vector<std::string>, 4> popupTitles;
  std::vector<CheckBox> checkBoxes;
  // What the excluded-applications field shows while it is empty.
  std::string excludedAppsPlaceholder;
};

// What the buttons do; the window calls these on its controller.
class PreferencesActions {
 public:
  virtual ~PreferencesActions() = default;
  virtual void save() = 0;
  virtual void cancel() = 0;
  virtual void openJSON() = 0;
  virtual void refreshRunningApps() = 0;
  virtual void addRunningApp() = 0;
};

class PreferencesWindow {
 public:
  virtual ~PreferencesWindow() = default;

  // The controller whose actions the buttons trigger; none before it is set.
  virtual void setActions(PreferencesActions* actions) = 0;

  // -1 when nothing is selected.
  virtual int selectedIndex(PreferencesPopup popup) const = 0;
  virtual void selectIndex(PreferencesPopup popup, int index) = 0;

  // One check box per Boolean configuration key.
  virtual bool isChecked(std::string_view key) const = 0;
  virtual void setChecked(std::string_view key, bool on) = 0;

  virtual std::string excludedAppsText() const = 0;
  virtual void setExcludedAppsText(const std::string& text) = 0;

  // The running-applications list; the selected index is -1 when nothing is selected.
  virtual void setRunningAppTitles(const std::vector<std::string>& titles) = 0;
  virtual int selectedRunningApp() const = 0;

  virtual std::string macroText() const = 0;
  virtual void setMacroText(const std::string& text) = 0;

  // A notice in the window, such as why the settings were not saved; an empty text removes it.
  virtual void setNotice(const std::string& text) = 0;
  // A line at the window's top about the file it edits, such as why it does not read, seen before
  // anything is changed; an empty text removes it.
  virtual void setFileProblem(const std::string& text) = 0;

  virtual void show() = 0;
  // Takes the window off the screen without discarding its controls' contents. A window that a
  // process runs on its own ends the process's event loop.
  virtual void hide() = 0;

  // Opens the file with the application the desktop assigns to it; when none took it, shows
  // `noticeIfNotOpened` as the window's notice.
  virtual void openFile(const std::filesystem::path& path, const std::string& noticeIfNotOpened) = 0;
};

// An application that shows windows, as the desktop names it, under macOS's names for its name
// and identifier; on Linux both are the program name Fcitx5 knows it by. Absent when it gives no
// name.
struct RunningApplication {
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;
};

class RunningApplications {
 public:
  virtual ~RunningApplications() = default;
  // The applications the user works with (no background services), in no particular order.
  virtual std::vector<RunningApplication> regularApplications() = 0;
};

}  // namespace quorvix::platform
