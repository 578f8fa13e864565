// The file operations the application needs of its platform: enough to keep one configuration
// file with a backup beside it, and to notice when someone else rewrote it.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quorvix::platform {

// What tells one version of a file from the next, for noticing that someone rewrote it: when it
// was last written, and which file it is and how long. Two saves can fall into one tick of the
// file system's clock: an atomic save always creates a new file (a new inode), and an edit in
// place almost always changes the size.
struct FileIdentity {
  std::int64_t modifiedNanoseconds = 0;  // since the epoch
  std::uint64_t inode = 0;
  std::uint64_t size = 0;

  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The outcome of an operation on files: done, or why not, in words for the person at the keyboard.
struct FileResult {
  std::string problem;  // empty when done

  static FileResult failed(std::string why) { return {why.empty() ? "unknown failure" : std::move(why)}; }
  bool ok() const { return problem.empty(); }
  explicit operator bool() const { return ok(); }
};

// What reading a whole file found. Anything but a regular file (a folder, a named pipe, a device)
// is unreadable, so that a read never waits for a writer.
struct FileContents {
  enum class State { missing, unreadable, read };
  State state = State::missing;
  std::string bytes;    // when read
  std::string problem;  // when unreadable: why
};

class Files {
 public:
  virtual ~Files() = default;

  // The user's folder for application configuration ($XDG_CONFIG_HOME, else ~/.config); absent
  // when neither tells.
  virtual std::optional<std::filesystem::path> userConfigurationDirectory() = 0;
  // Why the user's home folder is not known, in one sentence; empty when it is. Fcitx5, like every
  // program of the desktop, finds its folders under $HOME, which must name it by an absolute path.
  virtual std::string homeFolderProblem() = 0;

  virtual FileResult createDirectories(const std::filesystem::path& directory) = 0;
  // Whether there is a file at the end of the path; a link to nothing is no file.
  virtual bool exists(const std::filesystem::path& path) = 0;
  // Replaces the file as a whole, so that a reader sees either the old or the new content, and a
  // crash right after it leaves the new. A link stays a link: the file it points to is written,
  // created when there is none. Anything but a regular file at the end is left alone.
  virtual FileResult writeAtomically(const std::filesystem::path& path, std::string_view bytes) = 0;

  virtual FileContents readFile(const std::filesystem::path& path) = 0;
  // Absent when there is no file at the end of the path.
  virtual std::optional<FileIdentity> identity(const std::filesystem::path& path) = 0;

  // The file's bytes; absent when it is missing or unreadable.
  std::optional<std::string> read(const std::filesystem::path& path) {
    auto contents = readFile(path);
    if (contents.state != FileContents::State::read) return std::nullopt;
    return std::move(contents.bytes);
  }
};

// The machine's own file system.
Files& systemFiles();

// The file the running program was started from; empty when the system does not tell.
std::filesystem::path ownExecutable();

}  // namespace quorvix::platform
