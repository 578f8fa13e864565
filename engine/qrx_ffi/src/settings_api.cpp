// Exported functions besides the typing road: configuration, word lists, charsets, offsets,
// word characters and the version.
#include "boundary.h"

#include <qrx_adapter_core/surrounding.h>
#include <qrx_core/charset.h>
#include <qrx_unicode/unicode.h>

#include <quorvix_version.h>

#include <limits>
#include <span>

namespace {

using namespace quorvix;
using qrx_engine::ports::WordSet;

constexpr std::uint32_t kNoOffset = 0xFFFFFFFF;

// JSON written into the JSON slot; a writing failure leaves "" there rather than null, so a
// live handle always answers with a text.
template <class Write>
const char* store_json(QrxSession* session, Write&& write) {
  if (session == nullptr) return nullptr;
  return contain(session, static_cast<const char*>(nullptr), [&] {
    std::string text;
    try {
      text = write(session->session);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (...) {
      text.clear();
    }
    if (text.find('\0') != std::string::npos) text.clear();
    session->json_slot = std::move(text);
    return session->json_slot.c_str();
  });
}

// Patches the host state's configuration and reloads the session; the reload's action, or
// nothing when the patch is rejected.
std::optional<qrx_engine::session::Action> patch_config(QrxSession& session, std::string_view patch) {
  const Config current = session.shared->read()->config;
  std::optional<Config> patched = current.apply_json_patch(patch);
  if (!patched) return std::nullopt;
  session.shared->write()->config = std::move(*patched);
  session.key_replace_units.reset();
  return session.session.reload_config();
}

void add_lower_case_words(WordSet& set, std::string_view text) {
  for (const std::string_view word : qrx_engine::ports::split_words(text)) {
    std::string lower = qrx_unicode::to_lower(word);
    if (!lower.empty()) set.insert(std::move(lower));
  }
}

WordSet lower_case_words(std::string_view text) {
  WordSet set;
  add_lower_case_words(set, text);
  return set;
}

// A charset result in the charset slot; one holding U+0000 cannot cross as a C string.
const char* store_charset_text(QrxSession& session, std::string text) {
  if (text.find('\0') != std::string::npos) text.clear();
  session.charset_slot = std::move(text);
  return session.charset_slot.c_str();
}

using TextConversion = std::string (*)(std::string_view, std::string_view);

const char* convert_text(QrxSession* session, const char* charset, const char* text, TextConversion convert) {
  if (charset == nullptr || text == nullptr || session == nullptr) return nullptr;
  return contain(session, static_cast<const char*>(nullptr), [&] {
    const InputText input(text);
    const InputText name(charset);
    return store_charset_text(*session, convert(input.view(), name.view()));
  });
}

// The host's own text, unrepaired: offsets into a repaired copy would not fit its buffer.
template <class Offset>
std::uint32_t offset_in(const char* text, Offset&& offset) {
  if (text == nullptr) return kNoOffset;
  return contain(static_cast<QrxSession*>(nullptr), kNoOffset, [&] {
    const std::string_view view(text);
    if (!qrx_unicode::is_valid_utf8(view)) return kNoOffset;
    const auto result = offset(view);
    if (!result || *result >= kNoOffset) return kNoOffset;
    return static_cast<std::uint32_t>(*result);
  });
}

}  // namespace

const char* qrx_config_json(QrxSession* session) noexcept {
  return store_json(session, [](const auto& s) { return s.config().to_json(); });
}

const char* qrx_app_profile_json(QrxSession* session) noexcept {
  return store_json(session, [](const auto& s) { return s.profile().to_json(); });
}

std::uint64_t qrx_config_version(QrxSession* session) noexcept {
  if (session == nullptr) return 0;
  return contain(session, std::uint64_t{0}, [&] { return session->shared->read()->config_version; });
}

bool qrx_set_config_json(QrxSession* session, const char* patch_json) noexcept {
  if (patch_json == nullptr || session == nullptr) return false;
  return contain(session, false,
                 [&] { return patch_config(*session, InputText(patch_json).view()).has_value(); });
}

bool qrx_apply_config_json(QrxSession* session, const char* patch_json, QrxAction* action) noexcept {
  if (patch_json == nullptr || session == nullptr) return false;
  return contain(session, false, [&] {
    const InputText patch(patch_json);
    const std::string before = session->session.display();
    std::optional<qrx_engine::session::Action> reload = patch_config(*session, patch.view());
    if (!reload) return false;
    if (action != nullptr) *action = to_c(*session, *reload, before);
    return true;
  });
}

void qrx_load_dictionary(QrxSession* session, const char* english_words,
                         const char* vietnamese_words) noexcept {
  if (session == nullptr || (english_words == nullptr && vietnamese_words == nullptr)) return;
  contain_void(session, [&] {
    // Read everything first, so a fault leaves the word lists as they were.
    std::optional<WordSet> english;
    std::optional<WordSet> vietnamese;
    if (english_words != nullptr) english = lower_case_words(InputText(english_words).view());
    if (vietnamese_words != nullptr) vietnamese = lower_case_words(InputText(vietnamese_words).view());
    auto shared = session->shared->write();
    WordListDictionary& dictionary = private_dictionary(*shared);
    if (english) dictionary.english() = std::move(*english);
    if (vietnamese) dictionary.vietnamese() = std::move(*vietnamese);
  });
}

void qrx_add_dictionary_words(QrxSession* session, const char* words, bool vietnamese) noexcept {
  if (session == nullptr || words == nullptr) return;
  contain_void(session, [&] {
    const WordSet added = lower_case_words(InputText(words).view());
    if (added.empty()) return;
    auto shared = session->shared->write();
    WordListDictionary& dictionary = private_dictionary(*shared);
    WordSet& set = vietnamese ? dictionary.vietnamese() : dictionary.english();
    set.insert(added.begin(), added.end());
  });
}

const char* qrx_charset_encode(QrxSession* session, const char* charset, const char* text) noexcept {
  return convert_text(session, charset, text, &qrx_core::charset::encode);
}

const char* qrx_charset_decode(QrxSession* session, const char* charset, const char* text) noexcept {
  return convert_text(session, charset, text, &qrx_core::charset::decode);
}

const std::uint8_t* qrx_charset_encode_bytes(QrxSession* session, const char* charset, const char* text,
                                             std::size_t* length) noexcept {
  if (charset == nullptr || text == nullptr || session == nullptr) return nullptr;
  return contain(session, static_cast<const std::uint8_t*>(nullptr), [&]() -> const std::uint8_t* {
    static constexpr std::uint8_t kNoBytes = 0;
    // Not repaired first: ill-formed UTF-8 reads as U+FFFD, which no single-byte charset holds,
    // so such text fails to encode either way.
    const InputText name(charset);
    const std::optional<std::size_t> size =
        qrx_core::charset::encode_bytes_into(text, name.view(), session->byte_buffer);
    if (!size) return nullptr;
    if (length != nullptr) *length = *size;
    // An empty buffer may have no storage at all; the host still gets a pointer, and reads
    // no byte through it.
    return session->byte_buffer.empty() ? &kNoBytes : session->byte_buffer.data();
  });
}

const char* qrx_charset_decode_bytes(QrxSession* session, const char* charset, const std::uint8_t* bytes,
                                     std::size_t length) noexcept {
  if (charset == nullptr || bytes == nullptr || session == nullptr) return nullptr;
  return contain(session, static_cast<const char*>(nullptr), [&]() -> const char* {
    std::string& decoded = session->charset_scratch;
    const std::size_t size =
        qrx_core::charset::decode_bytes_into(std::span(bytes, length), InputText(charset).view(), decoded);
    // A byte 0 decodes to U+0000, which no C string can carry: refuse instead of answering
    // with a text that silently lacks part of the data.
    if (std::string_view(decoded.data(), size).find('\0') != std::string_view::npos) return nullptr;
    decoded[size] = '\0';
    std::swap(decoded, session->charset_slot);
    return session->charset_slot.c_str();
  });
}

const char* qrx_charset_list(void) noexcept {
  return contain(static_cast<QrxSession*>(nullptr), "", [] { return qrx_charset_list::list().c_str(); });
}

std::uint32_t qrx_char_to_byte_offset(const char* text, std::uint32_t char_offset) noexcept {
  return offset_in(text, [&](std::string_view view) {
    return qrx_adapter_core::surrounding::char_to_byte_offset(view, char_offset);
  });
}

std::uint32_t qrx_char_to_utf16_offset(const char* text, std::uint32_t char_offset) noexcept {
  return offset_in(text, [&](std::string_view view) {
    return qrx_adapter_core::surrounding::char_to_utf16_offset(view, char_offset);
  });
}

std::uint32_t qrx_utf16_to_byte_offset(const char* text, std::uint32_t utf16_offset) noexcept {
  return offset_in(text, [&](std::string_view view) {
    return qrx_adapter_core::surrounding::utf16_to_byte_offset(view, utf16_offset);
  });
}

bool qrx_is_word_codepoint(std::uint32_t code_point) noexcept {
  if (!is_scalar_value(code_point)) return false;
  return qrx_adapter_core::surrounding::is_word_codepoint(static_cast<char32_t>(code_point));
}

const char* qrx_version(void) noexcept { return quorvix::kVersion.data(); }
