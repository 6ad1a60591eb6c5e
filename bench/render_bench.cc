// The render pipeline in one process: a typical footprint, the largest one of
// the KiCad library, synthetic 1 MB and 10 MB footprints (the time should
// grow linearly with the size) and the whole library in one pass.
//
// The library is Debian's kicad-footprints (TOVIK_FOOTPRINT_DIR overrides
// its place); benchmarks that need it are skipped when it is absent.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "render/pipeline.h"

namespace {

namespace fs = std::filesystem;
using bench::library_dir;
using bench::library_files;
using bench::read_file;

// A footprint of about `bytes` bytes: repeated blocks of a paste pad, a
// silkscreen line, an old-style arc (so the normaliser has work) and a
// fabrication circle, on a grid.
std::string synthetic_footprint(size_t bytes) {
  std::string text = "(footprint \"Synthetic\" (version 20211014) (layer \"F.Cu\")\n";
  for (int i = 0; text.size() < bytes; ++i) {
    std::string x = std::to_string(i % 200 * 0.65), y = std::to_string(i / 200 * 0.65);
    text += "  (pad \"" + std::to_string(i + 1) + "\" smd roundrect (at " + x + " " + y +
            ") (size 0.6 0.35) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n";
    text += "  (fp_line (start " + x + " " + y + ") (end " + y + " " + x +
            ") (stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))\n";
    text += "  (fp_arc (start " + x + " " + y + ") (end " + y + " " + x +
            ") (angle 90) (layer F.Fab) (width 0.1))\n";
    text += "  (fp_circle (center " + x + " " + y + ") (end " + y + " " + y +
            ") (stroke (width 0.1) (type solid)) (fill none) (layer \"F.Fab\"))\n";
  }
  return text + ")\n";
}

void render_text(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    std::string svg = render_full_svg(text);
    benchmark::DoNotOptimize(svg.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_TypicalFootprint(benchmark::State& state) {
  fs::path file = library_dir() / "Package_SO.pretty" / "SOIC-8_3.9x4.9mm_P1.27mm.kicad_mod";
  if (!fs::exists(file)) return state.SkipWithError("KiCad library not present");
  render_text(state, read_file(file));
}
BENCHMARK(BM_TypicalFootprint);

void BM_LargestLibraryFootprint(benchmark::State& state) {
  std::vector<fs::path> files = library_files();
  if (files.empty()) return state.SkipWithError("KiCad library not present");
  auto largest = std::max_element(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return fs::file_size(a) < fs::file_size(b);
  });
  state.SetLabel(largest->filename().string());
  render_text(state, read_file(*largest));
}
BENCHMARK(BM_LargestLibraryFootprint)->Unit(benchmark::kMillisecond);

void BM_SyntheticFootprint(benchmark::State& state) {
  render_text(state, synthetic_footprint(size_t(state.range(0))));
}
BENCHMARK(BM_SyntheticFootprint)->Arg(1 << 20)->Arg(10 << 20)->Unit(benchmark::kMillisecond);

void BM_WholeLibrary(benchmark::State& state) {
  std::vector<std::string> texts;
  for (const fs::path& f : library_files()) texts.push_back(read_file(f));
  if (texts.empty()) return state.SkipWithError("KiCad library not present");
  for (auto _ : state) {
    for (const std::string& t : texts) {
      std::string svg = render_full_svg(t);
      benchmark::DoNotOptimize(svg.data());
    }
  }
  state.counters["footprints/s"] =
      benchmark::Counter(double(texts.size()) * double(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholeLibrary)->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
