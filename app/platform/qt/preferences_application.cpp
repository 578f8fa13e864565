#include "preferences_application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include "graphical_session.h"
#include "preferences_window.h"

namespace quorvix::platform::qt {
namespace {

// The name on the session bus of the process that shows the window, and what it answers to.
const QString kService = QStringLiteral("org.quorvix.Preferences");
const QString kPath = QStringLiteral("/org/quorvix/Preferences");
const QString kInterface = QStringLiteral("org.quorvix.Preferences");
const QString kShow = QStringLiteral("Show");
// A window whose process ends just as it is asked for gives way to the next one; a few rounds of
// that mean something else is wrong, and this process then shows a window of its own.
constexpr int kAttempts = 3;

// Answers the requests for the window that other processes send.
class WindowRequests final : public QDBusVirtualObject {
 public:
  std::function<void()> show;

  QString introspect(const QString&) const override {
    return QStringLiteral("<interface name=\"%1\"><method name=\"%2\"/></interface>").arg(kInterface, kShow);
  }
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != kInterface || message.member() != kShow) return false;
    if (show) show();
    connection.send(message.createReply());
    return true;
  }
};

// Whether another process shows the window, which then was asked to come forward. Without a
// session bus nobody can be asked, and every process shows a window of its own.
bool shownElsewhere(QDBusConnection& bus, WindowRequests& requests) {
  if (!bus.isConnected()) return false;
  // Answering before owning the name, so that nobody who finds the name finds nobody behind it.
  if (!bus.registerVirtualObject(kPath, &requests)) return false;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (bus.registerService(kService)) return false;
    const auto reply = bus.call(QDBusMessage::createMethodCall(kService, kPath, kInterface, kShow));
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
  }
  return false;
}

}  // namespace

int runPreferencesApplication(
    int& argc, char** argv,
    const std::function<std::unique_ptr<PreferencesPresenter>(PreferencesWindow&)>& makeController,
    const PreferencesChoices& choices) {
  const auto application = startGraphicalApplication(argc, argv);
  if (!application) return 1;
  auto bus = QDBusConnection::sessionBus();
  WindowRequests requests;
  if (shownElsewhere(bus, requests)) return 0;
  QtPreferencesWindow window(choices);
  const auto controller = makeController(window);
  // A request can only find the window open (closing it ends this process), so it only brings the
  // window forward: loading the file again would throw away edits not yet saved.
  requests.show = [&window] { window.show(); };
  controller->show();
  const int status = QApplication::exec();
  // The next request starts a window of its own rather than waiting on this process's end.
  bus.unregisterService(kService);
  bus.unregisterObject(kPath);
  return status;
}

}  // namespace quorvix::platform::qt
