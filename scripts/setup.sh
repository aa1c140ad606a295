#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, then provides
# the third-party libraries, cross-built once per target architecture (and
# natively for the sanitizer tree), from a cache outside the clone.
# Safe to run again: every step checks first and does nothing when its result is
# already in place.
#
# Both the 32-bit game (i686, the release build) and its 64-bit twin (x86_64) are
# built everywhere. They run under Wine only where the host executes their code
# natively: some x86-64 kernels run 64-bit user code only, and there the 32-bit
# Wine, and so the 32-bit build, cannot run at all. The architectures this host
# runs are written to BUILD/run-archs, one per line, for the other scripts.
#
#   scripts/setup.sh [build-dir]      (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

say() { printf '[setup] %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# --- what this host executes -------------------------------------------------
# A 32-bit ELF of 84 bytes that only exits with status 0; a kernel without IA-32
# support refuses it with "Exec format error".
probe=$build/i386-probe
python3 - "$probe" <<'PY'
import struct, sys
code = bytes.fromhex('b801000000' '31db' 'cd80')            # exit(0) through int 0x80
base = 0x08048000
size = 52 + 32 + len(code)
ehdr = b'\x7fELF' + bytes([1, 1, 1]) + bytes(9)
ehdr += struct.pack('<HHIIIIIHHHHHH', 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
phdr = struct.pack('<IIIIIIII', 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], 'wb') as f:
    f.write(ehdr + phdr + code)
PY
chmod +x "$probe"
if "$probe" 2>/dev/null; then
  run_archs=(i686 x86_64)
  say "this host executes 32-bit code: the i686 and x86_64 builds both run and are tested"
else
  run_archs=(x86_64)
  say "this host executes 64-bit code only: the x86_64 build runs and is tested, the i686 build is only built"
fi
rm -f "$probe"

# --- system packages -------------------------------------------------------
packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake make pkg-config python3 dpkg-dev
  wine wine64 xvfb xauth x11-utils
  libgl1 libgl1-mesa-dri libglx-mesa0
  pulseaudio libpulse0 libmpg123-0
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  fonts-ipafont-gothic locales libz-mingw-w64-dev googletest
  clang libclang-rt-14-dev libgtest-dev libpng-dev libjpeg62-turbo-dev
  lame ffmpeg ccache
)
if [ "${run_archs[0]}" = i686 ]; then
  packages+=(wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386 libpulse0:i386
             libmpg123-0:i386 gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386)
fi

missing_packages() {
  local p out=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  printf '%s\n' "${out[@]}"
}

need_update=0
if [ "${run_archs[0]}" = i686 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture"
  as_root dpkg --add-architecture i386
  need_update=1
fi
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  say "adding a deb-src entry"
  as_root tee /etc/apt/sources.list.d/project-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi
mapfile -t todo < <(missing_packages | sed '/^$/d')
if [ ${#todo[@]} -gt 0 ] || [ $need_update = 1 ]; then
  say "installing: ${todo[*]:-(index update only)}"
  as_root apt-get update -q
  [ ${#todo[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${todo[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  say "generating the ja_JP.UTF-8 locale"
  as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen
fi

# --- third-party libraries, from a cache outside the clone -----------------------
# Each prefix (i686, x86_64, and native for the sanitizer tree) is kept in the
# cache (scripts/cache.sh) under a key that hashes everything that went into
# it: the recipe (scripts/deps.sh), our patches, the Debian source packages,
# the compilers and tools. A fresh clone on a machine that built them before
# links them; otherwise they are built once, and the next clone finds them.
. "$root/scripts/cache.sh"
. "$root/scripts/deps.sh"
jobs=$(nproc)
store=$vexil_cache/deps
mkdir -p "$store" "$build/deps"

# The source packages apt would fetch: names, sizes and checksums.
names=()
for pair in "${deps_packages[@]}"; do names+=("${pair%%:*}"); done
source_list=$(apt-get source --print-uris -q "${names[@]}" 2>/dev/null |
               awk -v q="'" 'substr($0, 1, 1) == q {print $2, $3, $4}') ||
  source_list=
[ -n "$source_list" ] || { say "apt knows no source packages for ${names[*]}: is a deb-src entry missing?"; exit 1; }
deps_orig_files=$(awk '$1 ~ /\.orig\.tar\./ {print $1}' <<<"$source_list")

tool_identity() { # programs...
  local p path
  for p in "$@"; do
    path=$(readlink -f "$(command -v "$p")") || { echo "missing $p"; continue; }
    echo "$p $(sha256sum <"$path" | cut -c1-16)"
  done
}
deps_key() { # kind
  {
    echo "recipe $(sha256sum <"$root/scripts/deps.sh")"
    sha256sum "$root"/scripts/patches/* | sed "s|$root/||"
    echo "$source_list"
    case $1 in
      native)
        tool_identity clang make
        clang -print-file-name=libclang_rt.fuzzer_no_main-x86_64.a
        clang -print-resource-dir ;;
      *)
        local host=$1-w64-mingw32
        tool_identity $host-gcc-posix $host-g++-posix $host-ar $host-ld cmake make
        tool_identity "$($host-gcc-posix -print-prog-name=cc1)" "$($host-gcc-posix -print-prog-name=cc1plus)"
        dpkg-query -W -f='${Package} ${Version}\n' mingw-w64-common libz-mingw-w64-dev googletest ;;
    esac
  } | tee "$build/deps/key-$1.txt" | sha256sum | cut -c1-16
}

# provide KIND: links BUILD/deps/KIND to its cached prefix, building it first
# when the cache lacks it. One build per key at a time, across clones.
provide() {
  local kind=$1 key entry
  key=$(deps_key "$kind")
  entry=$store/$kind-$key
  (
    exec 9>"$entry.lock"
    flock 9
    if [ ! -f "$entry/.complete" ]; then
      rm -rf "$entry"
      local work; work=$(mktemp -d "$store/work-$kind.XXXXXX")
      say "building the $kind libraries into the cache ($entry)"
      deps_unpack "$vexil_cache/src" "$work/src" || exit 1
      if [ "$kind" = native ]; then
        deps_build_native "$entry" "$work" "$work/src" "$jobs" || exit 1
      else
        deps_build_cross "$kind" "$entry" "$work" "$work/src" "$jobs" || exit 1
      fi
      cp "$build/deps/key-$kind.txt" "$entry/key.txt"
      touch "$entry/.complete"
      rm -rf "$work"
    else
      say "the $kind libraries come from the cache ($entry)"
    fi
    touch "$entry/.complete"
  ) || exit 1
  # A prefix built here before the cache existed is moved aside.
  local link=$build/deps/$kind
  if [ -e "$link" ] && [ ! -L "$link" ]; then
    rm -rf "$link.pre-cache"
    mv "$link" "$link.pre-cache"
  fi
  ln -sfn "$entry" "$link"
}

# Prefixes not used lately go: the three most recently used of each kind stay.
prune_store() {
  local kind entry
  for kind in i686 x86_64 native; do
    ls -dt "$store/$kind"-*/.complete 2>/dev/null | tail -n +4 | while read -r entry; do
      entry=${entry%/.complete}
      ( exec 9>"$entry.lock"; flock -n 9 && rm -rf "$entry" "$entry.lock" ) || true
    done
  done
  # Work trees of builds that died (older than a day).
  find "$store" -maxdepth 1 -name 'work-*' -mmin +1440 -exec rm -rf {} + 2>/dev/null || true
}

provide i686 &
i686_job=$!
provide x86_64 &
x86_64_job=$!
provide native
wait $i686_job || exit 1
wait $x86_64_job || exit 1
prune_store

printf '%s\n' "${run_archs[@]}" >"$build/run-archs"
say "ready ($build/deps/i686, $build/deps/x86_64; runs: ${run_archs[*]})"
