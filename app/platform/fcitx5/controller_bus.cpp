#include "controller_bus.h"

#include <exception>

namespace quorvix::platform::fcitx5 {
namespace {

// Long enough for a busy Fcitx5, short enough for a person waiting at a terminal.
constexpr std::uint64_t kTimeoutMicroseconds = 3'000'000;

}  // namespace

ControllerBus::ControllerBus() = default;
ControllerBus::~ControllerBus() = default;

bool ControllerBus::connect() {
  if (tried_) return bus_ != nullptr;
  tried_ = true;
  try {
    auto bus = std::make_unique<fcitx::dbus::Bus>(fcitx::dbus::BusType::Session);
    // Asking for the owner activates nothing, unlike a call to the name itself.
    if (bus->serviceOwner(kService, kTimeoutMicroseconds).empty()) {
      unreachable_ = std::string("Fcitx5 is not running (nobody owns ") + kService + " on the session bus)";
      return false;
    }
    bus_ = std::move(bus);
  } catch (const std::exception& error) {
    unreachable_ = std::string("Fcitx5 cannot be reached: no D-Bus session bus (") + error.what() + ")";
  }
  return bus_ != nullptr;
}

InputSourceStatus ControllerBus::finish(const char* method, fcitx::dbus::Message& message,
                                        const Reader& read) {
  auto reply = message.call(kTimeoutMicroseconds);
  if (reply.isError()) {
    return {input_source_status::kRefused,
            std::string(method) + ": " + reply.errorName() + ": " + reply.errorMessage()};
  }
  if (!reply || !read(reply)) {
    return {input_source_status::kRefused, std::string(method) + ": Fcitx5 gave no usable reply"};
  }
  return {};
}

}  // namespace quorvix::platform::fcitx5
