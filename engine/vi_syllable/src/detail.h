// Library-internal helpers for the checks that run on every keystroke: parsing without copies
// and the lookup tables re-keyed as integers.
#pragma once

#include <vi_syllable/vi_syllable.h>

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vi_syllable::detail {

// Decodes the character at byte `pos` and advances past it. ASCII and the two-byte letters of
// Vietnamese (â ă đ ê ô ơ ư) are decoded here; anything else goes to the full decoder.
inline char32_t next_char(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  if (lead >= 0xC2 && lead <= 0xDF && pos + 1 < text.size()) {
    const auto trail = static_cast<unsigned char>(text[pos + 1]);
    if ((trail & 0xC0) == 0x80) {
      pos += 2;
      return (static_cast<char32_t>(lead & 0x1F) << 6) | (trail & 0x3F);
    }
  }
  return qrx_unicode::next_char(text, pos);
}

using vi_syllable::parse_view;
using vi_syllable::SyllableView;

// A text of at most kMaxKeyBytes bytes as one integer (bytes and length), so that membership tests
// compare integers instead of strings. Longer texts all get kNoKey, which no table holds.
inline constexpr std::size_t kMaxKeyBytes = 7;
inline constexpr std::uint64_t kNoKey = ~std::uint64_t{0};

constexpr std::uint64_t key_of(std::string_view s) {
  if (s.size() > kMaxKeyBytes) return kNoKey;
  std::uint64_t key = static_cast<std::uint64_t>(s.size()) << 56;
  for (std::size_t i = 0; i < s.size(); ++i) {
    key |= static_cast<std::uint64_t>(static_cast<unsigned char>(s[i])) << (8 * i);
  }
  return key;
}

// A hash set of keys with open addressing: a look-up is a multiplication and one or two
// comparisons, where a search of the sorted keys took a branch per halving.
class KeySet {
 public:
  KeySet() = default;
  explicit KeySet(const StringSet& strings);
  bool contains(std::uint64_t key) const {
    if (slots_.empty() || key == kNoKey) return false;
    for (std::size_t i = slot_of(key);; i = (i + 1) & mask_) {
      if (slots_[i] == key) return true;
      if (slots_[i] == kNoKey) return false;
    }
  }
  bool contains(std::string_view s) const { return contains(key_of(s)); }

 private:
  std::size_t slot_of(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift_);
  }

  std::vector<std::uint64_t> slots_;  // kNoKey marks a free slot; at least half are free
  std::size_t mask_ = 0;
  unsigned shift_ = 63;
};

class KeySetMap {
 public:
  KeySetMap() = default;
  explicit KeySetMap(const StringSetMap& map);
  // The set stored under the key, or null.
  const KeySet* find(std::uint64_t key) const;

 private:
  std::vector<std::pair<std::uint64_t, KeySet>> entries_;
};

// The containers of Tables as integer-keyed sets, built once from tables().
struct KeyTables {
  KeySet onset_prefixes;
  KeySet open_nuclei;
  KeySet closed_nuclei;
  KeySet palatal_nuclei;
  KeySet incomplete_nuclei;
  KeySetMap coda_prefixes;
  KeySetMap coda_prefixes_k;
};

const KeyTables& key_tables();

// The checks and tone_index worked out from the word itself, without the table of word_facts
// (which is built from them).
std::uint8_t check_with_uncached(std::string_view word, std::uint8_t tone, bool allow_k);
std::uint8_t check_final_uncached(std::string_view word, std::uint8_t tone, bool allow_k);
bool tone_allowed_uncached(std::string_view word, std::uint8_t tone, bool allow_k);
std::optional<std::size_t> tone_index_uncached(std::string_view word, ToneStyle style);
// WordFacts::answers of the word, worked out as the three functions above would.
std::uint32_t answers_uncached(std::string_view word);

}  // namespace vi_syllable::detail
