#!/usr/bin/env bash
# Builds when needed, then serves the bundled example part library in the live
# app with the example QFN open. PORT picks another port (default 8782).
# Edits saved from the page go into examples/library (a .orig backup is kept
# beside each saved footprint).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TOVIK_BUILD_DIR:-build}
[ -x "$build_dir/tovik-footprint" ] || scripts/install-deps.sh
[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$build_dir" -j2 --target tovik-footprint >&2
qfn=examples/library/TPS62840DLCR/TPS62840DLCR.kicad_mod
[ -f "$qfn" ] || examples/build-library.sh "$build_dir/tovik-footprint"
port=${PORT:-8782}
# With PORT=0 the system picks the port; the server's own start-up line names it.
[ "$port" = 0 ] || echo "tovik-footprint live app: open http://127.0.0.1:$port/ in a browser (Ctrl-C stops the server)"
exec "$build_dir/tovik-footprint" serve --port "$port" --file "$qfn"
