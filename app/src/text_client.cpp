#include "quorvix_app/text_client.h"

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace quorvix::app {

namespace {

using platform::kNotFound;
using platform::Utf16Range;

constexpr Utf16Range kNoRange{kNotFound, 0};

constexpr std::array<std::pair<std::uint16_t, std::string_view>, 14> kKeyNames{{
    {platform::key_codes::kReturn, "Enter"},
    {platform::key_codes::kKeypadEnter, "Enter"},
    {platform::key_codes::kTab, "Tab"},
    {platform::key_codes::kBackspace, "Backspace"},
    {platform::key_codes::kEscape, "Escape"},
    {platform::key_codes::kHome, "Home"},
    {platform::key_codes::kPageUp, "PageUp"},
    {platform::key_codes::kForwardDelete, "Delete"},
    {platform::key_codes::kEnd, "End"},
    {platform::key_codes::kPageDown, "PageDown"},
    {platform::key_codes::kLeft, "Left"},
    {platform::key_codes::kRight, "Right"},
    {platform::key_codes::kDown, "Down"},
    {platform::key_codes::kUp, "Up"},
}};

// The marked text's caret: the record's caret kept within its text.
std::int64_t caretWithin(std::int64_t caret, const std::string& text) {
  return std::clamp<std::int64_t>(caret, 0, utf16Length(text));
}

ApplyResult showMarked(EngineTextClient& client, const std::string& text, std::int64_t caret) {
  client.setMarkedText(text, {caretWithin(caret, text), 0}, kNoRange);
  return {true, false};
}

ApplyResult insert(EngineTextClient& client, const std::string& text, bool passKey) {
  client.insertText(text, kNoRange);
  return {true, passKey};
}

constexpr ApplyResult kNotHandled{false, true};

// A replacement the field cannot make as a whole is not made at all.
ApplyResult replace(EngineTextClient& client, const std::string& text, std::int64_t deleteBefore,
                    bool passKey) {
  if (!client.replaceText(text, deleteBefore)) return kNotHandled;
  return {true, passKey};
}

}  // namespace

std::int64_t utf16Length(std::string_view text) {
  return static_cast<std::int64_t>(qrx_unicode::utf16_length(text));
}

void FieldTextClient::setMarkedText(const std::string& text, Utf16Range selected, Utf16Range replacement) {
  if (auto field = field_.lock()) field->setMarkedText(text, selected, replacement);
}

void FieldTextClient::insertText(const std::string& text, Utf16Range replacement) {
  if (auto field = field_.lock()) field->insertText(text, replacement);
}

bool FieldTextClient::replaceText(const std::string& text, std::int64_t deleteBeforeUTF16) {
  auto field = field_.lock();
  if (!field) return false;
  const auto count = std::max<std::int64_t>(deleteBeforeUTF16, 0);
  const auto caret = field->selectedRange().location;
  if (caret == kNotFound) {
    if (count > 0) return false;
    field->insertText(text, kNoRange);
    return true;
  }
  // The units that end at the start of the selection, all of them.
  if (count > caret) return false;
  field->insertText(text, {caret - count, count});
  return true;
}

std::optional<std::string> FieldTextClient::beforeCursor(std::int64_t maxUnits) {
  auto field = field_.lock();
  if (!field) return std::nullopt;
  const auto caret = field->selectedRange().location;
  if (caret == kNotFound) return std::nullopt;
  const auto start = std::max<std::int64_t>(caret - maxUnits, 0);
  if (caret - start < 1) return std::string();
  return field->substring({start, caret - start});
}

std::optional<SurroundingSnapshot> FieldTextClient::surroundingSnapshot(std::int64_t maxLength) {
  return readSurroundings(maxLength).snapshot;
}

FieldTextClient::Surroundings FieldTextClient::readSurroundings(std::int64_t maxUnits) {
  Surroundings read;
  platform::TextAround around;
  readSurroundings(maxUnits, around, read);
  return read;
}

namespace {

// The string an optional holds, made when it holds none; its buffer stays from one read to the next.
std::string& reused(std::optional<std::string>& slot) { return slot ? *slot : slot.emplace(); }

}  // namespace

void FieldTextClient::readSurroundings(std::int64_t maxUnits, platform::TextAround& around, Surroundings& into) {
  auto field = field_.lock();
  if (field) field->readAround(maxUnits, around);
  if (!field || around.selection.location == kNotFound) {
    into.snapshot.reset();
    into.beforeCursor.reset();
    return;
  }
  reused(into.beforeCursor).assign(around.before());
  const auto anchor = around.beforeUnits;
  const auto cursor = anchor + around.selectedUnits;
  // A selection beyond what 32 bits count cannot be described to the engine: no snapshot.
  if (cursor > std::numeric_limits<std::uint32_t>::max()) {
    into.snapshot.reset();
    return;
  }
  if (!into.snapshot) into.snapshot.emplace();
  // The read's text is the snapshot's: the two buffers trade places rather than copy, and the
  // field's next read goes into the one the last snapshot held.
  into.snapshot->text.swap(around.text);
  into.snapshot->cursorUTF16 = static_cast<std::uint32_t>(cursor);
  into.snapshot->anchorUTF16 = static_cast<std::uint32_t>(anchor);
}

ApplyResult ActionApplier::apply(const QrxEnginePlan& plan, EngineTextClient& client) const {
  switch (plan.kind) {
    case QrxPlanKind::preedit:
      return showMarked(client, plan.text, plan.cursorUTF16);
    case QrxPlanKind::commit:
      return insert(client, plan.text, plan.passKey);
    case QrxPlanKind::replace:
      return replace(client, plan.text, plan.deleteUTF16, plan.passKey);
    case QrxPlanKind::pass:
    case QrxPlanKind::failSafe:
      break;
  }
  return kNotHandled;
}

ApplyResult ActionApplier::apply(const QrxEngineAction& action, EngineTextClient& client) const {
  switch (action.kind) {
    case QrxActionKind::preedit:
      return showMarked(client, action.insert, action.cursorUTF16);
    case QrxActionKind::replace:
      return replace(client, action.insert, action.deleteBeforeUTF16, action.passKey);
    case QrxActionKind::commit:
      return insert(client, action.insert, action.passKey);
    case QrxActionKind::pass:
      break;
  }
  return kNotHandled;
}

std::optional<std::string_view> KeyMapper::name(std::uint16_t keyCode) {
  // Most keys type characters: nothing to look for.
  if (keyCode == platform::key_codes::kNone) return std::nullopt;
  for (const auto& [code, name] : kKeyNames) {
    if (code == keyCode) return name;
  }
  return std::nullopt;
}

}  // namespace quorvix::app
