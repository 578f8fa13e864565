// The desktop's clipboard through Qt, for code that must not see Qt.
#pragma once

#include <functional>
#include <string_view>

#include "platform/clipboard.h"

namespace quorvix::platform::qt {

// Runs `transform` on the desktop's clipboard. When it succeeds, the process serves the
// clipboard's new text to every application until another program takes the clipboard, and
// gives 0; when it fails, it plays the failure signal and gives 1, having given `failed` the
// reason when the desktop did not let it take the clipboard. Without a graphical session it says
// so and gives 1.
int runClipboardApplication(int& argc, char** argv, const std::function<bool(Clipboard&)>& transform,
                            const std::function<void(std::string_view why)>& failed);

}  // namespace quorvix::platform::qt
