// Stream sounds: adding their sources (each with its own converter) and
// reading the sources one after the other into a locked buffer region.
#pragma once

#include <stdint.h>

#include "runtime/file/stream.h"

struct SoundData;
struct SoundConverter;
struct LockedSpans;

int AddSreamSound(StreamDescriptor* stream, uint8_t loopCount, int handle, int mode, int* tookCopy, int shareHandle);
int AddStreamSoundFile(const char* path, uint8_t loopCount, int handle, int mode, int shareHandle);
int AddStreamSoundMemImage(const void* image, uint32_t size, uint8_t loopCount, int handle, int mode,
                           int shareHandle);
uint32_t FillStreamFromConverter(LockedSpans* spans, SoundConverter* converter, uint32_t bytes);
int AdvanceStreamSource(SoundData* sound, LockedSpans* spans, uint32_t cursorReference);
