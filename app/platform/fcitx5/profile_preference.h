// The user's Fcitx5 profile as the stored list of enabled input methods.
#pragma once

#include <memory>

#include "platform/input_sources.h"

namespace quorvix::platform::fcitx5 {

// The enabled input methods stored in the user's Fcitx5 profile: the items of every group; new
// entries go to the end of the first group, which Fcitx5 starts with.
std::unique_ptr<EnabledInputMethodsPreference> makeProfilePreference();

}  // namespace quorvix::platform::fcitx5
