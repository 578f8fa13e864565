// Building tables from charset JSON other than the built-in text.
#include <gtest/gtest.h>
#include <qrx_core/charset.h>

#include <stdexcept>

#include "letters.h"

namespace {

using charset_test::bytes_of;
using qrx_core::charset::Tables;

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
  const std::string nfd = unicode::nfd("Việt");
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
    EXPECT_EQ(tables.detect(nfd), charset_test::kDetectRank);
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

TEST(CharsetTables, RepeatedCharsetKeepsTheLaterMember) {
  const Tables tables = Tables::from_json(
      R"({"charsets": {"tcvn3": {"name": "A", "map": {"à": "1"}}, "tcvn3": {"name": "B", "map": {"à": "2"}}}})");
  EXPECT_EQ(tables.display_name("tcvn3"), "B");
  EXPECT_EQ(tables.encode("à", "tcvn3"), "2");
  EXPECT_EQ(tables.decode("1", "tcvn3"), "1");
}

}  // namespace
