// Ogg Theora movie pictures: a decoder with its own thread that keeps a stock
// of decoded frames at and ahead of the current frame, and the output of the
// current frame into a 32-bit RGB image or a Direct3D YUV surface.
#pragma once

#include <stdint.h>

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif
#include <ogg/ogg.h>
#include <theora/theora.h>

#include "image/raster_image.h"
#include "runtime/file/stream.h"

struct IDirect3DSurface9;

// Decode thread states.
enum {
    THEORA_STATE_IDLE = 0,      // the stock is full
    THEORA_STATE_DECODING = 1,
    THEORA_STATE_SEEKING = 2,
    THEORA_STATE_ENDED = 3,     // the thread has left
    THEORA_STATE_PAUSED = 4,
};

// One page in which at least one video packet ends, in file order.
struct TheoraPageRecord {
    uint32_t offset;      // byte offset of the page in the file
    int32_t firstFrame;   // first frame whose packet ends in this page
    int32_t keyFrame;     // 1 when one of those frames is a key frame
    int32_t frameCount;   // frames whose packets end in this page
};

// One decoded picture; the planes are owned copies, kept for the next frame
// while the dimensions stay the same.
struct TheoraStockEntry {
    std::atomic<int32_t> filled;   // set last by the decode thread, after the planes
    std::atomic<int32_t> frame;
    unsigned char* y;
    unsigned char* u;
    unsigned char* v;
    int32_t yWidth, yHeight, yStride;
    int32_t uvWidth, uvHeight, uvStride;
};

// Shared by the main thread and the decode thread without a lock: the
// request words are written by the main thread, the state and the end-of-data
// flag by the decode thread.
struct TheoraDecoder {
    std::atomic<int32_t> state;
    std::atomic<int32_t> pauseRequest;
    std::atomic<int32_t> stopRequest;
    std::atomic<int32_t> seekRequest;
    std::atomic<int32_t> seekTarget;
    std::atomic<int32_t> endOfData;
    void* thread;                   // HANDLE
    unsigned long threadId;         // DWORD
    StreamFunctionTable files;
    StreamHandle file;
    ogg_sync_state sync;
    ogg_page page;
    ogg_stream_state stream;
    ogg_packet packet;
    theora_info info;
    theora_comment comment;
    theora_state decoder;
    int32_t serial;
    TheoraPageRecord* pages;
    int32_t pageCount;
    unsigned char* keyFrames;       // one byte a frame, 1 for a key frame
    int64_t frameCount;
    std::atomic<int32_t> currentFrame;  // -1 after the open until the first seek
    int32_t decodePosition;         // frame whose picture the Theora decoder holds
    int32_t headerCount;
    TheoraStockEntry* stock;
    int32_t stockSize;
    RasterImage frameImage;         // X8R8G8B8, coded frame size
    IDirect3DSurface9* yuvSurface;
    uint32_t yuvFourcc;             // 0 when there is no surface
    int32_t imageDone;
    int32_t surfaceDone;
    // Whether the Theora stream state and the libtheora decoder were set
    // up, so that a failed open frees only what it made.
    int32_t streamReady;
    int32_t decoderReady;
    // The stock entry the main thread is reading, or -1; the decode thread
    // leaves that entry filled.
    std::atomic<int32_t> fetchEntry;
};

struct TheoraMovieInfo {
    double framesPerSecond;
    int32_t frameCount;
    int32_t width, height;          // coded frame size
};

// The decoder, or null (not Ogg, no Theora stream, a bad header, a size or
// frame rate that cannot be played, or no memory). Reads through a copy of
// the table; the file stays the caller's and must outlive the decoder.
TheoraDecoder* OpenTheoraMovie(const StreamFunctionTable* functions, StreamHandle file,
                               int stockSize);
// Stops and joins the thread, then frees everything; 0.
int CloseTheoraMovie(TheoraDecoder* decoder);
// 1, or -1.
int ReadTheoraHeaders(TheoraDecoder* decoder);
// Bytes read into the sync layer.
int ReadTheoraData(TheoraDecoder* decoder, int bytes);
// Makes frame the current frame (clamped to the movie); 0.
int SeekTheoraMovie(TheoraDecoder* decoder, int frame);
// Moves the current frame on by frames, wrapping once past the last; 0.
int AdvanceTheoraMovie(TheoraDecoder* decoder, int frames);
// 0.
int GetTheoraMovieInfo(TheoraDecoder* decoder, TheoraMovieInfo* info);
RasterImage* GetTheoraFrameImage(TheoraDecoder* decoder);
int GetTheoraCurrentFrame(TheoraDecoder* decoder);
#ifdef _WIN32
DWORD WINAPI TheoraDecodeThread(void* decoder);
#endif
// Copies a libtheora picture into a stock entry, top-down whatever the sign
// of its strides, and marks the entry filled with the frame number; 0, or -1
// for a picture that cannot be stored.
int CopyTheoraPicture(TheoraStockEntry* entry, const yuv_buffer* picture, int frame);
// Reads frames video packets: 1 when the last one is a key frame, 0 when
// not, -1 at the end of the file.
int DecodeTheoraFrames(TheoraDecoder* decoder, int frames);

// The parts of the open and close that need no thread or device, so that
// they can be run alone over a memory stream.
// A zeroed decoder reading through a copy of the table, or null.
TheoraDecoder* CreateTheoraDecoder(const StreamFunctionTable* functions, StreamHandle file);
// Reads the headers, refuses sizes and frame rates that cannot be played,
// starts libtheora and builds the page and key-frame index; 0, or -1.
int PrepareTheoraDecoder(TheoraDecoder* decoder);
// Frees everything but the thread and the YUV surface.
void DestroyTheoraDecoder(TheoraDecoder* decoder);

// Frame output.
// Builds the YUV-to-RGB tables once at start-up; 0.
int InitYuvTables();
// 1 when the entry's chroma planes are half its luma plane both ways.
int IsTheoraPicture420(const TheoraStockEntry* entry);
// Converts the entry into the 32-bit image, as much of it as both cover.
void ConvertTheoraPicture(const TheoraStockEntry* entry, RasterImage* image);
// (Re)creates the YUV surface when graphics runs on Direct3D.
void CreateTheoraYuvSurface(TheoraDecoder* decoder);
// The decoder's Direct3D YUV surface, or null.
IDirect3DSurface9* GetTheoraYuvSurface(TheoraDecoder* decoder);
// 1 when the current frame was taken from the stock; 0 when there was
// nothing to do or no frame can come.
int FetchTheoraFrame(TheoraDecoder* decoder, int toImage, int toSurface);
