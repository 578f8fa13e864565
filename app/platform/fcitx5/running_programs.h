// The programs Fcitx5 serves, as the preferences window lists running applications.
#pragma once

#include <memory>

#include "platform/preferences_window.h"

namespace quorvix::platform::fcitx5 {

// The programs of the input contexts the running Fcitx5 serves; none when it does not run.
std::unique_ptr<RunningApplications> makeRunningApplications();

}  // namespace quorvix::platform::fcitx5
