// The written Vietnamese syllable: onset, vowel nucleus and final. Spelling lists and the lookup
// tables built from them, parsing, the valid / incomplete / invalid judgement, tone placement, and
// taking a letter apart into base, mark, tone and case and putting it together again.
//
// All text is UTF-8; every index and count is in characters (Unicode scalar values). Words passed
// to parse, the checks and tone_index are lower case, with vowel marks and without tone marks.
// Everything is pure; the only state is the process-wide Tables, built once on first use.
#pragma once

#include <qrx_json/json.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vi_syllable {

// ---------------------------------------------------------------------------------------------
// Spelling lists

inline constexpr std::array<char32_t, 12> VOWELS = {U'a', U'ă', U'â', U'e', U'ê', U'i',
                                                    U'o', U'ô', U'ơ', U'u', U'ư', U'y'};
inline constexpr std::array<char32_t, 6> MARKED_VOWELS = {U'ă', U'â', U'ê', U'ô', U'ơ', U'ư'};
inline constexpr std::array<char32_t, 4> FRONT_VOWELS = {U'e', U'ê', U'i', U'y'};

// Longest first: parse takes the first entry that starts the word, so ngh wins over ng.
inline constexpr std::array<std::string_view, 25> ONSETS = {
    "ngh", "ng", "nh", "gh", "kh", "ph", "th", "tr", "ch", "b", "c", "d", "đ",
    "g",   "h",  "k",  "l",  "m",  "n",  "p",  "r",  "s",  "t", "v", "x"};

// Vowel groups that may end a syllable.
inline constexpr std::array<std::string_view, 45> OPEN_NUCLEI = {
    "a",  "e",  "ê",  "i",   "o",   "ô",   "ơ",   "u",   "ư",   "y",   "ai",  "ao",  "au",  "ay",  "âu",
    "ây", "eo", "êu", "ia",  "iu",  "oa",  "oe",  "oi",  "ôi",  "ơi",  "ua",  "uê",  "ui",  "uy",  "ưa",
    "ưi", "ưu", "uơ", "iêu", "yêu", "oai", "oay", "oao", "oeo", "uây", "uôi", "ươi", "ươu", "uya", "uyu"};

// Vowel groups that may stand before a final.
inline constexpr std::array<std::string_view, 23> CLOSED_NUCLEI = {
    "a",  "ă",  "â",  "e",  "ê",  "i",  "o",  "ô",  "ơ",  "u",   "ư", "oa",
    "oă", "oe", "uâ", "uê", "uy", "iê", "yê", "uô", "ươ", "uyê", "oo"};

// The nuclei allowed before ch and nh.
inline constexpr std::array<std::string_view, 6> PALATAL_NUCLEI = {"a", "ê", "i", "oa", "uê", "uy"};

inline constexpr std::array<std::string_view, 8> CODAS = {"c", "ch", "m", "n", "ng", "nh", "p", "t"};
inline constexpr std::array<std::string_view, 9> CODAS_K = {"c", "ch", "m", "n", "ng", "nh", "p", "t", "k"};
inline constexpr std::array<std::string_view, 4> STOP_CODAS = {"c", "ch", "p", "t"};
inline constexpr std::array<std::string_view, 5> STOP_CODAS_K = {"c", "ch", "p", "t", "k"};

// One bit per list for every character up to the last listed one, built from the lists.
namespace letter_lists {
inline constexpr std::uint8_t kVowel = 1;
inline constexpr std::uint8_t kMarkedVowel = 2;
inline constexpr std::uint8_t kFrontVowel = 4;
inline constexpr char32_t kEnd = U'ư' + 1;  // the highest letter of the lists, plus one

constexpr std::array<std::uint8_t, kEnd> make_classes() {
  std::array<std::uint8_t, kEnd> classes{};
  for (char32_t c : VOWELS) classes[c] |= kVowel;
  for (char32_t c : MARKED_VOWELS) classes[c] |= kMarkedVowel;
  for (char32_t c : FRONT_VOWELS) classes[c] |= kFrontVowel;
  return classes;
}
inline constexpr std::array<std::uint8_t, kEnd> kClasses = make_classes();

constexpr bool in(std::uint8_t list, char32_t c) { return c < kEnd && (kClasses[c] & list) != 0; }
}  // namespace letter_lists

constexpr bool is_vowel(char32_t c) { return letter_lists::in(letter_lists::kVowel, c); }
constexpr bool is_marked_vowel(char32_t c) { return letter_lists::in(letter_lists::kMarkedVowel, c); }
constexpr bool is_front_vowel(char32_t c) { return letter_lists::in(letter_lists::kFrontVowel, c); }

// ---------------------------------------------------------------------------------------------
// Parsing

struct Syllable {
  std::string onset;            // possibly empty
  std::string vowel;            // the run of VOWELS letters right after the onset, possibly empty
  std::string coda;             // everything after that run, any characters
  std::size_t vowel_start = 0;  // character index of the first vowel letter

  // Character index just after the nucleus.
  std::size_t cluster_end() const;

  friend bool operator==(const Syllable&, const Syllable&) = default;
};

// Splits a word into onset + vowel + coda (their concatenation is always the word). Never fails.
Syllable parse(std::string_view word);

// The parts parse gives, as views into the word, for callers that only look at them: this one
// builds no strings and runs on every key.
struct SyllableView {
  std::string_view onset;
  std::string_view vowel;
  std::string_view coda;
  std::size_t vowel_start = 0;

  std::size_t cluster_end() const;
};
SyllableView parse_view(std::string_view word);

// The prefixes of 1, 2, ... n characters, shortest first; none for the empty string.
std::vector<std::string> prefixes(std::string_view s);

using StringSet = std::set<std::string, std::less<>>;
using StringSetMap = std::map<std::string, StringSet, std::less<>>;

// Every form of s with any subset of its marked vowel letters replaced by the bare letter
// (ươ gives ươ, uơ, ưo, uo). The empty string gives the set holding the empty string.
StringSet relax(std::string_view s);

// Lookup containers built once from the lists. The ordered containers take std::string_view keys.
struct Tables {
  StringSet onset_prefixes;     // every prefix of every onset, gi and qu included (28)
  StringSet open_nuclei;        // OPEN_NUCLEI
  StringSet closed_nuclei;      // CLOSED_NUCLEI
  StringSet palatal_nuclei;     // PALATAL_NUCLEI
  StringSet incomplete_nuclei;  // relaxed prefixes of every open and closed nucleus (72)
  // For each prefix of a final: the relaxed closed nuclei that may stand before such a final.
  StringSetMap coda_prefixes;
  StringSetMap coda_prefixes_k;  // coda_prefixes plus the final k
};

// The one process-wide instance; built on the first call (thread-safe), read-only afterwards.
const Tables& tables();

// ---------------------------------------------------------------------------------------------
// Validity

// Syllable status.
inline constexpr std::uint8_t kValid = 0;
inline constexpr std::uint8_t kIncomplete = 1;  // more letters or marks may still make it valid
inline constexpr std::uint8_t kInvalid = 2;

// Judges a lower-case word with its vowel marks; the tone (0 to 5) comes separately. With allow_k
// the letter k counts as a final.
std::uint8_t check_with(std::string_view word, std::uint8_t tone, bool allow_k);
std::uint8_t check(std::string_view word, std::uint8_t tone);
// As check_with, and a complete word ending in a stop final is valid only with tone 1 or 5.
std::uint8_t check_final(std::string_view word, std::uint8_t tone, bool allow_k);
// Whether the tone may stand on the word's final (stop finals refuse tones 2, 3 and 4).
bool tone_allowed_with(std::string_view word, std::uint8_t tone, bool allow_k);
bool tone_allowed(std::string_view word, std::uint8_t tone);

// ---------------------------------------------------------------------------------------------
// Tones, marks and letters

// Tone: 0 none, 1 acute, 2 grave, 3 hook above, 4 tilde, 5 dot below. Index = tone; 0 has none.
inline constexpr std::array<char32_t, 6> TONE_MARKS = {0,         U'\u0301', U'\u0300',
                                                       U'\u0309', U'\u0303', U'\u0323'};

enum class Mark : std::uint8_t {
  Circumflex = 0,  // â ê ô
  Breve = 1,       // ă
  Horn = 2,        // ơ ư
  Stroke = 3,      // đ, a letter of its own
  None = 255,
};

// Combining marks of Circumflex, Breve and Horn, by value.
inline constexpr std::array<char32_t, 3> MARK_SIGNS = {U'\u0302', U'\u0306', U'\u031B'};

// Moves the tone only in the open nuclei oa, oe and uy: Old on the first letter (hòa), New on
// the second (hoà).
enum class ToneStyle : std::uint8_t { Old = 0, New = 1 };

// "old" or "new".
std::string_view tone_style_name(ToneStyle style);
qrx_json::Value to_json(ToneStyle style);
// Accepts "old" / "new" and the object form {"old": null}; anything else is a JSON error.
qrx_json::Result<ToneStyle> tone_style_from_json(const qrx_json::Value& value);

// A letter taken apart: bits 0-31 base character (lower case, without tone and mark; d for đ),
// bit 32 upper-case flag, bits 40-47 Mark (255 for none), bits 48-55 tone.
struct PackedLetter {
  std::uint64_t bits = 0;

  static constexpr PackedLetter pack(char32_t base, bool upper, Mark mark, std::uint8_t tone) {
    return PackedLetter{static_cast<std::uint64_t>(base) | (static_cast<std::uint64_t>(upper) << 32) |
                        (static_cast<std::uint64_t>(mark) << 40) | (static_cast<std::uint64_t>(tone) << 48)};
  }
  constexpr char32_t base() const { return static_cast<char32_t>(bits & 0xFFFFFFFFu); }
  constexpr bool upper() const { return ((bits >> 32) & 1u) != 0; }
  constexpr Mark mark() const { return static_cast<Mark>((bits >> 40) & 0xFFu); }
  constexpr std::uint8_t tone() const { return static_cast<std::uint8_t>((bits >> 48) & 0xFFu); }

  friend constexpr bool operator==(PackedLetter, PackedLetter) = default;
};

// Only the Vietnamese tone and mark signs come off the letter; anything else in its canonical
// decomposition stays in the base (ü keeps its diaeresis, a Hangul syllable stays whole).
PackedLetter decompose_char(char32_t c);
// Builds one character; a mark or tone with no precomposed form on the base is lost (a toned
// consonant is the bare consonant). mark must be a valid Mark value.
char32_t compose_char(char32_t base, Mark mark, std::uint8_t tone, bool upper);

// Index of the letter of a lower-case toneless word that carries the tone; none without a vowel.
std::optional<std::size_t> tone_index(std::string_view word, ToneStyle style);

struct StripResult {
  std::string text;       // the text without tone marks
  std::uint8_t tone = 0;  // the last tone found, 0 when none
  friend bool operator==(const StripResult&, const StripResult&) = default;
};
// Characters without a tone are kept as they are.
StripResult strip_tone(std::string_view text);

// The word with every tone removed and the given tone placed on the letter that carries it.
std::string place_tone(std::string_view word, std::uint8_t tone, ToneStyle style);

// ---------------------------------------------------------------------------------------------
// Whole words looked up at once

// A lower-case word of syllable letters (a to z, ă, â, ê, ô, ơ, ư, đ), at most kWordKeyLetters of
// them, packed six bits per letter from the first: what the checks above and tone_index look
// up on every key, instead of parsing the word again for each.
using WordKey = std::uint64_t;
inline constexpr WordKey kNoWordKey = ~WordKey{0};
inline constexpr std::size_t kWordKeyLetters = 10;

// 1 to 33 for a syllable letter, 0 for any other character.
constexpr std::uint8_t letter_code(char32_t c) {
  if (c >= U'a' && c <= U'z') return static_cast<std::uint8_t>(c - U'a' + 1);
  switch (c) {
    case U'ă':
      return 27;
    case U'â':
      return 28;
    case U'ê':
      return 29;
    case U'ô':
      return 30;
    case U'ơ':
      return 31;
    case U'ư':
      return 32;
    case U'đ':
      return 33;
    default:
      return 0;
  }
}

// The key of a word of `letters` letters with `c` added at its end; kNoWordKey when `c` is no
// syllable letter, the word is already full or the key was none.
constexpr WordKey add_letter(WordKey key, std::size_t letters, char32_t c) {
  const std::uint8_t code = letter_code(c);
  if (key == kNoWordKey || code == 0 || letters >= kWordKeyLetters) return kNoWordKey;
  return key | (static_cast<WordKey>(code) << (6 * letters));
}

// The key of a UTF-8 word, or kNoWordKey.
WordKey word_key(std::string_view word);

// What the checks and tone_index answer for one word, for every tone and both settings of k.
struct WordFacts {
  // Two bits per answer: check_with at bit 2 * (3 * allow_k + tone class), check_final 12 bits
  // above, tone_allowed_with one bit per (allow_k, tone class) from bit 24. Tone classes: 0 for
  // no tone (and values past 5), 1 for acute and dot below, 2 for grave, hook and tilde.
  std::uint32_t answers = 0;
  std::int8_t tone_index[2] = {-1, -1};  // Old, then New (any other style); -1 for none
  std::uint8_t vowel_start = 0;          // of parse_view
  std::uint8_t cluster_end = 0;

  static constexpr unsigned tone_class(std::uint8_t tone) {
    if (tone == 1 || tone == 5) return 1;
    return tone >= 2 && tone <= 4 ? 2 : 0;
  }
  static constexpr unsigned slot(std::uint8_t tone, bool allow_k) { return 3 * (allow_k ? 1 : 0) + tone_class(tone); }
  std::uint8_t check_with(std::uint8_t tone, bool allow_k) const {
    return static_cast<std::uint8_t>((answers >> (2 * slot(tone, allow_k))) & 3u);
  }
  std::uint8_t check_final(std::uint8_t tone, bool allow_k) const {
    return static_cast<std::uint8_t>((answers >> (12 + 2 * slot(tone, allow_k))) & 3u);
  }
  bool tone_allowed_with(std::uint8_t tone, bool allow_k) const {
    return ((answers >> (24 + slot(tone, allow_k))) & 1u) != 0;
  }
  std::optional<std::size_t> tone_index_of(ToneStyle style) const;
};

// The facts of every word that onsets, nuclei and finals can spell, by key: open addressing over
// a power-of-two table at most half full, looked up in line.
class WordFactsTable {
 public:
  explicit WordFactsTable(std::size_t words);
  void insert(WordKey key, const WordFacts& facts);

  const WordFacts* find(WordKey key) const {
    if (key == kNoWordKey) return nullptr;
    for (std::size_t i = slot_of(key);; i = (i + 1) & mask_) {
      const Entry& e = slots_[i];
      if (e.key == key) return &e.facts;
      if (e.key == kNoWordKey) return nullptr;
    }
  }

 private:
  struct Entry {
    WordKey key = kNoWordKey;
    WordFacts facts;
  };
  std::size_t slot_of(WordKey key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> (64 - bits_));
  }
  unsigned bits_ = 1;
  std::size_t mask_ = 0;
  std::vector<Entry> slots_;
};

// The one table, built on first use.
const WordFactsTable& word_facts_table();

// The facts of the word with this key when it is one of the words that onsets, nuclei and finals
// can spell (every word the checks do not judge invalid, and more), else null: then ask the
// functions above, which give the same answers.
inline const WordFacts* word_facts(WordKey key) { return word_facts_table().find(key); }

}  // namespace vi_syllable
