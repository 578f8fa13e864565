// Shared by the interface tests: an owned session and one-line key feeding.
#pragma once

#include <quorvix.h>

#include <memory>
#include <string>

namespace qrx_ffi_test {

struct SessionDeleter {
  void operator()(QrxSession* session) const { qrx_session_free(session); }
};
using SessionPtr = std::unique_ptr<QrxSession, SessionDeleter>;

inline constexpr std::uint32_t kPreedit = 0;
inline constexpr std::uint32_t kReplace = 1;

inline SessionPtr make_session(const char* config = nullptr, std::uint32_t mode = kReplace) {
  return SessionPtr(qrx_session_new(config, mode));
}

// Feeds every character of `keys` as one key; returns the last action.
inline QrxAction type_keys(QrxSession* session, const std::string& keys) {
  QrxAction last{};
  for (const char ch : keys) last = qrx_process_key(session, std::string(1, ch).c_str(), false, false, false);
  return last;
}

inline std::string text_of(const char* text) {
  return text != nullptr ? std::string(text) : std::string("(null)");
}

}  // namespace qrx_ffi_test
