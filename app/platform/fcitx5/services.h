// The platform services over Fcitx5 that each input controller is given: timers on the instance's
// event loop, the desktop around an input context, and the processes that convert the clipboard;
// and what the addon takes from its host to make them.
#pragma once

#include <fcitx/addoninstance.h>
#include <fcitx/inputcontext.h>
#include <fcitx/instance.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/files.h"
#include "platform/timers.h"
#include "platform/workspace.h"

namespace quorvix::platform::fcitx5 {

// Repeating timers on an Fcitx5 event loop.
class EventLoopTimers final : public platform::Timers {
 public:
  explicit EventLoopTimers(fcitx::EventLoop& loop) : loop_(loop) {}
  std::unique_ptr<platform::Timer> scheduleRepeating(std::chrono::milliseconds interval,
                                                     std::function<void()> tick) override;

 private:
  fcitx::EventLoop& loop_;
};

// Starts a program with its arguments, detached; the outcome is not reported.
using ProcessStarter = std::function<void(const std::vector<std::string>& arguments)>;
// The failure signal, given where it happened.
using Beeper = std::function<void(fcitx::InputContext& context)>;

// The input menu's clipboard conversions, each in a quorvix process of its own.
class ClipboardProcesses final : public platform::ClipboardConversions {
 public:
  explicit ClipboardProcesses(ProcessStarter start) : start_(std::move(start)) {}
  void start(const std::string& op, const std::string& charset) override;

 private:
  ProcessStarter start_;
};

// The desktop around one input context.
class FcitxWorkspace final : public platform::Workspace {
 public:
  FcitxWorkspace(fcitx::InputContext& context, ProcessStarter start, Beeper beep)
      : context_(context.watch()), start_(std::move(start)), beep_(std::move(beep)) {}
  std::optional<std::string_view> frontmostApplicationID() override;
  bool isSecureEventInputEnabled() override;
  void openFile(const std::filesystem::path& path) override;
  void openInputSourceSettings() override;
  void showPreferences() override;
  void beep() override;

 private:
  fcitx::TrackableObjectReference<fcitx::InputContext> context_;
  ProcessStarter start_;
  Beeper beep_;
};

// What the addon takes from its host; each one left empty is the real thing: the instance's
// event loop, the machine's files, fcitx::startProcess, the X bell of the context's display.
struct AddonServices {
  std::shared_ptr<platform::Timers> timers;
  platform::Files* files = nullptr;
  ProcessStarter startProcess;
  Beeper beep;
};

// The services left empty, filled with the real ones: the failure signal with `bell`.
AddonServices completeServices(AddonServices services, fcitx::Instance& instance, Beeper bell);

// The X server's bell, on the display the context's application runs on, through Fcitx5's xcb
// module (`xcb`, absent when it is not loaded).
void ringXBell(fcitx::AddonInstance* xcb, fcitx::InputContext& context);

// The key as the application read it. Fcitx5's XIM frontend reads the key symbol of a key code
// with the X server's modifiers at the time it gets the key, not with those of the key's own
// event, which the application sent along: keys come to it late, so a letter typed with Shift may
// read as lower case and the next one as upper case. The symbol is read again with the event's
// modifiers and layout group; keys of other frontends are taken as they are.
fcitx::Key keyAsTyped(fcitx::AddonInstance* xcb, const fcitx::InputContext& context, const fcitx::Key& key);

}  // namespace quorvix::platform::fcitx5
