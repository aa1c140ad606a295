// MovieFrameRenderer: the sink of the movie player's playback graph. It takes
// uncompressed 24-bit RGB video described by a VIDEOINFOHEADER, copies every
// frame the video layer lets through into one top-down frame buffer and
// raises the new-frame flag, which the player polls on the main thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_video_renderer.h"

// {71771540-2017-11CF-AE26-0020AFD79767}
extern const CLSID CLSID_MovieFrameRenderer;

class MovieFrameRenderer : public VideoRendererFilter {
public:
    // ConstructMovieFrameRenderer; result, when given, receives S_OK.
    MovieFrameRenderer(IUnknown* outer, HRESULT* result);
    // Frees the frame buffer: the renderer is its only owner, so the player
    // reads the frame only while it holds the renderer (through its graph).
    ~MovieFrameRenderer() override;

    HRESULT ApplyRendererMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT DrawSampleData(IMediaSample* sample) override;
    HRESULT CheckRendererMediaType(const AM_MEDIA_TYPE* type) override;

    BYTE* frameBuffer;      // stride * height bytes, rows top-down; null without a type
    volatile LONG newFrame; // 1 after a copy; the player clears it when it takes the frame
    LONG bottomUp;          // the source's rows run bottom-up (positive biHeight)
    LONG width;
    LONG height;
    LONG stride;            // 24-bit DIB row: ((width + 1) * 3) & ~3
};

// Null when the object cannot be made (result then not written). The object
// starts with a reference count of 0: the graph's AddFilter keeps it alive.
MovieFrameRenderer* CreateMovieFrameRenderer(IUnknown* outer, HRESULT* result);
// CheckRendererMediaType of the movie frame renderer.
HRESULT CheckMovieFrameMediaType(const AM_MEDIA_TYPE* type);
