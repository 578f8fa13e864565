#include "quorvix_app/config_file.h"

#include <unicode_text/unicode.h>

#include <algorithm>

namespace quorvix::app {

namespace {

// Nested objects are sorted as well, and a repeated name keeps its last value, as the file
// reads back through a dictionary. Sorted in place: a long list of macros is neither copied nor
// rebuilt, and one written here before is in order already.
json::Value sortedKeys(json::Value value) {
  if (value.is_array()) {
    for (auto& item : value.as_array()) item = sortedKeys(std::move(item));
    return value;
  }
  if (!value.is_object()) return value;
  auto& members = value.as_object();
  for (auto& member : members) member.value = sortedKeys(std::move(member.value));
  const auto byName = [](const json::Member& a, const json::Member& b) { return a.name < b.name; };
  if (!std::is_sorted(members.begin(), members.end(), byName)) {
    std::stable_sort(members.begin(), members.end(), byName);
  }
  const auto last =
      std::unique(members.rbegin(), members.rend(),
                  [](const json::Member& a, const json::Member& b) { return a.name == b.name; });
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

std::optional<ConfigDictionary> parseDictionary(std::string_view bytes) {
  auto parsed = json::parse(withoutByteOrderMark(bytes));
  if (!parsed || !parsed.value().is_object()) return std::nullopt;
  ConfigDictionary dictionary;
  for (auto& member : parsed.value().as_object())
    dictionary.insert_or_assign(member.name, std::move(member.value));
  return dictionary;
}

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

const std::string_view ConfigFile::defaultText =
    "{\n"
    "  \"schema_version\": 1,\n"
    "  \"input_method\": \"telex\",\n"
    "  \"tone_style\": \"new\",\n"
    "  \"spell_check\": true,\n"
    "  \"w_as_u\": false,\n"
    "  \"bracket_keys\": false,\n"
    "  \"quick_telex\": false,\n"
    "  \"allow_coda_k\": false,\n"
    "  \"macro_enabled\": true,\n"
    "  \"macro_digits\": false,\n"
    "  \"macro_undo\": true,\n"
    "  \"macros\": {\"ko\": \"không\", \"vn\": \"Việt Nam\"},\n"
    "  \"auto_capitalize\": false,\n"
    "  \"excluded_apps\": [\"minecraft\"],\n"
    "  \"default_vietnamese\": true,\n"
    "  \"edit_previous_word\": true,\n"
    "  \"restore_after_space\": true,\n"
    "  \"smart_caps\": false,\n"
    "  \"output_mode\": \"replace\",\n"
    "  \"unicode_form\": \"NFC\"\n"
    "}";

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
  return write(files_, path(), defaultText);
}

std::optional<std::string> ConfigFile::load() const {
  if (path().empty()) return std::nullopt;
  const auto bytes = files_.read(path());
  if (!bytes) return std::nullopt;
  std::string text(withoutByteOrderMark(*bytes));
  if (!unicode::is_valid_utf8(text)) return std::nullopt;
  return text;
}

std::string ConfigFile::outputMode() const { return outputModeOf(loadDictionary()); }

std::string ConfigFile::outputModeOf(const ConfigDictionary& dictionary) {
  const auto mode = dictionary.find("output_mode");
  if (mode != dictionary.end() && mode->second.is_string() &&
      unicode::to_lower(mode->second.as_string()) == "preedit") {
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
  auto text = load();
  auto dictionary = text ? parseDictionary(*text).value_or(ConfigDictionary{}) : ConfigDictionary{};
  return {std::move(text), std::move(dictionary)};
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
  json::Object object;
  for (const auto& [name, value] : dictionary) object.push_back({name, value});
  return save(json::write_pretty(sortedKeys(std::move(object))));
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
