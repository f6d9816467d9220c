#!/usr/bin/env bash
# Installs what is needed, builds Tarvell and starts it on the sample POI file.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
if [ -x build/src/app/tarvell ]; then
  exec build/src/app/tarvell "$PWD/samples/amsterdam.ov2" "$@"
fi
