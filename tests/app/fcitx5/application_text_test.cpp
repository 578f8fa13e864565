// The application's own text is never deleted, whether the field tells its text at once or late:
// after the application takes back what was typed, with Backspace at the start of the text, and
// with keys that name no character. Each document ends as a plain keyboard leaves it.
#include "fcitx5_test.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5::testing {
namespace {

app::ConfigFile configFile() { return app::ConfigFile(platform::systemFiles()); }

class ApplicationTextTest : public DocumentTest {
 protected:
  void SetUp() override {
    configFile().save(app::ConfigFile::defaultText());
    DocumentTest::SetUp();
  }
  // A new focused field with Quorvix in replace mode, telling its text at once or only with its
  // own next change.
  void start(bool late, Caps caps = kFull, bool vietnamese = true) {
    configFile().update([&](app::ConfigDictionary& file) {
      file["input_method"] = "telex";
      file["output_mode"] = "replace";
      file["default_vietnamese"] = vietnamese;
    });
    renew();
    doc->resendsLate = late;
    doc->setCapabilities(caps);
    doc->focusIn();
    instance().setCurrentInputMethod(doc, "quorvix", true);
    // Fcitx5 gives the keys of a password field to its keyboard layout, not to an input method.
    if (!caps.test(fcitx::CapabilityFlag::Password)) {
      ASSERT_EQ(instance().inputMethod(doc), "quorvix");
    }
  }
  static std::string timing(bool late) { return late ? "late field" : "prompt field"; }
};

// The application takes back exactly what was typed since it last told its text (an editor's undo,
// a form's reset) and tells the text it held before. A late field's report of that text reads like
// a late report of the moment between a replacement's deletion and its commit ("dd" deletes the
// "d" it typed): the next key must not delete on the word the application took back.
TEST_F(ApplicationTextTest, TextTakenBackIsNeverReplacedNorTheTextBeforeItDeleted) {
  struct Case {
    const char* name;
    const char* document;
    const char* typed;
    const char* shown;  // the document after the typing
    const char* takenBack;
    const char* next;
    const char* after;
  };
  const Case cases[] = {
      {"a word taken back", "ab|", "dduoc", "abđuoc|", "ab|", "j", "abj|"},
      {"a word after the application's own letters", "øß仞|", "dduwowc", "øß仞đươc|", "øß仞|", "j", "øß仞j|"},
      {"a word and what follows it typed on", "ab|", "dduoc", "abđuoc|", "ab|", "j ddi", "abj đi|"},
      {"a word taken back after a space", "ab |", "ddaay", "ab đây|", "ab |", "s", "ab s|"},
  };
  for (const auto& c : cases) {
    for (const bool late : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + ", " + timing(late));
      start(late);
      doc->setDocument(c.document);
      doc->typeKeys(c.typed);
      EXPECT_EQ(doc->document(), c.shown);
      doc->setDocument(c.takenBack);
      doc->typeKeys(c.next);
      EXPECT_EQ(doc->document(), c.after);
      EXPECT_EQ(doc->deletionsOutsideText, 0);
    }
  }
}

// Backspace at the start of the text is the application's: no deletion reaches before the start,
// whatever Fcitx5 still holds as the last report. After Backspace deleted "x", a key the field lets
// through (Escape) leaves it knowing nothing of the text, and the report Fcitx5 holds, "x|ab", is
// older than the deletion; so is one of a text that held a lone surrogate, which Fcitx5 drops.
TEST_F(ApplicationTextTest, BackspaceAtTheStartOfTheTextDeletesNothingBeforeIt) {
  struct Case {
    const char* name;
    std::u32string start;  // the caret after it
    bool vietnamese;
    const char* typed;
    const char* emptied;  // the application's text after its own change, or nothing
    const char* backspaces;
    const char* after;
  };
  const Case cases[] = {
      {"Backspace again at the start", U"x", true, "<", nullptr, "<<", "|ab"},
      {"Escape between", U"x", true, "<⎋", nullptr, "<<", "|ab"},
      {"Escape between, Vietnamese off", U"x", false, "<⎋", nullptr, "<<", "|ab"},
      {"a lone surrogate, a sign typed, the text emptied",
       U"a\xD800"
       U"b",
       true, "1", "|", "<", "|"},
      {"a lone surrogate, a letter typed, the text emptied",
       U"a\xD800"
       U"b",
       false, "x", "|", "<", "|"},
  };
  for (const auto& c : cases) {
    for (const bool late : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + ", " + timing(late));
      start(late, kFull, c.vietnamese);
      doc->setText(c.start + U"ab", c.start.size());
      doc->typeKeys(c.typed);
      if (c.emptied) doc->setDocument(c.emptied);
      doc->typeKeys(c.backspaces);
      EXPECT_EQ(doc->document(), c.after);
      EXPECT_EQ(doc->deletionsOutsideText, 0);
    }
  }
}

// Keys whose keysym names no Unicode scalar value (a surrogate, a code point past the last plane)
// type nothing: they go on to the application as keys, in password and sensitive fields and with
// Vietnamese off as much as with it on.
TEST_F(ApplicationTextTest, KeysThatNameNoCharacterAreNeverCommitted) {
  using Flag = fcitx::CapabilityFlag;
  struct Field {
    const char* name;
    Caps caps;
    bool vietnamese;
  };
  const Field fields[] = {
      {"Vietnamese on", kFull, true},
      {"Vietnamese off", kFull, false},
      {"password", kFull | Flag::Password, true},
      {"sensitive", kFull | Flag::Sensitive, true},
      {"no surrounding text", kPreeditOnly, false},
  };
  const fcitx::KeySym impossible[] = {
      static_cast<fcitx::KeySym>(0x100D800), static_cast<fcitx::KeySym>(0x100DFFF),
      static_cast<fcitx::KeySym>(0x1110000), static_cast<fcitx::KeySym>(0x1FFFFFF)};
  for (const auto& field : fields) {
    for (const bool late : {false, true}) {
      for (const auto sym : impossible) {
        SCOPED_TRACE(std::string(field.name) + ", " + timing(late) + ", keysym " + std::to_string(sym));
        start(late, field.caps, field.vietnamese);
        doc->setDocument("ab|");
        doc->commitLog.clear();
        doc->type(fcitx::Key(sym));
        EXPECT_EQ(doc->document(), "ab|");
        EXPECT_EQ(doc->commitLog, std::vector<std::string>{});
        // The next character still types.
        doc->typeKeys("c");
        EXPECT_EQ(doc->document(), "abc|");
      }
    }
  }
}

}  // namespace
}  // namespace quorvix::platform::fcitx5::testing
