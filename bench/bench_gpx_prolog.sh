#!/usr/bin/env bash
# What a prolog costs: a million-waypoint GPX (make_world.py) converted to ov2 as it is, and with
# one comment, and with a long preamble of comments and processing instructions, before its root
# element (best of five runs each, one thread and all: the whole conversion and the read alone).
# The prolog must not keep the reader from cutting the file into pieces, so the three rows of all
# threads should be alike. Build the
# benchmarks in RelWithDebInfo.
#   bench/bench_gpx_prolog.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
BENCH="$BUILD/bench/tarvell-bench"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config"
unset TARVELL_THREADS

load() { uptime | sed 's/.*load/load/'; }

# Runs a command five times; sets BEST_S (best elapsed seconds) and BEST_READ (best time of the
# reader alone, as tarvell-bench reports it). The thread count comes from the environment
# (TARVELL_THREADS).
best_of_5() {
  local best_s="" best_read=""
  for _ in 1 2 3 4 5; do
    /usr/bin/time -v -o "$WORK/time.txt" "$@" > "$WORK/out.txt"
    local s read
    s=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); print (n == 3 ? p[1] * 3600 + p[2] * 60 + p[3] : p[1] * 60 + p[2]) }' "$WORK/time.txt")
    read=$(sed -n 's/.*read [0-9]* POIs in \([0-9]*\) ms.*/\1/p' "$WORK/out.txt")
    if [ -z "$best_s" ] || awk "BEGIN { exit !($s < $best_s) }"; then best_s=$s; fi
    if [ -z "$best_read" ] || [ "$read" -lt "$best_read" ]; then best_read=$read; fi
  done
  BEST_S=$best_s
  BEST_READ=$best_read
}

row() {
  local label=$1 file=$2
  TARVELL_THREADS=1 best_of_5 "$BENCH" convert --to ttov2 "$file" "$WORK/out.ov2"
  local one_s=$BEST_S one_read=$BEST_READ
  best_of_5 "$BENCH" convert --to ttov2 "$file" "$WORK/out.ov2"
  printf '| %-40s | %6.2f s, read %5d ms | %6.2f s, read %5d ms |\n' "$label" "$one_s" "$one_read" "$BEST_S" "$BEST_READ"
}

python3 bench/make_world.py gpx 1000000 "$WORK/plain.gpx"
# The same file with one comment after the declaration, and with 10000 comments and processing
# instructions (about 300 kB) there.
sed '1a <!-- Created by hand, checked twice -->' "$WORK/plain.gpx" > "$WORK/comment.gpx"
python3 - "$WORK/plain.gpx" "$WORK/preamble.gpx" <<'PY'
import sys
text = open(sys.argv[1], encoding='ascii').read()
head, rest = text.split('\n', 1)
items = ''.join('<!-- note %d -->\n<?app step="%d"?>\n' % (i, i) for i in range(5000))
open(sys.argv[2], 'w', encoding='ascii', newline='\n').write(head + '\n' + items + rest)
PY
echo "1M waypoints, GPX $(stat -c %s "$WORK/plain.gpx") bytes; $(nproc) cores"
echo "before: $(load)"
printf '| %-40s | %-22s | %-22s |\n' "GPX -> ov2, 1M waypoints" "1 thread" "all threads" "---" "---" "---"
row "no prolog but the declaration" "$WORK/plain.gpx"
row "one comment before the root" "$WORK/comment.gpx"
row "10000 comments and PIs before the root" "$WORK/preamble.gpx"
echo "after: $(load)"
