// Typing speed: a text of ordinary Vietnamese words typed key by key through the Composer, with
// the word viewed after every key as the session does (one Composer, cleared at each word).
// Reports the time per key and the heap allocations per key.
#include <qrx_core/transform.h>
#include <qrx_unicode/unicode.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_text.h"

namespace {

using qrx_core::rules::InputMethodSpec;
using qrx_core::transform::Composer;
using qrx_core::transform::TypingOptions;

constexpr std::string_view kText =
    "Tiếng Việt là ngôn ngữ chính thức của Việt Nam người dân ở khắp nơi trên đất nước đều dùng "
    "tiếng Việt trong đời sống hằng ngày từ chuyện học hành làm việc đến những câu chuyện thường "
    "ngày bên tách trà nóng buổi sáng mùa xuân về trên những cánh đồng lúa xanh mướt các em nhỏ "
    "tung tăng đến trường còn các bà các mẹ ra chợ mua rau tươi cá tôm thịt gà để nấu bữa cơm "
    "chiều cho cả gia đình quây quần bên nhau khi trời tối dần thành phố lên đèn xe cộ nối đuôi "
    "nhau trên đường về nhà ai cũng mong được nghỉ ngơi sau một ngày dài vất vả chúng tôi thường "
    "ngồi kể chuyện cười nói vui vẻ rồi cùng nhau nghe nhạc đọc sách hoặc xem phim trước khi đi "
    "ngủ những điều giản dị ấy làm nên hạnh phúc của mỗi người Việt";

std::vector<std::u32string> words_typed_in(const InputMethodSpec& spec) {
  std::vector<std::u32string> words;
  std::size_t start = 0;
  while (start < kText.size()) {
    std::size_t end = kText.find(' ', start);
    if (end == std::string_view::npos) end = kText.size();
    if (const auto keys = qrx_core::transform::to_raw(kText.substr(start, end - start), spec)) {
      words.push_back(qrx_unicode::decode_utf8(*keys));
    }
    start = end + 1;
  }
  return words;
}

void type_text(benchmark::State& state, const InputMethodSpec& spec, bool render) {
  const std::vector<std::u32string> words = words_typed_in(spec);
  std::size_t keys = 0;
  for (const auto& w : words) keys += w.size();
  const TypingOptions options;

  long long allocations = 0;
  Composer composer(spec, options);
  for (auto _ : state) {
    const long long before = bench_text::allocations();
    for (const std::u32string& word : words) {
      composer.clear();
      for (char32_t key : word) {
        composer.push(key);
        if (render) benchmark::DoNotOptimize(composer.view(false));
      }
      benchmark::DoNotOptimize(composer);
    }
    allocations += bench_text::allocations() - before;
  }
  const auto total_keys = static_cast<double>(keys) * static_cast<double>(state.iterations());
  state.counters["time_per_key"] = benchmark::Counter(
      static_cast<double>(keys), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_key"] = static_cast<double>(allocations) / total_keys;
  state.counters["keys"] = static_cast<double>(keys);
}

void BM_TypeTelex(benchmark::State& state) { type_text(state, qrx_core::rules::TELEX, true); }
void BM_TypeVni(benchmark::State& state) { type_text(state, qrx_core::rules::VNI, true); }
void BM_PushTelex(benchmark::State& state) { type_text(state, qrx_core::rules::TELEX, false); }
void BM_PushVni(benchmark::State& state) { type_text(state, qrx_core::rules::VNI, false); }

// The words of the generated text, as the keys that type each; separators are not the typing
// core's work. Typed as the session does: every key pushed, the word rendered after each.
const std::vector<std::u32string>& text_words(bench_text::Method method) {
  static const auto split = [](bench_text::Method m) {
    const bool digits = m == bench_text::Method::Vni;
    std::vector<std::u32string> words;
    std::u32string word;
    for (char32_t key : qrx_unicode::decode_utf8(bench_text::keys(m))) {
      const bool letter = (key >= U'a' && key <= U'z') || (key >= U'A' && key <= U'Z') ||
                          (digits && key >= U'0' && key <= U'9');
      if (letter) {
        word.push_back(key);
      } else if (!word.empty()) {
        words.push_back(std::move(word));
        word.clear();
      }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
  };
  static const std::vector<std::u32string> telex = split(bench_text::Method::Telex);
  static const std::vector<std::u32string> vni = split(bench_text::Method::Vni);
  return method == bench_text::Method::Telex ? telex : vni;
}

// The first `keys` keys of the text's words (whole words only).
void BM_TypeText(benchmark::State& state, bench_text::Method method) {
  const InputMethodSpec& spec =
      method == bench_text::Method::Telex ? qrx_core::rules::TELEX : qrx_core::rules::VNI;
  const std::vector<std::u32string>& all = text_words(method);
  const auto limit = static_cast<std::size_t>(state.range(0));
  std::size_t words = 0;
  std::size_t keys = 0;
  while (words < all.size() && keys + all[words].size() <= limit) keys += all[words++].size();
  const TypingOptions options;
  long long allocations = 0;
  Composer composer(spec, options);
  for (auto _ : state) {
    const long long before = bench_text::allocations();
    for (std::size_t w = 0; w < words; ++w) {
      composer.clear();
      for (char32_t key : all[w]) {
        composer.push(key);
        benchmark::DoNotOptimize(composer.view(false));
      }
      benchmark::DoNotOptimize(composer);
    }
    allocations += bench_text::allocations() - before;
  }
  state.counters["time_per_key"] = benchmark::Counter(
      static_cast<double>(keys), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["allocs_per_key"] = static_cast<double>(allocations) /
                                     (static_cast<double>(keys) * static_cast<double>(state.iterations()));
}
void typing_lengths(benchmark::internal::Benchmark* b) {
  b->ArgName("keys")->Arg(1 << 14)->Arg(1 << 17)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
}
BENCHMARK_CAPTURE(BM_TypeText, telex, bench_text::Method::Telex)->Apply(typing_lengths);
BENCHMARK_CAPTURE(BM_TypeText, vni, bench_text::Method::Vni)->Apply(typing_lengths);

BENCHMARK(BM_TypeTelex)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeVni)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PushTelex)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PushVni)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
