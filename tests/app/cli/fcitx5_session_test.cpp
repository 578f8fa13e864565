// The maintenance options against a real Fcitx5 on a session bus of the test's own: register,
// enable and select reach the running daemon, and the preferences window's running applications
// are the programs of its input contexts.
#include <fcitx-utils/dbus/bus.h>
#include <fcitx-utils/dbus/message.h>
#include <fcitx-utils/dbus/objectvtable.h>
#include <fcitx-utils/event.h>
#include <fcitx-utils/misc.h>
#include <gtest/gtest.h>

#include <functional>

#include "home.h"
#include "platform/fcitx5/running_programs.h"

namespace quorvix::testing {
namespace {

// The desktop's notification service, as the test's own: it keeps what it was asked to show.
class Notifications : public fcitx::dbus::ObjectVTable<Notifications> {
 public:
  struct Shown {
    std::string application, summary, body;
  };
  std::vector<Shown> shown;
  std::function<void()> onShown;

 private:
  // Read by hand: the hints, a map of variants, are left unread.
  bool notify(fcitx::dbus::Message message) {
    Shown notification;
    std::uint32_t replaces = 0;
    std::string icon;
    message >> notification.application >> replaces >> icon >> notification.summary >> notification.body;
    shown.push_back(std::move(notification));
    auto reply = message.createReply();
    reply << static_cast<std::uint32_t>(shown.size());
    reply.send();
    if (onShown) onShown();
    return true;
  }
  std::vector<std::string> capabilities() { return {"body"}; }

  fcitx::dbus::ObjectVTableMethod notifyMethod{
      this, "Notify", "susssasa{sv}i", "u",
      [this](fcitx::dbus::Message message) { return notify(std::move(message)); }};
  FCITX_OBJECT_VTABLE_METHOD(capabilities, "GetCapabilities", "", "as");
};

using fcitx::dbus::DBusStruct;

constexpr const char* kService = "org.fcitx.Fcitx5";
constexpr std::uint64_t kTimeout = 5'000'000;

// An application's text field that takes the keyboard, as a toolkit asks Fcitx5 for one.
bool focusField(fcitx::dbus::Bus& bus, const std::string& program) {
  auto create = bus.createMethodCall(kService, "/org/freedesktop/portal/inputmethod",
                                     "org.fcitx.Fcitx.InputMethod1", "CreateInputContext");
  create << std::vector<DBusStruct<std::string, std::string>>{{"program", program}};
  auto reply = create.call(kTimeout);
  fcitx::dbus::ObjectPath path;
  reply >> path;
  if (reply.isError() || !reply) return false;
  auto focus =
      bus.createMethodCall(kService, path.path().c_str(), "org.fcitx.Fcitx.InputContext1", "FocusIn");
  return !focus.call(kTimeout).isError();
}

struct Step {
  std::vector<std::string> arguments;
  const char* out;
  int exitStatus;
  bool fieldFocusedFirst;
};

const Step kSteps[] = {
    {{"--select-input-source"}, "", 0, false},
    {{"--repair-input-source"}, "register status: 0\nenable quorvix: 0\nprefs fallback: true\n", 0, false},
    {{"--status"},
     "quorvix: enabled=true selected=false\nprefs fcitx5 profile: true\noutput_mode: replace\n",
     0,
     false},
    {{"--enable-input-source"}, "", 0, false},
    // Fcitx5 selects for the field that last had the keyboard, and there has been none.
    {{"--select-input-source"}, "select quorvix: 2\n", 1, false},
    {{"--select-input-source", "--status"},
     "quorvix: enabled=true selected=false\nprefs fcitx5 profile: true\noutput_mode: replace\nselect "
     "quorvix: 0\n",
     0,
     true},
    {{"--status"},
     "quorvix: enabled=true selected=true\nprefs fcitx5 profile: true\noutput_mode: replace\n",
     0,
     false},
    // The way back: the running Fcitx5 lets go of it in every group and saves its profile so.
    {{"--remove-input-source"}, "disable quorvix: 0\nprefs removed: true\nunregister status: 0\n", 0, false},
    {{"--status"},
     "quorvix: enabled=false selected=false\nprefs fcitx5 profile: false\noutput_mode: replace\n",
     0,
     false},
};

// Fcitx5 on a desktop's session bus, with the addon as built registered for the user: a
// configuration Quorvix cannot use is told as a notification through Fcitx5's notifications
// addon, naming the file, the place and what was wrong, never the file's values.
TEST(Fcitx5Session, AConfigurationQuorvixCannotUseIsToldAsANotification) {
#ifdef QUORVIX_ADDON_SANITIZED
  GTEST_SKIP() << "the fcitx5 daemon cannot load an addon built with the sanitizers";
#endif
  for (const char* program : {"/usr/bin/fcitx5", "/usr/bin/dbus-daemon"}) {
    if (!fs::exists(program)) GTEST_SKIP() << program << " is not installed";
  }
  Home home;
  home.busAddress = "unix:path=" + (home.root() / "bus").string();
  const Process bus(home, "/usr/bin/dbus-daemon", {"--session", "--nofork", "--address=" + home.busAddress});
  ASSERT_TRUE(waitFor([&] { return fs::exists(home.root() / "bus"); }));
  const auto library = fs::path(QUORVIX_ADDON_LIBRARY);
  home.put("data/fcitx5/addon/quorvix.conf",
           "[Addon]\nName=Quorvix\nCategory=InputMethod\nType=SharedLibrary\nLibrary=" +
               (library.parent_path() / library.stem()).string() + "\nOnDemand=True\n");
  home.put("data/fcitx5/inputmethod/quorvix.conf", kInputMethod);
  home.put("config/quorvix/config.json",
           R"({"input_method":"vni","tone_style":"sideways","macros":{"bm":"bí mật"}})");
  // Quorvix first in the group Fcitx5 starts with, so that Fcitx5 loads it at once.
  home.put(
      "config/fcitx5/profile",
      "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=quorvix\n\n[Groups/0/Items/0]\nName=quorvix\n"
      "Layout=\n\n[GroupOrder]\n0=Default\n");

  fcitx::EventLoop loop;
  fcitx::dbus::Bus client(home.busAddress);
  client.attachEventLoop(&loop);
  Notifications desktop;
  ASSERT_TRUE(
      client.addObjectVTable("/org/freedesktop/Notifications", "org.freedesktop.Notifications", desktop));
  ASSERT_TRUE(
      client.requestName("org.freedesktop.Notifications", fcitx::Flags<fcitx::dbus::RequestNameFlag>(0)));
  desktop.onShown = [&] { loop.exit(); };
  const auto deadline = loop.addTimeEvent(CLOCK_MONOTONIC, fcitx::now(CLOCK_MONOTONIC) + 60'000'000, 0,
                                          [&](fcitx::EventSourceTime*, std::uint64_t) {
                                            loop.exit();
                                            return true;
                                          });
  const Process fcitx5(home, "/usr/bin/fcitx5",
                       {"--disable=xcb,wayland,waylandim,xim,classicui,kimpanel,notificationitem"});
  loop.exec();

  const auto log = home.contents("fcitx5.err").value_or("");
  ASSERT_EQ(desktop.shown.size(), 1u) << log;
  EXPECT_EQ(desktop.shown[0].application, "Quorvix");
  EXPECT_EQ(desktop.shown[0].summary, "Quorvix không đọc được file cấu hình");
  EXPECT_EQ(desktop.shown[0].body,
            (home.root() / "config/quorvix/config.json").string() +
                ": line 1, column 45: \"tone_style\" does not take this text; Quorvix uses "
                "its default settings until the file reads again");
  EXPECT_NE(log.find(desktop.shown[0].body), std::string::npos) << "and in Fcitx5's log: " << log;
  EXPECT_EQ(log.find("bí mật"), std::string::npos);
}

TEST(Fcitx5Session, MaintenanceReachesTheRunningFcitx5) {
  for (const char* program : {"/usr/bin/fcitx5", "/usr/bin/dbus-daemon"}) {
    if (!fs::exists(program)) GTEST_SKIP() << program << " is not installed";
  }
  Home home;
  const auto executable = home.install();
  home.busAddress = "unix:path=" + (home.root() / "bus").string();
  const Process bus(home, "/usr/bin/dbus-daemon", {"--session", "--nofork", "--address=" + home.busAddress});
  ASSERT_TRUE(waitFor([&] { return fs::exists(home.root() / "bus"); }));
  const Process fcitx5(home, "/usr/bin/fcitx5",
                       {"--disable=xcb,wayland,waylandim,xim,classicui,kimpanel,notificationitem"});
  fcitx::dbus::Bus client(home.busAddress);
  ASSERT_TRUE(waitFor([&] { return !client.serviceOwner(kService, kTimeout).empty(); }))
      << *home.contents("fcitx5.err");

  for (const auto& step : kSteps) {
    if (step.fieldFocusedFirst) {
      ASSERT_TRUE(focusField(client, "gedit"));
    }
    const auto output = home.run(executable, step.arguments);
    EXPECT_EQ(output.out, step.out) << step.arguments[0] << "\n" << output.err;
    EXPECT_EQ(output.exitStatus, step.exitStatus) << step.arguments[0];
  }

  EXPECT_EQ(home.contents("config/fcitx5/profile").value_or("").find("quorvix"), std::string::npos);
  EXPECT_FALSE(home.contents("data/fcitx5/addon/quorvix.conf"));
  EXPECT_FALSE(home.contents("data/fcitx5/inputmethod/quorvix.conf"));

  setenv("DBUS_SESSION_BUS_ADDRESS", home.busAddress.c_str(), 1);
  const auto applications = platform::fcitx5::makeRunningApplications()->regularApplications();
  ASSERT_EQ(applications.size(), 1u);
  EXPECT_EQ(applications[0].localizedName, "gedit");
  EXPECT_EQ(applications[0].bundleIdentifier, "gedit");
}

}  // namespace
}  // namespace quorvix::testing
