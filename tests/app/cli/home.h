// A home folder of its own for runs of the real executable, with an installation laid out the
// way `cmake --install` lays it out, and programs run there as a user runs them.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "install_layout.h"

namespace quorvix::testing {

namespace fs = std::filesystem;
using platform::fcitx5::kAddonFolderFromExecutable;
using platform::fcitx5::kDataFolderFromExecutable;

inline constexpr std::string_view kBuiltExecutable = QUORVIX_EXECUTABLE;
// Where the installed copy lives in the home's folder.
inline constexpr std::string_view kInstalledBin = "prefix/bin";
inline constexpr std::string_view kAddon =
    "[Addon]\nName=Quorvix\nCategory=InputMethod\nType=SharedLibrary\nLibrary=libquorvix-fcitx5\nOnDemand="
    "True\n";
inline constexpr std::string_view kInputMethod = "[InputMethod]\nName=Quorvix\nAddon=quorvix\n";

struct Output {
  std::string out;
  std::string err;
  int exitStatus = -1;
};

class Home {
 public:
  Home() {
    std::string pattern = (fs::temp_directory_path() / "quorvix-cli-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
  }
  ~Home() { fs::remove_all(root_); }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  const fs::path& root() const { return root_; }
  // The session bus the programs find; none by default.
  std::string busAddress;
  // More variables, "NAME=value".
  std::vector<std::string> extraEnvironment;
  // Variables of the home's own set that programs run without.
  std::set<std::string> unsetVariables;
  // Where programs start; the test's own folder when empty.
  fs::path workingDirectory;

  void put(const fs::path& path, std::string_view contents) const {
    fs::create_directories((root_ / path).parent_path());
    std::ofstream(root_ / path, std::ios::binary) << contents;
  }
  std::optional<std::string> contents(const fs::path& path) const {
    std::ifstream in(root_ / path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // A copy of the executable beside a stand-in addon library and its description files.
  fs::path install() const {
    const auto bin = root_ / kInstalledBin;
    fs::create_directories(bin);
    fs::copy_file(kBuiltExecutable, bin / "quorvix");
    const auto relative = fs::relative(bin, root_);
    put((relative / kAddonFolderFromExecutable / "libquorvix-fcitx5.so").lexically_normal(), "ELF");
    const auto data = (relative / kDataFolderFromExecutable).lexically_normal();
    put(data / "addon/quorvix.conf", kAddon);
    put(data / "inputmethod/quorvix.conf", kInputMethod);
    return bin / "quorvix";
  }
  fs::path installedAddonWithoutSuffix() const {
    return (root_ / kInstalledBin / kAddonFolderFromExecutable / "libquorvix-fcitx5").lexically_normal();
  }

  std::vector<std::string> environment() const {
    std::vector<std::string> environment{
        "HOME=" + root_.string(),
        "XDG_CONFIG_HOME=" + (root_ / "config").string(),
        "XDG_DATA_HOME=" + (root_ / "data").string(),
        "XDG_CONFIG_DIRS=" + (root_ / "system-config").string(),
        "XDG_DATA_DIRS=" + (root_ / "system-data").string(),
        "XDG_RUNTIME_DIR=" + (root_ / "run").string(),
        "DBUS_SESSION_BUS_ADDRESS=" + busAddress,
        "PATH=/usr/bin:/bin",
    };
    std::erase_if(environment, [this](const std::string& variable) {
      return unsetVariables.contains(variable.substr(0, variable.find('=')));
    });
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    }
    return environment;
  }

  // Starts `program` with its output going to files named after `name`; its process, or -1.
  pid_t start(const fs::path& program, const std::vector<std::string>& arguments,
              const std::string& name) const {
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto environ = environment();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const auto out = (root_ / (name + ".out")).string(), err = (root_ / (name + ".err")).string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    pid_t child = -1;
    auto argvPointers = pointers(argv), environmentPointers = pointers(environ);
    if (posix_spawn(&child, argv[0].c_str(), &actions, nullptr, argvPointers.data(),
                    environmentPointers.data()) != 0) {
      child = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
  }

  Output run(const fs::path& executable, const std::vector<std::string>& arguments) const {
    Output output;
    if (const auto child = start(executable, arguments, "run"); child > 0) {
      int status = 0;
      waitpid(child, &status, 0);
      output.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    output.out = contents("run.out").value_or("");
    output.err = contents("run.err").value_or("");
    return output;
  }

 private:
  static std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
  }

  fs::path root_;
};

// A daemon that stops when the test ends, and after two minutes should the test itself be stopped.
struct Process {
  Process(const Home& home, const std::string& program, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"120", program});
    id = home.start("/usr/bin/timeout", arguments, fs::path(program).filename());
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process() {
    if (id <= 0) return;
    kill(id, SIGTERM);
    waitpid(id, nullptr, 0);
  }
  pid_t id = -1;
};

template <class Ready>
bool waitFor(Ready ready) {
  using namespace std::chrono_literals;
  for (auto deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
    if (ready()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

}  // namespace quorvix::testing
