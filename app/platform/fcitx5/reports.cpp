#include "platform/fcitx5/reports.h"

#include <fcitx/addonmanager.h>

#include <notifications_public.h>

#include <string>

#include "platform/fcitx5/log.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5 {

namespace {

// As long as the desktop keeps its notifications: the user may read it later.
constexpr std::int32_t kUntilDismissed = 0;
constexpr std::string_view kIcon = "input-keyboard";

}  // namespace

void LogReports::tell(std::string_view, std::string_view details) { warn(details); }

void LogReports::trace(std::string_view line) { FCITX_LOGC(quorvixLog, Info) << line; }

void LogReports::warn(std::string_view line) { FCITX_LOGC(quorvixLog, Warn) << line; }

void LogReports::debug(std::string_view line) { FCITX_LOGC(quorvixLog, Debug) << line; }

void FcitxReports::tell(std::string_view title, std::string_view details) {
  LogReports::tell(title, details);
  auto* notifications = instance_.addonManager().addon("notifications", true);
  if (notifications == nullptr) return;
  shown_ = notifications->call<fcitx::INotifications::sendNotification>(
      std::string("Quorvix"), shown_, std::string(kIcon), std::string(title), std::string(details),
      std::vector<std::string>{}, kUntilDismissed, fcitx::NotificationActionCallback{},
      fcitx::NotificationClosedCallback{});
}

}  // namespace quorvix::platform::fcitx5
