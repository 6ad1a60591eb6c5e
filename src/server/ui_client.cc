#include "server/ui_client.h"

#include <iostream>
#include <optional>
#include <thread>
#include <utility>

#include "base/utf8_lossy.h"
#include "server/http_client.h"

namespace {

std::string base_url(uint16_t port) { return "http://127.0.0.1:" + std::to_string(port); }

Result<Json> decode_reply(const HttpResponse& response) {
  return parse_json(response.body).context("error decoding response body");
}

// Queues `code` and returns its id.
Result<std::string> queue_expression(const std::string& code, uint16_t port, const UiClientTiming& timing) {
  HttpRequest request;
  request.method = "POST";
  request.port = port;
  request.target = "/eval";
  request.body = write_json(Json{{"code", code}});
  request.content_type = "application/json";
  request.timeout = timing.request_timeout;
  Result<HttpResponse> response = send_http_request(request);
  if (!response.ok()) {
    return std::move(response).error().context("POST " + base_url(port) +
                                              "/eval — is the app running? (tovik-footprint serve --port " +
                                              std::to_string(port) + ")");
  }
  // The status is deliberately not looked at: the body decides.
  ASSIGN_OR_RETURN(Json reply, decode_reply(*response));
  if (!reply.is_object()) return Error("no eval id");
  auto id = reply.find("id");
  if (id == reply.end() || !id->is_string()) return Error("no eval id");
  return id->get<std::string>();
}

// Polls for the result of `id`; the reply's `result` member once done,
// nothing when the polls ran out.
Result<std::optional<Json>> wait_for_result(const std::string& id, uint16_t port, const UiClientTiming& timing) {
  HttpRequest request;
  request.port = port;
  request.target = "/eval/" + id;
  request.timeout = timing.request_timeout;
  for (int poll = 0; poll < timing.polls; ++poll) {
    std::this_thread::sleep_for(timing.poll_interval);
    ASSIGN_OR_RETURN(HttpResponse response, send_http_request(request));
    Result<Json> reply = decode_reply(response);
    if (!reply.ok() || !reply->is_object()) continue;
    auto done = reply->find("done");
    if (done == reply->end() || *done != Json(true)) continue;
    auto result = reply->find("result");
    return std::optional<Json>(result == reply->end() ? Json(nullptr) : *result);
  }
  return std::optional<Json>();
}

}  // namespace

std::string ui_expression(std::string_view action, const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args) {
    if (!joined.empty()) joined += ",";
    joined += write_json(Json(utf8_lossy(arg)));
  }
  std::string call = "window.ui." + std::string(action);
  return "(window.ui && " + call + ") ? " + call + "(" + joined +
         ") : 'window.ui not ready — is a browser tab open?'";
}

Result<std::string> ui_outcome(const Json& result) {
  if (!result.is_object()) return std::string("ok");
  if (auto error = result.find("error"); error != result.end() && !error->is_null()) {
    return Error("UI error: " + (error->is_string() ? error->get<std::string>() : std::string()));
  }
  auto value = result.find("result");
  if (value == result.end() || value->is_null()) return std::string("ok");
  if (value->is_string()) return value->get<std::string>();
  return write_json_pretty(*value);
}

Status run_ui_command(const std::string& action, const std::vector<std::string>& args, uint16_t port,
                      const UiClientTiming& timing) {
  ASSIGN_OR_RETURN(std::string id, queue_expression(ui_expression(action, args), port, timing));
  ASSIGN_OR_RETURN(std::optional<Json> result, wait_for_result(id, port, timing));
  if (!result) {
    return Error("timed out — open a browser tab on http://127.0.0.1:" + std::to_string(port) +
                 "/ so the UI can run the command");
  }
  ASSIGN_OR_RETURN(std::string outcome, ui_outcome(*result));
  std::cout << outcome << "\n" << std::flush;
  return {};
}
