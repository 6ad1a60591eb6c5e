#!/usr/bin/env bash
# The live app server under load, measured with wrk (latency percentiles):
#  1. GET /state of a 100-pad footprint, as fast as one connection can go;
#  2. GET /state held near 200 requests/s (wrk has no rate option: one
#     connection waits 4 ms after every reply, see state-paced.lua below);
#     the target is a p99 under 5 ms;
#  3. the same while a second client keeps posting /eval and polling for
#     results, as `ui` commands do (one connection, 4 ms apart);
#  4. GET /api/chips on a library of 10 000 parts; the target is under 100 ms.
# Each run lasts $DURATION seconds (default 10) and is repeated $RUNS times
# (default 3); the summary gives the median of the runs.
# Usage: bench/server.sh [path/to/tovik-footprint]
set -euo pipefail
cd "$(dirname "$0")/.."

bin=$(realpath "${1:-build/tovik-footprint}")
duration=${DURATION:-10}
runs=${RUNS:-3}
[ -x "$bin" ] || { echo "no executable at $bin" >&2; exit 1; }
command -v wrk >/dev/null || { echo "wrk is not installed" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A 10 x 10 grid of SMD pads with paste, and the two texts.
footprint() {
  local name=$1
  echo "(footprint \"$name\" (version 20240108) (generator \"bench\") (layer \"F.Cu\")"
  echo "  (fp_text reference \"REF**\" (at 0 -7) (layer \"F.SilkS\") (effects (font (size 1 1) (thickness 0.15))))"
  echo "  (fp_text value \"$name\" (at 0 7) (layer \"F.Fab\") (effects (font (size 1 1) (thickness 0.15))))"
  echo "  (fp_rect (start -6 -6) (end 6 6) (stroke (width 0.05) (type solid)) (fill none) (layer \"F.CrtYd\"))"
  for i in $(seq 0 99); do
    local x y
    x=$(awk "BEGIN{print -4.5 + ($i % 10)}")
    y=$(awk "BEGIN{print -4.5 + int($i / 10)}")
    echo "  (pad \"$((i + 1))\" smd roundrect (at $x $y) (size 0.6 0.6) (layers \"F.Cu\" \"F.Paste\" \"F.Mask\") (roundrect_rratio 0.25))"
  done
  echo ")"
}

# Starts `serve --port 0` with the given arguments; sets $port.
start_server() {
  local log=$work/serve-$RANDOM.log
  HOME=$work/home TOVIK_LISTEN_ADDRESS=127.0.0.1 "$bin" serve --port 0 "$@" >/dev/null 2>"$log" &
  pids+=($!)
  for _ in $(seq 200); do
    port=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && return
    sleep 0.05
  done
  echo "server did not start: $(cat "$log")" >&2
  exit 1
}

stop_server() { curl -s -X POST "http://127.0.0.1:$1/shutdown" >/dev/null || true; }

cat >"$work/state-paced.lua" <<'EOF'
-- one request, then 4 ms of quiet on this connection: about 200 requests/s
-- once the reply time and wrk's own timer slack are added
function delay() return 4 end
EOF
cat >"$work/eval-client.lua" <<'EOF'
-- what ui commands do: queue an expression, poll for results; the pending
-- route keeps the queue from growing
local n = 0
function request()
  n = n + 1
  if n % 3 == 1 then
    return wrk.format("POST", "/eval", {["Content-Type"] = "application/json"}, '{"code":"window.ui.list()"}')
  elseif n % 3 == 2 then
    return wrk.format("GET", "/eval/1")
  end
  return wrk.format("GET", "/eval/pending")
end
function delay() return 4 end
EOF

# Runs wrk $runs times; prints one line per run: requests/s p50 p90 p99 (ms).
measure() {
  local label=$1
  shift
  for _ in $(seq "$runs"); do
    wrk --latency -d"${duration}s" "$@" | awk -v label="$label" '
      function ms(v) { if (v ~ /us$/) return v / 1000; if (v ~ /ms$/) return v + 0; if (v ~ /s$/) return v * 1000; return v }
      /^ +50%/ { p50 = ms($2) } /^ +90%/ { p90 = ms($2) } /^ +99%/ { p99 = ms($2) }
      /^Requests\/sec/ { rps = $2 }
      END { printf "%s %.1f %.3f %.3f %.3f\n", label, rps, p50, p90, p99 }'
  done
}

# The median of each column over the runs of one label.
summarize() {
  python3 -c '
import sys, statistics, collections
runs = collections.OrderedDict()
for line in sys.stdin:
    label, *values = line.split()
    runs.setdefault(label, []).append([float(v) for v in values])
print("%-22s%10s%10s%10s%10s   (median of runs)" % ("case", "req/s", "p50 ms", "p90 ms", "p99 ms"))
for label, rows in runs.items():
    cols = [statistics.median(c) for c in zip(*rows)]
    print("%-22s%10.1f%10.3f%10.3f%10.3f" % (label, *cols))
' <"$1"
}

mkdir -p "$work/home" "$work/lib/BENCH100"
footprint BENCH100 >"$work/lib/BENCH100/BENCH100.kicad_mod"
start_server --file "$work/lib/BENCH100/BENCH100.kicad_mod"
state_url=http://127.0.0.1:$port/state
echo "== /state of a 100-pad footprint ($(curl -s "$state_url" | wc -c) bytes), port $port"
results=$work/results.txt
measure state-max -t1 -c1 "$state_url" >>"$results"
measure state-200rps -t1 -c1 -s "$work/state-paced.lua" "$state_url" >>"$results"
wrk -t1 -c1 -d"$((duration * runs + 5))s" -s "$work/eval-client.lua" "http://127.0.0.1:$port" >"$work/eval.txt" &
eval_pid=$!
pids+=($eval_pid)
sleep 1
measure state-200rps+eval -t1 -c1 -s "$work/state-paced.lua" "$state_url" >>"$results"
kill "$eval_pid" 2>/dev/null || true
stop_server "$port"

echo "== /api/chips on a library of 10 000 parts"
library=$work/home/project/partloom/library
mkdir -p "$library"
(cd "$library" && for i in $(seq -w 1 10000); do
  mkdir "PART$i"
  echo '(footprint "P" (layer "F.Cu"))' >"PART$i/PART$i.kicad_mod"
done)
start_server
echo "   listing: $(curl -s "http://127.0.0.1:$port/api/chips" | wc -c) bytes"
measure chips-10k -t1 -c1 "http://127.0.0.1:$port/api/chips" >>"$results"
stop_server "$port"

echo
summarize "$results"
echo "targets: state-200rps p99 < 5 ms; chips-10k p50 < 100 ms"
