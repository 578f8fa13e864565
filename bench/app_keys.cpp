// One key through the whole path in a real Fcitx5 instance, in-process: the key event, the input
// method, and the edit applied to a document kept the way an application keeps it. Quorvix (Telex,
// in replace and in pre-edit mode) and Fcitx5's own keyboard input method type the same keys, so
// that the difference between them is what Quorvix adds to a key.
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
#include <fstream>
#include <string>
#include <vector>

#include "fcitx5/document_context.h"
#include "platform/fcitx5/addon.h"

namespace {

using quorvix::platform::fcitx5::testing::DocumentContext;

// Telex keys of ordinary prose; the document starts afresh after each sentence, as a chat
// message or a line would, so that its length does not grow with the run.
constexpr std::string_view kProse =
    "Hoom nay tooi ddi hocj tieengs Vieetj owr truwowngf ddaij hocj quoocs gia, nguwowif ta noois "
    "rawngf cuoocj soongs laf mootj chuyeens ddi daif. Chungs tooi ddax vieets nhieeuf thuw cho banj "
    "bef owr xa, kees veef queee huwowng vaf nhuwngx ngayf thangs cuxx. ";

fcitx::Instance* running = nullptr;
std::filesystem::path home;

std::vector<fcitx::Key> proseKeys() {
  std::vector<fcitx::Key> keys;
  for (const char c : kProse) keys.emplace_back(c == ' ' ? FcitxKey_space : fcitx::Key::keySymFromUnicode(c));
  return keys;
}

// Types `count` keys of the prose into a fresh field using the input method `im`.
void typeKeys(benchmark::State& state, const std::string& im, const std::string& outputMode) {
  std::ofstream(home / "config" / "quorvix" / "config.json")
      << R"({"input_method": "telex", "output_mode": ")" << outputMode << "\"}";
  auto* doc = new DocumentContext(running->inputContextManager(), "benchapp");
  doc->setCapabilities({fcitx::CapabilityFlag::Preedit, fcitx::CapabilityFlag::SurroundingText});
  doc->focusIn();
  running->setCurrentInputMethod(doc, im, true);
  if (running->inputMethod(doc) != im)
    state.SkipWithError(("input method " + im + " is not available").c_str());
  static const auto keys = proseKeys();
  const auto count = static_cast<std::size_t>(state.range(0));
  std::size_t next = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < count; ++i) {
      const auto& key = keys[next];
      doc->type(key);
      if (++next == keys.size()) next = 0;
      if (key.sym() == FcitxKey_space && i > 0 && kProse[next == 0 ? keys.size() - 2 : next - 2] == '.') {
        doc->setDocument("|");
      }
    }
  }
  state.counters["ns_per_key"] =
      benchmark::Counter(static_cast<double>(count),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  delete doc;
}

void BM_FcitxKey(benchmark::State& state, const char* im, const char* outputMode) {
  typeKeys(state, im, outputMode);
}
BENCHMARK_CAPTURE(BM_FcitxKey, quorvix_replace, "quorvix", "replace")
    ->ArgName("keys")
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(100000);
BENCHMARK_CAPTURE(BM_FcitxKey, quorvix_preedit, "quorvix", "preedit")
    ->ArgName("keys")
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(100000);
BENCHMARK_CAPTURE(BM_FcitxKey, keyboard, "keyboard-us", "replace")
    ->ArgName("keys")
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(100000);

}  // namespace

// The instance runs its event loop; the benchmarks run inside it, once it has started.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvix-bench-XXXXXX").string();
  home = ::mkdtemp(pattern.data());
  for (const auto& [name, folder] : {std::pair{"HOME", ""},
                                     {"XDG_CONFIG_HOME", "config"},
                                     {"XDG_DATA_HOME", "data"},
                                     {"XDG_CACHE_HOME", "cache"}}) {
    std::filesystem::create_directories(home / folder);
    ::setenv(name, (home / folder).c_str(), 1);
  }
  std::filesystem::create_directories(home / "config" / "quorvix");
  ::setenv("DISPLAY", "", 1);
  ::setenv("WAYLAND_DISPLAY", "", 1);
  ::setenv("DBUS_SESSION_BUS_ADDRESS", "", 1);
  fcitx::setupTestingEnvironment(
      QRX_BINARY_DIR, {fcitx::StandardPath::fcitxPath("addondir")},
      {QRX_SOURCE_DIR "/app/platform/fcitx5/data/static", QRX_SOURCE_DIR "/app/platform/fcitx5/data",
       fcitx::StandardPath::fcitxPath("pkgdatadir")});
  // The test input method reports every key it sees; reporting is not what is measured.
  fcitx::Log::setLogRule("*=2");
  char program[] = "bench_app_keys", disable[] = "--disable=all", enable[] = "--enable=testim,quorvix";
  char* arguments[] = {program, disable, enable};
  {
    quorvix::platform::fcitx5::QuorvixAddonFactory factory;
    fcitx::StaticAddonRegistry registry{{"quorvix", &factory}};
    fcitx::Instance instance(3, arguments);
    instance.addonManager().registerDefaultLoader(&registry);
    running = &instance;
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
  std::filesystem::remove_all(home);
  return 0;
}
