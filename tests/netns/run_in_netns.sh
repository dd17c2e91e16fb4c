#!/usr/bin/env bash
# run_in_netns.sh PROGRAM.exe [ARGS...]: runs a Windows test program inside a private network
# namespace that has only its loopback, so no packet and no name query leaves the machine. Wine's
# ICMP service runs in winedevice.exe, started by the prefix's wineserver, so the namespace gets a
# fresh prefix (copied from wine-run's template) and its own wineserver, which ends with the run.
# Inside, the program silences echo replies itself through /proc/sys/net/ipv4/icmp_echo_ignore_all.
set -euo pipefail
prog=${1:?usage: run_in_netns.sh PROGRAM.exe [ARGS...]}
shift
top=$(cd "$(dirname "$0")/../.." && pwd)

if [[ $(id -u) -ne 0 ]] || ! unshare -n true 2>/dev/null; then
    echo "run_in_netns: needs root and unshare -n; skipped" >&2
    exit 77
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/echometer-netns.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

unshare -n -- env NETNS_TMP="$tmp" NETNS_TOP="$top" bash -c '
    set -u
    ip link set lo up
    sysctl -qw net.ipv4.icmp_echo_ignore_all=0
    export ECHOMETER_WINEPREFIX=$NETNS_TMP/pfx ECHOMETER_NETNS=1
    "$NETNS_TOP/scripts/wine-run" "$@"
    rc=$?
    WINEPREFIX=$NETNS_TMP/pfx wineserver -k 2>/dev/null
    WINEPREFIX=$NETNS_TMP/pfx wineserver -w 2>/dev/null
    exit $rc
' run_in_netns "$prog" "$@"
