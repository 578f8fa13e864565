// The Qt application of a quorvix process that works on the desktop.
#pragma once

#include <QApplication>
#include <memory>

namespace quorvix::platform::qt {

// The application on the desktop the environment names, or nothing, having said on standard
// error in one line that no graphical session was found, when there is none or it cannot be
// reached. A platform chosen through QT_QPA_PLATFORM (offscreen, say) needs no display.
std::unique_ptr<QApplication> startGraphicalApplication(int& argc, char** argv);

}  // namespace quorvix::platform::qt
