// What GET "/state" costs on the serving thread for a 100-pad footprint,
// whole (route_request) and by part (the parts that depend only on the
// footprint are computed once per footprint, the rest every time), so that the wrk numbers of
// bench/server.sh can be told apart from the network and the HTTP library.
//
//   build/server_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <string>

#include <benchmark/benchmark.h>

#include "authoring/text_ops.h"
#include "paste/paste_overlay.h"
#include "server/live_state.h"
#include "server/router.h"
#include "server/session.h"
#include "server/state_document.h"

namespace {

// A 10 x 10 grid of SMD pads with paste, the two texts and a courtyard.
std::string hundred_pads() {
  std::string text = R"((footprint "BENCH100" (version 20240108) (generator "bench") (layer "F.Cu")
  (fp_text reference "REF**" (at 0 -7) (layer "F.SilkS") (effects (font (size 1 1) (thickness 0.15))))
  (fp_text value "BENCH100" (at 0 7) (layer "F.Fab") (effects (font (size 1 1) (thickness 0.15))))
  (fp_rect (start -6 -6) (end 6 6) (stroke (width 0.05) (type solid)) (fill none) (layer "F.CrtYd"))
)";
  for (int i = 0; i < 100; ++i) {
    text += "  (pad \"" + std::to_string(i + 1) + "\" smd roundrect (at " + std::to_string(-4.5 + i % 10) + " " +
            std::to_string(-4.5 + i / 10) +
            ") (size 0.6 0.6) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n";
  }
  return text + ")\n";
}

const std::string& footprint() {
  static const std::string text = hundred_pads();
  return text;
}

void load_footprint() {
  static bool loaded = [] {
    load_session(Json{{"kicadMod", footprint()}}.dump());
    return true;
  }();
  (void)loaded;
}

void BM_StateRoute(benchmark::State& state) {
  load_footprint();
  for (auto _ : state) benchmark::DoNotOptimize(route_request("GET", "/state", ""));
}
BENCHMARK(BM_StateRoute);

void BM_PasteCounts(benchmark::State& state) {
  for (auto _ : state) {
    auto apertures = find_paste_apertures(footprint());
    benchmark::DoNotOptimize(render_paste_overlay(apertures).dot_count);
  }
}
BENCHMARK(BM_PasteCounts);

void BM_BoundingBox(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(footprint_bounding_box(footprint()));
}
BENCHMARK(BM_BoundingBox);

void BM_TextsInfo(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(texts_info(footprint()));
}
BENCHMARK(BM_TextsInfo);

// The document of an unchanged session, as the page's polls ask for it.
void BM_StateDocument(benchmark::State& state) {
  load_footprint();
  LiveSession session = *session_slot().get();
  for (auto _ : state) benchmark::DoNotOptimize(state_document_text(session, false));
}
BENCHMARK(BM_StateDocument);

// The SVG's JSON string, which the document keeps between polls.
void BM_SvgJsonString(benchmark::State& state) {
  load_footprint();
  Json svg(session_slot().get()->svg);
  for (auto _ : state) benchmark::DoNotOptimize(write_json(svg));
}
BENCHMARK(BM_SvgJsonString);

}  // namespace

BENCHMARK_MAIN();
