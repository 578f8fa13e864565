// The input method's reports over Fcitx5: a line in the addon's own log category for each, and
// in a running Fcitx5, for what the user is told, a desktop notification through Fcitx5's
// notifications addon when Fcitx5 has it.
#pragma once

#include <fcitx/instance.h>

#include <cstdint>

#include "platform/reports.h"

namespace quorvix::platform::fcitx5 {

// The log alone, for a process that has no Fcitx5 running in it: what the user would be told is
// a warning.
class LogReports : public platform::Reports {
 public:
  void tell(std::string_view title, std::string_view details) override;
  void trace(std::string_view line) override;
  void warn(std::string_view line) override;
  void debug(std::string_view line) override;
};

class FcitxReports final : public LogReports {
 public:
  explicit FcitxReports(fcitx::Instance& instance) : instance_(instance) {}

  void tell(std::string_view title, std::string_view details) override;

 private:
  fcitx::Instance& instance_;
  // The notification last shown, which the next one takes the place of rather than piling up.
  std::uint32_t shown_ = 0;
};

}  // namespace quorvix::platform::fcitx5
