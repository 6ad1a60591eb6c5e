// tovik-lbr: builds an EAGLE library (.lbr) from a KiCad footprint, standing
// in for the generator that the live app's delivery runs.
//
//   tovik-lbr generate --fp FOOTPRINT.kicad_mod --name NAME --output OUT.lbr
//
// Exit status 0 means the library was written; otherwise one line on
// standard error says why.
#include <cstdio>
#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

#include "base/file_io.h"
#include "eagle_library.h"
#include "kicad_footprint.h"

namespace {

struct GenerateArgs {
  std::string footprint, name, output;
};

Status generate(const GenerateArgs& args) {
  Result<std::string> text = read_text_file(args.footprint);
  if (!text.ok()) return std::move(text).error().context("reading " + args.footprint);
  Result<KicadFootprint> fp = read_kicad_footprint(*text);
  if (!fp.ok()) return std::move(fp).error().context(args.footprint);
  if (pin_count(*fp) == 0)
    return Error(args.footprint + ": the footprint has no numbered copper pads");
  std::string name = args.name;
  if (name.empty()) name = fp->name;
  if (name.empty()) name = std::filesystem::path(args.footprint).stem().string();
  Status written = write_file(args.output, write_eagle_library(*fp, name));
  if (!written.ok()) return std::move(written).error().context("writing " + args.output);
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Builds an EAGLE library (.lbr) from a KiCad footprint.", "tovik-lbr"};
  app.require_subcommand(1);
  GenerateArgs args;
  CLI::App* gen = app.add_subcommand("generate", "Write one library with the footprint's part.");
  gen->add_option("--fp", args.footprint, "KiCad footprint (.kicad_mod) to read")->required();
  gen->add_option("--name", args.name, "Name of the package, symbol and device set");
  gen->add_option("--output", args.output, "Library file to write")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  Status done = generate(args);
  if (!done.ok()) {
    std::fprintf(stderr, "tovik-lbr: %s\n", done.error().message().c_str());
    return 1;
  }
  return 0;
}
