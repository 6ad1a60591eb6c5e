#include "server/request_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestRulesTest, PathIsTheTargetBeforeTheFirstQuestionMark) {
  struct Case {
    const char* target;
    const char* path;
  } cases[] = {
      {"/state", "/state"},
      {"/state?x=1", "/state"},
      {"/api/chip3d?mpn=A?B", "/api/chip3d"},
      {"/?", "/"},
      {"?x", ""},
      {"/a%20b", "/a%20b"},  // not decoded
      {"/state#top", "/state#top"},
  };
  for (const Case& c : cases) EXPECT_EQ(request_path(c.target), c.path) << c.target;
}

TEST(RequestRulesTest, OnlyUtf8PostBodiesReachTheRoutes) {
  struct Case {
    const char* method;
    std::string body;
    std::string text;
  } cases[] = {
      {"POST", R"({"a":"é"})", R"({"a":"é"})"},
      {"POST", "{\"a\":\"\xff\"}", ""},
      {"POST", "\xc3", ""},  // cut inside a character
      {"GET", "{}", ""},
      {"PUT", "{}", ""},
      {"post", "{}", ""},  // methods are case-sensitive
  };
  for (const Case& c : cases) EXPECT_EQ(request_body_text(c.method, c.body), c.text) << c.method << " " << c.body;
}

TEST(RequestRulesTest, SameOriginIsHttpAndTheHostHeader) {
  struct Case {
    const char* origin;
    const char* host;
    bool same;
  } cases[] = {
      {"http://127.0.0.1:8782", "127.0.0.1:8782", true},
      {"http://localhost:9000", "localhost:9000", true},  // forwarded by the container host
      {"http://LocalHost:9000", "localhost:9000", true},
      {"http://127.0.0.1:8782", "127.0.0.1:8783", false},
      {"http://evil.example", "127.0.0.1:8782", false},
      {"https://127.0.0.1:8782", "127.0.0.1:8782", false},
      {"null", "127.0.0.1:8782", false},
      {"http://", "", false},
      {"", "127.0.0.1:8782", false},
      {"http://127.0.0.1:8782/", "127.0.0.1:8782", false},
  };
  for (const Case& c : cases) EXPECT_EQ(is_same_origin(c.origin, c.host), c.same) << c.origin << " " << c.host;
}

TEST(RequestRulesTest, RefusalsAreJsonErrors) {
  struct Case {
    Reply reply;
    int status;
    const char* body;
  } cases[] = {
      {cross_origin_reply(), 403, R"({"error":"cross-origin request refused","ok":false})"},
      {body_too_large_reply(), 413, R"({"error":"request body larger than 32 MiB","ok":false})"},
      {bad_request_reply(), 400, R"({"error":"bad request","ok":false})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.reply.status, c.status);
    EXPECT_EQ(c.reply.content_type, "application/json");
    EXPECT_EQ(c.reply.body, c.body);
  }
}

}  // namespace
