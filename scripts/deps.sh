# Sourced by setup.sh: how the third-party libraries are built from Debian's
# source packages. This file is part of the cache key of every prefix it
# builds (see setup.sh), so a change here builds them again.

# The packages and the directory prefix of their unpacked sources.
deps_packages=(libogg:libogg- libvorbis:libvorbis- libtheora:libtheora- libpng1.6:libpng- libjpeg-turbo:libjpeg-turbo-)

# deps_unpack SRC-CACHE DEST: the source tarballs (downloaded once into
# SRC-CACHE, one download at a time) unpacked into DEST, with our fixes
# (scripts/patches) applied.
deps_unpack() {
  local store=$1 dest=$2 pair pkg tarball
  mkdir -p "$store" "$dest"
  (
    exec 8>"$store/.lock"
    flock 8
    for pair in "${deps_packages[@]}"; do
      pkg=${pair%%:*}
      tarball=$(ls "$store/$pkg/${pkg}"_*.orig.tar.* 2>/dev/null | head -n 1 || true)
      [ -n "$tarball" ] && grep -qxF "$(basename "$tarball")" <<<"$deps_orig_files" && continue
      rm -rf "${store:?}/$pkg"; mkdir -p "$store/$pkg"
      (cd "$store/$pkg" && apt-get source --download-only -q "$pkg" >fetch.log 2>&1) ||
        { cat "$store/$pkg/fetch.log" >&2; exit 1; }
    done
  ) || return 1
  for pair in "${deps_packages[@]}"; do
    pkg=${pair%%:*}
    tarball=$(ls "$store/$pkg/${pkg}"_*.orig.tar.* | head -n 1)
    tar -C "$dest" -xf "$tarball" || return 1
  done
  # A page whose segment table disagrees with its body would let the stream
  # state take out more bytes than it holds (a seek in a crafted Vorbis file).
  deps_patch "$dest" libogg- libogg-pagein-lacing.patch || return 1
  # A codebook that fails to build must not stay half-built for the next
  # decoder set-up on the same stream (an integer division by zero).
  deps_patch "$dest" libvorbis- libvorbis-abort-books.patch || return 1
}

deps_patch() { # src dir-prefix patch
  local dir; dir=$(find "$1" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n 1)
  patch -d "$dir" -p1 -s -f <"$root/scripts/patches/$3" >/dev/null ||
    { echo "$3 does not apply to $dir" >&2; return 1; }
}

deps_dir() { # src dir-prefix
  find "$1" -maxdepth 1 -mindepth 1 -type d -name "$2*" | head -n 1
}

# deps_build_cross ARCH PREFIX WORK SRC JOBS: libogg, libvorbis, libtheora,
# libpng, libjpeg and GoogleTest cross-built for ARCH into PREFIX.
deps_build_cross() {
  local arch=$1 prefix=$2 work=$3 src=$4 jobs=$5
  local host=$arch-w64-mingw32
  local cflags="-O2 -msse2 -mfpmath=sse"
  local CC=$host-gcc-posix CXX=$host-g++-posix
  mkdir -p "$prefix" "$work"

  autotools_build() { # name dir-prefix extra-configure-args...
    local name=$1 pat=$2; shift 2
    say "cross-building $name for $arch"
    local dir; dir=$(deps_dir "$src" "$pat")
    local out=$work/$name log=$work/$name.log
    rm -rf "$out"; mkdir -p "$out"
    # the theora tarball lacks some documentation sources, so only its library is built
    local sub=.
    [ "$name" = theora ] && sub=lib
    if ! (cd "$out" && CC=$CC CXX=$CXX AR=$host-ar RANLIB=$host-ranlib CFLAGS="$cflags" \
            "$dir/configure" --host=$host --prefix="$prefix" \
            --disable-shared --enable-static "$@" && make -C $sub -j"$jobs" && make -C $sub install \
            && { [ "$name" != theora ] || { make -C include install && make install-pkgconfigDATA; }; }) >"$log" 2>&1; then
      tail -n 30 "$log"; say "building $name for $arch failed (see $log)"; return 1
    fi
  }

  autotools_build ogg libogg- || return 1
  autotools_build vorbis libvorbis- --with-ogg="$prefix" || return 1
  autotools_build theora libtheora- --with-ogg="$prefix" --disable-examples \
    --disable-encode --disable-spec --disable-oggtest --disable-vorbistest --disable-sdltest || return 1
  CPPFLAGS="-I/usr/$host/include" LDFLAGS="-L/usr/$host/lib" autotools_build png libpng- || return 1

  local processor=x86
  [ "$arch" = x86_64 ] && processor=AMD64
  say "cross-building jpeg for $arch"
  { cmake -S "$(deps_dir "$src" libjpeg-turbo-)" -B "$work/jpeg" -DCMAKE_SYSTEM_NAME=Windows \
      -DCMAKE_SYSTEM_PROCESSOR=$processor \
      -DCMAKE_C_COMPILER=$CC -DCMAKE_RC_COMPILER=$host-windres -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
      -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF &&
    cmake --build "$work/jpeg" -j"$jobs" && cmake --install "$work/jpeg"; } >"$work/jpeg.log" 2>&1 ||
    { tail -n 30 "$work/jpeg.log"; say "building jpeg for $arch failed"; return 1; }

  say "cross-building googletest for $arch"
  { cmake -S /usr/src/googletest -B "$work/gtest" -DCMAKE_SYSTEM_NAME=Windows \
      -DCMAKE_SYSTEM_PROCESSOR=$processor \
      -DCMAKE_C_COMPILER=$CC -DCMAKE_CXX_COMPILER=$CXX -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS="$cflags" -DCMAKE_INSTALL_PREFIX="$prefix" \
      -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF &&
    cmake --build "$work/gtest" -j"$jobs" && cmake --install "$work/gtest"; } >"$work/gtest.log" 2>&1 ||
    { tail -n 30 "$work/gtest.log"; say "building googletest for $arch failed"; return 1; }
}

# deps_build_native PREFIX WORK SRC JOBS: the Ogg, Vorbis and Theora libraries
# once more for the native sanitizer tree (scripts/fuzz.sh), under
# AddressSanitizer like the library's own units, so that an overrun a hostile
# stream causes inside them is reported too, and with libFuzzer's coverage
# counters, so that the fuzz targets steer by their branches as well.
deps_build_native() {
  local prefix=$1 work=$2 src=$3 jobs=$4
  local flags="-g -O1 -fno-omit-frame-pointer -fsanitize=address,fuzzer-no-link"
  mkdir -p "$prefix" "$work"
  local name extra sub dir
  for name in ogg vorbis theora; do
    say "building $name natively for the sanitizer tree"
    dir=$(deps_dir "$src" "lib$name-")
    # As in the cross build, only Theora's library and headers are built.
    extra=() sub=.
    [ $name = theora ] && extra=(--disable-examples --disable-encode --disable-spec --disable-oggtest
                                 --disable-vorbistest --disable-sdltest) sub=lib
    rm -rf "${work:?}/$name"; mkdir -p "$work/$name"
    if ! (cd "$work/$name" && CC=clang CFLAGS="$flags" LDFLAGS="-fsanitize=address" \
            "$dir/configure" --prefix="$prefix" --disable-shared \
            --enable-static --with-ogg="$prefix" "${extra[@]}" && make -C $sub -j"$jobs" \
            && make -C $sub install && { [ $name != theora ] || make -C include install; }) \
            >"$work/$name.log" 2>&1; then
      tail -n 30 "$work/$name.log"; say "building $name natively failed (see $work/$name.log)"; return 1
    fi
  done
}
