#!/bin/sh
# Makes the Theora test movies (needs ffmpeg with the libtheora and libvorbis
# encoders). Frame k of the flat movies has luma 16 + 6k and neutral chroma,
# so a decoded picture names its frame; a key frame comes every 4 frames.
#   tools/make_movie_fixtures.sh [output folder]        the committed fixtures
#   tools/make_movie_fixtures.sh --bench output.ogv      the 640x360 benchmark movie
set -eu

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

if [ "${1:-}" = "--bench" ]; then
    # Five seconds of a moving test pattern at 30 frames a second.
    ff -f lavfi -i "testsrc2=size=640x360:rate=30:duration=5" -pix_fmt yuv420p \
       -c:v libtheora -q:v 7 -g 30 "$2"
    exit 0
fi

out=${1:-"$(dirname "$0")/../tests/movie/fixtures"}
mkdir -p "$out"

flat() { # name pixel-format frames
    ff -f lavfi -i "nullsrc=size=64x48:rate=24,format=$2,geq=lum='if(lt(X,W/2)*lt(Y,H/2),16+6*N,128+50*sin(X*0.9)*cos(Y*1.3))':cb=128:cr=128" \
       -frames:v "$3" -c:v libtheora -q:v 10 -g 4 -an "$out/$1"
}
flat flat420.ogv yuv420p 32
flat flat422.ogv yuv422p 8
flat flat444.ogv yuv444p 8

# Dark top half and bright bottom half, blue-ish left and red-ish right: a
# picture copied upside down or with misplaced chroma shows it.
ff -f lavfi -i "nullsrc=size=64x48:rate=24,format=yuv420p,geq=lum='if(lt(Y,H/2),40,200)':cb='if(lt(X,W/2),170,90)':cr='if(lt(X,W/2),90,170)'" \
   -frames:v 4 -c:v libtheora -q:v 10 -g 4 -an "$out/halves.ogv"

# Two seconds at 10 frames a second with a 440 Hz Vorbis tone.
ff -f lavfi -i "nullsrc=size=64x48:rate=10,format=yuv420p,geq=lum='16+8*N':cb=128:cr=128" \
   -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=2" \
   -t 2 -c:v libtheora -q:v 8 -g 4 -c:a libvorbis -ac 1 -q:a 0 "$out/tone.ogv"
