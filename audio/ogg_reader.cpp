#include "audio/ogg_reader.h"

#include <stdio.h>

namespace {

// The Vorbis file library asks for a fixed amount per read and offers no
// setting, so one reader serves every configuration.
size_t OggReadCallback(void* buffer, size_t itemSize, size_t itemCount, void* source)
{
    StreamDescriptor* s = (StreamDescriptor*)source;
    if (!s)
        return (size_t)-1;
    return s->ops.read(buffer, itemSize, itemCount, s->handle);
}

// Offsets beyond 4 GiB are not supported.
int OggSeekCallback(void* source, ogg_int64_t offset, int origin)
{
    StreamDescriptor* s = (StreamDescriptor*)source;
    if (!s)
        return -1;
    if (s->ops.seek(s->handle, (long)(int32_t)(uint32_t)offset, origin) != 0)
        return -1;
    // The reader keeps its own idea of the position: a stream that clamps a
    // seek outside it must not leave the two apart.
    if (origin == SEEK_SET && s->ops.tell(s->handle) != (long)(int32_t)(uint32_t)offset)
        return -1;
    return 0;
}

// The stream belongs to the reader's owner.
int OggCloseCallback(void*) { return 0; }

long OggTellCallback(void* source)
{
    StreamDescriptor* s = (StreamDescriptor*)source;
    if (!s)
        return -1;
    return s->ops.tell(s->handle);
}

const ov_callbacks kOggCallbacks = {OggReadCallback, OggSeekCallback, OggCloseCallback, OggTellCallback};

} // namespace

int OpenOggReader(OggReader* reader, StreamDescriptor* source, int sampleWidth, int* channels, long* rate)
{
    reader->opened = 0;
    reader->sampleWidth = sampleWidth;
    if (ov_open_callbacks(source, &reader->file, nullptr, 0, kOggCallbacks) != 0)
        return -1;
    reader->opened = 1;
    vorbis_info* info = ov_info(&reader->file, -1);
    *channels = info ? info->channels : 0;
    *rate = info ? info->rate : 0;
    return 0;
}

int64_t GetOggReaderSamples(OggReader* reader)
{
    ogg_int64_t samples = ov_pcm_total(&reader->file, -1);
    return samples < 0 ? -1 : (int64_t)samples;
}

long ReadOggReader(OggReader* reader, void* out, int byteCount)
{
    for (;;) {
        int link;
        long got = ov_read(&reader->file, (char*)out, byteCount, 0, reader->sampleWidth,
                           reader->sampleWidth != 1, &link);
        // A hole is skipped; any other error ends the data like its end.
        if (got == OV_HOLE)
            continue;
        return got < 0 ? 0 : got;
    }
}

int SeekOggReader(OggReader* reader, int64_t sample)
{
    // Past the end, the reader stays at its end.
    int64_t total = GetOggReaderSamples(reader);
    if (total >= 0 && sample > total)
        sample = total;
    return ov_pcm_seek(&reader->file, sample) == 0 ? 0 : -1;
}

void CloseOggReader(OggReader* reader)
{
    if (reader->opened) {
        ov_clear(&reader->file);
        reader->opened = 0;
    }
}
