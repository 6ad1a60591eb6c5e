#include "server/eval_bridge.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "base/json.h"

namespace {

constexpr char kOkBody[] = R"({"ok":true})";

struct QueuedEval {
  uint64_t id;
  std::string code;
};

std::atomic<uint64_t> next_eval_id{1};

std::mutex eval_queue_mutex;
std::deque<QueuedEval> eval_queue;

std::mutex eval_results_mutex;
std::map<uint64_t, Json> eval_results;

std::mutex console_log_mutex;
std::deque<std::string> console_log;

// The member `name` of `value` when it is a JSON string.
std::optional<std::string> string_member(const Json& value, const char* name) {
  if (!value.is_object()) return std::nullopt;
  auto it = value.find(name);
  if (it == value.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

}  // namespace

void reset_eval_results_and_console() {
  {
    std::lock_guard lock(eval_results_mutex);
    eval_results.clear();
  }
  std::lock_guard lock(console_log_mutex);
  console_log.clear();
}

std::optional<uint64_t> parse_eval_id(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  uint64_t id = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (id > (UINT64_MAX - digit) / 10) return std::nullopt;
    id = id * 10 + digit;
  }
  return id;
}

Reply queue_eval(std::string_view body) {
  std::string code;
  if (auto parsed = parse_json(body); parsed.ok()) code = string_member(*parsed, "code").value_or("");
  uint64_t id = next_eval_id.fetch_add(1);
  {
    std::lock_guard lock(eval_queue_mutex);
    eval_queue.push_back({id, std::move(code)});
  }
  return json_reply(Json{{"id", std::to_string(id)}});
}

Reply take_pending_eval() {
  std::optional<QueuedEval> front;
  {
    std::lock_guard lock(eval_queue_mutex);
    if (!eval_queue.empty()) {
      front = std::move(eval_queue.front());
      eval_queue.pop_front();
    }
  }
  if (!front) return json_reply(std::string("{}"));
  return json_reply(Json{{"code", std::move(front->code)}, {"id", std::to_string(front->id)}});
}

Reply store_eval_result(std::string_view id_text, std::string_view body) {
  std::optional<uint64_t> id = parse_eval_id(id_text);
  Result<Json> value = parse_json(body);
  if (id && value.ok()) {
    std::lock_guard lock(eval_results_mutex);
    eval_results[*id] = std::move(value).value();
  }
  return json_reply(std::string(kOkBody));
}

Reply read_eval_result(std::string_view id_text) {
  std::optional<uint64_t> id = parse_eval_id(id_text);
  if (!id) return not_found_reply();
  std::optional<Json> result;
  {
    std::lock_guard lock(eval_results_mutex);
    if (auto it = eval_results.find(*id); it != eval_results.end()) result = it->second;
  }
  if (!result) return json_reply(std::string(R"({"done":false})"));
  return json_reply(Json{{"done", true}, {"result", std::move(*result)}});
}

Reply log_console(std::string_view body) {
  Result<Json> parsed = parse_json(body);
  if (parsed.ok()) {
    std::string line = "[";
    line += string_member(*parsed, "level").value_or("log");
    line += "] ";
    line += string_member(*parsed, "msg").value_or("");
    std::lock_guard lock(console_log_mutex);
    console_log.push_back(std::move(line));
    while (console_log.size() > CONSOLE_LOG_LIMIT) console_log.pop_front();
  }
  return json_reply(std::string(kOkBody));
}

Reply read_console() { return json_reply(Json{{"lines", console_lines()}}); }

std::vector<std::string> console_lines() {
  std::lock_guard lock(console_log_mutex);
  return {console_log.begin(), console_log.end()};
}
