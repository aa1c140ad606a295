#include "graphics/graph_loading.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/image_transfer.h"
#include "graphics/vertex_batch.h"
#include "image/image_loader.h"
#include "image/mem_image.h"
#include "image/raster_image.h"
#include "movie/movie_services.h"
#include "runtime/file/stream.h"
#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "softrender/shape_raster.h"

static int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// ---------------------------------------------------------------------------
// File names: a block of a reference count and the path text.

static void ReleaseNameBlock(int* block)
{
    if (block && --block[0] <= 0)
        FreeTracked(block);
}

int SetGraphFileName(int graph, const char* path, int source)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return -1;
    int* block = nullptr;
    if (path) {
        char full[FULL_PATH_SIZE];
        if (MakeFullPath(path, full, nullptr) != 0)
            return -1;
        size_t length = strlen(full);
        block = (int*)AllocTracked(length + 5, "SetGraphFileName", __LINE__);
        if (!block) {
            WriteLog("転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n");
            return -1;
        }
        block[0] = 1;
        memcpy(block + 1, full, length + 1);
    } else if (source != -1) {
        GraphRecord* from = GetGraphRecord(source);
        if (!from)
            return -1;
        // Taken before the graph's own name goes, so that a graph may share
        // with itself.
        block = from->fileName;
        if (block)
            block[0]++;
    }
    ReleaseNameBlock(record->fileName);
    record->fileName = block;
    return 0;
}

static const char* NameText(const int* block) { return block ? (const char*)(block + 1) : nullptr; }

// ---------------------------------------------------------------------------
// Deletion.

int FreeGraph(int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return -1;
    CloseMovie(record->movie);
    record->movie = -1;
    if (GraphImageRecord* image = record->image) {
        if (!image->desc.texture)
            ReleaseMemImage(&record->view);
        if (--image->refCount <= 0) {
            ReleaseDrawableExtras(image);
            if (image->desc.texture) {
                ReleaseGraphTextures(image);
            } else {
                ReleaseMemImage(&image->memImage);
                // A creation that failed leaves its emptied body behind.
                if (image->memImage.body)
                    FreeTracked(image->memImage.body);
            }
            FreeTracked(image);
        }
        record->image = nullptr;
    }
    for (auto& kept : record->kept) {
        if (kept.block)
            FreeTracked(kept.block);
        kept.block = nullptr;
    }
    SetGraphFileName(graph, nullptr, -1);
    return ReleaseGraphHandle(graph);
}

int FreeAllGraphs()
{
    if (!Screen.started)
        return 0;
    DeleteAllHandles(&GraphHandles, FreeGraph);
    return 0;
}

// ---------------------------------------------------------------------------
// Creation.

int CreateGraphFromImage(RasterImage* image, RasterImage* alpha)
{
    if (!Screen.started || !image)
        return -1;
    WaitWhileInactive();
    if (alpha && (alpha->width != image->width || alpha->height != image->height))
        return -1;
    int graph = AllocGraphHandle();
    int mipLevels = image->mipCount ? image->mipCount : -1;
    int hasAlpha = image->format.alphaMask != 0 || alpha ? 1 : 0;
    int palette = image->format.bytesPerPixel == 1 && !hasAlpha ? 1 : 0;
    if (CreateGraphRecord(mipLevels, graph, image->width, image->height, hasAlpha, palette,
                          (int)image->format.compression) != 0)
        return -1;
    return graph;
}

int TransferRasterImageToGraph(RasterImage* image, RasterImage* alpha, int mirror, int mirrorHere)
{
    if (!image)
        return -1;
    FixColorFormatMask(&image->format);
    if (alpha)
        FixColorFormatMask(&alpha->format);
    const bool flip = mirror == 1 && mirrorHere == 1;
    if (flip) {
        FlipImageHorizontal(image);
        if (alpha)
            FlipImageHorizontal(alpha);
    }
    int graph = CreateGraphFromImage(image, alpha);
    // A graph whose picture did not arrive is no success.
    if (graph != -1 &&
        ReloadGraphFromImage(nullptr, nullptr, nullptr, nullptr, 0, image, alpha, 0, 0, graph, 0) != 0) {
        FreeGraph(graph);
        graph = -1;
    }
    if (flip) {
        FlipImageHorizontal(image);
        if (alpha)
            FlipImageHorizontal(alpha);
    }
    return graph;
}

int CreateEmptyGraph(int width, int height)
{
    if (!Screen.started)
        return -1;
    WaitWhileInactive();
    int graph = AllocGraphHandle();
    if (CreateGraphRecord(-1, graph, width, height, Draw.create.emptyAlpha, 0, 0) != 0)
        return -1;
    return graph;
}

int InitDerivedGraph(int source, int graph, int x, int y, int width, int height)
{
    GraphRecord* from = GetGraphRecord(source);
    GraphRecord* record = GetGraphRecord(graph);
    if (!from || !record || !from->image || record->image || source == graph)
        return -1;
    record->image = from->image;
    record->image->refCount++;
    SetGraphFileName(graph, nullptr, source);
    record->fileX = from->fileX + x;
    record->fileY = from->fileY + y;
    record->fileMirror = from->fileMirror;
    record->srcX = from->srcX + x;
    record->srcY = from->srcY + y;
    record->width = width;
    record->height = height;
    return SetupGraphTiles(graph);
}

int CreateDerivedGraph(int x, int y, int width, int height, int source)
{
    const GraphRecord* from = GetGraphRecord(source);
    if (!from || x < 0 || y < 0 || x >= from->width || y >= from->height || width < 1 || height < 1)
        return -1;
    if (width > from->width - x)
        width = from->width - x;
    if (height > from->height - y)
        height = from->height - y;
    int graph = AllocGraphHandle();
    if (InitDerivedGraph(source, graph, x, y, width, height) != 0) {
        FreeGraph(graph);
        return -1;
    }
    return graph;
}

int FillGraphColor(int graph, int r, int g, int b, int a)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image)
        return -1;
    r = Clamp255(r);
    g = Clamp255(g);
    b = Clamp255(b);
    a = Clamp255(a);
    if (!record->image->desc.texture) {
        RECT whole = {0, 0, record->width, record->height};
        PaintMemImageBox(&record->view, &whole, ColorFromRGB(r, g, b));
        return 0;
    }
    IDirect3DDevice9* device = DeviceObjects.device;
    if (!device)
        return -1;
    if (!record->image->desc.drawable)
        return 0;
    // Draws still queued for this graph come before the fill.
    FlushVertexBuffer();
    for (int i = 0; i < record->tileCount; i++) {
        const GraphTileEntry& entry = record->tiles[i];
        if (!entry.tile->surface)
            continue;
        RECT rect = {entry.tileX, entry.tileY, entry.tileX + entry.pieceWidth, entry.tileY + entry.pieceHeight};
        device->ColorFill(entry.tile->surface, &rect, D3DCOLOR_ARGB(a, r, g, b));
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Refills.

int ReloadGraphFromImage(ColorFormat* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap, const char* fileName,
                         int bitmapMode, RasterImage* image, RasterImage* alpha, int fileX, int fileY, int graph,
                         int fileMirror)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image)
        return -1;
    RECT source = {fileX, fileY, fileX + record->width, fileY + record->height};
    int result = TransferImageToGraph(graph, bitmapFormat, colourBitmap, alphaBitmap, &source, 0, 0, bitmapMode,
                                      image, alpha, record->image->desc.blendImage, Draw.create.useTransColor, 0);
    if (SetGraphFileName(graph, fileName, -1) == 0) {
        record = GetGraphRecord(graph);
        record->fileX = fileX;
        record->fileY = fileY;
        record->fileMirror = fileMirror;
    }
    return result;
}

int ReloadGraphFromImagePart(ColorFormat* bitmapFormat, HBITMAP colourBitmap, HBITMAP alphaBitmap,
                             const char* fileName, int bitmapMode, RasterImage* image, RasterImage* alpha,
                             const RECT* source, int dstX, int dstY, int graph, int fileMirror)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image)
        return -1;
    RECT whole = {0, 0, 0, 0};
    if (!source) {
        if (bitmapMode == 1) {
            BITMAP bitmap;
            if (!colourBitmap || !GetObjectA(colourBitmap, sizeof bitmap, &bitmap))
                return -1;
            whole.right = bitmap.bmWidth;
            whole.bottom = bitmap.bmHeight;
        } else if (image) {
            whole.right = image->width;
            whole.bottom = image->height;
        }
    }
    int result = TransferImageToGraph(graph, bitmapFormat, colourBitmap, alphaBitmap, source ? source : &whole, dstX,
                                      dstY, bitmapMode, image, alpha, record->image->desc.blendImage,
                                      Draw.create.useTransColor, 0);
    if (SetGraphFileName(graph, fileName, -1) == 0) {
        record = GetGraphRecord(graph);
        record->fileX = source ? source->left - dstX : 0;
        record->fileY = source ? source->top - dstY : 0;
        record->fileMirror = fileMirror;
    }
    return result;
}

// ---------------------------------------------------------------------------
// Loading.

int LoadGraphFile(const char* path, int mirror, int movieOption)
{
    if (!Screen.started || !path)
        return -1;
    WaitWhileInactive();
    RasterImage image = {}, alpha = {};
    int loaded = LoadImageWithAlpha(path, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, 0);
    if (loaded >= 0) {
        RasterImage* alphaImage = loaded == 0 ? &alpha : nullptr;
        if (mirror == 1) {
            FlipImageHorizontal(&image);
            if (alphaImage)
                FlipImageHorizontal(alphaImage);
        }
        int graph = TransferRasterImageToGraph(&image, alphaImage, mirror, 0);
        if (graph != -1) {
            SetGraphFileName(graph, path, -1);
            // The restore loads the file mirrored again.
            GetGraphRecord(graph)->fileMirror = mirror == 1 ? 1 : 0;
        }
        FreeRasterImage(&image);
        if (alphaImage)
            FreeRasterImage(alphaImage);
        return graph;
    }

    StreamHandle file = FileStreamOpen(path, 0, 0, 0);
    if (!file) {
        WriteLogFormat("グラフィックファイル %s がありません", path);
        return -1;
    }
    FileStreamClose(file);

    GraphCreateSettings saved = Draw.create;
    int width = 0, height = 0;
    int movie = OpenMovie(path, &width, &height, movieOption);
    if (movie < 0) {
        WriteLogFormat("右記のグラフィックファイルのロードに失敗しました：%s \n", path);
        return -1;
    }
    const MovieData* data = GetMovieRecord(movie);
    Draw.create.colorDepth = QueryColorDepth();
    Draw.create.singleTexture = 1;
    Draw.create.alphaTest = 0;
    Draw.create.keepSystemCopy = 1;
    Draw.create.drawable = 1;
    int graph = AllocGraphHandle();
    int created = CreateGraphRecord(-1, graph, width, height, data ? data->sideBySideAlpha : 0, 0, 0);
    Draw.create.colorDepth = saved.colorDepth;
    Draw.create.alphaTest = saved.alphaTest;
    Draw.create.keepSystemCopy = saved.keepSystemCopy;
    Draw.create.drawable = saved.drawable;
    if (created != 0) {
        WriteLogFormat("右記のグラフィックファイルの格納用グラフィック領域の作成に失敗しました：%s", path);
        CloseMovie(movie);
        return -1;
    }
    GetGraphRecord(graph)->movie = movie;
    SetMovieFrameCallback(movie, OnMovieFrameToGraph, graph);
    return graph;
}

int LoadImageToGraph(const char* path, int reserved)
{
    (void)reserved;
    return LoadGraphFile(path, 0, 0);
}

// ---------------------------------------------------------------------------
// Movie frames.

// Copies rows of the frame into a view of the same pixel depth, never more
// than either holds.
static void CopyFrameRows(const RasterImage* frame, const MovieData* movie, MEMIMG* view)
{
    int rows = movie->height, columns = movie->width;
    if (rows > frame->height)
        rows = frame->height;
    if (rows > view->height)
        rows = view->height;
    if (columns > frame->width)
        columns = frame->width;
    if (columns > view->width)
        columns = view->width;
    if (rows < 1 || columns < 1 || !frame->pixels)
        return;
    const size_t rowBytes = (size_t)columns * (QueryColorDepth() / 8);
    const uint8_t* from = (const uint8_t*)frame->pixels;
    uint8_t* to = (uint8_t*)view->pixels;
    for (int y = 0; y < rows; y++)
        memcpy(to + (size_t)y * view->body->pitch, from + (size_t)y * frame->pitch, rowBytes);
}

void OnMovieFrameToGraph(MovieData* movie, int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image || !movie || !movie->frame)
        return;
    RasterImage* frame = movie->frame;
    if (!record->image->desc.texture) {
        if (movie->kind == 1 && !FetchTheoraFrame(movie->theora, 1, 0))
            return;
        MEMIMG* view = &record->view;
        if (!IsMemImageValid(view))
            return;
        if (!movie->sideBySideAlpha) {
            if (movie->frameMode != 2 && view->body->format->bitDepth == frame->format.bitDepth &&
                view->body->format->bitDepth == QueryColorDepth())
                CopyFrameRows(frame, movie, view);
            else
                TransferImageToMemImage(frame, nullptr, view, 0, 0, record->width, record->height, 0, 0, 0);
            return;
        }
        RasterImage colour = *frame, alpha = *frame;
        colour.width = alpha.width = frame->width / 2;
        alpha.pixels = (uint8_t*)frame->pixels + (size_t)(frame->width / 2) * frame->format.bytesPerPixel;
        TransferImageToMemImage(&colour, &alpha, view, 0, 0, record->width, record->height, 0, 0, 0);
        return;
    }

    if (movie->kind == 1) {
        IDirect3DSurface9* yuv = GetTheoraYuvSurface(movie->theora);
        if (!FetchTheoraFrame(movie->theora, yuv == nullptr, yuv != nullptr))
            return;
        yuv = GetTheoraYuvSurface(movie->theora);
        if (yuv) {
            const TextureTile& tile = record->image->tiles[0];
            IDirect3DSurface9* level = nullptr;
            if (DeviceObjects.device && tile.texture && SUCCEEDED(tile.texture->GetSurfaceLevel(0, &level))) {
                RECT rect = {0, 0, tile.usedWidth, tile.usedHeight};
                DeviceObjects.device->StretchRect(yuv, &rect, level, &rect, D3DTEXF_NONE);
                level->Release();
            }
            return;
        }
    }
    RasterImage image = *frame;
    if (movie->sideBySideAlpha)
        image.width /= 2;
    RECT source = {record->srcX, record->srcY, record->srcX + record->width, record->srcY + record->height};
    TransferImageToGraph(graph, nullptr, nullptr, nullptr, &source, 0, 0, 0, &image, nullptr, 0, 0, 0);
}

// ---------------------------------------------------------------------------
// Restore after a device reset.

void RestoreAllGraphs()
{
    WriteLog("グラフィックを復帰します\n");
    RasterImage image = {}, alpha = {};
    bool havePrevious = false, previousLoaded = false, previousAlpha = false;
    char previousName[FULL_PATH_SIZE] = "";
    int previousMirror = 0;
    const int endSlot = GraphHandles.endSlot;
    for (int slot = 0; slot < endSlot; slot++) {
        int graph = HandleAtSlot(&GraphHandles, slot);
        GraphRecord* record = GetGraphRecord(graph);
        if (!record || !record->fileName)
            continue;
        const char* name = NameText(record->fileName);
        if (!havePrevious || !previousLoaded || lstrcmpA(previousName, name) != 0 ||
            previousMirror != record->fileMirror) {
            if (previousLoaded) {
                FreeRasterImage(&image);
                if (previousAlpha)
                    FreeRasterImage(&alpha);
            }
            havePrevious = true;
            lstrcpynA(previousName, name, FULL_PATH_SIZE);
            previousMirror = record->fileMirror;
            image = RasterImage{};
            alpha = RasterImage{};
            int loaded = LoadImageWithAlpha(name, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, record->fileMirror);
            previousLoaded = loaded >= 0;
            previousAlpha = loaded == 0;
            if (!previousLoaded) {
                WriteLogFormat("ファイル:%s がロードできませんでした", name);
                continue;
            }
        }
        // The reload replaces the record's name block.
        char nameCopy[FULL_PATH_SIZE];
        lstrcpynA(nameCopy, name, FULL_PATH_SIZE);
        ReloadGraphFromImage(nullptr, nullptr, nullptr, nameCopy, 0, &image, previousAlpha ? &alpha : nullptr,
                             record->fileX, record->fileY, graph, record->fileMirror);
    }
    if (previousLoaded) {
        FreeRasterImage(&image);
        if (previousAlpha)
            FreeRasterImage(&alpha);
    }
}
