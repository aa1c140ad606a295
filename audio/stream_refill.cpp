#include "audio/stream_refill.h"

#include "audio/soft_sound.h"
#include "audio/sound_handles.h"
#include "audio/sound_system.h"
#include "audio/stream_play.h"
#include "audio/stream_ring.h"
#include "audio/stream_sound.h"

// Reads the sources into the locked spans until the request is met, a pass's
// single read has delivered, or the end has been written. Returns the bytes
// still wanted.
static uint32_t FillFromSources(SoundData* sound, LockedSpans* spans, uint32_t request, uint32_t cursorReference)
{
    const int64_t block = sound->format.nBlockAlign;
    uint32_t remaining = request;
    while (remaining > 0) {
        if (sound->endWritten == 1)
            break;
        if (sound->currentSource < 0 || sound->currentSource >= sound->sourceCount)
            break;
        const int source = sound->currentSource;
        StreamSource* current = &sound->sources[source];
        uint32_t want = remaining;
        if (current->endSample != -1) {
            const int64_t limit = (int64_t)current->endSample * block - sound->sourceBytePos;
            if ((int64_t)sound->sourceBytePos + remaining > (int64_t)current->endSample * block)
                want = limit < 0 ? 0 : (uint32_t)limit;
        }
        const uint32_t read = want == 0 ? 0 : FillStreamFromConverter(spans, &current->converter, want);
        if (read == 0) {
            AdvanceStreamSource(sound, spans, cursorReference);
        } else {
            remaining -= read;
            sound->sourceBytePos += (int32_t)read;
        }
        if (sound->currentSource == source && sound->sourceBytePos >= (int64_t)current->endSample * block)
            break;
    }
    return remaining;
}

// Stops a stream whose data have all been played and winds it back.
static void EndStreamPlay(SoundData* sound, SoundBufferObject* buffer)
{
    StopSoundBufferObject(buffer);
    sound->endWritten = 0;
    ResetStreamPlayState(sound);
}

int ProcessStreamSound(int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    // The lock comes first: the record is checked and used under it alone.
    SoundData* sound = LockSoundData(handle);
    if (sound == nullptr)
        return -1;
    SoundBufferObject* buffer = nullptr;
    if (sound->kind != SOUND_KIND_STREAM || ClaimStreamBuffer(handle, sound, &buffer, 0) != 0 || !sound->active) {
        UnlockSound();
        return 0;
    }
    UpdateStreamPlayPosition(handle, -1);

    StreamRingSizes sizes;
    const uint32_t bytesPerSecond = sound->format.nAvgBytesPerSec, block = sound->format.nBlockAlign;
    if (GetStreamRingSizes(bytesPerSecond, block, &sizes) != 0) {
        UnlockSound();
        return -1;
    }

    DWORD status = 0;
    GetSoundBufferStatus(buffer, &status);
    const bool playing = (status & DSBSTATUS_PLAYING) != 0;
    DWORD cursor = 0;

    if (sound->endWritten == 1) {
        GetSoundBufferPosition(buffer, &cursor, nullptr);
        if (StreamEndPlayed(sound->endRingPos, sound->endCursorRef, cursor, sizes.ring)) {
            EndStreamPlay(sound, buffer);
            UnlockSound();
            return 0;
        }
        // Silence is written only while the buffer plays: a stream that
        // ended inside its prefill and waits to be played keeps its data.
        if (playing && StreamWriteDue(sound->writePos, sound->guard, cursor)) {
            LockedSpans spans;
            if (LockSoundBufferSpans(buffer, (DWORD)sound->writePos, sizes.step, &spans) != 0) {
                UnlockSound();
                return 0;
            }
            FillSoundBufferSilence(&sound->format, &spans, sizes.step);
            UnlockSoundBufferSpans(buffer, &spans);
            AdvanceStreamWrite(&sound->writePos, &sound->guard, sizes.step, 0, &sizes);
        }
        UnlockSound();
        return 0;
    }

    uint32_t request;
    uint32_t cursorReference;
    const bool firstFill = !playing;
    if (!playing) {
        if (sound->writePos != STREAM_NOTHING_WRITTEN) {
            UnlockSound();
            return 0;
        }
        request = sizes.firstFill;
        cursorReference = 0;
    } else {
        GetSoundBufferPosition(buffer, &cursor, nullptr);
        if (!StreamWriteDue(sound->writePos, sound->guard, cursor)) {
            UnlockSound();
            return -1;
        }
        cursorReference = StreamCursorReference(sound->writePos, sound->guard, cursor, sizes.ring);
        request = StreamRefillBytes(sound->writePos, sound->guard, cursor, bytesPerSecond, block, &sizes);
    }

    LockedSpans spans;
    if (request == 0 || LockSoundBufferSpans(buffer, firstFill ? 0 : (DWORD)sound->writePos, request, &spans) != 0) {
        UnlockSound();
        return 0;
    }
    const uint32_t remaining = FillFromSources(sound, &spans, request, cursorReference);
    UnlockSoundBufferSpans(buffer, &spans);
    AdvanceStreamWrite(&sound->writePos, &sound->guard, request - remaining, firstFill, &sizes);
    UnlockSound();
    return 0;
}

DWORD WINAPI SoundServiceThread(LPVOID)
{
    SoundSystemState& s = SoundSystem;
    while (s.stopFlag.load() != SOUND_THREAD_STOP) {
        LockSound();
        if (s.directSound != nullptr) {
            for (ListNode* node = s.streamHead.next; node != nullptr && node->next != nullptr;) {
                ListNode* next = node->next;
                const SoundData* sound = (const SoundData*)node->data;
                if (sound->active == 1)
                    ProcessStreamSound(node->value);
                node = next;
            }
            for (ListNode* node = s.playerHead.next;
                 s.directSound != nullptr && node != nullptr && node->next != nullptr; node = node->next) {
                SoftSoundRecord* player = (SoftSoundRecord*)node->data;
                if (player->playerActive != 0)
                    RefillSoftSoundPlayer(player);
            }
        }
        UnlockSound();
        Sleep(30);
    }
    s.stopFlag.store(SOUND_THREAD_LEFT);
    return 0;
}
