// A Qt 6 window with one line edit, as an ordinary application has; prints the field's text after
// every change, so that the test reads back exactly what the application holds. With "busy" its
// event loop is blocked for 300 ms once a second, as a busy application's often is.
#include <QApplication>
#include <QLineEdit>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <window title> [busy]\n", argv[0]);
    return 2;
  }
  QLineEdit field;
  field.setWindowTitle(QString::fromUtf8(argv[1]));
  QObject::connect(&field, &QLineEdit::textChanged, [](const QString& text) {
    std::printf("TEXT:%s\n", text.toUtf8().constData());
    std::fflush(stdout);
  });
  field.show();
  std::printf("READY\n");
  std::fflush(stdout);
  QTimer busy;
  if (argc > 2 && std::strcmp(argv[2], "busy") == 0) {
    QObject::connect(&busy, &QTimer::timeout, [] { QThread::msleep(300); });
    busy.start(1000);
  }
  QTimer::singleShot(120'000, &application, &QApplication::quit);
  return application.exec();
}
