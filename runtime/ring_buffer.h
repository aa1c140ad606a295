// A growable byte ring: the network layer's send and receive queues and the
// software sound players' queued samples.
#pragma once

// All zero while it holds no data. A position equal to size means 0.
struct RingBuffer {
    unsigned char* data;
    int readPos;   // next byte to take
    int writePos;  // next free byte
    int used;      // bytes held
    int size;      // bytes allocated
};

// Makes room for `need` more bytes, keeping the held ones in order (they move
// to the start of a new allocation). -1, with the ring left as it was, when
// need is negative or the new size cannot be allocated or held in an int.
int ReserveRingBuffer(RingBuffer* ring, int need);
// Copies count bytes out, taking them unless peek is set; -1 (and nothing
// changed) when fewer than count are held.
int ReadRingBuffer(RingBuffer* ring, void* destination, int count, int peek);
int ReleaseRingBuffer(RingBuffer* ring);
void WrapRingPositions(RingBuffer* ring);
