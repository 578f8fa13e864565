#include <qrx_adapter_core/surrounding.h>

#include <qrx_unicode/unicode.h>

#include <bit>
#include <cstring>

namespace qrx_adapter_core::surrounding {

namespace {

constexpr bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Bytes of the sequence a lead byte announces; a stray byte counts as one so that a walk
// always moves forward.
constexpr std::size_t sequence_length(unsigned char b) {
  if (b < 0xC0) return 1;
  if (b < 0xE0) return 2;
  if (b < 0xF0) return 3;
  return 4;
}

// Four-byte sequences are the characters beyond the Basic Multilingual Plane: a surrogate pair.
constexpr std::uint32_t utf16_units(unsigned char lead) { return lead >= 0xF0 ? 2 : 1; }

// Where a walk over whole characters stopped: the byte offset (for a walk from the back, the
// start of the suffix walked over), and the characters and UTF-16 units walked over.
struct Position {
  std::size_t byte = 0;
  std::uint32_t chars = 0;
  std::uint64_t units = 0;
};

// The field `member` of a found position.
template <class M>
std::optional<M> field_of(const std::optional<Position>& found, M Position::*member) {
  if (!found) return std::nullopt;
  return (*found).*member;
}

std::size_t next_start(std::string_view text, std::size_t i) {
  const std::size_t len = sequence_length(static_cast<unsigned char>(text[i]));
  return len < text.size() - i ? i + len : text.size();
}

// Start of the character that ends at byte `end` (> 0).
std::size_t previous_start(std::string_view text, std::size_t end) {
  std::size_t i = end - 1;
  while (i > 0 && end - i < 4 && is_continuation(static_cast<unsigned char>(text[i]))) --i;
  return i;
}

// Steps over the character at `pos`, which is inside the text.
void step_forward(std::string_view text, Position& pos) {
  pos.units += utf16_units(static_cast<unsigned char>(text[pos.byte]));
  pos.byte = next_start(text, pos.byte);
  ++pos.chars;
}

// Walks over characters from the front while `more` holds; none when the text ends first.
template <class More>
std::optional<Position> walk_forward(std::string_view text, More more) {
  Position pos;
  while (more(pos)) {
    if (pos.byte >= text.size()) return std::nullopt;
    step_forward(text, pos);
  }
  return pos;
}

// The same from the back: the planner asks for a few characters at the end of a text that may
// be long.
template <class More>
std::optional<Position> walk_back(std::string_view text, More more) {
  Position pos{text.size(), 0, 0};
  while (more(pos)) {
    if (pos.byte == 0) return std::nullopt;
    pos.byte = previous_start(text, pos.byte);
    pos.units += utf16_units(static_cast<unsigned char>(text[pos.byte]));
    ++pos.chars;
  }
  return pos;
}

// A walk meant to cover `target` units that stepped over it: the target lay between the two
// units of a pair.
std::optional<Position> exactly(std::optional<Position> pos, std::uint32_t target) {
  if (pos && pos->units != target) return std::nullopt;
  return pos;
}

// Eight bytes starting at a character start, when a walk would step over them character by
// character exactly as UTF-8 reads them: every byte after a lead is one of the continuation bytes
// the lead announces, each announced one is there, and the last character ends with the eighth
// byte. Then their characters are their bytes that are no continuation bytes, and their UTF-16
// units those plus one for each four-byte lead. None otherwise (a stray byte, a character cut by
// the chunk's end), and the walk goes on character by character.
std::optional<Position> whole_chunk(std::string_view text, std::size_t at) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  // The masks below put byte i at bits 8i to 8i + 7.
  if constexpr (std::endian::native != std::endian::little) return std::nullopt;
  std::uint64_t bytes;
  std::memcpy(&bytes, text.data() + at, 8);
  if ((bytes & kHigh) == 0) return Position{8, 8, 8};  // ASCII
  // One bit (the high one) per byte for each kind of byte: bit 7 of byte i is bit 8i + 7.
  const std::uint64_t b6 = bytes << 1;
  const std::uint64_t b5 = bytes << 2;
  const std::uint64_t b4 = bytes << 3;
  const std::uint64_t continuation = bytes & ~b6 & kHigh;                // 10xxxxxx
  const std::uint64_t lead = bytes & b6 & kHigh;                         // 11xxxxxx
  const std::uint64_t lead3 = lead & b5;                                 // 111xxxxx
  const std::uint64_t lead4 = lead3 & b4;                                // 1111xxxx
  // A lead announces one, two or three continuation bytes; none may lie past the chunk.
  constexpr std::uint64_t kLast1 = 0x80ULL << 56;
  constexpr std::uint64_t kLast2 = kLast1 | (0x80ULL << 48);
  constexpr std::uint64_t kLast3 = kLast2 | (0x80ULL << 40);
  if ((lead & kLast1) != 0 || (lead3 & kLast2) != 0 || (lead4 & kLast3) != 0) return std::nullopt;
  const std::uint64_t announced = (lead << 8) | (lead3 << 16) | (lead4 << 24);
  if (announced != continuation) return std::nullopt;
  const auto count = [](std::uint64_t high) {
    return static_cast<std::uint32_t>((((high >> 7) * kOnes) >> 56) & 0xFF);
  };
  const std::uint32_t chars = 8 - count(continuation);
  return Position{8, chars, chars + count(lead4)};
}

std::optional<Position> walk_utf16(std::string_view text, std::uint32_t target) {
  // Eight bytes at a time where they hold whole characters and no more units than are still
  // wanted, else one character: the texts walked are mostly Vietnamese prose before a caret.
  Position pos;
  while (pos.units < target) {
    if (pos.byte + 8 <= text.size()) {
      const std::optional<Position> chunk = whole_chunk(text, pos.byte);
      if (chunk && pos.units + chunk->units <= target) {
        pos.byte += chunk->byte;
        pos.chars += chunk->chars;
        pos.units += chunk->units;
        continue;
      }
    }
    if (pos.byte >= text.size()) return std::nullopt;
    step_forward(text, pos);
  }
  return exactly(pos, target);
}

std::optional<Position> walk_chars(std::string_view text, std::uint32_t n) {
  return walk_forward(text, [n](const Position& p) { return p.chars < n; });
}

std::optional<Position> suffix_of_units(std::string_view text, std::uint32_t n) {
  return exactly(walk_back(text, [n](const Position& p) { return p.units < n; }), n);
}

std::optional<Position> suffix_of_chars(std::string_view text, std::uint32_t n) {
  return walk_back(text, [n](const Position& p) { return p.chars < n; });
}

// The field's text before its caret. In well-formed text every byte that starts a character is a
// unit (two for a four-byte one), so the whole text's units are counted without a walk and the
// caret is found walking back the few units after it; a walk from the start finds the same.
std::optional<std::string_view> before_caret(const FieldState& field) {
  const std::string_view text = *field.surrounding;
  if (!field.surrounding_well_formed) return utf16_prefix(text, field.cursor_utf16);
  const std::uint32_t units = utf16_len(text);
  if (field.cursor_utf16 > units) return std::nullopt;
  const auto start = field_of(suffix_of_units(text, units - field.cursor_utf16), &Position::byte);
  if (!start) return std::nullopt;
  return text.substr(0, *start);
}

}  // namespace

std::optional<std::string_view> char_suffix(std::string_view text, std::uint32_t n) {
  const auto start = field_of(suffix_of_chars(text, n), &Position::byte);
  if (!start) return std::nullopt;
  return text.substr(*start);
}

std::optional<std::string_view> utf16_prefix(std::string_view text, std::uint32_t n) {
  const auto pos = walk_utf16(text, n);
  if (!pos) return std::nullopt;
  return text.substr(0, pos->byte);
}

std::optional<std::string_view> utf16_suffix(std::string_view text, std::uint32_t n) {
  const auto start = field_of(suffix_of_units(text, n), &Position::byte);
  if (!start) return std::nullopt;
  return text.substr(*start);
}

std::optional<char32_t> next_codepoint(std::string_view text, std::uint32_t offset) {
  const auto pos = walk_utf16(text, offset);
  if (!pos || pos->byte >= text.size()) return std::nullopt;
  std::size_t byte = pos->byte;
  return qrx_unicode::next_char(text, byte);
}

std::optional<std::size_t> char_to_byte_offset(std::string_view text, std::uint32_t n) {
  return field_of(walk_chars(text, n), &Position::byte);
}

std::optional<std::uint32_t> char_to_utf16_offset(std::string_view text, std::uint32_t n) {
  const auto units = field_of(walk_chars(text, n), &Position::units);
  if (!units) return std::nullopt;
  return static_cast<std::uint32_t>(*units);
}

std::optional<std::size_t> utf16_to_byte_offset(std::string_view text, std::uint32_t offset) {
  return field_of(walk_utf16(text, offset), &Position::byte);
}

std::optional<std::uint32_t> utf16_to_char_offset(std::string_view text, std::uint32_t offset) {
  return field_of(walk_utf16(text, offset), &Position::chars);
}

std::optional<std::uint32_t> char_suffix_utf16_len(std::string_view text, std::uint32_t n) {
  const auto units = field_of(suffix_of_chars(text, n), &Position::units);
  if (!units) return std::nullopt;
  return static_cast<std::uint32_t>(*units);
}

// Branch-free byte counts so the compiler can vectorise them over long texts: every byte that
// starts a character is one unit, and a four-byte lead adds the second unit of its pair.
std::uint32_t utf16_len(std::string_view text) {
  std::uint64_t units = 0;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    units += static_cast<std::uint64_t>(!is_continuation(b)) + (b >= 0xF0);
  }
  return static_cast<std::uint32_t>(units);
}

std::uint32_t char_len(std::string_view text) {
  std::uint64_t chars = 0;
  for (const char ch : text) chars += !is_continuation(static_cast<unsigned char>(ch));
  return static_cast<std::uint32_t>(chars);
}

std::optional<VerifiedDeletionView> check_replace_view(std::string_view own_text, const FieldState& field,
                                                       std::uint32_t n) {
  if (n == 0 || !field.surrounding || field.cursor_utf16 != field.anchor_utf16) return std::nullopt;
  const auto prefix = before_caret(field);
  // What is deleted is the end of the session's own text, and all of that text stands unchanged
  // right before the caret.
  const auto tail = utf16_suffix(own_text, n);
  if (!prefix || !tail || tail->empty() || !prefix->ends_with(own_text)) return std::nullopt;
  // The caret stands at the prefix's end, so the character after it is decoded from there.
  if (prefix->size() < field.surrounding->size()) {
    std::size_t at = prefix->size();
    if (is_word_codepoint(qrx_unicode::next_char(*field.surrounding, at))) return std::nullopt;
  }
  return VerifiedDeletionView{*tail, n, char_len(*tail)};
}

std::optional<VerifiedDeletion> check_replace(std::string_view own_text, const FieldState& field,
                                              std::uint32_t n) {
  const auto view = check_replace_view(own_text, field, n);
  if (!view) return std::nullopt;
  return VerifiedDeletion{std::string(view->deleted), view->delete_utf16, view->delete_chars};
}

}  // namespace qrx_adapter_core::surrounding
