// The entry point Fcitx5 looks for when it loads the addon's shared library.
#include "platform/fcitx5/addon.h"

FCITX_ADDON_FACTORY(quorvix::platform::fcitx5::QuorvixAddonFactory)
