// Charsets: names, encoding and decoding through the built-in tables, tables built from other
// charset JSON, detection; whole-text diacritic removal and case changes; the emoji table and its
// search.
#include <gtest/gtest.h>
#include <qrx_core/charset.h>
#include <qrx_core/emoji.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace cs = qrx_core::charset;
namespace emoji = qrx_core::emoji;
using qrx_core::charset::Tables;

// The 134 precomposed Vietnamese letters, in code point order.
constexpr std::u32string_view kLetters =
    U"ÀÁÂÃÈÉÊÌÍÒÓÔÕÙÚÝàáâãèéêìíòóôõùúýĂăĐđĨĩŨũƠơƯưẠạẢảẤấẦầẨẩẪẫẬậẮắẰằẲẳẴẵẶặ"
    U"ẸẹẺẻẼẽẾếỀềỂểỄễỆệỈỉỊịỌọỎỏỐốỒồỔổỖỗỘộỚớỜờỞởỠỡỢợỤụỦủỨứỪừỬửỮữỰựỲỳỴỵỶỷỸỹ";

// The fourteen charsets that have tables, in the order of the built-in data.
constexpr std::string_view kTableCharsets[] = {
    "tcvn3",  "vni_windows", "cp1258",        "viqr",        "viscii",  "vps",         "bkhcm1",
    "bkhcm2", "vietware_x",  "vietware_full", "ncr_decimal", "ncr_hex", "cstring_hex", "cstring_decimal"};

// The order in which detection ranks charsets of equal score.
const std::vector<std::string_view> kDetectRank = {
    "tcvn3",         "vni_windows", "viscii", "vps",     "bkhcm1",      "bkhcm2",      "vietware_x",
    "vietware_full", "cp1258",      "viqr",   "ncr_hex", "ncr_decimal", "cstring_hex", "cstring_decimal"};

constexpr std::string_view kSingleByteCharsets[] = {"tcvn3",  "vni_windows", "viscii",     "vps",
                                                    "bkhcm1", "bkhcm2",      "vietware_x", "vietware_full"};

std::string utf8(char32_t c) { return qrx_unicode::encode_utf8(c); }

std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(CharsetNames, NormalizeTrimsLowerCasesAndResolvesAliases) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {" VNI\t", "vni_windows"},
      {"WINDOWS-1258", "cp1258"},
      {"UTF-8", "unicode"},
      {"Unicode tổ hợp (NFD)", "unicode"},
      {"UNICODE TỔ HỢP", "unicode_nfd"},
      {"", "unicode"},
      {"latin1", "unicode"},
      {"vni-windows", "unicode"},
      {"\u00A0ABC\u3000", "tcvn3"},
      {"TCVN3 (ABC)", "tcvn3"},
      {"NCR", "ncr_decimal"},
      {"Unicode C String Decimal", "cstring_decimal"},
      {"\xFF", "unicode"},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(cs::normalize(name), id) << name;
  for (std::string_view id : cs::kIdentifiers) EXPECT_EQ(cs::normalize(id), id);
}

TEST(CharsetNames, DisplayNamesAndTheirLowerCaseFormsName) {
  constexpr std::string_view names =
      "Unicode (NFC)|Unicode tổ hợp (NFD)|TCVN3 (ABC)|VNI Windows|Windows 1258 "
      "codepage|VIQR|VISCII|VPS|BKHCM 1|"
      "BKHCM 2|Vietware X|Vietware Full|NCR Decimal|NCR Hex|Unicode C string Hex|Unicode C string Decimal|";
  std::size_t start = 0;
  for (std::size_t i = 0; i < cs::kIdentifiers.size(); ++i) {
    const std::size_t end = names.find('|', start);
    const std::string_view name = names.substr(start, end - start);
    start = end + 1;
    EXPECT_EQ(cs::display_name(cs::kIdentifiers[i]), name);
    // The two Unicode names are aliases of "unicode" in any case.
    EXPECT_TRUE(i < 2 || cs::normalize(name) == cs::kIdentifiers[i]) << name;
  }
  EXPECT_EQ(start, names.size());
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

TEST(CharsetConvert, EncodeExamples) {
  const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
      {"tcvn3", "VIỆT", "VI\u00D6T"},
      {"viscii", "Ẳ", "\u00C6"},
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
      {"ncr_hex", "à", "à"},
      {"ncr_decimal", "ệ!", "&#7879;!"},
      {"ncr_hex", "Ă", "&#x102;"},
      {"cstring_hex", "Àb", "\\xC0b"},
      {"cstring_decimal", "ệ", "\\u7879"},
      {"unicode", "a\u0300", "à"},
      {"tcvn3", "中文 ok", "中文 ok"},
  };
  for (const auto& [charset, unicode, encoded] : cases) {
    EXPECT_EQ(cs::encode(unicode, charset), encoded) << charset << " " << unicode;
  }
}

TEST(CharsetConvert, DecodeExamples) {
  const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
      {"tcvn3", "VIệT", "VI\u00D6T"},  // a shared code decodes to the lower-case letter
      {"viscii", "Ẳ", "\u0002"},       // one of VISCII's seven extra entries
      {"viscii", "Õ", "\u00A0"},
      {"bkhcm1", "\u02DC", "\u02DC"},  // shared by Ặ and Ụ: left alone
      {"bkhcm1", "\u017D", "\u017D"},  // shared by Ị and Ỵ
      {"cp1258", "à", "a\u00CC"},
      {"viqr", "Ấ", "A^'"},         // longest match
      {"viqr", "Hellỏ", "Hello?"},  // no context
      {"viqr", "a?", "a\\?"},
      {"viqr", "\\", "\\\\"},
      {"viqr", "\\a", "\\a"},  // only punctuation is escaped
      {"viqr", "đ", "dd"},
      {"viqr", "\\", "\\"},
      {"ncr_hex", "&#x1ea1;", "&#x1ea1;"},  // upper-case digits only
      {"ncr_hex", "&#x1EA", "&#x1EA"},      // a prefix of a key is no key
      {"ncr_decimal", "ệ&#;", "&#7879;&#;"},
      {"cstring_hex", "ệ", "\\x1EC7"},
      {"cstring_decimal", "À", "\\u192"},
      {"tcvn3", "à", "a\u0300"},  // the output is composed
      {"unicode", "\uFFFDa",
       "\xC3"
       "a"},  // ill-formed UTF-8 becomes U+FFFD
      {"tcvn3", "\uFFFDá", "\xFF\u00B8"},
      {"viqr", "\\ \\0!/:[`{~", "\\ \\0\\!\\/\\:\\[\\`\\{\\~"},  // only ASCII punctuation is escaped
  };
  for (const auto& [charset, unicode, encoded] : cases) {
    EXPECT_EQ(cs::decode(encoded, charset), unicode) << charset << " " << encoded;
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
  const char32_t lower = qrx_unicode::simple_lower(letter);
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
  const std::string decomposed = qrx_unicode::nfd(composed);
  ASSERT_NE(composed, decomposed);
  for (std::string_view charset : kTableCharsets) {
    const std::string encoded = cs::encode(decomposed, charset);
    EXPECT_EQ(encoded, cs::encode(composed, charset)) << charset;
    EXPECT_EQ(cs::decode(encoded, charset), composed) << charset;
  }
  EXPECT_EQ(cs::encode_bytes(decomposed, "tcvn3"), cs::encode_bytes(composed, "tcvn3"));
  EXPECT_EQ(cs::encode(qrx_unicode::nfd("ệ"), "viqr"), "e^.");
}

TEST(CharsetConvert, ConvertDecodesThenEncodes) {
  const std::string text = qrx_unicode::nfd("Việt Nam");
  EXPECT_EQ(cs::convert(text, "unicode", "vni_windows"), cs::encode(qrx_unicode::nfc(text), "vni_windows"));
  const std::string vni = cs::encode("Việt Nam", "vni_windows");
  EXPECT_EQ(cs::convert(vni, "vni_windows", "unicode"), "Việt Nam");
  EXPECT_EQ(cs::convert(vni, "VNI", "viqr"), "Vie^.t Nam");
  EXPECT_EQ(cs::convert("Vie^.t", "viqr", "unicode_nfd"), qrx_unicode::nfd("Việt"));
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
  const std::tuple<std::string_view, std::string_view, std::uint8_t> cases[] = {
      {"viscii", "Ạ", 0x80}, {"viscii", "Ắ", 0x81}, {"viscii", "Ỳ", 0x9F}, {"viscii", "Ũ", 0x9D},
      {"vps", "À", 0x80},    {"bkhcm1", "Á", 0x80}, {"bkhcm1", "À", 0x81}, {"vietware_full", "Â", 0x97},
  };
  for (const auto& [charset, letter, byte] : cases) {
    EXPECT_EQ(cs::encode_bytes(letter, charset), std::vector<std::uint8_t>{byte}) << charset << " " << letter;
    EXPECT_EQ(cs::decode_bytes(std::vector<std::uint8_t>{byte}, charset), letter) << charset << " " << letter;
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
  // The bytes that stand for letters, and those letters in the same order.
  constexpr std::string_view bytes =
      "\x02\x05\x06\x14\x19\x1E\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F\x90\x91\x92"
      "\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F\xA0\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9\xAA\xAB"
      "\xAC\xAD\xAE\xAF\xB0\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA\xBB\xBC\xBD\xBE\xBF\xC4\xC5\xC6\xC7\xCB"
      "\xCE\xCF\xD0\xD1\xD5\xD6\xD7\xD8\xDB\xDC\xDE\xDF\xE4\xE5\xE6\xE7\xEB\xEE\xEF\xF0\xF1\xF6\xF7\xF8\xFB"
      "\xFC\xFE\xFF";
  constexpr std::u32string_view letters =
      U"ẲẴẪỶỸỴẠẮẰẶẤẦẨẬẼẸẾỀỂỄỆỐỒỔỖỘỢỚỜỞỊỎỌỈỦŨỤỲÕắằặấầẩ"
      U"ậẽẹếềểễệốồổỗỠƠộờởịỰỨỪỬơớƯẢĂẳẵẺĨỳĐứạỷừửỹỵỡưảăữ"
      U"ẫẻĩỉđựỏọụũủợỮ";
  static_assert(bytes.size() == letters.size() && bytes.size() == 103);
  for (std::size_t i = 0; i < bytes.size(); ++i) standard[static_cast<std::uint8_t>(bytes[i])] = letters[i];
  for (std::size_t b = 0; b < 256; ++b) {
    const std::vector<std::uint8_t> one{static_cast<std::uint8_t>(b)};
    EXPECT_EQ(cs::decode_bytes(one, "viscii"), utf8(standard[b])) << std::hex << b;
  }
}

// Unicode bytes are UTF-8 (ill-formed sequences become U+FFFD); any other charset reads each
// byte as one character.
TEST(CharsetBytes, DecodeBytesExamples) {
  const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
      {"nfd", "à", "a\u0300"},
      {"unicode", "a\uFFFD", "a\xC3"},
      {"unicode", "\uFFFD", "\xE1\xBB"},
      {"unicode", "\uFFFD\uFFFD", "\xFF\xFE"},
      {"unicode", "", ""},
      {"cp1258", "à", "a\xCC"},
      {"cp1258", "\u0080", "\x80"},
      {"tcvn3", "VIệT", "VI\xD6T"},
      {"ncr_decimal", "ệ", "&#7879;"},
  };
  for (const auto& [charset, unicode, encoded] : cases) {
    EXPECT_EQ(cs::decode_bytes(bytes_of(encoded), charset), unicode) << charset << " " << encoded;
  }
}

TEST(CharsetTables, TextThatIsNotJsonIsAnInternalFault) {
  for (std::string_view text : {"", "{", "{\"charsets\": {}} x", "\xEF\xBB\xBF{}"}) {
    testing::internal::CaptureStderr();
    try {
      (void)Tables::from_json(text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const std::runtime_error& fault) {
      EXPECT_STREQ(fault.what(), "charsets.json hỏng");
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "charsets.json hỏng\n");
  }
}

TEST(CharsetTables, JsonWithoutUsableCharsetsGivesEmptyTables) {
  const std::string nfd = qrx_unicode::nfd("Việt");
  for (std::string_view text :
       {"{}", "[]", "null", "{\"charsets\": 5}", "{\"charsets\": {}}", "{\"charsets\": []}"}) {
    SCOPED_TRACE(text);
    const Tables tables = Tables::from_json(text);
    EXPECT_EQ(tables.encode("Việt", "tcvn3"), "Việt");
    EXPECT_EQ(tables.encode(nfd, "viqr"), nfd);
    EXPECT_EQ(tables.decode(nfd, "tcvn3"), "Việt");
    EXPECT_EQ(tables.encode("Việt", "unicode_nfd"), nfd);
    EXPECT_EQ(tables.display_name("tcvn3"), std::nullopt);
    EXPECT_EQ(tables.display_name("unicode"), "Unicode (NFC)");
    EXPECT_EQ(tables.display_name("nfd"), "Unicode tổ hợp (NFD)");
    EXPECT_EQ(tables.encode_bytes("abc\xC3\xA9", "tcvn3"), bytes_of("abc\xE9"));
    EXPECT_EQ(tables.encode_bytes("Việt", "tcvn3"), std::nullopt);
    EXPECT_EQ(tables.decode_bytes(bytes_of("a\xE9"), "tcvn3"), "aé");
    // Every candidate decodes to the composed input: nothing, or all fourteen in rank order.
    EXPECT_TRUE(tables.detect("Việt").empty());
    EXPECT_EQ(tables.detect(nfd), kDetectRank);
  }
}

TEST(CharsetTables, EntriesWithoutNameOrMap) {
  const Tables tables = Tables::from_json(
      R"({"charsets": {"tcvn3": 5, "vps": {"name": 7, "map": {"à": "x"}}, "viqr": {"name": "Q", "map": []},
          "bogus": {"name": "B", "map": {"a": "b"}}, "unicode": {"name": "U"}}})");
  EXPECT_EQ(tables.display_name("tcvn3"), "tcvn3");
  EXPECT_EQ(tables.display_name("vps"), "vps");
  EXPECT_EQ(tables.display_name("viqr"), "Q");
  EXPECT_EQ(tables.display_name("unicode"), "Unicode (NFC)");
  EXPECT_EQ(tables.display_name("bkhcm1"), std::nullopt);
  EXPECT_EQ(tables.encode("à?", "tcvn3"), "à?");
  EXPECT_EQ(tables.encode("à?", "viqr"), "à?");
  EXPECT_EQ(tables.encode("bà", "vps"), "bx");
  EXPECT_EQ(tables.decode("bx", "vps"), "bà");
}

TEST(CharsetTables, MapMembers) {
  // The first character of a key is the letter; a later member for the same letter wins;
  // empty keys and values that are not strings are skipped.
  const Tables tables = Tables::from_json(
      R"({"charsets": {"ncr_decimal": {"name": "N", "map": {"àb": "1", "é": "2", "é": "3", "": "4", "ô": 5, "ơ": "xyz", "ư": "xyw"}}}})");
  EXPECT_EQ(tables.encode("àéôơư", "ncr_decimal"), "13ôxyzxyw");
  EXPECT_EQ(tables.decode("1234xyzxyxyw", "ncr_decimal"), "à2é4ơxyư");
}

TEST(CharsetTables, SharedValuesDecodeOnlyToOneCaseOfOneLetter) {
  const Tables tables = Tables::from_json(
      R"({"charsets": {"vps": {"map": {"Ệ": "1", "ệ": "1", "ạ": "2", "ả": "2", "Ắ": "3", "ắ": "3", "ằ": "3", "ẻ": "4", "Ẻ": "5"}}}})");
  EXPECT_EQ(tables.decode("12345", "vps"), "ệ23ẻẺ");
  EXPECT_EQ(tables.decode("5", "vps"), "Ẻ");
  EXPECT_EQ(tables.decode("4", "vps"), "ẻ");
}

TEST(CharsetTables, VisciiGainsItsCapitalsEvenOverOtherData) {
  const Tables tables =
      Tables::from_json(R"({"charsets": {"viscii": {"map": {"ẳ": "\u00C6", "ạ": "\u0002"}}}})");
  EXPECT_EQ(tables.decode("\u0002\u0005\u0006\u0014\u0019\u001E\u00A0\u00C6", "viscii"), "ẲẴẪỶỸỴÕẳ");
  EXPECT_EQ(tables.encode("Ẳ", "viscii"), "Ẳ");
  // The same data under another name gets no extra entries.
  const Tables other = Tables::from_json(R"({"charsets": {"vps": {"map": {"ẳ": "\u00C6"}}}})");
  EXPECT_EQ(other.decode("\u0002", "vps"), "\u0002");
}

TEST(CharsetTables, LongestKeyWinsAndPrefixesWithoutLettersFallBack) {
  const Tables tables =
      Tables::from_json(R"({"charsets": {"bkhcm2": {"map": {"à": "ab", "á": "abcd", "ả": "b"}}}})");
  EXPECT_EQ(tables.decode("abcdabcab", "bkhcm2"), "áàcà");
  EXPECT_EQ(tables.decode("abc", "bkhcm2"), "àc");
  EXPECT_EQ(tables.decode("a", "bkhcm2"), "a");
  EXPECT_EQ(tables.decode("bb", "bkhcm2"), "ảả");
}

// Whatever letters the data holds, decoded text comes out composed.
TEST(CharsetTables, DecodedTextIsComposedWhateverTheLetters) {
  const Tables marks = Tables::from_json(R"({"charsets": {"tcvn3": {"map": {"\u0301": "x"}}}})");
  EXPECT_EQ(marks.decode("ax", "tcvn3"), "á");
  EXPECT_EQ(marks.decode_bytes(bytes_of("ax"), "tcvn3"), "á");
  const Tables jamo = Tables::from_json(R"({"charsets": {"vps": {"map": {"\u1100": "x", "\u1161": "y"}}}})");
  EXPECT_EQ(jamo.decode_bytes(bytes_of("xy"), "vps"), "가");
  EXPECT_EQ(jamo.decode("xy", "vps"), "가");
  EXPECT_EQ(jamo.decode_bytes(bytes_of("yx"), "vps"), "\u1161\u1100");
  const Tables vowel = Tables::from_json(R"({"charsets": {"vps": {"map": {"\u1161": "y"}}}})");
  EXPECT_EQ(vowel.decode("\u1100y", "vps"), "가");
  EXPECT_EQ(vowel.encode("\u1100\u1161", "vps"), "가");
}

TEST(CharsetTables, LettersBeyondTheBmpLongValuesAndValuesWithoutBytes) {
  const Tables tables =
      Tables::from_json(R"({"charsets": {"vps": {"map": {"😀": "x", "à": "0123456789", "á": "中"}}}})");
  EXPECT_EQ(tables.encode("😀à", "vps"), "x0123456789");
  EXPECT_EQ(tables.encode_bytes("à", "vps"), bytes_of("0123456789"));
  EXPECT_EQ(tables.encode_bytes("á", "vps"), std::nullopt);
}

TEST(CharsetTables, RepeatedCharsetKeepsTheLaterMember) {
  const Tables tables = Tables::from_json(
      R"({"charsets": {"tcvn3": {"name": "A", "map": {"à": "1"}}, "tcvn3": {"name": "B", "map": {"à": "2"}}}})");
  EXPECT_EQ(tables.display_name("tcvn3"), "B");
  EXPECT_EQ(tables.encode("à", "tcvn3"), "2");
  EXPECT_EQ(tables.decode("1", "tcvn3"), "1");
}

TEST(RemoveDiacritics, Examples) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"Đường Việt Nam", "Duong Viet Nam"},
      {"ñ", "n"},
      {"e\u0301\u0323", "e"},  // separate marks go too
      {"\u0301x", "x"},
      {"ø", "ø"},  // no decomposition
      {"ĐĂÂÊÔƠƯđăâêôơư", "DAAEOOUdaaeoou"},
      {"Ǻ", "A"},        // a mark over a mark
      {"한국", "한국"},  // Hangul decomposes to starters and composes again
      {"", ""},
      {"plain ASCII 123", "plain ASCII 123"},
      {"a\xFF", "a\uFFFD"},
      {"\x80", "\uFFFD"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(cs::remove_diacritics(text), expected) << text;
}

TEST(ChangeCase, Modes) {
  const std::tuple<std::string_view, std::string_view, std::optional<std::string_view>> cases[] = {
      {"Việt Nam", "upper", "VIỆT NAM"},
      {"Việt Nam", "UPPER", "VIỆT NAM"},
      {"ĐƯỜNG", "Lower", "đường"},
      {"ß", "upper", "SS"},
      {"x", " upper", std::nullopt},
      {"x", "upper ", std::nullopt},
      {"x", "", std::nullopt},
      {"x", "hello", std::nullopt},
      {"x", "upperx", std::nullopt},
      {"x", "TİTLE", std::nullopt},  // lower-cases to more than five bytes
      {"xin chào thế giới", "title", "Xin Chào Thế Giới"},
      {"hELLO wORLD", "Title", "HELLO WORLD"},
      {"a\tb\nc", "title", "A\tb\nc"},
      {"a  b", "title", "A  B"},
      {" a ", "title", " A "},
      {"ß ǆ", "title", "SS Ǆ"},
      {"", "title", ""},
      {"", "upper", ""},
  };
  for (const auto& [text, mode, expected] : cases)
    EXPECT_EQ(cs::change_case(text, mode), expected) << text << " " << mode;
}

using Ids = std::vector<std::string_view>;

TEST(CharsetDetect, Examples) {
  const std::pair<std::string_view, Ids> cases[] = {
      {"", {}},
      {"Hello, world! 123 (ok)", {}},
      {"Việt Nam", {}},  // already Unicode: no table changes it
      {"&#7879;", {"ncr_decimal"}},
      {"&#x1EC7;", {"ncr_hex"}},
      {"\\x1EC7", {"cstring_hex"}},
      {"dd", {"viqr"}},
      {"a\u0300", kDetectRank},  // every decoding composes
      // Equal scores follow the rank: viscii before vps.
      {"\u0192", {"viscii", "vps", "bkhcm1"}},
      // VIQR leaves two letters, the byte tables one: the higher score wins over the rank.
      {"\u00CC a'", {"viqr", "tcvn3", "vps", "bkhcm1", "vietware_full"}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(cs::detect(text), expected) << text;
}

TEST(CharsetDetect, LegacyTextIsRecognised) {
  const std::string tcvn3 = cs::encode("Tiếng Việt có dấu", "tcvn3");
  const Ids found = cs::detect(tcvn3);
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found.front(), "tcvn3");
  const Ids viqr = cs::detect(cs::encode("Tiếng Việt có dấu", "viqr"));
  ASSERT_FALSE(viqr.empty());
  EXPECT_EQ(viqr.front(), "viqr");
  for (std::string_view id : cs::detect("\u00C6\u00D6 \u00E4")) {
    EXPECT_NE(id, "unicode");
    EXPECT_NE(id, "unicode_nfd");
  }
}

using Rows = std::vector<std::pair<std::string_view, std::string_view>>;

TEST(Emoji, TableShape) {
  const auto table = emoji::table();
  ASSERT_EQ(table.size(), 68u);
  std::set<std::string_view> seen;
  for (const emoji::Emoji& row : table) EXPECT_TRUE(seen.insert(row.emoji).second) << row.emoji;
  EXPECT_EQ(table[24].emoji, "\u2764\uFE0F");
  EXPECT_EQ(table.back().emoji, "\U0001F1FB\U0001F1F3");
  EXPECT_EQ(table.back().name, "Việt Nam");
}

TEST(Emoji, EmptyQueryListsTheTableInOrder) {
  const Rows five = emoji::search("", 5);
  ASSERT_EQ(five.size(), 5u);
  for (std::size_t i = 0; i < five.size(); ++i) {
    EXPECT_EQ(five[i].first, emoji::table()[i].emoji);
    EXPECT_EQ(five[i].second, emoji::table()[i].name);
  }
  EXPECT_EQ(emoji::search(" \t", 100).size(), 68u);
  EXPECT_TRUE(emoji::search("", 0).empty());
}

TEST(Emoji, SearchOrdersByPrefixThenNameLengthThenEmoji) {
  const Rows laughing = {{"\U0001F923", "cười lăn"},         {"\U0001F601", "cười tươi"},
                         {"\U0001F60A", "cười hiền"},        {"\U0001F605", "cười ngượng"},
                         {"\U0001F602", "cười ra nước mắt"}, {"\U0001F600", "mặt cười"}};
  const std::pair<std::string_view, std::size_t> queries[] = {{"cuoi", 10}, {"cười", 10}, {" CƯỜI ", 6}};
  for (const auto& [query, limit] : queries) EXPECT_EQ(emoji::search(query, limit), laughing) << query;

  const Rows love = {{"\U0001F494", "tim vỡ"}, {"\u2764\uFE0F", "trái tim"}, {"\U0001F970", "yêu thương"}};
  EXPECT_EQ(emoji::search("love", 3), love);

  const Rows ok = {
      {"\U0001F44C", "ok"}, {"\u2705", "xong"}, {"\U0001F44D", "like"}, {"\U0001F494", "tim vỡ"}};
  EXPECT_EQ(emoji::search("ok", 10), ok);

  const Rows flag = {{"\U0001F1FB\U0001F1F3", "Việt Nam"}};
  EXPECT_EQ(emoji::search("viet", 1), flag);
  EXPECT_EQ(emoji::search("VIỆT", 5), flag);
  // The name and the keywords are searched as one text, joined by a blank.
  EXPECT_EQ(emoji::search("tuoi cuoi", 5), (Rows{{"\U0001F601", "cười tươi"}}));
}

TEST(Emoji, NoMatchOrNoRoom) {
  EXPECT_TRUE(emoji::search("zzz", 10).empty());
  EXPECT_TRUE(emoji::search("cuoi", 0).empty());
  EXPECT_EQ(emoji::search("cuoi", 2).size(), 2u);
}

}  // namespace
