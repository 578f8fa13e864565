// Byte conversion through the C interface against glibc's iconv, on the same 10 MB of
// generated Vietnamese text in the same run. Each iteration converts once with each; the row's
// time is ours, and `ratio` is iconv's time divided by ours (above 1: ours is faster).
//
// Counterparts: VISCII is the same table in both. glibc's TCVN5712-1 is the Unicode-era TCVN
// (lower and upper case letters, with combining tone marks for what it lacks), not the TCVN3
// font table used here, so its bytes differ; it is the nearest conversion iconv offers.
// VNI Windows has none at all: Windows-1258, which also writes many letters as a base byte
// and a tone byte, stands in for it.
#include <quorvix.h>

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_text.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string& ten_megabytes() {
  static const std::string text = bench_text::text_of_size(10 << 20);
  return text;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  // The whole input converted into a buffer kept from call to call, as the C interface keeps
  // its output slots: neither side pays for fresh memory.
  std::string_view convert(const char* data, std::size_t size, std::size_t room) {
    if (out_.size() < room) out_.resize(room);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(data);
    std::size_t in_left = size;
    char* at = out_.data();
    std::size_t out_left = out_.size();
    if (iconv(cd_, &in, &in_left, &at, &out_left) == static_cast<std::size_t>(-1)) {
      throw std::runtime_error("iconv could not convert the text");
    }
    return std::string_view(out_.data(), out_.size() - out_left);
  }

 private:
  iconv_t cd_;
  std::vector<char> out_;
};

struct Timed {
  double ours = 0;
  double theirs = 0;
};

template <class Ours, class Theirs>
void compare(benchmark::State& state, Ours ours, Theirs theirs, std::size_t text_bytes) {
  Timed total;
  for (auto _ : state) {
    const auto start = Clock::now();
    ours();
    const auto middle = Clock::now();
    theirs();
    const auto end = Clock::now();
    const double ours_s = std::chrono::duration<double>(middle - start).count();
    total.ours += ours_s;
    total.theirs += std::chrono::duration<double>(end - middle).count();
    state.SetIterationTime(ours_s);
  }
  const double megabytes = static_cast<double>(text_bytes) * static_cast<double>(state.iterations()) / 1e6;
  state.counters["mbps"] = megabytes / total.ours;
  state.counters["iconv_mbps"] = megabytes / total.theirs;
  state.counters["ratio"] = total.theirs / total.ours;
}

void BM_EncodeVsIconv(benchmark::State& state, const char* ours_name, const char* iconv_name) {
  const std::string& text = ten_megabytes();
  QrxSession* session = qrx_session_new(nullptr, 1);
  Iconv to(iconv_name, "UTF-8");
  compare(
      state,
      [&] {
        std::size_t length = 0;
        if (qrx_charset_encode_bytes(session, ours_name, text.c_str(), &length) == nullptr)
          throw std::runtime_error("encoding failed");
        benchmark::DoNotOptimize(length);
      },
      [&] { benchmark::DoNotOptimize(to.convert(text.data(), text.size(), text.size()).data()); },
      text.size());
  qrx_session_free(session);
}

void BM_DecodeVsIconv(benchmark::State& state, const char* ours_name, const char* iconv_name) {
  const std::string& text = ten_megabytes();
  QrxSession* session = qrx_session_new(nullptr, 1);
  std::size_t length = 0;
  const std::uint8_t* encoded = qrx_charset_encode_bytes(session, ours_name, text.c_str(), &length);
  if (encoded == nullptr) throw std::runtime_error("encoding failed");
  const std::vector<std::uint8_t> ours_bytes(encoded, encoded + length);
  Iconv to(iconv_name, "UTF-8");
  const std::string iconv_bytes(to.convert(text.data(), text.size(), text.size()));
  Iconv from("UTF-8", iconv_name);
  compare(
      state,
      [&] {
        const char* decoded =
            qrx_charset_decode_bytes(session, ours_name, ours_bytes.data(), ours_bytes.size());
        if (decoded == nullptr) throw std::runtime_error("decoding failed");
        benchmark::DoNotOptimize(decoded);
      },
      [&] {
        benchmark::DoNotOptimize(
            from.convert(iconv_bytes.data(), iconv_bytes.size(), text.size() + 1024).data());
      },
      text.size());
  state.counters["same_bytes_as_iconv"] =
      ours_bytes.size() == iconv_bytes.size() &&
      std::equal(ours_bytes.begin(), ours_bytes.end(),
                 reinterpret_cast<const std::uint8_t*>(iconv_bytes.data()));
  qrx_session_free(session);
}

void settings(benchmark::internal::Benchmark* b) { b->UseManualTime()->Unit(benchmark::kMillisecond); }

}  // namespace

BENCHMARK_CAPTURE(BM_EncodeVsIconv, viscii, "viscii", "VISCII")->Apply(settings);
BENCHMARK_CAPTURE(BM_EncodeVsIconv, tcvn3, "tcvn3", "TCVN5712-1")->Apply(settings);
BENCHMARK_CAPTURE(BM_EncodeVsIconv, vni_windows, "vni_windows", "WINDOWS-1258")->Apply(settings);
BENCHMARK_CAPTURE(BM_DecodeVsIconv, viscii, "viscii", "VISCII")->Apply(settings);
BENCHMARK_CAPTURE(BM_DecodeVsIconv, tcvn3, "tcvn3", "TCVN5712-1")->Apply(settings);
BENCHMARK_CAPTURE(BM_DecodeVsIconv, vni_windows, "vni_windows", "WINDOWS-1258")->Apply(settings);
