#include <qrx_core/charset.h>

#include <qrx_unicode/unicode.h>

#include <algorithm>

namespace qrx_core::charset {

namespace {

// The table charsets, likeliest first among equal scores.
constexpr std::array<std::string_view, 14> kRanked = {
    "tcvn3",         "vni_windows", "viscii", "vps",     "bkhcm1",      "bkhcm2",      "vietware_x",
    "vietware_full", "cp1258",      "viqr",   "ncr_hex", "ncr_decimal", "cstring_hex", "cstring_decimal"};

// How much Vietnamese a decoding produced: characters that are neither ASCII nor blank.
std::size_t score(std::string_view decoded) {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < decoded.size();) {
    if (static_cast<unsigned char>(decoded[pos]) < 0x80) {
      ++pos;
      continue;
    }
    if (!qrx_unicode::is_white_space(qrx_unicode::next_char(decoded, pos))) ++n;
  }
  return n;
}

}  // namespace

std::vector<std::string_view> Tables::detect(std::string_view text) const {
  std::vector<std::pair<std::size_t, std::string_view>> kept;
  for (std::string_view id : kRanked) {
    const std::string decoded = decode(text, id);
    if (decoded != text) kept.emplace_back(score(decoded), id);
  }
  // Stable, so that equal scores keep the rank order.
  std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string_view> result;
  result.reserve(kept.size());
  for (const auto& entry : kept) result.push_back(entry.second);
  return result;
}

}  // namespace qrx_core::charset
