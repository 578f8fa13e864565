// The command line's view of Fcitx5: its input methods, registration of the Quorvix addon in the
// user's Fcitx5 data folder, the running Fcitx5's group and current input method over its D-Bus
// controller, the user's Fcitx5 profile, and the programs it serves.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/input_sources.h"
#include "platform/preferences_window.h"

namespace quorvix::platform::fcitx5 {

// The files registration copies and points to, and where it writes.
struct RegistrationPaths {
  std::filesystem::path addonLibrary;   // the installed libquorvix-fcitx5.so
  std::filesystem::path installedData;  // the installed folder with addon/ and inputmethod/quorvix.conf
  std::filesystem::path userData;       // the user's Fcitx5 data folder
};

// The installation the running executable belongs to, and the user's folder as Fcitx5 finds it.
RegistrationPaths installedRegistrationPaths();

// Installed input methods: those of the running Fcitx5, or when none runs the input-method
// description files Fcitx5 would read at start (never enabled nor selected then).
std::unique_ptr<InputSources> makeInputSources(RegistrationPaths paths);

// The enabled input methods stored in the user's Fcitx5 profile: the items of every group; new
// entries go to the end of the first group, which Fcitx5 starts with.
std::unique_ptr<EnabledInputMethodsPreference> makeProfilePreference();

// The programs of the input contexts the running Fcitx5 serves; none when it does not run.
std::unique_ptr<RunningApplications> makeRunningApplications();

}  // namespace quorvix::platform::fcitx5
