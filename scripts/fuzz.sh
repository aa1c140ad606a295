#!/usr/bin/env bash
# The native Linux build under AddressSanitizer and UndefinedBehaviorSanitizer
# (tests/native, built with clang into BUILD/native) and its libFuzzer targets.
#
#   scripts/fuzz.sh TARGET [SECONDS]   builds, then fuzzes one target for SECONDS
#                                      (default 60) from its committed inputs
#   scripts/fuzz.sh --check [SECONDS]  builds, runs the native unit tests and
#                                      replays every committed input, then fuzzes
#                                      each target for SECONDS (default 5)
#   scripts/fuzz.sh --seeds            rewrites the committed seed corpora
#   scripts/fuzz.sh --list             names the targets
#
# Fuzzing reads the committed corpus and regressions (tests/native/fuzz/corpus/
# TARGET, tests/native/fuzz/regressions/TARGET) and writes what it finds into a
# scratch corpus, so the committed one never grows: BUILD/native/fuzz/TARGET
# keeps growing across runs of one target; --check starts from nothing each
# time. An input that fails is left in BUILD/native/fuzz/TARGET as crash-*,
# leak-*, timeout-* or oom-*: commit it to tests/native/fuzz/regressions/TARGET,
# and every later check replays it. The check runs every target even when one
# fails, and names all that failed at the end. A run's log keeps only its last
# lines (the report and the statistics): a decoder's own error texts would
# otherwise fill the disk.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VEXIL_BUILD:-$root/build}
. "$root/scripts/cache.sh"
mkdir -p "$build"
tree=$(cd "$build" && pwd)/native
inputs=$root/tests/native/fuzz

# Per input: a bounded time; sanitizer reports end the run with a stack.
log_lines=3000
fuzz_options=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$inputs/lsan-suppressions.txt}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

say() { printf '[fuzz] %s\n' "$*"; }

build_native() {
  if [ ! -f "$tree/CMakeCache.txt" ]; then
    cmake -S "$root/tests/native" -B "$tree" \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-native-clang.cmake" "${vexil_launcher[@]}" >/dev/null
  fi
  say "building the native sanitizer tree in $tree"
  cmake --build "$tree" -j"$(nproc)"
  read -r -a targets <"$tree/fuzz-targets"
}

# fuzz TARGET SECONDS SCRATCH: runs one target on its committed inputs plus
# fresh mutations, and prints its rate.
fuzz() {
  local target=$1 seconds=$2 scratch=$3 log
  local dirs=("$inputs/corpus/$target")
  [ -d "$inputs/regressions/$target" ] && dirs+=("$inputs/regressions/$target")
  mkdir -p "$scratch" "$tree/fuzz/$target"
  log=$tree/fuzz/$target/last-run.log
  say "$target: fuzzing for $seconds s"
  if ! "$tree/fuzz_$target" "${fuzz_options[@]}" -max_total_time="$seconds" \
      -artifact_prefix="$tree/fuzz/$target/" "$scratch" "${dirs[@]}" 2>&1 | tail -n $log_lines >"$log"; then
    tail -n 60 "$log"
    say "$target FAILED: the input is in $tree/fuzz/$target/ (crash-*, leak-*, timeout-*, oom-*);"
    say "commit it to tests/native/fuzz/regressions/$target/ with the fix (full log: $log)"
    return 1
  fi
  awk -v t="$target" '/stat::number_of_executed_units/ {n=$2} /stat::average_exec_per_sec/ {r=$2}
    END {printf "[fuzz] %s: %d inputs, %d per second\n", t, n, r}' "$log"
}

case ${1:-} in
  --check)
    seconds=${2:-5}
    build_native
    say "native unit tests and the replay of every committed input"
    failed=()
    if ! ctest --test-dir "$tree" --output-on-failure -j"$(nproc)"; then
      mapfile -t replays < <(sed 's/^[0-9]*://' "$tree/Testing/Temporary/LastTestsFailed.log" 2>/dev/null)
      failed+=("${replays[@]:-native ctest}")
    fi
    check=$tree/fuzz/check
    rm -rf "$check"
    for target in "${targets[@]}"; do
      fuzz "$target" "$seconds" "$check/$target" || failed+=("fuzz_$target")
    done
    rm -rf "$check"
    if [ ${#failed[@]} -gt 0 ]; then
      say "failed: ${failed[*]}"
      exit 1
    fi
    say "every target ran clean"
    ;;
  --seeds)
    build_native
    "$tree/fuzz_seeds" "$inputs/corpus"
    # Archives: the generated format fixtures, every version, packing and key.
    mkdir -p "$inputs/corpus/archive_reader"
    cp "$root"/tests/runtime/file/fixtures/*.ukx "$inputs/corpus/archive_reader/"
    # MP3 files: the sound tests' fixtures (MPEG-1, MPEG-2, tagged).
    for target in mp3_frames mp3_setup; do
      mkdir -p "$inputs/corpus/$target"
      cp "$root"/tests/audio/fixtures/*.mp3 "$inputs/corpus/$target/"
    done
    # WAVE files with compressed formats (u-law, IMA ADPCM) for the format
    # handling after the chunk walk.
    cp "$root"/tests/audio/fixtures/*.wav "$inputs/corpus/wave_format/"
    # Ogg Vorbis files: the sound tests' fixtures (stereo tone, mono noise).
    mkdir -p "$inputs/corpus/ogg_reader"
    cp "$root"/tests/audio/fixtures/*.ogg "$inputs/corpus/ogg_reader/"
    # Theora movies: the movie tests' fixtures (4:2:0 with key frames every 4
    # frames, a picture of two halves, a movie with a sound track).
    mkdir -p "$inputs/corpus/theora_header"
    cp "$root"/tests/movie/fixtures/{flat420,halves,tone}.ogv "$inputs/corpus/theora_header/"
    # Bitmaps: the image tests' fixtures, every encoding and header kind.
    mkdir -p "$inputs/corpus/bmp_decoder"
    cp "$root"/tests/image/fixtures/*.bmp "$inputs/corpus/bmp_decoder/"
    # The other picture formats: their fixtures, one corpus a decoder.
    for kind in tga:tga dds:dds bgra:bgra png:png jpeg:jpg; do
      mkdir -p "$inputs/corpus/${kind%%:*}_decoder"
      cp "$root"/tests/image/fixtures/*."${kind#*:}" "$inputs/corpus/${kind%%:*}_decoder/"
    done
    # The loader's chain: one fixture of each kind behind the flags byte and
    # the colour length of fuzz/image_loader.cpp, mirrored or with an alpha
    # block.
    mkdir -p "$inputs/corpus/image_loader"
    loader_seed() {
      local colour=$root/tests/image/fixtures/$3
      { printf "$2"; python3 -c 'import os,struct,sys; sys.stdout.buffer.write(struct.pack("<I", os.path.getsize(sys.argv[1])))' "$colour"
        cat "$colour"; [ -n "${4:-}" ] && cat "$root/tests/image/fixtures/$4"; true; } >"$inputs/corpus/image_loader/$1"
    }
    loader_seed bmp '\000' p24.bmp
    loader_seed jpeg-mirrored '\001' jpeg_rgb.jpg
    loader_seed png-with-alpha '\002' png_rgb8.png png_g8.png
    loader_seed tga-mirrored-alpha '\003' tga_t2_32.tga p8.bmp
    loader_seed dds '\000' dds_dxt1.dds
    loader_seed bgra '\001' bgra8.bgra
    # Tables: files of the demo data, each behind the reader, kind and id
    # bytes of fuzz/data_tables.cpp.
    demo=$(mktemp -d)
    python3 "$root/tools/make_demo_data.py" "$demo" >/dev/null
    mkdir -p "$inputs/corpus/data_tables"
    table_seed() { { printf "$2"; cat "$demo/img/$3"; } >"$inputs/corpus/data_tables/$1"; }
    table_seed player-anime '\000\001\001' chara/player/Player0Anime.csv
    table_seed boss-anime '\000\003\002' chara/boss/Boss02Anime.csv
    table_seed block-anime '\001\000\000' block/BlockAnime.csv
    table_seed slots '\002\000\000' slotsetting/Slot/Slot.csv
    table_seed block-layout '\003\000\000' block/BlockPosition01.csv
    table_seed enemy-layout '\004\000\000' chara/enemy/EnemyPosition00.csv
    table_seed item-layout '\005\000\000' item/ItemPosition00.csv
    rm -rf "$demo"
    say "seed corpora written to $inputs/corpus"
    ;;
  --list)
    build_native >/dev/null
    printf '%s\n' "${targets[@]}"
    ;;
  ''|-*)
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    exit 2
    ;;
  *)
    target=$1
    seconds=${2:-60}
    build_native
    if [ ! -x "$tree/fuzz_$target" ]; then
      echo "fuzz.sh: no target $target (targets: ${targets[*]})" >&2
      exit 2
    fi
    fuzz "$target" "$seconds" "$tree/fuzz/$target/corpus"
    ;;
esac
