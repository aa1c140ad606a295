#include "runtime/ring_buffer.h"

#include <limits.h>
#include <stdint.h>

#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"

void WrapRingPositions(RingBuffer* ring)
{
    if (ring->readPos == ring->size)
        ring->readPos = 0;
    if (ring->writePos == ring->size)
        ring->writePos = 0;
}

int ReserveRingBuffer(RingBuffer* ring, int need)
{
    if (need < 0)
        return -1;
    WrapRingPositions(ring);
    if ((int64_t)ring->size >= (int64_t)ring->used + need)
        return 0;
    // Worked out in 64 bits: a size past INT_MAX is refused, never wrapped.
    const int64_t newSize = (int64_t)ring->used * 3 / 2 + need + 1000;
    unsigned char* data = nullptr;
    if (newSize <= INT_MAX)
        data = (unsigned char*)AllocTracked((size_t)newSize, "RingBuffer", __LINE__);
    if (data == nullptr) {
        // The held bytes stay: the caller may still read them.
        WriteLogFormat("リングバッファの再確保に失敗しました(確保しようとしたサイズ %d byte)",
                       newSize <= INT_MAX ? (int)newSize : INT_MAX);
        return -1;
    }
    if (ring->used != 0) {
        if (ring->readPos + ring->used <= ring->size) {
            CopyBytes(data, ring->data + ring->readPos, ring->used);
        } else {
            const int head = ring->size - ring->readPos;
            CopyBytes(data, ring->data + ring->readPos, head);
            CopyBytes(data + head, ring->data, ring->used - head);
        }
    }
    FreeTracked(ring->data);
    ring->data = data;
    ring->size = (int)newSize;
    ring->readPos = 0;
    ring->writePos = ring->used;
    return 0;
}

int ReadRingBuffer(RingBuffer* ring, void* destination, int count, int peek)
{
    if (count < 0 || ring->used < count)
        return -1;
    if (count == 0)
        return 0;
    WrapRingPositions(ring);
    unsigned char* to = (unsigned char*)destination;
    if (ring->readPos + count <= ring->size) {
        CopyBytes(to, ring->data + ring->readPos, count);
    } else {
        const int head = ring->size - ring->readPos;
        CopyBytes(to, ring->data + ring->readPos, head);
        CopyBytes(to + head, ring->data, count - head);
    }
    if (!peek) {
        ring->readPos = (ring->readPos + count) % ring->size;
        ring->used -= count;
    }
    return 0;
}

int ReleaseRingBuffer(RingBuffer* ring)
{
    FreeTracked(ring->data);
    FillBytes(ring, 0, sizeof(*ring));
    return 0;
}
