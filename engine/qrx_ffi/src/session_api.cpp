// Exported functions of the typing road: sessions, keys, session state and edit plans.
#include "boundary.h"

#include <qrx_adapter_core/plan.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

using namespace quorvix;
using qrx_adapter_core::plan::AdapterAction;
using qrx_adapter_core::plan::DeleteCount;
using qrx_adapter_core::plan::ReplaceFallback;
using qrx_adapter_core::surrounding::FieldState;
using qrx_engine::ports::OutputMode;
using qrx_engine::session::Action;
using qrx_engine::session::Key;
using qrx_engine::session::KeyEvent;

using qrx_engine::session::is_pass_through_field;

OutputMode mode_of(std::uint32_t mode) {
  return mode == QRX_OUTPUT_REPLACE ? OutputMode::Replace : OutputMode::Preedit;
}

// Kinds beyond the last the engine knows count as normal fields.
std::uint8_t field_kind_of(std::uint32_t kind) {
  constexpr std::uint32_t kKinds = 6;
  return static_cast<std::uint8_t>(kind >= kKinds ? std::uint32_t{QRX_FIELD_NORMAL} : kind);
}

// Writes `values` into the host's record field by field: the record's padding belongs to the host.
void write_plan(QrxPlan& out, const QrxPlan& values) {
  out.kind = values.kind;
  out.delete_utf16 = values.delete_utf16;
  out.delete_chars = values.delete_chars;
  out.cursor_utf16 = values.cursor_utf16;
  out.wait_ms = values.wait_ms;
  out.pass_key = values.pass_key;
  out.text = values.text;
}

// The plan's text in the plan slot; null for an empty text, which leaves the slot as it was.
const char* plan_text(QrxSession& handle, std::string_view text) {
  if (text.empty()) return nullptr;
  store_without_nul(handle.plan_slot, text);
  return handle.plan_slot.c_str();
}

// A key as the session sees it. A replacement is measured against the text it rewrites, which
// the session keeps until its next key.
QrxAction run_key(QrxSession* handle, const KeyEvent& event) {
  handle->key_replace_units.reset();
  // U+0000 can never reach the host's text, so a key typing it would make every later count
  // one character off.
  if (event.key.kind == Key::Kind::Char && event.key.ch == 0) return zero_action();
  const Action action = handle->session.process_key(event);
  const QrxAction record = to_c(*handle, action, handle->session.replaced_text());
  if (record.kind == QRX_ACTION_REPLACE) handle->key_replace_units = record.delete_before_utf16;
  return record;
}

// A session operation measured against the display text from before it.
template <class Operation>
QrxAction run_operation(QrxSession* handle, Operation&& operation) {
  if (handle == nullptr) return zero_action();
  return contain(handle, zero_action(), [&] {
    handle->key_replace_units.reset();
    const std::string before = handle->session.display();
    return to_c(*handle, operation(handle->session), before);
  });
}

// Bytes at the start of `a` and `b` that are equal, eight compared at a time.
std::size_t common_start(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x;
    std::uint64_t y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x != y) {
      const std::uint64_t bits = x ^ y;
      return i + static_cast<std::size_t>(std::endian::native == std::endian::little ? std::countr_zero(bits)
                                                                                    : std::countl_zero(bits)) /
                     8;
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Whether `text` is well-formed UTF-8, given `checked`, well-formed text reported before. A host
// reports the text before the caret after every key, mostly what it reported before with a few
// characters dropped at its start and a few changed or added at its end: the characters `text`
// shares with `checked` from one of its first characters on are whole and well-formed, and only
// what follows them needs checking.
bool continues_checked(std::string_view checked, std::string_view text) {
  constexpr std::size_t kDroppedBytes = 16;  // how far into `checked` `text` may start
  std::size_t shared = 0;
  for (std::size_t drop = 0; drop < checked.size() && drop <= kDroppedBytes && !text.empty(); ++drop) {
    if (checked[drop] != text[0] || (static_cast<unsigned char>(checked[drop]) & 0xC0) == 0x80) continue;
    const std::string_view kept = checked.substr(drop);
    // Most often all of it is kept, followed by what was typed.
    if (text.starts_with(kept)) return qrx_unicode::is_valid_utf8(text.substr(kept.size()));
    std::size_t same = common_start(kept, text);
    // Back to the start of a character of `kept`, which is well-formed: what comes before is whole.
    while (same > 0 && same < kept.size() && (static_cast<unsigned char>(kept[same]) & 0xC0) == 0x80) --same;
    shared = std::max(shared, same);
    if (2 * shared >= text.size()) break;
  }
  return qrx_unicode::is_valid_utf8(text.substr(shared));
}

// `own_text` is the text the interface last wrote into an action record; a record that still
// points at it needs no check.
std::optional<AdapterAction> adapter_action(const QrxAction& action, const std::string& own_text) {
  std::string text;
  if (action.insert != nullptr) {
    // A host's copy of that text is compared with it rather than checked again.
    text = action.insert == own_text.c_str() ? std::string_view(own_text)
                                             : InputText(action.insert, own_text).view();
  }
  switch (action.kind) {
    case QRX_ACTION_PASS:
      return AdapterAction{AdapterAction::Pass{}};
    case QRX_ACTION_PREEDIT:
      return AdapterAction{AdapterAction::Preedit{std::move(text), action.cursor_utf16}};
    case QRX_ACTION_REPLACE:
      return AdapterAction{AdapterAction::Replace{
          std::move(text), DeleteCount::utf16(action.delete_before_utf16), action.pass_key}};
    case QRX_ACTION_COMMIT:
      return AdapterAction{AdapterAction::Commit{std::move(text), action.pass_key}};
    default:
      return std::nullopt;
  }
}

}  // namespace

QrxSession* qrx_session_new(const char* config_json, std::uint32_t mode) noexcept {
  return contain(static_cast<QrxSession*>(nullptr), static_cast<QrxSession*>(nullptr), [&]() -> QrxSession* {
    Config config;
    if (config_json != nullptr) {
      auto read = Config::from_json(InputText(config_json).view());
      if (!read) return nullptr;
      config = std::move(read).value();
    }
    return make_session(std::move(config), mode_of(mode)).release();
  });
}

void qrx_session_free(QrxSession* session) noexcept { delete session; }

QrxAction qrx_process_key(QrxSession* session, const char* key, bool ctrl, bool alt, bool meta) noexcept {
  if (key == nullptr || session == nullptr) return zero_action();
  return contain(session, zero_action(), [&] {
    // Most keys are one ASCII character, which needs neither checking nor a name look-up.
    const bool ascii_char = key[0] > 0 && static_cast<unsigned char>(key[0]) < 0x80 && key[1] == '\0';
    const KeyEvent event{ascii_char ? Key::character(static_cast<char32_t>(key[0])) : Key::parse(InputText(key).view()),
                         ctrl, alt, meta};
    return run_key(session, event);
  });
}

QrxAction qrx_process_char(QrxSession* session, std::uint32_t code_point, bool ctrl, bool alt,
                           bool meta) noexcept {
  if (session == nullptr || !is_scalar_value(code_point)) return zero_action();
  return contain(session, zero_action(), [&] {
    return run_key(session, KeyEvent{Key::character(static_cast<char32_t>(code_point)), ctrl, alt, meta});
  });
}

QrxAction qrx_flush(QrxSession* session) noexcept {
  return run_operation(session, [](auto& s) { return s.flush_composition(); });
}

QrxAction qrx_cursor_moved(QrxSession* session) noexcept {
  return run_operation(session, [](auto& s) { return s.cursor_moved(); });
}

QrxAction qrx_focus_changed(QrxSession* session, const char* app_id) noexcept {
  return run_operation(session, [&](auto& s) {
    std::optional<std::string> app = optional_input(app_id);
    session->shared->write()->current_app = app;
    return s.focus_changed(app ? std::optional<std::string_view>(*app) : std::nullopt);
  });
}

QrxAction qrx_toggle_vietnamese(QrxSession* session) noexcept {
  return run_operation(session, [](auto& s) { return s.toggle_vietnamese(); });
}

QrxAction qrx_set_field_kind(QrxSession* session, std::uint32_t field_kind) noexcept {
  return run_operation(session, [&](auto& s) { return s.set_field_kind(field_kind_of(field_kind)); });
}

QrxAction qrx_set_output_mode(QrxSession* session, std::uint32_t mode) noexcept {
  return run_operation(session, [&](auto& s) { return s.set_output_mode(mode_of(mode)); });
}

void qrx_set_surrounding_text(QrxSession* session, const char* text_before_caret) noexcept {
  if (session == nullptr) return;
  contain_void(session, [&] {
    auto shared = session->shared->write();
    if (text_before_caret == nullptr) {
      shared->surrounding.reset();
      return;
    }
    if (shared->surrounding) {
      // A host reports the text before the caret again after every key, mostly what it reported
      // before with its start dropped and a few characters added: only those are checked.
      const std::string_view raw(text_before_caret);
      if (raw == *shared->surrounding) return;  // as when no key changed the field
      if (continues_checked(*shared->surrounding, raw)) {
        shared->surrounding->assign(raw);
        return;
      }
    }
    const InputText text(text_before_caret);
    if (shared->surrounding) {
      shared->surrounding->assign(text.view());  // keeps its storage from key to key
    } else {
      shared->surrounding.emplace(text.view());
    }
  });
}

void qrx_reset(QrxSession* session) noexcept {
  if (session == nullptr) return;
  contain_void(session, [&] {
    session->key_replace_units.reset();
    session->session.reset();
  });
}

const char* qrx_display_text(QrxSession* session) noexcept {
  if (session == nullptr) return nullptr;
  return contain(session, static_cast<const char*>(nullptr), [&] {
    // Unchanged since the host read it last, the text is there already.
    const std::uint64_t changes = session->session.shown_changes();
    if (session->display_slot_changes != changes) {
      const std::string& shown = session->session.shown();
      store_without_nul(session->display_slot, shown);
      session->display_slot_changes =
          session->display_slot.size() == shown.size() ? changes : QrxSession::kNoDisplay;
    }
    return session->display_slot.c_str();
  });
}

bool qrx_is_enabled(QrxSession* session) noexcept { return session != nullptr && session->session.enabled(); }

std::uint32_t qrx_profile_backspace_delay_ms(QrxSession* session) noexcept {
  return session != nullptr ? session->session.profile().backspace_delay_ms : 0;
}

std::uint32_t qrx_profile_delay_per_char_ms(QrxSession* session) noexcept {
  return session != nullptr ? session->session.profile().delay_per_char_ms : 0;
}

std::uint32_t qrx_profile_output_mode(QrxSession* session) noexcept {
  if (session == nullptr) return QRX_PROFILE_OUTPUT_NOT_SET;
  const auto& mode = session->session.profile().output_mode;
  if (!mode) return QRX_PROFILE_OUTPUT_NOT_SET;
  return *mode == OutputMode::Preedit ? QRX_PROFILE_OUTPUT_PREEDIT : QRX_PROFILE_OUTPUT_REPLACE;
}

bool qrx_profile_wait_ack(QrxSession* session) noexcept {
  return session != nullptr && session->session.profile().wait_ack;
}

bool qrx_plan_action(QrxSession* session, const QrxAction* action, std::uint32_t field_kind,
                     const char* display_text, const char* surrounding_text, std::uint32_t caret_utf16,
                     std::uint32_t anchor_utf16, bool allow_unverified_replace, QrxPlan* plan) noexcept {
  return qrx_plan_action_with_fallback(session, action, field_kind, display_text, surrounding_text,
                                       caret_utf16, anchor_utf16, allow_unverified_replace,
                                       QRX_REPLACE_FALLBACK_NONE, plan);
}

bool qrx_plan_action_with_fallback(QrxSession* session, const QrxAction* action, std::uint32_t field_kind,
                                   const char* display_text, const char* surrounding_text,
                                   std::uint32_t caret_utf16, std::uint32_t anchor_utf16,
                                   bool allow_unverified_replace, std::uint32_t replace_fallback,
                                   QrxPlan* plan) noexcept {
  if (replace_fallback > QRX_REPLACE_FALLBACK_ALWAYS || action == nullptr || plan == nullptr || session == nullptr) return false;
  // A pass, and any action in a field that takes keys untouched, plans a pass whatever the texts
  // say: nothing of them needs reading.
  const std::uint8_t kind = field_kind_of(field_kind);
  if (action->kind == QRX_ACTION_PASS || (action->kind <= QRX_ACTION_COMMIT && is_pass_through_field(kind))) {
    write_plan(*plan, QrxPlan{QRX_PLAN_PASS, 0, 0, 0, 0, false, nullptr});
    return true;
  }
  if (action->kind == QRX_ACTION_PREEDIT || action->kind == QRX_ACTION_COMMIT) {
    // A pre-edit or a commit is planned from its own text alone: shown or committed as it is, a
    // pre-edit's caret kept off the middle of a character.
    return contain(session, false, [&] {
      std::optional<InputText> host_text;
      std::string_view text;
      if (action->insert == session->action_slot.c_str()) {
        text = session->action_slot;
      } else if (action->insert != nullptr) {
        text = host_text.emplace(action->insert, session->action_slot).view();
      }
      const bool preedit = action->kind == QRX_ACTION_PREEDIT;
      write_plan(*plan, QrxPlan{static_cast<std::uint32_t>(preedit ? QRX_PLAN_PREEDIT : QRX_PLAN_COMMIT), 0, 0,
                                preedit ? qrx_adapter_core::plan::preedit_caret(text, action->cursor_utf16) : 0, 0,
                                !preedit && action->pass_key, plan_text(*session, text)});
      return true;
    });
  }
  return contain(session, false, [&] {
    const std::optional<AdapterAction> adapter = adapter_action(*action, session->action_slot);
    if (!adapter) return false;
    // Only a replacement reads the field's texts. Hosts hand back the display text they read and
    // the surrounding text they reported, both already checked: only text that differs from them
    // is checked again.
    const bool replace = action->kind == QRX_ACTION_REPLACE;
    // The replacement the last key returned may rewrite only what the session wrote, which it
    // kept; any other only what the host read as the session's display.
    const bool own_replace = replace && session->key_replace_units &&
                             *session->key_replace_units == action->delete_before_utf16 &&
                             action->insert != nullptr &&
                             (action->insert == session->action_slot.c_str() || session->action_slot == action->insert);
    const std::optional<InputText> display =
        replace && !own_replace && display_text != nullptr
            ? std::optional<InputText>(std::in_place, display_text, session->display_slot)
            : std::nullopt;
    std::optional<InputText> surrounding;
    if (replace && surrounding_text != nullptr) {
      auto shared = session->shared->read();
      const std::optional<std::string>& reported = shared->surrounding;
      surrounding.emplace(surrounding_text, reported ? std::string_view(*reported) : std::string_view());
    }

    FieldState field;
    if (own_replace) {
      field.before_display = session->session.replaced_text();
    } else if (display) {
      field.before_display = display->view();
    }
    if (surrounding) {
      field.surrounding = surrounding->view();
      field.surrounding_well_formed = true;  // an InputText is
    }
    field.cursor_utf16 = caret_utf16;
    field.anchor_utf16 = anchor_utf16;
    field.field_kind = kind;
    field.allow_unverified_replace = allow_unverified_replace;
    const auto result = qrx_adapter_core::plan::plan_action_with_fallback(
        *adapter, field, session->session.profile(), static_cast<ReplaceFallback>(replace_fallback));
    write_plan(*plan, QrxPlan{static_cast<std::uint32_t>(result.kind), result.delete_utf16, result.delete_chars,
                              result.cursor_utf16, result.wait_ms, result.pass_key,
                              plan_text(*session, result.text)});
    return true;
  });
}
