// Sound handles: the table of loaded sounds and the SoundData record behind
// each handle, whole or streamed.
#pragma once

#include <stdint.h>

#include "audio/sound_buffer.h"
#include "audio/sound_converter.h"
#include "graphics/handle_table.h"
#include "runtime/file/stream.h"
#include "runtime/helpers.h"

enum {
    SOUND_BUFFER_MAX = 10,
    STREAM_SOURCE_MAX = 3,
};

enum { SOUND_KIND_WHOLE = 0, SOUND_KIND_STREAM = 1 };

// writePos while nothing has been written since the last prefill.
enum { STREAM_NOTHING_WRITTEN = -800 };

struct StreamSource {
    uint8_t loopCount;          // as a signed byte: -1 for ever, 0-127 repeats, else once
    int mode;                   // 0 whole-decoded WAVE image, 2 file image copy, 3 caller's stream
    void* data;
    uint32_t dataSize;
    StreamDescriptor stream;    // memory stream over data (modes 0 and 2)
    int32_t loopSample;
    int32_t endSample;          // -1: the natural end
    SoundConverter converter;
};

struct SoundData {
    uint32_t check;
    SoundBufferObject buffers[SOUND_BUFFER_MAX];
    WAVEFORMATEX format;
    int32_t kind;
    int32_t playType;
    int32_t bufferOwner;
    int32_t sharerCount;
    int32_t bufferUser;
    int32_t deletePending;
    uint32_t streamBufferBytes;
    int32_t writePos;
    int32_t guard;
    StreamSource sources[STREAM_SOURCE_MAX];
    uint8_t ownsStream[STREAM_SOURCE_MAX];
    int32_t sourceCount;
    int32_t currentSource;
    int32_t loopsDone;
    int32_t sourceBytePos;
    int32_t totalSamples;
    uint32_t playedBytes;
    uint32_t lastCursor;
    uint8_t active;
    uint8_t endWritten;
    uint8_t loopPending;
    uint8_t ended;
    uint32_t loopStartBytes;
    uint32_t endRingPos;
    uint32_t endCursorRef;
    uint32_t loopRingPos;
    ListNode listNode;
    uint32_t pcmBytes;
    void* pcm;
    int32_t* pcmRefCount;
    int32_t bufferCount;
    int32_t currentBuffer;
    int32_t volume;
    int32_t pan;
    int32_t frequency;
    uint8_t oneShotVolumeSet, oneShotPanSet, oneShotFrequencySet;
    int32_t oneShotVolume, oneShotPan, oneShotFrequency;
};

extern HandleTable SoundTable;

// The record behind a valid sound handle, else null.
SoundData* GetSoundData(int handle);
// Takes the sound lock and returns the handle's record; for a bad handle the
// lock is given back and null returned.
SoundData* LockSoundData(int handle);

int AddSoundData(int handle);
int DeleteSoundHandle(int handle);
int DeleteAllSounds();
int CheckSoundPlaying(int handle);
int GetSoundLengthSamples(int handle);
int GetSoundLengthMs(int handle);
int GetSoundPlayPositionMs(int handle);
int SamplesToMilliseconds(int samples, int rate);
int SetSoundLoadMode(int mode);
int GetSoundLoadMode();
