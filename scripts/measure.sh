#!/usr/bin/env bash
# measure.sh WIN64_BUILD_DIR: runs the measuring programs of bench/win under Wine and prints their
# figures: echo overhead, tick accuracy, the soak's handles and memory, click latency under tick load,
# the bounded log's memory and append cost at length (64- and 32-bit), and responsiveness during
# silent waits (inside a private network namespace). Figures only: a slow machine never fails it; only a program that crashed does. About twelve
# minutes; the tick run goes alongside the soak.
set -uo pipefail
build=${1:?usage: measure.sh WIN64_BUILD_DIR}
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$build/bench
wine_run=$top/scripts/wine-run
status=0

judge() {  # name rc
    if [[ $2 -eq 77 ]]; then
        echo "  ($1 skipped)"
    elif [[ $2 -ne 0 ]]; then
        echo "measure: $1 exited with $2"
        status=1
    fi
}

echo
echo "--- Wine measurements"
"$wine_run" "$bin/measure_echo.exe" 2>/dev/null
judge echo $?

ticks_out=$(mktemp)
"$wine_run" "$bin/measure_ticks.exe" >"$ticks_out" 2>/dev/null &
ticks_pid=$!
"$wine_run" "$bin/measure_soak.exe" 2>/dev/null
judge soak $?
wait "$ticks_pid"
ticks_rc=$?
echo "(the tick run went alongside the soak)"
cat "$ticks_out"
rm -f "$ticks_out"
judge ticks $ticks_rc

# Real X clicks while ticks outlast their period; its own run, so the load of the others is not in it.
"$wine_run" "$bin/measure_clicks.exe" 2>/dev/null
judge clicks $?

"$wine_run" "$bin/measure_log.exe" 2>/dev/null
judge log $?
# The 32-bit log: its address space, and the long run at a lowered bound.
if [[ -x $build/../win32/bench/measure_log.exe ]] && ! "$top/scripts/wine" --runs-32; then
    echo "  (log32 not run: this machine's kernel runs no 32-bit programs)"
elif [[ -x $build/../win32/bench/measure_log.exe ]]; then
    "$wine_run" "$build/../win32/bench/measure_log.exe" 2>/dev/null
    judge log32 $?
fi

bash "$top/tests/netns/run_in_netns.sh" "$bin/measure_silent.exe" 2>/dev/null
judge silent $?

exit $status
