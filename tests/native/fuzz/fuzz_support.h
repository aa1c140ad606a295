// What every fuzz target shares: the check that an input leaves the library's
// tracked memory as it found it, and a reader that takes the fields of a
// target's input format from the front of the data (zeros once it runs out).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "runtime/memory.h"

// A failed check ends the run the way a sanitizer report does, so that
// libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                         \
    do {                                                                              \
        if (!(condition)) {                                                           \
            fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__,     \
                    #condition);                                                      \
            abort();                                                                  \
        }                                                                             \
    } while (0)

// Scope of one input: at its end every tracked block made for the input is
// freed and every block header still matches its guard.
class TrackedMemoryScope {
public:
    TrackedMemoryScope() : count(GetAllocCount()), size(GetAllocTotalSize()) {}
    ~TrackedMemoryScope()
    {
        FUZZ_CHECK(GetAllocCount() == count);
        FUZZ_CHECK(GetAllocTotalSize() == size);
        FUZZ_CHECK(CheckAllocRecords() == 0);
    }

private:
    int count, size;
};

class FuzzReader {
public:
    FuzzReader(const uint8_t* data, size_t size) : p(data), left(size) {}

    uint8_t Byte()
    {
        if (!left)
            return 0;
        left--;
        return *p++;
    }
    uint32_t Word32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v |= (uint32_t)Byte() << (8 * i);
        return v;
    }
    // 0 to count - 1.
    int Below(int count) { return Byte() % count; }
    bool Flag() { return Byte() & 1; }

    // What the fields left: the target's payload.
    const uint8_t* Rest() const { return p; }
    size_t RestSize() const { return left; }

private:
    const uint8_t* p;
    size_t left;
};
