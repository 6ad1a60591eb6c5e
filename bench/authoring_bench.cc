// Footprint authoring at scale: the text operations on `.kicad_mod` texts of
// 1 MB and 10 MB (time per byte should stay the same, as every operation is
// linear), on crafted texts that would make a backtracking engine crawl, and
// reading and writing a create JSON of about 10 MB.
#include <benchmark/benchmark.h>

#include <string>

#include "authoring/create_input.h"
#include "authoring/kicad_writer.h"
#include "authoring/text_ops.h"

namespace {

constexpr int64_t kMegabyte = 1 << 20;

// A KiCad 6 style footprint of about `bytes` bytes: the two texts, then pads
// and silkscreen lines on a grid.
std::string footprint_text(size_t bytes) {
  std::string text =
      "(footprint \"Big\" (version 20240108) (generator \"bench\") (layer \"F.Cu\")\n"
      "  (fp_text reference \"REF**\" (at 0 -3 90) (layer \"F.SilkS\")\n"
      "    (effects (font (size 1 1) (thickness 0.15))))\n"
      "  (fp_text value \"Big\" (at 0 3) (layer \"F.Fab\") hide\n"
      "    (effects (font (size 1 1) (thickness 0.15))))\n";
  for (int i = 0; text.size() < bytes; ++i) {
    std::string x = std::to_string(i % 100) + "." + std::to_string(i % 7);
    std::string y = std::to_string(i / 100);
    text += "  (pad \"" + std::to_string(i) + "\" smd roundrect (at " + x + " " + y +
            ") (size 0.6 0.7) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n";
    text += "  (fp_line (start " + x + " " + y + ") (end " + y + " " + x +
            ") (stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))\n";
  }
  return text + ")\n";
}

// Texts that never complete a match but keep starting one.
std::string crafted_text(const std::string& unit, size_t bytes) {
  std::string text;
  text.reserve(bytes + unit.size());
  while (text.size() < bytes) text += unit;
  return text;
}

// A KiCad 9 style footprint: the texts as multi-line properties, then pads in
// multi-line layout.
std::string property_footprint_text(size_t bytes) {
  std::string text =
      "(footprint \"Big\"\n\t(version 20241229)\n"
      "\t(property \"Reference\" \"REF**\"\n\t\t(at 0 -3 0)\n\t\t(layer \"F.SilkS\")\n"
      "\t\t(effects\n\t\t\t(font\n\t\t\t\t(size 1 1)\n\t\t\t\t(thickness 0.15)\n\t\t\t)\n\t\t)\n\t)\n"
      "\t(property \"Value\" \"Big\"\n\t\t(at 0 3 0)\n\t\t(layer \"F.Fab\")\n\t\t(hide yes)\n"
      "\t\t(effects\n\t\t\t(font\n\t\t\t\t(size 1 1)\n\t\t\t\t(thickness 0.15)\n\t\t\t)\n\t\t)\n\t)\n";
  for (int i = 0; text.size() < bytes; ++i) {
    text += "\t(pad \"" + std::to_string(i) + "\" smd roundrect\n\t\t(at " + std::to_string(i % 100) + " " +
            std::to_string(i / 100) + ")\n\t\t(size 0.6 0.7)\n\t\t(layers \"F.Cu\" \"F.Paste\" \"F.Mask\")\n\t)\n";
  }
  return text + ")\n";
}

std::string create_json(size_t bytes) {
  std::string text = R"({"footprintName": "Big", "description": "bench", "tags": "a b",)"
                     R"( "body": {"x1": -50, "y1": -50, "x2": 50, "y2": 50}, "pads": [)";
  for (int i = 0; text.size() < bytes; ++i) {
    if (i > 0) text += ",";
    text += R"({"number": ")" + std::to_string(i) + R"(", "x": )" + std::to_string(i % 100) + ".25, \"y\": " +
            std::to_string(i / 100) + R"(.5, "dx": 0.6, "dy": 0.7, "shape": "rect", "angle": 90})" + "\n";
  }
  return text + "]}";
}

template <typename Op>
void run_on(benchmark::State& state, const std::string& text, Op op) {
  for (auto _ : state) benchmark::DoNotOptimize(op(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_FootprintBoundingBox(benchmark::State& state) {
  run_on(state, footprint_text(state.range(0)), [](const std::string& t) { return footprint_bounding_box(t); });
}

void BM_TextsInfo(benchmark::State& state) {
  run_on(state, footprint_text(state.range(0)), [](const std::string& t) { return texts_info(t); });
}

// The edits find their entry at the start but copy the whole text.
void BM_SetTextPosition(benchmark::State& state) {
  run_on(state, footprint_text(state.range(0)),
         [](const std::string& t) { return set_text_position(t, TextKind::kValue, 1.25, -3.5); });
}

void BM_SetTextSize(benchmark::State& state) {
  run_on(state, footprint_text(state.range(0)),
         [](const std::string& t) { return set_text_size(t, TextKind::kReference, 1.234); });
}

// No entry anywhere: every operation scans the whole text and finds nothing.
void BM_TextOpsNoEntry(benchmark::State& state) {
  std::string text = footprint_text(state.range(0));
  for (size_t at; (at = text.find("(fp_text")) != std::string::npos;) text.replace(at, 8, "(fp_txt ");
  run_on(state, text, [](const std::string& t) {
    return texts_info(t).size() + set_text_size(t, TextKind::kValue, 2).size() +
           set_text_position(t, TextKind::kValue, 1, 1).size();
  });
}

// Openers of the lazy patterns without their closing part.
void BM_TextOpsCraftedOpeners(benchmark::State& state) {
  run_on(state, crafted_text("(fp_text value (size 1 (fp_text value \"", state.range(0)), [](const std::string& t) {
    return texts_info(t).size() + set_text_size(t, TextKind::kValue, 2).size();
  });
}

void BM_BoundingBoxCraftedOpeners(benchmark::State& state) {
  run_on(state, crafted_text("(at 1 2 3) (size 1 (start 1 2) (end 1 ", state.range(0)),
         [](const std::string& t) { return footprint_bounding_box(t); });
}

void BM_PropertyTextsInfo(benchmark::State& state) {
  run_on(state, property_footprint_text(state.range(0)), [](const std::string& t) { return texts_info(t); });
}

void BM_PropertyEdits(benchmark::State& state) {
  run_on(state, property_footprint_text(state.range(0)), [](const std::string& t) {
    return set_text_position(t, TextKind::kValue, 1.25, -3.5).size() + set_text_size(t, TextKind::kReference, 2).size();
  });
}

// Property openers of the right name that never get a position and never close.
void BM_PropertyCraftedOpeners(benchmark::State& state) {
  run_on(state, crafted_text("(property \"Value\" \"x\" (effects (font (size 1 1) ", state.range(0)),
         [](const std::string& t) { return texts_info(t).size() + set_text_size(t, TextKind::kValue, 2).size(); });
}

void BM_ReadCreateInput(benchmark::State& state) {
  run_on(state, create_json(state.range(0)), [](const std::string& t) { return read_create_input(t).ok(); });
}

void BM_WriteKicadMod(benchmark::State& state) {
  const CreateInput input = *read_create_input(create_json(state.range(0)));
  size_t written = 0;
  for (auto _ : state) {
    std::string text = write_kicad_mod(input);
    written = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(written));
  state.counters["pads"] = static_cast<double>(input.pads.size());
}

void BM_ComputeTextPlacement(benchmark::State& state) {
  const CreateInput input = *read_create_input(create_json(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(compute_text_placement(input));
  state.counters["pads"] = static_cast<double>(input.pads.size());
}

#define SIZES Arg(kMegabyte)->Arg(10 * kMegabyte)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_FootprintBoundingBox)->SIZES;
BENCHMARK(BM_TextsInfo)->SIZES;
BENCHMARK(BM_SetTextPosition)->SIZES;
BENCHMARK(BM_SetTextSize)->SIZES;
BENCHMARK(BM_TextOpsNoEntry)->SIZES;
BENCHMARK(BM_TextOpsCraftedOpeners)->SIZES;
BENCHMARK(BM_BoundingBoxCraftedOpeners)->SIZES;
BENCHMARK(BM_PropertyTextsInfo)->SIZES;
BENCHMARK(BM_PropertyEdits)->SIZES;
BENCHMARK(BM_PropertyCraftedOpeners)->SIZES;
BENCHMARK(BM_ReadCreateInput)->SIZES;
BENCHMARK(BM_WriteKicadMod)->SIZES;
BENCHMARK(BM_ComputeTextPlacement)->SIZES;

}  // namespace

BENCHMARK_MAIN();
