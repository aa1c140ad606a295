// The read engine of the asynchronous source filter: a queue of read requests
// performed in order by one worker thread, a list of completed requests for the
// consumer, synchronous reads on the caller's thread, and the flush protocol.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_object.h"
#include "dshow/dshow_object_list.h"

// A byte stream read by the engine. Seek and read of one request run between
// LockStream and UnlockStream.
class AsyncStream {
public:
    virtual ~AsyncStream() {}
    // S_OK when position is valid for reading, S_FALSE when not.
    virtual HRESULT SeekStream(LONGLONG position) = 0;
    // Reads at the current position and advances it; S_OK, kStreamDiscontinuity
    // when the data follows a gap, or a failure.
    virtual HRESULT ReadStream(BYTE* buffer, DWORD count, BOOL aligned, DWORD* bytesRead) = 0;
    // The total length; the length available so far goes to available (may be null).
    virtual LONGLONG StreamSize(LONGLONG* available) = 0;
    // A power of two that aligned reads respect in position, length and buffer address.
    virtual LONG StreamAlignment() = 0;
    virtual void LockStream() = 0;
    virtual void UnlockStream() = 0;
};

// Success code of ReadStream for data that follows a gap.
constexpr HRESULT kStreamDiscontinuity = 0x00040000;

struct AsyncIoEngine;

struct AsyncReadRequest {
    AsyncIoEngine* engine;
    AsyncStream* stream;
    LONGLONG position;
    BOOL aligned;
    LONG length;          // bytes asked; the bytes read when a read comes up short
    BYTE* buffer;
    IMediaSample* context; // the sample the request fills, or null
    DWORD_PTR user;        // handed back with the completion
    HRESULT result;        // VFW_E_TIMEOUT until performed
};

// Made over a stream that it does not own; destroying it flushes, ends the
// worker thread and frees the completed requests nobody collected.
struct AsyncIoEngine {
    explicit AsyncIoEngine(AsyncStream* stream);
    ~AsyncIoEngine();
    AsyncIoEngine(const AsyncIoEngine&) = delete;
    AsyncIoEngine& operator=(const AsyncIoEngine&) = delete;

    AsyncStream* stream;  // not owned
    CRITICAL_SECTION listLock;
    BOOL flushing;
    ObjectList requests;  // queued
    ObjectList done;      // completed, waiting to be collected
    SyncEvent workEvent{TRUE};  // set while requests are queued
    SyncEvent doneEvent{TRUE};  // set while completed requests wait (and while flushing)
    LONG inProgress;
    BOOL flushWaiting;
    SyncEvent allDoneEvent{FALSE}; // the last request in progress completed during a flush
    SyncEvent exitEvent{TRUE};     // ends the worker
    HANDLE thread;
};

void InitReadRequest(AsyncReadRequest* request, AsyncIoEngine* engine, AsyncStream* stream,
    LONGLONG position, LONG length, BOOL aligned, BYTE* buffer, IMediaSample* context, DWORD_PTR user);
HRESULT CompleteReadRequest(AsyncReadRequest* request);

HRESULT QueueReadRequest(AsyncIoEngine* engine, LONGLONG position, LONG length, BOOL aligned,
    BYTE* buffer, IMediaSample* context, DWORD_PTR user);
HRESULT WaitForReadRequest(AsyncIoEngine* engine, DWORD timeout, IMediaSample** context,
    DWORD_PTR* user, LONG* length);
HRESULT ReadAlignedNow(AsyncIoEngine* engine, LONGLONG position, LONG length, BYTE* buffer,
    LONG* bytesRead, IMediaSample* context);
HRESULT ReadNow(AsyncIoEngine* engine, LONGLONG position, LONG length, BYTE* buffer);
HRESULT GetStreamLength(AsyncIoEngine* engine, LONGLONG* total, LONGLONG* available);
HRESULT GetStreamAlignment(AsyncIoEngine* engine, LONG* alignment);
HRESULT FlushReadRequests(AsyncIoEngine* engine);
HRESULT EndReadFlush(AsyncIoEngine* engine);

HRESULT StartAsyncIoThread(AsyncIoEngine* engine);
HRESULT StopAsyncIoThread(AsyncIoEngine* engine);
