#include "transform_detail.h"

#include <cstring>

#include <qrx_unicode/unicode.h>

namespace qrx_core::transform {
namespace {

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

std::string join_keys(std::u32string_view keys) { return qrx_unicode::encode_utf8(keys); }

// A press that took back the mark or tone of a repeated key leaves that key doubled (or tripled
// when the letter itself was typed again) in the keys; such a word is kept as the user made it.
bool repeated_key_kept(const WordState& state, std::u32string_view keys) {
  if (!state.undone || !state.undo_key) return false;
  const std::u32string d = qrx_unicode::to_lower(*state.undo_key);
  const std::u32string r = qrx_unicode::decode_utf8(qrx_unicode::to_lower(join_keys(keys)));
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

// ---- Rendering -------------------------------------------------------------------------------

namespace {

// A u whose horn shows or not depending on whether it is the last letter but one.
bool soft_horned_u(const Letter& l) { return l.ch == U'u' && l.mark == Mark::Horn && l.soft_horn; }

}  // namespace

std::size_t WordRendering::tone_position(std::span<const Letter> letters, std::uint8_t tone,
                                         ToneStyle style) const {
  if (tone == 0) return MAX_LETTERS;
  std::optional<std::size_t> at =
      facts_ != nullptr ? facts_->tone_index_of(style) : vi_syllable::tone_index(toneless().view(), style);
  if (!at) {
    for (std::size_t i = letters.size(); i-- > 0;) {
      if (vi_syllable::is_vowel(letters[i].ch)) return i;
    }
    return MAX_LETTERS;
  }
  return *at < letters.size() ? *at : MAX_LETTERS;
}

void WordRendering::add_letter(std::span<const Letter> letters, std::uint8_t tone, ToneStyle style) {
  const std::size_t i = size_;
  const Letter& l = letters[i];
  if (letters.size() != i + 1 || l.ch >= 0x80 || (i >= 1 && soft_horned_u(letters[i - 1])) ||
      (i >= 2 && soft_horned_u(letters[i - 2]))) {
    update(letters, tone, style);
    return;
  }
  marks_[i] = detail::display_mark(letters, i);
  const detail::LetterGlyph& g = detail::letter_glyphs()[l.ch * detail::kGlyphMarks + detail::glyph_slot(marks_[i])];
  glyphs_[i] = &g;
  lower_[i] = g.lower;
  size_ = i + 1;
  keyed_ = keyed_ && i < vi_syllable::kWordKeyLetters && g.code != 0;
  if (keyed_) key_ |= static_cast<vi_syllable::WordKey>(g.code) << (6 * i);
  facts_ = vi_syllable::word_facts(keyed_ ? key_ : vi_syllable::kNoWordKey);
  // Unless the tone moves, the letters before keep their glyphs.
  const std::size_t tone_at = tone_position(letters, tone, style);
  if (tone_at != tone_at_) {
    tone_at_ = tone_at;
    write_text(letters, tone);
  } else if (l.upper) {
    text_.push_encoded(g.upper_utf8, g.upper_size);
    nfc_stable_ = nfc_stable_ && g.upper_nfc_stable;
  } else {
    text_.push_encoded(g.lower_utf8, g.lower_size);
    nfc_stable_ = nfc_stable_ && g.lower_nfc_stable;
  }
}

void WordRendering::set_tone(std::span<const Letter> letters, std::uint8_t tone, ToneStyle style) {
  tone_at_ = tone_position(letters, tone, style);
  write_text(letters, tone);
}

void WordRendering::clear() {
  text_.clear();
  nfc_stable_ = true;
  size_ = 0;
  keyed_ = true;
  key_ = 0;
  facts_ = vi_syllable::word_facts(0);
  tone_at_ = MAX_LETTERS;
}

void WordRendering::update(std::span<const Letter> all_letters, std::uint8_t tone, ToneStyle style) {
  const std::span<const Letter> letters = all_letters.first(std::min(all_letters.size(), MAX_LETTERS));
  const std::size_t n = letters.size();
  // The toneless lower-case word as a key, and as text only when the key finds no facts.
  const detail::LetterGlyph* table = detail::letter_glyphs();
  vi_syllable::WordKey key = 0;
  unsigned shift = 0;
  bool keyed = n <= vi_syllable::kWordKeyLetters;
  for (std::size_t i = 0; i < n; ++i, shift += 6) {
    const Letter& l = letters[i];
    marks_[i] = detail::display_mark(letters, i);
    std::uint8_t code;
    if (l.ch < 0x80) {
      const detail::LetterGlyph* g = &table[l.ch * detail::kGlyphMarks + detail::glyph_slot(marks_[i])];
      glyphs_[i] = g;
      lower_[i] = g->lower;
      code = g->code;
    } else {
      glyphs_[i] = nullptr;
      lower_[i] = vi_syllable::compose_char(l.ch, marks_[i], 0, false);
      code = vi_syllable::letter_code(lower_[i]);
    }
    keyed = keyed && code != 0;
    if (keyed) key |= static_cast<vi_syllable::WordKey>(code) << shift;
  }
  size_ = n;
  keyed_ = keyed;
  key_ = key;
  facts_ = vi_syllable::word_facts(keyed ? key : vi_syllable::kNoWordKey);
  tone_at_ = tone_position(letters, tone, style);
  write_text(letters, tone);
}

void WordRendering::write_text(std::span<const Letter> letters, std::uint8_t tone) {
  text_.clear();
  bool stable = true;
  for (std::size_t i = 0; i < size_; ++i) {
    const Letter& l = letters[i];
    if (i == tone_at_) {
      const char32_t c = detail::letter_char(l.ch, marks_[i], tone, l.upper);
      text_.push(c);
      stable = stable && detail::nfc_stable(c);
    } else if (const detail::LetterGlyph* g = glyphs_[i]) {
      if (l.upper) {
        text_.push_encoded(g->upper_utf8, g->upper_size);
        stable = stable && g->upper_nfc_stable;
      } else {
        text_.push_encoded(g->lower_utf8, g->lower_size);
        stable = stable && g->lower_nfc_stable;
      }
    } else {
      const char32_t c = l.upper ? vi_syllable::compose_char(l.ch, marks_[i], 0, true) : lower_[i];
      text_.push(c);
      stable = stable && detail::nfc_stable(c);
    }
  }
  nfc_stable_ = stable;
}

WordText WordRendering::toneless() const {
  WordText text;
  for (std::size_t i = 0; i < size_; ++i) text.push(lower_[i]);
  return text;
}

namespace detail {

Judgement judge(const WordRendering& rendering, const WordState& state, std::u32string_view keys,
                const TypingOptions& options, bool finishing) {
  const vi_syllable::WordFacts* facts = rendering.facts();
  Judgement out;
  if (facts != nullptr) {
    out.status = finishing ? facts->check_final(state.tone, options.allow_coda_k)
                           : facts->check_with(state.tone, options.allow_coda_k);
  } else {
    const WordText toneless = rendering.toneless();
    out.status = finishing ? vi_syllable::check_final(toneless.view(), state.tone, options.allow_coda_k)
                           : vi_syllable::check_with(toneless.view(), state.tone, options.allow_coda_k);
  }
  if (!options.spell_check || !state.transformed) return out;

  bool unfinished = false;
  if (finishing && out.status == vi_syllable::kIncomplete) {
    std::size_t start;
    std::size_t cluster_end;
    if (facts != nullptr) {
      start = facts->vowel_start;
      cluster_end = facts->cluster_end;
    } else {
      const WordText toneless = rendering.toneless();
      const vi_syllable::SyllableView syllable = vi_syllable::parse_view(toneless.view());
      start = syllable.vowel_start;
      cluster_end = syllable.cluster_end();
    }
    // A word ending in a letter pair whose second letter may still take the horn of the first.
    const std::size_t n = rendering.size();
    const bool horned_pair_end = n >= 2 && (rendering.lower(n - 2) == U'u' || rendering.lower(n - 2) == U'ư') &&
                                 rendering.lower(n - 1) == U'ơ';
    unfinished = start != 0 && cluster_end > start && !horned_pair_end;
  }
  const bool fall_back = (out.status == vi_syllable::kInvalid || unfinished) &&
                         !repeated_key_kept(state, keys) && !early_stroke_kept(state);

  if (state.undone && state.literal_mode && !rendering.text().empty()) {
    out.second_text = true;
    return out;
  }
  out.show_keys = fall_back;
  out.literal = fall_back;
  return out;
}

}  // namespace detail

TypingResult result(const WordState& state, std::u32string_view keys, const TypingOptions& options,
                    bool finishing) {
  WordRendering rendering;
  rendering.update(state.letters, state.tone, options.tone_style);
  const detail::Judgement j = detail::judge(rendering, state, keys, options, finishing);
  TypingResult out;
  out.status = j.status;
  out.literal = j.literal;
  if (j.show_keys) {
    out.text = join_keys(keys);
  } else {
    out.text.assign(rendering.text());
    if (j.second_text) out.second_text = out.text;
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
      qrx_unicode::append_utf8(written, keys[i]);
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
  return transform(qrx_unicode::decode_utf8(text), spec, options, finishing);
}

std::optional<std::string> to_raw(std::string_view word, const InputMethodSpec& spec) {
  std::string keys;
  std::uint8_t tone = 0;
  std::optional<vi_syllable::PackedLetter> previous;
  auto upper_ascii = [](char32_t c) { return (c >= U'a' && c <= U'z') ? c - (U'a' - U'A') : c; };
  for (std::size_t pos = 0; pos < word.size();) {
    const vi_syllable::PackedLetter letter = vi_syllable::decompose_char(qrx_unicode::next_char(word, pos));
    const char32_t base = letter.base();
    if (base < U'a' || base > U'z') return std::nullopt;
    if (letter.tone() != 0) tone = letter.tone();
    const char32_t written = letter.upper() ? upper_ascii(base) : base;
    qrx_unicode::append_utf8(keys, written);
    if (letter.mark() == Mark::None) {
      // Typed twice, a Telex vowel would take the circumflex; three presses keep both letters.
      if (previous && previous->mark() == Mark::None && previous->base() == base &&
          spec.mark_key(base, Mark::Circumflex) == base) {
        qrx_unicode::append_utf8(keys, written);
      }
    } else {
      const std::optional<char32_t> key = spec.mark_key(base, letter.mark());
      if (!key) return std::nullopt;
      qrx_unicode::append_utf8(keys, letter.upper() ? upper_ascii(*key) : *key);
    }
    previous = letter;
  }
  if (tone != 0) {
    const std::optional<char32_t> key = spec.tone_key(tone);
    if (!key) return std::nullopt;
    qrx_unicode::append_utf8(keys, *key);
  }
  return keys;
}

std::optional<std::u32string> rebuild(std::string_view word, const InputMethodSpec& spec,
                                      const TypingOptions& options) {
  const std::optional<std::string> raw = to_raw(word, spec);
  if (!raw) return std::nullopt;
  std::u32string keys = qrx_unicode::decode_utf8(*raw);
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
  if (qrx_unicode::is_valid_utf8(old_text) && qrx_unicode::is_valid_utf8(new_text)) {
    return diff_well_formed(old_text, new_text);
  }
  // Ill-formed bytes read as U+FFFD, character by character.
  std::size_t old_pos = 0;
  std::size_t new_pos = 0;
  while (old_pos < old_text.size() && new_pos < new_text.size()) {
    std::size_t old_next = old_pos;
    std::size_t new_next = new_pos;
    if (qrx_unicode::next_char(old_text, old_next) != qrx_unicode::next_char(new_text, new_next)) break;
    old_pos = old_next;
    new_pos = new_next;
  }
  std::string insert;
  for (std::size_t pos = new_pos; pos < new_text.size();)
    qrx_unicode::append_utf8(insert, qrx_unicode::next_char(new_text, pos));
  return {std::move(insert), qrx_unicode::char_count(old_text.substr(old_pos))};
}

}  // namespace qrx_core::transform
