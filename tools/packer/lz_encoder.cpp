#include "tools/packer/lz_encoder.h"

#include <string.h>

#include "runtime/file/archive_format.h"

namespace {

const int HashBits = 16;
const uint32_t Window = 1u << 22;        // positions remembered for matching
const int MaxChain = 8;                  // candidates tried per position (each a likely cache miss)

uint32_t Hash4(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - HashBits);
}

int DistanceBytes(uint32_t distance)
{
    uint32_t field = distance - 1;
    return field < 0x100 ? 1 : field < 0x10000 ? 2 : 3;
}

// Bytes a match token takes.
int MatchCost(uint32_t length, uint32_t distance)
{
    return 2 + (length - LZ_MIN_MATCH >= 32 ? 1 : 0) + DistanceBytes(distance);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    out[at] = (uint8_t)v;
    out[at + 1] = (uint8_t)(v >> 8);
    out[at + 2] = (uint8_t)(v >> 16);
    out[at + 3] = (uint8_t)(v >> 24);
}

void EmitMatch(std::vector<uint8_t>& out, uint8_t escape, uint32_t length, uint32_t distance)
{
    uint32_t lengthField = length - LZ_MIN_MATCH;
    uint32_t distanceField = distance - 1;
    int kind = DistanceBytes(distance) - 1;
    uint32_t m = (lengthField & 31) << 3 | (lengthField >= 32 ? 4 : 0) | (uint32_t)kind;
    out.push_back(escape);
    out.push_back((uint8_t)(m < escape ? m : m + 1));
    if (lengthField >= 32)
        out.push_back((uint8_t)(lengthField >> 5));
    for (int i = 0; i <= kind; i++)
        out.push_back((uint8_t)(distanceField >> (8 * i)));
}

} // namespace

std::vector<uint8_t> EncodeArchiveLzWithEscape(const uint8_t* data, uint32_t size, uint8_t escape)
{
    std::vector<uint8_t> out(LZ_HEADER_SIZE);
    out.reserve(LZ_HEADER_SIZE + size + size / 8 + 16);
    out[8] = escape;

    std::vector<int32_t> head((size_t)1 << HashBits, -1);
    std::vector<int32_t> chain(size < Window ? size : Window, -1);
    auto insert = [&](uint32_t at) {
        if (at + 4 > size)
            return;
        uint32_t h = Hash4(data + at);
        chain[at % chain.size()] = head[h];
        head[h] = (int32_t)at;
    };

    uint32_t i = 0;
    while (i < size) {
        uint32_t bestLength = 0, bestDistance = 0;
        if (i + LZ_MIN_MATCH <= size) {
            uint32_t limit = size - i < LZ_MAX_MATCH ? size - i : LZ_MAX_MATCH;
            int32_t candidate = head[Hash4(data + i)];
            for (int depth = 0; candidate >= 0 && depth < MaxChain; depth++) {
                uint32_t distance = i - (uint32_t)candidate;
                if (distance > LZ_MAX_DISTANCE || distance >= chain.size())
                    break;
                const uint8_t* a = data + candidate;
                const uint8_t* b = data + i;
                if (bestLength == 0 || (bestLength < limit && a[bestLength] == b[bestLength])) {
                    uint32_t n = 0;
                    while (n < limit && a[n] == b[n])
                        n++;
                    if (n > bestLength) {
                        bestLength = n;
                        bestDistance = distance;
                        if (n == limit)
                            break;
                    }
                }
                candidate = chain[(uint32_t)candidate % chain.size()];
            }
        }
        if (bestLength >= LZ_MIN_MATCH && MatchCost(bestLength, bestDistance) < (int)bestLength) {
            EmitMatch(out, escape, bestLength, bestDistance);
            for (uint32_t k = 0; k < bestLength; k++)
                insert(i + k);
            i += bestLength;
        } else {
            out.push_back(data[i]);
            if (data[i] == escape)
                out.push_back(escape);
            insert(i);
            i++;
        }
    }
    Put32(out, 0, size);
    Put32(out, 4, (uint32_t)out.size());
    return out;
}

std::vector<uint8_t> EncodeArchiveLz(const uint8_t* data, uint32_t size)
{
    uint32_t counts[256] = {};
    for (uint32_t i = 0; i < size; i++)
        counts[data[i]]++;
    int escape = 0;
    for (int b = 1; b < 256; b++)
        if (counts[b] < counts[escape])
            escape = b;
    return EncodeArchiveLzWithEscape(data, size, (uint8_t)escape);
}
