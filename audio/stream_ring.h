// The arithmetic of a stream sound's one-second looping buffer: its sizes,
// when a refill falls due, how much it writes, and when the played cursor has
// passed the end of the data. Pure functions of positions, so that the rules
// can be checked without a device.
#pragma once

#include <stdint.h>

struct StreamRingSizes {
    uint32_t ring;           // R: one second rounded up to whole blocks
    uint32_t firstFill;      // F: 0.75 second rounded down
    uint32_t step;           // E: 1/8 second rounded down
    uint32_t guardDistance;  // G: 0.75 second rounded up
};

// Lead below which a refill writes more than one step, in 1/512 second.
enum { STREAM_LEAD_THRESHOLD = 192 };

int GetStreamRingSizes(uint32_t bytesPerSecond, uint32_t blockAlign, StreamRingSizes* sizes);
// 1 when the cursor lies between the guard and the write position going
// round the ring, else 0.
int StreamWriteDue(int32_t writePos, int32_t guard, uint32_t cursor);
// The cursor counted on the write position's lap (cursor + R when the write
// position has wrapped ahead of it).
uint32_t StreamCursorReference(int32_t writePos, int32_t guard, uint32_t cursor, uint32_t ringBytes);
// Bytes a due refill writes: one step, or enough to bring a lead that has
// fallen below the threshold back up to it.
uint32_t StreamRefillBytes(int32_t writePos, int32_t guard, uint32_t cursor, uint32_t bytesPerSecond,
                           uint32_t blockAlign, const StreamRingSizes* sizes);
// The write position and guard after n bytes were written (the first fill
// starts at offset 0).
void AdvanceStreamWrite(int32_t* writePos, int32_t* guard, uint32_t written, int firstFill,
                        const StreamRingSizes* sizes);
// 1 once the cursor has travelled, round the ring, from where it stood when
// the end was written (cursorAtEnd, taken modulo the ring) to the end of the
// data. Holds as long as the cursor has made less than a lap since, which the
// refill pass (every 30 ms over a one-second ring) assures.
int StreamEndPlayed(uint32_t endRingPos, uint32_t cursorAtEnd, uint32_t cursor, uint32_t ringBytes);
