// Sound data held in memory on its way to a sound: a stream read whole, the
// WAVE image built around decoded PCM, and the whole-or-stream rule.
#pragma once

#include <stdint.h>

#include "runtime/file/stream.h"

// Largest file, image or PCM block the sound code holds in one allocation:
// memory streams and the RIFF size fields count in signed 32 bits.
const uint64_t kMaxSoundBlock = 0x7FFFFFFF;

int ReadStreamToMemory(StreamDescriptor* stream, void** data, uint32_t* size);
int BuildWaveImage(void** image, uint32_t* imageSize, const void* format, uint32_t formatSize, const void* data,
                   uint32_t dataSize);
// Whole or stream: at most 180 whole seconds of PCM is held whole.
int FitsWholeSound(uint32_t pcmBytes, uint32_t bytesPerSecond);
