// The file operations the application needs of its platform: enough to keep one configuration
// file with a backup beside it, and to notice when someone else rewrote it.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvix::platform {

// When a file was last written. Two saves can fall into one tick of the file system's clock, so
// the file's identity and size take part in the comparison too: an atomic save always creates a
// new file, and an edit in place almost always changes the size.
struct FileDate {
  std::int64_t nanoseconds = 0;  // since the epoch
  std::uint64_t inode = 0;
  std::uint64_t size = 0;

  friend bool operator==(const FileDate&, const FileDate&) = default;
};

class Files {
 public:
  virtual ~Files() = default;

  // The user's folder for application configuration ($XDG_CONFIG_HOME, else ~/.config); absent
  // when neither tells.
  virtual std::optional<std::filesystem::path> userConfigurationDirectory() = 0;

  // Each returns whether it succeeded.
  virtual bool createDirectories(const std::filesystem::path& directory) = 0;
  virtual bool exists(const std::filesystem::path& path) = 0;
  virtual bool remove(const std::filesystem::path& path) = 0;
  virtual bool copy(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // Replaces the file as a whole, so that a reader sees either the old or the new content.
  virtual bool writeAtomically(const std::filesystem::path& path, std::string_view bytes) = 0;

  // The file's bytes; absent when it is missing or unreadable.
  virtual std::optional<std::string> read(const std::filesystem::path& path) = 0;
  virtual std::optional<FileDate> modificationDate(const std::filesystem::path& path) = 0;
};

// The machine's own file system.
Files& systemFiles();

}  // namespace quorvix::platform
