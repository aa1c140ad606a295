#include "audio/soft_sound.h"

#include <dmusici.h>

#include "audio/sound_handles.h"
#include "audio/sound_play.h"
#include "audio/sound_system.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"
#include "runtime/window_state.h"

DEFINE_HANDLE_TABLE(SoftSoundTable, HANDLE_TYPE_SOFT_SOUND, SOFT_SOUND_HANDLE_MAX, SLOT_AT_END);
DEFINE_HANDLE_TABLE(MidiTable, HANDLE_TYPE_MIDI, MIDI_HANDLE_MAX, SLOT_AT_END);

static SoftSoundRecord* GetSoftSound(int handle)
{
    return (SoftSoundRecord*)GetHandleRecord(&SoftSoundTable, handle);
}

static MidiRecord* GetMidi(int handle)
{
    return (MidiRecord*)GetHandleRecord(&MidiTable, handle);
}

// Process-wide MIDI state: the MCI device, its loop and playing flags, the
// temporary MIDI file and the current music.
static struct {
    MCIDEVICEID mciDevice;
    int mciLoop;
    int mciPlaying;
    char tempMidiPath[MAX_PATH];
    int tempMidiExists;
    int currentMusic;
    int currentMusicKind;
} Music;

int DeleteSoftSoundHandle(int handle, int kind)
{
    LockSound();
    SoftSoundRecord* record = GetSoftSound(handle);
    if (record == nullptr || record->kind != kind) {
        UnlockSound();
        return -1;
    }
    if (record->kind == SOFT_SOUND_PLAYER) {
        ReleaseRingBuffer(&record->ring);
        ReleaseSoundBufferObject(&record->buffer);
        if (record->playerNode.next != nullptr)
            RemoveListNode(&record->playerNode);
    } else {
        FreeTracked(record->waveData);
    }
    FreeHandleRecord(&SoftSoundTable, handle);
    UnlockSound();
    return 0;
}

static int DeleteAllSoftOfKind(int kind)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    for (int slot = 0; slot < SOFT_SOUND_HANDLE_MAX; slot++) {
        const int handle = HandleAtSlot(&SoftSoundTable, slot);
        if (handle != -1 && GetSoftSound(handle)->kind == kind)
            DeleteSoftSoundHandle(handle, kind);
    }
    return 0;
}

int DeleteAllSoftSoundData() { return DeleteAllSoftOfKind(SOFT_SOUND_DATA); }
int DeleteAllSoftSoundPlayers() { return DeleteAllSoftOfKind(SOFT_SOUND_PLAYER); }

int RefillSoftSoundPlayer(SoftSoundRecord* player)
{
    if (player->playerActive == 0)
        return 0;
    LockSound();
    const uint32_t block = player->format.nBlockAlign, size = player->bufferBytes;
    DWORD cursor = 0;
    if (block == 0 || size == 0 || GetSoundBufferPosition(&player->buffer, &cursor, nullptr) != 0) {
        UnlockSound();
        return 0;
    }
    const uint32_t cur = cursor, last = player->playerLastCursor;
    if (player->endPos != -1 && player->endPassed == 0) {
        const uint32_t end = (uint32_t)player->endPos;
        if ((last < cur && last <= end && end <= cur) || (cur < last && (end >= last || end <= cur)))
            player->endPassed = 1;
        else
            player->playerLastCursor = cur;
    }
    int64_t guard = (int64_t)player->playerWritePos - player->leadBytes;
    if (guard < 0)
        guard += size;
    const int64_t w = player->playerWritePos, c = cur;
    const bool due = guard <= w ? (guard <= c && c <= w) : !(w < c && c < guard);
    if (!due) {
        UnlockSound();
        return 0;
    }
    const int64_t distance = c >= guard ? c - guard : c + size - guard;
    const int64_t frames = ((int64_t)player->leadBytes + distance) / block;
    if (frames < 0) {
        UnlockSound();
        return 0;
    }
    const int64_t queued = player->framesQueued < 0 ? 0 : player->framesQueued;
    const int64_t dataFrames = frames < queued ? frames : queued;
    const int64_t silenceFrames = frames - dataFrames;
    const uint64_t lockBytes = (uint64_t)frames * block;
    LockedSpans spans;
    if (lockBytes > size || LockSoundBufferSpans(&player->buffer, player->playerWritePos, (DWORD)lockBytes, &spans) != 0) {
        UnlockSound();
        return -1;
    }
    if (silenceFrames != 0 && player->endPos == -1) {
        int64_t end = player->playerWritePos + dataFrames * block;
        if (end > size)
            end -= size;
        player->endPos = (int32_t)end;
        player->playerLastCursor = cur;
        player->endPassed = 0;
    }
    if (player->endPassed == 1 && dataFrames != 0) {
        player->endPassed = 0;
        player->playerLastCursor = 0;
        player->endPos = -1;
    }
    player->framesQueued -= (int32_t)dataFrames;
    const uint32_t dataBytes = (uint32_t)(dataFrames * block);
    const uint32_t intoFirst = dataBytes < spans.firstLeft ? dataBytes : spans.firstLeft;
    ReadRingBuffer(&player->ring, spans.first, (int)intoFirst, 0);
    spans.firstWritten += intoFirst;
    spans.firstLeft -= intoFirst;
    const uint32_t intoSecond = dataBytes - intoFirst <= spans.secondLeft ? dataBytes - intoFirst : spans.secondLeft;
    if (intoSecond != 0) {
        ReadRingBuffer(&player->ring, spans.second, (int)intoSecond, 0);
        spans.secondWritten += intoSecond;
        spans.secondLeft -= intoSecond;
    }
    if (player->format.wBitsPerSample == 8 || player->format.wBitsPerSample == 16)
        FillSoundBufferSilence(&player->format, &spans, (uint32_t)(silenceFrames * block));
    UnlockSoundBufferSpans(&player->buffer, &spans);
    uint64_t next = (uint64_t)player->playerWritePos + lockBytes;
    if (next >= size)
        next -= size;
    player->playerWritePos = (uint32_t)next;
    UnlockSound();
    return 0;
}

int GetMusicPlayState(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    const MidiRecord* record = GetMidi(handle);
    if (record == nullptr)
        return -1;
    return SoundSystem.directMusicMode ? record->midiPlaying : Music.mciPlaying;
}

int PollMusicSegments()
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    for (int slot = 0; slot < MidiTable.endSlot; slot++) {
        MidiRecord* record = (MidiRecord*)MidiTable.records[slot];
        if (record == nullptr || !record->midiPlaying || !SoundSystem.directMusicMode || SoundSystem.performance == nullptr)
            continue;
        const bool playing =
            SoundSystem.performance->IsPlaying((IDirectMusicSegment*)record->segment, nullptr) != S_FALSE;
        if (record->started == 0) {
            if (playing)
                record->started = 1;
        } else {
            record->midiPlaying = playing ? 1 : 0;
        }
    }
    return 0;
}

int HandleMciMusicNotify()
{
    if (Music.mciLoop == 1) {
        MCI_PLAY_PARMS play;
        FillBytes(&play, 0, sizeof(play));
        play.dwCallback = (DWORD_PTR)GetMainWindowHwnd();
        play.dwFrom = 0;
        mciSendCommandA(Music.mciDevice, MCI_PLAY, MCI_NOTIFY | MCI_FROM, (DWORD_PTR)&play);
        Music.mciPlaying = 1;
    } else if (Music.mciPlaying == 1) {
        mciSendCommandA(Music.mciDevice, MCI_CLOSE, 0, 0);
        Music.mciPlaying = 0;
    }
    return 0;
}

int DeleteTempMidiFile()
{
    if (!Music.tempMidiExists)
        return 0;
    DeleteFileA(Music.tempMidiPath);
    Music.tempMidiExists = 0;
    return 0;
}

int StopMusicHandle(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    MidiRecord* record = GetMidi(handle);
    if (record == nullptr)
        return -1;
    Music.mciLoop = 0;
    if (SoundSystem.directMusicMode) {
        if (SoundSystem.performance != nullptr)
            SoundSystem.performance->StopEx((IUnknown*)record->segment, 0, 0);
    } else {
        HandleMciMusicNotify();
        for (int i = 0; i < 5; i++)
            RunMessagePump();
    }
    DeleteTempMidiFile();
    record->midiPlaying = 0;
    record->started = 0;
    return 0;
}

int DeleteMusicHandle(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    MidiRecord* record = GetMidi(handle);
    if (record == nullptr)
        return -1;
    if (GetMusicPlayState(handle) == 1)
        StopMusicHandle(handle);
    if (record->segment != nullptr) {
        if (SoundSystem.performance != nullptr)
            record->segment->Unload((IUnknown*)SoundSystem.performance);
        if (SoundSystem.musicLoader != nullptr)
            SoundSystem.musicLoader->ReleaseObjectByUnknown((IUnknown*)record->segment);
        record->segment->Release();
    }
    if (record->midiData != nullptr) {
        FillBytes(record->midiData, 0, (int)record->midiDataSize);
        FreeTracked(record->midiData);
    }
    FreeHandleRecord(&MidiTable, handle);
    return 0;
}

int DeleteAllMusicHandles()
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    for (int slot = 0; slot < MIDI_HANDLE_MAX; slot++) {
        const int handle = HandleAtSlot(&MidiTable, slot);
        if (handle != -1)
            DeleteMusicHandle(handle);
    }
    return 0;
}

int StopCurrentMusic()
{
    if (Music.currentMusic != 0) {
        if (Music.currentMusicKind == 1) {
            StopSoundHandle(Music.currentMusic);
            DeleteSoundHandle(Music.currentMusic);
        } else {
            StopMusicHandle(Music.currentMusic);
            DeleteMusicHandle(Music.currentMusic);
        }
        Music.currentMusic = 0;
    }
    return 0;
}
