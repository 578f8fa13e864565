#include <qrx_adapter_core/plan.h>

#include <algorithm>
#include <limits>
#include <utility>

namespace qrx_adapter_core::plan {

namespace {

namespace sr = surrounding;
using qrx_engine::ports::AppProfile;
using Session = qrx_engine::session::Action;

constexpr std::uint32_t kU32Max = std::numeric_limits<std::uint32_t>::max();

std::uint32_t saturate_u32(std::uint64_t v) { return v > kU32Max ? kU32Max : static_cast<std::uint32_t>(v); }

Plan with_reason(PlanKind kind, std::string_view reason) {
  Plan plan;
  plan.kind = kind;
  plan.reason = reason;
  return plan;
}

Plan fail_safe(std::string_view reason) { return with_reason(PlanKind::FailSafe, reason); }

Plan commit(std::string_view reason, const std::string& text, bool pass_key) {
  Plan plan = with_reason(PlanKind::Commit, reason);
  plan.text = text;
  plan.pass_key = pass_key;
  return plan;
}

Plan replace(std::string_view reason, const AdapterAction::Replace& action, std::uint32_t units,
             std::uint32_t chars, const AppProfile& profile) {
  Plan plan = with_reason(PlanKind::Replace, reason);
  plan.text = action.text;
  plan.delete_utf16 = units;
  plan.delete_chars = chars;
  plan.wait_ms = timing::replace_wait_ms(profile, chars);
  plan.pass_key = action.pass_key;
  return plan;
}

// The deletion in UTF-16 units, measured on the session's own text before the caret; none when
// a character count reaches beyond that text.
std::optional<std::uint32_t> deletion_units(DeleteCount count, std::string_view own_text) {
  if (count.unit == DeleteCount::Unit::Utf16) return count.count;
  return sr::char_suffix_utf16_len(own_text, count.count);
}

// Only the session's own text may be deleted, and a snapshot of the field decides whether it is
// still there: the caret may have moved (a mouse click) or the application may have changed the
// text (a paste, a line break, another program) without telling. A snapshot that shows less than
// that text cannot vouch for it, and the word then starts over rather than insert a replacement
// over a deletion that would be cut short. Without a snapshot only the host's permission allows
// a replacement, and only of the session's own text.
Plan plan_replace(const AdapterAction::Replace& action, const FieldState& field, const AppProfile& profile) {
  const std::string_view own_text = field.before_display;
  const auto units = deletion_units(action.delete_count, own_text);
  if (!units) return fail_safe("replace-suffix-out-of-range");
  if (*units == 0) return commit("replace-no-delete", action.text, action.pass_key);

  if (field.surrounding) {
    const auto verified = sr::check_replace_view(own_text, field, *units);
    if (!verified) return fail_safe("replace-surrounding-mismatch");
    return replace(field.allow_unverified_replace ? "replace-trusted-direct" : "replace-verified", action,
                   verified->delete_utf16, verified->delete_chars, profile);
  }
  if (!field.allow_unverified_replace) return fail_safe("replace-no-surrounding");
  const auto tail = sr::utf16_suffix(own_text, *units);
  if (!tail) return fail_safe("replace-unverified-suffix");
  if (tail->empty()) return fail_safe("replace-unverified-empty");
  return replace("replace-trusted-direct", action, *units, sr::char_len(*tail), profile);
}

AdapterAction::Preedit preedit_from(std::string text, std::size_t cursor) {
  std::optional<std::uint32_t> units;
  if (cursor <= kU32Max) units = sr::char_to_utf16_offset(text, static_cast<std::uint32_t>(cursor));
  const std::uint32_t cursor_utf16 = units ? *units : sr::utf16_len(text);
  return {std::move(text), cursor_utf16};
}

// A host may hand over a caret beyond the pre-edit text or inside a surrogate pair; a host that
// applied it as given would select outside the text. Keep it on the text, at a character boundary.

}  // namespace

AdapterAction from_action(Session action) {
  if (auto* p = action.as<Session::Preedit>()) return {preedit_from(std::move(p->text), p->cursor)};
  if (auto* r = action.as<Session::Replace>()) {
    // A count too large for 32 bits fits no text the planner sees, so it fails safe
    // instead of wrapping round to a small deletion.
    return {AdapterAction::Replace{std::move(r->text), DeleteCount::chars(saturate_u32(r->delete_count)),
                                   r->pass_key}};
  }
  if (auto* c = action.as<Session::Commit>()) {
    return {AdapterAction::Commit{std::move(c->text), c->pass_key}};
  }
  return {AdapterAction::Pass{}};
}

Plan plan_action(const AdapterAction& action, const FieldState& field, const AppProfile& profile) {
  if (field.field_kind >= 1 && field.field_kind <= 3) {
    return with_reason(PlanKind::Pass, "field-disabled");
  }
  if (action.as<AdapterAction::Pass>()) return with_reason(PlanKind::Pass, "engine-pass");
  if (const auto* preedit = action.as<AdapterAction::Preedit>()) {
    Plan plan = with_reason(PlanKind::Preedit, "preedit");
    plan.text = preedit->text;
    plan.cursor_utf16 = preedit_caret(preedit->text, preedit->cursor_utf16);
    return plan;
  }
  if (const auto* c = action.as<AdapterAction::Commit>()) return commit("commit", c->text, c->pass_key);
  return plan_replace(std::get<AdapterAction::Replace>(action.value), field, profile);
}

Plan plan_action_with_fallback(const AdapterAction& action, const FieldState& field,
                               const AppProfile& profile, ReplaceFallback fallback) {
  Plan plan = plan_action(action, field, profile);
  // A snapshot of the field has the last word: only without one may the host's fall-back allow
  // a replacement that nothing confirms.
  if (plan.kind != PlanKind::FailSafe || !action.as<AdapterAction::Replace>() || field.surrounding ||
      fallback != ReplaceFallback::Always) {
    return plan;
  }
  FieldState unverified = field;
  unverified.allow_unverified_replace = true;
  return plan_action(action, unverified, profile);
}

std::uint32_t preedit_caret(std::string_view text, std::uint32_t cursor) {
  const std::uint32_t length = sr::utf16_len(text);
  if (cursor >= length) return length;
  return sr::utf16_to_byte_offset(text, cursor) ? cursor : cursor - 1;
}

std::optional<std::size_t> utf16_cursor_to_byte(std::string_view text, std::uint32_t cursor) {
  return sr::utf16_to_byte_offset(text, cursor);
}

}  // namespace qrx_adapter_core::plan

namespace qrx_adapter_core::timing {

std::uint32_t replace_wait_ms(const qrx_engine::ports::AppProfile& profile, std::uint32_t chars) {
  constexpr std::uint32_t kMin = 3;
  constexpr std::uint32_t kMax = 60;
  if (!profile.wait_ack) return kMin;
  const std::uint32_t product = plan::saturate_u32(std::uint64_t{profile.delay_per_char_ms} * chars);
  const std::uint32_t sum = plan::saturate_u32(std::uint64_t{profile.backspace_delay_ms} + product);
  return std::clamp(sum, kMin, kMax);
}

}  // namespace qrx_adapter_core::timing
