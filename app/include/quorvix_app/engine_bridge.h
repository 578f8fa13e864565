// The engine bridge, the application's one door to the typing engine: EngineSession is one
// session of the engine, owning its handle and offering its operations on application strings
// and records. Every text the engine returns is copied at once; every method is neutral when the
// session could not be opened.
#pragma once

#include <qrx_json/json.h>
#include <quorvix.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quorvix_app/config_file.h"

namespace quorvix::app {

// The C records and their kinds as the application keeps them, under their macOS names: on Linux
// the same mirrors of quorvix.h's QrxAction and QrxPlan.
enum class QrxActionKind : std::uint32_t {
  pass = QRX_ACTION_PASS,
  preedit = QRX_ACTION_PREEDIT,
  replace = QRX_ACTION_REPLACE,
  commit = QRX_ACTION_COMMIT,
};
enum class QrxPlanKind : std::uint32_t {
  pass = QRX_PLAN_PASS,
  preedit = QRX_PLAN_PREEDIT,
  commit = QRX_PLAN_COMMIT,
  replace = QRX_PLAN_REPLACE,
  failSafe = QRX_PLAN_FAIL_SAFE,
};

// No value for raw values the enumerations do not know.
std::optional<QrxActionKind> actionKindFromRaw(std::uint32_t raw);
std::optional<QrxPlanKind> planKindFromRaw(std::uint32_t raw);

struct QrxEngineAction {
  QrxActionKind kind = QrxActionKind::pass;
  std::int64_t deleteBeforeUTF16 = 0;
  std::string insert;
  std::int64_t cursorUTF16 = 0;
  bool passKey = false;

  static const QrxEngineAction pass;
  friend bool operator==(const QrxEngineAction&, const QrxEngineAction&) = default;
};

struct QrxEnginePlan {
  QrxPlanKind kind = QrxPlanKind::pass;
  std::int64_t deleteUTF16 = 0;
  std::int64_t deleteChars = 0;
  std::int64_t cursorUTF16 = 0;
  std::int64_t waitMs = 0;
  bool passKey = false;
  std::string text;

  static const QrxEnginePlan pass;
  friend bool operator==(const QrxEnginePlan&, const QrxEnginePlan&) = default;
};

// The engine's C functions the bridge calls, so that tests can stand in for them.
struct EngineFunctions {
  decltype(&qrx_session_new) sessionNew;
  decltype(&qrx_session_free) sessionFree;
  decltype(&qrx_process_key) processKey;
  decltype(&qrx_display_text) displayText;
  decltype(&qrx_plan_action_with_fallback) planActionWithFallback;
  decltype(&qrx_set_surrounding_text) setSurroundingText;
  decltype(&qrx_focus_changed) focusChanged;
  decltype(&qrx_cursor_moved) cursorMoved;
  decltype(&qrx_profile_output_mode) profileOutputMode;
  decltype(&qrx_set_output_mode) setOutputMode;
  decltype(&qrx_toggle_vietnamese) toggleVietnamese;
  decltype(&qrx_reset) reset;
  decltype(&qrx_is_enabled) isEnabled;
  decltype(&qrx_config_json) configJSON;
  decltype(&qrx_app_profile_json) appProfileJSON;
  decltype(&qrx_set_config_json) setConfigJSON;
  decltype(&qrx_charset_encode) charsetEncode;
  decltype(&qrx_charset_decode) charsetDecode;
};

// The functions of libquorvix itself.
const EngineFunctions& libquorvixFunctions();

// The bridge's QrxEngine, under its macOS name: one session of the typing engine, on Linux over
// libquorvix compiled into the addon and the executable.
class EngineSession {
 public:
  // Opens a session with the configuration text (the engine's defaults when absent) in output
  // mode `mode` (QRX_OUTPUT_REPLACE, else preedit). A text the engine rejects falls back once to
  // the defaults; should that fail too, the session stays closed and every method is neutral.
  explicit EngineSession(const std::optional<std::string>& configJSON,
                         std::uint32_t mode = QRX_OUTPUT_PREEDIT,
                         const EngineFunctions& functions = libquorvixFunctions());
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  // Nothing in the input method needs to ask, since every method is neutral without a handle; it
  // is how a test tells that the fall-back to the defaults opened a session.
  bool isOpen() const { return handle_ != nullptr; }
  // Whether the session runs on the configuration it was opened with, rather than on the
  // defaults it fell back to.
  bool tookConfiguration() const { return tookConfiguration_; }

  QrxEngineAction processKey(const std::string& key, bool ctrl, bool alt, bool meta);
  std::string displayText();
  // A plan for `action` in a field of kind `fieldKind` (QRX_FIELD_...), with a replace fallback
  // (QRX_REPLACE_FALLBACK_...). Negative counts are sent as 0; counts beyond 32 bits are refused
  // with the pass plan, as is everything the engine refuses.
  QrxEnginePlan planAction(const QrxEngineAction& action, std::uint32_t fieldKind,
                           const std::string& beforeDisplay,
                           const std::optional<std::string>& surroundingText, std::uint32_t cursorUTF16,
                           std::uint32_t anchorUTF16, bool allowUnverifiedReplace,
                           std::uint32_t replaceFallback);
  // The same with the surrounding text given by address (none when null), for a caller that keeps
  // it in a buffer of its own.
  QrxEnginePlan planAction(const QrxEngineAction& action, std::uint32_t fieldKind,
                           const std::string& beforeDisplay, const std::string* surroundingText,
                           std::uint32_t cursorUTF16, std::uint32_t anchorUTF16, bool allowUnverifiedReplace,
                           std::uint32_t replaceFallback);
  void setSurroundingText(const std::optional<std::string>& text);
  QrxEngineAction focusChanged(const std::optional<std::string>& appID);
  QrxEngineAction cursorMoved();
  // QRX_PROFILE_OUTPUT_NOT_SET, _PREEDIT or _REPLACE.
  std::uint32_t profileOutputMode();
  QrxEngineAction setOutputMode(std::uint32_t mode);
  QrxEngineAction toggleVietnamese();
  void reset();
  bool isEnabled();
  std::optional<std::string> configJSON();
  std::optional<std::string> appProfileJSON();
  bool setConfigJSON(const std::string& patch);
  std::optional<std::string> encodeCharset(const std::string& text, const std::string& charset);
  std::optional<std::string> decodeCharset(const std::string& text, const std::string& charset);

 private:
  QrxEngineAction action(const QrxAction& raw) const;

  const EngineFunctions& functions_;
  QrxSession* handle_ = nullptr;
  bool tookConfiguration_ = false;
};

// The engine's own configuration, by key: every key it reads, with the value it takes when the
// configuration gives none. Worked out once.
const ConfigDictionary& engineDefaults();

// Tries configuration settings one at a time on a session of the engine's defaults. The engine
// reads each setting of a configuration on its own, so one it rejects alone is one that makes it
// reject the whole configuration, and where it rejects the setting can be found by trying parts.
class ConfigProbe {
 public:
  explicit ConfigProbe(const EngineFunctions& functions = libquorvixFunctions())
      : session_(std::nullopt, QRX_OUTPUT_PREEDIT, functions) {}

  // Whether the engine takes `value` for the setting `key`.
  bool takes(std::string_view key, const qrx_json::Value& value);
  // The part of `value`, a value the engine does not take for `key`, that it does not take: the
  // first member or element, at any depth, that it rejects alone, else `value` itself.
  const qrx_json::Value& rejectedPart(std::string_view key, const qrx_json::Value& value);

 private:
  EngineSession session_;
};

// The key under which a session keeps the Vietnamese choice made for the application in the
// configuration's "app_modes"; absent when it keeps none (no application, or no engine).
std::optional<std::string> appModesKey(const std::optional<std::string>& appID,
                                       const EngineFunctions& functions = libquorvixFunctions());

}  // namespace quorvix::app
