// Real footprints through the full drawing: the Debian KiCad 6 library and
// the KiCad 5 and KiCad 9 samples beside the repository.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "fp_render/reader.h"
#include "render/drawn_elements_test_util.h"
#include "render/pipeline.h"
#include "render/svg_check_test_util.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kGroups = {
    "tovik-layer-courtyard", "tovik-layer-fab",  "tovik-layer-copper",
    "tovik-layer-heatsink",  "tovik-layer-drill", "tovik-layer-silk",
    "tovik-layer-padnum",    "tovik-layer-paste-apertures", "tovik-layer-paste-dots"};

TEST(SvgCheckTest, CatchesFaults) {
  struct Case {
    const char* svg;
    const char* error;  // prefix of the expected message
  };
  const Case cases[] = {
      {"<svg><g></svg>", "unbalanced </svg>"},
      {"<svg><g>", "unclosed <g>"},
      {"<svg><rect x=1/></svg>", "unquoted attribute x"},
      {"<svg><rect x=\"1/></svg>", "unterminated attribute x"},
      {"<svg><rect x=\"1<\"/></svg>", "bad character in attribute x"},
      {"<svg><rect x=\"1\"y=\"2\"/></svg>", "attributes must be separated"},
      {"<svg><rect x=\"1\" x=\"2\"/></svg>", "duplicate attribute x"},
      {"<svg><text>a & b</text></svg>", "bad entity in text"},
      {"<svg><text>a &amp; b &lt; &quot;</text></svg><svg></svg>", "second root element"},
      {"<svg></svg>trailing", "text outside the root element"},
      {"", "no root element"},
  };
  for (const Case& c : cases) {
    SvgSummary summary;
    std::optional<std::string> error = check_svg(c.svg, summary);
    ASSERT_TRUE(error.has_value()) << c.svg;
    EXPECT_TRUE(error->starts_with(c.error)) << c.svg << " gave " << *error;
  }
  SvgSummary summary;
  EXPECT_EQ(check_svg("<svg a=\"1\"><g class=\"x\"><g data-pad=\"1\"><rect/></g><line/></g>"
                      "<g class=\"y\"></g></svg>",
                      summary),
            std::nullopt);
  ASSERT_EQ(summary.groups.size(), 2u);
  EXPECT_EQ(summary.groups[0].cls, "x");
  EXPECT_EQ(summary.groups[0].children, 2u);
  EXPECT_EQ(summary.groups[1].children, 0u);
  EXPECT_EQ(summary.data_pad_count, 1u);
}

std::vector<fs::path> footprints_under(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().extension() == ".kicad_mod") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(DrawnElementsTest, CountsWhatTheRendererDraws) {
  const char* const text =
      "(footprint \"x\" (layer \"F.Cu\")\n"
      "\t(property \"Reference\" \"(fp_line )\" (at 0 0))\n"
      "\t(fp_line\n\t\t(start 0 0)\n\t\t(end 1 0)\n\t\t(layer \"F.SilkS\"))\n"
      "\t(fp_line (start 0 0) (stroke (width 1)) (end 1 0) (layer \"F.SilkS\"))\n"
      "\t(fp_line (start 0 0) (end 1 0) (layer \"F.Cu\"))\n"
      "\t(fp_rect (start 0 0) (end 1 1) (layer \"F.SilkS\"))\n"
      "\t(fp_rect (start 0 0) (end 1 1) (layer \"F.CrtYd\"))\n"
      "\t(fp_poly (pts (xy 0 0) (xy 1 1)) (layer \"F.Fab\"))\n"
      "\t(fp_poly (pts (xy 0 0)) (layer \"F.CrtYd\"))\n"
      "\t(fp_arc (start 0 0) (mid 1 1) (end 2 0) (layer \"F.Fab\"))\n"
      "\t(fp_circle (center 0 0) (end 1 0) (layer F.SilkS))\n"
      "\t(pad \"1\" smd rect (at 0 0) (size 1 1) (layers \"F.Cu\"))\n"
      "\t(pad \"\" np_thru_hole circle (at 0 0) (size 1 1) (drill 1))\n"
      "\t(pad 2 smd rect (at 0 0) (layers F.Cu))\n"
      ")";
  std::optional<DrawnCounts> c = count_drawn_elements(text);
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(c->lines, 1u);
  EXPECT_EQ(c->rects, 1u);
  EXPECT_EQ(c->polys, 1u);
  EXPECT_EQ(c->arcs, 1u);
  EXPECT_EQ(c->circles, 1u);
  EXPECT_EQ(c->pads, 1u);
  EXPECT_EQ(c->courtyard, 1u);
  EXPECT_EQ(c->fab, 2u);
  EXPECT_EQ(c->silk, 2u);
  EXPECT_FALSE(count_drawn_elements("(footprint \"x\" (pad").has_value());
}

// The fault of `svg`, the full drawing of `text`, or the empty text; adds
// what the file asks to be drawn to `totals`.
std::string check_footprint(const std::string& text, const std::string& svg,
                            DrawnCounts& totals) {
  SvgSummary summary;
  if (auto error = check_svg(svg, summary)) return *error;
  std::vector<std::string> classes;
  for (const SvgGroup& g : summary.groups) classes.push_back(g.cls);
  if (classes != kGroups) return "layer groups differ";
  size_t pads = parse_footprint(normalize_kicad_text(text)).pads.size();
  if (summary.data_pad_count != pads || summary.groups[2].children != pads) {
    return "pad wrappers " + std::to_string(summary.data_pad_count) + ", pads read " +
           std::to_string(pads);
  }
  std::optional<DrawnCounts> expected = count_drawn_elements(text);
  if (!expected) return "not an S-expression";
  totals.add(*expected);
  auto compare = [](const char* what, size_t drawn, size_t in_file) {
    if (drawn == in_file) return std::string();
    return std::string(what) + " drawn " + std::to_string(drawn) + ", in the file " +
           std::to_string(in_file) + "; ";
  };
  std::string fault = compare("pads", pads, expected->pads) +
                      compare("courtyard", summary.groups[0].children, expected->courtyard) +
                      compare("fabrication", summary.groups[1].children, expected->fab) +
                      compare("silkscreen", summary.groups[5].children, expected->silk);
  return fault;
}

void check_corpus(const fs::path& dir, const char* label) {
  if (!fs::is_directory(dir)) GTEST_SKIP() << dir << " is not present";
  const std::vector<fs::path> files = footprints_under(dir);
  ASSERT_FALSE(files.empty()) << dir;
  size_t failures = 0;
  double seconds = 0;
  DrawnCounts totals;
  for (const fs::path& file : files) {
    const std::string text = read_file(file);
    auto start = std::chrono::steady_clock::now();
    std::string svg = render_full_svg(text);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string fault = check_footprint(text, svg, totals);
    if (!fault.empty() && ++failures <= 10) ADD_FAILURE() << file << ": " << fault;
  }
  EXPECT_EQ(failures, 0u) << label;
  std::cout << "[ corpus   ] " << label << ": " << files.size() << " footprints, full drawing in "
            << seconds << " s; drawn " << totals.lines << " lines, " << totals.rects
            << " rectangles, " << totals.polys << " polygons, " << totals.arcs << " arcs, "
            << totals.circles << " circles, " << totals.pads << " pads\n";
}

fs::path shared_corpus() {
  const char* source = std::getenv("TOVIK_SOURCE_DIR");
  return fs::path(source ? source : ".") / ".." / "shared" / "corpus";
}

TEST(CorpusTest, DebianLibrary) {
  check_corpus("/usr/share/kicad/footprints", "KiCad 6 library");
}

TEST(CorpusTest, KiCad5Samples) { check_corpus(shared_corpus() / "kicad5", "KiCad 5 samples"); }

TEST(CorpusTest, KiCad9Samples) { check_corpus(shared_corpus() / "kicad9", "KiCad 9 samples"); }

}  // namespace
