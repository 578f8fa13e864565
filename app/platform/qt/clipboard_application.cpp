#include "clipboard_application.h"

#include <QClipboard>
#include <QMimeData>

#include "graphical_session.h"

namespace quorvix::platform::qt {
namespace {

class QtClipboard final : public Clipboard {
 public:
  explicit QtClipboard(QClipboard& clipboard) : clipboard_(clipboard) {}

  std::optional<std::string> string() override {
    const auto* data = clipboard_.mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText()) return std::nullopt;
    const auto text = data->text();
    if (text.isEmpty()) return std::nullopt;
    return text.toUtf8().toStdString();
  }
  void setString(const std::string& text) override {
    clipboard_.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                       QClipboard::Clipboard);
  }

 private:
  QClipboard& clipboard_;
};

}  // namespace

int runClipboardApplication(int& argc, char** argv, const std::function<bool(Clipboard&)>& transform,
                            const std::function<void(std::string_view why)>& failed) {
  // A program without a window may take the clipboard on X11 whenever it likes, but on Wayland
  // only while it has the keyboard; Wayland desktops keep the clipboard of their X11 support in
  // step with their own, so that one serves, whatever platform Qt would choose.
  if (!qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "xcb");
  const auto application = startGraphicalApplication(argc, argv);
  if (!application) return 1;
  auto& clipboard = *QGuiApplication::clipboard();
  QtClipboard text(clipboard);
  const auto signalFailure = [] {
    QApplication::beep();
    return 1;
  };
  if (!transform(text)) return signalFailure();
  if (!clipboard.ownsClipboard()) {
    failed("the desktop did not let this process take the clipboard");
    return signalFailure();
  }
  QObject::connect(&clipboard, &QClipboard::changed, [&clipboard](QClipboard::Mode mode) {
    if (mode == QClipboard::Clipboard && !clipboard.ownsClipboard()) QCoreApplication::quit();
  });
  return QApplication::exec();
}

}  // namespace quorvix::platform::qt
