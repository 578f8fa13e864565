#include <qrx_core/charset.h>

#include <qrx_json/json.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <iostream>
#include <map>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "charset_detail.h"

namespace qrx_data {
extern const std::string_view charsets_json;
}

namespace qrx_core::charset {

namespace {

// A short byte string padded to a fixed size, so that the hot loops copy it in one move.
struct Chunk {
  static constexpr std::size_t kCapacity = 8;
  // Sizes above kCapacity: the text is too long and lives beside the chunk; or there is none.
  static constexpr std::uint8_t kLong = 0xFF;
  static constexpr std::uint8_t kMissing = 0xFE;

  std::array<char, kCapacity> bytes{};
  std::uint8_t size = kMissing;

  static Chunk of(std::string_view s) {
    Chunk chunk;
    if (s.size() > kCapacity) {
      chunk.size = kLong;
    } else {
      std::copy(s.begin(), s.end(), chunk.bytes.begin());
      chunk.size = static_cast<std::uint8_t>(s.size());
    }
    return chunk;
  }
  static Chunk of(char32_t c) { return of(qrx_unicode::encode_utf8(c)); }
};

// What one character or byte turns into in the byte conversions' hot loops: up to three bytes
// and their count, copied as one four-byte word. A size of 0 means there is none.
struct ShortBytes {
  static constexpr std::size_t kCapacity = 3;
  std::array<char, kCapacity> bytes{};
  std::uint8_t size = 0;

  static std::optional<ShortBytes> of(std::string_view s) {
    if (s.empty() || s.size() > kCapacity) return std::nullopt;
    ShortBytes b;
    std::copy(s.begin(), s.end(), b.bytes.begin());
    b.size = static_cast<std::uint8_t>(s.size());
    return b;
  }
  static std::optional<ShortBytes> of(const Chunk& chunk) {
    if (chunk.size > Chunk::kCapacity) return std::nullopt;
    return of(std::string_view(chunk.bytes.data(), chunk.size));
  }
};
static_assert(sizeof(ShortBytes) == 4);

// Printable ASCII and the space, the bulk of any text, which most tables leave as they are.
constexpr char32_t kPrintableFirst = 0x20;
constexpr char32_t kPrintableEnd = 0x80;

// How many of the eight bytes in `word` (in memory order) are printable ASCII before the first
// that is not: such runs are copied eight bytes at a time.
std::size_t printable_run(std::uint64_t word) {
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
  // A byte gets its high bit set here when it is not ASCII or lies below the space. The borrow
  // of a byte below the space may mark bytes after it too, never one before it.
  const std::uint64_t outside = (word | ((word - kSpaces) & ~word)) & kHigh;
  if (outside == 0) return 8;
  const int bits =
      std::endian::native == std::endian::little ? std::countr_zero(outside) : std::countl_zero(outside);
  return static_cast<std::size_t>(bits) / 8;
}

}  // namespace

// In-memory form of one charset JSON text. Tables are indexed like kIdentifiers; the two
// Unicode slots stay empty because those forms need no table.
struct Tables::Data {
  struct Encoder {
    std::string name;
    // Per letter: its value in UTF-8 and, for single-byte charsets, as bytes (missing when a
    // character of the value has no byte).
    std::vector<std::string> values;
    std::vector<Chunk> value_chunks;
    std::vector<std::string> byte_values;
    std::vector<Chunk> byte_chunks;
    // Letter -> 1 + index of the letter, 0 for none: an array for the letters of the Basic
    // Multilingual Plane (and always all of ASCII), a hash map for the rest.
    std::vector<std::uint32_t> direct;
    std::unordered_map<char32_t, std::uint32_t> other;
    // For single-byte charsets: the bytes of each character below direct.size() that any text
    // may hold without normalization, when they are no longer than its UTF-8 form; size 0 for
    // the others, which take the general path.
    std::vector<ShortBytes> fast_bytes;
    // Every printable ASCII character is its own byte in fast_bytes.
    bool printable_as_is = false;

    std::uint32_t find(char32_t c) const {
      if (c < direct.size()) return direct[c];
      if (other.empty()) return 0;
      const auto it = other.find(c);
      return it == other.end() ? 0 : it->second;
    }
  };

  // The decode map as a trie, so that the longest key starting at a position is found in one
  // walk of at most max_len steps.
  struct Decoder {
    struct Node {
      bool terminal = false;
      Chunk letter;  // UTF-8, meaningful when terminal
      std::vector<std::pair<char32_t, std::uint32_t>> children;
    };
    std::vector<Node> nodes{1};               // nodes[0] is the root
    std::vector<std::uint32_t> first_direct;  // first character -> node, 0 for none
    std::unordered_map<char32_t, std::uint32_t> first_other;
    std::size_t max_len = 0;
    // For single-byte charsets whose keys are at most two characters long and whose results
    // fit ShortBytes, so that bytes decode without a walk: the UTF-8 of each byte alone, and for
    // each byte that starts a two-byte key (1 + its row in fast_pairs, else 0) what every
    // following byte makes of the pair (size 0: the pair is no key). Empty otherwise.
    std::vector<ShortBytes> fast_single;
    std::array<std::uint16_t, 256> fast_pair_row{};
    std::vector<std::array<ShortBytes, 256>> fast_pairs;
    // Every printable ASCII byte decodes to itself alone and never ends a two-byte key.
    bool printable_as_is = false;

    std::uint32_t first(char32_t c) const {
      if (c < first_direct.size()) return first_direct[c];
      if (first_other.empty()) return 0;
      const auto it = first_other.find(c);
      return it == first_other.end() ? 0 : it->second;
    }
    std::uint32_t child(std::uint32_t node, char32_t c) const {
      for (const auto& [ch, index] : nodes[node].children) {
        if (ch == c) return index;
      }
      return 0;
    }
  };

  std::array<std::optional<Encoder>, kIdentifiers.size()> encoders;
  std::array<std::optional<Decoder>, kIdentifiers.size()> decoders;
  std::unordered_set<std::string> viqr_values;
  // Characters of the Basic Multilingual Plane (byte characters and table letters) of which
  // any text is already in NFC, so that such text needs no normalization check; empty when
  // the letters do not allow it.
  std::vector<std::uint8_t> nfc_inert;

  bool inert(char32_t c) const { return c < nfc_inert.size() && nfc_inert[c] != 0; }
  bool all_inert(std::string_view text) const;
};

namespace {

using Data = Tables::Data;

constexpr std::size_t kUnicode = 0;
constexpr std::size_t kUnicodeNfd = 1;
constexpr std::size_t kViqr = 5;
constexpr std::size_t kViscii = 6;
// Lookup arrays always cover ASCII, so that ASCII is handled without decoding.
constexpr std::size_t kAsciiEnd = 0x80;

constexpr std::string_view kNfcDisplayName = "Unicode (NFC)";
constexpr std::string_view kNfdDisplayName = "Unicode tổ hợp (NFD)";

constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
    {"unicode", "unicode"},
    {"nfc", "unicode"},
    {"utf8", "unicode"},
    {"utf-8", "unicode"},
    {"unicode_nfd", "unicode_nfd"},
    {"nfd", "unicode_nfd"},
    {"decomposed", "unicode_nfd"},
    {"unicode tổ hợp", "unicode_nfd"},
    {"tcvn3", "tcvn3"},
    {"abc", "tcvn3"},
    {"tcvn3 (abc)", "tcvn3"},
    {"vni_windows", "vni_windows"},
    {"vni windows", "vni_windows"},
    {"vni", "vni_windows"},
    {"cp1258", "cp1258"},
    {"windows-1258", "cp1258"},
    {"windows 1258 codepage", "cp1258"},
    {"viqr", "viqr"},
    {"viscii", "viscii"},
    {"vps", "vps"},
    {"bkhcm1", "bkhcm1"},
    {"bkhcm 1", "bkhcm1"},
    {"bkhcm2", "bkhcm2"},
    {"bkhcm 2", "bkhcm2"},
    {"vietware_x", "vietware_x"},
    {"vietware x", "vietware_x"},
    {"vietware_full", "vietware_full"},
    {"vietware full", "vietware_full"},
    {"ncr_decimal", "ncr_decimal"},
    {"ncr decimal", "ncr_decimal"},
    {"ncr", "ncr_decimal"},
    {"ncr_hex", "ncr_hex"},
    {"ncr hex", "ncr_hex"},
    {"cstring_hex", "cstring_hex"},
    {"unicode c string hex", "cstring_hex"},
    {"cstring_decimal", "cstring_decimal"},
    {"unicode c string decimal", "cstring_decimal"},
};

constexpr std::array<bool, kIdentifiers.size()> kSingleByte = {
    false, false, true, true, false, false, true, true, true, true, true, true, false, false, false, false};

// The tables write byte 0x80 + i as kHighBytes[i], the character Windows-1252 shows for it;
// the five bytes it leaves undefined keep their own value.
constexpr std::array<char32_t, 32> kHighBytes = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// What each byte stands for, as a character and in UTF-8.
struct ByteChars {
  std::array<char32_t, 256> chars;
  std::array<Chunk, 256> utf8;
};

ByteChars make_byte_chars(bool windows_high) {
  ByteChars out{};
  for (std::size_t b = 0; b < 256; ++b) {
    const bool high = windows_high && b >= 0x80 && b <= 0x9F;
    out.chars[b] = high ? kHighBytes[b - 0x80] : static_cast<char32_t>(b);
    out.utf8[b] = Chunk::of(out.chars[b]);
  }
  return out;
}

// Single-byte charsets: the tables' own convention for bytes 80-9F.
const ByteChars& single_byte_chars() {
  static const ByteChars chars = make_byte_chars(true);
  return chars;
}

// Every other charset: the byte's own value.
const ByteChars& latin1_chars() {
  static const ByteChars chars = make_byte_chars(false);
  return chars;
}

std::optional<std::uint8_t> char_byte(char32_t c) {
  if (c <= 0xFF) return static_cast<std::uint8_t>(c);
  const auto it = std::find(kHighBytes.begin(), kHighBytes.end(), c);
  if (it == kHighBytes.end()) return std::nullopt;
  return static_cast<std::uint8_t>(0x80 + (it - kHighBytes.begin()));
}

// Capitals that VISCII places among the control codes and at A0, while its letter table gives
// them the code of their lower-case letter.
constexpr std::pair<char32_t, char32_t> kVisciiCapitals[] = {{0x0002, U'Ẳ'}, {0x0005, U'Ẵ'}, {0x0006, U'Ẫ'},
                                                             {0x0014, U'Ỷ'}, {0x0019, U'Ỹ'}, {0x001E, U'Ỵ'},
                                                             {0x00A0, U'Õ'}};

bool is_ascii_punctuation(char32_t c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

std::size_t identifier_index(std::string_view id) {
  const auto it = std::find(kIdentifiers.begin(), kIdentifiers.end(), id);
  return static_cast<std::size_t>(it - kIdentifiers.begin());
}

std::size_t charset_index(std::string_view name) { return identifier_index(normalize(name)); }

// ---------------------------------------------------------------------------------------------
// Building

[[noreturn]] void broken_data() {
  std::cerr << kBrokenDataMessage << '\n';
  throw std::runtime_error(std::string(kBrokenDataMessage));
}

// The letters of a map member, later members replacing earlier ones for the same letter.
std::map<char32_t, std::string> read_map(const qrx_json::Value& entry) {
  std::map<char32_t, std::string> letters;
  const qrx_json::Value* map = entry.find("map");
  if (map == nullptr || !map->is_object()) return letters;
  for (const qrx_json::Member& member : map->as_object()) {
    if (member.name.empty() || !member.value.is_string()) continue;
    std::size_t pos = 0;
    letters[qrx_unicode::next_char(member.name, pos)] = member.value.as_string();
  }
  return letters;
}

// Lookup array size for keys up to the largest one of the Basic Multilingual Plane.
template <class Keys>
std::size_t direct_size(const Keys& keys) {
  std::size_t size = kAsciiEnd;
  for (const auto& entry : keys) {
    if (entry.first < 0x10000) size = std::max<std::size_t>(size, entry.first + 1);
  }
  return size;
}

// The bytes of an encoded value, when each of its characters has one.
std::optional<std::string> value_bytes(std::string_view value) {
  std::string bytes;
  for (char32_t c : qrx_unicode::decode_utf8(value)) {
    const auto b = char_byte(c);
    if (!b) return std::nullopt;
    bytes.push_back(static_cast<char>(*b));
  }
  return bytes;
}

Data::Encoder make_encoder(std::string name, const std::map<char32_t, std::string>& letters,
                           bool single_byte) {
  Data::Encoder enc;
  enc.name = std::move(name);
  enc.direct.assign(direct_size(letters), 0);
  for (const auto& [letter, value] : letters) {
    enc.values.push_back(value);
    enc.value_chunks.push_back(Chunk::of(value));
    if (single_byte) {
      const auto bytes = value_bytes(value);
      enc.byte_values.push_back(bytes.value_or(""));
      enc.byte_chunks.push_back(bytes ? Chunk::of(*bytes) : Chunk{});
    }
    const auto index = static_cast<std::uint32_t>(enc.values.size());
    if (letter < enc.direct.size()) {
      enc.direct[letter] = index;
    } else {
      enc.other[letter] = index;
    }
  }
  return enc;
}

void insert_key(Data::Decoder& dec, std::u32string_view key, char32_t letter) {
  if (key.empty()) return;  // an empty key can never match
  std::uint32_t node = 0;
  for (char32_t c : key) {
    std::uint32_t next = dec.child(node, c);
    if (next == 0) {
      next = static_cast<std::uint32_t>(dec.nodes.size());
      dec.nodes.emplace_back();
      dec.nodes[node].children.emplace_back(c, next);
    }
    node = next;
  }
  dec.nodes[node].terminal = true;
  dec.nodes[node].letter = Chunk::of(letter);
  dec.max_len = std::max(dec.max_len, key.size());
}

// Which letter an encoded value decodes to, when the letters sharing it allow one.
std::optional<char32_t> decode_letter(std::vector<char32_t> group) {
  if (group.size() == 1) return group.front();
  if (group.size() != 2 || qrx_unicode::to_lower(group[0]) != qrx_unicode::to_lower(group[1])) {
    return std::nullopt;
  }
  std::stable_sort(group.begin(), group.end(), [](char32_t a, char32_t b) {
    return qrx_unicode::is_lowercase(a) && !qrx_unicode::is_lowercase(b);
  });
  return group.front();
}

// The byte tables of Decoder: each byte, and each pair, decoded once as the walk would.
void add_fast_decoding(Data::Decoder& dec) {
  const ByteChars& chars = single_byte_chars();
  std::vector<ShortBytes> single(256);
  std::array<std::uint16_t, 256> pair_row{};
  std::vector<std::array<ShortBytes, 256>> pairs;
  for (std::size_t b = 0; b < 256; ++b) {
    const std::uint32_t node = dec.first(chars.chars[b]);
    const bool terminal = node != 0 && dec.nodes[node].terminal;
    const auto alone = ShortBytes::of(terminal ? dec.nodes[node].letter : chars.utf8[b]);
    if (!alone) return;
    single[b] = *alone;
    if (node == 0 || dec.nodes[node].children.empty()) continue;
    std::array<ShortBytes, 256> row{};
    for (std::size_t next = 0; next < 256; ++next) {
      const std::uint32_t second = dec.child(node, chars.chars[next]);
      if (second == 0 || !dec.nodes[second].terminal) continue;
      const auto pair = ShortBytes::of(dec.nodes[second].letter);
      if (!pair) return;
      row[next] = *pair;
    }
    pairs.push_back(row);
    pair_row[b] = static_cast<std::uint16_t>(pairs.size());
  }
  dec.printable_as_is = true;
  for (std::size_t b = kPrintableFirst; b < kPrintableEnd; ++b) {
    const bool alone = single[b].size == 1 && single[b].bytes[0] == static_cast<char>(b);
    const bool never_second =
        std::none_of(pairs.begin(), pairs.end(), [b](const auto& row) { return row[b].size != 0; });
    dec.printable_as_is = dec.printable_as_is && alone && never_second;
  }
  dec.fast_single = std::move(single);
  dec.fast_pair_row = pair_row;
  dec.fast_pairs = std::move(pairs);
}

Data::Decoder make_decoder(const std::map<char32_t, std::string>& letters, bool viscii, bool single_byte) {
  std::map<std::u32string, std::vector<char32_t>> groups;
  for (const auto& [letter, value] : letters) groups[qrx_unicode::decode_utf8(value)].push_back(letter);
  Data::Decoder dec;
  for (const auto& [key, group] : groups) {
    if (const auto letter = decode_letter(group)) insert_key(dec, key, *letter);
  }
  if (viscii) {
    for (const auto& [code, letter] : kVisciiCapitals) insert_key(dec, std::u32string(1, code), letter);
  }
  const auto& roots = dec.nodes[0].children;
  dec.first_direct.assign(direct_size(roots), 0);
  for (const auto& [c, node] : roots) {
    if (c < dec.first_direct.size()) {
      dec.first_direct[c] = node;
    } else {
      dec.first_other[c] = node;
    }
  }
  if (single_byte && dec.max_len <= 2) add_fast_decoding(dec);
  return dec;
}

// The characters of which every text is NFC, when `chars` qualify: each a starter, and no two
// of them affected by NFC when adjacent in either order (each alone, and each after each, is
// covered by one text holding every ordered pair).
std::vector<std::uint8_t> nfc_inert_set(const std::set<char32_t>& chars) {
  constexpr std::size_t kMostChars = 1024;  // keeps the pair text small
  if (chars.empty() || chars.size() > kMostChars || *chars.rbegin() >= 0x10000) return {};
  std::string pairs;
  for (char32_t a : chars) {
    if (qrx_unicode::combining_class(a) != 0) return {};
    for (char32_t b : chars) {
      qrx_unicode::append_utf8(pairs, a);
      qrx_unicode::append_utf8(pairs, b);
    }
  }
  if (!qrx_unicode::is_nfc(pairs)) return {};
  std::vector<std::uint8_t> inert(static_cast<std::size_t>(*chars.rbegin()) + 1, 0);
  for (char32_t c : chars) inert[c] = 1;
  return inert;
}

// The fast table of an Encoder: what encode_bytes would write for each character alone, kept
// where the character needs no normalization and its bytes are no longer than its UTF-8 form.
void add_fast_encoding(Data::Encoder& enc, const Data& data) {
  if (data.nfc_inert.empty()) return;
  enc.fast_bytes.assign(enc.direct.size(), ShortBytes{});
  for (char32_t c = 0; c < enc.direct.size(); ++c) {
    if (!data.inert(c) || (c >= 0xD800 && c <= 0xDFFF)) continue;
    std::optional<ShortBytes> bytes;
    if (const std::uint32_t found = enc.find(c)) {
      bytes = ShortBytes::of(enc.byte_chunks[found - 1]);
    } else if (const auto b = char_byte(c)) {
      const char byte = static_cast<char>(*b);
      bytes = ShortBytes::of(std::string_view(&byte, 1));
    }
    if (bytes && bytes->size <= qrx_unicode::encode_utf8(c).size()) enc.fast_bytes[c] = *bytes;
  }
  enc.printable_as_is = enc.fast_bytes.size() >= kPrintableEnd;
  for (char32_t c = kPrintableFirst; c < kPrintableEnd && enc.printable_as_is; ++c) {
    enc.printable_as_is = enc.fast_bytes[c].size == 1 && enc.fast_bytes[c].bytes[0] == static_cast<char>(c);
  }
}

std::shared_ptr<const Data> build(std::string_view json_text) {
  auto parsed = qrx_json::parse(json_text);
  if (!parsed) broken_data();
  auto data = std::make_shared<Data>();
  // What decoding can produce from bytes, and every letter: the candidates for nfc_inert.
  std::set<char32_t> plain;
  for (std::size_t b = 0; b < 256; ++b) {
    plain.insert(static_cast<char32_t>(b));
    plain.insert(single_byte_chars().chars[b]);
  }
  const qrx_json::Value* charsets = parsed.value().find("charsets");
  if (charsets == nullptr || !charsets->is_object()) return data;
  for (const qrx_json::Member& member : charsets->as_object()) {
    const std::size_t index = identifier_index(member.name);
    // Unicode forms need no table, and other names are unreachable through normalize.
    if (index == kUnicode || index == kUnicodeNfd || index >= kIdentifiers.size()) continue;
    const qrx_json::Value* name = member.value.find("name");
    const auto letters = read_map(member.value);
    data->encoders[index] = make_encoder(
        name != nullptr && name->is_string() ? name->as_string() : member.name, letters, kSingleByte[index]);
    data->decoders[index] = make_decoder(letters, index == kViscii, kSingleByte[index]);
    for (const auto& [letter, value] : letters) plain.insert(letter);
    if (index == kViqr) {
      data->viqr_values.clear();
      for (const auto& [letter, value] : letters) data->viqr_values.insert(value);
    }
  }
  for (const auto& [code, letter] : kVisciiCapitals) plain.insert(letter);
  data->nfc_inert = nfc_inert_set(plain);
  for (std::size_t index = 0; index < kIdentifiers.size(); ++index) {
    if (kSingleByte[index] && data->encoders[index]) add_fast_encoding(*data->encoders[index], *data);
  }
  return data;
}

const Data& builtin_data() {
  static const std::shared_ptr<const Data> data = build(qrx_data::charsets_json);
  return *data;
}

// ---------------------------------------------------------------------------------------------
// Conversion

// Appends to a buffer sized ahead, so that the hot loops write through a pointer with one
// capacity check per write.
template <class Buffer>
class Writer {
 public:
  explicit Writer(std::size_t expected) { buffer_.resize(expected + Chunk::kCapacity); }

  void put(std::string_view s) {
    if (!s.empty()) std::memcpy(room(s.size()), s.data(), s.size());
    size_ += s.size();
  }
  // `whole` is the chunk's text, for the rare one too long for it.
  void put(const Chunk& chunk, std::string_view whole) {
    if (chunk.size > Chunk::kCapacity) return put(whole);
    std::memcpy(room(Chunk::kCapacity), chunk.bytes.data(), Chunk::kCapacity);
    size_ += chunk.size;
  }
  void put(const Chunk& chunk) {
    std::memcpy(room(Chunk::kCapacity), chunk.bytes.data(), Chunk::kCapacity);
    size_ += chunk.size;
  }
  void put_byte(unsigned char b) {
    *room(1) = static_cast<typename Buffer::value_type>(b);
    ++size_;
  }
  Buffer take() && {
    buffer_.resize(size_);
    return std::move(buffer_);
  }

 private:
  typename Buffer::value_type* room(std::size_t n) {
    if (size_ + n > buffer_.size()) buffer_.resize(std::max(buffer_.size() * 2, size_ + n));
    return buffer_.data() + size_;
  }

  Buffer buffer_;
  std::size_t size_ = 0;
};

// The text in NFC, copied only when it is not already.
std::string composed(std::string text, const Data& data) {
  if (!data.all_inert(text) && !qrx_unicode::is_nfc(text)) return qrx_unicode::nfc(text);
  return text;
}

// A view of the text in NFC: the text itself when it already is, else `storage`.
std::string_view composed_view(std::string_view text, std::string& storage, const Data& data) {
  if (data.all_inert(text) || qrx_unicode::is_nfc(text)) return text;
  storage = qrx_unicode::nfc(text);
  return storage;
}

std::string encode_table(const Data::Encoder& enc, std::string_view text) {
  Writer<std::string> out(text.size() + text.size() / 2);
  for (std::size_t pos = 0; pos < text.size();) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < kAsciiEnd && enc.direct[byte] == 0) {
      out.put_byte(byte);
      ++pos;
      continue;
    }
    const std::size_t start = pos;
    if (const std::uint32_t index = enc.find(qrx_unicode::next_char(text, pos))) {
      out.put(enc.value_chunks[index - 1], enc.values[index - 1]);
    } else {
      out.put(text.substr(start, pos - start));
    }
  }
  return std::move(out).take();
}

// VIQR text must stay decodable: punctuation that would merge with what precedes it into a
// letter's mnemonic, and every backslash, gets a backslash in front.
std::string encode_viqr(const Data::Encoder& enc, const std::unordered_set<std::string>& values,
                        std::string_view text) {
  Writer<std::string> out(text.size() + text.size() / 2);
  std::string_view previous;
  std::string candidate;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = pos;
    const char32_t c = qrx_unicode::next_char(text, pos);
    const std::uint32_t index = enc.find(c);
    bool escape = c == U'\\';
    if (!escape && is_ascii_punctuation(c)) {
      candidate.assign(previous);
      candidate.push_back(static_cast<char>(c));
      escape = values.contains(candidate);
    }
    const std::string_view unit =
        index != 0 ? std::string_view(enc.values[index - 1]) : text.substr(start, pos - start);
    if (escape) out.put_byte('\\');
    out.put(unit);
    previous = escape ? std::string_view() : unit;
  }
  return std::move(out).take();
}

// Decoding reads characters either from UTF-8 text or from bytes that stand for one character
// each, and writes those that decode to themselves in their UTF-8 form.
struct TextSource {
  static constexpr bool kBytes = false;
  std::string_view text;

  std::size_t size() const { return text.size(); }
  unsigned char lead(std::size_t pos) const { return static_cast<unsigned char>(text[pos]); }
  char32_t next(std::size_t& pos) const { return qrx_unicode::next_char(text, pos); }
  void copy(Writer<std::string>& out, std::size_t from, std::size_t to, char32_t c) const {
    // Ill-formed bytes were read as U+FFFD and are written as such.
    if (c == qrx_unicode::kReplacementCharacter) {
      out.put(Chunk::of(c));
    } else {
      out.put(text.substr(from, to - from));
    }
  }
};

struct ByteSource {
  static constexpr bool kBytes = true;
  std::span<const std::uint8_t> bytes;
  const ByteChars& chars;

  std::size_t size() const { return bytes.size(); }
  unsigned char lead(std::size_t pos) const { return bytes[pos]; }
  char32_t next(std::size_t& pos) const { return chars.chars[bytes[pos++]]; }
  void copy(Writer<std::string>& out, std::size_t from, std::size_t, char32_t) const {
    out.put(chars.utf8[bytes[from]]);
  }
};

template <class Source>
std::string decode_table(const Data& data, const Data::Decoder& dec, const Source& source,
                         bool viqr_escapes) {
  const std::size_t n = source.size();
  Writer<std::string> out(n + n / 2);
  for (std::size_t pos = 0; pos < n;) {
    const unsigned char lead = source.lead(pos);
    if (lead < kAsciiEnd && dec.first_direct[lead] == 0 && !(viqr_escapes && lead == '\\')) {
      out.put_byte(lead);
      ++pos;
      continue;
    }
    const std::size_t start = pos;
    const char32_t c = source.next(pos);
    if (viqr_escapes && c == U'\\' && pos < n) {
      std::size_t after = pos;
      const char32_t escaped = source.next(after);
      if (is_ascii_punctuation(escaped)) {
        out.put_byte(static_cast<unsigned char>(escaped));
        pos = after;
        continue;
      }
    }
    std::uint32_t node = dec.first(c);
    std::uint32_t best = node != 0 && dec.nodes[node].terminal ? node : 0;
    std::size_t best_end = pos;
    for (std::size_t walk = pos; node != 0 && walk < n && !dec.nodes[node].children.empty();) {
      node = dec.child(node, source.next(walk));
      if (node != 0 && dec.nodes[node].terminal) {
        best = node;
        best_end = walk;
      }
    }
    if (best != 0) {
      out.put(dec.nodes[best].letter);
      pos = best_end;
    } else {
      source.copy(out, start, pos, c);
    }
  }
  std::string decoded = std::move(out).take();
  // Decoded bytes are letters and byte characters only.
  if (Source::kBytes && !data.nfc_inert.empty()) return decoded;
  return composed(std::move(decoded), data);
}

std::string decode_index(const Data& data, std::string_view text, std::size_t index) {
  if (index == kUnicode || index == kUnicodeNfd || !data.decoders[index]) return qrx_unicode::nfc(text);
  return decode_table(data, *data.decoders[index], TextSource{text}, index == kViqr);
}

// Bytes of a single-byte charset through the fast table, at the start of `out` (grown, never
// shrunk); none as soon as a character needs the general path (normalization, a character
// outside the table, one without bytes, ill-formed UTF-8), with `out` then unspecified.
std::optional<std::size_t> encode_fast(const Data::Encoder& enc, std::string_view text,
                                       std::vector<std::uint8_t>& out) {
  if (enc.fast_bytes.empty()) return std::nullopt;
  // A character never takes more bytes than its UTF-8 form; the slack takes the four-byte copy.
  if (out.size() < text.size() + sizeof(ShortBytes)) out.resize(text.size() + sizeof(ShortBytes));
  std::uint8_t* at = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t pos = 0; pos < text.size();) {
    if (enc.printable_as_is && pos + 8 <= text.size()) {
      // Eight bytes copied, as many kept as were printable; the output never runs ahead of the
      // input, so they fit.
      std::uint64_t word;
      std::memcpy(&word, p + pos, 8);
      const std::size_t run = printable_run(word);
      std::memcpy(at, &word, 8);
      at += run;
      pos += run;
      // The character after the run goes through the table at once, without another try.
      if (pos == text.size()) break;
    }
    const char32_t c = p[pos] < kAsciiEnd ? p[pos++] : qrx_unicode::next_char(text, pos);
    if (c >= enc.fast_bytes.size()) return std::nullopt;
    const ShortBytes bytes = enc.fast_bytes[c];
    if (bytes.size == 0) return std::nullopt;
    std::memcpy(at, &bytes, sizeof bytes);
    at += bytes.size;
  }
  return static_cast<std::size_t>(at - out.data());
}

// Decoded bytes at the start of `out`, which has room for them; their length. The two
// properties of the tables are template arguments so that each loop carries only what it needs.
template <bool kPairs, bool kPrintableAsIs>
std::size_t decode_fast_loop(const Data::Decoder& dec, std::span<const std::uint8_t> bytes, char* out) {
  const std::size_t n = bytes.size();
  char* at = out;
  for (std::size_t pos = 0; pos < n; ++pos) {
    if (kPrintableAsIs && pos + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + pos, 8);
      std::size_t run = printable_run(word);
      // The last printable byte may start a key with the byte after it.
      if (kPairs && run != 0) --run;
      std::memcpy(at, &word, 8);
      at += run;
      pos += run;
      // The byte after the run goes through the tables at once, without another try.
      if (pos == n) break;
    }
    const std::uint8_t b = bytes[pos];
    ShortBytes letter = dec.fast_single[b];
    if (const std::uint16_t row = kPairs ? dec.fast_pair_row[b] : 0; row != 0 && pos + 1 < n) {
      const ShortBytes& pair = dec.fast_pairs[row - 1][bytes[pos + 1]];
      if (pair.size != 0) {
        letter = pair;
        ++pos;
      }
    }
    std::memcpy(at, &letter, sizeof letter);
    at += letter.size;
  }
  return static_cast<std::size_t>(at - out);
}

// Decoded bytes at the start of `out` (grown, never shrunk); their length.
std::size_t decode_fast(const Data::Decoder& dec, std::span<const std::uint8_t> bytes, std::string& out) {
  if (out.size() < ShortBytes::kCapacity * bytes.size() + sizeof(ShortBytes))
    out.resize(ShortBytes::kCapacity * bytes.size() + sizeof(ShortBytes));
  const bool pairs = !dec.fast_pairs.empty();
  if (dec.printable_as_is) {
    return pairs ? decode_fast_loop<true, true>(dec, bytes, out.data())
                 : decode_fast_loop<false, true>(dec, bytes, out.data());
  }
  return pairs ? decode_fast_loop<true, false>(dec, bytes, out.data())
               : decode_fast_loop<false, false>(dec, bytes, out.data());
}

bool has_fast_decoding(const Data& data, const std::optional<Data::Decoder>& dec) {
  // Decoded bytes are letters and byte characters only, which need no normalization.
  return dec && !dec->fast_single.empty() && !data.nfc_inert.empty();
}

// Copies a result into a caller's buffer as the _into functions promise.
template <class Buffer, class Result>
std::size_t copy_into(const Result& result, Buffer& out) {
  if (out.size() < result.size() + 1) out.resize(result.size() + 1);
  std::copy(result.begin(), result.end(), out.begin());
  return result.size();
}

}  // namespace

bool Tables::Data::all_inert(std::string_view text) const {
  if (nfc_inert.empty()) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t pos = 0; pos < text.size();) {
    if (p[pos] < kAsciiEnd) {
      ++pos;
      continue;
    }
    if (!inert(qrx_unicode::next_char(text, pos))) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Public operations

std::string_view normalize(std::string_view name) {
  const std::string key = qrx_unicode::to_lower(detail::trim_white_space(name));
  for (const auto& [alias, id] : kAliases) {
    if (alias == key) return id;
  }
  return kIdentifiers[kUnicode];
}

bool is_single_byte(std::string_view name) { return kSingleByte[charset_index(name)]; }

Tables Tables::from_json(std::string_view json_text) { return Tables(build(json_text)); }

const Tables& Tables::builtin() {
  static const Tables tables{nullptr};
  return tables;
}

const Tables::Data& Tables::data() const { return data_ ? *data_ : builtin_data(); }

std::optional<std::string_view> Tables::display_name(std::string_view name) const {
  const std::size_t index = charset_index(name);
  if (index == kUnicode) return kNfcDisplayName;
  if (index == kUnicodeNfd) return kNfdDisplayName;
  const auto& enc = data().encoders[index];
  if (!enc) return std::nullopt;
  return std::string_view(enc->name);
}

std::string Tables::encode(std::string_view text, std::string_view name) const {
  const std::size_t index = charset_index(name);
  if (index == kUnicode) return qrx_unicode::nfc(text);
  if (index == kUnicodeNfd) return qrx_unicode::nfd(text);
  const Data& tables = data();
  const auto& enc = tables.encoders[index];
  if (!enc) return std::string(text);
  // Decomposed input (as pasteboards often hold) must reach the tables as precomposed letters.
  std::string storage;
  const std::string_view input = composed_view(text, storage, tables);
  if (index == kViqr) return encode_viqr(*enc, tables.viqr_values, input);
  return encode_table(*enc, input);
}

std::string Tables::decode(std::string_view text, std::string_view name) const {
  const std::size_t index = charset_index(name);
  if (index == kUnicode || index == kUnicodeNfd) return qrx_unicode::nfc(text);
  return decode_index(data(), text, index);
}

std::optional<std::vector<std::uint8_t>> Tables::encode_bytes(std::string_view text,
                                                              std::string_view name) const {
  const std::size_t index = charset_index(name);
  if (!kSingleByte[index]) return std::nullopt;
  const Data& tables = data();
  const auto& enc = tables.encoders[index];
  if (std::vector<std::uint8_t> fast; enc) {
    if (const std::optional<std::size_t> length = encode_fast(*enc, text, fast)) {
      fast.resize(*length);
      return fast;
    }
  }
  std::string storage;
  const std::string_view input = enc ? composed_view(text, storage, tables) : text;
  Writer<std::vector<std::uint8_t>> out(input.size());
  for (std::size_t pos = 0; pos < input.size();) {
    const auto byte = static_cast<unsigned char>(input[pos]);
    if (byte < kAsciiEnd && (!enc || enc->direct[byte] == 0)) {
      out.put_byte(byte);
      ++pos;
      continue;
    }
    const char32_t c = qrx_unicode::next_char(input, pos);
    if (const std::uint32_t found = enc ? enc->find(c) : 0) {
      const Chunk& bytes = enc->byte_chunks[found - 1];
      if (bytes.size == Chunk::kMissing) return std::nullopt;
      out.put(bytes, enc->byte_values[found - 1]);
    } else if (const auto b = char_byte(c)) {
      out.put_byte(*b);
    } else {
      return std::nullopt;
    }
  }
  return std::move(out).take();
}

std::string Tables::decode_bytes(std::span<const std::uint8_t> bytes, std::string_view name) const {
  const std::size_t index = charset_index(name);
  if (index == kUnicode || index == kUnicodeNfd) {
    return qrx_unicode::nfc(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  const ByteChars& chars = kSingleByte[index] ? single_byte_chars() : latin1_chars();
  const Data& tables = data();
  const auto& dec = tables.decoders[index];
  if (has_fast_decoding(tables, dec)) {
    std::string out;
    out.resize(decode_fast(*dec, bytes, out));
    return out;
  }
  if (dec) return decode_table(tables, *dec, ByteSource{bytes, chars}, index == kViqr);
  const std::span<const Chunk> letters = chars.utf8;
  Writer<std::string> out(bytes.size() * 2);
  for (std::uint8_t b : bytes) out.put(letters[b]);
  std::string decoded = std::move(out).take();
  if (!tables.nfc_inert.empty()) return decoded;
  return composed(std::move(decoded), tables);
}

std::optional<std::size_t> Tables::encode_bytes_into(std::string_view text, std::string_view name,
                                                     std::vector<std::uint8_t>& out) const {
  const std::size_t index = charset_index(name);
  const auto& enc = data().encoders[index];
  if (kSingleByte[index] && enc) {
    if (const std::optional<std::size_t> length = encode_fast(*enc, text, out)) return length;
  }
  const std::optional<std::vector<std::uint8_t>> bytes = encode_bytes(text, name);
  if (!bytes) return std::nullopt;
  return copy_into(*bytes, out);
}

std::size_t Tables::decode_bytes_into(std::span<const std::uint8_t> bytes, std::string_view name,
                                      std::string& out) const {
  const std::size_t index = charset_index(name);
  const Data& tables = data();
  if (kSingleByte[index] && has_fast_decoding(tables, tables.decoders[index]))
    return decode_fast(*tables.decoders[index], bytes, out);
  return copy_into(decode_bytes(bytes, name), out);
}

std::string Tables::convert(std::string_view text, std::string_view from, std::string_view to) const {
  return encode(decode(text, from), to);
}

std::optional<std::string_view> display_name(std::string_view name) {
  return Tables::builtin().display_name(name);
}
std::string encode(std::string_view text, std::string_view name) {
  return Tables::builtin().encode(text, name);
}
std::string decode(std::string_view text, std::string_view name) {
  return Tables::builtin().decode(text, name);
}
std::optional<std::vector<std::uint8_t>> encode_bytes(std::string_view text, std::string_view name) {
  return Tables::builtin().encode_bytes(text, name);
}
std::string decode_bytes(std::span<const std::uint8_t> bytes, std::string_view name) {
  return Tables::builtin().decode_bytes(bytes, name);
}
std::optional<std::size_t> encode_bytes_into(std::string_view text, std::string_view name,
                                             std::vector<std::uint8_t>& out) {
  return Tables::builtin().encode_bytes_into(text, name, out);
}
std::size_t decode_bytes_into(std::span<const std::uint8_t> bytes, std::string_view name, std::string& out) {
  return Tables::builtin().decode_bytes_into(bytes, name, out);
}
std::string convert(std::string_view text, std::string_view from, std::string_view to) {
  return Tables::builtin().convert(text, from, to);
}
std::vector<std::string_view> detect(std::string_view text) { return Tables::builtin().detect(text); }

}  // namespace qrx_core::charset
