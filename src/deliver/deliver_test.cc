#include "deliver/deliver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "deliver/bridge.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr char kMod[] = "(footprint \"R1\"\n  (pad \"1\" smd rect (at 0 0) (size 1 1))\n)\n";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// One relay run as the fake relay recorded it.
struct RelayCall {
  std::string command, payload;
  bool operator==(const RelayCall&) const = default;
};

std::ostream& operator<<(std::ostream& os, const RelayCall& c) {
  return os << c.command << " " << c.payload;
}

// Runs deliveries against fake tovik-desktop and tovik-lbr scripts placed
// first on PATH, with TMPDIR pointing into a fresh folder.
class DeliverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tovik-deliver-test-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "bin");
    save_env("PATH");
    save_env("TMPDIR");
    setenv("PATH", ((root_ / "bin").string() + ":/usr/bin:/bin").c_str(), 1);
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
  }

  void TearDown() override {
    for (auto& [name, value] : saved_env_) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    fs::remove_all(root_);
  }

  void save_env(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    saved_env_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
  }

  void install_script(const std::string& name, const std::string& body) {
    fs::path path = root_ / "bin" / name;
    write_text(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
  }

  // The relay logs every run and prints answer-<command> (or a connected
  // success), exiting with status-<command> (or 0).
  void install_relay() {
    const std::string dir = root_.string();
    install_script("tovik-desktop",
                   "printf '%s %s\\n' \"$1\" \"$2\" >> '" + dir + "/relay.log'\n"
                   "if [ -f '" + dir + "/answer-'\"$1\" ]; then cat '" + dir + "/answer-'\"$1\"; "
                   "else echo '{\"bridgeConnected\":true,\"ok\":true}'; fi\n"
                   "exit $(cat '" + dir + "/status-'\"$1\" 2>/dev/null || echo 0)\n");
  }

  // The generator records its arguments and, in the normal mode, writes a
  // stand-in library to the --output path.
  void install_generator(const std::string& mode = "write") {
    const std::string dir = root_.string();
    std::string act = mode == "fail"   ? "echo 'no pads in footprint' >&2; exit 4\n"
                      : mode == "hang" ? "sleep 30\n"
                                       : "";
    install_script("tovik-lbr",
                   "printf '%s\\n' \"$@\" > '" + dir + "/lbr.args'\n" + act +
                       "while [ $# -gt 0 ]; do [ \"$1\" = --output ] && echo '<eagle/>' > \"$2\"; "
                       "shift; done\nexit 0\n");
  }

  void relay_answers(const std::string& command, const std::string& text, int status = 0) {
    write_text(root_ / ("answer-" + command), text);
    write_text(root_ / ("status-" + command), std::to_string(status));
  }

  std::vector<RelayCall> relay_calls() const {
    std::vector<RelayCall> calls;
    std::istringstream log(read_file(root_ / "relay.log"));
    for (std::string line; std::getline(log, line);) {
      size_t blank = line.find(' ');
      calls.push_back({line.substr(0, blank), line.substr(blank + 1)});
    }
    return calls;
  }

  std::string deliver(const std::string& body, const std::string& name = "R1",
                      const std::string& mod = kMod, milliseconds limit = milliseconds(20000)) {
    return write_json(deliver_footprint(body, {name, mod}, {limit}));
  }

  fs::path work() const { return delivery_work_folder(); }

  fs::path root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_env_;
};

TEST_F(DeliverTest, WorkFolderFollowsTmpdir) {
  const std::string pid = std::to_string(getpid());
  EXPECT_EQ(delivery_work_folder(), (root_ / "tmp").string() + "/tovik-footprint-deliver-" + pid);
  unsetenv("TMPDIR");
  EXPECT_EQ(delivery_work_folder(), "/tmp/tovik-footprint-deliver-" + pid);
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(delivery_work_folder(), "/tmp/tovik-footprint-deliver-" + pid);
}

TEST_F(DeliverTest, SafeFileStem) {
  EXPECT_EQ(safe_file_stem("QFN 16/3x3"), "QFN_16_3x3");
  EXPECT_EQ(safe_file_stem("R_0603\\x"), "R_0603\\x");
}

TEST_F(DeliverTest, KicadSendsTheFileThenInstallsIt) {
  install_relay();
  const std::string mod = (work() / "QFN_16_3x3.kicad_mod").string();
  // A body that is not JSON, an empty object and a non-string target all mean KiCad.
  for (const char* body : {"not json", "{}", "{\"target\":7}", "{\"target\":\"kicad\"}"}) {
    fs::remove(root_ / "relay.log");
    EXPECT_EQ(deliver(body, "QFN 16/3x3"),
              R"({"message":"Delivered footprint to KiCad.","ok":true,"target":"KiCad"})")
        << body;
    EXPECT_EQ(relay_calls(),
              (std::vector<RelayCall>{
                  {"send_files",
                   R"({"destinationFolder":"footprints","filePaths":[")" + mod +
                       R"("],"targetApp":"kicad"})"},
                  {"kicad_install_library", R"({"libraryName":"QFN 16/3x3","libraryPath":")" +
                                                mod + R"(","libraryType":"footprint"})"}}))
        << body;
    EXPECT_EQ(read_file(mod), kMod);
  }
}

TEST_F(DeliverTest, EarlyFailures) {
  install_relay();
  install_generator();
  // Nothing loaded: nothing is written, whatever the target.
  for (const char* body : {"{}", R"({"target":"altium"})", R"({"target":"nope"})"})
    EXPECT_EQ(deliver(body, "R1", ""), R"({"error":"no footprint loaded","ok":false})") << body;
  EXPECT_FALSE(fs::exists(work()));

  // Matching is case-sensitive; the footprint file is written before the check.
  EXPECT_EQ(deliver(R"({"target":"KiCad"})"), R"({"error":"unknown target KiCad","ok":false})");
  EXPECT_EQ(read_file(work() / "R1.kicad_mod"), kMod);

  // A work folder that cannot be made shows up as the write failure.
  write_text(root_ / "tmp-file", "");
  setenv("TMPDIR", (root_ / "tmp-file").c_str(), 1);
  EXPECT_EQ(deliver("{}"), R"({"error":"could not write temp footprint","ok":false})");
  EXPECT_FALSE(fs::exists(root_ / "relay.log"));
}

TEST_F(DeliverTest, AltiumAndOrcadKeepTheLibraryAndAskForABridge) {
  install_relay();
  install_generator();
  for (auto [target, tool] : {std::pair{"altium", "Altium"}, std::pair{"orcad", "OrCAD"}}) {
    const std::string lbr = (work() / "QFN_16_3x3.lbr").string();
    const std::string t = tool;
    EXPECT_EQ(deliver(std::string(R"({"target":")") + target + "\"}", "QFN 16/3x3"),
              std::string(R"({"contribute":")") + kBridgeDocsUrl + R"(","file":")" + lbr +
                  R"(","message":"Your EAGLE .lbr for )" + t + " is built and saved — but the " +
                  t + " ↔ Tovik Desktop bridge isn't built yet. Want " + t +
                  " connectivity in the Tovik ecosystem? Be the one to build the bridge and "
                  R"(contribute it on the wiki.","needsBridge":true,"ok":false,"target":")" + t +
                  "\"}");
    EXPECT_EQ(read_file(lbr), "<eagle/>\n");
    EXPECT_EQ(read_file(root_ / "lbr.args"),
              "generate\n--fp\n" + (work() / "QFN_16_3x3.kicad_mod").string() +
                  "\n--name\nQFN 16/3x3\n--output\n" + lbr + "\n");
  }
  EXPECT_FALSE(fs::exists(root_ / "relay.log"));  // no relay for these two
}

TEST_F(DeliverTest, FusionSendsTheLibraryAndOpensItWhereTheDesktopPutIt) {
  install_relay();
  install_generator();
  const std::string lbr = (work() / "R1.lbr").string();
  const std::string sent = R"({"destinationFolder":"fusion","filePaths":[")" + lbr +
                           R"("],"targetApp":"fusion360"})";
  struct Case {
    const char* send_answer;
    std::string opened;
  } cases[] = {
      {R"({"bridgeConnected":true,"destinationPaths":["C:\\lib\\R1.lbr"]})", "C:\\\\lib\\\\R1.lbr"},
      {R"({"bridgeConnected":true})", lbr},
      {R"({"destinationPaths":[]})", lbr},
      {R"({"destinationPaths":[7,"x"]})", lbr},
      {R"({"destinationPaths":"C:/x.lbr"})", lbr},
  };
  for (const Case& c : cases) {
    for (const char* target : {"fusion", "fusion360"}) {
      fs::remove(root_ / "relay.log");
      relay_answers("send_files", c.send_answer);
      EXPECT_EQ(deliver(std::string(R"({"target":")") + target + "\"}"),
                R"({"message":"Delivered library (.lbr) to Fusion 360.","ok":true,)"
                R"("target":"Fusion 360"})")
          << c.send_answer;
      EXPECT_EQ(relay_calls(),
                (std::vector<RelayCall>{{"send_files", sent},
                                        {"fusion_open_lbr", R"({"filePath":")" + c.opened + "\"}"}}))
          << c.send_answer;
    }
  }
}

TEST_F(DeliverTest, GeneratorFailures) {
  install_relay();
  for (const char* target : {"fusion", "altium", "orcad"})
    EXPECT_EQ(deliver(std::string(R"({"target":")") + target + "\"}"),
              R"({"error":"tovik-lbr not available: No such file or directory","ok":false})")
        << target;
  EXPECT_EQ(deliver(R"({"target":"kicad"})"),
            R"({"message":"Delivered footprint to KiCad.","ok":true,"target":"KiCad"})");

  install_generator("fail");
  EXPECT_EQ(deliver(R"({"target":"fusion"})"),
            R"({"detail":"no pads in footprint\n","error":"tovik-lbr generate failed","ok":false})");

  install_generator("hang");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(deliver(R"({"target":"orcad"})", "R1", kMod, milliseconds(300)),
            R"({"detail":"","error":"tovik-lbr generate timed out after 300 ms","ok":false})");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(read_file(work() / "R1.kicad_mod"), kMod);  // work files stay after failures
}

TEST_F(DeliverTest, RelayAnswersDecideTheOutcome) {
  install_generator();
  const std::string kicad_offline =
      R"({"message":"File generated, but Tovik Desktop isn't connected to KiCad. Open Tovik )"
      R"(Desktop on your laptop and try again.","offline":true,"ok":false,"target":"KiCad"})";
  const std::string kicad_ok =
      R"({"message":"Delivered footprint to KiCad.","ok":true,"target":"KiCad"})";
  struct Case {
    const char* name;
    const char* send_answer;
    int send_status;
    const char* install_answer;
    std::string expected;
  } cases[] = {
      {"both fine", R"({"bridgeConnected":true})", 0, R"({"ok":true})", kicad_ok},
      {"first says not connected", R"({"bridgeConnected":false})", 0, R"({"ok":true})",
       kicad_offline},
      {"second says not connected", R"({"ok":true})", 0, R"({"bridgeConnected":false})",
       kicad_offline},
      {"status text Timeout", R"({"status":"Timeout"})", 0, "{}", kicad_offline},
      {"phrase in an error", R"({"error":"No Client attached"})", 0, "{}", kicad_offline},
      {"phrase inside a key", R"({"isOffline":1})", 0, "{}", kicad_offline},
      {"bridgeConnected as text is not false", R"({"bridgeConnected":"false"})", 0, "{}",
       kicad_ok},
      {"own ok false still delivered", R"({"ok":false})", 0, R"({"ok":false})", kicad_ok},
      {"not JSON, failed exit", "nope", 1, "nope", kicad_ok},
      {"two JSON values are not one", "{} {}", 0, "{}", kicad_ok},
  };
  install_relay();
  for (const Case& c : cases) {
    relay_answers("send_files", c.send_answer, c.send_status);
    relay_answers("kicad_install_library", c.install_answer);
    EXPECT_EQ(deliver("{}"), c.expected) << c.name;
  }
}

TEST_F(DeliverTest, RelayMissingOrHanging) {
  install_generator();
  EXPECT_EQ(deliver("{}"),
            R"({"error":"tovik-desktop unreachable: No such file or directory","offline":true,)"
            R"("ok":false,"target":"KiCad"})");
  EXPECT_EQ(deliver(R"({"target":"fusion"})"),
            R"({"error":"tovik-desktop unreachable: No such file or directory","offline":true,)"
            R"("ok":false,"target":"Fusion 360"})");

  install_script("tovik-desktop", "sleep 30\n");
  EXPECT_EQ(deliver("{}", "R1", kMod, milliseconds(200)),
            R"({"error":"tovik-desktop unreachable: no answer within 200 ms, stopped",)"
            R"("offline":true,"ok":false,"target":"KiCad"})");
}

TEST_F(DeliverTest, RelayOutputThatIsNotJsonKeepsTheText) {
  install_relay();
  relay_answers("ping", "nope\n", 1);
  BridgeResult r = run_bridge("ping", Json::object(), milliseconds(20000));
  EXPECT_FALSE(r.failure);
  EXPECT_EQ(write_json(r.value), R"({"ok":false,"raw":"nope\n"})");

  relay_answers("ping", "\xFF ok", 0);
  r = run_bridge("ping", Json::object(), milliseconds(20000));
  EXPECT_EQ(write_json(r.value), "{\"ok\":true,\"raw\":\"\xEF\xBF\xBD ok\"}");
}

}  // namespace
