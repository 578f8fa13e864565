#include "quorvix_app/config_watcher.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "quorvix_app/engine_bridge.h"

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

// The keys the engine reads are the keys it writes back: those of its default configuration.
const std::set<std::string, std::less<>>& engineKeys() {
  static const auto keys = [] {
    std::set<std::string, std::less<>> names;
    if (const auto config = EngineSession(std::nullopt).configJSON()) {
      if (const auto parsed = json::parse(*config); parsed && parsed.value().is_object()) {
        for (const auto& member : parsed.value().as_object()) names.insert(member.name);
      }
    }
    return names;
  }();
  return keys;
}

// A key nothing reads (a note of the user's, a setting of another version) changes nothing.
bool isSharedKey(std::string_view key) {
  const auto& known = engineKeys();
  return !isPerApplicationKey(key) && (known.empty() || known.contains(key));
}

// The previous reading's value when the new one equals it, so that unchanged settings are the
// same object in both readings.
std::shared_ptr<const json::Value> sharedValue(const SharedSettings* previous, std::string_view key,
                                               json::Value value) {
  if (previous != nullptr) {
    if (const auto unchanged = previous->find(key);
        unchanged != previous->end() && *unchanged->second == value) {
      return unchanged->second;
    }
  }
  return std::make_shared<const json::Value>(std::move(value));
}

constexpr std::string_view kReading = "configuration read";

}  // namespace

bool sameSettings(const SharedSettings& a, const SharedSettings& b) {
  return std::ranges::equal(a, b, [](const auto& x, const auto& y) {
    return x.first == y.first && (x.second == y.second || *x.second == *y.second);
  });
}

ConfigSnapshot::ConfigSnapshot(ConfigFile::Contents contents, std::optional<platform::FileIdentity> identity,
                               const ConfigSnapshot* previous)
    : text_(std::move(contents.text)),
      outputMode_(ConfigFile::outputModeOf(contents.dictionary) == "preedit" ? QRX_OUTPUT_PREEDIT
                                                                             : QRX_OUTPUT_REPLACE),
      fileIdentity_(std::move(identity)) {
  json::Object perApplication;
  for (auto& [key, value] : contents.dictionary) {
    if (isPerApplicationKey(key)) {
      perApplication.push_back({key, std::move(value)});
    } else if (isSharedKey(key)) {
      shared_.emplace(key, sharedValue(previous ? &previous->shared_ : nullptr, key, std::move(value)));
    }
  }
  perApplicationText_ = json::write_compact(perApplication);
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
                             NotificationCenter& notifications, std::function<void()> afterChange)
    : configFile_(files), timers_(timers), afterChange_(std::move(afterChange)) {
  // The identity first: a file replaced after it was read is then read again on the next tick.
  auto identity = configFile_.modificationDate();
  current_ = std::make_shared<const ConfigSnapshot>(configFile_.loadContents(), std::move(identity), nullptr);
  configChangedObservation_ = notifications.observe(std::string(quorvixConfigChanged), [this] { reload(); });
  startConfigWatcher();
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
}

std::unique_ptr<NotificationCenter::Observation> ConfigWatcher::observe(std::function<void()> block) {
  return readings_.observe(std::string(kReading), std::move(block));
}

}  // namespace quorvix::app
