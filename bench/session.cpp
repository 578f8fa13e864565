// Cost of one key through a whole typing session (word state, rendering, macros, output form)
// in both output modes, over texts of different lengths: the cost per key must not grow with
// what was typed before, and neither may memory.
#include <qrx_engine/testing.h>

#include <benchmark/benchmark.h>

#include "bench_text.h"
#include <malloc.h>

#include <string>
#include <vector>

namespace {

using qrx_engine::ports::OutputMode;
using qrx_engine::session::KeyEvent;
using qrx_engine::testing::SessionHarness;

// Ordinary Vietnamese typed in Telex, with a couple of macro keys among the words.
constexpr const char* kTelexText =
    "Tieengs Vieetj laf ngoon ngwx chinhs thuwcs cuar nuwowcs Coongj hoaf xax hooij chur nghiax Vieetj Nam. "
    "Nos cungx laf tieengs mej ddeer cuar nguwowif Vieetj vaf ko phair chir ddeer giao tieeps hangf ngayf. "
    "Chungs toi ddang thuwr nghieemj booj gox tieengs Vieetj nhanh vaf ddungs tuwfng phismm goox, vnn oiw. ";

constexpr const char* kConfig = R"({"macros":{"ko":"không","vnn":"Việt Nam","dc":"được"}})";

std::vector<KeyEvent> keys_for(std::size_t count) {
  const std::vector<KeyEvent> sentence = qrx_engine::testing::parse_keys(kTelexText);
  std::vector<KeyEvent> keys;
  keys.reserve(count);
  while (keys.size() < count) keys.push_back(sentence[keys.size() % sentence.size()]);
  return keys;
}

void BM_ProcessKey(benchmark::State& state) {
  const auto mode = state.range(1) == 0 ? OutputMode::Preedit : OutputMode::Replace;
  const std::vector<KeyEvent> keys = keys_for(static_cast<std::size_t>(state.range(0)));
  std::size_t heap_growth = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SessionHarness harness(kConfig, mode);
    const std::size_t heap_before = mallinfo2().uordblks;
    state.ResumeTiming();
    for (const KeyEvent& key : keys) benchmark::DoNotOptimize(harness.press(key));
    state.PauseTiming();
    const std::size_t heap_after = mallinfo2().uordblks;
    heap_growth = heap_after > heap_before ? heap_after - heap_before : 0;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["ns_per_key"] =
      benchmark::Counter(static_cast<double>(state.range(0)),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["heap_growth_bytes"] = static_cast<double>(heap_growth);
}

BENCHMARK(BM_ProcessKey)
    ->ArgNames({"keys", "replace"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMillisecond);

// The generated Vietnamese text in Telex or VNI, over its first `keys` keys: time and heap
// allocations per key. Setup does not depend on the length (see the host loop benchmark).
void BM_SessionText(benchmark::State& state, bench_text::Method method, OutputMode mode) {
  static const auto parse_all = [](bench_text::Method m) {
    std::vector<KeyEvent> events;
    for (const std::string& name : bench_text::key_names(m)) events.push_back(KeyEvent::parse(name));
    return events;
  };
  static const std::vector<KeyEvent> telex = parse_all(bench_text::Method::Telex);
  static const std::vector<KeyEvent> vni = parse_all(bench_text::Method::Vni);
  const std::vector<KeyEvent>& keys = method == bench_text::Method::Telex ? telex : vni;
  const std::size_t count = std::min(keys.size(), static_cast<std::size_t>(state.range(0)));
  constexpr std::size_t kWarmUpKeys = 2048;
  SessionHarness harness(bench_text::config_json(method), mode);
  for (std::size_t i = 0; i < kWarmUpKeys; ++i) benchmark::DoNotOptimize(harness.press(keys[i]));
  long long allocations = 0;
  for (auto _ : state) {
    harness.session().flush_composition();
    const long long before = bench_text::allocations();
    for (std::size_t i = 0; i < count; ++i) benchmark::DoNotOptimize(harness.press(keys[i]));
    allocations += bench_text::allocations() - before;
  }
  const double typed = static_cast<double>(count);
  state.counters["ns_per_key"] =
      benchmark::Counter(typed, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_key"] =
      static_cast<double>(allocations) / (typed * static_cast<double>(state.iterations()));
}

void text_lengths(benchmark::internal::Benchmark* b) {
  b->ArgName("keys")->Arg(1 << 10)->Arg(1 << 14)->Arg(1 << 17)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
}
BENCHMARK_CAPTURE(BM_SessionText, telex_replace, bench_text::Method::Telex, OutputMode::Replace)
    ->Apply(text_lengths);
BENCHMARK_CAPTURE(BM_SessionText, telex_preedit, bench_text::Method::Telex, OutputMode::Preedit)
    ->Apply(text_lengths);
BENCHMARK_CAPTURE(BM_SessionText, vni_replace, bench_text::Method::Vni, OutputMode::Replace)
    ->Apply(text_lengths);
BENCHMARK_CAPTURE(BM_SessionText, vni_preedit, bench_text::Method::Vni, OutputMode::Preedit)
    ->Apply(text_lengths);

}  // namespace
