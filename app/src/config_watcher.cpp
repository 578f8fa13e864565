#include "quorvix_app/config_watcher.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <set>

#include <qrx_unicode/unicode.h>

#include "quorvix_app/engine_bridge.h"
#include "quorvix_app/input_menu.h"

namespace quorvix::app {
namespace {

constexpr std::chrono::milliseconds kConfigPollInterval{1000};

// The settings that decide, application by application, whether Vietnamese is on and which
// profile applies; the engine reads them nowhere else.
constexpr std::array<std::string_view, 4> kPerApplicationKeys{"app_modes", "excluded_apps", "app_profiles",
                                                              "default_vietnamese"};

bool isPerApplicationKey(std::string_view key) {
  return std::ranges::find(kPerApplicationKeys, key) != kPerApplicationKeys.end();
}

// A key nothing reads (a note of the user's, a setting of another version) changes nothing. The
// keys the engine reads are the keys it writes back: those of its default configuration.
bool isSharedKey(std::string_view key) {
  const auto& known = engineDefaults();
  return !isPerApplicationKey(key) && (known.empty() || known.contains(key));
}

// The previous reading's value when the new one equals it, so that unchanged settings are the
// same object in both readings.
std::shared_ptr<const qrx_json::Value> sharedValue(const SharedSettings* previous, std::string_view key,
                                               qrx_json::Value value) {
  if (previous != nullptr) {
    if (const auto unchanged = previous->find(key);
        unchanged != previous->end() && *unchanged->second == value) {
      return unchanged->second;
    }
  }
  return std::make_shared<const qrx_json::Value>(std::move(value));
}

constexpr std::string_view kReading = "configuration read";

constexpr std::string_view kInputMethodKey = "input_method";
constexpr std::string_view kOutputModeKey = "output_mode";
constexpr std::array<std::string_view, 2> kOutputModes{"preedit", "replace"};

bool isEngineKey(std::string_view key) { return engineDefaults().contains(key); }

// Whether an "output_mode" value names one of the modes, in any letter case.
bool isOutputMode(const qrx_json::Value& value) {
  return value.is_string() &&
         std::ranges::find(kOutputModes, qrx_unicode::to_lower(value.as_string())) != kOutputModes.end();
}

std::string keyName(std::string_view key) { return "\"" + std::string(key) + "\""; }

ConfigProblem problemAt(const qrx_json::Value& value, std::string what,
                        ConfigProblem::Effect effect = ConfigProblem::Effect::defaults) {
  return {value.position().line, value.position().column, std::move(what), effect};
}

// What is wrong with `part` of `value`, the value of `key` that the engine does not take, said by
// the kinds of values alone.
std::string rejected(std::string_view key, const qrx_json::Value& value, const qrx_json::Value& part) {
  const auto found = describeKind(part);
  if (&part != &value) return keyName(key) + " does not take " + std::string(found) + " here";
  const auto expected = engineDefaults().find(key);
  if (expected != engineDefaults().end() && describeKind(expected->second) != found) {
    return keyName(key) + " takes " + std::string(describeKind(expected->second)) + ", not " +
           std::string(found);
  }
  return keyName(key) + " does not take this " + std::string(found == "text" ? "text" : "value");
}

// The first setting, in the order of the file, that makes the engine reject it: one given again,
// or one whose value it does not take.
ConfigProblem rejection(const qrx_json::Object& members) {
  ConfigProbe probe;
  std::set<std::string_view> seen;
  for (const auto& [key, value] : members) {
    if (!isEngineKey(key)) continue;
    if (!seen.insert(key).second) return problemAt(value, keyName(key) + " is given more than once");
    if (!probe.takes(key, value)) {
      const auto& part = probe.rejectedPart(key, value);
      return problemAt(part, rejected(key, value, part));
    }
  }
  return {0, 0, "holds settings the engine does not take"};
}

// The first value, in the order of the file, that the engine takes but Quorvix has no use for: an
// input method it does not have, an output mode that is neither. A name given again counts where
// it is given last, as it does in the file's settings.
std::optional<ConfigProblem> unusedValue(const qrx_json::Object& members) {
  std::optional<ConfigProblem> method, mode;
  for (const auto& [key, value] : members) {
    if (key == kInputMethodKey) {
      method.reset();
      if (value.is_string() && typedMethod(value.as_string()) != value.as_string()) {
        method = problemAt(
            value, keyName(key) + " names no input method of Quorvix (telex, simple_telex, vni or viqr)",
            ConfigProblem::Effect::telex);
      }
    } else if (key == kOutputModeKey) {
      mode.reset();
      if (!isOutputMode(value)) {
        mode = problemAt(value, keyName(key) + " is neither \"preedit\" nor \"replace\"",
                         ConfigProblem::Effect::replace);
      }
    }
  }
  if (method && mode) {
    return std::pair(method->line, method->column) < std::pair(mode->line, mode->column) ? method : mode;
  }
  return method ? method : mode;
}

}  // namespace

std::string_view problemTitle(const ConfigProblem& problem) {
  return problem.effect == ConfigProblem::Effect::defaults ? kFileNotReadTitle : kValueNotUsedTitle;
}

bool sameSettings(const SharedSettings& a, const SharedSettings& b) {
  return std::ranges::equal(a, b, [](const auto& x, const auto& y) {
    return x.first == y.first && (x.second == y.second || *x.second == *y.second);
  });
}

ConfigSnapshot::ConfigSnapshot(ConfigFile::Contents contents, std::optional<platform::FileIdentity> identity,
                               const ConfigSnapshot* previous)
    : readProblem_(std::move(contents.problem)),
      repeated_(std::move(contents.repeated)),
      text_(readProblem_ ? std::nullopt : std::move(contents.text)),
      outputMode_(ConfigFile::outputModeOf(contents.dictionary) == "preedit" ? QRX_OUTPUT_PREEDIT
                                                                             : QRX_OUTPUT_REPLACE),
      fileIdentity_(std::move(identity)) {
  if (const auto mode = contents.dictionary.find(kOutputModeKey); mode != contents.dictionary.end()) {
    outputModeUnknown_ = !isOutputMode(mode->second);
  }
  for (auto& [key, value] : contents.dictionary) {
    const bool perApplication = isPerApplicationKey(key);
    if (!perApplication && !isSharedKey(key)) continue;
    auto& settings = perApplication ? perApplication_ : shared_;
    const SharedSettings* before =
        previous ? &(perApplication ? previous->perApplication_ : previous->shared_) : nullptr;
    const auto& kept = settings.emplace(key, sharedValue(before, key, std::move(value))).first->second;
    // The engine's verdict on a value it was asked about in the previous reading still holds.
    if (before == nullptr) continue;
    if (const auto earlier = before->find(key); earlier == before->end() || earlier->second != kept) continue;
    if (previous->engineTakesText_ == true) {
      takes_.emplace(key, true);
    } else if (const auto known = previous->takes_.find(key); known != previous->takes_.end()) {
      takes_.emplace(key, known->second);
    }
  }
  qrx_json::Object perApplication;
  for (const auto& [key, value] : perApplication_) perApplication.push_back({key, *value});
  perApplicationText_ = qrx_json::write_compact(perApplication);
}

void ConfigSnapshot::sessionMade(bool tookConfiguration) const {
  if (text_) engineTakesText_ = tookConfiguration;
}

const std::optional<ConfigProblem>& ConfigSnapshot::problem() const {
  if (!problem_) problem_ = findProblem();
  return *problem_;
}

bool ConfigSnapshot::engineTakesText() const {
  if (engineTakesText_) return *engineTakesText_;
  bool takes = std::ranges::none_of(repeated_, [](const auto& repeat) { return isEngineKey(repeat.first); });
  std::optional<ConfigProbe> probe;
  for (const auto* settings : {&shared_, &perApplication_}) {
    for (auto setting = settings->begin(); takes && setting != settings->end(); ++setting) {
      const auto& [key, value] = *setting;
      auto known = takes_.find(key);
      if (known == takes_.end()) {
        if (!probe) probe.emplace();
        known = takes_.emplace(key, probe->takes(key, *value)).first;
      }
      takes = known->second;
    }
  }
  engineTakesText_ = takes;
  return takes;
}

std::optional<ConfigProblem> ConfigSnapshot::findProblem() const {
  if (readProblem_) return readProblem_;
  if (!text_) return std::nullopt;
  const bool engineTakes = engineTakesText();
  const auto method = shared_.find(kInputMethodKey);
  const bool methodUnknown = method != shared_.end() && method->second->is_string() &&
                             typedMethod(method->second->as_string()) != method->second->as_string();
  if (engineTakes && !methodUnknown && !outputModeUnknown_) return std::nullopt;
  // Rarely come to: the text is read again for the places, which a value shared with an earlier
  // reading may not give as they are now.
  const auto parsed = qrx_json::parse(*text_);
  if (!parsed || !parsed.value().is_object()) return std::nullopt;
  return engineTakes ? unusedValue(parsed.value().as_object()) : rejection(parsed.value().as_object());
}

const ApplicationSettings& ConfigSnapshot::application(const std::optional<std::string>& appID) const {
  if (const auto known = applications_.find(appID); known != applications_.end()) return known->second;
  // A session of these settings alone decides as the engine does: the application's choice,
  // unless it is excluded; else its profile's, else the default.
  EngineSession scratch(perApplicationText_);
  scratch.focusChanged(appID);
  return applications_
      .emplace(appID, ApplicationSettings{scratch.isEnabled(), scratch.appProfileJSON().value_or("")})
      .first->second;
}

ConfigWatcher::ConfigWatcher(platform::Files& files, platform::Timers& timers,
                             NotificationCenter& notifications, std::function<void()> afterChange,
                             platform::Reports* reports)
    : configFile_(files), timers_(timers), afterChange_(std::move(afterChange)), reports_(reports) {
  // The identity first: a file replaced after it was read is then read again on the next tick.
  auto identity = configFile_.modificationDate();
  current_ = std::make_shared<const ConfigSnapshot>(configFile_.loadContents(), std::move(identity), nullptr);
  report();
  configChangedObservation_ = notifications.observe(std::string(quorvixConfigChanged), [this] { reload(); });
  startConfigWatcher();
}

void ConfigWatcher::report() {
  if (reports_ == nullptr) return;
  const auto& problem = current_->problem();
  if (problem == reported_) return;
  const auto file = configFile_.path();
  if (!problem) {
    reports_->trace(file.string() + " gives Quorvix its settings again");
  } else if (reported_ && reported_->what == problem->what && reported_->effect == problem->effect) {
    // The same trouble at another place: the file was rewritten around it.
    reports_->trace(describe(*problem, file));
  } else {
    reports_->tell(problemTitle(*problem), describe(*problem, file));
  }
  reported_ = problem;
}

ConfigWatcher::~ConfigWatcher() = default;

void ConfigWatcher::startConfigWatcher() {
  configTimer_ = timers_.scheduleRepeating(kConfigPollInterval, [this] { pollConfigFile(); });
}

const std::shared_ptr<const ConfigSnapshot>& ConfigWatcher::latest() {
  pollConfigFile();
  return current_;
}

void ConfigWatcher::reload() { read(configFile_.modificationDate()); }

void ConfigWatcher::pollConfigFile() {
  auto identity = configFile_.modificationDate();
  if (identity != current_->fileIdentity()) read(std::move(identity));
}

void ConfigWatcher::read(std::optional<platform::FileIdentity> identity) {
  current_ =
      std::make_shared<const ConfigSnapshot>(configFile_.loadContents(), std::move(identity), current_.get());
  readings_.post(kReading);
  if (afterChange_) afterChange_();
  // After the fields have taken the reading in: a session one of them made tells whether the
  // engine takes the text, which then needs no trying.
  report();
}

std::unique_ptr<NotificationCenter::Observation> ConfigWatcher::observe(std::function<void()> block) {
  return readings_.observe(std::string(kReading), std::move(block));
}

}  // namespace quorvix::app
