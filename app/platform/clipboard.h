// The clipboard, as plain text.
#pragma once

#include <optional>
#include <string>

namespace quorvix::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's text; absent when it holds none.
  virtual std::optional<std::string> string() = 0;
  // Replaces whatever the clipboard held by `text`.
  virtual void setString(const std::string& text) = 0;
};

}  // namespace quorvix::platform
