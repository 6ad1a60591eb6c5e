#include "server/eval_bridge.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The queue lives as long as the process, so each test starts by emptying it.
void drain_queue() {
  while (take_pending_eval().body != "{}") {
  }
}

std::string queued_id(const Reply& reply) { return parse_json(reply.body).value().at("id").get<std::string>(); }

TEST(EvalBridgeTest, IdsAreConsecutiveDecimalStrings) {
  uint64_t first = std::stoull(queued_id(queue_eval(R"({"code":"1"})")));
  Reply second = queue_eval(R"({"code":"2"})");
  EXPECT_EQ(second.status, 200);
  EXPECT_EQ(second.content_type, "application/json");
  EXPECT_EQ(second.body, R"({"id":")" + std::to_string(first + 1) + R"("})");
}

TEST(EvalBridgeTest, PendingExpressionIsHandedOutOnceInOrder) {
  drain_queue();
  std::string a = queued_id(queue_eval(R"({"code":"ui.state"})"));
  std::string b = queued_id(queue_eval(R"({"code":"x\"y"})"));
  EXPECT_EQ(take_pending_eval().body, R"({"code":"ui.state","id":")" + a + R"("})");
  EXPECT_EQ(take_pending_eval().body, R"({"code":"x\"y","id":")" + b + R"("})");
  EXPECT_EQ(take_pending_eval().body, "{}");
}

TEST(EvalBridgeTest, UnusableBodiesQueueAnEmptyExpression) {
  for (const char* body : {"", "not json", "[1,2]", R"({"code":5})", R"({"other":"x"})"}) {
    drain_queue();
    std::string id = queued_id(queue_eval(body));
    EXPECT_EQ(take_pending_eval().body, R"({"code":"","id":")" + id + R"("})") << body;
  }
}

TEST(EvalBridgeTest, ParsesIdTexts) {
  struct Case {
    const char* text;
    std::optional<uint64_t> id;
  } cases[] = {
      {"0", 0},
      {"7", 7},
      {"+7", 7},
      {"007", 7},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"++1", std::nullopt},
      {"-1", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"abc", std::nullopt},
      {"3/result", std::nullopt},
      {"１", std::nullopt},  // a full-width digit is not an ASCII digit
  };
  for (const Case& c : cases) EXPECT_EQ(parse_eval_id(c.text), c.id) << c.text;
}

TEST(EvalBridgeTest, StoredResultIsReadAgainAndAgain) {
  reset_eval_results_and_console();
  EXPECT_EQ(read_eval_result("5").body, R"({"done":false})");
  EXPECT_EQ(store_eval_result("5", "42").body, R"({"ok":true})");
  EXPECT_EQ(read_eval_result("5").body, R"({"done":true,"result":42})");
  EXPECT_EQ(read_eval_result("+5").body, R"({"done":true,"result":42})");
  store_eval_result("5", R"({"result":["a"],"error":null})");
  EXPECT_EQ(read_eval_result("5").body, R"({"done":true,"result":{"error":null,"result":["a"]}})");
}

TEST(EvalBridgeTest, BadIdsAndBodiesStoreNothing) {
  reset_eval_results_and_console();
  struct Case {
    const char* id;
    std::string body;
  } cases[] = {
      {"abc", "1"},
      {"6", ""},
      {"6", "{"},
      {"6", "1 2"},
      // deeper than the reader's nesting bound
      {"6", std::string(200, '[') + std::string(200, ']')},
  };
  for (const Case& c : cases) {
    Reply reply = store_eval_result(c.id, c.body);
    EXPECT_EQ(reply.status, 200) << c.id << " " << c.body;
    EXPECT_EQ(reply.body, R"({"ok":true})") << c.id << " " << c.body;
  }
  EXPECT_EQ(read_eval_result("6").body, R"({"done":false})");
  Reply bad = read_eval_result("abc");
  EXPECT_EQ(bad.status, 404);
  EXPECT_EQ(bad.body, R"({"error":"not found"})");
}

TEST(EvalBridgeTest, ConsoleLinesTakeLevelAndMessage) {
  reset_eval_results_and_console();
  struct Case {
    const char* body;
    const char* line;  // nullptr: nothing stored
  } cases[] = {
      {R"({"level":"warn","msg":"x"})", "[warn] x"},
      {R"({"msg":"hi"})", "[log] hi"},
      {R"({"level":"error"})", "[error] "},
      {R"({"level":3,"msg":["a"]})", "[log] "},
      {R"("just a string")", "[log] "},
      {"not json", nullptr},
      {"", nullptr},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    Reply reply = log_console(c.body);
    EXPECT_EQ(reply.body, R"({"ok":true})") << c.body;
    if (c.line) expected.push_back(c.line);
  }
  EXPECT_EQ(console_lines(), expected);
  EXPECT_EQ(read_console().body, R"({"lines":["[warn] x","[log] hi","[error] ","[log] ","[log] "]})");
}

TEST(EvalBridgeTest, ConsoleKeepsTheLastLines) {
  reset_eval_results_and_console();
  for (size_t i = 0; i <= CONSOLE_LOG_LIMIT; ++i) log_console(R"({"msg":")" + std::to_string(i) + R"("})");
  std::vector<std::string> lines = console_lines();
  ASSERT_EQ(lines.size(), CONSOLE_LOG_LIMIT);
  EXPECT_EQ(lines.front(), "[log] 1");
  EXPECT_EQ(lines.back(), "[log] 500");
}

TEST(EvalBridgeTest, ResetEmptiesResultsAndConsoleButKeepsTheQueue) {
  drain_queue();
  store_eval_result("9", "true");
  log_console(R"({"msg":"m"})");
  std::string id = queued_id(queue_eval(R"({"code":"c"})"));
  reset_eval_results_and_console();
  EXPECT_EQ(read_eval_result("9").body, R"({"done":false})");
  EXPECT_EQ(read_console().body, R"({"lines":[]})");
  EXPECT_EQ(take_pending_eval().body, R"({"code":"c","id":")" + id + R"("})");
}

}  // namespace
