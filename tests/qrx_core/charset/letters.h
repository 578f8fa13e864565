// Shared fixtures of the charset tests.
#pragma once

#include <unicode_text/unicode.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace charset_test {

// The 134 precomposed Vietnamese letters, in code point order.
inline constexpr std::u32string_view kLetters =
    U"ÀÁÂÃÈÉÊÌÍÒÓÔÕÙÚÝàáâãèéêìíòóôõùúýĂăĐđĨĩŨũƠơƯưẠạẢảẤấẦầẨẩẪẫẬậẮắẰằẲẳẴẵẶặ"
    U"ẸẹẺẻẼẽẾếỀềỂểỄễỆệỈỉỊịỌọỎỏỐốỒồỔổỖỗỘộỚớỜờỞởỠỡỢợỤụỦủỨứỪừỬửỮữỰựỲỳỴỵỶỷỸỹ";

// The fourteen charsets that have tables, in the order of the built-in data.
inline constexpr std::string_view kTableCharsets[] = {
    "tcvn3",  "vni_windows", "cp1258",        "viqr",        "viscii",  "vps",         "bkhcm1",
    "bkhcm2", "vietware_x",  "vietware_full", "ncr_decimal", "ncr_hex", "cstring_hex", "cstring_decimal"};

// The order in which detection ranks charsets of equal score.
inline const std::vector<std::string_view> kDetectRank = {
    "tcvn3",         "vni_windows", "viscii", "vps",     "bkhcm1",      "bkhcm2",      "vietware_x",
    "vietware_full", "cp1258",      "viqr",   "ncr_hex", "ncr_decimal", "cstring_hex", "cstring_decimal"};

inline constexpr std::string_view kSingleByteCharsets[] = {
    "tcvn3", "vni_windows", "viscii", "vps", "bkhcm1", "bkhcm2", "vietware_x", "vietware_full"};

inline std::string utf8(char32_t c) { return unicode::encode_utf8(c); }

inline std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace charset_test
