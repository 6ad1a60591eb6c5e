#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit tests (ctest),
# the black-box tests of the executable and the browser tests (node --test).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=$(realpath "${TOVIK_BUILD_DIR:-build}")
export TOVIK_BIN="$build_dir/tovik-footprint"
export TOVIK_BINARY_DIR="$build_dir"
export TOVIK_SOURCE_DIR="$PWD"
# Servers started by the tests listen on the loopback address only.
export TOVIK_LISTEN_ADDRESS=127.0.0.1
(cd "$build_dir" && ctest --output-on-failure -j2)
node --test --test-concurrency=1 tests/cli/ tests/browser/
