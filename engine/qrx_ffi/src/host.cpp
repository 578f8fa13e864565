// Host state behind the ports, the process-wide tables of the interface, and the conversion of
// session actions into the C records.
#include <qrx_ffi/host.h>

#include <qrx_core/charset.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace quorvix {

namespace {

using qrx_engine::session::Action;

constexpr std::uint32_t kU32Max = std::numeric_limits<std::uint32_t>::max();

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// UTF-16 units of the character whose first byte is `lead`, as the host will receive it.
std::uint32_t units_of_lead(unsigned char lead) {
  if (lead == 0) return 0;  // removed before the text crosses the boundary
  return lead >= 0xF0 ? 2 : 1;
}

// Start of the last `chars` characters of `text` (0 when it has fewer), and how many of them
// were found.
std::pair<std::size_t, std::size_t> suffix_start(std::string_view text, std::size_t chars) {
  std::size_t pos = text.size();
  std::size_t found = 0;
  while (found < chars && pos > 0) {
    --pos;
    while (pos > 0 && is_continuation(static_cast<unsigned char>(text[pos]))) --pos;
    ++found;
  }
  return {pos, found};
}

std::uint32_t saturating_add(std::uint32_t a, std::uint64_t b) {
  const std::uint64_t sum = a + b;
  return sum > kU32Max ? kU32Max : static_cast<std::uint32_t>(sum);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

InputText::InputText(const char* text) : InputText(text, std::string_view()) {}

InputText::InputText(const char* text, std::string_view known_valid) : view_(text) {
  if (view_ == known_valid) return;
  if (!qrx_unicode::is_valid_utf8(view_)) {
    repaired_ = qrx_unicode::encode_utf8(qrx_unicode::decode_utf8(view_));
    view_ = repaired_;
  }
}

std::optional<std::string> optional_input(const char* text) {
  if (text == nullptr) return std::nullopt;
  return InputText(text).str();
}

// ---------------------------------------------------------------------------------------------

SharedCell::Read SharedCell::read() const {
  if (writing_) throw AccessConflict("host state read while it is being written");
  ++readers_;
  return Read(this);
}

SharedCell::Write SharedCell::write() {
  if (writing_ || readers_ > 0) throw AccessConflict("host state written while it is in use");
  writing_ = true;
  return Write(this);
}

WordListDictionary& private_dictionary(Shared& shared) {
  // Sessions never hand their private copy to anyone, so being the only owner means the copy
  // is already ours; the process-wide dictionary always has its own static reference.
  if (shared.dictionary.use_count() != 1) {
    auto copy = std::make_shared<WordListDictionary>(*shared.dictionary);
    WordListDictionary& own = *copy;
    shared.dictionary = std::move(copy);
    return own;
  }
  // Only a copy made above can be the sole owner, and it was created non-const.
  return const_cast<WordListDictionary&>(*shared.dictionary);
}

Config SharedPorts::load() const { return cell_->read()->config; }

void SharedPorts::save(const Config& config) const {
  auto shared = cell_->write();
  shared->config = config;
  ++shared->config_version;
}

std::optional<std::string> SharedPorts::current_app() const { return cell_->read()->current_app; }

std::optional<std::string> SharedPorts::before_cursor(std::size_t max_chars) const {
  std::string text;
  if (!before_cursor_into(max_chars, text)) return std::nullopt;
  return text;
}

bool SharedPorts::before_cursor_into(std::size_t max_chars, std::string& out) const {
  auto shared = cell_->read();
  if (!shared->surrounding) return false;
  const std::string_view text = *shared->surrounding;
  out.assign(text.substr(suffix_start(text, max_chars).first));
  return true;
}

bool SharedPorts::is_english(std::string_view word) const {
  return cell_->read()->dictionary->is_english(word);
}

bool SharedPorts::is_vietnamese(std::string_view word) const {
  return cell_->read()->dictionary->is_vietnamese(word);
}

qrx_engine::ports::Ports make_ports(const std::shared_ptr<SharedCell>& cell) {
  return qrx_engine::ports::Ports(std::make_unique<SharedPorts>(cell), std::make_unique<SharedPorts>(cell),
                                  std::make_unique<SharedPorts>(cell), std::make_unique<SharedPorts>(cell));
}

namespace shared_dictionary {
const std::shared_ptr<const WordListDictionary>& dictionary() {
  static const std::shared_ptr<const WordListDictionary> built =
      std::make_shared<const WordListDictionary>(WordListDictionary::make_default());
  return built;
}
}  // namespace shared_dictionary

namespace qrx_charset_list {
const std::string& list() {
  static const std::string text = [] {
    std::string lines;
    for (const std::string_view id : qrx_core::charset::kIdentifiers) {
      lines += id;
      lines += '\t';
      lines += qrx_core::charset::display_name(id).value_or(id);
      lines += '\n';
    }
    if (lines.find('\0') != std::string::npos) lines.clear();
    return lines;
  }();
  return text;
}
}  // namespace qrx_charset_list

// ---------------------------------------------------------------------------------------------

void store_without_nul(std::string& slot, std::string_view text) {
  slot.assign(text);
  if (std::memchr(slot.data(), 0, slot.size()) != nullptr) std::erase(slot, '\0');
}

std::uint32_t utf16_units_of_prefix(std::string_view text, std::size_t chars) {
  std::uint32_t units = 0;
  std::size_t seen = 0;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (is_continuation(byte)) continue;
    if (seen == chars) break;
    ++seen;
    units = saturating_add(units, units_of_lead(byte));
  }
  return units;
}

std::uint32_t utf16_units_of_suffix(std::string_view text, std::size_t chars) {
  const auto [start, found] = suffix_start(text, chars);
  std::uint32_t units = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!is_continuation(byte)) units = saturating_add(units, units_of_lead(byte));
  }
  return saturating_add(units, chars - found);
}

QrxAction zero_action() {
  QrxAction record;
  std::memset(&record, 0, sizeof record);
  return record;
}

std::unique_ptr<QrxSession> make_session(Config config, qrx_engine::ports::OutputMode mode) {
  auto cell = std::make_shared<SharedCell>(
      Shared{std::move(config), std::nullopt, std::nullopt, shared_dictionary::dictionary(), 0});
  qrx_engine::session::ImeSession session(make_ports(cell), mode);
  return std::make_unique<QrxSession>(std::move(session), std::move(cell));
}

QrxAction to_c(QrxSession& handle, const Action& action, std::string_view before) {
  QrxAction record = zero_action();
  const auto store = [&](const std::string& text) {
    store_without_nul(handle.action_slot, text);
    record.insert = handle.action_slot.c_str();
  };
  if (const auto* preedit = action.as<Action::Preedit>()) {
    record.kind = QRX_ACTION_PREEDIT;
    record.cursor_utf16 = utf16_units_of_prefix(preedit->text, preedit->cursor);
    store(preedit->text);
  } else if (const auto* replace = action.as<Action::Replace>()) {
    record.kind = QRX_ACTION_REPLACE;
    record.delete_before_utf16 = utf16_units_of_suffix(before, replace->delete_count);
    record.pass_key = replace->pass_key;
    store(replace->text);
  } else if (const auto* commit = action.as<Action::Commit>()) {
    record.kind = QRX_ACTION_COMMIT;
    record.pass_key = commit->pass_key;
    store(commit->text);
  }
  return record;
}

}  // namespace quorvix
