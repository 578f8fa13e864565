// Fcitx5's key events and event loop as the controller sees them.
#include <fcitx-utils/event.h>
#include <gtest/gtest.h>

#include "platform/fcitx5/keys.h"
#include "platform/fcitx5/services.h"

namespace quorvix::platform::fcitx5 {
namespace {

namespace codes = platform::key_codes;
namespace flags = platform::modifier_flags;

TEST(TranslateKey, GivesMacKeyCodesFlagsAndCharacters) {
  struct Case {
    const char* key;
    bool release;
    platform::KeyEvent event;
  };
  const Case cases[] = {
      {"a", false, {true, codes::kNone, 0, "a"}},
      {"Shift+A", false, {true, codes::kNone, flags::kShift, "A"}},
      {"Control+a", false, {true, codes::kNone, flags::kControl, "a"}},
      {"Alt+comma", false, {true, codes::kComma, flags::kOption, ","}},
      {"Super+comma", false, {true, codes::kComma, flags::kCommand, ","}},
      {"Control+Alt+Shift+Super+x",
       false,
       {true, codes::kNone, flags::kControl | flags::kOption | flags::kShift | flags::kCommand, "x"}},
      {"space", false, {true, codes::kSpace, 0, " "}},
      {"Return", false, {true, codes::kReturn, 0, "\r"}},
      {"KP_Enter", false, {true, codes::kKeypadEnter, 0, std::nullopt}},
      {"Tab", false, {true, codes::kTab, 0, "\t"}},
      {"Shift+ISO_Left_Tab", false, {true, codes::kTab, flags::kShift, std::nullopt}},
      {"BackSpace", false, {true, codes::kBackspace, 0, "\b"}},
      {"Escape", false, {true, codes::kEscape, 0, "\x1b"}},
      {"Delete", false, {true, codes::kForwardDelete, 0, "\x7f"}},
      {"Home", false, {true, codes::kHome, 0, std::nullopt}},
      {"End", false, {true, codes::kEnd, 0, std::nullopt}},
      {"Prior", false, {true, codes::kPageUp, 0, std::nullopt}},
      {"Next", false, {true, codes::kPageDown, 0, std::nullopt}},
      {"Left", false, {true, codes::kLeft, 0, std::nullopt}},
      {"Right", false, {true, codes::kRight, 0, std::nullopt}},
      {"Up", false, {true, codes::kUp, 0, std::nullopt}},
      {"Down", false, {true, codes::kDown, 0, std::nullopt}},
      // The keypad with Num Lock off: the main keyboard's names.
      {"KP_Left", false, {true, codes::kLeft, 0, std::nullopt}},
      {"KP_Right", false, {true, codes::kRight, 0, std::nullopt}},
      {"KP_Up", false, {true, codes::kUp, 0, std::nullopt}},
      {"KP_Down", false, {true, codes::kDown, 0, std::nullopt}},
      {"KP_Home", false, {true, codes::kHome, 0, std::nullopt}},
      {"KP_End", false, {true, codes::kEnd, 0, std::nullopt}},
      {"KP_Page_Up", false, {true, codes::kPageUp, 0, std::nullopt}},
      {"KP_Page_Down", false, {true, codes::kPageDown, 0, std::nullopt}},
      {"KP_Delete", false, {true, codes::kForwardDelete, 0, std::nullopt}},
      {"Shift+KP_Left", false, {true, codes::kLeft, flags::kShift, std::nullopt}},
      {"KP_Begin", false, {true, codes::kNone, 0, std::nullopt}},
      {"KP_1", false, {true, codes::kNone, 0, "1"}},
      // Hyper makes a command, as Control and Super do.
      {"Hyper+i", false, {true, codes::kNone, flags::kCommand, "i"}},
      {"Super+e", false, {true, codes::kNone, flags::kCommand, "e"}},
      {"F1", false, {true, codes::kNone, 0, std::nullopt}},
      {"dead_acute", false, {true, codes::kNone, 0, std::nullopt}},
      // Releases, and presses of keys that only change how others read, are no key-down events.
      {"a", true, {false, codes::kNone, 0, std::nullopt}},
      {"Shift_L", false, {false, codes::kNone, 0, std::nullopt}},
      {"Alt_R", false, {false, codes::kNone, 0, std::nullopt}},
      {"Caps_Lock", false, {false, codes::kNone, 0, std::nullopt}},
      {"ISO_Level3_Shift", false, {false, codes::kNone, 0, std::nullopt}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(translateKey(fcitx::Key(c.key), c.release), c.event) << c.key;
  }
  // Modifiers Fcitx5 names no key string for: Meta and GTK's virtual Hyper make commands; AltGr
  // (Mod5) and Num Lock (Mod2) are no flags.
  using fcitx::KeyState;
  const std::pair<fcitx::Key, platform::KeyEvent> states[] = {
      {fcitx::Key(FcitxKey_v, fcitx::KeyStates{KeyState::Meta}), {true, codes::kNone, flags::kCommand, "v"}},
      {fcitx::Key(FcitxKey_comma, fcitx::KeyStates{KeyState::Meta}),
       {true, codes::kComma, flags::kCommand, ","}},
      {fcitx::Key(FcitxKey_x, fcitx::KeyStates{KeyState::Ctrl, KeyState::Meta, KeyState::Shift}),
       {true, codes::kNone, flags::kControl | flags::kCommand | flags::kShift, "x"}},
      {fcitx::Key(FcitxKey_v, fcitx::KeyStates{KeyState::Hyper2}),
       {true, codes::kNone, flags::kCommand, "v"}},
      {fcitx::Key(FcitxKey_EuroSign, fcitx::KeyStates{KeyState::Mod5}), {true, codes::kNone, 0, "€"}},
      {fcitx::Key(FcitxKey_at, fcitx::KeyStates{KeyState::Mod5, KeyState::Shift}),
       {true, codes::kNone, flags::kShift, "@"}},
      {fcitx::Key(FcitxKey_KP_4, fcitx::KeyStates{KeyState::NumLock}), {true, codes::kNone, 0, "4"}},
      {fcitx::Key(FcitxKey_KP_Left, fcitx::KeyStates{KeyState::Ctrl}),
       {true, codes::kLeft, flags::kControl, std::nullopt}},
  };
  for (const auto& [key, event] : states) EXPECT_EQ(translateKey(key, false), event) << key.toString();
  const fcitx::Key capsLocked(FcitxKey_A,
                              fcitx::KeyStates{fcitx::KeyState::CapsLock, fcitx::KeyState::Super2});
  EXPECT_EQ(translateKey(capsLocked, false),
            (platform::KeyEvent{true, codes::kNone, flags::kCapsLock | flags::kCommand, "A"}));
}

// Every printable ASCII key is read without Fcitx5's tables: it must read as they make it, with
// and without modifiers, its character as Fcitx5 spells it and no key code but comma's and space's.
TEST(TranslateKey, ReadsEveryPrintableAsciiKeyAsFcitx5SpellsIt) {
  using fcitx::KeyState;
  const fcitx::KeyStates statesTried[] = {fcitx::KeyStates(), fcitx::KeyStates{KeyState::Shift},
                                          fcitx::KeyStates{KeyState::Ctrl, KeyState::Alt},
                                          fcitx::KeyStates{KeyState::CapsLock}};
  for (std::uint32_t sym = FcitxKey_space; sym <= FcitxKey_asciitilde; ++sym) {
    for (const auto states : statesTried) {
      const fcitx::Key key(static_cast<fcitx::KeySym>(sym), states);
      const auto event = translateKey(key, false);
      const std::uint16_t code = sym == FcitxKey_comma   ? codes::kComma
                                 : sym == FcitxKey_space ? codes::kSpace
                                                         : codes::kNone;
      EXPECT_TRUE(event.keyDown) << key.toString();
      EXPECT_EQ(event.keyCode, code) << key.toString();
      EXPECT_EQ(event.characters, fcitx::Key::keySymToUTF8(key.sym())) << key.toString();
      EXPECT_EQ(event.modifierFlags, translateKey(fcitx::Key(FcitxKey_F1, states), false).modifierFlags);
      EXPECT_FALSE(translateKey(key, true).keyDown) << key.toString();
    }
  }
}

// On an event loop of its own, so that it can run inside the test.
TEST(EventLoopTimers, TickUntilStoppedEvenFromTheirOwnTick) {
  fcitx::EventLoop loop;
  EventLoopTimers timers(loop);
  int ticks = 0;
  std::unique_ptr<platform::Timer> timer = timers.scheduleRepeating(std::chrono::milliseconds(1), [&] {
    if (++ticks < 3) return;
    timer.reset();
    loop.exit();
  });
  loop.exec();
  EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace quorvix::platform::fcitx5
