// The preferences window in Qt Widgets. Its controls carry the names of the configuration
// settings they show (objectName), which is how tests find them.
#pragma once

#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <string>

#include "platform/preferences_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace quorvix::platform::qt {

class QtPreferencesWindow final : public PreferencesWindow {
 public:
  explicit QtPreferencesWindow(const PreferencesChoices& choices);
  ~QtPreferencesWindow() override;

  QWidget& widget() { return *window_; }

  void setActions(PreferencesActions* actions) override { actions_ = actions; }
  int selectedIndex(PreferencesPopup popup) const override;
  void selectIndex(PreferencesPopup popup, int index) override;
  bool isChecked(std::string_view key) const override;
  void setChecked(std::string_view key, bool on) override;
  std::string excludedAppsText() const override;
  void setExcludedAppsText(const std::string& text) override;
  void setRunningAppTitles(const std::vector<std::string>& titles) override;
  int selectedRunningApp() const override;
  std::string macroText() const override;
  void setMacroText(const std::string& text) override;
  void setNotice(const std::string& text) override;
  void setFileProblem(const std::string& text) override;
  void show() override;
  void hide() override;
  void openFile(const std::filesystem::path& path, const std::string& noticeIfNotOpened) override;

 private:
  void build(const PreferencesChoices& choices);
  void addButton(class QLayout& layout, const char* title, const char* name,
                 void (PreferencesActions::*action)());

  std::unique_ptr<QWidget> window_;
  QWidget* document_ = nullptr;   // what the window scrolls, owned by it
  QWidget* buttonBar_ = nullptr;  // below it, owned by the window
  std::array<QComboBox*, 4> popups_{};
  std::map<std::string, QCheckBox*, std::less<>> checks_;
  QLineEdit* excludedField_ = nullptr;
  QComboBox* runningPopup_ = nullptr;
  QPlainTextEdit* macroView_ = nullptr;
  QLabel* notice_ = nullptr;
  QLabel* fileProblem_ = nullptr;
  PreferencesActions* actions_ = nullptr;
};

}  // namespace quorvix::platform::qt
