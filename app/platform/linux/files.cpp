// The file system as the configuration file store needs it, over POSIX calls: saves go through a
// temporary file in the same folder that is flushed and renamed over the target, so a reader or
// a crash never sees half a file.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace quorvix::platform {

namespace {

namespace fs = std::filesystem;

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

class SystemFiles final : public Files {
 public:
  std::optional<fs::path> userConfigurationDirectory() override {
    if (auto config = environmentPath("XDG_CONFIG_HOME")) return config;
    if (auto home = environmentPath("HOME")) return *home / ".config";
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
      return fs::path(user->pw_dir) / ".config";
    }
    return std::nullopt;
  }

  bool createDirectories(const fs::path& directory) override {
    std::error_code error;
    fs::create_directories(directory, error);
    return fs::is_directory(directory, error);
  }

  bool exists(const fs::path& path) override {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
  }

  bool remove(const fs::path& path) override {
    std::error_code error;
    fs::remove(path, error);
    return !error;
  }

  bool copy(const fs::path& from, const fs::path& to) override {
    std::error_code error;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    return !error;
  }

  bool writeAtomically(const fs::path& path, std::string_view bytes) override {
    // A link (kept by a dotfiles manager, say) stays a link: the file it points to is replaced.
    std::error_code error;
    const bool link = fs::is_symlink(fs::symlink_status(path, error));
    const fs::path target = link ? fs::weakly_canonical(path, error) : path;
    if (link && error) return false;
    // A new file gets the permissions an ordinary new file would get; a replaced one keeps its own.
    std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    struct stat existing {};
    const mode_t mode =
        ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~currentUmask());
    const bool written = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
    return true;
  }

  std::optional<std::string> read(const fs::path& path) override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
      text.emplace();
      char buffer[16384];
      for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0) break;
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
          text.reset();
          break;
        }
        text->append(buffer, static_cast<std::size_t>(count));
      }
    }
    ::close(fd);
    return text;
  }

  std::optional<FileDate> modificationDate(const fs::path& path) override {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileDate{std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec, info.st_ino,
                    static_cast<std::uint64_t>(info.st_size)};
  }
};

}  // namespace

Files& systemFiles() {
  static SystemFiles files;
  return files;
}

}  // namespace quorvix::platform
