#include "quorvix_app/config_file.h"

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <utility>

#include "quorvix_app/engine_bridge.h"

namespace quorvix::app {

namespace {

// The default file's keys in the order it lists them, each with the value the file gives it of
// its own, written inline; empty for the engine's default.
constexpr std::array<std::pair<std::string_view, std::string_view>, 20> kDefaultFileKeys{{
    {"schema_version", ""},
    {"input_method", ""},
    {"tone_style", ""},
    {"spell_check", ""},
    {"w_as_u", ""},
    {"bracket_keys", ""},
    {"quick_telex", ""},
    {"allow_coda_k", ""},
    {"macro_enabled", ""},
    {"macro_digits", ""},
    {"macro_undo", ""},
    {"macros", R"({"ko": "không", "vn": "Việt Nam"})"},
    {"auto_capitalize", ""},
    {"excluded_apps", R"(["minecraft"])"},
    {"default_vietnamese", ""},
    {"edit_previous_word", ""},
    {"restore_after_space", ""},
    {"smart_caps", ""},
    {"output_mode", ""},  // the application's own: defaultOutputMode
    {"unicode_form", ""},
}};

// Nested objects are sorted as well, and a repeated name keeps its last value, as the file
// reads back through a dictionary. Sorted in place: a long list of macros is neither copied nor
// rebuilt, and one written here before is in order already.
qrx_json::Value sortedKeys(qrx_json::Value value) {
  if (value.is_array()) {
    for (auto& item : value.as_array()) item = sortedKeys(std::move(item));
    return value;
  }
  if (!value.is_object()) return value;
  auto& members = value.as_object();
  for (auto& member : members) member.value = sortedKeys(std::move(member.value));
  const auto byName = [](const qrx_json::Member& a, const qrx_json::Member& b) { return a.name < b.name; };
  if (!std::is_sorted(members.begin(), members.end(), byName)) {
    std::stable_sort(members.begin(), members.end(), byName);
  }
  const auto last =
      std::unique(members.rbegin(), members.rend(),
                  [](const qrx_json::Member& a, const qrx_json::Member& b) { return a.name == b.name; });
  members.erase(members.begin(), last.base());
  return value;
}

// Some editors begin a UTF-8 file with it; it is no part of the text.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kNoFolder = "the user's configuration folder is unknown";

std::string_view withoutByteOrderMark(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  return bytes;
}

bool isBlank(std::string_view bytes) {
  return withoutByteOrderMark(bytes).find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Where the text stops being UTF-8; absent when it is UTF-8 throughout.
std::optional<qrx_json::Position> firstInvalidByte(std::string_view text) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  qrx_json::Position at{1, 1};
  for (std::size_t pos = 0; pos < text.size();) {
    const auto start = pos;
    if (qrx_unicode::next_char(text, pos) == U'\uFFFD' && text.substr(start, kReplacement.size()) != kReplacement)
      return at;
    if (text[start] == '\n') {
      ++at.line;
      at.column = 1;
    } else {
      at.column += pos - start;
    }
  }
  return std::nullopt;
}

// The reader's own words for what is wrong, unless they might repeat the text they were about.
std::string syntaxError(const qrx_json::Error& error) {
  if (error.message.find_first_of("'\"") != std::string::npos) return "not JSON";
  return error.message;
}

// The object a text holds, with the names it gives again; or why it holds none.
struct ReadObject {
  std::optional<ConfigDictionary> dictionary;
  std::optional<ConfigProblem> problem;
  std::vector<std::pair<std::string, qrx_json::Position>> repeated;
};

ReadObject readObject(std::string_view bytes) {
  auto parsed = qrx_json::parse(withoutByteOrderMark(bytes));
  if (!parsed) {
    const auto& error = parsed.error();
    return {std::nullopt,
            ConfigProblem{error.position.line, error.position.column, "is not JSON: " + syntaxError(error)},
            {}};
  }
  auto& value = parsed.value();
  if (!value.is_object()) {
    return {std::nullopt,
            ConfigProblem{value.position().line, value.position().column,
                          "holds " + std::string(describeKind(value)) + ", not an object of settings"},
            {}};
  }
  ReadObject read{ConfigDictionary{}, std::nullopt, {}};
  for (auto& member : value.as_object()) {
    const auto position = member.value.position();
    if (!read.dictionary->insert_or_assign(member.name, std::move(member.value)).second)
      read.repeated.emplace_back(member.name, position);
  }
  return read;
}

std::optional<ConfigDictionary> parseDictionary(std::string_view bytes) {
  return readObject(bytes).dictionary;
}

constexpr std::array<std::string_view, 3> kEffects{
    "Quorvix uses its default settings until the file reads again",
    "Quorvix types Telex",
    "Quorvix shows the word being typed as plain text (replace)",
};

platform::FileResult failed(std::string why) { return platform::FileResult::failed(std::move(why)); }

std::string cannotRead(const std::filesystem::path& path, const std::string& problem) {
  return path.string() + " cannot be read (" + problem + ")";
}

platform::FileResult createFolder(platform::Files& files, const std::filesystem::path& folder) {
  if (folder.empty()) return failed(std::string(kNoFolder));
  if (auto made = files.createDirectories(folder); !made)
    return failed("cannot create the folder " + folder.string() + ": " + made.problem);
  return {};
}

// The file a write is about to replace, read first: its bytes, none when there is no file. A file
// that cannot be read is never replaced: `readable` then says why, and `consequence` what became
// of it.
struct FileToReplace {
  platform::FileResult readable;
  std::optional<std::string> bytes;
};

FileToReplace readBeforeReplacing(platform::Files& files, const std::filesystem::path& path,
                                  std::string_view consequence) {
  auto current = files.readFile(path);
  switch (current.state) {
    case platform::FileContents::State::missing:
      break;
    case platform::FileContents::State::unreadable:
      return {failed(cannotRead(path, current.problem) + std::string(consequence)), std::nullopt};
    case platform::FileContents::State::read:
      return {{}, std::move(current.bytes)};
  }
  return {};
}

platform::FileResult write(platform::Files& files, const std::filesystem::path& path, std::string_view text) {
  if (auto written = files.writeAtomically(path, text); !written)
    return failed(path.string() + " could not be written: " + written.problem);
  return {};
}

}  // namespace

std::string_view describeKind(const qrx_json::Value& value) {
  switch (value.kind()) {
    case qrx_json::Value::Kind::Null:
      return "null";
    case qrx_json::Value::Kind::Bool:
      return "true or false";
    case qrx_json::Value::Kind::Int:
    case qrx_json::Value::Kind::UInt:
    case qrx_json::Value::Kind::Double:
      return "a number";
    case qrx_json::Value::Kind::String:
      return "text";
    case qrx_json::Value::Kind::Array:
      return "a list";
    case qrx_json::Value::Kind::Object:
      return "an object";
  }
  return "a value";
}

std::string describe(const ConfigProblem& problem, const std::filesystem::path& file) {
  std::string line = file.string() + ": ";
  if (problem.line > 0) {
    // The reader counts a place before the first character of a line as column 0.
    line += "line " + std::to_string(problem.line) + ", column " +
            std::to_string(std::max<std::size_t>(problem.column, 1)) + ": ";
  }
  return line + problem.what + "; " + std::string(kEffects[static_cast<std::size_t>(problem.effect)]);
}

const std::string& ConfigFile::defaultText() {
  static const std::string text = [] {
    const auto& engine = engineDefaults();
    std::string text = "{\n";
    for (const auto& [key, own] : kDefaultFileKeys) {
      std::string value(own);
      if (key == "output_mode") {
        value = qrx_json::write_compact(qrx_json::Value(std::string(defaultOutputMode)));
      } else if (value.empty()) {
        // A key the engine does not report is left out: the engine takes its default all the same.
        const auto found = engine.find(std::string(key));
        if (found == engine.end()) continue;
        value = qrx_json::write_compact(found->second);
      }
      text += "  \"" + std::string(key) + "\": " + value + ",\n";
    }
    text.replace(text.size() - 2, 2, "\n}");
    return text;
  }();
  return text;
}

std::filesystem::path ConfigFile::directory() const {
  const auto base = files_.userConfigurationDirectory();
  return base ? *base / bundleID : std::filesystem::path();
}

std::filesystem::path ConfigFile::path() const {
  const auto folder = directory();
  return folder.empty() ? folder : folder / "config.json";
}

std::filesystem::path ConfigFile::backupPath() const {
  auto file = path();
  return file.empty() ? file : file += ".bak";
}

platform::FileResult ConfigFile::ensureExists() const {
  if (auto folder = createFolder(files_, directory()); !folder) return folder;
  if (files_.exists(path())) return {};
  return write(files_, path(), defaultText());
}

std::optional<std::string> ConfigFile::load() const {
  if (path().empty()) return std::nullopt;
  const auto bytes = files_.read(path());
  if (!bytes) return std::nullopt;
  std::string text(withoutByteOrderMark(*bytes));
  if (!qrx_unicode::is_valid_utf8(text)) return std::nullopt;
  return text;
}

std::string ConfigFile::outputMode() const { return outputModeOf(loadDictionary()); }

std::string ConfigFile::outputModeOf(const ConfigDictionary& dictionary) {
  const auto mode = dictionary.find("output_mode");
  if (mode != dictionary.end() && mode->second.is_string() &&
      qrx_unicode::to_lower(mode->second.as_string()) == "preedit") {
    return "preedit";
  }
  return std::string(defaultOutputMode);
}

ConfigDictionary ConfigFile::loadDictionary() const {
  if (path().empty()) return {};
  const auto bytes = files_.read(path());
  return bytes ? parseDictionary(*bytes).value_or(ConfigDictionary{}) : ConfigDictionary{};
}

ConfigFile::Contents ConfigFile::loadContents() const {
  Contents contents;
  if (path().empty()) return contents;
  auto file = files_.readFile(path());
  if (file.state == platform::FileContents::State::missing) return contents;
  if (file.state == platform::FileContents::State::unreadable) {
    contents.problem = ConfigProblem{0, 0, "cannot be read (" + file.problem + ")"};
    return contents;
  }
  std::string text(withoutByteOrderMark(file.bytes));
  if (const auto invalid = firstInvalidByte(text)) {
    contents.problem = ConfigProblem{invalid->line, invalid->column, "is not UTF-8 text"};
    return contents;
  }
  auto read = readObject(text);
  contents.text = std::move(text);
  contents.dictionary = std::move(read.dictionary).value_or(ConfigDictionary{});
  contents.problem = std::move(read.problem);
  contents.repeated = std::move(read.repeated);
  return contents;
}

std::optional<platform::FileIdentity> ConfigFile::modificationDate() const {
  if (path().empty()) return std::nullopt;
  return files_.identity(path());
}

platform::FileResult ConfigFile::keepAsBackup(const std::string& previous) const {
  if (isBlank(previous)) return {};
  const auto backup = files_.readFile(backupPath());
  const bool backupIsUserText = backup.state == platform::FileContents::State::read &&
                                !isBlank(backup.bytes) && !parseDictionary(backup.bytes);
  if (backupIsUserText && parseDictionary(previous)) return {};
  if (backup.state == platform::FileContents::State::unreadable) {
    return failed(cannotRead(backupPath(), backup.problem) + ", so neither it nor " + path().string() +
                  " was replaced");
  }
  if (auto written = files_.writeAtomically(backupPath(), previous); !written) {
    return failed("the backup " + backupPath().string() + " could not be written (" + written.problem +
                  "), so " + path().string() + " was not replaced");
  }
  return {};
}

platform::FileResult ConfigFile::save(std::string_view text) const {
  if (auto folder = createFolder(files_, directory()); !folder) return folder;
  const auto previous = readBeforeReplacing(files_, path(), ", so it was not replaced");
  if (!previous.readable) return previous.readable;
  if (previous.bytes) {
    if (auto kept = keepAsBackup(*previous.bytes); !kept) return kept;
  }
  return write(files_, path(), text);
}

platform::FileResult ConfigFile::saveDictionary(const ConfigDictionary& dictionary) const {
  qrx_json::Object object;
  for (const auto& [name, value] : dictionary) object.push_back({name, value});
  return save(qrx_json::write_pretty(sortedKeys(std::move(object))));
}

platform::FileResult ConfigFile::update(const std::function<void(ConfigDictionary&)>& edit) const {
  if (path().empty()) return failed(std::string(kNoFolder));
  const auto current = readBeforeReplacing(files_, path(), ", so it was left as it is");
  if (!current.readable) return current.readable;
  ConfigDictionary dictionary;
  if (current.bytes) {
    auto existing = parseDictionary(*current.bytes);
    if (!existing) return failed(path().string() + " is not a JSON object, so it was left as it is");
    dictionary = std::move(*existing);
  }
  edit(dictionary);
  return saveDictionary(dictionary);
}

}  // namespace quorvix::app
