#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
# Warnings are errors in the builds this command makes, so a warning-free tree stays that way.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build --parallel "$(nproc)"
# Window tests run offscreen; the screenshot test starts its own Xvfb (xvfb-run -a) and leaves
# build/artifacts/main-window.png.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600
# Number text in files must not follow the locale: the logic and sites tests again under a decimal
# comma; the crash reporter's size texts must follow it.
LC_ALL=de_DE.UTF-8 ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600 -L "^(logic|sites|crashreport)$"
test -s build/artifacts/main-window.png
test -s build/artifacts/main-window-de.png
test -s build/artifacts/child-window.png
test -s build/artifacts/find-dups.png
test -s build/artifacts/batch-convert.png
test -s build/artifacts/preferences.png
test -s build/artifacts/glow-buttons.png
test -s build/artifacts/update-status.png
test -s build/artifacts/site-manager.png
test -s build/artifacts/wizard-groups.png
test -s build/artifacts/wizard-target.png
test -s build/artifacts/device-browser.png
test -s build/artifacts/mobile-folder.png
test -s build/artifacts/browse-folder.png
test -s build/artifacts/startup-screen.png
test -s build/artifacts/commit-poi.png
test -s build/artifacts/version-check.png
test -s build/artifacts/map-window.png
test -s build/artifacts/map-pane.png
test -s build/artifacts/exception-box.png
test -s build/artifacts/exception-box-de.png
test -s build/artifacts/html-map.png
# Installed into a temporary prefix, the program starts from there in German.
bash tools/check-install.sh

# The readers once more under the address and undefined-behaviour sanitizers: only the logic
# library and the reader tests are built there, so this stays short.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELL_SANITIZE=ON -DTARVELL_READERS_ONLY=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-asan --parallel "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)" --timeout 600

# The fuzz targets build with the platform's clang (libFuzzer, the same sanitizers), and each
# fuzzes 20,000 inputs from its committed corpus: a build that only clang rejects shows here.
bash tools/fuzz.sh --smoke 20000
