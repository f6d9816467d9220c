#!/usr/bin/env bash
# Fuzzes one target of tests/fuzz: tools/fuzz.sh TARGET MINUTES [JOBS]
# Targets: readers xml metafile calibration catalogue version dns smtp.
# Builds the libFuzzer targets in build-fuzz/ (clang, address and undefined-behaviour sanitizers;
# nothing else of the program), then runs TARGET for MINUTES minutes in JOBS processes (default 1),
# starting from the committed corpus and dictionary of tests/fuzz. New inputs collect in
# build-fuzz/corpus/TARGET, failing ones in build-fuzz/findings/TARGET, the run's output in
# build-fuzz/TARGET.log. A failing input belongs in tests/fuzz/corpus/TARGET with its mend; the
# normal test command replays that folder (ctest -L fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET MINUTES [JOBS]" >&2
  exit 2
fi
target=$1
minutes=$2
jobs=${3:-1}
if [ ! -d "tests/fuzz/corpus/$target" ]; then
  echo "unknown target: $target (one of: $(ls tests/fuzz/corpus | tr '\n' ' '))" >&2
  exit 2
fi

# libFuzzer comes with clang's run-time package.
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get install -y -q --no-install-recommends clang libclang-rt-dev
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVELL_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target "fuzz_$target"

corpus=build-fuzz/corpus/$target
findings=build-fuzz/findings/$target
mkdir -p "$corpus" "$findings"
options=(-max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 -max_len=65536
  -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -artifact_prefix="$findings/")
if [ -f "tests/fuzz/dict/$target.dict" ]; then
  options+=(-dict="tests/fuzz/dict/$target.dict")
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan.supp
build-fuzz/tests/fuzz/fuzz_"$target" "${options[@]}" "$corpus" "tests/fuzz/corpus/$target" 2>&1 | tee "build-fuzz/$target.log"
echo "findings: $(find "$findings" -type f | wc -l) in $findings"
