#!/usr/bin/env bash
# Configures (once) and builds everything into build/ with both cores.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TOVIK_BUILD_DIR:-build}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release >&2
fi
cmake --build "$build_dir" -j2 >&2
