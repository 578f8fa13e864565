#include <fcitx-utils/capabilityflags.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <fcitx/text.h>
#include <fcitx/userinterface.h>
#include <unicode_text/unicode.h>

#include <algorithm>

#include "platform/fcitx5/addon.h"

namespace quorvix::fcitx5 {

namespace {

using platform::kNotFound;
using platform::Utf16Range;

// A place in UTF-8 text, counted three ways.
struct Position {
  std::size_t byte = 0;
  std::size_t chars = 0;
  std::int64_t units = 0;
};

// Steps over one character; ill-formed bytes count as one U+FFFD.
void advance(std::string_view text, Position& at) {
  at.units += unicode::next_char(text, at.byte) >= 0x10000 ? 2 : 1;
  ++at.chars;
}

Position atChar(std::string_view text, std::size_t chars) {
  Position at;
  while (at.chars < chars && at.byte < text.size()) advance(text, at);
  return at;
}

// The character boundary at `units`, or next to it when `units` falls inside a surrogate pair:
// after the pair with `roundUp`, else before it.
Position atUnit(std::string_view text, std::int64_t units, bool roundUp) {
  Position at;
  while (at.units < units && at.byte < text.size()) {
    Position next = at;
    advance(text, next);
    if (next.units > units && !roundUp) break;
    at = next;
  }
  return at;
}

// What the application told of its text, when it tells.
const fcitx::SurroundingText* told(const fcitx::InputContext* context) {
  if (!context || !context->capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) ||
      !context->surroundingText().isValid()) {
    return nullptr;
  }
  return &context->surroundingText();
}

// A copy of it to edit: Fcitx5 replaces the text it holds whenever the application resends it,
// which it may do in answer to any request of ours.
struct Surrounding {
  std::string text;
  std::size_t cursor;  // characters
  std::size_t anchor;
};

std::optional<Surrounding> surroundingOf(const fcitx::InputContext& context) {
  const auto* surrounding = told(&context);
  if (!surrounding) return std::nullopt;
  return Surrounding{surrounding->text(), surrounding->cursor(), surrounding->anchor()};
}

// The units [start, end) a range covers, from the start of the text on.
std::pair<std::int64_t, std::int64_t> unitBounds(Utf16Range range) {
  const auto start = std::max<std::int64_t>(range.location, 0);
  return {start, start + std::clamp<std::int64_t>(range.length, 0, kNotFound - start)};
}

// Applications resend their surrounding text late; until then Fcitx5 keeps the old text, which
// the next key would read. So every edit of ours is written into it at once, as the application
// will have applied it.
void keepInStep(fcitx::InputContext& context, const std::string& text, std::size_t cursor,
                std::size_t anchor) {
  context.surroundingText().setText(text, static_cast<unsigned>(cursor), static_cast<unsigned>(anchor));
  context.updateSurroundingText();
}

// Deletes characters [first, last) of the surrounding text in one request relative to its cursor.
void deleteChars(fcitx::InputContext& context, const Surrounding& surrounding, std::size_t first,
                 std::size_t last) {
  const auto count = last - first;
  context.deleteSurroundingText(static_cast<int>(first) - static_cast<int>(surrounding.cursor),
                                static_cast<unsigned>(count));
  auto text = surrounding.text;
  const auto from = atChar(text, first).byte;
  text.erase(from, atChar(text, last).byte - from);
  const auto shift = [&](std::size_t at) { return at <= first ? at : at >= last ? at - count : first; };
  keepInStep(context, text, shift(surrounding.cursor), shift(surrounding.anchor));
}

// Deletes `range`, in UTF-16 units of the surrounding text; nothing when the text is not known.
void deleteRange(fcitx::InputContext& context, Utf16Range range) {
  const auto surrounding = surroundingOf(context);
  if (!surrounding) return;
  const auto [start, end] = unitBounds(range);
  // A range that cuts a surrogate pair takes the whole character.
  const auto first = atUnit(surrounding->text, start, false).chars;
  const auto last = atUnit(surrounding->text, end, true).chars;
  if (last > first) deleteChars(context, *surrounding, first, last);
}

// The surrounding text after `text` went in at the cursor, in place of the selection as
// applications do.
void keepInStepWithCommit(fcitx::InputContext& context, const Surrounding& surrounding,
                          const std::string& text) {
  const auto [start, end] = std::minmax(surrounding.cursor, surrounding.anchor);
  auto updated = surrounding.text;
  const auto from = atChar(updated, start).byte;
  updated.replace(from, atChar(updated, end).byte - from, text);
  const auto caret = start + unicode::char_count(text);
  keepInStep(context, updated, caret, caret);
}

void commit(fcitx::InputContext& context, const std::string& text) {
  if (text.empty()) return;
  const auto surrounding = surroundingOf(context);
  context.commitString(text);
  if (surrounding) keepInStepWithCommit(context, *surrounding, text);
}

bool drawsPreedit(const fcitx::InputContext& context) {
  return context.capabilityFlags().test(fcitx::CapabilityFlag::Preedit) && context.isPreeditEnabled();
}

}  // namespace

void FcitxTextInput::setMarkedText(const std::string& text, Utf16Range selected, Utf16Range replacement) {
  auto* context = context_.get();
  if (!context) return;
  removeCommittedMarkedText(*context);
  if (replacement.location != kNotFound) deleteRange(*context, replacement);
  showMarked(*context, text, atUnit(text, selected.location, false).byte);
}

void FcitxTextInput::insertText(const std::string& text, Utf16Range replacement) {
  auto* context = context_.get();
  if (!context) return;
  if (markedCommitted_ && replacement.location == kNotFound && text == marked_) {
    // Already written by the focus out: only the pre-edit is left to take away.
    clearMarkedText();
    return;
  }
  removeCommittedMarkedText(*context);
  if (!marked_.empty()) showMarked(*context, {}, 0);
  if (replacement.location != kNotFound) deleteRange(*context, replacement);
  commit(*context, text);
}

Utf16Range FcitxTextInput::selectedRange() {
  const auto* surrounding = told(context_.get());
  if (!surrounding) return {kNotFound, 0};
  const auto [start, end] = std::minmax<std::size_t>({surrounding->cursor(), surrounding->anchor()});
  const auto location = atChar(surrounding->text(), start).units;
  return {location, atChar(surrounding->text(), end).units - location};
}

std::optional<std::string> FcitxTextInput::substring(Utf16Range range) {
  const auto* surrounding = told(context_.get());
  if (!surrounding) return std::nullopt;
  const std::string_view text = surrounding->text();
  const auto [start, end] = unitBounds(range);
  if (end <= start) return std::string();
  const auto first = atUnit(text, start, true);
  const auto last = atUnit(text, end, false);
  // Half a surrogate pair at either end reads as U+FFFD, as a toolkit's conversion gives.
  std::string out = first.units > start ? "\uFFFD" : "";
  if (last.byte > first.byte) out.append(text.substr(first.byte, last.byte - first.byte));
  if (last.units < end && last.byte < text.size()) out += "\uFFFD";
  return out;
}

void FcitxTextInput::markedTextCommittedOnFocusOut() {
  markedCommitted_ = markedInClient_ && !marked_.empty();
  auto* context = context_.get();
  const auto surrounding = context ? surroundingOf(*context) : std::nullopt;
  if (markedCommitted_ && surrounding) keepInStepWithCommit(*context, *surrounding, marked_);
}

void FcitxTextInput::clearMarkedText() {
  markedCommitted_ = false;
  if (auto* context = context_.get(); context && !marked_.empty()) showMarked(*context, {}, 0);
}

void FcitxTextInput::showMarked(fcitx::InputContext& context, const std::string& text,
                                std::size_t caretByte) {
  fcitx::Text preedit;
  if (!text.empty()) {
    preedit.append(text, fcitx::TextFormatFlag::Underline);
    preedit.setCursor(static_cast<int>(caretByte));
  }
  auto& panel = context.inputPanel();
  markedInClient_ = drawsPreedit(context);
  panel.setClientPreedit(markedInClient_ ? preedit : fcitx::Text());
  panel.setPreedit(markedInClient_ ? fcitx::Text() : preedit);
  context.updatePreedit();
  context.updateUserInterface(fcitx::UserInterfaceComponent::InputPanel);
  marked_ = text;
}

void FcitxTextInput::removeCommittedMarkedText(fcitx::InputContext& context) {
  if (!std::exchange(markedCommitted_, false)) return;
  // The focus out wrote the marked text before the caret; something else is to stand there.
  const auto count = unicode::char_count(marked_);
  showMarked(context, {}, 0);
  if (const auto surrounding = surroundingOf(context); surrounding && surrounding->cursor >= count) {
    deleteChars(context, *surrounding, surrounding->cursor - count, surrounding->cursor);
  } else {
    context.deleteSurroundingText(-static_cast<int>(count), static_cast<unsigned>(count));
  }
}

}  // namespace quorvix::fcitx5
