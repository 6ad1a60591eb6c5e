#include "render/pages.h"

#include <gtest/gtest.h>

#include <string>

#include "assets.h"
#include "render/pipeline.h"

namespace {

// The fixed parts of the preview card, compared whole: any change to the
// template's markup or rules shows up here.
const std::string kPreviewHeadBeforeName =
    "<!doctype html><html><head><meta charset=\"utf-8\"><title>";
const std::string kPreviewStyleAndHeader =
    " — tovik-footprint</title><style>"
    "body{margin:0;background:#0d1117;color:#e6edf3;font-family:-apple-system,sans-serif;"
    "min-height:100vh;display:flex;flex-direction:column}"
    "header{display:flex;align-items:center;gap:10px;padding:14px 22px;border-bottom:1px solid #222b38}"
    ".dot{width:10px;height:10px;border-radius:50%;background:#00e6dc;box-shadow:0 0 12px #00e6dc}"
    ".brand{font-weight:700}"
    ".brand span{color:#8b949e;font-weight:400}"
    ".wrap{flex:1;display:flex;align-items:center;justify-content:center;padding:32px}"
    ".card{background:#11161f;border:1px solid #222b38;border-radius:14px;padding:22px 26px;"
    "max-width:min(92vw,720px)}"
    ".name{font-size:22px;font-weight:700}"
    ".meta{color:#8b949e;font-size:13px;margin-top:2px}"
    ".desc{color:#aeb6c2;font-size:13px;margin-top:6px}"
    ".svgbox{margin-top:16px;border:1px solid #222b38;border-radius:10px;background:#0d1117;overflow:hidden}"
    ".svgbox svg{display:block;width:100%;height:auto;max-height:64vh}"
    "footer{text-align:center;color:#5b6675;font-size:11px;padding:10px}"
    "</style></head><body><header><span class=\"dot\"></span><span class=\"brand\">tovik-footprint "
    "<span>· PCB footprint viewer</span></span></header>"
    "<div class=\"wrap\"><div class=\"card\"><div class=\"name\">";
const std::string kPreviewTail =
    "</div></div></div><footer>Rendered locally by tovik-footprint · no KiCad, no service "
    "round-trip</footer></body></html>";

std::string expected_preview(const std::string& escaped_name, const std::string& meta_and_desc,
                             const std::string& svg) {
  return kPreviewHeadBeforeName + escaped_name + kPreviewStyleAndHeader + escaped_name + "</div>" +
         meta_and_desc + "<div class=\"svgbox\">" + svg + kPreviewTail;
}

TEST(HtmlEscapeTest, EscapesOnlyAmpersandAndAngleBrackets) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"R_0603", "R_0603"},
      {"a&b", "a&amp;b"},
      {"<script>", "&lt;script&gt;"},
      {"&lt;", "&amp;lt;"},  // "&" goes first, so entities are not kept
      {"say \"hi\" 'x'", "say \"hi\" 'x'"},
      {"µ·—", "µ·—"},
  };
  for (const Case& c : cases) EXPECT_EQ(html_escape(c.in), c.out) << c.in;
}

TEST(PreviewMetaLineTest, DropsEmptyItemsAndZeroPads) {
  struct Case {
    size_t pads;
    std::string tags, line;
  } cases[] = {
      {8, "QFN", "8 pads · QFN"},
      {8, "", "8 pads"},
      {0, "", ""},
      {0, "SOT-23", "SOT-23"},
      {1, "a b", "1 pads · a b"},
      {3, "0 pads", "3 pads"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(preview_meta_line(c.pads, c.tags), c.line) << c.pads << " " << c.tags;
  }
}

TEST(PreviewPageTest, FullCardWithMetaAndDescription) {
  const std::string svg = "<svg viewBox=\"0 0 1 1\"><g class=\"tovik-layer-copper\"></g></svg>";
  EXPECT_EQ(render_preview_page("SOIC-8 \"A&B\" <x>", svg, 8, "Small <outline> & \"thin\"", "SO8"),
            expected_preview("SOIC-8 \"A&amp;B\" &lt;x&gt;",
                             "<div class=\"meta\">8 pads · SO8</div>"
                             "<div class=\"desc\">Small &lt;outline&gt; &amp; \"thin\"</div>",
                             svg));
}

TEST(PreviewPageTest, NoPadsNoTagsNoDescriptionLeavesOutBothDivs) {
  const std::string svg = "<svg></svg>";
  EXPECT_EQ(render_preview_page("X", svg, 0, "", ""), expected_preview("X", "", svg));
}

TEST(PreviewPageTest, TagsAloneWithoutPads) {
  EXPECT_EQ(render_preview_page("X", "", 0, "", "SOT-23"),
            expected_preview("X", "<div class=\"meta\">SOT-23</div>", ""));
}

TEST(PreviewPageTest, IsOneLineAndTagsAreEscaped) {
  const std::string page = render_preview_page("n", "<svg></svg>", 2, "d", "<b>&");
  EXPECT_EQ(page.find('\n'), std::string::npos);
  EXPECT_NE(page.find("<div class=\"meta\">2 pads · &lt;b&gt;&amp;</div>"), std::string::npos);
}

TEST(PreviewPageTest, PlaceholderWordsInInputsStayAsWritten) {
  const std::string page = render_preview_page("__SVG__", "<svg>__NAME__</svg>", 1, "__META__", "");
  EXPECT_EQ(page, expected_preview("__SVG__",
                                   "<div class=\"meta\">1 pads</div><div class=\"desc\">__META__</div>",
                                   "<svg>__NAME__</svg>"));
}

// Two smd pads of 1 x 0.5 with paste: each aperture holds 2 x 1 dots.
const char kTwoPads[] =
    "(footprint \"R_Test\" (layer \"F.Cu\")\n"
    "  (fp_line (start -1 -1) (end 1 -1) (stroke (width 0.12) (type solid)) (layer \"F.SilkS\"))\n"
    "  (pad \"1\" smd rect (at -1 0) (size 1 0.5) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"
    "  (pad \"2\" smd rect (at 1 0) (size 1 0.5) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\"))\n"
    ")\n";

const char kThroughHole[] =
    "(footprint \"TH\" (pad \"1\" thru_hole circle (at 0 0) (size 1.6 1.6) (drill 0.8)"
    " (layers \"*.Cu\" \"*.Mask\")))";

// The embed template with its fixed parts written out; the viewer core is
// inserted from the assets, the drawing from the render pipeline.
std::string expected_embed(const std::string& escaped_name, const std::string& svg,
                           const std::string& meta) {
  std::string page =
      "<!doctype html><html><head><meta charset=\"utf-8\"><title>" + escaped_name +
      " - tovik-footprint</title><meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n"
      "<style>\n";
  page += assets::viewer_core_css;
  page +=
      "\n"
      ":root{--bg:#0d1117;--panel:#11161f;--border:#222b38;--text:#e6edf3;--muted:#8b949e;--accent:#37c8a6}\n"
      "*{box-sizing:border-box;margin:0;padding:0}\n"
      "html,body{height:100%}\n"
      "body{background:var(--bg);color:var(--text);font-family:'Satoshi','Segoe UI',system-ui,sans-serif;"
      "display:flex;flex-direction:column;overflow:hidden}\n"
      "header{display:flex;align-items:center;gap:9px;padding:9px 14px;border-bottom:1px solid var(--border);"
      "flex:0 0 auto}\n"
      "header .dot{width:9px;height:9px;border-radius:50%;background:var(--accent);box-shadow:0 0 10px var(--accent)}\n"
      "header .b{font-weight:700;font-size:14px}\n"
      "header .b span{color:var(--muted);font-weight:400}\n"
      "header .nm{margin-left:auto;font-weight:600;font-size:13px;color:#cfd8e2}\n"
      "main{flex:1;display:flex;min-height:0}\n"
      ".vpwrap{flex:1;position:relative;min-width:0}\n"
      "aside{flex:0 0 248px;border-left:1px solid var(--border);background:var(--panel);display:flex;"
      "flex-direction:column;min-height:0}\n"
      "aside .ah{padding:9px 12px;border-bottom:1px solid var(--border);font-size:12px;color:var(--muted)}\n"
      ".layers{padding:6px}\n"
      ".note{font-size:11px;color:var(--muted);line-height:1.45;padding:8px 11px}\n"
      ".note b{color:#7ef0d2}\n"
      "</style>\n"
      "</head>\n"
      "<body>\n"
      "<header><span class=\"dot\"></span><span class=\"b\">tovik-footprint <span>· interactive</span></span>"
      "<span class=\"nm\">" + escaped_name + "</span></header>\n"
      "<main>\n"
      "<div class=\"vpwrap\"><div class=\"av-vp\" id=\"vp\">" + svg + "</div></div>\n"
      "<aside><div class=\"ah\">Layers</div><div class=\"layers\" id=\"layers\"></div><div class=\"note\">"
      "The <b>solder paste jet</b> layer shows the 300µm paste-dispensing dots that travel with the "
      "footprint. Off by default — toggle it on.</div></aside>\n"
      "</main>\n"
      "<script>";
  page += assets::viewer_core_js;
  page +=
      "</script>\n"
      "<script>var META=" + meta + ";(function(){var vp=document.getElementById('vp');"
      "var svg=vp.querySelector('svg');var ctl=AV.initViewport(vp);AV.addToolbar(vp,ctl);"
      "AV.buildLayers({svg:svg,container:document.getElementById('layers'),state:{},meta:META});})();"
      "</script>\n"
      "</body></html>\n";
  return page;
}

TEST(EmbedPageTest, WholePageWithPasteCounts) {
  EXPECT_EQ(render_embed_page(kTwoPads, "R_Test"),
            expected_embed("R_Test", render_full_svg(kTwoPads),
                           "{\"pasteApertures\":2,\"pasteDots\":4}"));
}

TEST(EmbedPageTest, NoSmdPadsGivesZeroCounts) {
  EXPECT_EQ(render_embed_page(kThroughHole, "TH"),
            expected_embed("TH", render_full_svg(kThroughHole),
                           "{\"pasteApertures\":0,\"pasteDots\":0}"));
}

TEST(EmbedPageTest, NameIsEscapedAndPlaceholderWordsInItStayText) {
  const std::string name = "A&<B> \"q\" __SVG__ __META__ /*__AV_JS__*/";
  EXPECT_EQ(render_embed_page("", name),
            expected_embed("A&amp;&lt;B&gt; \"q\" __SVG__ __META__ /*__AV_JS__*/",
                           render_full_svg(""), "{\"pasteApertures\":0,\"pasteDots\":0}"));
}

TEST(EmbedPageTest, PadNumberSpellingAPlaceholderDoesNotBreakTheDrawing) {
  // Replaced in the drawing, "__META__" would put the JSON's quotes inside
  // the data-pad attribute.
  const std::string text =
      "(footprint \"P\" (pad \"__META__\" smd rect (at 0 0) (size 1 0.5) (layers \"F.Cu\" \"F.Paste\")))";
  const std::string svg = render_full_svg(text);
  ASSERT_NE(svg.find("data-pad=\"__META__\""), std::string::npos);
  EXPECT_EQ(render_embed_page(text, "P"),
            expected_embed("P", svg, "{\"pasteApertures\":1,\"pasteDots\":2}"));
}

TEST(EmbedPageTest, CountsAreThoseOfTheDrawingWhenALineBreakFollowsPad) {
  const std::string text =
      "(footprint \"P\"\n\t(pad\n\t\t\"1\" smd rect\n\t\t(at 0 0)\n\t\t(size 1 0.5)\n"
      "\t\t(layers \"F.Cu\" \"F.Paste\")\n\t)\n)\n";
  const std::string svg = render_full_svg(text);
  ASSERT_NE(svg.find("<g class=\"tovik-layer-paste-apertures\"><rect "), std::string::npos);
  EXPECT_EQ(render_embed_page(text, "P"),
            expected_embed("P", svg, "{\"pasteApertures\":1,\"pasteDots\":2}"));
}

TEST(EmbedPageTest, ViewerCoreStylesComeFirstAndNoPlaceholderRemains) {
  const std::string page = render_embed_page(kTwoPads, "R_Test");
  for (const char* word : {"__NAME__", "__SVG__", "__META__", "__AV_CSS__", "__AV_JS__"}) {
    EXPECT_EQ(page.find(word), std::string::npos) << word;
  }
  EXPECT_LT(page.find(".av-vp{"), page.find(":root{"));
  EXPECT_NE(page.find("window.AV = {"), std::string::npos);
}

}  // namespace
