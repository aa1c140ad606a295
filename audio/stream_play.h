// Playing, stopping and querying stream sounds, and the claim rule for a
// stream buffer shared by several stream sounds.
#pragma once

#include <stdint.h>

struct SoundData;
struct SoundBufferObject;

int ClaimStreamBuffer(int handle, SoundData* sound, SoundBufferObject** buffer, uint8_t stopPrevious);
int PrefillStreamSound(int handle);
int PrepareStreamPlay(int handle, SoundData* sound, int playType, int fromStart, SoundBufferObject** buffer);
int PlayStreamSound(int handle, int playType, int fromStart);
int StopStreamSound(int handle);
int CheckStreamSoundPlaying(int handle);
int GetStreamSoundCurrentTime(int handle);
int UpdateStreamPlayPosition(int handle, int cursor);
// The read and play positions back at the first source's start, the loop
// counts cleared and the stream inactive; the end flags stay.
void ResetStreamPlayState(SoundData* sound);
// Back to the start: the next refill reads the first source from its start.
void RewindStreamSound(SoundData* sound);
