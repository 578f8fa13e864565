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

std::optional<ConfigDictionary> parseDictionary(const std::optional<std::string>& bytes) {
  if (!bytes) return std::nullopt;
  auto parsed = json::parse(*bytes);
  if (!parsed || !parsed.value().is_object()) return std::nullopt;
  ConfigDictionary dictionary;
  for (auto& member : parsed.value().as_object())
    dictionary.insert_or_assign(member.name, std::move(member.value));
  return dictionary;
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
  return base ? *base / "quorvix" : std::filesystem::path();
}

std::filesystem::path ConfigFile::path() const {
  const auto folder = directory();
  return folder.empty() ? folder : folder / "config.json";
}

std::filesystem::path ConfigFile::backupPath() const {
  auto file = path();
  return file.empty() ? file : file += ".bak";
}

void ConfigFile::ensureExists() const {
  const auto folder = directory();
  if (folder.empty()) return;
  files_.createDirectories(folder);
  if (!files_.exists(path())) files_.writeAtomically(path(), defaultText);
}

std::optional<std::string> ConfigFile::load() const {
  if (path().empty()) return std::nullopt;
  auto text = files_.read(path());
  if (!text || !unicode::is_valid_utf8(*text)) return std::nullopt;
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
  return parseDictionary(files_.read(path())).value_or(ConfigDictionary{});
}

ConfigFile::Contents ConfigFile::loadContents() const {
  auto text = load();
  auto dictionary = parseDictionary(text).value_or(ConfigDictionary{});
  return {std::move(text), std::move(dictionary)};
}

std::optional<platform::FileDate> ConfigFile::modificationDate() const {
  if (path().empty()) return std::nullopt;
  return files_.modificationDate(path());
}

bool ConfigFile::save(std::string_view text) const {
  const auto folder = directory();
  if (folder.empty()) return false;
  files_.createDirectories(folder);
  if (files_.exists(path())) {
    files_.remove(backupPath());
    files_.copy(path(), backupPath());
  }
  return files_.writeAtomically(path(), text);
}

bool ConfigFile::saveDictionary(const ConfigDictionary& dictionary) const {
  json::Object object;
  for (const auto& [name, value] : dictionary) object.push_back({name, value});
  return save(json::write_pretty(sortedKeys(std::move(object))));
}

bool ConfigFile::update(const std::function<void(ConfigDictionary&)>& edit) const {
  if (path().empty()) return false;
  ConfigDictionary dictionary;
  if (files_.exists(path())) {
    auto existing = parseDictionary(files_.read(path()));
    if (!existing) return false;
    dictionary = std::move(*existing);
  }
  edit(dictionary);
  return saveDictionary(dictionary);
}

}  // namespace quorvix::app
