// What the input controller needs of the desktop around the focused field.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace quorvix::platform {

class Workspace {
 public:
  virtual ~Workspace() = default;

  // The identifier of the application that has the keyboard, under its macOS name; on Linux the
  // program name Fcitx5 reports for the focused input context. Absent when it reports none. The
  // controller asks at every key: the name is the platform's own, read in place, valid until the
  // focus moves.
  virtual std::optional<std::string_view> frontmostApplicationID() = 0;

  // Whether the focused field asked that its keys not be looked at (passwords and the like), under
  // its macOS name; on Linux the input context's Password or Sensitive capability.
  virtual bool isSecureEventInputEnabled() = 0;

  // Opens the file with the application the desktop assigns to it; the outcome is not reported.
  virtual void openFile(const std::filesystem::path& path) = 0;
  // Opens the input method framework's own settings.
  virtual void openInputSourceSettings() = 0;
  // Shows the preferences window (a process of its own).
  virtual void showPreferences() = 0;
  // The failure signal of a command that could not be carried out.
  virtual void beep() = 0;
};

}  // namespace quorvix::platform
