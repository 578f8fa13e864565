#include <vi_syllable/vi_syllable.h>

#include <json/json.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using vi_syllable::ToneStyle;

json::Result<ToneStyle> read(std::string_view text) {
  const json::Result<json::Value> value = json::parse(text);
  EXPECT_TRUE(value.ok()) << text;
  return vi_syllable::tone_style_from_json(value.value());
}

TEST(ToneStyleJson, Writes) {
  EXPECT_EQ(json::write_compact(vi_syllable::to_json(ToneStyle::Old)), "\"old\"");
  EXPECT_EQ(json::write_compact(vi_syllable::to_json(ToneStyle::New)), "\"new\"");
  EXPECT_EQ(vi_syllable::tone_style_name(ToneStyle::New), "new");
  EXPECT_EQ(static_cast<int>(ToneStyle::Old), 0);
  EXPECT_EQ(static_cast<int>(ToneStyle::New), 1);
}

TEST(ToneStyleJson, ReadsStringAndObjectForms) {
  const std::pair<const char*, ToneStyle> cases[] = {
      {"\"old\"", ToneStyle::Old},
      {"\"new\"", ToneStyle::New},
      {"{\"old\": null}", ToneStyle::Old},
      {"{\"new\":null}", ToneStyle::New},
  };
  for (const auto& [text, style] : cases) {
    const json::Result<ToneStyle> r = read(text);
    ASSERT_TRUE(r.ok()) << text << ": " << r.error().to_string();
    EXPECT_EQ(r.value(), style) << text;
  }
}

TEST(ToneStyleJson, RejectsEverythingElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"Old\"", "unknown variant `Old`, expected `old` or `new`"},
      {"\"\"", "unknown variant ``, expected `old` or `new`"},
      {"5", "invalid type: integer `5`, expected enum ToneStyle"},
      {"null", "invalid type: null, expected enum ToneStyle"},
      {"true", "invalid type: boolean `true`, expected enum ToneStyle"},
      {"[\"old\"]", "invalid type: sequence, expected enum ToneStyle"},
      {"{\"x\": null}", "unknown variant `x`, expected `old` or `new`"},
      {"{\"old\": 1}", "invalid type: integer `1`, expected unit"},
      {"{}", "invalid value: map, expected map with a single key"},
      {"{\"old\": null, \"new\": null}", "invalid value: map, expected map with a single key"},
  };
  for (const auto& [text, message] : cases) {
    const json::Result<ToneStyle> r = read(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error().message, message) << text;
  }
}

TEST(ToneStyleJson, ErrorsCarryThePositionOfTheValue) {
  for (const char* text : {"\n  \"middle\"", "\n  {\"old\": 2}", "\n  7"}) {
    const json::Result<ToneStyle> r = read(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error().position.line, 2u) << text;
  }
}

TEST(ToneStyleJson, RoundTrips) {
  for (ToneStyle style : {ToneStyle::Old, ToneStyle::New}) {
    const json::Result<ToneStyle> r = vi_syllable::tone_style_from_json(vi_syllable::to_json(style));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), style);
  }
}

}  // namespace
