#include "running_programs.h"

#include <set>
#include <string_view>

#include "controller_bus.h"
#include "quorvix_app/text_pieces.h"

namespace quorvix::platform::fcitx5 {
namespace {

// Fcitx5's debugging report names each input context's program on a line of its own:
// "  IC [<uuid>] program:<name> frontend:<name> focus:<0 or 1>".
constexpr std::string_view kProgramField = "] program:";
constexpr std::string_view kNextField = " frontend:";

std::set<std::string> programsIn(std::string_view report) {
  std::set<std::string> programs;
  for (const auto line : app::pieces(report, "\n")) {
    const auto field = line.find(kProgramField);
    if (field == std::string_view::npos) continue;
    const auto start = field + kProgramField.size();
    const auto program = line.substr(start, line.find(kNextField, start) - start);
    if (!program.empty()) programs.emplace(program);
  }
  return programs;
}

// Fcitx5 knows an application by its program name only, which is also what the excluded list
// is matched against; it stands for both the name and the identifier.
class InputContextPrograms final : public RunningApplications {
 public:
  std::vector<RunningApplication> regularApplications() override {
    std::string report;
    if (!bus_.call("DebugInfo", into(report)).ok()) return {};
    std::vector<RunningApplication> applications;
    for (const auto& program : programsIn(report)) applications.push_back({program, program});
    return applications;
  }

 private:
  ControllerBus bus_;
};

}  // namespace

std::unique_ptr<RunningApplications> makeRunningApplications() {
  return std::make_unique<InputContextPrograms>();
}

}  // namespace quorvix::platform::fcitx5
