#include "audio/sound_load.h"

#include "audio/sound_handles.h"
#include "audio/sound_system.h"
#include "audio/stream_play.h"
#include "audio/stream_ring.h"
#include "audio/stream_sound.h"
#include "runtime/library.h"
#include "runtime/log.h"
#include "runtime/memory.h"

int LoadFileToMemory(const char* path, void** data, uint32_t* size)
{
    const StreamHandle file = FileStreamOpen(path, 0, 1, 0);
    if (file == 0) {
        WriteLogFormat("右記のファイルのオープンに失敗しました：%s", path);
        return -1;
    }
    FileStreamSeek(file, 0, SEEK_END);
    const int64_t length = FileStreamTell(file);
    FileStreamSeek(file, 0, SEEK_SET);
    void* memory = nullptr;
    if (length >= 0 && (uint64_t)length <= kMaxSoundBlock)
        memory = AllocTracked(length == 0 ? 1 : (size_t)length, "", 0);
    if (memory == nullptr) {
        WriteLogFormat("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", path);
        FileStreamClose(file);
        return -1;
    }
    if (length != 0)
        FileStreamRead(memory, (size_t)length, 1, file);
    FileStreamClose(file);
    *data = memory;
    *size = (uint32_t)length;
    return 0;
}

static void MakeBufferDescription(DSBUFFERDESC* description, DWORD flags, DWORD bytes, const WAVEFORMATEX* format)
{
    FillBytes(description, 0, sizeof(*description));
    description->dwSize = sizeof(*description);
    description->dwFlags = flags;
    description->dwBufferBytes = bytes;
    description->lpwfxFormat = (WAVEFORMATEX*)format;
}

// Buffer 0 of a whole sound, with a second try without frequency control and
// global focus for a device that refuses them.
static int CreateWholeBuffer(SoundBufferObject* buffer, const WAVEFORMATEX* format, uint32_t bytes)
{
    DSBUFFERDESC description;
    MakeBufferDescription(&description,
                          DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY |
                              DSBCAPS_STATIC,
                          bytes, format);
    if (CreateSoundBufferObject(buffer, &description) == 0)
        return 0;
    MakeBufferDescription(&description, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_STATIC, bytes, format);
    return CreateSoundBufferObject(buffer, &description);
}

int CreateSoundBuffers(int sourceHandle, const WAVEFORMATEX* format, uint32_t bytes, int kind, int bufferCount,
                       int handle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr)
        return -1;
    SoundData* source = nullptr;
    if (sourceHandle != -1) {
        source = GetSoundData(sourceHandle);
        if (source == nullptr || kind != SOUND_KIND_WHOLE)
            return -1;
        bytes = source->pcmBytes;
        format = &source->format;
    }
    if (format == nullptr || bufferCount > SOUND_BUFFER_MAX)
        return -1;

    if (kind == SOUND_KIND_STREAM) {
        // A format that gives no sensible ring is bad data, refused like any
        // other; only a device failure on a good format ends the program.
        StreamRingSizes sizes;
        if (format->nBlockAlign == 0 || format->nAvgBytesPerSec == 0 ||
            GetStreamRingSizes(format->nAvgBytesPerSec, format->nBlockAlign, &sizes) != 0 ||
            sizes.ring > DSBSIZE_MAX)
            return -1;
        DSBUFFERDESC description;
        MakeBufferDescription(&description,
                              DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME |
                                  DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY | DSBCAPS_STATIC,
                              sizes.ring, format);
        if (CreateSoundBufferObject(&sound->buffers[0], &description) != 0)
            FatalErrorExit("ストリーム風サウンドバッファの作成に失敗しました");
        sound->bufferCount = 1;
        sound->streamBufferBytes = sizes.ring;
    } else {
        if (bytes == 0 || bytes > DSBSIZE_MAX) {
            WriteLog("DirectSoundBuffer の作成に失敗しました\n");
            return -1;
        }
        int made = 0;
        for (int i = 0; i < bufferCount; i++) {
            SoundBufferObject* buffer = &sound->buffers[i];
            const SoundBufferObject* original = source != nullptr ? &source->buffers[0] : &sound->buffers[0];
            int failed = 0;
            if (i == 0 && source == nullptr) {
                failed = CreateWholeBuffer(buffer, format, bytes);
            } else if (DuplicateSoundBufferObject(buffer, original) != 0) {
                if (i == 0)
                    failed = CreateWholeBuffer(buffer, format, bytes);
                else
                    break;
            }
            if (failed) {
                for (int j = 0; j < i; j++)
                    ReleaseSoundBufferObject(&sound->buffers[j]);
                WriteLog("DirectSoundBuffer の作成に失敗しました\n");
                return -1;
            }
            made = i + 1;
        }
        sound->bufferCount = made;
    }
    sound->kind = kind;
    if (kind == SOUND_KIND_STREAM)
        InsertListNode(&SoundSystem.streamHead, &sound->listNode, handle, sound);
    return 0;
}

// Copies the PCM into each buffer of a new whole sound.
static int TransferPcm(SoundData* sound)
{
    for (int i = 0; i < sound->bufferCount; i++) {
        LockedSpans spans;
        if (LockSoundBufferSpans(&sound->buffers[i], 0, sound->pcmBytes, &spans) != 0) {
            WriteLog("サウンドデータの転送に失敗しました_1");
            return -1;
        }
        WriteLockedSpans(&spans, sound->pcm, sound->pcmBytes);
        if (UnlockSoundBufferSpans(&sound->buffers[i], &spans) != 0) {
            WriteLog("サウンドデータの転送に失敗しました_2");
            return -1;
        }
    }
    return 0;
}

// A new record's stream sound over a file image; deletes the record on failure.
static int MakeStreamFromImage(int handle, const void* image, uint32_t size, int mode, int shareHandle)
{
    if (AddStreamSoundMemImage(image, size, 0, handle, mode, shareHandle) != 0) {
        DeleteSoundHandle(handle);
        return -1;
    }
    PrefillStreamSound(handle);
    return handle;
}

int LoadSoundFromStream(const void* image, uint32_t size, int bufferCount, int shareHandle)
{
    if (SoundSystem.directSound == nullptr || bufferCount > SOUND_BUFFER_MAX)
        return -1;
    LockSound();
    const int handle = AddSoundData(-1);
    if (handle == -1) {
        UnlockSound();
        return -1;
    }
    int result;
    if (SoundSystem.loadMode == 2 || SoundSystem.loadMode == 3) {
        result = MakeStreamFromImage(handle, image, size, SoundSystem.loadMode, shareHandle);
        UnlockSound();
        return result;
    }

    const StreamHandle memory = size <= kMaxSoundBlock ? OpenMemoryStream(image, (int)size) : 0;
    SoundConverter converter;
    FillBytes(&converter, 0, sizeof(converter));
    StreamDescriptor descriptor;
    descriptor.ops = *GetMemoryStreamFunctions();
    descriptor.handle = memory;
    if (memory == 0 || SetupSoundConverter(&descriptor, &converter) < 0) {
        WriteLog("音声ファイルのＰＣＭへの変換に失敗しました");
        if (memory != 0)
            CloseMemoryStream(memory);
        DeleteSoundHandle(handle);
        UnlockSound();
        return -1;
    }
    WAVEFORMATEX format;
    void* pcm = nullptr;
    int pcmCount = 0;
    if (ConvertSoundWhole(&converter, &format, &pcm, &pcmCount) < 0 || pcmCount < 0) {
        WriteLog("音声ファイルを格納するメモリ領域の確保に失敗しました");
        FreeTracked(pcm);
        DeleteSoundHandle(handle);
        CloseMemoryStream(memory);
        TerminateSoundConverter(&converter);
        UnlockSound();
        return -1;
    }
    TerminateSoundConverter(&converter);
    CloseMemoryStream(memory);
    const uint32_t pcmBytes = (uint32_t)pcmCount;

    if (!FitsWholeSound(pcmBytes, format.nAvgBytesPerSec) ||
        CreateSoundBuffers(-1, &format, pcmBytes, SOUND_KIND_WHOLE, bufferCount, handle) == -1) {
        FreeTracked(pcm);
        result = MakeStreamFromImage(handle, image, size, 2, shareHandle);
        UnlockSound();
        return result;
    }

    SoundData* sound = GetSoundData(handle);
    sound->frequency = (int)format.nSamplesPerSec;
    sound->pcmRefCount = (int32_t*)AllocTracked(sizeof(int32_t), "", 0);
    if (sound->pcmRefCount == nullptr) {
        WriteLog("サウンドデータの参照数を保存するメモリ領域の確保に失敗しました");
        FreeTracked(pcm);
        DeleteSoundHandle(handle);
        UnlockSound();
        return -1;
    }
    sound->format = format;
    sound->pcmBytes = pcmBytes;
    sound->pcm = pcm;
    *sound->pcmRefCount = 1;
    if (TransferPcm(sound) != 0) {
        DeleteSoundHandle(handle);
        UnlockSound();
        return -1;
    }
    UnlockSound();
    return handle;
}

int LoadSoundFileBase(const char* path, int bufferCount, int shareHandle)
{
    if (SoundSystem.directSound == nullptr || path == nullptr)
        return -1;
    if (bufferCount > SOUND_BUFFER_MAX)
        bufferCount = SOUND_BUFFER_MAX;
    LockSound();
    const int mode = SoundSystem.loadMode;
    if (mode == 2 || mode == 3) {
        const int handle = AddSoundData(-1);
        if (handle == -1) {
            UnlockSound();
            return -1;
        }
        if (AddStreamSoundFile(path, 0, handle, mode, shareHandle) != 0) {
            DeleteSoundHandle(handle);
            UnlockSound();
            return -1;
        }
        PrefillStreamSound(handle);
        UnlockSound();
        return handle;
    }
    void* image = nullptr;
    uint32_t size = 0;
    if (LoadFileToMemory(path, &image, &size) != 0) {
        WriteLogFormat("右記の音声ファイルのロードに失敗しました_1：%s", path);
        UnlockSound();
        return -1;
    }
    const int handle = LoadSoundFromStream(image, size, bufferCount, -1);
    if (handle == -1)
        WriteLogFormat("右記の音声ファイルのロードに失敗しました_2：%s", path);
    FreeTracked(image);
    UnlockSound();
    return handle;
}

int LoadSoundFile(const char* path, int bufferCount, int shareHandle)
{
    return LoadSoundFileBase(path, bufferCount, shareHandle);
}
