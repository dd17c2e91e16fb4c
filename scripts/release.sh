#!/usr/bin/env bash
# Builds the release programs dist/echometer-1.0-win64.exe and dist/echometer-1.0-win32.exe
# (optimised for size, stripped, one self-contained file each, the same bytes from every build of a
# commit) and SHA256SUMS beside them; prints their sizes, imports and checksums.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/setup.sh
dist=$top/dist
mkdir -p "$dist"
names=()
for bits in 64 32; do
    arch=x86_64
    [[ $bits == 32 ]] && arch=i686
    build=${BUILD_ROOT:-$top/build}/release$bits
    cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-$arch.cmake" \
        -DECHOMETER_FLAVOUR=release -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$build" -j "${JOBS:-2}" --target echometer >/dev/null
    name=echometer-1.0-win$bits.exe
    cp "$build/echometer.exe" "$dist/$name"
    names+=("$name")
    imports=$("$arch-w64-mingw32-objdump" -p "$dist/$name" | sed -n 's/^\s*DLL Name: //p' | sort -f | tr '\n' ' ')
    size=$(stat -c %s "$dist/$name")
    printf 'release: %-24s %7d bytes  imports: %s\n' "$name" "$size" "$imports"
    ((size <= 262144)) || echo "release: $name is over the 256 KB goal"
done
(cd "$dist" && sha256sum "${names[@]}" >SHA256SUMS && sed 's/^/release: /' SHA256SUMS)
