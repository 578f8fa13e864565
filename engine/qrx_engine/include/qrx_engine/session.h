// The typing session of one text field: keys in, one Action out per key. It keeps the word
// being typed, renders it through the typing core, ends words with separators (macros, sentence
// tracking, automatic capitals), re-opens the previous word and handles Backspace. It has no I/O
// of its own: configuration, focused application, text before the caret and word lists come
// through its ports.
#pragma once

#include <qrx_core/rules.h>
#include <qrx_core/transform.h>
#include <qrx_engine/action.h>
#include <qrx_engine/ports.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qrx_engine::session {

using ports::AppProfile;
using ports::Config;
using ports::OutputMode;
using ports::Ports;

// One key press.
struct Key {
  enum class Kind : std::uint8_t {
    Char,
    Backspace,
    Enter,
    Escape,
    Tab,
    Left,
    Right,
    Up,
    Down,
    Home,
    End,
    Delete,
    PageUp,
    PageDown,
    Modifier,  // a modifier pressed alone
    Other,     // an empty name or any name not known
  };

  Kind kind = Kind::Other;
  char32_t ch = 0;  // for Kind::Char

  static Key character(char32_t c) { return Key{Kind::Char, c}; }
  static Key named(Kind kind) { return Key{kind, 0}; }

  // One character gives Char; otherwise the exact, case-sensitive key and modifier names.
  static Key parse(std::string_view name);

  // Tab through PageDown: keys that move the caret away from the word.
  bool is_navigation() const { return kind >= Kind::Tab && kind <= Kind::PageDown; }

  friend bool operator==(const Key&, const Key&) = default;
};

struct KeyEvent {
  Key key;
  bool ctrl = false;
  bool alt = false;
  bool meta = false;

  static KeyEvent parse(std::string_view name) { return KeyEvent{Key::parse(name)}; }
  bool has_modifier() const { return ctrl || alt || meta; }
};

// The kind of the focused field, as the host reports it.
inline constexpr std::uint8_t kFieldNormal = 0;
inline constexpr std::uint8_t kFieldRestricted = 4;  // no macros, no w-as-ư, brackets or Quick Telex
// Kinds 1 to 3 pass every key through untouched.
constexpr bool is_pass_through_field(std::uint8_t kind) { return kind >= 1 && kind <= 3; }

// The word a separator ended, for restoring it with Backspace.
struct LastWord {
  std::u32string raw;
  std::string text;  // as composed, not in the output form
  char32_t separator = 0;
  bool raw_kept = false;
};

class ImeSession {
 public:
  ImeSession(Ports ports, OutputMode mode);

  ImeSession(ImeSession&&) = default;
  ImeSession& operator=(ImeSession&&) = default;

  Action process_key(const KeyEvent& event);

  // Queries.
  std::string display() const;  // the word being typed, in the output form
  std::string raw_string() const;
  bool is_word_char(char32_t ch) const {
    // Letters a to z, in either case, always are.
    if (ch < 0x80 && ((ch | 0x20) >= U'a' && (ch | 0x20) <= U'z')) return true;
    return is_other_word_char(ch);
  }
  const qrx_core::rules::InputMethodSpec& im() const;
  qrx_core::transform::TypingOptions opt() const;
  std::string out(std::string_view text) const;  // the configured Unicode form
  // out() of the composed word, as last shown.
  const std::string& shown() const {
    const ComposedWord& word = words_[current_];
    if (!word.out_current) return shown_anew();
    return word.out_is_composed ? word.composed : word.out;
  }
  // Counts the changes of shown(): equal counts, equal texts.
  std::uint64_t shown_changes() const { return shown_changes_; }
  // What the Replace that the last key returned rewrites, as the document should show it right
  // before the caret; its last `delete_count` characters are the ones deleted. It is text the
  // session wrote or took over: the word as it was shown (a re-opened word included), with the
  // committed words before it that a phrase macro takes back, the letters typed for a macro with
  // Vietnamese off, or a macro's expansion that Backspace takes back. Empty after a key that
  // returned anything else.
  const std::string& replaced_text() const { return replaced_text_; }

  const Config& config() const { return config_; }
  const AppProfile& profile() const { return profile_; }
  OutputMode output_mode() const { return output_mode_; }
  std::uint8_t field_kind() const { return field_kind_; }
  bool enabled() const { return enabled_; }
  const Ports& ports() const { return ports_; }

  // Mutators: each ends the current word first and returns what that produced.
  Action flush_composition();
  Action cursor_moved();
  Action set_field_kind(std::uint8_t kind);
  Action set_output_mode(OutputMode mode);
  Action focus_changed(std::optional<std::string_view> app);
  Action toggle_vietnamese();
  Action reload_config();
  // Drops the current word without output.
  void reset();

 private:
  // Key handlers.
  Action process_off_mode(const KeyEvent& event);
  Action letter(char32_t ch);
  Action separator(char32_t ch);
  Action word_end(std::optional<char32_t> ch);
  Action finish(std::string_view text, std::optional<char32_t> ch, bool pass_key);
  Action backspace();
  Action escape();
  Action boundary_passthrough();
  Action flush();

  // The input method that config_ and profile_ name.
  const qrx_core::rules::InputMethodSpec& method_named() const;

  bool is_other_word_char(char32_t ch) const;
  const std::string& shown_anew() const;

  // Rendering.
  // Sets the composed word. Every text composed is well-formed: the Composer's renderings and the
  // keys written out are, and a re-opened or restored word was normalized or composed before.
  // `nfc_stable`: the text is known to be in NFC whatever stands beside it (see WordView).
  void compose(std::string_view text, bool nfc_stable = false) {
    ++shown_changes_;
    current_ ^= 1;
    ComposedWord& word = words_[current_];
    word.composed.assign(text);
    word.out_is_composed = nfc_stable && config_.unicode_form == ports::UnicodeForm::NFC;
    word.out_current = word.out_is_composed;
  }
  const std::string& composed() const { return words_[current_].composed; }
  // The word rendered, as a view into the Composer or scratch_ (valid until either changes), and
  // whether it is known to be in NFC whatever stands beside it.
  struct Rendered {
    std::string_view text;
    bool nfc_stable = false;
  };
  Rendered compute(bool final);
  // The Composer for raw_, made again from raw_ unless it follows it.
  const qrx_core::transform::Composer& current_composer() {
    if (!composer_follows_) replay_composer();
    return *composer_;
  }
  void replay_composer();
  // Drops the Composer kept for the next words: the method or options it was made for changed.
  void forget_composer();
  Action show(Rendered rendered, std::optional<char32_t> typed);
  Action show_after_backspace(bool had_anchor);
  bool reopen_previous_word();
  bool prev_word_setting() const;
  bool restore_setting() const;

  // Macros.
  std::optional<std::string> macro_of(std::string_view word) const;
  std::optional<std::string> macro_text(std::string_view typed, std::string_view key) const;
  std::optional<Action> phrase_macro(std::string_view text, std::optional<char32_t> ch);
  bool glued_before_tail() const;
  // Appends `text`, then `more`.
  void append_to_tail(std::string_view text, std::string_view more = {});
  std::string_view tail() const;  // the committed text remembered: its last 256 characters
  void clear_tail();
  // Drops last_word_, keeping its keys' storage for the next word to remember.
  void forget_last_word();

  Config config_;
  std::u32string raw_;
  std::string committed_tail_;
  std::size_t committed_tail_chars_ = 0;
  std::u32string off_buffer_;
  bool off_buffer_overflowed_ = false;
  AppProfile profile_;
  std::optional<LastWord> last_word_;
  std::optional<std::pair<std::string, std::string>> undo_record_;  // (shown text, typed keys)
  // The Composer is kept from word to word; it stands for raw_ only while composer_follows_.
  std::optional<qrx_core::transform::Composer> composer_;
  bool composer_follows_ = false;
  std::optional<std::string> anchor_;
  std::size_t anchor_raw_len_ = 0;
  Ports ports_;
  OutputMode output_mode_;
  bool raw_kept_ = false;
  bool second_text_ = false;
  bool capitalize_next_ = false;
  bool sentence_end_ = false;
  bool enabled_ = true;
  bool prev_word_allowed_ = true;
  std::uint8_t field_kind_ = kFieldNormal;
  // The composed word (not in the output form) with the memo of its output form, twice: setting
  // the word fills the other one, so that the word shown before stays readable beside it
  // without a copy. `out_is_composed` marks a word already in the output form.
  struct ComposedWord {
    std::string composed;
    std::string out;
    bool out_current = false;
    bool out_is_composed = false;
  };
  mutable std::array<ComposedWord, 2> words_;
  std::size_t current_ = 0;
  std::uint64_t shown_changes_ = 0;
  // Scratch texts reused from key to key, so that typing does not touch the heap: a rendering
  // that is not the Composer's own, what the last key's replacement rewrites, the text before the
  // caret at a word start, and the keys buffer of the last word after it was forgotten.
  std::string scratch_;
  std::string replaced_text_;
  std::string text_before_caret_;
  std::u32string spare_raw_;
  // Memo of im(): reset to null wherever config_ or profile_ is assigned.
  mutable const qrx_core::rules::InputMethodSpec* im_ = nullptr;
};

// Whether the text's letters are all upper case: false for an empty text or one with a
// lower-case letter, true when at least one upper-case letter was seen; digits and punctuation
// are neutral.
bool py_isupper(std::string_view text);

}  // namespace qrx_engine::session
