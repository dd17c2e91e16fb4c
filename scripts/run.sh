#!/usr/bin/env bash
# Builds the Windows tree and starts echometer.exe under Wine. Without a display it starts a virtual
# one and saves a screenshot to build/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/setup.sh
build=${BUILD_ROOT:-$top/build}/win64
[[ -f $build/CMakeCache.txt ]] || cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
exe=$(find "$build" -name echometer.exe -print -quit)
if [[ -z $exe ]]; then
    echo "run: echometer.exe is not part of this tree yet (the program body comes with the window toolkit)" >&2
    exit 1
fi
if [[ -n ${DISPLAY:-} ]]; then
    ECHOMETER_KEEP_DISPLAY=1 exec "$top/scripts/wine-run" "$exe" "$@"
fi
ECHOMETER_SCREENSHOT="$(dirname "$build")/screenshot.png" exec "$top/scripts/wine-run" "$exe" "$@"
