// Charset conversion on arbitrary input for every charset name: no crash, only valid text back,
// and nothing written for a failed byte encoding; and Vietnamese text round trips through every
// charset in which each letter comes back alone (the others give some letters another letter's
// value, and VIQR reads a plain "dd" as đ).
#include "fuzz_support.h"

#include <quorvix.h>

#include <string>
#include <vector>

namespace {

constexpr std::string_view kPalette =
    "aàáảãạăằắẳẵặâầấẩẫậeèéẻẽẹêềếểễệiìíỉĩịoòóỏõọôồốổỗộơờớởỡợuùúủũụưừứửữựyỳýỷỹỵđ"
    "AÀÁẢÃẠĂẰẮẲẴẶÂẦẤẨẪẬEÈÉẺẼẸÊỀẾỂỄỆIÌÍỈĨỊOÒÓỎÕỌÔỒỐỔỖỘƠỜỚỞỠỢUÙÚỦŨỤƯỪỨỬỮỰYỲÝỶỸỴĐ"
    "bcdghklmnpqrstvx BCDGHKLMNPQRSTVX 0123456789";
constexpr std::string_view kLossless[] = {"unicode",     "unicode_nfd",    "vni_windows", "cp1258",
                                          "bkhcm2",      "vietware_x",     "ncr_decimal", "ncr_hex",
                                          "cstring_hex", "cstring_decimal"};

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::string> names = charset_names();
  QrxSession* session = qrx_session_new(nullptr, 1);
  fuzz::Input in(data, size);
  static const std::u32string letters = fuzz::code_points(kPalette);
  while (!in.empty()) {
    if (in.byte() % 2 == 0) {
      const std::string name(kLossless[in.byte() % std::size(kLossless)]);
      std::string text;
      for (std::size_t n = in.byte() % 24; n > 0 && !in.empty(); --n)
        fuzz::append_utf8(text, letters[in.byte() % letters.size()]);
      const std::string encoded(
          fuzz::checked_text(qrx_charset_encode(session, name.c_str(), text.c_str()), "encode"));
      const char* back = qrx_charset_decode(session, name.c_str(), encoded.c_str());
      fuzz::check(back != nullptr && back == text, "text round trip", name + ": " + text + " -> " + encoded);
      continue;
    }
    const std::string& name = names[in.byte() % names.size()];
    const std::string raw = in.bytes(64);
    const std::string encoded(
        fuzz::checked_text(qrx_charset_encode(session, name.c_str(), raw.c_str()), "encode"));
    fuzz::checked_text(qrx_charset_decode(session, name.c_str(), raw.c_str()), "decode");
    // Decoding what encoding gave must not fail either.
    fuzz::checked_text(qrx_charset_decode(session, name.c_str(), encoded.c_str()), "decode of encoded");
    fuzz::checked_text(
        qrx_charset_decode_bytes(session, name.c_str(), reinterpret_cast<const std::uint8_t*>(raw.data()),
                                 raw.size()),
        "decode bytes");
    std::size_t length = 12345;
    const std::uint8_t* bytes = qrx_charset_encode_bytes(session, name.c_str(), raw.c_str(), &length);
    fuzz::check(bytes != nullptr || length == 12345, "length written for a failed encoding");
  }
  qrx_session_free(session);
  return 0;
}
