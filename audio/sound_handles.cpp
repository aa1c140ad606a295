#include "audio/sound_handles.h"

#include "audio/sound_play.h"
#include "audio/sound_system.h"
#include "audio/stream_play.h"
#include "runtime/log.h"
#include "runtime/memory.h"

DEFINE_HANDLE_TABLE(SoundTable, HANDLE_TYPE_SOUND, SOUND_HANDLE_MAX, SLOT_AT_END);

SoundData* GetSoundData(int handle)
{
    return (SoundData*)GetHandleRecord(&SoundTable, handle);
}

SoundData* LockSoundData(int handle)
{
    LockSound();
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        UnlockSound();
    return sound;
}

int AddSoundData(int handle)
{
    LockSound();
    HandleTable& t = SoundTable;
    const int slot = handle & HANDLE_SLOT_MASK;
    if (handle >= 0 && (handle & HANDLE_TYPE_MASK) == HANDLE_TYPE_SOUND && slot < t.slotCount &&
        t.records[slot] == nullptr) {
        // A record made again at a handle given back: its slot and check.
        SoundData* sound = (SoundData*)AllocTrackedZero(sizeof(SoundData), "", 0);
        if (sound == nullptr) {
            WriteLog("メモリ領域の確保に失敗しました in AddSoundData");
            UnlockSound();
            return -1;
        }
        sound->check = ((uint32_t)handle & HANDLE_CHECK_MASK) >> 16;
        t.records[slot] = sound;
        t.count++;
        if (t.endSlot < slot + 1)
            t.endSlot = slot + 1;
        UnlockSound();
        return handle;
    }
    if (IsHandleTableFull(&t)) {
        WriteLog("サウンドの数が許容量を越えました\n");
        UnlockSound();
        return -1;
    }
    int made = -1;
    if (AllocHandleRecord(&t, sizeof(SoundData), "", 0, &made) == nullptr)
        WriteLog("メモリ領域の確保に失敗しました in AddSoundData");
    UnlockSound();
    return made;
}

static void ReleaseStreamSources(SoundData* sound)
{
    for (int i = 0; i < sound->sourceCount && i < STREAM_SOURCE_MAX; i++) {
        StreamSource* source = &sound->sources[i];
        TerminateSoundConverter(&source->converter);
        FreeTracked(source->data);
        source->data = nullptr;
        const StreamDescriptor* inner = &source->converter.source;
        if (sound->ownsStream[i] == 1 && source->mode == 3 && inner->handle != 0 && inner->ops.close != nullptr)
            inner->ops.close(inner->handle);
        if (source->stream.handle != 0 && source->stream.ops.close != nullptr) {
            source->stream.ops.close(source->stream.handle);
            source->stream.handle = 0;
        }
    }
}

int DeleteSoundHandle(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = LockSoundData(handle);
    if (sound == nullptr)
        return -1;
    if (sound->kind == SOUND_KIND_STREAM)
        StopStreamSound(handle);
    else if (sound->buffers[0].valid)
        StopSoundHandle(handle);

    if (sound->kind == SOUND_KIND_STREAM) {
        SoundData* owner = GetSoundData(sound->bufferOwner);
        if (sound->bufferOwner != -1 && owner != nullptr) {
            owner->sharerCount--;
            if (owner->deletePending == 1 && owner->sharerCount <= 0)
                DeleteSoundHandle(sound->bufferOwner);
        }
        if (sound->sharerCount != 0) {
            sound->deletePending = 1;
            UnlockSound();
            return 0;
        }
        if (sound->listNode.next != nullptr)
            RemoveListNode(&sound->listNode);
        ReleaseStreamSources(sound);
        if (sound->buffers[0].valid)
            ReleaseSoundBufferObject(&sound->buffers[0]);
    } else {
        for (int i = 0; i < sound->bufferCount && i < SOUND_BUFFER_MAX; i++)
            if (sound->buffers[i].valid)
                ReleaseSoundBufferObject(&sound->buffers[i]);
        if (sound->pcmRefCount != nullptr) {
            if (--*sound->pcmRefCount == 0) {
                FreeTracked(sound->pcm);
                FreeTracked(sound->pcmRefCount);
            }
            sound->pcm = nullptr;
            sound->pcmRefCount = nullptr;
        }
    }
    FreeHandleRecord(&SoundTable, handle);
    UnlockSound();
    return 0;
}

int DeleteAllSounds()
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    DeleteAllHandles(&SoundTable, DeleteSoundHandle);
    return 0;
}

int CheckSoundPlaying(int handle)
{
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    if (sound->kind == SOUND_KIND_STREAM)
        return CheckStreamSoundPlaying(handle);
    for (int i = 0; i < sound->bufferCount && i < SOUND_BUFFER_MAX; i++) {
        DWORD status = 0;
        if (GetSoundBufferStatus(&sound->buffers[i], &status) == 0 && (status & DSBSTATUS_PLAYING))
            return 1;
    }
    return 0;
}

int GetSoundLengthSamples(int handle)
{
    const SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    if (sound->kind == SOUND_KIND_WHOLE)
        return sound->format.nBlockAlign == 0 ? 0 : (int)sound->pcmBytes / (int)sound->format.nBlockAlign;
    if (sound->kind == SOUND_KIND_STREAM)
        return sound->totalSamples;
    return 0;
}

int GetSoundLengthMs(int handle)
{
    const SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    return SamplesToMilliseconds(GetSoundLengthSamples(handle), (int)sound->format.nSamplesPerSec);
}

int GetSoundPlayPositionMs(int handle)
{
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    if (sound->kind == SOUND_KIND_STREAM)
        return GetStreamSoundCurrentTime(handle);
    if (sound->currentBuffer < 0 || sound->currentBuffer >= SOUND_BUFFER_MAX || sound->format.nBlockAlign == 0)
        return -1;
    DWORD cursor = 0;
    if (GetSoundBufferPosition(&sound->buffers[sound->currentBuffer], &cursor, nullptr) != 0)
        return -1;
    return SamplesToMilliseconds((int)(cursor / sound->format.nBlockAlign), (int)sound->format.nSamplesPerSec);
}

int SamplesToMilliseconds(int samples, int rate)
{
    if (rate <= 0)
        return 0;
    UInt128 product, quotient;
    Mul64To128((uint32_t)samples, 1000, &product);
    Div128By64(&product, (uint32_t)rate, &quotient);
    return (int)(uint32_t)quotient.low;
}

int SetSoundLoadMode(int mode)
{
    if ((unsigned)mode > 3)
        return -1;
    SoundSystem.loadMode = mode == 1 ? 0 : mode;
    return 0;
}

int GetSoundLoadMode()
{
    return SoundSystem.loadMode;
}
