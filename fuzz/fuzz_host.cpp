// A host's whole conversation with one session, decoded from the input: keys, code points,
// focus changes, caret moves, surrounding text, modes, field kinds, patches and plans with every
// fallback. After every call the texts that came back must be valid, and a plan must never
// delete more than the host's text before the caret.
#include "fuzz_support.h"

#include <quorvix.h>

#include <array>
#include <string>
#include <vector>

namespace {

// The keys a host may send, separated by "|" (the space and the empty name are keys too).
const std::vector<std::string> kKeys = [] {
  const std::string_view list =
      "a|s|f|r|x|j|w|d|e|o|1|6|9| "
      "|.|\xe1\xbb\x87|\xf0\x9f\x98\x80|Backspace|Enter|Escape|Tab|Left|Home|Delete|"
      "Shift||Command|\xcc\x81";
  std::vector<std::string> keys;
  for (std::size_t start = 0;;) {
    const std::size_t end = list.find('|', start);
    keys.emplace_back(list.substr(start, end - start));
    if (end == std::string_view::npos) return keys;
    start = end + 1;
  }
}();

constexpr std::array<const char*, 6> kPatches = {
    R"({"input_method":"vni"})",
    R"({"input_method":"telex","macros":{"ko":"không","xin chao":"Xin chào"}})",
    R"({"unicode_form":"NFD"})",
    R"({"auto_capitalize":true,"smart_caps":true})",
    R"({"macro_in_off_mode":true,"default_vietnamese":false})",
    "[\"viqr\"]"};

// The host's field: everything before the caret, as the host would report it.
struct Field {
  std::string before;

  void apply_plan(const QrxPlan& plan, const char* key) {
    if (plan.kind == 3) {  // replace: delete whole characters, then insert
      const std::u32string chars = fuzz::code_points(before);
      std::size_t units = 0;
      std::size_t keep = chars.size();
      while (keep > 0 && units < plan.delete_utf16) units += chars[--keep] > 0xFFFF ? 2 : 1;
      // Running out of text is the host cutting the deletion at the start of its document.
      fuzz::check(units <= plan.delete_utf16, "deletion splits a surrogate pair");
      std::string kept;
      for (std::size_t i = 0; i < keep; ++i) fuzz::append_utf8(kept, chars[i]);
      before = kept;
    }
    if ((plan.kind == 2 || plan.kind == 3) && plan.text) before += plan.text;
    if ((plan.kind == 0 || plan.pass_key) && key && std::string_view(key).size() <= 4) before += key;
    if (before.size() > 200) before.erase(0, before.size() - 100);
    while (!before.empty() && (static_cast<unsigned char>(before.front()) & 0xC0) == 0x80) before.erase(0, 1);
  }
};

void check_action(const QrxAction& a) {
  fuzz::check(a.kind <= 3, "action kind");
  if (a.kind == 0) {
    fuzz::check(a.insert == nullptr && a.delete_before_utf16 == 0 && a.cursor_utf16 == 0 && !a.pass_key,
                "pass record");
    return;
  }
  fuzz::check(a.insert != nullptr, "action without text");
  const std::string_view text = fuzz::checked_text(a.insert, "action text");
  if (a.kind == 1) fuzz::check(a.cursor_utf16 <= fuzz::utf16_units(text), "cursor beyond the pre-edit text");
}

// `surrounding` is the host's text before the caret as it gave it (null when not given);
// `display` is what the session showed before the key.
void check_plan(const QrxPlan& p, const std::string* surrounding, std::uint32_t caret,
                std::string_view display) {
  fuzz::check(p.kind <= 4, "plan kind");
  const std::string_view text = fuzz::checked_text(p.text, "plan text");
  fuzz::check(p.text == nullptr || !text.empty(), "plan text empty but not null");
  fuzz::check(
      p.delete_chars <= p.delete_utf16 && p.delete_utf16 <= 2 * static_cast<std::uint64_t>(p.delete_chars),
      "deletion counts disagree");
  if (p.kind == 1) fuzz::check(p.cursor_utf16 <= fuzz::utf16_units(text), "plan cursor beyond its text");
  if (p.kind == 4)
    fuzz::check(p.text == nullptr && p.delete_utf16 == 0 && !p.pass_key, "fail-safe plan does something");
  // With the host's text given, a plan never deletes beyond it: a deletion cut short at the start
  // of the document would leave old text in front of the replacement.
  if (surrounding != nullptr && p.kind == 3) {
    fuzz::check(p.delete_utf16 <= caret, "plan deletes more than the text before the caret",
                *surrounding + " | display " + std::string(display) + " | delete " +
                    std::to_string(p.delete_utf16) + " | caret " + std::to_string(caret));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  QrxSession* session = qrx_session_new(nullptr, in.byte() % 2);
  fuzz::check(session != nullptr, "default session");
  Field field;
  bool surrounding_given = false;

  while (!in.empty()) {
    const std::uint8_t op = in.byte() % 12;
    QrxAction action{};
    const char* key = nullptr;
    switch (op) {
      case 0:
      case 1:
      case 2: {
        key = kKeys[in.byte() % kKeys.size()].c_str();
        const std::uint8_t flags = in.byte();
        const std::string display(fuzz::checked_text(qrx_display_text(session), "display text"));
        if (surrounding_given) qrx_set_surrounding_text(session, field.before.c_str());
        action = qrx_process_key(session, key, (flags & 7) == 1, (flags & 7) == 2, (flags & 7) == 3);
        check_action(action);
        // Plan as the host does: with a snapshot of the field when it has one.
        const std::uint32_t caret = static_cast<std::uint32_t>(fuzz::utf16_units(field.before));
        QrxPlan plan{};
        const std::uint32_t fallback = in.byte() % 3;
        const bool unverified = (flags & 0x80) != 0;
        const std::string* snapshot = surrounding_given ? &field.before : nullptr;
        if (qrx_plan_action_with_fallback(session, &action, 0, display.c_str(),
                                          snapshot ? snapshot->c_str() : nullptr, caret, caret, unverified,
                                          fallback, &plan)) {
          check_plan(plan, snapshot, caret, display);
          if (plan.kind == 4) {
            qrx_reset(session);
          } else if (snapshot != nullptr || plan.kind != 3) {
            field.apply_plan(plan, key);
          }
        }
        break;
      }
      case 3:
        action = qrx_process_char(session, in.u32() % 0x110100, false, false, false);
        break;
      case 4: {
        static constexpr std::array<const char*, 4> apps = {"com.apple.Terminal", "com.microsoft.Word", "",
                                                            "x"};
        const std::uint8_t pick = in.byte() % 5;
        action = qrx_focus_changed(session, pick < 4 ? apps[pick] : nullptr);
        break;
      }
      case 5:
        action = qrx_cursor_moved(session);
        break;
      case 6: {
        surrounding_given = (in.byte() & 1) != 0;
        if (!surrounding_given) {
          qrx_set_surrounding_text(session, nullptr);
        } else {
          field.before = in.bytes(16);
          field.before = std::string(field.before.c_str());  // a host's text has no NUL inside
          if (!fuzz::valid_utf8(field.before)) field.before.clear();
          qrx_set_surrounding_text(session, field.before.c_str());
        }
        break;
      }
      case 7:
        action = qrx_set_output_mode(session, in.byte() % 3);
        break;
      case 8:
        action = qrx_set_field_kind(session, in.byte() % 8);
        break;
      case 9:
        action = qrx_toggle_vietnamese(session);
        break;
      case 10: {
        QrxAction out{};
        if (qrx_apply_config_json(session, kPatches[in.byte() % kPatches.size()], &out)) check_action(out);
        break;
      }
      default: {
        // A plan for an action the host made up.
        QrxAction made{};
        made.kind = in.byte() % 6;
        made.delete_before_utf16 = in.byte();
        made.cursor_utf16 = in.byte();
        made.pass_key = (in.byte() & 1) != 0;
        const std::string text = in.bytes(8);
        made.insert = (made.kind % 2) ? text.c_str() : nullptr;
        const std::string display = in.bytes(8);
        const std::uint32_t caret =
            static_cast<std::uint32_t>(fuzz::utf16_units(fuzz::valid_utf8(field.before) ? field.before : ""));
        QrxPlan plan{};
        if (qrx_plan_action_with_fallback(session, &made, in.byte() % 7, display.c_str(),
                                          field.before.c_str(), caret, caret, (in.byte() & 1) != 0,
                                          in.byte() % 4, &plan)) {
          check_plan(plan, &field.before, caret, display);
        }
        break;
      }
    }
    check_action(action);
    fuzz::checked_text(qrx_display_text(session), "display text");
  }
  qrx_session_free(session);
  return 0;
}
