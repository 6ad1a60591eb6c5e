// One procedure per command of the command line. Each gets the arguments its
// command was given and returns success or the failure that main reports as
// "ERROR: " followed by the message chain. Procedures print their own result
// lines; none calls exit().
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "authoring/create_input.h"
#include "base/error.h"

// Paths are kept exactly as typed and printed back in the same form.
struct CreateArgs {
  std::optional<std::string> file;  // none: read standard input
  std::optional<std::string> out;   // none: a directory named like the footprint
};

struct PreviewArgs {
  std::string file;
  std::optional<std::string> out;   // a directory; none: the input's directory
};

struct RenderArgs {
  std::string file;
  std::string out;  // the SVG file
};

struct RenderVornelArgs {
  std::string file;
  std::string out;  // the SVG file
};

struct PlacementArgs {
  std::string file;
  bool write = false;
};

struct EmbedArgs {
  std::string file;
  std::optional<std::string> out;  // the HTML file; none: beside the input
};

struct UiArgs {
  std::string action;
  std::vector<std::string> args;
  uint16_t port = 8783;
};

struct ServeArgs {
  uint16_t port = 8782;
  std::optional<std::string> file;
};

Status run_create(const CreateArgs& args);        // create_command.cc
Status run_placement(const PlacementArgs& args);  // placement_command.cc
Status run_preview(const PreviewArgs& args);      // render_commands.cc
Status run_render(const RenderArgs& args);
Status run_render_vornel(const RenderVornelArgs& args);
Status run_embed(const EmbedArgs& args);
Status run_ui(const UiArgs& args);                // live_commands.cc
Status run_serve(const ServeArgs& args);

// The outputs `create` writes beside the footprint file it has just written
// to `directory` (render_commands.cc). Returns the lines to print after the
// "created" line, each ending in a line feed; a failure is reported as the
// failure of `create`, and nothing is printed then.
Result<std::string> write_create_renderings(const CreateInput& input, const std::string& directory,
                                            const std::string& kicad_mod);
