// The edit planner: turns one engine action into the concrete edit a host performs on one text
// field, in the field's UTF-16 units. It stands between the engine and the user's document, so
// every deletion is checked against what the host can show of the field, and any doubt ends
// in a fail-safe plan (the host then drops the composition) rather than in deleting text that
// is not the engine's. Pure functions, callable from any thread.
#pragma once

#include <qrx_adapter_core/surrounding.h>
#include <qrx_engine/action.h>
#include <qrx_engine/ports.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace qrx_adapter_core::plan {

using surrounding::FieldState;

// How many units to delete before the caret: characters from the session, UTF-16 units from
// hosts that already measured in their own units.
struct DeleteCount {
  enum class Unit : std::uint8_t { Chars = 0, Utf16 = 1 };
  Unit unit = Unit::Chars;
  std::uint32_t count = 0;

  static constexpr DeleteCount chars(std::uint32_t n) { return {Unit::Chars, n}; }
  static constexpr DeleteCount utf16(std::uint32_t n) { return {Unit::Utf16, n}; }
  friend bool operator==(const DeleteCount&, const DeleteCount&) = default;
};

// The planner's input: the session's action with the caret measured in UTF-16 units.
struct AdapterAction {
  struct Pass {
    friend bool operator==(const Pass&, const Pass&) = default;
  };
  struct Preedit {
    std::string text;
    std::uint32_t cursor_utf16 = 0;
    friend bool operator==(const Preedit&, const Preedit&) = default;
  };
  struct Commit {
    std::string text;
    bool pass_key = false;
    friend bool operator==(const Commit&, const Commit&) = default;
  };
  struct Replace {
    std::string text;
    DeleteCount delete_count;
    bool pass_key = false;
    friend bool operator==(const Replace&, const Replace&) = default;
  };

  std::variant<Pass, Preedit, Commit, Replace> value;

  template <class T>
  const T* as() const {
    return std::get_if<T>(&value);
  }
  friend bool operator==(const AdapterAction&, const AdapterAction&) = default;
};

// The session's action in the planner's terms: counts stay characters, the preedit caret
// becomes a UTF-16 offset (a caret beyond the text stands at its end). Takes the action by
// value so that a moved-in action gives up its text without a copy.
AdapterAction from_action(qrx_engine::session::Action action);

enum class PlanKind : std::uint8_t { Pass = 0, Preedit = 1, Commit = 2, Replace = 3, FailSafe = 4 };

// Whether a replacement that could not be verified is performed anyway. Never when a snapshot
// of the field was taken: it must show the session's own text, or the word starts over. So only
// `Always` allows one, when there is no snapshot; `WithSurrounding` allows none.
enum class ReplaceFallback : std::uint8_t { Off = 0, WithSurrounding = 1, Always = 2 };

struct Plan {
  std::string text;         // to insert, commit or show; empty for Pass and FailSafe
  std::string_view reason;  // one of the fixed reason texts, never owned
  std::uint32_t cursor_utf16 = 0;
  std::uint32_t delete_utf16 = 0;
  std::uint32_t delete_chars = 0;
  std::uint32_t wait_ms = 0;  // pause after deleting, before inserting
  bool pass_key = false;      // deliver the key to the application after the edit
  PlanKind kind = PlanKind::Pass;
  friend bool operator==(const Plan&, const Plan&) = default;
};

Plan plan_action(const AdapterAction& action, const FieldState& field,
                 const qrx_engine::ports::AppProfile& profile);

Plan plan_action_with_fallback(const AdapterAction& action, const FieldState& field,
                               const qrx_engine::ports::AppProfile& profile, ReplaceFallback fallback);

// Byte offset of a UTF-16 caret in `text`.
std::optional<std::size_t> utf16_cursor_to_byte(std::string_view text, std::uint32_t cursor);

// The caret of a pre-edit plan (plan_action's): the action's caret in UTF-16 units, moved back
// off the middle of a character and kept within the text.
std::uint32_t preedit_caret(std::string_view text, std::uint32_t cursor);

}  // namespace qrx_adapter_core::plan

namespace qrx_adapter_core::timing {

// Milliseconds the host waits between deleting `chars` characters and inserting; applications
// that acknowledge each deletion slowly get their profile's delays, bounded to keep typing live.
std::uint32_t replace_wait_ms(const qrx_engine::ports::AppProfile& profile, std::uint32_t chars);

}  // namespace qrx_adapter_core::timing
