// The machine's real file system with the user's configuration folder moved into a fresh
// temporary folder, removed again with the test.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/files.h"

namespace quorvix::app::testing {

class TempFiles : public platform::Files {
 public:
  TempFiles() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvix-test-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  ~TempFiles() override { std::filesystem::remove_all(root_); }

  const std::filesystem::path& root() const { return root_; }

  std::optional<std::filesystem::path> userConfigurationDirectory() override { return root_ / "config"; }
  bool createDirectories(const std::filesystem::path& d) override { return system().createDirectories(d); }
  bool exists(const std::filesystem::path& p) override { return system().exists(p); }
  bool remove(const std::filesystem::path& p) override { return system().remove(p); }
  bool copy(const std::filesystem::path& f, const std::filesystem::path& t) override {
    return system().copy(f, t);
  }
  bool writeAtomically(const std::filesystem::path& p, std::string_view b) override {
    return system().writeAtomically(p, b);
  }
  std::optional<std::string> read(const std::filesystem::path& p) override { return system().read(p); }
  std::optional<platform::FileDate> modificationDate(const std::filesystem::path& p) override {
    return system().modificationDate(p);
  }

 private:
  static platform::Files& system() { return platform::systemFiles(); }
  std::filesystem::path root_;
};

}  // namespace quorvix::app::testing
