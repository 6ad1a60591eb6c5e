#include "server/state_document.h"

#include <cstddef>
#include <mutex>
#include <vector>

#include "authoring/text_ops.h"
#include "base/json.h"
#include "paste/paste_overlay.h"
#include "render/pipeline.h"
#include "server/part_library.h"

namespace {

// The members that follow from the footprint text alone.
struct TextFacts {
  Json bbox;
  size_t paste_apertures = 0;
  size_t paste_dots = 0;
  Json texts;
};

TextFacts text_facts(const std::string& text) {
  BoundingBox box = footprint_bounding_box(text);
  // Counted on the text the drawing is made from, so the layer rows always
  // match what the page shows (also for pads laid out over several lines).
  std::vector<PasteAperture> apertures = find_paste_apertures(normalize_kicad_text(text));
  return {Json{{"minx", box.minx}, {"miny", box.miny}, {"maxx", box.maxx}, {"maxy", box.maxy}},
          apertures.size(), render_paste_overlay(apertures).dot_count, texts_info(text)};
}

// The facts and the SVG's JSON string literal of the session last asked about.
struct Cache {
  std::mutex mutex;
  std::string text;
  TextFacts facts = text_facts("");
  std::string svg;
  std::string svg_json = "\"\"";
};

Cache& cache() {
  static Cache c;
  return c;
}

}  // namespace

std::string state_document_text(const LiveSession& session, bool source_known) {
  const std::string& text = session.kicadMod;
  Json head = {
      {"canSave", source_known && !text.empty()},
      {"chip", chip_metadata(session.mpn)},
      {"description", session.description},
      {"footprintName", session.footprintName},
      {"hasMod", !text.empty()},
      {"mpn", session.mpn},
      {"padCount", session.padCount},
  };
  Json tail = {{"tags", session.tags}};
  Cache& c = cache();
  std::lock_guard lock(c.mutex);
  if (c.text != text) {
    c.facts = text_facts(text);
    c.text = text;
  }
  if (c.svg != session.svg) {
    c.svg_json = write_json(Json(session.svg));
    c.svg = session.svg;
  }
  head["bbox"] = c.facts.bbox;
  head["pasteApertures"] = c.facts.paste_apertures;
  head["pasteDots"] = c.facts.paste_dots;
  tail["text"] = c.facts.texts;
  // Every key of `head` sorts before "svg" and every key of `tail` after it,
  // so the joined text keeps the ascending order write_json gives. The
  // document is built in one allocation: it is mostly the SVG, and large
  // buffers that come and go cost page faults every second.
  std::string head_text = write_json(head);
  std::string tail_text = write_json(tail);
  std::string document;
  document.reserve(head_text.size() + c.svg_json.size() + tail_text.size() + 8);
  document.append(head_text, 0, head_text.size() - 1);
  document += ",\"svg\":";
  document += c.svg_json;
  document += ',';
  document.append(tail_text, 1);
  return document;
}
