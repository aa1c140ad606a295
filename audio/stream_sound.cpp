#include "audio/stream_sound.h"

#include "audio/sound_handles.h"
#include "audio/sound_load.h"
#include "audio/sound_system.h"
#include "audio/stream_play.h"
#include "runtime/log.h"
#include "runtime/memory.h"

static StreamDescriptor MemoryDescriptor(StreamHandle handle)
{
    StreamDescriptor descriptor;
    descriptor.ops = *GetMemoryStreamFunctions();
    descriptor.handle = handle;
    return descriptor;
}

// Opens a memory stream over the source's data and sets its converter up on it.
static int OpenSourceOverData(StreamSource* source)
{
    const StreamHandle memory = OpenMemoryStream(source->data, (int)source->dataSize);
    if (memory == 0)
        return -1;
    source->stream = MemoryDescriptor(memory);
    if (SetupSoundConverter(&source->stream, &source->converter) < 0) {
        CloseMemoryStream(memory);
        source->stream.handle = 0;
        return -1;
    }
    return 0;
}

// Decodes a whole stream to PCM and returns it as a WAVE image.
static int DecodeToWaveImage(StreamDescriptor* stream, void** image, uint32_t* imageSize)
{
    void* copy = nullptr;
    uint32_t copySize = 0;
    if (ReadStreamToMemory(stream, &copy, &copySize) != 0) {
        WriteLog("音声データの変換に失敗しました");
        return -1;
    }
    const StreamHandle memory = OpenMemoryStream(copy, (int)copySize);
    SoundConverter converter;
    FillBytes(&converter, 0, sizeof(converter));
    StreamDescriptor descriptor = MemoryDescriptor(memory);
    WAVEFORMATEX format;
    void* pcm = nullptr;
    int pcmBytes = 0;
    int result = -1;
    if (memory != 0 && SetupSoundConverter(&descriptor, &converter) >= 0 &&
        ConvertSoundWhole(&converter, &format, &pcm, &pcmBytes) >= 0 && pcmBytes >= 0)
        result = 0;
    TerminateSoundConverter(&converter);
    if (memory != 0)
        CloseMemoryStream(memory);
    FreeTracked(copy);
    if (result != 0) {
        FreeTracked(pcm);
        WriteLog("音声データの変換に失敗しました");
        return -1;
    }
    result = BuildWaveImage(image, imageSize, &format, 18, pcm, (uint32_t)pcmBytes);
    FreeTracked(pcm);
    return result;
}

static void DropSource(StreamSource* source)
{
    TerminateSoundConverter(&source->converter);
    if (source->stream.handle != 0)
        CloseMemoryStream(source->stream.handle);
    source->stream.handle = 0;
    FreeTracked(source->data);
    source->data = nullptr;
}

int AddSreamSound(StreamDescriptor* stream, uint8_t loopCount, int handle, int mode, int* tookCopy, int shareHandle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    LockSound();
    SoundData* sound = GetSoundData(handle);
    if (sound == nullptr || stream == nullptr || (mode != 0 && mode != 2 && mode != 3)) {
        UnlockSound();
        return -1;
    }
    if (sound->sourceCount > 0) {
        if (sound->kind != SOUND_KIND_STREAM) {
            WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
            UnlockSound();
            return -1;
        }
        SoundBufferObject* buffer = nullptr;
        DWORD status = 0;
        if (ClaimStreamBuffer(handle, sound, &buffer, 0) == 0 && GetSoundBufferStatus(buffer, &status) == 0 &&
            (status & DSBSTATUS_PLAYING)) {
            WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
            UnlockSound();
            return -1;
        }
        if (sound->sourceCount >= STREAM_SOURCE_MAX) {
            WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
            UnlockSound();
            return -1;
        }
    }

    StreamSource* source = &sound->sources[sound->sourceCount];
    FillBytes(source, 0, sizeof(*source));
    source->mode = mode;
    source->endSample = -1;
    stream->ops.seek(stream->handle, 0, SEEK_SET);

    if (mode == 3) {
        if (SetupSoundConverter(stream, &source->converter) < 0) {
            WriteLog("音声データのオープンに失敗しました");
            UnlockSound();
            return -1;
        }
        if (tookCopy)
            *tookCopy = 0;
    } else {
        if (mode == 2) {
            if (ReadStreamToMemory(stream, &source->data, &source->dataSize) != 0) {
                WriteLog("音声データの読み込みに失敗しました");
                UnlockSound();
                return -1;
            }
        } else if (DecodeToWaveImage(stream, &source->data, &source->dataSize) != 0) {
            UnlockSound();
            return -1;
        }
        if (OpenSourceOverData(source) != 0) {
            FreeTracked(source->data);
            source->data = nullptr;
            WriteLog("音声データのオープンに失敗しました");
            UnlockSound();
            return -1;
        }
        if (tookCopy)
            *tookCopy = 1;
    }

    // A converter that cannot tell its length (an ADPCM file shorter than
    // one block) has nothing to stream.
    if (GetConverterTotalBytes(&source->converter) < 0) {
        DropSource(source);
        WriteLog("音声データのオープンに失敗しました");
        UnlockSound();
        return -1;
    }

    WAVEFORMATEX format;
    GetConverterFormat(&source->converter, &format);
    if (sound->sourceCount == 0) {
        sound->format = format;
        SoundData* owner = GetSoundData(shareHandle);
        if (owner != nullptr && owner->kind == SOUND_KIND_STREAM && owner->bufferOwner == -1 && owner != sound &&
            CompareBytes(&owner->format, &format, sizeof(format)) == 0) {
            sound->kind = SOUND_KIND_STREAM;
            sound->bufferCount = 1;
            InsertListNode(&SoundSystem.streamHead, &sound->listNode, handle, sound);
            sound->bufferOwner = shareHandle;
            owner->sharerCount++;
        } else {
            if (CreateSoundBuffers(-1, &format, 0, SOUND_KIND_STREAM, 1, handle) != 0) {
                DropSource(source);
                UnlockSound();
                return -1;
            }
            sound->bufferOwner = -1;
            sound->frequency = (int)format.nSamplesPerSec;
        }
        sound->sharerCount = 0;
        sound->bufferUser = -1;
        sound->deletePending = 0;
    } else if (CompareBytes(&sound->format, &format, sizeof(format)) != 0) {
        DropSource(source);
        WriteLog("フォーマットの違う音声データは同時に使うことは出来ません");
        UnlockSound();
        return -1;
    }

    source->loopCount = loopCount;
    sound->sourceCount++;
    uint64_t samples = 0;
    if (sound->format.nBlockAlign != 0)
        for (int i = 0; i < sound->sourceCount; i++)
            samples += (uint64_t)(uint32_t)GetConverterTotalBytes(&sound->sources[i].converter) /
                       sound->format.nBlockAlign;
    sound->totalSamples = samples > 0x7FFFFFFF ? 0x7FFFFFFF : (int32_t)samples;
    UnlockSound();
    return 0;
}

int AddStreamSoundFile(const char* path, uint8_t loopCount, int handle, int mode, int shareHandle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    LockSound();
    if (GetSoundData(handle) == nullptr) {
        UnlockSound();
        return -1;
    }
    const StreamHandle file = FileStreamOpen(path, 0, 1, 0);
    if (file == 0) {
        WriteLogFormat("右記のＷＡＶファイルのロードに失敗しました：%s \n", path);
        UnlockSound();
        return -1;
    }
    StreamDescriptor descriptor;
    descriptor.ops = *GetFileStreamFunctions();
    descriptor.handle = file;
    int tookCopy = 0;
    if (AddSreamSound(&descriptor, loopCount, handle, mode, &tookCopy, shareHandle) != 0) {
        FileStreamClose(file);
        WriteLogFormat("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", path);
        UnlockSound();
        return -1;
    }
    if (tookCopy)
        FileStreamClose(file);
    SoundData* sound = GetSoundData(handle);
    sound->ownsStream[sound->sourceCount - 1] = 1;
    UnlockSound();
    return 0;
}

int AddStreamSoundMemImage(const void* image, uint32_t size, uint8_t loopCount, int handle, int mode,
                           int shareHandle)
{
    if (SoundSystem.directSound == nullptr)
        return -1;
    LockSound();
    if (GetSoundData(handle) == nullptr) {
        UnlockSound();
        return -1;
    }
    if (mode == 3)
        mode = 2;
    const StreamHandle memory = size > 0x7FFFFFFF ? 0 : OpenMemoryStream(image, (int)size);
    if (memory == 0) {
        WriteLog("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
        UnlockSound();
        return -1;
    }
    StreamDescriptor descriptor = MemoryDescriptor(memory);
    int tookCopy = 0;
    if (AddSreamSound(&descriptor, loopCount, handle, mode, &tookCopy, shareHandle) != 0) {
        CloseMemoryStream(memory);
        WriteLog("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
        UnlockSound();
        return -1;
    }
    if (tookCopy)
        CloseMemoryStream(memory);
    SoundData* sound = GetSoundData(handle);
    sound->ownsStream[sound->sourceCount - 1] = 1;
    UnlockSound();
    return 0;
}

uint32_t FillStreamFromConverter(LockedSpans* spans, SoundConverter* converter, uint32_t bytes)
{
    uint32_t total = 0;
    while (bytes > 0) {
        uint8_t* at;
        uint32_t room;
        if (spans->firstLeft != 0) {
            at = spans->first + spans->firstWritten;
            room = spans->firstLeft;
        } else {
            at = spans->second + spans->secondWritten;
            room = spans->secondLeft;
        }
        if (room == 0)
            break;
        const uint32_t want = bytes < room ? bytes : room;
        const int got = ReadSoundConverter(converter, at, (int)want);
        if (got <= 0)
            break;
        const uint32_t read = (uint32_t)got > want ? want : (uint32_t)got;
        if (spans->firstLeft != 0) {
            spans->firstWritten += read;
            spans->firstLeft -= read;
        } else {
            spans->secondWritten += read;
            spans->secondLeft -= read;
        }
        bytes -= read;
        total += read;
    }
    return total;
}

int AdvanceStreamSource(SoundData* sound, LockedSpans* spans, uint32_t cursorReference)
{
    const uint32_t block = sound->format.nBlockAlign;
    sound->loopsDone++;
    StreamSource* current = &sound->sources[sound->currentSource];
    const int8_t loopCount = (int8_t)current->loopCount;
    if (loopCount == -1) {
        if (sound->loopPending == 1)
            return 0;
        sound->sourceBytePos = (int32_t)(block * (uint32_t)current->loopSample);
        sound->loopStartBytes = (uint32_t)sound->sourceBytePos;
        sound->loopPending = 1;
        sound->loopRingPos = LockedSpansEnd(spans);
        SeekSoundConverter(&current->converter, current->loopSample);
        return 0;
    }
    if (sound->loopsDone <= loopCount) {
        sound->sourceBytePos = 0;
        SeekSoundConverter(&current->converter, 0);
        return 0;
    }
    if (sound->currentSource == sound->sourceCount - 1 && sound->playType == 3 && sound->loopPending == 1)
        return 0;
    sound->loopsDone = 0;
    sound->currentSource++;
    if (sound->currentSource >= sound->sourceCount) {
        sound->ended = 1;
        if (sound->playType == 3) {
            sound->currentSource = 0;
            sound->loopStartBytes = 0;
            sound->loopPending = 1;
            sound->loopRingPos = LockedSpansEnd(spans);
            sound->sourceBytePos = 0;
            SeekSoundConverter(&sound->sources[0].converter, 0);
            return 0;
        }
        sound->endWritten = 1;
        sound->endRingPos = LockedSpansEnd(spans);
        sound->endCursorRef = cursorReference;
        const uint32_t silence = block == 0 ? 0 : sound->format.nAvgBytesPerSec / 8 / block * block;
        FillSoundBufferSilence(&sound->format, spans, silence);
        return -1;
    }
    sound->sourceBytePos = 0;
    SeekSoundConverter(&sound->sources[sound->currentSource].converter, 0);
    return 0;
}
