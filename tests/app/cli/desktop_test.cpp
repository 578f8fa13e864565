// The executable on a desktop of the test's own, a virtual X server and a session bus: a clipboard
// conversion serves the X clipboard until another program takes it, and a second request for the
// preferences window leaves the first window alone. tests/app/e2e/desktop.sh goes through the
// input menu; this runs in every build, the sanitizers' included.
#include <fcitx-utils/dbus/bus.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "home.h"

namespace quorvix::testing {
namespace {

constexpr std::uint64_t kTimeout = 5'000'000;

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"/usr/bin/Xvfb", "/usr/bin/dbus-daemon", "/usr/bin/xclip"}) {
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

  void copy(std::string_view text) {
    home.put("copied", text);
    ASSERT_EQ(home.run("/usr/bin/xclip", {"-selection", "clipboard", "-i", (home.root() / "copied").string()})
                  .exitStatus,
              0);
  }
  std::string pasted() { return home.run("/usr/bin/xclip", {"-selection", "clipboard", "-o"}).out; }

  Home home;
  std::unique_ptr<Process> bus, display;
};

bool running(pid_t child) { return waitpid(child, nullptr, WNOHANG) == 0; }

TEST_F(Desktop, AConversionServesTheClipboardUntilAnotherProgramTakesIt) {
  const auto nothing = home.run(kBuiltExecutable, {"--transform-clipboard", "strip", ""});
  EXPECT_EQ(nothing.exitStatus, 1);
  // A warning in the addon's log category, on the standard error the Fcitx5 that started it logs to.
  EXPECT_TRUE(nothing.err.starts_with("W")) << nothing.err;
  EXPECT_TRUE(nothing.err.ends_with(
      "] The clipboard conversion failed: the clipboard holds no text; it was left as it was\n"))
      << nothing.err;
  EXPECT_EQ(std::count(nothing.err.begin(), nothing.err.end(), '\n'), 1) << nothing.err;

  copy("Tiếng Việt");
  const auto conversion =
      home.start(kBuiltExecutable, {"--transform-clipboard", "encode", "viqr"}, "conversion");
  ASSERT_GT(conversion, 0);
  EXPECT_TRUE(waitFor([&] { return pasted() == "Tie^'ng Vie^.t"; })) << pasted();
  EXPECT_TRUE(running(conversion));
  copy("khác");
  int status = -1;
  EXPECT_TRUE(waitFor([&] { return waitpid(conversion, &status, WNOHANG) == conversion; }));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << *home.contents("conversion.err");
  EXPECT_EQ(pasted(), "khác");
}

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
