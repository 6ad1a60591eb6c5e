// The command line: one table of the eight commands (name, about text,
// arguments, procedure), the parser built from it, and the top-level run that
// reports failures. Help and version go to standard output with status 0,
// usage errors to standard error with status 2, a failing command prints
// "ERROR: " and its message chain on standard error with status 1.
#pragma once

#include <string>
#include <vector>

#include "base/error.h"
#include "main/commands.h"

namespace CLI {
class App;
}

inline constexpr const char* kProgramName = "tovik-footprint";
inline constexpr const char* kProgramVersion = "1.0.20";

// Every command's arguments; the parser fills those of the command it finds.
struct CommandLine {
  CreateArgs create;
  PreviewArgs preview;
  RenderArgs render;
  RenderVornelArgs render_vornel;
  PlacementArgs placement;
  EmbedArgs embed;
  UiArgs ui;
  ServeArgs serve;
};

struct Command {
  const char* name;
  const char* about;
  // Declares the command's arguments on its parser, bound into `line`.
  void (*define)(CLI::App& parser, CommandLine& line);
  Status (*run)(const CommandLine& line);
};

// The commands in the order the help lists them.
const std::vector<Command>& commands();

// The outcome of parsing: either a command to run with its arguments, or the
// texts to print and the exit status (help, version, usage errors).
struct ParsedCommandLine {
  const Command* command = nullptr;
  CommandLine line;
  int status = 0;
  std::string out;  // for standard output
  std::string err;  // for standard error
};

// Parses the arguments that follow the program name.
ParsedCommandLine parse_command_line(const std::vector<std::string>& args);

// Parses, runs the chosen command, prints what there is to print and returns
// the exit status.
int run_command_line(int argc, char** argv);
