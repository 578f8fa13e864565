// The machine's real file system with the user's configuration folder moved into a fresh
// temporary folder, removed again with the test.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

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
  // What a user does to the file outside the application.
  bool remove(const std::filesystem::path& p) {
    std::error_code error;
    return std::filesystem::remove(p, error);
  }

  std::optional<std::filesystem::path> userConfigurationDirectory() override { return root_ / "config"; }
  std::string homeFolderProblem() override { return {}; }
  platform::FileResult createDirectories(const std::filesystem::path& d) override {
    return system().createDirectories(d);
  }
  bool exists(const std::filesystem::path& p) override { return system().exists(p); }
  platform::FileResult writeAtomically(const std::filesystem::path& p, std::string_view b) override {
    return system().writeAtomically(p, b);
  }
  platform::FileContents readFile(const std::filesystem::path& p) override { return system().readFile(p); }
  std::optional<platform::FileIdentity> identity(const std::filesystem::path& p) override {
    return system().identity(p);
  }

 private:
  static platform::Files& system() { return platform::systemFiles(); }
  std::filesystem::path root_;
};

}  // namespace quorvix::app::testing
