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

# Two rows of ten pads with a body and a courtyard.
python3 - "$work/pads.json" <<'EOF'
import json, sys
pads = [{"number": str(i + 1), "x": round(-5.715 + 1.27 * (i % 10), 3), "y": -2.7 if i < 10 else 2.7,
         "dx": 0.6, "dy": 1.5} for i in range(20)]
json.dump({"footprintName": "SOIC-20", "description": "20-pin small outline", "tags": "soic",
           "pads": pads, "body": {"x1": -6.4, "y1": -3.75, "x2": 6.4, "y2": 3.75},
           "courtyard": {"x1": -7, "y1": -4, "x2": 7, "y2": 4}}, open(sys.argv[1], "w"))
EOF

# ldd fails on a static executable; say how it is linked instead.
echo "== $(file -b "$bin" | grep -o 'statically linked\|dynamically linked\|static-pie linked')"

hyperfine -N --warmup 30 --runs 500 --export-json "$work/startup.json" \
  "$bin create --file $work/pads.json --out $work/out" \
  "$bin placement --file $work/pads.json" \
  /bin/true
python3 - "$work/startup.json" <<'EOF'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
create, placement, true = (x["median"] for x in r)
print(f"median create {create*1e3:.3f} ms ({create/true:.2f} x /bin/true, target <= 1.6)")
print(f"median placement {placement*1e3:.3f} ms ({placement/true:.2f} x /bin/true)")
print(f"median /bin/true {true*1e3:.3f} ms")
EOF
