#!/usr/bin/env bash
# Start-up cost of the file commands, measured with hyperfine against
# /bin/true (the cost of starting any process): `create` of a 20-pad
# footprint and `placement` of the same create JSON. The target for create is
# at most 1.6 times the median of /bin/true.
# Usage: bench/startup.sh [path/to/tovik-footprint]
set -euo pipefail
cd "$(dirname "$0")/.."

bin=$(realpath "${1:-build/tovik-footprint}")
[ -x "$bin" ] || { echo "no executable at $bin" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 bench/pads_json.py "$work/pads.json"

# ldd fails on a static executable; say how it is linked instead.
echo "== $(file -b "$bin" | grep -o 'statically linked\|dynamically linked\|static-pie linked')"

# /bin/true runs before and after the commands: hyperfine runs one command's
# runs together, and on a shared machine the load drifts meanwhile.
hyperfine -N --warmup 30 --runs 500 --export-json "$work/startup.json" \
  /bin/true \
  "$bin create --file $work/pads.json --out $work/out" \
  "$bin placement --file $work/pads.json" \
  /bin/true
python3 - "$work/startup.json" <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
true_before, create, placement, true_after = (x["median"] for x in r)
true = (true_before + true_after) / 2
print(f"median /bin/true {true_before*1e3:.3f} ms before, {true_after*1e3:.3f} ms after")
print(f"median create {create*1e3:.3f} ms ({create/true:.2f} x /bin/true, target <= 1.6)")
print(f"median placement {placement*1e3:.3f} ms ({placement/true:.2f} x /bin/true)")
EOF
