// The playback graph of a movie that is not Ogg Theora: the platform's filter
// graph renders the file into the library's movie frame renderer, which takes
// only RGB24 video, so the graph builder adds the decoders and converter it
// needs. The platform's file source reads only real files, so a movie it
// cannot open (one inside a data archive) is copied to a temporary file first.
#include "movie/movie_services.h"

#include <windows.h>
#include <dshow.h>
#include <stdio.h>

#include "movie/dshow_frame_renderer.h"
#include "runtime/file/stream.h"
#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"

namespace {

const size_t kCopyPiece = 1048576;

// Copies the file through the file layer into a new temporary file, whose
// path goes to the record; false when nothing was made (no file left behind).
bool CopyToTempFile(MovieData* movie, const char* path)
{
    StreamHandle file = FileStreamOpen(path, 0, 1, 0);
    if (!file)
        return false;
    FileStreamSeek(file, 0, 2);
    long size = FileStreamTell(file);
    FileStreamSeek(file, 0, 0);
    if (size < 0)
        size = 0;
    void* buffer = AllocTracked(kCopyPiece, "", 0);
    if (!buffer) {
        FileStreamClose(file);
        return false;
    }
    char tempPath[FULL_PATH_SIZE];
    HANDLE temp = CreateTempFile(tempPath);
    if (temp == INVALID_HANDLE_VALUE || !temp) {
        FileStreamClose(file);
        FreeTracked(buffer);
        return false;
    }
    if (!MultiByteToWideChar(932, 0, tempPath, -1, movie->path, MOVIE_PATH_MAX))
        movie->path[0] = 0;
    movie->path[MOVIE_PATH_MAX - 1] = 0;
    movie->tempFile = 1;
    size_t copied = 0;
    while (copied < (size_t)size) {
        size_t piece = (size_t)size - copied < kCopyPiece ? (size_t)size - copied : kCopyPiece;
        size_t got = FileStreamRead(buffer, 1, piece, file);
        DWORD written = 0;
        if (got && !WriteFile(temp, buffer, (DWORD)got, &written, nullptr))
            written = 0;
        // A short read or write ends the copy; the graph then judges the
        // shortened file.
        if (got < piece || written < got)
            break;
        copied += piece;
    }
    FileStreamClose(file);
    CloseHandle(temp);
    FreeTracked(buffer);
    return true;
}

} // namespace

void ReleaseMovieGraph(MovieData* movie)
{
    // Stopping first ends the streaming threads before the renderer and the
    // frame buffer they write go away with the graph.
    if (movie->control)
        movie->control->Stop();
    if (movie->audio)
        movie->audio->Release();
    if (movie->seeking)
        movie->seeking->Release();
    if (movie->control)
        movie->control->Release();
    if (movie->graph)
        movie->graph->Release();
    movie->audio = nullptr;
    movie->seeking = nullptr;
    movie->control = nullptr;
    movie->graph = nullptr;
    movie->renderer = nullptr;
}

int OpenMovieDirectShow(void* directDraw, MovieData* movie, const char* path, int* width, int* height, int mode)
{
    (void)directDraw;
    (void)mode;
    movie->frameImage.pixels = nullptr;
    movie->overlayX = movie->overlayY = movie->overlayShow = 0;
    movie->overlayScale = 0;
    for (int i = 0; i < 4; i++)
        movie->overlaySource[i] = movie->overlayDest[i] = 0;
    movie->frameShown = 0;

    char message[FULL_PATH_SIZE + 64];
    const char* failure = nullptr;
    HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                      IID_IGraphBuilder, reinterpret_cast<void**>(&movie->graph));
    if (FAILED(result) || !movie->graph) {
        movie->graph = nullptr;
        failure = "CLSID_FilterGraph の作成に失敗しました";
    }
    if (!failure) {
        HRESULT created = S_OK;
        movie->renderer = CreateMovieFrameRenderer(nullptr, &created);
        // Held while it is added: a renderer the graph refuses goes again
        // with this reference instead of staying behind at a count of 0.
        IBaseFilter* filter = movie->renderer ? movie->renderer->BaseFilterInterface() : nullptr;
        if (filter)
            filter->AddRef();
        result = movie->graph->AddFilter(filter, L"MovieRenderer");
        if (filter)
            filter->Release();
        if (FAILED(result) || !filter) {
            movie->renderer = nullptr;
            failure = "Could not add renderer filter to graph!";
        }
    }
    if (!failure && FAILED(movie->graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&movie->audio))))
        failure = "BasicAudio インターフェースの取得に失敗しました";
    if (!failure &&
        FAILED(movie->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&movie->control))))
        failure = "IID_IMediaControlインターフェイスの取得に失敗しました";
    if (!failure &&
        FAILED(movie->graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&movie->seeking))))
        failure = "IID_IMediaSeekingインターフェイスの取得に失敗しました";
    if (!failure) {
        if (!MultiByteToWideChar(SystemState.settings.codePage, 0, path, -1, movie->path, MOVIE_PATH_MAX))
            movie->path[0] = 0;
        movie->path[MOVIE_PATH_MAX - 1] = 0;
        if (FAILED(movie->graph->RenderFile(movie->path, nullptr))) {
            snprintf(message, sizeof(message), "ファイル:%s が開けませんでした", path);
            failure = message;
            if (CopyToTempFile(movie, path) && SUCCEEDED(movie->graph->RenderFile(movie->path, nullptr)))
                failure = nullptr;
        }
    }
    if (failure) {
        // The graph goes first: a source filter left in it after a failed
        // render still holds the copy open, and an open file is not deleted.
        ReleaseMovieGraph(movie);
        if (movie->tempFile) {
            DeleteFileW(movie->path);
            movie->tempFile = 0;
        }
        WriteLog(failure);
        return -1;
    }

    LONGLONG duration = 0, stop = 0;
    movie->seeking->GetDuration(&duration);
    movie->duration = duration == 0 ? 166666 : duration;
    movie->seeking->GetStopPosition(&stop);
    movie->stopPosition = stop;
    if (width)
        *width = movie->renderer->width;
    if (height)
        *height = movie->renderer->height;
    return 0;
}
