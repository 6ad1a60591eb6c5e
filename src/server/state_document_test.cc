#include "server/state_document.h"

#include <gtest/gtest.h>

#include <string>

#include "base/json.h"
#include "server/part_library.h"

namespace {

constexpr char kOnePad[] = R"((footprint "A" (layer "F.Cu")
  (fp_text reference "REF**" (at 1 2) (layer "F.SilkS") (effects (font (size 1 1))))
  (pad "1" smd rect (at 0 0) (size 1 0.8) (layers "F.Cu" "F.Paste" "F.Mask"))
)
)";
constexpr char kTwoPads[] = R"((footprint "B" (layer "F.Cu")
  (fp_text value "B" (at 0 4) (layer "F.Fab") (effects (font (size 2 2))))
  (pad "1" smd rect (at -3 0) (size 2 2) (layers "F.Cu" "F.Paste" "F.Mask"))
  (pad "2" smd rect (at 3 0) (size 2 2) (layers "F.Cu" "F.Paste" "F.Mask"))
)
)";

class StateDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { clear_library_root_override(); }

  Json document(const LiveSession& session, bool source_known = false) {
    std::string text = state_document_text(session, source_known);
    Result<Json> parsed = parse_json(text);
    EXPECT_TRUE(parsed.ok()) << text;
    // The joined text is exactly what writing the whole object would give.
    EXPECT_EQ(text, write_json(*parsed));
    return *parsed;
  }
};

TEST_F(StateDocumentTest, TextIsCanonicalJson) {
  LiveSession sessions[] = {
      {"A", "<svg>\"quoted\" & \n é \x01</svg>", "d \"q\"", "t", kOnePad, "", 1},
      {"", "", "", "", "", "", 0},
      {"pic", "<svg/>", "", "", "", "M", 4},
  };
  for (const LiveSession& s : sessions) {
    Json d = document(s);
    EXPECT_EQ(d["svg"], s.svg);
    EXPECT_EQ(d["description"], s.description);
    EXPECT_EQ(d["footprintName"], s.footprintName);
    EXPECT_EQ(d["padCount"], s.padCount);
    EXPECT_EQ(d.size(), 13u);
  }
}

TEST_F(StateDocumentTest, FollowsTheSessionItIsGiven) {
  LiveSession a{"A", "<svg a/>", "", "", kOnePad, "", 1};
  LiveSession b{"B", "<svg b/>", "", "", kTwoPads, "", 2};
  for (int round = 0; round < 2; ++round) {
    Json da = document(a);
    EXPECT_EQ(da["svg"], "<svg a/>");
    EXPECT_EQ(da["pasteApertures"], 1);
    EXPECT_EQ(da["bbox"], (Json{{"minx", -0.5}, {"miny", -0.4}, {"maxx", 0.5}, {"maxy", 0.4}}));
    EXPECT_EQ(da["text"]["reference"]["x"], 1.0);
    EXPECT_TRUE(da["text"]["value"].is_null());
    Json db = document(b);
    EXPECT_EQ(db["svg"], "<svg b/>");
    EXPECT_EQ(db["pasteApertures"], 2);
    EXPECT_EQ(db["bbox"], (Json{{"minx", -4.0}, {"miny", -1.0}, {"maxx", 4.0}, {"maxy", 1.0}}));
    EXPECT_TRUE(db["text"]["reference"].is_null());
    EXPECT_EQ(db["text"]["value"]["size"], 2.0);
  }
  // Same text, another picture; same picture, edited text.
  a.svg = "<svg a2/>";
  EXPECT_EQ(document(a)["svg"], "<svg a2/>");
  a.kicadMod = kTwoPads;
  EXPECT_EQ(document(a)["pasteApertures"], 2);
}

TEST_F(StateDocumentTest, CountsPasteOnTheTextTheDrawingIsMadeFrom) {
  // KiCad 7 and later may break the line right after the pad keyword.
  LiveSession multi_line{"M", "", "", "", "(footprint \"M\"\n  (pad\n\t\"1\" smd rect (at 0 0) (size 1 0.8) (layers \"F.Cu\" \"F.Paste\"))\n)\n",
                         "", 1};
  EXPECT_EQ(document(multi_line)["pasteApertures"], 1);
}

TEST_F(StateDocumentTest, CanSaveNeedsAFileAndFootprintText) {
  LiveSession with_text{"A", "", "", "", kOnePad, "", 1};
  LiveSession picture{"P", "<svg/>", "", "", "", "", 0};
  EXPECT_EQ(document(with_text, true)["canSave"], true);
  EXPECT_EQ(document(with_text, false)["canSave"], false);
  EXPECT_EQ(document(picture, true)["canSave"], false);
  EXPECT_EQ(document(picture, true)["hasMod"], false);
  EXPECT_EQ(document(with_text, true)["hasMod"], true);
}

}  // namespace
