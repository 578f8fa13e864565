// A text field of the focused application, as an input method sees it: marked (pre-edit) text,
// inserting over a range, and reading the text around the caret. Ranges count UTF-16 units.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <qrx_unicode/unicode.h>

namespace quorvix::platform {

// A location no text has; as a range's location it means "no particular range".
inline constexpr std::int64_t kNotFound = std::numeric_limits<std::int64_t>::max();

struct Utf16Range {
  std::int64_t location = 0;
  std::int64_t length = 0;

  friend bool operator==(const Utf16Range&, const Utf16Range&) = default;
};

// What a key reads of the field: the selection, up to some units of text before it, the text it
// holds and one unit after it, as selectedRange() and substring() give them. The pieces share one
// buffer, so that a reader that keeps this between keys allocates nothing once it is warm.
struct TextAround {
  // Location kNotFound when the field does not tell; the text is then empty.
  Utf16Range selection{kNotFound, 0};
  // The text before the selection, the selected text, then the unit after.
  std::string text;
  std::size_t beforeBytes = 0;
  std::size_t selectedBytes = 0;
  std::int64_t beforeUnits = 0;
  std::int64_t selectedUnits = 0;

  std::string_view before() const { return std::string_view(text).substr(0, beforeBytes); }
  std::string_view selected() const { return std::string_view(text).substr(beforeBytes, selectedBytes); }
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

  // The selection and the text around it in one read, `into`'s buffer reused: up to
  // `maxUnitsBefore` units before the selection (none at the start of the text), the selection's
  // text and one unit after it, each as substring() reads it. A field whose reads cost something
  // answers this in one pass.
  virtual void readAround(std::int64_t maxUnitsBefore, TextAround& into) {
    into.selection = selectedRange();
    into.text.clear();
    into.beforeBytes = into.selectedBytes = 0;
    into.beforeUnits = into.selectedUnits = 0;
    if (into.selection.location == kNotFound) return;
    const auto append = [&](Utf16Range range) {
      if (range.length < 1) return std::int64_t{0};
      const auto read = substring(range).value_or(std::string());
      into.text.append(read);
      return static_cast<std::int64_t>(qrx_unicode::utf16_length(read));
    };
    const auto start = std::max<std::int64_t>(into.selection.location - maxUnitsBefore, 0);
    into.beforeUnits = append({start, into.selection.location - start});
    into.beforeBytes = into.text.size();
    into.selectedUnits = append(into.selection);
    into.selectedBytes = into.text.size() - into.beforeBytes;
    append({into.selection.location + into.selection.length, 1});
  }
};

}  // namespace quorvix::platform
