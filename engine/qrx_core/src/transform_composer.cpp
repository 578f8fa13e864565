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
  copy_live(states_.extend(), empty_state());
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
  // The rendering of the state before the key, when it is current, already knows its facts,
  // and a key that only adds its letter adds it to the rendering too.
  const bool rendered = rendering_state_ + 1 == states_.size();
  const WordState& previous = states_.back();
  WordState& next = states_.extend();
  copy_live(next, previous);
  detail::StepOutcome outcome;
  if (key < 0x80 && entries_ != nullptr && detail::plain_key(*entries_, *spec_, enabled_acts_, next.letters, key)) {
    detail::add_plain_key(next, key);
    outcome = detail::StepOutcome::Appended;
  } else {
    outcome = detail::step(next, key, *spec_, options_, entries_, detail::KnownFacts{rendered, rendering_.facts()});
  }
  if (!rendered || outcome == detail::StepOutcome::Changed) return;
  if (outcome == detail::StepOutcome::Appended) {
    rendering_.add_letter(next.letters, next.tone, options_.tone_style);
  } else {
    rendering_.set_tone(next.letters, next.tone, options_.tone_style);
  }
  rendering_state_ = states_.size() - 1;
}

void Composer::pop() {
  if (key_count_ == 0) return;
  if (key_count_ <= MAX_STEPPED_KEYS) states_.pop_back();
  if (!heap_keys_.empty()) heap_keys_.pop_back();
  --key_count_;
  joined_.clear();
  joined_count_ = 0;
  if (rendering_state_ >= states_.size()) rendering_state_ = kNoRendering;
}

void Composer::clear() {
  heap_keys_.clear();
  key_count_ = 0;
  states_.clear();
  copy_live(states_.extend(), empty_state());
  joined_.clear();
  joined_count_ = 0;
  rendering_.clear();
  rendering_state_ = 0;
}

std::string_view Composer::joined_keys() const {
  const std::u32string_view keys = raw();
  for (; joined_count_ < keys.size(); ++joined_count_) unicode::append_utf8(joined_, keys[joined_count_]);
  return joined_;
}

WordView Composer::view(bool finishing) const {
  const std::u32string_view keys = raw();
  if (keys.size() > MAX_STEPPED_KEYS) return {joined_keys(), false, false, vi_syllable::kInvalid};
  if (spec_->vni_digits && digit_rules_may_apply(keys)) {
    if (std::optional<std::string> text = vni_literal(keys, true, undo_pairs(states_.span(), keys))) {
      digit_text_ = std::move(*text);
      return {digit_text_, false, true, vi_syllable::kInvalid};
    }
  }
  const WordState& state = states_.back();
  if (rendering_state_ + 1 != states_.size()) {
    rendering_.update(state.letters, state.tone, options_.tone_style);
    rendering_state_ = states_.size() - 1;
  }
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
