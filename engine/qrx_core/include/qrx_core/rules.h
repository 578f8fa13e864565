// The four input methods as fixed tables: which Latin keys set a tone, which keys put a mark on
// which letters, which keys produce a marked letter on their own, and which key takes marks and
// tones away. Nothing here changes at run time; every table is a read-only static.
#pragma once

#include <vi_syllable/vi_syllable.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qrx_core::rules {

using vi_syllable::Mark;

// One way a mark key may change a letter: the mark goes on any of `letters` (lower-case base
// letters), or, for a pair rule, on both letters of an adjacent u followed by o.
struct MarkRule {
  std::u32string_view letters;
  Mark mark;
  bool pair;
};

struct ToneEntry {
  char32_t key;
  std::uint8_t tone;  // 1 to 5
};

struct MarkEntry {
  char32_t key;
  std::span<const MarkRule> rules;  // tried in this order
};

// A key that produces a marked letter by itself: the base letter and its mark.
struct LetterEntry {
  char32_t key;
  char32_t letter;
  Mark mark;
};

struct MarkedLetter {
  char32_t letter;
  Mark mark;
  friend constexpr bool operator==(MarkedLetter, MarkedLetter) = default;
};

// One input method. The four instances below are the only ones; pass them by reference.
struct InputMethodSpec {
  std::string_view name;
  std::span<const ToneEntry> tones;  // tone order 1 to 5
  std::span<const MarkEntry> marks;
  std::span<const LetterEntry> standalone;  // used only with the option w_as_u
  std::span<const LetterEntry> insert;      // used only with the option bracket_keys
  char32_t remove_key;
  bool vni_digits;  // doubled and trailing tone digits make a word literal

  // Lookups; "exact" ones compare the key as typed, the others its lower-case form. Each returns
  // the first match in table order.
  std::optional<MarkedLetter> insert_for(char32_t key) const;      // exact
  std::optional<MarkedLetter> standalone_for(char32_t key) const;  // exact
  // A key that, besides the letters a to z, keeps a word going while it is typed.
  bool extra_word_key(char32_t key) const;
  bool is_function_key(char32_t key) const;
  std::optional<std::uint8_t> tone_of(char32_t key) const;  // exact
  std::optional<char32_t> tone_key(std::uint8_t tone) const;
  // The first mark key with a single-letter rule that puts `mark` on `base`.
  std::optional<char32_t> mark_key(char32_t base, Mark mark) const;
  std::optional<std::span<const MarkRule>> marks_for(char32_t key) const;  // exact
};

extern const InputMethodSpec TELEX;
extern const InputMethodSpec SIMPLE_TELEX;
extern const InputMethodSpec VNI;
extern const InputMethodSpec VIQR;

// The lower-cased key: its lower-case form when that is a single character, else the key itself.
char32_t lower_key_beyond_ascii(char32_t key);
inline char32_t lower_key(char32_t key) {
  if (key < 0x80) return (key >= U'A' && key <= U'Z') ? key + (U'a' - U'A') : key;
  return lower_key_beyond_ascii(key);
}

// Quick Telex: a doubled onset key (c, g, k, n, p, q, t) becomes a two-letter onset.
inline constexpr char32_t QUICK_TELEX_FIRST = U'c';
inline constexpr std::size_t QUICK_TELEX_SLOTS = 18;  // 'c' to 't'
// The onset for a lower-case key, none for a key without an entry.
std::optional<std::u32string_view> quick_telex_onset(char32_t key);

}  // namespace qrx_core::rules
