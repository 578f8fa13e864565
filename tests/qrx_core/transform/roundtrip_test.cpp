// Every valid syllable the spelling lists can form, with every tone it may carry, typed back
// from the keys the reverse mapping gives, in every method and both tone styles.
#include "typing_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace typing_test;
using qrx_core::transform::rebuild;
using qrx_core::transform::to_raw;
using qrx_core::transform::transform_str;

// The open nucleus uơ keeps a bare u only after these onsets (thuở, huơ); after any other the
// typed pair shows ươ, so such spellings have no keys of their own.
bool bare_u_possible(std::string_view onset, std::string_view nucleus) {
  if (nucleus != "uơ") return true;
  for (std::string_view o : {"", "c", "h", "k", "kh", "qu", "th"}) {
    if (o == onset) return true;
  }
  return false;
}

std::vector<std::string> valid_words(ToneStyle style) {
  std::vector<std::string> onsets = {"", "gi", "qu"};
  for (std::string_view o : vi_syllable::ONSETS) onsets.emplace_back(o);
  std::vector<std::pair<std::string, std::string>> rhymes;
  for (std::string_view n : vi_syllable::OPEN_NUCLEI) rhymes.emplace_back(n, "");
  for (std::string_view n : vi_syllable::CLOSED_NUCLEI) {
    for (std::string_view c : vi_syllable::CODAS) rhymes.emplace_back(n, c);
  }
  std::vector<std::string> words;
  for (const std::string& onset : onsets) {
    for (const auto& [nucleus, coda] : rhymes) {
      if (!bare_u_possible(onset, nucleus)) continue;
      const std::string word = onset + nucleus + coda;
      for (std::uint8_t tone = 0; tone <= 5; ++tone) {
        if (vi_syllable::check_final(word, tone, false) != vi_syllable::kValid) continue;
        const std::string toned = vi_syllable::place_tone(word, tone, style);
        words.push_back(toned);
        words.push_back(unicode::to_upper(toned));
        std::u32string capital = unicode::decode_utf8(toned);
        capital[0] = unicode::simple_upper(capital[0]);
        words.push_back(unicode::encode_utf8(capital));
      }
    }
  }
  return words;
}

TEST(RoundTrip, EveryValidSyllableTypesBack) {
  for (ToneStyle style : {ToneStyle::Old, ToneStyle::New}) {
    TypingOptions options;
    options.tone_style = style;
    const std::vector<std::string> words = valid_words(style);
    ASSERT_GT(words.size(), 10000u);
    for (const InputMethodSpec* spec : {&TELEX, &SIMPLE_TELEX, &VNI, &VIQR}) {
      int failures = 0;
      for (const std::string& word : words) {
        const std::optional<std::string> keys = to_raw(word, *spec);
        if (!keys) {
          ADD_FAILURE() << spec->name << ": no keys for " << word;
          if (++failures > 20) break;
          continue;
        }
        for (bool finishing : {false, true}) {
          const auto r = transform_str(*keys, *spec, options, finishing);
          if (r.text != word || r.literal) {
            ADD_FAILURE() << spec->name << " style " << static_cast<int>(style) << ": " << word << " <- "
                          << *keys << " gives " << r.text;
            ++failures;
          }
        }
        if (rebuild(word, *spec, options) != keys_of(*keys)) {
          ADD_FAILURE() << spec->name << ": rebuild of " << word;
          ++failures;
        }
        if (failures > 20) break;
      }
    }
  }
}

}  // namespace
