#include "graphics/image_transfer.h"

int TransferImageToGraph(int, ColorFormat*, HBITMAP, HBITMAP, const RECT*, int, int, int, RasterImage*, RasterImage*,
                         int, int, int)
{
    return -1;
}
