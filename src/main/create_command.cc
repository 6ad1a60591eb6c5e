#include "main/create_command.h"

#include <filesystem>
#include <system_error>

#include "authoring/create_input.h"
#include "authoring/footprint_info.h"
#include "authoring/kicad_writer.h"
#include "base/file_io.h"
#include "main/commands.h"
#include "main/console.h"

namespace {

Result<std::string> read_input(const std::optional<std::string>& file) {
  if (!file) return read_stdin_text();
  return read_text_file(*file).context("reading " + *file);
}

}  // namespace

Status check_plain_file_name(const std::string& name) {
  if (name != "." && name != ".." && name.find('/') == std::string::npos &&
      name.find('\0') == std::string::npos)
    return {};
  return Error("footprintName `" + name + "` is not a plain file name");
}

Status make_directories(const std::string& directory) {
  if (directory.empty()) return {};
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) return Error(error.message());
  return {};
}

Status run_create(const CreateArgs& args) {
  ASSIGN_OR_RETURN(const std::string text, read_input(args.file));
  ASSIGN_OR_RETURN(const CreateInput input, read_create_input(text).context("parsing create JSON"));
  RETURN_IF_ERROR(validate_create_input(input));
  // The name is part of the output path: refuse one that would lead out of
  // the output directory before anything is created.
  RETURN_IF_ERROR(check_plain_file_name(input.footprint_name));
  RETURN_IF_ERROR(check_finite_numbers(input));
  const std::string kicad_mod = write_kicad_mod(input);
  const std::string directory = args.out.value_or(input.footprint_name);
  RETURN_IF_ERROR(make_directories(directory));
  const std::string path = join_path(directory, input.footprint_name + ".kicad_mod");
  RETURN_IF_ERROR(write_file(path, kicad_mod));
  ASSIGN_OR_RETURN(const std::string more_lines, write_create_renderings(input, directory, kicad_mod));
  write_stdout("created " + path + "\n" + more_lines);
  return {};
}
