#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: ctest (GUI and GL tests under Xvfb),
# the unit and GL tests again under ASan+UBSan, then each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --test
# Tests of number formats skip without a locale that writes a decimal comma; here they must run.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "test.sh: the locale de_DE.UTF-8 is missing after scripts/install-deps.sh --test" >&2
  exit 1
fi

jobs=$(nproc)
fuzz_seconds="${FUZZ_SECONDS:-15}"

echo "== build"
cmake -S . -B build -G Ninja -DTELDVIEW_GUI=ON -DTELDVIEW_TESTS=ON -DTELDVIEW_BENCH=ON -DTELDVIEW_WERROR=ON >/dev/null
cmake --build build -j "$jobs"

echo "== tests"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j "$jobs"

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTELDVIEW_SANITIZE=ON -DTELDVIEW_GUI=OFF \
  -DTELDVIEW_BENCH=OFF -DTELDVIEW_WERROR=ON >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The leak check stops every thread at exit; the software renderer's worker threads can crash
# that check, so the renderer draws on the calling thread here.
export LP_NUM_THREADS=0
ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzzing, ${fuzz_seconds}s per target"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELDVIEW_FUZZ=ON -DTELDVIEW_WERROR=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$jobs"
for target in build-fuzz/fuzz_*; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  [[ -d "fuzz/seeds/$name" ]] && seeds=("fuzz/seeds/$name")
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
    "$corpus" "${seeds[@]}" 2>"build-fuzz/$name.log" || { tail -n 60 "build-fuzz/$name.log"; exit 1; }
done
echo "All tests passed."
