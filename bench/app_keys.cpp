// One key through the whole path in a real Fcitx5 instance, in-process: the key event, the input
// method, and the edit applied to a document kept the way an application keeps it. Quorvix (Telex,
// in replace and in pre-edit mode) and Fcitx5's own keyboard input method, in the same instance,
// type the same varied Vietnamese text into a field that already holds 64 or 20,000 characters
// before the caret, so that the difference between them is what Quorvix adds to a key, and the two
// lengths show whether that grows with the text.
//
// The field tells its text the way one kind of application does:
//   window   at once after each edit, 64 characters each side of the caret (Chromium, Firefox);
//   line     the whole line before each key (GTK's Fcitx5 module);
//   late     the whole line before each key, as it stood after one of its edits of the last
//            three keys (never older than what it told last), and keys the input method let
//            through typed only later;
//   nothing  not at all: the field has no surrounding text, and Quorvix falls back to pre-edit.
#include <fcitx/inputcontext.h>
#include <fcitx/surroundingtext.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_text.h"
#include "fcitx5_instance.h"

namespace {

enum class Reports { Window, Line, Late, Nothing };

// What the field holds before the caret when it starts, repeated up to the length asked for, and
// after the caret all the time.
constexpr std::string_view kEarlierText = "Tiếng Việt rất hay, được không? Mùa thu năm nay trời đẹp. ";
constexpr std::string_view kLaterText =
    " Cuối thư, chúng tôi gửi lời chào đến cả nhà và hẹn gặp lại vào mùa hè năm sau nhé.";
// Longer than a string holds without the heap, as many programs' names are, so that a copy of it
// at every key would show among the allocations.
constexpr const char* kProgram = "org.gnome.TextEditor";
// The characters a windowed report holds each side of the caret.
constexpr std::size_t kWindowChars = 64;
// How many keys late the late field's reports may be.
constexpr std::size_t kMaxLagKeys = 3;

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte offset `chars` characters back from `end` in `text`, or 0.
std::size_t backBy(std::string_view text, std::size_t end, std::size_t chars) {
  for (; chars > 0 && end > 0; --chars) {
    do --end;
    while (end > 0 && isContinuation(text[end]));
  }
  return end;
}

// A text field whose caret stays where typing goes on, before a sentence that stays after it. It
// applies commits, deletions before the caret and the keys the input method lets through, each as
// cheaply as an application would, so that what is measured is the input method's work. Enter
// sends the message, as in a chat box: the field goes back to what it held at the start, so that
// its length does not grow with the run.
class BenchField : public fcitx::InputContext {
 public:
  BenchField(fcitx::InputContextManager& manager, std::size_t length, Reports reports)
      : InputContext(manager, kProgram), reports_(reports) {
    created();
    for (std::size_t at = 0; startChars_ < length; ++startChars_) {
      if (at == kEarlierText.size()) at = 0;
      const auto from = at;
      qrx_unicode::next_char(kEarlierText, at);
      start_.append(kEarlierText.substr(from, at - from));
    }
    const auto afterChars = qrx_unicode::char_count(kLaterText);
    windowAfter_ = kLaterText.substr(0, backBy(kLaterText, kLaterText.size(), afterChars - kWindowChars));
    text_.reserve(start_.size() + 16384);
    told_.reserve(start_.size() + kLaterText.size() + 16384);
    history_.reserve(64);
  }
  ~BenchField() override { destroy(); }
  const char* frontend() const override { return "quorvix-bench"; }

  void start() {
    restart();
    tellNow();
  }
  // Tells the text where this field does so before a key, presses and releases the key, and types
  // it when the input method did not.
  void type(const fcitx::Key& key) {
    if (reports_ == Reports::Line) tell(text_, chars_);
    if (reports_ == Reports::Late) tellLate();
    fcitx::KeyEvent press(this, key, false);
    const bool taken = keyEvent(press);
    fcitx::KeyEvent release(this, key, true);
    keyEvent(release);
    if (taken) return;
    if (reports_ == Reports::Late) {
      unhandled_.push_back(key);
    } else {
      typeUnhandled(key);
    }
  }
  bool failed() const { return failed_; }

 protected:
  void commitStringImpl(const std::string& text) override {
    text_ += text;
    chars_ += qrx_unicode::char_count(text);
    changed();
  }
  void deleteSurroundingTextImpl(int offset, unsigned int size) override {
    // Only text before the caret is ever deleted here.
    if (offset > 0 || static_cast<std::size_t>(-offset) > chars_ || size > static_cast<unsigned>(-offset)) {
      failed_ = true;
      return;
    }
    const std::size_t from = backBy(text_, text_.size(), static_cast<std::size_t>(-offset));
    std::size_t to = from;
    for (unsigned i = 0; i < size; ++i) qrx_unicode::next_char(text_, to);
    erase(from, to);
    chars_ -= size;
    changed();
  }
  void forwardKeyImpl(const fcitx::ForwardKeyEvent& event) override {
    if (!event.isRelease()) typeUnhandled(event.rawKey());
  }
  // The field draws the pre-edit where the input method's panel puts it; nothing to keep.
  void updatePreeditImpl() override {}

 private:
  // One state of the text the late field may tell: its first `kept` bytes are still the text's
  // own (as long as no edit reached back before them), followed by `tail`.
  struct Told {
    std::size_t id = 0;
    std::size_t kept = 0;
    std::string tail;
    std::size_t chars = 0;
  };
  // A late report reaches back only a few keys, none of whose edits goes further back than a word
  // or two; keeping this much of the end of each state is plenty.
  static constexpr std::size_t kTailBytes = 512;

  void typeUnhandled(const fcitx::Key& key) {
    if (key.check(FcitxKey_Return)) {
      restart();
      tellNow();
      return;
    }
    if (key.check(FcitxKey_BackSpace)) {
      if (chars_ == 0) return;
      erase(backBy(text_, text_.size(), 1), text_.size());
      --chars_;
    } else if (const auto c = fcitx::Key::keySymToUnicode(key.sym()); c >= 0x20 && c != 0x7F) {
      qrx_unicode::append_utf8(text_, static_cast<char32_t>(c));
      ++chars_;
    } else {
      return;
    }
    changed();
  }

  void restart() {
    text_ = start_;
    chars_ = startChars_;
    unhandled_.clear();
    history_.clear();
    keyStarts_.clear();
    if (reports_ == Reports::Late) record();
  }

  void erase(std::size_t from, std::size_t to) {
    text_.erase(from, to - from);
    for (auto& state : history_) {
      if (from < state.kept) failed_ = true;
    }
  }

  void changed() {
    if (reports_ == Reports::Window) tellNow();
    if (reports_ == Reports::Late) record();
  }

  void tellNow() {
    if (reports_ == Reports::Window) {
      const auto from = backBy(text_, text_.size(), kWindowChars);
      told_.assign(text_, from).append(windowAfter_);
      const auto before = static_cast<unsigned>(std::min(chars_, kWindowChars));
      surroundingText().setText(told_, before, before);
      updateSurroundingText();
    } else if (reports_ != Reports::Nothing) {
      tell(text_, chars_);
      lastTold_ = history_.empty() ? 0 : history_.back().id;
    }
  }

  // The whole line: `before` and the sentence after the caret.
  void tell(const std::string& before, std::size_t chars) {
    told_.assign(before).append(kLaterText);
    surroundingText().setText(told_, static_cast<unsigned>(chars), static_cast<unsigned>(chars));
    updateSurroundingText();
  }

  void record() {
    Told state;
    if (history_.size() > 32) {
      state = std::move(history_.front());
      history_.erase(history_.begin());
    }
    state.id = ++nextId_;
    state.kept = text_.size() - std::min(text_.size(), kTailBytes);
    state.tail.assign(text_, state.kept);
    state.chars = chars_;
    history_.push_back(std::move(state));
  }

  // Before each key: half the time the keys let through so far are typed first; then one of the
  // states after the edits of the last few keys is told, never one older than the last told.
  void tellLate() {
    if (std::uniform_int_distribution<int>(0, 1)(random_) == 0) {
      for (const auto& key : std::exchange(unhandled_, {})) typeUnhandled(key);
    }
    keyStarts_.push_back(history_.back().id);
    if (keyStarts_.size() > kMaxLagKeys + 1) keyStarts_.erase(keyStarts_.begin());
    const auto oldest = std::max(keyStarts_.front(), lastTold_);
    const auto first = static_cast<std::size_t>(
        std::find_if(history_.begin(), history_.end(), [&](const Told& s) { return s.id >= oldest; }) -
        history_.begin());
    const auto& state =
        history_[std::uniform_int_distribution<std::size_t>(first, history_.size() - 1)(random_)];
    // Told before every key, even when it told the same last time, so that Fcitx5's own work per
    // report (it checks the whole text) is the same whichever input method runs.
    lastTold_ = state.id;
    told_.assign(text_, 0, state.kept).append(state.tail).append(kLaterText);
    surroundingText().setText(told_, static_cast<unsigned>(state.chars), static_cast<unsigned>(state.chars));
    updateSurroundingText();
  }

  Reports reports_;
  std::string start_;
  std::size_t startChars_ = 0;
  std::string_view windowAfter_;
  std::string text_;
  std::size_t chars_ = 0;
  std::string told_;
  std::vector<Told> history_;
  std::vector<std::size_t> keyStarts_;
  std::size_t nextId_ = 0;
  std::size_t lastTold_ = 0;
  std::vector<fcitx::Key> unhandled_;
  std::mt19937 random_{29};
  bool failed_ = false;
};

// The Telex keys of the benchmarks' Vietnamese text, capitals with Shift.
const std::vector<fcitx::Key>& textKeys() {
  static const std::vector<fcitx::Key> keys = [] {
    std::vector<fcitx::Key> out;
    for (const char c : bench_text::keys(bench_text::Method::Telex)) {
      if (c == '\n') {
        out.emplace_back(FcitxKey_Return);
      } else if (c == ' ') {
        out.emplace_back(FcitxKey_space);
      } else {
        const auto sym = fcitx::Key::keySymFromUnicode(static_cast<unsigned char>(c));
        out.emplace_back(
            sym, c >= 'A' && c <= 'Z' ? fcitx::KeyStates(fcitx::KeyState::Shift) : fcitx::KeyStates());
      }
    }
    return out;
  }();
  return keys;
}

// Types the first range(1) keys of the text into a fresh field that holds range(0) characters
// before the caret, using the input method `im`.
void BM_FcitxKey(benchmark::State& state, Reports reports, const std::string& im,
                 const std::string& outputMode) {
  auto& running = *fcitx5_bench::running().instance;
  std::ofstream(fcitx5_bench::running().configFolder() / "config.json")
      << R"({"input_method": "telex", "output_mode": ")" << outputMode << "\"}";
  auto* field =
      new BenchField(running.inputContextManager(), static_cast<std::size_t>(state.range(0)), reports);
  fcitx::CapabilityFlags capabilities{fcitx::CapabilityFlag::Preedit};
  if (reports != Reports::Nothing) capabilities |= fcitx::CapabilityFlag::SurroundingText;
  field->setCapabilityFlags(capabilities);
  field->focusIn();
  // As the trigger key leaves it, the way most users switch: the group's input method, active in
  // the field, rather than one chosen for this field alone (which Fcitx5 looks up anew several
  // times a key).
  running.setCurrentInputMethod(field, im, false);
  if (running.inputMethod(field) != im)
    state.SkipWithError(("input method " + im + " is not available").c_str());
  const auto& keys = textKeys();
  const auto count = std::min(keys.size(), static_cast<std::size_t>(state.range(1)));
  long long allocations = 0;
  for (auto _ : state) {
    field->start();
    const long long before = bench_text::allocations();
    for (std::size_t i = 0; i < count; ++i) field->type(keys[i]);
    allocations += bench_text::allocations() - before;
  }
  if (field->failed()) state.SkipWithError("the input method deleted text it had no business deleting");
  state.counters["ns_per_key"] =
      benchmark::Counter(static_cast<double>(count),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  // Fcitx5's own allocations included: the keyboard input method's rows tell how many those are.
  state.counters["allocs_per_key"] = static_cast<double>(allocations) /
                                     (static_cast<double>(count) * static_cast<double>(state.iterations()));
  delete field;
}

struct Field {
  const char* name;
  Reports reports;
};
constexpr std::array<Field, 4> kFields{{
    {"window", Reports::Window},
    {"line", Reports::Line},
    {"late", Reports::Late},
    {"nothing", Reports::Nothing},
}};

struct Method {
  const char* name;
  const char* im;
  const char* outputMode;
};
constexpr std::array<Method, 3> kMethods{{
    {"quorvix_replace", "quorvix", "replace"},
    {"quorvix_preedit", "quorvix", "preedit"},
    {"keyboard", "keyboard-us", "replace"},
}};

// The two key counts the instruction count per key is taken between.
void registerAll() {
  for (const auto& field : kFields) {
    for (const auto& method : kMethods) {
      const auto name = std::string("BM_FcitxKey/") + field.name + "/" + method.name;
      auto* bench = benchmark::RegisterBenchmark(name.c_str(), BM_FcitxKey, field.reports,
                                                 std::string(method.im), std::string(method.outputMode));
      bench->ArgNames({"surrounding", "keys"})->ArgsProduct({{64, 20000}, {2000, 10000}});
      bench->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  return fcitx5_bench::runBenchmarks(argc, argv);
}
