#include "image/raster_handles.h"

DEFINE_HANDLE_TABLE(RasterHandles, HANDLE_TYPE_RASTER, RASTER_HANDLE_MAX, SLOT_AT_END);

int DeleteRasterHandle(int handle)
{
    RasterHandle* record = (RasterHandle*)GetHandleRecord(&RasterHandles, handle);
    if (!record)
        return -1;
    FreeRasterImage(&record->image);
    return FreeHandleRecord(&RasterHandles, handle);
}

int DeleteAllRasterHandles()
{
    return DeleteAllHandles(&RasterHandles, DeleteRasterHandle);
}

int EndRasterHandles()
{
    return DeleteAllRasterHandles();
}
