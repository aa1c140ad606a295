// The movie frame renderer: the types it takes, the frame geometry it reads
// from them, the copy of each frame into its top-down buffer, and a small
// uncompressed AVI written here and played by the platform's filter graph
// into it, with every frame it delivered checked pixel by pixel.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <dvdmedia.h>
#include <string.h>

#include <string>
#include <vector>

#include "movie/dshow_frame_renderer.h"
#include "dshow/dshow_media_type.h"
#include "tests/movie/avi_writer.h"
#include "tests/dshow/dshow_test_filter.h"
#include "tests/support/test_support.h"

namespace {

// A video type: major, sub and format type as given, a VIDEOINFOHEADER
// format block of formatBytes bytes (the header's size when 0).
void MakeVideoType(AM_MEDIA_TYPE* type, LONG width, LONG height, const GUID& subtype = MEDIASUBTYPE_RGB24,
                   const GUID& format = FORMAT_VideoInfo, const GUID& major = MEDIATYPE_Video,
                   ULONG formatBytes = sizeof(VIDEOINFOHEADER))
{
    ResetMediaTypeRecord(type);
    type->majortype = major;
    type->subtype = subtype;
    type->formattype = format;
    ULONG allocated = formatBytes > sizeof(VIDEOINFOHEADER) ? formatBytes : sizeof(VIDEOINFOHEADER);
    type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(allocated));
    memset(type->pbFormat, 0, allocated);
    type->cbFormat = formatBytes;
    VIDEOINFOHEADER* info = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 24;
}

struct FrameRendererFixture {
    FrameRendererFixture()
    {
        CoInitialize(nullptr);
        renderer = CreateMovieFrameRenderer(nullptr, &created);
        renderer->BaseFilterInterface()->AddRef();
    }
    ~FrameRendererFixture()
    {
        if (allocator) {
            allocator->Decommit();
            allocator->Release();
        }
        renderer->BaseFilterInterface()->Release();
        CoUninitialize();
    }
    // A platform sample of `bytes` bytes, filled with `fill` and its actual
    // length set to `length`.
    IMediaSample* Sample(LONG bytes, LONG length, const std::vector<BYTE>& fill)
    {
        if (!allocator) {
            EXPECT_EQ(S_OK, CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                             reinterpret_cast<void**>(&allocator)));
            ALLOCATOR_PROPERTIES wanted = {2, 4096, 1, 0}, actual;
            EXPECT_EQ(S_OK, allocator->SetProperties(&wanted, &actual));
            EXPECT_EQ(S_OK, allocator->Commit());
        }
        IMediaSample* sample = nullptr;
        EXPECT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        memset(data, 0xEE, bytes);
        memcpy(data, fill.data(), fill.size() < size_t(bytes) ? fill.size() : size_t(bytes));
        sample->SetActualDataLength(length);
        return sample;
    }

    HRESULT created = E_FAIL;
    MovieFrameRenderer* renderer = nullptr;
    IMemAllocator* allocator = nullptr;
};

TEST(MovieFrameRenderer, TakesOnlyRgb24VideoInfo)
{
    FrameRendererFixture f;
    EXPECT_EQ(S_OK, f.created);
    CLSID id;
    ASSERT_EQ(S_OK, f.renderer->GetClassID(&id));
    EXPECT_TRUE(IsEqualGUID(CLSID_MovieFrameRenderer, id));

    EXPECT_EQ(E_POINTER, f.renderer->CheckRendererMediaType(nullptr));
    const struct {
        const char* what;
        GUID subtype, format, major;
        LONG width, height;
        ULONG formatBytes;
        HRESULT result;
    } cases[] = {
        {"rgb24", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 320, 240, sizeof(VIDEOINFOHEADER), S_OK},
        {"top-down", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 320, -240, sizeof(VIDEOINFOHEADER),
         S_OK},
        {"rgb32", MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, MEDIATYPE_Video, 320, 240, sizeof(VIDEOINFOHEADER), E_FAIL},
        {"videoinfo2", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo2, MEDIATYPE_Video, 320, 240, sizeof(VIDEOINFOHEADER),
         E_INVALIDARG},
        {"audio", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Audio, 320, 240, sizeof(VIDEOINFOHEADER), E_FAIL},
        // The format checks come first.
        {"audio videoinfo2", MEDIASUBTYPE_RGB32, FORMAT_VideoInfo2, MEDIATYPE_Audio, 320, 240,
         sizeof(VIDEOINFOHEADER), E_INVALIDARG},
        // Format blocks that cannot describe a frame.
        {"short block", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 320, 240,
         sizeof(VIDEOINFOHEADER) - 1, E_INVALIDARG},
        {"no width", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 0, 240, sizeof(VIDEOINFOHEADER),
         E_INVALIDARG},
        {"negative width", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, -4, 240, sizeof(VIDEOINFOHEADER),
         E_INVALIDARG},
        {"no height", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 320, 0, sizeof(VIDEOINFOHEADER),
         E_INVALIDARG},
        {"lowest height", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 320, LONG(0x80000000),
         sizeof(VIDEOINFOHEADER), E_INVALIDARG},
        {"over 2 GB", MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, MEDIATYPE_Video, 65536, 16384, sizeof(VIDEOINFOHEADER),
         E_INVALIDARG},
    };
    for (const auto& c : cases) {
        MediaTypeObject type;
        MakeVideoType(&type, c.width, c.height, c.subtype, c.format, c.major, c.formatBytes);
        EXPECT_EQ(c.result, f.renderer->CheckRendererMediaType(&type)) << c.what;
    }
    MediaTypeObject noBlock;
    MakeVideoType(&noBlock, 320, 240);
    CoTaskMemFree(noBlock.pbFormat);
    noBlock.pbFormat = nullptr;
    EXPECT_EQ(E_INVALIDARG, f.renderer->CheckRendererMediaType(&noBlock));
}

TEST(MovieFrameRenderer, TypeGivesTheFrameGeometry)
{
    FrameRendererFixture f;
    const struct {
        LONG width, biHeight, stride, height, bottomUp;
    } cases[] = {
        {320, 240, 960, 240, 1}, {320, -240, 960, 240, 0}, {1, 1, 4, 1, 1},
        {5, 2, 16, 2, 1},        {6, -3, 20, 3, 0},        {7, 1, 24, 1, 1},
    };
    for (const auto& c : cases) {
        MediaTypeObject type;
        MakeVideoType(&type, c.width, c.biHeight);
        f.renderer->newFrame = 1;
        ASSERT_EQ(S_OK, f.renderer->ApplyRendererMediaType(&type)) << c.width;
        EXPECT_EQ(c.width, f.renderer->width);
        EXPECT_EQ(c.height, f.renderer->height);
        EXPECT_EQ(c.stride, f.renderer->stride) << c.width;
        EXPECT_EQ(c.bottomUp, f.renderer->bottomUp);
        EXPECT_NE(nullptr, f.renderer->frameBuffer);
        EXPECT_EQ(0, f.renderer->newFrame) << "a new type clears the flag";
    }
    // A type that is no frame leaves no buffer behind.
    MediaTypeObject bad;
    MakeVideoType(&bad, 0, 10);
    EXPECT_EQ(E_INVALIDARG, f.renderer->ApplyRendererMediaType(&bad));
    EXPECT_EQ(nullptr, f.renderer->frameBuffer);
}

TEST(MovieFrameRenderer, FramesAreCopiedTopDown)
{
    FrameRendererFixture f;
    // Without a type there is nowhere to copy to.
    std::vector<BYTE> bytes(3 * 8);
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = BYTE(i + 1);
    IMediaSample* sample = f.Sample(64, 24, bytes);
    EXPECT_EQ(S_OK, f.renderer->DrawSampleData(sample));
    EXPECT_EQ(0, f.renderer->newFrame);
    EXPECT_EQ(E_POINTER, f.renderer->DrawSampleData(nullptr));

    // 2 x 3 pixels, 8-byte rows, stored bottom-up: source row 2 is the top.
    MediaTypeObject bottomUp;
    MakeVideoType(&bottomUp, 2, 3);
    ASSERT_EQ(S_OK, f.renderer->ApplyRendererMediaType(&bottomUp));
    ASSERT_EQ(S_OK, f.renderer->DrawSampleData(sample));
    EXPECT_EQ(1, f.renderer->newFrame);
    for (int row = 0; row < 3; row++)
        EXPECT_EQ(0, memcmp(f.renderer->frameBuffer + row * 8, bytes.data() + (2 - row) * 8, 8)) << row;

    MediaTypeObject topDown;
    MakeVideoType(&topDown, 2, -3);
    ASSERT_EQ(S_OK, f.renderer->ApplyRendererMediaType(&topDown));
    ASSERT_EQ(S_OK, f.renderer->DrawSampleData(sample));
    EXPECT_EQ(0, memcmp(f.renderer->frameBuffer, bytes.data(), 24));
    sample->Release();

    // A sample shorter than the frame is not copied.
    f.renderer->newFrame = 0;
    std::vector<BYTE> zeros(24, 0);
    IMediaSample* shortSample = f.Sample(64, 23, zeros);
    EXPECT_EQ(VFW_E_BUFFER_UNDERFLOW, f.renderer->DrawSampleData(shortSample));
    EXPECT_EQ(0, f.renderer->newFrame);
    EXPECT_EQ(0, memcmp(f.renderer->frameBuffer, bytes.data(), 24));
    shortSample->Release();
}

// ---------------------------------------------------------------------------
// An uncompressed AVI through the platform's graph

const LONG kWidth = 8, kHeight = 6, kStride = 24, kFrames = 4;

// The frame's pixel (x, y), y counted from the top, as blue, green, red.
void FramePixel(int frame, int x, int y, BYTE* pixel)
{
    pixel[0] = BYTE(x * 16 + frame);
    pixel[1] = BYTE(y * 32 + 1);
    pixel[2] = BYTE(frame * 60 + 3);
}

std::vector<BYTE> FrameTopDown(int frame)
{
    std::vector<BYTE> image(kStride * kHeight, 0);
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++)
            FramePixel(frame, x, y, &image[y * kStride + x * 3]);
    return image;
}

DWORD FrameRgb(int frame, int x, int y)
{
    BYTE p[3];
    FramePixel(frame, x, y, p);
    return DWORD(p[2]) << 16 | DWORD(p[1]) << 8 | p[0];
}

// 8 x 6 pixels, 24-bit bottom-up DIB frames, 10 frames a second.
std::vector<BYTE> MakeAvi() { return MakeUncompressedAvi(kWidth, kHeight, kFrames, 10, FrameRgb); }

TEST(MovieFrameRenderer, PlaysAnUncompressedAviInThePlatformGraph)
{
    TestWatchdog dog(2 * PlatformWaitMs, "movie graph");
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    {
        std::vector<BYTE> avi = MakeAvi();
        const WCHAR* path = L"frames.avi";
        HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, avi.data(), DWORD(avi.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(avi.size(), written);

        IGraphBuilder* graph = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         reinterpret_cast<void**>(&graph)));
        HRESULT created = E_FAIL;
        MovieFrameRenderer* renderer = CreateMovieFrameRenderer(nullptr, &created);
        ASSERT_NE(nullptr, renderer);
        ASSERT_EQ(S_OK, graph->AddFilter(renderer->BaseFilterInterface(), L"MovieRenderer"));
        HRESULT rendered = graph->RenderFile(path, nullptr);
        ASSERT_TRUE(SUCCEEDED(rendered)) << std::hex << rendered;
        ASSERT_TRUE(renderer->inputPin && renderer->inputPin->IsConnected());
        EXPECT_EQ(kWidth, renderer->width);
        EXPECT_EQ(kHeight, renderer->height);
        EXPECT_EQ(kStride, renderer->stride);

        IMediaControl* control = nullptr;
        IMediaEvent* events = nullptr;
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
        ASSERT_TRUE(control && events);

        // Take frames as the player does: poll the flag, read, clear.
        std::vector<int> seen;
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        long code = 0;
        DWORD begin = GetTickCount();
        bool complete = false;
        while (!complete && GetTickCount() - begin < PlatformWaitMs) {
            if (renderer->newFrame) {
                std::vector<BYTE> frame(renderer->frameBuffer, renderer->frameBuffer + kStride * kHeight);
                renderer->newFrame = 0;
                int match = -1;
                for (int i = 0; i < kFrames; i++)
                    if (frame == FrameTopDown(i))
                        match = i;
                seen.push_back(match);
            }
            LONG_PTR p1, p2;
            while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                events->FreeEventParams(code, p1, p2);
                if (code == EC_COMPLETE)
                    complete = true;
            }
            Sleep(2);
        }
        EXPECT_TRUE(complete);
        ASSERT_FALSE(seen.empty());
        // Frames arrive whole (a frame read during a copy may mix two, which
        // would show as -1; 100 ms apart that is rare, so most match), in
        // order, ending with the last.
        int matched = 0;
        for (size_t i = 0; i < seen.size(); i++) {
            if (seen[i] < 0)
                continue;
            matched++;
            if (i > 0 && seen[i - 1] >= 0) {
                EXPECT_GT(seen[i], seen[i - 1]);
            }
        }
        EXPECT_GE(matched, 2);
        std::vector<BYTE> last(renderer->frameBuffer, renderer->frameBuffer + kStride * kHeight);
        EXPECT_TRUE(last == FrameTopDown(kFrames - 1));

        IQualProp* quality = nullptr;
        ASSERT_EQ(S_OK, renderer->BaseFilterInterface()->QueryInterface(IID_IQualProp,
                                                                          reinterpret_cast<void**>(&quality)));
        int drawn = 0, dropped = 0;
        quality->get_FramesDrawn(&drawn);
        quality->get_FramesDroppedInRenderer(&dropped);
        EXPECT_EQ(kFrames, drawn + dropped);
        quality->Release();

        control->Stop();
        control->Release();
        events->Release();
        graph->Release(); // takes the renderer with it
        DeleteFileW(path);
    }
    CoUninitialize();
}

} // namespace
