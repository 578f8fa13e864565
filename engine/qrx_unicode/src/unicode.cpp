#include <qrx_unicode/unicode.h>

#include <unicode/bytestream.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace qrx_unicode {
namespace {

constexpr bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

bool is_ascii(std::string_view text) {
  for (char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

// Decodes one character; on ill-formed input consumes the maximal subpart (at least one byte)
// and yields U+FFFD, so that the result matches the W3C/Unicode "substitution of maximal subparts".
char32_t decode_one(const unsigned char* p, std::size_t avail, std::size_t& used) {
  const unsigned char b0 = p[0];
  used = 1;
  if (b0 < 0x80) return b0;
  std::size_t need;
  char32_t c;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacementCharacter;
  }
  for (std::size_t i = 1; i <= need; ++i) {
    if (i >= avail) return kReplacementCharacter;
    const unsigned char b = p[i];
    if (i == 1 ? (b < lo || b > hi) : !is_continuation(b)) return kReplacementCharacter;
    c = (c << 6) | (b & 0x3F);
    used = i + 1;
  }
  return c;
}

const icu::Normalizer2& normalizer(bool compose_form) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* n =
      compose_form ? icu::Normalizer2::getNFCInstance(status) : icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status) || n == nullptr) throw std::runtime_error("ICU normalization data is missing");
  return *n;
}

std::string normalize(std::string_view text, bool compose_form) {
  if (is_ascii(text)) return std::string(text);  // ASCII is in every normalization form
  if (compose_form && is_stable_nfc(text)) return std::string(text);
  std::string valid;
  if (!is_valid_utf8(text)) {
    valid = encode_utf8(decode_utf8(text));
    text = valid;
  }
  const icu::Normalizer2& n = normalizer(compose_form);
  UErrorCode status = U_ZERO_ERROR;
  const icu::StringPiece piece(text.data(), static_cast<int32_t>(text.size()));
  if (n.isNormalizedUTF8(piece, status) && U_SUCCESS(status)) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  icu::StringByteSink<std::string> sink(&out);
  status = U_ZERO_ERROR;
  n.normalizeUTF8(0, piece, sink, nullptr, status);
  if (U_FAILURE(status)) throw std::runtime_error("ICU normalization failed");
  return out;
}

// Case-maps one string through ICU's full, root-locale mapping.
std::string map_case(std::string_view text, bool upper) {
  const std::u32string chars = decode_utf8(text);
  icu::UnicodeString s;
  for (char32_t c : chars) s.append(static_cast<UChar32>(c));
  if (upper) {
    s.toUpper(icu::Locale::getRoot());
  } else {
    s.toLower(icu::Locale::getRoot());
  }
  std::string out;
  s.toUTF8String(out);
  return out;
}

std::u32string map_char_case(char32_t c, bool upper) {
  std::array<UChar, 2> src{};
  int32_t len = 0;
  UBool error = false;
  U16_APPEND(src.data(), len, 2, static_cast<UChar32>(c), error);
  if (error) return std::u32string(1, c);
  std::array<UChar, 8> dst{};
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = upper ? u_strToUpper(dst.data(), 8, src.data(), len, "", &status)
                          : u_strToLower(dst.data(), 8, src.data(), len, "", &status);
  if (U_FAILURE(status)) return std::u32string(1, c);
  std::u32string out;
  for (int32_t i = 0; i < n;) {
    UChar32 cp;
    U16_NEXT(dst.data(), i, n, cp);
    out.push_back(static_cast<char32_t>(cp));
  }
  return out;
}

}  // namespace

char32_t next_char_multibyte(std::string_view text, std::size_t& pos) {
  std::size_t used = 0;
  const char32_t c =
      decode_one(reinterpret_cast<const unsigned char*>(text.data()) + pos, text.size() - pos, used);
  pos += used;
  return c;
}

std::u32string decode_utf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) out.push_back(next_char(text, pos));
  return out;
}

bool is_valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t pos = 0;
  while (pos < n) {
    // ASCII goes eight bytes at a time, and a word holding other bytes is skipped up to the
    // first of them: Vietnamese text has a few ASCII letters between its other characters.
    if (pos + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + pos, 8);
      const std::uint64_t high = word & 0x8080808080808080ULL;
      if (high == 0) {
        pos += 8;
        continue;
      }
      const int bits =
          std::endian::native == std::endian::little ? std::countr_zero(high) : std::countl_zero(high);
      pos += static_cast<std::size_t>(bits) / 8;
    } else if (p[pos] < 0x80) {
      ++pos;
      continue;
    }
    const unsigned char b0 = p[pos];
    // The well-formed sequences of the Unicode standard (table 3-7), the common ones first.
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      if (pos + 1 >= n || !is_continuation(p[pos + 1])) return false;
      pos += 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      if (pos + 2 >= n) return false;
      const unsigned char b1 = p[pos + 1];
      const bool second_ok = b0 == 0xE0   ? (b1 >= 0xA0 && b1 <= 0xBF)
                             : b0 == 0xED ? (b1 >= 0x80 && b1 <= 0x9F)
                                          : is_continuation(b1);
      if (!second_ok || !is_continuation(p[pos + 2])) return false;
      pos += 3;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      if (pos + 3 >= n) return false;
      const unsigned char b1 = p[pos + 1];
      const bool second_ok = b0 == 0xF0   ? (b1 >= 0x90 && b1 <= 0xBF)
                             : b0 == 0xF4 ? (b1 >= 0x80 && b1 <= 0x8F)
                                          : is_continuation(b1);
      if (!second_ok || !is_continuation(p[pos + 2]) || !is_continuation(p[pos + 3])) return false;
      pos += 4;
    } else {
      return false;
    }
  }
  return true;
}

std::size_t char_count(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < text.size(); ++n) next_char(text, pos);
  return n;
}

std::size_t utf16_length(std::string_view text) {
  constexpr char32_t kFirstPaired = 0x10000;
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < text.size();) units += next_char(text, pos) >= kFirstPaired ? 2 : 1;
  return units;
}

void append_utf8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacementCharacter;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string encode_utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) append_utf8(out, c);
  return out;
}

std::string encode_utf8(char32_t c) {
  std::string out;
  append_utf8(out, c);
  return out;
}

std::string nfc(std::string_view text) { return normalize(text, true); }
std::string nfd(std::string_view text) { return normalize(text, false); }
std::u32string nfc(std::u32string_view text) { return decode_utf8(nfc(encode_utf8(text))); }
std::u32string nfd(std::u32string_view text) { return decode_utf8(nfd(encode_utf8(text))); }

std::u32string nfd(char32_t c) {
  icu::UnicodeString decomposition;
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ||
      !normalizer(false).getDecomposition(static_cast<UChar32>(c), decomposition)) {
    return std::u32string(1, c);
  }
  std::u32string out;
  for (int32_t i = 0; i < decomposition.length();) {
    const UChar32 cp = decomposition.char32At(i);
    out.push_back(static_cast<char32_t>(cp));
    i += U16_LENGTH(cp);
  }
  return out;
}

char32_t compose(char32_t first, char32_t second) {
  if (first > 0x10FFFF || second > 0x10FFFF) return 0;
  const UChar32 c = normalizer(true).composePair(static_cast<UChar32>(first), static_cast<UChar32>(second));
  return c < 0 ? 0 : static_cast<char32_t>(c);
}

bool is_nfc(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  if (i == text.size()) return true;
  if (!is_valid_utf8(text)) return false;
  UErrorCode status = U_ZERO_ERROR;
  const bool ok = normalizer(true).isNormalizedUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), status);
  return U_SUCCESS(status) && ok;
}

bool is_stable_nfc(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = next_char(text, pos);
    // U+FFFD also stands for ill-formed bytes, and lies outside both ranges.
    if (c >= 0x0300 && (c < 0x1E00 || c > 0x1EFF)) return false;
  }
  return true;
}

std::uint8_t combining_class(char32_t c) {
  return c > 0x10FFFF ? 0 : u_getCombiningClass(static_cast<UChar32>(c));
}

// ASCII maps within ASCII and nothing maps into it from outside when mapping ASCII text, so
// the common case needs no trip through ICU.
std::u32string to_upper(char32_t c) {
  if (c < 0x80) return std::u32string(1, c >= U'a' && c <= U'z' ? c - 0x20 : c);
  return map_char_case(c, true);
}
std::u32string to_lower(char32_t c) {
  if (c < 0x80) return std::u32string(1, c >= U'A' && c <= U'Z' ? c + 0x20 : c);
  return map_char_case(c, false);
}
std::string to_upper(std::string_view text) {
  if (!is_ascii(text)) return map_case(text, true);
  std::string out(text);
  for (char& ch : out) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 0x20);
  }
  return out;
}
std::string to_lower(std::string_view text) {
  if (!is_ascii(text)) return map_case(text, false);
  std::string out(text);
  for (char& ch : out) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 0x20);
  }
  return out;
}

char32_t simple_upper(char32_t c) {
  return c > 0x10FFFF ? c : static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}
char32_t simple_lower(char32_t c) {
  return c > 0x10FFFF ? c : static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

bool is_alphabetic(char32_t c) {
  return c <= 0x10FFFF && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC);
}
bool is_lowercase(char32_t c) {
  return c <= 0x10FFFF && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_LOWERCASE);
}
bool is_uppercase(char32_t c) {
  return c <= 0x10FFFF && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_UPPERCASE);
}
bool is_white_space(char32_t c) {
  return c <= 0x10FFFF && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool is_numeric(char32_t c) {
  if (c > 0x10FFFF) return false;
  const auto type = u_charType(static_cast<UChar32>(c));
  return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

bool is_control(char32_t c) {
  if (c > 0x10FFFF) return false;
  const auto type = u_charType(static_cast<UChar32>(c));
  return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
}

}  // namespace qrx_unicode
