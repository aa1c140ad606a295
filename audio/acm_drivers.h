// The compression manager's drivers held open while sounds are converted.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

// Opens every enabled driver once and keeps it open. Without it each format
// query or stream opened without a named driver loads and unloads every
// driver's module again (some 25 ms a sound under Wine). Safe to call from
// any thread and any number of times.
void HoldAcmDrivers();
// Closes what HoldAcmDrivers opened; the next call opens them again.
void ReleaseAcmDrivers();

// acmFormatSuggest and acmStreamOpen (non-real-time) as with no driver named:
// the held driver that knows the source's format tag is asked first, so that
// the manager does not open every driver for each call; without an answer
// from it, any driver is asked as before.
MMRESULT SuggestAcmFormat(WAVEFORMATEX* source, WAVEFORMATEX* out, DWORD outSize, DWORD flags);
MMRESULT OpenAcmStream(HACMSTREAM* stream, WAVEFORMATEX* source, WAVEFORMATEX* out);
