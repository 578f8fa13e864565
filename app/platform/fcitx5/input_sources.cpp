#include "input_sources.h"

#include <fcitx-utils/standardpath.h>

#include <algorithm>
#include <array>
#include <set>
#include <string_view>
#include <system_error>

#include "controller_bus.h"
#include "ini_file.h"
#include "install_layout.h"
#include "quorvix_app/config_file.h"

namespace quorvix::platform::fcitx5 {
namespace {

namespace status = input_source_status;
using fcitx::dbus::DBusStruct;
using fcitx::dbus::Message;

constexpr std::string_view kAddonLibrary = "libquorvix-fcitx5.so";
// The description files registration copies, by the folder Fcitx5 looks for them in; the
// addon's comes first.
constexpr std::string_view kAddonFolder = "addon";
constexpr std::string_view kInputMethodFolder = "inputmethod";
constexpr std::array<std::string_view, 2> kDescriptionFolders{kAddonFolder, kInputMethodFolder};
constexpr std::string_view kDescriptionSuffix = ".conf";
constexpr std::string_view kSharedLibrarySuffix = ".so";
// What an addon's Library may start with, for Fcitx5 to load it with its symbols exported.
constexpr std::string_view kExportHint = "export:";

// An input method of a group, and the keyboard layout it uses ("" for the group's).
using GroupItems = std::vector<DBusStruct<std::string, std::string>>;
// Name, title, native name, icon, label, language, configurable.
using Entries = std::vector<
    DBusStruct<std::string, std::string, std::string, std::string, std::string, std::string, bool>>;

struct Group {
  std::string name;
  std::string layout;
  GroupItems items;

  bool holds(const std::string& inputMethod) const {
    return std::ranges::any_of(items,
                               [&](const auto& item) { return std::get<0>(item.data()) == inputMethod; });
  }
};

std::filesystem::path withoutSharedLibrarySuffix(const std::filesystem::path& library) {
  return library.parent_path() / library.stem();
}

std::filesystem::path fcitxUserData() {
  return fcitx::StandardPath::global().userDirectory(fcitx::StandardPath::Type::PkgData);
}

class Fcitx5InputSources final : public InputSources {
 public:
  explicit Fcitx5InputSources(RegistrationPaths paths) : paths_(std::move(paths)) {}

  std::optional<std::vector<InputSource>> list() override {
    Entries entries;
    if (!bus_.call("AvailableInputMethods", into(entries)).ok()) return describedInputMethods();
    std::string current;
    const bool currentKnown = bus_.call("CurrentInputMethod", into(current)).ok();
    Group group;
    const bool groupKnown = currentGroup(group).ok();
    std::vector<InputSource> sources;
    for (const auto& entry : entries) {
      const auto& name = std::get<0>(entry.data());
      InputSource source{name, std::nullopt, std::nullopt};
      if (groupKnown) source.enabled = group.holds(name);
      if (currentKnown) source.selected = current == name;
      sources.push_back(std::move(source));
    }
    return sources;
  }

  InputSourceStatus registerOwn() override {
    // The addon, its input method and their description files all bear the input method's name.
    const auto fileName = std::string(app::ConfigFile::bundleID) + std::string(kDescriptionSuffix);
    std::error_code error;
    if (!std::filesystem::exists(paths_.addonLibrary, error)) return notInstalled(paths_.addonLibrary);
    // Everything is read before anything is written, so that a missing file registers nothing.
    std::array<IniFile, kDescriptionFolders.size()> descriptions;
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
      const auto installed = paths_.installedData / kDescriptionFolders[i] / fileName;
      descriptions[i] = readIniFile(installed);
      if (descriptions[i].state == IniFile::State::missing) return notInstalled(installed);
      if (descriptions[i].state == IniFile::State::unreadable) {
        return {status::kNotInstalled,
                installed.string() + " cannot be read (" + descriptions[i].problem + ")"};
      }
    }
    // Fcitx5 loads a library named by an absolute path from there, and adds the suffix itself.
    descriptions[0].config.setValueByPath("Addon/Library",
                                          withoutSharedLibrarySuffix(paths_.addonLibrary).string());
    const auto userData = paths_.userData.empty() ? fcitxUserData() : paths_.userData;
    for (std::size_t i = 0; i < descriptions.size(); ++i) {
      const auto target = userData / kDescriptionFolders[i] / fileName;
      if (auto written = writeIniFile(descriptions[i].config, target); !written) {
        return {status::kWriteFailed, target.string() + " could not be written: " + written.problem};
      }
    }
    // A running Fcitx5 reads description files at start only, unless told to look again; one that
    // does not run finds them when it starts.
    bus_.call("Refresh", ignoreReply);
    return {};
  }

  InputSourceStatus unregisterOwn() override {
    const auto fileName = std::string(app::ConfigFile::bundleID) + std::string(kDescriptionSuffix);
    const auto userData = paths_.userData.empty() ? fcitxUserData() : paths_.userData;
    for (const auto folder : kDescriptionFolders) {
      const auto registered = userData / folder / fileName;
      if (std::error_code error; !std::filesystem::remove(registered, error) && error) {
        return {status::kWriteFailed, registered.string() + " could not be removed: " + error.message()};
      }
    }
    return {};
  }

  InputSourceStatus enable(const InputSource& source) override {
    const auto name = source.identifier.value_or("");
    Group group;
    if (auto outcome = currentGroup(group); !outcome.ok()) return outcome;
    if (group.holds(name)) return {};
    group.items.emplace_back(name, std::string());
    auto outcome = bus_.call("SetInputMethodGroupInfo", ignoreReply, group.name, group.layout, group.items);
    if (!outcome.ok()) return outcome;
    // Fcitx5 drops input methods it does not know without saying so.
    if (outcome = currentGroup(group); !outcome.ok()) return outcome;
    if (!group.holds(name))
      return {status::kRefused, "Fcitx5 did not keep " + name + " in the group " + group.name};
    return {};
  }

  std::optional<std::string> missingLibrary(const InputSource& source) override {
    const auto inputMethod = description(kInputMethodFolder, source.identifier.value_or(""));
    const auto* addonName = inputMethod.valueByPath("InputMethod/Addon");
    if (addonName == nullptr || addonName->empty()) return std::nullopt;
    const auto addon = description(kAddonFolder, *addonName);
    const auto* type = addon.valueByPath("Addon/Type");
    const auto* library = addon.valueByPath("Addon/Library");
    // Only a shared library is looked for; a static one is part of the program that runs Fcitx5.
    if (library == nullptr || library->empty() || (type != nullptr && *type != "SharedLibrary"))
      return std::nullopt;
    // As Fcitx5 looks for it: the name, less a loading hint, with the suffix, in its addon folders
    // or, when absolute, where it says.
    auto file = std::string_view(*library);
    if (file.starts_with(kExportHint)) file.remove_prefix(kExportHint.size());
    const auto name = std::string(file) + std::string(kSharedLibrarySuffix);
    if (!fcitx::StandardPath::global().locateAll(fcitx::StandardPath::Type::Addon, name).empty()) {
      return std::nullopt;
    }
    return name;
  }

  InputSourceStatus disable(const InputSource& source) override {
    const auto name = source.identifier.value_or("");
    std::vector<std::string> names;
    if (auto outcome = bus_.call("InputMethodGroups", into(names)); !outcome.ok()) return outcome;
    for (const auto& groupName : names) {
      Group group{groupName, {}, {}};
      if (auto outcome = bus_.call("InputMethodGroupInfo", into(group.layout, group.items), group.name);
          !outcome.ok()) {
        return outcome;
      }
      if (!group.holds(name)) continue;
      std::erase_if(group.items, [&](const auto& item) { return std::get<0>(item.data()) == name; });
      auto outcome = bus_.call("SetInputMethodGroupInfo", ignoreReply, group.name, group.layout, group.items);
      if (!outcome.ok()) return outcome;
      if (outcome = bus_.call("InputMethodGroupInfo", into(group.layout, group.items), group.name);
          !outcome.ok())
        return outcome;
      if (group.holds(name)) return {status::kRefused, "Fcitx5 kept " + name + " in the group " + group.name};
    }
    return {};
  }

  InputSourceStatus select(const InputSource& source) override {
    const auto name = source.identifier.value_or("");
    if (auto outcome = bus_.call("SetCurrentIM", ignoreReply, name); !outcome.ok()) return outcome;
    std::string current;
    if (auto outcome = bus_.call("CurrentInputMethod", into(current)); !outcome.ok()) return outcome;
    if (current == name) return {};
    return {status::kRefused,
            "Fcitx5 kept \"" + current + "\" as the current input method: " + name +
                " must be in the current group, and a text field must have had the keyboard"};
  }

 private:
  InputSourceStatus currentGroup(Group& group) {
    if (auto outcome = bus_.call("CurrentInputMethodGroup", into(group.name)); !outcome.ok()) return outcome;
    return bus_.call("InputMethodGroupInfo", into(group.layout, group.items), group.name);
  }

  // An input method's or addon's description, every copy in Fcitx5's data folders read as Fcitx5
  // reads them: the user's last, so that it has the last word.
  static fcitx::RawConfig description(std::string_view folder, const std::string& name) {
    auto copies = fcitx::StandardPath::global().locateAll(
        fcitx::StandardPath::Type::PkgData,
        std::string(folder) + "/" + name + std::string(kDescriptionSuffix));
    std::ranges::reverse(copies);
    return readIniFiles({copies.begin(), copies.end()});
  }

  static InputSourceStatus notInstalled(const std::filesystem::path& path) {
    return {status::kNotInstalled, path.string() + " is not installed beside this program"};
  }

  // The input methods Fcitx5 would find described when it starts, by name.
  static std::vector<InputSource> describedInputMethods() {
    std::set<std::string> names;
    fcitx::StandardPath::global().scanFiles(
        fcitx::StandardPath::Type::PkgData, "inputmethod",
        [&names](const std::string& file, const std::string&, bool) {
          if (file.ends_with(kDescriptionSuffix)) {
            names.insert(file.substr(0, file.size() - kDescriptionSuffix.size()));
          }
          return true;
        });
    std::vector<InputSource> sources;
    for (const auto& name : names) sources.push_back({name, std::nullopt, std::nullopt});
    return sources;
  }

  RegistrationPaths paths_;
  ControllerBus bus_;
};

}  // namespace

RegistrationPaths installedRegistrationPaths() {
  const auto folder = platform::ownExecutable().parent_path();
  return {
      (folder / kAddonFolderFromExecutable / kAddonLibrary).lexically_normal(),
      (folder / kDataFolderFromExecutable).lexically_normal(),
      {},
  };
}

std::unique_ptr<InputSources> makeInputSources(RegistrationPaths paths) {
  return std::make_unique<Fcitx5InputSources>(std::move(paths));
}

}  // namespace quorvix::platform::fcitx5
