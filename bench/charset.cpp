// Charset conversion throughput over Vietnamese prose of 1 KB, 1 MB and 16 MB.
#include <benchmark/benchmark.h>
#include <qrx_core/charset.h>

#include <map>
#include <string>
#include <string_view>

namespace {

namespace cs = qrx_core::charset;

constexpr std::string_view kProse =
    "Tiếng Việt là ngôn ngữ của người Việt và là ngôn ngữ chính thức tại Việt Nam. "
    "Đây là tiếng mẹ đẻ của khoảng 85% dân cư Việt Nam cùng với hơn bốn triệu người Việt "
    "hải ngoại. Tiếng Việt còn là ngôn ngữ thứ hai của các dân tộc thiểu số tại Việt Nam. "
    "Mặc dù tiếng Việt có một số từ vựng vay mượn từ tiếng Hán và trước đây dùng chữ Nôm, "
    "ngày nay chữ Quốc ngữ dựa trên bảng chữ cái Latinh được dùng thay thế, với các dấu thanh "
    "để làm dấu thanh điệu. Ông ấy bảo: \"Chúng tôi sẽ đến Huế, Đà Nẵng và Hội An vào tháng Tư.\"\n";

// Prose repeated to `size` bytes, cut at a character boundary.
const std::string& text_of(std::size_t size) {
  static std::map<std::size_t, std::string> cache;
  auto [it, fresh] = cache.try_emplace(size);
  if (fresh) {
    std::string& text = it->second;
    text.reserve(size + kProse.size());
    while (text.size() < size) text += kProse;
    std::size_t cut = size;
    while ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return it->second;
}

// Encoders are measured by the UTF-8 they read, decoders by the UTF-8 they write.
template <class Convert>
void run(benchmark::State& state, Convert convert, bool count_output) {
  const std::string& text = text_of(static_cast<std::size_t>(state.range(0)));
  std::size_t produced = 0;
  for (auto _ : state) {
    const auto out = convert(text);
    produced = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (count_output ? produced : text.size())));
}

void encode_bytes(benchmark::State& state, std::string_view charset) {
  run(
      state, [&](const std::string& text) { return *cs::encode_bytes(text, charset); }, false);
}

void decode_bytes(benchmark::State& state, std::string_view charset) {
  const std::vector<std::uint8_t> bytes =
      *cs::encode_bytes(text_of(static_cast<std::size_t>(state.range(0))), charset);
  run(
      state, [&](const std::string&) { return cs::decode_bytes(bytes, charset); }, true);
}

void encode_text(benchmark::State& state, std::string_view charset) {
  run(
      state, [&](const std::string& text) { return cs::encode(text, charset); }, false);
}

void decode_text(benchmark::State& state, std::string_view charset) {
  const std::string encoded = cs::encode(text_of(static_cast<std::size_t>(state.range(0))), charset);
  run(
      state, [&](const std::string&) { return cs::decode(encoded, charset); }, true);
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1 << 10)->Arg(1 << 20)->Arg(16 << 20); }

}  // namespace

BENCHMARK_CAPTURE(encode_bytes, tcvn3, "tcvn3")->Apply(sizes);
BENCHMARK_CAPTURE(encode_bytes, viscii, "viscii")->Apply(sizes);
BENCHMARK_CAPTURE(encode_bytes, vni_windows, "vni_windows")->Apply(sizes);
BENCHMARK_CAPTURE(decode_bytes, tcvn3, "tcvn3")->Apply(sizes);
BENCHMARK_CAPTURE(decode_bytes, viscii, "viscii")->Apply(sizes);
BENCHMARK_CAPTURE(decode_bytes, vni_windows, "vni_windows")->Apply(sizes);
BENCHMARK_CAPTURE(encode_text, cp1258, "cp1258")->Apply(sizes);
BENCHMARK_CAPTURE(decode_text, cp1258, "cp1258")->Apply(sizes);
BENCHMARK_CAPTURE(encode_text, viqr, "viqr")->Apply(sizes);
BENCHMARK_CAPTURE(decode_text, viqr, "viqr")->Apply(sizes);
BENCHMARK_CAPTURE(encode_text, ncr_decimal, "ncr_decimal")->Apply(sizes);
BENCHMARK_CAPTURE(decode_text, ncr_decimal, "ncr_decimal")->Apply(sizes);
