// Measuring text three ways: the engine counts characters (Unicode scalar values), strings are
// UTF-8, and host text fields count UTF-16 code units. Every function walks the text once,
// allocates nothing, and answers "none" rather than cut a character in two: an offset beyond
// the end or between the two units of a surrogate pair has no answer.
//
// Texts are expected to be valid UTF-8 (the C boundary repairs them first); other bytes never
// make these functions read outside the text, but the counts they give are then unspecified.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qrx_adapter_core::surrounding {

// The last `n` characters of `text`; none when it has fewer.
std::optional<std::string_view> char_suffix(std::string_view text, std::uint32_t n);

// The part of `text` covering its first `n` UTF-16 units; none when `n` is beyond the end or
// falls inside a surrogate pair.
std::optional<std::string_view> utf16_prefix(std::string_view text, std::uint32_t n);

// The part of `text` covering its last `n` UTF-16 units; none when `n` exceeds the text or the
// cut falls inside a surrogate pair.
std::optional<std::string_view> utf16_suffix(std::string_view text, std::uint32_t n);

// The character starting at UTF-16 offset `offset`; none at or beyond the end and inside a pair.
std::optional<char32_t> next_codepoint(std::string_view text, std::uint32_t offset);

// Byte offset of character `n` (`n` equal to the character count gives the byte length).
std::optional<std::size_t> char_to_byte_offset(std::string_view text, std::uint32_t n);

// UTF-16 offset of character `n` (`n` equal to the character count gives the UTF-16 length).
std::optional<std::uint32_t> char_to_utf16_offset(std::string_view text, std::uint32_t n);

// Byte offset at UTF-16 offset `offset` (the end gives the byte length).
std::optional<std::size_t> utf16_to_byte_offset(std::string_view text, std::uint32_t offset);

// Character index at UTF-16 offset `offset` (the end gives the character count).
std::optional<std::uint32_t> utf16_to_char_offset(std::string_view text, std::uint32_t offset);

// UTF-16 length of the last `n` characters of `text`.
std::optional<std::uint32_t> char_suffix_utf16_len(std::string_view text, std::uint32_t n);

// UTF-16 length of `text`.
std::uint32_t utf16_len(std::string_view text);

// Number of characters in `text`.
std::uint32_t char_len(std::string_view text);

// Letters, digits and marks that can continue a Latin (and so Vietnamese) word. Kept narrow on
// purpose: a caret followed by one of these stands inside a word, where replacing text before
// it would split that word.
inline constexpr std::array<std::pair<char32_t, char32_t>, 7> kWordRanges{{
    {U'0', U'9'},
    {U'A', U'Z'},
    {U'_', U'_'},
    {U'a', U'z'},
    {0x00C0, 0x024F},  // Latin-1 letters, Latin Extended-A and B (U+00D7 and U+00F7 included)
    {0x0300, 0x036F},  // combining diacritical marks
    {0x1E00, 0x1EFF},  // Latin Extended Additional: the precomposed Vietnamese letters
}};

constexpr bool is_word_codepoint(char32_t c) {
  for (const auto& [first, last] : kWordRanges) {
    if (c >= first && c <= last) return true;
  }
  return false;
}

// What the host knows of one text field at the moment of one key. Borrowed for one call.
struct FieldState {
  // The session's own text right before the caret, as the host shows it: what the session
  // displayed before this key (may be empty), or the text its replacement rewrites. Nothing else
  // before the caret is ever deleted.
  std::string_view before_display;
  // The field's text around the caret; none when the host cannot read the field.
  std::optional<std::string_view> surrounding;
  // Caret and the other end of the selection in `surrounding`, UTF-16 units; equal when
  // nothing is selected.
  std::uint32_t cursor_utf16 = 0;
  std::uint32_t anchor_utf16 = 0;
  // 0 and 5 normal, 1 to 3 pass-through, 4 restricted.
  std::uint8_t field_kind = 0;
  // The host accepts a replacement that could not be checked against `surrounding`.
  bool allow_unverified_replace = false;
  // `surrounding` is known to be well-formed UTF-8 (the caller checked or repaired it): the caret
  // is then found from the text's end, near which it stands, rather than by a walk from its start.
  bool surrounding_well_formed = false;
};

// A deletion that the field's snapshot confirms.
struct VerifiedDeletion {
  std::string deleted;  // the text the host will remove
  std::uint32_t delete_utf16 = 0;
  std::uint32_t delete_chars = 0;
  friend bool operator==(const VerifiedDeletion&, const VerifiedDeletion&) = default;
};

// Same check without copying the deleted text: the view points into the session's own text.
struct VerifiedDeletionView {
  std::string_view deleted;
  std::uint32_t delete_utf16 = 0;
  std::uint32_t delete_chars = 0;
};

// Whether deleting `n` UTF-16 units before the caret removes only the session's own text:
// `own_text` (the text the session wrote right before the caret) covers the deletion, the
// snapshot's text before the caret ends with all of `own_text` unchanged, nothing is selected,
// and the caret does not stand inside a word. None when any of this fails or n is 0; a snapshot
// that shows less than `own_text` (nothing before the caret, a caret outside it, a text cut
// short) cannot confirm it either.
std::optional<VerifiedDeletion> check_replace(std::string_view own_text, const FieldState& field,
                                              std::uint32_t n);
std::optional<VerifiedDeletionView> check_replace_view(std::string_view own_text, const FieldState& field,
                                                       std::uint32_t n);

}  // namespace qrx_adapter_core::surrounding
