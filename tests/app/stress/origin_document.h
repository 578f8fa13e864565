// An input context that keeps a document the way a text field does and knows where each of its
// characters came from: typed by the application itself (pasted, written by a program, the text
// the field started with) or produced by keys through the input method (committed by it, or a
// key it let through that the application typed). The input method may change the second kind
// only; removals of the first kind by anything but the application's own edits are recorded for
// the test to judge.
#pragma once

#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/key.h>
#include <fcitx/event.h>
#include <fcitx/inputcontext.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvix::platform::fcitx5::testing {

struct Cell {
  char32_t c = 0;
  std::uint64_t id = 0;
  bool application = false;
};

// A field's text with its caret and the other end of its selection, counted in characters.
struct Text {
  std::vector<Cell> cells;
  std::size_t cursor = 0;
  std::size_t anchor = 0;
  std::uint64_t nextId = 1;

  std::size_t start() const { return std::min(cursor, anchor); }
  std::size_t end() const { return std::max(cursor, anchor); }
  bool selects() const { return cursor != anchor; }

  std::u32string chars(std::size_t from = 0, std::size_t to = SIZE_MAX) const {
    std::u32string out;
    for (std::size_t i = from; i < std::min(to, cells.size()); ++i) out += cells[i].c;
    return out;
  }

  // Removes the cells [from, to); caret and anchor move with the text.
  std::vector<Cell> erase(std::size_t from, std::size_t to) {
    to = std::min(to, cells.size());
    if (from >= to) return {};
    std::vector<Cell> removed(cells.begin() + from, cells.begin() + to);
    cells.erase(cells.begin() + from, cells.begin() + to);
    const auto shift = [&](std::size_t at) { return at <= from ? at : at >= to ? at - (to - from) : from; };
    cursor = shift(cursor);
    anchor = shift(anchor);
    return removed;
  }

  // Puts `text` in place of the selection, the caret after it.
  std::vector<Cell> insert(std::u32string_view text, bool application) {
    const auto at = start();
    auto removed = erase(at, end());
    std::vector<Cell> inserted;
    for (const char32_t c : text) inserted.push_back({c, nextId++, application});
    cells.insert(cells.begin() + at, inserted.begin(), inserted.end());
    cursor = anchor = at + text.size();
    return removed;
  }

  std::size_t lineStart(std::size_t at) const {
    while (at > 0 && cells[at - 1].c != U'\n') --at;
    return at;
  }
  std::size_t lineEnd(std::size_t at) const {
    while (at < cells.size() && cells[at].c != U'\n') ++at;
    return at;
  }

  // "|" at the caret, "^" at the anchor of a selection, "⏎" for a line break; the application's
  // characters are underlined when `origins`.
  std::string show(bool origins = false) const {
    std::string out;
    for (std::size_t i = 0; i <= cells.size(); ++i) {
      if (i == anchor && anchor != cursor) out += "^";
      if (i == cursor) out += "|";
      if (i == cells.size()) break;
      out += cells[i].c == U'\n' ? std::string("⏎") : qrx_unicode::encode_utf8(cells[i].c);
      if (origins && cells[i].application) out += "\u0332";
    }
    return out;
  }

  bool reads(const Text& other) const {
    return chars() == other.chars() && cursor == other.cursor && anchor == other.anchor;
  }
};

// What a text field does with a key that reaches it: a key that types text types it over the
// selection, Backspace and Delete take the selection or one character, the arrows, Home and End
// move the caret (with Shift they move only the caret, keeping the anchor). Chords with Control,
// Alt, Super, Meta or Hyper are commands and type nothing; AltGr (the fifth modifier) types.
// Returns what it removed.
inline std::vector<Cell> typeKey(Text& text, const fcitx::Key& key) {
  const fcitx::KeyStates command{fcitx::KeyState::Ctrl,   fcitx::KeyState::Alt,  fcitx::KeyState::Super,
                                 fcitx::KeyState::Super2, fcitx::KeyState::Meta, fcitx::KeyState::Hyper,
                                 fcitx::KeyState::Hyper2};
  if (key.states().testAny(command) || key.isModifier()) return {};
  const bool extend = key.states().test(fcitx::KeyState::Shift);
  const auto move = [&](std::size_t to) {
    text.cursor = to;
    if (!extend) text.anchor = to;
    return std::vector<Cell>{};
  };
  const auto size = text.cells.size();
  const bool collapse = text.selects() && !extend;
  switch (key.sym()) {
    case FcitxKey_BackSpace:
      if (text.selects()) return text.erase(text.start(), text.end());
      return text.cursor > 0 ? text.erase(text.cursor - 1, text.cursor) : std::vector<Cell>{};
    case FcitxKey_Delete:
      if (text.selects()) return text.erase(text.start(), text.end());
      return text.erase(text.cursor, text.cursor + 1);
    case FcitxKey_Left:
      return move(collapse ? text.start() : text.cursor - std::min<std::size_t>(text.cursor, 1));
    case FcitxKey_Right:
      return move(collapse ? text.end() : std::min(text.cursor + 1, size));
    case FcitxKey_Home:
      return move(text.lineStart(text.cursor));
    case FcitxKey_End:
      return move(text.lineEnd(text.cursor));
    case FcitxKey_Up:
    case FcitxKey_Page_Up:
      return move(0);
    case FcitxKey_Down:
    case FcitxKey_Page_Down:
      return move(size);
    case FcitxKey_Return:
    case FcitxKey_KP_Enter:
      return text.insert(U"\n", false);
    case FcitxKey_Tab:
      return text.insert(U"\t", false);
    default:
      break;
  }
  const auto c = fcitx::Key::keySymToUnicode(key.sym());
  if (c < 0x20 || c == 0x7F) return {};
  return text.insert(std::u32string(1, c), false);
}

class OriginDocument : public fcitx::InputContext {
 public:
  OriginDocument(fcitx::InputContextManager& manager, const std::string& program)
      : InputContext(manager, program) {
    created();
  }
  ~OriginDocument() override { destroy(); }
  const char* frontend() const override { return "quorvix-stress"; }

  // Tells the input method's edits only with its own next change, as many applications do.
  bool tellsLate = false;
  // Tells only the line the caret is on.
  bool tellsCaretLine = false;

  const Text& text() const { return text_; }
  const std::string& clientPreedit() const { return preedit_; }
  // The application's characters that anything but the application's own edits removed since
  // the last call.
  std::vector<Cell> takeRemovedApplicationCells() { return std::exchange(removed_, {}); }
  // What the input method committed since the last call, one text after the other.
  std::string takeCommitted() { return std::exchange(committed_, {}); }

  void setCapabilities(fcitx::CapabilityFlags flags) {
    setCapabilityFlags(flags);
    tell();
  }

  // The application's own edits, told at once.
  void applicationTypes(std::u32string_view text) {
    text_.insert(text, true);
    tell();
  }
  void applicationErases(std::size_t from, std::size_t to) {
    text_.erase(from, to);
    tell();
  }
  void applicationSelects(std::size_t cursor, std::size_t anchor) {
    text_.cursor = std::min(cursor, text_.cells.size());
    text_.anchor = std::min(anchor, text_.cells.size());
    tell();
  }
  // Takes back exactly what was typed since the input method last looked at the text, as an undo
  // or the user's mouse would, and tells the text it held then. Nothing when anything but typing
  // at one place happened since: returns whether it took something back.
  bool applicationTakesBack() {
    const auto& was = looked_.cells;
    const auto& now = text_.cells;
    if (now.size() <= was.size()) return false;
    std::size_t same = 0;
    while (same < was.size() && was[same].id == now[same].id) ++same;
    std::size_t sameAfter = 0;
    while (same + sameAfter < was.size() &&
           was[was.size() - 1 - sameAfter].id == now[now.size() - 1 - sameAfter].id) {
      ++sameAfter;
    }
    if (same + sameAfter != was.size()) return false;
    text_.erase(same, now.size() - sameAfter);
    text_.cursor = looked_.cursor;
    text_.anchor = looked_.anchor;
    tell();
    return true;
  }

  // Presses and releases `key`; what the input method does not take the application types.
  bool press(const fcitx::Key& key) {
    // The input method reads the text as this field last told it, which is all of it.
    if (!tellsLate) looked_ = text_;
    fcitx::KeyEvent press(this, key, false);
    const bool taken = keyEvent(press);
    fcitx::KeyEvent release(this, key, true);
    keyEvent(release);
    if (!taken) typeUnhandled(key);
    return taken;
  }

 protected:
  void commitStringImpl(const std::string& text) override {
    committed_ += text;
    note(text_.insert(qrx_unicode::decode_utf8(text), false));
    if (!tellsLate) tell(false);
  }
  void deleteSurroundingTextImpl(int offset, unsigned int size) override {
    const long start = static_cast<long>(text_.cursor) + offset;
    if (start < 0 || start + static_cast<long>(size) > static_cast<long>(text_.cells.size())) return;
    note(text_.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(start) + size));
    if (!tellsLate) tell(false);
  }
  void forwardKeyImpl(const fcitx::ForwardKeyEvent& event) override {
    if (!event.isRelease()) typeUnhandled(event.rawKey());
  }
  void updatePreeditImpl() override { preedit_ = inputPanel().clientPreedit().toString(); }

 private:
  void typeUnhandled(const fcitx::Key& key) {
    note(typeKey(text_, key));
    tell();
  }
  void note(const std::vector<Cell>& removed) {
    for (const auto& cell : removed) {
      if (cell.application) removed_.push_back(cell);
    }
  }
  // `ownChange`: a change of the application's, rather than an edit of the input method's.
  void tell(bool ownChange = true) {
    if (ownChange) looked_ = text_;
    if (!capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText)) {
      surroundingText().invalidate();
    } else if (tellsCaretLine) {
      const auto from = text_.lineStart(text_.start());
      const auto to = text_.lineEnd(text_.end());
      surroundingText().setText(qrx_unicode::encode_utf8(text_.chars(from, to)),
                                static_cast<unsigned>(text_.cursor - from),
                                static_cast<unsigned>(text_.anchor - from));
    } else {
      surroundingText().setText(qrx_unicode::encode_utf8(text_.chars()), static_cast<unsigned>(text_.cursor),
                                static_cast<unsigned>(text_.anchor));
    }
    updateSurroundingText();
  }

  Text text_;
  // The text when the input method last looked at it.
  Text looked_;
  std::string preedit_;
  std::vector<Cell> removed_;
  std::string committed_;
};

}  // namespace quorvix::platform::fcitx5::testing
