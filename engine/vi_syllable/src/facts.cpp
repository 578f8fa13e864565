// The answers of the checks and of tone_index for every word that onsets, nuclei and finals can
// spell, worked out once per process, so that a key costs one look-up instead of parsing the
// word again for each question.
#include "detail.h"

#include <vi_syllable/vi_syllable.h>

#include <memory>
#include <vector>

namespace vi_syllable {
namespace {

WordFacts facts_of(std::string_view word) {
  WordFacts facts;
  facts.answers = detail::answers_uncached(word);
  for (ToneStyle style : {ToneStyle::Old, ToneStyle::New}) {
    const std::optional<std::size_t> at = detail::tone_index_uncached(word, style);
    facts.tone_index[style == ToneStyle::Old ? 0 : 1] = at ? static_cast<std::int8_t>(*at) : std::int8_t{-1};
  }
  const detail::SyllableView parsed = detail::parse_view(word);
  facts.vowel_start = static_cast<std::uint8_t>(parsed.vowel_start);
  facts.cluster_end = static_cast<std::uint8_t>(parsed.cluster_end());
  return facts;
}

// Every onset (none, the listed ones, gi, qu and q) with every vowel group the tables know (and
// each without its first u, for qu + y) and every final or part of one (none included): a
// superset of the words the checks do not judge invalid. Only those are kept.
std::unique_ptr<const WordFactsTable> build() {
  const Tables& t = tables();
  StringSet onsets{"", "gi", "qu", "q"};
  onsets.insert(ONSETS.begin(), ONSETS.end());
  StringSet vowels{""};
  for (const StringSet* set : {&t.open_nuclei, &t.closed_nuclei, &t.incomplete_nuclei}) {
    vowels.insert(set->begin(), set->end());
  }
  for (const StringSetMap* map : {&t.coda_prefixes, &t.coda_prefixes_k}) {
    for (const auto& [coda, nuclei] : *map) vowels.insert(nuclei.begin(), nuclei.end());
  }
  for (const std::string& v : StringSet(vowels)) {
    if (v.starts_with('u')) vowels.insert(v.substr(1));
  }
  StringSet codas{""};
  codas.insert(CODAS_K.begin(), CODAS_K.end());
  for (const auto& [coda, nuclei] : t.coda_prefixes_k) codas.insert(coda);

  std::vector<std::pair<WordKey, WordFacts>> words;
  std::string word;
  // Without a tone, a word the final k does not make valid is invalid without it too.
  const auto invalid = [](std::string_view w) { return detail::check_with_uncached(w, 0, true) == kInvalid; };
  for (const std::string& onset : onsets) {
    for (const std::string& vowel : vowels) {
      // A word whose start is already invalid is rarely asked about: leaving it out only means
      // that it is answered the slow way.
      word.assign(onset).append(vowel);
      if (vowel.empty() || invalid(word)) continue;
      for (const std::string& coda : codas) {
        word.assign(onset).append(vowel).append(coda);
        if (invalid(word)) continue;
        const WordKey key = word_key(word);
        if (key != kNoWordKey) words.emplace_back(key, facts_of(word));
      }
    }
  }
  for (const std::string& prefix : t.onset_prefixes) {
    const WordKey key = word_key(prefix);
    if (key != kNoWordKey) words.emplace_back(key, facts_of(prefix));
  }
  auto table = std::make_unique<WordFactsTable>(words.size());
  for (const auto& [key, facts] : words) table->insert(key, facts);
  return table;
}

}  // namespace

std::optional<std::size_t> WordFacts::tone_index_of(ToneStyle style) const {
  const std::int8_t at = tone_index[style == ToneStyle::Old ? 0 : 1];
  if (at < 0) return std::nullopt;
  return static_cast<std::size_t>(at);
}

WordKey word_key(std::string_view word) {
  WordKey key = 0;
  std::size_t letters = 0;
  for (std::size_t pos = 0; pos < word.size(); ++letters) {
    key = add_letter(key, letters, detail::next_char(word, pos));
    if (key == kNoWordKey) return kNoWordKey;
  }
  return key;
}

WordFactsTable::WordFactsTable(std::size_t words) {
  while ((std::size_t{1} << bits_) < 2 * words) ++bits_;
  slots_.assign(std::size_t{1} << bits_, Entry{});
  mask_ = slots_.size() - 1;
}

void WordFactsTable::insert(WordKey key, const WordFacts& facts) {
  std::size_t i = slot_of(key);
  while (slots_[i].key != kNoWordKey && slots_[i].key != key) i = (i + 1) & mask_;
  slots_[i] = Entry{key, facts};
}

const WordFactsTable& word_facts_table() {
  static const std::unique_ptr<const WordFactsTable> table = build();
  return *table;
}

}  // namespace vi_syllable
