// Runs the tests inside a real Fcitx5 instance: test frontend, test input method and test UI, and
// Quorvix, either built into the test through a static registry ("--built-in") or the shared
// library as installed ("--installed <library folder> <data folder>"). Fcitx5 sets its folders up
// once per process, so each runs as a process of its own. HOME and the XDG folders point into a
// fresh temporary folder; no display and no D-Bus are used.
#include <fcitx-utils/eventdispatcher.h>
#include <fcitx-utils/testing.h>
#include <fcitx/addonmanager.h>
#include <fcitx/inputmethodgroup.h>
#include <fcitx/inputmethodmanager.h>
#include <stdlib.h>

#include <cstring>
#include <iostream>

#include "fcitx5_test.h"
#include "platform/fcitx5/addon.h"

namespace quorvix::platform::fcitx5::testing {
namespace {
fcitx::Instance* running = nullptr;
bool builtIn = true;
std::filesystem::path temporary;
}  // namespace

fcitx::Instance& instance() { return *running; }
Watched& watched() {
  static Watched services;
  return services;
}
bool addonBuiltIn() { return builtIn; }
const std::filesystem::path& home() { return temporary; }
platform::TextInput* fieldOf(fcitx::InputContext& context) {
  if (!builtIn) return nullptr;
  auto* engine = static_cast<QuorvixEngine*>(running->addonManager().addon("quorvix"));
  return &engine->textInput(context);
}

}  // namespace quorvix::platform::fcitx5::testing

int main(int argc, char** argv) {
  namespace t = quorvix::platform::fcitx5::testing;
  ::testing::InitGoogleTest(&argc, argv);
  std::vector<std::string> libraries;
  std::vector<std::string> data{QRX_SOURCE_DIR "/app/platform/fcitx5/data/static",
                                QRX_SOURCE_DIR "/app/platform/fcitx5/data"};
  if (argc == 4 && std::strcmp(argv[1], "--installed") == 0) {
    t::builtIn = false;
    libraries = {argv[2]};
    data = {argv[3]};
  } else if (argc != 2 || std::strcmp(argv[1], "--built-in") != 0) {
    std::cerr << "usage: " << argv[0] << " --built-in | --installed <library folder> <data folder>\n";
    return 2;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvix-fcitx5-XXXXXX").string();
  t::temporary = ::mkdtemp(pattern.data());
  for (const auto& [name, folder] : {std::pair{"HOME", ""},
                                     {"XDG_CONFIG_HOME", "config"},
                                     {"XDG_DATA_HOME", "data"},
                                     {"XDG_CACHE_HOME", "cache"}}) {
    std::filesystem::create_directories(t::temporary / folder);
    ::setenv(name, (t::temporary / folder).c_str(), 1);
  }
  fcitx::setupTestingEnvironment(QRX_BINARY_DIR, libraries, data);

  char program[] = "test_app_fcitx5", disable[] = "--disable=all",
       enable[] = "--enable=testim,testfrontend,testui,quorvix";
  char* arguments[] = {program, disable, enable};
  int result = 1;
  {
    quorvix::platform::fcitx5::QuorvixAddonFactory factory({
        .timers = t::watched().timers,
        .startProcess =
            [](const std::vector<std::string>& arguments) { t::watched().started.push_back(arguments); },
        .beep = [](fcitx::InputContext&) { ++t::watched().beeps; },
    });
    fcitx::StaticAddonRegistry registry{{"quorvix", &factory}};
    fcitx::Instance instance(3, arguments);
    instance.addonManager().registerDefaultLoader(t::builtIn ? &registry : nullptr);
    t::running = &instance;
    fcitx::EventDispatcher dispatcher;
    dispatcher.attach(&instance.eventLoop());
    dispatcher.schedule([&] {
      // The user's group: the keyboard layout and Quorvix.
      auto group = instance.inputMethodManager().currentGroup();
      group.inputMethodList() = {fcitx::InputMethodGroupItem("keyboard-us"),
                                 fcitx::InputMethodGroupItem("quorvix")};
      instance.inputMethodManager().setGroup(std::move(group));
      result = RUN_ALL_TESTS();
      dispatcher.detach();
      instance.exit();
    });
    instance.exec();
  }
  std::filesystem::remove_all(t::temporary);
  return result;
}
