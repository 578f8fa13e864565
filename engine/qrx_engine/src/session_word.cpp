// Word-level operations of the session: letters (with automatic capitals and re-opening the
// previous word), word ends (sentence tracking, phrase and word macros), Backspace.
#include <qrx_engine/session.h>

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <span>

namespace qrx_engine::session {
namespace {

using qrx_core::transform::Composer;

// What the session remembers of committed text: enough for the longest phrase macro key.
constexpr std::size_t kTailChars = 256;
// How far back a letter at a word start looks for a word to re-open, and how long that word
// may be.
constexpr std::size_t kReopenLookback = 25;
constexpr std::size_t kReopenMaxChars = 12;
// A word longer than this many keys is shown as typed.
constexpr std::size_t kMaxComposedKeys = 24;

// After these characters a word is a path, an address or an identifier, not Vietnamese.
constexpr std::u32string_view kLiteralAfter = U"-./:@\\_";
// A character before a phrase macro's match that glues the match to a longer token.
constexpr std::u32string_view kGlueChars = U"_-./:@\\";
constexpr std::u32string_view kClosingChars = U"\"')]\u00BB\u2019\u201D\u203A";
constexpr std::u32string_view kSentenceEnds = U".!?\u2026";

bool is_upper_letter(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= 0xC0 && qrx_unicode::is_uppercase(c));
}
bool is_lower_letter(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= 0xAA && qrx_unicode::is_lowercase(c));
}
bool is_ascii_letter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }
bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool is_whitespace_separator(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == U' ' || (c >= 0x85 && qrx_unicode::is_white_space(c));
}

// A letter or digit that makes the text before a phrase macro's match part of the same token.
bool glues_to_match(char32_t c) {
  if (is_ascii_letter(c) || is_ascii_digit(c)) return true;
  if (c >= 0xAA && (qrx_unicode::is_alphabetic(c) || qrx_unicode::is_numeric(c))) return true;
  return kGlueChars.find(c) != std::u32string_view::npos;
}

// One character's UTF-8 form, held without a string.
class Utf8Char {
 public:
  std::string_view of(char32_t c) {
    if (c < 0x80) {
      bytes_[0] = static_cast<char>(c);
      return {bytes_.data(), 1};
    }
    const std::string utf8 = qrx_unicode::encode_utf8(c);
    std::copy(utf8.begin(), utf8.end(), bytes_.begin());
    return {bytes_.data(), utf8.size()};
  }

 private:
  std::array<char, 4> bytes_;
};

char32_t single_upper(char32_t c) {
  const std::u32string upper = qrx_unicode::to_upper(c);
  return upper.size() == 1 ? upper[0] : c;
}

// The same letter typed twice; ASCII letters compare without case.
bool same_key(char32_t a, char32_t b) {
  if (is_ascii_letter(a) && is_ascii_letter(b)) return (a | 0x20) == (b | 0x20);
  return a == b;
}

// The expansion with the case the user typed: all capitals for a word of two or more characters
// typed in capitals, a capital first letter for a capitalised word, else as stored.
std::string apply_macro_case(std::string_view typed, const std::string& expansion) {
  if (py_isupper(typed) && qrx_unicode::char_count(typed) >= 2) return qrx_unicode::to_upper(expansion);
  std::size_t pos = 0;
  if (typed.empty() || !is_upper_letter(qrx_unicode::next_char(typed, pos))) return expansion;
  std::size_t rest = 0;
  const char32_t first = qrx_unicode::next_char(expansion, rest);
  return qrx_unicode::encode_utf8(qrx_unicode::to_upper(first)) + expansion.substr(rest);
}

}  // namespace

bool py_isupper(std::string_view text) {
  bool seen_upper = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = qrx_unicode::next_char(text, pos);
    if (is_lower_letter(c)) return false;
    seen_upper = seen_upper || is_upper_letter(c);
  }
  return seen_upper;
}

// ---- Letters ------------------------------------------------------------------------------

bool ImeSession::prev_word_setting() const {
  return config_.edit_previous_word && profile_.edit_previous_word.value_or(true);
}

bool ImeSession::restore_setting() const {
  return profile_.restore_after_space.value_or(config_.restore_after_space);
}

bool ImeSession::reopen_previous_word() {
  if (!prev_word_setting() || !prev_word_allowed_) return false;
  const auto continues_word = [](char32_t c) {
    return is_ascii_letter(c) || (c >= 0xAA && qrx_unicode::is_alphabetic(c)) || qrx_unicode::combining_class(c) != 0;
  };
  // Most words start after a space or a sign: the character before the caret tells, before the
  // longer text is fetched. (It decodes as the last character of that text does: both start at
  // a byte that begins a character.)
  if (!ports_.surrounding_text->before_cursor_into(1, text_before_caret_)) return false;
  char32_t last = 0;
  for (std::size_t pos = 0; pos < text_before_caret_.size();) last = qrx_unicode::next_char(text_before_caret_, pos);
  if (text_before_caret_.empty() || !continues_word(last)) return false;
  if (!ports_.surrounding_text->before_cursor_into(kReopenLookback, text_before_caret_)) return false;
  const std::string_view before = text_before_caret_;
  // Back from the caret over the word's characters, without decoding the rest of the text.
  std::size_t start = before.size();
  bool well_formed = true;
  while (start > 0) {
    std::size_t lead = start - 1;
    while (lead > 0 && (static_cast<unsigned char>(before[lead]) & 0xC0) == 0x80) --lead;
    std::size_t end = lead;
    const char32_t c = qrx_unicode::next_char(before, end);
    if (end != start || c == qrx_unicode::kReplacementCharacter) {
      well_formed = false;
      break;
    }
    if (!continues_word(c)) break;
    start = lead;
  }
  std::string word;
  if (well_formed) {
    if (start == before.size()) return false;
    word.assign(before.substr(start));
  } else {
    // Ill-formed bytes read as U+FFFD, as everywhere else.
    const std::u32string chars = qrx_unicode::decode_utf8(before);
    std::size_t first = chars.size();
    while (first > 0 && continues_word(chars[first - 1])) --first;
    if (first == chars.size()) return false;
    word = qrx_unicode::encode_utf8(std::u32string_view(chars).substr(first));
  }
  if (out(word) != word) return false;
  std::string composed_word = qrx_unicode::nfc(word);
  if (qrx_unicode::char_count(composed_word) > kReopenMaxChars) return false;
  std::optional<std::u32string> keys = qrx_core::transform::rebuild(composed_word, im(), opt());
  if (!keys || keys->empty()) return false;
  raw_ = std::move(*keys);
  composer_follows_ = false;
  anchor_raw_len_ = raw_.size();
  anchor_ = composed_word;
  compose(composed_word);
  raw_kept_ = false;
  return true;
}

Action ImeSession::letter(char32_t ch) {
  bool capitalised = false;
  if (raw_.empty()) {
    if (capitalize_next_) {
      const char32_t upper = single_upper(ch);
      capitalised = upper != ch;
      ch = upper;
    }
    capitalize_next_ = false;
    sentence_end_ = false;
    if (!reopen_previous_word()) {
      // Every character of kLiteralAfter is ASCII, so the tail's last byte tells.
      raw_kept_ =
          !committed_tail_.empty() &&
          kLiteralAfter.find(static_cast<unsigned char>(committed_tail_.back())) != std::u32string_view::npos;
    }
  }
  raw_.push_back(ch);
  if (composer_follows_) composer_->push(ch);
  if (raw_.size() > kMaxComposedKeys) raw_kept_ = true;
  return show(compute(false), capitalised ? std::nullopt : std::optional<char32_t>(ch));
}

// ---- Word ends ----------------------------------------------------------------------------

Action ImeSession::separator(char32_t ch) {
  Action action = word_end(ch);
  if (kClosingChars.find(ch) != std::u32string_view::npos) return action;
  if (kSentenceEnds.find(ch) != std::u32string_view::npos) {
    sentence_end_ = true;
  } else if (is_whitespace_separator(ch)) {
    if (sentence_end_ || ch == U'\r' || ch == U'\n') capitalize_next_ = config_.auto_capitalize;
    sentence_end_ = false;
  } else {
    capitalize_next_ = false;
    sentence_end_ = false;
  }
  return action;
}

void ImeSession::append_to_tail(std::string_view text, std::string_view more) {
  committed_tail_ += text;
  committed_tail_ += more;
  // Everything appended is well-formed: its characters are the bytes that start one.
  for (const std::string_view part : {text, more}) {
    for (const char byte : part) committed_tail_chars_ += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  }
  // Only the last kTailChars characters are ever read (tail()): cutting off the rest waits until
  // there are twice as many, so that it happens once in many words rather than at every one.
  // (Everything appended is well-formed, so the characters counted are those cut.)
  if (committed_tail_chars_ <= 2 * kTailChars) return;
  std::size_t pos = 0;
  for (; committed_tail_chars_ > kTailChars; --committed_tail_chars_)
    qrx_unicode::next_char(committed_tail_, pos);
  committed_tail_.erase(0, pos);
}

std::string_view ImeSession::tail() const {
  std::size_t pos = 0;
  for (std::size_t n = committed_tail_chars_; n > kTailChars; --n) qrx_unicode::next_char(committed_tail_, pos);
  return std::string_view(committed_tail_).substr(pos);
}

void ImeSession::clear_tail() {
  committed_tail_.clear();
  committed_tail_chars_ = 0;
}

void ImeSession::forget_last_word() {
  if (!last_word_) return;
  spare_raw_ = std::move(last_word_->raw);
  last_word_.reset();
}

Action ImeSession::word_end(std::optional<char32_t> ch) {
  undo_record_.reset();
  if (raw_.empty()) {
    forget_last_word();
    if (ch) {
      Utf8Char separator;
      append_to_tail(separator.of(*ch));
    }
    return Action::pass();
  }
  std::string_view text = compute(true).text;
  const bool macros_apply =
      config_.macro_enabled && field_kind_ != kFieldRestricted && !raw_kept_ && !config_.macros.empty();
  if (macros_apply && output_mode_ == OutputMode::Replace) {
    if (std::optional<Action> action = phrase_macro(text, ch)) return std::move(*action);
  }
  std::optional<std::string> expansion;
  if (macros_apply) {
    const std::string typed = qrx_unicode::encode_utf8(raw_);
    expansion = macro_of(composed());
    if (!expansion) expansion = macro_of(typed);
    if (expansion) {
      const std::string separator_text = ch ? qrx_unicode::encode_utf8(*ch) : std::string();
      if (ch && config_.macro_undo)
        undo_record_.emplace(out(*expansion) + separator_text, typed + separator_text);
      text = *expansion;
    }
  }
  return finish(text, ch, true);
}

// A match that starts with everything the session remembers may still continue a token the
// application wrote before it (the field held "ab" when "xin chao" was typed): the host's text
// before the caret tells, when it ends with what the session committed and shows.
bool ImeSession::glued_before_tail() const {
  const std::string_view committed = tail();
  const std::size_t known = qrx_unicode::char_count(committed) + qrx_unicode::char_count(shown());
  std::string before;
  if (!ports_.surrounding_text->before_cursor_into(known + 1, before)) return false;
  for (const std::string_view ours : {std::string(committed) + shown(), std::string(committed)}) {
    if (before.size() <= ours.size() || !std::string_view(before).ends_with(ours)) continue;
    const std::u32string rest = qrx_unicode::decode_utf8(std::string_view(before).substr(0, before.size() - ours.size()));
    return !rest.empty() && glues_to_match(rest.back());
  }
  return false;
}

std::optional<Action> ImeSession::phrase_macro(std::string_view text, std::optional<char32_t> ch) {
  const std::size_t shown_chars = qrx_unicode::char_count(composed());
  // Only keys that reach back before the current word can match; the longest decides how much
  // of the committed text is worth looking at.
  std::size_t longest_key = 0;
  for (const auto& entry : config_.macros)
    longest_key = std::max(longest_key, qrx_unicode::char_count(entry.first));
  if (longest_key <= shown_chars) return std::nullopt;

  // Only the last `longest_key` characters of the committed text and the word can take part in
  // a match (lower-casing never shortens a character), plus the one before them that decides
  // whether the match starts a token.
  std::string combined_text(tail());
  combined_text += text;
  std::size_t window_start = combined_text.size();
  for (std::size_t n = 0; n <= longest_key && window_start > 0; ++n) {
    do {
      --window_start;
    } while (window_start > 0 && (static_cast<unsigned char>(combined_text[window_start]) & 0xC0) == 0x80);
  }
  const std::u32string combined = qrx_unicode::decode_utf8(std::string_view(combined_text).substr(window_start));
  const std::size_t first = combined.size() > longest_key ? combined.size() - longest_key : 0;
  // Lower-case character by character so that every position of the lowered text maps back to
  // the character of the original it came from.
  std::u32string lower;
  std::vector<std::size_t> origin;  // lower index -> combined index
  lower.reserve(combined.size() - first);
  origin.reserve(combined.size() - first);
  for (std::size_t i = first; i < combined.size(); ++i) {
    for (char32_t c : qrx_unicode::to_lower(combined[i])) {
      lower.push_back(c);
      origin.push_back(i);
    }
  }
  std::u32string best_key;
  std::size_t best_start = 0;  // in combined
  for (const auto& [key_text, expansion] : config_.macros) {
    // A key with capitals can never equal lowered text; considering it lowered would let two
    // keys compete for one match and the winner depend on hash order.
    if (key_text.empty() || qrx_unicode::to_lower(key_text) != key_text) continue;
    const std::u32string key = qrx_unicode::decode_utf8(key_text);
    if (key.size() <= shown_chars || key.size() <= best_key.size() || key.size() > lower.size()) continue;
    const std::size_t lower_start = lower.size() - key.size();
    if (std::u32string_view(lower).substr(lower_start) != key) continue;
    if (lower_start > 0 && origin[lower_start - 1] == origin[lower_start]) continue;  // splits a character
    const std::size_t start = origin[lower_start];
    if (start > 0 ? glues_to_match(combined[start - 1]) : window_start == 0 && glued_before_tail()) continue;
    best_key = key;
    best_start = start;
  }
  if (best_key.empty()) return std::nullopt;

  const std::string matched = qrx_unicode::encode_utf8(std::u32string_view(combined).substr(best_start));
  const std::optional<std::string> found = macro_text(matched, qrx_unicode::encode_utf8(best_key));
  if (!found) return std::nullopt;
  std::string expansion = out(*found);

  // The document holds the committed part of the match and the word as shown, in the output
  // form; that is what the host must delete.
  const std::size_t word_chars = qrx_unicode::char_count(text);
  const std::size_t matched_chars = combined.size() - best_start;
  const std::size_t committed_chars = matched_chars - std::min(word_chars, matched_chars);
  replaced_text_ = qrx_unicode::encode_utf8(std::u32string_view(combined).substr(best_start, committed_chars));
  replaced_text_ += shown();
  const std::size_t delete_count = committed_chars + qrx_unicode::char_count(shown());

  const std::string separator_text = ch ? qrx_unicode::encode_utf8(*ch) : std::string();
  if (ch) {
    undo_record_.emplace(expansion + separator_text, matched + separator_text);
  } else {
    undo_record_.reset();
  }
  forget_last_word();
  clear_tail();
  append_to_tail(std::string_view(combined_text).substr(0, window_start));
  append_to_tail(qrx_unicode::encode_utf8(std::u32string_view(combined).substr(0, best_start)));
  append_to_tail(expansion + separator_text);
  reset();
  return Action::replace(std::move(expansion), delete_count, ch.has_value());
}

Action ImeSession::finish(std::string_view text, std::optional<char32_t> ch, bool pass_key) {
  // The shown word is the composed one in the output form: no need to normalize it again. Both
  // stay readable after reset(), which composes into the other word.
  const std::string& shown_text = shown();
  const bool composed_as_shown = text == composed();
  std::string normalized;
  if (!composed_as_shown) normalized = out(text);
  const std::string& final_text = composed_as_shown ? shown_text : normalized;
  Utf8Char separator;
  const std::string_view separator_text = ch ? separator.of(*ch) : std::string_view();
  if (ch && composed_as_shown) {
    // Into the storage of the word remembered before, so that ending a word allocates nothing.
    if (!last_word_) last_word_.emplace(LastWord{std::move(spare_raw_), {}, 0, false});
    // The keys are traded rather than copied: reset() empties raw_ below.
    last_word_->raw.swap(raw_);
    last_word_->text.assign(composed());
    last_word_->separator = *ch;
    last_word_->raw_kept = raw_kept_;
  } else {
    forget_last_word();
  }
  if (ch) append_to_tail(final_text, separator_text);
  const bool had_anchor = anchor_.has_value();
  reset();
  if (output_mode_ == OutputMode::Replace) {
    if (final_text == shown_text) return Action::pass();
    // Shown and normalized texts are well-formed (see shown() and out()).
    auto [insert, deleted] = qrx_core::transform::diff_well_formed(shown_text, final_text);
    replaced_text_.assign(shown_text);
    return Action::replace(std::move(insert), deleted, pass_key);
  }
  if (!had_anchor) {
    if (ch) return Action::commit(final_text + std::string(separator_text), false);
    return Action::commit(final_text, pass_key);
  }
  auto [insert, deleted] =
      qrx_core::transform::diff_well_formed(shown_text, final_text + std::string(separator_text));
  replaced_text_.assign(shown_text);
  return Action::replace(std::move(insert), deleted, ch ? false : pass_key);
}

// ---- Macros -------------------------------------------------------------------------------

std::optional<std::string> ImeSession::macro_text(std::string_view typed, std::string_view key) const {
  if (config_.macros.empty()) return std::nullopt;
  const auto found = config_.macros.find(qrx_unicode::to_lower(key));
  if (found == config_.macros.end() || found->second.empty()) return std::nullopt;
  return apply_macro_case(typed, found->second);
}

std::optional<std::string> ImeSession::macro_of(std::string_view word) const {
  return macro_text(word, word);
}

// ---- Backspace ----------------------------------------------------------------------------

Action ImeSession::backspace() {
  if (raw_.empty()) {
    clear_tail();
    off_buffer_.clear();
    off_buffer_overflowed_ = false;
    if (config_.macro_undo && output_mode_ == OutputMode::Replace) {
      std::optional<std::pair<std::string, std::string>> record = std::move(undo_record_);
      undo_record_.reset();
      if (record) {
        const auto& [shown, typed] = *record;
        const std::size_t n = qrx_unicode::char_count(shown);
        const std::optional<std::string> before = ports_.surrounding_text->before_cursor(n);
        if (before && out(*before) == shown) {
          replaced_text_ = shown;
          return Action::replace(typed, n, false);
        }
      }
    }
    std::optional<LastWord> word = std::move(last_word_);
    last_word_.reset();
    if (word && restore_setting()) {
      // When the host told us what stands before the caret, restore only the word that is really
      // there: after an unreported caret move the word would be edited over unrelated text.
      const std::string expected = out(word->text) + qrx_unicode::encode_utf8(word->separator);
      const std::optional<std::string> before =
          ports_.surrounding_text->before_cursor(qrx_unicode::char_count(expected));
      if (!before || *before == expected) {
        raw_ = std::move(word->raw);
        composer_follows_ = false;
        compose(word->text);
        raw_kept_ = word->raw_kept;
        if (output_mode_ == OutputMode::Preedit) {
          anchor_ = composed();
          anchor_raw_len_ = raw_.size();
        } else {
          anchor_.reset();
        }
      }
    }
    return Action::pass();
  }

  std::u32string shorter_chars = qrx_unicode::decode_utf8(composed());
  if (!shorter_chars.empty()) shorter_chars.pop_back();
  if (shorter_chars.empty()) {
    Action action = show({}, std::nullopt);
    reset();
    return action;
  }
  const std::string shorter = qrx_unicode::encode_utf8(shorter_chars);
  const bool had_anchor = anchor_.has_value();
  const std::size_t n = raw_.size();

  // Backspace after a press that took a tone or mark back undoes that undo: the shorter keys
  // are rendered again.
  if (n >= 2 && same_key(raw_[n - 1], raw_[n - 2]) && (raw_kept_ || current_composer().last_key_took_back())) {
    raw_.pop_back();
    composer_follows_ = false;
    const auto result = Composer::with_raw(im(), opt(), raw_).result(false);
    anchor_.reset();
    raw_kept_ = result.literal;
    second_text_ = false;
    return show_after_backspace(had_anchor);
  }

  if (raw_kept_ && !second_text_) {
    bool back_to_composing = false;
    if (qrx_unicode::encode_utf8(raw_) == composed() &&
        !ports_.dictionary->is_english(qrx_unicode::to_lower(composed()))) {
      const std::u32string_view fewer = std::u32string_view(raw_).substr(0, n - 1);
      const auto result = Composer::with_raw(im(), opt(), fewer).result(false);
      if (!result.literal && result.status != vi_syllable::kInvalid && result.text != shorter) {
        raw_.pop_back();
        composer_follows_ = false;
        raw_kept_ = false;
        second_text_ = false;
        back_to_composing = true;
      }
    }
    if (!back_to_composing) {
      raw_ = std::move(shorter_chars);
      raw_kept_ = true;
    }
  } else if (std::optional<std::u32string> keys = qrx_core::transform::rebuild(shorter, im(), opt())) {
    raw_ = std::move(*keys);
    raw_kept_ = false;
    second_text_ = false;
  } else {
    raw_ = std::move(shorter_chars);
    raw_kept_ = true;
  }
  composer_follows_ = false;
  anchor_.reset();
  return show_after_backspace(had_anchor);
}

Action ImeSession::show_after_backspace(bool had_anchor) {
  const std::string text(compute(false).text);
  if (had_anchor) {
    anchor_ = text;
    anchor_raw_len_ = raw_.size();
  }
  return show({text}, std::nullopt);
}

}  // namespace qrx_engine::session
