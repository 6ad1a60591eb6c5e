#include "server/part_library.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "server/live_state.h"

namespace {

namespace fs = std::filesystem;

constexpr char kTwoPads[] =
    "(footprint \"SOT-Test\"\n  (pad \"1\" smd rect (at -1 0) (size 1 0.5) (layers \"F.Cu\"))\n"
    "  (pad \"2\" smd rect (at 1 0) (size 1 0.5) (layers \"F.Cu\"))\n)\n";

void write_text(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string names(const std::vector<ChipEntry>& chips) {
  std::string out;
  for (const ChipEntry& c : chips) out += (out.empty() ? "" : " ") + c.mpn + (c.current ? "*" : "");
  return out;
}

// A temporary HOME holding a library under project/partloom/library, with
// the session, source path and root override cleared around each test.
class PartLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tovik-library-test-XXXXXX";
    base_ = mkdtemp(pattern);
    home_ = base_ / "home";
    lib_ = home_ / "project/partloom/library";
    const char* old_home = std::getenv("HOME");
    if (old_home) saved_home_ = old_home;
    setenv("HOME", home_.c_str(), 1);
    clear_library_root_override();
    session_slot().set(std::nullopt);
    source_path_slot().set(std::nullopt);
  }

  void TearDown() override {
    if (saved_home_) setenv("HOME", saved_home_->c_str(), 1);
    else unsetenv("HOME");
    clear_library_root_override();
    session_slot().set(std::nullopt);
    source_path_slot().set(std::nullopt);
    fs::remove_all(base_);
  }

  // A part folder with a footprint named after the part.
  void add_part(const std::string& mpn, const fs::path& lib = {}) {
    write_text((lib.empty() ? lib_ : lib) / mpn / (mpn + ".kicad_mod"), kTwoPads);
  }

  void load_session_with_mpn(const std::string& mpn) {
    LiveSession s;
    s.footprintName = "loaded";
    s.mpn = mpn;
    s.kicadMod = "(footprint \"loaded\")";
    session_slot().set(s);
  }

  fs::path base_, home_, lib_;
  std::optional<std::string> saved_home_;
};

TEST(LibraryRoot, Candidates) {
  EXPECT_EQ(library_candidates("/home/ann"),
            (std::vector<fs::path>{"/home/ann/project/partloom/library", "partloom/library",
                                   "/home/tovik/project/partloom/library"}));
  EXPECT_EQ(library_candidates(nullptr),
            (std::vector<fs::path>{"/project/partloom/library", "partloom/library",
                                   "/home/tovik/project/partloom/library"}));
  EXPECT_EQ(projects_file("/home/ann"), "/home/ann/.config/tovik-partloom/projects.json");
  EXPECT_EQ(projects_file(nullptr), ".config/tovik-partloom/projects.json");
}

TEST(LibraryRoot, OverrideIsTheFootprintFilesGrandparent) {
  struct Case {
    const char* file;
    std::optional<fs::path> root;
  } cases[] = {
      {"/data/lib/ABC/ABC.kicad_mod", "/data/lib"},
      {"/data/lib/ABC/", "/data"},  // a trailing slash is not a part of its own
      {"lib//ABC/./ABC.kicad_mod", "lib"},
      {"../lib/ABC/ABC.kicad_mod", "../lib"},
      {"/x/ABC.kicad_mod", "/"},
      {"ABC/ABC.kicad_mod", "."},  // the working directory
      {"./ABC.kicad_mod", "."},
      {"ABC.kicad_mod", std::nullopt},
      {"/ABC.kicad_mod", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(library_override_for(c.file), c.root) << c.file;
}

TEST_F(PartLibraryTest, RootIsResolvedAtEveryRequest) {
  EXPECT_EQ(library_root(), std::nullopt);
  EXPECT_EQ(chips_reply().body, R"({"chips":[],"current":""})");
  add_part("LM358");
  EXPECT_EQ(library_root(), lib_);
  EXPECT_EQ(chips_reply().body, R"({"chips":[{"current":false,"mpn":"LM358"}],"current":""})");
}

TEST_F(PartLibraryTest, OverrideWinsOverTheHomeLibrary) {
  add_part("HOME1");
  const fs::path other = base_ / "data/lib";
  add_part("ABC", other);
  add_part("XYZ", other);
  set_library_root_override((other / "ABC/ABC.kicad_mod").string());
  load_session_with_mpn("ABC");
  Reply r = chips_reply();
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.content_type, "application/json");
  EXPECT_EQ(r.body,
            R"({"chips":[{"current":true,"mpn":"ABC"},{"current":false,"mpn":"XYZ"}],)"
            R"("current":"ABC"})");
  // An override naming a folder that is gone still wins: the list is empty.
  set_library_root_override((base_ / "gone/ABC/ABC.kicad_mod").string());
  EXPECT_EQ(chips_reply().body, R"({"chips":[],"current":"ABC"})");
}

TEST_F(PartLibraryTest, PicksTheFootprintSource) {
  struct Case {
    const char* name;
    std::vector<std::string> files;  // a trailing "/" makes a folder
    std::optional<std::string> picked;
  } cases[] = {
      {"plain first", {"P.manufacturer.kicad_mod", "P.fusion.kicad_mod", "P.kicad_mod"}, "P.kicad_mod"},
      {"fusion second", {"P.altium.kicad_mod", "P.fusion.kicad_mod"}, "P.fusion.kicad_mod"},
      {"altium before manufacturer", {"P.manufacturer.kicad_mod", "P.altium.kicad_mod"},
       "P.altium.kicad_mod"},
      {"manufacturer", {"P.manufacturer.kicad_mod", "notes.txt"}, "P.manufacturer.kicad_mod"},
      {"any other footprint", {"other.kicad_mod", "info.json"}, "other.kicad_mod"},
      {"a named folder is skipped", {"P.kicad_mod/", "P.altium.kicad_mod"}, "P.altium.kicad_mod"},
      {"no stem", {".kicad_mod", "readme.txt"}, std::nullopt},
      {"extension is case-sensitive", {"P.KICAD_MOD"}, std::nullopt},
      {"not a final extension", {"P.kicad_mod.orig"}, std::nullopt},
      {"empty folder", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    const fs::path folder = base_ / "pick" / c.name;
    fs::create_directories(folder);
    for (const std::string& f : c.files) {
      if (f.ends_with("/")) fs::create_directories(folder / f);
      else write_text(folder / f, kTwoPads);
    }
    std::optional<fs::path> picked = pick_footprint_source(folder, "P");
    EXPECT_EQ(picked, c.picked ? std::optional<fs::path>(folder / *c.picked) : std::nullopt)
        << c.name;
  }
  EXPECT_EQ(pick_footprint_source(base_ / "no such folder", "P"), std::nullopt);

  // Links are followed for the named variants.
  const fs::path linked = base_ / "pick/linked";
  fs::create_directories(linked);
  fs::create_symlink(base_ / "pick/manufacturer/P.manufacturer.kicad_mod", linked / "P.kicad_mod");
  EXPECT_EQ(pick_footprint_source(linked, "P"), linked / "P.kicad_mod");
}

TEST_F(PartLibraryTest, ListsPartFoldersInCaseFreeOrder) {
  for (const char* mpn : {"b2", "A1", "a0", "\xC3\x89" "1", "E2", "f"}) add_part(mpn);
  write_text(lib_ / "plain-file.kicad_mod", kTwoPads);         // a file, not a folder
  write_text(lib_ / "NoFootprint/info.json", "{}");           // no footprint source
  write_text(lib_ / "OnlyDot/.kicad_mod", kTwoPads);          // no stem
  fs::create_directory_symlink(lib_ / "A1", lib_ / "Linked"); // links are followed
  fs::create_symlink(lib_ / "nowhere", lib_ / "Dangling");
  EXPECT_EQ(names(list_chips(lib_, "A1")), "a0 A1* b2 E2 f Linked \xC3\x89" "1");
}

TEST_F(PartLibraryTest, EqualKeysKeepTheDirectoryOrder) {
  for (const char* mpn : {"abc", "ABC", "Abc", "x"}) add_part(mpn);
  std::vector<std::string> dir_order;
  DIR* d = opendir(lib_.c_str());
  while (dirent* e = readdir(d))
    if (std::string(e->d_name) != "x" && e->d_name[0] != '.') dir_order.push_back(e->d_name);
  closedir(d);
  std::vector<ChipEntry> chips = list_chips(lib_, "");
  ASSERT_EQ(chips.size(), 4u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(chips[i].mpn, dir_order[i]);
  EXPECT_EQ(chips[3].mpn, "x");
}

TEST_F(PartLibraryTest, UnreadableRootGivesAnEmptyList) {
  EXPECT_TRUE(list_chips(base_ / "missing", "").empty());
  write_text(base_ / "file-root", "");
  EXPECT_TRUE(list_chips(base_ / "file-root", "").empty());
}

TEST(PartNumbers, SafeOnesNameOneFolderInsideTheLibrary) {
  for (std::string_view ok : {"LM358", "TPS62130RGTR", "a.b", "ABC-1.2", "x y", "...x"})
    EXPECT_EQ(is_safe_part_number(ok), ok != "...x") << ok;
  for (std::string_view bad : std::initializer_list<std::string_view>{"", ".", "..", "../x", "a/b", "/etc", "a\\b", "a..b",
                               std::string_view("a\0b", 3)})
    EXPECT_FALSE(is_safe_part_number(bad)) << bad;
}

TEST_F(PartLibraryTest, ChipMetadata) {
  const fs::path p = lib_ / "P1";
  add_part("P1");
  struct Case {
    const char* name;
    const char* extracted;  // nullptr: no file
    const char* info;
    std::vector<const char*> images;
    const char* expected;
  } cases[] = {
      {"no metadata files", nullptr, nullptr, {},
       R"({"bodyDimensions":null,"datasheet":null,"description":null,"family":null,)"
       R"("has3d":false,"manufacturer":null,"mpn":"P1","package":null,"padCount":null})"},
      {"both files",
       R"({"manufacturer":"TI","package":"SOT-23","bodyDimensions":{"x":2.9,"y":1.3},"padCount":3,"description":"Op amp"})",
       R"({"manufacturer":"Other","description":"Other","family":"Amplifiers","datasheet_url":"https://x/ds.pdf"})",
       {"P1-3d-iso.png"},
       R"({"bodyDimensions":{"x":2.9,"y":1.3},"datasheet":"https://x/ds.pdf","description":"Op amp",)"
       R"("family":"Amplifiers","has3d":true,"manufacturer":"TI","mpn":"P1","package":"SOT-23",)"
       R"("padCount":3})"},
      {"info not JSON", R"({"manufacturer":"TI","description":"Op amp"})", "{not json", {},
       R"({"bodyDimensions":null,"datasheet":null,"description":"Op amp","family":null,)"
       R"("has3d":false,"manufacturer":"TI","mpn":"P1","package":null,"padCount":null})"},
      {"null in extraction falls back", R"({"manufacturer":null})",
       R"({"manufacturer":"Acme","description":"From info"})", {"P1-3d-iso-named.png"},
       R"({"bodyDimensions":null,"datasheet":null,"description":"From info","family":null,)"
       R"("has3d":true,"manufacturer":"Acme","mpn":"P1","package":null,"padCount":null})"},
      {"not objects, large image only", "[1,2]", "\"text\"", {"P1-3d-iso-lg.png"},
       R"({"bodyDimensions":null,"datasheet":null,"description":null,"family":null,)"
       R"("has3d":false,"manufacturer":null,"mpn":"P1","package":null,"padCount":null})"},
      {"extraction not UTF-8", "{\"manufacturer\":\"\xFF\"}", R"({"manufacturer":"Acme"})", {},
       R"({"bodyDimensions":null,"datasheet":null,"description":null,"family":null,)"
       R"("has3d":false,"manufacturer":"Acme","mpn":"P1","package":null,"padCount":null})"},
  };
  for (const Case& c : cases) {
    for (const char* f : {"P1-footprint.extracted.json", "info.json", "P1-3d-iso-named.png",
                          "P1-3d-iso.png", "P1-3d-iso-lg.png"})
      fs::remove(p / f);
    if (c.extracted) write_text(p / "P1-footprint.extracted.json", c.extracted);
    if (c.info) write_text(p / "info.json", c.info);
    for (const char* image : c.images) write_text(p / image, "PNG");
    EXPECT_EQ(write_json(chip_metadata("P1")), c.expected) << c.name;
  }
  EXPECT_EQ(chip_metadata(""), nullptr);
  EXPECT_EQ(chip_metadata("../home"), nullptr);
  fs::remove_all(lib_);
  EXPECT_EQ(chip_metadata("P1"), nullptr);  // no library
}

TEST_F(PartLibraryTest, Projects) {
  Reply missing = projects_reply();
  EXPECT_EQ(missing.status, 200);
  EXPECT_EQ(missing.content_type, "application/json");
  EXPECT_EQ(missing.body, R"({"projects":{}})");
  const fs::path file = home_ / ".config/tovik-partloom/projects.json";
  for (const char* text : {R"({"projects":{"Robot":{"mpns":["LM358"]}}})", "any text, not JSON"}) {
    write_text(file, text);
    EXPECT_EQ(projects_reply().body, text);
  }
  write_text(file, "\xFF\xFE");
  EXPECT_EQ(projects_reply().body, R"({"projects":{}})");
}

TEST_F(PartLibraryTest, ServesTheLoadedPartsImage) {
  add_part("P1");
  add_part("P2");
  EXPECT_EQ(chip3d_reply().status, 404);  // nothing loaded
  load_session_with_mpn("P1");
  EXPECT_EQ(chip3d_reply().status, 404);  // no image
  EXPECT_EQ(chip3d_reply().body, R"({"error":"not found"})");
  write_text(lib_ / "P2/P2-3d-iso.png", "P2 image");
  write_text(lib_ / "P1/P1-3d-iso-lg.png", std::string("\x89PNG\0large", 10));
  Reply r = chip3d_reply();
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.content_type, "image/png");
  EXPECT_EQ(r.body, std::string("\x89PNG\0large", 10));
  write_text(lib_ / "P1/P1-3d-iso.png", "iso");
  EXPECT_EQ(chip3d_reply().body, "iso");
  write_text(lib_ / "P1/P1-3d-iso-named.png", "named");
  EXPECT_EQ(chip3d_reply().body, "named");

  load_session_with_mpn("../library/P2");  // pushed by a client: never leaves the library
  EXPECT_EQ(chip3d_reply().status, 404);
  fs::remove_all(lib_);
  load_session_with_mpn("P1");
  EXPECT_EQ(chip3d_reply().status, 404);  // no library
}

TEST_F(PartLibraryTest, LoadChipRefusesBadRequests) {
  add_part("P1");
  load_session_with_mpn("before");
  struct Case {
    std::string body;
    int status;
    const char* error;
  } cases[] = {
      {"", 400, "mpn required"},
      {"not json", 400, "mpn required"},
      {"{}", 400, "mpn required"},
      {R"({"mpn":5})", 400, "mpn required"},
      {R"({"mpn":""})", 400, "mpn required"},
      {R"(["P1"])", 400, "mpn required"},
      {R"({"mpn":"NOPE"})", 404, "chip not found in library"},
      {R"({"mpn":"p1"})", 404, "chip not found in library"},
  };
  for (const Case& c : cases) {
    Reply r = load_chip_reply(c.body);
    EXPECT_EQ(r.status, c.status) << c.body;
    EXPECT_EQ(r.body, std::string(R"({"error":")") + c.error + R"(","ok":false})") << c.body;
  }
  EXPECT_EQ(session_slot().get()->mpn, "before");
  EXPECT_EQ(source_path_slot().get(), std::nullopt);
}

TEST_F(PartLibraryTest, LoadChipNeverReadsOutsideTheLibrary) {
  // Footprints that a path trick could reach: beside the library, above it,
  // and nested in a part folder.
  write_text(lib_.parent_path() / "evil/evil.kicad_mod", kTwoPads);
  write_text(lib_.parent_path() / "library.kicad_mod", kTwoPads);
  write_text(lib_ / "a/b/b.kicad_mod", kTwoPads);
  write_text(lib_ / "a\\b/a\\b.kicad_mod", kTwoPads);
  add_part("P1");
  load_session_with_mpn("before");
  for (std::string mpn : std::initializer_list<std::string>{"../evil", "..", "a/b", "a\\b", "P1/..", "/etc", ".",
                          std::string("P1\0x", 4)}) {
    Reply r = load_chip_reply(write_json(Json{{"mpn", mpn}}));
    EXPECT_EQ(r.status, 404) << mpn;
    EXPECT_EQ(r.body, R"({"error":"chip not found in library","ok":false})") << mpn;
  }
  EXPECT_EQ(session_slot().get()->mpn, "before");
  EXPECT_EQ(source_path_slot().get(), std::nullopt);
}

TEST_F(PartLibraryTest, LoadChipReplacesTheSession) {
  add_part("P1");
  write_text(lib_ / "OLD/OLD.altium.kicad_mod",
             "(module OLD (layer F.Cu)\n  (pad 1 smd rect (at 0 0) (size 1 1) (layers F.Cu))\n)\n");
  struct Case {
    const char* mpn;
    const char* file;
    const char* name;
    uint64_t pads;
  } cases[] = {
      {"P1", "P1/P1.kicad_mod", "SOT-Test", 2},
      {"OLD", "OLD/OLD.altium.kicad_mod", "OLD", 1},  // no (footprint header: the part number
  };
  for (const Case& c : cases) {
    Reply r = load_chip_reply(std::string(R"({"mpn":")") + c.mpn + "\"}");
    EXPECT_EQ(r.status, 200) << c.mpn;
    EXPECT_EQ(r.body, std::string(R"({"mpn":")") + c.mpn + R"(","ok":true})");
    std::optional<LiveSession> s = session_slot().get();
    ASSERT_TRUE(s) << c.mpn;
    EXPECT_EQ(s->footprintName, c.name);
    EXPECT_EQ(s->mpn, c.mpn);
    EXPECT_EQ(s->padCount, c.pads);
    EXPECT_EQ(s->description, "");
    EXPECT_EQ(s->tags, "");
    EXPECT_TRUE(s->svg.starts_with("<svg")) << s->svg.substr(0, 40);
    std::ifstream in(lib_ / c.file);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(s->kicadMod, text.str());
    EXPECT_EQ(source_path_slot().get(), (lib_ / c.file).string());
  }
  EXPECT_EQ(chips_reply().body,
            R"({"chips":[{"current":true,"mpn":"OLD"},{"current":false,"mpn":"P1"}],)"
            R"("current":"OLD"})");

  // An unreadable footprint (not UTF-8) is not found, and OLD stays loaded.
  write_text(lib_ / "BIN/BIN.kicad_mod", "\xFF");
  EXPECT_EQ(load_chip_reply(R"({"mpn":"BIN"})").status, 404);
  EXPECT_EQ(session_slot().get()->mpn, "OLD");
}

}  // namespace
