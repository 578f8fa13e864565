// One key through the whole path in a real Fcitx5 instance, in-process: the key event, the input
// method, and the edit applied to a document kept the way an application keeps it. Quorvix (Telex,
// in replace and in pre-edit mode) and Fcitx5's own keyboard input method type the same keys into
// a document that already holds 64 or 20,000 characters, so that the difference between them is
// what Quorvix adds to a key, and the two lengths show whether that grows with the text.
#include <fcitx/inputcontext.h>
#include <fcitx/surroundingtext.h>
#include <unicode_text/unicode.h>

#include <fstream>
#include <string>
#include <vector>

#include "fcitx5_instance.h"

namespace {

// Telex keys of ordinary prose; the document goes back to what it held before after each
// sentence, as a chat box does when a message is sent, so that its length does not grow with
// the run.
constexpr std::string_view kProse =
    "Hoom nay tooi ddi hocj tieengs Vieetj owr truwowngf ddaij hocj quoocs gia, nguwowif ta noois "
    "rawngf cuoocj soongs laf mootj chuyeens ddi daif. Chungs tooi ddax vieets nhieeuf thuw cho banj "
    "bef owr xa, kees veef queee huwowng vaf nhuwngx ngayf thangs cuxx. ";
// What the document holds before the caret when a sentence starts.
constexpr std::string_view kEarlierText = "Tiếng Việt rất hay, được không? Mùa thu năm nay trời đẹp. ";

// A text field whose caret stays at the end of its text, as while typing at the end of a long
// paragraph. Like GTK's Fcitx5 module it tells its text before every key; it applies commits,
// deletions before the caret and the keys the input method lets through, each as cheaply as an
// application would, so that what is measured is the input method's work.
class ParagraphContext : public fcitx::InputContext {
 public:
  ParagraphContext(fcitx::InputContextManager& manager, std::size_t length)
      : InputContext(manager, "benchapp") {
    created();
    for (std::size_t at = 0; startChars_ < length; ++startChars_) {
      if (at == kEarlierText.size()) at = 0;
      const auto from = at;
      unicode::next_char(kEarlierText, at);
      start_.append(kEarlierText.substr(from, at - from));
    }
    restart();
  }
  ~ParagraphContext() override { destroy(); }
  const char* frontend() const override { return "quorvix-bench"; }

  void restart() {
    text_ = start_;
    chars_ = startChars_;
  }
  // Tells the text, presses and releases the key, and types it when the input method did not.
  void type(const fcitx::Key& key) {
    surroundingText().setText(text_, static_cast<unsigned>(chars_), static_cast<unsigned>(chars_));
    updateSurroundingText();
    fcitx::KeyEvent press(this, key, false);
    const bool taken = keyEvent(press);
    fcitx::KeyEvent release(this, key, true);
    keyEvent(release);
    if (!taken) typeUnhandled(key);
  }
  bool failed() const { return failed_; }

 protected:
  void commitStringImpl(const std::string& text) override {
    text_ += text;
    chars_ += unicode::char_count(text);
  }
  void deleteSurroundingTextImpl(int offset, unsigned int size) override {
    // Only text before the caret is ever deleted here.
    if (offset > 0 || static_cast<std::size_t>(-offset) > chars_ || size > static_cast<unsigned>(-offset)) {
      failed_ = true;
      return;
    }
    std::size_t from = text_.size();
    for (int i = 0; i < -offset; ++i) from = previous(from);
    std::size_t to = from;
    for (unsigned i = 0; i < size; ++i) unicode::next_char(text_, to);
    text_.erase(from, to - from);
    chars_ -= size;
  }
  void forwardKeyImpl(const fcitx::ForwardKeyEvent& event) override {
    if (!event.isRelease()) typeUnhandled(event.rawKey());
  }
  // The field draws the pre-edit where the input method's panel puts it; nothing to keep.
  void updatePreeditImpl() override {}

 private:
  void typeUnhandled(const fcitx::Key& key) {
    if (key.check(FcitxKey_BackSpace) && chars_ > 0) {
      text_.erase(previous(text_.size()));
      --chars_;
    } else if (const auto c = fcitx::Key::keySymToUnicode(key.sym()); c >= 0x20 && c != 0x7F) {
      unicode::append_utf8(text_, static_cast<char32_t>(c));
      ++chars_;
    }
  }
  std::size_t previous(std::size_t at) const {
    do --at;
    while (at > 0 && (static_cast<unsigned char>(text_[at]) & 0xC0) == 0x80);
    return at;
  }

  std::string start_;
  std::size_t startChars_ = 0;
  std::string text_;
  std::size_t chars_ = 0;
  bool failed_ = false;
};

std::vector<fcitx::Key> proseKeys() {
  std::vector<fcitx::Key> keys;
  for (const char c : kProse) keys.emplace_back(c == ' ' ? FcitxKey_space : fcitx::Key::keySymFromUnicode(c));
  return keys;
}

// Types the keys of the prose into a fresh field using the input method `im`: range(0)
// characters of surrounding text before the caret, range(1) keys.
void BM_FcitxKey(benchmark::State& state, const std::string& im, const std::string& outputMode) {
  auto& running = *fcitx5_bench::running().instance;
  std::ofstream(fcitx5_bench::running().configFolder() / "config.json")
      << R"({"input_method": "telex", "output_mode": ")" << outputMode << "\"}";
  auto* doc = new ParagraphContext(running.inputContextManager(), static_cast<std::size_t>(state.range(0)));
  doc->setCapabilityFlags({fcitx::CapabilityFlag::Preedit, fcitx::CapabilityFlag::SurroundingText});
  doc->focusIn();
  running.setCurrentInputMethod(doc, im, true);
  if (running.inputMethod(doc) != im)
    state.SkipWithError(("input method " + im + " is not available").c_str());
  static const auto keys = proseKeys();
  const auto count = static_cast<std::size_t>(state.range(1));
  std::size_t next = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < count; ++i) {
      const auto& key = keys[next];
      doc->type(key);
      if (++next == keys.size()) next = 0;
      if (key.sym() == FcitxKey_space && i > 0 && kProse[next == 0 ? keys.size() - 2 : next - 2] == '.') {
        doc->restart();
      }
    }
  }
  if (doc->failed()) state.SkipWithError("the input method deleted text after the caret");
  state.counters["ns_per_key"] =
      benchmark::Counter(static_cast<double>(count),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  delete doc;
}

void lengths(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"surrounding", "keys"});
  for (const long keys : {1000, 4000, 100000}) bench->Args({64, keys});
  // The long text is counted and timed at the two lengths the instruction count uses.
  for (const long keys : {1000, 4000}) bench->Args({20000, keys});
}
BENCHMARK_CAPTURE(BM_FcitxKey, quorvix_replace, "quorvix", "replace")->Apply(lengths);
BENCHMARK_CAPTURE(BM_FcitxKey, quorvix_preedit, "quorvix", "preedit")->Apply(lengths);
BENCHMARK_CAPTURE(BM_FcitxKey, keyboard, "keyboard-us", "replace")->Apply(lengths);

}  // namespace

int main(int argc, char** argv) { return fcitx5_bench::runBenchmarks(argc, argv); }
