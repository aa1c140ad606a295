// RendererFilter: the base of the library's sink filters. One input pin, at
// most one queued sample, which waits for its start time on the graph's
// reference clock and is then handed to the subclass's drawing operation;
// the end of the stream is reported to the graph once the stop time of the
// last sample has passed. A renderer paused without a sample has not finished
// its transition until a first sample arrives.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_filter.h"
#include "dshow/dshow_pos_passthru.h"
#include "dshow/dshow_transport_pins.h"

class RendererInputPin;

// Longest wait of a state query or of a stop for the streaming thread, so
// that a filter upstream that never delivers cannot hang the caller.
const DWORD kRendererLongestWait = 10000;
// An end of stream due sooner than this is delivered at once.
const LONG kEndOfStreamNowMs = 50;

class RendererFilter : public FilterObject {
public:
    // result is not read or written.
    RendererFilter(REFCLSID classId, const char* objectName, IUnknown* outer, HRESULT* result);
    ~RendererFilter() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    int CountPins() override { return 1; }
    // Makes the input pin "In" on first use; null for any other index or when
    // it cannot be made. Not AddRef-ed.
    PinObject* PinAtIndex(int index) override;

    virtual HRESULT QueryPositionInterface(REFIID iid, void** out);
    // 1 lets render-time waits run; anything else ends them.
    virtual HRESULT SetAbortSignal(int flag);
    virtual HRESULT WaitForDrawTime();
    virtual HRESULT FinishStateChange(FILTER_STATE oldState);
    virtual void OnFirstPausedSample(IMediaSample* sample);
    virtual void BeforeDrawSample(IMediaSample* sample);
    virtual void AfterDrawSample(IMediaSample* sample);
    virtual HRESULT OnStreamingStarted();
    virtual HRESULT OnStreamingStopped();
    virtual void BeforeDrawWait();
    virtual void AfterDrawWait();
    virtual void OnReceiveUnblock();
    // false drops the sample.
    virtual BOOL ScheduleRenderSample(IMediaSample* sample);
    virtual HRESULT ReadSampleTimes(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop);
    // S_OK draws at once, S_FALSE waits for the clock, a failure drops.
    virtual HRESULT DecideDrawTime(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop);
    virtual HRESULT ScheduleEndOfStream();
    virtual HRESULT ClearRendererEndOfStreamState();
    virtual HRESULT OnRendererEndOfStream();
    // 1 when no advise was pending, 0 when one was cancelled.
    virtual int CancelRenderAdvise();
    virtual HRESULT ReleaseQueuedSample();
    virtual HRESULT OnRendererPinActive();
    virtual HRESULT OnRendererPinInactive();
    virtual HRESULT BeginRendererStreaming();
    virtual HRESULT EndRendererStreaming();
    virtual HRESULT BeginRendererFlush();
    virtual HRESULT EndRendererFlush();
    virtual HRESULT OnRendererDisconnect();
    virtual HRESULT ApplyRendererMediaType(const AM_MEDIA_TYPE* type);
    virtual HRESULT OnRendererConnected(IPin* peer);
    virtual HRESULT QueueReceivedSample(IMediaSample* sample);
    virtual HRESULT ReceiveRenderSample(IMediaSample* sample);
    virtual int HasQueuedSample();
    // AddRef-ed, or null.
    virtual IMediaSample* PeekQueuedSample();
    virtual HRESULT DrawQueuedSample(IMediaSample* sample);
    virtual HRESULT DrawSampleData(IMediaSample* sample) = 0;
    virtual HRESULT CheckRendererMediaType(const AM_MEDIA_TYPE* type) = 0;

    // IMediaFilter / IBaseFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* out) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override;

    HRESULT SignalRendererEndOfStream();
    // Kills a pending end-of-stream timer and waits for a callback already
    // running; never called with the renderer lock held, which the callback
    // takes.
    void KillEndOfStreamTimer();
    // Waits (bounded) until a Receive has left its render-time wait.
    void WaitForReceiveToFinish();

    RendererPosPassThru* positionPassThru; // owned; null until asked for
    SyncEvent renderEvent;                 // auto-reset
    SyncEvent abortEvent;                  // manual-reset
    SyncEvent stateCompleteEvent;          // manual-reset, signalled at construction
    BOOL streaming;
    DWORD_PTR adviseCookie;
    IMediaSample* queuedSample; // counted
    BOOL endOfStreamReceived;
    BOOL endOfStreamDelivered;
    RendererInputPin* inputPin; // owned
    CRITICAL_SECTION interfaceLock;
    CRITICAL_SECTION rendererLock;
    IQualityControl* qualitySink; // counted
    BOOL inReceive;
    REFERENCE_TIME lastStopTime;
    UINT endOfStreamTimer;
    CRITICAL_SECTION objectLock;
};

class RendererInputPin : public InputPinObject {
public:
    // result is not written.
    RendererInputPin(RendererFilter* renderer, HRESULT* result, const WCHAR* pinName);

    HRESULT OnPinActivate() override;
    HRESULT OnPinDeactivate() override;
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
    HRESULT ReleaseConnection() override;
    HRESULT FinishConnection(IPin* peer) override;

    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* out) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;

    RendererFilter* renderer; // not counted
};

// Waits for handle (and second when given) while letting sent messages, and
// with a window its posted messages numbered message (0: all), through.
// Returns the last wait result, WAIT_TIMEOUT on time-out.
DWORD WaitWithMessages(HANDLE handle, DWORD timeout, HWND window, UINT message, HANDLE second);
