// The file system as the configuration file store needs it, over POSIX calls: saves go through a
// temporary file in the same folder that is flushed and renamed over the target, and the folder
// is flushed after the rename, so a reader or a crash never sees half a file or none. Reads look
// at the kind of file before opening it, so that a named pipe never makes them wait.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

#include "platform/files.h"

namespace quorvix::platform {

namespace {

namespace fs = std::filesystem;

// As many links in a row as the kernel follows before it gives up.
constexpr int kMaxLinks = 40;

struct KindName {
  mode_t type;
  std::string_view name;
};
constexpr std::array<KindName, 5> kKindNames{{
    {S_IFDIR, "a folder"},
    {S_IFIFO, "a named pipe"},
    {S_IFSOCK, "a socket"},
    {S_IFCHR, "a character device"},
    {S_IFBLK, "a block device"},
}};

std::string notRegular(mode_t mode) {
  for (const auto& [type, name] : kKindNames) {
    if ((mode & S_IFMT) == type) return std::string(name) + ", not a regular file";
  }
  return "not a regular file";
}

std::string errorText(int error) { return std::generic_category().message(error); }

std::optional<fs::path> environmentPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  fs::path path(value);
  return path.is_absolute() ? std::optional(path) : std::nullopt;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Read without changing it, which umask(2) cannot do.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

// The path a write lands on: the end of the chain of links starting at `path`, which need not
// exist. A relative link is taken from the link's own folder, as the kernel does.
std::optional<fs::path> endOfLinks(fs::path path, std::string& problem) {
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
    auto next = fs::read_symlink(path, error);
    if (error) {
      problem = error.message();
      return std::nullopt;
    }
    path = next.is_absolute() ? std::move(next) : path.parent_path() / next;
  }
  problem = errorText(ELOOP);
  return std::nullopt;
}

// A rename reaches the disk only with the folder that holds the name: until the folder is
// flushed, a power cut can leave the old name, the new one, or neither. 0 or the error.
int syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // A file system that cannot flush a folder says so; it keeps its names by other means.
  return error == EINVAL ? 0 : error;
}

class SystemFiles final : public Files {
 public:
  // Without $HOME the home folder is unknown, as it is to Fcitx5: the password database's idea of
  // it would put the file where no other program of the session looks.
  std::optional<fs::path> userConfigurationDirectory() override {
    if (auto config = environmentPath("XDG_CONFIG_HOME")) return config;
    if (auto home = environmentPath("HOME")) return *home / ".config";
    return std::nullopt;
  }

  std::string homeFolderProblem() override {
    const char* home = std::getenv("HOME");
    if (home == nullptr) return "HOME is not set";
    if (*home == '\0') return "HOME is empty";
    if (!environmentPath("HOME")) return "HOME is not an absolute path";
    return {};
  }

  FileResult createDirectories(const fs::path& directory) override {
    std::error_code error;
    fs::create_directories(directory, error);
    if (std::error_code ignored; fs::is_directory(directory, ignored)) return {};
    return FileResult::failed(error ? error.message() : "a file of that name is in the way");
  }

  bool exists(const fs::path& path) override {
    std::error_code error;
    return fs::exists(fs::status(path, error));
  }

  FileResult writeAtomically(const fs::path& path, std::string_view bytes) override {
    std::string problem;
    const auto target = endOfLinks(path, problem);
    if (!target) return FileResult::failed(problem);
    const auto failure = [&](const std::string& why) {
      return FileResult::failed(*target == path ? why : "its link's target " + target->string() + ": " + why);
    };
    struct stat existing {};
    const bool replacing = ::lstat(target->c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) return failure(notRegular(existing.st_mode));
    // A new file gets the permissions an ordinary new file would get; a replaced one keeps its own.
    const mode_t mode = replacing ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    const auto folder = target->parent_path();
    std::string temporary = (folder / ("." + target->filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return failure(errorText(errno));
    const bool written = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int error = written ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), target->c_str()) != 0) error = errno;
    if (error != 0) {
      ::unlink(temporary.c_str());
      return failure(errorText(error));
    }
    if (const int unsynced = syncFolder(folder); unsynced != 0) {
      return failure("written, but its folder could not be flushed to disk: " + errorText(unsynced));
    }
    return {};
  }

  FileContents readFile(const fs::path& path) override {
    FileContents contents;
    const auto unreadable = [&contents](std::string why) {
      contents.state = FileContents::State::unreadable;
      contents.problem = std::move(why);
      return contents;
    };
    // Only a regular file is opened: opening a named pipe waits for a writer, and opening a
    // device may do anything.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      if (errno == ENOENT) return contents;
      return unreadable(errorText(errno));
    }
    if (!S_ISREG(info.st_mode)) return unreadable(notRegular(info.st_mode));
    // Non-blocking all the same, should a pipe have taken the file's place since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return unreadable(errorText(errno));
    int error = ::fstat(fd, &info) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(info.st_mode)) {
      ::close(fd);
      return unreadable(notRegular(info.st_mode));
    }
    char buffer[16384];
    while (error == 0) {
      const ssize_t count = ::read(fd, buffer, sizeof buffer);
      if (count == 0) break;
      if (count > 0) {
        contents.bytes.append(buffer, static_cast<std::size_t>(count));
      } else if (errno != EINTR) {
        error = errno;
      }
    }
    ::close(fd);
    if (error != 0) return unreadable(errorText(error));
    contents.state = FileContents::State::read;
    return contents;
  }

  std::optional<FileIdentity> identity(const fs::path& path) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec, info.st_ino,
                        static_cast<std::uint64_t>(info.st_size)};
  }
};

}  // namespace

Files& systemFiles() {
  static SystemFiles files;
  return files;
}

fs::path ownExecutable() {
  std::error_code error;
  auto path = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : path;
}

}  // namespace quorvix::platform
