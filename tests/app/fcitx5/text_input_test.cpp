// The text field over an input context, against a document that, like many applications, resends
// its text late.
#include <fcitx/inputpanel.h>

#include "fcitx5_test.h"
#include "platform/fcitx5/text_input.h"
#include "quorvix_app/text_client.h"

namespace quorvix::platform::fcitx5::testing {
namespace {

using platform::kNotFound;
using platform::Utf16Range;
constexpr Utf16Range kNoRange{kNotFound, 0};

class TextInputTest : public DocumentTest {
 protected:
  // A fresh context for each case, so that nothing of the previous one is left.
  void open(const std::string& document, Caps caps) {
    renew();
    doc->resendsLate = true;
    doc->setCapabilities(caps);
    doc->setDocument(document);
    field = std::make_shared<FcitxTextInput>(*doc);
  }
  std::shared_ptr<FcitxTextInput> field;
};

TEST_F(TextInputTest, ReadsTheSurroundingTextInUtf16Units) {
  struct Case {
    const char* document;
    Caps caps;
    Utf16Range range;
    Utf16Range selected;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {"a😀b|c", kFull, {0, 5}, {4, 0}, "a😀bc"},
      {"a😀b|c", kFull, {1, 2}, {4, 0}, "😀"},
      // Half a surrogate pair reads as U+FFFD, so lengths stay what was asked for.
      {"a😀b|c", kFull, {1, 1}, {4, 0}, "\uFFFD"},
      {"a😀b|c", kFull, {2, 2}, {4, 0}, "\uFFFDb"},
      {"a😀b|c", kFull, {0, 2}, {4, 0}, "a\uFFFD"},
      // Ranges are cut at the ends of the text.
      {"a😀b|c", kFull, {3, 10}, {4, 0}, "bc"},
      {"a😀b|c", kFull, {9, 2}, {4, 0}, ""},
      {"a😀b|c", kFull, {-3, 4}, {4, 0}, "a😀b"},
      {"a😀b|c", kFull, {2, 0}, {4, 0}, ""},
      // A selection is reported from its start, whichever end the caret is at.
      {"x^😀ệ|y", kFull, {1, 3}, {1, 3}, "😀ệ"},
      {"x|😀ệ^y", kFull, {0, 1}, {1, 3}, "x"},
      {"|", kFull, {0, 1}, {0, 0}, ""},
      // A field that does not tell.
      {"ab|", kPreeditOnly, {0, 1}, kNoRange, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.document);
    open(c.document, c.caps);
    EXPECT_EQ(field->selectedRange(), c.selected);
    EXPECT_EQ(field->substring(c.range), c.text);
  }
}

// Long texts are walked in blocks to the caret: wherever the caret falls, around and across the
// blocks' ends, in ASCII, in three-byte letters and among surrogate pairs, the caret's place in
// UTF-16 units and the characters beside it come out as counted one by one.
TEST_F(TextInputTest, FindsTheCaretAnywhereInALongText) {
  const std::vector<std::u32string> pieces{U"a", U"\u1EA3", U"\U0001F600", U" "};
  std::u32string text;
  for (int i = 0; i < 1100; ++i) text += pieces[static_cast<std::size_t>(i * 7 % 11 % 4)];
  for (const std::size_t caret : {239u, 240u, 241u, 479u, 480u, 700u, 960u, 1099u}) {
    SCOPED_TRACE(caret);
    std::int64_t units = 0;
    for (std::size_t i = 0; i < caret; ++i) units += text[i] > 0xFFFF ? 2 : 1;
    open(qrx_unicode::encode_utf8(text.substr(0, caret)) + "|" + qrx_unicode::encode_utf8(text.substr(caret)), kFull);
    EXPECT_EQ(field->selectedRange(), (Utf16Range{units, 0}));
    const std::int64_t before = text[caret - 1] > 0xFFFF ? 2 : 1;
    EXPECT_EQ(field->substring({units - before, before}), qrx_unicode::encode_utf8(text.substr(caret - 1, 1)));
    const std::int64_t after = text[caret] > 0xFFFF ? 2 : 1;
    EXPECT_EQ(field->substring({units, after}), qrx_unicode::encode_utf8(text.substr(caret, 1)));
  }
}

// The one read a key makes gives what the single reads give on the same document.
TEST_F(TextInputTest, ReadsAroundTheSelectionAsTheSingleReadsDo) {
  // Longer than what the field keeps before the caret: the read reaches back into the report.
  std::string longText;
  for (int i = 0; i < 40; ++i) longText += "ả😀";
  const auto longDocument = longText + "|x";
  const struct {
    const char* document;
    Caps caps;
    std::int64_t maxBefore;
  } cases[] = {
      {"xin chào|", kFull, 25},   {"|xin chào", kFull, 25},  {"xin| chào", kFull, 25},
      {"a😀b|c", kFull, 25},       {"a😀b|c", kFull, 2},       {"a😀b|c", kFull, 3},
      {"ab|😀c", kFull, 25},       {"x^😀ệ|y", kFull, 25},      {"x|😀ệ^y", kFull, 1},
      {"0123456789|", kFull, 4},  {"|", kFull, 25},           {"ab^cd|", kFull, 0},
      {"ab|", kPreeditOnly, 25},  {longDocument.c_str(), kFull, 100}, {longDocument.c_str(), kFull, 110},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.document) + " " + std::to_string(c.maxBefore));
    open(c.document, c.caps);
    platform::TextAround around;
    around.text = "left from an earlier read";
    field->readAround(c.maxBefore, around);
    const auto selection = field->selectedRange();
    EXPECT_EQ(around.selection, selection);
    if (selection.location == kNotFound) {
      EXPECT_EQ(around.text, "");
      continue;
    }
    const auto start = std::max<std::int64_t>(selection.location - c.maxBefore, 0);
    const auto before = field->substring({start, selection.location - start}).value();
    const auto selected = field->substring(selection).value();
    const auto after = field->substring({selection.location + selection.length, 1}).value();
    EXPECT_EQ(around.before(), before);
    EXPECT_EQ(around.selected(), selected);
    EXPECT_EQ(around.text, before + selected + after);
    EXPECT_EQ(around.beforeUnits, app::utf16Length(before));
    EXPECT_EQ(around.selectedUnits, app::utf16Length(selected));
  }
}

TEST_F(TextInputTest, AContextThatIsGoneReadsAsNothingAndTakesNothing) {
  open("ab|", kFull);
  delete doc;
  doc = nullptr;
  EXPECT_EQ(field->selectedRange(), kNoRange);
  EXPECT_EQ(field->substring({0, 1}), std::nullopt);
  field->setMarkedText("x", {1, 0}, kNoRange);
  field->insertText("x", {0, 1});
  field->clearMarkedText();
}

struct Edit {
  enum Kind { mark, insert, focusOut } kind;
  std::string text = "";
  Utf16Range range = kNoRange;  // the replacement range
};
constexpr auto kMark = Edit::mark, kInsert = Edit::insert, kFocusOut = Edit::focusOut;

TEST_F(TextInputTest, EditsLikeTheApplicationExpectsAndKeepsTheSurroundingTextInStep) {
  struct Case {
    const char* document;
    Caps caps;
    std::vector<Edit> edits;
    const char* after;
    const char* preedit;
    const char* panelPreedit;
  };
  const Case cases[] = {
      // Ranges before the caret, cut at the text's ends and never inside a surrogate pair.
      {"a😀|", kFull, {{kInsert, "b", {1, 2}}}, "ab|", "", ""},
      {"a😀|", kFull, {{kInsert, "b", {2, 1}}}, "ab|", "", ""},
      {"ab|", kFull, {{kInsert, "x", {1, 5}}}, "ax|", "", ""},
      // Deletions count from the caret, at either end of a selection.
      {"ab^cd|", kFull, {{kInsert, "x", {1, 1}}}, "ax|", "", ""},
      {"ab|cd^", kFull, {{kInsert, "x", {1, 1}}}, "ax|", "", ""},
      // Without surrounding text no range can be placed.
      {"ab|", kPreeditOnly, {{kInsert, "x", {0, 2}}}, "abx|", "", ""},
      {"ab|", kFull, {{kMark, "x", {1, 1}}}, "a|", "x", ""},
      {"ab|", kFull, {{kMark, "x"}, {kMark, ""}}, "ab|", "", ""},
      {"a|", kSurroundingOnly, {{kMark, "viet"}, {kInsert, "việt"}}, "aviệt|", "", ""},
      // Fcitx5 commits the client pre-edit, not the panel's, on focus out.
      {"a|", kFull, {{kMark, "viet"}, {kFocusOut}, {kInsert, "việt"}}, "aviệt|", "", ""},
      {"a|", kSurroundingOnly, {{kMark, "việt"}, {kFocusOut}, {kInsert, "việt"}}, "aviệt|", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.document) + " edited " + std::to_string(c.edits.size()) + " times");
    open(c.document, c.caps);
    doc->focusIn();
    for (const auto& edit : c.edits) {
      switch (edit.kind) {
        case Edit::mark:
          field->setMarkedText(edit.text, {app::utf16Length(edit.text), 0}, edit.range);
          break;
        case Edit::insert:
          field->insertText(edit.text, edit.range);
          break;
        case Edit::focusOut:
          doc->focusOut();
          field->markedTextCommittedOnFocusOut();
          break;
      }
    }
    EXPECT_EQ(doc->document(), c.after);
    EXPECT_EQ(doc->preedit(), c.preedit);
    EXPECT_EQ(doc->panelPreedit(), c.panelPreedit);
    expectFieldInStep(*field);
  }
}

// A key the input method does not take reaches the application as the edit it stands for, in
// order with the field's own edits, when that edit is plain.
TEST_F(TextInputTest, PassesTextKeysAsTheirEdits) {
  struct Case {
    const char* document;
    Caps caps;
    const char* key;
    bool taken;
    const char* after;
    bool tellsText = true;
  };
  const Case cases[] = {
      {"ab|", kFull, "a", true, "aba|"},
      {"ab|", kFull, "Shift+A", true, "abA|"},
      {"a^bc|", kFull, "ecircumflex", true, "aê|"},
      {"ab|", kFull, "space", true, "ab |"},
      {"ab|", kFull, "BackSpace", true, "a|"},
      {"a😀|", kFull, "BackSpace", true, "a|"},
      // One character, as Qt's fields take it: a combining mark alone, a precomposed letter whole.
      {"xe\u0301\u0323|y", kFull, "BackSpace", true, "xe\u0301|y"},
      {"x\u1EBF|", kFull, "BackSpace", true, "x|"},
      {"\u0301|", kFull, "BackSpace", true, "|"},
      // Commands, other keys, the start of the text and selections are the application's.
      {"ab|", kFull, "Control+a", false, "ab|"},
      {"ab|", kFull, "Alt+a", false, "ab|"},
      {"ab|", kFull, "Return", false, "ab|"},
      {"ab|", kFull, "Left", false, "ab|"},
      {"|ab", kFull, "BackSpace", false, "|ab"},
      {"a^bc|", kFull, "BackSpace", false, "a^bc|"},
      {"ab|", kPreeditOnly, "a", false, "ab|"},
      // A toolkit's field that does not tell its text yet still takes the character in order.
      {"ab|", kSurroundingOnly, "a", true, "aba|", false},
      {"ab|", kSurroundingOnly, "BackSpace", false, "ab|", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.document) + " " + c.key);
    open(c.document, c.caps);
    doc->tellsText = c.tellsText;
    doc->resend();
    EXPECT_EQ(field->passKey(fcitx::Key(c.key)), c.taken);
    EXPECT_EQ(doc->document(), c.after);
    expectFieldInStep(*field);
  }
  // Next to marked text the key is the application's too.
  open("ab|", kFull);
  field->setMarkedText("vi", {2, 0}, kNoRange);
  EXPECT_FALSE(field->passKey(fcitx::Key("a")));
}

TEST_F(TextInputTest, PutsTheMarkedTextsCaretOnACharacterBoundary) {
  struct Case {
    std::int64_t caret;
    int byte;
  };
  // "😀ệ": the emoji is 2 units and 4 bytes, "ệ" 1 unit and 3 bytes.
  const Case cases[] = {{0, 0}, {1, 0}, {2, 4}, {3, 7}, {9, 7}, {-1, 0}};
  open("|", kFull);
  for (const auto& c : cases) {
    field->setMarkedText("😀ệ", {c.caret, 0}, kNoRange);
    EXPECT_EQ(doc->inputPanel().clientPreedit().cursor(), c.byte) << "caret " << c.caret;
  }
}

}  // namespace
}  // namespace quorvix::platform::fcitx5::testing
