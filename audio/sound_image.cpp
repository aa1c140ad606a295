// Sound data held in memory on its way to a sound: a stream read whole, the
// WAVE image built around decoded PCM, and the whole-or-stream rule.
// Platform-free, so that it is checked natively.
#include "audio/sound_image.h"

#include <stdio.h>

#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"

int FitsWholeSound(uint32_t pcmBytes, uint32_t bytesPerSecond)
{
    if (bytesPerSecond == 0)
        return 0;
    return pcmBytes / bytesPerSecond <= 180;
}

int ReadStreamToMemory(StreamDescriptor* stream, void** data, uint32_t* size)
{
    stream->ops.seek(stream->handle, 0, SEEK_END);
    const int64_t length = stream->ops.tell(stream->handle);
    stream->ops.seek(stream->handle, 0, SEEK_SET);
    void* memory = nullptr;
    if (length >= 0 && (uint64_t)length <= kMaxSoundBlock)
        memory = AllocTracked(length == 0 ? 1 : (size_t)length, "", 0);
    if (memory == nullptr) {
        WriteLog("ストリームの読み込みに必要なメモリの確保に失敗しました");
        return -1;
    }
    if (length != 0)
        stream->ops.read(memory, (size_t)length, 1, stream->handle);
    *data = memory;
    *size = (uint32_t)length;
    return 0;
}

static void Put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        at[i] = (uint8_t)(value >> (8 * i));
}

int BuildWaveImage(void** image, uint32_t* imageSize, const void* format, uint32_t formatSize, const void* data,
                   uint32_t dataSize)
{
    const uint64_t total = (uint64_t)formatSize + dataSize + 28;
    uint8_t* out = total <= kMaxSoundBlock ? (uint8_t*)AllocTracked((size_t)total, "", 0) : nullptr;
    if (out == nullptr) {
        WriteLog("仮WAVEファイルイメージ用のメモリ確保に失敗しました\n");
        return -1;
    }
    CopyBytes(out, "RIFF", 4);
    Put32(out + 4, (uint32_t)(total - 8));
    CopyBytes(out + 8, "WAVE", 4);
    CopyBytes(out + 12, "fmt ", 4);
    Put32(out + 16, formatSize);
    CopyBytes(out + 20, format, (int)formatSize);
    uint8_t* at = out + 20 + formatSize;
    CopyBytes(at, "data", 4);
    Put32(at + 4, dataSize);
    CopyBytes(at + 8, data, (int)dataSize);
    *image = out;
    *imageSize = (uint32_t)total;
    return 0;
}
