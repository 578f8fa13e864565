#include "transform_detail.h"

#include <unicode_text/unicode.h>

namespace qrx_core::transform {
namespace {

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

// The key changed the tone or the mark of a letter already in the word.
bool acted(const WordState& before, const WordState& after) {
  if (before.tone != after.tone) return true;
  const std::size_t n = std::min(before.letters.size(), after.letters.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (before.letters[i].mark != after.letters[i].mark ||
        before.letters[i].soft_horn != after.letters[i].soft_horn) {
      return true;
    }
  }
  return false;
}

// A key undoes at most once per word (it is plain from then on), so a new undo key marks the
// press that took something back.
bool took_back(const WordState& before, const WordState& after, char32_t key) {
  return after.undo_key == key && before.undo_key != key;
}

// states[j] is the state before key j.
UndoPairs undo_pairs(std::span<const WordState> states, std::u32string_view keys) {
  UndoPairs pairs = 0;
  for (std::size_t i = 0; i + 2 < states.size() && i + 1 < keys.size(); ++i) {
    const char32_t d = keys[i];
    if (is_ascii_digit(d) && keys[i + 1] == d && acted(states[i], states[i + 1]) &&
        took_back(states[i + 1], states[i + 2], d)) {
      pairs |= UndoPairs{1} << i;
    }
  }
  return pairs;
}

}  // namespace

Composer::Composer(const InputMethodSpec& spec, const TypingOptions& options)
    : spec_(&spec), options_(options) {
  states_.push_back(WordState{});
}

Composer Composer::with_raw(const InputMethodSpec& spec, const TypingOptions& options,
                            std::u32string_view keys) {
  Composer composer(spec, options);
  for (char32_t key : keys) composer.push(key);
  return composer;
}

std::u32string_view Composer::raw() const {
  if (!heap_keys_.empty()) return heap_keys_;
  return {inline_keys_.data(), key_count_};
}

void Composer::push(char32_t key) {
  const bool stepped = key_count_ < MAX_STEPPED_KEYS;
  if (heap_keys_.empty() && key_count_ < kInlineKeys) {
    inline_keys_[key_count_] = key;
  } else {
    if (heap_keys_.empty()) heap_keys_.assign(inline_keys_.data(), key_count_);
    heap_keys_.push_back(key);
  }
  ++key_count_;
  if (!stepped) return;
  states_.push_back(states_.back());
  step(states_.back(), key, *spec_, options_);
}

void Composer::pop() {
  if (key_count_ == 0) return;
  if (key_count_ <= MAX_STEPPED_KEYS) states_.pop_back();
  if (!heap_keys_.empty()) heap_keys_.pop_back();
  --key_count_;
}

TypingResult Composer::result(bool finishing) const {
  const std::u32string_view keys = raw();
  if (keys.size() > MAX_STEPPED_KEYS) return {unicode::encode_utf8(keys), {}, false, vi_syllable::kInvalid};
  if (spec_->vni_digits) {
    if (std::optional<std::string> text = vni_literal(keys, true, undo_pairs(states_.span(), keys))) {
      return {std::move(*text), {}, true, vi_syllable::kInvalid};
    }
  }
  return transform::result(states_.back(), keys, options_, finishing);
}

}  // namespace qrx_core::transform
