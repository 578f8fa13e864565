// Offset conversions on arbitrary bytes, against a count made here from scratch.
#include "fuzz_support.h"

#include <quorvix.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t offset =
      static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8);
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const char* c_text = text.c_str();  // what the host passes: up to the first NUL
  const std::string_view seen(c_text);

  const std::uint32_t to_byte = qrx_char_to_byte_offset(c_text, offset);
  const std::uint32_t to_utf16 = qrx_char_to_utf16_offset(c_text, offset);
  const std::uint32_t utf16_to_byte = qrx_utf16_to_byte_offset(c_text, offset);
  constexpr std::uint32_t kNone = 0xFFFFFFFF;

  if (!fuzz::valid_utf8(seen)) {
    // Offsets into a repaired copy would point past the host's own buffer.
    fuzz::check(to_byte == kNone && to_utf16 == kNone && utf16_to_byte == kNone, "offset into invalid UTF-8");
    return 0;
  }

  // Byte and UTF-16 positions of every character boundary.
  std::vector<std::uint32_t> bytes{0};
  std::vector<std::uint32_t> units{0};
  for (char32_t c : fuzz::code_points(seen)) {
    std::string encoded;
    fuzz::append_utf8(encoded, c);
    bytes.push_back(bytes.back() + static_cast<std::uint32_t>(encoded.size()));
    units.push_back(units.back() + (c > 0xFFFF ? 2 : 1));
  }
  const std::size_t chars = bytes.size() - 1;
  fuzz::check(to_byte == (offset <= chars ? bytes[offset] : kNone), "char to byte");
  fuzz::check(to_utf16 == (offset <= chars ? units[offset] : kNone), "char to UTF-16");

  std::uint32_t expected = kNone;  // none past the end or inside a surrogate pair
  for (std::size_t i = 0; i <= chars; ++i) {
    if (units[i] == offset) expected = bytes[i];
  }
  fuzz::check(utf16_to_byte == expected, "UTF-16 to byte");

  if (offset <= 0x10FFFF + 1u) {
    const bool word = qrx_is_word_codepoint(offset);
    if (offset >= 0xD800 && offset <= 0xDFFF) fuzz::check(!word, "surrogate is a word character");
  }
  return 0;
}
