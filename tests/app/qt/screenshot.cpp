// Saves a picture of the preferences window as a new user first sees it, for the documentation.
#include <QApplication>
#include <QPixmap>
#include <iostream>

#include "platform/qt/preferences_window.h"
#include "quorvix_app/preferences_window.h"
#include "temp_files.h"

namespace {

class SomeApplications : public quorvix::platform::RunningApplications {
 public:
  std::vector<quorvix::platform::RunningApplication> regularApplications() override {
    return {{"firefox-esr", "firefox-esr"}, {"gedit", "gedit"}, {"kate", "kate"}};
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: preferences_screenshot <file.png>\n";
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  quorvix::app::testing::TempFiles files;
  SomeApplications applications;
  quorvix::app::NotificationCenter notifications;
  quorvix::platform::qt::QtPreferencesWindow window(quorvix::app::preferencesChoices());
  quorvix::app::PreferencesWindowController controller({files, applications, notifications}, window);
  controller.show();
  QApplication::processEvents();
  return window.widget().grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
