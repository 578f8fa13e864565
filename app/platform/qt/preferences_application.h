// The preferences window as an application of its own, for code that must not see Qt.
#pragma once

#include <functional>
#include <memory>

#include "platform/preferences_window.h"

namespace quorvix::platform::qt {

// The controller the window runs with, as the application sees it.
class PreferencesPresenter {
 public:
  virtual ~PreferencesPresenter() = default;
  // Brings the window up to date and forward.
  virtual void show() = 0;
};

// Runs a Qt application with the preferences window offering `choices` until the window is
// closed, and returns its exit status. `makeController` wires a controller to the window; the
// controller lives as long as the window runs and shows it at start. One window serves the whole
// desktop session: when another process shows it already, that window is asked to come forward,
// keeping what the user has changed in it, and this returns 0 at once. Without a graphical
// session it says so and returns 1.
int runPreferencesApplication(
    int& argc, char** argv,
    const std::function<std::unique_ptr<PreferencesPresenter>(PreferencesWindow&)>& makeController,
    const PreferencesChoices& choices);

}  // namespace quorvix::platform::qt
