#include "movie/dshow_frame_renderer.h"

#include <strmif.h>
#include <amvideo.h>
#include <limits.h>
#include <uuids.h>

#include "runtime/helpers.h"
#include "runtime/memory.h"

const CLSID CLSID_MovieFrameRenderer = {0x71771540, 0x2017, 0x11CF, {0xAE, 0x26, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67}};

namespace {

struct FrameGeometry {
    LONG width, height, stride, bottomUp;
};

// The frame's geometry from a type already checked as RGB24 video; false when
// the format block is short or the sizes are not a frame whose byte count
// fits in an int.
bool ReadFrameGeometry(const AM_MEDIA_TYPE* type, FrameGeometry* out)
{
    if (!type->pbFormat || type->cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const BITMAPINFOHEADER& header = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader;
    LONGLONG width = header.biWidth;
    LONGLONG height = header.biHeight < 0 ? -static_cast<LONGLONG>(header.biHeight) : header.biHeight;
    if (width <= 0 || height <= 0)
        return false;
    LONGLONG stride = ((width + 1) * 3) & ~3ll;
    if (stride * height > INT_MAX)
        return false;
    out->width = static_cast<LONG>(width);
    out->height = static_cast<LONG>(height);
    out->stride = static_cast<LONG>(stride);
    out->bottomUp = header.biHeight < 0 ? 0 : 1;
    return true;
}

} // namespace

HRESULT CheckMovieFrameMediaType(const AM_MEDIA_TYPE* type)
{
    if (!type)
        return E_POINTER;
    if (!IsEqualGUID(type->formattype, FORMAT_VideoInfo))
        return E_INVALIDARG;
    if (!IsEqualGUID(type->majortype, MEDIATYPE_Video))
        return E_FAIL;
    if (!IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB24))
        return E_FAIL;
    FrameGeometry geometry;
    if (!ReadFrameGeometry(type, &geometry))
        return E_INVALIDARG;
    return S_OK;
}

MovieFrameRenderer::MovieFrameRenderer(IUnknown* outer, HRESULT* result)
    : VideoRendererFilter(CLSID_MovieFrameRenderer, nullptr, outer, result), frameBuffer(nullptr), newFrame(0),
      bottomUp(0), width(0), height(0), stride(0)
{
    if (result)
        *result = S_OK;
}

MovieFrameRenderer::~MovieFrameRenderer()
{
    FreeTracked(frameBuffer);
}

MovieFrameRenderer* CreateMovieFrameRenderer(IUnknown* outer, HRESULT* result)
{
    HRESULT local = S_OK;
    MovieFrameRenderer* renderer = new MovieFrameRenderer(outer, &local);
    if (!renderer)
        return nullptr;
    // Without its events the renderer could neither wait nor report a pause.
    if (!renderer->renderEvent.handle || !renderer->abortEvent.handle || !renderer->stateCompleteEvent.handle) {
        delete renderer;
        if (result)
            *result = E_OUTOFMEMORY;
        return nullptr;
    }
    if (result)
        *result = local;
    return renderer;
}

HRESULT MovieFrameRenderer::CheckRendererMediaType(const AM_MEDIA_TYPE* type)
{
    return CheckMovieFrameMediaType(type);
}

HRESULT MovieFrameRenderer::ApplyRendererMediaType(const AM_MEDIA_TYPE* type)
{
    FreeTracked(frameBuffer);
    frameBuffer = nullptr;
    newFrame = 0;
    FrameGeometry geometry;
    if (!type || !ReadFrameGeometry(type, &geometry)) {
        width = height = stride = 0;
        return E_INVALIDARG;
    }
    width = geometry.width;
    height = geometry.height;
    stride = geometry.stride;
    bottomUp = geometry.bottomUp;
    // A failed allocation leaves no buffer: frames are then taken and dropped.
    frameBuffer = static_cast<BYTE*>(AllocTracked(static_cast<size_t>(stride) * height, "", 0));
    return S_OK;
}

HRESULT MovieFrameRenderer::DrawSampleData(IMediaSample* sample)
{
    if (!sample)
        return E_POINTER;
    if (!frameBuffer)
        return S_OK;
    BYTE* data = nullptr;
    HRESULT result = sample->GetPointer(&data);
    if (FAILED(result) || !data)
        return FAILED(result) ? result : E_POINTER;
    int bytes = stride * height;
    // A sample shorter than the frame the type promised is not copied.
    if (sample->GetActualDataLength() < bytes)
        return VFW_E_BUFFER_UNDERFLOW;
    if (bottomUp) {
        for (LONG row = 0; row < height; row++)
            CopyBytes(frameBuffer + static_cast<size_t>(height - 1 - row) * stride,
                      data + static_cast<size_t>(row) * stride, stride);
    } else {
        CopyBytes(frameBuffer, data, bytes);
    }
    newFrame = 1;
    return S_OK;
}
