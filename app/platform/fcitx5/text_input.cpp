#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/keysym.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <fcitx/text.h>
#include <fcitx/userinterface.h>
#include <unicode_text/unicode.h>

#include <algorithm>
#include <vector>

#include "platform/fcitx5/text_input.h"

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

// Steps over one character. Every text here is UTF-8 that Fcitx5 checked or that the engine
// wrote, so a character is its lead byte and the continuation bytes after it.
void stepForward(std::string_view text, Position& at) {
  at.units += unicode::utf16_units_of_lead(text[at.byte]);
  ++at.chars;
  do ++at.byte;
  while (at.byte < text.size() && unicode::is_continuation_byte(text[at.byte]));
}

void stepBack(std::string_view text, Position& at) {
  do --at.byte;
  while (at.byte > 0 && unicode::is_continuation_byte(text[at.byte]));
  at.units -= unicode::utf16_units_of_lead(text[at.byte]);
  --at.chars;
}

// Where character `chars` of `text` begins, or the text's end. Long texts are counted in blocks
// without branches, which the compiler vectorises: a block never holds more characters than
// bytes, so a whole block is counted only while that many characters are still to go.
Position walkTo(std::string_view text, std::size_t chars) {
  // As long as a block's counts still fit in a byte, in whole sixteen-byte lanes: the longer the
  // block, the fewer the sums across lanes.
  constexpr std::size_t kBlock = 240;
  Position at;
  while (text.size() - at.byte >= kBlock && chars - at.chars >= kBlock) {
    std::uint8_t leads = 0;
    std::uint8_t pairs = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
      leads += !unicode::is_continuation_byte(text[at.byte + i]);
      pairs += unicode::utf16_units_of_lead(text[at.byte + i]) - 1;
    }
    at = at + Position{kBlock, leads, std::int64_t{leads} + pairs};
  }
  // The rest of a character whose lead byte the last block counted.
  while (at.byte < text.size() && unicode::is_continuation_byte(text[at.byte])) ++at.byte;
  while (at.chars < chars && at.byte < text.size()) stepForward(text, at);
  return at;
}

// Half a surrogate pair at either end of a read reads as U+FFFD, as a toolkit's conversion gives.
constexpr std::string_view kHalfPair = "\uFFFD";

// How much of the application's text the field keeps around the caret: enough before it for
// the longest word and what the engine reads, and a few characters after the selection.
constexpr std::size_t kKeptBefore = 64;
constexpr std::size_t kKeptAfter = 8;
// How many of its own edits the field remembers: an application that is busy, or a burst of
// keys, can leave its reports that far behind.
constexpr std::size_t kRemembered = 256;

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
      if (unicode::is_continuation_byte(near[--byte])) continue;
      const int width = unicode::utf16_units_of_lead(near[byte]);
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
    for (const Position* candidate : std::initializer_list<const Position*>{&cursor, &anchor, &lastRead}) {
      const Count at = candidate->*by;
      const Count distance = target > at ? target - at : at - target;
      if (distance < bestDistance) {
        best = *candidate;
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
// The application's reports come in order. Once one tells the newest expectation, the application
// has applied every edit up to there, so a later report of that text or of an older one is no late
// report: the application took text back of its own accord (its undo, a word deleted with the
// mouse), and that is a real change too.
class TextAccount {
 public:
  TextAccount() { ring_.reserve(kRemembered); }

  // The expectation to read and to edit, checked against the application's report when that is
  // one not looked at yet.
  Expectation& current(const fcitx::SurroundingText& report) {
    const bool forgotten = std::exchange(forgotten_, false);
    if (count_ == 0 || forgotten || !lastReport_.toldBy(report)) lookAt(report);
    return ring_[newest_];
  }

  // A report the application has just sent. Each one is looked at as it comes, even one that
  // reads as the last: it may come back to that text after a change of its own. Without an
  // expectation to go on from, the next read takes the report as it is.
  void reportArrived(const fcitx::SurroundingText& report) {
    if (count_ > 0 && !forgotten_) lookAt(report);
  }

  // The expectation to record edits on while the application does not tell its text: the text
  // it held when it last told it, or an empty one.
  Expectation& expectationWhileTextUntold() {
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
  // Goes on from the newest expectation if the report is a late one or agrees with it, else takes
  // the report as a real change.
  void lookAt(const fcitx::SurroundingText& report) {
    if (isStaleOrAgrees(report)) return;
    count_ = 0;
    push().takeFrom(report);
    newestTold_ = true;
    caughtUp_ = serial_;
    lastReport_ = ring_[newest_];
  }

  // Looks for the expectation a report tells among those the application may still be behind,
  // newest first, and remembers the report.
  bool isStaleOrAgrees(const fcitx::SurroundingText& report) {
    const auto pending = std::min<std::uint64_t>(count_, serial_ - caughtUp_);
    for (std::size_t age = 0; age < pending; ++age) {
      if (!at(age).toldBy(report)) continue;
      newestTold_ = age == 0;
      lastReport_ = at(age);
      // The application has caught up with the newest, unless an older expectation it may still
      // be behind reads the same: the report may be a late one of that.
      if (newestTold_ && !toldByOlder(report, pending)) caughtUp_ = serial_;
      return true;
    }
    return false;
  }

  bool toldByOlder(const fcitx::SurroundingText& report, std::size_t pending) const {
    for (std::size_t age = 1; age < pending; ++age) {
      if (at(age).toldBy(report)) return true;
    }
    return false;
  }

  const Expectation& at(std::size_t age) const { return ring_[(newest_ + kRemembered - age) % kRemembered]; }

  Expectation& push() {
    ++serial_;
    newest_ = count_ == 0 ? 0 : (newest_ + 1) % kRemembered;
    if (newest_ == ring_.size()) ring_.emplace_back();
    count_ = std::min(count_ + 1, kRemembered);
    return ring_[newest_];
  }

  std::vector<Expectation> ring_;
  std::size_t newest_ = 0;
  std::size_t count_ = 0;
  // How many expectations there have been, the newest's number, and the number of the newest one
  // the application is known to have caught up with.
  std::uint64_t serial_ = 0;
  std::uint64_t caughtUp_ = 0;
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
  return toRead ? nullptr : &account_->expectationWhileTextUntold();
}

bool FcitxTextInput::reachBackTo(const Expectation& known, std::int64_t units) {
  if (known.origin.units <= units || known.origin.byte == 0) return true;
  auto* context = context_.get();
  return context && account_->reachBackTo(context->surroundingText(), units);
}

void FcitxTextInput::surroundingTextUpdated() {
  const auto* context = context_.get();
  // Fcitx5 commits the client pre-edit on focus out before the field hears of it, and the
  // application may tell its text inside that commit: while a pre-edit is shown, reports wait for
  // the next read, when that commit is on the account.
  if (context && tellsText(*context) && !(markedInClient_ && !marked_.empty())) {
    account_->reportArrived(context->surroundingText());
  }
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
  return known ? selection(*known) : Utf16Range{kNotFound, 0};
}

Utf16Range FcitxTextInput::selection(const Expectation& known) {
  return {known.origin.units + known.start().units, known.end().units - known.start().units};
}

std::optional<std::string> FcitxTextInput::substring(Utf16Range range) {
  const auto* known = expected();
  if (!known) return std::nullopt;
  std::string out;
  appendRead(*known, range, out);
  return out;
}

void FcitxTextInput::readAround(std::int64_t maxUnitsBefore, platform::TextAround& into) {
  into.text.clear();
  into.beforeBytes = into.selectedBytes = 0;
  into.beforeUnits = into.selectedUnits = 0;
  // One look at the application's report for the whole read.
  const auto* known = expected();
  if (!known) {
    into.selection = {kNotFound, 0};
    return;
  }
  into.selection = selection(*known);
  const auto location = into.selection.location;
  const auto start = std::max<std::int64_t>(location - maxUnitsBefore, 0);
  if (location > start) into.beforeUnits = appendRead(*known, {start, location - start}, into.text);
  into.beforeBytes = into.text.size();
  // The selection's ends are character boundaries the expectation knows: its text and the unit
  // after it are read from there, without looking for where units fall.
  const auto from = known->start(), to = known->end();
  into.text.append(std::string_view(known->near).substr(from.byte, to.byte - from.byte));
  into.selectedUnits = to.units - from.units;
  into.selectedBytes = to.byte - from.byte;
  if (to.byte < known->near.size()) {
    Position next = to;
    stepForward(known->near, next);
    // A character of two units is half read: U+FFFD, as substring() gives.
    if (next.units - to.units == 1) {
      into.text.append(std::string_view(known->near).substr(to.byte, next.byte - to.byte));
    } else {
      into.text.append(kHalfPair);
    }
  }
}

std::int64_t FcitxTextInput::appendRead(const Expectation& known, Utf16Range range, std::string& out) {
  const auto [start, end] = unitBounds(range);
  if (end <= start) return 0;
  reachBackTo(known, start);
  const std::string_view text = known.near;
  const auto offset = known.origin.units;
  const auto first = known.atUnit(start - offset, true);
  const auto last = known.atUnit(end - offset, false);
  if (first.byte < known.start().byte) known.lastRead = first;
  const bool halfFirst = first.units + offset > start;
  const bool halfLast = last.units + offset < end && last.byte < text.size();
  if (halfFirst) out.append(kHalfPair);
  if (last.byte > first.byte) out.append(text.substr(first.byte, last.byte - first.byte));
  if (halfLast) out.append(kHalfPair);
  return std::max<std::int64_t>(last.units - first.units, 0) + halfFirst + halfLast;
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
  // One character, without the marks before it: that is what Qt's fields take, and never more
  // than GTK's, which take the letter with its marks.
  reachBackTo(*known, known->origin.units + known->cursor.units - 2);
  // At the start of the text, or of what is still known of it, the application decides.
  if (known->cursor.byte == 0) return letThrough();
  Position from = known->cursor;
  stepBack(known->near, from);
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
