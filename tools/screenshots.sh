#!/usr/bin/env bash
# Runs the game on the demo data under a virtual display, drives it with keys
# (tools/screenshot_tour.cpp) and saves the logo, the title, the area select,
# the first area and its boss as half-size PNGs.
#   tools/screenshots.sh [BUILD_DIR [OUT_DIR]]
# BUILD_DIR is one architecture's build tree (default build/x86_64) with the
# demo data and screenshot_tour built; OUT_DIR defaults to docs/screenshots.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/x86_64}" && pwd)
out=${2:-$root/docs/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

data=$build/tests/game/demo-data
[ -d "$data/img" ] || { echo "screenshots.sh: no demo data in $data (build game_demo_data_files)" >&2; exit 1; }
[ -f "$build/screenshot_tour.exe" ] || { echo "screenshots.sh: build screenshot_tour first" >&2; exit 1; }

# The game writes its settings file where it runs: run it on a copy.
work=$(mktemp -d /tmp/vexil-shots.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$data" "$work/data"
mkdir -p "$work/bmp"
VEXIL_XVFB=1 "$root/scripts/with-wine.sh" "$build" \
  wine "$build/screenshot_tour.exe" "Z:$work/data" "Z:$work/bmp"
for shot in "$work"/bmp/*.bmp; do
  name=$(basename "$shot" .bmp)
  python3 "$root/tools/bmp_to_png.py" "$shot" "$out/$name.png" 2
  echo "$out/$name.png"
done
