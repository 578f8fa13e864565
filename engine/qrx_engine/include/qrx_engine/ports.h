// The engine's configuration record and its JSON form, per-application profiles, and the four
// interfaces through which a session reaches its host, with the word-list dictionary that answers
// the dictionary questions of every session of the C interface. Two ready-made configuration
// stores, which no host of Quorvix uses, are in <qrx_engine/testing.h>.
#pragma once

#include <qrx_json/json.h>
#include <qrx_core/transform.h>
#include <vi_syllable/vi_syllable.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qrx_engine::ports {

using vi_syllable::ToneStyle;

// How a session shows the word being typed.
enum class OutputMode : std::uint8_t { Preedit = 0, Replace = 1 };

// The normalization form of all text a session emits.
enum class UnicodeForm : std::uint8_t { NFC = 0, NFD = 1 };

std::string_view output_mode_name(OutputMode mode);    // "preedit" / "replace"
std::string_view unicode_form_name(UnicodeForm form);  // "NFC" / "NFD"
qrx_json::Result<OutputMode> output_mode_from_json(const qrx_json::Value& value);
qrx_json::Result<UnicodeForm> unicode_form_from_json(const qrx_json::Value& value);

// Per-application overrides. Unset optional fields mean "the configuration's value applies".
// The declared order is the JSON key order on output and the element order of the array form.
struct AppProfile {
  std::optional<OutputMode> output_mode;
  std::uint32_t backspace_delay_ms = 0;
  std::uint32_t delay_per_char_ms = 0;
  bool wait_ack = false;
  std::optional<bool> edit_previous_word;
  std::optional<bool> restore_after_space;
  std::optional<bool> vietnamese;
  std::optional<std::string> input_method;
  std::optional<ToneStyle> tone_style;
  std::optional<bool> spell_check;
  std::optional<std::string> charset;

  friend bool operator==(const AppProfile&, const AppProfile&) = default;

  // Reads one profile from an object (or positional array) value.
  static qrx_json::Result<AppProfile> from_value(const qrx_json::Value& value);
  // All eleven keys in declared order; unset optionals are written as null.
  qrx_json::Value to_value() const;
  std::string to_json() const;         // compact
  std::string to_json_pretty() const;  // two-space indentation
};

using AppProfileMap = std::unordered_map<std::string, AppProfile>;
using AliasMap = std::unordered_map<std::string, std::string>;

// The parsed built-in profile document.
struct AppProfileData {
  AliasMap aliases;        // alternative application key -> the key it stands for
  AppProfileMap profiles;  // application key -> its built-in profile

  friend bool operator==(const AppProfileData&, const AppProfileData&) = default;
};

// Parses a profile document ({"aliases": {...}, "profiles": {...}}).
qrx_json::Result<AppProfileData> parse_app_profile_data(std::string_view document);
// The same for a document built into the engine, where a failure is an internal fault: the
// message "app_profiles.json không hợp lệ: <error>" goes to standard error and
// std::runtime_error is thrown.
AppProfileData load_builtin_app_profile_data(std::string_view document);

// The built-in profile document, parsed once per process on first use.
const AppProfileData& app_profile_data();
AliasMap app_aliases();
AppProfileMap default_app_profiles();

// The configuration's `app_profiles` reader: the given object read as a map of profiles (a
// repeated name keeps the later entry), laid over a copy of the built-in table, each entry
// replacing the built-in entry of the same key whole.
qrx_json::Result<AppProfileMap> deserialize_app_profiles(const qrx_json::Value& value);
qrx_json::Result<AppProfileMap> deserialize_app_profiles_json(std::string_view text);

// The engine's whole configuration. A default-constructed Config holds the defaults, the
// built-in application profiles included. Its typing settings are the typing core's options,
// declared there once, which a session hands on with its profile's overrides. The JSON key order
// on output and the element order of the array form on input are the reader's list of fields:
// input_method, the six typing options, then the members below in declared order.
struct Config : qrx_core::transform::TypingOptions {
  std::string input_method = "telex";
  bool macro_enabled = true;
  bool macro_digits = false;
  bool macro_undo = true;
  bool macro_in_off_mode = false;
  std::unordered_map<std::string, std::string> macros;
  bool auto_capitalize = false;
  std::vector<std::string> excluded_apps;
  std::unordered_map<std::string, bool> app_modes;
  bool default_vietnamese = true;
  bool edit_previous_word = true;
  AppProfileMap app_profiles = default_app_profiles();
  bool restore_after_space = true;
  bool smart_caps = false;
  UnicodeForm unicode_form = UnicodeForm::NFC;
  std::uint32_t schema_version = 1;

  friend bool operator==(const Config&, const Config&) = default;

  static Config make_default() { return Config{}; }

  // Reading. Missing keys take their defaults, unknown keys are skipped, a repeated known key
  // fails. From text the error carries line and column.
  static qrx_json::Result<Config> from_json(std::string_view text);
  static qrx_json::Result<Config> from_value(const qrx_json::Value& value);

  // Writing: one object with the 22 keys in declared order.
  qrx_json::Value to_value() const;
  std::string to_json() const;         // compact
  std::string to_json_pretty() const;  // two-space indentation, no final line feed

  // Replaces the top-level members named by `patch` (a JSON object) and reads the result back.
  // Nothing when the patch is rejected; this record is never changed.
  std::optional<Config> apply_json_patch(std::string_view patch) const;
};

// The application key of an identifier: a bundle identifier, an executable or desktop-file path
// or name, with or without a ":" suffix. Empty when there is none.
std::string normalize_app_id(std::optional<std::string_view> app);

// A copy of the profile that applies to `app`, or the default profile.
AppProfile resolve_profile(const Config& config, std::optional<std::string_view> app);

// ---------------------------------------------------------------------------------------------
// Ports. Every operation is called through a const reference; an implementation whose state
// changes on a call keeps it in a mutable member.

class ConfigStore {
 public:
  virtual ~ConfigStore() = default;
  // Never fails: a store that cannot produce a configuration returns the defaults.
  virtual Config load() const = 0;
  // Keeps a copy for the next load; failures are not reported.
  virtual void save(const Config& config) const = 0;
};

class AppContext {
 public:
  virtual ~AppContext() = default;
  // The focused application's identifier as the host reported it; absent when unknown.
  virtual std::optional<std::string> current_app() const = 0;
};

class SurroundingText {
 public:
  virtual ~SurroundingText() = default;
  // The last `max_chars` characters before the caret (all of them when fewer); absent when the
  // host's text is unknown.
  virtual std::optional<std::string> before_cursor(std::size_t max_chars) const = 0;
  // The same text written into `out`, whose storage it reuses; false (and `out` unspecified)
  // when the text is unknown. Asked at the start of every word, so hosts that keep the text
  // at hand override it to spare a new string each time.
  virtual bool before_cursor_into(std::size_t max_chars, std::string& out) const {
    std::optional<std::string> text = before_cursor(max_chars);
    if (!text) return false;
    out = std::move(*text);
    return true;
  }
};

class Dictionary {
 public:
  virtual ~Dictionary() = default;
  virtual bool is_english(std::string_view word) const = 0;
  virtual bool is_vietnamese(std::string_view word) const = 0;
};

// The four ports a session owns; they are destroyed in declared order.
struct Ports {
  std::unique_ptr<ConfigStore> config_store;
  std::unique_ptr<AppContext> app_context;
  std::unique_ptr<SurroundingText> surrounding_text;
  std::unique_ptr<Dictionary> dictionary;

  Ports() = default;
  Ports(std::unique_ptr<ConfigStore> store, std::unique_ptr<AppContext> app,
        std::unique_ptr<SurroundingText> surrounding, std::unique_ptr<Dictionary> dict)
      : config_store(std::move(store)),
        app_context(std::move(app)),
        surrounding_text(std::move(surrounding)),
        dictionary(std::move(dict)) {}
  Ports(Ports&&) = default;
  Ports& operator=(Ports&&) = default;
  ~Ports() {
    config_store.reset();
    app_context.reset();
    surrounding_text.reset();
    dictionary.reset();
  }
};

// Hashes texts and views alike, so that a lookup needs no copy of the word.
struct WordHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view word) const { return std::hash<std::string_view>{}(word); }
};
using WordSet = std::unordered_set<std::string, WordHash, std::equal_to<>>;

// The dictionary of every session of the C interface: two word sets, the built-in English and
// Vietnamese lists unless a host replaces them. Lookups are exact, byte-for-byte.
class WordListDictionary : public Dictionary {
 public:
  WordListDictionary() = default;
  WordListDictionary(WordSet english, WordSet vietnamese)
      : english_(std::move(english)), vietnamese_(std::move(vietnamese)) {}

  // The built-in English and Vietnamese word lists.
  static WordListDictionary make_default();
  // Word sets split from two texts at every run of white space; words are kept unchanged.
  static WordListDictionary from_text(std::string_view english, std::string_view vietnamese);

  bool is_english(std::string_view word) const override;
  bool is_vietnamese(std::string_view word) const override;

  const WordSet& english() const { return english_; }
  const WordSet& vietnamese() const { return vietnamese_; }
  WordSet& english() { return english_; }
  WordSet& vietnamese() { return vietnamese_; }

 private:
  WordSet english_;
  WordSet vietnamese_;
};

// The pieces of `text` between runs of white space (Unicode White_Space), empty pieces dropped.
std::vector<std::string_view> split_words(std::string_view text);

}  // namespace qrx_engine::ports
