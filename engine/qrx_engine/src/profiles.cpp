// Application identity: any identifier a host reports becomes one short application key, which
// selects the application's profile from the configuration.
#include <qrx_engine/ports.h>

#include <qrx_unicode/unicode.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace qrx_data {
extern const std::string_view app_profiles_json;
}

namespace qrx_engine::ports {
namespace {

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = text.size();
  std::size_t end = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t at = pos;
    if (!qrx_unicode::is_white_space(qrx_unicode::next_char(text, pos))) {
      begin = std::min(begin, at);
      end = pos;
    }
  }
  return begin < end ? text.substr(begin, end - begin) : std::string_view{};
}

void remove_suffix(std::string& text, std::string_view suffix) {
  if (text.ends_with(suffix)) text.resize(text.size() - suffix.size());
}

// First labels of identifiers written in reverse-domain order ("com.vendor.App").
constexpr std::array<std::string_view, 5> kReverseDomainLabels{"com", "org", "net", "app", "io"};

}  // namespace

AppProfileData load_builtin_app_profile_data(std::string_view document) {
  qrx_json::Result<AppProfileData> parsed = parse_app_profile_data(document);
  if (!parsed) {
    const std::string message = "app_profiles.json không hợp lệ: " + parsed.error().to_string();
    std::fprintf(stderr, "%s\n", message.c_str());
    throw std::runtime_error(message);
  }
  return std::move(parsed).value();
}

const AppProfileData& app_profile_data() {
  static const AppProfileData data = load_builtin_app_profile_data(qrx_data::app_profiles_json);
  return data;
}

AliasMap app_aliases() { return app_profile_data().aliases; }

AppProfileMap default_app_profiles() { return app_profile_data().profiles; }

std::string normalize_app_id(std::optional<std::string_view> app) {
  if (!app) return {};
  std::string key = qrx_unicode::to_lower(trim_white_space(*app));

  std::replace(key.begin(), key.end(), '\\', '/');
  if (const auto slash = key.rfind('/'); slash != std::string::npos) key.erase(0, slash + 1);

  // Each suffix at most once, in this order.
  remove_suffix(key, ".exe");
  remove_suffix(key, ".app");
  remove_suffix(key, ".desktop");

  if (const auto colon = key.find(':'); colon != std::string::npos) key.resize(colon);

  if (const auto dot = key.find('.'); dot != std::string::npos) {
    const std::string_view first_label = std::string_view(key).substr(0, dot);
    if (std::find(kReverseDomainLabels.begin(), kReverseDomainLabels.end(), first_label) !=
        kReverseDomainLabels.end()) {
      key.erase(0, key.rfind('.') + 1);
    }
  }

  const AliasMap& aliases = app_profile_data().aliases;
  if (const auto alias = aliases.find(key); alias != aliases.end()) return alias->second;
  return key;
}

AppProfile resolve_profile(const Config& config, std::optional<std::string_view> app) {
  const std::string key = normalize_app_id(app);
  if (key.empty()) return AppProfile{};
  const auto it = config.app_profiles.find(key);
  return it != config.app_profiles.end() ? it->second : AppProfile{};
}

}  // namespace qrx_engine::ports
