// Fcitx5's own INI files (profile, addon and input-method descriptions), read with its own
// parser so that they mean to us what they mean to Fcitx5, and written like every other file of
// ours.
#pragma once

#include <fcitx-config/rawconfig.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"

namespace quorvix::platform::fcitx5 {

struct IniFile {
  enum class State { missing, unreadable, read };
  State state = State::missing;
  fcitx::RawConfig config;
  // Why the file could not be read, when it could not.
  std::string problem;
  // Whether the file held nothing but white space, as a file that was never written does.
  bool blank = true;
};

// Anything but a regular file is unreadable: a named pipe never makes the read wait.
IniFile readIniFile(const std::filesystem::path& path);

// The copies of one file read one after the other into one configuration, as Fcitx5 reads the
// copies of a description in its folders: a later copy's values replace an earlier's. Copies that
// cannot be read count as empty.
fcitx::RawConfig readIniFiles(const std::vector<std::filesystem::path>& copies);

// Replaces the file as a whole, creating its folder when needed; through a link, the file it
// points to.
FileResult writeIniFile(const fcitx::RawConfig& config, const std::filesystem::path& path);

}  // namespace quorvix::platform::fcitx5
