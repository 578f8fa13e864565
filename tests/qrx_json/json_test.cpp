#include <qrx_json/json.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string nested(char open, char close, std::size_t depth) {
  return std::string(depth, open) + std::string(depth, close);
}

TEST(JsonParse, RejectsWithTheReadersMessages) {
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"empty text", "", "EOF while parsing a value"},
      {"only white space", " \n\t\r", "EOF while parsing a value"},
      {"unclosed array", "[1, 2", "EOF while parsing a list"},
      {"unclosed object", "{\"a\": 1", "EOF while parsing an object"},
      {"unclosed string", "\"abc", "EOF while parsing a string"},
      {"trailing characters", "{}x", "trailing characters"},
      {"two values", "1 2", "trailing characters"},
      {"byte order mark", "\xEF\xBB\xBF{}", "expected value"},
      {"bare word", "hello", "expected value"},
      {"form feed is not white space", "\f{}", "expected value"},
      {"too deep arrays", nested('[', ']', 129), "recursion limit exceeded"},
      {"too deep objects", std::string(129, ' ') + "{\"a\":" + nested('[', ']', 128) + "}",
       "recursion limit exceeded"},
      {"number beyond double", "1e400", "number out of range"},
      {"invalid UTF-8 in a string", "\"\xC3\x28\"", "invalid unicode code point"},
      {"lone surrogate escape", "\"\\ud800\"", ""},
      {"comment", "{} // note", "trailing characters"},
  };
  for (const auto& [name, text, message_start] : cases) {
    const auto r = qrx_json::parse(text);
    ASSERT_FALSE(r.ok()) << name;
    EXPECT_EQ(r.error().message.rfind(message_start, 0), 0U) << name << ": " << r.error().message;
    EXPECT_TRUE(r.error().position.known()) << name;
  }
}

TEST(JsonParse, DepthLimitIsInclusive) {
  EXPECT_TRUE(qrx_json::parse(nested('[', ']', 128)).ok());
  EXPECT_FALSE(qrx_json::parse(nested('[', ']', 129)).ok());
}

TEST(JsonParse, ErrorsReportLineAndColumn) {
  const auto r = qrx_json::parse("{\n  \"a\": 1,\n  \"b\": tru\n}");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().position.line, 3U);
  EXPECT_NE(r.error().to_string().find(" at line 3 column "), std::string::npos) << r.error().to_string();
}

TEST(JsonParse, KeepsMembersInOrderWithRepeats) {
  const auto r = qrx_json::parse(R"({"b": 1, "a": [true, null, "x"], "b": -2})");
  ASSERT_TRUE(r.ok()) << r.error().to_string();
  const qrx_json::Object& o = r.value().as_object();
  ASSERT_EQ(o.size(), 3U);
  EXPECT_EQ(o[0].name, "b");
  EXPECT_EQ(o[1].name, "a");
  EXPECT_EQ(o[2].name, "b");
  const qrx_json::Value* b = r.value().find("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->as_int(), -2);  // a later member wins for map lookups
  EXPECT_EQ(r.value().find("missing"), nullptr);
  EXPECT_EQ(o[1].value.as_array()[2].as_string(), "x");
  EXPECT_EQ(o[1].value.position().line, 1U);
}

TEST(JsonParse, ValuesCarryTheirLine) {
  const auto r = qrx_json::parse("[\n-1\n,\n\"x\"\n,\ntrue\n,\n2.5]");
  ASSERT_TRUE(r.ok());
  const qrx_json::Array& a = r.value().as_array();
  EXPECT_EQ(a[0].position().line, 2U);  // a number ended by a line feed still lies on its own line
  EXPECT_EQ(a[1].position().line, 4U);
  EXPECT_EQ(a[2].position().line, 6U);
  EXPECT_EQ(a[3].position().line, 8U);
}

TEST(JsonParse, NumberKinds) {
  const std::tuple<const char*, qrx_json::Value::Kind> cases[] = {
      {"0", qrx_json::Value::Kind::UInt},
      {"4294967296", qrx_json::Value::Kind::UInt},
      {"18446744073709551615", qrx_json::Value::Kind::UInt},
      {"-1", qrx_json::Value::Kind::Int},
      {"1.5", qrx_json::Value::Kind::Double},
      {"18446744073709551616", qrx_json::Value::Kind::Double},
  };
  for (const auto& [text, kind] : cases) {
    const auto r = qrx_json::parse(text);
    ASSERT_TRUE(r.ok()) << text;
    EXPECT_EQ(r.value().kind(), kind) << text;
  }
  EXPECT_EQ(qrx_json::parse("18446744073709551615").value().as_uint(), 18446744073709551615ULL);
}

TEST(JsonWrite, CompactAndPrettyForms) {
  qrx_json::Object o;
  o.push_back({"name", qrx_json::Value("Vi\xe1\xbb\x87t \"q\"\n\x01")});
  o.push_back({"list", qrx_json::Value(qrx_json::Array{qrx_json::Value(1), qrx_json::Value(true), qrx_json::Value(nullptr)})});
  o.push_back({"empty", qrx_json::Value(qrx_json::Object{})});
  o.push_back({"none", qrx_json::Value(qrx_json::Array{})});
  o.push_back({"ratio", qrx_json::Value(2.0)});
  const qrx_json::Value v(o);
  EXPECT_EQ(qrx_json::write_compact(v),
            "{\"name\":\"Vi\xe1\xbb\x87t \\\"q\\\"\\n\\u0001\",\"list\":[1,true,null],\"empty\":{},"
            "\"none\":[],\"ratio\":2.0}");
  EXPECT_EQ(qrx_json::write_pretty(v),
            "{\n  \"name\": \"Vi\xe1\xbb\x87t \\\"q\\\"\\n\\u0001\",\n  \"list\": [\n    1,\n    true,\n"
            "    null\n  ],\n  \"empty\": {},\n  \"none\": [],\n  \"ratio\": 2.0\n}");
  // Whatever is written reads back as the same tree.
  EXPECT_EQ(qrx_json::parse(qrx_json::write_compact(v)).value(), v);
  EXPECT_EQ(qrx_json::parse(qrx_json::write_pretty(v)).value(), v);
}

TEST(JsonErrors, BuildersNameWhatWasFound) {
  const qrx_json::Value v = qrx_json::parse("\n  null").value();
  const qrx_json::Error e = qrx_json::invalid_type(v, "a boolean");
  EXPECT_EQ(e.message, "invalid type: null, expected a boolean");
  EXPECT_EQ(e.position.line, 2U);
  EXPECT_EQ(qrx_json::invalid_type(qrx_json::Value(5), "a string").message,
            "invalid type: integer `5`, expected a string");
  EXPECT_EQ(qrx_json::invalid_value(qrx_json::Value(-1), "u32").message, "invalid value: integer `-1`, expected u32");
  EXPECT_EQ(qrx_json::duplicate_field("spell_check").to_string(), "duplicate field `spell_check`");
  EXPECT_EQ(qrx_json::unknown_variant("nfd", {"NFC", "NFD"}).message,
            "unknown variant `nfd`, expected `NFC` or `NFD`");
  EXPECT_EQ(qrx_json::unknown_variant("x", {"a", "b", "c"}).message,
            "unknown variant `x`, expected `a`, `b` or `c`");
  EXPECT_EQ(qrx_json::invalid_length(23, "fewer elements in array").message,
            "invalid length 23, expected fewer elements in array");
}

}  // namespace
