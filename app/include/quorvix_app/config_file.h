// The application's configuration file: `config.json` in the folder "quorvix" of the user's
// configuration folder, with the previous version kept as `config.json.bak` beside it. The engine
// reads the whole text; the application itself interprets only "output_mode". A file or JSON
// failure while reading turns into a default value; a write that did not happen says why, and
// never costs the user a file.
#pragma once

#include <qrx_json/json.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace quorvix::app {

// A JSON object as the application edits it: one value per key, keys sorted.
using ConfigDictionary = std::map<std::string, qrx_json::Value, std::less<>>;

// Why the configuration file does not give Quorvix the settings written in it, and where: the
// place (line and 1-based byte column; line 0 when it is the file as a whole) and what was wrong
// there. Never the file's own text, which is the user's (macros, program names).
struct ConfigProblem {
  // What Quorvix does instead.
  enum class Effect {
    defaults,  // every setting takes the engine's default
    telex,     // the input method is Telex
    replace,   // the word being typed is shown as plain text
  };
  std::size_t line = 0;
  std::size_t column = 0;
  std::string what;
  Effect effect = Effect::defaults;

  friend bool operator==(const ConfigProblem&, const ConfigProblem&) = default;
};

// "<file>: line L, column C: <what>; <what Quorvix does instead>", in a single line.
std::string describe(const ConfigProblem& problem, const std::filesystem::path& file);

// A JSON value's kind in words ("a list", "true or false", "text"...), never its content.
std::string_view describeKind(const qrx_json::Value& value);

class ConfigFile {
 public:
  // The input method's own identifier, kept under its macOS name (the bundle identifier). On
  // Linux it is the one name of everything Quorvix: its input method and addon in Fcitx5 and their
  // description files, the folders of its configuration and cache, and the program name of its
  // own processes.
  static constexpr std::string_view bundleID = "quorvix";
  static constexpr std::string_view defaultOutputMode = "replace";
  // What ensureExists writes: 542 bytes, no line feed at the end. Its values are the engine's
  // defaults, but for the first macros and excluded program a new user starts with and the output
  // mode, which only the application reads.
  static const std::string& defaultText();

  explicit ConfigFile(platform::Files& files) : files_(files) {}

  // Computed afresh on every use; empty when the user's configuration folder is unknown.
  std::filesystem::path directory() const;
  std::filesystem::path path() const;
  std::filesystem::path backupPath() const;

  // Creates the folder, and the file with the default text when there is none (a link to nothing
  // gets its target created). Never backs up.
  platform::FileResult ensureExists() const;
  // The file's text, without the byte-order mark some editors put first; absent when it is
  // missing, unreadable or not UTF-8.
  std::optional<std::string> load() const;
  // "preedit" when the file's "output_mode" is a string equal to it in any letter case, else
  // "replace".
  std::string outputMode() const;
  // The file as a JSON object; empty when it cannot be read as one.
  ConfigDictionary loadDictionary() const;
  // The file's text, as load() gives it, and the JSON object it holds, from a single read.
  struct Contents {
    std::optional<std::string> text;
    ConfigDictionary dictionary;
    // Why a file that is there holds no JSON object: it cannot be read, is not UTF-8, is not JSON,
    // or is JSON of another kind.
    std::optional<ConfigProblem> problem;
    // Each name the object gives again, where it does; the dictionary keeps the last value.
    std::vector<std::pair<std::string, qrx_json::Position>> repeated;
  };
  Contents loadContents() const;
  // What outputMode() gives for a file holding `dictionary`.
  static std::string outputModeOf(const ConfigDictionary& dictionary);
  // The file's identity as of its last write (date, inode and size), which tells a rewritten file
  // from the one read before; absent when there is no file.
  std::optional<platform::FileIdentity> modificationDate() const;

  // Writes `text` as the new file, keeping the previous file as the backup, which is written
  // beside and renamed over the old one. A file that cannot be read is never replaced, nor is the
  // file when its backup cannot be written: then nothing changes and the result says why.
  // The backup is left as it is when the previous file holds nothing but white space, and when
  // the previous file is a JSON object while the backup holds text that is not: that text is the
  // user's own, which an earlier save replaced, and it stays until it reads as settings again or
  // a newer text of the user's that does not takes its place.
  platform::FileResult save(std::string_view text) const;
  // Saves the dictionary pretty-printed with sorted keys (nested objects too).
  platform::FileResult saveDictionary(const ConfigDictionary& dictionary) const;
  // Reads the file as a dictionary, lets `edit` change it and saves it. A file that exists but
  // cannot be read as a JSON object is left alone with its backup, so that no setting is lost:
  // then nothing is written and the result says why.
  platform::FileResult update(const std::function<void(ConfigDictionary&)>& edit) const;

 private:
  // Writes the file a save is about to replace as the backup, unless it is better kept as it is.
  platform::FileResult keepAsBackup(const std::string& previous) const;

  platform::Files& files_;
};

}  // namespace quorvix::app
