#!/usr/bin/env bash
# Installs every package the builds and tests need. Idempotent; quiet when all is there.
set -euo pipefail

packages=(
    cmake make g++ clang libclang-rt-14-dev clang-format clang-tidy
    googletest libbenchmark-dev
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64
    wine wine64 wine32:i386 fonts-wine xvfb xdotool x11-utils imagemagick
    iproute2 util-linux procps python3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
# wine32 runs the 32-bit tests; its packages come from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
