#include "graphics/graph_reload.h"

#include <stdint.h>

#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "image/color_format.h"
#include "image/image_loader.h"
#include "image/raster_image.h"

int ReloadTopLeftTransColor = 0;

namespace {

int Reload(RasterImage* colour, RasterImage* alpha, int graph, bool flip)
{
    if (!colour)
        return -1;
    FixColorFormatMask(&colour->format);
    if (alpha)
        FixColorFormatMask(&alpha->format);
    int width, height;
    if (GetGraphSizeOf(graph, &width, &height) != 0 || width != colour->width || height != colour->height)
        return -1;
    if (alpha && (alpha->width != width || alpha->height != height))
        return -1;
    GraphRecord* record = GetGraphRecord(graph);
    if (!record || !record->image)
        return -1;

    // The transfer keys on the picture's own transparent colour, so that is
    // what the top-left pixel replaces for this reload.
    GraphImageRecord* image = record->image;
    uint32_t keptTrans = image->transColor;
    if (ReloadTopLeftTransColor && width > 0 && height > 0)
        image->transColor = GetImagePixel(colour, 0, 0) & 0xFFFFFF;
    if (flip) {
        FlipImageHorizontal(colour);
        if (alpha)
            FlipImageHorizontal(alpha);
    }
    int result = ReloadGraphFromImage(nullptr, nullptr, nullptr, nullptr, 0, colour, alpha, 0, 0, graph, 0);
    if (flip) {
        FlipImageHorizontal(colour);
        if (alpha)
            FlipImageHorizontal(alpha);
    }
    // The reload keeps the graph's record; its picture is the same one.
    record = GetGraphRecord(graph);
    if (record && record->image == image)
        image->transColor = keptTrans;
    return result;
}

}  // namespace

int ReloadGraphFromImages(RasterImage* colour, RasterImage* alpha, int graph, int notRead, int mirror,
                          int mirrorAgain)
{
    return Reload(colour, alpha, graph, mirror == 1 && mirrorAgain == 1);
}

int ReloadGraphFromRasterImage(RasterImage* colour, int graph)
{
    return Reload(colour, nullptr, graph, false);
}

int ReloadGraphFromFile(const void* source, int size, int graph, const void* alphaSource, int alphaSize,
                        int notRead, int mirror)
{
    if (!source)
        return -1;
    int memory = size > 0;
    // Alpha: the given block, else the path's "_a" file, else none.
    int alphaMode = alphaSource ? 1 : memory ? 2 : 0;
    RasterImage colour = {}, alpha = {};
    int loaded = LoadImageWithAlpha(memory ? nullptr : static_cast<const char*>(source), memory ? source : nullptr,
                                    size, memory, alphaSource, alphaSize, alphaMode, &colour, &alpha, 0);
    if (loaded < 0)
        return -1;
    bool hasAlpha = loaded == 0;
    if (mirror == 1) {
        FlipImageHorizontal(&colour);
        if (hasAlpha)
            FlipImageHorizontal(&alpha);
    }
    int result = ReloadGraphFromImages(&colour, hasAlpha ? &alpha : nullptr, graph, notRead, mirror, 0);
    FreeRasterImage(&colour);
    if (hasAlpha)
        FreeRasterImage(&alpha);
    return result;
}
