#include "runtime/network.h"

#include "runtime/helpers.h"
#include "runtime/memory.h"

// The network layer is never started here, so every entry returns at once.
int TermNetwork() { return 0; }
int PumpNetworkMessages(int) { return 0; }
int OnSocketMessage(WPARAM, LPARAM) { return 0; }

static void WrapRingPositions(RingBuffer* ring)
{
    if (ring->readPos == ring->size)
        ring->readPos = 0;
    if (ring->writePos == ring->size)
        ring->writePos = 0;
}

int ReadRingBuffer(RingBuffer* ring, void* destination, int count, int peek)
{
    if (count < 0 || ring->used < count)
        return -1;
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
        ring->readPos = ring->size == 0 ? 0 : (ring->readPos + count) % ring->size;
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
