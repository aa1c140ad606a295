// The clock of a Theora movie: which frame a time shows. Times are 64-bit
// microseconds, so hours of play neither wrap nor go negative.
#pragma once

#include <stdint.h>

// Microseconds of a sound play position in milliseconds (negative counts as 0).
int64_t MovieSoundTimeUs(int positionMs);
// The frame shown after elapsedUs at fps: past the last frame a looping
// movie wraps, any other holds the last frame. A clock that does not run
// (fps not a positive number) or a movie without frames gives -1.
int ChooseMovieFrame(int64_t elapsedUs, double fps, int frameCount, int loop);
// The time base that shows frame `frame` now, so that the clock continues at
// that frame; now itself when fps is no positive number.
uint64_t MovieTimeBaseForFrame(uint64_t nowUs, double fps, int frame);
