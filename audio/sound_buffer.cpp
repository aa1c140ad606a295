#include "audio/sound_buffer.h"

#include "audio/sound_system.h"
#include "runtime/helpers.h"
#include "runtime/memory.h"

// 256 x 10^(value / 1000), the exponent formed in single precision.
static int SoftGain(LONG value)
{
    const float exponent = (float)value / 10.0f / 100.0f;
    return DoubleToInt(PowFloat(10.0f, exponent) / 0.9999999999 * 256.0);
}

int SoftSoundVolumeValue(LONG volume)
{
    if (volume == -10000)
        return 0;
    if (volume == 0)
        return 256;
    return SoftGain(volume);
}

int SoftSoundPanValue(LONG pan)
{
    if (pan == -10000)
        return -256;
    if (pan == 10000)
        return 256;
    if (pan == 0)
        return 0;
    const int gain = SoftGain(-AbsInt(pan));
    return pan < 0 ? -gain : gain;
}

// The software form of a new buffer: bytes of memory and a stopped play state.
static int MakeSoftBuffer(SoundBufferObject* object, uint64_t bytes, const WAVEFORMATEX* format)
{
    if (format == nullptr || format->nBlockAlign == 0 || bytes > 0x7FFFFFFF)
        return -1;
    object->data = (uint8_t*)AllocTracked((size_t)bytes, "", 0);
    if (object->data == nullptr && bytes != 0)
        return -1;
    object->playing = 0;
    object->position = 0;
    object->looping = 0;
    object->softPan = 0;
    object->softVolume = 255;
    object->softFrequency = -1;
    object->lengthSamples = (uint32_t)(bytes / format->nBlockAlign);
    object->softFormat = *format;
    object->valid = 1;
    return 0;
}

int CreateSoundBufferObject(SoundBufferObject* object, const DSBUFFERDESC* description)
{
    if (object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        return MakeSoftBuffer(object, description->dwBufferBytes, description->lpwfxFormat);
    object->buffer = nullptr;
    if (SoundSystem.directSound == nullptr)
        return -1;
    DSBUFFERDESC copy = *description;
    if (FAILED(SoundSystem.directSound->CreateSoundBuffer(&copy, &object->buffer, nullptr))) {
        object->buffer = nullptr;
        return -1;
    }
    object->valid = 1;
    return 0;
}

int DuplicateSoundBufferObject(SoundBufferObject* object, const SoundBufferObject* source)
{
    if (object->valid || !source->valid)
        return -1;
    if (SoundSystem.softwareBuffers) {
        // The samples are not copied: the duplicate starts as its own memory.
        const uint64_t bytes = (uint64_t)source->softFormat.nBlockAlign * source->lengthSamples;
        if (MakeSoftBuffer(object, bytes, &source->softFormat) != 0)
            return -1;
        object->lengthSamples = source->lengthSamples;
        return 0;
    }
    object->buffer = nullptr;
    if (SoundSystem.directSound == nullptr)
        return -1;
    if (FAILED(SoundSystem.directSound->DuplicateSoundBuffer(source->buffer, &object->buffer))) {
        object->buffer = nullptr;
        return -1;
    }
    object->valid = 1;
    return 0;
}

int ReleaseSoundBufferObject(SoundBufferObject* object)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers) {
        FreeTracked(object->data);
        object->data = nullptr;
    } else {
        object->buffer->Release();
        object->buffer = nullptr;
    }
    object->valid = 0;
    return 0;
}

int PlaySoundBufferObject(SoundBufferObject* object, int loop)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers) {
        object->playing = 1;
        object->looping = loop;
        return 0;
    }
    return (int)object->buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
}

int StopSoundBufferObject(SoundBufferObject* object)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        object->playing = 0;
    else
        object->buffer->Stop();
    return 0;
}

int GetSoundBufferStatus(SoundBufferObject* object, DWORD* status)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers) {
        if (status)
            *status = object->playing ? 1 : 0;
        return 0;
    }
    return FAILED(object->buffer->GetStatus(status)) ? -1 : 0;
}

int GetSoundBufferPosition(SoundBufferObject* object, DWORD* playCursor, DWORD* writeCursor)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers) {
        const DWORD bytes = object->position * object->softFormat.nBlockAlign;
        if (playCursor)
            *playCursor = bytes;
        if (writeCursor)
            *writeCursor = bytes;
        return 0;
    }
    return FAILED(object->buffer->GetCurrentPosition(playCursor, writeCursor)) ? -1 : 0;
}

int LockSoundBufferObject(SoundBufferObject* object, DWORD offset, DWORD bytes, void** first,
                          DWORD* firstLength, void** second, DWORD* secondLength)
{
    if (!object->valid)
        return -1;
    if (!SoundSystem.softwareBuffers)
        return FAILED(object->buffer->Lock(offset, bytes, first, firstLength, second, secondLength, 0)) ? -1 : 0;

    const uint32_t block = object->softFormat.nBlockAlign;
    const uint32_t startFrame = offset / block;
    const uint32_t frames = bytes / block;
    const uint32_t length = object->lengthSamples;
    // A region that does not fit the buffer at all is refused rather than
    // handed out past the memory.
    if (startFrame > length || frames > length)
        return -1;
    *first = object->data + offset;
    if ((uint64_t)startFrame + frames <= length) {
        *firstLength = bytes;
        *second = nullptr;
        *secondLength = 0;
    } else {
        *firstLength = (length - startFrame) * block;
        *second = object->data;
        *secondLength = (frames - (length - startFrame)) * block;
    }
    return 0;
}

int UnlockSoundBufferObject(SoundBufferObject* object, void* first, DWORD firstLength, void* second,
                            DWORD secondLength)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        return 0;
    return FAILED(object->buffer->Unlock(first, firstLength, second, secondLength)) ? -1 : 0;
}

int SetSoundBufferFrequency(SoundBufferObject* object, DWORD rate)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        object->softFrequency = rate == 0 ? -1 : (int)rate;
    else
        object->buffer->SetFrequency(rate);
    return 0;
}

int SetSoundBufferPan(SoundBufferObject* object, LONG pan)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        object->softPan = SoftSoundPanValue(pan);
    else
        object->buffer->SetPan(pan);
    return 0;
}

int SetSoundBufferVolume(SoundBufferObject* object, LONG volume)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        object->softVolume = SoftSoundVolumeValue(volume);
    else
        object->buffer->SetVolume(volume);
    return 0;
}

int SetSoundBufferPosition(SoundBufferObject* object, DWORD offset)
{
    if (!object->valid)
        return -1;
    if (SoundSystem.softwareBuffers)
        object->position = offset / object->softFormat.nBlockAlign;
    else
        object->buffer->SetCurrentPosition(offset);
    return 0;
}

void InitLockedSpans(LockedSpans* spans, uint32_t start, void* first, uint32_t firstLength, void* second,
                     uint32_t secondLength)
{
    spans->start = start;
    spans->first = (uint8_t*)first;
    spans->second = (uint8_t*)second;
    spans->firstLength = first ? firstLength : 0;
    spans->secondLength = second ? secondLength : 0;
    spans->firstWritten = 0;
    spans->secondWritten = 0;
    spans->firstLeft = spans->firstLength;
    spans->secondLeft = spans->secondLength;
}

int LockSoundBufferSpans(SoundBufferObject* object, DWORD offset, DWORD bytes, LockedSpans* spans)
{
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstLength = 0, secondLength = 0;
    if (LockSoundBufferObject(object, offset, bytes, &first, &firstLength, &second, &secondLength) != 0)
        return -1;
    InitLockedSpans(spans, offset, first, firstLength, second, secondLength);
    return 0;
}

int UnlockSoundBufferSpans(SoundBufferObject* object, const LockedSpans* spans)
{
    return UnlockSoundBufferObject(object, spans->first, spans->firstLength, spans->second, spans->secondLength);
}

uint32_t LockedSpansEnd(const LockedSpans* spans)
{
    // A region that does not wrap ends behind its first span even when full.
    if (spans->firstLeft != 0 || spans->second == nullptr)
        return spans->start + spans->firstWritten;
    return spans->secondWritten;
}

// Hands out the next piece of span memory, at most count bytes, and counts it
// as filled.
static uint8_t* TakeSpan(LockedSpans* spans, uint32_t count, uint32_t* taken)
{
    uint8_t* at;
    if (spans->firstLeft != 0) {
        *taken = count < spans->firstLeft ? count : spans->firstLeft;
        at = spans->first + spans->firstWritten;
        spans->firstWritten += *taken;
        spans->firstLeft -= *taken;
    } else {
        *taken = count < spans->secondLeft ? count : spans->secondLeft;
        at = spans->second + spans->secondWritten;
        spans->secondWritten += *taken;
        spans->secondLeft -= *taken;
    }
    return at;
}

uint32_t WriteLockedSpans(LockedSpans* spans, const void* data, uint32_t count)
{
    const uint8_t* from = (const uint8_t*)data;
    uint32_t written = 0;
    while (written < count) {
        uint32_t taken = 0;
        uint8_t* at = TakeSpan(spans, count - written, &taken);
        if (taken == 0)
            break;
        CopyBytes(at, from + written, (int)taken);
        written += taken;
    }
    return written;
}

int FillSoundBufferSilence(const WAVEFORMATEX* format, LockedSpans* spans, uint32_t count)
{
    const int silence = format->wBitsPerSample == 8 ? 0x7F : 0;
    uint32_t filled = 0;
    while (filled < count) {
        uint32_t taken = 0;
        uint8_t* at = TakeSpan(spans, count - filled, &taken);
        if (taken == 0)
            break;
        FillBytes(at, silence, (int)taken);
        filled += taken;
    }
    return 0;
}
