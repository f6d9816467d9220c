#!/usr/bin/env bash
# Conversion figures of a million POIs, on one thread and on all (best of five runs each, wall
# time and peak memory from /usr/bin/time -v): a worldwide ov2 to ov2 and to GPX, a 158 MB GPX in
# the shape common converters write to ov2, and a million POIs of make_ov2.py opened in a child
# window (tarvell-bench-child). Then a GPX file of about 1 GB of waypoints as other programs write them,
# read and converted to ov2 once (left out with BENCH_SKIP_1GB=1). When the Debian package gpsbabel
# is installed (apt-get install gpsbabel; a yardstick only, not a dependency), each of the three
# conversions is also run through it on the same files, and the table says how many times faster
# the conversion on all threads is (the target: 12). The files live in a temporary
# folder that is deleted at the end. Build the benchmarks in RelWithDebInfo.
#   bench/bench_gpx.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
BENCH="$BUILD/bench/tarvell-bench"
CHILD="$BUILD/bench/tarvell-bench-child"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export XDG_CONFIG_HOME="$WORK/config"
unset TARVELL_THREADS

load() { uptime | sed 's/.*load/load/'; }

# Runs a command five times; sets BEST_S (best elapsed seconds) and BEST_MB (best peak resident
# size). The thread count comes from the environment (TARVELL_THREADS).
best_of_5() {
  local best_s="" best_kb=""
  for _ in 1 2 3 4 5; do
    /usr/bin/time -v -o "$WORK/time.txt" "$@" > "$WORK/out.txt"
    local s kb
    s=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); print (n == 3 ? p[1] * 3600 + p[2] * 60 + p[3] : p[1] * 60 + p[2]) }' "$WORK/time.txt")
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$WORK/time.txt")
    if [ -z "$best_s" ] || awk "BEGIN { exit !($s < $best_s) }"; then best_s=$s; fi
    if [ -z "$best_kb" ] || [ "$kb" -lt "$best_kb" ]; then best_kb=$kb; fi
  done
  BEST_S=$best_s
  BEST_MB=$((best_kb / 1024))
}

YARDSTICK=$(command -v gpsbabel || true)

# One row of the table: the command on one thread, then on all; with a yardstick format pair
# (ROW_YARD="IN_FORMAT IN_FILE OUT_FORMAT OUT_FILE"), the same conversion by the yardstick.
row() {
  local label=$1
  shift
  TARVELL_THREADS=1 best_of_5 "$@"
  local one_s=$BEST_S one_mb=$BEST_MB
  best_of_5 "$@"
  local all_s=$BEST_S all_mb=$BEST_MB
  if [ -n "$YARDSTICK" ] && [ -n "${ROW_YARD:-}" ]; then
    local yard=($ROW_YARD)
    best_of_5 "$YARDSTICK" -i "${yard[0]}" -f "${yard[1]}" -o "${yard[2]}" -F "${yard[3]}"
    printf '| %-34s | %6.2f s, %4d MB | %6.2f s, %4d MB | %6.2f s, %4d MB | %5.1fx |\n' "$label" "$one_s" "$one_mb" "$all_s" "$all_mb" \
      "$BEST_S" "$BEST_MB" "$(awk "BEGIN { print $BEST_S / $all_s }")"
  else
    printf '| %-34s | %6.2f s, %4d MB | %6.2f s, %4d MB |\n' "$label" "$one_s" "$one_mb" "$all_s" "$all_mb"
  fi
  ROW_YARD=
}

python3 bench/make_world.py ov2 1000000 "$WORK/world.ov2"
python3 bench/make_world.py gpx 1000000 "$WORK/world.gpx"
echo "1M POIs: worldwide ov2 $(stat -c %s "$WORK/world.ov2") bytes, GPX $(stat -c %s "$WORK/world.gpx") bytes; $(nproc) cores"
echo "before: $(load)"
if [ -n "$YARDSTICK" ]; then
  printf '| %-34s | %-17s | %-17s | %-17s | %-6s |\n' "1M POIs" "1 thread" "all threads" "gpsbabel" "faster" "---" "---" "---" "---" "---"
else
  printf '| %-34s | %-17s | %-17s |\n' "1M POIs" "1 thread" "all threads" "---" "---" "---"
fi
ROW_YARD="tomtom $WORK/world.ov2 tomtom $WORK/yard.ov2"
row "ov2 -> ov2 (worldwide)" "$BENCH" convert --to ttov2 "$WORK/world.ov2" "$WORK/out.ov2"
ROW_YARD="tomtom $WORK/world.ov2 gpx $WORK/yard.gpx"
row "ov2 -> GPX" "$BENCH" convert --to gengpx "$WORK/world.ov2" "$WORK/out.gpx"
ROW_YARD="gpx $WORK/world.gpx tomtom $WORK/yard.ov2"
row "GPX ($(( $(stat -c %s "$WORK/world.gpx") / 1000000 )) MB) -> ov2" "$BENCH" convert --to ttov2 "$WORK/world.gpx" "$WORK/out.ov2"
if [ -x "$CHILD" ]; then
  # The child window's file is the one of make_ov2.py (16-character names, kept inside the records).
  python3 bench/make_ov2.py 1000000 "$WORK/child.ov2"
  row "open 1M ov2 in a child (process)" "$CHILD" "$WORK/child.ov2"
  # The child's own figure: from the open to the first rows shown.
  for threads in 1 ""; do
    best_ms=""
    for _ in 1 2 3 4 5; do
      ms=$(TARVELL_THREADS=$threads "$CHILD" "$WORK/child.ov2" 2> /dev/null | sed -n 's/.*shown in \([0-9]*\) ms.*/\1/p')
      if [ -z "$best_ms" ] || [ "$ms" -lt "$best_ms" ]; then best_ms=$ms; fi
    done
    echo "child, ${threads:-all} thread(s): opened and first rows shown in $best_ms ms (best of 5);" \
      "$(TARVELL_THREADS=$threads "$CHILD" "$WORK/child.ov2" 2> /dev/null | sed 's/.*(\(.*\)).*/\1/')"
  done
fi
echo "after: $(load)"

if [ "${BENCH_SKIP_1GB:-0}" = 1 ]; then
  exit 0
fi
# About 1 GB of waypoints with the children GPS programs write (elevation, time, name,
# comment, description, symbol, type, an extension).
python3 - "$WORK/big.gpx" <<'PY'
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
PY
echo "1 GB GPX: $(stat -c %s "$WORK/big.gpx") bytes; $(load)"
/usr/bin/time -v -o "$WORK/time.txt" "$BENCH" convert --to ttov2 "$WORK/big.gpx" "$WORK/big.ov2"
awk -F': ' '/Elapsed \(wall clock\)|Maximum resident set size/ { print "  " $1 ": " $2 }' "$WORK/time.txt"
