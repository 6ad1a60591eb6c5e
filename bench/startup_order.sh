#!/usr/bin/env bash
# Writes bench/startup_order.txt: the functions that a run of each file
# command executes, for the linker to place side by side (CMakeLists.txt).
# A short run then touches a few hundred kilobytes of code instead of pages
# spread over the whole executable, and each page it touches costs a fault.
# Functions are listed by how many of the commands run them, most first;
# each string function of the C library comes with all its CPU variants,
# since valgrind's CPU picks other ones than the machine that runs the tool.
# Run it again after large changes; a stale list only costs some faults.
# Usage: bench/startup_order.sh [path/to/tovik-footprint]   (needs valgrind)
set -euo pipefail
cd "$(dirname "$0")/.."

bin=$(realpath "${1:-build/tovik-footprint}")
[ -x "$bin" ] || { echo "no executable at $bin" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 bench/pads_json.py "$work/pads.json"
"$bin" create --file "$work/pads.json" --out "$work" >/dev/null
mod=$work/SOIC-20.kicad_mod
extracted=$(ls examples/library/*/*-footprint.extracted.json | head -1)

runs=(
  "create --file $work/pads.json --out $work/again"
  "render --file $mod --out $work/t.svg"
  "preview --file $mod --out $work"
  "embed --file $mod --out $work/e.html"
  "placement --file $work/pads.json"
  "render-vornel --file $extracted --out $work/v.svg"
)
for i in "${!runs[@]}"; do
  # shellcheck disable=SC2086  # each run is a command line
  valgrind --tool=callgrind --demangle=no --callgrind-out-file="$work/run.$i" "$bin" ${runs[$i]} >/dev/null 2>&1
done

nm "$bin" | awk 'NF == 3 { print $3 }' >"$work/symbols"
python3 - "$work" >bench/startup_order.txt <<'EOF'
import collections, glob, re, sys
work = sys.argv[1]
symbols = set(open(f"{work}/symbols").read().split())
runs = collections.Counter()
for path in glob.glob(f"{work}/run.*"):
    names = set()
    for line in open(path):
        m = re.match(r"c?fn=\(\d+\) (\S+)", line)
        if m:
            names.add(m.group(1))
    runs.update(names)
order = sorted((n for n in runs if n in symbols), key=lambda n: (-runs[n], n))
variants = []
for name in order:
    m = re.match(r"(__(?:mem|str|stp|wmem|wcs|raw)[a-z]*_)", name)
    if m:
        variants += sorted(s for s in symbols if s.startswith(m.group(1)))
seen = set()
for name in order + variants:
    if name not in seen:
        seen.add(name)
        print(name)
EOF
echo "bench/startup_order.txt: $(wc -l <bench/startup_order.txt) functions" >&2
