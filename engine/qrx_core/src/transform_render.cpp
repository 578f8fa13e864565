#include "transform_detail.h"

#include <unicode_text/unicode.h>

namespace qrx_core::transform {
namespace {

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

std::string join_keys(std::u32string_view keys) { return unicode::encode_utf8(keys); }

// A press that took back the mark or tone of a repeated key leaves that key doubled (or tripled
// when the letter itself was typed again) in the keys; such a word is kept as the user made it.
bool repeated_key_kept(const WordState& state, std::u32string_view keys) {
  if (!state.undone || !state.undo_key) return false;
  const std::u32string d = unicode::to_lower(*state.undo_key);
  const std::u32string r = unicode::decode_utf8(unicode::to_lower(join_keys(keys)));
  return r.ends_with(d + d) || r.find(d + d + d) != std::u32string::npos;
}

bool early_stroke_kept(const WordState& state) {
  if (!state.early_stroke) return false;
  for (std::size_t j = state.stroke_index + 1; j < state.letters.size(); ++j) {
    if (vi_syllable::is_vowel(state.letters[j].ch)) return false;
  }
  return true;
}

}  // namespace

TypingResult result(const WordState& state, std::u32string_view keys, const TypingOptions& options,
                    bool finishing) {
  using detail::letter_char;
  const std::span<const Letter> letters = state.letters;
  const std::size_t n = letters.size();
  std::array<Mark, MAX_LETTERS> marks;  // as displayed
  std::array<char32_t, MAX_LETTERS> shown;
  std::array<char32_t, MAX_LETTERS> lower;
  // The toneless lower-case word as a key, and as text only when the key finds no answers.
  vi_syllable::WordKey key = n <= vi_syllable::kWordKeyLetters ? 0 : vi_syllable::kNoWordKey;
  for (std::size_t i = 0; i < n; ++i) {
    const Letter& l = letters[i];
    marks[i] = detail::display_mark(letters, i);
    lower[i] = letter_char(l.ch, marks[i], 0, false);
    shown[i] = l.upper ? letter_char(l.ch, marks[i], 0, true) : lower[i];
    key = vi_syllable::add_letter(key, i, lower[i]);
  }
  const vi_syllable::WordFacts* facts = vi_syllable::word_facts(key);
  detail::WordText toneless;
  if (facts == nullptr) {
    for (std::size_t i = 0; i < n; ++i) toneless.push(lower[i]);
  }
  if (state.tone != 0) {
    std::optional<std::size_t> at = facts != nullptr ? facts->tone_index_of(options.tone_style)
                                                     : vi_syllable::tone_index(toneless.view(), options.tone_style);
    if (!at) {
      for (std::size_t i = n; i-- > 0;) {
        if (vi_syllable::is_vowel(letters[i].ch)) {
          at = i;
          break;
        }
      }
    }
    if (at && *at < n) shown[*at] = letter_char(letters[*at].ch, marks[*at], state.tone, letters[*at].upper);
  }
  detail::WordText text;
  for (std::size_t i = 0; i < n; ++i) text.push(shown[i]);
  // One result object for every return below, built in place.
  TypingResult out;
  out.text.assign(text.view());

  std::uint8_t word_status;
  if (facts != nullptr) {
    word_status = finishing ? facts->check_final(state.tone, options.allow_coda_k)
                            : facts->check_with(state.tone, options.allow_coda_k);
  } else {
    word_status = finishing ? vi_syllable::check_final(toneless.view(), state.tone, options.allow_coda_k)
                            : vi_syllable::check_with(toneless.view(), state.tone, options.allow_coda_k);
  }
  out.status = word_status;
  if (!options.spell_check || !state.transformed) return out;

  bool unfinished = false;
  if (finishing && word_status == vi_syllable::kIncomplete) {
    std::size_t start;
    std::size_t cluster_end;
    if (facts != nullptr) {
      start = facts->vowel_start;
      cluster_end = facts->cluster_end;
    } else {
      const vi_syllable::SyllableView syllable = vi_syllable::parse_view(toneless.view());
      start = syllable.vowel_start;
      cluster_end = syllable.cluster_end();
    }
    // A word ending in a letter pair whose second letter may still take the horn of the first.
    const bool horned_pair_end = n >= 2 && (lower[n - 2] == U'u' || lower[n - 2] == U'ư') && lower[n - 1] == U'ơ';
    unfinished = start != 0 && cluster_end > start && !horned_pair_end;
  }
  const bool fall_back = (word_status == vi_syllable::kInvalid || unfinished) &&
                         !repeated_key_kept(state, keys) && !early_stroke_kept(state);

  if (state.undone && state.literal_mode && !out.text.empty()) {
    out.second_text = out.text;
    return out;
  }
  if (fall_back) {
    out.text = join_keys(keys);
    out.literal = true;
  }
  return out;
}

std::optional<std::string> vni_literal(std::u32string_view keys, bool vni_digits, UndoPairs undo_pairs) {
  if (!vni_digits || keys.empty() || std::none_of(keys.begin(), keys.end(), is_ascii_digit))
    return std::nullopt;
  auto collapses = [&](std::size_t i) {
    return is_ascii_digit(keys[i]) && i + 1 < keys.size() && keys[i + 1] == keys[i] && i < 32 &&
           ((undo_pairs >> i) & 1u) != 0;
  };
  bool doubled = false;
  for (std::size_t i = 0; i < keys.size() && !doubled; ++i) doubled = collapses(i);
  if (doubled) {
    std::string written;
    for (std::size_t i = 0; i < keys.size();) {
      unicode::append_utf8(written, keys[i]);
      i += collapses(i) ? 2 : 1;
    }
    return written;
  }
  std::size_t tone_digits = 0;
  for (std::size_t i = keys.size(); i-- > 0 && is_ascii_digit(keys[i]);) {
    if (keys[i] <= U'5') ++tone_digits;
  }
  if (tone_digits >= 2) return join_keys(keys);
  return std::nullopt;
}

TypingResult transform(std::u32string_view keys, const InputMethodSpec& spec, const TypingOptions& options,
                       bool finishing) {
  return Composer::with_raw(spec, options, keys).result(finishing);
}

TypingResult transform_str(std::string_view text, const InputMethodSpec& spec, const TypingOptions& options,
                           bool finishing) {
  return transform(unicode::decode_utf8(text), spec, options, finishing);
}

std::optional<std::string> to_raw(std::string_view word, const InputMethodSpec& spec) {
  std::string keys;
  std::uint8_t tone = 0;
  std::optional<vi_syllable::PackedLetter> previous;
  auto upper_ascii = [](char32_t c) { return (c >= U'a' && c <= U'z') ? c - (U'a' - U'A') : c; };
  for (std::size_t pos = 0; pos < word.size();) {
    const vi_syllable::PackedLetter letter = vi_syllable::decompose_char(unicode::next_char(word, pos));
    const char32_t base = letter.base();
    if (base < U'a' || base > U'z') return std::nullopt;
    if (letter.tone() != 0) tone = letter.tone();
    const char32_t written = letter.upper() ? upper_ascii(base) : base;
    unicode::append_utf8(keys, written);
    if (letter.mark() == Mark::None) {
      // Typed twice, a Telex vowel would take the circumflex; three presses keep both letters.
      if (previous && previous->mark() == Mark::None && previous->base() == base &&
          spec.mark_key(base, Mark::Circumflex) == base) {
        unicode::append_utf8(keys, written);
      }
    } else {
      const std::optional<char32_t> key = spec.mark_key(base, letter.mark());
      if (!key) return std::nullopt;
      unicode::append_utf8(keys, letter.upper() ? upper_ascii(*key) : *key);
    }
    previous = letter;
  }
  if (tone != 0) {
    const std::optional<char32_t> key = spec.tone_key(tone);
    if (!key) return std::nullopt;
    unicode::append_utf8(keys, *key);
  }
  return keys;
}

std::optional<std::u32string> rebuild(std::string_view word, const InputMethodSpec& spec,
                                      const TypingOptions& options) {
  const std::optional<std::string> raw = to_raw(word, spec);
  if (!raw) return std::nullopt;
  std::u32string keys = unicode::decode_utf8(*raw);
  if (transform(keys, spec, options, false).text != word) return std::nullopt;
  return keys;
}

namespace {

bool is_continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

}  // namespace

// Their first difference lies in the character whose bytes differ first, which starts at the
// same byte in both.
std::size_t diff_well_formed(std::string_view old_text, std::string_view new_text, std::string& insert) {
  std::size_t same = 0;
  const std::size_t shorter = std::min(old_text.size(), new_text.size());
  while (same < shorter && old_text[same] == new_text[same]) ++same;
  while (same > 0 && ((same < old_text.size() && is_continuation(old_text[same])) ||
                      (same < new_text.size() && is_continuation(new_text[same])))) {
    --same;
  }
  insert.assign(new_text.substr(same));
  std::size_t deleted = 0;
  for (std::size_t i = same; i < old_text.size(); ++i) deleted += is_continuation(old_text[i]) ? 0 : 1;
  return deleted;
}

std::pair<std::string, std::size_t> diff_well_formed(std::string_view old_text, std::string_view new_text) {
  std::pair<std::string, std::size_t> edit;
  edit.second = diff_well_formed(old_text, new_text, edit.first);
  return edit;
}

std::pair<std::string, std::size_t> diff(std::string_view old_text, std::string_view new_text) {
  if (unicode::is_valid_utf8(old_text) && unicode::is_valid_utf8(new_text)) {
    return diff_well_formed(old_text, new_text);
  }
  // Ill-formed bytes read as U+FFFD, character by character.
  std::size_t old_pos = 0;
  std::size_t new_pos = 0;
  while (old_pos < old_text.size() && new_pos < new_text.size()) {
    std::size_t old_next = old_pos;
    std::size_t new_next = new_pos;
    if (unicode::next_char(old_text, old_next) != unicode::next_char(new_text, new_next)) break;
    old_pos = old_next;
    new_pos = new_next;
  }
  std::string insert;
  for (std::size_t pos = new_pos; pos < new_text.size();)
    unicode::append_utf8(insert, unicode::next_char(new_text, pos));
  return {std::move(insert), unicode::char_count(old_text.substr(old_pos))};
}

}  // namespace qrx_core::transform
