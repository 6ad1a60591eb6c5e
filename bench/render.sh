#!/usr/bin/env bash
# The `render` command as a user runs it, measured with hyperfine:
#  1. one typical footprint against /bin/true (the cost of any process start);
#     the target is at most 1.6 times as long;
#  2. the whole KiCad library, one process per footprint, two at a time,
#     reported as footprints per second.
# Usage: bench/render.sh [path/to/tovik-footprint]
# TOVIK_FOOTPRINT_DIR overrides the library (Debian's kicad-footprints);
# LIBRARY_RUNS sets the number of whole-library passes (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

bin=$(realpath "${1:-build/tovik-footprint}")
lib=${TOVIK_FOOTPRINT_DIR:-/usr/share/kicad/footprints}
typical=$lib/Package_SO.pretty/SOIC-8_3.9x4.9mm_P1.27mm.kicad_mod
[ -x "$bin" ] || { echo "no executable at $bin" >&2; exit 1; }
[ -f "$typical" ] || { echo "KiCad library not found under $lib" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== one typical footprint against /bin/true"
# /bin/true runs before and after: the load of a shared machine drifts.
hyperfine -N --warmup 20 --runs 300 --export-json "$work/one.json" \
  /bin/true "$bin render --file $typical --out $work/typical.svg" /bin/true
python3 - "$work/one.json" <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
true_before, render, true_after = (x["median"] for x in r)
true = (true_before + true_after) / 2
print(f"median render {render*1e3:.3f} ms, /bin/true {true_before*1e3:.3f} / {true_after*1e3:.3f} ms, "
      f"ratio {render/true:.2f} (target <= 1.6)")
EOF

echo "== whole library, one process per footprint, two at a time"
count=$(cd "$lib" && find . -name '*.kicad_mod' | wc -l)
(cd "$lib" && find . -type d) | (cd "$work" && xargs mkdir -p)
hyperfine --warmup 1 --runs "${LIBRARY_RUNS:-3}" --export-json "$work/all.json" \
  "cd $lib && find . -name '*.kicad_mod' -print0 | xargs -0 -P2 -I{} $bin render --file {} --out $work/{}.svg >/dev/null"
python3 - "$work/all.json" "$count" <<'EOF'
import json, sys
median = json.load(open(sys.argv[1]))["results"][0]["median"]
count = int(sys.argv[2])
print(f"{count} footprints in {median:.2f} s (median): {count/median:.0f} footprints/s")
EOF
