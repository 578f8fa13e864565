// A seeded, hostile run of Quorvix in a real Fcitx5 instance: three fields of two programs, keys
// of every kind (words, macros, corrections, chords, Alt+comma), the applications typing,
// deleting, moving the caret and selecting on their own without telling the input method, focus
// moving between the fields, resets, input method switches and configuration changes. After
// every step: no character the application typed itself was removed by anything but the
// application or by what a plain keyboard's key would have removed; a field where Vietnamese is
// off (or that Quorvix does not serve) changed exactly as with a plain keyboard; a replacement
// stands where the letters it replaced stood; a field that lost the focus shows no pre-edit, the
// one with the focus a menu that says whether Vietnamese is on; and the fields the step did not
// concern did not change.
//
// Fixed seeds run in CI, split over processes that run side by side. QRX_STRESS_SEED=<n> runs that
// seed alone, QRX_STRESS_STEPS=<n> sets the steps per seed, QRX_STRESS_SECONDS=<n> goes on with
// further seeds for that long. A failure names its seed and step.
#include <fcitx-utils/log.h>
#include <fcitx/addonmanager.h>
#include <fcitx/action.h>
#include <fcitx/inputpanel.h>
#include <fcitx/statusarea.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <unordered_set>

#include "../fcitx5/fcitx5_test.h"
#include "origin_document.h"
#include "platform/fcitx5/addon.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5::testing {
namespace {

using fcitx::Key;
using fcitx::KeyState;
using fcitx::KeyStates;

// Configurations the run switches between: both output modes, every input method, phrase and word
// macros, macros with Vietnamese off, automatic capitals, NFD.
struct Variant {
  const char* json;
};
constexpr std::array<Variant, 8> kVariants{{
    {R"({"input_method":"telex","output_mode":"replace","macros":{"xin chao":"Xin chào","ko":"không","vn":"Việt Nam","dc":"được"}})"},
    {R"({"input_method":"telex","output_mode":"preedit","macros":{"xin chao":"Xin chào","ko":"không","vn":"Việt Nam"}})"},
    {R"({"input_method":"telex","output_mode":"replace","default_vietnamese":false,"macro_in_off_mode":true,"macros":{"ko":"không","vn":"Việt Nam","xin chao":"Xin chào"}})"},
    {R"({"input_method":"vni","output_mode":"replace","auto_capitalize":true,"macros":{"ko":"không","chao ban":"Chào bạn"}})"},
    {R"({"input_method":"telex","output_mode":"replace","unicode_form":"NFD","smart_caps":true,"macros":{"ko":"không"}})"},
    {R"({"input_method":"simple_telex","output_mode":"preedit","default_vietnamese":false,"macros":{"ko":"không"}})"},
    {R"({"input_method":"viqr","output_mode":"replace","restore_after_space":false,"macro_undo":false})"},
    {R"({"input_method":"telex","output_mode":"replace","edit_previous_word":false,"macros":{"ko":"không","xin chao ban":"Xin chào bạn"}})"},
}};

// Words as their keys, in the methods the variants use; "ko", "vn" and "xin chao" are macros.
constexpr std::array<std::string_view, 30> kWords{
    "xin",   "chao",   "ko",       "vn",       "vieetj",   "tieengs",     "dduwowcj", "nguowif",
    "hoaf",  "quas",   "toi",      "laf",      "banj",     "ddi",         "Vieetj",   "VN",
    "KO",    "vie65t", "d9u7o7c5", "chao2",    "ba5n",     "vie^.t",      "tie^'ng",  "Xin",
    "ddaay", "ban",    "xin chao", "xin chao", "chao ban", "xin chao ban"};
constexpr std::u32string_view kSeparators = U"     .,?!-/:";

// What the applications type on their own: characters no key of the run types and the input method
// never writes, so that no text of the input method's can read like theirs. Letters among them
// (Latin-1 ones count as word characters), a Greek letter, signs, a line break, an emoji.
//
// An application that tells its text at once types and deletes plainly, and may come back to a
// text the field held before. One that tells its text late may take back exactly what was typed
// since it last told it; what else it does leaves a text the field has never held (what it types
// ends with a character it never typed before, what it deletes it replaces by such a character):
// until it tells a text with all of the field's edits, a text the field held after one of them is
// a late report of that edit as far as the field can tell.
constexpr std::array<std::u32string_view, 10> kApplicationTexts{U"ñ", U"øß", U"þ", U"λ",    U"§",
                                                                U"·", U"\n", U"😀", U"ñ\nø", U"—"};

const KeyStates kNoState{};

// The keys that are not letters of a word, with how often they come.
struct SpecialKey {
  Key key;
  int weight;
};
const std::vector<SpecialKey>& specialKeys() {
  static const std::vector<SpecialKey> keys{
      {Key(FcitxKey_BackSpace), 14},
      {Key(FcitxKey_space), 8},
      {Key(FcitxKey_Return), 4},
      {Key(FcitxKey_Escape), 2},
      {Key(FcitxKey_Tab), 1},
      {Key(FcitxKey_Left), 3},
      {Key(FcitxKey_Right), 2},
      {Key(FcitxKey_Home), 1},
      {Key(FcitxKey_End), 1},
      {Key(FcitxKey_Delete), 2},
      {Key(FcitxKey_Up), 1},
      {Key(FcitxKey_Left, KeyStates{KeyState::Shift}), 1},
      {Key(FcitxKey_Right, KeyStates{KeyState::Shift}), 1},
      {Key(FcitxKey_comma, KeyStates{KeyState::Alt}), 3},
      {Key(FcitxKey_comma, KeyStates{KeyState::Alt, KeyState::Shift}), 1},
      {Key(FcitxKey_a, KeyStates{KeyState::Ctrl}), 2},
      {Key(FcitxKey_z, KeyStates{KeyState::Ctrl}), 1},
      {Key(FcitxKey_v, KeyStates{KeyState::Alt}), 1},
      {Key(FcitxKey_e, KeyStates{KeyState::Super}), 1},
      {Key(FcitxKey_v, KeyStates{KeyState::Meta}), 1},
      {Key(FcitxKey_i, KeyStates{KeyState::Hyper}), 1},
      {Key(FcitxKey_EuroSign, KeyStates{KeyState::Mod5}), 1},
      {Key(FcitxKey_Shift_L), 1},
      {Key(FcitxKey_Caps_Lock), 1},
      {Key(FcitxKey_j), 2},
      {Key(FcitxKey_s), 2},
      {Key(FcitxKey_w), 1},
      {Key(FcitxKey_1), 1},
      {Key(FcitxKey_period), 1},
  };
  return keys;
}

// The key that types `c`, with Shift for a capital.
Key keyFor(char32_t c) {
  const auto sym = Key::keySymFromUnicode(c);
  const bool capital = c >= U'A' && c <= U'Z';
  return Key(sym, capital ? KeyStates{KeyState::Shift} : kNoState);
}

std::string describe(const Key& key) {
  const auto text = key.toString();
  return text.empty() ? "key " + std::to_string(key.sym()) : text;
}

// The capabilities a field may have for a whole seed, and how it tells its text.
struct FieldKind {
  const char* name;
  fcitx::CapabilityFlags caps;
  bool late;
  bool caretLine;
};
const std::vector<FieldKind>& fieldKinds() {
  using Flag = fcitx::CapabilityFlag;
  static const std::vector<FieldKind> kinds{
      {"full", kFull, false, false},
      {"full, tells late", kFull, true, false},
      {"full, tells the caret's line", kFull, false, true},
      {"full, tells the caret's line late", kFull, true, true},
      {"pre-edit, no text", kPreeditOnly, false, false},
      {"text, no pre-edit", kSurroundingOnly, false, false},
      {"text of the caret's line, no pre-edit", kSurroundingOnly, true, true},
      {"neither", fcitx::CapabilityFlags{}, false, false},
      {"password", kFull | Flag::Password, false, false},
      {"sensitive", kFull | Flag::Sensitive, false, false},
  };
  return kinds;
}

std::optional<std::uint64_t> environmentNumber(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::strtoull(value, nullptr, 10);
}

constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#else
    false;
#endif

// Steps per seed: enough for words, macros and corrections to meet every kind of interference;
// fewer under the sanitizers, which run the same code several times slower.
std::size_t stepsPerSeed() {
  if (const auto steps = environmentNumber("QRX_STRESS_STEPS")) return *steps;
  return kSanitized ? 1200 : 18000;
}

QuorvixEngine& addon() {
  return *static_cast<QuorvixEngine*>(instance().addonManager().addon("quorvix", true));
}

class StressRun {
 public:
  StressRun(std::uint64_t seed, std::size_t steps) : seed_(seed), steps_(steps), random_(seed) {}

  // False, with the failure reported, when an assertion failed.
  bool go() {
    start();
    for (step_ = 1; step_ <= steps_; ++step_) {
      if (!once()) return false;
    }
    return true;
  }

  ~StressRun() {
    for (auto& field : fields_) {
      if (field.doc->hasFocus()) field.doc->focusOut();
    }
  }

 private:
  struct Field {
    std::unique_ptr<OriginDocument> doc;
    const FieldKind* kind = nullptr;
    // The application's characters that the user's keys released: a plain keyboard would have
    // removed them (typed over the selection, Backspace, Delete).
    std::unordered_set<std::uint64_t> released;
  };

  int pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random_); }
  template <class Container>
  const auto& any(const Container& items) {
    return items[static_cast<std::size_t>(pick(static_cast<int>(std::size(items))))];
  }

  void start() {
    variant_ = static_cast<std::size_t>(pick(static_cast<int>(kVariants.size())));
    writeConfiguration();
    const std::array<const char*, 3> programs{"appa", "appa", pick(4) == 0 ? "minecraft" : "appb"};
    for (const char* program : programs) {
      Field field;
      field.doc = std::make_unique<OriginDocument>(instance().inputContextManager(), program);
      field.kind = &any(fieldKinds());
      field.doc->tellsLate = field.kind->late;
      field.doc->tellsCaretLine = field.kind->caretLine;
      field.doc->setCapabilities(field.kind->caps);
      field.doc->applicationTypes(U"ñø\nß ");
      fields_.push_back(std::move(field));
    }
    for (std::size_t i = fields_.size(); i-- > 0;) {
      focus(i);
      instance().setCurrentInputMethod(fields_[i].doc.get(), "quorvix", true);
    }
  }

  void writeConfiguration() {
    app::ConfigFile(platform::systemFiles()).save(kVariants[variant_].json);
    addon().notifications().post(app::quorvixConfigChanged);
  }

  void focus(std::size_t index) {
    if (focused_ && fields_[*focused_].doc->hasFocus()) fields_[*focused_].doc->focusOut();
    fields_[index].doc->focusIn();
    focused_ = index;
  }

  // Whether the field should act as a plain keyboard: Quorvix does not serve it, or it serves it
  // with Vietnamese off and no macros that work with Vietnamese off.
  bool plain(Field& field) {
    auto& doc = *field.doc;
    if (doc.capabilityFlags().testAny(
            fcitx::CapabilityFlags{fcitx::CapabilityFlag::Password, fcitx::CapabilityFlag::Sensitive})) {
      return true;
    }
    if (instance().inputMethod(&doc) != "quorvix") return true;
    auto* controller = addon().controller(doc);
    if (!controller || !controller->engine()) return false;
    auto& session = *controller->engine();
    if (session.isEnabled()) return false;
    const auto config = session.configJSON().value_or("");
    const bool offMacros = config.find("\"macro_in_off_mode\":true") != std::string::npos &&
                           config.find("\"macro_enabled\":true") != std::string::npos &&
                           config.find("\"macros\":{}") == std::string::npos;
    return !offMacros;
  }

  bool showsPreedit(OriginDocument& doc) {
    return !doc.clientPreedit().empty() || !doc.inputPanel().preedit().empty() ||
           !doc.inputPanel().clientPreedit().empty();
  }

  // One step: what it does, which fields it concerns, and its checks.
  bool once() {
    std::vector<Text> before;
    std::vector<bool> wasPlain;
    std::vector<std::string> shownBefore;
    for (auto& field : fields_) {
      before.push_back(field.doc->text());
      wasPlain.push_back(plain(field));
      shownBefore.push_back(shown(*field.doc));
    }
    // Each field's text as the step should leave it when it acts as a plain keyboard.
    std::vector<Text> expected = before;
    std::vector<bool> concerned(fields_.size(), false);
    constexpr std::size_t kNone = SIZE_MAX;
    std::size_t lostFocus = kNone;
    std::string what;

    const int roll = pick(100);
    if (!focused_ || !fields_[*focused_].doc->hasFocus()) {
      const auto index = static_cast<std::size_t>(pick(static_cast<int>(fields_.size())));
      what = "focus in field " + std::to_string(index);
      focus(index);
      concerned[index] = true;
    } else if (roll < 76) {
      const std::size_t index = *focused_;
      auto& field = fields_[index];
      const Key key = nextKey();
      what = "key " + describe(key) + " in field " + std::to_string(index);
      concerned[index] = true;
      release(field, key);
      typeKey(expected[index], key);
      field.doc->press(key);
    } else if (roll < 89) {
      const std::size_t index = *focused_;
      what = applicationEdit(fields_[index]) + " in field " + std::to_string(index);
      concerned[index] = true;
      // The application's own change: what it leaves is what a plain keyboard sees too.
      expected[index] = fields_[index].doc->text();
    } else if (roll < 94) {
      const auto from = *focused_;
      const auto to = static_cast<std::size_t>(pick(static_cast<int>(fields_.size())));
      concerned[from] = concerned[to] = true;
      lostFocus = from;
      if (pick(4) == 0) {
        what = "focus leaves field " + std::to_string(from);
        fields_[from].doc->focusOut();
      } else {
        what = "focus from field " + std::to_string(from) + " to field " + std::to_string(to);
        focus(to);
        if (to == from) lostFocus = kNone;
      }
    } else if (roll < 97) {
      what = "reset of field " + std::to_string(*focused_);
      concerned[*focused_] = true;
      fields_[*focused_].doc->reset();
    } else if (roll < 98) {
      auto& doc = *fields_[*focused_].doc;
      const bool quorvix = instance().inputMethod(&doc) == "quorvix";
      what = std::string("switch to ") + (quorvix ? "the keyboard" : "Quorvix") + " in field " +
             std::to_string(*focused_);
      concerned[*focused_] = true;
      instance().setCurrentInputMethod(&doc, quorvix ? "keyboard-us" : "quorvix", true);
    } else if (roll < 99) {
      variant_ = static_cast<std::size_t>(pick(static_cast<int>(kVariants.size())));
      what = "configuration " + std::to_string(variant_);
      for (std::size_t i = 0; i < fields_.size(); ++i) concerned[i] = true;
      writeConfiguration();
    } else {
      what = "a second passes";
      for (std::size_t i = 0; i < fields_.size(); ++i) concerned[i] = true;
      watched().timers->advance(std::chrono::seconds(1));
    }
    remember(what, concerned);

    for (std::size_t i = 0; i < fields_.size(); ++i) {
      auto& field = fields_[i];
      const auto& now = field.doc->text();
      const auto committed = field.doc->takeCommitted();
      for (const auto& cell : field.doc->takeRemovedApplicationCells()) {
        if (!field.released.contains(cell.id)) {
          return fail(
              "the application's " + qrx_unicode::encode_utf8(cell.c) + " removed in field " + std::to_string(i),
              before[i], now);
        }
      }
      if (!concerned[i] && !now.reads(before[i])) {
        return fail("field " + std::to_string(i) + " changed by a step that does not concern it", before[i],
                    now);
      }
      if (concerned[i] && wasPlain[i] && !now.reads(expected[i])) {
        return fail("field " + std::to_string(i) + " (" + field.kind->name +
                        ") is no plain keyboard: expected " + expected[i].show(),
                    before[i], now);
      }
      // A replacement of letters of the word the field shows, rather than letters added to it,
      // stands where the letters it replaced stood: right before the caret, the word as shown.
      const auto shownAfter = shown(*field.doc);
      if (!committed.empty() && !shownBefore[i].empty() && !shownAfter.empty() && !showsPreedit(*field.doc) &&
          shownAfter != shownBefore[i] + committed &&
          !qrx_unicode::encode_utf8(now.chars(0, now.cursor)).ends_with(shownAfter)) {
        return fail("field " + std::to_string(i) + " does not end with the word " + shownAfter + " after " +
                        committed + " replaced letters of " + shownBefore[i],
                    before[i], now);
      }
      if (concerned[i] && wasPlain[i] && !field.doc->clientPreedit().empty()) {
        return fail("pre-edit " + field.doc->clientPreedit() + " in a plain field " + std::to_string(i),
                    before[i], now);
      }
    }
    // The menu of the field with the focus says whether Vietnamese is on there.
    if (focused_ && fields_[*focused_].doc->hasFocus()) {
      auto& doc = *fields_[*focused_].doc;
      auto* controller = addon().controller(doc);
      const auto& actions = doc.statusArea().actions(fcitx::StatusGroup::InputMethod);
      if (instance().inputMethod(&doc) == "quorvix" && controller && controller->engine() &&
          !actions.empty()) {
        const std::string title = actions.front()->shortText(&doc);
        if (title != (controller->engine()->isEnabled() ? "Tắt tiếng Việt" : "Bật tiếng Việt")) {
          return fail("the menu of field " + std::to_string(*focused_) + " reads " + title, before[*focused_],
                      doc.text());
        }
      }
    }
    if (lostFocus != kNone && showsPreedit(*fields_[lostFocus].doc)) {
      auto& doc = *fields_[lostFocus].doc;
      return fail("pre-edit left after focus out: " + doc.clientPreedit() + " / " +
                      doc.inputPanel().preedit().toString(),
                  before[lostFocus], doc.text());
    }
    // Keep the documents short, as an application clearing its field would.
    for (auto& field : fields_) {
      if (field.doc->text().cells.size() > 300) field.doc->applicationErases(0, 200);
    }
    return true;
  }

  // The application's characters that `key` would remove on a plain keyboard. With a pre-edit
  // shown, Backspace takes back its last letter, and a selection is as good as gone: the letters
  // of the pre-edit were typed over it, so Delete takes the character after it too.
  void release(Field& field, const Key& key) {
    const Text& text = field.doc->text();
    const bool preedit = showsPreedit(*field.doc);
    if (!text.selects() && preedit && key.check(FcitxKey_BackSpace)) return;
    Text copy = text;
    for (const auto& cell : typeKey(copy, key)) field.released.insert(cell.id);
    if (text.selects() && preedit && key.check(FcitxKey_Delete) && text.end() < text.cells.size()) {
      field.released.insert(text.cells[text.end()].id);
    }
  }

  Key nextKey() {
    if (pending_.empty()) {
      if (pick(3) == 0) {
        int total = 0;
        for (const auto& special : specialKeys()) total += special.weight;
        int at = pick(total);
        for (const auto& special : specialKeys()) {
          if ((at -= special.weight) < 0) return special.key;
        }
      }
      for (const char32_t c : qrx_unicode::decode_utf8(any(kWords))) pending_.push_back(keyFor(c));
      if (pick(5) == 0) {
        pending_.push_back(Key(FcitxKey_Return));
      } else {
        pending_.push_back(keyFor(any(kSeparators)));
      }
    }
    const Key key = pending_.front();
    pending_.pop_front();
    return key;
  }

  std::string applicationEdit(Field& field) {
    auto& doc = *field.doc;
    const Text& text = doc.text();
    const auto size = text.cells.size();
    const auto distance = static_cast<std::size_t>(1 + pick(3));
    const bool plainly = !field.kind->late && pick(2) == 0;
    switch (pick(8)) {
      case 0:
      case 1: {
        auto typed = std::u32string(any(kApplicationTexts));
        if (!plainly) typed += freshMark();
        doc.applicationTypes(typed);
        return "the application types " + qrx_unicode::encode_utf8(typed);
      }
      case 2: {
        const auto to = text.start();
        const auto from = to - std::min(to, distance);
        doc.applicationErases(from, to);
        if (plainly) return "the application deletes " + std::to_string(to - from) + " before the caret";
        const std::u32string mark(1, freshMark());
        doc.applicationTypes(mark);
        return "the application replaces " + std::to_string(to - from) + " before the caret by " +
               qrx_unicode::encode_utf8(mark);
      }
      case 3: {
        const auto from = text.end();
        const auto to = std::min(size, from + distance);
        if (text.selects() || to == from || plainly) {
          doc.applicationErases(from, to);
          return "the application deletes after the caret";
        }
        // The caret stays before the character put in the place of those deleted.
        doc.applicationErases(from, to);
        const std::u32string mark(1, freshMark());
        doc.applicationTypes(mark);
        doc.applicationSelects(from, from);
        return "the application replaces " + std::to_string(to - from) + " after the caret by " +
               qrx_unicode::encode_utf8(mark);
      }
      case 4: {
        const auto to = static_cast<std::size_t>(pick(static_cast<int>(size) + 1));
        doc.applicationSelects(to, to);
        return "the application moves the caret to " + std::to_string(to);
      }
      case 5: {
        return doc.applicationTakesBack() ? "the application takes back what was typed since the field looked"
                                          : "the application has nothing to take back";
      }
      case 6: {
        const auto to = pick(2) == 0 ? text.cursor - std::min(text.cursor, distance)
                                     : std::min(size, text.cursor + distance);
        doc.applicationSelects(to, to);
        return "the application moves the caret by " + std::to_string(distance);
      }
      default: {
        // A selection that a composition would then cover is the application's business: it
        // selects only between words.
        if (showsPreedit(doc) || !shown(doc).empty()) return "the application leaves the selection";
        const auto anchor = static_cast<std::size_t>(pick(static_cast<int>(size) + 1));
        doc.applicationSelects(text.cursor, anchor);
        return "the application selects up to " + std::to_string(anchor);
      }
    }
  }

  // A character of the application's that the field has never held: an ideograph, which no key of
  // the run types and no word takes in.
  char32_t freshMark() { return U'\u4E00' + static_cast<char32_t>(marks_++ % 0x5000); }

  // The word Quorvix shows in the field, empty when it shows none or does not serve the field.
  std::string shown(OriginDocument& doc) {
    if (instance().inputMethod(&doc) != "quorvix") return {};
    auto* controller = addon().controller(doc);
    return controller && controller->engine() ? controller->engine()->displayText() : std::string();
  }

  void remember(const std::string& what, const std::vector<bool>& concerned) {
    std::string line = "step " + std::to_string(step_) + ": " + what + " →";
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (!concerned[i]) continue;
      line += "  " + std::to_string(i) + ": " + fields_[i].doc->text().show(true);
      if (!fields_[i].doc->clientPreedit().empty()) line += " [" + fields_[i].doc->clientPreedit() + "]";
    }
    recent_.push_back(std::move(line));
    if (recent_.size() > 25) recent_.pop_front();
  }

  bool fail(const std::string& why, const Text& before, const Text& after) {
    std::ostringstream report;
    report << "seed " << seed_ << ", step " << step_ << ": " << why << "\n  before: " << before.show(true)
           << "\n  after:  " << after.show(true) << "\n  configuration: " << kVariants[variant_].json
           << "\n  fields:";
    for (const auto& field : fields_)
      report << " [" << field.kind->name << ", " << field.doc->program() << "]";
    report << "\n  the application's characters are underlined; the steps before:\n";
    for (const auto& line : recent_) report << "    " << line << "\n";
    report << "  rerun alone with QRX_STRESS_SEED=" << seed_ << " QRX_STRESS_STEPS=" << step_;
    ADD_FAILURE() << report.str();
    return false;
  }

  std::uint64_t seed_;
  std::size_t steps_;
  std::size_t step_ = 0;
  std::mt19937_64 random_;
  std::size_t variant_ = 0;
  std::vector<Field> fields_;
  std::optional<std::size_t> focused_;
  std::deque<Key> pending_;
  std::deque<std::string> recent_;
  std::uint32_t marks_ = 0;
};

// Fcitx5's test user interface writes every pre-edit to standard output; the run keeps it quiet.
class QuietOutput {
 public:
  QuietOutput() : saved_(std::cout.rdbuf(nullptr)) { fcitx::Log::setLogRule("*=0"); }
  ~QuietOutput() { std::cout.rdbuf(saved_); }
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  std::streambuf* saved_;
};

class Stress : public ::testing::TestWithParam<std::uint64_t> {
 protected:
  QuietOutput quiet_;
};

TEST_P(Stress, NeverTouchesTheApplicationsText) {
  if (!addonBuiltIn()) GTEST_SKIP() << "the run reads the built-in addon's controllers";
  const auto only = environmentNumber("QRX_STRESS_SEED");
  if (only && *only != GetParam()) GTEST_SKIP() << "QRX_STRESS_SEED names another seed";
  StressRun(GetParam(), stepsPerSeed()).go();
}

// The fixed seeds of CI: enough that the run finds, by its own seeds, what a long run with fresh
// seeds found; the seeds such runs found failing; and the one named by QRX_STRESS_SEED when it is
// not among them.
constexpr std::uint64_t kFixedSeeds = 400;
constexpr std::array<std::uint64_t, 2> kFoundFailing{
    2359388200,  // a take-back read as a late report: a newline typed by a key replaced
    3318447522,  // a take-back read as a late report: the application's ß deleted
};

std::vector<std::uint64_t> seeds() {
  std::vector<std::uint64_t> list;
  for (std::uint64_t seed = 1; seed <= kFixedSeeds; ++seed) list.push_back(seed);
  list.insert(list.end(), kFoundFailing.begin(), kFoundFailing.end());
  if (const auto only = environmentNumber("QRX_STRESS_SEED");
      only && std::ranges::find(list, *only) == list.end()) {
    list.push_back(*only);
  }
  return list;
}
INSTANTIATE_TEST_SUITE_P(Seeds, Stress, ::testing::ValuesIn(seeds()));

// Goes on with fresh seeds for QRX_STRESS_SECONDS (from QRX_STRESS_SEED, else from a random one),
// and says how many seeds and steps it ran and which seeds failed.
TEST(StressForAWhile, FurtherSeeds) {
  const auto seconds = environmentNumber("QRX_STRESS_SECONDS");
  if (!seconds || !addonBuiltIn()) GTEST_SKIP() << "QRX_STRESS_SECONDS is not set";
  const QuietOutput quiet;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(*seconds);
  const std::uint64_t first = environmentNumber("QRX_STRESS_SEED").value_or(std::random_device()() + 1000);
  std::uint64_t seed = first;
  std::vector<std::uint64_t> failed;
  while (std::chrono::steady_clock::now() < until) {
    if (!StressRun(seed, stepsPerSeed()).go()) failed.push_back(seed);
    ++seed;
  }
  std::cerr << "stress: seeds " << first << " to " << seed - 1 << ", " << seed - first << " seeds of "
            << stepsPerSeed() << " steps, " << failed.size() << " failed";
  for (const auto bad : failed) std::cerr << " " << bad;
  std::cerr << "\n";
}

}  // namespace
}  // namespace quorvix::platform::fcitx5::testing
