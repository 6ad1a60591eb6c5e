// The commands that draw a footprint (preview, render, render-vornel, embed)
// and the drawing outputs of create. Each reads its input, hands it to the
// render pipeline and the page builders, writes one file and prints one line.
#include <string>
#include <string_view>

#include "authoring/extracted_footprint.h"
#include "authoring/footprint_info.h"
#include "authoring/kicad_writer.h"
#include "base/file_io.h"
#include "base/json.h"
#include "main/commands.h"
#include "main/console.h"
#include "render/pages.h"
#include "render/pipeline.h"

namespace {

Result<std::string> read_input(const std::string& path) {
  return read_text_file(path).context("reading " + path);
}

std::string name_or_default(std::string_view kicad_mod) {
  return footprint_name(kicad_mod).value_or("footprint");
}

// The name read from a footprint file becomes part of an output file name.
// A "/" would put the page in another directory, and a NUL would cut the path
// short at the operating system (a name "x.kicad_mod" followed by NUL would
// overwrite the input itself).
Status check_name_for_file(const std::string& name) {
  if (name.find('/') == std::string::npos && name.find('\0') == std::string::npos) return {};
  return Error("footprint name `" + name + "` is not a plain file name");
}

}  // namespace

Result<std::string> write_create_renderings(const CreateInput& input, const std::string& directory,
                                            const std::string& kicad_mod) {
  const std::string& name = input.footprint_name;
  const std::string svg = render_thumbnail_svg(kicad_mod);
  const std::string svg_path = join_path(directory, name + ".svg");
  RETURN_IF_ERROR(write_file(svg_path, svg));
  const std::string page =
      render_preview_page(name, svg, input.pads.size(), input.description, input.tags);
  const std::string page_path = join_path(directory, name + "-viewer.html");
  RETURN_IF_ERROR(write_file(page_path, page));
  // Aligned under "created ": the paths start in the ninth column.
  return "svg     " + svg_path + "\n" + "viewer  " + page_path + "\n";
}

Status run_preview(const PreviewArgs& args) {
  ASSIGN_OR_RETURN(const std::string text, read_input(args.file));
  const std::string name = name_or_default(text);
  RETURN_IF_ERROR(check_name_for_file(name));
  const std::string svg = render_thumbnail_svg(text);
  const std::string directory = args.out ? *args.out : input_directory(args.file);
  const std::string path = join_path(directory, name + "-viewer.html");
  RETURN_IF_ERROR(write_file(path, render_preview_page(name, svg, count_pads(text), "", "")));
  write_stdout("viewer " + path + "\n");
  return {};
}

Status run_render(const RenderArgs& args) {
  ASSIGN_OR_RETURN(const std::string text, read_input(args.file));
  RETURN_IF_ERROR(write_file(args.out, render_thumbnail_svg(text)).context("writing " + args.out));
  write_stdout("OK: rendered " + args.file + " → " + args.out + "\n");
  return {};
}

Status run_render_vornel(const RenderVornelArgs& args) {
  ASSIGN_OR_RETURN(const std::string text, read_input(args.file));
  ASSIGN_OR_RETURN(const Json document, parse_json(text).context("parsing vornel footprint JSON"));
  ASSIGN_OR_RETURN(const CreateInput input, convert_extracted_footprint(document));
  // The writer puts "inf" and "nan" into the text for numbers that overflow.
  RETURN_IF_ERROR(check_finite_numbers(input));
  const std::string svg = render_thumbnail_svg(write_kicad_mod(input));
  RETURN_IF_ERROR(write_file(args.out, svg).context("writing " + args.out));
  write_stdout("OK: rendered vornel footprint → " + args.out + " (" +
               std::to_string(input.pads.size()) + " pads)\n");
  return {};
}

Status run_embed(const EmbedArgs& args) {
  ASSIGN_OR_RETURN(const std::string text, read_input(args.file));
  const std::string name = name_or_default(text);
  std::string path;
  if (args.out) {
    path = *args.out;
  } else {
    RETURN_IF_ERROR(check_name_for_file(name));
    path = join_path(input_directory(args.file), name + "-embed.html");
  }
  RETURN_IF_ERROR(write_file(path, render_embed_page(text, name)).context("writing " + path));
  write_stdout("OK: interactive embed (" + std::to_string(count_pads(text)) + " pads) → " + path + "\n");
  return {};
}
