// What the in-process Fcitx5 tests share: the running instance, the services the built-in addon
// was given (a clock the test moves, a record of started programs and beeps), and a fixture with
// a document context of the test's own.
#pragma once

#include <fcitx/inputcontextmanager.h>
#include <fcitx/instance.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "document_context.h"
#include "fake_platform.h"

namespace quorvix::platform::fcitx5::testing {

using Caps = fcitx::CapabilityFlags;
inline const Caps kFull{fcitx::CapabilityFlag::Preedit, fcitx::CapabilityFlag::SurroundingText};
inline const Caps kPreeditOnly{fcitx::CapabilityFlag::Preedit};
inline const Caps kSurroundingOnly{fcitx::CapabilityFlag::SurroundingText};

struct Watched {
  std::shared_ptr<app::testing::FakeClock> timers = std::make_shared<app::testing::FakeClock>();
  std::vector<std::vector<std::string>> started;
  int beeps = 0;
};

fcitx::Instance& instance();
Watched& watched();
// Whether the addon is built into the test, rather than the installed shared library.
bool addonBuiltIn();
// The temporary folder HOME and the XDG folders point into.
const std::filesystem::path& home();
// The text field Quorvix keeps for a context; only a built-in addon's is reached from here.
platform::TextInput* fieldOf(fcitx::InputContext& context);

inline std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { renew(); }
  void TearDown() override { delete doc; }
  void renew() {
    delete doc;
    doc = new DocumentContext(instance().inputContextManager(), "docapp");
  }
  // What the next key reads through the field is what the document holds, though the document
  // may not have told it yet.
  void expectFieldInStep(platform::TextInput& field) {
    if (doc->capabilityFlags().test(fcitx::CapabilityFlag::SurroundingText) && doc->tellsText) {
      EXPECT_EQ(readThrough(field), doc->selectionView());
    }
  }
  DocumentContext* doc = nullptr;
};

}  // namespace quorvix::platform::fcitx5::testing
