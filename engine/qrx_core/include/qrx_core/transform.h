// Typing one word: the per-word keystroke state machine, the rendering of its state into text
// (tone placed by the syllable rules, or the keys as typed when the word fails the spelling
// check), the reverse mapping from a finished word back to its keys, the Composer that keeps one
// state per key, and the diff between two renderings.
//
// Keys are Unicode scalar values exactly as typed. Per-key state lives in fixed-capacity inline
// storage so that typing a key never touches the heap.
#pragma once

#include <qrx_core/rules.h>
#include <vi_syllable/vi_syllable.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace qrx_core::transform {

using rules::InputMethodSpec;
using vi_syllable::Mark;
using vi_syllable::ToneStyle;

// A word never holds more letters than this.
inline constexpr std::size_t MAX_LETTERS = 32;
// Keys beyond this many are kept but not interpreted: the word then shows its keys as typed.
inline constexpr std::size_t MAX_STEPPED_KEYS = 24;

// A vector with a fixed inline capacity; only the live elements are constructed or copied.
template <class T, std::size_t N>
class InlineVec {
  static_assert(std::is_trivially_destructible_v<T>);

 public:
  InlineVec() = default;
  InlineVec(const InlineVec& other) { copy_from(other); }
  InlineVec& operator=(const InlineVec& other) {
    if (this != &other) copy_from(other);
    return *this;
  }

  static constexpr std::size_t capacity() { return N; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool full() const { return size_ == N; }

  T* data() { return std::launder(reinterpret_cast<T*>(storage_)); }
  const T* data() const { return std::launder(reinterpret_cast<const T*>(storage_)); }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  T& back() { return data()[size_ - 1]; }
  const T& back() const { return data()[size_ - 1]; }

  // False, and nothing stored, when the vector is full.
  bool push_back(const T& value) {
    if (size_ == N) return false;
    ::new (static_cast<void*>(storage_ + size_ * sizeof(T))) T(value);
    ++size_;
    return true;
  }
  void pop_back() {
    if (size_ > 0) --size_;
  }
  void clear() { size_ = 0; }

  operator std::span<const T>() const { return {data(), size_}; }
  std::span<const T> span() const { return {data(), size_}; }

  friend bool operator==(const InlineVec& a, const InlineVec& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  void copy_from(const InlineVec& other) {
    for (std::size_t i = 0; i < other.size_; ++i) {
      ::new (static_cast<void*>(storage_ + i * sizeof(T))) T(other[i]);
    }
    size_ = other.size_;
  }

  alignas(T) unsigned char storage_[N * sizeof(T)];
  std::size_t size_ = 0;
};

// The six typing settings, always passed together, in this order.
struct TypingOptions {
  ToneStyle tone_style = ToneStyle::New;
  bool spell_check = true;
  bool w_as_u = false;
  bool bracket_keys = false;
  bool quick_telex = false;
  bool allow_coda_k = false;

  friend bool operator==(const TypingOptions&, const TypingOptions&) = default;
};

// One letter of the word being typed.
struct Letter {
  char32_t ch;       // lower-case base letter, or the lower-cased key typed literally
  bool upper;        // shown in upper case
  bool by_rule_key;  // produced by a standalone or insert key rather than typed as a base letter
  bool soft_horn;    // the u of a pair horned in an open-onset word: hornless while the pair ends it
  Mark mark;         // Mark::None when the letter has none

  // The letter a key gives when typed without interpretation. A key that case mapping would
  // not give back (ẞ, ǅ, the Kelvin sign) is kept as typed.
  static Letter literal(char32_t key);

  friend bool operator==(const Letter&, const Letter&) = default;
};

using Letters = InlineVec<Letter, MAX_LETTERS>;

struct WordState {
  // Lower-cased mark keys whose mark a repeated press took back; each is a plain letter from then
  // on. A method has at most five mark keys.
  InlineVec<char32_t, 8> undone_keys;
  std::size_t stroke_index = 0;
  std::optional<char32_t> undo_key;
  std::optional<char32_t> last_key;
  Letters letters;
  bool undone = false;
  bool literal_mode = false;
  bool transformed = false;
  bool early_stroke = false;
  std::uint8_t tone = 0;

  friend bool operator==(const WordState&, const WordState&) = default;
};

// One way a mark key may change the word: one or two (letter index, mark) entries.
struct CandidateEntry {
  std::uint8_t index;
  Mark mark;
  friend bool operator==(CandidateEntry, CandidateEntry) = default;
};
using MarkCandidate = InlineVec<CandidateEntry, 2>;
// Room for every candidate of the longest word: a pair per adjacent u,o and a single per vowel
// letter and rule.
using CandidateList = InlineVec<MarkCandidate, 3 * MAX_LETTERS>;

struct DisplayLetter {
  char32_t base;
  Mark mark;
  bool upper;
  friend bool operator==(DisplayLetter, DisplayLetter) = default;
};

// Feeds one key into the word.
void step(WordState& state, char32_t key, const InputMethodSpec& spec, const TypingOptions& options);

// The ways a mark key with these rules may change the letters, in the order they are tried:
// pairs first, then singles from the last letter back. `run` is the vowel run of cluster_span.
CandidateList candidates(std::span<const Letter> letters, std::span<const rules::MarkRule> rules,
                         std::pair<std::size_t, std::size_t> run);

// The letters as shown: a typed ưo shows as ươ, and a soft-horned u loses its horn while the pair
// ends the word.
InlineVec<DisplayLetter, MAX_LETTERS> display(std::span<const Letter> letters);
// One lower-case toneless character per letter.
std::string toneless_lower(std::span<const Letter> letters);
// (start, end) of the vowel run; empty when end <= start.
std::pair<std::size_t, std::size_t> cluster_span(std::span<const Letter> letters);
std::uint8_t status(std::span<const Letter> letters, std::uint8_t tone, bool allow_coda_k);

// What the word shows.
struct TypingResult {
  std::string text;         // the rendered word, or the keys as typed
  std::string second_text;  // a copy of text when a repeated press put the word into literal mode
  bool literal = false;     // text is the keys as typed (spell-check fall-back or digit rules)
  std::uint8_t status = vi_syllable::kIncomplete;

  friend bool operator==(const TypingResult&, const TypingResult&) = default;
};

TypingResult result(const WordState& state, std::u32string_view keys, const TypingOptions& options,
                    bool finishing);

// Bit i set: keys i and i+1 are the same digit, key i set or took away a tone or mark, and key
// i+1 took that back as a repeated press.
using UndoPairs = std::uint32_t;

// The digit rules of a digit method: a doubled digit that undid its first press stands for that
// digit once, and a word ending in two or more tone digits is shown as typed.
std::optional<std::string> vni_literal(std::u32string_view keys, bool vni_digits, UndoPairs undo_pairs);

TypingResult transform(std::u32string_view keys, const InputMethodSpec& spec, const TypingOptions& options,
                       bool finishing);
TypingResult transform_str(std::string_view text, const InputMethodSpec& spec, const TypingOptions& options,
                           bool finishing);

// Keys that type a finished word, or none when the method cannot type it.
std::optional<std::string> to_raw(std::string_view word, const InputMethodSpec& spec);
// to_raw's keys, kept only when they type the word again exactly.
std::optional<std::u32string> rebuild(std::string_view word, const InputMethodSpec& spec,
                                      const TypingOptions& options);

// The word in progress: its keys and the state after each of the first 24 of them.
class Composer {
 public:
  Composer(const InputMethodSpec& spec, const TypingOptions& options);
  static Composer with_raw(const InputMethodSpec& spec, const TypingOptions& options,
                           std::u32string_view keys);

  void push(char32_t key);
  void pop();
  TypingResult result(bool finishing) const;

  std::u32string_view raw() const;
  std::span<const WordState> states() const { return states_.span(); }
  const InputMethodSpec& spec() const { return *spec_; }
  const TypingOptions& options() const { return options_; }

 private:
  // Keys of ordinary words stay inline; a longer word moves them all to the heap.
  static constexpr std::size_t kInlineKeys = 32;
  std::array<char32_t, kInlineKeys> inline_keys_{};
  std::u32string heap_keys_;
  std::size_t key_count_ = 0;

  InlineVec<WordState, MAX_STEPPED_KEYS + 1> states_;
  const InputMethodSpec* spec_;
  TypingOptions options_;
};

// The edit that turns old into new: (text to insert, characters to delete before the caret),
// keeping their longest common prefix.
std::pair<std::string, std::size_t> diff(std::string_view old_text, std::string_view new_text);
// The same for two texts known to be well-formed UTF-8, without checking them; the second form
// writes the text to insert into `insert` and returns the characters to delete.
std::pair<std::string, std::size_t> diff_well_formed(std::string_view old_text, std::string_view new_text);
std::size_t diff_well_formed(std::string_view old_text, std::string_view new_text, std::string& insert);

}  // namespace qrx_core::transform
