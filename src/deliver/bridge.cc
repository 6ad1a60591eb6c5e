#include "deliver/bridge.h"

#include <array>
#include <string_view>

#include "deliver/process_runner.h"
#include "base/utf8_lossy.h"

namespace {

// Phrases by which a relay says the desktop side did not answer.
constexpr std::array<std::string_view, 4> kOfflinePhrases = {"not connected", "no client",
                                                             "offline", "timeout"};

// ASCII lower-casing is enough here: no other character lower-cases to a
// letter of the phrases above.
std::string ascii_lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool says_not_connected(const Json& value) {
  if (value.is_object()) {
    auto it = value.find("bridgeConnected");
    if (it != value.end() && it->is_boolean() && !it->get<bool>()) return true;
  }
  const std::string text = ascii_lower(write_json(value));
  for (std::string_view phrase : kOfflinePhrases)
    if (text.find(phrase) != std::string::npos) return true;
  return false;
}

}  // namespace

BridgeResult run_bridge(const std::string& command, const Json& payload,
                        std::chrono::milliseconds time_limit) {
  Result<ProcessOutcome> run =
      run_process(kRelayProgram, {command, write_json(payload)}, time_limit);
  if (!run.ok())
    return {std::string("tovik-desktop unreachable: ") + run.error().message(), nullptr};
  if (run->timed_out)
    return {"tovik-desktop unreachable: no answer within " + describe_time_limit(time_limit) +
                ", stopped",
            nullptr};
  std::string text = utf8_lossy(run->out);
  Result<Json> parsed = parse_json(text);
  if (parsed.ok()) return {std::nullopt, std::move(*parsed)};
  return {std::nullopt, Json{{"ok", run->success()}, {"raw", std::move(text)}}};
}

Json summarise_bridge_results(const std::vector<BridgeResult>& results, const std::string& tool,
                              const std::string& kind) {
  for (const BridgeResult& r : results) {
    if (r.failure) {
      bool offline = r.failure->find("unreachable") != std::string::npos;
      return {{"error", *r.failure}, {"offline", offline}, {"ok", false}, {"target", tool}};
    }
    if (says_not_connected(r.value)) {
      return {{"message", "File generated, but Tovik Desktop isn't connected to " + tool +
                              ". Open Tovik Desktop on your laptop and try again."},
              {"offline", true},
              {"ok", false},
              {"target", tool}};
    }
  }
  return {{"message", "Delivered " + kind + " to " + tool + "."}, {"ok", true}, {"target", tool}};
}
