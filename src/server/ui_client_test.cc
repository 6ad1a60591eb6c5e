#include "server/ui_client.h"

#include <gtest/gtest.h>

namespace {

TEST(UiClientTest, ExpressionCallsTheActionWithJsonStrings) {
  struct Case {
    const char* action;
    std::vector<std::string> args;
    const char* call;  // what stands between "? " and " :"
  } cases[] = {
      {"layer", {"silk", "off"}, R"(window.ui.layer("silk","off"))"},
      {"list", {}, "window.ui.list()"},
      {"toast", {"hi \"there\""}, R"(window.ui.toast("hi \"there\""))"},
      {"toast", {"a\\b\nc"}, R"(window.ui.toast("a\\b\nc"))"},
      {"toast", {"é ✓"}, R"(window.ui.toast("é ✓"))"},  // non-ASCII as it is
      {"textSet", {"value", "1.5", ""}, R"(window.ui.textSet("value","1.5",""))"},
  };
  for (const Case& c : cases) {
    std::string action = c.action;
    EXPECT_EQ(ui_expression(c.action, c.args), "(window.ui && window.ui." + action + ") ? " + c.call +
                                                    " : 'window.ui not ready — is a browser tab open?'")
        << c.action;
  }
}

TEST(UiClientTest, ActionIsInsertedVerbatim) {
  EXPECT_EQ(ui_expression("a.b", {}),
            "(window.ui && window.ui.a.b) ? window.ui.a.b() : 'window.ui not ready — is a browser tab open?'");
}

TEST(UiClientTest, OutcomeOfAFinishedEval) {
  struct Case {
    const char* result;  // the reply's `result` member
    const char* printed;
  } cases[] = {
      {R"({"error":null})", "ok"},
      {R"({"error":null,"result":"silk=false"})", "silk=false"},
      {R"({"error":null,"result":""})", ""},
      {R"({"error":null,"result":null})", "ok"},
      {R"({"error":null,"result":["a","b"]})", "[\n  \"a\",\n  \"b\"\n]"},
      {R"({"error":null,"result":{"z":1,"a":{"c":2.5,"b":true}}})",
       "{\n  \"a\": {\n    \"b\": true,\n    \"c\": 2.5\n  },\n  \"z\": 1\n}"},
      {R"({"result":3})", "3"},
      {R"({"result":"é"})", "é"},
      {"null", "ok"},
      {"42", "ok"},
      {"{}", "ok"},
  };
  for (const Case& c : cases) {
    Result<std::string> outcome = ui_outcome(parse_json(c.result).value());
    ASSERT_TRUE(outcome.ok()) << c.result;
    EXPECT_EQ(*outcome, c.printed) << c.result;
  }
}

TEST(UiClientTest, PageErrorsFail) {
  struct Case {
    const char* result;
    const char* message;
  } cases[] = {
      {R"({"error":"TypeError: x is undefined\n    at eval"})", "UI error: TypeError: x is undefined\n    at eval"},
      {R"({"error":5,"result":"ignored"})", "UI error: "},
      {R"({"error":{"m":1}})", "UI error: "},
  };
  for (const Case& c : cases) {
    Result<std::string> outcome = ui_outcome(parse_json(c.result).value());
    ASSERT_FALSE(outcome.ok()) << c.result;
    EXPECT_EQ(outcome.error().message(), c.message) << c.result;
  }
}

TEST(UiClientTest, NoServerFailsWithTheHint) {
  // Port 1 on the loopback interface: nothing listens there.
  Status status = run_ui_command("list", {}, 1);
  ASSERT_FALSE(status.ok());
  ASSERT_EQ(status.error().messages().size(), 2u);
  EXPECT_EQ(status.error().messages()[0],
            "POST http://127.0.0.1:1/eval — is the app running? (tovik-footprint serve --port 1)");
  EXPECT_EQ(status.error().messages()[1], "Connection refused");
}

}  // namespace
