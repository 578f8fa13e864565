// The engine's one door to Unicode: UTF-8 coding, normalization, combining classes, case
// mapping and character properties. Everything here is backed by ICU; nothing else in the
// engine talks to ICU, so the engine's Unicode version is ICU's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qrx_unicode {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// UTF-8 decoding. Every maximal ill-formed subsequence becomes one U+FFFD, as the Unicode
// standard recommends, so no input is ever rejected.
std::u32string decode_utf8(std::string_view text);

// Decodes the character starting at byte `pos` of `text` and advances `pos` past it.
// Precondition: pos < text.size(). Ill-formed bytes yield U+FFFD.
char32_t next_char_multibyte(std::string_view text, std::size_t& pos);
// The one- to three-byte forms of well-formed text (all of Vietnamese) are decoded in line; the
// rest, ill-formed bytes included, out of line.
inline char32_t next_char(std::string_view text, std::size_t& pos) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  if (p[0] < 0x80) {
    ++pos;
    return p[0];
  }
  if (p[0] >= 0xC2 && p[0] <= 0xDF && left >= 2 && (p[1] & 0xC0) == 0x80) {
    pos += 2;
    return static_cast<char32_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
  }
  // E0 and ED restrict their second byte; the other three-byte leads do not.
  if (p[0] >= 0xE1 && p[0] <= 0xEF && p[0] != 0xED && left >= 3 && (p[1] & 0xC0) == 0x80 &&
      (p[2] & 0xC0) == 0x80) {
    pos += 3;
    return static_cast<char32_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
  }
  return next_char_multibyte(text, pos);
}

// Whether a 32-bit value names a Unicode scalar value (no surrogate, nothing past U+10FFFF): a
// character that text can hold.
inline constexpr bool is_scalar_value(std::uint32_t code_point) {
  return code_point <= 0x10FFFF && (code_point < 0xD800 || code_point > 0xDFFF);
}

// True when `text` is well-formed UTF-8 (no surrogates, no overlongs, nothing above U+10FFFF).
bool is_valid_utf8(std::string_view text);

// Number of characters (scalar values) `decode_utf8` would produce.
std::size_t char_count(std::string_view text);

// UTF-16, the unit hosts count text in. Of well-formed UTF-8: a byte that continues a character,
// and how many units a character takes by its lead byte (a surrogate pair for the four-byte forms,
// beyond the Basic Multilingual Plane).
inline constexpr bool is_continuation_byte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }
inline constexpr int utf16_units_of_lead(char lead) { return static_cast<unsigned char>(lead) >= 0xF0 ? 2 : 1; }
// Number of UTF-16 units of the characters `decode_utf8` would produce (an ill-formed byte reads as
// U+FFFD, one unit).
std::size_t utf16_length(std::string_view text);

// UTF-8 encoding. Surrogates and values above U+10FFFF are written as U+FFFD.
void append_utf8(std::string& out, char32_t c);
std::string encode_utf8(std::u32string_view text);
std::string encode_utf8(char32_t c);

// Canonical normalization of whole strings (invalid UTF-8 is repaired first).
std::string nfc(std::string_view text);
std::string nfd(std::string_view text);
std::u32string nfc(std::u32string_view text);
std::u32string nfd(std::u32string_view text);

// Canonical decomposition of one character (the character itself when it has none).
std::u32string nfd(char32_t c);
// Canonical composition of a pair, when the pair has a primary composite.
// Returns 0 when the two characters do not compose.
char32_t compose(char32_t first, char32_t second);

// True when `text` is already in the form (a quick check that allocates nothing for ASCII).
bool is_nfc(std::string_view text);
// True when every character of `text` is one that NFC leaves as it is whatever stands beside it:
// below U+0300 (no combining mark among them), or a precomposed letter of Latin Extended
// Additional. Such text (all typed Vietnamese) is in NFC without asking the normalizer. False for
// ill-formed text.
bool is_stable_nfc(std::string_view text);

// Canonical combining class (0 for starters).
std::uint8_t combining_class(char32_t c);

// Full case mapping, locale-independent: one character may map to several ("ß" -> "SS").
std::u32string to_upper(char32_t c);
std::u32string to_lower(char32_t c);
std::string to_upper(std::string_view text);
std::string to_lower(std::string_view text);

// Simple (one-to-one) case mapping, for callers that must keep lengths.
char32_t simple_upper(char32_t c);
char32_t simple_lower(char32_t c);

// Binary properties.
bool is_alphabetic(char32_t c);
bool is_lowercase(char32_t c);
bool is_uppercase(char32_t c);
bool is_white_space(char32_t c);
// General category Nd, Nl or No (digits of every script, Roman numerals, fractions, ...).
bool is_numeric(char32_t c);
// General category Cc or Cf: control and format characters, which type no visible text.
bool is_control(char32_t c);

}  // namespace qrx_unicode
