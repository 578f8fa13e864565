#include "quorvix_app/text_account.h"

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace quorvix::app {

namespace {

// Where character `chars` of `text` begins, or the text's end. Long texts are counted in blocks
// without branches, which the compiler vectorises: a block never holds more characters than
// bytes, so a whole block is counted only while that many characters are still to go.
TextPosition walkTo(std::string_view text, std::size_t chars) {
  // As long as a block's counts still fit in a byte, in whole sixteen-byte lanes: the longer the
  // block, the fewer the sums across lanes.
  constexpr std::size_t kBlock = 240;
  TextPosition at;
  while (text.size() - at.byte >= kBlock && chars - at.chars >= kBlock) {
    std::uint8_t leads = 0;
    std::uint8_t pairs = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
      leads += !qrx_unicode::is_continuation_byte(text[at.byte + i]);
      pairs += qrx_unicode::utf16_units_of_lead(text[at.byte + i]) - 1;
    }
    at = at + TextPosition{kBlock, leads, std::int64_t{leads} + pairs};
  }
  // The rest of a character whose lead byte the last block counted.
  while (at.byte < text.size() && qrx_unicode::is_continuation_byte(text[at.byte])) ++at.byte;
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

}  // namespace

void stepForward(std::string_view text, TextPosition& at) {
  at.units += qrx_unicode::utf16_units_of_lead(text[at.byte]);
  ++at.chars;
  do ++at.byte;
  while (at.byte < text.size() && qrx_unicode::is_continuation_byte(text[at.byte]));
}

void stepBack(std::string_view text, TextPosition& at) {
  do --at.byte;
  while (at.byte > 0 && qrx_unicode::is_continuation_byte(text[at.byte]));
  at.units -= qrx_unicode::utf16_units_of_lead(text[at.byte]);
  --at.chars;
}

bool Expectation::toldBy(const TextReport& report) const {
  const std::string_view text = report.text;
  return text.size() == size && report.cursor == origin.chars + cursor.chars &&
         report.anchor == origin.chars + anchor.chars &&
         std::char_traits<char>::compare(text.data() + origin.byte, near.data(), near.size()) == 0;
}

TextPosition Expectation::atChar(std::size_t chars) const {
  TextPosition at = nearestTo(chars, &TextPosition::chars);
  while (at.chars > chars && at.byte > 0) stepBack(near, at);
  while (at.chars < chars && at.byte < near.size()) stepForward(near, at);
  return at;
}

TextPosition Expectation::atUnit(std::int64_t units, bool roundUp) const {
  TextPosition at = nearestTo(units, &TextPosition::units);
  // Backwards byte by byte: a lead byte ends the character before it.
  for (std::size_t byte = at.byte; at.units > units && byte > 0;) {
    if (qrx_unicode::is_continuation_byte(near[--byte])) continue;
    const int width = qrx_unicode::utf16_units_of_lead(near[byte]);
    if (at.units - width < units && roundUp) break;
    at = {byte, at.chars - 1, at.units - width};
  }
  while (at.units < units && at.byte < near.size()) {
    TextPosition next = at;
    stepForward(near, next);
    if (next.units > units && !roundUp) break;
    at = next;
  }
  return at;
}

void Expectation::erase(std::size_t first, std::size_t last) {
  const auto from = atChar(first), to = atChar(std::max(first, last));
  near.erase(from.byte, to.byte - from.byte);
  size -= to.byte - from.byte;
  const auto shift = [&](TextPosition at) {
    if (at.byte <= from.byte) return at;
    return at.byte >= to.byte ? at - (to - from) : from;
  };
  cursor = shift(cursor);
  anchor = shift(anchor);
  lastRead = shift(lastRead);
}

void Expectation::insert(std::string_view text) {
  const auto from = start(), to = end();
  near.replace(from.byte, to.byte - from.byte, text);
  size = size - (to.byte - from.byte) + text.size();
  TextPosition written;
  while (written.byte < text.size()) stepForward(text, written);
  cursor = anchor = from + written;
  if (lastRead.byte > from.byte) lastRead = from;
  keepNearTheCaret();
}

void Expectation::keepNearTheCaret() {
  if (start().chars <= 2 * kKeptBefore) return;
  TextPosition from = start();
  while (start().chars - from.chars < kKeptBefore) stepBack(near, from);
  near.erase(0, from.byte);
  origin = origin + from;
  cursor = cursor - from;
  anchor = anchor - from;
  lastRead = lastRead.byte > from.byte ? lastRead - from : TextPosition{};
}

void Expectation::takeFrom(const TextReport& report) {
  const std::string_view text = report.text;
  const auto first = std::min(report.cursor, report.anchor);
  const auto last = std::max(report.cursor, report.anchor);
  // One walk from the start of the report: to where the kept part begins, then on through it.
  const TextPosition from = walkTo(text, first - std::min(first, kKeptBefore));
  TextPosition start = from;
  while (start.chars < first && start.byte < text.size()) stepForward(text, start);
  TextPosition end = start;
  while (end.chars < last && end.byte < text.size()) stepForward(text, end);
  TextPosition to = end;
  while (to.chars - end.chars < kKeptAfter && to.byte < text.size()) stepForward(text, to);
  near.assign(text.substr(from.byte, to.byte - from.byte));
  endsText = to.chars - end.chars < kKeptAfter;
  origin = from;
  size = text.size();
  const bool caretFirst = report.cursor < report.anchor;
  cursor = (caretFirst ? start : end) - from;
  anchor = (caretFirst ? end : start) - from;
  lastRead = {};
}

bool Expectation::alignWith(const TextReport& report) {
  const std::string_view text = report.text;
  // The selection as far from the caret in the report as here.
  if (static_cast<std::int64_t>(report.anchor) - static_cast<std::int64_t>(report.cursor) !=
      static_cast<std::int64_t>(anchor.chars) - static_cast<std::int64_t>(cursor.chars)) {
    return false;
  }
  // Where the report begins in `near` (`skipped`), or where `near` begins in the report
  // (`preceding`): the report's caret counts the characters between.
  TextPosition skipped;
  TextPosition preceding;
  if (report.cursor <= cursor.chars) {
    skipped = atChar(cursor.chars - report.cursor);
  } else {
    const std::size_t more = report.cursor - cursor.chars;
    if (more > kKeptBefore) return false;
    while (preceding.chars < more && preceding.byte < text.size()) stepForward(text, preceding);
    if (preceding.chars < more) return false;
  }
  // The same bytes up to the caret, and after it as far as both go.
  const std::size_t before = cursor.byte - skipped.byte;
  const std::size_t caret = preceding.byte + before;
  if (caret > text.size() ||
      text.compare(preceding.byte, before, std::string_view(near).substr(skipped.byte, before)) != 0) {
    return false;
  }
  // After the caret `near` holds what the report does, or what it keeps of it when the report
  // tells more; fewer characters than it keeps, and the text ended there.
  const std::size_t after = std::min(near.size() - cursor.byte, text.size() - caret);
  if (after < text.size() - caret && endsText) return false;
  if (text.compare(caret, after, std::string_view(near).substr(cursor.byte, after)) != 0) return false;
  // The same text: counted in the report's frame from now on, and no further than it tells.
  if (after < near.size() - cursor.byte) {
    near.resize(cursor.byte + after);
    endsText = !keepsAllItMayAfter();
  }
  if (skipped.byte > 0) {
    near.erase(0, skipped.byte);
    cursor = cursor - skipped;
    anchor = anchor - skipped;
    lastRead = lastRead.byte >= skipped.byte ? lastRead - skipped : TextPosition{};
  }
  if (lastRead.byte > near.size()) lastRead = {};
  origin = preceding;
  size = text.size();
  return true;
}

void Expectation::reachBackTo(const TextReport& report, std::int64_t units) {
  const std::string_view text = report.text;
  TextPosition from = origin;
  while ((from.units > units || origin.chars - from.chars < kKeptBefore / 2) && from.byte > 0) {
    stepBack(text, from);
  }
  near.insert(0, text.substr(from.byte, origin.byte - from.byte));
  const TextPosition added = origin - from;
  cursor = cursor + added;
  anchor = anchor + added;
  lastRead = lastRead + added;
  origin = from;
}

bool Expectation::keepsAllItMayAfter() const {
  TextPosition at = end();
  while (at.byte < near.size() && at.chars - end().chars < kKeptAfter) stepForward(near, at);
  return at.chars - end().chars == kKeptAfter;
}

template <class Count>
TextPosition Expectation::nearestTo(Count target, Count TextPosition::*by) const {
  TextPosition best{};
  Count bestDistance = target > Count{} ? target : Count{} - target;
  for (const TextPosition* candidate :
       std::initializer_list<const TextPosition*>{&cursor, &anchor, &lastRead}) {
    const Count at = candidate->*by;
    const Count distance = target > at ? target - at : at - target;
    if (distance < bestDistance) {
      best = *candidate;
      bestDistance = distance;
    }
  }
  return best;
}

TextAccount::TextAccount() { ring_.reserve(kRemembered); }

Expectation* TextAccount::current(const TextReport& report) {
  const bool forgotten = std::exchange(forgotten_, false);
  if (count_ == 0 || forgotten || !toldByLastReport(report)) lookAt(report);
  return waiting_ ? nullptr : &ring_[newest_];
}

void TextAccount::reportArrived(const TextReport& report) {
  if (count_ == 0 || forgotten_) return;
  // An application tells the texts it goes through in order, and a toolkit's module tells a text
  // only when it differs from the one it told last. So the very text told last, told again while
  // edits of the field's are outstanding, is no late report of one of them, whatever expectation
  // it reads like: the application came back to that text (its undo, a form's reset).
  if (!newestTold_ && toldByLastReport(report)) return takeAsItIs(report);
  lookAt(report);
}

Expectation* TextAccount::expectationWhileTextUntold() {
  if (waiting_) return nullptr;
  if (std::exchange(forgotten_, false) || count_ == 0) {
    count_ = 0;
    push() = Expectation{};
    newestTold_ = false;
    // The empty text is what the field assumes, not what the application told: no late report
    // tells it, and a report of it is the application's own.
    caughtUp_ = serial_;
    lastReport_ = serial_;
  }
  return &ring_[newest_];
}

void TextAccount::forget() {
  // With edits outstanding, the report the framework holds predates them: it is no text to go on
  // from. The expectations stay, to tell a late report from one of what the application holds now.
  if (count_ > 0 && !newestTold_) {
    waiting_ = true;
    return;
  }
  count_ = 0;
  forgotten_ = true;
  waiting_ = false;
}

Expectation& TextAccount::next() {
  const std::size_t from = newest_;
  Expectation& copy = push();
  copy = ring_[from];
  newestTold_ = false;
  return copy;
}

bool TextAccount::reachBackTo(const TextReport& report, std::int64_t units) {
  auto& newest = ring_[newest_];
  if (newest.origin.units <= units || newest.origin.byte == 0) return true;
  if (!newestTold_) return false;
  newest.reachBackTo(report, units);
  lastReport_ = serial_;
  return true;
}

void TextAccount::lookAt(const TextReport& report) {
  if (isStaleOrAgrees(report)) return;
  // A report of the part of the text around the caret, a window that moves with it, tells the
  // newest expectation in a frame of its own.
  if (count_ > 0 && ring_[newest_].alignWith(report)) {
    newestTold_ = true;
    caughtUp_ = lastReport_ = serial_;
    waiting_ = false;
    return;
  }
  takeAsItIs(report);
}

void TextAccount::takeAsItIs(const TextReport& report) {
  waiting_ = false;
  count_ = 0;
  push().takeFrom(report);
  newestTold_ = true;
  caughtUp_ = lastReport_ = serial_;
}

bool TextAccount::isStaleOrAgrees(const TextReport& report) {
  const auto pending = std::min<std::uint64_t>(count_, serial_ - caughtUp_);
  for (std::size_t age = 0; age < pending; ++age) {
    if (!at(age).toldBy(report)) continue;
    newestTold_ = age == 0;
    lastReport_ = serial_ - age;
    // The application has caught up with the newest, unless an older expectation it may still
    // be behind reads the same: the report may be a late one of that.
    if (newestTold_ && !toldByOlder(report, pending)) caughtUp_ = serial_;
    // Once the field forgot what the application holds, only its newest text tells that again: an
    // older one is a late report, and the field still knows nothing.
    if (newestTold_) waiting_ = false;
    return true;
  }
  return false;
}

bool TextAccount::toldByOlder(const TextReport& report, std::size_t pending) const {
  for (std::size_t age = 1; age < pending; ++age) {
    if (at(age).toldBy(report)) return true;
  }
  return false;
}

bool TextAccount::toldByLastReport(const TextReport& report) const {
  const auto age = serial_ - lastReport_;
  return age < count_ && at(static_cast<std::size_t>(age)).toldBy(report);
}

const Expectation& TextAccount::at(std::size_t age) const {
  return ring_[(newest_ + kRemembered - age) % kRemembered];
}

Expectation& TextAccount::push() {
  ++serial_;
  newest_ = count_ == 0 ? 0 : (newest_ + 1) % kRemembered;
  if (newest_ == ring_.size()) ring_.emplace_back();
  count_ = std::min(count_ + 1, kRemembered);
  return ring_[newest_];
}

}  // namespace quorvix::app
