// The command line's view of Fcitx5's input methods: registration of the Quorvix addon in the
// user's Fcitx5 data folder, and the running Fcitx5's group and current input method over its
// D-Bus controller.
#pragma once

#include <filesystem>
#include <memory>

#include "platform/input_sources.h"

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

}  // namespace quorvix::platform::fcitx5
