#include <qrx_unicode/unicode.h>

#include <gtest/gtest.h>

namespace {

TEST(Utf8, DecodeReplacesEachMaximalIllFormedSubpart) {
  const std::tuple<const char*, std::string, std::u32string> cases[] = {
      {"ascii", "abc", U"abc"},
      {"vietnamese", "vi\xe1\xbb\x87t", U"vi\u1ec7t"},
      {"astral", "\xf0\x9f\x98\x80", U"\U0001F600"},
      {"lone continuation", "a\x80z", U"a\uFFFDz"},
      {"truncated three-byte", "\xe1\xbb", U"\uFFFD"},
      {"truncated then ascii", "\xe1\xbbx", U"\uFFFDx"},
      {"overlong two-byte", "\xc0\xaf", U"\uFFFD\uFFFD"},
      {"surrogate", "\xed\xa0\x80", U"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xf4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"invalid lead", "\xff", U"\uFFFD"},
      {"real U+FFFD", "\xef\xbf\xbd", U"\uFFFD"},
  };
  for (const auto& [name, bytes, chars] : cases) {
    EXPECT_EQ(qrx_unicode::decode_utf8(bytes), chars) << name;
    EXPECT_EQ(qrx_unicode::char_count(bytes), chars.size()) << name;
    std::size_t units = 0;
    for (const char32_t c : chars) units += c > 0xFFFF ? 2 : 1;
    EXPECT_EQ(qrx_unicode::utf16_length(bytes), units) << name;
  }
  // Well-formed text read byte by byte, as hosts walk it.
  const std::string text = "a\xc3\xa9\xe1\xbb\x87\xf0\x9f\x98\x80";
  std::size_t units = 0;
  for (const char byte : text) {
    if (!qrx_unicode::is_continuation_byte(byte)) units += static_cast<std::size_t>(qrx_unicode::utf16_units_of_lead(byte));
  }
  EXPECT_EQ(units, 5u);
  EXPECT_EQ(qrx_unicode::utf16_length(text), 5u);
}

TEST(Utf8, ValidityAgreesWithDecoding) {
  EXPECT_TRUE(qrx_unicode::is_valid_utf8(""));
  EXPECT_TRUE(qrx_unicode::is_valid_utf8("vi\xe1\xbb\x87t \xef\xbf\xbd \xf0\x9f\x98\x80"));
  EXPECT_TRUE(qrx_unicode::is_valid_utf8("abcdefgh\xc3\xa9ijklmnopqrstuvwx"));
  for (const char* bad : {"\x80", "\xc3", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc0\x80", "a\xfe",
                          "abcdefghijklmnop\x80", "abcdefgh\xc3"}) {
    EXPECT_FALSE(qrx_unicode::is_valid_utf8(bad)) << bad;
  }
}

// Validation and decoding are written separately; they must agree on every short sequence.
TEST(Utf8, ValidationAgreesWithDecodingOnAllShortSequences) {
  const auto decodes_cleanly = [](const std::string& bytes) {
    return qrx_unicode::encode_utf8(qrx_unicode::decode_utf8(bytes)) == bytes;
  };
  std::string s(2, '\0');
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      s[0] = static_cast<char>(a);
      s[1] = static_cast<char>(b);
      ASSERT_EQ(qrx_unicode::is_valid_utf8(s), decodes_cleanly(s)) << a << " " << b;
    }
  }
  std::string t(3, '\0');
  for (int a = 0xE0; a < 0x100; ++a) {
    for (int b = 0x70; b < 0xD0; ++b) {
      for (int c : {0x41, 0x80, 0xBF, 0xC0}) {
        t[0] = static_cast<char>(a);
        t[1] = static_cast<char>(b);
        t[2] = static_cast<char>(c);
        ASSERT_EQ(qrx_unicode::is_valid_utf8(t), decodes_cleanly(t)) << a << " " << b << " " << c;
        ASSERT_EQ(qrx_unicode::is_valid_utf8("abcdefgh" + t + "\x80\x80"),
                  decodes_cleanly("abcdefgh" + t + "\x80\x80"));
      }
    }
  }
}

TEST(Utf8, EncodeRoundTripsAndReplacesNonScalars) {
  const std::u32string text = U"Ti\u1ebfng Vi\u1ec7t \U0001F600 \u0000end";
  EXPECT_EQ(qrx_unicode::decode_utf8(qrx_unicode::encode_utf8(text)), text);
  EXPECT_EQ(qrx_unicode::encode_utf8(char32_t{0xD800}), "\xef\xbf\xbd");
  EXPECT_EQ(qrx_unicode::encode_utf8(char32_t{0x110000}), "\xef\xbf\xbd");
}

TEST(Normalization, StringsAndCharacters) {
  const std::string composed = "Vi\xe1\xbb\x87t";         // Việt
  const std::string decomposed = "Vie\xcc\xa3\xcc\x82t";  // e + dot below + circumflex
  const std::string unordered = "Vie\xcc\x82\xcc\xa3t";   // marks in typing order
  EXPECT_EQ(qrx_unicode::nfd(composed), decomposed);
  EXPECT_EQ(qrx_unicode::nfd(unordered), decomposed);
  EXPECT_EQ(qrx_unicode::nfc(decomposed), composed);
  EXPECT_EQ(qrx_unicode::nfc(unordered), composed);
  EXPECT_TRUE(qrx_unicode::is_nfc(composed));
  EXPECT_FALSE(qrx_unicode::is_nfc(decomposed));
  EXPECT_EQ(qrx_unicode::nfd(U'\u1ec7'), U"e\u0323\u0302");
  EXPECT_EQ(qrx_unicode::nfd(U'a'), U"a");
  EXPECT_EQ(qrx_unicode::compose(U'e', U'\u0302'), U'\u00ea');
  EXPECT_EQ(qrx_unicode::compose(U'q', U'\u0302'), 0U);
  // Hangul decomposes algorithmically into several jamo.
  EXPECT_EQ(qrx_unicode::nfd(U'\ud55c').size(), 3U);
  // Broken input is repaired before normalizing, never rejected.
  EXPECT_EQ(qrx_unicode::nfc("a\xff"), "a\xef\xbf\xbd");
}

// The quick NFC check accepts only starters of which no two compose, so that any text of them
// is NFC; it stops exactly at the ranges' borders and refuses ill-formed bytes.
TEST(Normalization, StableNfcCharactersNeverCombine) {
  std::u32string stable;
  for (char32_t c = 1; c < 0x1F00; c = c == 0x2FF ? 0x1E00 : c + 1) stable.push_back(c);
  for (char32_t a : stable) {
    ASSERT_TRUE(qrx_unicode::is_stable_nfc(qrx_unicode::encode_utf8(a))) << static_cast<std::uint32_t>(a);
    ASSERT_EQ(qrx_unicode::combining_class(a), 0) << static_cast<std::uint32_t>(a);
    for (char32_t b : stable) ASSERT_EQ(qrx_unicode::compose(a, b), 0U) << static_cast<std::uint32_t>(a);
  }
  EXPECT_TRUE(qrx_unicode::is_stable_nfc("Tiếng Việt, đẹp!"));
  for (const char* text : {"e\xcc\x82", "\xe1\xb7\xbf", "\xe1\xbc\x80", "a\xff", "\xef\xbf\xbd"}) {
    EXPECT_FALSE(qrx_unicode::is_stable_nfc(text)) << text;
  }
}

TEST(Properties, CombiningClassCaseAndBinaryProperties) {
  EXPECT_EQ(qrx_unicode::combining_class(U'\u0301'), 230);
  EXPECT_EQ(qrx_unicode::combining_class(U'\u0323'), 220);
  EXPECT_EQ(qrx_unicode::combining_class(U'a'), 0);
  EXPECT_EQ(qrx_unicode::to_upper(U'\u00df'), U"SS");
  EXPECT_EQ(qrx_unicode::to_upper(U'\u1ec7'), U"\u1ec6");
  EXPECT_EQ(qrx_unicode::to_lower(U'\u0110'), U"\u0111");
  EXPECT_EQ(qrx_unicode::to_upper("\xc4\x91i\xe1\xbb\x87n"), "\xc4\x90I\xe1\xbb\x86N");
  EXPECT_EQ(qrx_unicode::to_lower("\xc4\x90I\xe1\xbb\x86N"), "\xc4\x91i\xe1\xbb\x87n");
  EXPECT_EQ(qrx_unicode::simple_upper(U'\u01c6'), U'\u01c4');
  EXPECT_TRUE(qrx_unicode::is_alphabetic(U'\u1ec7'));
  EXPECT_FALSE(qrx_unicode::is_alphabetic(U'1'));
  EXPECT_TRUE(qrx_unicode::is_lowercase(U'\u0111'));
  EXPECT_TRUE(qrx_unicode::is_uppercase(U'\u0110'));
  EXPECT_TRUE(qrx_unicode::is_white_space(U'\u00a0'));
  EXPECT_FALSE(qrx_unicode::is_white_space(U'\u200b'));
  EXPECT_FALSE(qrx_unicode::is_alphabetic(char32_t{0x110000}));
  EXPECT_TRUE(qrx_unicode::is_numeric(U'7'));
  EXPECT_TRUE(qrx_unicode::is_numeric(U'\u0663'));  // Arabic-Indic three
  EXPECT_TRUE(qrx_unicode::is_numeric(U'\u00bd'));  // one half
  EXPECT_FALSE(qrx_unicode::is_numeric(U'x'));
  EXPECT_TRUE(qrx_unicode::is_control(U'\x1b'));
  EXPECT_TRUE(qrx_unicode::is_control(U'\u200b'));  // zero width space, a format character
  EXPECT_FALSE(qrx_unicode::is_control(U'\u1ec7'));
}

}  // namespace
