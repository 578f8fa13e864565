#include "graphical_session.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

namespace quorvix::platform::qt {
namespace {

void sayNoSession(const QByteArray& why) {
  std::fprintf(stderr, "quorvix: no graphical session was found (%s)\n", why.constData());
  std::fflush(stderr);
}

// The displays the environment names, as a person would write them.
QByteArray namedDisplays() {
  QByteArray named;
  for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"}) {
    const auto value = qgetenv(variable);
    if (value.isEmpty()) continue;
    if (!named.isEmpty()) named += " and ";
    named += QByteArray(variable) + "=" + value;
  }
  return named.isEmpty() ? QByteArray("QT_QPA_PLATFORM=") + qgetenv("QT_QPA_PLATFORM") : named;
}

// While the application starts. Qt ends a process whose platform cannot start by a fatal
// message (an abort); the platform's own warnings before it say the same at length.
void whileStarting(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtFatalMsg) {
    sayNoSession(namedDisplays() + " cannot be opened");
    std::_Exit(1);
  }
  if (QByteArray(context.category).startsWith("qt.qpa.")) return;
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

std::unique_ptr<QApplication> startGraphicalApplication(int& argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    sayNoSession("neither DISPLAY nor WAYLAND_DISPLAY is set");
    return nullptr;
  }
  const auto previous = qInstallMessageHandler(whileStarting);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  return application;
}

}  // namespace quorvix::platform::qt
