// The preferences window as the user sees it: Qt controls driven by QTest over a configuration
// file in a temporary folder.
#include "platform/qt/preferences_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "quorvix_app/input_controller.h"
#include "quorvix_app/preferences_window.h"
#include "temp_files.h"

namespace quorvix::app {
namespace {

using platform::RunningApplication;

class FailingFiles : public testing::TempFiles {
 public:
  bool failWrite = false;
  bool writeAtomically(const std::filesystem::path& p, std::string_view b) override {
    return !failWrite && TempFiles::writeAtomically(p, b);
  }
};

class FakeRunning : public platform::RunningApplications {
 public:
  std::vector<RunningApplication> applications;
  std::vector<RunningApplication> regularApplications() override { return applications; }
};

class PreferencesWindowTest : public ::testing::Test {
 protected:
  template <class Control>
  Control& control(const char* name) {
    auto* found = window.widget().findChild<Control*>(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }
  int popup(const char* name) { return control<QComboBox>(name).currentIndex(); }
  bool checked(const char* key) { return control<QCheckBox>(key).isChecked(); }
  std::string text(const char* name) {
    if (auto* line = window.widget().findChild<QLineEdit*>(name)) return line->text().toStdString();
    return control<QPlainTextEdit>(name).toPlainText().toStdString();
  }
  // Typed key by key, as text a keyboard layout produces.
  void type(QWidget& field, const char* text) {
    for (const auto character : QString::fromUtf8(text)) {
      QTest::sendKeyEvent(QTest::Click, &field, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
  }
  void click(const char* button) { QTest::mouseClick(&control<QPushButton>(button), Qt::LeftButton); }
  void write(std::string_view text) { ASSERT_TRUE(config.save(text)); }
  json::Value fileValue(std::string_view key) {
    const auto file = config.loadDictionary();
    const auto found = file.find(key);
    return found == file.end() ? json::Value() : found->second;
  }

  FailingFiles files;
  ConfigFile config{files};
  FakeRunning running;
  NotificationCenter notifications;
  platform::qt::QtPreferencesWindow window{preferencesChoices()};
  std::unique_ptr<PreferencesWindowController> controller;
  int posts = 0;
  std::unique_ptr<NotificationCenter::Observation> observation =
      notifications.observe(std::string(quorvixConfigChanged), [this] { ++posts; });

  void open() {
    controller = std::make_unique<PreferencesWindowController>(
        PreferencesServices{files, running, notifications}, window);
    controller->show();
  }
};

TEST_F(PreferencesWindowTest, LoadShowsTheFileAndTheEngineDefaultsForWhatItLacks) {
  struct Row {
    const char* file;  // nullptr: none, so the default file is written
    int method, tone, unicode, output;
    std::vector<const char*> on;  // the boxes that are on; every other is off
    const char* excluded;
    const char* macros;
  };
  // clang-format off
  const std::vector<const char*> engineDefaultsOn{"spell_check", "macro_enabled", "macro_undo", "edit_previous_word",
                                                  "default_vietnamese", "restore_after_space"};
  const Row rows[] = {
      {nullptr, 0, 1, 0, 0, engineDefaultsOn, "minecraft", "ko=không\nvn=Việt Nam"},
      {R"({"input_method": "vni", "tone_style": "old", "unicode_form": "NFD", "output_mode": "PreEdit",
           "w_as_u": true, "spell_check": false, "macro_undo": 1, "excluded_apps": ["Game", "b"],
           "macros": {"z": "1", "a": "2", "a": "3"}})", 2, 0, 1, 1,
       {"w_as_u", "macro_enabled", "macro_undo", "edit_previous_word", "default_vietnamese", "restore_after_space"},
       "Game, b", "a=3\nz=1"},
      // An unknown method keeps the one shown before; wrong types count as missing.
      {R"({"input_method": "klingon", "tone_style": "NEW", "unicode_form": "nfd", "excluded_apps": ["a", 1],
           "macros": {"a": 1}, "w_as_u": null})", 2, 1, 0, 0, engineDefaultsOn, "", ""},
      {"[1, 2]", 0, 1, 0, 0, engineDefaultsOn, "", ""},
  };
  // clang-format on
  open();
  for (const auto& row : rows) {
    if (row.file) write(row.file);
    controller->loadValues();
    SCOPED_TRACE(row.file ? row.file : "default file");
    EXPECT_EQ(popup("methodPopup"), row.method);
    EXPECT_EQ(popup("tonePopup"), row.tone);
    EXPECT_EQ(popup("unicodePopup"), row.unicode);
    EXPECT_EQ(popup("outputPopup"), row.output);
    for (const auto& option : kBoolOptions) {
      const bool on = std::ranges::any_of(row.on, [&](const char* key) { return key == option.key; });
      EXPECT_EQ(checked(option.key.data()), on) << option.key;
    }
    EXPECT_EQ(text("excludedField"), row.excluded);
    EXPECT_EQ(text("macroView"), row.macros);
  }
}

TEST_F(PreferencesWindowTest, SaveChangesOnlyTheWindowsKeysOfTheFileAsItIsNow) {
  open();
  control<QComboBox>("methodPopup").setCurrentIndex(3);
  QTest::mouseClick(&control<QCheckBox>("w_as_u"), Qt::LeftButton, {}, QPoint(5, 5));
  control<QLineEdit>("excludedField").clear();
  type(control<QLineEdit>("excludedField"), "  Minecraft ,, com.apple.Terminal,game");
  control<QPlainTextEdit>("macroView").clear();
  type(control<QPlainTextEdit>("macroView"), "VN = Việt Nam");
  // What an input controller writes while the window is open.
  ASSERT_TRUE(config.update([](ConfigDictionary& d) {
    d["app_modes"] = json::Object{{"gedit", false}};
    d["input_method"] = "vni";
  }));

  files.failWrite = true;
  click("save");
  EXPECT_TRUE(window.widget().isVisible()) << "a save that wrote nothing keeps the edits on screen";
  EXPECT_EQ(posts, 0);

  files.failWrite = false;
  click("save");
  EXPECT_FALSE(window.widget().isVisible());
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(fileValue("app_modes"), json::Value(json::Object{{"gedit", false}}));
  EXPECT_EQ(fileValue("input_method"), json::Value("viqr"));
  EXPECT_EQ(fileValue("w_as_u"), json::Value(true));
  EXPECT_EQ(fileValue("macro_in_off_mode"), json::Value(false)) << "the first save adds every box's key";
  EXPECT_EQ(fileValue("schema_version"), json::Value(1));
  EXPECT_EQ(fileValue("excluded_apps"), json::Value(json::Array{"minecraft", "com.apple.terminal", "game"}));
  EXPECT_EQ(fileValue("macros"), json::Value(json::Object{{"vn", " Việt Nam"}}));
}

TEST_F(PreferencesWindowTest, CancelAndReturnInTheMacrosLeaveTheFileAlone) {
  open();
  const auto before = config.load();
  auto& macros = control<QPlainTextEdit>("macroView");
  macros.setFocus();
  macros.moveCursor(QTextCursor::End);
  QTest::keyClick(&macros, Qt::Key_Return);
  EXPECT_EQ(text("macroView"), "ko=không\nvn=Việt Nam\n");
  EXPECT_TRUE(window.widget().isVisible());
  click("cancel");
  EXPECT_FALSE(window.widget().isVisible());
  EXPECT_EQ(config.load(), before);
  EXPECT_EQ(posts, 0);
}

TEST_F(PreferencesWindowTest, RunningAppsAreListedByNameAndAddedOnce) {
  running.applications = {{"gedit", "gedit"},
                          {"Firefox", std::nullopt},
                          {"", "hidden"},
                          {std::nullopt, "nameless"},
                          {"Alpha", "Org.Alpha"}};
  write(R"({"excluded_apps": ["ORG.ALPHA"]})");
  open();
  auto& list = control<QComboBox>("runningPopup");
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.itemText(0).toStdString(), "Alpha — Org.Alpha");
  EXPECT_EQ(list.itemText(1).toStdString(), "Firefox — ?");
  EXPECT_EQ(list.itemText(2).toStdString(), "gedit — gedit");
  const std::pair<int, const char*> adds[] = {{0, "org.alpha"},
                                              {1, "org.alpha, firefox"},
                                              {1, "org.alpha, firefox"},
                                              {2, "org.alpha, firefox, gedit"}};
  for (const auto& [index, excluded] : adds) {
    list.setCurrentIndex(index);
    click("addRunningApp");
    EXPECT_EQ(text("excludedField"), excluded);
  }
  running.applications.clear();
  click("refreshRunningApps");
  EXPECT_EQ(list.count(), 0);
  click("addRunningApp");
  EXPECT_EQ(text("excludedField"), "org.alpha, firefox, gedit");
}

}  // namespace
}  // namespace quorvix::app

int main(int argc, char** argv) {
  // Never a real display, also when the test list is taken.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
