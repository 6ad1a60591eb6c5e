#include "deliver/deliver.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/file_io.h"
#include "deliver/bridge.h"
#include "deliver/process_runner.h"
#include "base/utf8_lossy.h"

namespace {

namespace fs = std::filesystem;

enum class Flow { kKicad, kFusion, kLibraryOnly };

struct Target {
  const char* tool;  // display name
  Flow flow;
};

std::optional<Target> find_target(const std::string& target) {
  if (target == "kicad") return Target{"KiCad", Flow::kKicad};
  if (target == "fusion360" || target == "fusion") return Target{"Fusion 360", Flow::kFusion};
  if (target == "altium") return Target{"Altium", Flow::kLibraryOnly};
  if (target == "orcad") return Target{"OrCAD", Flow::kLibraryOnly};
  return std::nullopt;
}

std::string requested_target(std::string_view body) {
  Result<Json> request = parse_json(body);
  if (request.ok() && request->is_object()) {
    auto it = request->find("target");
    if (it != request->end() && it->is_string()) return it->get<std::string>();
  }
  return "kicad";
}

Json failure(std::string error) { return {{"error", std::move(error)}, {"ok", false}}; }

std::string path_text(const fs::path& path) { return utf8_lossy(path.native()); }

Json deliver_to_kicad(const FootprintToDeliver& footprint, const fs::path& mod_path,
                      const DeliveryOptions& options) {
  std::vector<BridgeResult> results;
  results.push_back(run_bridge("send_files",
                               {{"destinationFolder", "footprints"},
                                {"filePaths", Json::array({path_text(mod_path)})},
                                {"targetApp", "kicad"}},
                               options.time_limit));
  results.push_back(run_bridge("kicad_install_library",
                               {{"libraryName", footprint.name},
                                {"libraryPath", path_text(mod_path)},
                                {"libraryType", "footprint"}},
                               options.time_limit));
  return summarise_bridge_results(results, "KiCad", "footprint");
}

// Builds the EAGLE library; the failure answer when that did not work.
std::optional<Json> generate_library(const FootprintToDeliver& footprint,
                                     const fs::path& mod_path, const fs::path& lbr_path,
                                     const DeliveryOptions& options) {
  Result<ProcessOutcome> run =
      run_process(kGeneratorProgram,
                  {"generate", "--fp", mod_path.native(), "--name", footprint.name, "--output",
                   lbr_path.native()},
                  options.time_limit);
  if (!run.ok()) return failure("tovik-lbr not available: " + run.error().message());
  if (run->success()) return std::nullopt;
  Json answer = failure(run->timed_out ? "tovik-lbr generate timed out after " +
                                             describe_time_limit(options.time_limit)
                                       : "tovik-lbr generate failed");
  answer["detail"] = utf8_lossy(run->err);
  return answer;
}

// The desktop's own path of the library when the relay told it, else ours.
std::string stored_library_path(const BridgeResult& sent, const fs::path& lbr_path) {
  if (!sent.failure && sent.value.is_object()) {
    auto it = sent.value.find("destinationPaths");
    if (it != sent.value.end() && it->is_array() && !it->empty() && it->front().is_string())
      return it->front().get<std::string>();
  }
  return path_text(lbr_path);
}

Json deliver_to_fusion(const fs::path& lbr_path, const DeliveryOptions& options) {
  std::vector<BridgeResult> results;
  results.push_back(run_bridge("send_files",
                               {{"destinationFolder", "fusion"},
                                {"filePaths", Json::array({path_text(lbr_path)})},
                                {"targetApp", "fusion360"}},
                               options.time_limit));
  results.push_back(run_bridge("fusion_open_lbr",
                               {{"filePath", stored_library_path(results.front(), lbr_path)}},
                               options.time_limit));
  return summarise_bridge_results(results, "Fusion 360", "library (.lbr)");
}

Json needs_bridge(const std::string& tool, const fs::path& lbr_path) {
  return {{"contribute", kBridgeDocsUrl},
          {"file", path_text(lbr_path)},
          {"message", "Your EAGLE .lbr for " + tool + " is built and saved — but the " + tool +
                          " ↔ Tovik Desktop bridge isn't built yet. Want " + tool +
                          " connectivity in the Tovik ecosystem? Be the one to build the bridge "
                          "and contribute it on the wiki."},
          {"needsBridge", true},
          {"ok", false},
          {"target", tool}};
}

}  // namespace

std::string delivery_work_folder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  return (fs::path(base) / ("tovik-footprint-deliver-" + std::to_string(getpid()))).string();
}

std::string safe_file_stem(std::string_view footprint_name) {
  std::string stem(footprint_name);
  for (char& c : stem)
    if (c == '/' || c == ' ') c = '_';
  return stem;
}

Json deliver_footprint(std::string_view request_body, const FootprintToDeliver& footprint,
                       const DeliveryOptions& options) {
  const std::string target = requested_target(request_body);
  if (footprint.kicad_mod.empty()) return failure("no footprint loaded");

  const fs::path folder = delivery_work_folder();
  std::error_code ignored;  // a folder that cannot be made shows up as the write failure
  fs::create_directories(folder, ignored);
  const std::string stem = safe_file_stem(footprint.name);
  const fs::path mod_path = folder / (stem + ".kicad_mod");
  if (!write_file(mod_path.native(), footprint.kicad_mod).ok())
    return failure("could not write temp footprint");

  std::optional<Target> chosen = find_target(target);
  if (!chosen) return failure("unknown target " + target);
  if (chosen->flow == Flow::kKicad) return deliver_to_kicad(footprint, mod_path, options);

  const fs::path lbr_path = folder / (stem + ".lbr");
  if (std::optional<Json> failed = generate_library(footprint, mod_path, lbr_path, options))
    return *failed;
  if (chosen->flow == Flow::kFusion) return deliver_to_fusion(lbr_path, options);
  return needs_bridge(chosen->tool, lbr_path);
}
