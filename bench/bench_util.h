// What the drawing benchmarks share: where the KiCad library is and how its
// footprints are read.
//
// The library is Debian's kicad-footprints; TOVIK_FOOTPRINT_DIR overrides its
// place. Benchmarks that need it skip themselves when it is absent.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

inline std::filesystem::path library_dir() {
  const char* dir = std::getenv("TOVIK_FOOTPRINT_DIR");
  return dir ? dir : "/usr/share/kicad/footprints";
}

// The whole file, or "" when it cannot be read.
inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every `.kicad_mod` below the library folder in path order; none when the
// library is absent.
inline std::vector<std::filesystem::path> library_files() {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  if (!fs::is_directory(library_dir())) return files;
  for (const auto& e : fs::recursive_directory_iterator(library_dir())) {
    if (e.is_regular_file() && e.path().extension() == ".kicad_mod") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace bench
