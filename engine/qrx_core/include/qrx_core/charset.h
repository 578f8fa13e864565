// Conversion of text between Unicode and the legacy Vietnamese representations (code tables of
// bytes, VIQR mnemonics, numeric escapes), charset guessing, and whole-text case and diacritic
// helpers.
//
// Every operation takes a charset by name and normalises it first, so aliases work everywhere
// and an unknown name means "unicode". Texts are UTF-8; ill-formed UTF-8 is read as U+FFFD.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qrx_core::charset {

// The sixteen identifiers, in the order in which the system lists them.
inline constexpr std::array<std::string_view, 16> kIdentifiers = {
    "unicode",     "unicode_nfd", "tcvn3",       "vni_windows",    "cp1258",     "viqr",
    "viscii",      "vps",         "bkhcm1",      "bkhcm2",         "vietware_x", "vietware_full",
    "ncr_decimal", "ncr_hex",     "cstring_hex", "cstring_decimal"};

// Message of the internal fault raised (and written to standard error) when charset data
// cannot be read as JSON.
inline constexpr std::string_view kBrokenDataMessage = "charsets.json hỏng";

// The canonical identifier for a user-supplied name (trimmed, lower-cased, aliases resolved);
// always one of kIdentifiers, "unicode" for anything unknown.
std::string_view normalize(std::string_view name);

// True for the eight charsets whose text is one byte per character.
bool is_single_byte(std::string_view name);

// The conversion tables, read from a charset JSON text. The free functions below use the
// built-in tables; a `Tables` built from other text serves the same operations over that data.
class Tables {
 public:
  // Text that is not JSON raises std::runtime_error(kBrokenDataMessage) after writing the
  // message to standard error. JSON without usable "charsets" gives empty tables.
  static Tables from_json(std::string_view json_text);

  // The built-in tables, built once per process when an operation first needs them.
  static const Tables& builtin();

  // Display name; lives as long as these tables (for the built-in ones, the process).
  std::optional<std::string_view> display_name(std::string_view name) const;
  std::string encode(std::string_view text, std::string_view name) const;
  // Unicode text (NFC) from text in the named representation.
  std::string decode(std::string_view text, std::string_view name) const;
  // Bytes of a single-byte charset; nothing for other charsets or for text with a character
  // that has no byte there.
  std::optional<std::vector<std::uint8_t>> encode_bytes(std::string_view text, std::string_view name) const;
  std::string decode_bytes(std::span<const std::uint8_t> bytes, std::string_view name) const;
  // The same two into buffers the caller keeps for repeated conversions of large texts: the
  // result goes to the start of `out`, which grows when it must and never shrinks, so that its
  // memory serves again; at least one element of `out` follows the result. They give the
  // result's length (none where encode_bytes gives none; `out` is then unspecified).
  std::optional<std::size_t> encode_bytes_into(std::string_view text, std::string_view name,
                                               std::vector<std::uint8_t>& out) const;
  std::size_t decode_bytes_into(std::span<const std::uint8_t> bytes, std::string_view name,
                                std::string& out) const;
  std::string convert(std::string_view text, std::string_view from, std::string_view to) const;
  // The table charsets whose decoding changes the text, likeliest first.
  std::vector<std::string_view> detect(std::string_view text) const;

  struct Data;

 private:
  explicit Tables(std::shared_ptr<const Data> data) : data_(std::move(data)) {}
  const Data& data() const;

  // Null for the built-in tables, which are fetched (and built) only on first need.
  std::shared_ptr<const Data> data_;
};

std::optional<std::string_view> display_name(std::string_view name);
std::string encode(std::string_view text, std::string_view name);
std::string decode(std::string_view text, std::string_view name);
std::optional<std::vector<std::uint8_t>> encode_bytes(std::string_view text, std::string_view name);
std::string decode_bytes(std::span<const std::uint8_t> bytes, std::string_view name);
std::optional<std::size_t> encode_bytes_into(std::string_view text, std::string_view name,
                                             std::vector<std::uint8_t>& out);
std::size_t decode_bytes_into(std::span<const std::uint8_t> bytes, std::string_view name, std::string& out);
std::string convert(std::string_view text, std::string_view from, std::string_view to);
std::vector<std::string_view> detect(std::string_view text);

// The text without tones, vowel marks or any other combining mark (đ becomes d), in NFC.
std::string remove_diacritics(std::string_view text);

// "upper", "lower" or "title" (any case); nothing for another mode.
std::optional<std::string> change_case(std::string_view text, std::string_view mode);

}  // namespace qrx_core::charset
