// An input context that behaves like an application's text field: it keeps a document with a
// caret and a selection, applies what the input method sends (a commit replaces the selection, a
// deletion counts characters from the caret and is refused beyond the text), types the keys the
// input method lets through, and tells its text back as surrounding text: after its own changes
// at once, after the input method's edits at once or, like many applications, late
// (`resendsLate`: only when it next changes itself).
#pragma once

#include <fcitx-utils/capabilityflags.h>
#include <fcitx-utils/key.h>
#include <fcitx/event.h>
#include <fcitx/inputcontext.h>
#include <fcitx/inputpanel.h>
#include <fcitx/surroundingtext.h>
#include <unicode_text/unicode.h>

#include <algorithm>
#include <string>

namespace quorvix::platform::fcitx5::testing {

class DocumentContext : public fcitx::InputContext {
 public:
  DocumentContext(fcitx::InputContextManager& manager, const std::string& program)
      : InputContext(manager, program) {
    created();
  }
  ~DocumentContext() override { destroy(); }
  const char* frontend() const override { return "quorvix-test"; }

  bool resendsLate = false;

  // The document with "|" at the caret and, for a selection, "^" at its anchor.
  void setDocument(const std::string& marked) {
    text_.clear();
    anchor_ = std::string::npos;
    for (const char32_t c : unicode::decode_utf8(marked)) {
      if (c == U'|' || c == U'^') {
        (c == U'|' ? cursor_ : anchor_) = text_.size();
      } else {
        text_.push_back(c);
      }
    }
    if (anchor_ == std::string::npos) anchor_ = cursor_;
    resend();
  }
  std::string document() const { return show(text_, cursor_, anchor_); }
  // What Fcitx5 holds as the surrounding text, in the same notation; "-" when it holds none.
  std::string surrounding() {
    const auto& known = surroundingText();
    return known.isValid() ? show(unicode::decode_utf8(known.text()), known.cursor(), known.anchor()) : "-";
  }
  const std::string& preedit() const { return preedit_; }
  std::string panelPreedit() { return inputPanel().preedit().toString(); }

  void setCapabilities(fcitx::CapabilityFlags flags) {
    setCapabilityFlags(flags);
    resend();
  }
  void resend() {
    if (capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText)) {
      surroundingText().setText(unicode::encode_utf8(text_), cursor_, anchor_);
    } else {
      surroundingText().invalidate();
    }
    updateSurroundingText();
  }

  // Presses and releases `key`; returns whether the input method took the press.
  bool type(const fcitx::Key& key) {
    fcitx::KeyEvent press(this, key, false);
    const bool taken = keyEvent(press);
    fcitx::KeyEvent release(this, key, true);
    keyEvent(release);
    if (!taken) typeUnhandled(key);
    return taken;
  }
  // Types each character as its key; "<" stands for Backspace, "←" for the left arrow.
  void typeKeys(const std::string& keys) {
    for (const char32_t c : unicode::decode_utf8(keys)) {
      type(fcitx::Key(c == U'<'   ? FcitxKey_BackSpace
                      : c == U'←' ? FcitxKey_Left
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
               c >= 0x20 && c != 0x7F && !key.hasModifier()) {
      text_.replace(start, end - start, 1, c);
      cursor_ = start + 1;
    } else {
      return;
    }
    anchor_ = cursor_;
    resend();
  }

 protected:
  void commitStringImpl(const std::string& text) override {
    const auto [start, end] = std::minmax(cursor_, anchor_);
    const auto inserted = unicode::decode_utf8(text);
    text_.replace(start, end - start, inserted);
    cursor_ = anchor_ = start + inserted.size();
    if (!resendsLate) resend();
  }
  void deleteSurroundingTextImpl(int offset, unsigned int size) override {
    const long start = static_cast<long>(cursor_) + offset;
    if (start < 0 || start + static_cast<long>(size) > static_cast<long>(text_.size())) return;
    text_.erase(start, size);
    const auto shift = [&](std::size_t at) {
      return at <= std::size_t(start) ? at : std::max(at - size, std::size_t(start));
    };
    cursor_ = shift(cursor_);
    anchor_ = shift(anchor_);
    if (!resendsLate) resend();
  }
  void forwardKeyImpl(const fcitx::ForwardKeyEvent& event) override {
    if (!event.isRelease()) typeUnhandled(event.rawKey());
  }
  void updatePreeditImpl() override { preedit_ = inputPanel().clientPreedit().toString(); }

 private:
  static std::string show(const std::u32string& text, std::size_t cursor, std::size_t anchor) {
    std::u32string out;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i == anchor && anchor != cursor) out += U'^';
      if (i == cursor) out += U'|';
      if (i < text.size()) out += text[i];
    }
    return unicode::encode_utf8(out);
  }

  std::u32string text_;
  std::size_t cursor_ = 0;
  std::size_t anchor_ = 0;
  std::string preedit_;
};

}  // namespace quorvix::platform::fcitx5::testing
