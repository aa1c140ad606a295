// Socket networking (never started by this program) and the byte ring that
// its queues and the sound layer's players share.
#pragma once

#include <windows.h>

int TermNetwork();
int PumpNetworkMessages(int closeLost);
int OnSocketMessage(WPARAM socket, LPARAM event);

struct RingBuffer {
    unsigned char* data;
    int readPos;
    int writePos;
    int used;
    int size;
};

int ReadRingBuffer(RingBuffer* ring, void* destination, int count, int peek);
int ReleaseRingBuffer(RingBuffer* ring);
