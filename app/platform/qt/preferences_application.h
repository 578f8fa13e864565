// The preferences window as an application of its own, for code that must not see Qt.
#pragma once

#include <functional>
#include <memory>

#include "platform/preferences_window.h"

namespace quorvix::platform::qt {

// Runs a Qt application with the preferences window offering `choices` until the window is
// closed, and returns its exit status. `makeController` wires a controller to the window and
// shows it; the controller lives as long as the window runs.
int runPreferencesApplication(
    int& argc, char** argv,
    const std::function<std::unique_ptr<PreferencesActions>(PreferencesWindow&)>& makeController,
    const PreferencesChoices& choices);

}  // namespace quorvix::platform::qt
