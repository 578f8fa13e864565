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
  // The user's Fcitx5 data folder; when empty, the one Fcitx5 finds, looked up at registration.
  std::filesystem::path userData;
};

// The installation the running executable belongs to, and the user's folder as Fcitx5 finds it.
// Asks nothing of Fcitx5, which needs a home folder to answer.
RegistrationPaths installedRegistrationPaths();

// Installed input methods: those of the running Fcitx5, or when none runs the input-method
// description files Fcitx5 would read at start (never enabled nor selected then).
std::unique_ptr<InputSources> makeInputSources(RegistrationPaths paths);

}  // namespace quorvix::platform::fcitx5
