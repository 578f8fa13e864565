#include <vi_syllable/vi_syllable.h>

#include <unicode_text/unicode.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using vi_syllable::Mark;
using vi_syllable::PackedLetter;
using vi_syllable::ToneStyle;

std::string hex(char32_t c) { return "U+" + std::to_string(static_cast<unsigned>(c)); }

TEST(PackedLetter, BitLayout) {
  const PackedLetter p = PackedLetter::pack(U'e', true, Mark::Circumflex, 1);
  EXPECT_EQ(p.bits, 0x0001'0000'0000'0065u | (std::uint64_t{1} << 32));
  EXPECT_EQ(PackedLetter::pack(U'a', false, Mark::None, 5).bits, 0x0005'FF00'0000'0061u);
  EXPECT_EQ(PackedLetter::pack(U'd', true, Mark::Stroke, 0).bits, 0x0000'0301'0000'0064u);
}

struct DecomposeCase {
  char32_t c;
  char32_t base;
  bool upper;
  Mark mark;
  std::uint8_t tone;
};

TEST(DecomposeChar, BaseMarkToneAndCase) {
  const DecomposeCase cases[] = {
      {U'Ế', U'e', true, Mark::Circumflex, 1},
      {U'ờ', U'o', false, Mark::Horn, 2},
      {U'Đ', U'd', true, Mark::Stroke, 0},
      {U'đ', U'd', false, Mark::Stroke, 0},
      {U'7', U'7', false, Mark::None, 0},
      {U'A', U'a', true, Mark::None, 0},
      {U'ặ', U'a', false, Mark::Breve, 5},
      {U'Ự', U'u', true, Mark::Horn, 5},
      {U'ỹ', U'y', false, Mark::None, 4},
      {U'ẩ', U'a', false, Mark::Circumflex, 3},
      {U' ', U' ', false, Mark::None, 0},
      {U'ẞ', U'ß', true, Mark::None, 0},
      // Outside Latin: a Greek vowel with an acute.
      {U'Ά', U'α', true, Mark::None, 1},
      // Parts that are no Vietnamese tone or mark stay with the base.
      {U'한', U'한', false, Mark::None, 0},
      {U'ü', U'ü', false, Mark::None, 0},
      {U'ǘ', U'ü', false, Mark::None, 1},
      {U'Ḉ', U'ç', true, Mark::None, 1},
      {U'\u0958', U'\u0958', false, Mark::None, 0},  // क़, whose parts do not compose again
  };
  for (const DecomposeCase& c : cases) {
    const PackedLetter p = vi_syllable::decompose_char(c.c);
    EXPECT_EQ(p, PackedLetter::pack(c.base, c.upper, c.mark, c.tone)) << hex(c.c);
  }
}

struct ComposeCase {
  char32_t base;
  Mark mark;
  std::uint8_t tone;
  bool upper;
  char32_t result;
};

TEST(ComposeChar, BuildsOneCharacter) {
  const ComposeCase cases[] = {
      {U'e', Mark::Circumflex, 1, true, U'Ế'},
      {U'd', Mark::Stroke, 0, false, U'đ'},
      {U'd', Mark::Stroke, 0, true, U'Đ'},
      {U'a', Mark::Stroke, 2, false, U'à'},  // the stroke only belongs on d
      {U'x', Mark::Circumflex, 1, false, U'x'},
      {U'u', Mark::Horn, 5, false, U'ự'},
      {U'o', Mark::Horn, 3, true, U'Ở'},
      {U'a', Mark::Breve, 4, false, U'ẵ'},
      {U'y', Mark::None, 4, false, U'ỹ'},
      {U'a', Mark::None, 0, true, U'A'},
      {U'a', Mark::None, 9, false, U'a'},  // no such tone
      {U'7', Mark::None, 1, true, U'7'},
      {U'ü', Mark::None, 1, false, U'ǘ'},
      {U'α', Mark::None, 1, true, U'Ά'},
      {U'한', Mark::None, 1, false, U'한'},
      {U'ß', Mark::None, 0, true, U'ß'},  // its upper case is two letters
  };
  for (const ComposeCase& c : cases) {
    EXPECT_EQ(vi_syllable::compose_char(c.base, c.mark, c.tone, c.upper), c.result)
        << hex(c.base) << " mark " << int(c.mark) << " tone " << int(c.tone) << " upper " << c.upper;
  }
}

// Every Vietnamese letter, each vowel in its six tones in tone order, in both cases.
constexpr std::u32string_view kVietnameseLetters =
    U"aáàảãạăắằẳẵặâấầẩẫậeéèẻẽẹêếềểễệiíìỉĩịoóòỏõọôốồổỗộơớờởỡợuúùủũụưứừửữựyýỳỷỹỵđ"
    U"AÁÀẢÃẠĂẮẰẲẴẶÂẤẦẨẪẬEÉÈẺẼẸÊẾỀỂỄỆIÍÌỈĨỊOÓÒỎÕỌÔỐỒỔỖỘƠỚỜỞỠỢUÚÙỦŨỤƯỨỪỬỮỰYÝỲỶỸỴĐ";

TEST(Letters, EveryVietnameseLetterComesApartAndBackTogether) {
  ASSERT_EQ(kVietnameseLetters.size(), 2u * (12 * 6 + 1));
  for (std::size_t i = 0; i < kVietnameseLetters.size(); ++i) {
    const char32_t c = kVietnameseLetters[i];
    const PackedLetter p = vi_syllable::decompose_char(c);
    const std::size_t in_case = i % (12 * 6 + 1);
    EXPECT_EQ(p.upper(), i >= 12 * 6 + 1) << hex(c);
    if (in_case == 12 * 6) {
      EXPECT_EQ(p.mark(), Mark::Stroke) << hex(c);
    } else {
      EXPECT_EQ(p.tone(), in_case % 6) << hex(c);
      EXPECT_EQ(vi_syllable::is_vowel(vi_syllable::compose_char(p.base(), p.mark(), 0, false)), true)
          << hex(c);
    }
    EXPECT_TRUE(p.base() >= U'a' && p.base() <= U'z') << hex(c);
    EXPECT_EQ(vi_syllable::compose_char(p.base(), p.mark(), p.tone(), p.upper()), c) << hex(c);
  }
}

struct ToneIndexCase {
  std::string word;
  std::optional<std::size_t> old_style;
  std::optional<std::size_t> new_style;
};

TEST(ToneIndex, OldAndNewStyle) {
  const ToneIndexCase cases[] = {
      {"hoa", 1, 2},   {"thuy", 2, 3}, {"khoe", 2, 3}, {"hoan", 2, 2}, {"nguoi", 3, 3}, {"nguơi", 3, 3},
      {"quy", 2, 2},   {"gia", 2, 2},  {"gi", 1, 1},   {"viêt", 2, 2}, {"viet", 2, 2},  {"thuơ", 3, 3},
      {"tuyêt", 3, 3}, {"mua", 1, 1},  {"oai", 1, 1},  {"ươi", 1, 1},  {"uyu", 1, 1},   {"a", 0, 0},
      {"đương", 2, 2}, {"ng", {}, {}}, {"qu", {}, {}}, {"", {}, {}},   {"xyz", 1, 1},   {"aoeu", 0, 0},
  };
  for (const ToneIndexCase& c : cases) {
    EXPECT_EQ(vi_syllable::tone_index(c.word, ToneStyle::Old), c.old_style) << c.word;
    EXPECT_EQ(vi_syllable::tone_index(c.word, ToneStyle::New), c.new_style) << c.word;
  }
}

TEST(StripTone, RemovesTonesKeepsEverythingElse) {
  struct Case {
    std::string text;
    std::string stripped;
    std::uint8_t tone;
  };
  const Case cases[] = {
      {"Việt", "Viêt", 5},
      {"hoà", "hoa", 2},
      {"hello", "hello", 0},
      {"", "", 0},
      {"mã số", "ma sô", 1},
      {"ĐẶNG", "ĐĂNG", 5},
      // Text that is not Vietnamese survives whole.
      {"한국", "한국", 0},
      {"Việt 한국", "Viêt 한국", 5},
      {"München", "München", 0},
      {"\u0958", "\u0958", 0},
      {"ǘ", "ü", 1},
      {"a\xff", "a\uFFFD", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vi_syllable::strip_tone(c.text), (vi_syllable::StripResult{c.stripped, c.tone})) << c.text;
  }
}

TEST(PlaceTone, PutsTheToneOnTheRightLetter) {
  struct Case {
    std::string word;
    std::uint8_t tone;
    ToneStyle style;
    std::string result;
  };
  const Case cases[] = {
      {"viet", 5, ToneStyle::New, "viẹt"}, {"viêt", 5, ToneStyle::New, "việt"},
      {"hoa", 2, ToneStyle::Old, "hòa"},   {"hoa", 2, ToneStyle::New, "hoà"},
      {"THUY", 3, ToneStyle::Old, "THỦY"}, {"THUY", 3, ToneStyle::New, "THUỶ"},
      {"hóa", 0, ToneStyle::New, "hoa"},   {"Việt", 1, ToneStyle::New, "Viết"},
      {"HOÀ", 1, ToneStyle::Old, "HÓA"},   {"Đuong", 2, ToneStyle::New, "Đuòng"},
      {"ng", 2, ToneStyle::New, "ng"},     {"", 1, ToneStyle::New, ""},
      {"한", 1, ToneStyle::New, "한"},     {"한국", 0, ToneStyle::New, "한국"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vi_syllable::place_tone(c.word, c.tone, c.style), c.result)
        << c.word << " tone " << int(c.tone) << " style " << int(c.style);
  }
}

}  // namespace
