#!/usr/bin/env bash
# Sets up, builds and runs the game under Wine from a data directory, on the
# user's display (or a virtual one when there is none).
#   scripts/run.sh [data-dir]      (default: the demo data set in the build tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
"$root/scripts/setup.sh" "$build"
"$root/scripts/build.sh" "$build"
data=${1:-$build/demo-data}
mkdir -p "$data"
data=$(cd "$data" && pwd)
cd "$data"
exec "$root/scripts/with-wine.sh" "$build" wine "$build/game.exe"
