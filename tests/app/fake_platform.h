// The desktop around the input controller, played by the test: a workspace that records what it
// was asked, a clipboard, the clipboard conversions it was asked to start, the reports it was
// given, and timers that fire when the test lets time pass.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/clipboard.h"
#include "platform/reports.h"
#include "platform/timers.h"
#include "platform/workspace.h"

namespace quorvix::app::testing {

struct FakeWorkspace : platform::Workspace {
  std::optional<std::string> frontmost;
  bool secure = false;
  std::vector<std::string> requests;  // what it was asked to do, in order

  std::optional<std::string_view> frontmostApplicationID() override { return frontmost; }
  bool isSecureEventInputEnabled() override { return secure; }
  void openFile(const std::filesystem::path& path) override { requests.push_back("open " + path.string()); }
  void openInputSourceSettings() override { requests.push_back("input sources"); }
  void showPreferences() override { requests.push_back("preferences"); }
  void beep() override { requests.push_back("beep"); }
};

struct FakeClipboard : platform::Clipboard {
  std::optional<std::string> text;
  std::optional<std::string> string() override { return text; }
  void setString(const std::string& value) override { text = value; }
};

struct FakeClipboardConversions : platform::ClipboardConversions {
  std::vector<std::pair<std::string, std::string>> started;  // op and charset of each
  void start(const std::string& op, const std::string& charset) override {
    started.emplace_back(op, charset);
  }
};

// What the user was told ("title | details") and what was only traced, in order.
struct RecordedReports : platform::Reports {
  std::vector<std::string> told, traced, warned, debugged;
  void tell(std::string_view title, std::string_view details) override {
    told.push_back(std::string(title) + " | " + std::string(details));
  }
  void trace(std::string_view line) override { traced.emplace_back(line); }
  void warn(std::string_view line) override { warned.emplace_back(line); }
  void debug(std::string_view line) override { debugged.emplace_back(line); }
};

// Each timer fires once for every whole interval that passes while it lives.
struct FakeClock : platform::Timers {
  struct Repeating {
    std::chrono::milliseconds interval, elapsed;
    std::function<void()> tick;
  };
  struct Handle : platform::Timer {
    std::shared_ptr<Repeating> timer;
  };
  std::vector<std::weak_ptr<Repeating>> timers;

  std::unique_ptr<platform::Timer> scheduleRepeating(std::chrono::milliseconds every,
                                                     std::function<void()> tick) override {
    auto handle = std::make_unique<Handle>();
    handle->timer = std::make_shared<Repeating>(every, std::chrono::milliseconds(0), std::move(tick));
    timers.push_back(handle->timer);
    return handle;
  }
  void advance(std::chrono::milliseconds by) {
    for (const auto& weak : std::vector(timers)) {
      if (auto t = weak.lock()) {
        for (t->elapsed += by; t->elapsed >= t->interval; t->elapsed -= t->interval) t->tick();
      }
    }
  }
};

}  // namespace quorvix::app::testing
