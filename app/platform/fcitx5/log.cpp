#include "platform/fcitx5/log.h"

namespace quorvix::platform::fcitx5 {

FCITX_DEFINE_LOG_CATEGORY(quorvixLog, "quorvix");

}  // namespace quorvix::platform::fcitx5
