// The sound system's process-wide state: the DirectSound object and its
// primary and silent buffers, the sound lock, the stream-sound and
// software-player lists, the load mode and the service thread.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <stdint.h>

#include <atomic>

#include "audio/sound_services.h"
#include "runtime/helpers.h"

struct IDirectMusicLoader8;
struct IDirectMusicPerformance8;

// The service thread's stop flag.
enum { SOUND_THREAD_RUNNING = 0, SOUND_THREAD_STOP = 1, SOUND_THREAD_LEFT = 2 };

struct SoundSystemState {
    CRITICAL_SECTION lock;
    int lockCreated;
    DWORD lockOwner;                         // thread holding the lock, 0 when free
    int lockDepth;                           // the owner's nesting; only the owner writes both
    IDirectSound* directSound;
    IDirectSoundBuffer* primaryBuffer;
    IDirectSoundBuffer* silentBuffer;
    int directMusicMode;                     // never turned on in this program
    IDirectMusicLoader8* musicLoader;
    IDirectMusicPerformance8* performance;
    int masterVolume;
    int loadMode;                            // 0, 2 or 3
    int softwareBuffers;                     // buffers as plain memory; never turned on
    ListNode streamHead, streamTail;         // stream sounds (value: handle, data: SoundData)
    ListNode playerHead, playerTail;         // software sound players
    HANDLE thread;
    DWORD threadId;
    // Written by the main thread, read by the service thread between passes
    // (and the other way round when the thread leaves).
    std::atomic<int> stopFlag;
    int captureActive;
    uint32_t captureFrames;
    HANDLE captureFile;
};

extern SoundSystemState SoundSystem;

// The recursive sound lock; a no-op while the lock does not exist.
void LockSound();
void UnlockSound();
// Leaves every level of the lock that the calling thread holds and returns
// how many, for work that must not keep the service thread waiting (or
// that may never end); ResumeSoundLock takes them again.
int SuspendSoundLock();
void ResumeSoundLock(int levels);

int FinishSoundCaptureFile();
BOOL CALLBACK EnumSoundDeviceProc(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
