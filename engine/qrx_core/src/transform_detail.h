// Shared by the state machine and the renderer, kept out of the public header.
#pragma once

#include <qrx_core/transform.h>

#include <array>
#include <cstddef>
#include <string_view>

namespace qrx_core::transform::detail {

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

// Per input method, for each ASCII key: its first tone and mark entries (index + 1, 0 for none;
// looked up by the lower-cased key), and what it may do besides being appended as a letter.
struct KeyEntries {
  static constexpr std::uint8_t kToneOrRemoveKey = 1;
  static constexpr std::uint8_t kMarkKey = 16;
  static constexpr std::uint8_t kRuleKey = kToneOrRemoveKey | kMarkKey;
  static constexpr std::uint8_t kQuickTelexKey = 2;
  static constexpr std::uint8_t kInsertKey = 4;
  static constexpr std::uint8_t kStandaloneKey = 8;

  std::array<std::uint8_t, 0x80> tone{};
  std::array<std::uint8_t, 0x80> mark{};
  std::array<std::uint8_t, 0x80> acts{};  // by the key as typed

  // The flags of acts that the options let act.
  static std::uint8_t enabled(const TypingOptions& options) {
    return kRuleKey | (options.quick_telex ? kQuickTelexKey : 0) | (options.bracket_keys ? kInsertKey : 0) |
           (options.w_as_u ? kStandaloneKey : 0);
  }
};
// The table of one of the four methods; null for any other spec.
const KeyEntries* key_entries(const InputMethodSpec& spec);

// The syllable facts of a word's letters before a key, when whoever steps already has them.
struct KnownFacts {
  bool known = false;
  const vi_syllable::WordFacts* facts = nullptr;  // null: the table has none
};

// Whether some letter might take a mark of these rules: candidates asks more (the letter must be
// in the vowel run), but a word without any such letter has no candidate.
inline bool mark_may_apply(std::span<const Letter> letters, std::span<const rules::MarkRule> rules) {
  if (letters.empty()) return false;
  for (const rules::MarkRule& rule : rules) {
    if (rule.mark == Mark::Stroke) {
      if (letters[0].ch == U'd' || letters.back().ch == U'd') return true;
    } else if (rule.pair) {
      for (std::size_t i = 0; i + 1 < letters.size(); ++i) {
        if (letters[i].ch == U'u' && letters[i + 1].ch == U'o') return true;
      }
    } else {
      for (const Letter& l : letters) {
        if (rule.letters.find(l.ch) != std::u32string_view::npos) return true;
      }
    }
  }
  return false;
}

// Whether step would only add this ASCII key as typed: none of its flags acts under the options,
// or it is only a mark key and no letter can take its mark.
inline bool plain_key(const KeyEntries& entries, const InputMethodSpec& spec, std::uint8_t enabled,
                      std::span<const Letter> letters, char32_t key) {
  const std::uint8_t acts = entries.acts[key] & enabled;
  if (acts == 0) return true;
  if (acts != KeyEntries::kMarkKey) return false;
  const char32_t k = key >= U'A' && key <= U'Z' ? key + (U'a' - U'A') : key;
  return !mark_may_apply(letters, spec.marks[entries.mark[k] - 1].rules);
}

// step for an ASCII key that plain_key finds plain: it joins the word as typed.
inline void add_plain_key(WordState& state, char32_t key) {
  const bool upper = key >= U'A' && key <= U'Z';
  const char32_t k = upper ? key + (U'a' - U'A') : key;
  state.last_key = k;
  state.letters.push_back(Letter{k, upper, false, false, Mark::None});
}

// What a step did to the word's letters and tone, for a rendering of the word before it.
enum class StepOutcome : std::uint8_t {
  Appended,  // one letter added at the end, nothing else changed
  Toned,     // only the tone changed
  Changed,   // anything else, or not known
};

// step, told the method's key table (or null) and what it may already know.
StepOutcome step(WordState& state, char32_t key, const InputMethodSpec& spec, const TypingOptions& options,
          const KeyEntries* entries, KnownFacts known);

// How a letter of an ASCII base shows with a mark and without a tone, in both cases, and its
// syllable letter code (vi_syllable::letter_code of the lower case): compose_char's answers,
// worked out once.
struct LetterGlyph {
  std::array<char, 4> lower_utf8;
  std::array<char, 4> upper_utf8;
  char32_t lower;
  std::uint8_t lower_size;
  std::uint8_t upper_size;
  std::uint8_t code;
  bool lower_nfc_stable;  // see nfc_stable
  bool upper_nfc_stable;
};

// A character that NFC leaves as it is whatever stands beside it, as qrx_unicode::is_stable_nfc
// judges it: below U+0300 (no combining mark among them), or a precomposed letter of Latin
// Extended Additional.
constexpr bool nfc_stable(char32_t c) { return c < 0x0300 || (c >= 0x1E00 && c <= 0x1EFF); }
// The glyphs of every ASCII base: entry base * kGlyphMarks + glyph_slot(mark).
inline constexpr std::size_t kGlyphMarks = 5;  // the four marks, then none
constexpr std::size_t glyph_slot(Mark mark) {
  const auto m = static_cast<std::size_t>(mark);
  return m < kGlyphMarks - 1 ? m : kGlyphMarks - 1;
}
const LetterGlyph* letter_glyphs();

// How a word's rendering is judged: its status, and whether it shows the keys as typed instead
// (literal, the spelling-check fall-back) or carries a second text.
struct Judgement {
  std::uint8_t status = vi_syllable::kIncomplete;
  bool show_keys = false;
  bool second_text = false;
  bool literal = false;
};
Judgement judge(const WordRendering& rendering, const WordState& state, std::u32string_view keys,
                const TypingOptions& options, bool finishing);

}  // namespace qrx_core::transform::detail
