#include "platform/fcitx5/keys.h"

#include <fcitx-utils/keysym.h>
#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <utility>

namespace quorvix::platform::fcitx5 {

namespace {

namespace codes = platform::key_codes;
namespace flags = platform::modifier_flags;

// The keys the key mapper names, by the key code of the Mac keyboard, plus comma and space,
// which the controller tells by their codes. Shift+Tab is still the Tab key, and the keypad's
// keys with Num Lock off are their main keyboard twins.
constexpr std::array<std::pair<fcitx::KeySym, std::uint16_t>, 26> kKeyCodes{{
    {FcitxKey_Return, codes::kReturn},
    {FcitxKey_KP_Enter, codes::kKeypadEnter},
    {FcitxKey_Tab, codes::kTab},
    {FcitxKey_ISO_Left_Tab, codes::kTab},
    {FcitxKey_BackSpace, codes::kBackspace},
    {FcitxKey_Escape, codes::kEscape},
    {FcitxKey_Home, codes::kHome},
    {FcitxKey_Prior, codes::kPageUp},
    {FcitxKey_Delete, codes::kForwardDelete},
    {FcitxKey_End, codes::kEnd},
    {FcitxKey_Next, codes::kPageDown},
    {FcitxKey_Left, codes::kLeft},
    {FcitxKey_Right, codes::kRight},
    {FcitxKey_Down, codes::kDown},
    {FcitxKey_Up, codes::kUp},
    {FcitxKey_comma, codes::kComma},
    {FcitxKey_space, codes::kSpace},
    {FcitxKey_KP_Home, codes::kHome},
    {FcitxKey_KP_Page_Up, codes::kPageUp},
    {FcitxKey_KP_Delete, codes::kForwardDelete},
    {FcitxKey_KP_End, codes::kEnd},
    {FcitxKey_KP_Page_Down, codes::kPageDown},
    {FcitxKey_KP_Left, codes::kLeft},
    {FcitxKey_KP_Right, codes::kRight},
    {FcitxKey_KP_Down, codes::kDown},
    {FcitxKey_KP_Up, codes::kUp},
}};

// Keys that, like the modifiers, only change how other keys read: on the Mac they are no key-down
// events either.
constexpr std::array<fcitx::KeySym, 6> kStateKeys{
    FcitxKey_Caps_Lock,        FcitxKey_Shift_Lock,       FcitxKey_Num_Lock,
    FcitxKey_ISO_Level3_Shift, FcitxKey_ISO_Level5_Shift, FcitxKey_Mode_switch,
};

// Alt is the Mac's Option key; Super, Meta and Hyper make a key a command as the Mac's Command
// key does (GTK reports Super and Hyper also as virtual modifiers of their own). AltGr, the third
// level of a layout, is no flag: what it types is text.
constexpr std::array<std::pair<fcitx::KeyState, std::uint64_t>, 9> kModifierFlags{{
    {fcitx::KeyState::Shift, flags::kShift},
    {fcitx::KeyState::Ctrl, flags::kControl},
    {fcitx::KeyState::Alt, flags::kOption},
    {fcitx::KeyState::Super, flags::kCommand},
    {fcitx::KeyState::Super2, flags::kCommand},
    {fcitx::KeyState::Meta, flags::kCommand},
    {fcitx::KeyState::Hyper, flags::kCommand},
    {fcitx::KeyState::Hyper2, flags::kCommand},
    {fcitx::KeyState::CapsLock, flags::kCapsLock},
}};

// Printable ASCII keys, the ones typed most, are their own characters; of them only comma and
// space are named keys, and none only changes how others read.
constexpr bool isPrintableAscii(fcitx::KeySym sym) {
  return sym >= FcitxKey_space && sym <= FcitxKey_asciitilde;
}

}  // namespace

platform::KeyEvent translateKey(const fcitx::Key& key, bool isRelease) {
  platform::KeyEvent event;
  const fcitx::KeySym sym = key.sym();
  const bool ascii = isPrintableAscii(sym);
  event.keyDown =
      !isRelease && !key.isModifier() && (ascii || std::ranges::find(kStateKeys, sym) == kStateKeys.end());
  // Nothing reads more of an event that is not a key press.
  if (!event.keyDown) return event;
  if (!ascii || sym == FcitxKey_comma || sym == FcitxKey_space) {
    if (const auto* named =
            std::ranges::find(kKeyCodes, sym, &std::pair<fcitx::KeySym, std::uint16_t>::first);
        named != kKeyCodes.end()) {
      event.keyCode = named->second;
    }
  }
  // Most keys are typed without a modifier.
  if (key.states()) {
    for (const auto& [state, flag] : kModifierFlags) {
      if (key.states().test(state)) event.modifierFlags |= flag;
    }
  }
  // A keysym that names no Unicode scalar value (a surrogate, a value past the last plane) types
  // nothing, though Fcitx5 spells it as U+FFFD.
  if (ascii) {
    event.characters.emplace(1, static_cast<char>(sym));
  } else if (auto characters = fcitx::Key::keySymToUTF8(sym);
             !characters.empty() && qrx_unicode::is_scalar_value(fcitx::Key::keySymToUnicode(sym))) {
    event.characters = std::move(characters);
  }
  return event;
}

}  // namespace quorvix::platform::fcitx5
