// The addon's own category in Fcitx5's log, named "quorvix": its lines show where an addon author
// looks (the log of fcitx5, or of the quorvix server), and `--verbose=quorvix=5` shows its debug
// lines too. Lines name files, places and reasons; never the user's text (what was typed, macros,
// the values of a configuration).
//
//   FCITX_LOGC(quorvixLog, Warn) << path << " cannot be read: " << why;
#pragma once

#include <fcitx-utils/log.h>

namespace quorvix::platform::fcitx5 {

FCITX_DECLARE_LOG_CATEGORY(quorvixLog);

}  // namespace quorvix::platform::fcitx5
