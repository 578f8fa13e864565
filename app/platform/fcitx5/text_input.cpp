#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/keysym.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <fcitx/text.h>
#include <fcitx/userinterface.h>
#include <unicode_text/unicode.h>

#include <algorithm>
#include <vector>

#include "platform/fcitx5/addon.h"

namespace quorvix::platform::fcitx5 {

using platform::kNotFound;
using platform::Utf16Range;

namespace {

// A place in UTF-8 text, counted three ways.
struct Position {
  std::size_t byte = 0;
  std::size_t chars = 0;
  std::int64_t units = 0;

  Position operator+(const Position& other) const {
    return {byte + other.byte, chars + other.chars, units + other.units};
  }
  Position operator-(const Position& other) const {
    return {byte - other.byte, chars - other.chars, units - other.units};
  }
};

bool isContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }
bool startsPair(char byte) { return static_cast<unsigned char>(byte) >= 0xF0; }

// Steps over one character. Every text here is UTF-8 that Fcitx5 checked or that the engine
// wrote, so a character is its lead byte and the continuation bytes after it.
void stepForward(std::string_view text, Position& at) {
  at.units += startsPair(text[at.byte]) ? 2 : 1;
  ++at.chars;
  do ++at.byte;
  while (at.byte < text.size() && isContinuation(text[at.byte]));
}

void stepBack(std::string_view text, Position& at) {
  do --at.byte;
  while (at.byte > 0 && isContinuation(text[at.byte]));
  at.units -= startsPair(text[at.byte]) ? 2 : 1;
  --at.chars;
}

// Where character `chars` of `text` begins, or the text's end. Long texts are counted in blocks
// without branches, which the compiler vectorises: a block never holds more characters than
// bytes, so a whole block is counted only while that many characters are still to go.
Position walkTo(std::string_view text, std::size_t chars) {
  constexpr std::size_t kBlock = 64;
  Position at;
  while (text.size() - at.byte >= kBlock && chars - at.chars >= kBlock) {
    std::uint8_t leads = 0;
    std::uint8_t pairs = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
      leads += !isContinuation(text[at.byte + i]);
      pairs += startsPair(text[at.byte + i]);
    }
    at = at + Position{kBlock, leads, std::int64_t{leads} + pairs};
  }
  // The rest of a character whose lead byte the last block counted.
  while (at.byte < text.size() && isContinuation(text[at.byte])) ++at.byte;
  while (at.chars < chars && at.byte < text.size()) stepForward(text, at);
  return at;
}

// How much of the application's text the field keeps around the caret: enough before it for
// the longest word and what the engine reads, and a few characters after the selection.
constexpr std::size_t kKeptBefore = 64;
constexpr std::size_t kKeptAfter = 8;
// How many of its own edits the field remembers: an application that is busy, or a burst of
// keys, can leave its reports that far behind.
constexpr std::size_t kRemembered = 256;
// The most units Backspace looks back for the marks of one character.
constexpr std::int64_t kLongestCluster = 16;

}  // namespace

// The application's text as the field expects it after some of its edits: a part of it around
// the selection (`near`, which starts at `origin`), the selection's ends in that part, and the
// whole text's length in bytes. Edits at the caret change only that part.
struct Expectation {
  std::string near;
  Position origin;
  Position cursor;
  Position anchor;
  std::size_t size = 0;
  // Where the last read began. The text client reads the same distance before the caret at every
  // key, and edits at the caret leave what is before them where it is, so the next read starts
  // walking from there rather than from the caret.
  mutable Position lastRead;

  // Whether an application's report tells exactly this text: the same length, caret and anchor,
  // and the same characters around the selection. A report is never walked whole for this.
  bool toldBy(const fcitx::SurroundingText& report) const {
    const std::string& text = report.text();
    return text.size() == size && report.cursor() == origin.chars + cursor.chars &&
           report.anchor() == origin.chars + anchor.chars &&
           std::char_traits<char>::compare(text.data() + origin.byte, near.data(), near.size()) == 0;
  }

  // The selection's ends in `near`, or the caret's.
  Position start() const { return cursor.byte < anchor.byte ? cursor : anchor; }
  Position end() const { return cursor.byte < anchor.byte ? anchor : cursor; }

  // The character boundary `chars` characters into `near` (or its end).
  Position atChar(std::size_t chars) const {
    Position at = nearestTo(chars, &Position::chars);
    while (at.chars > chars && at.byte > 0) stepBack(near, at);
    while (at.chars < chars && at.byte < near.size()) stepForward(near, at);
    return at;
  }

  // The character boundary at `units` in `near`, or next to it when `units` falls inside a
  // surrogate pair: after the pair with `roundUp`, else before it.
  Position atUnit(std::int64_t units, bool roundUp) const {
    Position at = nearestTo(units, &Position::units);
    // Backwards byte by byte: a lead byte ends the character before it.
    for (std::size_t byte = at.byte; at.units > units && byte > 0;) {
      if (isContinuation(near[--byte])) continue;
      const int width = startsPair(near[byte]) ? 2 : 1;
      if (at.units - width < units && roundUp) break;
      at = {byte, at.chars - 1, at.units - width};
    }
    while (at.units < units && at.byte < near.size()) {
      Position next = at;
      stepForward(near, next);
      if (next.units > units && !roundUp) break;
      at = next;
    }
    return at;
  }

  // Characters [first, last) of `near` deleted: what the application does with a deletion.
  void erase(std::size_t first, std::size_t last) {
    const auto from = atChar(first), to = atChar(std::max(first, last));
    near.erase(from.byte, to.byte - from.byte);
    size -= to.byte - from.byte;
    const auto shift = [&](Position at) {
      if (at.byte <= from.byte) return at;
      return at.byte >= to.byte ? at - (to - from) : from;
    };
    cursor = shift(cursor);
    anchor = shift(anchor);
    lastRead = shift(lastRead);
  }

  // `text` in place of the selection, the caret after it: what the application does with a commit.
  void insert(std::string_view text) {
    const auto from = start(), to = end();
    near.replace(from.byte, to.byte - from.byte, text);
    size = size - (to.byte - from.byte) + text.size();
    Position written;
    while (written.byte < text.size()) stepForward(text, written);
    cursor = anchor = from + written;
    if (lastRead.byte > from.byte) lastRead = from;
    keepNearTheCaret();
  }

  // Text typed far beyond the origin is dropped from the front, so that what is kept and copied
  // stays small however long the field's text grows.
  void keepNearTheCaret() {
    if (start().chars <= 2 * kKeptBefore) return;
    Position from = start();
    while (start().chars - from.chars < kKeptBefore) stepBack(near, from);
    near.erase(0, from.byte);
    origin = origin + from;
    cursor = cursor - from;
    anchor = anchor - from;
    lastRead = lastRead.byte > from.byte ? lastRead - from : Position{};
  }

  // Takes the text from a report: the part around the selection is found by walking the report
  // once, from its start to the selection.
  void takeFrom(const fcitx::SurroundingText& report) {
    const std::string_view text = report.text();
    const auto first = std::min(report.cursor(), report.anchor());
    const auto last = std::max(report.cursor(), report.anchor());
    const Position start = walkTo(text, first);
    Position end = start;
    while (end.chars < last && end.byte < text.size()) stepForward(text, end);
    Position from = start;
    while (start.chars - from.chars < kKeptBefore && from.byte > 0) stepBack(text, from);
    Position to = end;
    while (to.chars - end.chars < kKeptAfter && to.byte < text.size()) stepForward(text, to);
    near.assign(text.substr(from.byte, to.byte - from.byte));
    origin = from;
    size = text.size();
    const bool caretFirst = report.cursor() < report.anchor();
    cursor = (caretFirst ? start : end) - from;
    anchor = (caretFirst ? end : start) - from;
    lastRead = {};
  }

  // Reads the characters before `origin` from a report that tells this text, until the origin
  // lies at `units` or before.
  void reachBackTo(const fcitx::SurroundingText& report, std::int64_t units) {
    const std::string_view text = report.text();
    Position from = origin;
    while ((from.units > units || origin.chars - from.chars < kKeptBefore / 2) && from.byte > 0) {
      stepBack(text, from);
    }
    near.insert(0, text.substr(from.byte, origin.byte - from.byte));
    const Position added = origin - from;
    cursor = cursor + added;
    anchor = anchor + added;
    lastRead = lastRead + added;
    origin = from;
  }

 private:
  // The known place nearest to `target` in the count `by`: the start of `near`, an end of the
  // selection, or where the last read began.
  template <class Count>
  Position nearestTo(Count target, Count Position::*by) const {
    Position best{};
    Count bestDistance = target > Count{} ? target : Count{} - target;
    for (const Position& candidate : {cursor, anchor, lastRead}) {
      const Count at = candidate.*by;
      const Count distance = target > at ? target - at : at - target;
      if (distance < bestDistance) {
        best = candidate;
        bestDistance = distance;
      }
    }
    return best;
  }
};

// The field's account of the application's text: what the field expects it to be after each of
// its recent edits and of the keys it let through, the newest last. The application applies them
// in order but tells its text late, so a report may tell any of these expectations: such a report
// is stale, and the field goes on from the newest. A report that tells none of them is a real
// change of the application's (the user clicked elsewhere, the application edited its text): it
// is taken as it is, and what was expected before is forgotten.
class TextAccount {
 public:
  TextAccount() { ring_.reserve(kRemembered); }

  // The expectation to read and to edit, checked against the application's report when that is
  // a new one.
  Expectation& current(const fcitx::SurroundingText& report) {
    const bool forgotten = std::exchange(forgotten_, false);
    if (count_ == 0 || forgotten || !lastReport_.toldBy(report)) {
      if (!isStaleOrAgrees(report)) {
        count_ = 0;
        push().takeFrom(report);
        newestTold_ = true;
        lastReport_ = ring_[newest_];
      }
    }
    return ring_[newest_];
  }

  // The expectation to record edits on while the application does not tell its text: the text
  // it held when it last told it, or an empty one.
  Expectation& untold() {
    if (std::exchange(forgotten_, false) || count_ == 0) {
      count_ = 0;
      push() = Expectation{};
      newestTold_ = false;
    }
    return ring_[newest_];
  }

  // Whether there is an expectation to go on from.
  bool knows() const { return count_ > 0; }

  // Nothing of what was expected is known any more: the report Fcitx5 holds is taken as it is.
  void forget() {
    count_ = 0;
    forgotten_ = true;
  }

  // A new expectation, a copy of the newest, for the caller to apply its edit to.
  Expectation& next() {
    const std::size_t from = newest_;
    Expectation& copy = push();
    copy = ring_[from];
    newestTold_ = false;
    return copy;
  }

  // Makes the newest expectation reach back to `units`, reading the characters before its origin
  // from the report; only a report that tells that very expectation has the right ones.
  bool reachBackTo(const fcitx::SurroundingText& report, std::int64_t units) {
    auto& newest = ring_[newest_];
    if (newest.origin.units <= units || newest.origin.byte == 0) return true;
    if (!newestTold_) return false;
    newest.reachBackTo(report, units);
    lastReport_ = newest;
    return true;
  }

 private:
  // Looks for the expectation a report tells, newest first, and remembers the report.
  bool isStaleOrAgrees(const fcitx::SurroundingText& report) {
    for (std::size_t age = 0; age < count_; ++age) {
      const auto& expectation = ring_[(newest_ + kRemembered - age) % kRemembered];
      if (expectation.toldBy(report)) {
        newestTold_ = age == 0;
        lastReport_ = expectation;
        return true;
      }
    }
    return false;
  }

  Expectation& push() {
    newest_ = count_ == 0 ? 0 : (newest_ + 1) % kRemembered;
    if (newest_ == ring_.size()) ring_.emplace_back();
    count_ = std::min(count_ + 1, kRemembered);
    return ring_[newest_];
  }

  std::vector<Expectation> ring_;
  std::size_t newest_ = 0;
  std::size_t count_ = 0;
  // The last report looked at, by what it tells around the caret: a report that tells the same is
  // no news.
  Expectation lastReport_;
  bool forgotten_ = false;
  // Whether the latest report tells the newest expectation (no edit since).
  bool newestTold_ = false;
};

namespace {

// The units [start, end) a range covers, from the start of the text on.
std::pair<std::int64_t, std::int64_t> unitBounds(Utf16Range range) {
  const auto start = std::max<std::int64_t>(range.location, 0);
  return {start, start + std::clamp<std::int64_t>(range.length, 0, kNotFound - start)};
}

bool tellsText(const fcitx::InputContext& context) {
  return context.capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) &&
         context.surroundingText().isValid();
}

bool drawsPreedit(const fcitx::InputContext& context) {
  return context.capabilityFlags().test(fcitx::CapabilityFlag::Preedit) && context.isPreeditEnabled();
}

// Modifiers that make a key a command rather than a character, as the application reads it.
constexpr fcitx::KeyStates kCommandStates{
    fcitx::KeyState::Ctrl,  fcitx::KeyState::Alt,    fcitx::KeyState::Super, fcitx::KeyState::Super2,
    fcitx::KeyState::Hyper, fcitx::KeyState::Hyper2, fcitx::KeyState::Meta};

}  // namespace

FcitxTextInput::FcitxTextInput(fcitx::InputContext& context)
    : context_(context.watch()), account_(std::make_unique<TextAccount>()) {}

FcitxTextInput::~FcitxTextInput() = default;

Expectation* FcitxTextInput::expected(bool toRead) {
  auto* context = context_.get();
  if (!context || !context->capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText)) return nullptr;
  const auto& report = context->surroundingText();
  if (report.isValid()) return &account_->current(report);
  // Qt's module tells nothing while its field is empty: the field's edits are recorded on an
  // empty text, so that the application's first report is known for late when it is.
  return toRead ? nullptr : &account_->untold();
}

bool FcitxTextInput::reachBackTo(const Expectation& known, std::int64_t units) {
  if (known.origin.units <= units || known.origin.byte == 0) return true;
  auto* context = context_.get();
  return context && account_->reachBackTo(context->surroundingText(), units);
}

bool FcitxTextInput::canReplaceText() {
  const auto* context = context_.get();
  return context && tellsText(*context);
}

void FcitxTextInput::deleteRange(fcitx::InputContext& context, const Expectation& known, Utf16Range range) {
  const auto [start, end] = unitBounds(range);
  const bool reached = reachBackTo(known, start);
  // A range that cuts a surrogate pair takes the whole character. Characters before the known
  // part are counted as one unit each.
  const auto localStart = start - known.origin.units;
  const auto first = localStart >= 0
                         ? known.origin.chars + known.atUnit(localStart, false).chars
                         : known.origin.chars - std::min<std::size_t>(known.origin.chars, -localStart);
  const auto last =
      known.origin.chars + known.atUnit(std::max<std::int64_t>(end - known.origin.units, 0), true).chars;
  if (last <= first) return;
  const int offset = static_cast<int>(first) - static_cast<int>(known.origin.chars + known.cursor.chars);
  // The expectation comes first: an application may tell its text while it applies the edit.
  if (reached) {
    account_->next().erase(first - known.origin.chars, last - known.origin.chars);
  } else {
    account_->forget();
  }
  context.deleteSurroundingText(offset, static_cast<unsigned>(last - first));
}

void FcitxTextInput::setMarkedText(const std::string& text, Utf16Range selected, Utf16Range replacement) {
  auto* context = context_.get();
  if (!context) return;
  removeCommittedMarkedText(*context);
  if (replacement.location != kNotFound) {
    if (const auto* known = expected(false)) deleteRange(*context, *known, replacement);
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
  const auto* known = expected(false);
  if (known && replacement.location != kNotFound) deleteRange(*context, *known, replacement);
  if (text.empty()) return;
  // After the deletion, the newest expectation is the text without the deleted characters.
  if (known) account_->next().insert(text);
  context->commitString(text);
}

Utf16Range FcitxTextInput::selectedRange() {
  const auto* known = expected();
  if (!known) return {kNotFound, 0};
  const auto start = known->origin.units + known->start().units;
  return {start, known->end().units - known->start().units};
}

std::optional<std::string> FcitxTextInput::substring(Utf16Range range) {
  const auto [start, end] = unitBounds(range);
  const auto* known = expected();
  if (!known) return std::nullopt;
  if (end <= start) return std::string();
  reachBackTo(*known, start);
  const std::string_view text = known->near;
  const auto offset = known->origin.units;
  const auto first = known->atUnit(start - offset, true);
  const auto last = known->atUnit(end - offset, false);
  if (first.byte < known->start().byte) known->lastRead = first;
  // Half a surrogate pair at either end reads as U+FFFD, as a toolkit's conversion gives.
  constexpr std::string_view kReplacement = "\uFFFD";
  const bool halfFirst = first.units + offset > start;
  const bool halfLast = last.units + offset < end && last.byte < text.size();
  std::string out;
  out.reserve(std::max(last.byte, first.byte) - first.byte + 2 * kReplacement.size());
  if (halfFirst) out.append(kReplacement);
  if (last.byte > first.byte) out.append(text.substr(first.byte, last.byte - first.byte));
  if (halfLast) out.append(kReplacement);
  return out;
}

bool FcitxTextInput::passKey(const fcitx::Key& key) {
  auto* context = context_.get();
  // A field that can tell its text is a toolkit's, which takes committed text as typed; a key
  // typed next to marked text is the application's to place.
  if (!context || !context->capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) ||
      !marked_.empty() || (key.states() & kCommandStates)) {
    return letThrough();
  }
  const auto typed = fcitx::Key::keySymToUnicode(key.sym());
  if (typed >= 0x20 && typed != 0x7F) {
    insertText(unicode::encode_utf8(static_cast<char32_t>(typed)), {kNotFound, 0});
    return true;
  }
  const auto* known = expected();
  if (!known || key.sym() != FcitxKey_BackSpace || known->start().byte != known->end().byte)
    return letThrough();
  // A character goes with the marks that combine with it, as a toolkit's Backspace takes them.
  reachBackTo(*known, known->origin.units + known->cursor.units - kLongestCluster);
  Position from = known->cursor;
  while (from.byte > 0) {
    stepBack(known->near, from);
    std::size_t at = from.byte;
    if (unicode::combining_class(unicode::next_char(known->near, at)) == 0) break;
  }
  // At the start of the text, or of what is still known of it, the application decides.
  if (from.byte == known->cursor.byte || (from.byte == 0 && known->origin.byte > 0)) return letThrough();
  deleteRange(*context, *known, {known->origin.units + from.units, known->cursor.units - from.units});
  return true;
}

bool FcitxTextInput::letThrough() {
  // What the application does with the key cannot be told in advance.
  account_->forget();
  return false;
}

void FcitxTextInput::resync() { account_->forget(); }

void FcitxTextInput::markedTextCommittedOnFocusOut() {
  markedCommitted_ = markedInClient_ && !marked_.empty();
  // Fcitx5 wrote the text before telling the field, and the application may have told its text
  // since: the commit goes on the account before that report is looked at.
  if (markedCommitted_ && context_.get() &&
      context_.get()->capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) && account_->knows()) {
    account_->next().insert(marked_);
  }
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
  // Only the place that shows the marked text is set; the other one is emptied if it is not.
  // The input panel is redrawn only when it shows, or showed, the marked text itself.
  const bool panelChanges = !markedInClient_ || !panel.preedit().empty();
  if (markedInClient_) {
    panel.setClientPreedit(preedit);
    if (!panel.preedit().empty()) panel.setPreedit({});
  } else {
    panel.setPreedit(preedit);
    if (!panel.clientPreedit().empty()) panel.setClientPreedit({});
  }
  context.updatePreedit();
  if (panelChanges) context.updateUserInterface(fcitx::UserInterfaceComponent::InputPanel);
  marked_ = text;
}

void FcitxTextInput::removeCommittedMarkedText(fcitx::InputContext& context) {
  if (!std::exchange(markedCommitted_, false)) return;
  // The focus out wrote the marked text before the caret; something else is to stand there.
  const auto count = unicode::char_count(marked_);
  showMarked(context, {}, 0);
  if (const auto* known = expected(false)) {
    reachBackTo(*known, known->origin.units + known->cursor.units - static_cast<std::int64_t>(2 * count));
    if (known->cursor.chars >= count) {
      account_->next().erase(known->cursor.chars - count, known->cursor.chars);
    } else {
      account_->forget();
    }
  }
  context.deleteSurroundingText(-static_cast<int>(count), static_cast<unsigned>(count));
}

}  // namespace quorvix::platform::fcitx5
