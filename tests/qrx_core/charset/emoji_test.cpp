// The built-in emoji table and its search.
#include <gtest/gtest.h>
#include <qrx_core/emoji.h>

#include <algorithm>
#include <set>

namespace {

namespace emoji = qrx_core::emoji;
using Rows = std::vector<std::pair<std::string_view, std::string_view>>;

TEST(Emoji, TableShape) {
  const auto table = emoji::table();
  ASSERT_EQ(table.size(), 68u);
  std::set<std::string_view> seen;
  for (const emoji::Emoji& row : table) {
    EXPECT_TRUE(seen.insert(row.emoji).second) << row.emoji;
    EXPECT_FALSE(row.name.empty());
    EXPECT_TRUE(std::all_of(row.keywords.begin(), row.keywords.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ';
    })) << row.keywords;
    EXPECT_EQ(row.keywords.find("  "), std::string_view::npos);
    EXPECT_NE(row.keywords.front(), ' ');
    EXPECT_NE(row.keywords.back(), ' ');
  }
  EXPECT_EQ(table.front().emoji, "\U0001F600");
  EXPECT_EQ(table.front().name, "mặt cười");
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
