#include "main/command_line.h"

#include <gtest/gtest.h>

namespace {

ParsedCommandLine parse(std::vector<std::string> args) { return parse_command_line(args); }

TEST(CommandLineTest, TableListsEightCommandsInOrder) {
  std::string names;
  for (const Command& c : commands()) names += std::string(c.name) + " ";
  EXPECT_EQ(names, "create preview render render-vornel placement embed ui serve ");
}

TEST(CommandLineTest, ParsesEachCommand) {
  ParsedCommandLine p = parse({"create"});
  ASSERT_NE(p.command, nullptr);
  EXPECT_STREQ(p.command->name, "create");
  EXPECT_FALSE(p.line.create.file.has_value());
  EXPECT_FALSE(p.line.create.out.has_value());

  p = parse({"create", "--file", "pads.json", "--out=build"});
  EXPECT_EQ(p.line.create.file, "pads.json");
  EXPECT_EQ(p.line.create.out, "build");

  p = parse({"preview", "--file", "a/b.kicad_mod"});
  EXPECT_STREQ(p.command->name, "preview");
  EXPECT_EQ(p.line.preview.file, "a/b.kicad_mod");
  EXPECT_FALSE(p.line.preview.out.has_value());

  p = parse({"render", "--out", "x.svg", "--file", "x.kicad_mod"});
  EXPECT_EQ(p.line.render.file, "x.kicad_mod");
  EXPECT_EQ(p.line.render.out, "x.svg");

  p = parse({"render-vornel", "--file", "e.json", "--out", "e.svg"});
  EXPECT_STREQ(p.command->name, "render-vornel");
  EXPECT_EQ(p.line.render_vornel.out, "e.svg");

  p = parse({"placement", "--file", "f.json"});
  EXPECT_FALSE(p.line.placement.write);
  p = parse({"placement", "--write", "--file", "f.json"});
  EXPECT_TRUE(p.line.placement.write);

  p = parse({"embed", "--file", "f.kicad_mod", "--out", "page.html"});
  EXPECT_EQ(p.line.embed.out, "page.html");

  p = parse({"ui", "layer", "silk", "off"});
  EXPECT_EQ(p.line.ui.action, "layer");
  EXPECT_EQ(p.line.ui.args, (std::vector<std::string>{"silk", "off"}));
  EXPECT_EQ(p.line.ui.port, 8783);
  p = parse({"ui", "state", "--port", "9000"});
  EXPECT_TRUE(p.line.ui.args.empty());
  EXPECT_EQ(p.line.ui.port, 9000);

  p = parse({"serve"});
  EXPECT_EQ(p.line.serve.port, 8782);
  EXPECT_FALSE(p.line.serve.file.has_value());
  p = parse({"serve", "--port", "0", "--file", "x.kicad_mod"});
  EXPECT_EQ(p.line.serve.port, 0);
  EXPECT_EQ(p.line.serve.file, "x.kicad_mod");
  p = parse({"serve", "--port", "65535"});
  EXPECT_EQ(p.line.serve.port, 65535);
}

TEST(CommandLineTest, HelpAndVersionGoToStandardOutput) {
  struct Case {
    std::vector<std::string> args;
    std::string starts_with;
  } cases[] = {
      {{"--version"}, "tovik-footprint 1.0.20\n"},
      {{"-V"}, "tovik-footprint 1.0.20\n"},
      {{"--help"}, "Create and preview KiCad PCB footprints"},
      {{"-h"}, "Create and preview KiCad PCB footprints"},
      {{"help"}, "Create and preview KiCad PCB footprints"},
      {{"help", "placement"}, "Compute the canonical RefDes/Value `textPlacement`"},
      {{"placement", "--help"}, "Compute the canonical RefDes/Value `textPlacement`"},
      {{"ui", "-h"}, "Drive the RUNNING live app's UI from the CLI"},
  };
  for (const Case& c : cases) {
    ParsedCommandLine p = parse(c.args);
    EXPECT_EQ(p.command, nullptr) << c.args[0];
    EXPECT_EQ(p.status, 0) << c.args[0];
    EXPECT_EQ(p.out.substr(0, c.starts_with.size()), c.starts_with) << c.args[0];
    EXPECT_EQ(p.err, "") << c.args[0];
  }
  EXPECT_EQ(parse({"--version"}).out, "tovik-footprint 1.0.20\n");
}

TEST(CommandLineTest, HelpListsCommandsAndOptions) {
  const std::string root = parse({"--help"}).out;
  for (const Command& c : commands()) EXPECT_NE(root.find(c.name), std::string::npos) << c.name;
  const std::string placement = parse({"help", "placement"}).out;
  EXPECT_NE(placement.find("--file FILE"), std::string::npos) << placement;
  EXPECT_NE(placement.find("--write"), std::string::npos) << placement;
  EXPECT_NE(placement.find("Write the `textPlacement` block back into the JSON file (in place)"), std::string::npos);
  const std::string ui = parse({"ui", "--help"}).out;
  EXPECT_NE(ui.find("ACTION"), std::string::npos) << ui;
  EXPECT_NE(ui.find("--port PORT [default: 8783]"), std::string::npos) << ui;
  EXPECT_NE(parse({"serve", "--help"}).out.find("--port PORT [default: 8782]"), std::string::npos);
  // The version flag belongs to the root only.
  EXPECT_EQ(parse({"create", "--help"}).out.find("--version"), std::string::npos);
}

TEST(CommandLineTest, UsageErrorsGoToStandardErrorWithStatus2) {
  const std::vector<std::string> cases[] = {
      {"bogus"},
      {"create", "--bogus"},
      {"create", "-f", "x"},
      {"create", "--file"},
      {"render", "--file", "x.kicad_mod"},
      {"preview"},
      {"placement", "--file", "a", "--write=yes"},
      {"ui"},
      {"ui", "state", "--port", "65536"},
      {"ui", "state", "--port", "-1"},
      {"serve", "--port", "http"},
      {"serve", "extra"},
      {"create", "-V"},
      {"help", "bogus"},
      {"create", "--file", "a", "--file", "b"},
  };
  for (const auto& args : cases) {
    ParsedCommandLine p = parse(args);
    std::string joined;
    for (const std::string& a : args) joined += a + " ";
    EXPECT_EQ(p.command, nullptr) << joined;
    EXPECT_EQ(p.status, 2) << joined;
    EXPECT_EQ(p.out, "") << joined;
    EXPECT_NE(p.err, "") << joined;
  }
}

TEST(CommandLineTest, UnknownCommandIsNamed) {
  EXPECT_EQ(parse({"bogus", "--file", "x"}).err, "unrecognized subcommand 'bogus'\nRun with --help for more information.\n");
  EXPECT_EQ(parse({"help", "bogus"}).err, "unrecognized subcommand 'bogus'\nRun with --help for more information.\n");
}

TEST(CommandLineTest, NoArgumentsPrintsHelpOnStandardError) {
  ParsedCommandLine p = parse({});
  EXPECT_EQ(p.command, nullptr);
  EXPECT_EQ(p.status, 2);
  EXPECT_EQ(p.out, "");
  EXPECT_EQ(p.err, parse({"--help"}).out);
}

}  // namespace
