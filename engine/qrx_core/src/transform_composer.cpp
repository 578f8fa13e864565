#include "transform_detail.h"

#include <qrx_unicode/unicode.h>

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

// Whether vni_literal can give the keys a text: they hold the same digit twice in a row (an undo
// pair needs that), or end in two or more tone digits.
bool digit_rules_may_apply(std::u32string_view keys) {
  for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
    if (is_ascii_digit(keys[i]) && keys[i + 1] == keys[i]) return true;
  }
  std::size_t tone_digits = 0;
  for (std::size_t i = keys.size(); i-- > 0 && is_ascii_digit(keys[i]);) {
    if (keys[i] <= U'5') ++tone_digits;
  }
  return tone_digits >= 2;
}

const WordState& empty_state() {
  static const WordState empty{};
  return empty;
}

}  // namespace

Composer::Composer(const InputMethodSpec& spec, const TypingOptions& options)
    : spec_(&spec),
      entries_(detail::key_entries(spec)),
      options_(options),
      enabled_acts_(detail::KeyEntries::enabled(options)) {
  clear();
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
  const std::size_t index = key_count_;
  if (heap_keys_.empty() && key_count_ < kInlineKeys) {
    inline_keys_[key_count_] = key;
  } else {
    if (heap_keys_.empty()) heap_keys_.assign(inline_keys_.data(), key_count_);
    heap_keys_.push_back(key);
  }
  ++key_count_;
  if (index >= MAX_STEPPED_KEYS) return;
  KeyRecord& record = records_[index];
  // The rendering of the state before the key, when it is current, already knows its facts,
  // and a key that only adds its letter adds it to the rendering too.
  const bool rendered = rendering_current_;
  detail::StepOutcome outcome;
  if (key < 0x80 && entries_ != nullptr && detail::plain_key(*entries_, *spec_, enabled_acts_, state_.letters, key)) {
    detail::add_plain_key(state_, key);
    outcome = detail::StepOutcome::Appended;
    record.acted = false;
  } else if (spec_->vni_digits && is_ascii_digit(key)) {
    // Only a digit's record says whether it acted: the digit rules ask about digits alone.
    const WordState before = state_;
    outcome = detail::step(state_, key, *spec_, options_, entries_, detail::KnownFacts{rendered, rendering_.facts()});
    record.acted = acted(before, state_);
  } else {
    outcome = detail::step(state_, key, *spec_, options_, entries_, detail::KnownFacts{rendered, rendering_.facts()});
    record.acted = false;
  }
  record.undo_key = state_.undo_key;
  if (!rendered || outcome == detail::StepOutcome::Changed) {
    rendering_current_ = false;
  } else if (outcome == detail::StepOutcome::Appended) {
    rendering_.add_letter(state_.letters, state_.tone, options_.tone_style);
  } else {
    rendering_.set_tone(state_.letters, state_.tone, options_.tone_style);
  }
}

void Composer::pop() {
  if (key_count_ == 0) return;
  const bool stepped = key_count_ <= MAX_STEPPED_KEYS;
  if (!heap_keys_.empty()) heap_keys_.pop_back();
  --key_count_;
  joined_.clear();
  joined_count_ = 0;
  if (!stepped) return;
  // The state before the last key is that of the keys before it.
  const std::u32string kept(raw());
  clear();
  for (char32_t key : kept) push(key);
}

void Composer::clear() {
  heap_keys_.clear();
  key_count_ = 0;
  copy_live(state_, empty_state());
  joined_.clear();
  joined_count_ = 0;
  rendering_.clear();
  rendering_current_ = true;
}

std::span<const WordState> Composer::states() const {
  replayed_.assign(1, empty_state());
  const std::u32string_view keys = raw();
  for (std::size_t i = 0; i < std::min(keys.size(), MAX_STEPPED_KEYS); ++i) {
    replayed_.push_back(replayed_.back());
    step(replayed_.back(), keys[i], *spec_, options_);
  }
  return replayed_;
}

bool Composer::last_key_took_back() const {
  const std::size_t n = key_count_;
  if (n == 0 || n > MAX_STEPPED_KEYS) return false;  // keys beyond the stepped ones
  const std::optional<char32_t>& undo = records_[n - 1].undo_key;
  return undo && (n == 1 ? std::optional<char32_t>() : records_[n - 2].undo_key) != undo;
}

std::string_view Composer::joined_keys() const {
  const std::u32string_view keys = raw();
  for (; joined_count_ < keys.size(); ++joined_count_) qrx_unicode::append_utf8(joined_, keys[joined_count_]);
  return joined_;
}

WordView Composer::view(bool finishing) const {
  const std::u32string_view keys = raw();
  if (keys.size() > MAX_STEPPED_KEYS) return {joined_keys(), false, false, vi_syllable::kInvalid};
  if (spec_->vni_digits && digit_rules_may_apply(keys)) {
    // Bit i: keys i and i+1 are the same digit, key i acted, and key i+1 took that back.
    UndoPairs pairs = 0;
    for (std::size_t i = 0; i + 1 < keys.size() && i < 32; ++i) {
      const char32_t d = keys[i];
      if (is_ascii_digit(d) && keys[i + 1] == d && records_[i].acted && records_[i + 1].undo_key == d &&
          records_[i].undo_key != d) {
        pairs |= UndoPairs{1} << i;
      }
    }
    if (std::optional<std::string> text = vni_literal(keys, true, pairs)) {
      digit_text_ = std::move(*text);
      return {digit_text_, false, true, vi_syllable::kInvalid};
    }
  }
  if (!rendering_current_) {
    rendering_.update(state_.letters, state_.tone, options_.tone_style);
    rendering_current_ = true;
  }
  const WordState& state = state_;
  // The commonest answers, without judging: a word no key has transformed shows its rendering
  // whatever its status, and so does one still being typed that is not invalid (unless a
  // repeated press took something back).
  if (const vi_syllable::WordFacts* facts = rendering_.facts()) {
    const std::uint8_t status = finishing ? facts->check_final(state.tone, options_.allow_coda_k)
                                          : facts->check_with(state.tone, options_.allow_coda_k);
    if (!options_.spell_check || !state.transformed ||
        (!finishing && status != vi_syllable::kInvalid && !state.undone)) {
      return {rendering_.text(), false, false, status, rendering_.nfc_stable()};
    }
  }
  const detail::Judgement j = detail::judge(rendering_, state, keys, options_, finishing);
  if (j.show_keys) return {joined_keys(), j.second_text, j.literal, j.status};
  return {rendering_.text(), j.second_text, j.literal, j.status, rendering_.nfc_stable()};
}

TypingResult Composer::result(bool finishing) const {
  const WordView v = view(finishing);
  TypingResult out;
  out.text.assign(v.text);
  if (v.second_text) out.second_text = out.text;
  out.literal = v.literal;
  out.status = v.status;
  return out;
}

}  // namespace qrx_core::transform
