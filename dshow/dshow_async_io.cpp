#include "dshow/dshow_async_io.h"

#include <vfwmsgs.h>

#include "runtime/memory.h"

void InitReadRequest(AsyncReadRequest* request, AsyncIoEngine* engine, AsyncStream* stream,
    LONGLONG position, LONG length, BOOL aligned, BYTE* buffer, IMediaSample* context, DWORD_PTR user)
{
    request->engine = engine;
    request->stream = stream;
    request->position = position;
    request->aligned = aligned;
    request->length = length;
    request->buffer = buffer;
    request->context = context;
    request->user = user;
    request->result = VFW_E_TIMEOUT;
}

HRESULT CompleteReadRequest(AsyncReadRequest* request)
{
    AsyncStream* stream = request->stream;
    stream->LockStream();
    HRESULT hr = stream->SeekStream(request->position);
    if (hr == S_OK) {
        DWORD got = 0;
        hr = stream->ReadStream(request->buffer, (DWORD)request->length, request->aligned, &got);
        if (hr == kStreamDiscontinuity && request->context) {
            request->context->SetDiscontinuity(TRUE);
            hr = S_OK;
        }
        if (SUCCEEDED(hr)) {
            if (got != (DWORD)request->length) {
                request->length = (LONG)got;
                hr = S_FALSE;
            } else {
                hr = S_OK;
            }
        }
    }
    stream->UnlockStream();
    request->result = hr;
    return hr;
}

// The caller's range must fit what it hands over: a negative length would turn
// into a huge byte count below.
static HRESULT CheckReadRange(LONG length, const BYTE* buffer)
{
    if (length < 0)
        return E_INVALIDARG;
    if (!buffer && length > 0)
        return E_POINTER;
    return S_OK;
}

static bool IsAligned(AsyncIoEngine* engine, LONGLONG position, LONG length, const BYTE* buffer)
{
    DWORD mask = (DWORD)engine->stream->StreamAlignment() - 1;
    return ((DWORD)position & mask) == 0 && ((DWORD)length & mask) == 0
        && ((DWORD)(UINT_PTR)buffer & mask) == 0;
}

AsyncIoEngine::AsyncIoEngine(AsyncStream* stream)
    : stream(stream), flushing(FALSE), inProgress(0), flushWaiting(FALSE), thread(nullptr)
{
    InitializeCriticalSection(&listLock);
    ConstructObjectList(&requests);
    ConstructObjectList(&done);
}

// The events close after this body, with the members.
AsyncIoEngine::~AsyncIoEngine()
{
    FlushReadRequests(this);
    StopAsyncIoThread(this);
    while (AsyncReadRequest* request = (AsyncReadRequest*)ListRemoveHead(&done))
        FreeTracked(request);
    ListRemoveAll(&requests);
    ListRemoveAll(&done);
    DestroyObjectList(&done);
    DestroyObjectList(&requests);
    DeleteCriticalSection(&listLock);
}

// Under the list lock.
static AsyncReadRequest* TakeReadRequest(AsyncIoEngine* engine)
{
    AsyncReadRequest* request = (AsyncReadRequest*)ListRemoveHead(&engine->requests);
    if (engine->requests.count == 0)
        ResetEvent(engine->workEvent.handle);
    return request;
}

// Under the list lock. Without a list node the request cannot be handed back;
// it is dropped rather than leaked into a list that does not hold it.
static void PutCompletedRequest(AsyncIoEngine* engine, AsyncReadRequest* request)
{
    if (!ListAddTail(&engine->done, request)) {
        FreeTracked(request);
        return;
    }
    SetEvent(engine->doneEvent.handle);
}

static AsyncReadRequest* TakeCompletedRequest(AsyncIoEngine* engine)
{
    EnterCriticalSection(&engine->listLock);
    AsyncReadRequest* request = (AsyncReadRequest*)ListRemoveHead(&engine->done);
    // An empty list blocks the next wait, except in a flush that no longer
    // waits for reads, when every waiter must see the flush.
    if (engine->done.count == 0 && (!engine->flushing || engine->flushWaiting))
        ResetEvent(engine->doneEvent.handle);
    LeaveCriticalSection(&engine->listLock);
    return request;
}

static void ProcessReadRequests(AsyncIoEngine* engine)
{
    EnterCriticalSection(&engine->listLock);
    while (AsyncReadRequest* request = TakeReadRequest(engine)) {
        engine->inProgress++;
        LeaveCriticalSection(&engine->listLock);
        CompleteReadRequest(request);
        EnterCriticalSection(&engine->listLock);
        PutCompletedRequest(engine, request);
        if (--engine->inProgress == 0 && engine->flushWaiting)
            SetEvent(engine->allDoneEvent.handle);
    }
    LeaveCriticalSection(&engine->listLock);
}

static void AsyncIoThreadLoop(AsyncIoEngine* engine)
{
    HANDLE events[2] = {engine->exitEvent.handle, engine->workEvent.handle};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
        ProcessReadRequests(engine);
}

static DWORD WINAPI AsyncThreadProc(void* parameter)
{
    AsyncIoThreadLoop((AsyncIoEngine*)parameter);
    return 0;
}

HRESULT StartAsyncIoThread(AsyncIoEngine* engine)
{
    if (engine->thread)
        return S_OK;
    ResetEvent(engine->exitEvent.handle);
    DWORD id;
    engine->thread = CreateThread(nullptr, 0, AsyncThreadProc, engine, 0, &id);
    if (engine->thread)
        return S_OK;
    // No worker means no read will ever complete: a failure even when the
    // system gave no reason.
    DWORD error = GetLastError();
    return error == 0 ? E_FAIL : (HRESULT)(0x80070000u | (error & 0xFFFF));
}

HRESULT StopAsyncIoThread(AsyncIoEngine* engine)
{
    SetEvent(engine->exitEvent.handle);
    if (engine->thread) {
        WaitForSingleObject(engine->thread, INFINITE);
        CloseHandle(engine->thread);
        engine->thread = nullptr;
    }
    return S_OK;
}

HRESULT QueueReadRequest(AsyncIoEngine* engine, LONGLONG position, LONG length, BOOL aligned,
    BYTE* buffer, IMediaSample* context, DWORD_PTR user)
{
    HRESULT hr = CheckReadRange(length, buffer);
    if (FAILED(hr))
        return hr;
    if (aligned && !IsAligned(engine, position, length, buffer))
        return VFW_E_BADALIGN;
    AsyncReadRequest* request = (AsyncReadRequest*)AllocTracked(sizeof(AsyncReadRequest), "", 0);
    if (!request)
        return E_OUTOFMEMORY;
    InitReadRequest(request, engine, engine->stream, position, length, aligned, buffer, context, user);

    EnterCriticalSection(&engine->listLock);
    if (engine->flushing) {
        hr = VFW_E_WRONG_STATE;
    } else if (ListPosition node = ListAddTail(&engine->requests, request)) {
        SetEvent(engine->workEvent.handle);
        hr = StartAsyncIoThread(engine);
        // No worker will take it: the list must not keep a request that is freed.
        if (FAILED(hr)) {
            ListRemove(&engine->requests, node);
            if (engine->requests.count == 0)
                ResetEvent(engine->workEvent.handle);
        }
    } else {
        hr = E_OUTOFMEMORY;
    }
    LeaveCriticalSection(&engine->listLock);
    if (FAILED(hr))
        FreeTracked(request);
    return hr;
}

HRESULT WaitForReadRequest(AsyncIoEngine* engine, DWORD timeout, IMediaSample** context,
    DWORD_PTR* user, LONG* length)
{
    if (!context || !user || !length)
        return E_POINTER;
    *context = nullptr;
    if (WaitForSingleObject(engine->doneEvent.handle, timeout) != WAIT_OBJECT_0)
        return VFW_E_TIMEOUT;
    AsyncReadRequest* request;
    while (!(request = TakeCompletedRequest(engine))) {
        EnterCriticalSection(&engine->listLock);
        bool flushed = engine->flushing && !engine->flushWaiting;
        LeaveCriticalSection(&engine->listLock);
        if (flushed)
            return VFW_E_WRONG_STATE;
        if (WaitForSingleObject(engine->doneEvent.handle, timeout) != WAIT_OBJECT_0)
            return VFW_E_TIMEOUT;
    }
    HRESULT hr = request->result;
    // A short read is success only when it ends at the end of the stream.
    if (hr == S_FALSE) {
        LONGLONG total = engine->stream->StreamSize(nullptr);
        hr = request->position + request->length == total ? S_OK : E_FAIL;
    }
    *length = request->length;
    *context = request->context;
    *user = request->user;
    FreeTracked(request);
    return hr;
}

HRESULT ReadAlignedNow(AsyncIoEngine* engine, LONGLONG position, LONG length, BYTE* buffer,
    LONG* bytesRead, IMediaSample* context)
{
    if (!bytesRead)
        return E_POINTER;
    HRESULT hr = CheckReadRange(length, buffer);
    if (FAILED(hr))
        return hr;
    if (!IsAligned(engine, position, length, buffer))
        return VFW_E_BADALIGN;
    AsyncReadRequest request;
    InitReadRequest(&request, engine, engine->stream, position, length, TRUE, buffer, context, 0);
    hr = CompleteReadRequest(&request);
    *bytesRead = request.length;
    return hr;
}

HRESULT ReadNow(AsyncIoEngine* engine, LONGLONG position, LONG length, BYTE* buffer)
{
    HRESULT hr = CheckReadRange(length, buffer);
    if (FAILED(hr))
        return hr;
    if (IsAligned(engine, position, length, buffer)) {
        LONG got;
        return ReadAlignedNow(engine, position, length, buffer, &got, nullptr);
    }
    AsyncReadRequest request;
    InitReadRequest(&request, engine, engine->stream, position, length, FALSE, buffer, nullptr, 0);
    return CompleteReadRequest(&request);
}

HRESULT GetStreamLength(AsyncIoEngine* engine, LONGLONG* total, LONGLONG* available)
{
    if (!total)
        return E_POINTER;
    *total = engine->stream->StreamSize(available);
    return S_OK;
}

HRESULT GetStreamAlignment(AsyncIoEngine* engine, LONG* alignment)
{
    if (!alignment)
        return E_POINTER;
    *alignment = engine->stream->StreamAlignment();
    return S_OK;
}

HRESULT FlushReadRequests(AsyncIoEngine* engine)
{
    EnterCriticalSection(&engine->listLock);
    engine->flushing = TRUE;
    while (AsyncReadRequest* request = TakeReadRequest(engine))
        PutCompletedRequest(engine, request);
    if (engine->inProgress > 0) {
        engine->flushWaiting = TRUE;
        do {
            LeaveCriticalSection(&engine->listLock);
            WaitForSingleObject(engine->allDoneEvent.handle, INFINITE);
            EnterCriticalSection(&engine->listLock);
        } while (engine->inProgress > 0);
        engine->flushWaiting = FALSE;
    }
    SetEvent(engine->doneEvent.handle);
    LeaveCriticalSection(&engine->listLock);
    return S_OK;
}

HRESULT EndReadFlush(AsyncIoEngine* engine)
{
    EnterCriticalSection(&engine->listLock);
    engine->flushing = FALSE;
    if (engine->done.count > 0)
        SetEvent(engine->doneEvent.handle);
    else
        ResetEvent(engine->doneEvent.handle);
    LeaveCriticalSection(&engine->listLock);
    return S_OK;
}
