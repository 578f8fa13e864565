#include <fcitx-utils/capabilityflags.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <fcitx/text.h>
#include <fcitx/userinterface.h>
#include <unicode_text/unicode.h>

#include <algorithm>

#include "platform/fcitx5/addon.h"

namespace quorvix::platform::fcitx5 {

using platform::kNotFound;
using platform::Utf16Range;

// A place in UTF-8 text, counted three ways.
struct Position {
  std::size_t byte = 0;
  std::size_t chars = 0;
  std::int64_t units = 0;
};

namespace {

// Steps over one character; ill-formed bytes count as one U+FFFD.
void stepForward(std::string_view text, Position& at) {
  at.units += unicode::next_char(text, at.byte) >= 0x10000 ? 2 : 1;
  ++at.chars;
}

// Steps back over one character of text Fcitx5 has checked to be UTF-8.
void stepBack(std::string_view text, Position& at) {
  std::size_t begin = at.byte - 1;
  while (begin > 0 && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80) --begin;
  at.units -= at.byte - begin == 4 ? 2 : 1;
  at.byte = begin;
  --at.chars;
}

}  // namespace

// The caret and the anchor of a surrounding text, found once for each text the application
// tells: every place a key asks for lies near them, and is found by walking from the nearest.
class Landmarks {
 public:
  // Whether these are the landmarks of that text.
  bool describe(std::string_view text, std::size_t cursor, std::size_t anchor) const {
    return valid_ && cursor_ == cursor && anchor_ == anchor && text_ == text;
  }
  void find(std::string_view text, std::size_t cursor, std::size_t anchor) {
    text_.assign(text);
    cursor_ = cursor;
    anchor_ = anchor;
    const auto [first, last] = std::minmax(cursor, anchor);
    start_ = {};
    while (start_.chars < first && start_.byte < text_.size()) stepForward(text_, start_);
    end_ = start_;
    while (end_.chars < last && end_.byte < text_.size()) stepForward(text_, end_);
    valid_ = true;
  }
  // Applies an edit of ours to the text: characters [first, last) deleted, then `inserted` in
  // place of the selection. The landmarks move with it, so the next read needs no walk.
  void edit(std::size_t first, std::size_t last, std::string_view inserted) {
    const auto from = atChar(first), to = atChar(std::max(first, last));
    text_.erase(from.byte, to.byte - from.byte);
    const auto shift = [&](Position at) {
      if (at.byte <= from.byte) return at;
      if (at.byte >= to.byte) {
        return Position{at.byte - (to.byte - from.byte), at.chars - (to.chars - from.chars),
                        at.units - (to.units - from.units)};
      }
      return from;
    };
    start_ = shift(start_);
    end_ = shift(end_);
    const bool caretFirst = cursor_ < anchor_;
    cursor_ = caretFirst ? start_.chars : end_.chars;
    anchor_ = caretFirst ? end_.chars : start_.chars;
    if (inserted.empty() && start_.byte == end_.byte) return;
    text_.replace(start_.byte, end_.byte - start_.byte, inserted);
    end_ = start_;
    for (Position at; at.byte < inserted.size();) {
      stepForward(inserted, at);
      end_ = {start_.byte + at.byte, start_.chars + at.chars, start_.units + at.units};
    }
    start_ = end_;
    cursor_ = anchor_ = end_.chars;
  }

  const std::string& text() const { return text_; }
  std::size_t cursor() const { return cursor_; }
  std::size_t anchor() const { return anchor_; }
  Position start() const { return start_; }  // of the selection, or the caret
  Position end() const { return end_; }

  Position atChar(std::size_t chars) const {
    Position at = walkFrom(chars, &Position::chars);
    while (at.chars > chars) stepBack(text_, at);
    while (at.chars < chars && at.byte < text_.size()) stepForward(text_, at);
    return at;
  }

  // The character boundary at `units`, or next to it when `units` falls inside a surrogate
  // pair: after the pair with `roundUp`, else before it.
  Position atUnit(std::int64_t units, bool roundUp) const {
    Position at = walkFrom(units, &Position::units);
    while (at.units > units) {
      Position previous = at;
      stepBack(text_, previous);
      if (previous.units < units && roundUp) return at;
      at = previous;
    }
    while (at.units < units && at.byte < text_.size()) {
      Position next = at;
      stepForward(text_, next);
      if (next.units > units && !roundUp) break;
      at = next;
    }
    return at;
  }

 private:
  // The known place nearest to `target` in the count `by`: the start of the text, the start of
  // the selection or its end.
  template <class Count>
  Position walkFrom(Count target, Count Position::*by) const {
    const auto distance = [&](const Position& p) { return target > p.*by ? target - p.*by : p.*by - target; };
    Position best{};
    for (const Position& candidate : {start_, end_}) {
      if (distance(candidate) < distance(best)) best = candidate;
    }
    return best;
  }

  std::string text_;
  std::size_t cursor_ = 0;
  std::size_t anchor_ = 0;
  Position start_;
  Position end_;
  bool valid_ = false;
};

namespace {

// What the application told of its text, when it tells.
const fcitx::SurroundingText* told(const fcitx::InputContext* context) {
  if (!context || !context->capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) ||
      !context->surroundingText().isValid()) {
    return nullptr;
  }
  return &context->surroundingText();
}

// The units [start, end) a range covers, from the start of the text on.
std::pair<std::int64_t, std::int64_t> unitBounds(Utf16Range range) {
  const auto start = std::max<std::int64_t>(range.location, 0);
  return {start, start + std::clamp<std::int64_t>(range.length, 0, kNotFound - start)};
}

// Applications resend their surrounding text late; until then Fcitx5 keeps the old text, which
// the next key would read. So every edit of ours is written into it at once, as the application
// will have applied it.
void keepInStep(fcitx::InputContext& context, Landmarks& known, std::size_t first, std::size_t last,
                std::string_view inserted) {
  known.edit(first, last, inserted);
  auto& told = context.surroundingText();
  // An application that answers at once has told this text already.
  if (!told.isValid() || told.cursor() != known.cursor() || told.anchor() != known.anchor() ||
      told.text() != known.text()) {
    told.setText(known.text(), static_cast<unsigned>(known.cursor()), static_cast<unsigned>(known.anchor()));
    context.updateSurroundingText();
  }
}

// The characters [first, last) that `range` covers; a range that cuts a surrogate pair takes the
// whole character.
std::pair<std::size_t, std::size_t> charsOf(const Landmarks& known, Utf16Range range) {
  const auto [start, end] = unitBounds(range);
  return {known.atUnit(start, false).chars, known.atUnit(end, true).chars};
}

// Deletes characters [first, last) of the surrounding text in one request relative to its cursor.
void deleteChars(fcitx::InputContext& context, const Landmarks& known, std::size_t first, std::size_t last) {
  if (last <= first) return;
  context.deleteSurroundingText(static_cast<int>(first) - static_cast<int>(known.cursor()),
                                static_cast<unsigned>(last - first));
}

bool drawsPreedit(const fcitx::InputContext& context) {
  return context.capabilityFlags().test(fcitx::CapabilityFlag::Preedit) && context.isPreeditEnabled();
}

}  // namespace

FcitxTextInput::FcitxTextInput(fcitx::InputContext& context)
    : context_(context.watch()), landmarks_(std::make_unique<Landmarks>()) {}

FcitxTextInput::~FcitxTextInput() = default;

Landmarks* FcitxTextInput::landmarks() {
  const auto* surrounding = told(context_.get());
  if (!surrounding) return nullptr;
  if (!landmarks_->describe(surrounding->text(), surrounding->cursor(), surrounding->anchor())) {
    landmarks_->find(surrounding->text(), surrounding->cursor(), surrounding->anchor());
  }
  return landmarks_.get();
}

void FcitxTextInput::setMarkedText(const std::string& text, Utf16Range selected, Utf16Range replacement) {
  auto* context = context_.get();
  if (!context) return;
  removeCommittedMarkedText(*context);
  if (replacement.location != kNotFound) {
    if (auto* known = landmarks()) {
      const auto [first, last] = charsOf(*known, replacement);
      deleteChars(*context, *known, first, last);
      keepInStep(*context, *known, first, last, {});
    }
  }
  std::size_t caret = 0;
  for (Position at; at.byte < text.size();) {
    Position next = at;
    stepForward(text, next);
    if (next.units > selected.location) break;
    caret = (at = next).byte;
  }
  showMarked(*context, text, caret);
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
  auto* known = landmarks();
  std::size_t first = 0, last = 0;
  if (known && replacement.location != kNotFound) {
    std::tie(first, last) = charsOf(*known, replacement);
    deleteChars(*context, *known, first, last);
  }
  if (!text.empty()) context->commitString(text);
  if (known && (last > first || !text.empty())) keepInStep(*context, *known, first, last, text);
}

Utf16Range FcitxTextInput::selectedRange() {
  auto* known = landmarks();
  if (!known) return {kNotFound, 0};
  return {known->start().units, known->end().units - known->start().units};
}

std::optional<std::string> FcitxTextInput::substring(Utf16Range range) {
  auto* known = landmarks();
  if (!known) return std::nullopt;
  const std::string_view text = known->text();
  const auto [start, end] = unitBounds(range);
  if (end <= start) return std::string();
  const auto first = known->atUnit(start, true);
  const auto last = known->atUnit(end, false);
  // Half a surrogate pair at either end reads as U+FFFD, as a toolkit's conversion gives.
  std::string out = first.units > start ? "\uFFFD" : "";
  if (last.byte > first.byte) out.append(text.substr(first.byte, last.byte - first.byte));
  if (last.units < end && last.byte < text.size()) out += "\uFFFD";
  return out;
}

void FcitxTextInput::markedTextCommittedOnFocusOut() {
  markedCommitted_ = markedInClient_ && !marked_.empty();
  auto* context = context_.get();
  if (!context || !markedCommitted_) return;
  if (auto* known = landmarks()) keepInStep(*context, *known, 0, 0, marked_);
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
  // The input panel is redrawn only when it shows, or showed, the marked text itself.
  const bool panelChanges = !markedInClient_ || !panel.preedit().empty();
  panel.setClientPreedit(markedInClient_ ? preedit : fcitx::Text());
  panel.setPreedit(markedInClient_ ? fcitx::Text() : preedit);
  context.updatePreedit();
  if (panelChanges) context.updateUserInterface(fcitx::UserInterfaceComponent::InputPanel);
  marked_ = text;
}

void FcitxTextInput::removeCommittedMarkedText(fcitx::InputContext& context) {
  if (!std::exchange(markedCommitted_, false)) return;
  // The focus out wrote the marked text before the caret; something else is to stand there.
  const auto count = unicode::char_count(marked_);
  showMarked(context, {}, 0);
  if (auto* known = landmarks(); known && known->cursor() >= count) {
    deleteChars(context, *known, known->cursor() - count, known->cursor());
    keepInStep(context, *known, known->cursor() - count, known->cursor(), {});
  } else {
    context.deleteSurroundingText(-static_cast<int>(count), static_cast<unsigned>(count));
  }
}

}  // namespace quorvix::platform::fcitx5
