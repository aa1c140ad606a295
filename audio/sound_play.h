// Playing, stopping and the volume of sound handles.
#pragma once

#include "audio/sound_services.h"

struct SoundData;

int StepSoundBufferForPlay(SoundData* sound, int fromStart);
// The stored volume, pan and frequency (or the one-shot values, which are
// then used up) onto a buffer about to play.
void ApplySoundSettings(SoundData* sound, struct SoundBufferObject* buffer);
// 0 to 255 as hundredths of a decibel.
int SoundVolumeToDecibels(int volume);
// Runs the message pump while the sound plays; returns when it has stopped
// or the program is ending.
void WaitSoundEnd(int handle);
