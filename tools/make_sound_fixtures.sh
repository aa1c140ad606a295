#!/usr/bin/env bash
# Writes the sound converter tests' fixtures: compressed WAVE, MP3 and Ogg
# Vorbis files of short generated tones, with reference decodes made by the
# same tools (raw 16-bit signed little-endian PCM).
#
#   tools/make_sound_fixtures.sh [output-dir]   (default tests/audio/fixtures)
#
# Needs sox, lame and oggenc/oggdec (Debian: sox lame vorbis-tools); the tests
# only read the committed results. Prints the MP3 files' frame counts, found by
# a frame walk of its own, which the MP3 tests repeat.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/tests/audio/fixtures}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Stereo 44.1 kHz, 0.5 s: two tones, one per channel.
sox -R -D -n -r 44100 -c 2 -b 16 -e signed "$tmp/stereo.wav" synth 0.5 sine 440 sine 660 gain -6
# Mono 22.05 kHz, 0.25 s, for the compressed WAVE formats.
sox -R -D -n -r 22050 -c 1 -b 16 -e signed "$tmp/mono.wav" synth 0.25 sine 523 gain -6

# WAVE through ACM: IMA ADPCM and mu-law, with what sox decodes them to.
sox -R -D "$tmp/mono.wav" -e ima-adpcm "$out/ima_adpcm.wav"
sox -R -D "$out/ima_adpcm.wav" -t raw -e signed -b 16 "$out/ima_adpcm.raw"
sox -R -D "$tmp/mono.wav" -e u-law "$out/mulaw.wav"
sox -R -D "$out/mulaw.wav" -t raw -e signed -b 16 "$out/mulaw.raw"

# Ogg Vorbis and its reference decode.
oggenc -Q -q 0 --serial 1 -o "$out/stereo.ogg" "$tmp/stereo.wav"
oggdec -Q -R -e 0 -b 16 -s 1 -o "$out/stereo_ogg.raw" "$out/stereo.ogg"
# Mono noise, 2 s at 22.05 kHz: enough data for several audio pages, so that one
# in the middle can be damaged while the others still decode.
sox -R -D -n -r 22050 -c 1 -b 16 -e signed "$tmp/noise.wav" synth 2 pinknoise gain -6
oggenc -Q -q 6 --serial 2 -o "$out/noise.ogg" "$tmp/noise.wav"

# MP3 without the encoder's info frame, so that every frame holds audio:
# MPEG-1 Layer III stereo 44.1 kHz, MPEG-2 Layer III mono 22.05 kHz, and the
# MPEG-1 file again with an ID3v2 tag in front and an ID3v1 trailer.
lame --quiet -t --cbr -b 96 --resample 44.1 "$tmp/stereo.wav" "$out/mpeg1.mp3"
lame --quiet -t --cbr -b 32 --resample 22.05 -m m "$tmp/mono.wav" "$out/mpeg2.mp3"
lame --quiet -t --cbr -b 96 --resample 44.1 --add-id3v2 --tt "Tone" --ta "Fixture" "$tmp/stereo.wav" "$out/tagged.mp3"

python3 - "$out" <<'EOF'
import sys, os
MPEG1_L3 = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
MPEG2_L3 = [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160]
RATES = {1: [44100, 48000, 32000], 0: [22050, 24000, 16000]}
for name in ("mpeg1.mp3", "mpeg2.mp3", "tagged.mp3"):
    data = open(os.path.join(sys.argv[1], name), "rb").read()
    pos = 0
    if data[:3] == b"ID3":
        s = data[6:10]
        pos = 10 + (s[0] << 21 | s[1] << 14 | s[2] << 7 | s[3])
    end = len(data) - (128 if data[-128:-125] == b"TAG" else 0)
    frames = 0
    versions = set()
    while pos + 4 <= end:
        h = data[pos:pos + 4]
        assert h[0] == 0xFF and h[1] & 0xE0 == 0xE0, (name, pos)
        mpeg1 = (h[1] >> 3) & 1
        versions.add("MPEG-1" if mpeg1 else "MPEG-2")
        rate = RATES[mpeg1][(h[2] >> 2) & 3]
        kbps = (MPEG1_L3 if mpeg1 else MPEG2_L3)[h[2] >> 4]
        length = (144000 if mpeg1 else 72000) * kbps // rate + ((h[2] >> 1) & 1)
        frames += 1
        pos += length
    print(f"{name}: {frames} frames of {'/'.join(sorted(versions))}, audio from {len(data) - end} bytes before the end")
EOF
