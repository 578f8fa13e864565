// The C++ side of the interface: action records, counts in the host's units, the host state
// behind the ports, copy-on-write word lists and fault containment.
#include "session_handle.h"

#include <qrx_ffi/host.h>

#include <gtest/gtest.h>

namespace {

using namespace qrx_ffi_test;
using qrx_engine::session::Action;
using quorvix::AccessConflict;
using quorvix::to_c;

TEST(ToC, CountsInUtf16Units) {
  struct Case {
    const char* name;
    Action action;
    std::string before;
    std::uint32_t kind, delete_units, cursor_units;
  };
  const Case cases[] = {
      {"preedit caret after a pair", Action::preedit("a" + kGrin + "b", 2), "", 1, 0, 3},
      {"preedit caret past the end", Action::preedit("a" + kGrin + "b", 9), "", 1, 0, 4},
      {"replace over a pair", Action::replace("y", 2, false), "x" + kGrin, 2, 3, 0},
      // Characters the text does not reach still count: a smaller deletion would leave old
      // text in the host's field.
      {"deletion beyond the known text", Action::replace("y", 5, true), "ab", 2, 5, 0},
      {"deletion with nothing known", Action::replace("y", 2, true), "", 2, 2, 0},
      // U+0000 never reaches the host, so it takes no room there.
      {"preedit caret after a removed NUL", Action::preedit(std::string("a\0bc", 4), 3), "", 1, 0, 2},
      {"deletion over a removed NUL", Action::replace("", 2, false), std::string("x\0y", 3), 2, 1, 0},
      {"commit", Action::commit("xin", true), "abc", 3, 0, 0},
  };
  for (const Case& c : cases) {
    auto session = make_session();
    const QrxAction record = to_c(*session, c.action, c.before);
    EXPECT_EQ(record.kind, c.kind) << c.name;
    EXPECT_EQ(record.delete_before_utf16, c.delete_units) << c.name;
    EXPECT_EQ(record.cursor_utf16, c.cursor_units) << c.name;
    ASSERT_NE(record.insert, nullptr) << c.name;
  }
}

TEST(ToC, TextsLoseNulAndStayNonNullWhenEmpty) {
  auto session = make_session();
  const QrxAction replace = to_c(*session, Action::replace(std::string("a\0b", 3), 1, true), "x");
  EXPECT_STREQ(replace.insert, "ab");
  EXPECT_TRUE(replace.pass_key);

  const QrxAction empty = to_c(*session, Action::commit("", false), "");
  ASSERT_NE(empty.insert, nullptr);
  EXPECT_STREQ(empty.insert, "");
  EXPECT_FALSE(empty.pass_key);
}

TEST(BeforeDisplay, ExtendsTheDisplayBySurroundingTextThatEndsWithIt) {
  struct Case {
    const char *name, *keys;
    const char* surrounding;  // nullptr: never set
    const char* expected;
  };
  const Case cases[] = {
      {"nothing known", "", nullptr, ""},
      {"surrounding alone", "", "xin ", "xin "},
      {"display alone", "cha", nullptr, "cha"},
      {"surrounding ending with the display", "cha", "xin cha", "xin cha"},
      {"surrounding that contradicts the display", "cha", "xin ch", "cha"},
  };
  for (const Case& c : cases) {
    auto session = make_session();
    type_keys(session.get(), c.keys);
    if (c.surrounding) qrx_set_surrounding_text(session.get(), c.surrounding);
    EXPECT_EQ(quorvix::before_display(*session, session->session.shown()), c.expected) << c.name;
  }
}

TEST(SharedCell, ConflictingAccessThrowsInsteadOfBlocking) {
  quorvix::SharedCell cell(quorvix::Shared{});
  {
    auto first = cell.read();
    auto second = cell.read();
    EXPECT_THROW(cell.write(), AccessConflict);
  }
  {
    auto writer = cell.write();
    EXPECT_THROW(cell.read(), AccessConflict);
    EXPECT_THROW(cell.write(), AccessConflict);
  }
  // Every guard closed again: both kinds of access work.
  EXPECT_NO_THROW(cell.write());
  EXPECT_NO_THROW(cell.read());
}

TEST(SharedPorts, BeforeCursorCountsCharactersNotBytes) {
  auto cell = std::make_shared<quorvix::SharedCell>(quorvix::Shared{});
  const quorvix::SharedPorts ports(cell);
  EXPECT_EQ(ports.before_cursor(3), std::nullopt);
  const std::string text = "T\xC3\xB4i " + kGrin + "ab";
  cell->write()->surrounding = text;
  EXPECT_EQ(ports.before_cursor(3), kGrin + "ab");
  EXPECT_EQ(ports.before_cursor(0), "");
  EXPECT_EQ(ports.before_cursor(50), text);
}

const qrx_engine::testing::WordListDictionary& dictionary_of(QrxSession& session) {
  return *session.shared->read()->dictionary;
}

TEST(Dictionary, EachSessionCopiesBeforeItsFirstChange) {
  auto a = make_session();
  const auto& process = quorvix::shared_dictionary::dictionary();
  EXPECT_EQ(&dictionary_of(*a), process.get());

  qrx_add_dictionary_words(a.get(), "  ", false);
  EXPECT_EQ(&dictionary_of(*a), process.get()) << "nothing to add, nothing copied";

  qrx_add_dictionary_words(a.get(), " Zyxwv\tQUUX ", false);
  const auto* copy = &dictionary_of(*a);
  EXPECT_NE(copy, process.get());
  EXPECT_TRUE(copy->is_english("zyxwv"));
  EXPECT_TRUE(copy->is_english("quux"));
  EXPECT_FALSE(copy->is_english("Zyxwv"));
  EXPECT_FALSE(process->is_english("zyxwv"));

  qrx_add_dictionary_words(a.get(), "\xC4\x90\xC3\x94NG", true);  // ĐÔNG
  EXPECT_EQ(&dictionary_of(*a), copy) << "the private copy is changed in place";
  EXPECT_TRUE(copy->is_vietnamese("\xC4\x91\xC3\xB4ng"));
}

TEST(Dictionary, LoadingReplacesOnlyTheGivenLists) {
  auto a = make_session();
  const auto& process = quorvix::shared_dictionary::dictionary();
  const std::size_t vietnamese_before = dictionary_of(*a).vietnamese().size();
  ASSERT_GT(vietnamese_before, 0U);

  qrx_load_dictionary(a.get(), nullptr, nullptr);
  EXPECT_EQ(&dictionary_of(*a), process.get());

  qrx_load_dictionary(a.get(), "Hello  WORLD\n", nullptr);
  const auto& dict = dictionary_of(*a);
  EXPECT_EQ(dict.english(), (qrx_engine::testing::WordSet{"hello", "world"}));
  EXPECT_EQ(dict.vietnamese().size(), vietnamese_before);
  EXPECT_GT(process->english().size(), 2U) << "other sessions keep the built-in lists";

  qrx_load_dictionary(a.get(), nullptr, " \n ");
  EXPECT_TRUE(dictionary_of(*a).vietnamese().empty());
  EXPECT_EQ(dictionary_of(*a).english().size(), 2U);
}

TEST(Faults, AreContainedAndResetTheComposition) {
  auto session = make_session(nullptr, kPreedit);
  type_keys(session.get(), "vieet");
  ASSERT_STREQ(qrx_display_text(session.get()), "vi\xC3\xAAt");
  {
    // A write left open below the boundary: the next key's access to the host state conflicts.
    auto open = session->shared->write();
    EXPECT_TRUE(is_all_zero(qrx_process_key(session.get(), "j", false, false, false)));
    EXPECT_EQ(qrx_config_version(session.get()), 0U);
  }
  EXPECT_STREQ(qrx_display_text(session.get()), "") << "the composition is dropped";

  {
    // A function that writes while someone reads: refused, and its own access is not left open.
    auto open = session->shared->read();
    qrx_set_surrounding_text(session.get(), "abc");
    EXPECT_EQ(open->surrounding, std::nullopt);
  }
  qrx_set_surrounding_text(session.get(), "abc");
  EXPECT_EQ(session->shared->read()->surrounding, "abc");

  // The handle keeps working with its configuration and mode.
  qrx_set_surrounding_text(session.get(), nullptr);
  const QrxAction next = type_keys(session.get(), "as");
  EXPECT_EQ(next.kind, 1U);
  EXPECT_STREQ(next.insert, "\xC3\xA1");
}

}  // namespace
