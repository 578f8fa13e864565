#include "platform/fcitx5/server.h"

#include <fcntl.h>
#include <fcitx-utils/standardpath.h>
#include <fcitx/addonmanager.h>
#include <fcitx/instance.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/fcitx5/addon.h"
#include "platform/fcitx5/log.h"
#include "quorvix_app/config_file.h"
#include "quorvix_app/text_pieces.h"

namespace qrx_data {
extern const std::string_view quorvixStaticAddonConf;
extern const std::string_view quorvixInputMethodConf;
}  // namespace qrx_data

namespace quorvix::platform::fcitx5 {

namespace {

namespace fs = std::filesystem;

// A signal handler may only write to a file descriptor: the pipe the instance reads its signals
// from, as Fcitx5's own server does. Set before the handlers, cleared after them.
std::atomic<int> signalPipeWriteEnd{-1};

void forwardSignal(int signal) {
  const auto number = static_cast<unsigned char>(signal);
  [[maybe_unused]] const auto written = ::write(signalPipeWriteEnd.load(), &number, 1);
}

// Stop (the first four), reload the configuration, reap children.
constexpr std::array kForwardedSignals{SIGINT, SIGTERM, SIGQUIT, SIGXCPU, SIGUSR1, SIGCHLD};

class SignalForwarding {
 public:
  SignalForwarding() {
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
      pipe_ = {-1, -1};
      return;
    }
    signalPipeWriteEnd = pipe_[1];
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kForwardedSignals.size(); ++i) {
      sigaction(kForwardedSignals[i], &action, &previous_[i]);
    }
    ::signal(SIGPIPE, SIG_IGN);
  }
  ~SignalForwarding() {
    if (pipe_[0] < 0) return;
    for (std::size_t i = 0; i < kForwardedSignals.size(); ++i)
      sigaction(kForwardedSignals[i], &previous_[i], nullptr);
    signalPipeWriteEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
  }
  SignalForwarding(const SignalForwarding&) = delete;
  SignalForwarding& operator=(const SignalForwarding&) = delete;

  int readEnd() const { return pipe_[0]; }

 private:
  std::array<int, 2> pipe_{};
  std::array<struct sigaction, kForwardedSignals.size()> previous_{};
};

std::optional<fs::path> cacheFolder() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/') return fs::path(cache);
  if (const char* home = std::getenv("HOME"); home && *home == '/') return fs::path(home) / ".cache";
  return std::nullopt;
}

// The folder of the user's own Fcitx5 settings, the profile among them, as Fcitx5 finds it.
fs::path userSettingsFolder() {
  if (const char* given = std::getenv("FCITX_CONFIG_HOME"); given && *given) return given;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return fs::path(config) / "fcitx5";
  const char* home = std::getenv("HOME");
  return fs::path(home ? home : "") / ".config" / "fcitx5";
}

// Fcitx5 learns of addons only from description files in its data folders. The built-in addon's
// are written into a folder of ours; the folder is returned when they are in place.
std::optional<fs::path> writeBuiltInDescriptions(platform::Files& files, const fs::path& cache) {
  const auto folder = cache / app::ConfigFile::bundleID / "fcitx5";
  const auto fileName = std::string(app::ConfigFile::bundleID) + ".conf";
  const std::array<std::pair<fs::path, std::string_view>, 2> descriptions{{
      {folder / "addon" / fileName, qrx_data::quorvixStaticAddonConf},
      {folder / "inputmethod" / fileName, qrx_data::quorvixInputMethodConf},
  }};
  for (const auto& [path, text] : descriptions) {
    if (files.read(path) == text) continue;
    if (!files.createDirectories(path.parent_path()) || !files.writeAtomically(path, text))
      return std::nullopt;
  }
  return folder;
}

// The server has none of the keyboard layouts that the fcitx5 program keeps inside itself, so
// Fcitx5 would drop them from every group it reads, and save the groups so shorn: it writes its
// settings into a folder of the server's own, emptied at every start, and reads the user's from
// behind it. The user's profile is read as it is now and never written.
std::optional<fs::path> prepareOwnSettings(const fs::path& cache, std::string& problem) {
  const auto folder = cache / app::ConfigFile::bundleID / "fcitx5-settings";
  std::error_code error;
  fs::remove_all(folder, error);
  if (!error) fs::create_directories(folder, error);
  if (error) {
    problem =
        "cannot prepare the server's own Fcitx5 settings folder " + folder.string() + ": " + error.message();
    return std::nullopt;
  }
  return folder;
}

// Fcitx5's folders of one kind with `first` before them: the ones it was told in
// `fcitxVariable`, else the ones it finds by default (the "fcitx5" folder of each folder in
// `xdgVariable`, or of `xdgDefault`).
std::string foldersWith(const fs::path& first, const char* fcitxVariable, const char* xdgVariable,
                        std::string_view xdgDefault) {
  if (const char* given = std::getenv(fcitxVariable); given && *given) return first.string() + ":" + given;
  const char* xdg = std::getenv(xdgVariable);
  std::string out = first.string();
  for (const auto folder : app::pieces(xdg && *xdg ? std::string_view(xdg) : xdgDefault, ":")) {
    out += ":" + (fs::path(folder) / "fcitx5").string();
  }
  return out;
}

// Variables set for as long as it lives: Fcitx5 reads its folders once, and the programs it
// starts see the environment as it was.
class EnvironmentOverride {
 public:
  void set(const char* name, const std::string& value) {
    const char* before = std::getenv(name);
    previous_.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvironmentOverride() {
    for (const auto& [name, value] : previous_) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> previous_;
};

}  // namespace

int runInputMethodServer(int argc, char** argv) {
  // From here on a signal to stop waits in the pipe until the event loop runs.
  SignalForwarding signals;
  if (signals.readEnd() < 0) {
    std::cerr << "quorvix: cannot create the signal pipe\n";
    return 1;
  }
  const auto cache = cacheFolder();
  std::string problem = "the cache folder is unknown";
  const auto ownSettings = cache ? prepareOwnSettings(*cache, problem) : std::nullopt;
  if (!ownSettings) {
    std::cerr << "quorvix: " << problem
              << "; the server did not start, so that it cannot change your Fcitx5 "
                 "profile\n";
    return 1;
  }
  const auto userSettings = userSettingsFolder();
  {
    EnvironmentOverride folders;
    folders.set("FCITX_CONFIG_DIRS",
                foldersWith(userSettings, "FCITX_CONFIG_DIRS", "XDG_CONFIG_DIRS", "/etc/xdg"));
    folders.set("FCITX_CONFIG_HOME", ownSettings->string());
    // Where the user has registered Quorvix in their own Fcitx5 data folder, that description is
    // read after ours and has the last word: Fcitx5 then loads the registered shared library, the
    // same addon, and the built-in one stays unused.
    if (const auto descriptions = writeBuiltInDescriptions(platform::systemFiles(), *cache)) {
      folders.set("FCITX_DATA_DIRS", foldersWith(*descriptions, "FCITX_DATA_DIRS", "XDG_DATA_DIRS",
                                                 "/usr/local/share:/usr/share"));
    } else {
      std::cerr << "quorvix: cannot write the addon's description under the cache folder; "
                   "only a registered Quorvix can be used\n";
    }
    fcitx::StandardPath::global();
  }
  FCITX_LOGC(quorvixLog, Info) << "The server reads the Fcitx5 settings in " << userSettings.string()
                               << " and keeps its own in " << ownSettings->string()
                               << ", so that the input methods it does not have stay in the profile there.";
  QuorvixAddonFactory factory;
  fcitx::StaticAddonRegistry registry{{std::string(app::ConfigFile::bundleID), &factory}};
  std::string program = argc > 0 && argv[0] ? argv[0] : std::string(app::ConfigFile::bundleID);
  std::array<char*, 2> arguments{program.data(), nullptr};
  try {
    fcitx::Instance instance(1, arguments.data());
    instance.addonManager().registerDefaultLoader(&registry);
    instance.setSignalPipe(signals.readEnd());
    return instance.exec();
  } catch (const fcitx::InstanceQuietQuit&) {
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "quorvix: the input method server stopped: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace quorvix::platform::fcitx5
