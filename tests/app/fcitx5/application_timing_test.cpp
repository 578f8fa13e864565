// Replace mode against applications that tell their text late, out of order or not at all:
// whatever the timing of their reports, the same keys give the same document.
#include "fcitx5_test.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5::testing {
namespace {

app::ConfigFile configFile() { return app::ConfigFile(platform::systemFiles()); }

struct Sentence {
  const char* method;
  const char* keys;  // "<" is Backspace
  const char* text;  // what an application that tells its text at once holds afterwards
};

// Corrections with Backspace, capitals, punctuation, a doubled key, a word kept as its keys.
const Sentence kSentences[] = {
    {"telex", "Tieengs Vieetj raats hay, dduwowcj khoong? Tooi ddi hocx<j VIEETJ NAM ddax laau. Gox xyz. ",
     "Tiếng Việt rất hay, được không? Tôi đi học VIỆT NAM đã lâu. Gõ xyz. "},
    {"telex", "Muaf thu nawm nay<<<nay, cacs banj ddeeuf khoer chuws? Ddungs vaayj.",
     "Mùa thu năm nay, các bạn đều khoẻ chứ? Đúng vậy."},
    {"vni", "Tie61ng Vie65t ra61t hay, d9u7o7c5 kho6ng? To6i d9i ho5c<c5 VIE65T NAM d9a4 la6u. ",
     "Tiếng Việt rất hay, được không? Tôi đi học VIỆT NAM đã lâu. "},
    {"vni", "Mu2a thu na8m nay<<<nay, Ca1c Ba5n d9e62u kho3e chu71? D9u1ng va65y.",
     "Mùa thu năm nay, Các Bạn đều khoẻ chứ? Đúng vậy."},
};

class ApplicationTimingTest : public DocumentTest {
 protected:
  void SetUp() override {
    configFile().save(app::ConfigFile::defaultText());
    DocumentTest::SetUp();
  }
  // A new focused field with Quorvix, in `mode` with `method`.
  void start(const char* method, const char* mode, Caps caps = kFull) {
    configFile().update([&](app::ConfigDictionary& file) {
      file["input_method"] = method;
      file["output_mode"] = mode;
    });
    renew();
    doc->setCapabilities(caps);
    doc->focusIn();
    instance().setCurrentInputMethod(doc, "quorvix", true);
    ASSERT_EQ(instance().inputMethod(doc), "quorvix");
  }
  void expectFieldInStep() {
    if (auto* field = fieldOf(*doc)) DocumentTest::expectFieldInStep(*field);
  }
};

TEST_F(ApplicationTimingTest, ReplaceModeGivesTheSameTextWhenTheApplicationTellsItsTextLate) {
  for (const auto& sentence : kSentences) {
    SCOPED_TRACE(sentence.keys);
    start(sentence.method, "replace");
    doc->typeKeys(sentence.keys);
    const auto prompt = doc->document();
    EXPECT_EQ(prompt, std::string(sentence.text) + "|");
    // Reports up to three keys behind, and then and again one older than the last; and, as Qt's
    // module, none while the field is empty, the first word then going in as pre-edit text.
    enum Reports { late, goingBack, onceItHoldsText };
    for (const auto reports : {late, goingBack, onceItHoldsText}) {
      for (std::uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("reports " + std::to_string(reports) + ", seed " + std::to_string(seed));
        start(sentence.method, "replace");
        doc->tellsOnlyOnceItHoldsText = reports == onceItHoldsText;
        doc->setDocument("|");
        // Qt's module lags further behind in a burst.
        doc->reportLate(seed, reports == onceItHoldsText ? 8 : 3, reports == goingBack);
        doc->typeKeys(sentence.keys);
        // The field knows the text the application has not told yet.
        expectFieldInStep();
        doc->catchUp();
        EXPECT_EQ(doc->document(), prompt);
        EXPECT_EQ(doc->preedit(), "");
      }
    }
  }
}

TEST_F(ApplicationTimingTest, AFieldThatTellsNoTextGetsTheWordAsPreeditWhateverTheConfiguredMode) {
  for (const auto& sentence : kSentences) {
    SCOPED_TRACE(sentence.keys);
    // Without the capability, and with it but never telling its text.
    for (const bool capable : {false, true}) {
      start(sentence.method, "replace", capable ? kFull : kPreeditOnly);
      doc->tellsText = false;
      doc->resend();
      const std::string keys = sentence.keys;
      doc->typeKeys(keys.substr(0, 3));
      EXPECT_EQ(doc->document(), "|");
      EXPECT_NE(doc->preedit(), "");
      doc->typeKeys(keys.substr(3));
      EXPECT_EQ(doc->document(), std::string(sentence.text) + "|");
    }
  }
  EXPECT_NE(fileText(configFile().path()).find("\"output_mode\": \"replace\""), std::string::npos);
}

TEST_F(ApplicationTimingTest, ReplacesAgainOnceTheFieldTellsItsTextFromTheNextWordOn) {
  start("telex", "replace");
  doc->tellsText = false;
  doc->resend();
  doc->typeKeys("Tieengs ");
  EXPECT_EQ(doc->document(), "Tiếng |");
  doc->typeKeys("Vie");
  EXPECT_EQ(doc->preedit(), "Vie");
  // Like Qt's module, which tells the text once the field holds some: the word in progress stays
  // pre-edit text, the next one is written into the field.
  doc->tellsText = true;
  doc->resend();
  doc->typeKeys("etj ");
  EXPECT_EQ(doc->document(), "Tiếng Việt |");
  doc->typeKeys("Nam");
  EXPECT_EQ(doc->preedit(), "");
  EXPECT_EQ(doc->document(), "Tiếng Việt Nam|");
  doc->typeKeys("f");
  EXPECT_EQ(doc->document(), "Tiếng Việt Nàm|");
  // And back to pre-edit text when the field stops telling it.
  doc->tellsText = false;
  doc->typeKeys(" ");
  doc->resend();
  doc->typeKeys("cos");
  EXPECT_EQ(doc->preedit(), "có");
  EXPECT_EQ(doc->document(), "Tiếng Việt Nàm |");
}

// Qt's module tells nothing while its field is empty; the words written meanwhile are known all
// the same, and its first report, late, is taken for late.
TEST_F(ApplicationTimingTest, KnowsWhatItWroteBeforeTheFieldFirstToldItsText) {
  start("telex", "replace");
  doc->tellsOnlyOnceItHoldsText = true;
  doc->resendsLate = true;
  doc->setDocument("|");
  doc->typeKeys("Tieengs Vieetj ");
  EXPECT_EQ(doc->document(), "Tiếng Việt |");
  doc->tellAsItWas("Tiếng |");
  expectFieldInStep();
  doc->typeKeys("raats ");
  EXPECT_EQ(doc->document(), "Tiếng Việt rất |");
  expectFieldInStep();
}

TEST_F(ApplicationTimingTest, ARealChangeOfTheApplicationsStartsTheWordOver) {
  struct Case {
    const char* change;  // the document after the application's own change
    const char* keys;
    const char* after;
  };
  // "vie" is being typed when the application moves the caret or writes text of its own: the
  // word starts over, late reports or not.
  const Case cases[] = {
      {"|vie", "etj ", "etj |vie"},
      {"vie|ab", "etj", "vieetj|ab"},
      {"x vie| ab", "etj", "x việt| ab"},
      {"vie |", "etj", "vie etj|"},
  };
  for (const auto& c : cases) {
    for (const bool late : {false, true}) {
      SCOPED_TRACE(std::string(c.change) + (late ? ", late" : ""));
      start("telex", "replace");
      if (late) doc->reportLate(7, 3, true);
      doc->typeKeys("vie");
      doc->setDocument(c.change);
      doc->typeKeys(c.keys);
      doc->catchUp();
      EXPECT_EQ(doc->document(), c.after);
      expectFieldInStep();
    }
  }
}

// An application that takes back exactly what was typed (its undo, a word deleted with the mouse)
// comes back to a text the field held before: once it has told the text with all of the field's
// edits, that is its own change, and the word starts over. Nothing of the text it kept is deleted.
TEST_F(ApplicationTimingTest, TextTheApplicationTakesBackIsGone) {
  struct Case {
    const char* mode;
    const char* keys;       // typed into "ab|"
    const char* takenBack;  // the document after the application's change
    // Whether the field held that text while the word was typed: an application that tells its
    // text late is then told from one that took text back only once it has told every edit.
    bool heldMidWord;
    const char* next;  // "<" is Backspace
    const char* after;
  };
  const Case cases[] = {
      // The whole word, part of it, the last letter typed.
      {"replace", "vie", "ab|", false, "j", "abj|"},
      {"replace", "vie", "abv|", true, "j", "abvj|"},
      {"replace", "vie", "abvi|", true, "j", "abvij|"},
      {"replace", "vieet", "abviê|", true, "j ", "abviêj |"},
      {"preedit", "vie ", "abv|", false, "<j ", "abj |"},
      {"preedit", "vie ", "abvi|", false, "j ", "abvij |"},
      // The word and the space after it, or the word alone.
      {"replace", "vie ", "ab|", false, "<j", "aj|"},
      {"replace", "vie ", "ab |", false, "<j", "abj|"},
      {"preedit", "vie ", "ab|", false, "<j ", "aj |"},
      {"preedit", "vie ", "ab |", false, "<j ", "abj |"},
  };
  for (const auto& c : cases) {
    for (const bool late : {false, true}) {
      for (std::uint32_t seed = 1; seed <= (late ? 6u : 1u); ++seed) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.keys + " -> " + c.takenBack + (late ? ", late, seed " : "") +
                     (late ? std::to_string(seed) : ""));
        start("telex", c.mode);
        doc->setDocument("ab|");
        if (late) doc->reportLate(seed, 3, true);
        doc->typeKeys(c.keys);
        if (late && c.heldMidWord) doc->catchUp();
        doc->setDocument(c.takenBack);
        doc->typeKeys(c.next);
        doc->catchUp();
        EXPECT_EQ(doc->document(), c.after);
        expectFieldInStep();
      }
    }
  }
}

// Fcitx5 commits the client pre-edit on focus out before the input method hears of it; an
// application that tells its text inside that commit has told it with the word already.
TEST_F(ApplicationTimingTest, TheWordCommittedOnFocusOutIsCountedOnce) {
  for (const bool late : {false, true}) {
    SCOPED_TRACE(late ? "late" : "at once");
    start("telex", "preedit");
    if (late) doc->reportLate(3, 3, false);
    doc->typeKeys("Tooi vieetj");
    doc->focusOut();
    EXPECT_EQ(doc->document(), "Tôi việt|");
    if (!late) {
      EXPECT_EQ(doc->surrounding(), "Tôi việt|");
    }
    expectFieldInStep();
    doc->focusIn();
    doc->typeKeys(" nam ");
    doc->catchUp();
    EXPECT_EQ(doc->document(), "Tôi việt nam |");
    expectFieldInStep();
  }
}

}  // namespace
}  // namespace quorvix::platform::fcitx5::testing
