// Shared by the interface tests: an owned session, one-line key feeding and record checks.
#pragma once

#include <quorvix.h>

#include <cstring>
#include <memory>
#include <string>

namespace qrx_ffi_test {

struct SessionDeleter {
  void operator()(QrxSession* session) const { qrx_session_free(session); }
};
using SessionPtr = std::unique_ptr<QrxSession, SessionDeleter>;

inline constexpr std::uint32_t kPreedit = 0;
inline constexpr std::uint32_t kReplace = 1;

inline const std::string kGrin = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

inline SessionPtr make_session(const char* config = nullptr, std::uint32_t mode = kReplace) {
  return SessionPtr(qrx_session_new(config, mode));
}

// Feeds every character of `keys` as one key; returns the last action.
inline QrxAction type_keys(QrxSession* session, const std::string& keys) {
  QrxAction last{};
  for (const char ch : keys) last = qrx_process_key(session, std::string(1, ch).c_str(), false, false, false);
  return last;
}

// The pass action: every byte zero, padding included.
inline bool is_all_zero(const QrxAction& action) {
  const unsigned char zero[sizeof(QrxAction)] = {};
  return std::memcmp(&action, zero, sizeof action) == 0;
}

inline std::string text_of(const char* text) {
  return text != nullptr ? std::string(text) : std::string("(null)");
}

}  // namespace qrx_ffi_test
