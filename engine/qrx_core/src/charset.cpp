#include <qrx_core/charset.h>

#include <json/json.h>
#include <unicode_text/unicode.h>

#include <algorithm>
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
  static Chunk of(char32_t c) { return of(unicode::encode_utf8(c)); }
};

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
    // For single-byte charsets whose keys are all one character long: the decoded UTF-8 of
    // every byte, so that bytes decode without a walk.
    std::vector<Chunk> byte_letters;

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
std::map<char32_t, std::string> read_map(const json::Value& entry) {
  std::map<char32_t, std::string> letters;
  const json::Value* map = entry.find("map");
  if (map == nullptr || !map->is_object()) return letters;
  for (const json::Member& member : map->as_object()) {
    if (member.name.empty() || !member.value.is_string()) continue;
    std::size_t pos = 0;
    letters[unicode::next_char(member.name, pos)] = member.value.as_string();
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
  for (char32_t c : unicode::decode_utf8(value)) {
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
  if (group.size() != 2 || unicode::to_lower(group[0]) != unicode::to_lower(group[1])) {
    return std::nullopt;
  }
  std::stable_sort(group.begin(), group.end(), [](char32_t a, char32_t b) {
    return unicode::is_lowercase(a) && !unicode::is_lowercase(b);
  });
  return group.front();
}

Data::Decoder make_decoder(const std::map<char32_t, std::string>& letters, bool viscii, bool single_byte) {
  std::map<std::u32string, std::vector<char32_t>> groups;
  for (const auto& [letter, value] : letters) groups[unicode::decode_utf8(value)].push_back(letter);
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
  if (single_byte && dec.max_len <= 1) {
    const ByteChars& chars = single_byte_chars();
    dec.byte_letters = {chars.utf8.begin(), chars.utf8.end()};
    for (std::size_t b = 0; b < 256; ++b) {
      if (const std::uint32_t node = dec.first(chars.chars[b])) dec.byte_letters[b] = dec.nodes[node].letter;
    }
  }
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
    if (unicode::combining_class(a) != 0) return {};
    for (char32_t b : chars) {
      unicode::append_utf8(pairs, a);
      unicode::append_utf8(pairs, b);
    }
  }
  if (!unicode::is_nfc(pairs)) return {};
  std::vector<std::uint8_t> inert(static_cast<std::size_t>(*chars.rbegin()) + 1, 0);
  for (char32_t c : chars) inert[c] = 1;
  return inert;
}

std::shared_ptr<const Data> build(std::string_view json_text) {
  auto parsed = json::parse(json_text);
  if (!parsed) broken_data();
  auto data = std::make_shared<Data>();
  // What decoding can produce from bytes, and every letter: the candidates for nfc_inert.
  std::set<char32_t> plain;
  for (std::size_t b = 0; b < 256; ++b) {
    plain.insert(static_cast<char32_t>(b));
    plain.insert(single_byte_chars().chars[b]);
  }
  const json::Value* charsets = parsed.value().find("charsets");
  if (charsets == nullptr || !charsets->is_object()) return data;
  for (const json::Member& member : charsets->as_object()) {
    const std::size_t index = identifier_index(member.name);
    // Unicode forms need no table, and other names are unreachable through normalize.
    if (index == kUnicode || index == kUnicodeNfd || index >= kIdentifiers.size()) continue;
    const json::Value* name = member.value.find("name");
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
  if (!data.all_inert(text) && !unicode::is_nfc(text)) return unicode::nfc(text);
  return text;
}

// A view of the text in NFC: the text itself when it already is, else `storage`.
std::string_view composed_view(std::string_view text, std::string& storage, const Data& data) {
  if (data.all_inert(text) || unicode::is_nfc(text)) return text;
  storage = unicode::nfc(text);
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
    if (const std::uint32_t index = enc.find(unicode::next_char(text, pos))) {
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
    const char32_t c = unicode::next_char(text, pos);
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
  char32_t next(std::size_t& pos) const { return unicode::next_char(text, pos); }
  void copy(Writer<std::string>& out, std::size_t from, std::size_t to, char32_t c) const {
    // Ill-formed bytes were read as U+FFFD and are written as such.
    if (c == unicode::kReplacementCharacter) {
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
  if (index == kUnicode || index == kUnicodeNfd || !data.decoders[index]) return unicode::nfc(text);
  return decode_table(data, *data.decoders[index], TextSource{text}, index == kViqr);
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
    if (!inert(unicode::next_char(text, pos))) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Public operations

std::string_view normalize(std::string_view name) {
  const std::string key = unicode::to_lower(detail::trim_white_space(name));
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
  if (index == kUnicode) return unicode::nfc(text);
  if (index == kUnicodeNfd) return unicode::nfd(text);
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
  if (index == kUnicode || index == kUnicodeNfd) return unicode::nfc(text);
  return decode_index(data(), text, index);
}

std::optional<std::vector<std::uint8_t>> Tables::encode_bytes(std::string_view text,
                                                              std::string_view name) const {
  const std::size_t index = charset_index(name);
  if (!kSingleByte[index]) return std::nullopt;
  const Data& tables = data();
  const auto& enc = tables.encoders[index];
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
    const char32_t c = unicode::next_char(input, pos);
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
    return unicode::nfc(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  const ByteChars& chars = kSingleByte[index] ? single_byte_chars() : latin1_chars();
  const Data& tables = data();
  const auto& dec = tables.decoders[index];
  if (dec && dec->byte_letters.empty()) {
    return decode_table(tables, *dec, ByteSource{bytes, chars}, index == kViqr);
  }
  const std::span<const Chunk> letters = dec ? std::span<const Chunk>(dec->byte_letters) : chars.utf8;
  Writer<std::string> out(bytes.size() * 2);
  for (std::uint8_t b : bytes) out.put(letters[b]);
  std::string decoded = std::move(out).take();
  if (!tables.nfc_inert.empty()) return decoded;
  return composed(std::move(decoded), tables);
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
std::string convert(std::string_view text, std::string_view from, std::string_view to) {
  return Tables::builtin().convert(text, from, to);
}
std::vector<std::string_view> detect(std::string_view text) { return Tables::builtin().detect(text); }

}  // namespace qrx_core::charset
