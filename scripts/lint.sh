#!/usr/bin/env bash
# Formatting check (clang-format) over every tracked C++ file, and clang-tidy over the portable core
# with the host build's compile database. Usage: scripts/lint.sh [host build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/host}

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/echometer-format.$$; then
    head -n 20 /tmp/echometer-format.$$
    rm -f /tmp/echometer-format.$$
    echo "lint: run clang-format -i on the files above" >&2
    exit 1
fi
rm -f /tmp/echometer-format.$$
echo "lint: formatting clean (${#files[@]} files)"

if [[ -f $build/compile_commands.json ]]; then
    mapfile -t core < <(git ls-files 'runtime/*.cpp' 'support/*.cpp' 'toolkit/*.cpp' 'components/*.cpp' | grep -v '_win32\.cpp$')
    out=$(clang-tidy -p "$build" --quiet "${core[@]}" 2>/dev/null | grep -E '(warning|error):' || true)
    if [[ -n $out ]]; then
        echo "$out"
        echo "lint: clang-tidy findings above" >&2
        exit 1
    fi
    echo "lint: clang-tidy clean (${#core[@]} files)"
fi
