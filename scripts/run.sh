#!/usr/bin/env bash
# Builds echometer.exe and starts it under Wine with its own prefix (build/win64/wineprefix). Without
# a display it starts a virtual one, saves a screenshot of the window to build/screenshot.png and
# keeps the program running until it is closed or interrupted (Ctrl+C). Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/setup.sh
build=${BUILD_ROOT:-$top/build}/win64
[[ -f $build/CMakeCache.txt ]] || cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target echometer
exe=$build/echometer.exe
if [[ -n ${DISPLAY:-} ]]; then
    ECHOMETER_KEEP_DISPLAY=1 exec "$top/scripts/wine-run" "$exe" "$@"
fi
shot="$(dirname "$build")/screenshot.png"
echo "run: no display; a virtual one is started and the window saved to $shot (Ctrl+C ends the program)"
ECHOMETER_SCREENSHOT="$shot" ECHOMETER_SCREENSHOT_NAME="Эхометр 1.0" exec "$top/scripts/wine-run" "$exe" "$@"
