#include "render/pages.h"

#include <initializer_list>
#include <string>

#include "assets.h"
#include "paste/paste_overlay.h"
#include "render/pipeline.h"

namespace {

struct Slot {
  std::string_view word;   // placeholder word in the template
  std::string_view value;  // text put in its place
};

// Replaces the placeholder words of `tpl` in one pass over the template
// itself. Text already inserted is never searched again: a footprint name or
// pad number that spells a placeholder word stays as written, and a name made
// of many "__SVG__" cannot multiply the drawing into a page of gigabytes.
std::string fill_template(std::string_view tpl, std::initializer_list<Slot> slots) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t first = std::string_view::npos;
    const Slot* hit = nullptr;
    for (const Slot& slot : slots) {
      size_t at = tpl.find(slot.word, pos);
      if (at < first) {
        first = at;
        hit = &slot;
      }
    }
    if (hit == nullptr) break;
    out.append(tpl.substr(pos, first - pos));
    out.append(hit->value);
    pos = first + hit->word.size();
  }
  out.append(tpl.substr(pos));
  return out;
}

// The preview card is one line of HTML; its template keeps one rule or block
// per line only to stay readable.
const std::string& preview_template() {
  static const std::string joined = [] {
    std::string text;
    for (char c : assets::preview_page_html) {
      if (c != '\n' && c != '\r') text.push_back(c);
    }
    return text;
  }();
  return joined;
}

std::string wrapped_div(std::string_view css_class, std::string_view text) {
  if (text.empty()) return {};
  std::string div = "<div class=\"";
  div.append(css_class).append("\">").append(html_escape(text)).append("</div>");
  return div;
}

}  // namespace

std::string html_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out.append("&amp;"); break;
      case '<': out.append("&lt;"); break;
      case '>': out.append("&gt;"); break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string preview_meta_line(size_t pad_count, std::string_view tags) {
  std::string line;
  for (const std::string& item : {std::to_string(pad_count) + " pads", std::string(tags)}) {
    if (item.empty() || item == "0 pads") continue;
    if (!line.empty()) line.append(" · ");
    line.append(item);
  }
  return line;
}

std::string render_preview_page(std::string_view name, std::string_view svg, size_t pad_count,
                                std::string_view description, std::string_view tags) {
  const std::string escaped_name = html_escape(name);
  const std::string meta = wrapped_div("meta", preview_meta_line(pad_count, tags));
  const std::string desc = wrapped_div("desc", description);
  return fill_template(preview_template(), {{"__NAME__", escaped_name},
                                            {"__META__", meta},
                                            {"__DESC__", desc},
                                            {"__SVG__", svg}});
}

std::string render_embed_page(std::string_view footprint_text, std::string_view name) {
  const std::string svg = render_full_svg(footprint_text);
  // The counts are taken from the same normalised text the drawing was made
  // from, so they match the apertures and dots it shows (a KiCad 9 line break
  // after "(pad" hides the pad from the aperture finder until normalised).
  // The drawing already holds the overlay groups; only the numbers are kept.
  const auto apertures = find_paste_apertures(normalize_kicad_text(footprint_text));
  const auto overlay = render_paste_overlay(apertures);
  const std::string meta = "{\"pasteApertures\":" + std::to_string(apertures.size()) +
                           ",\"pasteDots\":" + std::to_string(overlay.dot_count) + "}";
  const std::string escaped_name = html_escape(name);
  return fill_template(assets::embed_page_html, {{"/*__AV_CSS__*/", assets::viewer_core_css},
                                                 {"/*__AV_JS__*/", assets::viewer_core_js},
                                                 {"__NAME__", escaped_name},
                                                 {"__SVG__", svg},
                                                 {"__META__", meta}});
}
