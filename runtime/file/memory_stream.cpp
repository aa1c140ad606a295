// Memory streams: no platform, so decoders read through them in every build.
#include <string.h>

#include "runtime/file/stream.h"
#include "runtime/memory.h"

StreamHandle OpenMemoryStream(const void* data, int size)
{
    MemoryStream* m = (MemoryStream*)AllocTracked(sizeof(MemoryStream), "MemoryStream", 0);
    if (!m)
        return 0;
    m->data = (const unsigned char*)data;
    m->size = size < 0 ? 0 : size;
    m->position = 0;
    m->eof = 0;
    return (StreamHandle)m;
}

int CloseMemoryStream(StreamHandle stream)
{
    FreeTracked((void*)stream);
    return 0;
}

long MemStreamTell(StreamHandle stream)
{
    return ((MemoryStream*)stream)->position;
}

int MemStreamSeek(StreamHandle stream, long offset, int origin)
{
    MemoryStream* m = (MemoryStream*)stream;
    long long position = offset;
    if (origin == 1)
        position += m->position;
    else if (origin == 2)
        position += m->size;
    if (position < 0)
        position = 0;
    if (position > m->size)
        position = m->size;
    m->position = (int)position;
    m->eof = 0;
    return 0;
}

size_t MemStreamRead(void* buffer, size_t itemSize, size_t itemCount, StreamHandle stream)
{
    MemoryStream* m = (MemoryStream*)stream;
    if (m->position >= m->size) {
        m->eof = 1;
        return 0;
    }
    if (itemCount == 0 || itemSize == 0)
        return 0;
    size_t remaining = (size_t)(m->size - m->position);
    size_t items, bytes;
    if (itemCount <= remaining / itemSize) {
        items = itemCount;
        bytes = itemSize * itemCount;
    } else if (remaining >= itemSize) {
        items = remaining / itemSize;
        bytes = items * itemSize;
    } else {
        // Not one whole item left: the remaining bytes count as one.
        items = 1;
        bytes = remaining;
    }
    memcpy(buffer, m->data + m->position, bytes);
    m->position += (int)bytes;
    m->eof = 0;
    return items;
}

int MemStreamEof(StreamHandle stream)
{
    return ((MemoryStream*)stream)->eof ? -1 : 0;
}

int MemStreamIdle(StreamHandle) { return 1; }

static const StreamDescriptorFunctions memoryFunctions = {
    MemStreamTell, MemStreamSeek, MemStreamRead, MemStreamEof, MemStreamIdle, CloseMemoryStream,
};

const StreamDescriptorFunctions* GetMemoryStreamFunctions() { return &memoryFunctions; }
