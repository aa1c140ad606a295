// The movie table and the life of a movie: open, close, pause and resume,
// and the overlay placement of DirectShow movies.
#include "movie/movie_services.h"

#include <windows.h>
#include <ddraw.h>
#include <dshow.h>

#include "audio/sound_converter.h"
#include "audio/sound_handles.h"
#include "audio/sound_services.h"
#include "graphics/device.h"
#include "graphics/handle_table.h"
#include "movie/movie_clock.h"
#include "movie/theora_player.h"
#include "runtime/log.h"
#include "runtime/main_window.h"
#include "runtime/memory.h"
#include "runtime/timing.h"
#include "runtime/window_state.h"

DEFINE_HANDLE_TABLE(MovieHandles, HANDLE_TYPE_MOVIE, MOVIE_HANDLE_MAX, SLOT_FIRST_FREE);

// Copied into every movie at open; nothing in the library sets it.
static int MovieSideBySideAlpha = 0;

namespace {

// Opens the file as Ogg Theora; false when it is no Theora movie (the file
// is then closed again).
bool OpenAsTheora(MovieData* movie, const char* path, int* width, int* height)
{
    movie->file = FileStreamOpen(path, 0, 1, 0);
    if (!movie->file)
        return false;
    movie->theora = OpenTheoraMovie(&StreamFunctions, movie->file, 10);
    if (!movie->theora) {
        FileStreamClose(movie->file);
        movie->file = 0;
        return false;
    }

    // The sound track: the same file again, as a stream sound read by the
    // second Vorbis reader.
    int savedMode = GetSoundLoadMode();
    SoundSecondReaderFlag = 1;
    SetSoundLoadMode(3);
    movie->sound = LoadSoundFile(path, 1, -1);
    SoundSecondReaderFlag = 0;
    SetSoundLoadMode(savedMode);

    TheoraMovieInfo info = {};
    GetTheoraMovieInfo(movie->theora, &info);
    movie->width = info.width;
    movie->height = info.height;
    if (width)
        *width = info.width;
    if (height)
        *height = info.height;
    movie->kind = MOVIE_KIND_THEORA;
    movie->frame = GetTheoraFrameImage(movie->theora);
    movie->frameMode = 0;
    return true;
}

void HideOverlay(MovieData* movie)
{
    if (!movie->overlaySurface)
        return;
    IDirectDrawSurface7* overlay = reinterpret_cast<IDirectDrawSurface7*>(movie->overlaySurface);
    overlay->UpdateOverlay(nullptr, static_cast<IDirectDrawSurface7*>(nullptr), nullptr, DDOVER_HIDE, nullptr);
}

} // namespace

int OpenMovie(const char* path, int* width, int* height, int option)
{
    if (!path)
        return -1;
    if (FindFreeHandleSlot(&MovieHandles) < 0)
        return -1;
    // The check value is drawn from the counter only for a movie that opens.
    const int counter = MovieHandles.checkCounter;
    int handle = -1;
    MovieData* movie = static_cast<MovieData*>(AllocHandleRecord(&MovieHandles, sizeof(MovieData), "", 0, &handle));
    if (!movie) {
        WriteLog("メモリの確保に失敗しました in OpenMovie");
        return -1;
    }
    movie->sound = -1;
    movie->sideBySideAlpha = MovieSideBySideAlpha;

    if (!OpenAsTheora(movie, path, width, height)) {
        movie->tempFile = 0;
        if (OpenMovieDirectShow(GetDirectDrawObject(), movie, path, width, height, option) == -1) {
            FreeHandleRecord(&MovieHandles, handle);
            MovieHandles.checkCounter = counter;
            WriteLog("ムービーファイルオープン処理時にエラーが発生しました");
            return -1;
        }
        movie->kind = MOVIE_KIND_DIRECTSHOW;
        movie->frame = &movie->frameImage;
    }
    movie->stopped = 1;
    movie->resume = 0;
    movie->playType = 1;
    return handle;
}

int CloseMovie(int handle)
{
    MovieData* movie = GetMovieRecord(handle);
    if (!movie)
        return -1;
    if (movie->kind == MOVIE_KIND_THEORA) {
        // The decode thread reads the file until the decoder has joined it.
        CloseTheoraMovie(movie->theora);
        if (movie->file)
            FileStreamClose(movie->file);
        movie->file = 0;
        DeleteSoundHandle(movie->sound);
        movie->theora = nullptr;
        movie->sound = -1;
        movie->kind = 0;
    }
    if (movie->frameMode == 1)
        HideOverlay(movie);
    // The renderer owns its frame buffer and frees it with itself; the frame
    // image only borrowed it.
    movie->frameImage.pixels = nullptr;
    if (movie->overlaySurface) {
        movie->overlaySurface->Release();
        movie->overlaySurface = nullptr;
    }
    ReleaseMovieGraph(movie);
    // Deleted once the graph has let go of it: an open file cannot be deleted.
    if (movie->tempFile) {
        DeleteFileW(movie->path);
        movie->tempFile = 0;
    }
    return FreeHandleRecord(&MovieHandles, handle);
}

MovieData* GetMovieRecord(int handle)
{
    return static_cast<MovieData*>(GetHandleRecord(&MovieHandles, handle));
}

int SetMovieFrameCallback(int handle, MovieFrameCallback callback, int user)
{
    MovieData* movie = GetMovieRecord(handle);
    if (!movie)
        return -1;
    movie->callback = callback;
    movie->callbackUser = user;
    return 0;
}

int PauseMovie(int handle, int keep)
{
    MovieData* movie = GetMovieRecord(handle);
    if (!movie)
        return -1;
    if (movie->stopped)
        return 0;
    if (movie->kind == MOVIE_KIND_THEORA) {
        // The frame is taken while the sound still runs: a stopped sound
        // would read as a track that has ended.
        UpdateMovieFrame(handle, 0);
        StopSoundHandle(movie->sound);
    } else {
        if (!movie->control)
            return 0;
        movie->control->Pause();
    }
    movie->stopped = 1;
    if (!keep)
        movie->resume = 0;
    return 0;
}

int PauseAllMovies()
{
    for (int slot = 0; slot < MOVIE_HANDLE_MAX; slot++) {
        int handle = HandleAtSlot(&MovieHandles, slot);
        if (handle != -1)
            PauseMovie(handle, 1);
    }
    return 0;
}

int ResumeAllMovies()
{
    for (int slot = 0; slot < MOVIE_HANDLE_MAX; slot++) {
        MovieData* movie = GetMovieRecord(HandleAtSlot(&MovieHandles, slot));
        if (!movie || !movie->stopped || !movie->resume)
            continue;
        int playType = movie->playType == 0 ? 1 : movie->playType;
        if (movie->kind == MOVIE_KIND_THEORA) {
            TheoraMovieInfo info = {};
            GetTheoraMovieInfo(movie->theora, &info);
            movie->timeBase = MovieTimeBaseForFrame(GetMicroCount(0), info.framesPerSecond,
                                                    GetTheoraCurrentFrame(movie->theora));
            PlaySoundHandle(movie->sound, playType, 0);
        } else if (movie->control) {
            movie->control->Run();
        }
        movie->stopped = 0;
        movie->playType = playType;
        movie->resume = 1;
    }
    return 0;
}

int DrawAllMovieOverlays()
{
    for (int slot = 0; slot < MOVIE_HANDLE_MAX; slot++) {
        int handle = HandleAtSlot(&MovieHandles, slot);
        MovieData* movie = GetMovieRecord(handle);
        if (movie && movie->kind == MOVIE_KIND_DIRECTSHOW && movie->frameMode == 1)
            DrawMovieOverlay(movie->overlayX, movie->overlayY, movie->overlayScale, handle, movie->overlayShow);
    }
    return 0;
}

int DrawMovieOverlay(int x, int y, double scale, int handle, int show)
{
    MovieData* movie = GetMovieRecord(handle);
    if (!movie)
        return -1;
    if (movie->frameMode != 1 || !movie->frameShown)
        return 0;
    movie->overlayX = x;
    movie->overlayY = y;
    movie->overlayScale = scale;
    movie->overlayShow = show;

    RECT source = {0, 0, movie->frameImage.width, movie->frameImage.height};
    RECT dest = {x, y, x + (LONG)(source.right * scale), y + (LONG)(source.bottom * scale)};
    RECT client = {};
    GetWindowClientScreenRect(&client);
    OffsetRect(&dest, client.left, client.top);
    bool visible = show != 0 && scale > 0;
    if (visible && GetWindowedFlag()) {
        HWND window = GetMainWindowHwnd();
        HDC dc = GetDC(window);
        RECT box = {};
        int region = dc ? GetClipBox(dc, &box) : ERROR;
        if (dc)
            ReleaseDC(window, dc);
        if (region != SIMPLEREGION) {
            visible = false;
        } else {
            OffsetRect(&box, client.left, client.top);
            IntersectRect(&client, &client, &box);
        }
    }
    RECT clipped = {};
    if (visible && IntersectRect(&clipped, &dest, &client)) {
        source.left += (LONG)((clipped.left - dest.left) / scale);
        source.top += (LONG)((clipped.top - dest.top) / scale);
        source.right -= (LONG)((dest.right - clipped.right) / scale);
        source.bottom -= (LONG)((dest.bottom - clipped.bottom) / scale);
        visible = source.right > source.left && source.bottom > source.top;
    } else {
        visible = false;
    }

    IDirectDrawSurface7* overlay = reinterpret_cast<IDirectDrawSurface7*>(movie->overlaySurface);
    if (!visible) {
        HideOverlay(movie);
        for (int i = 0; i < 4; i++)
            movie->overlaySource[i] = movie->overlayDest[i] = 0;
        return 0;
    }
    const int newSource[4] = {source.left, source.top, source.right, source.bottom};
    const int newDest[4] = {clipped.left, clipped.top, clipped.right, clipped.bottom};
    bool changed = false;
    for (int i = 0; i < 4; i++)
        changed = changed || newSource[i] != movie->overlaySource[i] || newDest[i] != movie->overlayDest[i];
    if (changed && overlay) {
        IDirectDrawSurface7* primary = nullptr;
        overlay->UpdateOverlay(&source, primary, &clipped, DDOVER_SHOW, nullptr);
    }
    for (int i = 0; i < 4; i++) {
        movie->overlaySource[i] = newSource[i];
        movie->overlayDest[i] = newDest[i];
    }
    return 0;
}
