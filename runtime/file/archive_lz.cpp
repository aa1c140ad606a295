#include "runtime/file/archive_lz.h"

#include <string.h>

#include "runtime/file/archive_format.h"

static uint32_t Read32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint32_t ArchiveLzOutputSize(const void* block)
{
    return Read32((const uint8_t*)block);
}

uint32_t ArchiveLzBlockSize(const void* block)
{
    return Read32((const uint8_t*)block + 4);
}

// The most output one token byte can stand for: a match of the longest
// length in four bytes (escape, match byte, length byte, one distance byte).
static const uint64_t MaxOutputPerByte = LZ_MAX_MATCH / 4 + 1;

int CheckArchiveLzHeader(const void* block, uint32_t available, uint32_t expectedOutput)
{
    if (available < LZ_HEADER_SIZE)
        return -1;
    uint32_t blockSize = ArchiveLzBlockSize(block);
    if (blockSize < LZ_HEADER_SIZE || blockSize > available)
        return -1;
    if (ArchiveLzOutputSize(block) != expectedOutput)
        return -1;
    if (expectedOutput > (uint64_t)(blockSize - LZ_HEADER_SIZE) * MaxOutputPerByte)
        return -1;
    return 0;
}

// Decodes `inBytes` token bytes into exactly outSize bytes; false when a token
// leaves the input or the output, or the output is not filled.
static bool DecodeTokens(const uint8_t* in, uint32_t inBytes, uint8_t escape, uint8_t* out, uint32_t outSize)
{
    uint32_t i = 0, o = 0;
    while (i < inBytes) {
        uint8_t b = in[i];
        if (b != escape) {
            // A run of literals up to the next escape byte.
            const uint8_t* next = (const uint8_t*)memchr(in + i, escape, inBytes - i);
            uint32_t run = next ? (uint32_t)(next - (in + i)) : inBytes - i;
            if (run > outSize - o)
                return false;
            memcpy(out + o, in + i, run);
            i += run;
            o += run;
            continue;
        }
        if (inBytes - i < 2)
            return false;
        uint8_t x = in[i + 1];
        i += 2;
        if (x == escape) {
            if (o >= outSize)
                return false;
            out[o++] = escape;
            continue;
        }
        uint32_t m = x > escape ? x - 1u : x;
        uint32_t length = m >> 3;
        if (m & 4) {
            if (i >= inBytes)
                return false;
            length |= (uint32_t)in[i++] << 5;
        }
        uint32_t kind = m & 3;
        if (kind == 3 || inBytes - i < kind + 1)
            return false;
        uint32_t distance = in[i];
        if (kind >= 1)
            distance |= (uint32_t)in[i + 1] << 8;
        if (kind >= 2)
            distance |= (uint32_t)in[i + 2] << 16;
        i += kind + 1;
        length += LZ_MIN_MATCH;
        distance += 1;
        if (distance > o || length > outSize - o)
            return false;
        // Copy in doubling chunks: each chunk lies wholly behind its
        // destination, and the period of the first `distance` bytes makes
        // the result that of a byte-by-byte copy.
        uint8_t* source = out + o - distance;
        uint8_t* destination = out + o;
        uint32_t chunk = distance, remaining = length;
        while (remaining > chunk) {
            memcpy(destination, source, chunk);
            destination += chunk;
            remaining -= chunk;
            chunk *= 2;
        }
        memcpy(destination, source, remaining);
        o += length;
    }
    return o == outSize;
}

int DecodeArchiveLz(const void* block, void* output)
{
    const uint8_t* b = (const uint8_t*)block;
    uint32_t outSize = ArchiveLzOutputSize(b);
    uint32_t blockSize = ArchiveLzBlockSize(b);
    if (!output || blockSize == LZ_HEADER_SIZE)
        return (int)outSize;
    if (blockSize < LZ_HEADER_SIZE)
        return -1;
    if (!DecodeTokens(b + LZ_HEADER_SIZE, blockSize - LZ_HEADER_SIZE, b[8], (uint8_t*)output, outSize))
        return -1;
    return (int)outSize;
}

int DecodeArchiveLzChecked(const void* block, uint32_t available, void* output, uint32_t outputBytes)
{
    if (CheckArchiveLzHeader(block, available, outputBytes) != 0)
        return -1;
    const uint8_t* b = (const uint8_t*)block;
    uint32_t blockSize = ArchiveLzBlockSize(b);
    if (!DecodeTokens(b + LZ_HEADER_SIZE, blockSize - LZ_HEADER_SIZE, b[8], (uint8_t*)output, outputBytes))
        return -1;
    return 0;
}
