#!/usr/bin/env bash
# Sets up, builds both architectures and runs every test under Wine on a virtual
# display, once for each architecture this host executes natively (see setup.sh);
# then the native sanitizer build: its unit tests, every committed fuzz input, and
# a few seconds of fresh fuzzing per target. A failure does not stop the run:
# every suite and the fuzz check run, and the end names everything that failed.
#   scripts/test.sh [ctest arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
"$root/scripts/setup.sh" "$build"
mapfile -t archs <"$build/run-archs"
failures=()
for arch in i686 x86_64; do
  "$root/scripts/build.sh" "$build" "$arch" || failures+=("the $arch build")
done
for arch in "${archs[@]}"; do
  if printf '%s\n' "${failures[@]}" | grep -qx "the $arch build"; then
    continue
  fi
  echo "[test] running the $arch suite"
  rm -f "$build/$arch/Testing/Temporary/LastTestsFailed.log"
  if VEXIL_XVFB=1 "$root/scripts/with-wine.sh" "$build/$arch" \
      ctest --test-dir "$build/$arch" --output-on-failure -j"$(nproc)" "$@"; then
    echo "[test] the $arch suite passed"
  else
    mapfile -t failed < <(sed 's/^[0-9]*://' "$build/$arch/Testing/Temporary/LastTestsFailed.log" 2>/dev/null)
    [ ${#failed[@]} -gt 0 ] || failed=("(the suite did not run)")
    for t in "${failed[@]}"; do failures+=("$arch: $t"); done
    echo "[test] the $arch suite FAILED: ${failed[*]}"
  fi
done
VEXIL_BUILD=$build "$root/scripts/fuzz.sh" --check 5 || failures+=("the native sanitizer check (see [fuzz] above)")
if [ ${#failures[@]} -gt 0 ]; then
  echo "[test] FAILED (${#failures[@]}):"
  printf '[test]   %s\n' "${failures[@]}"
  exit 1
fi
echo "[test] architectures tested: ${archs[*]}, and the native sanitizer build"
