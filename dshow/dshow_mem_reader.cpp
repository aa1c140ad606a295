#include "dshow/dshow_mem_reader.h"

#include <mmsystem.h>

D_CMemStream::D_CMemStream(const BYTE* data, LONGLONG length, DWORD rate)
    : data(data), length(length), position(0), rate(rate), startTime(timeGetTime())
{
    InitializeCriticalSection(&lock);
}

D_CMemStream::~D_CMemStream()
{
    DeleteCriticalSection(&lock);
}

HRESULT D_CMemStream::SeekStream(LONGLONG to)
{
    if (to < 0 || to > length)
        return S_FALSE;
    position = to;
    return S_OK;
}

HRESULT D_CMemStream::ReadStream(BYTE* buffer, DWORD count, BOOL, DWORD* bytesRead)
{
    EnterCriticalSection(&lock);
    DWORD now = timeGetTime();
    // The position lies within the block (SeekStream keeps it there), so the
    // copy never leaves it, whatever count the caller gave.
    DWORD n = count;
    if (position + (LONGLONG)count > length)
        n = (DWORD)(length - position);
    DWORD due = (DWORD)(position + n) / rate;
    DWORD elapsed = now - startTime;
    if (elapsed < due)
        Sleep(due - elapsed);
    if (n)
        memcpy(buffer, data + (size_t)position, n);
    position += n;
    *bytesRead = n;
    LeaveCriticalSection(&lock);
    return S_OK;
}

LONGLONG D_CMemStream::StreamSize(LONGLONG* available)
{
    if (available) {
        // Unsigned, so that a large rate never turns the count negative; an
        // unpaced stream has everything at once, as its reads never wait.
        LONGLONG arrived = rate == 0xFFFFFFFF ? length : (LONGLONG)(DWORD)(timeGetTime() - startTime) * (LONGLONG)rate;
        *available = arrived < length ? arrived : length;
    }
    return length;
}

LONG D_CMemStream::StreamAlignment() { return 1; }
void D_CMemStream::LockStream() { EnterCriticalSection(&lock); }
void D_CMemStream::UnlockStream() { LeaveCriticalSection(&lock); }

D_CMemStream* CreateMemStream(const BYTE* data, LONGLONG length, DWORD rate)
{
    if (rate == 0 || length < 0 || (!data && length > 0))
        return nullptr;
    return new D_CMemStream(data, length, rate);
}

void ReleaseMemStream(D_CMemStream* stream)
{
    delete stream;
}

D_CMemReader::D_CMemReader(AsyncStream* stream, HRESULT* result)
    : AsyncSourceFilter("Mem Reader", nullptr, stream, result)
{
}

D_CMemReader::~D_CMemReader() {}

// Nothing is registered for this filter: it is only ever created in process.
HRESULT STDMETHODCALLTYPE D_CMemReader::Register() { return S_OK; }
HRESULT STDMETHODCALLTYPE D_CMemReader::Unregister() { return S_OK; }

D_CMemReader* CreateMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* type, HRESULT* result)
{
    if (!stream) {
        if (result)
            *result = E_POINTER;
        return nullptr;
    }
    if (result)
        *result = S_OK;
    D_CMemReader* reader = new D_CMemReader(stream, result);
    if (!reader) {
        if (result)
            *result = E_OUTOFMEMORY;
        return nullptr;
    }
    if (type)
        SetMediaTypeObject(&reader->outputType, type);
    return reader;
}
