// tovik-desktop: the desktop bridge relay for a desktop on this same machine.
//
//   tovik-desktop COMMAND PAYLOAD
//
// PAYLOAD is one JSON object. The answer is one JSON object on standard
// output, always with "bridgeConnected": true (the "desktop" is right here).
//   send_files             copies each of "filePaths" into
//                          $HOME/Tovik Desktop/<destinationFolder>/ and
//                          answers the copies' paths as "destinationPaths"
//   kicad_install_library  answers success
//   fusion_open_lbr        answers success
// Exit status 0 with "ok": true; 1 with "ok": false and "error" when the
// command cannot be done; 2 for a wrong command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/json.h"

namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] = "usage: tovik-desktop COMMAND PAYLOAD\n";

int answer(Json reply, int status) {
  reply["bridgeConnected"] = true;
  std::printf("%s\n", write_json(reply).c_str());
  return status;
}

int refuse(const std::string& error) { return answer({{"error", error}, {"ok", false}}, 1); }

// A destination folder is one plain folder name: nothing can land outside
// the desktop's own folder.
bool is_plain_folder_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

int send_files(const Json& payload) {
  auto folder = payload.find("destinationFolder");
  if (folder == payload.end() || !folder->is_string() ||
      !is_plain_folder_name(folder->get<std::string>()))
    return refuse("destinationFolder must be one folder name");
  auto files = payload.find("filePaths");
  if (files == payload.end() || !files->is_array())
    return refuse("filePaths must be an array of paths");
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return refuse("HOME is not set");

  const fs::path destination = fs::path(home) / "Tovik Desktop" / folder->get<std::string>();
  std::error_code ec;
  fs::create_directories(destination, ec);
  if (ec) return refuse("creating " + destination.string() + ": " + ec.message());
  Json stored = Json::array();
  for (const Json& file : *files) {
    if (!file.is_string()) return refuse("filePaths must be an array of paths");
    const fs::path source = file.get<std::string>();
    const fs::path target = destination / source.filename();
    if (!fs::is_regular_file(source, ec)) return refuse("not a file: " + source.string());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
    if (ec) return refuse("copying " + source.string() + ": " + ec.message());
    stored.push_back(target.string());
  }
  return answer({{"destinationPaths", stored}, {"ok", true}}, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return answer({{"error", "expected COMMAND and PAYLOAD"}, {"ok", false}}, 2);
  }
  const std::string command = argv[1];
  Result<Json> payload = parse_json(argv[2]);
  if (!payload.ok()) return refuse("payload is not JSON: " + payload.error().message());
  if (!payload->is_object()) return refuse("payload must be a JSON object");

  if (command == "send_files") return send_files(*payload);
  if (command == "kicad_install_library" || command == "fusion_open_lbr")
    return answer({{"command", command}, {"ok", true}}, 0);
  return refuse("unknown command " + command);
}
