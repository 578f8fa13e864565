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

std::u16string to_utf16(std::string_view utf8) {
  std::u16string out;
  for (const char32_t c : unicode::decode_utf8(utf8)) {
    if (c > 0xFFFF) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::string to_utf8(std::u16string_view utf16) {
  std::u32string chars;
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < utf16.size()) {
      chars.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else {
      chars.push_back(u);
    }
  }
  return unicode::encode_utf8(chars);
}

bool is_low_surrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Keys of a script: every character is a key, "{Name}" a named key.
std::vector<std::string> keys_of(std::string_view script) {
  std::vector<std::string> keys;
  std::size_t pos = 0;
  while (pos < script.size()) {
    if (script[pos] == '{') {
      const std::size_t end = script.find('}', pos);
      keys.emplace_back(script.substr(pos + 1, end - pos - 1));
      pos = end + 1;
      continue;
    }
    const std::size_t start = pos;
    unicode::next_char(script, pos);
    keys.emplace_back(script.substr(start, pos - start));
  }
  return keys;
}

// A text field with the caret at its end, driven the way an input-method host drives it.
class Field {
 public:
  Field(QrxSession* session, bool readable, std::uint32_t fallback)
      : session_(session), readable_(readable), fallback_(fallback) {}

  void set_text(std::string_view text) { before_ = to_utf16(text); }

  void type(std::string_view script) {
    for (const std::string& key : keys_of(script)) press(key);
  }

  std::string text() const { return to_utf8(before_ + marked_); }
  int refusals() const { return refusals_; }

 private:
  void press(const std::string& key) {
    const std::string display = qrx_display_text(session_);
    std::string snapshot;
    std::uint32_t caret = 0;
    if (readable_) {
      // Up to 25 units before the caret, never starting inside a pair.
      std::size_t start = before_.size() > 25 ? before_.size() - 25 : 0;
      if (start > 0 && is_low_surrogate(before_[start])) ++start;
      const std::u16string_view tail = std::u16string_view(before_).substr(start);
      snapshot = to_utf8(tail);
      caret = static_cast<std::uint32_t>(tail.size());
      qrx_set_surrounding_text(session_, snapshot.c_str());
    }
    const QrxAction action = qrx_process_key(session_, key.c_str(), false, false, false);
    QrxPlan plan{};
    ASSERT_TRUE(qrx_plan_action_with_fallback(session_, &action, 0, display.c_str(),
                                              readable_ ? snapshot.c_str() : nullptr, caret, caret, false,
                                              fallback_, &plan));
    const std::u16string text = plan.text != nullptr ? to_utf16(plan.text) : std::u16string();
    switch (plan.kind) {
      case 0:
        deliver(key);
        break;
      case 1:
        marked_ = text;
        break;
      case 2:
        marked_.clear();
        before_ += text;
        if (plan.pass_key) deliver(key);
        break;
      case 3:
        ASSERT_LE(plan.delete_utf16, before_.size()) << "deletion beyond the start of the field";
        before_.erase(before_.size() - plan.delete_utf16);
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
      if (before_.empty()) return;
      const std::size_t cut = before_.size() >= 2 && is_low_surrogate(before_.back()) ? 2 : 1;
      before_.erase(before_.size() - cut);
    } else if (key == "Enter") {
      before_ += u'\n';
    } else if (unicode::char_count(key) == 1) {
      before_ += to_utf16(key);
    }
  }

  QrxSession* session_;
  bool readable_;
  std::uint32_t fallback_;
  std::u16string before_;
  std::u16string marked_;
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

const std::string kNfdViet = "vie\xCC\xA3\xCC\x82t";  // e, dot below, circumflex

TEST(HostLoop, TypesTextInBothOutputModes) {
  const std::string grin_viet = "\xF0\x9F\x98\x80vi\xE1\xBB\x87t ";
  const std::string nfd_doc = kNfdViet + " ";
  const LoopCase cases[] = {
      {"two words", "{}", "", "tieengs Vieetj ", nullptr, "ti\xE1\xBA\xBFng Vi\xE1\xBB\x87t "},
      {"horn, stroke, dot below", "{}", "", "nguwowif ddi hocj.", nullptr,
       "ng\xC6\xB0\xE1\xBB\x9Di \xC4\x91i h\xE1\xBB\x8D"
       "c."},
      {"backspace inside a word", "{}", "", "vieetj{Backspace}t ", nullptr, "vi\xE1\xBB\x87t "},
      {"after a character outside the BMP", "{}", "", "\xF0\x9F\x98\x80vieetj ", nullptr, grin_viet.c_str()},
      {"NFD output", R"({"unicode_form":"NFD"})", "", "vieetj ", nullptr, nfd_doc.c_str()},
      {"word macro", R"({"macros":{"ko":"kh\u00f4ng"}})", "", "ko ", nullptr, "kh\xC3\xB4ng "},
      {"enter ends the word", "{}", "", "ddaay{Enter}", nullptr, "\xC4\x91\xC3\xA2y\n"},
      {"long text scrolls past the snapshot", "{}", "",
       "mootj hai ba boosn nawm sasu bayr tasm chins muwowif ", nullptr,
       "m\xE1\xBB\x99t hai ba b\xE1\xBB\x91n n\xC4\x83m s\xC3\xA1u b\xE1\xBA\xA3y t\xC3\xA1m ch\xC3\xADn "
       "m\xC6\xB0\xE1\xBB\x9Di "},
      // A phrase macro deletes the words before the current one too.
      {"phrase macro", R"({"macros":{"xin chao":"Xin ch\u00e0o"}})", "", "xin chao ", "Xin ch\xC3\xA0o ",
       "xin chao "},
      {"off-mode macro",
       R"({"default_vietnamese":false,"macro_in_off_mode":true,"macros":{"ko":"kh\u00f4ng"}})", "", "ko ",
       "kh\xC3\xB4ng ", "ko "},
      {"previous word re-opened", "{}", "T\xC3\xB4i chao", "f ", "T\xC3\xB4i ch\xC3\xA0o ", nullptr},
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
      EXPECT_EQ(field.text(), "xin chao \xC4\x91i ") << "the session goes on after refusing";
    }
  }
}

}  // namespace
