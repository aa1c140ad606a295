// Loading sound files into sound handles: whole sounds in DirectSound
// buffers, or stream sounds.
#pragma once

#include <stdint.h>

#include "audio/sound_buffer.h"
#include "audio/sound_services.h"
#include "runtime/file/stream.h"

int LoadSoundFromStream(const void* image, uint32_t size, int bufferCount, int shareHandle);
int CreateSoundBuffers(int sourceHandle, const WAVEFORMATEX* format, uint32_t bytes, int kind, int bufferCount,
                       int handle);
int LoadFileToMemory(const char* path, void** data, uint32_t* size);
int ReadStreamToMemory(StreamDescriptor* stream, void** data, uint32_t* size);
int BuildWaveImage(void** image, uint32_t* imageSize, const void* format, uint32_t formatSize, const void* data,
                   uint32_t dataSize);
// Whole or stream: at most 180 whole seconds of PCM is held whole.
int FitsWholeSound(uint32_t pcmBytes, uint32_t bytesPerSecond);
