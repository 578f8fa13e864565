// Session core: key dispatch, rendering and the mutators that end a word.
#include <qrx_engine/session.h>

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>

namespace qrx_engine::session {
namespace {

using qrx_core::transform::Composer;

struct NamedKey {
  std::string_view name;
  Key::Kind kind;
};

constexpr std::array<NamedKey, 22> kNamedKeys = {{
    {"Backspace", Key::Kind::Backspace},
    {"Enter", Key::Kind::Enter},
    {"Escape", Key::Kind::Escape},
    {"Tab", Key::Kind::Tab},
    {"Left", Key::Kind::Left},
    {"Right", Key::Kind::Right},
    {"Up", Key::Kind::Up},
    {"Down", Key::Kind::Down},
    {"Home", Key::Kind::Home},
    {"End", Key::Kind::End},
    {"Delete", Key::Kind::Delete},
    {"PageUp", Key::Kind::PageUp},
    {"PageDown", Key::Kind::PageDown},
    {"Shift", Key::Kind::Modifier},
    {"Control", Key::Kind::Modifier},
    {"Alt", Key::Kind::Modifier},
    {"Option", Key::Kind::Modifier},
    {"Meta", Key::Kind::Modifier},
    {"Super", Key::Kind::Modifier},
    {"Command", Key::Kind::Modifier},
    {"CapsLock", Key::Kind::Modifier},
    {"Fn", Key::Kind::Modifier},
}};

// The two-key starts that smart caps still composes: ÂA, ĂW, Đ, Ê, Ô, Ơ, Ư typed in capitals.
constexpr std::array<std::u32string_view, 7> kSmartCapsComposedPairs = {U"AA", U"AW", U"DD", U"EE",
                                                                        U"OO", U"OW", U"UW"};

bool is_text_of_beyond_ascii(std::string_view text, char32_t c) { return text == qrx_unicode::encode_utf8(c); }

// Whether `text` is the UTF-8 form of `c`, without building that form for ASCII.
inline bool is_text_of(std::string_view text, char32_t c) {
  if (c < 0x80) return text.size() == 1 && text[0] == static_cast<char>(c);
  return is_text_of_beyond_ascii(text, c);
}

bool is_ascii_alnum(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

bool stable_nfc_well_formed(std::string_view text);

}  // namespace

Key Key::parse(std::string_view name) {
  if (name.empty()) return named(Kind::Other);
  std::size_t pos = 0;
  const char32_t first = qrx_unicode::next_char(name, pos);
  if (pos == name.size()) return character(first);
  for (const NamedKey& k : kNamedKeys) {
    if (k.name == name) return named(k.kind);
  }
  return named(Kind::Other);
}

ImeSession::ImeSession(Ports ports, OutputMode mode) : ports_(std::move(ports)), output_mode_(mode) {
  // The spelling table takes about 10 ms to build, once per process: here, when a field gets its
  // session, rather than in the middle of the first word typed.
  vi_syllable::word_facts_table();
  config_ = ports_.config_store->load();
  im_ = nullptr;
  const std::optional<std::string> app = ports_.app_context->current_app();
  focus_changed(app ? std::optional<std::string_view>(*app) : std::nullopt);
}

// ---- Queries ----------------------------------------------------------------------------

std::string ImeSession::display() const { return shown(); }

namespace {

// Well-formed UTF-8 whose every character NFC leaves as it is whatever stands beside it: as
// qrx_unicode::is_stable_nfc, reading bytes (below U+0300, or E1 B8..BB: U+1E00 to U+1EFF).
bool stable_nfc_well_formed(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    if (p[i] < 0xCC) {
      ++i;
    } else if (p[i] == 0xE1 && i + 1 < n && p[i + 1] >= 0xB8 && p[i + 1] <= 0xBB) {
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

// Always well-formed UTF-8: the composed word always is (see compose()), and normalizing
// repairs anything.
// The shown word is asked for several times per key; it is normalised once per change.
const std::string& ImeSession::shown_anew() const {
  ComposedWord& word = words_[current_];
  word.out_is_composed = config_.unicode_form == ports::UnicodeForm::NFC && stable_nfc_well_formed(word.composed);
  if (!word.out_is_composed) word.out = out(word.composed);
  word.out_current = true;
  return word.out_is_composed ? word.composed : word.out;
}

std::string ImeSession::raw_string() const { return qrx_unicode::encode_utf8(raw_); }

bool ImeSession::is_other_word_char(char32_t ch) const {
  const char32_t lower = qrx_core::rules::lower_key(ch);
  if (lower >= U'a' && lower <= U'z') return true;
  const auto& method = im();
  if (!raw_.empty() && method.extra_word_key(ch)) return true;
  if (config_.bracket_keys && method.insert_for(ch)) return true;
  const bool digit = ch >= U'0' && ch <= U'9';
  if (config_.macro_enabled && config_.macro_digits && !raw_.empty() && !method.vni_digits && digit)
    return true;
  return !raw_.empty() && digit && method.vni_digits;
}

const qrx_core::rules::InputMethodSpec& ImeSession::im() const {
  if (im_ == nullptr) im_ = &method_named();
  return *im_;
}

const qrx_core::rules::InputMethodSpec& ImeSession::method_named() const {
  const std::string& name = profile_.input_method ? *profile_.input_method : config_.input_method;
  if (name == "vni") return qrx_core::rules::VNI;
  if (name == "viqr") return qrx_core::rules::VIQR;
  if (name == "simple_telex") return qrx_core::rules::SIMPLE_TELEX;
  return qrx_core::rules::TELEX;
}

qrx_core::transform::TypingOptions ImeSession::opt() const {
  qrx_core::transform::TypingOptions options = config_;
  options.tone_style = profile_.tone_style.value_or(options.tone_style);
  options.spell_check = profile_.spell_check.value_or(options.spell_check);
  if (field_kind_ == kFieldRestricted) options.w_as_u = options.bracket_keys = options.quick_telex = false;
  return options;
}

// Well-formed UTF-8 whatever the text: normalizing repairs ill-formed bytes.
std::string ImeSession::out(std::string_view text) const {
  return config_.unicode_form == ports::UnicodeForm::NFD ? qrx_unicode::nfd(text) : qrx_unicode::nfc(text);
}

// ---- Key dispatch ---------------------------------------------------------------------------

Action ImeSession::process_key(const KeyEvent& event) {
  replaced_text_.clear();
  if (is_pass_through_field(field_kind_)) return Action::pass();
  if (!enabled_) return process_off_mode(event);

  const Key& key = event.key;
  if (key.kind == Key::Kind::Modifier) return Action::pass();
  if (key.kind != Key::Kind::Backspace) undo_record_.reset();

  if (!event.has_modifier() && !key.is_navigation()) {
    switch (key.kind) {
      case Key::Kind::Char:
        return is_word_char(key.ch) ? letter(key.ch) : separator(key.ch);
      case Key::Kind::Backspace:
        return backspace();
      case Key::Kind::Enter: {
        Action action = word_end(std::nullopt);
        // The key reaches the application as a line break; the committed text must show it, or a
        // word on the new line reads as glued to what ended the line before (a full stop, a slash).
        append_to_tail("\n");
        capitalize_next_ = config_.auto_capitalize;
        sentence_end_ = false;
        return action;
      }
      case Key::Kind::Escape:
        return escape();
      default:
        return boundary_passthrough();
    }
  }

  // The caret leaves the word (or a shortcut acts on the document): whatever came before the
  // caret is no longer known, so nothing typed earlier may feed a macro any more.
  capitalize_next_ = false;
  forget_last_word();
  clear_tail();
  off_buffer_.clear();
  off_buffer_overflowed_ = false;
  const std::string text = shown();
  const bool had_anchor = anchor_.has_value();
  reset();
  if (output_mode_ == OutputMode::Preedit && !had_anchor && !text.empty()) return Action::commit(text, true);
  return Action::pass();
}

Action ImeSession::process_off_mode(const KeyEvent& event) {
  const Key& key = event.key;
  const auto clear_buffer = [this] {
    off_buffer_.clear();
    off_buffer_overflowed_ = false;
  };
  if (key.is_navigation() || key.kind == Key::Kind::Modifier || event.has_modifier()) {
    clear_buffer();
    clear_tail();
    undo_record_.reset();
    return Action::pass();
  }
  const bool eligible = config_.macro_in_off_mode && config_.macro_enabled && field_kind_ != kFieldRestricted;
  const bool is_char = key.kind == Key::Kind::Char;
  if (eligible && is_char && (is_ascii_alnum(key.ch) || (key.ch >= 0xAA && qrx_unicode::is_alphabetic(key.ch)))) {
    // A word longer than the buffer is no macro key: remember that its head was cut off.
    if (off_buffer_.size() >= 24) {
      off_buffer_overflowed_ = true;
    } else {
      off_buffer_.push_back(key.ch);
    }
    return Action::pass();
  }
  // Only a separator or Enter ends the buffered word; anything else (Backspace, Escape, ...)
  // changes the text in ways the buffer cannot follow.
  const bool ends_word = is_char || key.kind == Key::Kind::Enter;
  if (!eligible || off_buffer_.empty() || !ends_word || off_buffer_overflowed_) {
    clear_buffer();
    return Action::pass();
  }
  const std::string word = qrx_unicode::encode_utf8(off_buffer_);
  const std::size_t word_chars = off_buffer_.size();
  clear_buffer();
  const std::optional<std::string> expansion = macro_text(word, word);
  if (!expansion || output_mode_ != OutputMode::Replace) return Action::pass();
  std::string text = out(*expansion);
  append_to_tail(is_char ? text + qrx_unicode::encode_utf8(key.ch) : text);
  replaced_text_ = word;  // the keys went through as typed
  return Action::replace(std::move(text), word_chars, true);
}

// ---- Rendering ----------------------------------------------------------------------------

void ImeSession::replay_composer() {
  // Built in place, and kept for the next words: a Composer holds a state per key and is costly
  // to move or make.
  if (composer_) {
    composer_->clear();
  } else {
    composer_.emplace(im(), opt());
  }
  for (char32_t key : raw_) composer_->push(key);
  composer_follows_ = true;
}

void ImeSession::forget_composer() {
  composer_.reset();
  composer_follows_ = false;
}

ImeSession::Rendered ImeSession::compute(bool final) {
  const auto anchored_keys = [this]() -> Rendered {
    scratch_.assign(*anchor_);
    for (std::size_t i = std::min(anchor_raw_len_, raw_.size()); i < raw_.size(); ++i)
      qrx_unicode::append_utf8(scratch_, raw_[i]);
    return {scratch_};
  };
  const auto typed_keys = [this]() -> Rendered {
    scratch_.clear();
    for (char32_t key : raw_) qrx_unicode::append_utf8(scratch_, key);
    return {scratch_};
  };
  if (raw_kept_) {
    // A re-opened word's keys were rebuilt, not typed: showing them would rewrite the word that
    // is already in the document.
    if (anchor_) return anchored_keys();
    // A word kept because a doubled digit took back its tone or mark shows that digit once, as it
    // did when it became kept; the second digit must not come back when typing goes on or ends.
    const qrx_core::transform::WordView view = current_composer().view(final);
    return view.literal ? Rendered{view.text, view.nfc_stable} : typed_keys();
  }
  if (config_.smart_caps && raw_.size() >= 2) {
    const auto is_upper_letter = [](char32_t c) {
      return (c >= U'A' && c <= U'Z') || (c >= 0xC0 && qrx_unicode::is_uppercase(c));
    };
    const std::u32string_view head = std::u32string_view(raw_).substr(0, 2);
    bool composed_pair = false;
    for (std::u32string_view pair : kSmartCapsComposedPairs) composed_pair = composed_pair || pair == head;
    if (is_upper_letter(raw_[0]) && is_upper_letter(raw_[1]) && !composed_pair) return typed_keys();
  }
  const qrx_core::transform::WordView view = current_composer().view(final);
  if (view.second_text) second_text_ = true;
  if (view.literal) {
    raw_kept_ = true;
    if (anchor_) return anchored_keys();
  }
  return {view.text, view.nfc_stable};
}

Action ImeSession::show(Rendered rendered, std::optional<char32_t> typed) {
  // Composing fills the other word, so the one shown before stays as it was.
  const std::string& old_text = shown();
  compose(rendered.text, rendered.nfc_stable);
  const std::string& new_text = shown();
  // The action is built where it is returned: moving a short text costs as much as copying it.
  Action action;
  if (output_mode_ == OutputMode::Preedit && !anchor_) {
    auto& preedit = action.value.emplace<Action::Preedit>();
    preedit.text.assign(new_text);
    // Shown text is well-formed: its characters are the bytes that start one.
    preedit.cursor = static_cast<std::size_t>(std::count_if(
        new_text.begin(), new_text.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
    return action;
  }
  // The host types a key that only adds itself to the shown word.
  if (output_mode_ == OutputMode::Replace && typed && new_text.size() > old_text.size() &&
      new_text.compare(0, old_text.size(), old_text) == 0) {
    const std::string_view added = std::string_view(new_text).substr(old_text.size());
    if (is_text_of(added, *typed)) return action;  // a pass
  }
  auto& replace = action.value.emplace<Action::Replace>();
  // Both are shown texts, which are well-formed (see shown()).
  replace.delete_count = qrx_core::transform::diff_well_formed(old_text, new_text, replace.text);
  if (output_mode_ == OutputMode::Replace && typed && replace.delete_count == 0 &&
      is_text_of(replace.text, *typed)) {
    action.value.emplace<Action::Pass>();
  } else {
    replaced_text_.assign(old_text);  // the word as it was shown, into storage kept from key to key
  }
  return action;
}

Action ImeSession::flush() {
  const std::string text = shown();
  const bool had_anchor = anchor_.has_value();
  reset();
  forget_last_word();
  undo_record_.reset();
  clear_tail();
  off_buffer_.clear();
  off_buffer_overflowed_ = false;
  if (output_mode_ == OutputMode::Preedit && !had_anchor && !text.empty()) return Action::commit(text, false);
  return Action::pass();
}

Action ImeSession::boundary_passthrough() {
  const std::string text = shown();
  const bool had_anchor = anchor_.has_value();
  reset();
  if (output_mode_ == OutputMode::Preedit && !had_anchor && !text.empty()) return Action::commit(text, true);
  return Action::pass();
}

Action ImeSession::escape() {
  if (raw_.empty()) return Action::pass();
  return finish(qrx_unicode::encode_utf8(raw_), std::nullopt, false);
}

void ImeSession::reset() {
  raw_.clear();
  compose({});
  raw_kept_ = false;
  second_text_ = false;
  if (composer_) composer_->clear();
  composer_follows_ = composer_.has_value();
  anchor_.reset();
  anchor_raw_len_ = 0;
}

// ---- Mutators -------------------------------------------------------------------------------

Action ImeSession::flush_composition() { return flush(); }

Action ImeSession::cursor_moved() {
  capitalize_next_ = false;
  prev_word_allowed_ = false;
  return flush();
}

Action ImeSession::set_field_kind(std::uint8_t kind) {
  Action action = flush();
  field_kind_ = kind;
  forget_composer();  // the options depend on the field kind
  return action;
}

Action ImeSession::set_output_mode(OutputMode mode) {
  Action action = flush();
  output_mode_ = mode;
  forget_composer();
  return action;
}

Action ImeSession::focus_changed(std::optional<std::string_view> app) {
  Action action = flush();
  capitalize_next_ = false;
  profile_ = ports::resolve_profile(config_, app);
  im_ = nullptr;
  forget_composer();
  const std::string id = ports::normalize_app_id(app);
  bool excluded = false;
  if (!id.empty()) {
    for (const std::string& entry : config_.excluded_apps) {
      excluded = excluded || ports::normalize_app_id(std::string_view(entry)) == id;
    }
  }
  if (excluded) {
    enabled_ = false;
  } else if (const auto mode = config_.app_modes.find(id); mode != config_.app_modes.end()) {
    enabled_ = mode->second;
  } else {
    enabled_ = profile_.vietnamese.value_or(config_.default_vietnamese);
  }
  return action;
}

Action ImeSession::toggle_vietnamese() {
  Action action = flush();
  enabled_ = !enabled_;
  const std::optional<std::string> app = ports_.app_context->current_app();
  const std::string id = ports::normalize_app_id(app ? std::optional<std::string_view>(*app) : std::nullopt);
  if (!id.empty()) {
    config_.app_modes[id] = enabled_;
    ports_.config_store->save(config_);
  }
  forget_composer();
  return action;
}

Action ImeSession::reload_config() {
  Action action = flush();
  config_ = ports_.config_store->load();
  im_ = nullptr;
  forget_composer();
  undo_record_.reset();
  // The Unicode form may have changed: forget the memo of the shown word.
  for (ComposedWord& word : words_) word.out_current = false;
  ++shown_changes_;
  return action;
}

}  // namespace qrx_engine::session
