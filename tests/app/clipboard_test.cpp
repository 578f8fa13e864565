// The clipboard conversions of the input menu, as the process they run in carries them out.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "quorvix_app/engine_bridge.h"
#include "quorvix_app/input_menu.h"

namespace quorvix::app {
namespace {

TEST(ClipboardConversion, ReplacesTheClipboardsTextOrLeavesItAlone) {
  struct Case {
    ClipboardConversion conversion;
    std::optional<std::string> clipboard;
    ClipboardOutcome outcome;
    std::optional<std::string> converted;  // the clipboard afterwards, when it changed
    bool needsSession = true;
  } cases[] = {
      {{"strip", ""},
       "Đường phố cafe\u0301 ngo\u0323t",
       ClipboardOutcome::converted,
       "Đuong pho cafe ngot",
       false},
      {{"nfc", ""}, "Vie\u0323\u0302t", ClipboardOutcome::converted, "Việt", false},
      {{"decode", "viqr"}, "Vie^.t Nam", ClipboardOutcome::converted, "Việt Nam"},
      {{"encode", "viqr"}, "Việt Nam", ClipboardOutcome::converted, "Vie^.t Nam"},
      {{"decode", "tcvn3"}, "ViÖt", ClipboardOutcome::converted, "Việt"},
      {{"encode", "tcvn3"}, "Việt", ClipboardOutcome::converted, "ViÖt"},
      // A charset the engine does not know is Unicode.
      {{"decode", "klingon"}, "Việt", ClipboardOutcome::converted, "Việt"},
      {{"strip", ""}, std::nullopt, ClipboardOutcome::noText, std::nullopt},
      {{"decode", "viqr"}, std::nullopt, ClipboardOutcome::noText, std::nullopt},
      {{"rot13", ""}, "abc", ClipboardOutcome::notConverted, std::nullopt},
      {{"", ""}, "abc", ClipboardOutcome::notConverted, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.conversion.op + " " + c.conversion.charset + " " + c.clipboard.value_or("(no text)"));
    EngineSession session(std::nullopt);
    testing::FakeClipboard clipboard;
    clipboard.text = c.clipboard;
    EXPECT_EQ(transformClipboard(c.conversion, clipboard, &session), c.outcome);
    EXPECT_EQ(clipboard.text, c.converted ? c.converted : c.clipboard);
    if (c.clipboard) {
      // Without a session only the conversions that need none can be made.
      EXPECT_EQ(convertClipboardText(c.conversion, *c.clipboard, nullptr),
                c.needsSession ? std::nullopt : c.converted);
    }
  }
}

}  // namespace
}  // namespace quorvix::app
