#include "dshow/dshow_base_renderer.h"

#include <mmsystem.h>
#include <uuids.h>

#include "dshow/dshow_lock.h"

namespace {

const WCHAR kInputPinName[] = L"In";

void CALLBACK EndOfStreamTimerCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    RendererFilter* renderer = reinterpret_cast<RendererFilter*>(user);
    CriticalSectionHold hold(&renderer->rendererLock);
    // A timer killed while this call was on its way has a cleared id.
    if (renderer->endOfStreamTimer) {
        renderer->endOfStreamTimer = 0;
        renderer->ScheduleEndOfStream();
    }
}

// Lets a thread that waited with messages blocked see its posted messages
// again: one "AMUnblock" is left in its queue.
void RepostUnblockMessage()
{
    static UINT unblockMessage = 0;
    if (!(HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE))
        return;
    if (!unblockMessage)
        unblockMessage = RegisterWindowMessageA("AMUnblock");
    MSG message;
    if (unblockMessage) {
        while (PeekMessageA(&message, reinterpret_cast<HWND>(-1), unblockMessage, unblockMessage, PM_REMOVE)) {
        }
    }
    PostThreadMessageA(GetCurrentThreadId(), unblockMessage, 0, 0);
}

} // namespace

DWORD WaitWithMessages(HANDLE handle, DWORD timeout, HWND window, UINT message, HANDLE second)
{
    HANDLE handles[2] = {handle, second};
    DWORD count = second ? 2 : 1;
    DWORD result = WaitForMultipleObjects(count, handles, FALSE, 0);
    if (result != WAIT_TIMEOUT)
        return result;

    DWORD wakeMask = QS_SENDMESSAGE | (window ? QS_POSTMESSAGE : 0);
    DWORD remaining = timeout;
    DWORD lastTick = GetTickCount();
    HANDLE thread = GetCurrentThread();
    int oldPriority = GetThreadPriority(thread);
    BOOL raised = FALSE;
    for (int pass = 0;; pass++) {
        DWORD slice = remaining < 10 ? remaining : 10;
        result = MsgWaitForMultipleObjects(count, handles, FALSE, slice, wakeMask);
        if (result < WAIT_OBJECT_0 + count)
            break;
        if (result == WAIT_TIMEOUT && slice == remaining)
            break;
        if (result == WAIT_FAILED)
            break;
        if (window) {
            MSG msg;
            while (PeekMessageA(&msg, window, message, message, PM_REMOVE))
                DispatchMessageA(&msg);
        }
        MSG peeked;
        PeekMessageA(&peeked, nullptr, 0, 0, PM_NOREMOVE);
        if (timeout != 0 && timeout != INFINITE) {
            DWORD now = GetTickCount();
            DWORD spent = now - lastTick;
            lastTick = now;
            remaining = spent >= remaining ? 0 : remaining - spent;
        }
        if (pass == 0 && static_cast<unsigned>(oldPriority) < 2) {
            SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
            raised = TRUE;
        }
        result = WaitForMultipleObjects(count, handles, FALSE, 0);
        if (result != WAIT_TIMEOUT)
            break;
    }
    if (raised)
        SetThreadPriority(thread, oldPriority);
    RepostUnblockMessage();
    return result;
}

// ---------------------------------------------------------------------------
// Renderer filter

RendererFilter::RendererFilter(REFCLSID classId, const char* objectName, IUnknown* outer, HRESULT*)
    : FilterObject(objectName, outer, &interfaceLock, classId), positionPassThru(nullptr), renderEvent(FALSE),
      abortEvent(TRUE), stateCompleteEvent(TRUE), streaming(FALSE), adviseCookie(0), queuedSample(nullptr),
      endOfStreamReceived(FALSE), endOfStreamDelivered(FALSE), inputPin(nullptr), qualitySink(nullptr),
      inReceive(FALSE), lastStopTime(0), endOfStreamTimer(0)
{
    InitializeCriticalSection(&interfaceLock);
    InitializeCriticalSection(&rendererLock);
    InitializeCriticalSection(&objectLock);
    if (stateCompleteEvent.handle)
        SetEvent(stateCompleteEvent.handle);
}

RendererFilter::~RendererFilter()
{
    // Before anything goes: a timer callback may be on its way.
    KillEndOfStreamTimer();
    EndRendererStreaming();
    ReleaseQueuedSample();
    delete positionPassThru;
    delete inputPin;
    if (qualitySink)
        qualitySink->Release();
    DeleteCriticalSection(&objectLock);
    DeleteCriticalSection(&rendererLock);
    DeleteCriticalSection(&interfaceLock);
}

HRESULT STDMETHODCALLTYPE RendererFilter::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IMediaPosition) || IsEqualGUID(iid, IID_IMediaSeeking))
        return QueryPositionInterface(iid, out);
    return FilterObject::InnerQueryInterface(iid, out);
}

PinObject* RendererFilter::PinAtIndex(int index)
{
    CriticalSectionHold hold(&objectLock);
    if (index != 0)
        return nullptr;
    if (!inputPin) {
        HRESULT result = S_OK;
        RendererInputPin* pin = new RendererInputPin(this, &result, kInputPinName);
        if (!pin)
            return nullptr;
        if (FAILED(result)) {
            delete pin;
            return nullptr;
        }
        inputPin = pin;
    }
    return inputPin;
}

HRESULT RendererFilter::QueryPositionInterface(REFIID iid, void** out)
{
    CriticalSectionHold hold(&objectLock);
    if (!positionPassThru) {
        HRESULT result = S_OK;
        PinObject* pin = PinAtIndex(0);
        RendererPosPassThru* passThru = new RendererPosPassThru("Renderer D_CPosPassThru", OwnerUnknown(), &result,
                                                                pin ? pin->PinInterface() : nullptr);
        if (!passThru)
            return E_OUTOFMEMORY;
        if (FAILED(result)) {
            delete passThru;
            return E_NOINTERFACE;
        }
        positionPassThru = passThru;
    }
    return positionPassThru->InnerQueryInterface(iid, out);
}

HRESULT RendererFilter::SetAbortSignal(int flag)
{
    if (flag == 1)
        ResetEvent(abortEvent.handle);
    else
        SetEvent(abortEvent.handle);
    return S_OK;
}

HRESULT RendererFilter::WaitForDrawTime()
{
    BeforeDrawWait();
    HANDLE handles[2] = {abortEvent.handle, renderEvent.handle};
    DWORD result;
    do {
        result = WaitForMultipleObjects(2, handles, FALSE, 10000);
    } while (result == WAIT_TIMEOUT);
    AfterDrawWait();
    // A failed wait (no events) counts as aborted, never as time to draw.
    if (result != WAIT_OBJECT_0 + 1)
        return VFW_E_STATE_CHANGED;
    adviseCookie = 0;
    return S_OK;
}

HRESULT RendererFilter::FinishStateChange(FILTER_STATE oldState)
{
    if (!inputPin || !inputPin->IsConnected() || endOfStreamReceived) {
        SetEvent(stateCompleteEvent.handle);
        return S_OK;
    }
    if (HasQueuedSample() == 1 && oldState != State_Stopped) {
        SetEvent(stateCompleteEvent.handle);
        return S_OK;
    }
    ResetEvent(stateCompleteEvent.handle);
    return S_FALSE;
}

void RendererFilter::OnFirstPausedSample(IMediaSample*) {}
void RendererFilter::BeforeDrawSample(IMediaSample*) {}
void RendererFilter::AfterDrawSample(IMediaSample*) {}
HRESULT RendererFilter::OnStreamingStarted() { return S_OK; }
HRESULT RendererFilter::OnStreamingStopped() { return S_OK; }
void RendererFilter::BeforeDrawWait() {}
void RendererFilter::AfterDrawWait() {}
void RendererFilter::OnReceiveUnblock() {}

BOOL RendererFilter::ScheduleRenderSample(IMediaSample* sample)
{
    if (!sample)
        return FALSE;
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT result = ReadSampleTimes(sample, &start, &stop);
    if (FAILED(result))
        return FALSE;
    if (result == S_OK) {
        SetEvent(renderEvent.handle);
        return TRUE;
    }
    if (!clock)
        return FALSE;
    DWORD_PTR cookie = 0;
    result = clock->AdviseTime(startTime, start, reinterpret_cast<HEVENT>(renderEvent.handle), &cookie);
    if (FAILED(result))
        return FALSE;
    adviseCookie = cookie;
    return TRUE;
}

HRESULT RendererFilter::ReadSampleTimes(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    if (FAILED(sample->GetTime(start, stop)))
        return S_OK;
    if (*stop < *start)
        return VFW_E_START_TIME_AFTER_END;
    if (!clock)
        return S_OK;
    return DecideDrawTime(sample, start, stop);
}

HRESULT RendererFilter::DecideDrawTime(IMediaSample*, REFERENCE_TIME*, REFERENCE_TIME*)
{
    return S_FALSE;
}

HRESULT RendererFilter::ScheduleEndOfStream()
{
    CriticalSectionHold hold(&rendererLock);
    if (!endOfStreamReceived || endOfStreamDelivered || endOfStreamTimer)
        return S_OK;
    if (!clock)
        return SignalRendererEndOfStream();
    REFERENCE_TIME due = lastStopTime + startTime;
    REFERENCE_TIME now = 0;
    clock->GetTime(&now);
    LONG remaining = static_cast<LONG>((due - now) / 10000);
    if (remaining < kEndOfStreamNowMs)
        return SignalRendererEndOfStream();
    endOfStreamTimer = timeSetEvent(static_cast<UINT>(remaining), 10, EndOfStreamTimerCallback,
                                    reinterpret_cast<DWORD_PTR>(this), TIME_ONESHOT | TIME_KILL_SYNCHRONOUS);
    if (!endOfStreamTimer)
        return SignalRendererEndOfStream();
    return S_OK;
}

HRESULT RendererFilter::ClearRendererEndOfStreamState()
{
    KillEndOfStreamTimer();
    CriticalSectionHold hold(&rendererLock);
    lastStopTime = 0;
    endOfStreamReceived = FALSE;
    endOfStreamDelivered = FALSE;
    return S_OK;
}

HRESULT RendererFilter::OnRendererEndOfStream()
{
    if (state == State_Stopped)
        return S_OK;
    endOfStreamReceived = TRUE;
    if (HasQueuedSample())
        return S_OK;
    SetEvent(stateCompleteEvent.handle);
    if (streaming)
        ScheduleEndOfStream();
    return S_OK;
}

int RendererFilter::CancelRenderAdvise()
{
    int none = 1;
    if (adviseCookie) {
        if (clock)
            clock->Unadvise(adviseCookie);
        adviseCookie = 0;
        none = 0;
    }
    ResetEvent(renderEvent.handle);
    return none;
}

HRESULT RendererFilter::ReleaseQueuedSample()
{
    CriticalSectionHold hold(&rendererLock);
    if (queuedSample) {
        queuedSample->Release();
        queuedSample = nullptr;
    }
    return S_OK;
}

HRESULT RendererFilter::OnRendererPinActive()
{
    return S_OK;
}

HRESULT RendererFilter::OnRendererPinInactive()
{
    if (positionPassThru)
        positionPassThru->ClearRenderedSampleTimes();
    ReleaseQueuedSample();
    return S_OK;
}

HRESULT RendererFilter::BeginRendererStreaming()
{
    CriticalSectionHold hold(&rendererLock);
    if (streaming)
        return S_OK;
    streaming = TRUE;
    timeBeginPeriod(1);
    OnStreamingStarted();
    if (!queuedSample)
        return ScheduleEndOfStream();
    if (!ScheduleRenderSample(queuedSample))
        SetEvent(renderEvent.handle);
    return S_OK;
}

HRESULT RendererFilter::EndRendererStreaming()
{
    CriticalSectionHold hold(&rendererLock);
    endOfStreamDelivered = FALSE;
    if (streaming) {
        streaming = FALSE;
        OnStreamingStopped();
        timeEndPeriod(1);
    }
    return S_OK;
}

HRESULT RendererFilter::BeginRendererFlush()
{
    if (state == State_Paused)
        ResetEvent(stateCompleteEvent.handle);
    SetAbortSignal(0);
    CancelRenderAdvise();
    ReleaseQueuedSample();
    WaitForReceiveToFinish();
    return S_OK;
}

HRESULT RendererFilter::EndRendererFlush()
{
    if (positionPassThru)
        positionPassThru->ClearRenderedSampleTimes();
    SetAbortSignal(1);
    return S_OK;
}

HRESULT RendererFilter::OnRendererDisconnect()
{
    if (qualitySink) {
        qualitySink->Release();
        qualitySink = nullptr;
    }
    if (!inputPin || !inputPin->IsConnected())
        return S_FALSE;
    if (state != State_Stopped && !inputPin->connectWhileActive)
        return VFW_E_NOT_STOPPED;
    ClearRendererEndOfStreamState();
    ReleaseQueuedSample();
    if (state == State_Running)
        EndRendererStreaming();
    return S_OK;
}

HRESULT RendererFilter::ApplyRendererMediaType(const AM_MEDIA_TYPE*)
{
    return S_OK;
}

HRESULT RendererFilter::OnRendererConnected(IPin*)
{
    if (state == State_Running) {
        HRESULT result = BeginRendererStreaming();
        if (FAILED(result))
            return result;
    }
    return S_OK;
}

HRESULT RendererFilter::QueueReceivedSample(IMediaSample* sample)
{
    CriticalSectionHold hold(&interfaceLock);
    inReceive = TRUE;
    RendererInputPin* pin = inputPin;
    if (!pin || pin->InputPinObject::Receive(sample) != S_OK) {
        inReceive = FALSE;
        return E_FAIL;
    }
    const AM_SAMPLE2_PROPERTIES& properties = pin->sampleProperties;
    if ((properties.dwSampleFlags & AM_SAMPLE_TYPECHANGED) && properties.pMediaType) {
        HRESULT result = pin->StoreConnectionType(properties.pMediaType);
        if (FAILED(result)) {
            inReceive = FALSE;
            return result;
        }
    }
    CriticalSectionHold render(&rendererLock);
    if (queuedSample || endOfStreamReceived) {
        SetEvent(stateCompleteEvent.handle);
        inReceive = FALSE;
        return E_UNEXPECTED;
    }
    if (positionPassThru)
        positionPassThru->RecordRenderedSampleTimes(sample);
    if (streaming && !ScheduleRenderSample(sample)) {
        inReceive = FALSE;
        return VFW_E_SAMPLE_REJECTED;
    }
    lastStopTime = properties.tStop;
    queuedSample = sample;
    sample->AddRef();
    return S_OK;
}

HRESULT RendererFilter::ReceiveRenderSample(IMediaSample* sample)
{
    HRESULT result = QueueReceivedSample(sample);
    if (FAILED(result))
        return result == VFW_E_SAMPLE_REJECTED ? S_OK : result;

    if (state == State_Paused) {
        OnReceiveUnblock();
        inReceive = FALSE;
        {
            CriticalSectionHold hold(&interfaceLock);
            if (state == State_Stopped)
                return S_OK;
            inReceive = TRUE;
            CriticalSectionHold render(&rendererLock);
            OnFirstPausedSample(sample);
        }
        SetEvent(stateCompleteEvent.handle);
    }

    if (FAILED(WaitForDrawTime())) {
        inReceive = FALSE;
        return S_OK;
    }

    OnReceiveUnblock();
    inReceive = FALSE;
    CriticalSectionHold hold(&interfaceLock);
    if (state == State_Stopped)
        return S_OK;
    CriticalSectionHold render(&rendererLock);
    DrawQueuedSample(queuedSample);
    ReleaseQueuedSample();
    ScheduleEndOfStream();
    CancelRenderAdvise();
    return S_OK;
}

int RendererFilter::HasQueuedSample()
{
    CriticalSectionHold hold(&rendererLock);
    return queuedSample ? 1 : 0;
}

IMediaSample* RendererFilter::PeekQueuedSample()
{
    CriticalSectionHold hold(&rendererLock);
    if (queuedSample)
        queuedSample->AddRef();
    return queuedSample;
}

HRESULT RendererFilter::DrawQueuedSample(IMediaSample* sample)
{
    if (!sample || !streaming)
        return S_FALSE;
    BeforeDrawSample(sample);
    HRESULT result = DrawSampleData(sample);
    AfterDrawSample(sample);
    // The drawing's own result goes no further: the sample was taken.
    (void)result;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RendererFilter::Stop()
{
    CriticalSectionHold hold(&interfaceLock);
    if (state == State_Stopped)
        return S_OK;
    if (!inputPin || !inputPin->IsConnected()) {
        state = State_Stopped;
        return S_OK;
    }
    FilterObject::Stop();
    if (inputPin->allocator)
        inputPin->allocator->Decommit();
    EndRendererStreaming();
    SetAbortSignal(0);
    ClearRendererEndOfStreamState();
    CancelRenderAdvise();
    SetEvent(stateCompleteEvent.handle);
    WaitForReceiveToFinish();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RendererFilter::Pause()
{
    CriticalSectionHold hold(&interfaceLock);
    FILTER_STATE oldState = state;
    if (oldState == State_Paused)
        return FinishStateChange(State_Paused);
    if (!inputPin || !inputPin->IsConnected()) {
        state = State_Paused;
        return FinishStateChange(State_Paused);
    }
    HRESULT result = FilterObject::Pause();
    if (FAILED(result))
        return result;
    EndRendererStreaming();
    SetAbortSignal(1);
    CancelRenderAdvise();
    KillEndOfStreamTimer();
    if (inputPin->allocator)
        inputPin->allocator->Commit();
    if (oldState == State_Stopped)
        ReleaseQueuedSample();
    return FinishStateChange(oldState);
}

HRESULT STDMETHODCALLTYPE RendererFilter::Run(REFERENCE_TIME start)
{
    CriticalSectionHold hold(&interfaceLock);
    FILTER_STATE oldState = state;
    if (oldState == State_Running)
        return S_OK;
    if (!inputPin || !inputPin->IsConnected()) {
        startTime = start;
        NotifyFilterEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(BaseFilterInterface()));
        state = State_Running;
        return S_OK;
    }
    SetEvent(stateCompleteEvent.handle);
    HRESULT result = FilterObject::Run(start);
    if (FAILED(result))
        return result;
    // The pause that a run from Stopped passes through may have marked the
    // transition incomplete; a running renderer has none.
    SetEvent(stateCompleteEvent.handle);
    SetAbortSignal(1);
    if (inputPin->allocator)
        inputPin->allocator->Commit();
    if (oldState == State_Stopped)
        ReleaseQueuedSample();
    return BeginRendererStreaming();
}

HRESULT STDMETHODCALLTYPE RendererFilter::GetState(DWORD timeout, FILTER_STATE* out)
{
    if (!out)
        return E_POINTER;
    if (timeout > kRendererLongestWait)
        timeout = kRendererLongestWait;
    DWORD result = WaitWithMessages(stateCompleteEvent.handle, timeout, nullptr, 0, nullptr);
    *out = state;
    return result == WAIT_TIMEOUT ? VFW_S_STATE_INTERMEDIATE : S_OK;
}

HRESULT STDMETHODCALLTYPE RendererFilter::FindPin(LPCWSTR id, IPin** out)
{
    if (!out)
        return E_POINTER;
    if (!id || lstrcmpW(id, kInputPinName) != 0) {
        *out = nullptr;
        return VFW_E_NOT_FOUND;
    }
    PinObject* pin = PinAtIndex(0);
    if (!pin) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    return HandOutInterface(pin->PinInterface(), reinterpret_cast<void**>(out));
}

HRESULT RendererFilter::SignalRendererEndOfStream()
{
    CriticalSectionHold hold(&rendererLock);
    if (!streaming)
        return S_OK;
    endOfStreamTimer = 0;
    if (positionPassThru)
        positionPassThru->NoteEndOfStreamPosition();
    endOfStreamDelivered = TRUE;
    return NotifyFilterEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(BaseFilterInterface()));
}

void RendererFilter::KillEndOfStreamTimer()
{
    UINT timer;
    {
        CriticalSectionHold hold(&rendererLock);
        timer = endOfStreamTimer;
        endOfStreamTimer = 0;
    }
    // Made with TIME_KILL_SYNCHRONOUS: this returns only once a callback
    // already running has left, and it finds the id cleared.
    if (timer)
        timeKillEvent(timer);
}

void RendererFilter::WaitForReceiveToFinish()
{
    DWORD begin = GetTickCount();
    while (inReceive && GetTickCount() - begin < kRendererLongestWait) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
    if (HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE)
        PostThreadMessageA(GetCurrentThreadId(), 0, 0, 0);
}

// ---------------------------------------------------------------------------
// Renderer input pin

RendererInputPin::RendererInputPin(RendererFilter* renderer, HRESULT* result, const WCHAR* pinName)
    : InputPinObject("Renderer pin", renderer, &renderer->interfaceLock, result, pinName), renderer(renderer)
{
}

HRESULT RendererInputPin::OnPinActivate()
{
    return renderer->OnRendererPinActive();
}

HRESULT RendererInputPin::OnPinDeactivate()
{
    stoppedAfterError = 0;
    return renderer->OnRendererPinInactive();
}

HRESULT RendererInputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    return renderer->CheckRendererMediaType(type);
}

HRESULT RendererInputPin::StoreConnectionType(const AM_MEDIA_TYPE* type)
{
    HRESULT result = PinObject::StoreConnectionType(type);
    if (FAILED(result))
        return result;
    return renderer->ApplyRendererMediaType(type);
}

HRESULT RendererInputPin::ReleaseConnection()
{
    HRESULT result = renderer->OnRendererDisconnect();
    if (FAILED(result))
        return result;
    return InputPinObject::ReleaseConnection();
}

HRESULT RendererInputPin::FinishConnection(IPin* peer)
{
    HRESULT result = renderer->OnRendererConnected(peer);
    return FAILED(result) ? result : S_OK;
}

HRESULT STDMETHODCALLTYPE RendererInputPin::QueryId(LPWSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(L"In") + 2));
    if (!*out)
        return E_OUTOFMEMORY;
    lstrcpyW(*out, L"In");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RendererInputPin::QueryInternalConnections(IPin**, ULONG*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RendererInputPin::EndOfStream()
{
    CriticalSectionHold hold(&renderer->interfaceLock);
    CriticalSectionHold render(&renderer->rendererLock);
    HRESULT result = CheckReceiveState();
    if (result == S_OK) {
        result = renderer->OnRendererEndOfStream();
        if (SUCCEEDED(result))
            result = S_OK;
    }
    return result;
}

HRESULT STDMETHODCALLTYPE RendererInputPin::BeginFlush()
{
    CriticalSectionHold hold(&renderer->interfaceLock);
    {
        CriticalSectionHold render(&renderer->rendererLock);
        InputPinObject::BeginFlush();
        renderer->BeginRendererFlush();
    }
    // The timer callback takes the renderer lock: its kill waits outside it.
    return renderer->ClearRendererEndOfStreamState();
}

HRESULT STDMETHODCALLTYPE RendererInputPin::EndFlush()
{
    CriticalSectionHold hold(&renderer->interfaceLock);
    CriticalSectionHold render(&renderer->rendererLock);
    HRESULT result = renderer->EndRendererFlush();
    if (SUCCEEDED(result))
        result = InputPinObject::EndFlush();
    return result;
}

HRESULT STDMETHODCALLTYPE RendererInputPin::Receive(IMediaSample* sample)
{
    HRESULT result = renderer->ReceiveRenderSample(sample);
    if (SUCCEEDED(result))
        return result;
    CriticalSectionHold hold(&renderer->interfaceLock);
    if (!FilterIsStopped() && !flushing && !stoppedAfterError) {
        renderer->NotifyFilterEvent(EC_ERRORABORT, result, 0);
        {
            CriticalSectionHold render(&renderer->rendererLock);
            if (renderer->streaming && !renderer->endOfStreamDelivered)
                renderer->SignalRendererEndOfStream();
        }
        stoppedAfterError = 1;
    }
    return result;
}
