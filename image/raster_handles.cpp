#include "image/raster_handles.h"

// Stand-in until raster handles exist.
int EndRasterHandles() { return 0; }
