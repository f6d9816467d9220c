#!/bin/sh
# The translation check passes on the committed German file and fails on a copy of it with one
# entry marked unfinished. usage: translations.sh <source root> <lupdate>
set -eu
root=$1
lupdate=$2
python3 "$root/tools/check-translations.py" --lupdate "$lupdate" "$root/lang/ts/tarvell_de.ts"
copy=$(mktemp --suffix=.ts)
trap 'rm -f "$copy"' EXIT
python3 - "$root/lang/ts/tarvell_de.ts" "$copy" <<'PY'
import sys
text = open(sys.argv[1], encoding="utf-8").read()
open(sys.argv[2], "w", encoding="utf-8").write(text.replace("<translation>", '<translation type="unfinished">', 1))
PY
if python3 "$root/tools/check-translations.py" --lupdate "$lupdate" "$copy" > /dev/null; then
  echo "the check passed a file with an unfinished entry"
  exit 1
fi
echo "the check refuses an unfinished entry"
