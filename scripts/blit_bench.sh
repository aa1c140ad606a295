#!/usr/bin/env bash
# The software blit beside SDL2's software blitter, and the textured
# triangles (turned quads) beside its software renderer's SDL_RenderGeometry,
# in one sitting: builds the native benchmark (tools/bench/peer: the blit's
# and triangles' sources and Debian's libsdl2-dev, both sides in one process,
# alternating rounds) and the Windows builds' blit_peer_bench.exe, runs the
# native one and the Windows ones under Wine in turn, PASSES times, and prints
# each row's best rates (Mpixel/s of thread CPU time) and the ratio of each of
# ours to SDL2's. A row whose SDL2 side is missing (SDL2 could not draw it)
# shows - there and in its ratios.
#
#   scripts/blit_bench.sh [--passes N] [--rounds N] [--seconds S] [build-dir [arch...]]
#
# Archs default to those this host runs (BUILD/run-archs, written by
# scripts/setup.sh; i686 needs a kernel that executes 32-bit code), in trees
# BUILD/ARCH configured by scripts/build.sh. libsdl2-dev is installed with
# apt-get when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
passes=2 rounds=3 seconds=0.3
while [ $# -gt 0 ]; do
  case $1 in
    --passes) passes=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) break ;;
  esac
done
build=${1:-$root/build}
shift || true
archs=("$@")
build=$(cd "$build" && pwd)
if [ ${#archs[@]} -eq 0 ]; then
  if [ -f "$build/run-archs" ]; then mapfile -t archs <"$build/run-archs"; else archs=(i686 x86_64); fi
fi
say() { printf '[blit-bench] %s\n' "$*" >&2; }

if ! pkg-config --exists sdl2 2>/dev/null; then
  say "installing libsdl2-dev"
  if [ "$(id -u)" = 0 ]; then apt-get install -y libsdl2-dev >/dev/null; else sudo apt-get install -y libsdl2-dev >/dev/null; fi
fi

native=$build/peer-native
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$root/tools/bench/peer" -B "$native" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-native-clang.cmake" >/dev/null
fi
say "building the native benchmark"
cmake --build "$native" -j4 >/dev/null
for arch in "${archs[@]}"; do
  [ -f "$build/$arch/CMakeCache.txt" ] || { say "no $build/$arch: run scripts/build.sh first"; exit 1; }
  say "building blit_peer_bench for $arch"
  cmake --build "$build/$arch" -j4 --target blit_peer_bench >/dev/null
done

out=$(mktemp -d /tmp/blit-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT
for pass in $(seq "$passes"); do
  say "pass $pass of $passes: native with SDL2"
  "$native/blit_peer_bench" "$rounds" "$seconds" >>"$out/native"
  for arch in "${archs[@]}"; do
    say "pass $pass of $passes: $arch under Wine"
    "$root/scripts/with-wine.sh" "$build/$arch" wine "$build/$arch/blit_peer_bench.exe" "$rounds" "$seconds" \
      | tr -d '\r' >>"$out/$arch"
  done
done

# Best of the passes per row and column; ratios against SDL2's best.
{
  printf '%s' "$(date -u '+%Y-%m-%d %H:%M UTC'), $passes passes of $rounds rounds of ${seconds}s a side; "
  printf 'native: %s, SDL2 %s\n' "$(clang++ --version | head -n 1)" "$(pkg-config --modversion sdl2)"
}
awk -F'\t' -v archs="${archs[*]}" -v dir="$out" '
  function keep(col, name, v) { if (v != "-" && (!((name, col) in best) || v + 0 > best[name, col])) best[name, col] = v + 0 }
  BEGIN {
    n = split(archs, arch, " ")
    while ((getline line < (dir "/native")) > 0) {
      split(line, f, "\t"); if (f[1] != "row") continue
      if (!(f[2] in seen)) { seen[f[2]] = 1; order[++rows] = f[2] }
      keep("native", f[2], f[3]); keep("sdl", f[2], f[4])
    }
    for (i = 1; i <= n; i++)
      while ((getline line < (dir "/" arch[i])) > 0) {
        split(line, f, "\t"); if (f[1] == "row") keep(arch[i], f[2], f[3])
      }
    printf "%-38s", "Mpixel/s (best of passes)"
    for (i = 1; i <= n; i++) printf " %9s", arch[i]
    printf " %9s %9s", "native", "SDL2"
    for (i = 1; i <= n; i++) printf " %7s", arch[i] "/S"
    printf " %7s\n", "nat/S"
    for (r = 1; r <= rows; r++) {
      name = order[r]; s = best[name, "sdl"]
      printf "%-38s", name
      for (i = 1; i <= n; i++) printf " %9.0f", best[name, arch[i]]
      printf " %9.0f", best[name, "native"]
      if (s > 0) printf " %9.0f", s; else printf " %9s", "-"
      for (i = 1; i <= n; i++) if (s > 0) printf " %7.2f", best[name, arch[i]] / s; else printf " %7s", "-"
      if (s > 0) printf " %7.2f\n", best[name, "native"] / s; else printf " %7s\n", "-"
    }
  }'
