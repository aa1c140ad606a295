#!/usr/bin/env bash
# Sets up, builds both architectures and runs every test under Wine on a virtual
# display, once for each architecture this host executes natively (see setup.sh);
# then the native sanitizer build: its unit tests, every committed fuzz input, and
# a few seconds of fresh fuzzing per target.
#   scripts/test.sh [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
"$root/scripts/setup.sh" "$build"
"$root/scripts/build.sh" "$build"
mapfile -t archs <"$build/run-archs"
for arch in "${archs[@]}"; do
  echo "[test] running the $arch suite"
  VEXIL_XVFB=1 "$root/scripts/with-wine.sh" "$build/$arch" \
    ctest --test-dir "$build/$arch" --output-on-failure -j"$(nproc)" "$@"
  echo "[test] the $arch suite passed"
done
VEXIL_BUILD=$build "$root/scripts/fuzz.sh" --check 5
echo "[test] architectures tested: ${archs[*]}, and the native sanitizer build"
