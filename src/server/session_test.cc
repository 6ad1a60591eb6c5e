#include "server/session.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "authoring/text_ops.h"
#include "base/file_io.h"
#include "server/part_library.h"

namespace {

namespace fs = std::filesystem;

// One pad; the reference at (1 2 90), the value at (0 3).
constexpr char kR0603[] = R"((footprint "R_0603" (version 20240108) (generator "test") (layer "F.Cu")
  (fp_text reference "REF**" (at 1 2 90) (layer "F.SilkS") (effects (font (size 1 1) (thickness 0.15))))
  (fp_text value "R_0603" (at 0 3) (layer "F.Fab") (effects (font (size 1 1) (thickness 0.15))))
  (pad "1" smd rect (at 0 0) (size 1 0.8) (layers "F.Cu" "F.Paste" "F.Mask"))
)
)";

constexpr char kNeedCoordinates[] = R"({"error":"need reference.{x,y} and value.{x,y}","ok":false})";
constexpr char kNothingToEdit[] = R"({"error":"no .kicad_mod loaded to edit","ok":false})";
constexpr char kNothingToSave[] =
    R"j({"error":"no file to save (footprint was pushed, not loaded from disk)","ok":false})j";

std::string read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every test starts with no session, no source file, no library override and
// a fresh, empty home folder (so no library is found by accident).
class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_slot().set(std::nullopt);
    source_path_slot().set(std::nullopt);
    clear_library_root_override();
    char pattern[] = "/tmp/tovik-session-XXXXXX";
    dir_ = mkdtemp(pattern);
    setenv("HOME", dir_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Writes `text` to `name` below the test's folder; returns its path.
  std::string write(const std::string& name, std::string_view text) {
    fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    EXPECT_TRUE(write_file(path.string(), text).ok());
    return path.string();
  }

  Json state() { return parse_json(state_reply().body).value(); }

  fs::path dir_;
};

TEST_F(SessionTest, PartNumberIsTheNameOfTheFolderHoldingTheFile) {
  struct Case {
    const char* path;
    const char* mpn;
  } cases[] = {
      {"lib/ABC/ABC.kicad_mod", "ABC"},
      {"/data/lib/ABC/ABC.kicad_mod", "ABC"},
      {"ABC/x.kicad_mod", "ABC"},
      {"x.kicad_mod", ""},
      {"/x.kicad_mod", ""},
      {"./x.kicad_mod", ""},
      {"../x.kicad_mod", ""},
      {"a/\xff/x.kicad_mod", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(part_number_from_path(c.path), c.mpn) << c.path;
}

TEST_F(SessionTest, PreloadMakesTheFileTheSession) {
  std::string path = write("lib/R_0603/R_0603.kicad_mod", kR0603);
  ASSERT_TRUE(preload_session(path).ok());
  std::optional<LiveSession> session = session_slot().get();
  ASSERT_TRUE(session);
  EXPECT_EQ(session->footprintName, "R_0603");
  EXPECT_EQ(session->mpn, "R_0603");
  EXPECT_EQ(session->kicadMod, kR0603);
  EXPECT_EQ(session->padCount, 1u);
  EXPECT_EQ(session->description, "");
  EXPECT_EQ(session->tags, "");
  EXPECT_NE(session->svg.find("tovik-layer-paste-dots"), std::string::npos);
  EXPECT_EQ(source_path_slot().get(), path);
  EXPECT_EQ(library_root(), (dir_ / "lib"));
}

TEST_F(SessionTest, PreloadOfAMissingFileChangesNothing) {
  Status status = preload_session("no/such.kicad_mod");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message(), "reading no/such.kicad_mod: No such file or directory");
  EXPECT_FALSE(session_slot().get());
  EXPECT_FALSE(source_path_slot().get());
}

TEST_F(SessionTest, LoadBodiesMakeSessions) {
  std::string no_name = std::string(kR0603).replace(0, std::string("(footprint \"R_0603\"").size(), "(footprint");
  struct Case {
    std::string body;
    std::string name;
    uint64_t pads;
    bool has_text;
  } cases[] = {
      {Json{{"kicadMod", kR0603}}.dump(), "R_0603", 1, true},
      {Json{{"kicadMod", no_name}}.dump(), "footprint", 1, true},
      {Json{{"kicadMod", kR0603}, {"footprintName", ""}, {"padCount", 7}}.dump(), "", 1, true},
      {Json{{"kicadMod", kR0603}, {"footprintName", 5}}.dump(), "R_0603", 1, true},
      {R"({"footprintName":"X","svg":"<svg/>","padCount":4})", "X", 4, false},
      {R"({"footprintName":"X","padCount":4.0})", "X", 0, false},
      {R"({"footprintName":"X","padCount":-4})", "X", 0, false},
      {R"({"footprintName":"X","padCount":18446744073709551615})", "X", UINT64_MAX, false},
      {R"({"kicadMod":5,"footprintName":"X"})", "X", 0, false},
      {"[1,2]", "", 0, false},
      {R"("text")", "", 0, false},
  };
  for (const Case& c : cases) {
    std::optional<LiveSession> session = session_from_load_body(c.body);
    ASSERT_TRUE(session) << c.body;
    EXPECT_EQ(session->footprintName, c.name) << c.body;
    EXPECT_EQ(session->padCount, c.pads) << c.body;
    EXPECT_EQ(!session->kicadMod.empty(), c.has_text) << c.body;
  }
  for (const char* body : {"", "{", "not json"}) EXPECT_FALSE(session_from_load_body(body)) << body;
}

TEST_F(SessionTest, PictureFormKeepsTheClientsFields) {
  std::optional<LiveSession> session = session_from_load_body(
      R"({"footprintName":"X","svg":"<svg>as sent","description":"d","tags":"t","mpn":"M","padCount":2})");
  ASSERT_TRUE(session);
  EXPECT_EQ(*session, (LiveSession{"X", "<svg>as sent", "d", "t", "", "M", 2}));
  // The text form renders the footprint and ignores a pushed picture.
  session = session_from_load_body(Json{{"kicadMod", kR0603}, {"svg", "<svg/>"}, {"mpn", "M"}}.dump());
  ASSERT_TRUE(session);
  EXPECT_NE(session->svg, "<svg/>");
  EXPECT_EQ(session->mpn, "M");
}

TEST_F(SessionTest, LoadForgetsTheSourceFileWhateverTheBody) {
  session_slot().set(LiveSession{"old", "", "", "", kR0603, "", 1});
  for (const char* body : {"not json", R"({"footprintName":"new"})"}) {
    source_path_slot().set("f.kicad_mod");
    Reply reply = load_session(body);
    EXPECT_EQ(reply.body, R"({"ok":true})");
    EXPECT_FALSE(source_path_slot().get()) << body;
  }
  EXPECT_EQ(session_slot().get()->footprintName, "new");
  EXPECT_EQ(save_session().body, kNothingToSave);
}

TEST_F(SessionTest, StateDocument) {
  EXPECT_EQ(state_reply().body, "{}");
  session_slot().set(LiveSession{"R", "<svg/>", "desc", "tags", kR0603, "", 3});
  Json expected = {
      {"bbox", {{"minx", -0.5}, {"miny", -0.4}, {"maxx", 0.5}, {"maxy", 0.4}}},
      {"canSave", false},
      {"chip", nullptr},
      {"description", "desc"},
      {"footprintName", "R"},
      {"hasMod", true},
      {"mpn", ""},
      {"padCount", 3},
      {"pasteApertures", 1},
      {"svg", "<svg/>"},
      {"tags", "tags"},
      {"text", texts_info(kR0603)},
  };
  Json actual = state();
  ASSERT_TRUE(actual.contains("pasteDots"));
  EXPECT_GT(actual["pasteDots"].get<int>(), 0);
  actual.erase("pasteDots");
  EXPECT_EQ(actual, expected);
  // Keys ascending, compact.
  EXPECT_TRUE(state_reply().body.starts_with(
      R"({"bbox":{"maxx":0.5,"maxy":0.4,"minx":-0.5,"miny":-0.4},"canSave":false,"chip":null,)"));

  source_path_slot().set("x.kicad_mod");
  EXPECT_EQ(state()["canSave"], true);
  session_slot().set(LiveSession{"P", "<svg/>", "", "", "", "", 0});
  Json picture = state();
  EXPECT_EQ(picture["canSave"], false);
  EXPECT_EQ(picture["hasMod"], false);
  EXPECT_EQ(picture["pasteApertures"], 0);
  EXPECT_EQ(picture["pasteDots"], 0);
  EXPECT_EQ(picture["bbox"], (Json{{"minx", -2.0}, {"miny", -2.0}, {"maxx", 2.0}, {"maxy", 2.0}}));
}

TEST_F(SessionTest, ChipComesFromTheLibrary) {
  write("project/partloom/library/M1/M1.kicad_mod", kR0603);
  write("project/partloom/library/M1/info.json", R"({"family":"resistors"})");
  session_slot().set(LiveSession{"R", "", "", "", kR0603, "M1", 1});
  Json chip = state()["chip"];
  EXPECT_EQ(chip["mpn"], "M1");
  EXPECT_EQ(chip["family"], "resistors");
}

TEST_F(SessionTest, MoveTextsNeedsFourNumbers) {
  session_slot().set(LiveSession{"R", "", "", "", kR0603, "", 1});
  for (const char* body : {
           "",
           "not json",
           R"({"reference":{"x":1,"y":2}})",
           R"({"reference":{"x":1,"y":2},"value":{"x":3}})",
           R"({"reference":{"x":1,"y":"2"},"value":{"x":3,"y":4}})",
           R"({"reference":[1,2],"value":{"x":3,"y":4}})",
           R"({"reference":{"x":null,"y":2},"value":{"x":3,"y":4}})",
       }) {
    Reply reply = move_texts(body);
    EXPECT_EQ(reply.status, 400) << body;
    EXPECT_EQ(reply.body, kNeedCoordinates) << body;
  }
  EXPECT_EQ(session_slot().get()->kicadMod, kR0603);
}

TEST_F(SessionTest, MoveTextsNeedsFootprintText) {
  constexpr char kBody[] = R"({"reference":{"x":1,"y":2},"value":{"x":3,"y":4}})";
  Reply reply = move_texts(kBody);
  EXPECT_EQ(reply.status, 422);
  EXPECT_EQ(reply.body, kNothingToEdit);
  session_slot().set(LiveSession{"P", "<svg/>", "", "", "", "", 0});
  EXPECT_EQ(move_texts(kBody).body, kNothingToEdit);
}

TEST_F(SessionTest, MoveTextsRoundsToHundredthsAndDropsTheAngle) {
  session_slot().set(LiveSession{"R", "<svg/>", "", "", kR0603, "", 1});
  Reply reply = move_texts(R"({"reference":{"x":1.236,"y":-2.004},"value":{"x":1.005,"y":3,"size":1.234}})");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body,
            R"({"ok":true,"text":{"reference":{"hidden":false,"size":1.0,"x":1.24,"y":-2.0},)"
            R"("value":{"hidden":false,"size":1.23,"x":1.0,"y":3.0}}})");
  LiveSession session = *session_slot().get();
  EXPECT_NE(session.kicadMod.find(R"(reference "REF**" (at 1.24 -2) )"), std::string::npos) << session.kicadMod;
  EXPECT_NE(session.kicadMod.find(R"(value "R_0603" (at 1 3) )"), std::string::npos) << session.kicadMod;
  // Only the footprint text changes.
  EXPECT_EQ(session.svg, "<svg/>");
}

TEST_F(SessionTest, SaveKeepsTheFirstContentsOnce) {
  std::string path = write("lib/R/R.kicad_mod", kR0603);
  ASSERT_TRUE(preload_session(path).ok());
  move_texts(R"({"reference":{"x":5,"y":5},"value":{"x":6,"y":6}})");
  Reply first = save_session();
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, Json({{"ok", true}, {"path", path}}).dump());
  std::string saved = read_bytes(path);
  EXPECT_NE(saved.find("(at 5 5)"), std::string::npos);
  EXPECT_EQ(read_bytes(path + ".orig"), kR0603);

  move_texts(R"({"reference":{"x":7,"y":7},"value":{"x":6,"y":6}})");
  EXPECT_EQ(save_session().status, 200);
  EXPECT_NE(read_bytes(path).find("(at 7 7)"), std::string::npos);
  EXPECT_EQ(read_bytes(path + ".orig"), kR0603);
}

TEST_F(SessionTest, SaveRefusesWithoutFileOrText) {
  EXPECT_EQ(save_session().body, kNothingToSave);
  source_path_slot().set(write("a.kicad_mod", kR0603));
  EXPECT_EQ(save_session().body, kNothingToSave);  // no session
  session_slot().set(LiveSession{"P", "<svg/>", "", "", "", "", 0});
  Reply reply = save_session();
  EXPECT_EQ(reply.status, 422);
  EXPECT_EQ(reply.body, kNothingToSave);
}

TEST_F(SessionTest, SaveFailureIsTheSystemsMessageAndLeavesTheFileWhole) {
  session_slot().set(LiveSession{"R", "", "", "", kR0603, "", 1});
  source_path_slot().set((dir_ / "missing" / "R.kicad_mod").string());
  Reply reply = save_session();
  EXPECT_EQ(reply.status, 500);
  EXPECT_EQ(reply.body, R"({"error":"No such file or directory","ok":false})");

  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  std::string path = write("ro/R.kicad_mod", "old");
  chmod((dir_ / "ro").c_str(), 0555);
  source_path_slot().set(path);
  reply = save_session();
  chmod((dir_ / "ro").c_str(), 0755);
  EXPECT_EQ(reply.status, 500);
  EXPECT_EQ(read_bytes(path), "old");
}

TEST_F(SessionTest, EmbedNeedsFootprintText) {
  Reply notice = embed_reply();
  EXPECT_EQ(notice.status, 200);
  EXPECT_EQ(notice.content_type, "text/html; charset=utf-8");
  EXPECT_EQ(notice.body, kEmbedNoticePage);
  session_slot().set(LiveSession{"P", "<svg/>", "", "", "", "", 0});
  EXPECT_EQ(embed_reply().body, kEmbedNoticePage);
  session_slot().set(LiveSession{"Named<1>", "", "", "", kR0603, "", 1});
  Reply page = embed_reply();
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.content_type, "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("Named&lt;1&gt;"), std::string::npos);
}

}  // namespace
