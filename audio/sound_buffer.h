// One sound buffer as the sound code sees it: a DirectSound buffer, or (with
// the software-buffer flag on) plain memory with its own play state, and the
// two-span view of a locked region of a looping buffer.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <stdint.h>

static_assert(sizeof(WAVEFORMATEX) == 18, "the sound format is the 18-byte WAVEFORMATEX");

struct SoundBufferObject {
    int valid;
    IDirectSoundBuffer* buffer;
    uint8_t* data;
    int playing;
    uint32_t position;      // sample frames
    int looping;
    int softPan;            // -256 to 256
    int softVolume;         // 0 to 256
    int softFrequency;      // -1: the format's own
    uint32_t lengthSamples;
    WAVEFORMATEX softFormat;
};

struct LockedSpans {
    uint32_t start;
    uint8_t* first;
    uint8_t* second;
    uint32_t firstLength, secondLength;
    uint32_t firstWritten, secondWritten;
    uint32_t firstLeft, secondLeft;
};

int CreateSoundBufferObject(SoundBufferObject* object, const DSBUFFERDESC* description);
int DuplicateSoundBufferObject(SoundBufferObject* object, const SoundBufferObject* source);
int ReleaseSoundBufferObject(SoundBufferObject* object);
int PlaySoundBufferObject(SoundBufferObject* object, int loop);
int StopSoundBufferObject(SoundBufferObject* object);
int GetSoundBufferStatus(SoundBufferObject* object, DWORD* status);
int GetSoundBufferPosition(SoundBufferObject* object, DWORD* playCursor, DWORD* writeCursor);
int LockSoundBufferObject(SoundBufferObject* object, DWORD offset, DWORD bytes, void** first,
                          DWORD* firstLength, void** second, DWORD* secondLength);
int UnlockSoundBufferObject(SoundBufferObject* object, void* first, DWORD firstLength, void* second,
                            DWORD secondLength);
int SetSoundBufferFrequency(SoundBufferObject* object, DWORD rate);
int SetSoundBufferPan(SoundBufferObject* object, LONG pan);
int SetSoundBufferVolume(SoundBufferObject* object, LONG volume);
int SetSoundBufferPosition(SoundBufferObject* object, DWORD offset);

// Locks bytes at offset as spans ready to be filled (nothing written yet).
int LockSoundBufferSpans(SoundBufferObject* object, DWORD offset, DWORD bytes, LockedSpans* spans);
int UnlockSoundBufferSpans(SoundBufferObject* object, const LockedSpans* spans);
// Sets up spans over two given pieces of memory.
void InitLockedSpans(LockedSpans* spans, uint32_t start, void* first, uint32_t firstLength, void* second,
                     uint32_t secondLength);
// The buffer offset just behind the last byte filled.
uint32_t LockedSpansEnd(const LockedSpans* spans);
// Copies up to count bytes into the spans, first span first; returns the bytes written.
uint32_t WriteLockedSpans(LockedSpans* spans, const void* data, uint32_t count);
// Fills count bytes of silence into the spans (the format gives the silence byte).
int FillSoundBufferSilence(const WAVEFORMATEX* format, LockedSpans* spans, uint32_t count);

// The software form's volume and pan values for a mixer.
int SoftSoundVolumeValue(LONG volume);
int SoftSoundPanValue(LONG pan);
