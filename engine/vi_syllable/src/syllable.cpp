#include "detail.h"

#include <vi_syllable/vi_syllable.h>

#include <qrx_unicode/unicode.h>

#include <utility>

namespace vi_syllable {
namespace {

template <std::size_t N>
constexpr bool all_fit_a_key(const std::array<std::string_view, N>& list) {
  for (std::string_view s : list) {
    if (s.size() > detail::kMaxKeyBytes) return false;
  }
  return true;
}
// Relaxed forms and prefixes are never longer than their source, so the key sets hold every entry.
static_assert(all_fit_a_key(ONSETS) && all_fit_a_key(OPEN_NUCLEI) && all_fit_a_key(CLOSED_NUCLEI) &&
              all_fit_a_key(CODAS_K));

bool starts_with_pair(std::string_view word, char first, char second) {
  return word.size() >= 2 && word[0] == first && word[1] == second;
}

// The onset gi needs a vowel after it (gin is g + i + n); qu takes its u whatever follows.
std::size_t special_onset_bytes(std::string_view word) {
  if (starts_with_pair(word, 'g', 'i') && word.size() > 2) {
    std::size_t pos = 2;
    if (is_vowel(detail::next_char(word, pos))) return 2;
  }
  if (starts_with_pair(word, 'q', 'u')) return 2;
  return 0;
}

// Marked vowel letter -> the letter without its mark.
constexpr std::array<std::pair<char32_t, char32_t>, 6> BARE_LETTERS = {{
    {U'ă', U'a'},
    {U'â', U'a'},
    {U'ê', U'e'},
    {U'ô', U'o'},
    {U'ơ', U'o'},
    {U'ư', U'u'},
}};

char32_t bare_letter(char32_t c) {
  for (const auto& [marked, bare] : BARE_LETTERS) {
    if (marked == c) return bare;
  }
  return c;
}

void insert_all(StringSet& into, const StringSet& from) { into.insert(from.begin(), from.end()); }

template <std::size_t N>
StringSet as_set(const std::array<std::string_view, N>& list) {
  return StringSet(list.begin(), list.end());
}

void insert_prefixes(StringSet& into, std::string_view s) {
  for (std::string& p : prefixes(s)) into.insert(std::move(p));
}

Tables build_tables() {
  Tables t;
  for (std::string_view onset : ONSETS) insert_prefixes(t.onset_prefixes, onset);
  insert_prefixes(t.onset_prefixes, "gi");
  insert_prefixes(t.onset_prefixes, "qu");

  t.open_nuclei = as_set(OPEN_NUCLEI);
  t.closed_nuclei = as_set(CLOSED_NUCLEI);
  t.palatal_nuclei = as_set(PALATAL_NUCLEI);

  for (const StringSet* nuclei : {&t.open_nuclei, &t.closed_nuclei}) {
    for (const std::string& nucleus : *nuclei) {
      for (const std::string& p : prefixes(nucleus)) insert_all(t.incomplete_nuclei, relax(p));
    }
  }

  for (std::string_view coda : CODAS) {
    const bool palatal_only = coda == "ch" || coda == "nh";
    for (std::string_view nucleus : CLOSED_NUCLEI) {
      if (palatal_only && !t.palatal_nuclei.contains(nucleus)) continue;
      const StringSet relaxed = relax(nucleus);
      for (std::string& p : prefixes(coda)) insert_all(t.coda_prefixes[std::move(p)], relaxed);
    }
  }

  t.coda_prefixes_k = t.coda_prefixes;
  StringSet& before_k = t.coda_prefixes_k["k"];
  for (std::string_view nucleus : CLOSED_NUCLEI) insert_all(before_k, relax(nucleus));
  return t;
}

// The entries of ONSETS by their first byte, each list in the order of ONSETS (longest first), so
// that parsing compares a word only with the onsets that start as it does.
struct OnsetsByFirstByte {
  static constexpr std::size_t kMostPerByte = 4;  // n: ngh, ng, nh, n
  std::array<std::array<std::uint8_t, kMostPerByte>, 256> index{};
  std::array<std::uint8_t, 256> count{};
};

constexpr OnsetsByFirstByte make_onsets_by_first_byte() {
  OnsetsByFirstByte table;
  for (std::size_t i = 0; i < ONSETS.size(); ++i) {
    const auto first = static_cast<unsigned char>(ONSETS[i].front());
    table.index[first][table.count[first]++] = static_cast<std::uint8_t>(i);
  }
  return table;
}

constexpr OnsetsByFirstByte kOnsetsByFirstByte = make_onsets_by_first_byte();

constexpr bool fits_by_first_byte() {
  for (std::uint8_t n : kOnsetsByFirstByte.count) {
    if (n > OnsetsByFirstByte::kMostPerByte) return false;
  }
  return true;
}
static_assert(fits_by_first_byte());

}  // namespace

SyllableView parse_view(std::string_view word) {
  std::size_t onset_bytes = special_onset_bytes(word);
  if (onset_bytes == 0 && !word.empty()) {
    const auto first = static_cast<unsigned char>(word.front());
    for (std::size_t k = 0; k < kOnsetsByFirstByte.count[first]; ++k) {
      const std::string_view onset = ONSETS[kOnsetsByFirstByte.index[first][k]];
      if (word.starts_with(onset)) {
        onset_bytes = onset.size();
        break;
      }
    }
  }

  std::size_t vowel_end = onset_bytes;
  for (std::size_t pos = onset_bytes; pos < word.size();) {
    if (!is_vowel(detail::next_char(word, pos))) break;
    vowel_end = pos;
  }

  SyllableView s;
  s.onset = word.substr(0, onset_bytes);
  s.vowel = word.substr(onset_bytes, vowel_end - onset_bytes);
  s.coda = word.substr(vowel_end);
  // Every onset is ASCII but đ, which is one character of two bytes.
  s.vowel_start = s.onset == "đ" ? 1 : s.onset.size();
  return s;
}

std::size_t SyllableView::cluster_end() const { return vowel_start + qrx_unicode::char_count(vowel); }

namespace detail {

KeySet::KeySet(const StringSet& strings) {
  unsigned bits = 1;
  while ((std::size_t{1} << bits) < 2 * strings.size()) ++bits;
  slots_.assign(std::size_t{1} << bits, kNoKey);
  mask_ = slots_.size() - 1;
  shift_ = 64 - bits;
  for (const std::string& s : strings) {
    const std::uint64_t key = key_of(s);
    if (key == kNoKey) continue;  // too long to be asked for
    std::size_t i = slot_of(key);
    while (slots_[i] != kNoKey && slots_[i] != key) i = (i + 1) & mask_;
    slots_[i] = key;
  }
}

KeySetMap::KeySetMap(const StringSetMap& map) {
  for (const auto& [key, set] : map) entries_.emplace_back(key_of(key), KeySet(set));
}

const KeySet* KeySetMap::find(std::uint64_t key) const {
  for (const auto& [k, set] : entries_) {
    if (k == key) return &set;
  }
  return nullptr;
}

const KeyTables& key_tables() {
  static const KeyTables instance = [] {
    const Tables& t = tables();
    return KeyTables{KeySet(t.onset_prefixes),    KeySet(t.open_nuclei),       KeySet(t.closed_nuclei),
                     KeySet(t.palatal_nuclei),    KeySet(t.incomplete_nuclei), KeySetMap(t.coda_prefixes),
                     KeySetMap(t.coda_prefixes_k)};
  }();
  return instance;
}

}  // namespace detail

std::size_t Syllable::cluster_end() const { return vowel_start + qrx_unicode::char_count(vowel); }

Syllable parse(std::string_view word) {
  const SyllableView v = parse_view(word);
  return Syllable{std::string(v.onset), std::string(v.vowel), std::string(v.coda), v.vowel_start};
}

std::vector<std::string> prefixes(std::string_view s) {
  std::vector<std::string> out;
  for (std::size_t pos = 0; pos < s.size();) {
    detail::next_char(s, pos);
    out.emplace_back(s.substr(0, pos));
  }
  return out;
}

StringSet relax(std::string_view s) {
  StringSet forms{std::string()};
  for (std::size_t pos = 0; pos < s.size();) {
    const std::size_t start = pos;
    const char32_t c = detail::next_char(s, pos);
    const std::string_view letter = s.substr(start, pos - start);
    const char32_t bare = bare_letter(c);
    StringSet next;
    for (const std::string& form : forms) {
      next.insert(form + std::string(letter));
      if (bare != c) {
        std::string with_bare = form;
        qrx_unicode::append_utf8(with_bare, bare);
        next.insert(std::move(with_bare));
      }
    }
    forms = std::move(next);
  }
  return forms;
}

const Tables& tables() {
  static const Tables instance = build_tables();
  return instance;
}

}  // namespace vi_syllable
