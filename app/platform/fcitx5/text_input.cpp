#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/keysym.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <fcitx/text.h>
#include <fcitx/userinterface.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <string_view>

#include "platform/fcitx5/text_input.h"
#include "quorvix_app/text_account.h"

namespace quorvix::platform::fcitx5 {

using app::Expectation;
using app::TextAccount;
using app::TextPosition;
using platform::kNotFound;
using platform::Utf16Range;

namespace {

// Half a surrogate pair at either end of a read reads as U+FFFD, as a toolkit's conversion gives.
constexpr std::string_view kHalfPair = "\uFFFD";

// What the application last told of its text, as the account reads it.
app::TextReport reportOf(const fcitx::SurroundingText& told) {
  return {told.text(), told.cursor(), told.anchor()};
}

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
  if (report.isValid()) return account_->current(reportOf(report));
  // Qt's module tells nothing while its field is empty: the field's edits are recorded on an
  // empty text, so that the application's first report is known for late when it is.
  return toRead ? nullptr : account_->expectationWhileTextUntold();
}

bool FcitxTextInput::reachBackTo(const Expectation& known, std::int64_t units) {
  if (known.origin.units <= units || known.origin.byte == 0) return true;
  auto* context = context_.get();
  return context && account_->reachBackTo(reportOf(context->surroundingText()), units);
}

void FcitxTextInput::surroundingTextUpdated() {
  const auto* context = context_.get();
  // Fcitx5 commits the client pre-edit on focus out before the field hears of it, and the
  // application may tell its text inside that commit: while a pre-edit is shown, reports wait for
  // the next read, when that commit is on the account.
  if (context && tellsText(*context) && !(markedInClient_ && !marked_.empty())) {
    account_->reportArrived(reportOf(context->surroundingText()));
  }
}

bool FcitxTextInput::canReplaceText() {
  const auto* context = context_.get();
  return context && tellsText(*context);
}

void FcitxTextInput::deleteRange(fcitx::InputContext& context, const Expectation& known, Utf16Range range) {
  const auto [start, end] = unitBounds(range);
  // What stands before the known part cannot be read, so it is not known to be there: nothing is
  // deleted. A deletion leaves the field only for characters it knows, after the start of the text.
  if (!reachBackTo(known, start)) {
    account_->forget();
    return;
  }
  // A range that cuts a surrogate pair takes the whole character.
  const auto first = known.atUnit(std::max<std::int64_t>(start - known.origin.units, 0), false).chars;
  const auto last = known.atUnit(std::max<std::int64_t>(end - known.origin.units, 0), true).chars;
  if (last <= first) return;
  const int offset = static_cast<int>(first) - static_cast<int>(known.cursor.chars);
  // The expectation comes first: an application may tell its text while it applies the edit.
  account_->next().erase(first, last);
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
  for (TextPosition at; at.byte < text.size();) {
    TextPosition next = at;
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
    TextPosition next = to;
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
  // A keysym that names no Unicode scalar value types nothing: it goes on as a key.
  const auto typed = fcitx::Key::keySymToUnicode(key.sym());
  if (typed >= 0x20 && typed != 0x7F && qrx_unicode::is_scalar_value(typed)) {
    insertText(qrx_unicode::encode_utf8(static_cast<char32_t>(typed)), {kNotFound, 0});
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
  TextPosition from = known->cursor;
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
  auto& preedit = shown_;
  preedit.clear();
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
  const auto count = qrx_unicode::char_count(marked_);
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
