// One key through the whole path in a real Fcitx5 instance, in-process: the key event, the input
// method, and the edit applied to a document kept the way an application keeps it. Quorvix (Telex,
// in replace and in pre-edit mode) and Fcitx5's own keyboard input method type the same keys, so
// that the difference between them is what Quorvix adds to a key.
#include <fstream>
#include <string>
#include <vector>

#include "fcitx5/document_context.h"
#include "fcitx5_instance.h"

namespace {

using quorvix::platform::fcitx5::testing::DocumentContext;

// Telex keys of ordinary prose; the document starts afresh after each sentence, as a chat
// message or a line would, so that its length does not grow with the run.
constexpr std::string_view kProse =
    "Hoom nay tooi ddi hocj tieengs Vieetj owr truwowngf ddaij hocj quoocs gia, nguwowif ta noois "
    "rawngf cuoocj soongs laf mootj chuyeens ddi daif. Chungs tooi ddax vieets nhieeuf thuw cho banj "
    "bef owr xa, kees veef queee huwowng vaf nhuwngx ngayf thangs cuxx. ";

std::vector<fcitx::Key> proseKeys() {
  std::vector<fcitx::Key> keys;
  for (const char c : kProse) keys.emplace_back(c == ' ' ? FcitxKey_space : fcitx::Key::keySymFromUnicode(c));
  return keys;
}

// Types `count` keys of the prose into a fresh field using the input method `im`.
void typeKeys(benchmark::State& state, const std::string& im, const std::string& outputMode) {
  auto& running = *fcitx5_bench::running().instance;
  std::ofstream(fcitx5_bench::running().configFolder() / "config.json")
      << R"({"input_method": "telex", "output_mode": ")" << outputMode << "\"}";
  auto* doc = new DocumentContext(running.inputContextManager(), "benchapp");
  doc->setCapabilities({fcitx::CapabilityFlag::Preedit, fcitx::CapabilityFlag::SurroundingText});
  doc->focusIn();
  running.setCurrentInputMethod(doc, im, true);
  if (running.inputMethod(doc) != im)
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

int main(int argc, char** argv) { return fcitx5_bench::runBenchmarks(argc, argv); }
