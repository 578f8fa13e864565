// The executable on a desktop of the test's own, a virtual X server and a session bus: a second
// request for the preferences window leaves the first window alone. This runs in every build, the
// sanitizers' included.
#include <fcitx-utils/dbus/bus.h>
#include <gtest/gtest.h>

#include "home.h"

namespace quorvix::testing {
namespace {

constexpr std::uint64_t kTimeout = 5'000'000;

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"/usr/bin/Xvfb", "/usr/bin/dbus-daemon"}) {
      if (!fs::exists(program)) GTEST_SKIP() << program << " is not installed";
    }
    home.busAddress = "unix:path=" + (home.root() / "bus").string();
    bus = std::make_unique<Process>(
        home, "/usr/bin/dbus-daemon",
        std::vector<std::string>{"--session", "--nofork", "--address=" + home.busAddress});
    // The X server writes its display's number once it takes connections.
    display = std::make_unique<Process>(
        home, "/usr/bin/Xvfb",
        std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    ASSERT_TRUE(waitFor([&] { return home.contents("Xvfb.out").value_or("").ends_with('\n'); }));
    ASSERT_TRUE(waitFor([&] { return fs::exists(home.root() / "bus"); }));
    auto number = *home.contents("Xvfb.out");
    number.pop_back();
    home.extraEnvironment = {"DISPLAY=:" + number};
  }

  Home home;
  std::unique_ptr<Process> bus, display;
};

bool running(pid_t child) { return waitpid(child, nullptr, WNOHANG) == 0; }

TEST_F(Desktop, ASecondPreferencesWindowRequestLeavesTheFirstWindow) {
  constexpr const char* kName = "org.quorvix.Preferences";
  const Process first(home, std::string(kBuiltExecutable), {"--preferences"});
  fcitx::dbus::Bus client(home.busAddress);
  std::string owner;
  ASSERT_TRUE(waitFor([&] { return !(owner = client.serviceOwner(kName, kTimeout)).empty(); }))
      << home.contents("quorvix.err").value_or("");

  const auto second = home.run(kBuiltExecutable, {"--preferences"});
  EXPECT_EQ(second.exitStatus, 0) << second.err;
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(client.serviceOwner(kName, kTimeout), owner);
  EXPECT_TRUE(running(first.id));
}

}  // namespace
}  // namespace quorvix::testing
