// Reading the back buffer in tests: pixels as 0x00RRGGBB whatever the
// screen's format.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "graphics/draw_target.h"
#include "image/raster_image.h"

// A channel of a pixel value scaled to 0..255 (rounded).
inline unsigned int ChannelByte(uint32_t v, uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        shift++;
    uint32_t max = mask >> shift;
    return (((v & mask) >> shift) * 255 + max / 2) / max;
}

// The back buffer's pixels of a rectangle, row by row.
inline std::vector<unsigned int> ReadScreenRgb(int x, int y, int w, int h)
{
    std::vector<unsigned int> out;
    RECT r = {x, y, x + w, y + h};
    RasterImage image = {};
    if (LockScreenImage(&r, &image) != 0) {
        ADD_FAILURE() << "the back buffer could not be locked";
        return out;
    }
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            const BYTE* p = (const BYTE*)image.pixels + (ptrdiff_t)j * image.pitch + i * image.format.bytesPerPixel;
            uint32_t v = 0;
            memcpy(&v, p, image.format.bytesPerPixel);
            out.push_back(ChannelByte(v, image.format.redMask) << 16 | ChannelByte(v, image.format.greenMask) << 8 |
                          ChannelByte(v, image.format.blueMask));
        }
    UnlockScreenImage();
    return out;
}
