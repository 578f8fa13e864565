#include <qrx_core/rules.h>

#include <qrx_unicode/unicode.h>

#include <array>

namespace qrx_core::rules {
namespace {

constexpr Mark kCircumflex = Mark::Circumflex;
constexpr Mark kBreve = Mark::Breve;
constexpr Mark kHorn = Mark::Horn;
constexpr Mark kStroke = Mark::Stroke;

// Telex and Simple Telex share their tone and mark lists.
constexpr std::array<ToneEntry, 5> kTelexTones = {{{U's', 1}, {U'f', 2}, {U'r', 3}, {U'x', 4}, {U'j', 5}}};

constexpr std::array<MarkRule, 1> kTelexA = {{{U"a", kCircumflex, false}}};
constexpr std::array<MarkRule, 1> kTelexE = {{{U"e", kCircumflex, false}}};
constexpr std::array<MarkRule, 1> kTelexO = {{{U"o", kCircumflex, false}}};
constexpr std::array<MarkRule, 3> kTelexW = {
    {{U"uo", kHorn, true}, {U"uo", kHorn, false}, {U"a", kBreve, false}}};
constexpr std::array<MarkRule, 1> kStrokeD = {{{U"d", kStroke, false}}};

constexpr std::array<MarkEntry, 5> kTelexMarks = {{
    {U'a', kTelexA},
    {U'e', kTelexE},
    {U'o', kTelexO},
    {U'w', kTelexW},
    {U'd', kStrokeD},
}};

constexpr std::array<LetterEntry, 1> kTelexStandalone = {{{U'w', U'u', kHorn}}};
constexpr std::array<LetterEntry, 2> kTelexInsert = {{{U'[', U'o', kHorn}, {U']', U'u', kHorn}}};

constexpr std::array<ToneEntry, 5> kVniTones = {{{U'1', 1}, {U'2', 2}, {U'3', 3}, {U'4', 4}, {U'5', 5}}};
constexpr std::array<MarkRule, 1> kCircumflexAeo = {{{U"aeo", kCircumflex, false}}};
constexpr std::array<MarkRule, 2> kHornUo = {{{U"uo", kHorn, true}, {U"uo", kHorn, false}}};
constexpr std::array<MarkRule, 1> kBreveA = {{{U"a", kBreve, false}}};
constexpr std::array<MarkEntry, 4> kVniMarks = {{
    {U'6', kCircumflexAeo},
    {U'7', kHornUo},
    {U'8', kBreveA},
    {U'9', kStrokeD},
}};

constexpr std::array<ToneEntry, 5> kViqrTones = {{{U'\'', 1}, {U'`', 2}, {U'?', 3}, {U'~', 4}, {U'.', 5}}};
constexpr std::array<MarkEntry, 4> kViqrMarks = {{
    {U'^', kCircumflexAeo},
    {U'(', kBreveA},
    {U'+', kHornUo},
    {U'd', kStrokeD},
}};

constexpr std::array<std::u32string_view, QUICK_TELEX_SLOTS> kQuickTelex = [] {
  std::array<std::u32string_view, QUICK_TELEX_SLOTS> slots{};
  slots[U'c' - QUICK_TELEX_FIRST] = U"ch";
  slots[U'g' - QUICK_TELEX_FIRST] = U"gi";
  slots[U'k' - QUICK_TELEX_FIRST] = U"kh";
  slots[U'n' - QUICK_TELEX_FIRST] = U"ng";
  slots[U'p' - QUICK_TELEX_FIRST] = U"ph";
  slots[U'q' - QUICK_TELEX_FIRST] = U"qu";
  slots[U't' - QUICK_TELEX_FIRST] = U"th";
  return slots;
}();
constexpr std::u32string_view kQuickTelexKeys = U"cgknpqt";

std::optional<MarkedLetter> find_letter(std::span<const LetterEntry> entries, char32_t key) {
  for (const LetterEntry& e : entries) {
    if (e.key == key) return MarkedLetter{e.letter, e.mark};
  }
  return std::nullopt;
}

bool has_key(std::span<const ToneEntry> entries, char32_t key) {
  for (const ToneEntry& e : entries) {
    if (e.key == key) return true;
  }
  return false;
}

bool has_key(std::span<const MarkEntry> entries, char32_t key) {
  for (const MarkEntry& e : entries) {
    if (e.key == key) return true;
  }
  return false;
}

bool has_key(std::span<const LetterEntry> entries, char32_t key) {
  return find_letter(entries, key).has_value();
}

}  // namespace

const InputMethodSpec TELEX{"telex", kTelexTones, kTelexMarks, kTelexStandalone, kTelexInsert, U'z', false};
const InputMethodSpec SIMPLE_TELEX{"simple_telex", kTelexTones, kTelexMarks, {}, {}, U'z', false};
const InputMethodSpec VNI{"vni", kVniTones, kVniMarks, {}, {}, U'0', true};
const InputMethodSpec VIQR{"viqr", kViqrTones, kViqrMarks, {}, {}, U'0', false};

char32_t lower_key_beyond_ascii(char32_t key) {
  std::u32string lower = qrx_unicode::to_lower(key);
  return lower.size() == 1 ? lower[0] : key;
}

std::optional<std::u32string_view> quick_telex_onset(char32_t key) {
  if (kQuickTelexKeys.find(key) == std::u32string_view::npos) return std::nullopt;
  return kQuickTelex[key - QUICK_TELEX_FIRST];
}

std::optional<MarkedLetter> InputMethodSpec::insert_for(char32_t key) const {
  return find_letter(insert, key);
}

std::optional<MarkedLetter> InputMethodSpec::standalone_for(char32_t key) const {
  return find_letter(standalone, key);
}

bool InputMethodSpec::extra_word_key(char32_t key) const {
  const char32_t k = lower_key(key);
  if (k >= U'a' && k <= U'z') return false;
  return has_key(tones, k) || k == remove_key || has_key(marks, k) || has_key(standalone, k);
}

bool InputMethodSpec::is_function_key(char32_t key) const {
  const char32_t k = lower_key(key);
  return has_key(tones, k) || k == remove_key || has_key(marks, k) || has_key(standalone, k) ||
         has_key(insert, k);
}

std::optional<std::uint8_t> InputMethodSpec::tone_of(char32_t key) const {
  for (const ToneEntry& e : tones) {
    if (e.key == key) return e.tone;
  }
  return std::nullopt;
}

std::optional<char32_t> InputMethodSpec::tone_key(std::uint8_t tone) const {
  for (const ToneEntry& e : tones) {
    if (e.tone == tone) return e.key;
  }
  return std::nullopt;
}

std::optional<char32_t> InputMethodSpec::mark_key(char32_t base, Mark mark) const {
  for (const MarkEntry& e : marks) {
    for (const MarkRule& r : e.rules) {
      if (r.mark == mark && !r.pair && r.letters.find(base) != std::u32string_view::npos) {
        return e.key;
      }
    }
  }
  return std::nullopt;
}

std::optional<std::span<const MarkRule>> InputMethodSpec::marks_for(char32_t key) const {
  for (const MarkEntry& e : marks) {
    if (e.key == key) return e.rules;
  }
  return std::nullopt;
}

}  // namespace qrx_core::rules
