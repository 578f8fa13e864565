#include "quorvix_app/engine_bridge.h"

#include <qrx_json/json.h>
#include <qrx_unicode/unicode.h>

#include <functional>
#include <limits>

namespace quorvix::app {

namespace {

// Text from the engine is copied at once; invalid UTF-8 is repaired on the way.
std::string copyText(const char* text) {
  if (text == nullptr) return {};
  std::string_view view(text);
  return qrx_unicode::is_valid_utf8(view) ? std::string(view) : qrx_unicode::encode_utf8(qrx_unicode::decode_utf8(view));
}

std::optional<std::string> copyOptionalText(const char* text) {
  if (text == nullptr) return std::nullopt;
  return copyText(text);
}

const char* cText(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

bool fitsIn32Bits(std::int64_t count) { return count <= std::numeric_limits<std::uint32_t>::max(); }
std::uint32_t unsignedCount(std::int64_t count) { return count < 0 ? 0 : static_cast<std::uint32_t>(count); }

}  // namespace

const QrxEngineAction QrxEngineAction::pass{};
const QrxEnginePlan QrxEnginePlan::pass{};

std::optional<QrxActionKind> actionKindFromRaw(std::uint32_t raw) {
  if (raw > QRX_ACTION_COMMIT) return std::nullopt;
  return static_cast<QrxActionKind>(raw);
}

std::optional<QrxPlanKind> planKindFromRaw(std::uint32_t raw) {
  if (raw > QRX_PLAN_FAIL_SAFE) return std::nullopt;
  return static_cast<QrxPlanKind>(raw);
}

const EngineFunctions& libquorvixFunctions() {
  static constexpr EngineFunctions functions{
      qrx_session_new,
      qrx_session_free,
      qrx_process_key,
      qrx_display_text,
      qrx_plan_action_with_fallback,
      qrx_set_surrounding_text,
      qrx_focus_changed,
      qrx_cursor_moved,
      qrx_profile_output_mode,
      qrx_set_output_mode,
      qrx_toggle_vietnamese,
      qrx_reset,
      qrx_is_enabled,
      qrx_config_json,
      qrx_app_profile_json,
      qrx_set_config_json,
      qrx_charset_encode,
      qrx_charset_decode,
  };
  return functions;
}

EngineSession::EngineSession(const std::optional<std::string>& configJSON, std::uint32_t mode,
                             const EngineFunctions& functions)
    : functions_(functions) {
  handle_ = functions_.sessionNew(cText(configJSON), mode);
  tookConfiguration_ = handle_ != nullptr;
  if (handle_ == nullptr) handle_ = functions_.sessionNew(nullptr, mode);
}

EngineSession::~EngineSession() {
  if (handle_ != nullptr) functions_.sessionFree(handle_);
}

QrxEngineAction EngineSession::action(const QrxAction& raw) const {
  return QrxEngineAction{actionKindFromRaw(raw.kind).value_or(QrxActionKind::pass), raw.delete_before_utf16,
                         copyText(raw.insert), raw.cursor_utf16, raw.pass_key};
}

QrxEngineAction EngineSession::processKey(const std::string& key, bool ctrl, bool alt, bool meta) {
  if (handle_ == nullptr) return QrxEngineAction::pass;
  return action(functions_.processKey(handle_, key.c_str(), ctrl, alt, meta));
}

std::string EngineSession::displayText() {
  if (handle_ == nullptr) return {};
  return copyText(functions_.displayText(handle_));
}

QrxEnginePlan EngineSession::planAction(const QrxEngineAction& action, std::uint32_t fieldKind,
                                        const std::string& beforeDisplay,
                                        const std::optional<std::string>& surroundingText,
                                        std::uint32_t cursorUTF16, std::uint32_t anchorUTF16,
                                        bool allowUnverifiedReplace, std::uint32_t replaceFallback) {
  return planAction(action, fieldKind, beforeDisplay, surroundingText ? &*surroundingText : nullptr, cursorUTF16,
                    anchorUTF16, allowUnverifiedReplace, replaceFallback);
}

QrxEnginePlan EngineSession::planAction(const QrxEngineAction& action, std::uint32_t fieldKind,
                                        const std::string& beforeDisplay, const std::string* surroundingText,
                                        std::uint32_t cursorUTF16, std::uint32_t anchorUTF16,
                                        bool allowUnverifiedReplace, std::uint32_t replaceFallback) {
  if (handle_ == nullptr || !fitsIn32Bits(action.deleteBeforeUTF16) || !fitsIn32Bits(action.cursorUTF16)) {
    return QrxEnginePlan::pass;
  }
  const QrxAction raw{static_cast<std::uint32_t>(action.kind), unsignedCount(action.deleteBeforeUTF16),
                      unsignedCount(action.cursorUTF16), action.passKey, action.insert.c_str()};
  QrxPlan plan{};
  if (!functions_.planActionWithFallback(
          handle_, &raw, fieldKind, beforeDisplay.empty() ? nullptr : beforeDisplay.c_str(),
          surroundingText ? surroundingText->c_str() : nullptr, cursorUTF16, anchorUTF16, allowUnverifiedReplace, replaceFallback, &plan)) {
    return QrxEnginePlan::pass;
  }
  return QrxEnginePlan{planKindFromRaw(plan.kind).value_or(QrxPlanKind::pass),
                       plan.delete_utf16,
                       plan.delete_chars,
                       plan.cursor_utf16,
                       plan.wait_ms,
                       plan.pass_key,
                       copyText(plan.text)};
}

void EngineSession::setSurroundingText(const std::optional<std::string>& text) {
  if (handle_ != nullptr) functions_.setSurroundingText(handle_, cText(text));
}

QrxEngineAction EngineSession::focusChanged(const std::optional<std::string>& appID) {
  if (handle_ == nullptr) return QrxEngineAction::pass;
  return action(functions_.focusChanged(handle_, cText(appID)));
}

QrxEngineAction EngineSession::cursorMoved() {
  if (handle_ == nullptr) return QrxEngineAction::pass;
  return action(functions_.cursorMoved(handle_));
}

std::uint32_t EngineSession::profileOutputMode() {
  if (handle_ == nullptr) return QRX_PROFILE_OUTPUT_NOT_SET;
  return functions_.profileOutputMode(handle_);
}

QrxEngineAction EngineSession::setOutputMode(std::uint32_t mode) {
  if (handle_ == nullptr) return QrxEngineAction::pass;
  return action(functions_.setOutputMode(handle_, mode));
}

QrxEngineAction EngineSession::toggleVietnamese() {
  if (handle_ == nullptr) return QrxEngineAction::pass;
  return action(functions_.toggleVietnamese(handle_));
}

void EngineSession::reset() {
  if (handle_ != nullptr) functions_.reset(handle_);
}

bool EngineSession::isEnabled() { return handle_ != nullptr && functions_.isEnabled(handle_); }

std::optional<std::string> EngineSession::configJSON() {
  if (handle_ == nullptr) return std::nullopt;
  return copyOptionalText(functions_.configJSON(handle_));
}

std::optional<std::string> EngineSession::appProfileJSON() {
  if (handle_ == nullptr) return std::nullopt;
  return copyOptionalText(functions_.appProfileJSON(handle_));
}

bool EngineSession::setConfigJSON(const std::string& patch) {
  return handle_ != nullptr && functions_.setConfigJSON(handle_, patch.c_str());
}

std::optional<std::string> EngineSession::encodeCharset(const std::string& text, const std::string& charset) {
  if (handle_ == nullptr) return std::nullopt;
  return copyOptionalText(functions_.charsetEncode(handle_, charset.c_str(), text.c_str()));
}

std::optional<std::string> EngineSession::decodeCharset(const std::string& text, const std::string& charset) {
  if (handle_ == nullptr) return std::nullopt;
  return copyOptionalText(functions_.charsetDecode(handle_, charset.c_str(), text.c_str()));
}

const ConfigDictionary& engineDefaults() {
  static const auto defaults = [] {
    ConfigDictionary dictionary;
    const auto parsed = qrx_json::parse(EngineSession(std::nullopt).configJSON().value_or(""));
    if (!parsed || !parsed.value().is_object()) return dictionary;
    for (const auto& member : parsed.value().as_object())
      dictionary.insert_or_assign(member.name, member.value);
    return dictionary;
  }();
  return defaults;
}

bool ConfigProbe::takes(std::string_view key, const qrx_json::Value& value) {
  return session_.setConfigJSON(qrx_json::write_compact(qrx_json::Object{{std::string(key), value}}));
}

namespace {

// The container holding the items [first, last) of `container`, an object or an array.
qrx_json::Value slice(const qrx_json::Value& container, std::size_t first, std::size_t last) {
  if (container.is_object()) {
    const auto& members = container.as_object();
    return qrx_json::Object(members.begin() + static_cast<std::ptrdiff_t>(first),
                        members.begin() + static_cast<std::ptrdiff_t>(last));
  }
  const auto& elements = container.as_array();
  return qrx_json::Array(elements.begin() + static_cast<std::ptrdiff_t>(first),
                     elements.begin() + static_cast<std::ptrdiff_t>(last));
}

std::size_t itemCount(const qrx_json::Value& value) {
  if (value.is_object()) return value.as_object().size();
  return value.is_array() ? value.as_array().size() : 0;
}

const qrx_json::Value& item(const qrx_json::Value& container, std::size_t index) {
  return container.is_object() ? container.as_object()[index].value : container.as_array()[index];
}

// Halves the items of `value` until one is left that the engine rejects in place of `value`
// (`takesInPlace` says whether it takes a value there), the earlier half first, then looks into
// that one. A value is rejected as a whole when the engine takes no value of its kind there (an
// empty one neither), or takes each of its halves.
const qrx_json::Value& narrow(const qrx_json::Value& value,
                          const std::function<bool(const qrx_json::Value&)>& takesInPlace) {
  if (itemCount(value) == 0 || !takesInPlace(slice(value, 0, 0))) return value;
  std::size_t first = 0, last = itemCount(value);
  while (last - first > 1) {
    const auto middle = first + (last - first) / 2;
    if (!takesInPlace(slice(value, first, middle))) {
      last = middle;
    } else if (!takesInPlace(slice(value, middle, last))) {
      first = middle;
    } else {
      return value;
    }
  }
  if (last - first != 1) return value;
  const auto alone = [&](const qrx_json::Value& part) {
    if (value.is_object()) return takesInPlace(qrx_json::Object{{value.as_object()[first].name, part}});
    return takesInPlace(qrx_json::Array{part});
  };
  const auto& inside = item(value, first);
  return alone(inside) ? value : narrow(inside, alone);
}

}  // namespace

const qrx_json::Value& ConfigProbe::rejectedPart(std::string_view key, const qrx_json::Value& value) {
  return narrow(value, [&](const qrx_json::Value& part) { return takes(key, part); });
}

std::optional<std::string> appModesKey(const std::optional<std::string>& appID,
                                       const EngineFunctions& functions) {
  // A session with no choices of its own files the first toggle under the application's key,
  // which is then the only one in its "app_modes".
  EngineSession scratch(R"({"app_modes": {}})", QRX_OUTPUT_PREEDIT, functions);
  scratch.focusChanged(appID);
  scratch.toggleVietnamese();
  const auto config = scratch.configJSON();
  if (!config) return std::nullopt;
  const auto parsed = qrx_json::parse(*config);
  const qrx_json::Value* modes = parsed ? parsed.value().find("app_modes") : nullptr;
  if (modes == nullptr || !modes->is_object() || modes->as_object().size() != 1) return std::nullopt;
  return modes->as_object().front().name;
}

}  // namespace quorvix::app
