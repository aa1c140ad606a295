// Reading and writing one pixel of 1 to 4 bytes (3-byte pixels as blue,
// green, red from the lowest address), and row addressing with a signed pitch.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

inline uint32_t ReadPixelValue(const uint8_t* p, int bytes)
{
    switch (bytes) {
    case 1:
        return p[0];
    case 2: {
        uint16_t v;
        memcpy(&v, p, 2);
        return v;
    }
    case 3:
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    case 4: {
        uint32_t v;
        memcpy(&v, p, 4);
        return v;
    }
    }
    return 0;
}

inline void WritePixelValue(uint8_t* p, int bytes, uint32_t value)
{
    switch (bytes) {
    case 1:
        p[0] = (uint8_t)value;
        break;
    case 2: {
        uint16_t v = (uint16_t)value;
        memcpy(p, &v, 2);
        break;
    }
    case 3:
        p[0] = (uint8_t)value;
        p[1] = (uint8_t)(value >> 8);
        p[2] = (uint8_t)(value >> 16);
        break;
    case 4:
        memcpy(p, &value, 4);
        break;
    }
}

inline uint8_t* PixelRow(void* pixels, int pitch, int y)
{
    return (uint8_t*)pixels + (ptrdiff_t)pitch * y;
}

inline const uint8_t* PixelRow(const void* pixels, int pitch, int y)
{
    return (const uint8_t*)pixels + (ptrdiff_t)pitch * y;
}
