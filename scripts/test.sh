#!/usr/bin/env bash
# Builds everything and runs every test:
#   host  — the portable core with AddressSanitizer and UndefinedBehaviorSanitizer
#   win64 — everything, tests run under Wine (private prefix, virtual display)
#   win32 — everything, tests run under Wine's 32-bit loader (its own prefix in its build folder)
#   fuzz  — the libFuzzer target, FUZZ_SECONDS (default 90)
#   bench — micro-benchmarks, Wine measurements and scripts/bench; they print figures and never fail on speed
# BUILD_ROOT (default ./build) holds the five build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

scripts/setup.sh

root=${BUILD_ROOT:-$top/build}
jobs=${JOBS:-2}
fuzz_seconds=${FUZZ_SECONDS:-90}

configure() {
    local dir=$root/$1
    shift
    [[ -f $dir/CMakeCache.txt ]] || cmake -S "$top" -B "$dir" "$@" >/dev/null
}
step() { printf '\n=== %s\n' "$*"; }

step "configure"
configure host -DECHOMETER_FLAVOUR=test
configure win64 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake"
configure bench -DECHOMETER_FLAVOUR=bench -DCMAKE_BUILD_TYPE=Release
configure fuzz -DECHOMETER_FLAVOUR=fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

for b in host win64 win32 bench fuzz; do
    step "build $b"
    cmake --build "$root/$b" -j "$jobs"
done

step "release"
scripts/release.sh

step "lint"
scripts/lint.sh "$root/host"

step "host tests (ASan, UBSan)"
ctest --test-dir "$root/host" --output-on-failure -j "$jobs"

step "fuzz (${fuzz_seconds} s per target)"
for f in "$root"/fuzz/tests/fuzz/*_fuzz; do
    name=$(basename "$f")
    corpus=$root/fuzz/corpus/$name
    mkdir -p "$corpus"
    echo "-- $name"
    (cd "$root/fuzz" && "$f" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 2)
done

step "benchmarks (figures only)"
for b in "$root"/bench/bench/*_bench; do
    [[ -x $b ]] && "$b" --benchmark_min_time=0.2
done
if [[ -x $top/scripts/measure.sh ]]; then
    "$top/scripts/measure.sh" "$root/win64"
fi
# The release program against the least program doing its job; the tick, click and silent-host
# figures it can add are printed by measure.sh above.
BENCH_QUICK=1 "$top/scripts/bench" || echo "bench: a measurement could not be made (figures only)"

# The end-to-end suites measure the real program as they use it and keep their figures here.
rm -f "$root"/win64/e2e/figures.txt "$root"/win32/e2e/figures.txt

step "win64 tests under Wine"
ctest --test-dir "$root/win64" --output-on-failure -j "$jobs"

if scripts/wine --runs-32; then
    step "win32 tests under Wine"
    ctest --test-dir "$root/win32" --output-on-failure -j "$jobs"
else
    step "win32 tests under Wine: NOT RUN, this machine's kernel runs no 32-bit programs (built and sized only)"
fi

step "end-to-end, the release program (main suite)"
mkdir -p "$root/release64"
ARTEFACTS=$root/release64 E2E_BITS=64 ECHOMETER_WINEPREFIX=$root/win64/e2e/wineprefix \
    python3 "$top/tests/e2e/e2e.py" "$top/dist/echometer-1.0-win64.exe" "$root/win64/tests/e2e/e2e_probe.exe" main

step "end-to-end figures (the real program, figures only)"
cat "$root"/win64/e2e/figures.txt "$root"/win32/e2e/figures.txt 2>/dev/null || echo "(none measured)"

step "done in $((SECONDS / 60)) min $((SECONDS % 60)) s"
