// The footprint reader and SVG renderer without normalisation or paste
// overlay: a typical footprint, the largest one of the KiCad library, and
// synthetic 1 MB and 10 MB footprints (time should grow linearly with size),
// plus a text of nothing but unclosed pad openers.
//
// The library is Debian's kicad-footprints (TOVIK_FOOTPRINT_DIR overrides
// its place); benchmarks that need it are skipped when it is absent.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench_util.h"
#include "fp_render/reader.h"
#include "fp_render/svg_renderer.h"

namespace {

namespace fs = std::filesystem;
using bench::library_dir;
using bench::read_file;

// A footprint of about `bytes` bytes in current syntax: repeated blocks of
// a roundrect pad, a silkscreen line, a three-point arc, a fabrication
// polygon and circle, on a grid.
std::string synthetic_footprint(size_t bytes) {
  std::string text = "(footprint \"Synthetic\" (version 20240108) (layer \"F.Cu\")\n";
  for (int i = 0; text.size() < bytes; ++i) {
    std::string x = std::to_string(i % 200 * 0.65);
    std::string y = std::to_string(i / 200 * 0.65);
    text += "  (pad \"" + std::to_string(i + 1) + "\" smd roundrect (at " + x +
            " " + y + " 90) (size 0.6 0.35) (layers \"F.Cu\" \"F.Paste\" "
            "\"F.Mask\") (roundrect_rratio 0.25))\n";
    text += "  (fp_line (start " + x + " " + y + ") (end " + y + " " + x +
            ") (stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))\n";
    text += "  (fp_arc (start " + x + " 0) (mid 0.5 0.5) (end 0 " + y +
            ") (stroke (width 0.1) (type solid)) (layer \"F.Fab\"))\n";
    text += "  (fp_poly (pts (xy " + x + " " + y + ") (xy 1 0) (xy 1 1)) "
            "(stroke (width 0.1) (type solid)) (fill solid) (layer \"F.SilkS\"))\n";
    text += "  (fp_circle (center " + x + " " + y + ") (end " + y + " " + y +
            ") (stroke (width 0.1) (type solid)) (fill none) (layer \"F.Fab\"))\n";
  }
  return text + ")\n";
}

void parse_and_render(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    std::string svg = render_svg(parse_footprint(text));
    benchmark::DoNotOptimize(svg);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void library_footprint(benchmark::State& state, const char* relative) {
  fs::path path = library_dir() / relative;
  if (!fs::exists(path)) {
    state.SkipWithError("footprint library not installed");
    return;
  }
  parse_and_render(state, read_file(path));
}

void BM_TypicalFootprint(benchmark::State& state) {
  library_footprint(state, "Package_SO.pretty/SOIC-8_3.9x4.9mm_P1.27mm.kicad_mod");
}
BENCHMARK(BM_TypicalFootprint);

void BM_LargestLibraryFootprint(benchmark::State& state) {
  library_footprint(
      state, "Package_BGA.pretty/Xilinx_FFG1926_FFG1927_FFG1928_FFG1930.kicad_mod");
}
BENCHMARK(BM_LargestLibraryFootprint)->Unit(benchmark::kMillisecond);

void BM_SyntheticFootprint(benchmark::State& state) {
  parse_and_render(state, synthetic_footprint(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_SyntheticFootprint)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond);

// Before the element finder matched parentheses in one pass, this text cost
// time quadratic in its length.
void BM_UnclosedPadOpeners(benchmark::State& state) {
  std::string text;
  while (text.size() < static_cast<size_t>(state.range(0))) text += "(pad ";
  parse_and_render(state, text);
}
BENCHMARK(BM_UnclosedPadOpeners)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
