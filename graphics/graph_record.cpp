#include "graphics/graph_record.h"

#include "graphics/graph_handles.h"
#include "image/color_format.h"

// Stand-ins until graph pictures are made: the queries read what the record
// holds; a software graph's view and the tile transfer come with them.
static GraphImageRecord* ImageOf(int graph)
{
    GraphRecord* record = GetGraphRecord(graph);
    return record ? record->image : nullptr;
}

int IsDrawableGraph(int graph)
{
    GraphImageRecord* image = ImageOf(graph);
    return image && image->desc.drawable ? 1 : 0;
}

int QueryGraphSize(int graph, int* width, int* height)
{
    GraphRecord* record = GetGraphRecord(graph);
    if (!record)
        return -1;
    if (width)
        *width = record->width;
    if (height)
        *height = record->height;
    return 0;
}

IDirect3DSurface9* GetGraphTargetSurface(int graph)
{
    GraphImageRecord* image = ImageOf(graph);
    return image && image->desc.drawable && image->desc.texture && image->tileCount > 0 ? image->tiles[0].surface
                                                                                        : nullptr;
}

int GetGraphFormatKind(int graph)
{
    GraphImageRecord* image = ImageOf(graph);
    return image ? image->formatKind : -1;
}

MEMIMG* GetGraphMemImage(int) { return nullptr; }

MEMIMG* GetImageRecordMemImage(GraphImageRecord* image)
{
    return image && !image->desc.texture ? (MEMIMG*)(void*)&image->mipLevels : nullptr;
}
int CopyImageToGraphTiles(int, const RasterImage*) { return -1; }

const ColorFormat* GetD3DFormatColorFormat(int format)
{
    struct Entry {
        int format, depth;
        unsigned int r, g, b, a;
    };
    static const Entry entries[] = {
        {D3DFMT_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DFMT_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {D3DFMT_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DFMT_R5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
        {D3DFMT_X1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},
        {D3DFMT_A1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
        {D3DFMT_A4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
        {D3DFMT_R3G3B2, 8, 0xE0, 0x1C, 0x3, 0},
        {D3DFMT_A8R3G3B2, 16, 0xE0, 0x1C, 0x3, 0xFF00},
        {D3DFMT_X4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0},
        {D3DFMT_A2B10G10R10, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
        {D3DFMT_A8B8G8R8, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
        {D3DFMT_X8B8G8R8, 32, 0xFF, 0xFF00, 0xFF0000, 0},
        {D3DFMT_A2R10G10B10, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    };
    enum { COUNT = sizeof entries / sizeof entries[0] };
    static ColorFormat formats[COUNT];
    static bool built[COUNT];
    for (int i = 0; i < COUNT; i++) {
        if (entries[i].format != format)
            continue;
        if (!built[i]) {
            const Entry& e = entries[i];
            MakeColorFormat(&formats[i], e.depth, e.r, e.g, e.b, e.a);
            built[i] = true;
        }
        return &formats[i];
    }
    return nullptr;
}
