// Fcitx5's keys as the input controller reads them.
#pragma once

#include <fcitx-utils/key.h>

#include "platform/key_event.h"

namespace quorvix::platform::fcitx5 {

// A key event of Fcitx5 as the application reads it: presses of keys other than modifiers are
// key-down events, named keys carry Mac key codes, modifiers the Mac flag bits.
platform::KeyEvent translateKey(const fcitx::Key& key, bool isRelease);

}  // namespace quorvix::platform::fcitx5
