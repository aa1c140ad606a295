// Sound converters: turn a WAVE, MP3 or Ogg Vorbis stream into 16-bit (or the
// file's own) PCM, delivered in order with a seek to any sample frame.
#pragma once

#include <stdint.h>

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include "audio/mp3_frames.h"
#include "audio/ogg_reader.h"
#include "runtime/file/stream.h"

static_assert(sizeof(WAVEFORMATEX) == 18, "the output format is the packed 18-byte record");

// Conversion methods.
enum : int32_t {
    kConverterWavePcm = 0,
    kConverterAcm = 1,        // a WAVE file with a compressed format, or MP3
    kConverterOggVorbis = 2,
    kConverterMemory = 3,     // PCM decoded whole beforehand
};

struct AcmConverterState {
    WAVEFORMATEX* sourceFormat;   // owned: the file's format chunk or the built MP3 format
    HACMSTREAM stream;            // current stream
    HACMSTREAM spareStream;       // same formats; becomes current on a backward seek
    unsigned char* data;          // owned copy of the compressed data
    int32_t dataSize;
    int32_t readPosition;
    int32_t totalSamples;         // MP3: sum over the frames; WAVE: -1 (not counted)
};

struct MemoryConverterState {
    unsigned char* pcm;           // owned
    int32_t capacity;
    int32_t size;
    int32_t readPosition;
};

struct SoundConverter {
    int32_t open;
    int32_t endFlag;              // a read ran dry; cleared by set-up and a moving seek
    int32_t method;
    StreamDescriptor source;      // the caller's stream, never closed here
    int32_t dataStart;            // stream position of the first audio byte
    int32_t dataSize;             // WAVE PCM: data chunk; ACM: compressed bytes; Vorbis: PCM bytes
    WAVEFORMATEX format;          // output, always format tag 1
    union {
        AcmConverterState acm;
        OggReader ogg;
        MemoryConverterState memory;
    };
    unsigned char* buffer;        // owned output buffer: one block step's worth
    int32_t bufferSize;
    int32_t bytesLeft;            // unread bytes in the output buffer
    int32_t bufferOffset;         // next unread byte in the output buffer
    int32_t bytePosition;         // PCM bytes delivered since the start of the data
    int32_t secondReader;         // copied from SoundSecondReaderFlag at set-up
};

// Raised by the movie opener while it loads a movie's sound track; selects
// the second Vorbis reader configuration.
extern int32_t SoundSecondReaderFlag;
// Bytes per Vorbis output sample; sound start-up sets it to 2.
extern int32_t VorbisSampleWidth;

// Method-independent operations.
int SetupSoundConverter(StreamDescriptor* source, SoundConverter* converter);
int SeekSoundConverter(SoundConverter* converter, int sample);
int ReadSoundConverter(SoundConverter* converter, void* destination, int byteCount);
int TerminateSoundConverter(SoundConverter* converter);
int GetConverterFormat(SoundConverter* converter, WAVEFORMATEX* out);
int GetConverterTotalBytes(SoundConverter* converter);
// The data comes from AllocTracked; the caller frees it with FreeTracked.
int ConvertSoundWhole(SoundConverter* converter, WAVEFORMATEX* format, void** data, int* byteCount);
int ReadMemoryConverterBlock(SoundConverter* converter);

// WAVE PCM and WAVE through ACM.
int OpenWavePcmConverter(SoundConverter* converter);
int ReadPcmConverterBlock(SoundConverter* converter);
int SeekPcmConverter(SoundConverter* converter, int sample);
int OpenWaveAcmConverter(SoundConverter* converter);

// MP3 through ACM, and the ACM stream operations shared with WAVE through ACM.
int OpenMp3AcmConverter(SoundConverter* converter);
int ConvertAcmBlock(SoundConverter* converter);
int SeekAcmConverter(SoundConverter* converter, int sample);
int CloseAcmConverter(SoundConverter* converter);
// Opens a stream from the ACM source format to the output format; 0 or -1.
int OpenConverterAcmStream(SoundConverter* converter, HACMSTREAM* stream);

// Ogg Vorbis.
int OpenOggSound(SoundConverter* converter);
int DecodeOggSoundBlock(SoundConverter* converter);
int SeekOggSound(SoundConverter* converter, int sample);
int GetOggSoundLength(SoundConverter* converter);
int CloseOggSound(SoundConverter* converter);

// Helpers shared by the openers. 1 when DirectSound can play the PCM format
// as a plain WAVEFORMATEX (8 or 16 bits, 1 or 2 channels, consistent block
// align and byte rate, rate within the buffer limits), else 0.
int IsPlayablePcmFormat(const WAVEFORMATEX* format);
// Size of the converter's stream, the position left where it was; -1 when
// the stream cannot tell.
long GetConverterStreamSize(SoundConverter* converter);

// MP3 (and anything else) decoded whole through a DirectShow graph; on
// success the converter holds the decoded-memory method.
int ConvertMp3ToPcm(SoundConverter* converter);
