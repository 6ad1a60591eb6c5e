// The desktop bridge as the server sees it: one run of the relay program per
// request, and the rules that turn the relay's answers into one verdict.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "base/json.h"

inline constexpr char kRelayProgram[] = "tovik-desktop";

// What one relay run gave: a failure text when the relay could not be run to
// an answer, else the JSON value it printed.
struct BridgeResult {
  std::optional<std::string> failure;
  Json value;
};

// Runs the relay with `command` and the compact JSON text of `payload`.
// Output that is not one JSON value becomes {"ok": <exit status was 0>,
// "raw": <output>}. A relay that cannot be started gives the failure
// "tovik-desktop unreachable: <system message>"; one that outlives
// `time_limit` is killed and gives "tovik-desktop unreachable: no answer
// within <limit>, stopped".
BridgeResult run_bridge(const std::string& command, const Json& payload,
                        std::chrono::milliseconds time_limit);

// The answer for a delivery to `tool` whose relay runs gave `results` (in the
// order made); `kind` names what was delivered ("footprint", ...). The first
// result that failed decides; otherwise the delivery succeeded.
Json summarise_bridge_results(const std::vector<BridgeResult>& results, const std::string& tool,
                              const std::string& kind);
