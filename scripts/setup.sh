#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, then cross-builds
# the third-party libraries into the build tree, once per target architecture.
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
  lame ffmpeg
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

# --- cross-built libraries, one prefix per architecture ---------------------------
src=$build/deps/src
mkdir -p "$src"
jobs=$(nproc)

# fetch PACKAGE DIR-PREFIX -> prints the unpacked source directory
fetch() {
  local pkg=$1 dir
  dir=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n 1)
  if [ -z "$dir" ]; then
    (cd "$src" && apt-get source --download-only -q "$pkg" >"$build/deps/fetch-$pkg.log" 2>&1) || { cat "$build/deps/fetch-$pkg.log" >&2; exit 1; }
    local tarball
    tarball=$(ls "$src"/"${pkg}"_*.orig.tar.* | head -n 1)
    tar -C "$src" -xf "$tarball"
    dir=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n 1)
  fi
  echo "$dir"
}

# The five source trees are unpacked once and built out of tree per architecture.
build_deps() { # arch
  local arch=$1
  local host=$arch-w64-mingw32
  local prefix=$build/deps/$arch
  local work=$build/deps/work-$arch
  local cflags="-O2 -msse2 -mfpmath=sse"
  local CC=$host-gcc-posix CXX=$host-g++-posix
  mkdir -p "$prefix" "$work"

  autotools_build() { # name debian-package dir-prefix extra-configure-args...
    local name=$1 pkg=$2 pat=$3; shift 3
    [ -f "$prefix/.built-$name" ] && return 0
    say "cross-building $name for $arch"
    local dir; dir=$(fetch "$pkg" "$pat")
    local out=$work/$name
    rm -rf "$out"; mkdir -p "$out"
    local log=$work/$name.log
    # the theora tarball lacks some documentation sources, so only its library is built
    local sub=.
    [ "$name" = theora ] && sub=lib
    if ! (cd "$out" && CC=$CC CXX=$CXX AR=$host-ar RANLIB=$host-ranlib CFLAGS="$cflags" \
            "$dir/configure" --host=$host --prefix="$prefix" \
            --disable-shared --enable-static "$@" && make -C $sub -j"$jobs" && make -C $sub install \
            && { [ "$name" != theora ] || { make -C include install && make install-pkgconfigDATA; }; }) >"$log" 2>&1; then
      tail -n 30 "$log"; say "building $name for $arch failed (see $log)"; exit 1
    fi
    touch "$prefix/.built-$name"
  }

  autotools_build ogg libogg libogg-
  autotools_build vorbis libvorbis libvorbis- --with-ogg="$prefix"
  autotools_build theora libtheora libtheora- --with-ogg="$prefix" --disable-examples \
    --disable-encode --disable-spec --disable-oggtest --disable-vorbistest --disable-sdltest
  CPPFLAGS="-I/usr/$host/include" LDFLAGS="-L/usr/$host/lib" \
    autotools_build png libpng1.6 libpng-

  local processor=x86
  [ "$arch" = x86_64 ] && processor=AMD64
  if [ ! -f "$prefix/.built-jpeg" ]; then
    say "cross-building jpeg for $arch"
    local dir; dir=$(fetch libjpeg-turbo libjpeg-turbo-)
    rm -rf "$work/jpeg"
    { cmake -S "$dir" -B "$work/jpeg" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=$processor \
        -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$host-windres -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF &&
      cmake --build "$work/jpeg" -j"$jobs" && cmake --install "$work/jpeg"; } >"$work/jpeg.log" 2>&1 ||
      { tail -n 30 "$work/jpeg.log"; say "building jpeg for $arch failed"; exit 1; }
    touch "$prefix/.built-jpeg"
  fi

  if [ ! -f "$prefix/.built-gtest" ]; then
    say "cross-building googletest for $arch"
    rm -rf "$work/gtest"
    { cmake -S /usr/src/googletest -B "$work/gtest" -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_SYSTEM_PROCESSOR=$processor \
        -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF &&
      cmake --build "$work/gtest" -j"$jobs" && cmake --install "$work/gtest"; } >"$work/gtest.log" 2>&1 ||
      { tail -n 30 "$work/gtest.log"; say "building googletest for $arch failed"; exit 1; }
    touch "$prefix/.built-gtest"
  fi
}

# The Ogg, Vorbis and Theora libraries once more for the native sanitizer tree
# (scripts/fuzz.sh), under AddressSanitizer like the library's own units, so
# that an overrun a hostile stream causes inside them is reported too.
build_native_deps() {
  local prefix=$build/deps/native
  local work=$build/deps/work-native
  mkdir -p "$prefix" "$work"
  local name pkg pat extra sub
  for name in ogg vorbis theora; do
    [ -f "$prefix/.built-$name" ] && continue
    say "building $name natively for the sanitizer tree"
    pkg=lib$name pat=lib$name-
    local dir; dir=$(fetch "$pkg" "$pat")
    # As in the cross build, only Theora's library and headers are built.
    extra=() sub=.
    [ $name = theora ] && extra=(--disable-examples --disable-encode --disable-spec --disable-oggtest
                                 --disable-vorbistest --disable-sdltest) sub=lib
    rm -rf "${work:?}/$name"; mkdir -p "$work/$name"
    if ! (cd "$work/$name" && CC=clang CFLAGS="-g -O1 -fno-omit-frame-pointer -fsanitize=address" \
            LDFLAGS="-fsanitize=address" "$dir/configure" --prefix="$prefix" --disable-shared \
            --enable-static --with-ogg="$prefix" "${extra[@]}" && make -C $sub -j"$jobs" \
            && make -C $sub install && { [ $name != theora ] || make -C include install; }) \
            >"$work/$name.log" 2>&1; then
      tail -n 30 "$work/$name.log"; say "building $name natively failed (see $work/$name.log)"; exit 1
    fi
    touch "$prefix/.built-$name"
  done
}

# Unpack every source tree before the two architectures build side by side.
for pair in libogg:libogg- libvorbis:libvorbis- libtheora:libtheora- libpng1.6:libpng- \
            libjpeg-turbo:libjpeg-turbo-; do
  fetch "${pair%%:*}" "${pair#*:}" >/dev/null
done

# Our fixes to the libraries' sources (scripts/patches), applied once to the
# unpacked tree; a fix applied now rebuilds that library in every prefix.
apply_fix() { # dir-prefix library-name patch-file
  local dir; dir=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name "$1*" | head -n 1)
  patch -d "$dir" -p1 -R --dry-run -s -f <"$3" >/dev/null 2>&1 && return 0
  say "applying $(basename "$3")"
  patch -d "$dir" -p1 -s -f <"$3" || { say "$(basename "$3") does not apply to $dir"; exit 1; }
  rm -f "$build"/deps/*/.built-"$2"
}
# A page whose segment table disagrees with its body would let the stream
# state take out more bytes than it holds (a seek in a crafted Vorbis file).
apply_fix libogg- ogg "$root/scripts/patches/libogg-pagein-lacing.patch"
# A codebook that fails to build must not stay half-built for the next
# decoder set-up on the same stream (an integer division by zero).
apply_fix libvorbis- vorbis "$root/scripts/patches/libvorbis-abort-books.patch"
build_deps i686 &
i686_job=$!
build_deps x86_64
wait $i686_job
build_native_deps

printf '%s\n' "${run_archs[@]}" >"$build/run-archs"
say "ready ($build/deps/i686, $build/deps/x86_64; runs: ${run_archs[*]})"
