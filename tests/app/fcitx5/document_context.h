// An input context that behaves like an application's text field: it keeps a document with a
// caret and a selection, applies what the input method sends (a commit replaces the selection, a
// deletion counts characters from the caret and is refused beyond the text), types the keys the
// input method lets through, and tells its text back as surrounding text. It tells it at once
// after every change, or like many applications late: only when it next changes itself
// (`resendsLate`), or before each key, as it stood up to a few keys earlier, sometimes even older
// than what it told last (`reportLate`); the late one also types a key the input method lets
// through only later, behind the edits that follow it, as GTK's Fcitx5 module does. It never goes
// back past a text it told when that text held all the edits it had been sent: once an
// application has told that, it has nothing older left to tell. Changes made by the test
// (`setDocument`) it tells at once, as an application tells its own changes after everything
// before them.
#pragma once

#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/key.h>
#include <fcitx/event.h>
#include <fcitx/inputcontext.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/text_input.h"

namespace quorvix::platform::fcitx5::testing {

// `text` with "|" at `start` when the range is empty, else "[" and "]" around [start, end).
inline std::string showRange(std::u32string text, std::size_t start, std::size_t end) {
  if (start == end) return qrx_unicode::encode_utf8(text.insert(start, 1, U'|'));
  text.insert(end, 1, U']');
  return qrx_unicode::encode_utf8(text.insert(start, 1, U'['));
}

class DocumentContext : public fcitx::InputContext {
 public:
  DocumentContext(fcitx::InputContextManager& manager, const std::string& program)
      : InputContext(manager, program) {
    created();
  }
  ~DocumentContext() override { destroy(); }
  const char* frontend() const override { return "quorvix-test"; }

  bool resendsLate = false;
  // How many of the input method's deletions reached before the start of the text or past its
  // end: the document refuses them, as some toolkits do, where others delete what is there.
  int deletionsOutsideText = 0;
  // Every text the input method committed, in order.
  std::vector<std::string> commitLog;
  // Whether the application tells its text at all while it has the SurroundingText capability;
  // without, Fcitx5 holds the surrounding text as invalid.
  bool tellsText = true;
  // Like Qt's module, which tells nothing until the field first holds text.
  bool tellsOnlyOnceItHoldsText = false;

  // From now on the document tells its text before each key press, as it stood after one of its
  // changes of the last `maxLagKeys` keys, chosen with `seed`; with `goesBack` it now and then
  // tells an older text than the one it told last, though none it had caught up with.
  void reportLate(std::uint32_t seed, std::size_t maxLagKeys, bool goesBack) {
    late_ = Late{std::mt19937(seed), maxLagKeys, goesBack};
    restartHistory();
  }

  // The document with "|" at the caret and, for a selection, "^" at its anchor.
  void setDocument(const std::string& marked) {
    const auto state = parse(marked);
    text_ = state.text;
    cursor_ = state.cursor;
    anchor_ = state.anchor;
    restartHistory();
    resend();
  }
  // The document as characters and a caret, which may hold what no well-formed text holds: a lone
  // surrogate, as a toolkit that keeps UTF-16 can, is told as the three bytes a careless
  // conversion writes for it.
  void setText(std::u32string text, std::size_t caret) {
    text_ = std::move(text);
    cursor_ = anchor_ = std::min(caret, text_.size());
    restartHistory();
    resend();
  }
  // Tells an older text, in the same notation, as an application whose report predates its
  // latest changes; the document stays as it is.
  void tellAsItWas(const std::string& marked) {
    const auto state = parse(marked);
    tell(state.text, state.cursor, state.anchor);
  }
  std::string document() const { return show(text_, cursor_, anchor_); }
  // The document as a text field reads it: "|" at the caret, or the selection in brackets.
  std::string selectionView() const {
    return showRange(text_, std::min(cursor_, anchor_), std::max(cursor_, anchor_));
  }
  // What Fcitx5 holds as the surrounding text, in the same notation; "-" when it holds none.
  std::string surrounding() {
    const auto& known = surroundingText();
    return known.isValid() ? show(qrx_unicode::decode_utf8(known.text()), known.cursor(), known.anchor()) : "-";
  }
  const std::string& preedit() const { return preedit_; }
  std::string panelPreedit() { return inputPanel().preedit().toString(); }

  void setCapabilities(fcitx::CapabilityFlags flags) {
    setCapabilityFlags(flags);
    resend();
  }
  void resend() { tell(text_, cursor_, anchor_); }

  // Presses and releases `key`; returns whether the input method took the press.
  bool type(const fcitx::Key& key) {
    if (late_) tellLate();
    fcitx::KeyEvent press(this, key, false);
    const bool taken = keyEvent(press);
    fcitx::KeyEvent release(this, key, true);
    keyEvent(release);
    if (!taken && late_) {
      unhandled_.push_back(key);
    } else if (!taken) {
      typeUnhandled(key);
    }
    return taken;
  }
  // Types the keys still waiting and tells its text as it is now.
  void catchUp() {
    for (const auto& key : std::exchange(unhandled_, {})) typeUnhandled(key);
    told_ = caughtUp_ = history_.size() - 1;
    resend();
  }
  // Types each character as its key; "<" stands for Backspace, "←" for the left arrow, "⎋" for
  // Escape.
  void typeKeys(const std::string& keys) {
    for (const char32_t c : qrx_unicode::decode_utf8(keys)) {
      type(fcitx::Key(c == U'<'   ? FcitxKey_BackSpace
                      : c == U'←' ? FcitxKey_Left
                      : c == U'⎋' ? FcitxKey_Escape
                                  : fcitx::Key::keySymFromUnicode(c)));
    }
  }
  // What the application does with a key the input method let through.
  void typeUnhandled(const fcitx::Key& key) {
    const auto [start, end] = std::minmax(cursor_, anchor_);
    if (key.check(FcitxKey_BackSpace)) {
      const auto from = start < end ? start : start - std::min<std::size_t>(start, 1);
      text_.erase(from, end - from);
      cursor_ = from;
    } else if (key.check(FcitxKey_Left)) {
      cursor_ = start < end ? start : start - std::min<std::size_t>(start, 1);
    } else if (const auto c = fcitx::Key::keySymToUnicode(key.sym());
               c >= 0x20 && c != 0x7F && qrx_unicode::is_scalar_value(c) && !key.hasModifier()) {
      text_.replace(start, end - start, 1, c);
      cursor_ = start + 1;
    } else {
      return;
    }
    anchor_ = cursor_;
    changed(true);
  }

 protected:
  void commitStringImpl(const std::string& text) override {
    commitLog.push_back(text);
    const auto [start, end] = std::minmax(cursor_, anchor_);
    const auto inserted = qrx_unicode::decode_utf8(text);
    text_.replace(start, end - start, inserted);
    cursor_ = anchor_ = start + inserted.size();
    changed(false);
  }
  void deleteSurroundingTextImpl(int offset, unsigned int size) override {
    const long start = static_cast<long>(cursor_) + offset;
    if (start < 0 || start + static_cast<long>(size) > static_cast<long>(text_.size())) {
      ++deletionsOutsideText;
      return;
    }
    text_.erase(start, size);
    const auto shift = [&](std::size_t at) {
      return at <= std::size_t(start) ? at : std::max(at - size, std::size_t(start));
    };
    cursor_ = shift(cursor_);
    anchor_ = shift(anchor_);
    changed(false);
  }
  void forwardKeyImpl(const fcitx::ForwardKeyEvent& event) override {
    if (!event.isRelease()) typeUnhandled(event.rawKey());
  }
  void updatePreeditImpl() override { preedit_ = inputPanel().clientPreedit().toString(); }

 private:
  struct State {
    std::u32string text;
    std::size_t cursor = 0;
    std::size_t anchor = 0;
    bool operator==(const State&) const = default;
  };
  struct Late {
    std::mt19937 random;
    std::size_t maxLagKeys;
    bool goesBack;
  };

  static State parse(const std::string& marked) {
    State state;
    state.anchor = std::string::npos;
    for (const char32_t c : qrx_unicode::decode_utf8(marked)) {
      if (c == U'|' || c == U'^') {
        (c == U'|' ? state.cursor : state.anchor) = state.text.size();
      } else {
        state.text.push_back(c);
      }
    }
    if (state.anchor == std::string::npos) state.anchor = state.cursor;
    return state;
  }

  // `byItself`: the application's own change, such as typing a key the input method let through.
  void changed(bool byItself) {
    if (late_) {
      history_.push_back({text_, cursor_, anchor_});
    } else if (byItself || !resendsLate) {
      resend();
    }
  }

  void tell(const std::u32string& text, std::size_t cursor, std::size_t anchor) {
    lastTold_ = {text, cursor, anchor};
    heldText_ = heldText_ || !text.empty();
    if (capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) && tellsText &&
        (heldText_ || !tellsOnlyOnceItHoldsText)) {
      surroundingText().setText(toldBytes(text), cursor, anchor);
    } else {
      surroundingText().invalidate();
    }
    updateSurroundingText();
  }

  // Everything before is done, told and known to the input method.
  void restartHistory() {
    unhandled_.clear();
    history_.assign(1, {text_, cursor_, anchor_});
    keyStarts_.clear();
    told_ = caughtUp_ = 0;
  }

  void tellLate() {
    if (std::uniform_int_distribution<int>(0, 1)(late_->random) == 0) {
      for (const auto& key : std::exchange(unhandled_, {})) typeUnhandled(key);
    }
    keyStarts_.push_back(history_.size() - 1);
    const auto keys = keyStarts_.size();
    const auto oldest = keys > late_->maxLagKeys ? keyStarts_[keys - 1 - late_->maxLagKeys] : 0;
    const auto pick = [&](std::size_t from, std::size_t to) {
      return std::uniform_int_distribution<std::size_t>(from, to)(late_->random);
    };
    // Back only as far as the states after the last one told that held every edit.
    const auto backTo = std::max(oldest, caughtUp_ + 1);
    std::size_t chosen = 0;
    if (late_->goesBack && told_ > backTo && pick(0, 3) == 0) {
      chosen = pick(backTo, told_ - 1);
    } else {
      chosen = pick(std::max(oldest, told_), history_.size() - 1);
      // A text that reads as the latest tells that everything has been applied.
      if (history_[chosen] == history_.back()) chosen = caughtUp_ = history_.size() - 1;
      told_ = chosen;
    }
    // Like a toolkit's module, it does not tell again the text it told last.
    const auto& state = history_[chosen];
    if (state != lastTold_) tell(state.text, state.cursor, state.anchor);
  }

  static std::string toldBytes(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
      if (c < 0xD800 || c > 0xDFFF) {
        out += qrx_unicode::encode_utf8(c);
        continue;
      }
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
  }

  static std::string show(const std::u32string& text, std::size_t cursor, std::size_t anchor) {
    std::u32string out;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i == anchor && anchor != cursor) out += U'^';
      if (i == cursor) out += U'|';
      if (i < text.size()) out += text[i];
    }
    return qrx_unicode::encode_utf8(out);
  }

 private:
  std::u32string text_;
  std::size_t cursor_ = 0;
  std::size_t anchor_ = 0;
  std::string preedit_;
  std::optional<Late> late_;
  std::vector<State> history_;
  std::vector<std::size_t> keyStarts_;
  std::size_t told_ = 0;
  // The last state told that held every edit made until it was told.
  std::size_t caughtUp_ = 0;
  std::vector<fcitx::Key> unhandled_;
  State lastTold_;
  bool heldText_ = false;
};

// What a text field reads of its text, in the notation of DocumentContext::selectionView; "-"
// when it reads nothing.
inline std::string readThrough(platform::TextInput& field) {
  const auto selection = field.selectedRange();
  const auto text = field.substring({0, std::int64_t{1} << 30});
  if (selection.location == platform::kNotFound || !text) return "-";
  // Offsets in UTF-16 units into characters.
  const auto chars = qrx_unicode::decode_utf8(*text);
  const auto at = [&](std::int64_t units) {
    std::size_t i = 0;
    for (std::int64_t seen = 0; i < chars.size() && seen < units; ++i) seen += chars[i] >= 0x10000 ? 2 : 1;
    return i;
  };
  return showRange(chars, at(selection.location), at(selection.location + selection.length));
}

}  // namespace quorvix::platform::fcitx5::testing
