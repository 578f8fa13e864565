// What a user's folder may hold where the application expects a regular file, written and read
// back in one notation, and a way to make a file unreadable even for a test that runs as root.
//
// The notation of `place` and `onDisk`:
//   "<none>"         nothing at the path
//   "<folder>"       a folder
//   "<named pipe>"   a FIFO
//   "-> target"      a symbolic link to target, which need not exist
//   anything else    a regular file holding exactly these bytes
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quorvix::odd_files {

namespace fs = std::filesystem;

inline constexpr std::string_view kNone = "<none>";
inline constexpr std::string_view kFolder = "<folder>";
inline constexpr std::string_view kNamedPipe = "<named pipe>";
inline constexpr std::string_view kLinkPrefix = "-> ";

// Replaces whatever is at `path` with what `spec` describes, creating the folders above it.
inline void place(const fs::path& path, std::string_view spec) {
  fs::create_directories(path.parent_path());
  std::error_code ignored;
  fs::remove_all(path, ignored);
  if (spec == kNone) return;
  if (spec == kFolder) {
    fs::create_directories(path);
  } else if (spec == kNamedPipe) {
    ::mkfifo(path.c_str(), 0644);
  } else if (spec.starts_with(kLinkPrefix)) {
    fs::create_symlink(fs::path(spec.substr(kLinkPrefix.size())), path);
  } else {
    std::ofstream(path, std::ios::binary) << spec;
  }
}

// What is at `path`, in the notation above; never opens anything but a regular file, so that a
// named pipe cannot make the test wait. A file the test's user may not read is read all the same.
inline std::string onDisk(const fs::path& path) {
  std::error_code error;
  const auto status = fs::symlink_status(path, error);
  if (!fs::exists(status)) return std::string(kNone);
  if (fs::is_symlink(status)) return std::string(kLinkPrefix) + fs::read_symlink(path).string();
  if (fs::is_directory(status)) return std::string(kFolder);
  if (fs::is_fifo(status)) return std::string(kNamedPipe);
  const auto mode = status.permissions();
  fs::permissions(path, fs::perms::owner_read, fs::perm_options::add, error);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  fs::permissions(path, mode, fs::perm_options::replace, error);
  return bytes.str();
}

// File modes bind every user but root. A test that runs as root runs its unreadable-file cases
// as "nobody", with the folder they work in handed over to it.
class Unprivileged {
 public:
  // Without an `unreadable` file, code runs as the test's own user. With one, the file (below
  // `tree`) loses every permission, and code runs as a user who therefore cannot read it.
  Unprivileged(const fs::path& tree, std::string_view unreadable) {
    if (unreadable.empty()) return;
    const auto file = tree / unreadable;
    ::chmod(file.c_str(), 0);
    if (::geteuid() == 0) handOver(tree);
    bool readable = false;
    run([&] {
      const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      readable = fd >= 0;
      if (fd >= 0) ::close(fd);
    });
    if (unavailable_.empty() && readable) {
      unavailable_ =
          "the test's user reads " + file.string() + " whatever its mode (it has CAP_DAC_OVERRIDE)";
    }
  }

  // Empty when code runs as described above; else why not, for the message of a skipped test.
  const std::string& unavailable() const { return unavailable_; }
  bool switchesUser() const { return uid_ != 0; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

  // Runs `action` as that user; not at all when the process cannot become it.
  void run(const std::function<void()>& action) {
    if (!switchesUser()) {
      action();
      return;
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    ::getgroups(static_cast<int>(groups.size()), groups.data());
    if (::setgroups(0, nullptr) != 0 || ::setegid(gid_) != 0 || ::seteuid(uid_) != 0) {
      const int error = errno;
      restore(groups);
      unavailable_ =
          "the test runs as root, which reads every file whatever its mode, and cannot become "
          "\"nobody\" to run as a user who does not: " +
          std::generic_category().message(error);
      return;
    }
    action();
    restore(groups);
  }

 private:
  void handOver(const fs::path& tree) {
    const passwd* user = ::getpwnam("nobody");
    const group* group = ::getgrnam("nogroup");
    uid_ = user ? user->pw_uid : 65534;
    gid_ = group ? group->gr_gid : (user ? user->pw_gid : 65534);
    ::lchown(tree.c_str(), uid_, gid_);
    for (const auto& entry : fs::recursive_directory_iterator(tree))
      ::lchown(entry.path().c_str(), uid_, gid_);
  }

  static void restore(const std::vector<gid_t>& groups) {
    ::seteuid(0);
    ::setegid(0);
    ::setgroups(groups.size(), groups.data());
    // Changing users made the process undumpable, which would keep the leak checker's tracer out.
    ::prctl(PR_SET_DUMPABLE, 1);
  }

  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::string unavailable_;
};

}  // namespace quorvix::odd_files
