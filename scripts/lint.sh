#!/usr/bin/env bash
# Formatting check (clang-format) over every tracked C++ file, and clang-tidy over every source file:
# the program's portable core with the host build's compile database; the Windows files (_win32,
# window components, the scheme), the tests and the measuring programs with the 64-bit build's, read
# by clang as the MinGW compiler sees them; the fuzz targets and the micro-benchmarks with their own
# builds' (the folders beside the host one, when they are there).
# Usage: scripts/lint.sh [host build folder [win64 build folder]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/host}
win=${2:-$(dirname "$build")/win64}
jobs=${JOBS:-2}

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/echometer-format.$$; then
    head -n 20 /tmp/echometer-format.$$
    rm -f /tmp/echometer-format.$$
    echo "lint: run clang-format -i on the files above" >&2
    exit 1
fi
rm -f /tmp/echometer-format.$$
echo "lint: formatting clean (${#files[@]} files)"

# tidy DB WHAT [ARG...] -- FILE...: clang-tidy over the files with the compile database DB, $jobs at
# a time; any finding fails the lint.
tidy() {
    local db=$1 what=$2 args=() out
    shift 2
    while [[ $1 != -- ]]; do
        args+=("$1")
        shift
    done
    shift
    out=$(printf '%s\n' "$@" | xargs -P "$jobs" -n 4 clang-tidy -p "$db" --quiet "${args[@]}" 2>/dev/null |
        grep -E '(warning|error):' | sort -u || true)
    if [[ -n $out ]]; then
        echo "$out"
        echo "lint: clang-tidy findings above ($what files)" >&2
        exit 1
    fi
    echo "lint: clang-tidy clean ($# $what files)"
}

if [[ -f $build/compile_commands.json ]]; then
    mapfile -t core < <(git ls-files 'runtime/*.cpp' 'support/*.cpp' 'toolkit/*.cpp' 'components/*.cpp' | grep -v '_win32\.cpp$')
    tidy "$build" core -- "${core[@]}"
fi

if [[ -f $win/compile_commands.json ]]; then
    # clang finds the MinGW C headers from the target; the C++ library's are the compiler's own.
    cxx=$(x86_64-w64-mingw32-g++-posix -print-file-name=include/c++)
    mapfile -t winfiles < <(git ls-files '*_win32.cpp' 'wincomponents/*.cpp' 'scheme/*.cpp' 'tests/*.cpp' 'bench/*.cpp' |
        grep -v -e '^tests/fuzz/' -e '^bench/runtime_bench' | sort -u)
    tidy "$win" "Windows, test and measuring" --extra-arg=--target=x86_64-w64-mingw32 "--extra-arg=-isystem$cxx" \
        "--extra-arg=-isystem$cxx/x86_64-w64-mingw32" "--extra-arg=-isystem$cxx/backward" -- "${winfiles[@]}"
fi

for own in fuzz:tests/fuzz/*.cpp bench:bench/runtime_bench.cpp; do
    db=$(dirname "$build")/${own%%:*}
    [[ -f $db/compile_commands.json ]] || continue
    mapfile -t these < <(git ls-files "${own#*:}")
    tidy "$db" "${own%%:*}" -- "${these[@]}"
done
