#include "detail.h"

#include <vi_syllable/vi_syllable.h>

namespace vi_syllable {
namespace {

using detail::key_of;

template <std::size_t N>
constexpr std::array<std::uint64_t, N> keys_of(const std::array<std::string_view, N>& list) {
  std::array<std::uint64_t, N> keys{};
  for (std::size_t i = 0; i < N; ++i) keys[i] = key_of(list[i]);
  return keys;
}

constexpr auto kCodaKeys = keys_of(CODAS);
constexpr auto kCodaKKeys = keys_of(CODAS_K);
constexpr auto kStopKeys = keys_of(STOP_CODAS);
constexpr auto kStopKKeys = keys_of(STOP_CODAS_K);

template <std::size_t N>
bool listed(const std::array<std::uint64_t, N>& keys, std::uint64_t key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool is_stop(std::uint64_t coda, bool allow_k) {
  return allow_k ? listed(kStopKKeys, coda) : listed(kStopKeys, coda);
}

bool is_final(std::uint64_t coda, bool allow_k) {
  return allow_k ? listed(kCodaKKeys, coda) : listed(kCodaKeys, coda);
}

bool is_heavy(std::uint8_t tone) { return tone == 2 || tone == 3 || tone == 4; }

bool only_syllable_letters(std::string_view word) {
  for (std::size_t pos = 0; pos < word.size();) {
    const char32_t c = detail::next_char(word, pos);
    if (!((c >= U'a' && c <= U'z') || c == U'đ' || is_vowel(c))) return false;
  }
  return true;
}

bool has_vowel(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    if (is_vowel(detail::next_char(text, pos))) return true;
  }
  return false;
}

// Which vowels may follow an onset (ngh/gh/k before front vowels only, and so on).
enum class Follow { Front, NotFront, NotUOrHornedU, NotEOrCircumflexE };

struct OnsetRule {
  std::uint64_t onset;
  Follow follow;
};

constexpr std::array<OnsetRule, 7> ONSET_RULES = {{
    {key_of("ngh"), Follow::Front},
    {key_of("gh"), Follow::Front},
    {key_of("ng"), Follow::NotFront},
    {key_of("k"), Follow::Front},
    {key_of("c"), Follow::NotFront},
    {key_of("qu"), Follow::NotUOrHornedU},
    {key_of("g"), Follow::NotEOrCircumflexE},
}};

bool follows(Follow rule, char32_t v) {
  switch (rule) {
    case Follow::Front:
      return is_front_vowel(v);
    case Follow::NotFront:
      return !is_front_vowel(v);
    case Follow::NotUOrHornedU:
      return v != U'u' && v != U'ư';
    case Follow::NotEOrCircumflexE:
      return v != U'e' && v != U'ê';
  }
  return true;
}

bool onset_fits(std::uint64_t onset, char32_t first_vowel) {
  for (const OnsetRule& r : ONSET_RULES) {
    if (r.onset == onset) return follows(r.follow, first_vowel);
  }
  return true;
}

constexpr std::uint64_t kQu = key_of("qu");
constexpr std::uint64_t kCh = key_of("ch");
constexpr std::uint64_t kNh = key_of("nh");

}  // namespace

namespace detail {

std::uint8_t check_with_uncached(std::string_view word, std::uint8_t tone, bool allow_k) {
  if (word.empty()) return kIncomplete;
  if (!only_syllable_letters(word)) return kInvalid;

  const detail::SyllableView s = detail::parse_view(word);
  const detail::KeyTables& t = detail::key_tables();
  if (s.vowel.empty()) {
    if (s.coda.empty()) return kIncomplete;
    return t.onset_prefixes.contains(word) ? kIncomplete : kInvalid;
  }
  if (has_vowel(s.coda)) return kInvalid;

  const std::uint64_t onset = key_of(s.onset);
  // qu + y is judged as the nucleus uy: the u written in the onset belongs to the sound.
  std::uint64_t nucleus = key_of(s.vowel);
  if (onset == kQu && s.vowel.front() == 'y') {
    char with_u[detail::kMaxKeyBytes] = {'u'};
    const bool fits = s.vowel.size() < detail::kMaxKeyBytes;
    if (fits) s.vowel.copy(with_u + 1, s.vowel.size());
    nucleus = fits ? key_of(std::string_view(with_u, s.vowel.size() + 1)) : detail::kNoKey;
  }

  std::size_t pos = 0;
  if (!onset_fits(onset, detail::next_char(s.vowel, pos))) return kInvalid;

  if (s.coda.empty()) {
    if (t.open_nuclei.contains(nucleus)) return kValid;
    return t.incomplete_nuclei.contains(nucleus) ? kIncomplete : kInvalid;
  }

  const std::uint64_t coda = key_of(s.coda);
  const bool stop_refuses_tone = is_heavy(tone) && is_stop(coda, allow_k);
  const bool palatal_coda = coda == kCh || coda == kNh;
  if (is_final(coda, allow_k) && t.closed_nuclei.contains(nucleus) &&
      (!palatal_coda || t.palatal_nuclei.contains(nucleus))) {
    return stop_refuses_tone ? kInvalid : kValid;
  }
  const detail::KeySet* before = (allow_k ? t.coda_prefixes_k : t.coda_prefixes).find(coda);
  if (before == nullptr || !before->contains(nucleus)) return kInvalid;
  return stop_refuses_tone ? kInvalid : kIncomplete;
}

std::uint8_t check_final_uncached(std::string_view word, std::uint8_t tone, bool allow_k) {
  const std::uint8_t status = check_with_uncached(word, tone, allow_k);
  if (status != kValid) return status;
  if (!is_stop(key_of(detail::parse_view(word).coda), allow_k)) return kValid;
  return tone == 1 || tone == 5 ? kValid : kInvalid;
}

bool tone_allowed_uncached(std::string_view word, std::uint8_t tone, bool allow_k) {
  return !(is_heavy(tone) && is_stop(key_of(detail::parse_view(word).coda), allow_k));
}

std::uint32_t answers_uncached(std::string_view word) {
  const std::uint64_t coda = key_of(detail::parse_view(word).coda);
  std::uint32_t answers = 0;
  for (const bool allow_k : {false, true}) {
    const bool stop = is_stop(coda, allow_k);
    // check_with_uncached reads the tone only as heavy or not.
    const std::uint8_t light = check_with_uncached(word, 0, allow_k);
    const std::uint8_t heavy = check_with_uncached(word, 2, allow_k);
    // One tone of each class of WordFacts.
    for (const std::uint8_t tone : {0, 1, 2}) {
      const unsigned slot = WordFacts::slot(tone, allow_k);
      const std::uint8_t with = is_heavy(tone) ? heavy : light;
      // As check_final_uncached and tone_allowed_uncached.
      const std::uint8_t final = with != kValid || !stop || tone == 1 || tone == 5 ? with : kInvalid;
      const bool allowed = !(is_heavy(tone) && stop);
      answers |= static_cast<std::uint32_t>(with) << (2 * slot);
      answers |= static_cast<std::uint32_t>(final) << (12 + 2 * slot);
      answers |= static_cast<std::uint32_t>(allowed ? 1 : 0) << (24 + slot);
    }
  }
  return answers;
}

}  // namespace detail

// Words the tables hold are answered from them; any other word is judged letter by letter.
std::uint8_t check_with(std::string_view word, std::uint8_t tone, bool allow_k) {
  if (const WordFacts* facts = word_facts(word_key(word))) return facts->check_with(tone, allow_k);
  return detail::check_with_uncached(word, tone, allow_k);
}

std::uint8_t check(std::string_view word, std::uint8_t tone) { return check_with(word, tone, false); }

std::uint8_t check_final(std::string_view word, std::uint8_t tone, bool allow_k) {
  if (const WordFacts* facts = word_facts(word_key(word))) return facts->check_final(tone, allow_k);
  return detail::check_final_uncached(word, tone, allow_k);
}

bool tone_allowed_with(std::string_view word, std::uint8_t tone, bool allow_k) {
  if (const WordFacts* facts = word_facts(word_key(word))) return facts->tone_allowed_with(tone, allow_k);
  return detail::tone_allowed_uncached(word, tone, allow_k);
}

bool tone_allowed(std::string_view word, std::uint8_t tone) { return tone_allowed_with(word, tone, false); }

}  // namespace vi_syllable
