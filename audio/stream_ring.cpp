#include "audio/stream_ring.h"

int GetStreamRingSizes(uint32_t bytesPerSecond, uint32_t blockAlign, StreamRingSizes* sizes)
{
    if (blockAlign == 0)
        return -1;
    const uint64_t a = bytesPerSecond, b = blockAlign;
    const uint64_t ring = (a + b - 1) / b * b;
    const uint64_t threeQuarters = a * 192 / 256;
    const uint64_t guard = (a * 192 + 255) / 256;
    if (ring > 0x7FFFFFFF)
        return -1;
    sizes->ring = (uint32_t)ring;
    sizes->firstFill = (uint32_t)(threeQuarters / b * b);
    sizes->step = (uint32_t)(a / 8 / b * b);
    sizes->guardDistance = (uint32_t)((guard + b - 1) / b * b);
    return 0;
}

int StreamWriteDue(int32_t writePos, int32_t guard, uint32_t cursor)
{
    const int64_t w = writePos, g = guard, c = cursor;
    if (g <= w)
        return g <= c && c <= w;
    return !(w < c && c < g);
}

uint32_t StreamCursorReference(int32_t writePos, int32_t guard, uint32_t cursor, uint32_t ringBytes)
{
    const int64_t w = writePos, g = guard, c = cursor;
    return (uint32_t)(g > w && c < w ? c + ringBytes : c);
}

uint32_t StreamRefillBytes(int32_t writePos, int32_t guard, uint32_t cursor, uint32_t bytesPerSecond,
                           uint32_t blockAlign, const StreamRingSizes* sizes)
{
    const int64_t w = writePos, g = guard, c = cursor;
    const int64_t ahead = g > w && c >= w ? w + sizes->ring : w;
    if (bytesPerSecond == 0 || blockAlign == 0 || ahead < c)
        return sizes->step;
    const uint64_t lead = (uint64_t)(ahead - c) * 512 / bytesPerSecond;
    if (lead >= STREAM_LEAD_THRESHOLD)
        return sizes->step;
    const uint64_t bytes = (STREAM_LEAD_THRESHOLD - lead) * bytesPerSecond / 512;
    return (uint32_t)(bytes / blockAlign * blockAlign);
}

void AdvanceStreamWrite(int32_t* writePos, int32_t* guard, uint32_t written, int firstFill,
                        const StreamRingSizes* sizes)
{
    if (firstFill) {
        *writePos = (int32_t)written;
        *guard = 0;
        return;
    }
    int64_t w = (int64_t)*writePos + written;
    if (w >= sizes->ring)
        w -= sizes->ring;
    int64_t g = w - sizes->guardDistance;
    if (g < 0)
        g += sizes->ring;
    *writePos = (int32_t)w;
    *guard = (int32_t)g;
}

int StreamEndPlayed(uint32_t endRingPos, uint32_t cursorAtEnd, uint32_t cursor, uint32_t ringBytes)
{
    if (ringBytes == 0)
        return 1;
    const uint64_t r = ringBytes;
    const uint64_t from = cursorAtEnd % r;
    const uint64_t toEnd = ((uint64_t)endRingPos % r + r - from) % r;
    const uint64_t travelled = ((uint64_t)cursor % r + r - from) % r;
    return travelled >= toEnd;
}
