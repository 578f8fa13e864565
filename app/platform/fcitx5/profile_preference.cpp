#include "profile_preference.h"

#include <fcitx-utils/standardpath.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "ini_file.h"

namespace quorvix::platform::fcitx5 {
namespace {

// A profile Fcitx5 would build for a US keyboard, which the new entry then joins; its group
// becomes the new entry's default.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kFreshProfile{{
    {"Groups/0/Name", "Default"},
    {"Groups/0/Default Layout", "us"},
    {"Groups/0/Items/0/Name", "keyboard-us"},
    {"Groups/0/Items/0/Layout", ""},
    {"GroupOrder/0", "Default"},
}};

// Whether the entries below `list` are exactly "0" to "n-1", as Fcitx5 writes its lists.
bool isNumberedList(const fcitx::RawConfig& list) {
  const auto size = list.subItemsSize();
  for (std::size_t i = 0; i < size; ++i) {
    if (!list.get(std::to_string(i))) return false;
  }
  return true;
}

// The names of the items of every group, in order; absent when the profile is not made of
// numbered groups of numbered named items.
std::optional<std::vector<std::string>> itemNames(const fcitx::RawConfig& profile) {
  std::vector<std::string> names;
  const auto groups = profile.get("Groups");
  if (!groups || !isNumberedList(*groups)) return std::nullopt;
  for (std::size_t g = 0; g < groups->subItemsSize(); ++g) {
    const auto group = groups->get(std::to_string(g));
    if (!group->valueByPath("Name")) return std::nullopt;
    const auto items = group->get("Items");
    if (!items) continue;
    if (!isNumberedList(*items)) return std::nullopt;
    for (std::size_t i = 0; i < items->subItemsSize(); ++i) {
      const auto* name = items->get(std::to_string(i))->valueByPath("Name");
      if (!name) return std::nullopt;
      names.push_back(*name);
    }
  }
  return names;
}

struct Profile {
  IniFile file;
  StoredInputMethods stored;
};

// Only a profile that is missing or holds nothing is one to start afresh: any other that gives no
// groups (JSON, prose, binary bytes) is something else, which a new profile would destroy.
Profile readProfile(const std::filesystem::path& path) {
  Profile profile{readIniFile(path), {}};
  if (profile.file.state == IniFile::State::unreadable) {
    profile.stored.problem = path.string() + " cannot be read (" + profile.file.problem + ")";
  } else if (!profile.file.blank) {
    if (auto names = itemNames(profile.file.config)) {
      profile.stored.names = std::move(*names);
    } else {
      profile.stored.problem = path.string() + " cannot be read as Fcitx5's groups of input methods";
    }
  }
  return profile;
}

// Fcitx5 is asked where the profile is when it is first needed: it needs a home folder to answer.
class ProfilePreference final : public EnabledInputMethodsPreference {
 public:
  StoredInputMethods stored() override { return readProfile(path()).stored; }

  InputSourceStatus append(std::string_view name) override {
    auto profile = readProfile(path());
    if (!profile.stored.readable()) return {input_source_status::kRefused, profile.stored.problem};
    auto& config = profile.file.config;
    if (!config.get("Groups")) {
      for (const auto& [path, value] : kFreshProfile)
        config.setValueByPath(std::string(path), std::string(value));
      config.setValueByPath("Groups/0/DefaultIM", std::string(name));
    }
    auto& items = config["Groups/0/Items"];
    auto& item = items[std::to_string(items.subItemsSize())];
    item.setValueByPath("Name", std::string(name));
    item.setValueByPath("Layout", "");
    return write(config);
  }

  InputSourceStatus remove(std::string_view name) override {
    auto profile = readProfile(path());
    if (!profile.stored.readable()) return {input_source_status::kRefused, profile.stored.problem};
    if (std::ranges::find(profile.stored.names, name) == profile.stored.names.end()) return {};
    // A readable profile that lists the name has numbered groups; their items are numbered anew,
    // as Fcitx5 reads a list only from 0 on.
    auto& groups = *profile.file.config.get("Groups");
    for (std::size_t g = 0; g < groups.subItemsSize(); ++g) {
      auto& group = *groups.get(std::to_string(g));
      if (const auto* chosen = group.valueByPath("DefaultIM"); chosen && *chosen == name) {
        group.setValueByPath("DefaultIM", "");
      }
      const auto items = group.get("Items");
      if (!items) continue;
      std::vector<fcitx::RawConfig> kept;
      for (std::size_t i = 0; i < items->subItemsSize(); ++i) {
        const auto item = items->get(std::to_string(i));
        if (*item->valueByPath("Name") != name) kept.push_back(*item);
      }
      group.remove("Items");
      for (std::size_t i = 0; i < kept.size(); ++i) group["Items/" + std::to_string(i)] = kept[i];
    }
    return write(profile.file.config);
  }

 private:
  InputSourceStatus write(const fcitx::RawConfig& config) {
    if (auto written = writeIniFile(config, path()); !written) {
      return {input_source_status::kWriteFailed,
              path().string() + " could not be written: " + written.problem};
    }
    return {};
  }

  const std::filesystem::path& path() {
    if (path_.empty()) {
      path_ = std::filesystem::path(
                  fcitx::StandardPath::global().userDirectory(fcitx::StandardPath::Type::PkgConfig)) /
              "profile";
    }
    return path_;
  }

  std::filesystem::path path_;
};

}  // namespace

std::unique_ptr<EnabledInputMethodsPreference> makeProfilePreference() {
  return std::make_unique<ProfilePreference>();
}

}  // namespace quorvix::platform::fcitx5
