// Names, encoding and decoding through the built-in tables.
#include <gtest/gtest.h>
#include <qrx_core/charset.h>

#include <algorithm>
#include <array>

#include "letters.h"

namespace {

namespace cs = qrx_core::charset;
using charset_test::bytes_of;
using charset_test::kLetters;
using charset_test::kSingleByteCharsets;
using charset_test::kTableCharsets;
using charset_test::utf8;

TEST(CharsetNames, NormalizeTrimsLowerCasesAndResolvesAliases) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {" VNI\t", "vni_windows"},
      {"WINDOWS-1258", "cp1258"},
      {"UTF-8", "unicode"},
      {"utf8", "unicode"},
      {"NFC", "unicode"},
      {"Unicode tổ hợp (NFD)", "unicode"},
      {"UNICODE TỔ HỢP", "unicode_nfd"},
      {"decomposed", "unicode_nfd"},
      {"", "unicode"},
      {"   ", "unicode"},
      {"latin1", "unicode"},
      {"vni-windows", "unicode"},
      {"\u00A0ABC\u3000", "tcvn3"},
      {"TCVN3 (ABC)", "tcvn3"},
      {"Windows 1258 Codepage", "cp1258"},
      {"BKHCM 2", "bkhcm2"},
      {"vietware x", "vietware_x"},
      {"NCR", "ncr_decimal"},
      {"ncr hex", "ncr_hex"},
      {"Unicode C String Decimal", "cstring_decimal"},
      {"\xFF", "unicode"},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(cs::normalize(name), id) << name;
  for (std::string_view id : cs::kIdentifiers) EXPECT_EQ(cs::normalize(id), id);
}

TEST(CharsetNames, DisplayNamesAndTheirLowerCaseFormsName) {
  const std::array<std::string_view, 16> names = {"Unicode (NFC)",
                                                  "Unicode tổ hợp (NFD)",
                                                  "TCVN3 (ABC)",
                                                  "VNI Windows",
                                                  "Windows 1258 codepage",
                                                  "VIQR",
                                                  "VISCII",
                                                  "VPS",
                                                  "BKHCM 1",
                                                  "BKHCM 2",
                                                  "Vietware X",
                                                  "Vietware Full",
                                                  "NCR Decimal",
                                                  "NCR Hex",
                                                  "Unicode C string Hex",
                                                  "Unicode C string Decimal"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(cs::display_name(cs::kIdentifiers[i]), names[i]);
    if (i >= 2) {
      EXPECT_EQ(cs::normalize(names[i]), cs::kIdentifiers[i]);
    }
  }
  EXPECT_EQ(cs::display_name("no such charset"), "Unicode (NFC)");
  EXPECT_EQ(cs::display_name(" abc "), "TCVN3 (ABC)");
}

TEST(CharsetNames, SingleByteCharsets) {
  for (std::string_view id : cs::kIdentifiers) {
    const bool expected = std::find(std::begin(kSingleByteCharsets), std::end(kSingleByteCharsets), id) !=
                          std::end(kSingleByteCharsets);
    EXPECT_EQ(cs::is_single_byte(id), expected) << id;
  }
  EXPECT_TRUE(cs::is_single_byte("VNI"));
  EXPECT_FALSE(cs::is_single_byte("windows-1258"));
  EXPECT_FALSE(cs::is_single_byte("garbage"));
}

struct Conversion {
  std::string_view charset;
  std::string_view unicode;
  std::string_view encoded;
};

TEST(CharsetConvert, EncodeExamples) {
  const Conversion cases[] = {
      {"tcvn3", "VIỆT", "VI\u00D6T"},
      {"viscii", "Ẳ", "\u00C6"},
      {"viscii", "Ạ", "\u20AC"},
      {"vps", "À", "\u20AC"},
      {"cp1258", "à", "a\u00CC"},
      {"vni_windows", "Việt", "Vie\u00E4t"},
      {"viqr", "Ấ", "A^'"},
      {"viqr", "a?", "a\\?"},
      {"viqr", "ả?", "a??"},
      {"viqr", "\\", "\\\\"},
      {"viqr", "dd", "dd"},
      {"viqr", "â'", "a^\\'"},
      {"viqr", "Đi đâu?", "DDi dda^u\\?"},
      {"viqr", "x.", "x."},
      {"viqr", "e.", "e\\."},
      {"viqr", "Ửẵ", "U+?a(~"},
      {"viqr", "Àỹ", "A`y~"},
      {"ncr_hex", "à", "à"},
      {"ncr_hex", "ạ", "&#x1EA1;"},
      {"ncr_decimal", "ệ!", "&#7879;!"},
      {"ncr_decimal", "À", "&#192;"},
      {"ncr_hex", "Ă", "&#x102;"},
      {"tcvn3", "À", "\u00B5"},
      {"vni_windows", "ỹ", "y\u00F5"},
      {"cstring_hex", "Àb", "\\xC0b"},
      {"cstring_decimal", "ệ", "\\u7879"},
      {"unicode_nfd", "à", "a\u0300"},
      {"unicode", "a\u0300", "à"},
      {"tcvn3", "中文 ok", "中文 ok"},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(cs::encode(c.unicode, c.charset), c.encoded) << c.charset << " " << c.unicode;
  }
}

TEST(CharsetConvert, DecodeExamples) {
  const Conversion cases[] = {
      {"tcvn3", "VIệT", "VI\u00D6T"},  // a shared code decodes to the lower-case letter
      {"viscii", "Ẳ", "\u0002"},       // one of VISCII's seven extra entries
      {"viscii", "ẳ", "\u00C6"},
      {"viscii", "Õ", "\u00A0"},
      {"bkhcm1", "\u02DC", "\u02DC"},  // shared by Ặ and Ụ: left alone
      {"bkhcm1", "\u017D", "\u017D"},  // shared by Ị and Ỵ
      {"cp1258", "à", "a\u00CC"},
      {"cp1258", "a", "a"},
      {"viqr", "Ấ", "A^'"},  // longest match
      {"viqr", "Â", "A^"},
      {"viqr", "Hellỏ", "Hello?"},  // no context
      {"viqr", "a?", "a\\?"},
      {"viqr", "\\", "\\\\"},
      {"viqr", "\\a", "\\a"},  // only punctuation is escaped
      {"viqr", "đ", "dd"},
      {"viqr", "\\", "\\"},
      {"ncr_hex", "ạ", "&#x1EA1;"},
      {"ncr_hex", "&#x1ea1;", "&#x1ea1;"},  // upper-case digits only
      {"ncr_hex", "&#x1EA", "&#x1EA"},      // a prefix of a key is no key
      {"ncr_decimal", "ệ&#;", "&#7879;&#;"},
      {"cstring_hex", "ệ", "\\x1EC7"},
      {"cstring_decimal", "À", "\\u192"},
      {"tcvn3", "à", "a\u0300"},  // the output is composed
      {"unicode_nfd", "à", "a\u0300"},
      {"unicode", "\uFFFDa",
       "\xC3"
       "a"},  // ill-formed UTF-8 becomes U+FFFD
      {"tcvn3", "\uFFFDá", "\xFF\u00B8"},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(cs::decode(c.encoded, c.charset), c.unicode) << c.charset << " " << c.encoded;
  }
}

// What decoding a letter's own encoding gives: the letter, unless the data gives its value to
// another letter too. Capitals sharing their lower-case letter's value decode to lower case;
// bkhcm1's values shared by two different letters decode to nothing but themselves.
std::string expected_round_trip(std::string_view charset, char32_t letter) {
  const auto among = [letter](std::u32string_view letters) {
    return letters.find(letter) != std::u32string_view::npos;
  };
  if (charset == "bkhcm1" && among(U"ẶỤỊỴ")) return cs::encode(utf8(letter), charset);
  const char32_t lower = unicode::simple_lower(letter);
  bool shared = false;
  if (charset == "tcvn3" || charset == "vietware_full") shared = lower != letter && !among(U"ÂÊÔĂĐƠƯ");
  if (charset == "viscii") shared = among(U"ÕẪẲẴỴỶỸ");
  if (charset == "vps") shared = among(U"ẠẪẬẶẸỆỊỌỘỢỤỮỰỴ");
  return utf8(shared ? lower : letter);
}

TEST(CharsetConvert, EveryLetterRoundTripsUnlessItsValueIsShared) {
  for (std::string_view charset : kTableCharsets) {
    SCOPED_TRACE(charset);
    std::size_t kept = 0;
    for (char32_t letter : kLetters) {
      const std::string decoded = cs::decode(cs::encode(utf8(letter), charset), charset);
      EXPECT_EQ(decoded, expected_round_trip(charset, letter)) << utf8(letter);
      if (decoded == utf8(letter)) ++kept;
    }
    const std::size_t expected = charset == "tcvn3" || charset == "vietware_full" ? 74
                                 : charset == "viscii"                            ? 127
                                 : charset == "vps"                               ? 120
                                 : charset == "bkhcm1"                            ? 130
                                                                                  : 134;
    EXPECT_EQ(kept, expected);
  }
}

TEST(CharsetConvert, SentenceRoundTripsThroughEveryTable) {
  // No Vietnamese capitals and none of the ASCII characters that bkhcm1 uses for letters.
  const std::string text = "Tiếng Việt: \"quá đỗi\" 100% dễ thương, ặ ụ ị ỵ! (a?) e. \\ x";
  for (std::string_view charset : kTableCharsets) {
    EXPECT_EQ(cs::decode(cs::encode(text, charset), charset), text) << charset;
  }
}

// Text pasted from macOS is often decomposed; it must convert exactly like composed text.
TEST(CharsetConvert, DecomposedInputIsComposedBeforeEncoding) {
  const std::string composed = "Đường Việt Nam ấy";
  const std::string decomposed = unicode::nfd(composed);
  ASSERT_NE(composed, decomposed);
  for (std::string_view charset : kTableCharsets) {
    const std::string encoded = cs::encode(decomposed, charset);
    EXPECT_EQ(encoded, cs::encode(composed, charset)) << charset;
    EXPECT_EQ(cs::decode(encoded, charset), composed) << charset;
  }
  EXPECT_EQ(cs::encode_bytes(decomposed, "tcvn3"), cs::encode_bytes(composed, "tcvn3"));
  EXPECT_EQ(cs::encode(unicode::nfd("ệ"), "viqr"), "e^.");
}

TEST(CharsetConvert, ConvertDecodesThenEncodes) {
  const std::string text = unicode::nfd("Việt Nam");
  EXPECT_EQ(cs::convert(text, "unicode", "vni_windows"), cs::encode(unicode::nfc(text), "vni_windows"));
  const std::string vni = cs::encode("Việt Nam", "vni_windows");
  EXPECT_EQ(cs::convert(vni, "vni_windows", "unicode"), "Việt Nam");
  EXPECT_EQ(cs::convert(vni, "VNI", "viqr"), "Vie^.t Nam");
  EXPECT_EQ(cs::convert("Vie^.t", "viqr", "unicode_nfd"), unicode::nfd("Việt"));
}

// ------------------------------------------------------------------------------------------
// Bytes

TEST(CharsetBytes, EncodeBytesOnlyForSingleByteCharsets) {
  for (std::string_view charset :
       {"cp1258", "viqr", "unicode", "unicode_nfd", "ncr_decimal", "cstring_hex"}) {
    EXPECT_FALSE(cs::encode_bytes("abc", charset).has_value()) << charset;
  }
  const auto tcvn3 = cs::encode_bytes("Tiếng Việt", "tcvn3");
  ASSERT_TRUE(tcvn3.has_value());
  EXPECT_EQ(*tcvn3, bytes_of("Ti\xD5ng Vi\xD6t"));
  const auto empty = cs::encode_bytes("", "tcvn3");
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
  EXPECT_FALSE(cs::encode_bytes("Việt 中", "tcvn3").has_value());
  EXPECT_EQ(cs::encode_bytes("Việt", "vni_windows"), bytes_of("Vie\xE4t"));
}

// Byte 0x80 + i is written in the tables as the character Windows-1252 shows for it; the byte
// functions must turn those characters into the bytes and back.
TEST(CharsetBytes, Windows1252CharactersStandForBytes80To9F) {
  struct Case {
    std::string_view charset;
    std::string_view letter;
    std::uint8_t byte;
  };
  const Case cases[] = {
      {"viscii", "Ạ", 0x80}, {"viscii", "Ắ", 0x81}, {"viscii", "Ỳ", 0x9F}, {"viscii", "Ũ", 0x9D},
      {"vps", "À", 0x80},    {"bkhcm1", "Á", 0x80}, {"bkhcm1", "À", 0x81}, {"vietware_full", "Â", 0x97},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cs::encode_bytes(c.letter, c.charset), std::vector<std::uint8_t>{c.byte})
        << c.charset << " " << c.letter;
    EXPECT_EQ(cs::decode_bytes(std::vector<std::uint8_t>{c.byte}, c.charset), c.letter)
        << c.charset << " " << c.letter;
  }
  // Characters of Windows-1252 that no table letter uses still travel as their byte.
  EXPECT_EQ(cs::encode_bytes("5€", "tcvn3"), bytes_of("5\x80"));
  EXPECT_EQ(cs::decode_bytes(bytes_of("5\x80"), "tcvn3"), "5€");
}

TEST(CharsetBytes, EveryLetterHasABytePattern) {
  std::vector<std::uint8_t> reused;
  for (std::string_view charset : kSingleByteCharsets) {
    for (char32_t letter : kLetters) {
      const auto bytes = cs::encode_bytes(utf8(letter), charset);
      ASSERT_TRUE(bytes.has_value()) << charset << " " << utf8(letter);
      const auto length = cs::encode_bytes_into(utf8(letter), charset, reused);
      ASSERT_TRUE(length.has_value() && *length < reused.size()) << charset << " " << utf8(letter);
      EXPECT_TRUE(std::equal(bytes->begin(), bytes->end(), reused.begin(), reused.begin() + *length));
      EXPECT_EQ(cs::decode_bytes(*bytes, charset), expected_round_trip(charset, letter))
          << charset << " " << utf8(letter);
    }
  }
}

// Bytes decode as the text functions decode the characters they stand for (Windows-1252 from
// 80 to 9F, else the byte's own value): every byte and every pair, so every key of every table.
TEST(CharsetBytes, EveryBytePairDecodesAsItsCharactersDo) {
  constexpr std::array<char32_t, 32> kWindows1252 = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  const auto char_of = [&](unsigned b) {
    return b >= 0x80 && b <= 0x9F ? kWindows1252[b - 0x80] : char32_t{b};
  };
  std::string reused;
  for (std::string_view charset : kSingleByteCharsets) {
    for (unsigned first = 0; first < 256; ++first) {
      for (unsigned second = 0; second < 256; ++second) {
        const std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(first),
                                              static_cast<std::uint8_t>(second)};
        const std::string expected = cs::decode(utf8(char_of(first)) + utf8(char_of(second)), charset);
        ASSERT_EQ(cs::decode_bytes(bytes, charset), expected) << charset << " " << first << " " << second;
        const std::size_t length = cs::decode_bytes_into(bytes, charset, reused);
        ASSERT_LT(length, reused.size());
        ASSERT_EQ(std::string_view(reused.data(), length), expected)
            << charset << " " << first << " " << second;
      }
    }
  }
}

// VISCII as its standard defines it (RFC 1456): every byte that is not plain ASCII.
TEST(CharsetBytes, DecodingEveryByteAsVisciiFollowsTheStandard) {
  std::array<char32_t, 256> standard{};
  for (std::size_t b = 0; b < 256; ++b) standard[b] = static_cast<char32_t>(b);
  const std::pair<std::uint8_t, char32_t> letters[] = {
      {0x02, 0x1EB2}, {0x05, 0x1EB4}, {0x06, 0x1EAA}, {0x14, 0x1EF6}, {0x19, 0x1EF8}, {0x1E, 0x1EF4},
      {0x80, 0x1EA0}, {0x81, 0x1EAE}, {0x82, 0x1EB0}, {0x83, 0x1EB6}, {0x84, 0x1EA4}, {0x85, 0x1EA6},
      {0x86, 0x1EA8}, {0x87, 0x1EAC}, {0x88, 0x1EBC}, {0x89, 0x1EB8}, {0x8A, 0x1EBE}, {0x8B, 0x1EC0},
      {0x8C, 0x1EC2}, {0x8D, 0x1EC4}, {0x8E, 0x1EC6}, {0x8F, 0x1ED0}, {0x90, 0x1ED2}, {0x91, 0x1ED4},
      {0x92, 0x1ED6}, {0x93, 0x1ED8}, {0x94, 0x1EE2}, {0x95, 0x1EDA}, {0x96, 0x1EDC}, {0x97, 0x1EDE},
      {0x98, 0x1ECA}, {0x99, 0x1ECE}, {0x9A, 0x1ECC}, {0x9B, 0x1EC8}, {0x9C, 0x1EE6}, {0x9D, 0x0168},
      {0x9E, 0x1EE4}, {0x9F, 0x1EF2}, {0xA0, 0x00D5}, {0xA1, 0x1EAF}, {0xA2, 0x1EB1}, {0xA3, 0x1EB7},
      {0xA4, 0x1EA5}, {0xA5, 0x1EA7}, {0xA6, 0x1EA9}, {0xA7, 0x1EAD}, {0xA8, 0x1EBD}, {0xA9, 0x1EB9},
      {0xAA, 0x1EBF}, {0xAB, 0x1EC1}, {0xAC, 0x1EC3}, {0xAD, 0x1EC5}, {0xAE, 0x1EC7}, {0xAF, 0x1ED1},
      {0xB0, 0x1ED3}, {0xB1, 0x1ED5}, {0xB2, 0x1ED7}, {0xB3, 0x1EE0}, {0xB4, 0x01A0}, {0xB5, 0x1ED9},
      {0xB6, 0x1EDD}, {0xB7, 0x1EDF}, {0xB8, 0x1ECB}, {0xB9, 0x1EF0}, {0xBA, 0x1EE8}, {0xBB, 0x1EEA},
      {0xBC, 0x1EEC}, {0xBD, 0x01A1}, {0xBE, 0x1EDB}, {0xBF, 0x01AF}, {0xC4, 0x1EA2}, {0xC5, 0x0102},
      {0xC6, 0x1EB3}, {0xC7, 0x1EB5}, {0xCB, 0x1EBA}, {0xCE, 0x0128}, {0xCF, 0x1EF3}, {0xD0, 0x0110},
      {0xD1, 0x1EE9}, {0xD5, 0x1EA1}, {0xD6, 0x1EF7}, {0xD7, 0x1EEB}, {0xD8, 0x1EED}, {0xDB, 0x1EF9},
      {0xDC, 0x1EF5}, {0xDE, 0x1EE1}, {0xDF, 0x01B0}, {0xE4, 0x1EA3}, {0xE5, 0x0103}, {0xE6, 0x1EEF},
      {0xE7, 0x1EAB}, {0xEB, 0x1EBB}, {0xEE, 0x0129}, {0xEF, 0x1EC9}, {0xF0, 0x0111}, {0xF1, 0x1EF1},
      {0xF6, 0x1ECF}, {0xF7, 0x1ECD}, {0xF8, 0x1EE5}, {0xFB, 0x0169}, {0xFC, 0x1EE7}, {0xFE, 0x1EE3},
      {0xFF, 0x1EEE},
  };
  for (const auto& [byte, letter] : letters) standard[byte] = letter;
  for (std::size_t b = 0; b < 256; ++b) {
    const std::vector<std::uint8_t> one{static_cast<std::uint8_t>(b)};
    EXPECT_EQ(cs::decode_bytes(one, "viscii"), utf8(standard[b])) << std::hex << b;
  }
}

// Unicode bytes are UTF-8 (ill-formed sequences become U+FFFD); any other charset reads each
// byte as one character.
TEST(CharsetBytes, DecodeBytesExamples) {
  const Conversion cases[] = {
      {"unicode", "à", "à"},
      {"nfd", "à", "a\u0300"},
      {"utf-8", "Việt", "Vi\xE1\xBB\x87t"},
      {"unicode", "a\uFFFD", "a\xC3"},
      {"unicode", "\uFFFD", "\xE1\xBB"},
      {"unicode", "\uFFFD\uFFFD", "\xFF\xFE"},
      {"unicode", "", ""},
      {"cp1258", "à", "a\xCC"},
      {"cp1258", "\u0080", "\x80"},
      {"viqr", "Việt", "Vie^.t"},
      {"tcvn3", "VIệT", "VI\xD6T"},
      {"vni_windows", "Việt", "Vie\xE4t"},
      {"ncr_decimal", "ệ", "&#7879;"},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(cs::decode_bytes(bytes_of(c.encoded), c.charset), c.unicode) << c.charset << " " << c.encoded;
  }
}

}  // namespace
