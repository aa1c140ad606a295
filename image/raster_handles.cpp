#include "image/raster_handles.h"

#include "runtime/memory.h"

RasterHandleTable RasterHandles;

int DeleteRasterHandle(int handle)
{
    if (handle < 0 || (handle & 0x78000000) != RASTER_HANDLE_TYPE)
        return -1;
    int slot = handle & 0xFFFF;
    if (slot >= RASTER_HANDLE_MAX)
        return -1;
    RasterHandle* record = RasterHandles.records[slot];
    if (!record || (record->check << 16) != ((uint32_t)handle & 0x07FF0000))
        return -1;

    FreeRasterImage(&record->image);
    RasterHandles.count--;
    if (slot == RasterHandles.highMark - 1) {
        int mark = 0;
        if (RasterHandles.count > 0)
            for (int i = slot - 1; i >= 0; i--)
                if (RasterHandles.records[i]) {
                    mark = i + 1;
                    break;
                }
        RasterHandles.highMark = mark;
    }
    FreeTracked(record);
    RasterHandles.records[slot] = nullptr;
    return 0;
}

int DeleteAllRasterHandles()
{
    for (int slot = RasterHandles.highMark - 1; slot >= 0; slot--) {
        RasterHandle* record = RasterHandles.records[slot];
        if (record)
            DeleteRasterHandle((int)(((record->check | 0x5800) << 16) | (uint32_t)slot));
    }
    return 0;
}

int EndRasterHandles()
{
    return DeleteAllRasterHandles();
}
