// Charset conversion on arbitrary input for every charset name, and round trips of Vietnamese
// text wherever the charset can hold it.
#include "fuzz_support.h"

#include <quorvix.h>

#include <string>
#include <vector>

namespace {

// Letters every charset table covers, plus plain ASCII words and spacing.
constexpr std::string_view kPalette =
    "aàáảãạăằắẳẵặâầấẩẫậeèéẻẽẹêềếểễệiìíỉĩịoòóỏõọôồốổỗộơờớởỡợuùúủũụưừứửữựyỳýỷỹỵđ"
    "AÀÁẢÃẠĂẰẮẲẴẶÂẦẤẨẪẬEÈÉẺẼẸÊỀẾỂỄỆIÌÍỈĨỊOÒÓỎÕỌÔỒỐỔỖỘƠỜỚỞỠỢUÙÚỦŨỤƯỪỨỬỮỰYỲÝỶỸỴĐ"
    "bcdghklmnpqrstvx BCDGHKLMNPQRSTVX 0123456789";

// Palette letters that do not come back alone from a charset: the built-in tables give some
// letters the value of another (capitals sharing their lower case's value in TCVN3, the bkhcm1
// pairs). A text made of letters that each come back must come back whole.
std::u32string lossy_letters(QrxSession* session, const std::string& name) {
  std::u32string lossy;
  for (char32_t c : fuzz::code_points(kPalette)) {
    std::string letter;
    fuzz::append_utf8(letter, c);
    std::size_t length = 0;
    const std::uint8_t* bytes = qrx_charset_encode_bytes(session, name.c_str(), letter.c_str(), &length);
    const char* encoded = qrx_charset_encode(session, name.c_str(), letter.c_str());
    const std::string copy = encoded ? encoded : "";
    const char* text_back = qrx_charset_decode(session, name.c_str(), copy.c_str());
    bool ok = text_back != nullptr && text_back == letter;
    if (bytes != nullptr) {
      const std::string raw(reinterpret_cast<const char*>(bytes), length);
      const char* back = qrx_charset_decode_bytes(
          session, name.c_str(), reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
      ok = ok && back != nullptr && back == letter;
    }
    if (!ok) lossy.push_back(c);
  }
  return lossy;
}

std::vector<std::string> charset_names() {
  std::vector<std::string> names;
  const std::string_view list = fuzz::checked_text(qrx_charset_list(), "charset list");
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t tab = list.find('\t', start);
    const std::size_t end = list.find('\n', start);
    fuzz::check(tab != std::string_view::npos && end != std::string_view::npos && tab < end,
                "charset list line");
    names.emplace_back(list.substr(start, tab - start));
    start = end + 1;
  }
  fuzz::check(names.size() == 16, "sixteen charsets");
  names.push_back(" VISCII ");  // names are trimmed and lower-cased
  names.push_back("no such charset");
  return names;
}

std::string palette_text(fuzz::Input& in) {
  const std::u32string letters = fuzz::code_points(kPalette);
  std::string text;
  for (std::size_t n = in.byte() % 24; n > 0 && !in.empty(); --n)
    fuzz::append_utf8(text, letters[in.byte() % letters.size()]);
  return text;
}

// VIQR writes đ as dd and does not escape a plain d before d, so such text reads back with an
// đ: a property of the notation, not of this code.
bool viqr_ambiguous(std::string_view text) {
  const std::u32string chars = fuzz::code_points(text);
  const auto d_like = [](char32_t c) { return c == U'd' || c == U'D' || c == U'\u0111' || c == U'\u0110'; };
  for (std::size_t i = 1; i < chars.size(); ++i) {
    if (d_like(chars[i - 1]) && d_like(chars[i])) return true;
  }
  return false;
}

bool contains_any(std::string_view text, std::u32string_view letters) {
  for (char32_t c : fuzz::code_points(text)) {
    if (letters.find(c) != std::u32string_view::npos) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> names = charset_names();
  QrxSession* session = qrx_session_new(nullptr, 1);
  static const std::vector<std::u32string> lossy = [&] {
    std::vector<std::u32string> sets;
    for (const std::string& name : names) sets.push_back(lossy_letters(session, name));
    return sets;
  }();
  fuzz::Input in(data, size);
  while (!in.empty()) {
    const std::size_t which = in.byte() % names.size();
    const std::string& name = names[which];
    const std::uint8_t op = in.byte() % 4;
    if (op == 0) {
      // Arbitrary bytes through every text and byte function: no crash, only valid output.
      const std::string raw = in.bytes(64);
      fuzz::checked_text(qrx_charset_encode(session, name.c_str(), raw.c_str()), "encode");
      fuzz::checked_text(qrx_charset_decode(session, name.c_str(), raw.c_str()), "decode");
      fuzz::checked_text(
          qrx_charset_decode_bytes(session, name.c_str(), reinterpret_cast<const std::uint8_t*>(raw.data()),
                                   raw.size()),
          "decode bytes");
      std::size_t length = 12345;
      const std::uint8_t* bytes = qrx_charset_encode_bytes(session, name.c_str(), raw.c_str(), &length);
      fuzz::check(bytes != nullptr || length == 12345, "length written for a failed encoding");
      continue;
    }
    const std::string text = palette_text(in);
    const bool collides = contains_any(text, lossy[which]) || (name == "viqr" && viqr_ambiguous(text));
    if (op == 1) {
      std::size_t length = 0;
      const std::uint8_t* bytes = qrx_charset_encode_bytes(session, name.c_str(), text.c_str(), &length);
      if (bytes == nullptr || collides) continue;
      const std::string encoded(reinterpret_cast<const char*>(bytes), length);
      const char* back = qrx_charset_decode_bytes(
          session, name.c_str(), reinterpret_cast<const std::uint8_t*>(encoded.data()), encoded.size());
      fuzz::check(back != nullptr && back == text, "byte round trip", name + ": " + text);
    } else {
      const char* encoded = qrx_charset_encode(session, name.c_str(), text.c_str());
      fuzz::check(encoded != nullptr, "encode of palette text");
      const std::string copy = encoded;
      const char* back = qrx_charset_decode(session, name.c_str(), copy.c_str());
      if (collides) continue;
      fuzz::check(back != nullptr && back == text, "text round trip", name + ": " + text + " -> " + copy);
    }
  }
  qrx_session_free(session);
  return 0;
}
