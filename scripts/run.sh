#!/usr/bin/env bash
# Sets up, builds and runs the game under Wine from a data directory, on the
# user's display (or a virtual one when there is none).
#   scripts/run.sh [data-dir]      (default: the demo data set in the build tree,
#                                   generated when missing or older than its
#                                   generator)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
"$root/scripts/setup.sh" "$build"
"$root/scripts/build.sh" "$build"
if [ $# -ge 1 ]; then
  data=$1
else
  data=$build/demo-data
  if [ ! -f "$data/stamp" ] || [ "$root/tools/make_demo_data.py" -nt "$data/stamp" ]; then
    echo "[run] generating the demo data set in $data"
    rm -rf "$data"
    python3 "$root/tools/make_demo_data.py" "$data"
    touch "$data/stamp"
  fi
fi
mkdir -p "$data"
data=$(cd "$data" && pwd)
cd "$data"
exec "$root/scripts/with-wine.sh" "$build" wine "$build/game.exe"
