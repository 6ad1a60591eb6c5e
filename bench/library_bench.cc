// Listing a part library of 10 000 parts: the directory walk with its
// per-folder footprint checks and the sort (list_chips), and the whole
// GET "/api/chips" answer with its JSON text (chips_reply). The target is
// well under 100 ms for the route.
//
//   build/library_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "server/part_library.h"

namespace {

namespace fs = std::filesystem;

constexpr int kParts = 10000;

// A library of kParts folders in a temporary directory, removed at exit.
// Most parts have "{mpn}.kicad_mod"; some only a later variant, some only an
// odd name (a directory read), and some folders no footprint at all.
class Library {
 public:
  Library() {
    char pattern[] = "/tmp/tovik-library-bench-XXXXXX";
    root_ = fs::path(mkdtemp(pattern)) / "library";
    for (int i = 0; i < kParts; ++i) {
      // Mixed case so the sort has real work to do.
      std::string mpn = (i % 3 == 0 ? "TPS" : i % 3 == 1 ? "lm" : "Ad") + std::to_string(i * 7919 % 100000);
      fs::path folder = root_ / mpn;
      fs::create_directories(folder);
      std::string file = i % 10 == 1   ? mpn + ".altium.kicad_mod"
                         : i % 50 == 2 ? "other.kicad_mod"
                         : i % 100 == 3 ? "info.json"
                                        : mpn + ".kicad_mod";
      std::ofstream(folder / file) << "(footprint \"" << mpn << "\")\n";
    }
  }
  ~Library() { fs::remove_all(root_.parent_path()); }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_;
};

const Library& library() {
  static Library lib;
  return lib;
}

void BM_ListChips(benchmark::State& state) {
  const fs::path& root = library().root();
  size_t listed = 0;
  for (auto _ : state) {
    auto chips = list_chips(root, "lm7919");
    listed = chips.size();
    benchmark::DoNotOptimize(chips);
  }
  state.counters["parts"] = static_cast<double>(listed);
}
BENCHMARK(BM_ListChips)->Unit(benchmark::kMillisecond);

void BM_ChipsReply(benchmark::State& state) {
  set_library_root_override((library().root() / "x/x.kicad_mod").string());
  size_t bytes = 0;
  for (auto _ : state) {
    Reply r = chips_reply();
    bytes = r.body.size();
    benchmark::DoNotOptimize(r);
  }
  clear_library_root_override();
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_ChipsReply)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
