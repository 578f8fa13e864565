#include <qrx_core/charset.h>

#include <qrx_unicode/unicode.h>

#include "charset_detail.h"

namespace qrx_core::charset {

namespace detail {

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t next = begin;
    if (!qrx_unicode::is_white_space(qrx_unicode::next_char(text, next))) break;
    begin = next;
  }
  // Scan forward so that multi-byte characters are never split; remember where the last
  // character that is not white space ends.
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < text.size();) {
    if (!qrx_unicode::is_white_space(qrx_unicode::next_char(text, pos))) end = pos;
  }
  return text.substr(begin, end - begin);
}

}  // namespace detail

namespace {

// Every blank starts a new word, whose first character is upper-cased; the rest of the word
// is left as typed, and tabs or line breaks do not start words.
std::string title_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool word_start = true;
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = qrx_unicode::next_char(text, pos);
    if (word_start) {
      for (char32_t u : qrx_unicode::to_upper(c)) qrx_unicode::append_utf8(out, u);
    } else {
      qrx_unicode::append_utf8(out, c);
    }
    word_start = c == U' ';
  }
  return out;
}

}  // namespace

std::string remove_diacritics(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x80) {
      out.push_back(static_cast<char>(byte));
      ++pos;
      continue;
    }
    for (char32_t c : qrx_unicode::nfd(qrx_unicode::next_char(text, pos))) {
      if (qrx_unicode::combining_class(c) != 0) continue;
      if (c == U'đ') c = U'd';
      if (c == U'Đ') c = U'D';
      qrx_unicode::append_utf8(out, c);
    }
  }
  return qrx_unicode::nfc(out);
}

std::optional<std::string> change_case(std::string_view text, std::string_view mode) {
  const std::string key = qrx_unicode::to_lower(mode);
  if (key.size() != 5) return std::nullopt;
  if (key == "upper") return qrx_unicode::to_upper(text);
  if (key == "lower") return qrx_unicode::to_lower(text);
  if (key == "title") return title_case(text);
  return std::nullopt;
}

}  // namespace qrx_core::charset
