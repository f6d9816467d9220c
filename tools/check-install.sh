#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the program folder, the launcher, the desktop
# entry and the icon, and starts the installed program from the project folder on the sample file
# under Xvfb: with "Language" set to German in the portable settings beside the installed
# executable, its main window answers Alt+D (the German "&Datei" menu); with the portable marker
# gone it reads the user's settings (English) and does not.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install build --prefix "$prefix" > /dev/null
for file in bin/tarvell lib/tarvell/tarvell lib/tarvell/tarvell.deu lib/tarvell/maps/amsterdam.jpg lib/tarvell/maps/amsterdam.jpg.inf \
  lib/tarvell/tarvell-plugintrial lib/tarvell/plugins/openexternal/webmap.so lib/tarvell/plugins/htmlembed/sketchmap.so share/applications/tarvell.desktop \
  share/icons/hicolor/scalable/apps/tarvell.svg; do
  test -e "$prefix/$file" || { echo "not installed: $file"; exit 1; }
done
grep -q "^Exec=$prefix/bin/tarvell " "$prefix/share/applications/tarvell.desktop"

settings() {
  printf '[Settings]\r\nLanguage=%s\r\nShowStartupScreen=0\r\nCheckEveryWeek=0\r\n' "$1" > "$2"
}
# Starts the installed program and counts the windows an Alt+D opens.
windows_after_alt_d() {
  local home="$work/home-$1"
  mkdir -p "$home/config/Orvik Software" "$home/data" "$home/tmp"
  settings 9 "$home/config/Orvik Software/Tarvell.ini"
  mkdir -p -m 700 "$home/runtime"
  XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home/tmp" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
      "$1" samples/amsterdam.ov2 & pid=$!
      trap "kill $pid 2>/dev/null" EXIT
      window=$(timeout 30 xdotool search --sync --onlyvisible --pid $pid --name "^Tarvell" | head -1)
      sleep 1
      xdotool windowfocus --sync "$window"
      before=$(xdotool search --onlyvisible --pid $pid "" 2>/dev/null | wc -l)
      xdotool key --clearmodifiers alt+d
      sleep 1
      after=$(xdotool search --onlyvisible --pid $pid "" 2>/dev/null | wc -l)
      echo $((after - before))' _ "$prefix/bin/tarvell"
}
settings 1031 "$prefix/lib/tarvell/tarvell.ini"
touch "$prefix/lib/tarvell/portable.ini"
german=$(windows_after_alt_d portable)
rm "$prefix/lib/tarvell/portable.ini"
english=$(windows_after_alt_d user)
if [ "$german" -lt 1 ] || [ "$english" -ne 0 ]; then
  echo "the installed program is not German: Alt+D opened $german window(s) in German, $english in English"
  exit 1
fi
echo "installed into a temporary prefix; started from there in portable mode it shows its German main window"
