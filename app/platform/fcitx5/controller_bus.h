// Calls of the running Fcitx5's D-Bus controller. A Fcitx5 that is not running is never started
// by a call: the session bus could otherwise activate it.
#pragma once

#include <fcitx-utils/dbus/bus.h>
#include <fcitx-utils/dbus/message.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/input_sources.h"

namespace quorvix::platform::fcitx5 {

class ControllerBus {
 public:
  // Reads the reply into the caller's variables; false when it does not hold what was expected.
  using Reader = std::function<bool(fcitx::dbus::Message&)>;

  ControllerBus();
  ~ControllerBus();

  // Calls `method` with `arguments`; the status, with the reply read by `read` on success. The
  // bus is joined on the first call.
  template <class... Arguments>
  InputSourceStatus call(const char* method, const Reader& read, const Arguments&... arguments) {
    if (!connect()) return {input_source_status::kUnreachable, unreachable_};
    auto message = bus_->createMethodCall(kService, kPath, kInterface, method);
    ((message << arguments), ...);
    return finish(method, message, read);
  }

 private:
  static constexpr const char* kService = "org.fcitx.Fcitx5";
  static constexpr const char* kPath = "/controller";
  static constexpr const char* kInterface = "org.fcitx.Fcitx.Controller1";

  bool connect();
  InputSourceStatus finish(const char* method, fcitx::dbus::Message& message, const Reader& read);

  bool tried_ = false;
  std::unique_ptr<fcitx::dbus::Bus> bus_;
  std::string unreachable_;
};

// A reader that takes the reply's values in order.
template <class... Values>
ControllerBus::Reader into(Values&... values) {
  return [&values...](fcitx::dbus::Message& reply) {
    ((reply >> values), ...);
    return static_cast<bool>(reply);
  };
}

inline bool ignoreReply(fcitx::dbus::Message&) { return true; }

}  // namespace quorvix::platform::fcitx5
