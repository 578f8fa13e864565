// A key event as the application reads it. Named keys carry the key codes of the Mac keyboard
// that the key mapping is written in; the platform translates its own keys into them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvix::platform {

namespace key_codes {
inline constexpr std::uint16_t kReturn = 36;
inline constexpr std::uint16_t kTab = 48;
inline constexpr std::uint16_t kSpace = 49;
inline constexpr std::uint16_t kBackspace = 51;
inline constexpr std::uint16_t kEscape = 53;
inline constexpr std::uint16_t kComma = 43;
inline constexpr std::uint16_t kKeypadEnter = 76;
inline constexpr std::uint16_t kHome = 115;
inline constexpr std::uint16_t kPageUp = 116;
inline constexpr std::uint16_t kForwardDelete = 117;
inline constexpr std::uint16_t kEnd = 119;
inline constexpr std::uint16_t kPageDown = 121;
inline constexpr std::uint16_t kLeft = 123;
inline constexpr std::uint16_t kRight = 124;
inline constexpr std::uint16_t kDown = 125;
inline constexpr std::uint16_t kUp = 126;
// Every other key: it goes by its characters.
inline constexpr std::uint16_t kNone = 0xFFFF;
}  // namespace key_codes

namespace modifier_flags {
inline constexpr std::uint64_t kCapsLock = 0x10000;
inline constexpr std::uint64_t kShift = 0x20000;
inline constexpr std::uint64_t kControl = 0x40000;
inline constexpr std::uint64_t kOption = 0x80000;    // Alt
inline constexpr std::uint64_t kCommand = 0x100000;  // Super
}  // namespace modifier_flags

struct KeyEvent {
  // Only key presses are key-down events; releases and other events are not.
  bool keyDown = true;
  std::uint16_t keyCode = key_codes::kNone;
  std::uint64_t modifierFlags = 0;
  // What the key types, as UTF-8; absent when it types nothing.
  std::optional<std::string> characters;

  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

}  // namespace quorvix::platform
