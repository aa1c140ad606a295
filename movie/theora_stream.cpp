// Reading a Theora movie's Ogg stream: the headers, the page and key-frame
// index built at the open, and the video packets. No thread or device here.
#include "movie/theora_player.h"

#include <string.h>

#include <new>

#include "runtime/log.h"
#include "runtime/memory.h"

namespace {

const int kReadChunk = 4096;
const int kTableStep = 1000;
// Larger pictures are refused before anything is made for them: the frame
// image and libtheora's buffers grow with the area.
const uint32_t kMaxSide = 8192;
const uint64_t kMaxArea = 4096u * 4096u;

// Appends a page record and returns it; null when the table cannot grow.
TheoraPageRecord* AddPageRecord(TheoraDecoder* d, int* capacity, uint32_t offset)
{
    if (d->pageCount == *capacity) {
        void* grown = ReallocTracked(d->pages, (size_t)(*capacity + kTableStep) * sizeof(TheoraPageRecord), "", 0);
        if (!grown)
            return nullptr;
        d->pages = (TheoraPageRecord*)grown;
        *capacity += kTableStep;
    }
    TheoraPageRecord* r = &d->pages[d->pageCount++];
    r->offset = offset;
    r->firstFrame = (int32_t)d->frameCount;
    r->keyFrame = 0;
    r->frameCount = 0;
    return r;
}

// Reads the whole file once, noting where each page with a video packet end
// lies and which frames are key frames. 0, or -1 when a table cannot grow.
int BuildIndex(TheoraDecoder* d)
{
    int pageCapacity = kTableStep, keyCapacity = kTableStep;
    d->pages = (TheoraPageRecord*)AllocTracked(sizeof(TheoraPageRecord) * kTableStep, "", 0);
    if (!d->pages) {
        WriteLog("Theora ページ情報格納用メモリの確保に失敗しました\n");
        return -1;
    }
    d->keyFrames = (unsigned char*)AllocTracked(kTableStep, "", 0);
    if (!d->keyFrames) {
        WriteLog("Theora キーフレーム情報格納用メモリの確保に失敗しました\n");
        return -1;
    }
    d->pageCount = 0;
    d->frameCount = 0;
    uint64_t offset = 0, pageStart = 0;
    bool newPage = false;
    for (;;) {
        int got = ogg_stream_packetout(&d->stream, &d->packet);
        if (got == 0) {
            // pageseek rather than pageout, so that bytes skipped between
            // pages still count toward the offsets.
            long bytes = ogg_sync_pageseek(&d->sync, &d->page);
            if (bytes > 0) {
                pageStart = offset;
                offset += (uint64_t)bytes;
                newPage = true;
                ogg_stream_pagein(&d->stream, &d->page);
            } else if (bytes < 0) {
                offset += (uint64_t)-bytes;
            } else if (ReadTheoraData(d, kReadChunk) == 0) {
                break;
            }
            continue;
        }
        if (got < 0)
            continue;
        int key = theora_packet_iskeyframe(&d->packet);
        if (key < 0)
            continue;
        if (pageStart > 0xFFFFFFFFu || d->frameCount >= 0x7FFFFFFF)
            break;  // beyond what 32-bit offsets and frame numbers reach
        if (newPage || d->pageCount == 0) {
            if (!AddPageRecord(d, &pageCapacity, (uint32_t)pageStart))
                return -1;
            newPage = false;
        }
        if (d->frameCount >= keyCapacity) {
            void* grown = ReallocTracked(d->keyFrames, (size_t)keyCapacity + kTableStep, "", 0);
            if (!grown)
                return -1;
            d->keyFrames = (unsigned char*)grown;
            keyCapacity += kTableStep;
        }
        TheoraPageRecord* last = &d->pages[d->pageCount - 1];
        d->keyFrames[d->frameCount] = key > 0 ? 1 : 0;
        if (key > 0)
            last->keyFrame = 1;
        d->frameCount++;
        last->frameCount++;
    }
    if (d->pageCount > 0)
        d->pages[0].offset = 0;
    return 0;
}

bool UsableHeader(const theora_info* info)
{
    return info->width > 0 && info->height > 0 && info->width <= kMaxSide && info->height <= kMaxSide &&
           (uint64_t)info->width * info->height <= kMaxArea && info->fps_numerator != 0 &&
           info->fps_denominator != 0;
}

}  // namespace

int ReadTheoraData(TheoraDecoder* d, int bytes)
{
    char* buffer = ogg_sync_buffer(&d->sync, bytes);
    if (!buffer)
        return 0;
    size_t got = d->files.read(buffer, 1, (size_t)bytes, d->file);
    if (got > (size_t)bytes)
        got = 0;
    ogg_sync_wrote(&d->sync, (long)got);
    return (int)got;
}

int ReadTheoraHeaders(TheoraDecoder* d)
{
    // Find the stream whose first packet is a Theora header.
    bool searching = true;
    while (searching) {
        if (ReadTheoraData(d, kReadChunk) == 0)
            break;
        while (ogg_sync_pageout(&d->sync, &d->page) > 0) {
            if (!ogg_page_bos(&d->page)) {
                if (d->streamReady)
                    ogg_stream_pagein(&d->stream, &d->page);
                searching = false;
                break;
            }
            ogg_stream_state trial;
            if (ogg_stream_init(&trial, ogg_page_serialno(&d->page)) != 0)
                return -1;
            ogg_stream_pagein(&trial, &d->page);
            if (ogg_stream_packetout(&trial, &d->packet) > 0 &&
                theora_decode_header(&d->info, &d->comment, &d->packet) == 0) {
                d->stream = trial;
                d->streamReady = 1;
                d->serial = ogg_page_serialno(&d->page);
                d->headerCount = 1;
                searching = false;
                break;
            }
            ogg_stream_clear(&trial);
        }
    }
    if (!d->streamReady)
        return -1;  // no Theora stream
    while (d->headerCount < 3) {
        int got = ogg_stream_packetout(&d->stream, &d->packet);
        if (got < 0)
            return -1;
        if (got > 0) {
            if (theora_decode_header(&d->info, &d->comment, &d->packet) != 0)
                return -1;
            d->headerCount++;
            continue;
        }
        if (ogg_sync_pageout(&d->sync, &d->page) > 0) {
            ogg_stream_pagein(&d->stream, &d->page);
        } else if (ReadTheoraData(d, kReadChunk) == 0) {
            WriteLog("End of file while searching for codec headers.");
            return -1;
        }
    }
    return 1;
}

int DecodeTheoraFrames(TheoraDecoder* d, int frames)
{
    if (frames <= 0)
        return 0;
    // Packets before the last key frame of the range need not be decoded.
    int lastKey = -1;
    int64_t lo = d->decodePosition < 0 ? 0 : d->decodePosition;
    int64_t hi = (int64_t)d->decodePosition + frames - 1;
    if (hi > d->frameCount - 1)
        hi = d->frameCount - 1;
    for (int64_t f = hi; f >= lo; f--) {
        if (d->keyFrames[f]) {
            lastKey = (int)f;
            break;
        }
    }
    int done = 0, key = 0;
    while (done < frames) {
        int got = ogg_stream_packetout(&d->stream, &d->packet);
        if (got == 0) {
            if (ogg_sync_pageout(&d->sync, &d->page) > 0)
                ogg_stream_pagein(&d->stream, &d->page);
            else if (d->files.eof(d->file) || ReadTheoraData(d, kReadChunk) == 0)
                return -1;
            continue;
        }
        if (got < 0)
            continue;
        int k = theora_packet_iskeyframe(&d->packet);
        if (k < 0)
            continue;  // a header again after a return to the start
        if (lastKey == -1 || lastKey <= d->decodePosition + 1)
            theora_decode_packetin(&d->decoder, &d->packet);
        d->decodePosition++;
        done++;
        key = k > 0;
    }
    return key;
}


TheoraDecoder* CreateTheoraDecoder(const StreamFunctionTable* functions, StreamHandle file)
{
    void* memory = AllocTrackedZero(sizeof(TheoraDecoder), "", 0);
    if (!memory) {
        WriteLog("Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
        return nullptr;
    }
    TheoraDecoder* d = new (memory) TheoraDecoder();
    d->currentFrame.store(-1);
    d->fetchEntry.store(-1);
    ogg_sync_init(&d->sync);
    theora_info_init(&d->info);
    theora_comment_init(&d->comment);
    d->files = *functions;
    d->file = file;
    return d;
}

int PrepareTheoraDecoder(TheoraDecoder* d)
{
    if (ReadTheoraHeaders(d) < 0)
        return -1;
    if (!UsableHeader(&d->info)) {
        WriteLog("Theora movie has a frame size or frame rate that cannot be played\n");
        return -1;
    }
    if (theora_decode_init(&d->decoder, &d->info) != 0)
        return -1;
    d->decoderReady = 1;
    ogg_sync_reset(&d->sync);
    ogg_stream_reset(&d->stream);
    d->files.seek(d->file, 0, 0);
    if (BuildIndex(d) < 0)
        return -1;
    if (d->frameCount == 0) {
        WriteLog("Theora movie holds no frames\n");
        return -1;
    }
    return 0;
}

void DestroyTheoraDecoder(TheoraDecoder* d)
{
    if (d->stock) {
        for (int i = 0; i < d->stockSize; i++) {
            FreeTracked(d->stock[i].y);
            FreeTracked(d->stock[i].u);
            FreeTracked(d->stock[i].v);
        }
        FreeTracked(d->stock);
    }
    FreeTracked(d->pages);
    FreeTracked(d->keyFrames);
    FreeRasterImage(&d->frameImage);
    ogg_stream_clear(&d->stream);
    if (d->decoderReady)
        theora_clear(&d->decoder);
    theora_comment_clear(&d->comment);
    theora_info_clear(&d->info);
    ogg_sync_clear(&d->sync);
    d->~TheoraDecoder();
    FreeTracked(d);
}
