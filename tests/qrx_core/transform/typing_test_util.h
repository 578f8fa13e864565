// Shared helpers of the typing tests: keys written as UTF-8 text, option sets, and the word as a
// state shows it before any fall-back to the keys as typed.
#pragma once

#include <qrx_core/transform.h>
#include <unicode_text/unicode.h>

#include <string>
#include <string_view>

namespace typing_test {

using qrx_core::rules::InputMethodSpec;
using qrx_core::rules::SIMPLE_TELEX;
using qrx_core::rules::TELEX;
using qrx_core::rules::VIQR;
using qrx_core::rules::VNI;
using qrx_core::transform::transform;
using qrx_core::transform::TypingOptions;
using qrx_core::transform::TypingResult;
using qrx_core::transform::WordState;
using vi_syllable::kIncomplete;
using vi_syllable::kInvalid;
using vi_syllable::kValid;
using vi_syllable::Mark;
using vi_syllable::ToneStyle;

inline std::u32string keys_of(std::string_view text) { return unicode::decode_utf8(text); }

// Spelling check on, everything else off, new tone style.
inline TypingOptions defaults() { return TypingOptions{}; }

inline WordState typed(std::string_view keys, const InputMethodSpec& spec, const TypingOptions& options) {
  WordState state;
  for (char32_t k : keys_of(keys)) qrx_core::transform::step(state, k, spec, options);
  return state;
}

// The state rendered without the spelling check, so without the fall-back to the keys.
inline std::string shown(const WordState& state, const TypingOptions& options) {
  TypingOptions plain = options;
  plain.spell_check = false;
  return qrx_core::transform::result(state, U"", plain, false).text;
}

}  // namespace typing_test
