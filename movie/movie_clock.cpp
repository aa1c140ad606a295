#include "movie/movie_clock.h"

#include <windows.h>
#include <dshow.h>
#include <math.h>

#include "audio/sound_handles.h"
#include "movie/dshow_frame_renderer.h"
#include "movie/movie_services.h"
#include "movie/theora_player.h"
#include "runtime/timing.h"

namespace {

bool ClockRuns(double fps)
{
    return isfinite(fps) && fps > 0;
}

int PlayTypeLoops(int playType)
{
    return (playType & 2) ? 1 : 0;
}

} // namespace

int64_t MovieSoundTimeUs(int positionMs)
{
    return positionMs < 0 ? 0 : (int64_t)positionMs * 1000;
}

int ChooseMovieFrame(int64_t elapsedUs, double fps, int frameCount, int loop)
{
    if (!ClockRuns(fps) || frameCount <= 0)
        return -1;
    if (elapsedUs < 0)
        elapsedUs = 0;
    // Frames since frame 0, truncated; kept as a double until it is known to
    // fit, since a long time at a high rate passes any integer range.
    double frames = trunc((double)elapsedUs * fps / 1000000.0);
    if (frames < frameCount)
        return (int)frames;
    if (!loop)
        return frameCount - 1;
    if (frames < 9.0e18)
        return (int)((int64_t)frames % frameCount);
    return (int)fmod(frames, (double)frameCount);
}

uint64_t MovieTimeBaseForFrame(uint64_t nowUs, double fps, int frame)
{
    if (!ClockRuns(fps) || frame <= 0)
        return nowUs;
    // Rounded up: a base one microsecond too late would read as the frame
    // before, which the update takes as a step forward over the end.
    double back = ceil((double)frame * 1000000.0 / fps);
    if (!(back < 1.8e19))
        return nowUs;
    // Modular: a base "before" the clock's zero still gives the right
    // difference when the elapsed time is taken the same way.
    return nowUs - (uint64_t)back;
}

// ---------------------------------------------------------------------------
// Bringing a movie up to date at a draw of its graph.

namespace {

void UpdateTheoraMovie(MovieData* movie)
{
    TheoraMovieInfo info = {};
    GetTheoraMovieInfo(movie->theora, &info);
    const int count = info.frameCount;
    if (!movie->stopped) {
        int frame;
        bool ended = false;
        if (movie->sound != -1) {
            // A movie with sound follows its track and never loops its
            // pictures. Once the track has ended its position reads from the
            // start again, so the picture holds on the last frame instead.
            if (CheckSoundPlaying(movie->sound) == 0) {
                frame = count - 1;
                ended = true;
            } else {
                frame = ChooseMovieFrame(MovieSoundTimeUs(GetSoundPlayPositionMs(movie->sound)),
                                         info.framesPerSecond, count, 0);
            }
        } else {
            int64_t elapsed = (int64_t)(GetMicroCount(0) - movie->timeBase);
            frame = ChooseMovieFrame(elapsed, info.framesPerSecond, count, PlayTypeLoops(movie->playType));
        }
        const int current = GetTheoraCurrentFrame(movie->theora);
        if (frame >= 0 && current >= 0 && frame != current)
            AdvanceTheoraMovie(movie->theora, frame > current ? frame - current : count - current + frame);
        if (ended || (frame >= 0 && frame == current && current == count - 1 && movie->sound == -1 &&
                      !PlayTypeLoops(movie->playType))) {
            movie->stopped = 1;
            movie->resume = 0;
        }
    }
    if (movie->callback) {
        movie->callback(movie, movie->callbackUser);
        movie->frameShown = 1;
    }
}

void UpdateDirectShowMovie(MovieData* movie)
{
    MovieFrameRenderer* renderer = movie->renderer;
    // The streaming thread raises the flag; taking it is one atomic step so a
    // frame raised in between is not lost.
    if (renderer && InterlockedExchange(&renderer->newFrame, 0) && movie->callback && renderer->frameBuffer) {
        RasterImage* image = &movie->frameImage;
        SetColorFormatRGB24(&image->format);
        image->width = renderer->width;
        image->height = renderer->height;
        image->pitch = renderer->stride;
        image->pixels = renderer->frameBuffer;
        movie->frame = image;
        movie->callback(movie, movie->callbackUser);
    }
    if (movie->seeking && movie->control) {
        LONGLONG position = 0;
        if (SUCCEEDED(movie->seeking->GetCurrentPosition(&position)) && position >= movie->stopPosition) {
            if (PlayTypeLoops(movie->playType)) {
                LONGLONG start = 0;
                movie->seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr,
                                             AM_SEEKING_NoPositioning);
                movie->control->Run();
            } else {
                // The graph keeps running and shows its last frame.
                movie->stopped = 1;
                movie->resume = 0;
            }
        }
    }
}

} // namespace

int UpdateMovieFrame(int handle, int flag)
{
    (void)flag;
    MovieData* movie = GetMovieRecord(handle);
    if (!movie)
        return 0;
    if (movie->kind == MOVIE_KIND_THEORA)
        UpdateTheoraMovie(movie);
    else
        UpdateDirectShowMovie(movie);
    return 0;
}
