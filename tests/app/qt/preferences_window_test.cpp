// The preferences window as the user sees it: Qt controls driven by QTest over a configuration
// file in a temporary folder.
#include "platform/qt/preferences_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "quorvix_app/config_watcher.h"
#include "quorvix_app/input_controller.h"
#include "quorvix_app/preferences_window.h"
#include "odd_files.h"
#include "temp_files.h"

namespace quorvix::app {
namespace {

using platform::RunningApplication;
using namespace std::string_view_literals;

class FailingFiles : public testing::TempFiles {
 public:
  bool failWrite = false;
  platform::FileResult writeAtomically(const std::filesystem::path& p, std::string_view b) override {
    if (failWrite) return platform::FileResult::failed("No space left on device");
    return TempFiles::writeAtomically(p, b);
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
  // Typed key by key, as text a keyboard layout produces; a line feed is the Return key.
  void type(QWidget& field, const char* text) {
    for (const auto character : QString::fromUtf8(text)) {
      if (character == u'\n') {
        field.setFocus();
        QTest::keyClick(&field, Qt::Key_Return);
      } else {
        QTest::sendKeyEvent(QTest::Click, &field, Qt::Key_unknown, QString(character), Qt::NoModifier);
      }
    }
  }
  void click(const char* button) { QTest::mouseClick(&control<QPushButton>(button), Qt::LeftButton); }
  void write(std::string_view text) { ASSERT_TRUE(config.save(text)); }
  qrx_json::Value fileValue(std::string_view key) {
    const auto file = config.loadDictionary();
    const auto found = file.find(key);
    return found == file.end() ? qrx_json::Value() : found->second;
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
    d["app_modes"] = qrx_json::Object{{"gedit", false}};
    d["input_method"] = "vni";
  }));

  files.failWrite = true;
  click("save");
  EXPECT_TRUE(window.widget().isVisible()) << "a save that wrote nothing keeps the edits on screen";
  EXPECT_EQ(posts, 0);
  EXPECT_EQ(control<QLabel>("notice").text().toStdString(),
            "Không lưu được: the backup " + config.backupPath().string() +
                " could not be written (No space left on device), so " + config.path().string() +
                " was not replaced");
  EXPECT_FALSE(control<QLabel>("notice").isHidden());

  files.failWrite = false;
  click("save");
  EXPECT_FALSE(window.widget().isVisible());
  EXPECT_TRUE(control<QLabel>("notice").isHidden());
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(fileValue("app_modes"), qrx_json::Value(qrx_json::Object{{"gedit", false}}));
  EXPECT_EQ(fileValue("input_method"), qrx_json::Value("viqr"));
  EXPECT_EQ(fileValue("w_as_u"), qrx_json::Value(true));
  EXPECT_EQ(fileValue("macro_in_off_mode"), qrx_json::Value(false)) << "the first save adds every box's key";
  EXPECT_EQ(fileValue("schema_version"), qrx_json::Value(1));
  EXPECT_EQ(fileValue("excluded_apps"), qrx_json::Value(qrx_json::Array{"minecraft", "com.apple.terminal", "game"}));
  EXPECT_EQ(fileValue("macros"), qrx_json::Value(qrx_json::Object{{"vn", " Việt Nam"}}));
}

// Lines of the macro box that give no macro, and which of two lines with one key stands, are
// shown before anything is saved; saving the same text again takes it as it is.
TEST_F(PreferencesWindowTest, ShowsTheMacroLinesASaveWouldNotTakeUntilTheUserConfirms) {
  open();
  const auto before = config.load();
  auto& macros = control<QPlainTextEdit>("macroView");
  macros.clear();
  type(macros, "abc\n=x\nk=\na=1\na=2");
  click("save");
  EXPECT_TRUE(window.widget().isVisible());
  EXPECT_EQ(config.load(), before) << "nothing is saved before the user confirms";
  EXPECT_EQ(posts, 0);
  auto& notice = control<QLabel>("notice");
  EXPECT_FALSE(notice.isHidden());
  EXPECT_EQ(notice.text().toStdString(),
            std::string(kUntakenMacrosNotice) +
                "\ndòng 1 “abc”: không có dấu “=”\ndòng 2 “=x”: thiếu tên macro trước dấu “=”\ndòng 3 “k=”: "
                "thiếu nội dung sau dấu “=”\ndòng 4 “a=1”: dòng 5 cùng tên thay nó\n" +
                std::string(kSaveAgainNotice));
  // A change to the macros is shown again before it is saved.
  type(macros, "\nb");
  click("save");
  EXPECT_TRUE(window.widget().isVisible());
  EXPECT_NE(notice.text().toStdString().find("dòng 6 “b”: không có dấu “=”"), std::string::npos);
  click("save");
  EXPECT_FALSE(window.widget().isVisible());
  EXPECT_EQ(posts, 1);
  EXPECT_EQ(fileValue("macros"), qrx_json::Value(qrx_json::Object{{"a", "2"}}));
  // Opened again, the window shows the lines anew before a save.
  controller->show();
  EXPECT_TRUE(notice.isHidden());
  macros.clear();
  type(macros, "x");
  click("save");
  EXPECT_TRUE(window.widget().isVisible());
  EXPECT_EQ(posts, 1);
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

TEST_F(PreferencesWindowTest, OpensShowingEveryControlWithoutScrolling) {
  open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.widget()));
  const QRect shown = window.widget().rect();
  for (const char* name : {"methodPopup", "outputPopup", "excludedField", "runningPopup", "addRunningApp",
                           "macroView", "save", "cancel", "openJSON"}) {
    auto& widget = control<QWidget>(name);
    const QRect place(widget.mapTo(&window.widget(), QPoint(0, 0)), widget.size());
    EXPECT_TRUE(shown.contains(place)) << name << " lies outside the window as it opens";
  }
  EXPECT_GE(shown.width(), 540);
  EXPECT_GE(shown.height(), 680);
}

// Opened on a file Quorvix cannot use as written, the window says so above everything, before the
// user changes anything; the controls show the file's values, which a save keeps or mends.
TEST_F(PreferencesWindowTest, SaysAtItsTopWhyTheFileDoesNotGiveQuorvixItsSettings) {
  const std::pair<const char*, std::string> rows[] = {
      {R"({"input_method": "vni"})", ""},
      {R"({"input_method":"vni","tone_style":"sideways"})",
       std::string(kFileNotReadTitle) +
           ": @: line 1, column 45: \"tone_style\" does not take this text; Quorvix uses its "
           "default settings until the file reads again"},
      {R"({"input_method":"klingon"})", std::string(kValueNotUsedTitle) +
                                            ": @: line 1, column 25: \"input_method\" names no input method "
                                            "of Quorvix (telex, simple_telex, vni or "
                                            "viqr); Quorvix types Telex"},
      {R"({"input_method": "vni", )",
       std::string(kFileNotReadTitle) +
           ": @: line 1, column 24: is not JSON: EOF while parsing an object; Quorvix uses "
           "its default settings until the file reads again"},
  };
  for (const auto& [file, banner] : rows) {
    SCOPED_TRACE(file);
    write(file);
    open();
    auto expected = banner;
    if (const auto at = expected.find('@'); at != std::string::npos)
      expected.replace(at, 1, config.path().string());
    auto& problem = control<QLabel>("fileProblem");
    EXPECT_EQ(problem.text().toStdString(), expected);
    EXPECT_EQ(problem.isHidden(), banner.empty());
    const QPoint top = problem.mapTo(&window.widget(), QPoint(0, 0));
    EXPECT_LT(top.y(), control<QWidget>("methodPopup").mapTo(&window.widget(), QPoint(0, 0)).y());
  }
}

// The buttons stay in sight below what scrolls, at every height the screen allows: on a screen
// of the size QRX_SCREEN names (a netbook's, 1024×600, when the tests give the offscreen platform
// one), and as the user makes the window smaller.
TEST_F(PreferencesWindowTest, KeepsItsButtonsInSightAtAnyHeight) {
  const auto available = QGuiApplication::primaryScreen()->availableGeometry();
  if (const auto screen = qEnvironmentVariable("QRX_SCREEN"); !screen.isEmpty()) {
    EXPECT_EQ(QString("%1x%2").arg(available.width()).arg(available.height()), screen);
  }
  open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window.widget()));
  EXPECT_LE(window.widget().height(), available.height());
  for (const int height : {window.widget().height(), 600, 480, 360}) {
    window.widget().resize(window.widget().width(), height);
    QApplication::processEvents();
    const QRect shown = window.widget().rect();
    for (const char* name : {"save", "cancel", "openJSON"}) {
      auto& widget = control<QWidget>(name);
      const QRect place(widget.mapTo(&window.widget(), QPoint(0, 0)), widget.size());
      EXPECT_TRUE(shown.contains(place)) << name << " lies outside a window " << shown.height() << " high";
    }
  }
}

// "Mở file JSON" hands the file to xdg-open; when no program takes it, the window says so.
TEST_F(PreferencesWindowTest, SaysWhenNoProgramOpenedTheFile) {
  struct Row {
    const char* name;
    std::optional<int> exitStatus;  // of the xdg-open on the PATH; none: there is none
    bool told;
  } rows[] = {{"a program took it", 0, false},
              {"no program for JSON files", 3, true},
              {"xdg-open failed", 4, true},
              {"no xdg-open", std::nullopt, true}};
  const auto path = qgetenv("PATH");
  const auto bin = files.root() / "bin";
  const auto mark = files.root() / "opened";
  std::filesystem::create_directories(bin);
  qputenv("PATH", QByteArray::fromStdString(bin.string()));
  open();
  auto& notice = control<QLabel>("notice");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(bin / "xdg-open");
    std::filesystem::remove(mark);
    if (row.exitStatus) {
      std::ofstream(bin / "xdg-open")
          << "#!/bin/sh\necho $$ > '" << mark.string() << ".new'\necho \"$1\" >> '" << mark.string()
          << ".new'\n/bin/mv '" << mark.string() << ".new' '" << mark.string() << "'\nexit "
          << *row.exitStatus << "\n";
      std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    }
    controller->show();
    ASSERT_TRUE(notice.isHidden());
    click("openJSON");
    if (row.exitStatus) {
      // Done once xdg-open has ended and its end was taken in: until then its process stays.
      ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(mark); }, 20000));
      std::istringstream opened(odd_files::onDisk(mark));
      std::string pid, file;
      std::getline(opened, pid);
      std::getline(opened, file);
      EXPECT_EQ(file, config.path().string());
      ASSERT_TRUE(QTest::qWaitFor([&] { return !std::filesystem::exists("/proc/" + pid); }, 20000));
    } else {
      ASSERT_TRUE(QTest::qWaitFor([&] { return !notice.isHidden(); }, 20000));
    }
    EXPECT_EQ(!notice.isHidden(), row.told);
    if (row.told) {
      EXPECT_EQ(notice.text().toStdString(), std::string(kNotOpenedNotice) + config.path().string());
    }
  }
  qputenv("PATH", path);
}

TEST_F(PreferencesWindowTest, SuggestsProgramsByTheNamesFcitx5KnowsThemBy) {
  open();
  EXPECT_EQ(control<QLineEdit>("excludedField").placeholderText().toStdString(), kExcludedAppsPlaceholder);
  EXPECT_EQ(kExcludedAppsPlaceholder.find("com.apple"), std::string_view::npos);
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

// Paths below the temporary folder, and what is there, in the notation of odd_files.h.
constexpr std::string_view kConfig = "config/quorvix/config.json";
constexpr std::string_view kBackup = "config/quorvix/config.json.bak";
constexpr std::string_view kUnparsable = "{\"input_method\": \"vni\",";
constexpr std::string_view kWithByteOrderMark =
    "\xEF\xBB\xBF{\"input_method\": \"vni\", \"app_modes\": {\"gedit\": false}}";
constexpr std::string_view kBinary = "\177ELF\2\1\1\0\0\0"sv;
using Disk = std::vector<std::pair<std::string_view, std::string_view>>;

struct SaveCase {
  const char* name;
  Disk before;
  std::string_view unreadable;  // a path of `before` that the window may not read
  int saves;                    // how many times the user changes a box and saves
  int method;                   // the input method shown after opening
  const char* notice;           // nullptr: every save is written and the window goes; else part of the notice
  Disk after;                   // exact bytes expected, where they are not the window's new settings
  std::string_view written;     // where the window's new settings are: config.json itself or a link's target
};

// clang-format off
const SaveCase kSaveCases[] = {
    {"ANamedPipeStaysAndTheWindowSaysWhy", {{kConfig, odd_files::kNamedPipe}}, {}, 1, 0,
     "config.json cannot be read (a named pipe, not a regular file)",
     {{kConfig, odd_files::kNamedPipe}, {kBackup, odd_files::kNone}}, {}},
    // Opening the window creates the default file, which the save then keeps as the backup.
    {"ALinkToNothingIsWrittenThrough", {{kConfig, "-> ../../dotfiles/quorvix.json"}, {"dotfiles", odd_files::kFolder}},
     {}, 1, 0, nullptr, {{kConfig, "-> ../../dotfiles/quorvix.json"}, {kBackup, ConfigFile::defaultText()}},
     "dotfiles/quorvix.json"},
    {"AByteOrderMarkIsReadAndKeptOnlyInTheBackup", {{kConfig, kWithByteOrderMark}}, {}, 1, 2, nullptr,
     {{kBackup, kWithByteOrderMark}}, kConfig},
    {"UnparsableTextSurvivesInTheBackupOverLaterSaves", {{kConfig, kUnparsable}}, {}, 3, 0, nullptr,
     {{kBackup, kUnparsable}}, kConfig},
    {"BinaryBytesSurviveInTheBackup", {{kConfig, kBinary}}, {}, 2, 0, nullptr, {{kBackup, kBinary}}, kConfig},
    {"AnUnreadableFileStaysAndTheWindowSaysWhy", {{kConfig, "{\"input_method\": \"vni\"}"}, {kBackup, "{}"}},
     kConfig, 1, 0, "cannot be read (Permission denied), so it was not replaced",
     {{kConfig, "{\"input_method\": \"vni\"}"}, {kBackup, "{}"}}, {}},
};
// clang-format on

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class WindowSave : public PreferencesWindowTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(WindowSave, NeverLosesTheFileAndSaysWhyItDidNotSave) {
  const auto& c = GetParam();
  for (const auto& [path, spec] : c.before) odd_files::place(files.root() / path, spec);
  odd_files::Unprivileged user(files.root(), c.unreadable);
  if (!user.unavailable().empty()) GTEST_SKIP() << user.unavailable();

  user.run([&] {
    open();
    EXPECT_EQ(popup("methodPopup"), c.method);
    for (int save = 0; save < c.saves; ++save) {
      if (save > 0) controller->show();
      QTest::mouseClick(&control<QCheckBox>("smart_caps"), Qt::LeftButton, {}, QPoint(5, 5));
      click("save");
      auto& notice = control<QLabel>("notice");
      if (c.notice) {
        EXPECT_TRUE(window.widget().isVisible());
        EXPECT_FALSE(notice.isHidden());
        EXPECT_TRUE(notice.text().startsWith(QString::fromUtf8(kNotSavedNotice.data())));
        EXPECT_NE(notice.text().toStdString().find(c.notice), std::string::npos)
            << notice.text().toStdString();
      } else {
        EXPECT_FALSE(window.widget().isVisible());
        EXPECT_TRUE(notice.isHidden());
      }
    }
  });

  EXPECT_EQ(posts, c.notice ? 0 : c.saves);
  for (const auto& [path, spec] : c.after) EXPECT_EQ(odd_files::onDisk(files.root() / path), spec) << path;
  if (!c.written.empty()) {
    const auto text = odd_files::onDisk(files.root() / c.written);
    EXPECT_TRUE(text.starts_with("{\n  \"")) << "no byte-order mark, and the window's own layout: " << text;
    const auto settings = qrx_json::parse(text);
    ASSERT_TRUE(settings && settings.value().is_object()) << text;
    const auto* smartCaps = settings.value().find("smart_caps");
    ASSERT_NE(smartCaps, nullptr);
    EXPECT_EQ(*smartCaps, qrx_json::Value(c.saves % 2 == 1));
    const auto* method = settings.value().find("input_method");
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(*method, qrx_json::Value(c.method == 2 ? "vni" : "telex"));
  }
}

INSTANTIATE_TEST_SUITE_P(OddFiles, WindowSave, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvix::app

int main(int argc, char** argv) {
  // Never a real display, also when the test list is taken; an offscreen one may be given its
  // screens.
  if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
