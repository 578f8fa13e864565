// Fcitx5's own INI files (profile, addon and input-method descriptions), read with its own
// parser so that they mean to us what they mean to Fcitx5.
#pragma once

#include <fcitx-config/iniparser.h>
#include <fcitx-config/rawconfig.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace quorvix::platform::fcitx5 {

struct IniFile {
  enum class State { missing, unreadable, read };
  State state = State::missing;
  fcitx::RawConfig config;
};

inline IniFile readIniFile(const std::filesystem::path& path) {
  IniFile file;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(path.c_str(), "r"), &std::fclose);
  if (!stream) {
    file.state = errno == ENOENT ? IniFile::State::missing : IniFile::State::unreadable;
    return file;
  }
  fcitx::readFromIni(file.config, stream.get());
  // A folder opens but cannot be read.
  file.state = std::ferror(stream.get()) ? IniFile::State::unreadable : IniFile::State::read;
  return file;
}

// Replaces the file as a whole, creating its folder when needed.
inline bool writeIniFile(const fcitx::RawConfig& config, const std::filesystem::path& path) {
  return fcitx::safeSaveAsIni(config, path.string());
}

}  // namespace quorvix::platform::fcitx5
