// Whole-stream decoding to PCM through a DirectShow graph: the library's
// memory reader feeds the platform's splitter and decoder, and the library's
// sample grabber collects the PCM they produce.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "audio/sound_converter.h"

// The first pin of the filter with that direction, holding one reference for
// the caller; null when there is none.
IPin* FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction);

// The grabber callback: appends the sample's bytes to the PCM data of the
// converter registered under userValue. Always 0.
HRESULT __cdecl OnMp3Sample(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, BOOL typeChanged,
                            DWORD userValue);

// The grabber's user value is 32 bits wide, too narrow for a pointer on
// 64-bit Windows, so the callback finds its converter through a ticket.
// Registration fails (0) only when memory is short; after Unregister returns,
// no callback touches the converter any more.
DWORD RegisterMp3Sink(SoundConverter* converter);
void UnregisterMp3Sink(DWORD ticket);

// How long the conversion waits for a graph that neither completes nor
// delivers a sample before it gives up, in milliseconds.
extern DWORD Mp3GraphStallLimitMs;
// How long the conversion waits for the graph's build (Render) before it
// gives the build up, in milliseconds.
extern DWORD Mp3GraphBuildLimitMs;
