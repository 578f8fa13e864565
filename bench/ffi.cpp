// The C interface as a host uses it: per key the display text, the surrounding text, the key and
// an edit plan; session creation; memory held per session; byte conversion of large texts.
#include <quorvix.h>

#include "bench_text.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Telex keys of ordinary Vietnamese prose, with capitals, punctuation and a few corrections.
const char* const kWords[] = {
    "Hoom",   "nay",     "tooi",   "ddi",      "hocj",     "tieengs", "Vieetj", "owr",    "truwowngf",
    "ddaij",  "hocj",    "quoocs", "gia,",     "nguwowif", "ta",      "noois",  "rawngf", "cuooocj",
    "soongs", "laf",     "mootj",  "chuyeens", "ddi",      "dafi.",   "Chungs", "tooi",   "ddax",
    "vieets", "nhieeuf", "thuw",   "cho",      "banj",     "bef",     "xa",     "quee",   "huwowng",
    "vaf",    "ddoojc",  "saschs", "muwowif",  "trang",    "moxi",    "ngafy.",
};

std::vector<std::string> telex_keys(std::size_t count) {
  std::vector<std::string> keys;
  keys.reserve(count);
  for (std::size_t w = 0; keys.size() < count; ++w) {
    const char* word = kWords[w % std::size(kWords)];
    for (const char* p = word; *p != '\0' && keys.size() < count; ++p) keys.emplace_back(1, *p);
    if (keys.size() < count) keys.emplace_back(" ");
  }
  return keys;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// How many bytes of a word have their high bit set, given only those bits: one multiplication
// adds them all into the top byte.
std::uint32_t high_bits(std::uint64_t high) {
  return static_cast<std::uint32_t>(((high >> 7) * 0x0101010101010101ULL) >> 56);
}

// A field the host keeps in UTF-8 with the caret at its end.
class HostField {
 public:
  // Up to 25 UTF-16 units before the caret, as a pointer into the field's own text (which ends at
  // the caret), and their count: read back from the caret as a host keeping its text in UTF-8
  // does, eight bytes at a time while they hold no more units than are still wanted, then byte
  // by byte.
  const char* snapshot(std::uint32_t& units) const {
    constexpr std::uint32_t kUnits = 25;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::size_t pos = text_.size();
    units = 0;
    while (pos >= 8) {
      std::uint64_t bytes;
      std::memcpy(&bytes, text_.data() + pos - 8, 8);
      // Continuation bytes are 10xxxxxx; a four-byte character, 11110xxx, takes two units.
      const std::uint64_t continuation = bytes & ~(bytes << 1) & kHighBits;
      const std::uint64_t four_byte = bytes & (bytes << 1) & (bytes << 2) & (bytes << 3) & kHighBits;
      const auto chunk = static_cast<std::uint32_t>(8 - high_bits(continuation) + high_bits(four_byte));
      if (units + chunk > kUnits) break;
      units += chunk;
      pos -= 8;
    }
    std::size_t start = pos;
    while (start < text_.size() && is_continuation(text_[start])) ++start;
    while (pos > 0) {
      const auto byte = static_cast<unsigned char>(text_[--pos]);
      if (is_continuation(static_cast<char>(byte))) continue;
      const std::uint32_t width = byte >= 0xF0 ? 2 : 1;
      if (units + width > kUnits) break;
      units += width;
      start = pos;
    }
    return text_.c_str() + start;
  }

  void apply(const QrxPlan& plan, const std::string& key) {
    switch (plan.kind) {
      case 0:
        pass_key(key);
        break;
      case 1:
        break;  // marked text lives outside the document
      case 3:
        remove_units(plan.delete_utf16);
        [[fallthrough]];
      case 2:
        if (plan.text != nullptr) text_ += plan.text;
        if (plan.pass_key) pass_key(key);
        break;
      default:
        pass_key(key);
        break;
    }
  }

  std::size_t size() const { return text_.size(); }
  const std::string& text() const { return text_; }
  // Empties the field, keeping room for `bytes` so that the host side of the loop never
  // allocates while it is measured.
  void clear(std::size_t bytes) {
    text_.clear();
    text_.reserve(bytes);
  }

 private:
  void pass_key(const std::string& key) { text_ += key == "Enter" ? std::string_view("\n") : key; }

  void remove_units(std::uint32_t units) {
    while (units > 0 && !text_.empty()) {
      std::size_t start = text_.size() - 1;
      while (start > 0 && is_continuation(text_[start])) --start;
      const std::uint32_t width = static_cast<unsigned char>(text_[start]) >= 0xF0 ? 2 : 1;
      text_.erase(start);
      units -= std::min(units, width);
    }
  }

  std::string text_;
};

// One key of the host's loop: the display text read (and copied, as the interface asks), the
// text before the caret reported, the key, and the plan for it applied to the field.
struct HostLoop {
  QrxSession* session;
  HostField field;
  std::string display;

  void press(const std::string& key) {
    display.assign(qrx_display_text(session));
    std::uint32_t caret = 0;
    const char* before = field.snapshot(caret);
    qrx_set_surrounding_text(session, before);
    const QrxAction action = qrx_process_key(session, key.c_str(), false, false, false);
    QrxPlan plan{};
    qrx_plan_action_with_fallback(session, &action, 0, display.c_str(), before, caret, caret, false, 1, &plan);
    field.apply(plan, key);
  }
};

// Whole texts of growing length: the time per key must not grow with them.
void BM_HostLoopPerKey(benchmark::State& state) {
  const std::vector<std::string> keys = telex_keys(static_cast<std::size_t>(state.range(0)));
  const auto mode = static_cast<std::uint32_t>(state.range(1));
  for (auto _ : state) {
    HostLoop loop{qrx_session_new(nullptr, mode), {}, {}};
    for (const std::string& key : keys) loop.press(key);
    benchmark::DoNotOptimize(loop.field.size());
    qrx_session_free(loop.session);
  }
  state.counters["per_key"] =
      benchmark::Counter(static_cast<double>(keys.size()),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HostLoopPerKey)
    ->ArgsProduct({{1 << 10, 1 << 14, 1 << 18}, {1, 0}})
    ->ArgNames({"keys", "replace"})
    ->Unit(benchmark::kMillisecond);

// Each key timed on its own: the median and the slow tail.
void BM_HostLoopKeyMedian(benchmark::State& state) {
  const std::vector<std::string> keys = telex_keys(1 << 16);
  std::vector<double> times(keys.size());
  for (auto _ : state) {
    HostLoop loop{qrx_session_new(nullptr, 1), {}, {}};
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const auto start = std::chrono::steady_clock::now();
      loop.press(keys[i]);
      times[i] = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    }
    qrx_session_free(loop.session);
  }
  std::sort(times.begin(), times.end());
  state.counters["median_ns"] = times[times.size() / 2];
  state.counters["p99_ns"] = times[times.size() * 99 / 100];
  state.counters["max_ns"] = times.back();
}
BENCHMARK(BM_HostLoopKeyMedian)->Iterations(1)->Unit(benchmark::kMillisecond);

// The generated Vietnamese text typed by a host, in Telex or VNI and in either output mode:
// time and heap allocations per key over the first `keys` keys. Everything prepared before the
// timed loop is the same whatever the length, so that two lengths measured under an
// instruction counter differ only by the keys typed.
void BM_HostLoopText(benchmark::State& state, bench_text::Method method, std::uint32_t mode) {
  const std::vector<std::string>& all_keys = bench_text::key_names(method);
  const std::size_t count = std::min(all_keys.size(), static_cast<std::size_t>(state.range(0)));
  constexpr std::size_t kWarmUpKeys = 2048;
  HostLoop loop{qrx_session_new(bench_text::config_json(method), mode), {}, {}};
  loop.display.reserve(256);
  loop.field.clear(bench_text::text().size() + 1024);
  for (std::size_t i = 0; i < kWarmUpKeys; ++i) loop.press(all_keys[i]);
  long long allocations = 0;
  for (auto _ : state) {
    qrx_flush(loop.session);
    loop.field.clear(0);
    const long long before = bench_text::allocations();
    for (std::size_t i = 0; i < count; ++i) loop.press(all_keys[i]);
    allocations += bench_text::allocations() - before;
    benchmark::DoNotOptimize(loop.field.size());
  }
  qrx_session_free(loop.session);
  const double keys = static_cast<double>(count);
  state.counters["per_key"] =
      benchmark::Counter(keys, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_key"] =
      static_cast<double>(allocations) / (keys * static_cast<double>(state.iterations()));
}

void host_loop_lengths(benchmark::internal::Benchmark* b) {
  b->ArgName("keys")->Arg(1 << 10)->Arg(1 << 14)->Arg(1 << 17)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
}
BENCHMARK_CAPTURE(BM_HostLoopText, telex_replace, bench_text::Method::Telex, 1)->Apply(host_loop_lengths);
BENCHMARK_CAPTURE(BM_HostLoopText, telex_preedit, bench_text::Method::Telex, 0)->Apply(host_loop_lengths);
BENCHMARK_CAPTURE(BM_HostLoopText, vni_replace, bench_text::Method::Vni, 1)->Apply(host_loop_lengths);
BENCHMARK_CAPTURE(BM_HostLoopText, vni_preedit, bench_text::Method::Vni, 0)->Apply(host_loop_lengths);

// The whole text typed once in each mode: the document must come out as the text, or the
// figures above would measure something other than typing it.
void BM_HostLoopTypesText(benchmark::State& state, bench_text::Method method, std::uint32_t mode) {
  const std::vector<std::string>& keys = bench_text::key_names(method);
  bool same = false;
  for (auto _ : state) {
    HostLoop loop{qrx_session_new(bench_text::config_json(method), mode), {}, {}};
    loop.field.clear(bench_text::text().size() + 1024);
    for (const std::string& key : keys) loop.press(key);
    same = loop.field.text() == bench_text::text();
    qrx_session_free(loop.session);
  }
  state.counters["typed_as_text"] = same ? 1 : 0;
}
BENCHMARK_CAPTURE(BM_HostLoopTypesText, telex_replace, bench_text::Method::Telex, 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoopTypesText, telex_preedit, bench_text::Method::Telex, 0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoopTypesText, vni_replace, bench_text::Method::Vni, 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostLoopTypesText, vni_preedit, bench_text::Method::Vni, 0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_SessionNew(benchmark::State& state) {
  qrx_session_free(qrx_session_new(nullptr, 1));  // the process-wide tables, built once
  for (auto _ : state) {
    QrxSession* session = qrx_session_new(nullptr, 1);
    benchmark::DoNotOptimize(session);
    qrx_session_free(session);
  }
}
BENCHMARK(BM_SessionNew)->Unit(benchmark::kMicrosecond);

// Heap held by each session beyond the process-wide tables, fresh and after typing.
void BM_SessionMemory(benchmark::State& state) {
  constexpr std::size_t kSessions = 2000;
  const std::vector<std::string> keys = telex_keys(200);
  qrx_session_free(qrx_session_new(nullptr, 1));
  std::vector<QrxSession*> sessions(kSessions);
  double fresh = 0;
  double typed = 0;
  for (auto _ : state) {
    const auto before = mallinfo2().uordblks;
    for (auto& session : sessions) session = qrx_session_new(nullptr, 1);
    const auto created = mallinfo2().uordblks;
    for (QrxSession* session : sessions) {
      HostLoop loop{session, {}, {}};
      for (const std::string& key : keys) loop.press(key);
    }
    const auto used = mallinfo2().uordblks;
    for (QrxSession* session : sessions) qrx_session_free(session);
    fresh = static_cast<double>(created - before) / kSessions;
    typed = static_cast<double>(used - before) / kSessions;
  }
  state.counters["bytes_fresh"] = fresh;
  state.counters["bytes_after_typing"] = typed;
}
BENCHMARK(BM_SessionMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

std::string megabyte_of_prose() {
  const std::string sentence =
      "Ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t l\xC3\xA0 ng\xC3\xB4n ng\xE1\xBB\xAF c\xE1\xBB\xA7"
      "a ng\xC6\xB0\xE1\xBB\x9Di "
      "Vi\xE1\xBB\x87t, \xC4\x91\xC6\xB0\xE1\xBB\xA3"
      "c d\xC3\xB9ng r\xE1\xBB\x99ng r\xC3\xA3i tr\xC3\xAAn kh\xE1\xBA\xAFp "
      "\xC4\x91\xE1\xBA\xA5t n\xC6\xB0\xE1\xBB\x9B"
      "c. ";
  std::string text;
  while (text.size() < (1U << 20)) text += sentence;
  return text;
}

void BM_EncodeBytes(benchmark::State& state, const char* charset) {
  const std::string text = megabyte_of_prose();
  QrxSession* session = qrx_session_new(nullptr, 1);
  for (auto _ : state) {
    std::size_t length = 0;
    benchmark::DoNotOptimize(qrx_charset_encode_bytes(session, charset, text.c_str(), &length));
    benchmark::DoNotOptimize(length);
  }
  qrx_session_free(session);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_EncodeBytes, viscii, "viscii")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EncodeBytes, tcvn3, "tcvn3")->Unit(benchmark::kMillisecond);

}  // namespace
