// What the configuration file costs the main loop when it holds 10,000 macros, in a real Fcitx5
// instance, in-process, with the poll's clock driven by the benchmark:
// - BM_ConfigReload: a change read on the poll's tick, with 1, 3 and 10 input contexts of
//   different programs, one of them focused. "settings" changes a macro, which every field uses:
//   the focused field makes its new session at once, the others when they get the focus back;
//   "other_program" is another program's Alt+comma, which no field here uses.
// - BM_FocusAfterReload: giving the focus to a field whose new session was put off.
// - BM_AltComma: the toggle key, which writes the program's choice into the file.
#include <string>
#include <vector>

#include "fake_platform.h"
#include "fcitx5/document_context.h"
#include "fcitx5_instance.h"
#include "quorvix_app/config_file.h"

namespace {

using quorvix::platform::fcitx5::testing::DocumentContext;

constexpr int kMacros = 10'000;

std::shared_ptr<quorvix::app::testing::FakeClock> pollClock() {
  static const auto clock = std::make_shared<quorvix::app::testing::FakeClock>();
  return clock;
}

// The configuration with its macros; `variant` changes one macro's expansion, `otherProgram`
// another program's choice.
std::string configuration(int variant, bool otherProgram) {
  std::string text = R"({"input_method": "telex", "output_mode": "replace", "app_modes": {"otherprogram": )";
  text += otherProgram ? "true" : "false";
  text += R"(}, "macros": {)";
  for (int i = 0; i < kMacros; ++i) {
    if (i > 0) text += ", ";
    text += "\"m" + std::to_string(i) + "\": \"mở rộng số " + std::to_string(i == 0 ? variant : i) + "\"";
  }
  return text + "}}";
}

void writeConfiguration(const std::string& text) {
  quorvix::platform::systemFiles().writeAtomically(fcitx5_bench::running().configFolder() / "config.json",
                                                   text);
}

// `count` fields of different programs, each served by Quorvix once; the first has the focus.
class Fields {
 public:
  explicit Fields(std::size_t count) {
    auto& instance = *fcitx5_bench::running().instance;
    writeConfiguration(configuration(0, false));
    pollClock()->advance(std::chrono::seconds(1));
    for (std::size_t i = 0; i < count; ++i) {
      fields_.push_back(
          std::make_unique<DocumentContext>(instance.inputContextManager(), "program" + std::to_string(i)));
      auto& field = *fields_.back();
      field.setCapabilities({fcitx::CapabilityFlag::Preedit, fcitx::CapabilityFlag::SurroundingText});
      focus(i);
      instance.setCurrentInputMethod(&field, "quorvix", true);
    }
    focus(0);
  }
  DocumentContext& operator[](std::size_t i) { return *fields_[i]; }
  void focus(std::size_t i) {
    for (auto& field : fields_) {
      if (field->hasFocus()) field->focusOut();
    }
    fields_[i]->focusIn();
  }
  // The field's session, a new one after every reload.
  const void* session(std::size_t i) {
    auto* addon = fcitx5_bench::running().instance->addonManager().addon("quorvix");
    return static_cast<quorvix::platform::fcitx5::QuorvixEngine*>(addon)->controller(*fields_[i])->engine();
  }
  bool usesQuorvix() {
    for (auto& field : fields_) {
      if (fcitx5_bench::running().instance->inputMethod(field.get()) != "quorvix") return false;
    }
    return true;
  }

 private:
  std::vector<std::unique_ptr<DocumentContext>> fields_;
};

void BM_ConfigReload(benchmark::State& state, bool settings) {
  Fields fields(static_cast<std::size_t>(state.range(0)));
  if (!fields.usesQuorvix()) state.SkipWithError("Quorvix is not the fields' input method");
  int variant = 0;
  double newSessions = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ++variant;
    writeConfiguration(configuration(settings ? variant : 0, !settings && variant % 2 == 1));
    const auto* before = fields.session(0);
    state.ResumeTiming();
    pollClock()->advance(std::chrono::seconds(1));
    state.PauseTiming();
    newSessions += fields.session(0) != before;
    state.ResumeTiming();
  }
  // 1 when the focused field made its new session on the tick, 0 when it kept its session.
  state.counters["new_sessions"] = benchmark::Counter(newSessions, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_ConfigReload, settings, true)
    ->ArgName("contexts")
    ->Arg(1)
    ->Arg(3)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ConfigReload, other_program, false)
    ->ArgName("contexts")
    ->Arg(1)
    ->Arg(3)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond);

void BM_FocusAfterReload(benchmark::State& state) {
  Fields fields(2);
  int variant = 0;
  for (auto _ : state) {
    state.PauseTiming();
    writeConfiguration(configuration(++variant, false));
    pollClock()->advance(std::chrono::seconds(1));
    const std::size_t next = variant % 2;
    state.ResumeTiming();
    fields.focus(next);
  }
}
BENCHMARK(BM_FocusAfterReload)->Unit(benchmark::kMillisecond);

void BM_AltComma(benchmark::State& state) {
  Fields fields(1);
  const fcitx::Key toggle("Alt+comma");
  for (auto _ : state) {
    if (!fields[0].type(toggle)) state.SkipWithError("Alt+comma was not taken");
  }
}
BENCHMARK(BM_AltComma)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  quorvix::platform::fcitx5::AddonServices services;
  services.timers = pollClock();
  return fcitx5_bench::runBenchmarks(argc, argv, std::move(services));
}
