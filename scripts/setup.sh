#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, then cross-builds
# the third-party libraries into the build tree. Safe to run again: every step
# checks first and does nothing when its result is already in place.
#
#   scripts/setup.sh [build-dir]      (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
mkdir -p "$build"
build=$(cd "$build" && pwd)

say() { printf '[setup] %s\n' "$*"; }

packages=(
  g++-mingw-w64-i686 cmake make pkg-config python3 dpkg-dev
  wine wine32:i386 xvfb xauth x11-utils
  libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
  pulseaudio libpulse0:i386 libmpg123-0:i386
  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386
  fonts-ipafont-gothic locales libz-mingw-w64-dev googletest
)

missing_packages() {
  local p out=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  printf '%s\n' "${out[@]}"
}

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# --- system packages -------------------------------------------------------
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
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

# --- cross-built libraries ---------------------------------------------------
host=i686-w64-mingw32
prefix=$build/deps/prefix
src=$build/deps/src
mkdir -p "$prefix" "$src"
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
cflags="-O2 -msse2 -mfpmath=sse"
jobs=$(nproc)

# fetch PACKAGE -> prints the unpacked source directory
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

autotools_build() { # name debian-package dir-prefix extra-configure-args...
  local name=$1 pkg=$2 pat=$3; shift 3
  [ -f "$prefix/.built-$name" ] && return 0
  say "cross-building $name"
  local dir; dir=$(fetch "$pkg" "$pat")
  rm -rf "$dir/_build"; mkdir -p "$dir/_build"
  local log=$build/deps/$name.log
  # the theora tarball lacks some documentation sources, so only its library is built
  local sub=.
  [ "$name" = theora ] && sub=lib
  if ! (cd "$dir/_build" && CFLAGS="$cflags" ../configure --host=$host --prefix="$prefix" \
          --disable-shared --enable-static "$@" && make -C $sub -j"$jobs" && make -C $sub install \
          && { [ "$name" != theora ] || { make -C include install && make install-pkgconfigDATA; }; }) >"$log" 2>&1; then
    tail -n 30 "$log"; say "building $name failed (see $log)"; exit 1
  fi
  touch "$prefix/.built-$name"
}

autotools_build ogg libogg libogg-
autotools_build vorbis libvorbis libvorbis- --with-ogg="$prefix"
autotools_build theora libtheora libtheora- --with-ogg="$prefix" --disable-examples \
  --disable-encode --disable-spec --disable-oggtest --disable-vorbistest --disable-sdltest
CPPFLAGS="-I/usr/$host/include" LDFLAGS="-L/usr/$host/lib" \
  autotools_build png libpng1.6 libpng-

if [ ! -f "$prefix/.built-jpeg" ]; then
  say "cross-building jpeg"
  dir=$(fetch libjpeg-turbo libjpeg-turbo-)
  rm -rf "$dir/_build"
  cmake -S "$dir" -B "$dir/_build" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86 \
    -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$host-windres -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF >"$build/deps/jpeg.log" 2>&1
  cmake --build "$dir/_build" -j"$jobs" >>"$build/deps/jpeg.log" 2>&1
  cmake --install "$dir/_build" >>"$build/deps/jpeg.log" 2>&1
  touch "$prefix/.built-jpeg"
fi

if [ ! -f "$prefix/.built-gtest" ]; then
  say "cross-building googletest"
  rm -rf "$build/deps/gtest-build"
  cmake -S /usr/src/googletest -B "$build/deps/gtest-build" -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF >"$build/deps/gtest.log" 2>&1
  cmake --build "$build/deps/gtest-build" -j"$jobs" >>"$build/deps/gtest.log" 2>&1
  cmake --install "$build/deps/gtest-build" >>"$build/deps/gtest.log" 2>&1
  touch "$prefix/.built-gtest"
fi

say "ready ($prefix)"
