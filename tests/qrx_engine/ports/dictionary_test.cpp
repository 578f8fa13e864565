#include <qrx_engine/testing.h>

#include <unicode_text/unicode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qrx_data {
extern const std::string_view english_words;
extern const std::string_view vietnamese_words;
}  // namespace qrx_data

namespace {

using qrx_engine::testing::split_words;
using qrx_engine::testing::WordListDictionary;

std::vector<std::string> pieces(std::string_view text) {
  std::vector<std::string> out;
  for (std::string_view word : split_words(text)) out.emplace_back(word);
  return out;
}

TEST(WordLists, BuiltInListsHaveTheDocumentedShape) {
  struct List {
    std::string_view text;
    std::size_t count;
    std::string_view first, last;
  };
  for (const List& list :
       {List{qrx_data::english_words, 227, "a", "sign"}, List{qrx_data::vietnamese_words, 603, "a", "ữ"}}) {
    SCOPED_TRACE(list.first);
    // One line of words separated by single spaces, ended by a line feed.
    ASSERT_TRUE(list.text.ends_with("\n"));
    EXPECT_EQ(std::count(list.text.begin(), list.text.end(), '\n'), 1);
    EXPECT_EQ(list.text.find("  "), std::string_view::npos);
    EXPECT_FALSE(list.text.starts_with(" "));
    const std::vector<std::string> words = pieces(list.text);
    ASSERT_EQ(words.size(), list.count);
    EXPECT_EQ(words.front(), list.first);
    EXPECT_EQ(words.back(), list.last);
    std::vector<std::string> sorted = words;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a repeated word";
  }
  for (const std::string& word : pieces(qrx_data::english_words)) {
    EXPECT_TRUE(std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; })) << word;
  }
  const std::vector<std::string> vietnamese = pieces(qrx_data::vietnamese_words);
  // Byte order of UTF-8 is code-point order.
  EXPECT_TRUE(std::is_sorted(vietnamese.begin(), vietnamese.end()));
  for (const std::string& word : vietnamese) {
    EXPECT_TRUE(unicode::is_nfc(word)) << word;
    EXPECT_EQ(unicode::to_lower(word), word);
    const std::size_t length = unicode::char_count(word);
    EXPECT_TRUE(length >= 1 && length <= 6) << word;
  }
}

TEST(WordListDictionary, DefaultAnswersFromTheBuiltInLists) {
  const WordListDictionary dictionary = WordListDictionary::make_default();
  EXPECT_EQ(dictionary.english().size(), 227u);
  EXPECT_EQ(dictionary.vietnamese().size(), 603u);
  struct Case {
    std::string word;
    bool english;
    bool vietnamese;
  };
  const std::vector<Case> cases{
      {"a", true, true},
      {"the", true, false},
      {"sign", true, false},
      {"The", false, false},
      {" the", false, false},
      {"", false, false},
      {"việt", false, true},
      {unicode::nfd("việt"), false, false},
      {"ữ", false, true},
      {"khong", false, false},
      {std::string("th\0e", 4), false, false},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.word);
    EXPECT_EQ(dictionary.is_english(item.word), item.english);
    EXPECT_EQ(dictionary.is_vietnamese(item.word), item.vietnamese);
  }
}

TEST(WordListDictionary, FromTextKeepsWordsAsWritten) {
  const WordListDictionary dictionary = WordListDictionary::from_text("  \tHello\nworld ", "");
  EXPECT_EQ(dictionary.english(), (qrx_engine::testing::WordSet{"Hello", "world"}));
  EXPECT_TRUE(dictionary.vietnamese().empty());
  EXPECT_TRUE(dictionary.is_english("Hello"));
  EXPECT_FALSE(dictionary.is_english("hello"));
  EXPECT_FALSE(dictionary.is_vietnamese(""));  // an empty set

  const WordListDictionary repeated = WordListDictionary::from_text("a a\ta", "x, x. x");
  EXPECT_EQ(repeated.english().size(), 1u);
  EXPECT_EQ(repeated.vietnamese(), (qrx_engine::testing::WordSet{"x,", "x.", "x"}));
}

TEST(SplitWords, BreaksAtEveryRunOfUnicodeWhiteSpace) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"", {}},
      {" \t\r\n", {}},
      {"one", {"one"}},
      {"  one  two ", {"one", "two"}},
      {"a\u00A0b\u3000c\u2028d\u0085e", {"a", "b", "c", "d", "e"}},
      {"zero\u200Bwidth", {"zero\u200Bwidth"}},
      {"việt nam", {"việt", "nam"}},
      {"\xFF \xFE\xFD", {"\xFF", "\xFE\xFD"}},
      {"tail\xE1\xBB", {"tail\xE1\xBB"}},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(pieces(text), expected);
  }
}

}  // namespace
