// The Theora player: the open and close, the movie position, and the decode
// thread that keeps a stock of decoded frames at and ahead of the current
// frame.
#include "movie/theora_player.h"

#include <string.h>

#include <new>

#include <d3d9.h>

#include "runtime/log.h"
#include "runtime/memory.h"

namespace {

const int kReadChunk = 4096;
const int kMaxStock = 1000;

// Frames a stock window of the current frame may hold: the current frame and
// the ones after it, wrapping past the end.
int WindowSize(const TheoraDecoder* d)
{
    return d->frameCount < d->stockSize ? (int)d->frameCount : d->stockSize;
}

bool InWindow(const TheoraDecoder* d, int frame, int cur)
{
    int64_t distance = ((int64_t)frame - cur) % d->frameCount;
    if (distance < 0)
        distance += d->frameCount;
    return distance < WindowSize(d);
}

// Empties an entry unless the main thread is reading it: the main thread
// names the entry before it checks the filled flag, so one of the two sides
// always sees the other.
void DropEntry(TheoraDecoder* d, int index)
{
    TheoraStockEntry* e = &d->stock[index];
    e->filled.store(0);
    if (d->fetchEntry.load() == index)
        e->filled.store(1);
}

int FindEntry(const TheoraDecoder* d, int frame)
{
    for (int i = 0; i < d->stockSize; i++)
        if (d->stock[i].filled.load() && d->stock[i].frame == frame)
            return i;
    return -1;
}

void ResetStreams(TheoraDecoder* d, uint32_t offset)
{
    ogg_sync_reset(&d->sync);
    ogg_stream_reset(&d->stream);
    d->files.seek(d->file, (long)offset, 0);
}

// Moves the decoder to frame target from the nearest page before a key frame
// at or below it, and empties the stock. Sets the end-of-data flag when the
// frame cannot be reached, so that waiting fetches give up.
void SeekDecoder(TheoraDecoder* d, int target)
{
    for (int i = 0; i < d->stockSize; i++)
        DropEntry(d, i);
    if (d->pageCount == 0 || target < 0 || target >= d->frameCount) {
        d->endOfData.store(1);
        return;
    }
    int r = 0;
    while (r < d->pageCount - 1 && d->pages[r].firstFrame + d->pages[r].frameCount <= target)
        r++;
    if (r > 0) {
        r--;
        while (r > 0 && !d->pages[r].keyFrame)
            r--;
        if (r > 0)
            r--;
    }
    ResetStreams(d, d->pages[r].offset);
    int first = d->pages[r].firstFrame;
    bool ended = false;
    if (r > 0) {
        // The record's first packet may have begun on the page before, which
        // was not read: it comes out incomplete and is skipped by libogg.
        while (ogg_sync_pageout(&d->sync, &d->page) <= 0) {
            if (ReadTheoraData(d, kReadChunk) == 0) {
                ended = true;
                break;
            }
        }
        if (!ended) {
            if (ogg_page_continued(&d->page))
                first++;
            ogg_stream_pagein(&d->stream, &d->page);
        }
    }
    d->decodePosition = first - 1;  // no picture held yet
    for (int f = first; f <= target && !ended; f++)
        if (DecodeTheoraFrames(d, 1) < 0)
            ended = true;
    d->decodePosition = target;
    d->endOfData.store(ended ? 1 : 0);
}

// Drops stock entries the current frame no longer needs.
void DropStaleEntries(TheoraDecoder* d, int cur)
{
    const int s = d->stockSize;
    const int64_t n = d->frameCount;
    bool haveCurrent = FindEntry(d, cur) >= 0;
    for (int i = 0; i < s; i++) {
        TheoraStockEntry* e = &d->stock[i];
        if (!e->filled.load() || e->frame == cur)
            continue;
        int f = e->frame;
        bool drop;
        if (f < cur)
            drop = !((int64_t)cur + s >= n && f <= (int64_t)cur + s - n);
        else
            drop = f > d->decodePosition && (int64_t)f > (int64_t)cur + s;
        // Without the current frame, a stock full of frames outside its
        // window would never make room for it.
        if (!haveCurrent && !InWindow(d, f, cur))
            drop = true;
        if (drop)
            DropEntry(d, i);
    }
}

bool StorePicture(TheoraDecoder* d, TheoraStockEntry* e)
{
    yuv_buffer yuv;
    return theora_decode_YUVout(&d->decoder, &yuv) == 0 && CopyTheoraPicture(e, &yuv, d->decodePosition) == 0;
}

// One pass of the thread's work with no request pending: keeps the stock
// filled with the current frame and the ones after it. False when the end of
// the data was met.
bool FillStock(TheoraDecoder* d)
{
    int cur = d->currentFrame.load();
    if (cur < 0 || cur >= d->frameCount) {
        d->state.store(THEORA_STATE_IDLE);
        return true;
    }
    if (!d->endOfData.load())
        DropStaleEntries(d, cur);
    int empty = -1, filled = 0;
    for (int i = 0; i < d->stockSize; i++) {
        if (d->stock[i].filled.load())
            filled++;
        else if (empty < 0)
            empty = i;
    }
    if (empty < 0 || filled >= WindowSize(d)) {
        d->state.store(THEORA_STATE_IDLE);
        return true;
    }
    d->state.store(THEORA_STATE_DECODING);
    const int64_t n = d->frameCount;
    bool haveCurrent = FindEntry(d, cur) >= 0;
    if (!haveCurrent && cur < d->decodePosition) {
        // The current frame lies behind the decoder (a jump that wrapped
        // past the end): start again from its key frame.
        SeekDecoder(d, cur);
        return !d->endOfData.load();
    }
    bool holdsPicture = FindEntry(d, d->decodePosition) < 0 && cur <= d->decodePosition;
    if (!holdsPicture) {
        int steps = haveCurrent ? 1 : (cur > d->decodePosition ? cur - d->decodePosition : 1);
        if ((int64_t)d->decodePosition + steps < n) {
            if (DecodeTheoraFrames(d, steps) < 0) {
                d->endOfData.store(1);
                return false;
            }
        } else {
            // Past the last frame: from the start of the file again, decoding
            // through the frame to be stored so that it shows its own picture.
            int beyond = (int)((int64_t)d->decodePosition + steps - n);
            ResetStreams(d, d->pages[0].offset);
            d->decodePosition = -1;
            if (DecodeTheoraFrames(d, beyond + 1) < 0) {
                d->endOfData.store(1);
                return false;
            }
        }
    }
    // A frame the stock already holds is not stored twice.
    if (FindEntry(d, d->decodePosition) >= 0)
        return true;
    StorePicture(d, &d->stock[empty]);
    return true;
}

}  // namespace

DWORD WINAPI TheoraDecodeThread(void* parameter)
{
    TheoraDecoder* d = (TheoraDecoder*)parameter;
    while (!d->stopRequest.load()) {
        if (d->pauseRequest.load()) {
            d->state.store(THEORA_STATE_PAUSED);
            Sleep(1);
            continue;
        }
        if (d->seekRequest.load()) {
            d->state.store(THEORA_STATE_SEEKING);
            SeekDecoder(d, d->seekTarget.load());
            d->seekRequest.store(0);
            continue;
        }
        if (!FillStock(d)) {
            Sleep(1);
            continue;
        }
        Sleep(0);
    }
    d->state.store(THEORA_STATE_ENDED);
    return 0;
}

TheoraDecoder* OpenTheoraMovie(const StreamFunctionTable* functions, StreamHandle file, int stockSize)
{
    char magic[4];
    if (!functions || stockSize <= 0 || stockSize > kMaxStock)
        return nullptr;
    if (functions->read(magic, 1, 4, file) != 4 || memcmp(magic, "OggS", 4) != 0)
        return nullptr;
    functions->seek(file, 0, 0);

    TheoraDecoder* d = CreateTheoraDecoder(functions, file);
    if (!d)
        return nullptr;
    // The index is built before the thread starts, as both read the file.
    if (PrepareTheoraDecoder(d) < 0) {
        CloseTheoraMovie(d);
        return nullptr;
    }
    CreateTheoraYuvSurface(d);
    if (CreateImageXRGB32((int)d->info.width, (int)d->info.height, &d->frameImage) < 0) {
        WriteLog("Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n");
        CloseTheoraMovie(d);
        return nullptr;
    }
    void* stock = AllocTrackedZero(sizeof(TheoraStockEntry) * (size_t)stockSize, "", 0);
    if (!stock) {
        WriteLog("Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n");
        CloseTheoraMovie(d);
        return nullptr;
    }
    d->stock = (TheoraStockEntry*)stock;
    for (int i = 0; i < stockSize; i++)
        new (&d->stock[i]) TheoraStockEntry();
    d->stockSize = stockSize;

    d->pauseRequest.store(1);
    d->state.store(THEORA_STATE_IDLE);
    DWORD id = 0;
    d->thread = CreateThread(nullptr, 0, TheoraDecodeThread, d, 0, &id);
    d->threadId = id;
    if (!d->thread) {
        WriteLog("Theora ムービーデコード用スレッドの作成に失敗しました\n");
        CloseTheoraMovie(d);
        return nullptr;
    }
    SeekTheoraMovie(d, 0);
    FetchTheoraFrame(d, 1, 1);
    return d;
}

int CloseTheoraMovie(TheoraDecoder* d)
{
    if (!d)
        return 0;
    if (d->thread) {
        // Joined before anything it reads is freed; the caller closes the
        // file only after this returns.
        d->stopRequest.store(1);
        WaitForSingleObject(d->thread, INFINITE);
        CloseHandle(d->thread);
        d->thread = nullptr;
    }
    if (d->yuvSurface) {
        d->yuvSurface->Release();
        d->yuvSurface = nullptr;
    }
    DestroyTheoraDecoder(d);
    return 0;
}

int SeekTheoraMovie(TheoraDecoder* d, int frame)
{
    if (frame == d->currentFrame.load())
        return 0;
    d->imageDone = 0;
    d->surfaceDone = 0;
    d->pauseRequest.store(1);
    while (d->state.load() != THEORA_STATE_PAUSED && d->state.load() != THEORA_STATE_ENDED)
        Sleep(0);
    if (frame < 0)
        frame = 0;
    if (frame > d->frameCount - 1)
        frame = (int)(d->frameCount - 1);
    d->currentFrame.store(frame);
    d->seekTarget.store(frame);
    d->seekRequest.store(1);
    d->pauseRequest.store(0);
    return 0;
}

int AdvanceTheoraMovie(TheoraDecoder* d, int frames)
{
    if (frames <= 0 || d->frameCount <= 0)
        return 0;
    int64_t next = (int64_t)d->currentFrame.load() + frames;
    if (next >= d->frameCount)
        next %= d->frameCount;  // a step of more than a whole movie still lands inside it
    d->currentFrame.store((int32_t)next);
    d->imageDone = 0;
    d->surfaceDone = 0;
    return 0;
}

int GetTheoraMovieInfo(TheoraDecoder* d, TheoraMovieInfo* info)
{
    info->framesPerSecond = (double)(uint32_t)d->info.fps_numerator / (double)(uint32_t)d->info.fps_denominator;
    info->frameCount = (int32_t)d->frameCount;
    info->width = (int32_t)d->info.width;
    info->height = (int32_t)d->info.height;
    return 0;
}

RasterImage* GetTheoraFrameImage(TheoraDecoder* d) { return &d->frameImage; }

int GetTheoraCurrentFrame(TheoraDecoder* d) { return d->currentFrame.load(); }
