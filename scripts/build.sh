#!/usr/bin/env bash
# Configures (once) and builds the game, the library, the tools and the tests.
#   scripts/build.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
    -DVEXIL_DEPS="$build/deps/prefix" >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
