#include <vi_syllable/vi_syllable.h>

namespace vi_syllable {
namespace {

constexpr std::string_view kOld = "old";
constexpr std::string_view kNew = "new";

std::optional<ToneStyle> from_name(std::string_view name) {
  if (name == kOld) return ToneStyle::Old;
  if (name == kNew) return ToneStyle::New;
  return std::nullopt;
}

qrx_json::Result<ToneStyle> from_variant(std::string_view name, const qrx_json::Value& at) {
  if (const std::optional<ToneStyle> style = from_name(name)) return *style;
  return qrx_json::unknown_variant(name, {kOld, kNew}, at.position());
}

}  // namespace

std::string_view tone_style_name(ToneStyle style) { return style == ToneStyle::Old ? kOld : kNew; }

qrx_json::Value to_json(ToneStyle style) { return qrx_json::Value(tone_style_name(style)); }

qrx_json::Result<ToneStyle> tone_style_from_json(const qrx_json::Value& value) {
  if (value.is_string()) return from_variant(value.as_string(), value);
  if (!value.is_object()) return qrx_json::invalid_type(value, "enum ToneStyle");

  // The object form names the variant as its only member, with nothing (null) as content.
  const qrx_json::Object& members = value.as_object();
  if (members.size() != 1) return qrx_json::invalid_value(value, "map with a single key");
  const qrx_json::Member& member = members.front();
  qrx_json::Result<ToneStyle> style = from_variant(member.name, value);
  if (!style) return style;
  if (!member.value.is_null()) return qrx_json::invalid_type(member.value, "unit");
  return style;
}

}  // namespace vi_syllable
