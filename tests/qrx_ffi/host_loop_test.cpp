// Typing real text through the C functions exactly as a host does it: display text and
// surrounding text before each key, the key, an edit plan with fall-back, and the plan applied
// to a UTF-16 text field. Only the final document counts.
#include "session_handle.h"

#include <unicode_text/unicode.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace qrx_ffi_test;

// UTF-16 units of a character in the host's field.
std::uint32_t units(char32_t c) { return c > 0xFFFF ? 2 : 1; }

// Keys of a script: every character is a key, "{Name}" a named key.
std::vector<std::string> keys_of(std::string_view script) {
  std::vector<std::string> keys;
  std::size_t pos = 0;
  while (pos < script.size()) {
    const std::size_t start = pos;
    if (script[pos] == '{') {
      pos = script.find('}', pos) + 1;
      keys.emplace_back(script.substr(start + 1, pos - start - 2));
    } else {
      unicode::next_char(script, pos);
      keys.emplace_back(script.substr(start, pos - start));
    }
  }
  return keys;
}

// A text field with the caret at its end, counted in UTF-16 units and driven the way an
// input-method host drives it.
class Field {
 public:
  Field(QrxSession* session, bool readable, std::uint32_t fallback)
      : session_(session), readable_(readable), fallback_(fallback) {}

  void set_text(std::string_view text) { before_ = unicode::decode_utf8(text); }

  void type(std::string_view script) {
    for (const std::string& key : keys_of(script)) press(key);
  }

  std::string text() const { return unicode::encode_utf8(before_ + marked_); }
  int refusals() const { return refusals_; }

 private:
  void press(const std::string& key) {
    const std::string display = qrx_display_text(session_);
    std::string snapshot;
    std::uint32_t caret = 0;
    if (readable_) {
      // Up to 25 units before the caret, never starting inside a pair.
      std::size_t start = before_.size();
      while (start > 0 && caret + units(before_[start - 1]) <= 25) caret += units(before_[--start]);
      snapshot = unicode::encode_utf8(std::u32string_view(before_).substr(start));
      qrx_set_surrounding_text(session_, snapshot.c_str());
    }
    const QrxAction action = qrx_process_key(session_, key.c_str(), false, false, false);
    QrxPlan plan{};
    ASSERT_TRUE(qrx_plan_action_with_fallback(session_, &action, 0, display.c_str(),
                                              readable_ ? snapshot.c_str() : nullptr, caret, caret, false,
                                              fallback_, &plan));
    const std::u32string text = plan.text != nullptr ? unicode::decode_utf8(plan.text) : std::u32string();
    switch (plan.kind) {
      case 0:
        deliver(key);
        break;
      case 1:
        marked_ = text;
        break;
      case 3:
        for (std::uint32_t left = plan.delete_utf16; left > 0; before_.pop_back()) {
          ASSERT_FALSE(before_.empty()) << "deletion beyond the start of the field";
          ASSERT_GE(left, units(before_.back())) << "deletion splitting a pair";
          left -= units(before_.back());
        }
        [[fallthrough]];
      case 2:
        marked_.clear();
        before_ += text;
        if (plan.pass_key) deliver(key);
        break;
      default:  // fail-safe: drop the composition, let the key through
        ++refusals_;
        qrx_reset(session_);
        marked_.clear();
        deliver(key);
        break;
    }
  }

  void deliver(const std::string& key) {
    if (key == "Backspace") {
      if (!before_.empty()) before_.pop_back();
    } else if (key == "Enter") {
      before_ += U'\n';
    } else if (unicode::char_count(key) == 1) {
      before_ += unicode::decode_utf8(key);
    }
  }

  QrxSession* session_;
  bool readable_;
  std::uint32_t fallback_;
  std::u32string before_;
  std::u32string marked_;
  int refusals_ = 0;
};

struct LoopCase {
  const char* name;
  const char* config;
  const char* initial;  // text already in the field
  const char* keys;
  const char* replace_doc;  // nullptr: same as preedit_doc
  const char* preedit_doc;
};

TEST(HostLoop, TypesTextInBothOutputModes) {
  const LoopCase cases[] = {
      {"two words", "{}", "", "tieengs Vieetj ", nullptr, "tiếng Việt "},
      {"horn, stroke, dot below", "{}", "", "nguwowif ddi hocj.", nullptr, "người đi học."},
      {"backspace inside a word", "{}", "", "vieetj{Backspace}t ", nullptr, "việt "},
      {"after a character outside the BMP", "{}", "", "\U0001F600vieetj ", nullptr, "\U0001F600việt "},
      {"NFD output", R"({"unicode_form":"NFD"})", "", "vieetj ", nullptr, "vie\u0323\u0302t "},
      {"word macro", R"({"macros":{"ko":"kh\u00f4ng"}})", "", "ko ", nullptr, "không "},
      {"enter ends the word", "{}", "", "ddaay{Enter}", nullptr, "đây\n"},
      {"long text scrolls past the snapshot", "{}", "",
       "mootj hai ba boosn nawm sasu bayr tasm chins muwowif ", nullptr,
       "một hai ba bốn năm sáu bảy tám chín mười "},
      // A phrase macro deletes the words before the current one too.
      {"phrase macro", R"({"macros":{"xin chao":"Xin ch\u00e0o"}})", "", "xin chao ", "Xin chào ",
       "xin chao "},
      {"off-mode macro",
       R"({"default_vietnamese":false,"macro_in_off_mode":true,"macros":{"ko":"kh\u00f4ng"}})", "", "ko ",
       "không ", "ko "},
      {"previous word re-opened", "{}", "Tôi chao", "f ", "Tôi chào ", nullptr},
  };
  for (const LoopCase& c : cases) {
    for (const std::uint32_t mode : {kReplace, kPreedit}) {
      const char* expected = mode == kReplace && c.replace_doc ? c.replace_doc : c.preedit_doc;
      if (expected == nullptr) continue;
      auto session = make_session(c.config, mode);
      ASSERT_NE(session, nullptr) << c.name;
      Field field(session.get(), true, 1);
      field.set_text(c.initial);
      field.type(c.keys);
      const char* mode_name = mode == kReplace ? " [replace]" : " [preedit]";
      EXPECT_EQ(field.text(), expected) << c.name << mode_name;
      EXPECT_EQ(field.refusals(), 0) << c.name << mode_name;
    }
  }
}

TEST(HostLoop, PhraseMacroInAFieldThatCannotBeReadNeverCorruptsIt) {
  // Without a snapshot the host cannot check the deletion; a deletion reported smaller than
  // the session asked for would be applied as it stands and leave "xin " in front.
  for (const std::uint32_t fallback : {0U, 1U, 2U}) {
    auto session = make_session(R"({"macros":{"xin chao":"Xin ch\u00e0o"}})", kReplace);
    Field field(session.get(), false, fallback);
    field.type("xin chao ");
    EXPECT_EQ(field.text(), "xin chao ") << "fallback " << fallback;
    EXPECT_EQ(field.refusals(), 1) << "fallback " << fallback;
    if (fallback == 2) {
      field.type("ddi ");
      EXPECT_EQ(field.text(), "xin chao đi ") << "the session goes on after refusing";
    }
  }
}

}  // namespace
