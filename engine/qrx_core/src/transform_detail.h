// Shared by the state machine and the renderer, kept out of the public header: a heap-free text
// buffer for one word.
#pragma once

#include <qrx_core/transform.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace qrx_core::transform::detail {

// UTF-8 text of at most one word (32 letters of at most 4 bytes each).
class WordText {
 public:
  void push(char32_t c) {
    if (c < 0x80) {
      if (size_ < bytes_.size()) bytes_[size_++] = static_cast<char>(c);
    } else if (c < 0x800) {
      if (size_ + 2 > bytes_.size()) return;
      bytes_[size_++] = static_cast<char>(0xC0 | (c >> 6));
      bytes_[size_++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
      if (size_ + 3 > bytes_.size()) return;
      bytes_[size_++] = static_cast<char>(0xE0 | (c >> 12));
      bytes_[size_++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes_[size_++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      push_encoded(c);
    }
  }
  std::string_view view() const { return {bytes_.data(), size_}; }

 private:
  void push_encoded(char32_t c);

  std::array<char, MAX_LETTERS * 4> bytes_;
  std::size_t size_ = 0;
};

// The mark letter i shows (see display): a typed ưo shows as ươ, and a soft-horned u loses its
// horn while the pair ends the word.
inline Mark display_mark(std::span<const Letter> letters, std::size_t i) {
  const Letter& l = letters[i];
  if (l.ch == U'o' && l.mark == Mark::None && i > 0 && letters[i - 1].ch == U'u' &&
      letters[i - 1].mark == Mark::Horn) {
    return Mark::Horn;
  }
  if (l.ch == U'u' && l.mark == Mark::Horn && l.soft_horn && i + 2 == letters.size() &&
      letters[i + 1].ch == U'o' && (letters[i + 1].mark == Mark::Horn || letters[i + 1].mark == Mark::None)) {
    return Mark::None;
  }
  return l.mark;
}

// vi_syllable::compose_char without the table look-up for the commonest letter: ASCII without
// mark or tone is already composed, and only its case can change.
inline char32_t letter_char(char32_t base, Mark mark, std::uint8_t tone, bool upper) {
  if (base < 0x80 && mark == Mark::None && tone == 0) {
    return (upper && base >= U'a' && base <= U'z') ? base - (U'a' - U'A') : base;
  }
  return vi_syllable::compose_char(base, mark, tone, upper);
}

WordText toneless_text(std::span<const Letter> letters);

// The word key (vi_syllable::WordKey) of the text toneless_text writes for these letters, built
// from the letters without writing the text; kNoWordKey when it has none.
inline vi_syllable::WordKey toneless_key(std::span<const Letter> letters) {
  if (letters.size() > vi_syllable::kWordKeyLetters) return vi_syllable::kNoWordKey;
  vi_syllable::WordKey key = 0;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    key = vi_syllable::add_letter(key, i, letter_char(letters[i].ch, display_mark(letters, i), 0, false));
  }
  return key;
}

// What the syllable checks answer for the toneless word of these letters, or null when the
// table has no answer (then ask vi_syllable with toneless_text).
inline const vi_syllable::WordFacts* toneless_facts(std::span<const Letter> letters) {
  return vi_syllable::word_facts(toneless_key(letters));
}

}  // namespace qrx_core::transform::detail
