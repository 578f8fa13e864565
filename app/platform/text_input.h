// A text field of the focused application, as an input method sees it: marked (pre-edit) text,
// inserting over a range, and reading the text around the caret. Ranges count UTF-16 units.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace quorvix::platform {

// A location no text has; as a range's location it means "no particular range".
inline constexpr std::int64_t kNotFound = std::numeric_limits<std::int64_t>::max();

struct Utf16Range {
  std::int64_t location = 0;
  std::int64_t length = 0;

  friend bool operator==(const Utf16Range&, const Utf16Range&) = default;
};

class TextInput {
 public:
  virtual ~TextInput() = default;

  // Shows `text` as the marked text, with the caret at selected.location, replacing the text in
  // `replacement` (or the current marked text when its location is kNotFound). Empty text
  // removes the marked text.
  virtual void setMarkedText(const std::string& text, Utf16Range selected, Utf16Range replacement) = 0;

  // Inserts `text` in place of `replacement` (or at the caret, over any marked text, when its
  // location is kNotFound).
  virtual void insertText(const std::string& text, Utf16Range replacement) = 0;

  // The selection, or the caret as an empty selection; location kNotFound when the field does
  // not tell.
  virtual Utf16Range selectedRange() = 0;

  // The field's text in `range`, cut at the ends of what is known; absent when the field does
  // not tell.
  virtual std::optional<std::string> substring(Utf16Range range) = 0;

  // Whether text already in the field can be replaced: the field tells the text before its
  // caret. A field that cannot gets the word being typed as marked text, whatever the output mode.
  virtual bool canReplaceText() { return true; }
};

}  // namespace quorvix::platform
