#include "server/router.h"

#include <gtest/gtest.h>

#include <string>

#include "assets.h"
#include "server/eval_bridge.h"
#include "server/live_state.h"
#include "server/session.h"

namespace {

constexpr char kNotFound[] = R"({"error":"not found"})";
constexpr char kOk[] = R"({"ok":true})";

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_slot().set(std::nullopt);
    source_path_slot().set(std::nullopt);
    reset_eval_results_and_console();
    while (take_pending_eval().body != "{}") {
    }
  }
};

struct Case {
  const char* method;
  const char* path;
  const char* body;
  int status;
  const char* type;
  const char* reply;
};

void expect_routes(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Reply reply = route_request(c.method, c.path, c.body);
    std::string what = std::string(c.method) + " " + c.path + " " + c.body;
    EXPECT_EQ(reply.status, c.status) << what;
    EXPECT_EQ(reply.content_type, c.type) << what;
    EXPECT_EQ(reply.body, c.reply) << what;
  }
}

TEST_F(RouterTest, FixedRepliesWithNothingLoaded) {
  expect_routes({
      {"GET", "/state", "", 200, kJsonType, "{}"},
      {"GET", "/favicon.svg", "", 200, kSvgType, kFaviconSvg},
      {"GET", "/embed", "", 200, kHtmlType, kEmbedNoticePage},
      {"GET", "/eval/pending", "", 200, kJsonType, "{}"},
      {"GET", "/console", "", 200, kJsonType, R"({"lines":[]})"},
      {"POST", "/load", "not json", 200, kJsonType, kOk},
      {"POST", "/console", "{}", 200, kJsonType, kOk},
      {"POST", "/shutdown", "", 200, kJsonType, kOk},
      {"POST", "/text", "{}", 400, kJsonType, R"({"error":"need reference.{x,y} and value.{x,y}","ok":false})"},
      {"POST", "/save", "{}", 422, kJsonType,
       R"j({"error":"no file to save (footprint was pushed, not loaded from disk)","ok":false})j"},
      {"POST", "/deliver", "{}", 200, kJsonType, R"({"error":"no footprint loaded","ok":false})"},
      {"POST", "/load-chip", "{}", 400, kJsonType, R"({"error":"mpn required","ok":false})"},
  });
}

TEST_F(RouterTest, PathsAreExactAndMethodsSeparate) {
  expect_routes({
      {"GET", "/State", "", 404, kJsonType, kNotFound},
      {"GET", "/state/", "", 404, kJsonType, kNotFound},
      {"GET", "//state", "", 404, kJsonType, kNotFound},
      {"GET", "/%73tate", "", 404, kJsonType, kNotFound},
      {"HEAD", "/state", "", 404, kJsonType, kNotFound},
      {"PUT", "/state", "", 404, kJsonType, kNotFound},
      {"get", "/state", "", 404, kJsonType, kNotFound},
      {"GET", "/shutdown", "", 404, kJsonType, kNotFound},
      {"GET", "/load", "", 404, kJsonType, kNotFound},
      {"POST", "/state", "", 404, kJsonType, kNotFound},
      {"POST", "/", "", 404, kJsonType, kNotFound},
      {"GET", "", "", 404, kJsonType, kNotFound},
  });
}

TEST_F(RouterTest, EvalResultRule) {
  expect_routes({
      {"POST", "/eval/3/result", "[true]", 200, kJsonType, kOk},
      {"GET", "/eval/3", "", 200, kJsonType, R"({"done":true,"result":[true]})"},
      {"PUT", "/eval/3", "", 200, kJsonType, R"({"done":true,"result":[true]})"},
      {"POST", "/eval/3", "", 200, kJsonType, R"({"done":true,"result":[true]})"},
      {"DELETE", "/eval/3", "", 200, kJsonType, R"({"done":true,"result":[true]})"},
      {"GET", "/eval/4", "", 200, kJsonType, R"({"done":false})"},
      {"GET", "/eval/3/result", "", 404, kJsonType, kNotFound},
      {"PUT", "/eval/3/result", "1", 404, kJsonType, kNotFound},
      {"POST", "/eval/pending", "", 404, kJsonType, kNotFound},
      {"POST", "/eval/abc/result", "1", 200, kJsonType, kOk},
      {"GET", "/eval/abc", "", 404, kJsonType, kNotFound},
      {"GET", "/eval/", "", 404, kJsonType, kNotFound},
      {"POST", "/eval//result", "1", 200, kJsonType, kOk},
      {"POST", "/eval/result", "1", 404, kJsonType, kNotFound},
      {"GET", "/evaluate/3", "", 404, kJsonType, kNotFound},
  });
}

TEST_F(RouterTest, QueuedExpressionRoundTrip) {
  Reply queued = route_request("POST", "/eval", R"({"code":"ui.state"})");
  std::string id = parse_json(queued.body).value()["id"].get<std::string>();
  EXPECT_EQ(route_request("GET", "/eval/pending", "").body, R"({"code":"ui.state","id":")" + id + R"("})");
  EXPECT_EQ(route_request("POST", "/eval/" + id + "/result", R"({"error":null,"result":1})").body, kOk);
  EXPECT_EQ(route_request("GET", "/eval/" + id, "").body, R"({"done":true,"result":{"error":null,"result":1}})");
}

TEST_F(RouterTest, SplicesTheViewerCore) {
  struct SpliceCase {
    const char* page;
    const char* result;
  } cases[] = {
      {"<style>/*__AV_CSS__*/</style><script>/*__AV_JS__*/</script>", "<style>C</style><script>J</script>"},
      {"/*__AV_CSS__*//*__AV_CSS__*/", "CC"},
      {"no markers", "no markers"},
      {"/*__AV_JS__*/ before /*__AV_CSS__*/", "J before C"},
  };
  for (const SpliceCase& c : cases) EXPECT_EQ(splice_viewer_core(c.page, "C", "J"), c.result) << c.page;
  // Replacement texts are not searched again.
  EXPECT_EQ(splice_viewer_core("/*__AV_CSS__*/", "/*__AV_JS__*/", "J"), "J");
  EXPECT_EQ(splice_viewer_core("/*__AV_JS__*/", "C", "/*__AV_JS__*/"), "/*__AV_JS__*/");
}

TEST_F(RouterTest, IndexPageCarriesTheViewerCore) {
  for (const char* path : {"/", "/index.html"}) {
    Reply page = route_request("GET", path, "");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.content_type, kHtmlType);
    EXPECT_EQ(page.body.find("/*__AV_CSS__*/"), std::string::npos);
    EXPECT_EQ(page.body.find("/*__AV_JS__*/"), std::string::npos);
    EXPECT_NE(page.body.find(assets::viewer_core_css), std::string::npos);
    EXPECT_NE(page.body.find(assets::viewer_core_js), std::string::npos);
    EXPECT_EQ(page.body.size(), assets::live_app_html.size() - 27 + assets::viewer_core_css.size() +
                                    assets::viewer_core_js.size());
  }
}

}  // namespace
