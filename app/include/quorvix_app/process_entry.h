// The quorvix executable: the input method server, and a maintenance tool run from a terminal
// that registers, enables, repairs, selects and removes the input method with the framework,
// prints its status, or opens the preferences window.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clipboard.h"
#include "platform/reports.h"
#include "platform/files.h"
#include "platform/input_sources.h"
#include "quorvix_app/config_file.h"

namespace quorvix::app {

// The input methods whose identifier starts with this are the application's own: those the
// addon offers, all named after it.
inline constexpr std::string_view inputSourcePrefix = ConfigFile::bundleID;

struct ProcessServices {
  platform::Files& files;
  platform::InputSources& inputSources;
  platform::EnabledInputMethodsPreference& enabledInputMethods;
  // Shows the preferences window and runs until it is closed; the process's exit status.
  std::function<int()> runPreferences;
  // Runs `transform` on the desktop's clipboard. When it succeeds, serves the clipboard's new
  // text to every application until another program takes the clipboard, then gives 0; when it
  // fails, plays the failure signal and gives 1.
  std::function<int(const std::function<bool(platform::Clipboard&)>& transform)> runClipboard;
  // Runs the input method server until the process is stopped; the process's exit status.
  std::function<int()> runServer;
  std::ostream& out;
  // Why a maintenance step failed, for the person at the terminal.
  std::ostream& err;
  // Where the clipboard process, which the input method starts with no terminal to read it, says
  // why its conversion failed: the input method's log. On `err` when absent.
  platform::Reports* reports = nullptr;
};

// The application's own input methods, installed whether enabled or not, in the framework's
// order; empty when the framework's list cannot be obtained.
std::vector<platform::InputSource> quorvixSources(platform::InputSources& sources);
// The source's identifier, or "?" when it has none.
std::string sourceID(const platform::InputSource& source);
void printStatus(ProcessServices& services);

// The repair fallback: the application's entry in the user's stored list of enabled input
// methods, under its macOS name. On Linux the list is the groups of the user's Fcitx5 profile.
struct InputSourceRegistrar {
  static bool isEnabled(platform::EnabledInputMethodsPreference& preference);
  // Adds the entry unless one is there. Fails, leaving the list as it is, when the list cannot
  // be read or written.
  static platform::InputSourceStatus ensureEnabled(platform::EnabledInputMethodsPreference& preference);
  // Takes out every entry of the application's own input methods. Fails, leaving the list as it
  // is, when the list cannot be read or written.
  static platform::InputSourceStatus ensureRemoved(platform::EnabledInputMethodsPreference& preference);
};

// Carries out the maintenance options among `arguments` (the program name left out): the exit
// status when there was one, 0 only when every step succeeded; nothing when there was none and
// the process is to become the input method server.
std::optional<int> maintenance(const std::vector<std::string>& arguments, ProcessServices& services);

// The input menu's clipboard items each start the executable with this as its first argument,
// followed by the item's "op" and "charset". It counts only as the first argument, so that it
// and its operands never mix with the maintenance options.
inline constexpr std::string_view transformClipboardOption = "--transform-clipboard";

// The process from start to end: makes sure the configuration file exists, then either converts
// the clipboard, carries out the maintenance options or runs the server. A configuration file
// that could not be created is reported, and fails a maintenance run; without a home folder
// nothing but the configuration file is attempted, and the run fails.
int processMain(const std::vector<std::string>& arguments, ProcessServices& services);

}  // namespace quorvix::app
