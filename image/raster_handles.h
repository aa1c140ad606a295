// The raster-handle table. Nothing in the library creates raster handles;
// the table exists so that library end can delete whatever it holds.
#pragma once

#include <stdint.h>

#include "image/raster_image.h"

enum {
    RASTER_HANDLE_TYPE = 0x58000000,
    RASTER_HANDLE_MAX = 8192,
};

struct RasterHandle {
    RasterImage image;
    uint32_t check;        // 11-bit check value, bits 16-26 of the handle
};

struct RasterHandleTable {
    RasterHandle* records[RASTER_HANDLE_MAX];   // AllocTracked records
    int count;
    int highMark;          // one above the highest slot in use
};

extern RasterHandleTable RasterHandles;

int DeleteRasterHandle(int handle);
int DeleteAllRasterHandles();
// Library end.
int EndRasterHandles();
