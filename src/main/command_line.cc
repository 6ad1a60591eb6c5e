#include "main/command_line.h"

#include <algorithm>
#include <sstream>

#include <CLI/CLI.hpp>

#include "main/console.h"

namespace {

// An option whose value lands in a std::optional only when it is given.
CLI::Option* optional_path(CLI::App& app, const char* name, std::optional<std::string>& target,
                           const char* help = "") {
  return app.add_option_function<std::string>(name, [&target](const std::string& v) { target = v; }, help);
}

CLI::Option* port_option(CLI::App& app, uint16_t& port) {
  return app.add_option("--port", port)
      ->check(CLI::Range(0, 65535))
      ->option_text("PORT [default: " + std::to_string(port) + "]");
}

void define_create(CLI::App& app, CommandLine& line) {
  optional_path(app, "--file", line.create.file)->type_name("FILE");
  optional_path(app, "--out", line.create.out)->type_name("OUT");
}

void define_preview(CLI::App& app, CommandLine& line) {
  app.add_option("--file", line.preview.file)->type_name("FILE")->required();
  optional_path(app, "--out", line.preview.out)->type_name("OUT");
}

void define_render(CLI::App& app, CommandLine& line) {
  app.add_option("--file", line.render.file)->type_name("FILE")->required();
  app.add_option("--out", line.render.out)->type_name("OUT")->required();
}

void define_render_vornel(CLI::App& app, CommandLine& line) {
  app.add_option("--file", line.render_vornel.file)->type_name("FILE")->required();
  app.add_option("--out", line.render_vornel.out)->type_name("OUT")->required();
}

void define_placement(CLI::App& app, CommandLine& line) {
  app.add_option("--file", line.placement.file)->type_name("FILE")->required();
  app.add_flag("--write", line.placement.write,
               "Write the `textPlacement` block back into the JSON file (in place)")
      ->disable_flag_override();
}

void define_embed(CLI::App& app, CommandLine& line) {
  app.add_option("--file", line.embed.file)->type_name("FILE")->required();
  optional_path(app, "--out", line.embed.out,
                "Output .html path (default: <footprintName>-embed.html next to the input)")
      ->type_name("OUT");
}

void define_ui(CLI::App& app, CommandLine& line) {
  app.add_option("action", line.ui.action, "Action: layer | zoom | send | toast | state | list")
      ->type_name("ACTION")
      ->required();
  app.add_option("args", line.ui.args, "Arguments (e.g. `layer silk off`)")->type_name("ARGS");
  port_option(app, line.ui.port);
}

void define_serve(CLI::App& app, CommandLine& line) {
  port_option(app, line.serve.port);
  optional_path(app, "--file", line.serve.file)->type_name("FILE");
}

const char kUiAbout[] =
    "Drive the RUNNING live app's UI from the CLI (ai-driven-apps contract). Examples: `ui layer silk off` "
    "\u00b7 `ui layer paste-dots on` \u00b7 `ui zoom fit` \u00b7 `ui send kicad` \u00b7 `ui toast \"hi\"` "
    "\u00b7 `ui state` \u00b7 `ui list`";

void define_help(CLI::App& app, std::string& topic) {
  app.add_option("command", topic, "The command whose help to print")->type_name("COMMAND");
}

// A first word that names no command: CLI11 would only say that a
// subcommand is required.
bool names_unknown_command(const std::string& word) {
  if (word.empty() || word[0] == '-' || word == "help") return false;
  for (const Command& command : commands())
    if (word == command.name) return false;
  return true;
}

std::string usage_error(const std::string& message) {
  return message + "\nRun with --help for more information.\n";
}

// The commands whose arguments the parser needs: the one named by the first
// word that is not an option, and after `help` the one named next. Declaring
// the options of every command would be start-up time spent on every run.
std::vector<std::string> named_commands(const std::vector<std::string>& args) {
  std::vector<std::string> named;
  for (const std::string& word : args) {
    if (word.starts_with("-")) continue;
    named.push_back(word);
    if (word != "help" || named.size() == 2) break;
  }
  return named;
}

std::unique_ptr<CLI::App> make_parser(CommandLine& line, std::string& help_topic,
                                      const std::vector<std::string>& named) {
  auto app = std::make_unique<CLI::App>("Create and preview KiCad PCB footprints (standalone build, no KiCad needed)",
                                        kProgramName);
  app->set_version_flag("-V,--version", std::string(kProgramName) + " " + kProgramVersion, "Print version");
  app->require_subcommand(1);
  for (const Command& command : commands()) {
    CLI::App* sub = app->add_subcommand(command.name, command.about);
    if (std::find(named.begin(), named.end(), command.name) != named.end()) command.define(*sub, line);
  }
  define_help(*app->add_subcommand("help", "Print this message or the help of the given command"), help_topic);
  return app;
}

// `help` and `help COMMAND`: the help text, or a usage error for a command
// that does not exist.
void answer_help(const CLI::App& app, const std::string& help_topic, ParsedCommandLine& parsed) {
  if (help_topic.empty()) {
    // app.help() would describe `help` itself, the subcommand just parsed.
    parsed.out = app.get_formatter()->make_help(&app, kProgramName, CLI::AppFormatMode::Normal);
    return;
  }
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (sub->get_name() == help_topic) {
      parsed.out = sub->help(kProgramName);
      return;
    }
  }
  parsed.status = 2;
  parsed.err = usage_error("unrecognized subcommand '" + help_topic + "'");
}

}  // namespace

const std::vector<Command>& commands() {
  static const auto* table = new std::vector<Command>{
      {"create", "Create a footprint from structured pad data (JSON on stdin or --file)", define_create,
       [](const CommandLine& l) { return run_create(l.create); }},
      {"preview", "Render an existing .kicad_mod to a themed viewer HTML", define_preview,
       [](const CommandLine& l) { return run_preview(l.preview); }},
      {"render", "Render any `.kicad_mod` to a themed thumbnail SVG (for source variants)", define_render,
       [](const CommandLine& l) { return run_render(l.render); }},
      {"render-vornel",
       "Render a vornel `<mpn>-footprint.extracted.json` to a themed thumbnail SVG. Used by partloom for the "
       "vornel footprint source variant",
       define_render_vornel, [](const CommandLine& l) { return run_render_vornel(l.render_vornel); }},
      {"placement",
       "Compute the canonical RefDes/Value `textPlacement` for a footprint and (with --write) inject it into a "
       "`<mpn>-footprint.extracted.json` so every exporter validates against ONE explicit placement instead of "
       "re-guessing. Accepts a vornel extracted.json or an tovik-footprint create JSON",
       define_placement, [](const CommandLine& l) { return run_placement(l.placement); }},
      {"embed",
       "Export a self-contained, INTERACTIVE HTML package (pan/zoom + a Layers panel with the Quillo paste-dot "
       "overlay) for embedding in an iframe \u2014 e.g. a wiki component page. No server, no external assets",
       define_embed, [](const CommandLine& l) { return run_embed(l.embed); }},
      {"ui", kUiAbout, define_ui, [](const CommandLine& l) { return run_ui(l.ui); }},
      {"serve", "Run the live app server (AI-drivable: /state, /eval, /console)", define_serve,
       [](const CommandLine& l) { return run_serve(l.serve); }},
  };
  return *table;
}

ParsedCommandLine parse_command_line(const std::vector<std::string>& args) {
  ParsedCommandLine parsed;
  std::string help_topic;  // the command named after `help`, when any
  std::unique_ptr<CLI::App> app = make_parser(parsed.line, help_topic, named_commands(args));
  if (args.empty()) {
    parsed.status = 2;
    parsed.err = app->help();
    return parsed;
  }
  if (names_unknown_command(args[0])) {
    parsed.status = 2;
    parsed.err = usage_error("unrecognized subcommand '" + args[0] + "'");
    return parsed;
  }
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 consumes from the back
  try {
    app->parse(reversed);
  } catch (const CLI::ParseError& e) {
    std::ostringstream out, err;
    parsed.status = app->exit(e, out, err) == 0 ? 0 : 2;
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
  }
  const CLI::App* chosen = app->get_subcommands().front();
  if (chosen->get_name() == "help") {
    answer_help(*app, help_topic, parsed);
    return parsed;
  }
  for (const Command& command : commands())
    if (chosen->get_name() == command.name) parsed.command = &command;
  return parsed;
}

int run_command_line(int argc, char** argv) {
  ParsedCommandLine parsed = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.command == nullptr) {
    write_stdout(parsed.out);
    write_stderr(parsed.err);
    return parsed.status;
  }
  Status status = parsed.command->run(parsed.line);
  if (status.ok()) return 0;
  write_stderr("ERROR: " + status.error().message() + "\n");
  return 1;
}
