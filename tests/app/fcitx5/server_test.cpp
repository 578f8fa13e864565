// The input method server as a process of its own: no display, no D-Bus, HOME in a folder of its
// own whose Fcitx5 profile asks for Quorvix and for an input method nobody provides.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <thread>

#include "fcitx5_test.h"

namespace quorvix::platform::fcitx5::testing {
namespace {

std::string invalidItem(std::string_view name) {
  return "Group Item " + std::string(name) + " in group Default is not valid";
}

TEST(InputMethodServer, StartsWhateverItsArgumentsWithQuorvixBuiltInAndStopsOnSigterm) {
  if (!addonBuiltIn()) GTEST_SKIP() << "run once, with the built-in test";
  const auto folder = home() / "server";
  std::filesystem::create_directories(folder / ".config/fcitx5");
  std::ofstream(folder / ".config/fcitx5/profile")
      << "[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=quorvix\n\n"
         "[Groups/0/Items/0]\nName=nobodys-input-method\nLayout=\n\n"
         "[Groups/0/Items/1]\nName=quorvix\nLayout=\n\n[GroupOrder]\n0=Default\n";
  std::vector<std::string> environment{"HOME=" + folder.string(), "XDG_RUNTIME_DIR=" + folder.string()};
  for (const char* name : {"PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
  }
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program = QRX_SERVER_EXECUTABLE, unknownToFcitx = "--help";
  char* argv[] = {program.data(), unknownToFcitx.data(), nullptr};
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, (folder / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, (folder / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t server = 0;
  ASSERT_EQ(posix_spawn(&server, program.c_str(), &files, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&files);

  // Running once Fcitx5 has read the profile and dropped the input method nobody provides.
  int status = 0;
  pid_t ended = 0;
  while (fileText(folder / "err").find(invalidItem("nobodys-input-method")) == std::string::npos &&
         (ended = waitpid(server, &status, WNOHANG)) == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(ended, 0) << "the server stopped by itself: " << fileText(folder / "out");
  kill(server, SIGTERM);
  ASSERT_EQ(waitpid(server, &status, 0), server);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  EXPECT_EQ(fileText(folder / "err").find(invalidItem("quorvix")), std::string::npos);
  EXPECT_NE(fileText(folder / ".cache/quorvix/fcitx5/addon/quorvix.conf").find("Type=StaticLibrary"),
            std::string::npos);
}

}  // namespace
}  // namespace quorvix::platform::fcitx5::testing
