#include "ini_file.h"

#include <fcitx-config/iniparser.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace quorvix::platform::fcitx5 {

namespace {

// Reads the INI text into `config`, over what it holds; false when there is no memory for it.
bool readInto(fcitx::RawConfig& config, std::string& bytes) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(::fmemopen(bytes.data(), bytes.size(), "r"),
                                                               &std::fclose);
  if (!stream) return false;
  fcitx::readFromIni(config, stream.get());
  return true;
}

}  // namespace

IniFile readIniFile(const std::filesystem::path& path) {
  IniFile file;
  auto contents = systemFiles().readFile(path);
  switch (contents.state) {
    case FileContents::State::missing:
      return file;
    case FileContents::State::unreadable:
      file.state = IniFile::State::unreadable;
      file.problem = std::move(contents.problem);
      return file;
    case FileContents::State::read:
      break;
  }
  file.state = IniFile::State::read;
  file.blank = contents.bytes.find_first_not_of(" \t\r\n") == std::string::npos;
  if (file.blank) return file;
  if (!readInto(file.config, contents.bytes)) {
    file.state = IniFile::State::unreadable;
    file.problem = "out of memory";
  }
  return file;
}

fcitx::RawConfig readIniFiles(const std::vector<std::filesystem::path>& copies) {
  fcitx::RawConfig config;
  for (const auto& copy : copies) {
    auto contents = systemFiles().readFile(copy);
    if (contents.state == FileContents::State::read && !contents.bytes.empty())
      readInto(config, contents.bytes);
  }
  return config;
}

FileResult writeIniFile(const fcitx::RawConfig& config, const std::filesystem::path& path) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = ::open_memstream(&buffer, &size);
  if (stream == nullptr) return FileResult::failed("out of memory");
  const bool written = fcitx::writeAsIni(config, stream);
  // Only closing the stream settles the buffer.
  const bool closed = std::fclose(stream) == 0;
  const std::string bytes = written && closed ? std::string(buffer, size) : std::string();
  std::free(buffer);
  if (!written || !closed) return FileResult::failed("out of memory");
  auto& files = systemFiles();
  if (auto folder = files.createDirectories(path.parent_path()); !folder) return folder;
  return files.writeAtomically(path, bytes);
}

}  // namespace quorvix::platform::fcitx5
