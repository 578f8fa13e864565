// The configuration file as every input controller of the process sees it. One watcher reads
// and parses the file once per change, however the change is noticed (the file's identity,
// looked at every second; the in-process "QuorvixConfigChanged" notification; a reload asked for
// from the menu or by Fcitx5), and tells every controller that observes it. Each controller then
// decides what the new reading means for its own field.
#pragma once

#include <qrx_json/json.h>
#include <quorvix.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/reports.h"
#include "platform/timers.h"
#include "quorvix_app/config_file.h"
#include "quorvix_app/notification_center.h"

namespace quorvix::app {

// The settings every application shares, by configuration key. A value that did not change from
// one reading to the next is the same object in both, so that comparing readings costs little
// even with a long list of macros.
using SharedSettings = std::map<std::string, std::shared_ptr<const qrx_json::Value>, std::less<>>;

// Whether two sets of shared settings hold the same keys with equal values.
bool sameSettings(const SharedSettings& a, const SharedSettings& b);

// What the file decides for one application: whether Vietnamese is on and which profile applies.
struct ApplicationSettings {
  bool vietnamese = true;
  std::string profileJSON;
  friend bool operator==(const ApplicationSettings&, const ApplicationSettings&) = default;
};

// One reading of the configuration file.
class ConfigSnapshot {
 public:
  // The reading of `contents`, found in the file of identity `identity`; the values equal to
  // those of `previous` are shared with it.
  ConfigSnapshot(ConfigFile::Contents contents, std::optional<platform::FileIdentity> identity,
                 const ConfigSnapshot* previous);

  // The text sessions are made from; absent when the file holds no object of settings (or
  // there is no file), so that sessions take the engine's defaults.
  const std::optional<std::string>& text() const { return text_; }
  // The file's "output_mode" as a session mode: QRX_OUTPUT_PREEDIT or QRX_OUTPUT_REPLACE.
  std::uint32_t outputMode() const { return outputMode_; }
  // Which version of the file was read; absent when there was none.
  const std::optional<platform::FileIdentity>& fileIdentity() const { return fileIdentity_; }
  // Every engine setting but those chosen per application.
  const SharedSettings& shared() const { return shared_; }
  // What the file decides for the application, worked out by the engine once per application.
  const ApplicationSettings& application(const std::optional<std::string>& appID) const;

  // Why the reading does not give Quorvix the settings written in the file; absent when it does.
  // Worked out when first asked: a session made from text() meanwhile tells whether the engine
  // takes the text, and a setting the engine took in the previous reading, with the same value, is
  // not tried again.
  const std::optional<ConfigProblem>& problem() const;
  // Tells the reading whether the engine took text() for a session.
  void sessionMade(bool tookConfiguration) const;

 private:
  std::optional<ConfigProblem> findProblem() const;
  // Whether the engine takes text(), trying the settings whose verdict is not known yet.
  bool engineTakesText() const;

  std::optional<ConfigProblem> readProblem_;
  std::vector<std::pair<std::string, qrx_json::Position>> repeated_;
  // Whether the file's "output_mode" is there and neither of the two modes.
  bool outputModeUnknown_ = false;
  // The settings chosen per application, shared with the previous reading like shared_.
  SharedSettings perApplication_;
  // Whether the engine takes the text, and each setting alone, as far as known.
  mutable std::optional<bool> engineTakesText_;
  mutable std::map<std::string, bool, std::less<>> takes_;
  mutable std::optional<std::optional<ConfigProblem>> problem_;
  std::optional<std::string> text_;
  std::uint32_t outputMode_ = QRX_OUTPUT_REPLACE;
  std::optional<platform::FileIdentity> fileIdentity_;
  SharedSettings shared_;
  // The settings chosen per application, as a configuration of their own.
  std::string perApplicationText_;
  mutable std::map<std::optional<std::string>, ApplicationSettings> applications_;
};

// Titles of what the input method tells the user about its configuration file.
inline constexpr std::string_view kFileNotReadTitle = "Quorvix không đọc được file cấu hình";
inline constexpr std::string_view kValueNotUsedTitle = "Quorvix không dùng một giá trị trong file cấu hình";
// The title for a problem: the file does not read, or one of its values goes unused.
std::string_view problemTitle(const ConfigProblem& problem);

class ConfigWatcher {
 public:
  // `afterChange` runs once every observer has been told of a new reading. Each new reason why
  // the file does not give Quorvix its settings goes to `reports` (when there are any): told when
  // it is news, only traced when it is the last one found at another place.
  ConfigWatcher(platform::Files& files, platform::Timers& timers, NotificationCenter& notifications,
                std::function<void()> afterChange = {}, platform::Reports* reports = nullptr);
  ~ConfigWatcher();
  ConfigWatcher(const ConfigWatcher&) = delete;
  ConfigWatcher& operator=(const ConfigWatcher&) = delete;

  // The last reading.
  const std::shared_ptr<const ConfigSnapshot>& current() const { return current_; }
  // The file as it is now: a change not yet seen is read first, and every observer told.
  const std::shared_ptr<const ConfigSnapshot>& latest();
  // Reads the file now and tells every observer, whether or not it changed.
  void reload();
  // Reads the file when its identity differs from the last reading's (a file that disappears or
  // reappears counts as a change), and then tells every observer.
  void pollConfigFile();

  // Calls `block` after every new reading, until the observation is destroyed.
  [[nodiscard]] std::unique_ptr<NotificationCenter::Observation> observe(std::function<void()> block);

 private:
  void startConfigWatcher();
  void read(std::optional<platform::FileIdentity> identity);
  // Reports the current reading's problem when it is not the last one reported.
  void report();

  ConfigFile configFile_;
  platform::Timers& timers_;
  std::function<void()> afterChange_;
  platform::Reports* reports_;
  std::optional<ConfigProblem> reported_;
  std::shared_ptr<const ConfigSnapshot> current_;
  NotificationCenter readings_;
  std::unique_ptr<platform::Timer> configTimer_;
  std::unique_ptr<NotificationCenter::Observation> configChangedObservation_;
};

}  // namespace quorvix::app
