#include "authoring/kicad_writer.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

CreateInput parse(std::string_view text) {
  Result<CreateInput> input = read_create_input(text);
  EXPECT_TRUE(input.ok()) << text;
  return input.ok() ? *input : CreateInput{};
}

// The graphic lines of a footprint text: those starting with "(fp_" after the
// indentation, texts excepted.
std::string graphic_lines(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start) + 1;
    std::string_view line(text.data() + start, end - start);
    size_t first = line.find_first_not_of(' ');
    std::string_view body = line.substr(first);
    if (body.starts_with("(fp_") && !body.starts_with("(fp_text")) out += line;
    start = end;
  }
  return out;
}

TEST(FormatNumberTest, Cases) {
  struct Case {
    double value;
    std::string text;
  } cases[] = {
      {1.0, "1"},
      {0.5, "0.5"},
      {-1.27, "-1.27"},
      {0.0, "0"},
      {-0.0, "-0"},
      {0.1 + 0.2, "0.30000000000000004"},
      {1e-7, "0.0000001"},
      {1.5e-7, "0.00000015"},
      {123456.789, "123456.789"},
      {1e16, "10000000000000000"},
      {1e22, "10000000000000000000000"},
      {-250, "-250"},
      {0.62, "0.62"},
      {-0.5 - 0.12, "-0.62"},
      {std::numeric_limits<double>::denorm_min(), "0." + std::string(323, '0') + "5"},
      {1e300, "1" + std::string(300, '0')},
  };
  for (const Case& c : cases) EXPECT_EQ(format_number(c.value), c.text) << c.value;
}

TEST(RoundingTest, HalfAwayFromZero) {
  struct Case {
    double value, hundredths;
  } cases[] = {{0.125, 0.13}, {-0.125, -0.13}, {1.005, 1}, {-1.4, -1.4}, {2.675, 2.68}, {0.004, 0}};
  for (const Case& c : cases) EXPECT_EQ(round_to_hundredths(c.value), c.hundredths) << c.value;
  EXPECT_EQ(round_to_tenths(0.64), 0.6);
  EXPECT_EQ(round_to_tenths(0.65), 0.7);
  EXPECT_EQ(round_to_tenths(-0.05), -0.1);
}

TEST(CreateBoundingBoxTest, Cases) {
  struct Case {
    std::string_view text;
    BoundingBox box;
  } cases[] = {
      {R"({"footprintName": "X"})", {-2, -2, 2, 2}},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1.6, "dy": 0.8, "angle": 90}]})",
       {-0.8, -0.4, 0.8, 0.4}},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1, "dy": 1}],
           "courtyard": {"x1": 3, "y1": 2, "x2": -3, "y2": -2}})",
       {-3, -2, 3, 2}},
      {R"({"footprintName": "X", "body": {"x1": -1, "y1": -0.5, "x2": 4, "y2": 0.5}})", {-1, -0.5, 4, 0.5}},
  };
  for (const Case& c : cases) EXPECT_EQ(create_bounding_box(parse(c.text)), c.box) << c.text;
}

TEST(ComputeTextPlacementTest, Cases) {
  struct Case {
    std::string_view text;
    double size, reference_y, value_y;
    PlacementBox box;
  } cases[] = {
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1.6, "dy": 0.8}]})",
       0.6, -1.4, 1.4, {-0.4, 0.4, -0.8, 0.8}},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 10, "dy": 1}]})",
       1, -1.5, 1.5, {-0.5, 0.5, -5, 5}},
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 0.5, "dy": 0.5}]})",
       0.5, -1.25, 1.25, {-0.25, 0.25, -0.25, 0.25}},
      {R"({"footprintName": "X"})", 1, -3, 3, {-2, 2, -2, 2}},
      // A courtyard larger than the pads moves both texts outward.
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1.6, "dy": 0.8}],
           "courtyard": {"x1": -1, "y1": -1.005, "x2": 1, "y2": 1.125}})",
       0.9, -2.01, 2.13, {-1, 1.13, -1, 1}},
      // The texts stay on x = 0 even when the footprint is off-centre.
      {R"({"footprintName": "X", "pads": [{"number": "1", "x": 5, "y": 3, "dx": 1, "dy": 1}]})",
       0.5, 1.5, 4.5, {2.5, 3.5, 4.5, 5.5}},
  };
  for (const Case& c : cases) {
    TextPlacement p = compute_text_placement(parse(c.text));
    EXPECT_EQ(p.reference, (PlacedText{0, c.reference_y, c.size, 0, "center", "F.SilkS"})) << c.text;
    EXPECT_EQ(p.value, (PlacedText{0, c.value_y, c.size, 0, "center", "F.Fab"})) << c.text;
    EXPECT_EQ(p.courtyard, c.box) << c.text;
    EXPECT_EQ(p.units + p.y_axis + p.origin_relative, "mmdownfootprint-center");
  }
}

TEST(TextPlacementToJsonTest, MembersAndFloats) {
  CreateInput input = parse(R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1.6, "dy": 0.8}]})");
  EXPECT_EQ(write_json(text_placement_to_json(compute_text_placement(input))),
            R"({"courtyard":{"bottom":0.4,"left":-0.8,"right":0.8,"top":-0.4},"originRelative":"footprint-center",)"
            R"("reference":{"anchor":"center","layer":"F.SilkS","rotation":0.0,"size":0.6,"x":0.0,"y":-1.4},)"
            R"("units":"mm","value":{"anchor":"center","layer":"F.Fab","rotation":0.0,"size":0.6,"x":0.0,"y":1.4},)"
            R"("yAxis":"down"})");
}

TEST(WriteKicadModTest, WorkedExample) {
  CreateInput input = parse(R"({"footprintName": "R1", "pads": [{"number": "1", "x": -0.5, "y": 0, "dx": 0.6, "dy": 0.5}]})");
  EXPECT_EQ(write_kicad_mod(input),
            "(footprint \"R1\"\n"
            "  (version 20240108)\n"
            "  (generator \"tovik-footprint\")\n"
            "  (layer \"F.Cu\")\n"
            "  (attr smd)\n"
            "  (fp_text reference \"REF**\" (at 0 -1.25)\n"
            "    (layer \"F.SilkS\") (effects (font (size 0.5 0.5) (thickness 0.08))))\n"
            "  (fp_text value \"R1\" (at 0 1.25)\n"
            "    (layer \"F.Fab\") (effects (font (size 0.5 0.5) (thickness 0.08))))\n"
            "  (pad \"1\" smd roundrect (at -0.5 0) (size 0.6 0.5)\n"
            "    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n"
            ")\n");
}

TEST(WriteKicadModTest, EveryPiece) {
  CreateInput input = parse(R"({"footprintName": "Q\"1", "description": "say \"hi\"", "tags": "a b",
      "courtyard": {"x1": -2, "y1": -1.5, "x2": 2, "y2": 1.5},
      "body": {"x1": -1, "y1": -0.5, "x2": 1, "y2": 0.5},
      "pads": [{"number": "A1", "x": 1.27, "y": -0.1, "dx": 1, "dy": 2, "shape": "rect", "angle": -90,
                "mount": "thru_hole", "drill": 0.8}]})");
  EXPECT_EQ(write_kicad_mod(input),
            "(footprint \"Q\"1\"\n"
            "  (version 20240108)\n"
            "  (generator \"tovik-footprint\")\n"
            "  (layer \"F.Cu\")\n"
            "  (descr \"say \"hi\"\")\n"
            "  (tags \"a b\")\n"
            "  (attr smd)\n"
            "  (fp_rect (start -2 -1.5) (end 2 1.5)\n"
            "    (stroke (width 0.05) (type default)) (fill none) (layer \"F.CrtYd\"))\n"
            "  (fp_rect (start -1 -0.5) (end 1 0.5)\n"
            "    (stroke (width 0.1) (type default)) (fill none) (layer \"F.Fab\"))\n"
            "  (fp_rect (start -1.12 -0.62) (end 1.12 0.62)\n"
            "    (stroke (width 0.12) (type default)) (fill none) (layer \"F.SilkS\"))\n"
            "  (fp_line (start -1.3 -0.8) (end -0.7 -0.8)\n"
            "    (stroke (width 0.12) (type default)) (layer \"F.SilkS\"))\n"
            "  (fp_text reference \"REF**\" (at 0 -2.5)\n"
            "    (layer \"F.SilkS\") (effects (font (size 1 1) (thickness 0.15))))\n"
            "  (fp_text value \"Q\"1\" (at 0 2.5)\n"
            "    (layer \"F.Fab\") (effects (font (size 1 1) (thickness 0.15))))\n"
            "  (pad \"A1\" thru_hole rect (at 1.27 -0.1 -90) (size 1 2) (drill 0.8)\n"
            "    (layers \"*.Cu\" \"*.Mask\"))\n"
            ")\n");
}

TEST(WriteKicadModTest, PadLines) {
  struct Case {
    std::string_view pad;  // members after number, x, y, dx, dy
    std::string lines;
  } cases[] = {
      {"", "  (pad \"1\" smd roundrect (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n"},
      {R"(, "shape": "rect")", "  (pad \"1\" smd rect (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "roundrect")", "  (pad \"1\" smd roundrect (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))\n"},
      {R"(, "mount": "thru_hole", "shape": "circle")", "  (pad \"1\" thru_hole circle (at 0 0) (size 1 1)\n    (layers \"*.Cu\" \"*.Mask\"))\n"},
      {R"(, "mount": "np_thru_hole", "shape": "circle")", "  (pad \"1\" np_thru_hole circle (at 0 0) (size 1 1)\n    (layers \"*.Cu\" \"*.Mask\"))\n"},
      {R"(, "mount": "THRU_HOLE", "shape": "oval")", "  (pad \"1\" THRU_HOLE oval (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "rect", "angle": 0)", "  (pad \"1\" smd rect (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "rect", "angle": 90)", "  (pad \"1\" smd rect (at 0 0 90) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "rect", "drill": 0)", "  (pad \"1\" smd rect (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "rect", "drill": -1)", "  (pad \"1\" smd rect (at 0 0) (size 1 1)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "rect", "drill": 0.8)", "  (pad \"1\" smd rect (at 0 0) (size 1 1) (drill 0.8)\n    (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"},
      {R"(, "shape": "rect", "layers": "\"B.Cu\"")", "  (pad \"1\" smd rect (at 0 0) (size 1 1)\n    (layers \"B.Cu\"))\n"},
  };
  for (const Case& c : cases) {
    std::string text = R"({"footprintName": "X", "pads": [{"number": "1", "x": 0, "y": 0, "dx": 1, "dy": 1)" +
                       std::string(c.pad) + "}]}";
    std::string written = write_kicad_mod(parse(text));
    size_t pad = written.find("  (pad ");
    ASSERT_NE(pad, std::string::npos) << text;
    EXPECT_EQ(written.substr(pad), c.lines + ")\n") << text;
  }
}

TEST(WriteKicadModTest, BodyShapes) {
  const std::string body = R"("body": {"x1": -1, "y1": -0.5, "x2": 1, "y2": 0.5})";
  const std::string pads = R"("pads": [{"number": "1", "x": 0, "y": 0, "dx": 1, "dy": 1}])";
  const std::string rect =
      "  (fp_rect (start -1 -0.5) (end 1 0.5)\n"
      "  (fp_rect (start -1.12 -0.62) (end 1.12 0.62)\n"
      "  (fp_line (start -1.3 -0.8) (end -0.7 -0.8)\n";
  struct Case {
    std::string members;
    std::string graphics;  // the fp_ lines other than texts
  } cases[] = {
      {body + ", " + pads, rect},
      {body + ", " + pads + R"(, "bodyShape": "rect")", rect},
      {body + ", " + pads + R"(, "bodyShape": "Circle")", rect},
      {body + ", " + pads + R"(, "bodyShape": "circle")",
       "  (fp_circle (center 0 0) (end 1 0)\n  (fp_circle (center 0 0) (end 1.12 0)\n"},
      {pads + R"(, "bodyShape": "circle")", ""},
      // Without pads there is no pin-1 mark.
      {body, "  (fp_rect (start -1 -0.5) (end 1 0.5)\n  (fp_rect (start -1.12 -0.62) (end 1.12 0.62)\n"},
      // Swapped corners: the silkscreen outline shrinks.
      {R"("body": {"x1": 1, "y1": 0.5, "x2": -1, "y2": -0.5})",
       "  (fp_rect (start 1 0.5) (end -1 -0.5)\n  (fp_rect (start 0.88 0.38) (end -0.88 -0.38)\n"},
      {R"("body": {"x1": 0.1, "y1": 0.2, "x2": 0.2, "y2": 0.2})",
       "  (fp_rect (start 0.1 0.2) (end 0.2 0.2)\n  (fp_rect (start -0.01999999999999999 0.08000000000000002) (end 0.32 0.32)\n"},
  };
  for (const Case& c : cases) {
    std::string text = R"({"footprintName": "X", )" + c.members + "}";
    EXPECT_EQ(graphic_lines(write_kicad_mod(parse(text))), c.graphics) << text;
  }
}

TEST(WriteKicadModTest, EmptyTextsLeaveNoLines) {
  std::string written = write_kicad_mod(parse(R"({"footprintName": "X", "description": "", "tags": ""})"));
  EXPECT_EQ(written.find("(descr"), std::string::npos);
  EXPECT_EQ(written.find("(tags"), std::string::npos);
  EXPECT_EQ(written.find('\t'), std::string::npos);
  EXPECT_EQ(written.find('\r'), std::string::npos);
}

TEST(CheckFiniteNumbersTest, Cases) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const std::string big = R"({"footprintName": "X", "pads": [{"number": "1", "x": 1e306, "y": 0, "dx": 1, "dy": 1}]})";
  const std::string huge = R"({"footprintName": "X", "pads": [{"number": "1", "x": 1e308, "y": 0, "dx": 1.7e308, "dy": 1}]})";
  EXPECT_TRUE(check_finite_numbers(parse(big)).ok());
  struct Case {
    CreateInput input;
    std::string message;
  };
  CreateInput nan_pad = parse(R"({"footprintName": "X", "pads": [{"number": "7", "x": 0, "y": 0, "dx": 1, "dy": 1}]})");
  nan_pad.pads[0].angle = std::nan("");
  CreateInput inf_body = parse(R"({"footprintName": "X", "body": [0, 0, 1, 1]})");
  inf_body.body->y2 = kInf;
  CreateInput wide_circle = parse(R"({"footprintName": "X", "body": [0, 0, 0, 1.7e306], "bodyShape": "circle"})");
  wide_circle.body->x1 = 1.7e308;
  wide_circle.body->x2 = 1.7e308;
  const Case cases[] = {
      {nan_pad, "the numbers of pad `7` are not all finite"},
      {inf_body, "the corners of body are not finite numbers"},
      {parse(huge), "the footprint's extent is too large to write"},
      {parse(R"({"footprintName": "X", "pads": [{"number": "1", "x": 1e307, "y": 0, "dx": 1, "dy": 1}]})"),
       "the footprint's extent is too large to write"},
      {wide_circle, "the footprint's extent is too large to write"},
  };
  for (const Case& c : cases) {
    Status status = check_finite_numbers(c.input);
    EXPECT_EQ(status.ok() ? "" : status.error().message(), c.message);
  }
}

}  // namespace
