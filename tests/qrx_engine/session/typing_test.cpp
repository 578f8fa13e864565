// Whole-session behaviour: keys in, the document a host ends up with. Nothing the user typed may
// be lost or rewritten behind their back: off-mode macros, the committed tail, output forms,
// macro key case, last-word restore and re-opened words.
#include <qrx_engine/testing.h>

#include <gtest/gtest.h>
#include <qrx_unicode/unicode.h>

#include <string>

namespace {

using qrx_engine::ports::OutputMode;
using qrx_engine::session::Action;
using qrx_engine::testing::SessionHarness;

// Name, configuration, keys, and the final document in replace mode (nullptr: as in preedit mode)
// and in preedit mode (marked text included).
using DocCase = std::tuple<const char*, const char*, const char*, const char*, const char*>;

void run_cases(const std::vector<DocCase>& cases) {
  for (const auto& [name, config, keys, replace_doc, preedit_doc] : cases) {
    for (OutputMode mode : {OutputMode::Replace, OutputMode::Preedit}) {
      const char* expected = mode == OutputMode::Replace && replace_doc ? replace_doc : preedit_doc;
      if (!expected) continue;
      SessionHarness h(config, mode);
      h.type(keys);
      EXPECT_EQ(h.text(), expected) << name << (mode == OutputMode::Replace ? " [replace]" : " [preedit]");
      EXPECT_EQ(h.host().overdeleted(), 0U) << name;
    }
  }
}

TEST(SessionTyping, WordsInEachMethod) {
  run_cases({
      {"telex tone and mark", "{}", "vieetj ", nullptr, "việt "},
      {"telex two words", "{}", "tieengs Vieetj ", nullptr, "tiếng Việt "},
      {"telex w as horn", "{}", "nguwowif ", nullptr, "người "},
      {"telex dd", "{}", "ddi ", nullptr, "đi "},
      {"vni digits", R"({"input_method":"vni"})", "vie65t ", nullptr, "việt "},
      {"vni digit at word start is a separator", R"({"input_method":"vni"})", "1a ", nullptr, "1a "},
      {"viqr", R"({"input_method":"viqr"})", "vie^.t ", nullptr, "việt "},
      {"unknown method: telex", R"({"input_method":"dvorak"})", "as ", nullptr, "á "},
      {"enter ends the word", "{}", "vieetj{Enter}", nullptr, "việt\n"},
      {"spell check keeps keys of a non-word", "{}", "vieet ", nullptr, "vieet "},
      {"spell check off", R"({"spell_check":false})", "vieet ", nullptr, "viêt "},
      {"old tone style", R"({"tone_style":"old"})", "hoaf thuyr khoer ", nullptr, "hòa thủy khỏe "},
      {"nfd output", R"({"unicode_form":"NFD"})", "vieetj ", nullptr, "vie\xcc\xa3\xcc\x82t "},
      {"escape keeps the keys", "{}", "vieetj{Escape} ", nullptr, "vieetj "},
      {"word after a slash stays as typed", "{}", "a/vieetj ", nullptr, "a/vieetj "},
      {"a new line is no slash", "{}", "a/{Enter}vieetj ", nullptr, "a/\nviệt "},
      {"a new line after a full stop", "{}", "chaof.{Enter}Tieengs ", nullptr, "chào.\nTiếng "},
      {"25 keys: as typed", "{}", "aaaaaaaaaaaaaaaaaaaaaaaaas", nullptr, "aaaaaaaaaaaaaaaaaaaaaaaaas"},
  });
}

TEST(SessionTyping, BackspaceInsideAWord) {
  run_cases({
      {"one letter word", "{}", "a{Backspace}", nullptr, ""},
      {"removes the last shown letter", "{}", "vieetj{Backspace}", nullptr, "việ"},
      {"continue after backspace", "{}", "vieetj{Backspace}t ", nullptr, "việt "},
      {"rebuilt keys keep composing", "{}", "tieengs{Backspace}{Backspace}ng ", nullptr, "tiếng "},
      // việ is no finished syllable (iê needs a final), so the word ends as its keys.
      {"spell check at the word end after backspace", "{}", "vieet{Backspace}j ", nullptr, "vieej "},
  });
}

// A second press of a key takes back what its first press did; Backspace then brings it back,
// and a word ended or continued after it keeps what it showed.
TEST(SessionTyping, DoubledKeys) {
  const char* vni = R"({"input_method":"vni"})";
  run_cases({
      {"telex tone back", "{}", "ass{Backspace}", nullptr, "á"},
      {"the second press in capitals", "{}", "asS{Backspace}", nullptr, "á"},
      {"telex circumflex back", "{}", "aaa{Backspace}", nullptr, "â"},
      {"telex stroke back", "{}", "ddd{Backspace}", nullptr, "đ"},
      {"telex tone back in a longer word", "{}", "vieetss{Backspace}", nullptr, "viết"},
      {"vni mark back", vni, "a66{Backspace}", nullptr, "â"},
      {"vni tone back", vni, "a11{Backspace}", nullptr, "á"},
      {"a third press is plain", "{}", "asss{Backspace}", nullptr, "as"},
      {"restored word", "{}", "ass {Backspace}{Backspace}", nullptr, "á"},
      {"vni doubled zero of a kept word", vni, "x100{Backspace}", nullptr, "x10"},
      {"word end keeps what was shown", "{}", "ass ", nullptr, "as "},
      {"vni word end keeps the collapsed digit", vni, "a66 ", nullptr, "a6 "},
      {"vni collapsed tone digit after a final", vni, "an11 ", nullptr, "an1 "},
      {"vni typing on keeps the collapsed digit", vni, "a66x ", nullptr, "a6x "},
      {"vni digits that took nothing back stay", vni, "x100 ", nullptr, "x100 "},
      {"vni first digit did nothing", vni, "Win11 ", nullptr, "Win11 "},
      {"vni non-tone digits", vni, "x99 ", nullptr, "x99 "},
  });
}

TEST(SessionTyping, MacrosAndTheirCase) {
  const char* xin = R"({"macros":{"xin chao":"Xin chào!"}})";
  const char* ko = R"({"macros":{"ko":"không"}})";
  run_cases({
      {"word macro", ko, "ko ", nullptr, "không "},
      {"capitalised", ko, "Ko ", nullptr, "Không "},
      {"all capitals", ko, "KO ", nullptr, "KHÔNG "},
      {"single capital letter is not all caps", R"({"macros":{"k":"không"}})", "K ", nullptr, "Không "},
      {"macros off", R"({"macros":{"ko":"không"},"macro_enabled":false})", "ko ", nullptr, "ko "},
      {"macro undo in replace mode", ko, "ko {Backspace}", "ko ", nullptr},
      {"phrase, replace only", xin, "xin chao ", "Xin chào! ", "xin chao "},
      {"phrase at a token start", xin, "axin chao ", "axin chao ", nullptr},
  });
}

TEST(SessionTyping, AutomaticCapitals) {
  const char* on = R"({"auto_capitalize":true})";
  run_cases({
      {"after full stop and space", on, "a. vieetj ", nullptr, "a. Việt "},
      {"closing bracket between", on, "(a.) vieetj ", nullptr, "(a.) Việt "},
      {"letter right after a full stop", on, "a.b ", nullptr, "a.b "},
      {"after enter", on, "a{Enter}b ", nullptr, "a\nB "},
      {"off by default", "{}", "a. b ", nullptr, "a. b "},
      {"other separator cancels", on, "a. ,b ", nullptr, "a. ,b "},
  });
}

TEST(SessionTyping, LastWordRestore) {
  run_cases({
      // The rules end v i e e t as the literal "vieet" (a stop final needs a sharp or heavy
      // tone); Backspace then re-opens that word and j still turns it into việt.
      {"restored literal word stays literal", "{}", "vieet {Backspace}j ", nullptr, "vieetj "},
      {"restore and continue", R"({"spell_check":false})", "vieet {Backspace}j ", nullptr, "việt "},
      {"restore off", R"({"restore_after_space":false,"edit_previous_word":false})", "vieetj {Backspace}s ",
       nullptr, "việts "},
      {"restored word takes a new tone", "{}", "vieetj {Backspace}s ", nullptr, "viết "},
      {"re-opened from the text", R"({"restore_after_space":false})", "vieetj {Backspace}s ", nullptr,
       "viết "},
      {"restored one-letter word removed", "{}", "as {Backspace}{Backspace}b ", nullptr, "b "},
  });
}

TEST(SessionTyping, SmartCaps) {
  const char* on = R"({"smart_caps":true})";
  run_cases({
      {"DDa composes", on, "DDa ", nullptr, "Đa "},
      {"HN stays", on, "HNs ", nullptr, "HNs "},
      {"off composes", "{}", "HOAF ", nullptr, "HOÀ "},
  });
}

TEST(SessionActions, ReplaceModePassesUnchangedLetters) {
  SessionHarness h("{}", OutputMode::Replace);
  EXPECT_EQ(h.type("v"), Action::pass());
  EXPECT_EQ(h.type("i"), Action::pass());
  EXPECT_EQ(h.type("e"), Action::pass());
  EXPECT_EQ(h.type("e"), Action::replace("ê", 1, false));
  EXPECT_EQ(h.type("t"), Action::pass());
  EXPECT_EQ(h.type("j"), Action::replace("ệt", 2, false));
  EXPECT_EQ(h.type(" "), Action::pass());
  EXPECT_EQ(h.text(), "việt ");
}

TEST(SessionActions, PreeditShowsAndCommits) {
  SessionHarness h("{}", OutputMode::Preedit);
  EXPECT_EQ(h.type("vieet"), Action::preedit("viêt", 4));
  EXPECT_EQ(h.type("j"), Action::preedit("việt", 4));
  EXPECT_EQ(h.type(" "), Action::commit("việt ", false));
  EXPECT_EQ(h.type("vieetj{Escape}"), Action::commit("vieetj", false));
  EXPECT_EQ(h.type(" ab{Enter}"), Action::commit("ab", true));
}

TEST(SessionActions, ModifierCombinationsAndNavigation) {
  SessionHarness pre("{}", OutputMode::Preedit);
  pre.type("vie");
  EXPECT_EQ(pre.type("{^a}"), Action::commit("vie", true));
  EXPECT_EQ(pre.session().display(), "");

  SessionHarness rep("{}", OutputMode::Replace);
  rep.type("vie");
  EXPECT_EQ(rep.type("{^a}"), Action::pass());
  EXPECT_EQ(rep.session().display(), "");
  EXPECT_EQ(rep.type("{Shift}"), Action::pass());
}

TEST(SessionActions, MacroUndoAndItsRecord) {
  SessionHarness h(R"({"macros":{"ko":"không"}})", OutputMode::Replace);
  h.type("ko");
  EXPECT_EQ(h.type(" "), Action::replace("hông", 1, true));
  // A modifier alone keeps the record; Backspace then undoes the expansion.
  EXPECT_EQ(h.type("{Shift}"), Action::pass());
  EXPECT_EQ(h.type("{Backspace}"), Action::replace("ko ", 6, false));
  EXPECT_EQ(h.text(), "ko ");

  // In preedit mode the expansion is committed with its separator and nothing is undone.
  SessionHarness p(R"({"macros":{"ko":"không"}})", OutputMode::Preedit);
  EXPECT_EQ(p.type("ko "), Action::commit("không ", false));
  EXPECT_EQ(p.type("{Backspace}"), Action::pass());
}

TEST(SessionActions, BackspaceInAOneLetterWord) {
  SessionHarness h("{}", OutputMode::Replace);
  h.type("a");
  EXPECT_EQ(h.type("{Backspace}"), Action::replace("", 1, false));
  SessionHarness p("{}", OutputMode::Preedit);
  p.type("a");
  EXPECT_EQ(p.type("{Backspace}"), Action::preedit("", 0));
}

TEST(SessionState, ReloadTakesTheNewUnicodeForm) {
  SessionHarness h("{}", OutputMode::Preedit);
  h.type("vieetj ");
  auto& saved = *h.environment().saved_config;
  saved.unicode_form = qrx_engine::ports::UnicodeForm::NFD;
  h.session().reload_config();
  h.type("vieetj");
  EXPECT_EQ(h.session().display(), "vie\xcc\xa3\xcc\x82t");
}

TEST(SessionState, CursorMoveEndsPreviousWordEditing) {
  SessionHarness h(R"({"restore_after_space":false})", OutputMode::Replace);
  h.host().set_text("việt");
  h.session().cursor_moved();
  h.type("s ");
  EXPECT_EQ(h.text(), "việts ");
}

TEST(SessionState, ProfileOverridesMethodAndMutatorsCommit) {
  SessionHarness h(R"({"app_profiles":{"editor":{"input_method":"vni"}}})", OutputMode::Preedit,
                   "com.example.editor");
  EXPECT_EQ(&h.session().im(), &qrx_core::rules::VNI);
  h.type("a1");
  EXPECT_EQ(h.session().set_output_mode(OutputMode::Replace), Action::commit("á", false));
  EXPECT_EQ(h.session().focus_changed(std::nullopt), Action::pass());
  EXPECT_EQ(&h.session().im(), &qrx_core::rules::TELEX);
}

TEST(SessionState, FieldKinds) {
  SessionHarness h("{}", OutputMode::Replace);
  h.session().set_field_kind(2);
  EXPECT_EQ(h.type("a"), Action::pass());
  EXPECT_EQ(h.type("s"), Action::pass());
  EXPECT_EQ(h.session().raw_string(), "");
  SessionHarness restricted(R"({"macros":{"ko":"không"},"w_as_u":true})", OutputMode::Replace);
  restricted.session().set_field_kind(4);
  EXPECT_FALSE(restricted.session().opt().w_as_u);
  restricted.type("ko ");
  EXPECT_EQ(restricted.text(), "ko ");
}

TEST(SessionState, KeyParsing) {
  using qrx_engine::session::Key;
  const std::tuple<const char*, Key> cases[] = {
      {"a", Key::character(U'a')},
      {"Up", Key::named(Key::Kind::Up)},
      {"up", Key::named(Key::Kind::Other)},
      {"", Key::named(Key::Kind::Other)},
      {"Option", Key::named(Key::Kind::Modifier)},
      {"ư", Key::character(U'ư')},
      {" ", Key::character(U' ')},
      {"PageDown", Key::named(Key::Kind::PageDown)},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(Key::parse(name), expected) << name;
}

TEST(SessionState, ExcludedAppsAndAppModes) {
  SessionHarness excluded(R"({"excluded_apps":["com.example.Editor"],"app_modes":{"editor":true}})",
                          OutputMode::Replace, "com.example.Editor");
  EXPECT_FALSE(excluded.session().enabled());
  EXPECT_EQ(excluded.type("as"), Action::pass());
  EXPECT_EQ(excluded.text(), "as");
}

TEST(SessionState, ToggleSavesThePerApplicationChoice) {
  SessionHarness h("{}", OutputMode::Replace, "com.example.Notes");
  ASSERT_TRUE(h.session().enabled());
  h.session().toggle_vietnamese();
  EXPECT_FALSE(h.session().enabled());
  EXPECT_EQ(*h.environment().saves, 1);
  ASSERT_EQ(h.environment().saved_config->app_modes.size(), 1U);
  EXPECT_FALSE(h.environment().saved_config->app_modes.begin()->second);

  SessionHarness no_app("{}", OutputMode::Replace);
  no_app.session().toggle_vietnamese();
  EXPECT_EQ(*no_app.environment().saves, 0);
}

constexpr const char* kOffModeKo =
    R"({"default_vietnamese":false,"macro_in_off_mode":true,"macros":{"ko":"không"}})";

TEST(OffModeMacros, OnlyASeparatorOrEnterExpands) {
  const std::tuple<const char*, const char*> cases[] = {
      {"ko ", "không "},    {"ko{Enter}", "không\n"}, {"ko{Backspace}", "k"},
      {"ko{Escape}", "ko"}, {"ko{Left} ", "k o"},     {"kko ", "kko "},
  };
  for (const auto& [keys, doc] : cases) {
    SessionHarness h(kOffModeKo, OutputMode::Replace);
    ASSERT_FALSE(h.session().enabled());
    h.type(keys);
    EXPECT_EQ(h.text(), doc) << keys;
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
}

// The field may hold text the session never committed: a phrase macro that would start the
// session's remembered text still needs a token start in the field. (Phrase macros replace text,
// so only replace mode has them.)
TEST(CommittedTail, PhraseMacrosNeedATokenStartInTheFieldsText) {
  struct Case {
    const char* before;
    const char* config;
    const char* expected;
  };
  const char* phrase = R"({"macros":{"xin chao":"Xin chào"}})";
  const char* no_reopen = R"({"macros":{"xin chao":"Xin chào"},"edit_previous_word":false})";
  const Case cases[] = {
      {"ab", phrase, "abxin chao "},
      {"ab", no_reopen, "abxin chao "},
      {"a.", no_reopen, "a.xin chao "},
      {"ab ", no_reopen, "ab Xin chào "},
      {"", no_reopen, "Xin chào "},
      {"(", no_reopen, "(Xin chào "},
  };
  for (const auto& c : cases) {
    SessionHarness h(c.config, OutputMode::Replace);
    h.host().set_text(c.before);
    h.type("xin chao ");
    EXPECT_EQ(h.text(), c.expected) << "after \"" << c.before << "\", " << c.config;
  }
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

// Every replacement rewrites text the session wrote, and names it: the host's text before the
// caret ends with all of it, and the deletion takes only its end. Any other answer names none.
TEST(ReplacedText, IsTheSessionsOwnTextBeforeTheCaret) {
  const char* macros = R"({"macros":{"xin chao":"Xin chào","ko":"không"}})";
  const char* off = R"({"default_vietnamese":false,"macro_in_off_mode":true,"macros":{"ko":"không"}})";
  const std::tuple<const char*, const char*, OutputMode, const char*, const char*, const char*> cases[] = {
      // Name, configuration, mode, text before the caret, keys, the text the last replacement named.
      {"a tone on the word", "{}", OutputMode::Replace, "", "vieetj", "viêt"},
      {"backspace in the word", "{}", OutputMode::Replace, "", "vieetj{Backspace}", "việt"},
      {"a phrase macro's committed words", macros, OutputMode::Replace, "ab ", "xin chao ", "xin chao"},
      {"a word macro", macros, OutputMode::Replace, "", "ko ", "ko"},
      {"a macro taken back", macros, OutputMode::Replace, "", "ko {Backspace}", "không "},
      {"a macro with Vietnamese off", off, OutputMode::Replace, "ab ", "ko ", "ko"},
      {"a re-opened word", "{}", OutputMode::Replace, "xin vie", "j", "vie"},
      {"a word restored in pre-edit mode", "{}", OutputMode::Preedit, "", "tieeng {Backspace}s", "tiêng"},
  };
  for (const auto& [name, config, mode, start, keys, last] : cases) {
    SessionHarness h(config, mode);
    h.host().set_text(start);
    std::size_t replacements = 0;
    std::string last_replaced;
    for (const auto& event : qrx_engine::testing::parse_keys(keys)) {
      const Action action = h.press(event);
      const std::string& replaced = h.session().replaced_text();
      if (const auto* replace = action.as<Action::Replace>()) {
        ++replacements;
        EXPECT_TRUE(h.host().before_caret().ends_with(replaced)) << name << ": " << replaced;
        EXPECT_LE(replace->delete_count, qrx_unicode::char_count(replaced)) << name;
        last_replaced = replaced;
      } else {
        EXPECT_EQ(replaced, "") << name;
      }
      h.host().apply(action, event);
    }
    EXPECT_GT(replacements, 0U) << name;
    EXPECT_EQ(last_replaced, last) << name;
  }
}

}  // namespace
