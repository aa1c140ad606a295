#include "audio/sound_system.h"

#include <initguid.h>
#include <dmusici.h>

#include "audio/acm_drivers.h"
#include "audio/soft_sound.h"
#include "audio/sound_converter.h"
#include "audio/sound_handles.h"
#include "audio/stream_refill.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"

SoundSystemState SoundSystem;

void LockSound()
{
    if (!SoundSystem.lockCreated)
        return;
    EnterCriticalSection(&SoundSystem.lock);
    SoundSystem.lockOwner = GetCurrentThreadId();
    SoundSystem.lockDepth++;
}

void UnlockSound()
{
    if (!SoundSystem.lockCreated)
        return;
    if (SoundSystem.lockOwner == GetCurrentThreadId() && --SoundSystem.lockDepth == 0)
        SoundSystem.lockOwner = 0;
    LeaveCriticalSection(&SoundSystem.lock);
}

int SuspendSoundLock()
{
    SoundSystemState& s = SoundSystem;
    if (!s.lockCreated || s.lockOwner != GetCurrentThreadId())
        return 0;
    const int levels = s.lockDepth;
    s.lockDepth = 0;
    s.lockOwner = 0;
    for (int i = 0; i < levels; i++)
        LeaveCriticalSection(&s.lock);
    return levels;
}

void ResumeSoundLock(int levels)
{
    for (int i = 0; i < levels; i++)
        LockSound();
}

BOOL CALLBACK EnumSoundDeviceProc(LPGUID, LPCSTR description, LPCSTR module, LPVOID)
{
    WriteLogFormat("モジュール名:%15s  ドライバ記述:%s ", module, description);
    return TRUE;
}

static const char* OkNo(DWORD flags, DWORD flag)
{
    return (flags & flag) ? "OK" : "NO";
}

void MakePrimaryFormat(const DSCAPS* caps, WAVEFORMATEX* format)
{
    FillBytes(format, 0, sizeof(*format));
    format->wFormatTag = WAVE_FORMAT_PCM;
    format->nChannels = (caps->dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    format->wBitsPerSample = (caps->dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
    format->nSamplesPerSec = caps->dwMaxSecondarySampleRate < 44100 ? caps->dwMaxSecondarySampleRate : 44100;
    format->nBlockAlign = (WORD)(format->wBitsPerSample / 8 * format->nChannels);
    format->nAvgBytesPerSec = format->nBlockAlign * format->nSamplesPerSec;
}

// Dormant: DirectMusic creates the DirectSound object itself. 0 when the
// performance runs, 1 when the loader is missing (plain DirectSound follows),
// -1 after a failure that ended the sound system.
static int StartDirectMusic()
{
    SoundSystemState& s = SoundSystem;
    WriteLog("DirectSound8 の初期化を行います\n");
    if (FAILED(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IDirectMusicLoader8, (void**)&s.musicLoader))) {
        s.musicLoader = nullptr;
        WriteLog("DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
        WriteLog("前バージョンでの初期化処理に移ります\n");
        s.directMusicMode = 0;
        return 1;
    }
    if (FAILED(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IDirectMusicPerformance8, (void**)&s.performance))) {
        s.performance = nullptr;
        WriteLog("DirectMusicPerformance オブジェクトの作成に失敗しました\n");
        TermSoundSystem();
        return -1;
    }
    IDirectMusic* music = nullptr;
    IDirectMusic8* music8 = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectMusic, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusic, (void**)&music))) {
        WriteLog("DirectMusic オブジェクトの取得に失敗しました\n");
        TermSoundSystem();
        return -1;
    }
    if (FAILED(music->QueryInterface(IID_IDirectMusic8, (void**)&music8))) {
        music->Release();
        WriteLog("DirectMusic8 オブジェクトの取得に失敗しました\n");
        TermSoundSystem();
        return -1;
    }
    for (DWORD index = 0;; index++) {
        DMUS_PORTCAPS caps;
        FillBytes(&caps, 0, sizeof(caps));
        caps.dwSize = sizeof(caps);
        if (music8->EnumPort(index, &caps) != S_OK)
            break;
        char name[257];
        FillBytes(name, 0, sizeof(name));
        WideCharToMultiByte(CP_ACP, 0, caps.wszDescription, -1, name, 256, nullptr, nullptr);
        WriteLogFormat("%s  Device%d:%s ", caps.dwClass == DMUS_PC_OUTPUTCLASS ? "出力ポート" : "入力ポート",
                       (int)index, name);
    }
    music8->Release();
    music->Release();

    DMUS_AUDIOPARAMS params;
    FillBytes(&params, 0, sizeof(params));
    params.dwSize = sizeof(params);
    params.fInitNow = TRUE;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = 44100;
    if (FAILED(s.performance->InitAudio(nullptr, &s.directSound, nullptr, DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                        DMUS_AUDIOF_ALL, &params))) {
        WriteLog("DirectMusicPerformanceオブジェクトの初期化に失敗しました\n");
        TermSoundSystem();
        return -1;
    }
    s.performance->GetGlobalParam(GUID_PerfMasterVolume, &s.masterVolume, 4);
    return 0;
}

static void ReleaseDirectSound()
{
    SoundSystem.directSound->Release();
    SoundSystem.directSound = nullptr;
}

static int StartDirectSound()
{
    SoundSystemState& s = SoundSystem;
    WriteLog("DirectSound の初期化を行います\n");
    WriteLog("DirectSound インターフェースの取得を行います....  ");
    if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, IID_IDirectSound,
                                (void**)&s.directSound))) {
        s.directSound = nullptr;
        WriteLog("DirectSoundインターフェースの作成に失敗しました\n");
        return -1;
    }
    WriteLog("成功\n");
    WriteLog("引き続きインターフェースの初期化処理...  ");
    if (FAILED(s.directSound->Initialize(nullptr))) {
        WriteLog("初期化に失敗しました\n");
        ReleaseDirectSound();
        return -1;
    }
    WriteLog("成功\n");
    if (FAILED(s.directSound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY))) {
        WriteLog("DirectSoundの協調レベルの設定に失敗しました\n");
        ReleaseDirectSound();
        return -1;
    }
    DSBUFFERDESC description;
    FillBytes(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(s.directSound->CreateSoundBuffer(&description, &s.primaryBuffer, nullptr))) {
        s.primaryBuffer = nullptr;
        WriteLog("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
        ReleaseDirectSound();
        return -1;
    }
    DSCAPS caps;
    FillBytes(&caps, 0, sizeof(caps));
    caps.dwSize = sizeof(caps);
    s.directSound->GetCaps(&caps);
    WAVEFORMATEX format;
    MakePrimaryFormat(&caps, &format);
    if (FAILED(s.primaryBuffer->SetFormat(&format)))
        WriteLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
    return 0;
}

// A short looping buffer of silence keeps the device busy between sounds.
static void StartSilentBuffer()
{
    SoundSystemState& s = SoundSystem;
    WAVEFORMATEX format;
    FillBytes(&format, 0, sizeof(format));
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    DSBUFFERDESC description;
    FillBytes(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC;
    description.dwBufferBytes = format.nBlockAlign * 100;
    description.lpwfxFormat = &format;
    if (FAILED(s.directSound->CreateSoundBuffer(&description, &s.silentBuffer, nullptr))) {
        s.silentBuffer = nullptr;
        WriteLog("無音バッファの作成に失敗しました");
        return;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstLength = 0, secondLength = 0;
    if (FAILED(s.silentBuffer->Lock(0, description.dwBufferBytes, &first, &firstLength, &second, &secondLength, 0))) {
        WriteLog("無音バッファのロックに失敗しました");
        s.silentBuffer->Release();
        s.silentBuffer = nullptr;
        return;
    }
    if (first)
        FillBytes(first, 0, (int)firstLength);
    if (second)
        FillBytes(second, 0, (int)secondLength);
    s.silentBuffer->Unlock(first, firstLength, second, secondLength);
    s.silentBuffer->Play(0, 0, DSBPLAY_LOOPING);
}

static void LogDeviceReport()
{
    DSCAPS caps;
    FillBytes(&caps, 0, sizeof(caps));
    caps.dwSize = sizeof(caps);
    IncreaseLogIndent();
    SoundSystem.directSound->GetCaps(&caps);
    WriteLog("DirectSound デバイスを列挙します\n");
    IncreaseLogIndent();
    HMODULE dll = LoadLibraryA("DSOUND.DLL");
    if (dll == nullptr) {
        WriteLog("DSOUND.DLL のロードに失敗しました\n");
        DecreaseLogIndent();
        DecreaseLogIndent();
        return;
    }
    typedef HRESULT(WINAPI * EnumerateProc)(LPDSENUMCALLBACKA, LPVOID);
    EnumerateProc enumerate = (EnumerateProc)(void*)GetProcAddress(dll, "DirectSoundEnumerateA");
    if (enumerate == nullptr) {
        FreeLibrary(dll);
        WriteLog("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        DecreaseLogIndent();
        DecreaseLogIndent();
        return;
    }
    enumerate(EnumSoundDeviceProc, nullptr);
    DecreaseLogIndent();
    WriteLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                   caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0);
    WriteLogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                   caps.dwFreeHwMemBytes / 1024.0);
    WriteLog("利用可能サンプリング精度\n");
    WriteLogFormat(" プライマリ １６bit = %s  ８bit = %s ", OkNo(caps.dwFlags, DSCAPS_PRIMARY16BIT),
                   OkNo(caps.dwFlags, DSCAPS_PRIMARY8BIT));
    WriteLogFormat(" セカンダリ １６bit = %s  ８bit = %s \n", OkNo(caps.dwFlags, DSCAPS_SECONDARY16BIT),
                   OkNo(caps.dwFlags, DSCAPS_SECONDARY8BIT));
    WriteLog("利用可能チャンネル\n");
    WriteLogFormat(" プライマリ MONO = %s  STEREO = %s ", OkNo(caps.dwFlags, DSCAPS_PRIMARYMONO),
                   OkNo(caps.dwFlags, DSCAPS_PRIMARYSTEREO));
    WriteLogFormat(" セカンダリ MONO = %s  STEREO = %s \n", OkNo(caps.dwFlags, DSCAPS_SECONDARYMONO),
                   OkNo(caps.dwFlags, DSCAPS_SECONDARYSTEREO));
    DecreaseLogIndent();
    FreeLibrary(dll);
}

int InitSoundSystem()
{
    SoundSystemState& s = SoundSystem;
    if (s.directSound != nullptr)
        return -1;
    if (!s.lockCreated) {
        InitializeCriticalSection(&s.lock);
        s.lockOwner = 0;
        s.lockDepth = 0;
        s.lockCreated = 1;
    }

    int musicResult = 1;
    if (s.directMusicMode)
        musicResult = StartDirectMusic();
    if (musicResult < 0)
        return -1;
    if (musicResult > 0 && StartDirectSound() != 0)
        return -1;

    StartSilentBuffer();

    s.loadMode = 0;
    VorbisSampleWidth = 2;
    InitLinkedList(&s.streamHead, &s.streamTail);
    InitLinkedList(&s.playerHead, &s.playerTail);

    if (s.directSound != nullptr)
        LogDeviceReport();

    DeleteAllSounds();
    DeleteAllSoftSoundData();
    DeleteAllSoftSoundPlayers();

    // A flag left at "stop" by an end that had no thread to stop would end
    // the new thread at once.
    s.stopFlag.store(SOUND_THREAD_RUNNING);
    s.thread = CreateThread(nullptr, 0, SoundServiceThread, nullptr, CREATE_SUSPENDED, &s.threadId);
    if (s.thread != nullptr) {
        SetThreadPriority(s.thread, THREAD_PRIORITY_TIME_CRITICAL);
        ResumeThread(s.thread);
    }

    WriteLog("DirectSound の初期化は正常に終了しました\n");
    return 0;
}

int FinishSoundCaptureFile()
{
    SoundSystemState& s = SoundSystem;
    if (!s.captureActive)
        return -1;
    uint8_t header[46];
    const uint32_t data = 4 * s.captureFrames;
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            header[at + i] = (uint8_t)(v >> (8 * i));
    };
    auto put16 = [&](int at, uint32_t v) {
        header[at] = (uint8_t)v;
        header[at + 1] = (uint8_t)(v >> 8);
    };
    CopyBytes(header + 0, "RIFF", 4);
    put32(4, data + 38);
    CopyBytes(header + 8, "WAVE", 4);
    CopyBytes(header + 12, "fmt ", 4);
    put32(16, 18);
    put16(20, 1);
    put16(22, 2);
    put32(24, 44100);
    put32(28, 176400);
    put16(32, 4);
    put16(34, 16);
    put16(36, 0);
    CopyBytes(header + 38, "data", 4);
    put32(42, data);
    SetFilePointer(s.captureFile, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(s.captureFile, header, sizeof(header), &written, nullptr);
    CloseHandle(s.captureFile);
    s.captureFile = nullptr;
    s.captureActive = 0;
    return 0;
}

int TermSoundSystem()
{
    SoundSystemState& s = SoundSystem;
    if (s.directSound == nullptr)
        return -1;

    // A shut-down met with the sound lock held (a fatal exit inside sound
    // work) would wait for ever for a thread that waits for the lock: give
    // it up for good, as the lock goes away below.
    SuspendSoundLock();
    // Without a thread (its creation failed, or a failed start ends here
    // before it exists) nobody would answer the flag: do not wait for it.
    s.stopFlag.store(SOUND_THREAD_STOP);
    if (RunMessagePump() == 0 && s.thread != nullptr) {
        while (s.stopFlag.load() == SOUND_THREAD_STOP) {
            Sleep(2);
            if (RunMessagePump() != 0)
                break;
        }
    }
    // The pump may have ended the wait early: the sounds and the lock must
    // outlive the thread's last pass, so wait for the thread itself.
    if (s.thread != nullptr) {
        WaitForSingleObject(s.thread, INFINITE);
        CloseHandle(s.thread);
        s.thread = nullptr;
        s.threadId = 0;
    }

    FinishSoundCaptureFile();

    DeleteAllSounds();
    DeleteAllSoftSoundData();
    DeleteAllSoftSoundPlayers();
    DeleteAllMusicHandles();
    DeleteTempMidiFile();
    // Every converter went with its sound.
    ReleaseAcmDrivers();

    if (s.lockCreated) {
        DeleteCriticalSection(&s.lock);
        s.lockCreated = 0;
    }

    if (s.directMusicMode) {
        if (s.performance != nullptr) {
            s.performance->Stop(nullptr, nullptr, 0, 0);
            s.performance->CloseDown();
            s.performance->Release();
            s.performance = nullptr;
        }
        if (s.musicLoader != nullptr) {
            s.musicLoader->Release();
            s.musicLoader = nullptr;
        }
    }

    if (s.primaryBuffer != nullptr) {
        s.primaryBuffer->Stop();
        s.primaryBuffer->Release();
        s.primaryBuffer = nullptr;
    }
    if (s.silentBuffer != nullptr) {
        s.silentBuffer->Stop();
        s.silentBuffer->Release();
        s.silentBuffer = nullptr;
    }
    s.directSound->Release();

    WriteLog("DirectSound の終了処理は正常に終了しました\n");
    s.directSound = nullptr;
    return 0;
}
