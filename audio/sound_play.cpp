#include "audio/sound_play.h"

#include <math.h>

#include "audio/sound_handles.h"
#include "audio/sound_system.h"
#include "audio/stream_play.h"
#include "runtime/message_pump.h"

void ApplySoundSettings(SoundData* sound, SoundBufferObject* buffer)
{
    LONG volume = sound->volume, pan = sound->pan;
    DWORD frequency = (DWORD)sound->frequency;
    if (sound->oneShotVolumeSet == 1) {
        volume = sound->oneShotVolume;
        sound->oneShotVolumeSet = 0;
    }
    if (sound->oneShotPanSet == 1) {
        pan = sound->oneShotPan;
        sound->oneShotPanSet = 0;
    }
    if (sound->oneShotFrequencySet == 1) {
        frequency = (DWORD)sound->oneShotFrequency;
        sound->oneShotFrequencySet = 0;
    }
    SetSoundBufferVolume(buffer, volume);
    SetSoundBufferPan(buffer, pan);
    SetSoundBufferFrequency(buffer, frequency);
}

int StepSoundBufferForPlay(SoundData* sound, int fromStart)
{
    if (sound->bufferCount <= 0 || sound->bufferCount > SOUND_BUFFER_MAX)
        return -1;
    DWORD previous = 0;
    if (sound->currentBuffer >= 0 && sound->currentBuffer < SOUND_BUFFER_MAX && sound->buffers[sound->currentBuffer].valid)
        GetSoundBufferPosition(&sound->buffers[sound->currentBuffer], &previous, nullptr);
    sound->currentBuffer++;
    if (sound->currentBuffer >= sound->bufferCount)
        sound->currentBuffer = 0;
    SoundBufferObject* buffer = &sound->buffers[sound->currentBuffer];
    if (!buffer->valid)
        return -1;
    DWORD status = 0;
    if (GetSoundBufferStatus(buffer, &status) != 0)
        return -1;
    if (status & DSBSTATUS_PLAYING) {
        if (fromStart == 0)
            return 1;
        StopSoundBufferObject(buffer);
    }
    SetSoundBufferPosition(buffer, fromStart == 1 ? 0 : previous);
    ApplySoundSettings(sound, buffer);
    return 0;
}

void WaitSoundEnd(int handle)
{
    if (RunMessagePump() != 0)
        return;
    while (CheckSoundPlaying(handle) == 1) {
        Sleep(1);
        if (RunMessagePump() != 0)
            break;
    }
}

int PlaySoundHandle(int handle, int playType, int fromStart)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    if (sound->kind == SOUND_KIND_STREAM)
        return PlayStreamSound(handle, playType, fromStart);
    const int step = StepSoundBufferForPlay(sound, fromStart);
    if (step == 1)
        return 0;
    if (step != 0)
        return -1;
    if (PlaySoundBufferObject(&sound->buffers[sound->currentBuffer], playType == 3) != 0)
        return -1;
    if (playType == 0)
        WaitSoundEnd(handle);
    return 0;
}

int StopSoundHandle(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    if (sound->kind == SOUND_KIND_STREAM)
        return StopStreamSound(handle);
    for (int i = 0; i < sound->bufferCount && i < SOUND_BUFFER_MAX; i++) {
        DWORD status = 0;
        if (GetSoundBufferStatus(&sound->buffers[i], &status) != 0)
            return -1;
        if (status & DSBSTATUS_PLAYING)
            StopSoundBufferObject(&sound->buffers[i]);
    }
    return 0;
}

int SoundVolumeToDecibels(int volume)
{
    if (volume > 255)
        volume = 255;
    if (volume <= 0)
        return -10000;
    const int result = (int)(log10((double)volume / 255.0) * 10.0 * 100.0);
    return result < -10000 ? -10000 : result;
}

int SetSoundVolume(int volume, int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    const int decibels = SoundVolumeToDecibels(volume);
    if (sound->kind == SOUND_KIND_STREAM) {
        if (sound->buffers[0].valid)
            SetSoundBufferVolume(&sound->buffers[0], decibels);
    } else {
        for (int i = 0; i < sound->bufferCount && i < SOUND_BUFFER_MAX; i++)
            SetSoundBufferVolume(&sound->buffers[i], decibels);
    }
    sound->volume = decibels;
    return 0;
}
