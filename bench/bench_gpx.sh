#!/usr/bin/env bash
# GPX conversion figures: a million POIs from ov2 to GPX and back (best of five runs, time and
# peak memory from /usr/bin/time -v), then a GPX file of about 1 GB of waypoints as other
# programs write them, read and converted to ov2 once. The files live in a temporary folder that
# is deleted at the end.
#   bench/bench_gpx.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
BENCH="$BUILD/bench/tarvell-bench"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config"

# Runs a command five times; prints the best elapsed seconds and the best peak resident size.
best_of_5() {
  local label=$1
  shift
  local best_s="" best_kb=""
  for _ in 1 2 3 4 5; do
    /usr/bin/time -v -o "$WORK/time.txt" "$@" > /dev/null
    local s kb
    s=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); print (n == 3 ? p[1] * 3600 + p[2] * 60 + p[3] : p[1] * 60 + p[2]) }' "$WORK/time.txt")
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt")
    if [ -z "$best_s" ] || awk "BEGIN { exit !($s < $best_s) }"; then best_s=$s; fi
    if [ -z "$best_kb" ] || [ "$kb" -lt "$best_kb" ]; then best_kb=$kb; fi
  done
  printf '%-28s best of 5: %6.2f s, peak %5d MB\n' "$label" "$best_s" $((best_kb / 1024))
}

python3 bench/make_ov2.py 1000000 "$WORK/pois.ov2"
"$BENCH" convert --to gengpx "$WORK/pois.ov2" "$WORK/pois.gpx" > /dev/null
echo "1M POIs: ov2 $(stat -c %s "$WORK/pois.ov2") bytes, GPX $(stat -c %s "$WORK/pois.gpx") bytes; $(uptime | sed 's/.*load/load/')"
best_of_5 "ov2 -> GPX" "$BENCH" convert --to gengpx "$WORK/pois.ov2" "$WORK/out.gpx"
best_of_5 "GPX -> ov2" "$BENCH" convert --to ttov2 "$WORK/pois.gpx" "$WORK/out.ov2"
echo "after: $(uptime | sed 's/.*load/load/')"

# About 1 GB of waypoints with the children GPS programs write (elevation, time, name,
# comment, description, symbol, type, an extension).
python3 - "$WORK/big.gpx" <<'EOF'
import random, sys
rnd = random.Random(2)
with open(sys.argv[1], 'w', encoding='utf-8', newline='\n') as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<gpx xmlns="http://www.topografix.com/GPX/1/1" '
            'xmlns:x="http://example.org/x/1" version="1.1" creator="bench">\n')
    size, i = 0, 0
    while size < 1 << 30:
        lat = rnd.uniform(-60, 70)
        lon = rnd.uniform(-180, 180)
        w = ('  <wpt lat="%.7f" lon="%.7f">\n    <ele>%.1f</ele>\n    <time>2025-%02d-%02dT%02d:%02d:%02dZ</time>\n'
             '    <name>Caf\u00e9 %d</name>\n    <cmt>Open daily</cmt>\n    <desc>Stop %d &amp; more</desc>\n'
             '    <sym>Restaurant</sym>\n    <type>Food</type>\n'
             '    <extensions><x:rating>%d</x:rating></extensions>\n  </wpt>\n') % (
            lat, lon, rnd.uniform(0, 3000), 1 + i % 12, 1 + i % 28, i % 24, i % 60, i % 60, i, i, i % 5)
        f.write(w)
        size += len(w.encode('utf-8'))
        i += 1
    f.write('</gpx>\n')
EOF
echo "1 GB GPX: $(stat -c %s "$WORK/big.gpx") bytes; $(uptime | sed 's/.*load/load/')"
/usr/bin/time -v -o "$WORK/time.txt" "$BENCH" convert --to ttov2 "$WORK/big.gpx" "$WORK/big.ov2"
awk -F': ' '/Elapsed \(wall clock\)|Maximum resident set size/ { print "  " $1 ": " $2 }' "$WORK/time.txt"
