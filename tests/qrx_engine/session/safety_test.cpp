// Nothing the user typed may be lost or rewritten behind their back: off-mode macros, the
// committed tail, output forms, macro key case, last-word restore and re-opened words.
#include <qrx_engine/testing.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using qrx_engine::ports::OutputMode;
using qrx_engine::session::Action;
using qrx_engine::testing::SessionHarness;

constexpr const char* kOffModeKo =
    R"({"default_vietnamese":false,"macro_in_off_mode":true,"macros":{"ko":"không"}})";

TEST(OffModeMacros, OnlyASeparatorOrEnterExpands) {
  struct Case {
    const char* keys;
    const char* doc;
  };
  const Case cases[] = {
      {"ko ", "không "},    {"ko{Enter}", "không\n"}, {"ko{Backspace}", "k"},
      {"ko{Escape}", "ko"}, {"ko{Left} ", "k o"},     {"kko ", "kko "},
  };
  for (const Case& c : cases) {
    SessionHarness h(kOffModeKo, OutputMode::Replace);
    ASSERT_FALSE(h.session().enabled());
    h.type(c.keys);
    EXPECT_EQ(h.text(), c.doc) << c.keys;
  }
  SessionHarness first(kOffModeKo, OutputMode::Replace);
  EXPECT_EQ(first.type("k"), Action::pass());
  EXPECT_EQ(first.type("o"), Action::pass());
  EXPECT_EQ(first.type(" "), Action::replace("không", 2, true));

  SessionHarness pre(kOffModeKo, OutputMode::Preedit);
  pre.type("ko");
  EXPECT_EQ(pre.type(" "), Action::pass());
}

TEST(OffModeMacros, AWordLongerThanTheBufferNeverExpands) {
  const std::string key(24, 'a');
  const std::string config =
      R"({"default_vietnamese":false,"macro_in_off_mode":true,"macros":{")" + key + R"(":"X"}})";
  SessionHarness exact(config, OutputMode::Replace);
  exact.type(key + " ");
  EXPECT_EQ(exact.text(), "X ");

  SessionHarness longer(config, OutputMode::Replace);
  longer.type(key + "a ");
  EXPECT_EQ(longer.text(), key + "a ");
}

TEST(CommittedTail, CaretMovesAndShortcutsForgetIt) {
  const char* config = R"({"macros":{"xin chao":"Xin chào"}})";
  for (const char* moves : {"{Left}{Right}", "{Home}{End}", "{~v}", "{~z}"}) {
    SessionHarness h(config, OutputMode::Replace);
    h.type(std::string("xin ") + moves + "chao ");
    EXPECT_EQ(h.text().find("Xin"), std::string::npos) << moves << ": " << h.text();
  }
  SessionHarness h(config, OutputMode::Replace);
  h.type("xin chao ");
  EXPECT_EQ(h.text(), "Xin chào ");
}

TEST(CommittedTail, PhraseMacrosStillMatchAfterLongText) {
  SessionHarness h(R"({"macros":{"xin chao":"Xin chào"}})", OutputMode::Replace);
  std::string words;
  for (int i = 0; i < 60; ++i) words += "tieengs ";
  h.type(words + "xin chao ");
  EXPECT_EQ(h.text().substr(h.text().size() - 10), "Xin chào ");
  EXPECT_EQ(h.host().overdeleted(), 0U);
}

TEST(OutputForm, MacrosFollowTheConfiguredForm) {
  const std::string nfd_chao = "cha\xcc\x80o";  // a + combining grave
  SessionHarness phrase(R"({"unicode_form":"NFD","macros":{"xin chao":"Xin chào"}})", OutputMode::Replace);
  phrase.type("xin chao ");
  EXPECT_EQ(phrase.text(), "Xin " + nfd_chao + " ");

  SessionHarness off(
      R"({"unicode_form":"NFD","default_vietnamese":false,"macro_in_off_mode":true,"macros":{"c":"chào"}})",
      OutputMode::Replace);
  off.type("c ");
  EXPECT_EQ(off.text(), nfd_chao + " ");
}

TEST(MacroKeys, OnlyLowerCaseKeysMatch) {
  for (int round = 0; round < 4; ++round) {
    SessionHarness h(R"({"macros":{"KO":"wrong","ko":"không","Ko":"wrong too"}})", OutputMode::Replace);
    h.type("ko ");
    EXPECT_EQ(h.text(), "không ");
  }
  SessionHarness phrase(R"({"macros":{"XIN CHAO":"wrong","xin chao":"Xin chào"}})", OutputMode::Replace);
  phrase.type("xin chao ");
  EXPECT_EQ(phrase.text(), "Xin chào ");
}

TEST(LastWordRestore, OnlyTheWordThatIsReallyThere) {
  // The caret moved without the host saying so: the text before it is something else.
  SessionHarness moved("{}", OutputMode::Replace);
  moved.type("vieetj ");
  moved.host().set_text("abc ");
  moved.type("{Backspace}s");
  EXPECT_EQ(moved.text(), "abcs");

  // When nothing is known about the text, the word is restored as before.
  SessionHarness unknown("{}", OutputMode::Replace);
  *unknown.environment().surrounding_known = false;
  unknown.type("vieetj {Backspace}s ");
  EXPECT_EQ(unknown.text(), "viết ");

  SessionHarness there("{}", OutputMode::Replace);
  there.type("vieetj {Backspace}s ");
  EXPECT_EQ(there.text(), "viết ");
}

TEST(MacroUndo, OnlyWhenTheExpansionIsBeforeTheCaret) {
  SessionHarness h(R"({"macros":{"ko":"không"}})", OutputMode::Replace);
  h.type("ko ");
  h.host().set_text("something else ");
  EXPECT_EQ(h.type("{Backspace}"), Action::pass());
  EXPECT_EQ(h.text(), "something else");
}

TEST(ReopenedWords, AFailedWordKeepsTheTextInTheDocument) {
  // việt is re-opened from the text before the caret; x makes it fail the spelling check, and
  // later keys must not turn the word into its rebuilt keys.
  SessionHarness h(R"({"restore_after_space":false})", OutputMode::Replace);
  h.host().set_text("việt");
  h.type("xy ");
  EXPECT_EQ(h.text(), "việtxy ");
  EXPECT_EQ(h.host().overdeleted(), 0U);
}

TEST(WordEnd, CapitalisationIsNeverPassedAsThePlainKey) {
  SessionHarness h(R"({"auto_capitalize":true})", OutputMode::Replace);
  h.type("a. ");
  EXPECT_EQ(h.type("b"), Action::replace("B", 0, false));
  EXPECT_EQ(h.text(), "a. B");
}

}  // namespace
