// Checks shared by the fuzz targets. They are written independently of the engine's own Unicode
// code so that a fault there cannot hide itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "invariant broken: %s [%.*s]\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

inline void check(bool ok, const char* what, std::string_view detail = {}) {
  if (!ok) fail(what, detail);
}

// The code points of strict UTF-8 (RFC 3629: no overlongs, no surrogates, nothing above
// U+10FFFF), or nothing when the text is not such UTF-8.
inline std::optional<std::u32string> decode(std::string_view s) {
  std::u32string out;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  for (std::size_t i = 0; i < s.size();) {
    const unsigned c = p[i];
    const std::size_t len = c < 0x80             ? 1
                            : (c & 0xE0) == 0xC0 ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 0;
    if (len == 0 || i + len > s.size()) return std::nullopt;
    std::uint32_t cp = len == 1 ? c : c & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    const std::uint32_t min = len == 1 ? 0 : len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(cp);
    i += len;
  }
  return out;
}

inline bool valid_utf8(std::string_view s) { return decode(s).has_value(); }
// Code points of text known to be valid UTF-8.
inline std::u32string code_points(std::string_view valid) { return decode(valid).value_or(U""); }

inline std::size_t utf16_units(std::string_view valid) {
  std::size_t units = 0;
  for (char32_t c : code_points(valid)) units += c > 0xFFFF ? 2 : 1;
  return units;
}

inline void append_utf8(std::string& out, char32_t c) {
  const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  const unsigned lead = extra == 0 ? 0u : (0xFF00u >> (extra + 1)) & 0xFFu;
  out.push_back(static_cast<char>(lead | (c >> (6 * extra))));
  for (int k = extra - 1; k >= 0; --k) out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

// A returned C string: valid UTF-8 (a C string cannot hold U+0000 inside it).
inline std::string_view checked_text(const char* s, const char* what) {
  if (s == nullptr) return {};
  const std::string_view text(s, std::strlen(s));
  check(valid_utf8(text), what, text);
  return text;
}

// Reads the fuzzer's bytes as a stream of small decisions.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t u32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
    return v;
  }
  // Up to `max` raw bytes, length-prefixed.
  std::string bytes(std::size_t max) {
    const std::size_t want = std::min<std::size_t>(byte() % (max + 1), size_ - std::min(pos_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + pos_), want);
    pos_ += want;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace fuzz
