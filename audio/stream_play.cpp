#include "audio/stream_play.h"

#include "audio/sound_handles.h"
#include "audio/sound_play.h"
#include "audio/sound_system.h"
#include "audio/stream_refill.h"
#include "audio/stream_ring.h"

int ClaimStreamBuffer(int handle, SoundData* sound, SoundBufferObject** buffer, uint8_t stopPrevious)
{
    if (sound->kind != SOUND_KIND_STREAM) {
        *buffer = &sound->buffers[0];
        return 0;
    }
    SoundData* owner = sound;
    if (sound->bufferOwner != -1) {
        owner = GetSoundData(sound->bufferOwner);
        if (owner == nullptr)
            return -1;
    }
    *buffer = &owner->buffers[0];
    const int user = owner->bufferUser;
    if (user == -1 || user == handle) {
        owner->bufferUser = handle;
        return 0;
    }
    if (!stopPrevious)
        return -1;
    StopStreamSound(user);
    owner->bufferUser = handle;
    return 0;
}

void ResetStreamPlayState(SoundData* sound)
{
    sound->sourceBytePos = 0;
    sound->playedBytes = 0;
    sound->loopPending = 0;
    sound->loopsDone = 0;
    sound->currentSource = 0;
    sound->active = 0;
}

void RewindStreamSound(SoundData* sound)
{
    sound->ended = 0;
    ResetStreamPlayState(sound);
}

int PrefillStreamSound(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = LockSoundData(handle);
    if (sound == nullptr)
        return -1;
    SoundBufferObject* buffer = nullptr;
    DWORD status = 0;
    if (sound->kind != SOUND_KIND_STREAM || sound->active || ClaimStreamBuffer(handle, sound, &buffer, 0) != 0 ||
        (GetSoundBufferStatus(buffer, &status) == 0 && (status & DSBSTATUS_PLAYING)) ||
        sound->format.nBlockAlign == 0) {
        UnlockSound();
        return 0;
    }
    SetSoundBufferPosition(buffer, 0);
    sound->writePos = STREAM_NOTHING_WRITTEN;
    sound->guard = -1;
    sound->lastCursor = 0;
    sound->endWritten = 0;
    if (sound->currentSource >= 0 && sound->currentSource < sound->sourceCount)
        SeekSoundConverter(&sound->sources[sound->currentSource].converter,
                           sound->sourceBytePos / sound->format.nBlockAlign);
    sound->active = 1;
    ProcessStreamSound(handle);
    UnlockSound();
    return 0;
}

int PrepareStreamPlay(int handle, SoundData* sound, int playType, int fromStart, SoundBufferObject** buffer)
{
    ClaimStreamBuffer(handle, sound, buffer, 1);
    if (*buffer == nullptr)
        return -1;
    DWORD status = 0;
    if (fromStart == 0 && GetSoundBufferStatus(*buffer, &status) == 0 && (status & DSBSTATUS_PLAYING))
        return 1;
    StopStreamSound(handle);
    if (((playType ^ sound->playType) & 2) != 0 && sound->ended == 1)
        RewindStreamSound(sound);
    if (fromStart == 1) {
        sound->ended = 0;
        if (sound->playedBytes != 0)
            RewindStreamSound(sound);
    }
    sound->playType = playType;
    PrefillStreamSound(handle);
    ApplySoundSettings(sound, *buffer);
    return 0;
}

int PlayStreamSound(int handle, int playType, int fromStart)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = LockSoundData(handle);
    if (sound == nullptr)
        return -1;
    SoundBufferObject* buffer = nullptr;
    if (PrepareStreamPlay(handle, sound, playType, fromStart, &buffer) != 0) {
        UnlockSound();
        return 0;
    }
    PlaySoundBufferObject(buffer, 1);
    UnlockSound();
    if (playType == 0)
        WaitSoundEnd(handle);
    return 0;
}

int StopStreamSound(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = LockSoundData(handle);
    if (sound == nullptr)
        return -1;
    UpdateStreamPlayPosition(handle, -1);
    SoundBufferObject* buffer = nullptr;
    if (ClaimStreamBuffer(handle, sound, &buffer, 0) != 0) {
        UnlockSound();
        return 0;
    }
    if (sound->kind == SOUND_KIND_STREAM && sound->bufferOwner != -1) {
        SoundData* owner = GetSoundData(sound->bufferOwner);
        if (owner != nullptr)
            owner->bufferUser = -1;
    }
    DWORD status = 0;
    if (GetSoundBufferStatus(buffer, &status) != 0) {
        UnlockSound();
        return -1;
    }
    if (status & DSBSTATUS_PLAYING)
        StopSoundBufferObject(buffer);
    UnlockSound();
    return 0;
}

int CheckStreamSoundPlaying(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    SoundBufferObject* buffer = nullptr;
    if (ClaimStreamBuffer(handle, sound, &buffer, 0) != 0)
        return 0;
    DWORD status = 0;
    if (GetSoundBufferStatus(buffer, &status) != 0)
        return 0;
    return (status & DSBSTATUS_PLAYING) ? 1 : 0;
}

int GetStreamSoundCurrentTime(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = LockSoundData(handle);
    if (sound == nullptr)
        return -1;
    UpdateStreamPlayPosition(handle, -1);
    const int block = sound->format.nBlockAlign;
    const int played = block == 0 ? 0 : SamplesToMilliseconds((int)(sound->playedBytes / (uint32_t)block),
                                                               (int)sound->format.nSamplesPerSec);
    const int length = GetSoundLengthMs(handle);
    UnlockSound();
    return played < length ? played : length;
}

int UpdateStreamPlayPosition(int handle, int cursor)
{
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    SoundBufferObject* buffer = nullptr;
    if (sound->kind != SOUND_KIND_STREAM || ClaimStreamBuffer(handle, sound, &buffer, 0) != 0 || !sound->active)
        return 0;
    uint32_t now = (uint32_t)cursor;
    if (cursor == -1) {
        DWORD play = 0;
        if (GetSoundBufferPosition(buffer, &play, nullptr) != 0)
            return 0;
        now = play;
    }
    if (now == sound->lastCursor)
        return 0;
    // A sharer keeps no buffer size of its own: the ring follows from the
    // format, which equals the owner's.
    StreamRingSizes sizes;
    if (GetStreamRingSizes(sound->format.nAvgBytesPerSec, sound->format.nBlockAlign, &sizes) != 0)
        return 0;
    const uint32_t last = sound->lastCursor, loop = sound->loopRingPos, ring = sizes.ring;
    bool looped = false;
    uint32_t sinceLoop = 0;
    if (sound->loopPending == 1) {
        if (last < now) {
            if (last < loop && loop <= now) {
                looped = true;
                sinceLoop = now - loop;
            }
        } else if (loop > last) {
            looped = true;
            sinceLoop = ring - loop + now;
        } else if (loop < now) {
            looped = true;
            sinceLoop = now - loop;
        }
    }
    if (looped) {
        sound->playedBytes = sound->loopStartBytes + sinceLoop;
        sound->loopPending = 0;
    } else if (last < now) {
        sound->playedBytes += now - last;
    } else {
        sound->playedBytes += ring - last + now;
    }
    sound->lastCursor = now;
    return 0;
}
