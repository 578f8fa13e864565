// Cost of one key through a whole typing session (word state, rendering, macros, output form)
// in both output modes, over texts of different lengths: the cost per key must not grow with
// what was typed before, and neither may memory.
#include <qrx_engine/testing.h>

#include <benchmark/benchmark.h>
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

}  // namespace
