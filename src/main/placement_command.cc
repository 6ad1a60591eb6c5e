#include "main/placement_command.h"

#include "authoring/extracted_footprint.h"
#include "authoring/kicad_writer.h"
#include "base/file_io.h"
#include "main/commands.h"
#include "main/console.h"

bool is_create_json(const Json& document) {
  if (!document.is_object()) return false;
  auto pads = document.find("pads");
  if (pads == document.end() || !pads->is_array() || pads->empty()) return false;
  const Json& first = pads->front();
  return first.is_object() && first.contains("x") && first.contains("dx");
}

Result<CreateInput> placement_footprint(const Json& document) {
  if (is_create_json(document)) return read_create_input(document).context("parsing create JSON");
  return convert_extracted_footprint(document);
}

Status run_placement(const PlacementArgs& args) {
  ASSIGN_OR_RETURN(const std::string text, read_text_file(args.file).context("reading " + args.file));
  ASSIGN_OR_RETURN(Json document, parse_json(text).context("parsing footprint JSON"));
  ASSIGN_OR_RETURN(const CreateInput input, placement_footprint(document));
  RETURN_IF_ERROR(check_finite_numbers(input));
  Json block = text_placement_to_json(compute_text_placement(input));
  write_stdout(write_json_pretty(block) + "\n");
  if (!args.write) return {};
  document["textPlacement"] = std::move(block);
  // Replaced in one step, so a failed write never leaves half a file behind.
  RETURN_IF_ERROR(replace_file_atomically(args.file, write_json_pretty(document) + "\n")
                      .context("writing " + args.file));
  write_stderr("wrote textPlacement \u2192 " + args.file + "\n");
  return {};
}
