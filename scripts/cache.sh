# Sourced by the other scripts: where built inputs are kept between clones, and
# the compiler cache. The cache lives outside the clone, so a fresh clone on a
# machine that built before finds the cross-built libraries and the compiled
# objects of earlier runs:
#   VEXIL_CACHE, else $XDG_CACHE_HOME/vexil, else ~/.cache/vexil
#     deps/KIND-KEY   one prefix of third-party libraries (KIND: i686, x86_64,
#                     native), KEY a hash of everything that went into it
#     src/            the Debian source packages they were built from
#     ccache/         the compiler cache of the mingw and native builds
# Deleting it costs only time.
vexil_cache=${VEXIL_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/vexil}
mkdir -p "$vexil_cache"

# CMake arguments that put the compiler cache in front of the compilers (none
# when ccache is missing). Paths under the clone are hashed relative to it, so
# another clone of the same sources hits; the cache keeps itself under its size.
vexil_launcher=()
if command -v ccache >/dev/null 2>&1 && [ "${VEXIL_CCACHE:-1}" = 1 ]; then
  export CCACHE_DIR=${CCACHE_DIR:-$vexil_cache/ccache}
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  export CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-4G}
  vexil_launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
