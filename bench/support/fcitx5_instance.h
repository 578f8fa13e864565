// Benchmarks that run inside a real Fcitx5 instance, in-process, with Quorvix built in and
// Fcitx5's test input method beside it: HOME and the XDG folders in a fresh temporary folder, no
// display and no D-Bus. The benchmarks run once the instance's event loop has started.
#pragma once

#include <fcitx-utils/eventdispatcher.h>
#include <fcitx-utils/log.h>
#include <fcitx-utils/standardpath.h>
#include <fcitx-utils/testing.h>
#include <fcitx/addonmanager.h>
#include <fcitx/inputmethodgroup.h>
#include <fcitx/inputmethodmanager.h>
#include <fcitx/instance.h>
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "platform/fcitx5/addon.h"

namespace fcitx5_bench {

struct Running {
  fcitx::Instance* instance = nullptr;
  std::filesystem::path home;
  // Where Quorvix keeps its configuration file.
  std::filesystem::path configFolder() const { return home / "config" / "quorvix"; }
};

inline Running& running() {
  static Running instance;
  return instance;
}

// Runs the benchmarks of the command line with `services` given to Quorvix.
inline int runBenchmarks(int argc, char** argv, quorvix::platform::fcitx5::AddonServices services = {}) {
  benchmark::Initialize(&argc, argv);
  auto& run = running();
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvix-bench-XXXXXX").string();
  run.home = ::mkdtemp(pattern.data());
  for (const auto& [name, folder] : {std::pair{"HOME", ""},
                                     {"XDG_CONFIG_HOME", "config"},
                                     {"XDG_DATA_HOME", "data"},
                                     {"XDG_CACHE_HOME", "cache"}}) {
    std::filesystem::create_directories(run.home / folder);
    ::setenv(name, (run.home / folder).c_str(), 1);
  }
  std::filesystem::create_directories(run.configFolder());
  ::setenv("DISPLAY", "", 1);
  ::setenv("WAYLAND_DISPLAY", "", 1);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "", 1);
  fcitx::setupTestingEnvironment(
      QRX_BINARY_DIR, {fcitx::StandardPath::fcitxPath("addondir")},
      {QRX_SOURCE_DIR "/app/platform/fcitx5/data/static", QRX_SOURCE_DIR "/app/platform/fcitx5/data",
       fcitx::StandardPath::fcitxPath("pkgdatadir")});
  // The test input method reports every key it sees; reporting is not what is measured.
  fcitx::Log::setLogRule("*=2");
  char program[] = "bench", disable[] = "--disable=all", enable[] = "--enable=testim,quorvix";
  char* arguments[] = {program, disable, enable};
  {
    quorvix::platform::fcitx5::QuorvixAddonFactory factory(std::move(services));
    fcitx::StaticAddonRegistry registry{{"quorvix", &factory}};
    fcitx::Instance instance(3, arguments);
    instance.addonManager().registerDefaultLoader(&registry);
    run.instance = &instance;
    fcitx::EventDispatcher dispatcher;
    dispatcher.attach(&instance.eventLoop());
    dispatcher.schedule([&] {
      auto group = instance.inputMethodManager().currentGroup();
      group.inputMethodList() = {fcitx::InputMethodGroupItem("keyboard-us"),
                                 fcitx::InputMethodGroupItem("quorvix")};
      instance.inputMethodManager().setGroup(std::move(group));
      benchmark::RunSpecifiedBenchmarks();
      dispatcher.detach();
      instance.exit();
    });
    instance.exec();
  }
  std::filesystem::remove_all(run.home);
  return 0;
}

}  // namespace fcitx5_bench
