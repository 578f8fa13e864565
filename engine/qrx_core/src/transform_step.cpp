#include "transform_detail.h"

#include <qrx_unicode/unicode.h>

#include <memory>

namespace qrx_core::transform {

// Characters beyond the Basic Multilingual Plane, and surrogates, which the encoder replaces.
void WordText::push_encoded(char32_t c) {
  const std::string utf8 = qrx_unicode::encode_utf8(c);
  if (size_ + utf8.size() > kCapacity) return;
  std::copy(utf8.begin(), utf8.end(), bytes_.begin() + size_);
  size_ += utf8.size();
}

namespace detail {

namespace {

std::array<char, 4> utf8_of(char32_t c, std::uint8_t& size) {
  const std::string utf8 = qrx_unicode::encode_utf8(c);
  std::array<char, 4> bytes{};
  std::copy(utf8.begin(), utf8.end(), bytes.begin());
  size = static_cast<std::uint8_t>(utf8.size());
  return bytes;
}

using LetterGlyphs = std::array<LetterGlyph, 0x80 * kGlyphMarks>;

// Kept out of line: inlined, the building would cost every look-up its registers.
[[gnu::noinline]] std::unique_ptr<const LetterGlyphs> build_letter_glyphs() {
  auto glyphs = std::make_unique<LetterGlyphs>();
  constexpr std::array<Mark, kGlyphMarks> marks = {Mark::Circumflex, Mark::Breve, Mark::Horn, Mark::Stroke,
                                                   Mark::None};
  for (char32_t b = 0; b < 0x80; ++b) {
    for (const Mark m : marks) {
      LetterGlyph& g = (*glyphs)[b * kGlyphMarks + glyph_slot(m)];
      g.lower = vi_syllable::compose_char(b, m, 0, false);
      g.lower_utf8 = utf8_of(g.lower, g.lower_size);
      const char32_t upper = vi_syllable::compose_char(b, m, 0, true);
      g.upper_utf8 = utf8_of(upper, g.upper_size);
      g.code = vi_syllable::letter_code(g.lower);
      g.lower_nfc_stable = nfc_stable(g.lower);
      g.upper_nfc_stable = nfc_stable(upper);
    }
  }
  return glyphs;
}

}  // namespace

const LetterGlyph* letter_glyphs() {
  static const std::unique_ptr<const LetterGlyphs> table = build_letter_glyphs();
  return table->data();
}

WordText toneless_text(std::span<const Letter> letters) {
  WordText text;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    text.push(letter_char(letters[i].ch, display_mark(letters, i), 0, false));
  }
  return text;
}

}  // namespace detail

namespace {

using detail::KeyEntries;
using detail::toneless_text;

// Onsets after which a horned u,o pair shows its u bare while the pair ends the word (thuơ).
constexpr std::array<std::string_view, 7> kSoftHornOnsets = {"", "c", "h", "k", "kh", "qu", "th"};

bool soft_horn_onset(std::string_view onset) {
  for (std::string_view o : kSoftHornOnsets) {
    if (o == onset) return true;
  }
  return false;
}

void append(WordState& state, const Letter& letter) {
  // A word never reaches the capacity: the Composer steps at most 24 keys.
  state.letters.push_back(letter);
}

bool is_upper_letter(char32_t key) {
  return (key >= U'A' && key <= U'Z') || (key >= 0xC0 && qrx_unicode::is_uppercase(key));
}

template <class Entries>
const auto* find_entry(const Entries& entries, char32_t key) {
  for (const auto& e : entries) {
    if (e.key == key) return &e;
  }
  return static_cast<decltype(&entries[0])>(nullptr);
}

KeyEntries key_entries_of(const InputMethodSpec& spec) {
  KeyEntries entries;
  for (char32_t k = 0; k < 0x80; ++k) {
    if (const auto* e = find_entry(spec.tones, k)) entries.tone[k] = static_cast<std::uint8_t>(e - spec.tones.data() + 1);
    if (const auto* e = find_entry(spec.marks, k)) entries.mark[k] = static_cast<std::uint8_t>(e - spec.marks.data() + 1);
  }
  for (char32_t key = 0; key < 0x80; ++key) {
    const char32_t k = rules::lower_key(key);
    std::uint8_t& flags = entries.acts[key];
    if (entries.tone[k] != 0 || k == spec.remove_key) flags |= KeyEntries::kToneOrRemoveKey;
    if (entries.mark[k] != 0) flags |= KeyEntries::kMarkKey;
    if (rules::quick_telex_onset(k)) flags |= KeyEntries::kQuickTelexKey;
    if (find_entry(spec.insert, key)) flags |= KeyEntries::kInsertKey;
    if (find_entry(spec.standalone, k)) flags |= KeyEntries::kStandaloneKey;
  }
  return entries;
}

}  // namespace

const KeyEntries* detail::key_entries(const InputMethodSpec& spec) {
  static const std::array<std::pair<const InputMethodSpec*, KeyEntries>, 4> known = {{
      {&rules::TELEX, key_entries_of(rules::TELEX)},
      {&rules::SIMPLE_TELEX, key_entries_of(rules::SIMPLE_TELEX)},
      {&rules::VNI, key_entries_of(rules::VNI)},
      {&rules::VIQR, key_entries_of(rules::VIQR)},
  }};
  for (const auto& [s, entries] : known) {
    if (s == &spec) return &entries;
  }
  return nullptr;
}

namespace {

const rules::ToneEntry* tone_entry(const InputMethodSpec& spec, const KeyEntries* entries, char32_t k) {
  if (entries == nullptr || k >= 0x80) return find_entry(spec.tones, k);
  const std::uint8_t i = entries->tone[k];
  return i == 0 ? nullptr : &spec.tones[i - 1];
}

const rules::MarkEntry* mark_entry(const InputMethodSpec& spec, const KeyEntries* entries, char32_t k) {
  if (entries == nullptr || k >= 0x80) return find_entry(spec.marks, k);
  const std::uint8_t i = entries->mark[k];
  return i == 0 ? nullptr : &spec.marks[i - 1];
}

bool no_vowel_after(const Letters& letters, std::size_t index) {
  for (std::size_t j = index + 1; j < letters.size(); ++j) {
    if (vi_syllable::is_vowel(letters[j].ch)) return false;
  }
  return true;
}

bool contains(std::span<const char32_t> keys, char32_t k) {
  return std::find(keys.begin(), keys.end(), k) != keys.end();
}

// Quick Telex: a doubled onset key becomes its two-letter onset.
bool quick_telex(WordState& state, char32_t key, char32_t k, const TypingOptions& options) {
  if (!options.quick_telex || state.transformed || state.letters.size() != 1) return false;
  const Letter old = state.letters[0];
  if (old.mark != Mark::None || old.ch != k) return false;
  const std::optional<std::u32string_view> onset = rules::quick_telex_onset(k);
  if (!onset) return false;
  state.letters.clear();
  append(state, Letter{(*onset)[0], old.upper, false, false, Mark::None});
  append(state, Letter{(*onset)[1], old.upper && is_upper_letter(key), false, false, Mark::None});
  state.transformed = true;
  return true;
}

// `facts` are those of the letters as they stand.
// `outcome` tells what the key did, when it is a tone key.
bool tone_key(WordState& state, char32_t key, char32_t k, std::optional<char32_t> previous,
              const rules::ToneEntry* entry, const vi_syllable::WordFacts* facts, const TypingOptions& options,
              detail::StepOutcome& outcome) {
  if (entry == nullptr) return false;
  const std::uint8_t t = entry->tone;
  if (t != state.tone) {
    if (!options.spell_check) {
      state.tone = t;
      state.transformed = true;
      outcome = detail::StepOutcome::Toned;
      return true;
    }
    bool fits;
    if (facts != nullptr) {
      fits = facts->tone_allowed_with(t, options.allow_coda_k) &&
             facts->check_with(t, options.allow_coda_k) != vi_syllable::kInvalid;
    } else {
      const WordText w = toneless_text(state.letters);
      fits = vi_syllable::tone_allowed_with(w.view(), t, options.allow_coda_k) &&
             vi_syllable::check_with(w.view(), t, options.allow_coda_k) != vi_syllable::kInvalid;
    }
    if (fits) {
      state.tone = t;
      state.transformed = true;
      outcome = detail::StepOutcome::Toned;
    } else {
      append(state, Letter::literal(key));
      outcome = detail::StepOutcome::Appended;
    }
    return true;
  }
  if (previous == k) {
    state.tone = 0;
    state.undone = true;
    state.literal_mode = true;
    state.undo_key = k;
    append(state, Letter::literal(key));
  } else {
    outcome = detail::StepOutcome::Toned;  // consumed: nothing changed
  }
  return true;
}

bool remove_key(WordState& state, const InputMethodSpec& spec, char32_t k, detail::StepOutcome& outcome) {
  if (k != spec.remove_key) return false;
  if (state.tone != 0) {
    state.tone = 0;
    outcome = detail::StepOutcome::Toned;
    return true;
  }
  if (!state.transformed) return false;
  for (Letter& l : state.letters) {
    if (l.mark == Mark::Circumflex || l.mark == Mark::Breve || l.mark == Mark::Horn) l.mark = Mark::None;
  }
  return true;
}

bool applied(const Letters& letters, const MarkCandidate& c) {
  for (const CandidateEntry& e : c) {
    if (letters[e.index].mark != e.mark) return false;
  }
  return true;
}

// Puts the candidate's marks on the word; true when the trial is to be kept.
bool try_candidate(WordState& state, const MarkCandidate& c, const TypingOptions& options) {
  std::array<Letter, 2> saved{};
  for (std::size_t j = 0; j < c.size(); ++j) saved[j] = state.letters[c[j].index];
  bool set_early_stroke = false;
  for (const CandidateEntry& e : c) {
    Letter& l = state.letters[e.index];
    if (c.size() == 2 && l.ch == U'u' && l.mark != e.mark) {
      const WordText toneless = toneless_text(state.letters);
      l.soft_horn = soft_horn_onset(vi_syllable::parse_view(toneless.view()).onset);
    }
    l.mark = e.mark;
    if (e.mark == Mark::Stroke && !state.early_stroke) {
      const bool early = e.index == 0 ? no_vowel_after(state.letters, 0)
                                      : !vi_syllable::is_vowel(state.letters[e.index - 1].ch);
      if (early) {
        state.early_stroke = true;
        state.stroke_index = e.index;
        set_early_stroke = true;
      }
    }
  }
  if (set_early_stroke || !options.spell_check ||
      status(state.letters, state.tone, options.allow_coda_k) != vi_syllable::kInvalid) {
    state.transformed = true;
    return true;
  }
  for (std::size_t j = 0; j < c.size(); ++j) {
    Letter& l = state.letters[c[j].index];
    l.mark = saved[j].mark;
    l.soft_horn = saved[j].soft_horn;
  }
  return false;
}

// A mark key pressed again on the mark it made: show a soft horn, or take the mark back.
void press_again(WordState& state, const MarkCandidate& a, char32_t key, char32_t k) {
  Letter& first = state.letters[a[0].index];
  if (a.size() == 2 && first.soft_horn && a[1].index + 1u == state.letters.size()) {
    first.soft_horn = false;
    return;
  }
  state.undone = true;
  state.undo_key = k;
  if (!contains(state.undone_keys.span(), k)) state.undone_keys.push_back(k);
  if (a.size() == 1 && first.by_rule_key) {
    first.ch = k;
    first.by_rule_key = false;
    first.soft_horn = false;
    first.mark = Mark::None;
    state.literal_mode = true;
    if (a[0].index + 1u != state.letters.size()) append(state, Letter::literal(key));
    return;
  }
  for (const CandidateEntry& e : a) state.letters[e.index].mark = Mark::None;
  append(state, Letter::literal(key));
}

bool mark_key(WordState& state, char32_t key, char32_t k, std::pair<std::size_t, std::size_t> run,
              const rules::MarkEntry* entry, const TypingOptions& options) {
  if (entry == nullptr) return false;
  const CandidateList list = candidates(state.letters, entry->rules, run);
  const MarkCandidate* first_applied = nullptr;
  for (const MarkCandidate& c : list) {
    if (applied(state.letters, c)) {
      if (first_applied == nullptr) first_applied = &c;
      continue;
    }
    if (try_candidate(state, c, options)) return true;
  }
  if (first_applied == nullptr) return false;
  press_again(state, *first_applied, key, k);
  return true;
}

bool insert_key(WordState& state, char32_t key, const InputMethodSpec& spec, const TypingOptions& options) {
  if (!options.bracket_keys) return false;
  const std::optional<rules::MarkedLetter> entry = spec.insert_for(key);
  if (!entry) return false;
  append(state, Letter{entry->letter, false, true, false, entry->mark});
  state.transformed = true;
  return true;
}

bool standalone_key(WordState& state, char32_t key, char32_t k, const InputMethodSpec& spec,
                    const TypingOptions& options) {
  if (!options.w_as_u) return false;
  const std::optional<rules::MarkedLetter> entry = spec.standalone_for(k);
  if (!entry) return false;
  const Letter letter{entry->letter, key != k, true, false, entry->mark};
  if (options.spell_check) {
    Letters trial = state.letters;
    trial.push_back(letter);
    if (status(trial, state.tone, options.allow_coda_k) == vi_syllable::kInvalid) return false;
  }
  append(state, letter);
  state.transformed = true;
  return true;
}

}  // namespace

Letter Letter::literal(char32_t key) {
  // ASCII: a capital is its lower-case letter shown in upper case, as the general rule gives.
  if (key < 0x80) {
    if (key >= U'A' && key <= U'Z') return Letter{key + (U'a' - U'A'), true, false, false, Mark::None};
    return Letter{key, false, false, false, Mark::None};
  }
  const char32_t lower = rules::lower_key(key);
  if (lower == key) return Letter{key, false, false, false, Mark::None};
  if (vi_syllable::compose_char(lower, Mark::None, 0, true) == key)
    return Letter{lower, true, false, false, Mark::None};
  // Case mapping would not give this key back, so the letter keeps the form the user typed.
  return Letter{key, false, false, false, Mark::None};
}

InlineVec<DisplayLetter, MAX_LETTERS> display(std::span<const Letter> letters) {
  InlineVec<DisplayLetter, MAX_LETTERS> items;
  for (std::size_t i = 0; i < letters.size(); ++i) {
    items.push_back(DisplayLetter{letters[i].ch, detail::display_mark(letters, i), letters[i].upper});
  }
  return items;
}

std::string toneless_lower(std::span<const Letter> letters) {
  return std::string(toneless_text(letters).view());
}

std::pair<std::size_t, std::size_t> cluster_span(std::span<const Letter> letters) {
  if (const vi_syllable::WordFacts* facts = detail::toneless_facts(letters)) {
    return {facts->vowel_start, facts->cluster_end};
  }
  const WordText toneless = toneless_text(letters);
  const vi_syllable::SyllableView syllable = vi_syllable::parse_view(toneless.view());
  return {syllable.vowel_start, syllable.cluster_end()};
}

std::uint8_t status(std::span<const Letter> letters, std::uint8_t tone, bool allow_coda_k) {
  if (const vi_syllable::WordFacts* facts = detail::toneless_facts(letters)) {
    return facts->check_with(tone, allow_coda_k);
  }
  return vi_syllable::check_with(toneless_text(letters).view(), tone, allow_coda_k);
}

CandidateList candidates(std::span<const Letter> letters, std::span<const rules::MarkRule> rules,
                         std::pair<std::size_t, std::size_t> run) {
  const auto [start, end] = run;
  const std::size_t run_end = std::min(end, letters.size());
  CandidateList pairs;
  CandidateList singles;
  auto single = [](std::size_t i, Mark m) {
    MarkCandidate c;
    c.push_back(CandidateEntry{static_cast<std::uint8_t>(i), m});
    return c;
  };
  for (const rules::MarkRule& rule : rules) {
    if (rule.mark == Mark::Stroke) {
      if (letters.empty()) continue;
      if (letters[0].ch == U'd' && run_end > start) {
        singles.push_back(single(0, Mark::Stroke));
      } else if (letters.back().ch == U'd') {
        singles.push_back(single(letters.size() - 1, Mark::Stroke));
      }
    } else if (rule.pair) {
      for (std::size_t i = start; i + 1 < run_end; ++i) {
        if (letters[i].ch == U'u' && letters[i + 1].ch == U'o') {
          MarkCandidate c;
          c.push_back(CandidateEntry{static_cast<std::uint8_t>(i), Mark::Horn});
          c.push_back(CandidateEntry{static_cast<std::uint8_t>(i + 1), Mark::Horn});
          pairs.push_back(c);
        }
      }
    } else {
      for (std::size_t i = start; i < run_end; ++i) {
        if (rule.letters.find(letters[i].ch) != std::u32string_view::npos)
          singles.push_back(single(i, rule.mark));
      }
    }
  }
  // Stable: among candidates on the same letter the earlier rule is tried first.
  for (std::size_t i = 1; i < singles.size(); ++i) {
    const MarkCandidate moving = singles[i];
    std::size_t j = i;
    for (; j > 0 && singles[j - 1][0].index < moving[0].index; --j) singles[j] = singles[j - 1];
    singles[j] = moving;
  }
  CandidateList list;
  auto add_unique = [&list](const MarkCandidate& c) {
    if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
  };
  for (const MarkCandidate& c : pairs) add_unique(c);
  for (const MarkCandidate& c : singles) add_unique(c);
  return list;
}

void step(WordState& state, char32_t key, const InputMethodSpec& spec, const TypingOptions& options) {
  detail::step(state, key, spec, options, detail::key_entries(spec), detail::KnownFacts{});
}

detail::StepOutcome detail::step(WordState& state, char32_t key, const InputMethodSpec& spec, const TypingOptions& options,
                  const KeyEntries* entries, KnownFacts known) {
  using enum detail::StepOutcome;
  // Most keys are ASCII letters that nothing below would act on: they join the word as typed.
  if (key < 0x80 && entries != nullptr && plain_key(*entries, spec, KeyEntries::enabled(options), state.letters, key)) {
    add_plain_key(state, key);
    return Appended;
  }

  const char32_t k = rules::lower_key(key);
  const std::optional<char32_t> previous = state.last_key;
  state.last_key = k;

  if (state.literal_mode || contains(state.undone_keys.span(), k)) {
    append(state, Letter::literal(key));
    return Appended;
  }

  // Only tone, remove and mark keys look at the vowels; a plain letter skips the parse.
  std::pair<std::size_t, std::size_t> run{0, 0};
  bool has_vowel = false;
  const vi_syllable::WordFacts* facts = nullptr;
  const rules::ToneEntry* tone = tone_entry(spec, entries, k);
  const rules::MarkEntry* mark = mark_entry(spec, entries, k);
  if (mark != nullptr && !detail::mark_may_apply(state.letters, mark->rules)) mark = nullptr;
  if (tone != nullptr || k == spec.remove_key || mark != nullptr) {
    facts = known.known ? known.facts : detail::toneless_facts(state.letters);
    if (facts != nullptr) {
      run = {facts->vowel_start, facts->cluster_end};
    } else {
      const WordText toneless = toneless_text(state.letters);
      const vi_syllable::SyllableView syllable = vi_syllable::parse_view(toneless.view());
      run = {syllable.vowel_start, syllable.cluster_end()};
    }
    has_vowel = run.second > run.first ||
                (state.letters.size() == 2 && state.letters[0].ch == U'q' && state.letters[1].ch == U'u');
  }

  detail::StepOutcome outcome = Changed;
  if (quick_telex(state, key, k, options)) return Changed;
  if (has_vowel && tone_key(state, key, k, previous, tone, facts, options, outcome)) return outcome;
  if (has_vowel && remove_key(state, spec, k, outcome)) return outcome;
  if (mark_key(state, key, k, run, mark, options)) return Changed;
  if (insert_key(state, key, spec, options)) return Appended;
  if (standalone_key(state, key, k, spec, options)) return Appended;
  append(state, Letter::literal(key));
  return Appended;
}

}  // namespace qrx_core::transform
