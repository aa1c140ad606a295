#!/usr/bin/env bash
# Configures (once) and builds the game, the library, the tools and the tests, for
# each architecture asked (default: both). Each gets a build tree of its own,
# BUILD/i686 and BUILD/x86_64, over the libraries that setup.sh cross-built,
# through the compiler cache when there is one (scripts/cache.sh).
#   scripts/build.sh [build-dir [arch...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
archs=("$@")
[ ${#archs[@]} -gt 0 ] || archs=(i686 x86_64)
mkdir -p "$build"
build=$(cd "$build" && pwd)
. "$root/scripts/cache.sh"
for arch in "${archs[@]}"; do
  tree=$build/$arch
  if [ ! -f "$tree/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
      -DVEXIL_DEPS="$build/deps/$arch" "${vexil_launcher[@]}" >/dev/null
  fi
  echo "[build] $arch"
  cmake --build "$tree" -j"$(nproc)"
done
