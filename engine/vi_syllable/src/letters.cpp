#include "detail.h"

#include <vi_syllable/vi_syllable.h>

#include <qrx_unicode/unicode.h>

#include <memory>

namespace vi_syllable {
namespace {

constexpr char32_t kSmallD = U'd';
constexpr char32_t kSmallDStroke = U'đ';

// The character's lower case when that is one character, else the character itself.
char32_t single_lower(char32_t c) {
  const std::u32string lower = qrx_unicode::to_lower(c);
  return lower.size() == 1 ? lower[0] : c;
}

std::optional<Mark> mark_of_sign(char32_t c) {
  for (std::size_t m = 0; m < MARK_SIGNS.size(); ++m) {
    if (MARK_SIGNS[m] == c) return static_cast<Mark>(m);
  }
  return std::nullopt;
}

std::uint8_t tone_of_sign(char32_t c) {
  for (std::size_t t = 1; t < TONE_MARKS.size(); ++t) {
    if (TONE_MARKS[t] == c) return static_cast<std::uint8_t>(t);
  }
  return 0;
}

PackedLetter decompose_uncached(char32_t c) {
  const char32_t lower = single_lower(c);
  const bool upper = lower != c;
  if (lower == kSmallDStroke) return PackedLetter::pack(kSmallD, upper, Mark::Stroke, 0);

  const std::u32string parts = qrx_unicode::nfd(lower);
  Mark mark = Mark::None;
  std::uint8_t tone = 0;
  bool vietnamese = false;
  // Only the Vietnamese tone and mark signs come off; every other part stays with the base, so
  // that a Hangul syllable (three jamo) or a letter with a foreign diacritic survives whole.
  std::u32string rest;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) {
      if (const std::optional<Mark> m = mark_of_sign(parts[i])) {
        mark = *m;
        vietnamese = true;
        continue;
      }
      if (const std::uint8_t t = tone_of_sign(parts[i]); t != 0) {
        tone = t;
        vietnamese = true;
        continue;
      }
    }
    rest.push_back(parts[i]);
  }
  if (!vietnamese) return PackedLetter::pack(lower, upper, Mark::None, 0);
  const std::u32string base = rest.size() == 1 ? rest : qrx_unicode::nfc(rest);
  // A remainder that is no single character cannot be a base: keep the character as it is.
  if (base.size() != 1) return PackedLetter::pack(lower, upper, Mark::None, 0);
  return PackedLetter::pack(base[0], upper, mark, tone);
}

std::size_t mark_slot(Mark mark) {
  switch (mark) {
    case Mark::Circumflex:
    case Mark::Breve:
    case Mark::Horn:
    case Mark::Stroke:
      return static_cast<std::size_t>(mark);
    case Mark::None:
      break;
  }
  return 4;
}

char32_t compose_uncached(char32_t base, Mark mark, std::uint8_t tone, bool upper) {
  std::u32string sequence;
  const std::size_t slot = mark_slot(mark);
  if (slot == static_cast<std::size_t>(Mark::Stroke)) {
    sequence.push_back(base == kSmallD ? kSmallDStroke : base);
  } else {
    sequence.push_back(base);
    if (slot < MARK_SIGNS.size()) sequence.push_back(MARK_SIGNS[slot]);
  }
  if (tone >= 1 && tone < TONE_MARKS.size()) sequence.push_back(TONE_MARKS[tone]);

  const std::u32string composed = qrx_unicode::nfc(sequence);
  char32_t ch = composed.empty() ? base : composed[0];
  if (upper) {
    const std::u32string up = qrx_unicode::to_upper(ch);
    if (up.size() == 1) ch = up[0];
  }
  return ch;
}

// Normalization and case mapping cost far more than a keystroke may, so the letters the typing
// core handles (Latin, Latin Extended and the Vietnamese block) are looked up in tables made once.
struct CharRange {
  char32_t first;
  char32_t end;
};
constexpr std::array<CharRange, 2> kCachedLetters = {{{0x0000, 0x0250}, {0x1E00, 0x1F00}}};
constexpr std::size_t kCachedLetterCount =
    (kCachedLetters[0].end - kCachedLetters[0].first) + (kCachedLetters[1].end - kCachedLetters[1].first);

std::optional<std::size_t> cached_letter_slot(char32_t c) {
  std::size_t offset = 0;
  for (const CharRange& r : kCachedLetters) {
    if (c >= r.first && c < r.end) return offset + (c - r.first);
    offset += r.end - r.first;
  }
  return std::nullopt;
}

using DecomposeTable = std::array<PackedLetter, kCachedLetterCount>;

// Kept out of line: inlined, the building would cost every look-up its registers.
[[gnu::noinline]] std::unique_ptr<const DecomposeTable> build_decompose_table() {
  auto t = std::make_unique<DecomposeTable>();
  std::size_t slot = 0;
  for (const CharRange& r : kCachedLetters) {
    for (char32_t c = r.first; c < r.end; ++c) (*t)[slot++] = decompose_uncached(c);
  }
  return t;
}

const DecomposeTable& decompose_table() {
  static const std::unique_ptr<const DecomposeTable> table = build_decompose_table();
  return *table;
}

// ASCII bases x 5 mark slots x 6 tones x 2 cases.
constexpr std::size_t kComposeBases = 0x80;
constexpr std::size_t kMarkSlots = 5;
using ComposeTable = std::array<char32_t, kComposeBases * kMarkSlots * TONE_MARKS.size() * 2>;

std::size_t compose_slot(char32_t base, std::size_t mark_slot, std::size_t tone, bool upper) {
  return ((base * kMarkSlots + mark_slot) * TONE_MARKS.size() + tone) * 2 + (upper ? 1 : 0);
}

constexpr std::array<Mark, kMarkSlots> kMarksBySlot = {Mark::Circumflex, Mark::Breve, Mark::Horn,
                                                       Mark::Stroke, Mark::None};

[[gnu::noinline]] std::unique_ptr<const ComposeTable> build_compose_table() {
  auto t = std::make_unique<ComposeTable>();
  for (char32_t base = 0; base < kComposeBases; ++base) {
    for (std::size_t m = 0; m < kMarkSlots; ++m) {
      for (std::size_t tone = 0; tone < TONE_MARKS.size(); ++tone) {
        for (bool upper : {false, true}) {
          (*t)[compose_slot(base, m, tone, upper)] =
              compose_uncached(base, kMarksBySlot[m], static_cast<std::uint8_t>(tone), upper);
        }
      }
    }
  }
  return t;
}

const ComposeTable& compose_table() {
  static const std::unique_ptr<const ComposeTable> table = build_compose_table();
  return *table;
}

}  // namespace

PackedLetter decompose_char(char32_t c) {
  if (const std::optional<std::size_t> slot = cached_letter_slot(c)) return decompose_table()[*slot];
  return decompose_uncached(c);
}

char32_t compose_char(char32_t base, Mark mark, std::uint8_t tone, bool upper) {
  if (base < kComposeBases) {
    const std::size_t t = tone < TONE_MARKS.size() ? tone : 0;
    return compose_table()[compose_slot(base, mark_slot(mark), t, upper)];
  }
  return compose_uncached(base, mark, tone, upper);
}

std::optional<std::size_t> tone_index(std::string_view word, ToneStyle style) {
  if (const WordFacts* facts = word_facts(word_key(word))) return facts->tone_index_of(style);
  return detail::tone_index_uncached(word, style);
}

std::optional<std::size_t> detail::tone_index_uncached(std::string_view word, ToneStyle style) {
  const detail::SyllableView s = detail::parse_view(word);
  if (s.vowel.empty()) return std::nullopt;

  std::optional<std::size_t> first_horned_o;
  std::optional<std::size_t> first_marked;
  std::size_t length = 0;
  for (std::size_t pos = 0; pos < s.vowel.size(); ++length) {
    const char32_t c = detail::next_char(s.vowel, pos);
    if (c == U'ơ' && !first_horned_o) first_horned_o = length;
    if (is_marked_vowel(c) && !first_marked) first_marked = length;
  }

  std::size_t within;
  if (first_horned_o) {
    within = *first_horned_o;
  } else if (first_marked) {
    within = *first_marked;
  } else if (!s.coda.empty()) {
    within = length - 1;
  } else if (length == 3) {
    within = 1;
  } else if (s.vowel == "oa" || s.vowel == "oe" || s.vowel == "uy") {
    within = style == ToneStyle::Old ? 0 : 1;
  } else {
    within = 0;
  }
  return s.vowel_start + within;
}

StripResult strip_tone(std::string_view text) {
  StripResult out;
  out.text.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = detail::next_char(text, pos);
    const PackedLetter p = decompose_char(c);
    // A character without a tone is kept as it is: rebuilding it could only lose something
    // (a foreign diacritic, a character whose composed form is several characters).
    if (p.tone() == 0) {
      qrx_unicode::append_utf8(out.text, c);
      continue;
    }
    out.tone = p.tone();
    qrx_unicode::append_utf8(out.text, compose_char(p.base(), p.mark(), 0, p.upper()));
  }
  return out;
}

std::string place_tone(std::string_view word, std::uint8_t tone, ToneStyle style) {
  std::string stripped = strip_tone(word).text;
  if (tone == 0) return stripped;

  // Lower-cased letter by letter, so that every index still points at the same letter.
  std::string lower;
  lower.reserve(stripped.size());
  for (std::size_t pos = 0; pos < stripped.size();) {
    qrx_unicode::append_utf8(lower, single_lower(qrx_unicode::next_char(stripped, pos)));
  }
  const std::optional<std::size_t> index = tone_index(lower, style);
  if (!index) return stripped;

  std::size_t pos = 0;
  for (std::size_t i = 0; i < *index; ++i) qrx_unicode::next_char(stripped, pos);
  const std::size_t start = pos;
  const PackedLetter p = decompose_char(qrx_unicode::next_char(stripped, pos));
  std::string toned = stripped.substr(0, start);
  qrx_unicode::append_utf8(toned, compose_char(p.base(), p.mark(), tone, p.upper()));
  toned.append(stripped, pos);
  return toned;
}

}  // namespace vi_syllable
