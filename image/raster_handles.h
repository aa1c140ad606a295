// The raster-handle table. Nothing in the library creates raster handles;
// the table exists so that library end can delete whatever it holds.
#pragma once

#include <stdint.h>

#include "graphics/handle_table.h"
#include "image/raster_image.h"

struct RasterHandle {
    uint32_t check;        // first field of every handle record
    RasterImage image;
};

extern HandleTable RasterHandles;

int DeleteRasterHandle(int handle);
int DeleteAllRasterHandles();
// Library end.
int EndRasterHandles();
