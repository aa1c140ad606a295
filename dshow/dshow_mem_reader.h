// A file image already in memory offered to a DirectShow graph: the byte
// stream over the block, with an optional read-rate limit, and the
// asynchronous source filter over that stream.
#pragma once

#include "dshow/dshow_async_io.h"
#include "dshow/dshow_async_source.h"

class D_CMemStream : public AsyncStream, public TrackedObjectMemory {
public:
    D_CMemStream(const BYTE* data, LONGLONG length, DWORD rate);
    ~D_CMemStream() override;

    HRESULT SeekStream(LONGLONG position) override;
    HRESULT ReadStream(BYTE* buffer, DWORD count, BOOL aligned, DWORD* bytesRead) override;
    LONGLONG StreamSize(LONGLONG* available) override;
    LONG StreamAlignment() override;
    void LockStream() override;
    void UnlockStream() override;

    CRITICAL_SECTION lock;
    const BYTE* data;  // not owned
    LONGLONG length;
    LONGLONG position;
    DWORD rate;        // bytes per millisecond; 0xFFFFFFFF never waits
    DWORD startTime;   // timeGetTime at construction
};

class D_CMemReader : public AsyncSourceFilter {
public:
    D_CMemReader(AsyncStream* stream, HRESULT* result);
    ~D_CMemReader() override;

    HRESULT STDMETHODCALLTYPE Register() override;
    HRESULT STDMETHODCALLTYPE Unregister() override;
};

// Null when memory is short or the rate is 0 (no read could ever be due).
D_CMemStream* CreateMemStream(const BYTE* data, LONGLONG length, DWORD rate);
void ReleaseMemStream(D_CMemStream* stream);
// The reader with reference count 0 (the caller's AddFilter or AddRef takes
// the first), proposing a copy of type; null and E_OUTOFMEMORY in *result
// when it cannot be allocated.
D_CMemReader* CreateMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* type, HRESULT* result);
