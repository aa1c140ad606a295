#!/usr/bin/env bash
# Sets up, builds and runs the game under Wine from a data directory, on the
# user's display (or a virtual one when there is none).
#   scripts/run.sh [--packed] [data-dir]
# The default data directory is the demo data set in the build tree (tables,
# images and sounds), generated when missing or older than its generator. With --packed the game runs on the
# data directory's "img" and "sound" packed into "img.ukx" and "sound.ukx" by
# the packer, in a directory of their own under build/packed-data.
# The 32-bit game runs where the host executes 32-bit code, else the 64-bit one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
packed=0
if [ "${1:-}" = "--packed" ]; then
  packed=1
  shift
fi
"$root/scripts/setup.sh" "$build"
arch=$(head -n 1 "$build/run-archs")
"$root/scripts/build.sh" "$build" "$arch"
tree=$build/$arch
echo "[run] the $arch game"
if [ $# -ge 1 ]; then
  data=$1
else
  data=$build/demo-data
  stale=0
  [ -f "$data/stamp" ] || stale=1
  for tool in "$root"/tools/make_demo_data.py "$root"/tools/demo_*.py; do
    [ "$tool" -nt "$data/stamp" ] && stale=1
  done
  if [ $stale = 1 ]; then
    echo "[run] generating the demo data set in $data"
    rm -rf "$data"
    python3 "$root/tools/make_demo_data.py" "$data"
    touch "$data/stamp"
  fi
fi
mkdir -p "$data"
data=$(cd "$data" && pwd)

if [ $packed = 0 ]; then
  cd "$data"
  exec "$root/scripts/with-wine.sh" "$tree" wine "$tree/game.exe"
fi

# Packed: the archives are made afresh each run; the settings file stays.
out=$build/packed-data/$(basename "$data")
mkdir -p "$out"
rm -f "$out"/*.ukx
dirs=()
for d in img sound; do
  [ -d "$data/$d" ] && dirs+=("$d")
done
[ ${#dirs[@]} -gt 0 ] || { echo "run.sh: $data has no img or sound directory" >&2; exit 1; }
echo "[run] packing ${dirs[*]} of $data into $out"
cd "$out"
exec "$root/scripts/with-wine.sh" "$tree" sh -c '
  tree=$1 data=$2; shift 2
  for d in "$@"; do
    wine "$tree/packer.exe" -k KOWR "Z:$data/$d" "$d.ukx" || exit 1
  done
  exec wine "$tree/game.exe"
' run "$tree" "$data" "${dirs[@]}"
