#include "quorvix_app/input_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_document.h"
#include "fake_platform.h"
#include "temp_files.h"

namespace quorvix::app {
namespace {

using namespace std::chrono_literals;
using platform::KeyEvent;
using Argument = std::map<std::string, std::string>;
namespace flags = platform::modifier_flags;
namespace codes = platform::key_codes;
constexpr auto kShortcut = flags::kControl | flags::kOption | flags::kCommand;

KeyEvent key(std::uint16_t code, std::uint64_t modifiers = 0, std::optional<std::string> text = {},
             bool down = true) {
  return {down, code, modifiers, std::move(text)};
}
KeyEvent typed(std::string text, std::uint64_t modifiers = 0) { return key(codes::kNone, modifiers, text); }

std::string configWith(std::string method, std::string mode) {
  return R"({"input_method": ")" + method + R"(", "output_mode": ")" + mode +
         R"(", "app_profiles": {"gedit": {"output_mode": "replace"}}})";
}

// A controller activated in a field of its own, over a configuration file written beforehand;
// the keys it lets through reach the field as they would in an application.
struct Desk {
  testing::TempFiles files;
  testing::FakeWorkspace workspace;
  testing::FakeClock clock;
  testing::FakeClipboardConversions clipboard;
  NotificationCenter notifications;
  ConfigFile config{files};
  testing::RecordedReports reports;
  ConfigWatcher watcher{files, clock, notifications, {}, &reports};
  std::shared_ptr<testing::FakeDocument> document;
  std::unique_ptr<QuorvixInputController> controller;

  explicit Desk(const std::string& text, std::optional<std::string> app = {},
                std::shared_ptr<testing::FakeDocument> field = std::make_shared<testing::FakeDocument>())
      : document(std::move(field)) {
    config.save(text);
    workspace.frontmost = std::move(app);
    controller = std::make_unique<QuorvixInputController>(
        ControllerServices{files, workspace, clipboard, watcher, &reports}, document);
    controller->activateServer(document);
  }
  bool press(const KeyEvent& event, bool withClient = true) {
    const bool consumed = controller->handle(event, withClient ? document : nullptr);
    const auto caret = document->selection().location;
    if (consumed || !withClient || !event.keyDown) return consumed;
    if (event.keyCode == codes::kBackspace && caret > 0) document->insertText("", {caret - 1, 1});
    if (event.keyCode == codes::kLeft && caret > 0) document->insertText("", {caret - 1, 0});
    if (event.characters && !(event.modifierFlags & kShortcut))
      document->insertText(*event.characters, {platform::kNotFound, 0});
    return consumed;
  }
  // One key per character; "<" is Backspace and "{" the Left arrow.
  void type(std::string_view keys) {
    for (char k : keys) press(k == '<' ? key(codes::kBackspace) : k == '{' ? key(codes::kLeft) : typed({k}));
  }
  void perform(MenuCommand action, RepresentedObject argument = {}) {
    MenuItem item;
    item.action = action;
    item.representedObject = std::move(argument);
    controller->perform(item);
  }
};

TEST(InputController, TypesIntoTheFieldInBothOutputModes) {
  struct Case {
    const char *method, *start, *keys, *replaced, *preedited;  // the caret starts at 0
    bool readable = true;
  } cases[] = {
      {"telex", "", "Tieengs Vieetj", "Tiếng Việt|", "Tiếng Việt|"},
      {"telex", "", "vieet<tj nam", "việt nam|", "việt nam|"},
      {"telex", "", "xin chaof{{{{{ vieetj", "xin việt| chào", "xin việt| chào"},
      {"vni", "", "Tie61ng Vie65t", "Tiếng Việt|", "Tiếng Việt|"},
      {"vni", "", "Vie65t<t", "Việt|", "Việt|"},
      // A replacement the field cannot confirm fails safe: the keys go on as typed.
      {"telex", "nam", "vieetj", "vieetj|nam", "việt|nam"},
      {"telex", "", "vieetj", "vieetj|", "việt|", false},
  };
  for (const auto& c : cases) {
    for (std::string mode : {"replace", "preedit"}) {
      auto field = std::make_shared<testing::FakeDocument>(c.start, 0);
      Desk desk(configWith(c.method, mode), {}, field);
      field->readable = c.readable;
      desk.type(c.keys);
      field->readable = true;
      // Leaving the field writes out the word in progress.
      desk.controller->deactivateServer(field);
      EXPECT_EQ(field->withCaret() + field->marked(), mode == "replace" ? c.replaced : c.preedited)
          << c.keys << mode;
    }
  }
}

// A word that starts over says why in the log, in counts: never what was typed or what the field
// holds.
TEST(InputController, LogsWhyAWordStartedOverWithoutItsText) {
  const struct {
    const char* name;
    const char* start;
    std::int64_t caret;
    bool readable;
    const char* why;  // empty: the word did not start over
  } cases[] = {
      {"confirmed", "", 0, true, ""},
      {"the caret before a word", "nam", 0, true,
       "A word started over: the field's text before the caret (caret at unit 3, anchor at unit 3 of what it "
       "told) does not end with the 1 UTF-16 units the word wrote there"},
      {"a field that tells nothing", "", 0, false,
       "A word started over: the field tells no text before the caret that could confirm the 1 UTF-16 units to "
       "replace"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto field = std::make_shared<testing::FakeDocument>(c.start, c.caret);
    Desk desk(configWith("telex", "replace"), {}, field);
    field->readable = c.readable;
    desk.type("vieetj");
    const std::vector<std::string> expected = *c.why ? std::vector<std::string>(1, c.why) : std::vector<std::string>{};
    EXPECT_EQ(desk.reports.debugged, expected);
    for (const auto& line : desk.reports.debugged) {
      for (const char* text : {"vie", "nam", "việt"}) EXPECT_EQ(line.find(text), std::string::npos) << line;
    }
  }
}

// The configuration file is made when the controller starts and at every activation; a folder it
// cannot be made in is logged once, and again after it could be made once more.
TEST(InputController, LogsOnceThatTheConfigurationFileCannotBeMade) {
  testing::TempFiles files;
  testing::FakeWorkspace workspace;
  testing::FakeClock clock;
  testing::FakeClipboardConversions clipboard;
  NotificationCenter notifications;
  testing::RecordedReports reports;
  ConfigWatcher watcher{files, clock, notifications, {}, &reports};
  const auto blocker = files.root() / "config" / "quorvix";
  const auto block = [&] {
    std::filesystem::create_directories(blocker.parent_path());
    std::ofstream(blocker) << "a file where the folder goes";
  };
  block();
  auto document = std::make_shared<testing::FakeDocument>();
  QuorvixInputController controller(ControllerServices{files, workspace, clipboard, watcher, &reports}, document);
  controller.activateServer(document);
  controller.activateServer(document);
  ASSERT_EQ(reports.warned.size(), 1u);
  EXPECT_TRUE(reports.warned[0].starts_with("Quorvix could not make its configuration file: ")) << reports.warned[0];
  EXPECT_NE(reports.warned[0].find(blocker.string()), std::string::npos) << reports.warned[0];

  std::filesystem::remove(blocker);
  controller.activateServer(document);
  EXPECT_TRUE(files.exists(files.root() / "config" / "quorvix" / "config.json"));
  EXPECT_EQ(reports.warned.size(), 1u);
  std::filesystem::remove_all(blocker);
  block();
  controller.activateServer(document);
  EXPECT_EQ(reports.warned.size(), 2u);
}

TEST(InputController, RoutesEachKindOfKey) {
  const auto option = flags::kOption;
  struct Case {
    KeyEvent event;
    bool secure, withClient, consumed;
    const char* document;
    bool enabled = true;
  } cases[] = {
      {typed("c", flags::kControl), true, true, false, "|"},  // secure input
      {key(codes::kComma, option), false, true, true, "tiêng|", false},
      {key(codes::kComma, option | flags::kCapsLock), false, true, true, "tiêng|", false},
      {key(codes::kComma, option | flags::kShift, "<"), false, true, false, "tiêng|"},
      {key(codes::kComma, option | flags::kControl), false, true, false, "tiêng|"},
      {key(codes::kComma, option | flags::kCommand), false, true, false, "tiêng|"},
      {typed("c", flags::kControl), false, true, false, "tiêng|"},
      {key(codes::kReturn), false, true, false, "tiêng|"},
      {typed("S", flags::kShift), false, true, true, "tiếng|"},
      {key(codes::kSpace, 0, " "), false, true, true, "tiêng |"},
      {key(codes::kNone, 0, "s", false), false, true, false, "tiêng|"},  // a release
      {typed("s"), false, false, false, "tiêng|"},                       // no client
  };
  for (const auto& c : cases) {
    Desk desk(configWith("telex", "preedit"));
    desk.type("tieeng");
    desk.workspace.secure = c.secure;
    const auto row = c.document + std::to_string(c.event.modifierFlags);
    EXPECT_EQ(desk.press(c.event, c.withClient), c.consumed) << row;
    EXPECT_EQ(desk.document->withCaret(), c.document) << row;
    EXPECT_EQ(desk.controller->engine()->isEnabled(), c.enabled) << row;
    // What the session believes it shows is what the field shows.
    EXPECT_EQ(desk.controller->engine()->displayText(), desk.document->marked()) << row;
  }
}

TEST(InputController, TakesTheOutputModeFromTheApplicationsProfileOverTheFile) {
  const std::tuple<const char*, std::optional<std::string>, std::optional<std::string>, const char*> cases[] =
      {
          {"replace", {}, {}, ""},
          {"replace", "kitty", "kitty", "viêt"},
          {"replace", "kitty", "quorvix", "viêt"},  // the input method's own process is no application
          {"replace", "kitty", {}, "viêt"},
          {"preedit", "gedit", "gedit", ""},
          {"preedit", "quorvix", "gedit", ""},
      };
  for (const auto& [mode, atStart, atActivation, marked] : cases) {
    Desk desk(configWith("telex", mode), atStart);
    desk.workspace.frontmost = atActivation;
    desk.controller->activateServer(desk.document);
    desk.type("vieet");
    EXPECT_EQ(desk.document->marked(), marked) << mode << " " << atActivation.value_or("-");
  }
}

TEST(InputController, ReloadsOnceForEachOutsideChangeOfTheFile) {
  Desk desk(configWith("telex", "replace"));
  // What a preferences window in the same process does.
  const auto saveAndNotify = [&](const char* text) {
    desk.config.save(text);
    desk.notifications.post(quorvixConfigChanged);
  };
  struct Step {
    const char* name;
    std::function<void()> act;
    bool reloadsAtOnce, reloadsOnTick;
    const char* method;
  } steps[] = {
      {"outside edit", [&] { desk.config.save(R"({"input_method": "vni"})"); }, false, true, "VNI"},
      {"nothing", [] {}, false, false, "VNI"},
      {"toggle", [&] { desk.perform(MenuCommand::toggleVietnamese); }, false, false, "VNI"},
      {"method", [&] { desk.perform(MenuCommand::selectMethod, "telex"); }, false, false, "Telex"},
      {"preferences saved", [&] { saveAndNotify(R"({"input_method": "viqr"})"); }, true, false, "VIQR"},
      // Neither the engine nor the controller reads "window_size".
      {"nothing used changed", [&] { saveAndNotify(R"({"input_method": "viqr", "window_size": [1, 2]})"); },
       false, false, "VIQR"},
      {"removed", [&] { desk.files.remove(desk.config.path()); }, false, true, "Telex"},
      {"recreated", [&] { desk.config.save(R"({"input_method": "vni"})"); }, false, true, "VNI"},
  };
  for (const auto& step : steps) {
    const auto* before = desk.controller->engine();
    step.act();
    const auto* afterAct = desk.controller->engine();
    desk.clock.advance(999ms);
    EXPECT_EQ(desk.controller->engine(), afterAct) << step.name;
    desk.clock.advance(1ms);
    EXPECT_EQ(afterAct != before, step.reloadsAtOnce) << step.name;
    EXPECT_EQ(desk.controller->engine() != afterAct, step.reloadsOnTick) << step.name;
    EXPECT_EQ(desk.controller->menu().items[2].title, std::string("Kiểu gõ: ") + step.method) << step.name;
  }
  desk.controller.reset();  // neither the notification nor the clock reaches it any more
  desk.notifications.post(quorvixConfigChanged);
  desk.clock.advance(1s);
}

// The toggle ends the word the new reading waited for, and its write carries that reading's
// change: the choice stays, and the change comes with the reading of the write.
TEST(InputController, AToggleThatEndsAWaitingWordKeepsItsChoiceAndTheChange) {
  Desk desk(configWith("telex", "replace"), "gedit");
  desk.type("vie");
  desk.config.update([](ConfigDictionary& file) { file["macros"] = qrx_json::Object{{"ko", "không"}}; });
  desk.clock.advance(1s);
  const auto* waiting = desk.controller->engine();
  EXPECT_TRUE(desk.press(key(codes::kComma, flags::kOption)));
  EXPECT_EQ(desk.controller->engine(), waiting);
  desk.clock.advance(1s);
  EXPECT_NE(desk.controller->engine(), waiting);
  EXPECT_FALSE(desk.controller->engine()->isEnabled());
  EXPECT_TRUE(desk.press(key(codes::kComma, flags::kOption)));
  desk.type(" ko ");
  EXPECT_EQ(desk.document->withCaret(), "vie không |");
  EXPECT_EQ(desk.config.loadDictionary().at("app_modes"), qrx_json::Value(qrx_json::Object{{"gedit", true}}));
}

// The titles in order, a submenu's in brackets, "*" when on.
std::string outline(const std::vector<MenuItem>& items) {
  std::string text;
  for (const auto& item : items) {
    text += item.separator ? "-" : item.title;
    if (!item.submenu.empty()) text += " [" + outline(item.submenu) + "]";
    text += item.on ? "*; " : "; ";
  }
  return text;
}

TEST(InputMenu, ShowsTheSessionsStateAndEveryCommand) {
  const auto menu = [](std::string toggle, std::string method, std::string methods) {
    return toggle + "; -; Kiểu gõ: " + method + " [" + methods +
           "]; -; Cấu hình…; Mở file JSON; Nạp lại cấu hình; Mở cài đặt Fcitx5…; Clipboard [Bỏ dấu; "
           "Chuẩn hoá Unicode NFC; VIQR → Unicode; Unicode → VIQR; -; TCVN3 → Unicode; "
           "Unicode → TCVN3 (UTF-8 thay thế); ]; ";
  };
  Desk telex(configWith("telex", "replace")), vni(configWith("vni", "replace"));
  vni.perform(MenuCommand::toggleVietnamese);
  const auto on = "Tắt tiếng Việt";
  EXPECT_EQ(outline(inputMenu(nullptr).items), menu(on, "Telex", "Telex*; Simple Telex; VNI; VIQR; "));
  EXPECT_EQ(outline(telex.controller->menu().items), menu(on, "Telex", "Telex*; Simple Telex; VNI; VIQR; "));
  EXPECT_EQ(outline(vni.controller->menu().items),
            menu("Bật tiếng Việt", "VNI", "Telex; Simple Telex; VNI*; VIQR; "));
  // A method the menu does not offer shows as Telex, with no method chosen.
  telex.perform(MenuCommand::selectMethod, "xyz");
  EXPECT_EQ(outline(telex.controller->menu().items), menu(on, "Telex", "Telex; Simple Telex; VNI; VIQR; "));
  EXPECT_EQ(telex.controller->menu().title, "Quorvix");
  telex.files.remove(telex.config.path());
  for (auto command :
       {MenuCommand::showPreferences, MenuCommand::openConfigFile, MenuCommand::openInputSources}) {
    telex.perform(command);
  }
  const auto opened = "open " + telex.config.path().string();
  EXPECT_EQ(telex.workspace.requests, (std::vector<std::string>{"preferences", opened, "input sources"}));
  EXPECT_EQ(telex.config.load(), ConfigFile::defaultText());
}

TEST(InputMenu, ChoosingAMethodWritesTheFileAndPatchesTheSession) {
  Desk desk(configWith("telex", "preedit"));
  desk.type("vieet");
  // Another field's choice, written since the session was made, stays in the file.
  desk.config.update([](ConfigDictionary& file) { file["app_modes"] = qrx_json::Object{{"kate", false}}; });
  desk.controller->perform(desk.controller->menu().items[2].submenu[2]);
  EXPECT_EQ(desk.document->withCaret() + desk.document->marked(), "viêt|");  // written out by the old method
  const auto file = desk.config.loadDictionary();
  EXPECT_EQ(file.at("input_method"), qrx_json::Value("vni"));
  EXPECT_EQ(file.at("app_modes"), qrx_json::Value(qrx_json::Object{{"kate", false}}));
  desk.type(" a1");
  EXPECT_EQ(desk.document->withCaret(), "viêt á|");
  // An identifier is a value of the patch, never a part of its syntax.
  const std::string forged = R"(vni", "tone_style": "old)";
  desk.perform(MenuCommand::selectMethod, forged);
  EXPECT_EQ(currentMethod(desk.controller->engine()->configJSON()), forged);
  EXPECT_NE(desk.controller->engine()->configJSON()->find(R"("tone_style":"new")"), std::string::npos);
  const auto text = desk.config.load();
  desk.perform(MenuCommand::selectMethod, Argument{{"op", "nfc"}});
  EXPECT_EQ(desk.config.load(), text);
}

// What the field types and what its menu says agree with what the engine makes of the file: its
// defaults when it rejects the file, Telex for a method it does not have.
TEST(InputMenu, ShowsTheMethodTheSessionTypesWithWhateverTheFileSays) {
  struct Row {
    const char* file;
    const char* keys;
    const char* typed;
    const char* method;  // the menu's
  } rows[] = {
      {R"({"input_method": "vni", "output_mode": "preedit"})", "vie65t ", "việt |", "Kiểu gõ: VNI"},
      {R"({"input_method": "vni", "output_mode": "preedit", "tone_style": "sideways"})", "vieetj ", "việt |",
       "Kiểu gõ: Telex"},
      {R"({"input_method": "vni", "output_mode": "preedit", "macros": {"ko": 5}})", "vie65t ", "vie65t |",
       "Kiểu gõ: Telex"},
      {R"({"input_method": 5, "output_mode": "preedit"})", "vieetj ", "việt |", "Kiểu gõ: Telex"},
      {R"({"input_method": "klingon", "output_mode": "preedit"})", "vieetj ", "việt |", "Kiểu gõ: Telex"},
      {R"(["vni"])", "vieetj ", "việt |", "Kiểu gõ: Telex"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    Desk desk(row.file);
    desk.type(row.keys);
    EXPECT_EQ(desk.document->withCaret(), row.typed);
    EXPECT_EQ(desk.controller->menu().items[2].title, row.method);
  }
}

// A choice the file cannot keep is the field's until the file is read again, and the user is told.
TEST(InputMenu, AChoiceTheFileCannotKeepIsToldAndTypedWith) {
  Desk desk(R"({"input_method": "telex", )", "gedit");
  desk.perform(MenuCommand::selectMethod, std::string("vni"));
  EXPECT_TRUE(desk.press(key(codes::kComma, flags::kOption)));
  const auto why = desk.config.path().string() + " is not a JSON object, so it was left as it is";
  EXPECT_EQ(
      desk.reports.told,
      (std::vector<std::string>{
          std::string(kFileNotReadTitle) + " | " + desk.config.path().string() +
              ": line 1, column 26: is not JSON: EOF while parsing an object; Quorvix uses its default "
              "settings "
              "until the file reads again",
          std::string(kChoiceNotSavedTitle) + " | The input method chosen in the menu was not saved: " + why,
          std::string(kChoiceNotSavedTitle) +
              " | Turning Vietnamese on or off for this program was not saved: " + why}));
  EXPECT_EQ(desk.config.load(), R"({"input_method": "telex", )");
  EXPECT_TRUE(desk.press(key(codes::kComma, flags::kOption)));
  desk.type("vie65t ");
  EXPECT_EQ(desk.document->withCaret(), "việt |");
}

// The conversion itself runs in a process of its own (clipboard_test.cpp).
TEST(InputMenu, StartsTheClipboardConversionTheItemNamesOrBeeps) {
  using Started = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    RepresentedObject argument;
    Started started;  // nothing started: a beep
  } cases[] = {
      {Argument{{"op", "strip"}}, {{"strip", ""}}},
      {Argument{{"op", "decode"}, {"charset", "tcvn3"}}, {{"decode", "tcvn3"}}},
      {Argument{{"op", "rot13"}, {"charset", "x"}}, {{"rot13", "x"}}},
      {Argument{{"charset", "viqr"}}, {}},
      {std::string("nfc"), {}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    Desk desk(configWith("telex", "replace"));
    desk.perform(MenuCommand::transformClipboard, c.argument);
    EXPECT_EQ(desk.clipboard.started, c.started);
    EXPECT_EQ(desk.workspace.requests,
              c.started.empty() ? std::vector<std::string>{"beep"} : std::vector<std::string>{});
  }
  // Every clipboard item of the menu names a conversion.
  Desk desk(configWith("telex", "replace"));
  const auto menu = desk.controller->menu();
  for (const auto& item : menu.items.back().submenu) {
    if (!item.separator) desk.controller->perform(item);
  }
  EXPECT_EQ(desk.clipboard.started, (Started{{"strip", ""},
                                             {"nfc", ""},
                                             {"decode", "viqr"},
                                             {"encode", "viqr"},
                                             {"decode", "tcvn3"},
                                             {"encode", "tcvn3"}}));
  EXPECT_TRUE(desk.workspace.requests.empty());
}

}  // namespace
}  // namespace quorvix::app
