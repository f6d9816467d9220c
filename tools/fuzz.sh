#!/usr/bin/env bash
# Fuzzes one target of tests/fuzz: tools/fuzz.sh TARGET MINUTES [JOBS]
# Targets: readers xml metafile calibration catalogue version dns smtp.
# Builds the libFuzzer targets in build-fuzz/ (clang, address and undefined-behaviour sanitizers;
# nothing else of the program), then runs TARGET for MINUTES minutes in JOBS processes (default 1),
# starting from the committed corpus and dictionary of tests/fuzz. New inputs collect in
# build-fuzz/corpus/TARGET, failing ones in build-fuzz/findings/TARGET, the run's output in
# build-fuzz/TARGET.log. A failing input belongs in tests/fuzz/corpus/TARGET with its mend; the
# normal test command replays that folder (ctest -L fuzz).
#
# tools/fuzz.sh --smoke RUNS (the test command's step): builds every target and runs each for RUNS
# inputs in one process, from the committed corpus alone and with a fixed seed, so that a finding
# on another machine is likely found here too; the first failing input fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET MINUTES [JOBS] | $0 --smoke RUNS" >&2
  exit 2
fi
smoke=false
if [ "$1" = "--smoke" ]; then
  smoke=true
  targets=($(ls tests/fuzz/corpus))
else
  targets=("$1")
  minutes=$2
  jobs=${3:-1}
  if [ ! -d "tests/fuzz/corpus/$1" ]; then
    echo "unknown target: $1 (one of: $(ls tests/fuzz/corpus | tr '\n' ' '))" >&2
    exit 2
  fi
fi

# libFuzzer comes with clang's run-time package.
bash tools/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTARVELL_FUZZ=ON "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan.supp
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  findings=build-fuzz/findings/$target
  if $smoke; then
    # What earlier runs found would make this run differ from a fresh clone's.
    corpus=build-fuzz/smoke/$target
    rm -rf "$corpus"
  fi
  mkdir -p "$corpus" "$findings"
  options=(-timeout=10 -rss_limit_mb=2048 -max_len=65536 -artifact_prefix="$findings/")
  if $smoke; then
    options+=(-runs="$2" -seed=1 -print_final_stats=1)
  else
    options+=(-max_total_time=$((minutes * 60)) -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  if [ -f "tests/fuzz/dict/$target.dict" ]; then
    options+=(-dict="tests/fuzz/dict/$target.dict")
  fi
  if $smoke; then
    echo "fuzz_$target: $2 inputs"
    if ! build-fuzz/tests/fuzz/fuzz_"$target" "${options[@]}" "$corpus" "tests/fuzz/corpus/$target" >"build-fuzz/$target.log" 2>&1; then
      tail -n 40 "build-fuzz/$target.log" >&2
      echo "fuzz_$target failed; the input is in $findings" >&2
      exit 1
    fi
    grep -E '^stat::number_of_executed_units|^#[0-9]+ +DONE' "build-fuzz/$target.log" | tail -n 2
  else
    build-fuzz/tests/fuzz/fuzz_"$target" "${options[@]}" "$corpus" "tests/fuzz/corpus/$target" 2>&1 | tee "build-fuzz/$target.log"
    echo "findings: $(find "$findings" -type f | wc -l) in $findings"
  fi
done
