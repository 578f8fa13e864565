#include "quorvix_app/process_entry.h"

#include <algorithm>
#include <set>

#include "quorvix_app/config_file.h"
#include "quorvix_app/config_watcher.h"
#include "quorvix_app/engine_bridge.h"
#include "quorvix_app/input_menu.h"

namespace quorvix::app {
namespace {

namespace status = platform::input_source_status;

constexpr std::string_view kPreferences = "--preferences";
constexpr std::string_view kStatus = "--status";
constexpr std::string_view kRegister = "--register-input-source";
constexpr std::string_view kEnable = "--enable-input-source";
constexpr std::string_view kRepair = "--repair-input-source";
constexpr std::string_view kSelect = "--select-input-source";
constexpr std::string_view kRemove = "--remove-input-source";

// The stored list the repair falls back on, as the status line names it.
constexpr std::string_view kPreferenceLine = "prefs fcitx5 profile: ";

std::string_view text(bool value) { return value ? "true" : "false"; }

bool contains(const std::vector<std::string>& list, std::string_view item) {
  return std::ranges::find(list, item) != list.end();
}

// Prints one step's line and, when it failed, why; remembers whether every step succeeded.
class StepReport {
 public:
  explicit StepReport(ProcessServices& services) : services_(services) {}

  void print(std::string_view line, std::string_view result, const platform::InputSourceStatus& outcome) {
    services_.out << line << result << '\n';
    if (outcome.ok()) return;
    succeeded_ = false;
    services_.err << "quorvix: " << line << outcome.reason << '\n';
  }
  void print(std::string_view line, const platform::InputSourceStatus& outcome) {
    print(line, std::to_string(outcome.code), outcome);
  }
  int exitStatus() const { return succeeded_ ? 0 : 1; }

 private:
  ProcessServices& services_;
  bool succeeded_ = true;
};

// The clipboard's text converted as the operands ask, by the process the input menu starts.
int transformClipboardProcess(const std::vector<std::string>& operands, ProcessServices& services) {
  const auto operand = [&](std::size_t index) { return index < operands.size() ? operands[index] : ""; };
  const ClipboardConversion conversion{operand(0), operand(1)};
  const auto failed = [&](const std::string& why) {
    if (services.reports) {
      services.reports->warn("The clipboard conversion failed: " + why);
    } else {
      services.err << "quorvix: " << why << '\n';
    }
  };
  return services.runClipboard([&](platform::Clipboard& clipboard) {
    EngineSession session(ConfigFile(services.files).load());
    const auto outcome = transformClipboard(conversion, clipboard, &session);
    if (outcome == ClipboardOutcome::noText) {
      failed("the clipboard holds no text; it was left as it was");
    } else if (outcome == ClipboardOutcome::notConverted) {
      failed("the clipboard's text cannot be converted by \"" + conversion.op + "\" \"" + conversion.charset +
             "\"; it was left as it was");
    }
    return outcome == ClipboardOutcome::converted;
  });
}

}  // namespace

std::vector<platform::InputSource> quorvixSources(platform::InputSources& sources) {
  auto own = sources.list().value_or(std::vector<platform::InputSource>{});
  std::erase_if(own, [](const platform::InputSource& source) {
    return !source.identifier.value_or("").starts_with(inputSourcePrefix);
  });
  return own;
}

std::string sourceID(const platform::InputSource& source) { return source.identifier.value_or("?"); }

void printStatus(ProcessServices& services) {
  const auto own = quorvixSources(services.inputSources);
  for (const auto& source : own) {
    services.out << sourceID(source) << ": enabled=" << text(source.enabled.value_or(false))
                 << " selected=" << text(source.selected.value_or(false));
    if (const auto missing = services.inputSources.missingLibrary(source)) {
      services.out << ", addon library missing: " << *missing;
    }
    services.out << '\n';
  }
  if (own.empty()) services.out << "Quorvix: chưa đăng ký input source\n";
  services.out << kPreferenceLine << text(InputSourceRegistrar::isEnabled(services.enabledInputMethods))
               << '\n';
  const ConfigFile file(services.files);
  auto contents = file.loadContents();
  services.out << "output_mode: " << ConfigFile::outputModeOf(contents.dictionary) << '\n';
  // What the input method makes of the file, as a reading of it does there.
  const ConfigSnapshot reading(std::move(contents), std::nullopt, nullptr);
  if (const auto& problem = reading.problem())
    services.out << "config: " << describe(*problem, file.path()) << '\n';
}

bool InputSourceRegistrar::isEnabled(platform::EnabledInputMethodsPreference& preference) {
  return contains(preference.stored().names, ConfigFile::bundleID);
}

platform::InputSourceStatus InputSourceRegistrar::ensureEnabled(
    platform::EnabledInputMethodsPreference& preference) {
  const auto stored = preference.stored();
  // Starting afresh from a list that cannot be read would drop every other input method the
  // user enabled.
  if (!stored.readable()) return {status::kRefused, stored.problem + "; it was left as it is"};
  if (contains(stored.names, ConfigFile::bundleID)) return {};
  return preference.append(ConfigFile::bundleID);
}

platform::InputSourceStatus InputSourceRegistrar::ensureRemoved(
    platform::EnabledInputMethodsPreference& preference) {
  const auto stored = preference.stored();
  if (!stored.readable()) return {status::kRefused, stored.problem + "; it was left as it is"};
  std::set<std::string_view> own;
  for (const auto& name : stored.names) {
    if (name.starts_with(inputSourcePrefix)) own.insert(name);
  }
  for (const auto name : own) {
    if (auto outcome = preference.remove(name); !outcome.ok()) return outcome;
  }
  return {};
}

std::optional<int> maintenance(const std::vector<std::string>& arguments, ProcessServices& services) {
  const auto given = [&](std::string_view option) { return contains(arguments, option); };
  if (given(kPreferences)) return services.runPreferences();

  const bool status = given(kStatus);
  const bool repair = given(kRepair);
  const bool registering = repair || given(kRegister);
  const bool enabling = repair || given(kEnable);
  const bool selecting = given(kSelect);
  const bool removing = given(kRemove);
  if (!status && !registering && !enabling && !selecting && !removing) return std::nullopt;

  StepReport report(services);
  if (status) printStatus(services);
  if (registering) report.print("register status: ", services.inputSources.registerOwn());
  if (enabling) {
    for (const auto& source : quorvixSources(services.inputSources)) {
      if (source.enabled.value_or(false)) continue;
      report.print("enable " + sourceID(source) + ": ", services.inputSources.enable(source));
    }
  }
  if (repair) {
    const auto outcome = InputSourceRegistrar::ensureEnabled(services.enabledInputMethods);
    report.print("prefs fallback: ", text(outcome.ok()), outcome);
  }
  if (selecting) {
    for (const auto& source : quorvixSources(services.inputSources)) {
      report.print("select " + sourceID(source) + ": ", services.inputSources.select(source));
    }
  }
  if (removing) {
    // Out of the running framework's groups first (a framework that does not run tells no state),
    // then out of the stored list it starts with, then unknown to it.
    for (const auto& source : quorvixSources(services.inputSources)) {
      if (source.enabled)
        report.print("disable " + sourceID(source) + ": ", services.inputSources.disable(source));
    }
    const auto outcome = InputSourceRegistrar::ensureRemoved(services.enabledInputMethods);
    report.print("prefs removed: ", text(outcome.ok()), outcome);
    report.print("unregister status: ", services.inputSources.unregisterOwn());
  }
  return report.exitStatus();
}

int processMain(const std::vector<std::string>& arguments, ProcessServices& services) {
  const auto configuration = ConfigFile(services.files).ensureExists();
  // Nothing of Fcitx5's can be found without the home folder, and the configuration file only
  // where XDG_CONFIG_HOME names its folder: one line says why, rather than an abort in Fcitx5.
  if (const auto home = services.files.homeFolderProblem(); !home.empty()) {
    services.err << "quorvix: " << home
                 << ": Fcitx5 and Quorvix find their folders under the home folder; set HOME to it and run "
                    "quorvix again\n";
    return 1;
  }
  if (!configuration) services.err << "quorvix: " << configuration.problem << '\n';
  if (!arguments.empty() && arguments.front() == transformClipboardOption) {
    return transformClipboardProcess({arguments.begin() + 1, arguments.end()}, services);
  }
  if (const auto exitStatus = maintenance(arguments, services)) {
    return configuration ? *exitStatus : std::max(*exitStatus, 1);
  }
  return services.runServer();
}

}  // namespace quorvix::app
