// The quorvix executable: the application's process entry over the Linux platform, Fcitx5 and
// the Qt preferences window.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/fcitx5/input_sources.h"
#include "platform/fcitx5/profile_preference.h"
#include "platform/fcitx5/reports.h"
#include "platform/fcitx5/running_programs.h"
#include "platform/fcitx5/server.h"
#include "platform/files.h"
#include "platform/qt/clipboard_application.h"
#include "platform/qt/preferences_application.h"
#include "quorvix_app/notification_center.h"
#include "quorvix_app/preferences_window.h"
#include "quorvix_app/process_entry.h"

namespace {

using namespace quorvix;

// The window's controller as the Qt application runs it.
class Preferences final : public platform::qt::PreferencesPresenter {
 public:
  Preferences(app::PreferencesServices services, platform::PreferencesWindow& window)
      : controller_(services, window) {}
  void show() override { controller_.show(); }

 private:
  app::PreferencesWindowController controller_;
};

int runPreferences(int& argc, char** argv) {
  const auto runningApplications = platform::fcitx5::makeRunningApplications();
  // Nobody in this process listens: the input method learns of a save through its file poll.
  app::NotificationCenter notifications;
  return platform::qt::runPreferencesApplication(
      argc, argv,
      [&](platform::PreferencesWindow& window) {
        return std::make_unique<Preferences>(
            app::PreferencesServices{platform::systemFiles(), *runningApplications, notifications}, window);
      },
      app::preferencesChoices());
}

}  // namespace

int main(int argc, char** argv) {
  const auto inputSources =
      platform::fcitx5::makeInputSources(platform::fcitx5::installedRegistrationPaths());
  const auto profile = platform::fcitx5::makeProfilePreference();
  // The clipboard process's failures, for whoever reads the log of the Fcitx5 that started it.
  platform::fcitx5::LogReports clipboardLog;
  app::ProcessServices services{
      .files = platform::systemFiles(),
      .inputSources = *inputSources,
      .enabledInputMethods = *profile,
      .runPreferences = [&] { return runPreferences(argc, argv); },
      .runClipboard =
          [&](const auto& transform) {
            return platform::qt::runClipboardApplication(argc, argv, transform, [&](std::string_view why) {
              clipboardLog.warn("The clipboard conversion failed: " + std::string(why));
            });
          },
      .runServer = [&] { return platform::fcitx5::runInputMethodServer(argc, argv); },
      .out = std::cout,
      .err = std::cerr,
      .reports = &clipboardLog,
  };
  return app::processMain(std::vector<std::string>(argv + 1, argv + argc), services);
}
