// JSON form of the configuration record and of application profiles. Every typed record is read
// by one table-driven reader, so a configuration file, a patch and a profile entry share exactly
// the same rules: unknown keys skipped, a repeated known key rejected, missing keys defaulted,
// null never standing for a default.
#include <qrx_engine/ports.h>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace qrx_engine::ports {
namespace {

using Error = std::optional<qrx_json::Error>;

// ---- values -----------------------------------------------------------------------------------

template <class E>
qrx_json::Result<E> read_two_valued_enum(const qrx_json::Value& value, std::string_view name0,
                                     std::string_view name1) {
  const auto variant = [&](std::string_view name, const qrx_json::Value& at) -> qrx_json::Result<E> {
    if (name == name0) return static_cast<E>(0);
    if (name == name1) return static_cast<E>(1);
    return qrx_json::unknown_variant(name, {name0, name1}, at.position());
  };
  if (value.is_string()) return variant(value.as_string(), value);
  if (!value.is_object()) return qrx_json::invalid_type(value, "string or map");
  // The object form names the variant as its only member, whose content is null.
  const qrx_json::Object& members = value.as_object();
  if (members.size() != 1) return qrx_json::invalid_value(value, "map with a single key");
  qrx_json::Result<E> result = variant(members.front().name, value);
  if (result && !members.front().value.is_null()) {
    return qrx_json::invalid_type(members.front().value, "unit");
  }
  return result;
}

template <class T>
Error assign(qrx_json::Result<T> result, T& out) {
  if (!result) return result.error();
  out = std::move(result).value();
  return std::nullopt;
}

Error read_into(const qrx_json::Value& value, bool& out) {
  if (!value.is_bool()) return qrx_json::invalid_type(value, "a boolean");
  out = value.as_bool();
  return std::nullopt;
}

Error read_into(const qrx_json::Value& value, std::string& out) {
  if (!value.is_string()) return qrx_json::invalid_type(value, "a string");
  out = value.as_string();
  return std::nullopt;
}

Error read_into(const qrx_json::Value& value, std::uint32_t& out) {
  if (value.kind() == qrx_json::Value::Kind::UInt) {
    if (value.as_uint() > std::numeric_limits<std::uint32_t>::max()) {
      return qrx_json::invalid_value(value, "u32");
    }
    out = static_cast<std::uint32_t>(value.as_uint());
    return std::nullopt;
  }
  if (value.kind() == qrx_json::Value::Kind::Int) return qrx_json::invalid_value(value, "u32");
  return qrx_json::invalid_type(value, "u32");
}

Error read_into(const qrx_json::Value& value, ToneStyle& out) {
  return assign(vi_syllable::tone_style_from_json(value), out);
}
Error read_into(const qrx_json::Value& value, OutputMode& out) {
  return assign(output_mode_from_json(value), out);
}
Error read_into(const qrx_json::Value& value, UnicodeForm& out) {
  return assign(unicode_form_from_json(value), out);
}
Error read_into(const qrx_json::Value& value, AppProfile& out) {
  return assign(AppProfile::from_value(value), out);
}

template <class T>
Error read_into(const qrx_json::Value& value, std::optional<T>& out) {
  if (value.is_null()) {
    out.reset();
    return std::nullopt;
  }
  T inner{};
  if (Error error = read_into(value, inner)) return error;
  out = std::move(inner);
  return std::nullopt;
}

Error read_into(const qrx_json::Value& value, std::vector<std::string>& out) {
  if (!value.is_array()) return qrx_json::invalid_type(value, "a sequence");
  std::vector<std::string> items;
  items.reserve(value.as_array().size());
  for (const qrx_json::Value& element : value.as_array()) {
    if (Error error = read_into(element, items.emplace_back())) return error;
  }
  out = std::move(items);
  return std::nullopt;
}

// A plain map: a repeated member name keeps the later value.
template <class T>
Error read_into(const qrx_json::Value& value, std::unordered_map<std::string, T>& out) {
  if (!value.is_object()) return qrx_json::invalid_type(value, "a map");
  std::unordered_map<std::string, T> map;
  for (const qrx_json::Member& member : value.as_object()) {
    T item{};
    if (Error error = read_into(member.value, item)) return error;
    map.insert_or_assign(member.name, std::move(item));
  }
  out = std::move(map);
  return std::nullopt;
}

qrx_json::Value to_json_value(bool b) { return qrx_json::Value(b); }
qrx_json::Value to_json_value(const std::string& s) { return qrx_json::Value(s); }
qrx_json::Value to_json_value(std::uint32_t n) { return qrx_json::Value(n); }
qrx_json::Value to_json_value(ToneStyle style) { return vi_syllable::to_json(style); }
qrx_json::Value to_json_value(OutputMode mode) { return qrx_json::Value(output_mode_name(mode)); }
qrx_json::Value to_json_value(UnicodeForm form) { return qrx_json::Value(unicode_form_name(form)); }
qrx_json::Value to_json_value(const AppProfile& profile) { return profile.to_value(); }

template <class T>
qrx_json::Value to_json_value(const std::optional<T>& value) {
  return value ? to_json_value(*value) : qrx_json::Value(nullptr);
}

qrx_json::Value to_json_value(const std::vector<std::string>& items) {
  qrx_json::Array array;
  array.reserve(items.size());
  for (const std::string& item : items) array.emplace_back(item);
  return qrx_json::Value(std::move(array));
}

template <class T>
qrx_json::Value to_json_value(const std::unordered_map<std::string, T>& map) {
  qrx_json::Object object;
  object.reserve(map.size());
  for (const auto& [name, item] : map) object.push_back(qrx_json::Member{name, to_json_value(item)});
  return qrx_json::Value(std::move(object));
}

// ---- records ----------------------------------------------------------------------------------

template <class R>
struct Field {
  std::string_view name;
  Error (*read)(const qrx_json::Value&, R&);
  qrx_json::Value (*write)(const R&);
  bool required = false;
};

template <class R, class T>
R record_of(T R::*);

template <auto Member>
using RecordOf = decltype(record_of(Member));

// The field of record R that Member names; R is the record that declares Member unless given,
// as it is for the members a record inherits.
template <auto Member, class R = RecordOf<Member>>
constexpr Field<R> field(std::string_view name, bool required = false) {
  return {name, [](const qrx_json::Value& value, R& record) { return read_into(value, record.*Member); },
          [](const R& record) { return to_json_value(record.*Member); }, required};
}

// Reads `value` (an object, or an array giving the fields in declared order) over `record`,
// which holds the defaults of the fields that do not occur.
template <class R, std::size_t N>
qrx_json::Result<R> read_record(const qrx_json::Value& value, const std::array<Field<R>, N>& fields,
                            std::string_view expected, R record) {
  std::array<bool, N> seen{};
  if (value.is_object()) {
    for (const qrx_json::Member& member : value.as_object()) {
      const auto it = std::find_if(fields.begin(), fields.end(),
                                   [&](const Field<R>& f) { return f.name == member.name; });
      if (it == fields.end()) continue;
      const auto index = static_cast<std::size_t>(it - fields.begin());
      if (seen[index]) return qrx_json::duplicate_field(member.name, member.value.position());
      seen[index] = true;
      if (Error error = it->read(member.value, record)) return *std::move(error);
    }
  } else if (value.is_array()) {
    const qrx_json::Array& elements = value.as_array();
    if (elements.size() > N) {
      return qrx_json::invalid_length(elements.size(), "fewer elements in array", value.position());
    }
    for (std::size_t i = 0; i < elements.size(); ++i) {
      seen[i] = true;
      if (Error error = fields[i].read(elements[i], record)) return *std::move(error);
    }
  } else {
    return qrx_json::invalid_type(value, expected);
  }
  for (std::size_t i = 0; i < N; ++i) {
    if (fields[i].required && !seen[i]) return qrx_json::missing_field(fields[i].name, value.position());
  }
  return record;
}

template <class R, std::size_t N>
qrx_json::Value write_record(const R& record, const std::array<Field<R>, N>& fields) {
  qrx_json::Object object;
  object.reserve(N);
  for (const Field<R>& f : fields) object.push_back(qrx_json::Member{std::string(f.name), f.write(record)});
  return qrx_json::Value(std::move(object));
}

constexpr std::array<Field<AppProfile>, 11> kAppProfileFields{
    field<&AppProfile::output_mode>("output_mode"),
    field<&AppProfile::backspace_delay_ms>("backspace_delay_ms"),
    field<&AppProfile::delay_per_char_ms>("delay_per_char_ms"),
    field<&AppProfile::wait_ack>("wait_ack"),
    field<&AppProfile::edit_previous_word>("edit_previous_word"),
    field<&AppProfile::restore_after_space>("restore_after_space"),
    field<&AppProfile::vietnamese>("vietnamese"),
    field<&AppProfile::input_method>("input_method"),
    field<&AppProfile::tone_style>("tone_style"),
    field<&AppProfile::spell_check>("spell_check"),
    field<&AppProfile::charset>("charset"),
};

// `app_profiles` is not a plain map: user entries are laid over the built-in table.
Error read_app_profiles(const qrx_json::Value& value, Config& config) {
  return assign(deserialize_app_profiles(value), config.app_profiles);
}

constexpr std::array<Field<Config>, 22> kConfigFields{
    field<&Config::input_method>("input_method"),
    field<&Config::tone_style, Config>("tone_style"),
    field<&Config::spell_check, Config>("spell_check"),
    field<&Config::w_as_u, Config>("w_as_u"),
    field<&Config::bracket_keys, Config>("bracket_keys"),
    field<&Config::quick_telex, Config>("quick_telex"),
    field<&Config::allow_coda_k, Config>("allow_coda_k"),
    field<&Config::macro_enabled>("macro_enabled"),
    field<&Config::macro_digits>("macro_digits"),
    field<&Config::macro_undo>("macro_undo"),
    field<&Config::macro_in_off_mode>("macro_in_off_mode"),
    field<&Config::macros>("macros"),
    field<&Config::auto_capitalize>("auto_capitalize"),
    field<&Config::excluded_apps>("excluded_apps"),
    field<&Config::app_modes>("app_modes"),
    field<&Config::default_vietnamese>("default_vietnamese"),
    field<&Config::edit_previous_word>("edit_previous_word"),
    Field<Config>{"app_profiles", &read_app_profiles,
                  [](const Config& c) { return to_json_value(c.app_profiles); }},
    field<&Config::restore_after_space>("restore_after_space"),
    field<&Config::smart_caps>("smart_caps"),
    field<&Config::unicode_form>("unicode_form"),
    field<&Config::schema_version>("schema_version"),
};

constexpr std::array<Field<AppProfileData>, 2> kAppProfileDataFields{
    field<&AppProfileData::aliases>("aliases", /*required=*/true),
    field<&AppProfileData::profiles>("profiles", /*required=*/true),
};

template <class T>
qrx_json::Result<T> parse_then(std::string_view text, qrx_json::Result<T> (*read)(const qrx_json::Value&)) {
  qrx_json::Result<qrx_json::Value> parsed = qrx_json::parse(text);
  if (!parsed) return parsed.error();
  return read(parsed.value());
}

}  // namespace

// ---- enumerations -----------------------------------------------------------------------------

std::string_view output_mode_name(OutputMode mode) {
  return mode == OutputMode::Preedit ? "preedit" : "replace";
}

std::string_view unicode_form_name(UnicodeForm form) { return form == UnicodeForm::NFC ? "NFC" : "NFD"; }

qrx_json::Result<OutputMode> output_mode_from_json(const qrx_json::Value& value) {
  return read_two_valued_enum<OutputMode>(value, "preedit", "replace");
}

qrx_json::Result<UnicodeForm> unicode_form_from_json(const qrx_json::Value& value) {
  return read_two_valued_enum<UnicodeForm>(value, "NFC", "NFD");
}

// ---- AppProfile -------------------------------------------------------------------------------

qrx_json::Result<AppProfile> AppProfile::from_value(const qrx_json::Value& value) {
  return read_record(value, kAppProfileFields, "struct AppProfile", AppProfile{});
}

qrx_json::Value AppProfile::to_value() const { return write_record(*this, kAppProfileFields); }
std::string AppProfile::to_json() const { return qrx_json::write_compact(to_value()); }
std::string AppProfile::to_json_pretty() const { return qrx_json::write_pretty(to_value()); }

qrx_json::Result<AppProfileMap> deserialize_app_profiles(const qrx_json::Value& value) {
  AppProfileMap user;
  if (Error error = read_into(value, user)) return *std::move(error);
  AppProfileMap merged = default_app_profiles();
  for (auto& [key, profile] : user) merged.insert_or_assign(key, std::move(profile));
  return merged;
}

qrx_json::Result<AppProfileMap> deserialize_app_profiles_json(std::string_view text) {
  return parse_then<AppProfileMap>(text, &deserialize_app_profiles);
}

qrx_json::Result<AppProfileData> parse_app_profile_data(std::string_view document) {
  return parse_then<AppProfileData>(document, [](const qrx_json::Value& value) {
    return read_record(value, kAppProfileDataFields, "struct AppProfileData", AppProfileData{});
  });
}

// ---- Config -----------------------------------------------------------------------------------

qrx_json::Result<Config> Config::from_value(const qrx_json::Value& value) {
  return read_record(value, kConfigFields, "struct Config", Config{});
}

qrx_json::Result<Config> Config::from_json(std::string_view text) {
  return parse_then<Config>(text, &Config::from_value);
}

qrx_json::Value Config::to_value() const { return write_record(*this, kConfigFields); }
std::string Config::to_json() const { return qrx_json::write_compact(to_value()); }
std::string Config::to_json_pretty() const { return qrx_json::write_pretty(to_value()); }

std::optional<Config> Config::apply_json_patch(std::string_view patch) const {
  qrx_json::Result<qrx_json::Value> parsed = qrx_json::parse(patch);
  if (!parsed || !parsed.value().is_object()) return std::nullopt;

  // Top-level members replace whole values; nothing below the top level is merged.
  qrx_json::Value merged = to_value();
  qrx_json::Object& members = merged.as_object();
  for (qrx_json::Member& change : parsed.value().as_object()) {
    const auto it = std::find_if(members.begin(), members.end(),
                                 [&](const qrx_json::Member& m) { return m.name == change.name; });
    if (it != members.end()) {
      it->value = std::move(change.value);
    } else {
      members.push_back(std::move(change));
    }
  }

  qrx_json::Result<Config> result = from_value(merged);
  if (!result) return std::nullopt;
  return std::move(result).value();
}

}  // namespace qrx_engine::ports
