// The desktop's clipboard as plain text, and where the input menu's clipboard conversions run.
#pragma once

#include <optional>
#include <string>

namespace quorvix::platform {

// The clipboard every application copies to and pastes from.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's text; absent when it holds none (nothing was copied, the text is empty, or
  // only an image or the like was copied).
  virtual std::optional<std::string> string() = 0;
  // Takes the clipboard with `text` in place of whatever it held, for every application's next
  // paste.
  virtual void setString(const std::string& text) = 0;
};

// The desktop's clipboard is served by the program that last took it, for as long as that
// program keeps it: each conversion runs in a process of its own, which stays until another
// program takes the clipboard.
class ClipboardConversions {
 public:
  virtual ~ClipboardConversions() = default;
  // Starts the conversion a clipboard item names by its "op" and "charset". The process plays
  // the failure signal itself when the conversion cannot be made.
  virtual void start(const std::string& op, const std::string& charset) = 0;
};

}  // namespace quorvix::platform
