// A text field that follows the text-input editing rules a real toolkit follows: marked text
// replaces itself, inserts replace the marked text or the selection, ranges are clamped to the
// text, and everything counts UTF-16 units. It can also play a field that does not tell where its
// caret is.
#pragma once

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/text_input.h"

namespace quorvix::app::testing {

class FakeDocument : public platform::TextInput {
 public:
  FakeDocument() = default;
  // The caret at `caret` UTF-16 units, with `selected` units selected after it.
  FakeDocument(const std::string& text, std::int64_t caret, std::int64_t selected = 0)
      : text_(toUtf16(text)), selection_{caret, selected} {}

  // Whether the field tells its selection and text.
  bool readable = true;

  void setMarkedText(const std::string& text, platform::Utf16Range selected,
                     platform::Utf16Range replacement) override {
    ++calls;
    const auto range = target(replacement);
    const auto units = toUtf16(text);
    text_.replace(range.location, range.length, units);
    marked_ = units.empty() ? std::nullopt
                            : std::optional(platform::Utf16Range{range.location, std::int64_t(units.size())});
    selection_ = {range.location + std::clamp<std::int64_t>(selected.location, 0, units.size()), 0};
  }

  void insertText(const std::string& text, platform::Utf16Range replacement) override {
    ++calls;
    const auto range = target(replacement);
    const auto units = toUtf16(text);
    text_.replace(range.location, range.length, units);
    marked_.reset();
    selection_ = {range.location + std::int64_t(units.size()), 0};
  }

  platform::Utf16Range selectedRange() override {
    return readable ? selection_ : platform::Utf16Range{platform::kNotFound, 0};
  }

  std::optional<std::string> substring(platform::Utf16Range range) override {
    if (!readable) return std::nullopt;
    const auto clamped = clamp(range);
    return toUtf8(text_.substr(clamped.location, clamped.length));
  }

  // The document's text with the marked part, and what is marked.
  std::string text() const { return toUtf8(text_); }
  std::string marked() const {
    return marked_ ? toUtf8(text_.substr(marked_->location, marked_->length)) : "";
  }
  // The document as text with "|" at the caret, for compact expectations.
  std::string withCaret() const {
    auto copy = text_;
    copy.insert(selection_.location, u"|");
    return toUtf8(copy);
  }
  platform::Utf16Range selection() const { return selection_; }

  int calls = 0;  // edits made by the input method

 private:
  platform::Utf16Range clamp(platform::Utf16Range range) const {
    const std::int64_t size = text_.size();
    const auto start = std::clamp<std::int64_t>(range.location, 0, size);
    return {start, std::clamp<std::int64_t>(range.length, 0, size - start)};
  }
  // Where an edit goes: the given range, else the marked text, else the selection.
  platform::Utf16Range target(platform::Utf16Range replacement) const {
    if (replacement.location != platform::kNotFound) return clamp(replacement);
    return clamp(marked_.value_or(selection_));
  }

  static std::u16string toUtf16(const std::string& text) {
    std::u16string out;
    for (char32_t c : qrx_unicode::decode_utf8(text)) {
      if (c >= 0x10000) {
        out.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
        out.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
      } else {
        out.push_back(char16_t(c));
      }
    }
    return out;
  }
  // A surrogate cut off from its pair reads as U+FFFD, as a toolkit's UTF-8 conversion gives.
  static std::string toUtf8(const std::u16string& units) {
    std::u32string chars;
    for (std::size_t i = 0; i < units.size(); ++i) {
      const char16_t u = units[i];
      const bool high = u >= 0xD800 && u < 0xDC00;
      if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
        chars.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (units[++i] - 0xDC00));
      } else {
        chars.push_back(u >= 0xD800 && u < 0xE000 ? U'\uFFFD' : char32_t(u));
      }
    }
    return qrx_unicode::encode_utf8(chars);
  }

  std::u16string text_;
  platform::Utf16Range selection_{0, 0};
  std::optional<platform::Utf16Range> marked_;
};

}  // namespace quorvix::app::testing
