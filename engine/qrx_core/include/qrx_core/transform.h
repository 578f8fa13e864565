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
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace qrx_core::transform {

using rules::InputMethodSpec;
using vi_syllable::Mark;

namespace detail {
struct KeyEntries;
struct LetterGlyph;
}
using vi_syllable::ToneStyle;

// A word never holds more letters than this.
inline constexpr std::size_t MAX_LETTERS = 32;
// Keys beyond this many are kept but not interpreted: the word then shows its keys as typed.
inline constexpr std::size_t MAX_STEPPED_KEYS = 24;

// A vector with a fixed inline capacity, trivially copyable. Its size comes first, so that a
// record ending in one can be copied up to its last live element (live_bytes).
template <class T, std::size_t N>
class InlineVec {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
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
    std::memcpy(storage_ + size_ * sizeof(T), &value, sizeof(T));
    ++size_;
    return true;
  }
  // Adds one element and leaves writing it to the caller; the vector must not be full.
  T& extend() { return data()[size_++]; }
  void pop_back() {
    if (size_ > 0) --size_;
  }
  void clear() { size_ = 0; }

  operator std::span<const T>() const { return {data(), size_}; }
  std::span<const T> span() const { return {data(), size_}; }

  // Bytes from the start of the vector to the end of its last live element.
  std::size_t live_bytes() const { return sizeof(size_) + size_ * sizeof(T); }

  friend bool operator==(const InlineVec& a, const InlineVec& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  std::size_t size_ = 0;
  alignas(T) unsigned char storage_[N * sizeof(T)];
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

// The letters come last, so that copying a state stops at its last letter (copy_live).
struct WordState {
  // Lower-cased mark keys whose mark a repeated press took back; each is a plain letter from then
  // on. A method has at most five mark keys.
  InlineVec<char32_t, 8> undone_keys;
  std::size_t stroke_index = 0;
  std::optional<char32_t> undo_key;
  std::optional<char32_t> last_key;
  bool undone = false;
  bool literal_mode = false;
  bool transformed = false;
  bool early_stroke = false;
  std::uint8_t tone = 0;
  Letters letters;

  friend bool operator==(const WordState&, const WordState&) = default;
};
static_assert(std::is_trivially_copyable_v<WordState>);

// Copies `from` into `to` up to its last letter: what a state holds beyond it is never read.
inline void copy_live(WordState& to, const WordState& from) {
  const auto* start = reinterpret_cast<const unsigned char*>(&from);
  const auto* letters = reinterpret_cast<const unsigned char*>(&from.letters);
  std::memcpy(static_cast<void*>(&to), &from, static_cast<std::size_t>(letters - start) + from.letters.live_bytes());
}

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

// UTF-8 text of at most one word (32 letters of at most 4 bytes each), kept inline.
class WordText {
 public:
  void push(char32_t c) {
    if (c < 0x80) {
      if (size_ < kCapacity) bytes_[size_++] = static_cast<char>(c);
    } else if (c < 0x800) {
      if (size_ + 2 > kCapacity) return;
      bytes_[size_++] = static_cast<char>(0xC0 | (c >> 6));
      bytes_[size_++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
      if (size_ + 3 > kCapacity) return;
      bytes_[size_++] = static_cast<char>(0xE0 | (c >> 12));
      bytes_[size_++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes_[size_++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      push_encoded(c);
    }
  }
  // The first `size` (at most 4) of four bytes already encoded: all four are written, which one
  // store does, and the text grows by `size`.
  void push_encoded(const std::array<char, 4>& bytes, std::size_t size) {
    if (size_ + size > kCapacity) return;
    std::memcpy(bytes_.data() + size_, bytes.data(), bytes.size());
    size_ += size;
  }
  std::string_view view() const { return {bytes_.data(), size_}; }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }

 private:
  static constexpr std::size_t kCapacity = MAX_LETTERS * 4;
  void push_encoded(char32_t c);

  std::array<char, kCapacity + 4> bytes_;  // room for a whole four-byte store at the end
  std::size_t size_ = 0;
};

// The text a word's letters show, with the syllable facts of its toneless lower-case form, which
// rendering needs for the tone and judging for the status. The Composer keeps one from key to
// key: a word that only grew by a letter is rendered by adding that letter.
class WordRendering {
 public:
  // Renders the letters with the tone placed by the style.
  void update(std::span<const Letter> letters, std::uint8_t tone, ToneStyle style);
  // The same, for letters that are those rendered last followed by one more, with the same tone
  // and style: only the new letter is worked out, unless a letter before it shows differently
  // for it.
  void add_letter(std::span<const Letter> letters, std::uint8_t tone, ToneStyle style);
  // The same, for the letters rendered last with another tone (or the same).
  void set_tone(std::span<const Letter> letters, std::uint8_t tone, ToneStyle style);
  // Renders the word without letters.
  void clear();

  std::string_view text() const { return text_.view(); }
  // Every character of text() is one NFC leaves as it is whatever stands beside it.
  bool nfc_stable() const { return nfc_stable_; }
  // The answers of the syllable checks for the toneless lower-case word, or null when the table
  // has none (then ask vi_syllable about toneless()).
  const vi_syllable::WordFacts* facts() const { return facts_; }
  // The toneless lower-case word, written out on demand.
  WordText toneless() const;
  // Letter i of the toneless lower-case word.
  char32_t lower(std::size_t i) const { return lower_[i]; }
  std::size_t size() const { return size_; }

 private:
  std::size_t tone_position(std::span<const Letter> letters, std::uint8_t tone, ToneStyle style) const;
  void write_text(std::span<const Letter> letters, std::uint8_t tone);

  std::array<char32_t, MAX_LETTERS> lower_;  // toneless, lower case
  std::array<Mark, MAX_LETTERS> marks_;      // as displayed
  std::array<const detail::LetterGlyph*, MAX_LETTERS> glyphs_;  // null beyond ASCII
  WordText text_;
  bool nfc_stable_ = true;
  std::size_t size_ = 0;
  // The word key (vi_syllable::WordKey) of the letters, while they all have a letter code and
  // there are few enough of them.
  bool keyed_ = false;
  vi_syllable::WordKey key_ = 0;
  const vi_syllable::WordFacts* facts_ = nullptr;
  std::size_t tone_at_ = MAX_LETTERS;  // MAX_LETTERS: no letter carries the tone
};

// What a word shows, its text owned by whoever rendered it (see Composer::view).
struct WordView {
  std::string_view text;
  bool second_text = false;  // TypingResult::second_text is not empty
  bool literal = false;
  std::uint8_t status = vi_syllable::kIncomplete;
  // Known: every character of the text is one NFC leaves as it is whatever stands beside it (so
  // the text is in NFC). False when not known.
  bool nfc_stable = false;
};

// The word in progress: its keys, and the state after the first 24 of them, stepped in place;
// what each key changed that the digit rules and Backspace ask about is recorded beside it. The
// state after any earlier key is the replay of the keys before it (states(), pop()).
class Composer {
 public:
  Composer(const InputMethodSpec& spec, const TypingOptions& options);
  static Composer with_raw(const InputMethodSpec& spec, const TypingOptions& options,
                           std::u32string_view keys);

  void push(char32_t key);
  void pop();
  // Back to no keys, for the same method and options.
  void clear();
  TypingResult result(bool finishing) const;
  // result() without building its texts: the view's text stays valid until the Composer next
  // changes or is viewed again.
  WordView view(bool finishing) const;

  std::u32string_view raw() const;
  // The empty state, then the state after each stepped key: replayed, so for tests and rare
  // questions only.
  std::span<const WordState> states() const;
  // The word's last key, stepped, took back a tone or mark that its earlier press made: a key
  // takes back at most once per word, so its undo key is then new.
  bool last_key_took_back() const;
  const InputMethodSpec& spec() const { return *spec_; }
  const TypingOptions& options() const { return options_; }

 private:
  std::string_view joined_keys() const;

  // Keys of ordinary words stay inline; a longer word moves them all to the heap.
  static constexpr std::size_t kInlineKeys = 32;
  std::array<char32_t, kInlineKeys> inline_keys_{};
  std::u32string heap_keys_;
  std::size_t key_count_ = 0;

  // What a stepped key left: the undo key after it, and (for the digits of a digit method)
  // whether it changed the tone or the mark of a letter already there.
  struct KeyRecord {
    std::optional<char32_t> undo_key;
    bool acted = false;
  };
  WordState state_;
  std::array<KeyRecord, MAX_STEPPED_KEYS> records_;
  const InputMethodSpec* spec_;
  const detail::KeyEntries* entries_;
  TypingOptions options_;
  std::uint8_t enabled_acts_;  // the key table's flags that options_ let act

  // What view() keeps between calls: the rendering of state_ when rendering_current_, the keys
  // written out as UTF-8 (the first joined_count_ of them), the text of the digit rules, and the
  // states replayed for states().
  mutable WordRendering rendering_;
  mutable bool rendering_current_ = false;
  mutable std::string joined_;
  mutable std::size_t joined_count_ = 0;
  mutable std::string digit_text_;
  mutable std::vector<WordState> replayed_;
};

// The edit that turns old into new: (text to insert, characters to delete before the caret),
// keeping their longest common prefix.
std::pair<std::string, std::size_t> diff(std::string_view old_text, std::string_view new_text);
// The same for two texts known to be well-formed UTF-8, without checking them; the second form
// writes the text to insert into `insert` and returns the characters to delete.
std::pair<std::string, std::size_t> diff_well_formed(std::string_view old_text, std::string_view new_text);
std::size_t diff_well_formed(std::string_view old_text, std::string_view new_text, std::string& insert);

}  // namespace qrx_core::transform
