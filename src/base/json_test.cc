#include "base/json.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonTest, FormatsDoublesInShortestFormWithFraction) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.0, "0.0"},       {-0.0, "-0.0"},      {1.0, "1.0"},           {-1.4, "-1.4"},
      {0.00002, "0.00002"}, {0.00001, "0.00001"}, {1.5e-7, "1.5e-7"},   {1e16, "1e16"},
      {1.5e16, "1.5e16"}, {9999999999999998.0, "9999999999999998.0"}, {2000.0, "2000.0"},
      {0.1 + 0.2, "0.30000000000000004"}, {123.456, "123.456"}, {-2.5e-300, "-2.5e-300"},
      {1e300, "1e300"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_json_double(c.value), c.text) << c.text;
}

TEST(JsonTest, PrettyOutputSortsKeysAndKeepsIntegers) {
  Result<Json> doc = parse_json(R"({"b": [1, 1.0, 1.10, 2e3], "a": {"z": null, "y": true}, "c": {}, "d": []})");
  ASSERT_TRUE(doc.ok()) << doc.error().message();
  EXPECT_EQ(write_json_pretty(*doc),
            "{\n"
            "  \"a\": {\n"
            "    \"y\": true,\n"
            "    \"z\": null\n"
            "  },\n"
            "  \"b\": [\n"
            "    1,\n"
            "    1.0,\n"
            "    1.1,\n"
            "    2000.0\n"
            "  ],\n"
            "  \"c\": {},\n"
            "  \"d\": []\n"
            "}");
  EXPECT_EQ(write_json(*doc), R"({"a":{"y":true,"z":null},"b":[1,1.0,1.1,2000.0],"c":{},"d":[]})");
}

TEST(JsonTest, EscapesStrings) {
  Json value = std::string("q\" b\\ / \b\f\n\r\t \x01 \x1f é");
  EXPECT_EQ(write_json(value), "\"q\\\" b\\\\ / \\b\\f\\n\\r\\t \\u0001 \\u001f é\"");
}

TEST(JsonTest, ReadsStringEscapes) {
  Result<Json> doc = parse_json(R"(["\u00e9\ud83d\ude00\/\"\n"])");
  ASSERT_TRUE(doc.ok()) << doc.error().message();
  EXPECT_EQ((*doc)[0].get<std::string>(), "é😀/\"\n");
}

TEST(JsonTest, NodeKeepsDuplicatesOrderAndPositions) {
  Result<JsonNode> node = parse_json_node("{\"b\": 1,\n \"a\": \"x\", \"b\": 2}");
  ASSERT_TRUE(node.ok());
  ASSERT_EQ(node->members.size(), 3u);
  EXPECT_EQ(node->members[0].first, "b");
  EXPECT_EQ(node->members[2].second.integer, 2);
  EXPECT_EQ(node->members[1].second.line, 2u);
  EXPECT_EQ(node->members[1].second.column, 9u);
  EXPECT_EQ(to_json(*node)["b"], 2);  // the last of a repeated key wins
}

TEST(JsonTest, NumbersKeepTheirKind) {
  Result<JsonNode> node = parse_json_node("[1, -9223372036854775808, 18446744073709551615, 1.5, 1e400000000]");
  ASSERT_FALSE(node.ok());
  EXPECT_EQ(node.error().message(), "number out of range at line 1 column 64");
  node = parse_json_node("[1, -9223372036854775808, 18446744073709551615, 1.5, 1e-400]");
  ASSERT_TRUE(node.ok()) << node.error().message();
  EXPECT_EQ(node->items[0].kind, JsonNode::Kind::kInteger);
  EXPECT_EQ(node->items[1].integer, INT64_MIN);
  EXPECT_EQ(node->items[2].kind, JsonNode::Kind::kUnsigned);
  EXPECT_EQ(node->items[3].kind, JsonNode::Kind::kFloat);
  EXPECT_EQ(node->items[4].as_double(), 0.0);
}

TEST(JsonTest, ReportsErrorsWithLineAndColumn) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"   ", "EOF while parsing a value at line 1 column 3"},
      {"{\"a\": 1} x", "trailing characters at line 1 column 10"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{\"a\": 1,}", "trailing comma at line 1 column 9"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"{1: 2}", "key must be a string at line 1 column 2"},
      {"\n\n  nul", "EOF while parsing a value at line 3 column 5"},
      {"tru e", "expected ident at line 1 column 4"},
      {"[\"a\nb\"]", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"01", "trailing characters at line 1 column 2"},
      {"[1.]", "invalid number at line 1 column 4"},
      {"{\"a\": [", "EOF while parsing a value at line 1 column 7"},
  };
  for (const auto& c : cases) {
    Result<JsonNode> node = parse_json_node(c.text);
    ASSERT_FALSE(node.ok()) << c.text;
    EXPECT_EQ(node.error().message(), c.message) << c.text;
  }
}

TEST(JsonTest, RefusesInvalidUtf8InStrings) {
  Result<Json> doc = parse_json("[\"\xff\"]");
  ASSERT_FALSE(doc.ok());
  EXPECT_EQ(doc.error().message(), "invalid unicode code point at line 1 column 2");
}

TEST(JsonTest, BoundsNestingDepth) {
  std::string ok_doc = std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']');
  EXPECT_TRUE(parse_json(ok_doc).ok());
  std::string deep = std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']');
  Result<Json> doc = parse_json(deep);
  ASSERT_FALSE(doc.ok());
  EXPECT_EQ(doc.error().message(), "recursion limit exceeded at line 1 column 129");
  // A hostile document far deeper than the stack could bear fails the same way.
  EXPECT_FALSE(parse_json(std::string(10'000'000, '{')).ok());
}

TEST(JsonTest, RoundTripsThroughNodes) {
  Result<Json> doc = parse_json(R"({"a":[1,2.5,"x",null,true,{"b":18446744073709551615}]})");
  ASSERT_TRUE(doc.ok());
  EXPECT_EQ(to_json(to_json_node(*doc)), *doc);
}

}  // namespace
