// Typing through the whole addon: Fcitx5 key events into the input controller and its edits into
// a document context; focus, the configuration file, secure input, the status-area menu and the
// processes it starts.
#include <fcitx/action.h>
#include <fcitx/addonmanager.h>
#include <fcitx/menu.h>
#include <fcitx/statusarea.h>
#include <fcitx/userinterfacemanager.h>

#include <qrx_json/json.h>

#include <functional>
#include <iostream>
#include <sstream>

#include "fcitx5_test.h"
#include "platform/fcitx5/addon.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5::testing {
namespace {

constexpr std::array<std::string_view, 4> kInputMethodTitles{"Telex", "Simple Telex", "VNI", "VIQR"};
constexpr std::array<std::string_view, 4> kInputMethodActions{
    "quorvix-method-telex", "quorvix-method-simple_telex", "quorvix-method-vni", "quorvix-method-viqr"};

app::ConfigFile configFile() { return app::ConfigFile(platform::systemFiles()); }

class AddonTest : public DocumentTest {
 protected:
  void SetUp() override {
    configFile().save(app::ConfigFile::defaultText());
    DocumentTest::SetUp();
  }
  // A new field, focused, with Quorvix as its input method, for the configuration as it is now.
  void start(const app::ConfigDictionary& configuration = {}, Caps caps = kFull) {
    configFile().update([&](app::ConfigDictionary& file) {
      for (const auto& [key, value] : configuration) file[key] = value;
    });
    renew();
    doc->setCapabilities(caps);
    doc->focusIn();
    instance().setCurrentInputMethod(doc, "quorvix", true);
    ASSERT_EQ(instance().inputMethod(doc), "quorvix");
  }
};

TEST_F(AddonTest, TypesTelexAndVniInBothOutputModes) {
  struct Case {
    const char* method;
    const char* mode;
    Caps caps;
    const char* document;
    const char* keys;
    const char* after;
    const char* preedit;
    const char* panelPreedit;
  };
  const Case cases[] = {
      {"telex", "replace", kFull, "|", "Tieengs Vieetj ", "Tiếng Việt |", "", ""},
      {"telex", "preedit", kFull, "|", "tieengs vieetj", "tiếng |", "việt", ""},
      {"vni", "replace", kFull, "|", "Tie6ng1 Vie65t ", "Tiếng Việt |", "", ""},
      {"vni", "preedit", kFull, "|", "tie6ng1 vie65t", "tiếng |", "việt", ""},
      {"telex", "replace", kFull, "😀|", "ddaay", "😀đây|", "", ""},
      // Applications that draw no pre-edit, or tell no surrounding text.
      {"telex", "preedit", kSurroundingOnly, "|", "tieengs vieetj", "tiếng |", "", "việt"},
      {"telex", "preedit", kPreeditOnly, "|", "tieengs vieetj ", "tiếng việt |", "", ""},
      // What cannot be read cannot be replaced: the word is shown as pre-edit text instead.
      {"telex", "replace", kPreeditOnly, "|", "vieetj", "|", "việt", ""},
      {"telex", "replace", kPreeditOnly, "|", "vieetj ", "việt |", "", ""},
      // Corrections with Backspace.
      {"telex", "replace", kFull, "|", "vieetj<<eetj", "việt|", "", ""},
      {"telex", "preedit", kFull, "|", "vieetj<<eetj ", "việt |", "", ""},
      {"vni", "replace", kFull, "|", "vie65t<<e65t", "việt|", "", ""},
      // A word typed after the caret moved into the text.
      {"telex", "replace", kFull, "|", "chaof←←←←xin ", "xin |chào", "", ""},
      {"vni", "preedit", kFull, "|", "chao2←←←←xin ", "xin |chào", "", ""},
      {"telex", "replace", kFull, "| Nam", "Vieetj", "Việt| Nam", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.mode + ": " + c.keys);
    start({{"input_method", c.method}, {"output_mode", c.mode}}, c.caps);
    doc->resendsLate = true;
    doc->setDocument(c.document);
    doc->typeKeys(c.keys);
    EXPECT_EQ(doc->document(), c.after);
    EXPECT_EQ(doc->preedit(), c.preedit);
    EXPECT_EQ(doc->panelPreedit(), c.panelPreedit);
    if (auto* field = fieldOf(*doc)) expectFieldInStep(*field);
  }
}

// Fcitx5 itself commits the client pre-edit on focus out, before the engine hears of it.
TEST_F(AddonTest, WritesTheWordInProgressOnceWhenTheFieldLosesFocusOrIsReset) {
  const std::function<void(DocumentContext&)> ends[] = {
      [](DocumentContext& d) { d.focusOut(); },
      [](DocumentContext& d) { d.reset(); },
      [](DocumentContext& d) { instance().setCurrentInputMethod(&d, "keyboard-us", true); },
  };
  for (const auto* mode : {"preedit", "replace"}) {
    for (std::size_t end = 0; end < std::size(ends); ++end) {
      SCOPED_TRACE(std::string(mode) + " " + std::to_string(end));
      start({{"output_mode", mode}});
      doc->typeKeys("vieetj");
      ends[end](*doc);
      EXPECT_EQ(doc->document(), "việt|");
      EXPECT_EQ(doc->inputPanel().clientPreedit().toString(), "");
    }
  }
}

TEST_F(AddonTest, LeavesSecureFieldsAlone) {
  // Fcitx5 hands a password field to the keyboard layout, which ends Quorvix's word as any switch
  // does; a sensitive field reaches Quorvix, which drops the word and lets the keys through.
  const std::pair<fcitx::CapabilityFlag, const char*> cases[] = {{fcitx::CapabilityFlag::Password, "vieetj|"},
                                                                 {fcitx::CapabilityFlag::Sensitive, "etj|"}};
  for (const auto& [secure, after] : cases) {
    start({{"output_mode", "preedit"}});
    doc->typeKeys("vie");
    doc->setCapabilities(kFull | secure);
    doc->typeKeys("etj");
    EXPECT_EQ(doc->document(), after);
    EXPECT_EQ(doc->preedit(), "");
  }
}

// Chords with Meta or Hyper are commands, which a field does not type, and end the word; what
// AltGr types is text.
TEST_F(AddonTest, TypesNoLettersOfMetaOrHyperChords) {
  start({{"output_mode", "preedit"}});
  doc->setDocument("ab |");
  const fcitx::KeyStates meta{fcitx::KeyState::Meta};
  for (const auto& key : {fcitx::Key(FcitxKey_v, meta), fcitx::Key("Hyper+i"), fcitx::Key(FcitxKey_e, meta),
                          fcitx::Key("space")}) {
    doc->type(key);
  }
  EXPECT_EQ(doc->document(), "ab  |");
  doc->typeKeys("vie");
  doc->type(fcitx::Key(FcitxKey_EuroSign, fcitx::KeyStates{fcitx::KeyState::Mod5}));
  doc->typeKeys(" ");
  EXPECT_EQ(doc->document(), "ab  vie€ |");
}

// The application edits its text on its own, without resetting the input method, between two
// keys; what the input method then deletes or replaces must still be its own text.
TEST_F(AddonTest, TouchesOnlyItsOwnTextWhenTheApplicationEditsInBetween) {
  struct Case {
    const char* name;
    app::ConfigDictionary configuration;
    const char* document;
    const char* before;  // keys typed first
    const char* edited;  // the document after the application's edit
    const char* after;   // keys typed then
    const char* expected;
  };
  const qrx_json::Value phrase = qrx_json::Object{{"xin chao", "Xin chào"}};
  const Case cases[] = {
      // A phrase macro takes back its key only when the field still holds it.
      {"phrase macro, letters deleted",
       {{"output_mode", "replace"}, {"macros", phrase}},
       "ab|",
       " xin ",
       "ab xi|",
       "chao ",
       "ab xichao |"},
      {"phrase macro, letters inserted",
       {{"output_mode", "replace"}, {"macros", phrase}},
       "ab|",
       " xin ",
       "ab xin vie|",
       "chao ",
       "ab xin viechao |"},
      {"phrase macro, untouched",
       {{"output_mode", "replace"}, {"macros", phrase}},
       "ab|",
       " xin ",
       "ab xin |",
       "chao ",
       "ab Xin chào |"},
      // A macro typed with Vietnamese off.
      {"macro with Vietnamese off, letters inserted",
       {{"output_mode", "replace"},
        {"macro_in_off_mode", true},
        {"default_vietnamese", false},
        {"macros", qrx_json::Object{{"ko", "không"}}}},
       "ab|",
       " k",
       "ab kXY|",
       "o ",
       "ab kXYo |"},
      // The application changes the word, into a text the field never held.
      {"letters changed by the application",
       {{"output_mode", "replace"}},
       "ab|",
       "vieet",
       "abviee|",
       "j",
       "abvieej|"},
      // A word re-opened with Backspace in pre-edit mode is edited in the document.
      {"re-opened word, letter inserted",
       {{"output_mode", "preedit"}},
       "|",
       "tieeng <",
       "tiXêng|",
       "s ",
       "tiXêngs |"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    configFile().save(app::ConfigFile::defaultText());
    start(c.configuration);
    doc->setDocument(c.document);
    doc->typeKeys(c.before);
    doc->setDocument(c.edited);
    doc->typeKeys(c.after);
    EXPECT_EQ(doc->document(), c.expected);
    EXPECT_EQ(doc->preedit(), "");
  }
}

// A field that tells only the caret's line: after the application breaks the line at the caret,
// nothing before the caret is known to be the word, so the word starts over.
TEST_F(AddonTest, AWordCutOffByALineBreakStartsOver) {
  start({{"output_mode", "replace"}});
  doc->setDocument("abc|");
  doc->typeKeys("vie");
  doc->setDocument("abcvie\n|");
  doc->surroundingText().setText("", 0, 0);
  doc->updateSurroundingText();
  doc->typeKeys("j");
  EXPECT_EQ(doc->document(), "abcvie\nj|");
}

TEST_F(AddonTest, InstalledDescriptionNamesTheInstalledLibrary) {
  if (addonBuiltIn()) GTEST_SKIP() << "the addon is built in";
  const auto description = fileText(std::filesystem::path(QRX_BINARY_DIR) /
                                    "tests/app/fcitx5/installed/share/fcitx5/addon/quorvix.conf");
  EXPECT_NE(description.find("Library=" QRX_BINARY_DIR "/tests/app/fcitx5/installed/"), std::string::npos)
      << description;
}

// What follows needs the services the test gives the built-in addon.
class BuiltInAddonTest : public AddonTest {
 protected:
  void SetUp() override {
    if (!addonBuiltIn()) GTEST_SKIP() << "the installed addon runs on the real clock and desktop";
    watched() = {watched().timers, {}, 0};
    AddonTest::SetUp();
  }
  QuorvixEngine& engine() { return *static_cast<QuorvixEngine*>(instance().addonManager().addon("quorvix")); }
  // The controller's session: a new one after every reload.
  const void* session(DocumentContext* field = nullptr) {
    return engine().controller(field ? *field : *doc)->engine();
  }
  // Another application's field beside `doc`, with Quorvix, that had the focus once.
  std::unique_ptr<DocumentContext> open(const std::string& program) {
    auto field = std::make_unique<DocumentContext>(instance().inputContextManager(), program);
    field->setCapabilities(kFull);
    switchTo(field.get());
    instance().setCurrentInputMethod(field.get(), "quorvix", true);
    return field;
  }
  void switchTo(DocumentContext* field) {
    if (auto* focused = instance().mostRecentInputContext(); focused && focused->hasFocus())
      focused->focusOut();
    field->focusIn();
  }
  void tick() { watched().timers->advance(std::chrono::seconds(1)); }
  std::string appModes() {
    const auto file = configFile().loadDictionary();
    const auto modes = file.find("app_modes");
    return modes == file.end() ? "" : qrx_json::write_compact(modes->second);
  }
  // The status area's action of that name, as Fcitx5's panels find it.
  static fcitx::Action& action(std::string_view name) {
    auto* found = instance().userInterfaceManager().lookupAction(std::string(name));
    if (!found) throw std::runtime_error("no action " + std::string(name));
    return *found;
  }
  // What the action says in a field, `doc` unless another is named.
  std::string title(std::string_view name, DocumentContext* field = nullptr) {
    return action(name).shortText(field ? field : doc);
  }
};

TEST_F(BuiltInAddonTest, AltCommaTogglesAndWritesTheApplicationsChoiceWithoutReloading) {
  start();
  const auto before = session();
  EXPECT_TRUE(doc->type(fcitx::Key("Alt+comma")));
  EXPECT_EQ(title("quorvix-toggle"), "Bật tiếng Việt");
  doc->typeKeys("vieetj");
  EXPECT_EQ(doc->document(), "vieetj|");
  EXPECT_NE(fileText(configFile().path()).find("\"app_modes\": {\n    \"docapp\": false"), std::string::npos);
  watched().timers->advance(std::chrono::seconds(3));
  EXPECT_EQ(session(), before);
  EXPECT_FALSE(doc->type(fcitx::Key("Alt+Shift+comma")));
  EXPECT_TRUE(doc->type(fcitx::Key("Alt+comma")));
  EXPECT_EQ(title("quorvix-toggle"), "Tắt tiếng Việt");
}

TEST_F(BuiltInAddonTest, FollowsTheConfigurationFile) {
  start();
  const auto first = session();
  configFile().update([](app::ConfigDictionary& file) { file["input_method"] = "vni"; });
  watched().timers->advance(std::chrono::milliseconds(999));
  EXPECT_EQ(session(), first);
  // The outside edit is seen on the next tick, and the menu shows it.
  watched().timers->advance(std::chrono::milliseconds(1));
  const auto second = session();
  EXPECT_NE(second, first);
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: VNI");
  doc->typeKeys("vie65t ");
  EXPECT_EQ(doc->document(), "việt |");
  // A preferences window in this process: one reload, and no second one on the next tick; the
  // menu says so at once.
  configFile().update([](app::ConfigDictionary& file) {
    file["input_method"] = "telex";
    file["default_vietnamese"] = false;
  });
  engine().notifications().post(app::quorvixConfigChanged);
  const auto third = session();
  EXPECT_NE(third, second);
  EXPECT_EQ(title("quorvix-toggle"), "Bật tiếng Việt");
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: Telex");
  watched().timers->advance(std::chrono::seconds(2));
  EXPECT_EQ(session(), third);
}

// The user toggles in one program, comes back to another and types there while the change is
// read; or a preferences window saves a setting that this program does not use.
// Fcitx5's log as the test reads it, for as long as it lives.
class CapturedLog {
 public:
  CapturedLog() { fcitx::Log::setLogStream(lines_); }
  ~CapturedLog() { fcitx::Log::setLogStream(std::cerr); }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;
  // How many lines hold `text`.
  int count(std::string_view text) const {
    int found = 0;
    std::istringstream lines(lines_.str());
    for (std::string line; std::getline(lines, line);) found += line.find(text) != std::string::npos;
    return found;
  }
  std::string all() const { return lines_.str(); }

 private:
  std::ostringstream lines_;
};

// With Fcitx5's --verbose=quorvix=5, a word that starts over says why in the addon's category,
// in counts, never with the text; at the default level it says nothing.
TEST_F(BuiltInAddonTest, AWordThatStartsOverSaysWhyAtTheDebugLevel) {
  start({{"output_mode", "replace"}});
  const std::string why = "A word started over: the field's text before the caret";
  for (const int level : {4, 5}) {
    SCOPED_TRACE(level);
    fcitx::Log::setLogRule("quorvix=" + std::to_string(level));
    CapturedLog log;
    doc->setDocument("abc|");
    doc->typeKeys("vie");
    doc->setDocument("abcvie\nxyz|");
    doc->typeKeys("j");
    fcitx::Log::setLogRule("quorvix=4");
    EXPECT_EQ(doc->document(), "abcvie\nxyzj|");
    EXPECT_EQ(log.count(why), level == 5 ? 1 : 0) << log.all();
    for (const char* text : {"abc", "vie", "xyz"}) EXPECT_EQ(log.all().find(text), std::string::npos) << log.all();
  }
}

// A configuration the engine cannot use as written: the field types what the engine makes of it,
// the menu says so, and the log says why once per change of the file, in the addon's category.
TEST_F(BuiltInAddonTest, AConfigurationQuorvixCannotUseIsLoggedOnceAndTheMenuShowsWhatItTypes) {
  start();
  CapturedLog log;
  const auto path = configFile().path().string();
  const std::string defaults = "; Quorvix uses its default settings until the file reads again";
  const std::pair<std::string, std::string> rows[] = {
      {R"({"input_method":"vni","tone_style":"sideways","macros":{"bm":"bí mật"}})",
       ": line 1, column 45: \"tone_style\" does not take this text" + defaults},
      {R"({"input_method":"vni","macros":{"ko":5,"bm":"bí mật"}})",
       ": line 1, column 38: \"macros\" does not take a number here" + defaults},
      {R"({"input_method":"klingon","macros":{"bm":"bí mật"}})",
       ": line 1, column 25: \"input_method\" names no input method of Quorvix (telex, simple_telex, vni or "
       "viqr); "
       "Quorvix types Telex"},
      {R"({"input_method":5,"macros":{"bm":"bí mật"}})",
       ": line 1, column 17: \"input_method\" takes text, not a number" + defaults},
  };
  for (const auto& [file, why] : rows) {
    SCOPED_TRACE(file);
    configFile().save(file);
    tick();
    EXPECT_EQ(log.count(path + why), 1) << log.all();
    EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: Telex");
    doc->typeKeys("vieetj ");
    EXPECT_EQ(doc->document(), "việt |");
    doc->typeKeys("<<<<<");
    tick();
    engine().reloadConfig();
    EXPECT_EQ(log.count(path + why), 1) << "once per change of the file";
  }
  EXPECT_EQ(log.all().find("bí mật"), std::string::npos) << "the user's text stays out of the log";
  configFile().save(R"({"input_method":"vni"})");
  tick();
  EXPECT_EQ(log.count(path + " gives Quorvix its settings again"), 1) << log.all();
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: VNI");
}

TEST_F(BuiltInAddonTest, AReadingThatChangesNothingTheFieldUsesLeavesTheWordAlone) {
  const std::function<void()> changes[] = {
      // The other program's toggle, read on the tick below.
      [] {},
      [this] {
        configFile().update([](app::ConfigDictionary& file) {
          file["excluded_apps"] = qrx_json::Array{"minecraft", "otherapp"};
          file["window_size"] = 3;
        });
        engine().notifications().post(app::quorvixConfigChanged);
      },
  };
  for (const auto* mode : {"replace", "preedit"}) {
    for (std::size_t change = 0; change < std::size(changes); ++change) {
      SCOPED_TRACE(std::string(mode) + " " + std::to_string(change));
      start({{"output_mode", mode}});
      const auto other = open("otherapp");
      EXPECT_TRUE(other->type(fcitx::Key("Alt+comma")));
      switchTo(doc);
      const auto before = session();
      doc->typeKeys("dduwow");
      changes[change]();
      tick();
      doc->typeKeys("cj ");
      EXPECT_EQ(doc->document(), "được |");
      EXPECT_EQ(session(), before);
    }
  }
}

TEST_F(BuiltInAddonTest, ANewInputMethodTakesEffectFromTheNextWord) {
  for (const auto* mode : {"replace", "preedit"}) {
    SCOPED_TRACE(mode);
    start({{"output_mode", mode}, {"input_method", "telex"}});
    const auto before = session();
    doc->typeKeys("vie");
    configFile().update([](app::ConfigDictionary& file) { file["input_method"] = "vni"; });
    tick();
    EXPECT_EQ(session(), before);
    EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: Telex");
    doc->typeKeys("etj ");
    EXPECT_NE(session(), before);
    EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: VNI");
    doc->typeKeys("vie65t ");
    EXPECT_EQ(doc->document(), "việt việt |");
  }
}

// A reading that waited for the word in progress makes its session when the application resets
// the field, and the menu says what that session does.
TEST_F(BuiltInAddonTest, AReadingTakenInAtAResetShowsInTheMenu) {
  for (const auto* mode : {"replace", "preedit"}) {
    SCOPED_TRACE(mode);
    start({{"output_mode", mode}, {"default_vietnamese", true}});
    doc->typeKeys("vie");
    configFile().update([](app::ConfigDictionary& file) { file["default_vietnamese"] = false; });
    engine().notifications().post(app::quorvixConfigChanged);
    EXPECT_EQ(title("quorvix-toggle"), "Tắt tiếng Việt");
    doc->reset();
    EXPECT_EQ(title("quorvix-toggle"), "Bật tiếng Việt");
    doc->typeKeys("vieetj");
    EXPECT_EQ(doc->document(), "vievieetj|");
  }
}

TEST_F(BuiltInAddonTest, TogglesOfTwoProgramsWithinOneSecondBothStay) {
  start();
  const auto first = open("appa");
  const auto second = open("appb");
  EXPECT_TRUE(second->type(fcitx::Key("Alt+comma")));
  switchTo(first.get());
  EXPECT_TRUE(first->type(fcitx::Key("Alt+comma")));
  EXPECT_EQ(appModes(), R"({"appa":false,"appb":false})");
  tick();
  switchTo(second.get());
  second->typeKeys("vieetj ");
  EXPECT_EQ(second->document(), "vieetj |");
  EXPECT_TRUE(second->type(fcitx::Key("Alt+comma")));
  EXPECT_EQ(appModes(), R"({"appa":false,"appb":true})");
}

// A field without focus makes its new session when it gets the focus back; another field of the
// same program follows a toggle there.
TEST_F(BuiltInAddonTest, FieldsWithoutFocusTakeTheChangeWhenTheyGetIt) {
  start();
  const auto sibling = open("docapp");
  const auto other = open("otherapp");
  const auto siblingSession = session(sibling.get()), otherSession = session(other.get());
  switchTo(doc);
  EXPECT_TRUE(doc->type(fcitx::Key("Alt+comma")));
  configFile().update([](app::ConfigDictionary& file) { file["input_method"] = "vni"; });
  tick();
  EXPECT_EQ(session(sibling.get()), siblingSession);
  EXPECT_EQ(session(other.get()), otherSession);
  switchTo(other.get());
  EXPECT_NE(session(other.get()), otherSession);
  other->typeKeys("vie65t ");
  EXPECT_EQ(other->document(), "việt |");
  switchTo(sibling.get());
  sibling->typeKeys("vie65t ");
  EXPECT_EQ(sibling->document(), "vie65t |");
}

TEST_F(BuiltInAddonTest, ShowsTheMenuInTheStatusAreaAndCarriesOutItsCommands) {
  start();
  // Each action is named for what it does; a separator (no name here) is named by Fcitx5.
  const std::vector<std::pair<std::string, std::string>> shown{
      {"quorvix-toggle", "Tắt tiếng Việt"},
      {"", ""},
      {"quorvix-method", "Kiểu gõ: Telex"},
      {"", ""},
      {"quorvix-preferences", "Cấu hình…"},
      {"quorvix-open-config-file", "Mở file JSON"},
      {"quorvix-reload-config", "Nạp lại cấu hình"},
      {"quorvix-fcitx5-settings", "Mở cài đặt Fcitx5…"},
      {"quorvix-clipboard", "Clipboard"}};
  const auto& actions = doc->statusArea().actions(fcitx::StatusGroup::InputMethod);
  ASSERT_EQ(actions.size(), shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const auto& [name, title] = shown[i];
    EXPECT_EQ(actions[i]->isSeparator(), name.empty());
    EXPECT_EQ(actions[i]->shortText(doc), title);
    if (!name.empty()) {
      EXPECT_EQ(actions[i]->name(), name);
      EXPECT_EQ(&action(name), actions[i]);
    }
  }
  // Choosing a method checks it alone, and names it in the item above.
  const auto& methodItems = action("quorvix-method").menu()->actions();
  ASSERT_EQ(methodItems.size(), kInputMethodActions.size());
  const std::vector<std::string> methods{"Telex", "Simple Telex", "VIQR", "VNI"};
  for (const auto& chosen : methods) {
    const auto index = std::ranges::find(kInputMethodTitles, chosen) - kInputMethodTitles.begin();
    action(kInputMethodActions[static_cast<std::size_t>(index)]).activate(doc);
    EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: " + chosen);
    for (std::size_t i = 0; i < kInputMethodTitles.size(); ++i) {
      EXPECT_EQ(methodItems[i], &action(kInputMethodActions[i]));
      EXPECT_TRUE(methodItems[i]->isCheckable());
      EXPECT_EQ(methodItems[i]->shortText(doc), kInputMethodTitles[i]);
      EXPECT_EQ(methodItems[i]->isChecked(doc), kInputMethodTitles[i] == chosen);
    }
  }
  doc->typeKeys("vie65t ");
  EXPECT_EQ(doc->document(), "việt |");

  action("quorvix-toggle").activate(doc);
  EXPECT_EQ(title("quorvix-toggle"), "Bật tiếng Việt");
  const auto before = session();
  action("quorvix-reload-config").activate(doc);
  EXPECT_NE(session(), before);
  for (const auto* name : {"quorvix-preferences", "quorvix-open-config-file", "quorvix-fcitx5-settings"}) {
    action(name).activate(doc);
  }
  const std::vector<std::vector<std::string>> started{{QRX_INSTALLED_EXECUTABLE, "--preferences"},
                                                      {"xdg-open", configFile().path().string()},
                                                      {"fcitx5-configtool"}};
  EXPECT_EQ(watched().started, started);
}

// The actions are the same for every field; each field's own state shows in their words and
// check marks.
TEST_F(BuiltInAddonTest, EachFieldsMenuShowsItsOwnState) {
  start();
  const auto other = open("otherapp");
  EXPECT_TRUE(other->type(fcitx::Key("Alt+comma")));
  action("quorvix-method-vni").activate(other.get());
  EXPECT_EQ(title("quorvix-toggle", other.get()), "Bật tiếng Việt");
  EXPECT_EQ(title("quorvix-method", other.get()), "Kiểu gõ: VNI");
  EXPECT_TRUE(action("quorvix-method-vni").isChecked(other.get()));
  EXPECT_FALSE(action("quorvix-method-telex").isChecked(other.get()));
  // The field that had the focus before shows what its session does until it takes the change in.
  EXPECT_EQ(title("quorvix-toggle"), "Tắt tiếng Việt");
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: Telex");
  EXPECT_TRUE(action("quorvix-method-telex").isChecked(doc));
  EXPECT_FALSE(action("quorvix-method-vni").isChecked(doc));
  tick();
  switchTo(doc);
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: VNI");
  EXPECT_TRUE(action("quorvix-method-vni").isChecked(doc));
  EXPECT_EQ(title("quorvix-toggle"), "Tắt tiếng Việt");
}

// An action asks the field's controller what to say each time it is shown: a change the controller
// made by any road shows at once, and a field Quorvix never served shows a session on the default
// settings.
TEST_F(BuiltInAddonTest, ActionsReadTheControllersStateWhenShown) {
  start();
  auto& controller = *engine().controller(*doc);
  const struct {
    const char* name;
    std::function<void()> change;
    const char* toggle;
    const char* method;
    const char* checked;
  } cases[] = {
      {"as made", [] {}, "Tắt tiếng Việt", "Kiểu gõ: Telex", "quorvix-method-telex"},
      {"toggled by the controller", [&] { controller.toggleVietnamese(); }, "Bật tiếng Việt", "Kiểu gõ: Telex",
       "quorvix-method-telex"},
      {"method chosen by the controller",
       [&] {
         app::MenuItem viqr;
         viqr.action = app::MenuCommand::selectMethod;
         viqr.representedObject = std::string("viqr");
         controller.perform(viqr);
       },
       "Bật tiếng Việt",
       "Kiểu gõ: VIQR", "quorvix-method-viqr"},
      {"toggled back by Alt+comma", [&] { doc->type(fcitx::Key("Alt+comma")); }, "Tắt tiếng Việt",
       "Kiểu gõ: VIQR", "quorvix-method-viqr"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    EXPECT_EQ(title("quorvix-toggle"), c.toggle);
    EXPECT_EQ(title("quorvix-method"), c.method);
    for (const auto name : kInputMethodActions) EXPECT_EQ(action(name).isChecked(doc), name == c.checked) << name;
  }
  const auto never = std::make_unique<DocumentContext>(instance().inputContextManager(), "neverserved");
  EXPECT_EQ(engine().controller(*never), nullptr);
  EXPECT_EQ(title("quorvix-toggle", never.get()), "Tắt tiếng Việt");
  EXPECT_EQ(title("quorvix-method", never.get()), "Kiểu gõ: Telex");
  EXPECT_TRUE(action("quorvix-method-telex").isChecked(never.get()));
  EXPECT_EQ(action("quorvix-toggle").shortText(nullptr), "Tắt tiếng Việt");
}

// Fcitx5's own reload of the addon's configuration (what the configuration tool and the D-Bus
// ReloadAddonConfig ask for) is the menu's reload in the focused field: the file is read at once,
// the word in progress is written out, and the field's session is made anew, changed or not. The
// other fields take the reading in as they take any change of the file.
TEST_F(BuiltInAddonTest, FcitxsReloadIsTheMenusReloadInTheFocusedField) {
  start();
  const auto other = open("otherapp");
  const auto otherSession = session(other.get());
  switchTo(doc);
  const auto first = session();
  configFile().update([](app::ConfigDictionary& file) { file["input_method"] = "vni"; });
  instance().reloadAddonConfig("quorvix");
  const auto second = session();
  EXPECT_NE(second, first);
  EXPECT_EQ(session(other.get()), otherSession);
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: VNI");
  switchTo(other.get());
  EXPECT_NE(session(other.get()), otherSession);
  other->typeKeys("vie65t ");
  EXPECT_EQ(other->document(), "việt |");
  switchTo(doc);
  EXPECT_EQ(session(), second);
  doc->typeKeys("vie65t ");
  EXPECT_EQ(doc->document(), "việt |");
  // Read once: the next look at the file finds nothing new.
  watched().timers->advance(std::chrono::seconds(2));
  EXPECT_EQ(session(), second);

  doc->typeKeys("vie6");
  configFile().update([](app::ConfigDictionary& file) { file["input_method"] = "telex"; });
  instance().reloadAddonConfig("quorvix");
  const auto third = session();
  EXPECT_NE(third, second);
  EXPECT_EQ(title("quorvix-method"), "Kiểu gõ: Telex");
  doc->typeKeys(" vieetj ");
  EXPECT_EQ(doc->document(), "việt viê việt |");
  instance().reloadAddonConfig("quorvix");
  EXPECT_NE(session(), third);
}

// The desktop's clipboard is served by whoever took it last: each conversion is a quorvix process
// of its own (tests/app/e2e/desktop.sh runs them).
TEST_F(BuiltInAddonTest, ConvertsTheClipboardInAProcessOfItsOwn) {
  start();
  const std::pair<const char*, std::vector<std::string>> items[] = {
      {"quorvix-clipboard-strip", {"strip", ""}},
      {"quorvix-clipboard-nfc", {"nfc", ""}},
      {"quorvix-clipboard-decode-viqr", {"decode", "viqr"}},
      {"quorvix-clipboard-encode-viqr", {"encode", "viqr"}},
      {"quorvix-clipboard-decode-tcvn3", {"decode", "tcvn3"}},
      {"quorvix-clipboard-encode-tcvn3", {"encode", "tcvn3"}},
  };
  std::vector<std::vector<std::string>> started;
  for (const auto& [name, operands] : items) {
    action(name).activate(doc);
    started.push_back({QRX_INSTALLED_EXECUTABLE, "--transform-clipboard"});
    started.back().insert(started.back().end(), operands.begin(), operands.end());
  }
  const auto& clipboardItems = action("quorvix-clipboard").menu()->actions();
  ASSERT_EQ(clipboardItems.size(), 7u);
  EXPECT_TRUE(clipboardItems[4]->isSeparator());
  EXPECT_EQ(clipboardItems[5], &action("quorvix-clipboard-decode-tcvn3"));
  EXPECT_EQ(watched().started, started);
  EXPECT_EQ(watched().beeps, 0);
}

}  // namespace
}  // namespace quorvix::platform::fcitx5::testing
