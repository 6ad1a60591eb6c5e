// The `ui` command: asks the open live app page to run one of its
// `window.ui` actions through the server's eval bridge, waits for the page's
// answer and prints it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/json.h"

struct UiClientTiming {
  int polls = 60;
  std::chrono::milliseconds poll_interval{120};
  std::chrono::milliseconds request_timeout{30000};
};

// The JavaScript that calls window.ui.<action> with `args` as JSON strings,
// or evaluates to a "not ready" notice when the page has no such action yet.
// The action is inserted verbatim.
std::string ui_expression(std::string_view action, const std::vector<std::string>& args);

// What the command prints (without the line feed) for the `result` member of
// a finished eval, or the page's error as "UI error: ...".
Result<std::string> ui_outcome(const Json& result);

// Queues the action on the server at 127.0.0.1:`port`, polls for its result
// and prints the outcome on standard output.
Status run_ui_command(const std::string& action, const std::vector<std::string>& args, uint16_t port,
                      const UiClientTiming& timing = {});
