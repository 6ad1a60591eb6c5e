#!/usr/bin/env bash
# Builds when needed, then serves the bundled example library in the live app.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/tovik-footprint ] || { scripts/install-deps.sh; scripts/build.sh; }
scripts/build.sh
port=${PORT:-8782}
echo "Open http://127.0.0.1:$port/ in a browser (Ctrl-C stops the server)"
exec build/tovik-footprint serve --port "$port" --file examples/library/TPS62840DLCR/TPS62840DLCR.kicad_mod
