// The two HTML pages that show a rendered footprint without a server: the
// static preview card (written beside a created or previewed footprint) and
// the interactive embed page (pan, zoom and a Layers panel driven by the
// viewer core). Both are built from the templates in assets/.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// `text` with "&", "<" and ">" replaced by entities ("&" first). Quotes are
// left alone: the pages put outside text only into element content.
std::string html_escape(std::string_view text);

// The preview card's meta line: "{pad_count} pads" and `tags`, each dropped
// when empty or "0 pads", joined by " · ". Empty when both are dropped.
std::string preview_meta_line(size_t pad_count, std::string_view tags);

// The preview card page, one line of HTML. `svg` is inserted as it is (it
// comes from the renderer, whose texts are already escaped); name, meta line
// and description are escaped. Never fails.
std::string render_preview_page(std::string_view name, std::string_view svg, size_t pad_count,
                                std::string_view description, std::string_view tags);

// The embed page for a footprint text: its full SVG (with the paste groups),
// the paste aperture and dot counts for the Layers panel, and the viewer core
// inlined, so the file works from disk with no network. Never fails.
std::string render_embed_page(std::string_view footprint_text, std::string_view name);
