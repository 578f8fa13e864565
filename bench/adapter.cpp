// Planning and offset conversion run on every key: planning over a field of a few dozen
// characters, offsets also over long texts handed in by hosts.
#include <qrx_adapter_core/plan.h>
#include <qrx_adapter_core/surrounding.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace qrx_adapter_core;
using plan::AdapterAction;
using plan::DeleteCount;
using plan::FieldState;
using plan::ReplaceFallback;

struct Input {
  AdapterAction action;
  FieldState field;
};

FieldState field_of(std::string_view display, std::string_view surrounding, std::uint32_t cursor) {
  FieldState field;
  field.before_display = display;
  field.surrounding = surrounding;
  field.cursor_utf16 = cursor;
  field.anchor_utf16 = cursor;
  return field;
}

// Snapshots as a host takes them: up to 25 UTF-16 units before the caret.
const std::vector<Input>& typical_inputs() {
  static const std::vector<Input> inputs = {
      {{AdapterAction::Replace{"viế", DeleteCount::chars(3), false}},
       field_of("vie", "Hôm nay tôi đi học vie", 22)},
      {{AdapterAction::Replace{"được", DeleteCount::chars(4), false}},
       field_of("đuoc", "Chúng ta sẽ làm đuoc", 20)},
      {{AdapterAction::Preedit{"tiếng", 5}}, field_of("tiêng", "Xin chào ", 9)},
      {{AdapterAction::Commit{"Việt ", true}}, field_of("Việt", "người ", 6)},
      {{AdapterAction::Replace{"xin chào bạn", DeleteCount::chars(8), true}},
       field_of("chao", "Tôi nói xin chao", 16)},
      {{AdapterAction::Replace{"ố", DeleteCount::chars(1), false}}, field_of("o", "hello world. ", 13)},
  };
  return inputs;
}

void BM_PlanWithFallback(benchmark::State& state) {
  const auto& inputs = typical_inputs();
  const qrx_engine::ports::AppProfile profile;
  std::size_t i = 0;
  for (auto _ : state) {
    const Input& in = inputs[i];
    i = i + 1 == inputs.size() ? 0 : i + 1;
    auto result =
        plan::plan_action_with_fallback(in.action, in.field, profile, ReplaceFallback::WithSurrounding);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_PlanWithFallback);

void BM_PlanVerifiedReplace(benchmark::State& state) {
  const Input& in = typical_inputs().front();
  const qrx_engine::ports::AppProfile profile;
  for (auto _ : state) {
    auto result =
        plan::plan_action_with_fallback(in.action, in.field, profile, ReplaceFallback::WithSurrounding);
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_PlanVerifiedReplace);

// About 1 MB of Vietnamese prose with some emoji.
const std::string& long_text() {
  static const std::string text = [] {
    const std::string sentence =
        "Tiếng Việt là ngôn ngữ chính thức của Việt Nam 😀 và được hơn trăm triệu người dùng. ";
    std::string out;
    while (out.size() < (1u << 20)) out += sentence;
    return out;
  }();
  return text;
}

// One whole pass over the long text per iteration, reported as bytes per second.
template <auto measure>
void BM_LongText(benchmark::State& state) {
  const std::string& text = long_text();
  for (auto _ : state) benchmark::DoNotOptimize(measure(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

auto utf16_len(std::string_view text) { return surrounding::utf16_len(text); }
auto char_len(std::string_view text) { return surrounding::char_len(text); }
auto utf16_to_byte_at_end(std::string_view text) {
  return surrounding::utf16_to_byte_offset(text, surrounding::utf16_len(text));
}
auto char_to_utf16_at_end(std::string_view text) {
  return surrounding::char_to_utf16_offset(text, surrounding::char_len(text));
}
auto utf16_suffix_whole(std::string_view text) {
  return surrounding::utf16_suffix(text, surrounding::utf16_len(text));
}

// The last three include one vectorised count to find the end, then walk character by character.
BENCHMARK(BM_LongText<utf16_len>)->Name("Utf16Len");
BENCHMARK(BM_LongText<char_len>)->Name("CharLen");
BENCHMARK(BM_LongText<utf16_to_byte_at_end>)->Name("Utf16ToByteOffsetAtEnd");
BENCHMARK(BM_LongText<char_to_utf16_at_end>)->Name("CharToUtf16OffsetAtEnd");
BENCHMARK(BM_LongText<utf16_suffix_whole>)->Name("Utf16SuffixWhole");

}  // namespace
