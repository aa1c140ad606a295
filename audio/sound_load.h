// Loading sound files into sound handles: whole sounds in DirectSound
// buffers, or stream sounds.
#pragma once

#include <stdint.h>

#include "audio/sound_buffer.h"
#include "audio/sound_image.h"
#include "audio/sound_services.h"
#include "runtime/file/stream.h"

int LoadSoundFromStream(const void* image, uint32_t size, int bufferCount, int shareHandle);
int CreateSoundBuffers(int sourceHandle, const WAVEFORMATEX* format, uint32_t bytes, int kind, int bufferCount,
                       int handle);
int LoadFileToMemory(const char* path, void** data, uint32_t* size);
