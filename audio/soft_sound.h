// Software sound handles (wave data in memory, or players that feed their
// own looping buffer from a byte ring) and MIDI handles, with the current
// music. Nothing in this program creates either kind: the tables stay empty
// and these calls find nothing to do.
#pragma once

#include <stdint.h>

#include "audio/sound_buffer.h"
#include "audio/sound_services.h"
#include "graphics/handle_table.h"
#include "runtime/helpers.h"
#include "runtime/network.h"

enum { SOFT_SOUND_DATA = 0, SOFT_SOUND_PLAYER = 1 };

struct IDirectMusicSegment8;

struct SoftSoundRecord {
    uint32_t check;
    int32_t kind;
    WAVEFORMATEX format;
    void* waveData;
    ListNode playerNode;
    int32_t framesQueued;
    RingBuffer ring;
    SoundBufferObject buffer;
    uint32_t bufferBytes;
    uint32_t playerWritePos;
    int32_t endPos;
    uint32_t playerLastCursor;
    int32_t endPassed;
    uint32_t leadBytes;
    int32_t playerActive;
};

struct MidiRecord {
    uint32_t check;
    int32_t midiPlaying;
    int32_t started;
    void* midiData;
    uint32_t midiDataSize;
    IDirectMusicSegment8* segment;
};

extern HandleTable SoftSoundTable;
extern HandleTable MidiTable;

int DeleteSoftSoundHandle(int handle, int kind);
int DeleteAllSoftSoundData();
int DeleteAllSoftSoundPlayers();
int RefillSoftSoundPlayer(SoftSoundRecord* player);

int GetMusicPlayState(int handle);
int StopMusicHandle(int handle);
int DeleteMusicHandle(int handle);
int DeleteAllMusicHandles();
// Removes the temporary MIDI file when one exists.
int DeleteTempMidiFile();
