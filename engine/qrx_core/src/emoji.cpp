#include <qrx_core/charset.h>
#include <qrx_core/emoji.h>

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>

#include "charset_detail.h"

namespace qrx_core::emoji {

namespace {

constexpr std::array<Emoji, 68> kTable = {{
    {"\U0001F600", "mặt cười", "cuoi vui smile happy"},
    {"\U0001F601", "cười tươi", "cuoi vui grin"},
    {"\U0001F602", "cười ra nước mắt", "cuoi vui joy tears"},
    {"\U0001F923", "cười lăn", "cuoi vui rofl"},
    {"\U0001F60A", "cười hiền", "cuoi vui blush"},
    {"\U0001F60D", "mắt trái tim", "yeu thich love heart eyes"},
    {"\U0001F970", "yêu thương", "yeu thuong love"},
    {"\U0001F618", "hôn gió", "hon kiss"},
    {"\U0001F60E", "đeo kính", "cool kinh"},
    {"\U0001F914", "suy nghĩ", "suy nghi think"},
    {"\U0001F605", "cười ngượng", "cuoi nguong sweat"},
    {"\U0001F622", "khóc", "khoc buon sad"},
    {"\U0001F62D", "khóc to", "khoc buon sob"},
    {"\U0001F621", "giận", "gian tuc angry"},
    {"\U0001F97A", "mắt long lanh", "xin please"},
    {"\U0001F634", "buồn ngủ", "ngu sleep"},
    {"\U0001F912", "ốm", "om sick"},
    {"\U0001F91D", "bắt tay", "bat tay handshake"},
    {"\U0001F44D", "like", "thich ok good"},
    {"\U0001F44E", "dislike", "khong thich bad"},
    {"\U0001F44F", "vỗ tay", "vo tay clap"},
    {"\U0001F64F", "cảm ơn", "cam on thanks pray"},
    {"\U0001F4AA", "mạnh mẽ", "manh me strong"},
    {"\U0001F44C", "ok", "ok tuyet"},
    {"\u2764\uFE0F", "trái tim", "yeu love heart"},
    {"\U0001F494", "tim vỡ", "buon love broken"},
    {"\U0001F525", "lửa", "lua hot fire"},
    {"\u2B50", "ngôi sao", "sao star"},
    {"\u2728", "lấp lánh", "lap lanh sparkle"},
    {"\U0001F389", "tiệc", "tiec party celebrate"},
    {"\U0001F38A", "pháo giấy", "phao giay confetti"},
    {"\U0001F381", "quà", "qua gift"},
    {"\u2615", "cà phê", "ca phe coffee"},
    {"\U0001F35C", "mì", "mi noodle"},
    {"\U0001F355", "pizza", "pizza"},
    {"\U0001F37A", "bia", "bia beer"},
    {"\U0001F680", "tên lửa", "ten lua rocket"},
    {"\U0001F4A1", "bóng đèn", "bong den idea"},
    {"\U0001F4CC", "ghim", "ghim pin"},
    {"\U0001F4CE", "kẹp giấy", "kep giay clip"},
    {"\u2705", "xong", "xong ok check"},
    {"\u274C", "sai", "sai no cross"},
    {"\u26A0\uFE0F", "cảnh báo", "canh bao warning"},
    {"\u2753", "hỏi", "hoi question"},
    {"\u2757", "chú ý", "chu y exclamation"},
    {"\U0001F4AF", "100", "100 tuyet"},
    {"\U0001F431", "mèo", "meo cat"},
    {"\U0001F436", "chó", "cho dog"},
    {"\U0001F338", "hoa anh đào", "hoa sakura"},
    {"\U0001F339", "hoa hồng", "hoa hong rose"},
    {"\U0001F31E", "mặt trời", "mat troi sun"},
    {"\U0001F319", "mặt trăng", "mat trang moon"},
    {"\u2600\uFE0F", "nắng", "nang sun"},
    {"\U0001F327\uFE0F", "mưa", "mua rain"},
    {"\U0001F340", "cỏ bốn lá", "co bon la luck"},
    {"\U0001F3B5", "nốt nhạc", "not nhac music"},
    {"\U0001F3B6", "nhạc", "nhac music"},
    {"\U0001F4F1", "điện thoại", "dien thoai phone"},
    {"\U0001F4BB", "laptop", "laptop computer"},
    {"\u2328\uFE0F", "bàn phím", "ban phim keyboard"},
    {"\U0001F5B1\uFE0F", "chuột", "chuot mouse"},
    {"\U0001F4F7", "máy ảnh", "may anh camera"},
    {"\U0001F3AE", "game", "game choi"},
    {"\U0001F3E0", "nhà", "nha home"},
    {"\U0001F697", "ô tô", "o to car"},
    {"\u2708\uFE0F", "máy bay", "may bay plane"},
    {"\U0001F3D6\uFE0F", "biển", "bien beach"},
    {"\U0001F1FB\U0001F1F3", "Việt Nam", "viet nam vietnam"},
}};

// What matching compares: no diacritics, lower case.
std::string fold(std::string_view text) { return qrx_unicode::to_lower(charset::remove_diacritics(text)); }

}  // namespace

std::span<const Emoji> table() { return kTable; }

std::vector<std::pair<std::string_view, std::string_view>> search(std::string_view query, std::size_t limit) {
  const std::string needle = fold(charset::detail::trim_white_space(query));
  std::vector<std::pair<std::string_view, std::string_view>> result;
  if (needle.empty()) {
    for (const Emoji& row : kTable) {
      if (result.size() >= limit) break;
      result.emplace_back(row.emoji, row.name);
    }
    return result;
  }
  struct Match {
    std::tuple<int, std::size_t, std::string_view, std::string_view> key;
    const Emoji* row;
  };
  std::vector<Match> matches;
  for (const Emoji& row : kTable) {
    const std::string haystack = fold(std::string(row.name) + ' ' + std::string(row.keywords));
    const std::size_t at = haystack.find(needle);
    if (at == std::string::npos) continue;
    matches.push_back({{at == 0 ? 0 : 1, qrx_unicode::char_count(row.name), row.emoji, row.name}, &row});
  }
  std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) { return a.key < b.key; });
  for (const Match& match : matches) {
    if (result.size() >= limit) break;
    result.emplace_back(match.row->emoji, match.row->name);
  }
  return result;
}

}  // namespace qrx_core::emoji
