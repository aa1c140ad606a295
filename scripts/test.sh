#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine on a virtual display.
#   scripts/test.sh [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
"$root/scripts/setup.sh" "$build"
"$root/scripts/build.sh" "$build"
VEXIL_XVFB=1 "$root/scripts/with-wine.sh" "$build" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
