#include "quorvix_app/text_client.h"

#include <unicode_text/unicode.h>

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
  std::int64_t units = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    // ASCII, most of Vietnamese text, needs no decoding.
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      ++units;
    } else {
      units += unicode::next_char(text, pos) >= 0x10000 ? 2 : 1;
    }
  }
  return units;
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

namespace {

// Up to `maxUnits` units before the selection that starts at `location`.
std::optional<std::string> readBefore(platform::TextInput& field, std::int64_t location,
                                      std::int64_t maxUnits) {
  const auto start = std::max<std::int64_t>(location - maxUnits, 0);
  if (location - start < 1) return std::string();
  return field.substring({start, location - start});
}

// The snapshot around `selection`, whose text before it has been read already.
std::optional<SurroundingSnapshot> snapshotAround(platform::TextInput& field, Utf16Range selection,
                                                  std::string_view before) {
  const auto read = [&](Utf16Range range) { return field.substring(range).value_or(std::string()); };
  const auto selected = selection.length > 0 ? read(selection) : std::string();
  const auto after = read({selection.location + selection.length, 1});
  const auto anchor = utf16Length(before);
  const auto cursor = anchor + utf16Length(selected);
  // A selection beyond what 32 bits count cannot be described to the engine: no snapshot.
  if (cursor > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  std::string text;
  text.reserve(before.size() + selected.size() + after.size());
  text.append(before).append(selected).append(after);
  return SurroundingSnapshot{std::move(text), static_cast<std::uint32_t>(cursor),
                             static_cast<std::uint32_t>(anchor)};
}

}  // namespace

std::optional<std::string> FieldTextClient::beforeCursor(std::int64_t maxUnits) {
  auto field = field_.lock();
  if (!field) return std::nullopt;
  const auto caret = field->selectedRange().location;
  if (caret == kNotFound) return std::nullopt;
  return readBefore(*field, caret, maxUnits);
}

std::optional<SurroundingSnapshot> FieldTextClient::surroundingSnapshot(std::int64_t maxLength) {
  return readSurroundings(maxLength).snapshot;
}

FieldTextClient::Surroundings FieldTextClient::readSurroundings(std::int64_t maxUnits) {
  auto field = field_.lock();
  if (!field) return {};
  const auto selection = field->selectedRange();
  if (selection.location == kNotFound) return {};
  auto before = readBefore(*field, selection.location, maxUnits);
  auto snapshot = snapshotAround(*field, selection, before ? std::string_view(*before) : std::string_view());
  return {std::move(snapshot), std::move(before)};
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
  for (const auto& [code, name] : kKeyNames) {
    if (code == keyCode) return name;
  }
  return std::nullopt;
}

}  // namespace quorvix::app
