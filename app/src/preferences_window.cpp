#include "quorvix_app/preferences_window.h"

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <optional>
#include <span>
#include <variant>

#include "quorvix_app/config_watcher.h"
#include "quorvix_app/engine_bridge.h"
#include "quorvix_app/input_menu.h"
#include "quorvix_app/text_pieces.h"

namespace quorvix::app {
namespace {

using platform::PreferencesPopup;

constexpr std::string_view kExcludedAppsKey = "excluded_apps";
constexpr std::string_view kMacrosKey = "macros";

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view blanks = " \t";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

using Why = UntakenMacroLine::Why;

// What each reason not to take a macro line says in the window.
constexpr std::array<std::string_view, 4> kWhyNotTaken{
    "không có dấu “=”",
    "thiếu tên macro trước dấu “=”",
    "thiếu nội dung sau dấu “=”",
    "dòng %1 cùng tên thay nó",
};
// The window lists at most this many lines, then how many more there are.
constexpr std::size_t kUntakenShown = 10;

// The key and the value of a macro line: the text before the first "=" that follows some text,
// trimmed, and everything after it; or why the line has none.
std::variant<std::pair<std::string_view, std::string_view>, Why> macroPieces(std::string_view line) {
  if (line.find('=') == std::string_view::npos) return Why::noSign;
  const auto keyStart = line.find_first_not_of('=');
  if (keyStart == std::string_view::npos) return Why::noKey;
  const auto sign = line.find('=', keyStart);
  if (sign == std::string_view::npos) return Why::noKey;
  if (sign + 1 == line.size()) return Why::noValue;
  const auto key = trimmed(line.substr(keyStart, sign - keyStart));
  if (key.empty()) return Why::noKey;
  return std::pair{key, line.substr(sign + 1)};
}

// The window's words for the lines a save would not take.
std::string untakenNotice(const std::vector<UntakenMacroLine>& untaken) {
  std::string notice(kUntakenMacrosNotice);
  for (std::size_t i = 0; i < std::min(untaken.size(), kUntakenShown); ++i) {
    const auto& line = untaken[i];
    auto why = std::string(kWhyNotTaken[static_cast<std::size_t>(line.why)]);
    if (const auto at = why.find("%1"); at != std::string::npos)
      why.replace(at, 2, std::to_string(line.replacedBy));
    notice += "\ndòng " + std::to_string(line.number) + " “" + line.text + "”: " + why;
  }
  if (untaken.size() > kUntakenShown)
    notice += "\n… và " + std::to_string(untaken.size() - kUntakenShown) + " dòng nữa";
  return notice + "\n" + std::string(kSaveAgainNotice);
}

std::string joined(const std::vector<std::string>& items, std::string_view separator) {
  std::string result;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) result += separator;
    result += items[i];
  }
  return result;
}

const qrx_json::Value* member(const ConfigDictionary& dictionary, std::string_view key) {
  const auto found = dictionary.find(key);
  return found == dictionary.end() ? nullptr : &found->second;
}

// The file's value when it has the right type, else the engine's.
const qrx_json::Value* valueOrDefault(const ConfigDictionary& file, const ConfigDictionary& defaults,
                                  std::string_view key, bool (qrx_json::Value::*is)() const) {
  for (const auto* dictionary : {&file, &defaults}) {
    const auto* value = member(*dictionary, key);
    if (value && (value->*is)()) return value;
  }
  return nullptr;
}

// A string setting as the file has it, else as the engine defaults it.
std::string stringSetting(const ConfigDictionary& file, const ConfigDictionary& defaults,
                          std::string_view key) {
  const auto* value = valueOrDefault(file, defaults, key, &qrx_json::Value::is_string);
  return value ? value->as_string() : std::string();
}

// The file's "output_mode", read as the input method reads it; the engine has no default for it.
std::string outputModeSetting(const ConfigDictionary& file, const ConfigDictionary&, std::string_view) {
  return ConfigFile::outputModeOf(file);
}

constexpr auto kMethodItems = [] {
  std::array<PopupItem, kInputMethods.size()> items{};
  for (std::size_t i = 0; i < items.size(); ++i)
    items[i] = {kInputMethods[i].identifier, kInputMethods[i].title};
  return items;
}();

// The pop-ups of the window: the setting each one edits, how its value is read, the items in
// index order, and the item shown for a value that is none of theirs (-1 leaves the pop-up as it
// was).
struct PopupSetting {
  PreferencesPopup popup;
  std::string_view key;
  std::string (*read)(const ConfigDictionary& file, const ConfigDictionary& defaults, std::string_view key);
  std::span<const PopupItem> items;
  int otherwise;
};

constexpr std::array<PopupSetting, 4> kPopups{{
    {PreferencesPopup::method, "input_method", stringSetting, kMethodItems, -1},
    {PreferencesPopup::tone, "tone_style", stringSetting, kToneItems, 1},
    {PreferencesPopup::unicode, "unicode_form", stringSetting, kUnicodeItems, 0},
    {PreferencesPopup::output, "output_mode", outputModeSetting, kOutputItems, 0},
}};

bool boolSetting(const ConfigDictionary& file, const ConfigDictionary& defaults, std::string_view key) {
  const auto* value = valueOrDefault(file, defaults, key, &qrx_json::Value::is_bool);
  return value && value->as_bool();
}

// The strings of an array of strings; empty when the value is anything else.
std::vector<std::string> stringList(const qrx_json::Value* value) {
  std::vector<std::string> list;
  if (!value || !value->is_array()) return list;
  for (const auto& item : value->as_array()) {
    if (!item.is_string()) return {};
    list.push_back(item.as_string());
  }
  return list;
}

// The members of an object of strings, a later repetition winning; empty for anything else.
std::map<std::string, std::string> stringMap(const qrx_json::Value* value) {
  std::map<std::string, std::string> map;
  if (!value || !value->is_object()) return map;
  for (const auto& [name, item] : value->as_object()) {
    if (!item.is_string()) return {};
    map.insert_or_assign(name, item.as_string());
  }
  return map;
}

qrx_json::Value jsonList(const std::vector<std::string>& items) {
  qrx_json::Array array;
  for (const auto& item : items) array.emplace_back(item);
  return array;
}

qrx_json::Value jsonMap(const std::map<std::string, std::string>& map) {
  qrx_json::Object object;
  for (const auto& [name, value] : map) object.push_back({name, value});
  return object;
}

}  // namespace

std::vector<std::string> parseExcludedApps(std::string_view text) {
  std::vector<std::string> apps;
  for (const auto piece : pieces(text, ",\n")) {
    const auto app = trimmed(piece);
    if (!app.empty()) apps.push_back(qrx_unicode::to_lower(app));
  }
  return apps;
}

std::map<std::string, std::string> parseMacros(std::string_view text) { return parseMacroLines(text).macros; }

MacroLines parseMacroLines(std::string_view text) {
  MacroLines parsed;
  // The line each key was last given on, which a later line with the key then replaces.
  std::map<std::string, std::size_t> givenAt;
  std::vector<std::string_view> lines;
  std::size_t number = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const auto end = std::min(text.find('\n', start), text.size());
    const auto line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    lines.push_back(line);
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    const auto pieces = macroPieces(line);
    if (const auto* why = std::get_if<Why>(&pieces)) {
      parsed.untaken.push_back({number, std::string(line), *why, 0});
      continue;
    }
    const auto& [key, value] = std::get<0>(pieces);
    auto name = qrx_unicode::to_lower(key);
    if (const auto earlier = givenAt.find(name); earlier != givenAt.end()) {
      parsed.untaken.push_back(
          {earlier->second, std::string(lines[earlier->second - 1]), Why::replaced, number});
    }
    givenAt.insert_or_assign(name, number);
    parsed.macros.insert_or_assign(std::move(name), std::string(value));
  }
  std::ranges::sort(parsed.untaken, {}, &UntakenMacroLine::number);
  return parsed;
}

platform::PreferencesChoices preferencesChoices() {
  platform::PreferencesChoices choices;
  const auto titles = [&choices](PreferencesPopup popup) -> auto& {
    return choices.popupTitles[static_cast<std::size_t>(popup)];
  };
  for (const auto& setting : kPopups) {
    for (const auto& item : setting.items) titles(setting.popup).emplace_back(item.title);
  }
  for (const auto& option : kBoolOptions)
    choices.checkBoxes.push_back({std::string(option.key), std::string(option.title)});
  choices.excludedAppsPlaceholder = kExcludedAppsPlaceholder;
  return choices;
}

PreferencesWindowController::PreferencesWindowController(PreferencesServices services,
                                                         platform::PreferencesWindow& window)
    : services_(services), window_(window), config_(services.files), defaults_(engineDefaults()) {
  window_.setActions(this);
  loadValues();
}

PreferencesWindowController::~PreferencesWindowController() { window_.setActions(nullptr); }

void PreferencesWindowController::show() {
  loadValues();
  window_.show();
}

void PreferencesWindowController::loadValues() {
  window_.setNotice("");
  shownMacroText_.reset();
  config_.ensureExists();
  auto contents = config_.loadContents();
  const auto file = contents.dictionary;
  // The controls show the file's values, which a save keeps; what the input method makes of them
  // is said above them.
  const ConfigSnapshot reading(std::move(contents), std::nullopt, nullptr);
  const auto& problem = reading.problem();
  window_.setFileProblem(problem
                             ? std::string(problemTitle(*problem)) + ": " + describe(*problem, config_.path())
                             : std::string());

  for (const auto& setting : kPopups) {
    const auto value = setting.read(file, defaults_, setting.key);
    const auto item = std::ranges::find(setting.items, value, &PopupItem::value);
    const int index =
        item != setting.items.end() ? static_cast<int>(item - setting.items.begin()) : setting.otherwise;
    if (index >= 0) window_.selectIndex(setting.popup, index);
  }

  for (const auto& option : kBoolOptions)
    window_.setChecked(option.key, boolSetting(file, defaults_, option.key));

  window_.setExcludedAppsText(joined(stringList(member(file, kExcludedAppsKey)), ", "));
  refreshRunningApps();

  std::vector<std::string> lines;
  for (const auto& [key, value] : stringMap(member(file, kMacrosKey))) lines.push_back(key + "=" + value);
  std::ranges::sort(lines);
  window_.setMacroText(joined(lines, "\n"));
}

void PreferencesWindowController::save() {
  // Lines that give no macro are shown first; saving the same text again takes it as it is.
  const auto macroText = window_.macroText();
  auto macroLines = parseMacroLines(macroText);
  if (!macroLines.untaken.empty() && shownMacroText_ != macroText) {
    window_.setNotice(untakenNotice(macroLines.untaken));
    shownMacroText_ = macroText;
    return;
  }
  ConfigDictionary edits{
      {std::string(kExcludedAppsKey), jsonList(parseExcludedApps(window_.excludedAppsText()))},
      {std::string(kMacrosKey), jsonMap(macroLines.macros)},
  };
  for (const auto& setting : kPopups) {
    // A pop-up with nothing selected saves its first item.
    const auto index =
        std::clamp(window_.selectedIndex(setting.popup), 0, static_cast<int>(setting.items.size()) - 1);
    edits.insert_or_assign(std::string(setting.key),
                           qrx_json::Value(setting.items[static_cast<std::size_t>(index)].value));
  }
  for (const auto& option : kBoolOptions)
    edits.insert_or_assign(std::string(option.key), window_.isChecked(option.key));

  // The file as it is now, not as it was when the window opened: an input controller may have
  // written other keys (the per-application modes, say) since.
  auto file = config_.loadDictionary();
  for (auto& [key, value] : edits) file.insert_or_assign(key, std::move(value));
  // A file that could not be written keeps the window open with the user's edits, and says why.
  if (const auto saved = config_.saveDictionary(file); !saved) {
    window_.setNotice(std::string(kNotSavedNotice) + saved.problem);
    return;
  }
  window_.setNotice("");
  services_.notifications.post(quorvixConfigChanged);
  window_.hide();
}

void PreferencesWindowController::cancel() { window_.hide(); }

void PreferencesWindowController::openJSON() {
  config_.ensureExists();
  window_.openFile(config_.path(), std::string(kNotOpenedNotice) + config_.path().string());
}

void PreferencesWindowController::refreshRunningApps() {
  runningApps_ = services_.runningApplications.regularApplications();
  std::erase_if(runningApps_, [](const auto& app) { return app.localizedName.value_or("").empty(); });
  std::ranges::stable_sort(runningApps_, {}, [](const auto& app) { return *app.localizedName; });
  std::vector<std::string> titles;
  for (const auto& app : runningApps_)
    titles.push_back(*app.localizedName + " — " + app.bundleIdentifier.value_or("?"));
  window_.setRunningAppTitles(titles);
}

void PreferencesWindowController::addRunningApp() {
  const auto index = window_.selectedRunningApp();
  if (index < 0 || static_cast<std::size_t>(index) >= runningApps_.size()) return;
  const auto& app = runningApps_[static_cast<std::size_t>(index)];
  const auto id = qrx_unicode::to_lower(app.bundleIdentifier.value_or(app.localizedName.value_or("")));
  if (id.empty()) return;
  auto apps = parseExcludedApps(window_.excludedAppsText());
  if (std::ranges::find(apps, id) == apps.end()) apps.push_back(id);
  window_.setExcludedAppsText(joined(apps, ", "));
}

}  // namespace quorvix::app
