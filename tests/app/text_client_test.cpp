#include "quorvix_app/text_client.h"

#include <gtest/gtest.h>

#include "fake_document.h"

namespace quorvix::app {
namespace {

using platform::kNotFound;
using testing::FakeDocument;

// A document whose caret sits where "|" is written, with marked text already shown before it.
std::shared_ptr<FakeDocument> document(const std::string& withCaret, const std::string& marked = "") {
  const auto bar = withCaret.find('|');
  auto doc = std::make_shared<FakeDocument>(withCaret.substr(0, bar) + withCaret.substr(bar + 1),
                                            utf16Length(withCaret.substr(0, bar)));
  if (!marked.empty()) doc->setMarkedText(marked, {utf16Length(marked), 0}, {kNotFound, 0});
  doc->calls = 0;
  return doc;
}

// A replacement is made whole or not at all: the text never goes in over a deletion cut short.
TEST(FieldTextClient, ReplaceTextReplacesTheUnitsBeforeTheCaretOrNothing) {
  const struct {
    const char* before;
    std::int64_t count;
    bool readable;
    const char* after;
    bool replaced;
  } cases[] = {
      {"xin chao|", 2, true, "xin chViệt|", true},
      {"ab|cd", 2, true, "Việt|cd", true},
      {"ab|cd", 3, true, "ab|cd", false},      // more than there is before the caret
      {"|", 1, true, "|", false},              // nothing before the caret
      {"ab|cd", -3, true, "abViệt|cd", true},  // negative: an insert at the caret
      {"a😀|", 2, true, "aViệt|", true},        // a surrogate pair is two units
      {"ab|", 1, false, "ab|", false},         // a field that does not tell where its caret is
      {"ab|", 0, false, "abViệt|", true},      // ... takes a plain insert
  };
  for (const auto& c : cases) {
    auto doc = document(c.before);
    doc->readable = c.readable;
    EXPECT_EQ(FieldTextClient(doc).replaceText("Việt", c.count), c.replaced) << c.before << " " << c.count;
    EXPECT_EQ(doc->withCaret(), c.after) << c.before << " " << c.count;
    EXPECT_EQ(doc->calls, c.replaced ? 1 : 0);
  }
  std::weak_ptr<FakeDocument> gone;
  EXPECT_FALSE(FieldTextClient(gone).replaceText("Việt", 0));
}

TEST(FieldTextClient, ReadsGiveNothingWhenTheFieldIsGoneOrDoesNotTell) {
  auto doc = document("abc|");
  FieldTextClient client(doc);
  EXPECT_EQ(client.beforeCursor(2), "bc");
  EXPECT_EQ(document("|abc")->selection().location, 0);
  EXPECT_EQ(FieldTextClient(document("|abc")).beforeCursor(25), "");
  doc->readable = false;
  EXPECT_EQ(client.beforeCursor(25), std::nullopt);
  EXPECT_EQ(client.surroundingSnapshot(25), std::nullopt);
  EXPECT_EQ(client.readSurroundings(25).snapshot, std::nullopt);
  EXPECT_EQ(client.readSurroundings(25).beforeCursor, std::nullopt);
  doc.reset();
  EXPECT_EQ(client.beforeCursor(25), std::nullopt);
  client.insertText("x", {kNotFound, 0});  // nothing to write into, and no crash
}

TEST(FieldTextClient, SnapshotHoldsTextBeforeTheSelectionAndOneUnitAfter) {
  const struct {
    const char* text;
    std::int64_t caret, selected, maxLength;
    SurroundingSnapshot expected;
  } cases[] = {
      {"xin chào bạn", 8, 0, 25, {"xin chào ", 8, 8}},
      {"xin chào bạn", 4, 4, 25, {"xin chào ", 8, 4}},
      {"xin chào", 0, 3, 25, {"xin ", 3, 0}},
      {"0123456789", 10, 0, 4, {"6789", 4, 4}},
      {"😀ab", 3, 0, 2, {"\uFFFDab", 2, 2}},  // the cut falls inside the pair
      {"", 0, 0, 25, {"", 0, 0}},
  };
  // Buffers kept from one read to the next, as the controller keeps them, with a field that does
  // not tell between reads.
  platform::TextAround around;
  FieldTextClient::Surroundings kept;
  for (const auto& c : cases) {
    auto doc = std::make_shared<FakeDocument>(c.text, c.caret, c.selected);
    FieldTextClient client(doc);
    EXPECT_EQ(client.surroundingSnapshot(c.maxLength), c.expected) << c.text << " " << c.caret;
    // Read together with the text before the cursor, the same answers.
    const auto both = client.readSurroundings(c.maxLength);
    EXPECT_EQ(both.snapshot, c.expected) << c.text << " " << c.caret;
    EXPECT_EQ(both.beforeCursor, client.beforeCursor(c.maxLength)) << c.text << " " << c.caret;
    client.readSurroundings(c.maxLength, around, kept);
    EXPECT_EQ(kept.snapshot, both.snapshot) << c.text << " " << c.caret;
    EXPECT_EQ(kept.beforeCursor, both.beforeCursor) << c.text << " " << c.caret;
    doc->readable = false;
    client.readSurroundings(c.maxLength, around, kept);
    EXPECT_EQ(kept.snapshot, std::nullopt);
    EXPECT_EQ(kept.beforeCursor, std::nullopt);
  }
}

TEST(ActionApplier, PlansMakeAtMostOneCallAndSayWhetherTheKeyIsConsumed) {
  const struct {
    QrxEnginePlan plan;
    const char* after;
    ApplyResult result;
  } cases[] = {
      {{QrxPlanKind::pass, 0, 0, 0, 0, false, "x"}, "ab|", {false, true}},
      {{QrxPlanKind::failSafe, 2, 2, 0, 0, false, "x"}, "ab|", {false, true}},
      {{QrxPlanKind::preedit, 0, 0, 2, 0, true, "việ"}, "abvi|ệ", {true, false}},
      {{QrxPlanKind::preedit, 0, 0, 99, 0, false, "việ"}, "abviệ|", {true, false}},
      {{QrxPlanKind::preedit, 0, 0, -4, 0, false, "việ"}, "ab|việ", {true, false}},
      {{QrxPlanKind::commit, 0, 0, 0, 0, false, "việt"}, "abviệt|", {true, false}},
      {{QrxPlanKind::commit, 0, 0, 0, 0, true, "việt"}, "abviệt|", {true, true}},
      {{QrxPlanKind::replace, 1, 9, 0, 500, true, "ẹ"}, "aẹ|", {true, true}},
      // More than the text before the caret: nothing is written, and the key goes on.
      {{QrxPlanKind::replace, 3, 3, 0, 3, false, "ẹ"}, "ab|", {false, true}},
  };
  for (const auto& c : cases) {
    auto doc = document("ab|");
    FieldTextClient client(doc);
    EXPECT_EQ(ActionApplier().apply(c.plan, client), c.result) << c.after;
    EXPECT_EQ(doc->withCaret(), c.after);
    EXPECT_EQ(doc->calls, c.result.handled ? 1 : 0);
  }
}

TEST(ActionApplier, ActionsReplaceTheMarkedTextOrTheTextBeforeTheCaret) {
  const struct {
    QrxEngineAction action;
    const char* after;
    const char* marked;
    ApplyResult result;
  } cases[] = {
      {{QrxActionKind::pass, 1, "x", 0, true}, "a vie|", "vie", {false, true}},
      {{QrxActionKind::preedit, 0, "viê", 3, true}, "a viê|", "viê", {true, false}},
      {{QrxActionKind::commit, 0, "việt ", 0, false}, "a việt |", "", {true, false}},
      {{QrxActionKind::replace, 5, "Việt", 0, true}, "Việt|", "", {true, true}},
  };
  for (const auto& c : cases) {
    auto doc = document("a |", "vie");
    FieldTextClient client(doc);
    EXPECT_EQ(ActionApplier().apply(c.action, client), c.result) << c.after;
    EXPECT_EQ(doc->withCaret(), c.after);
    EXPECT_EQ(doc->marked(), c.marked);
  }
}

TEST(KeyMapper, NamesTheSpecialKeysOnly) {
  const std::pair<std::uint16_t, std::optional<std::string_view>> cases[] = {
      {36, "Enter"},     {76, "Enter"},      {48, "Tab"},
      {51, "Backspace"}, {53, "Escape"},     {115, "Home"},
      {116, "PageUp"},   {117, "Delete"},    {119, "End"},
      {121, "PageDown"}, {123, "Left"},      {124, "Right"},
      {125, "Down"},     {126, "Up"},        {49, std::nullopt},
      {0, std::nullopt}, {43, std::nullopt}, {platform::key_codes::kNone, std::nullopt},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(KeyMapper::name(code), name) << code;
}

TEST(Utf16Length, CountsUnitsNotBytes) {
  EXPECT_EQ(utf16Length(""), 0);
  EXPECT_EQ(utf16Length("Việt"), 4);
  EXPECT_EQ(utf16Length("a😀"), 3);
  EXPECT_EQ(utf16Length("a\xC3"), 2);  // a broken byte reads as one replacement character
}

}  // namespace
}  // namespace quorvix::app
