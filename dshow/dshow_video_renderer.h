// VideoRendererFilter: the renderer layer for video. Per sample it decides
// to draw at once, wait for the clock or drop; it tells the upstream filter
// how well it keeps up (quality messages), sleeps after each draw when
// quality messages sent to it ask so, and keeps the frame statistics that
// IQualProp reports.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <amvideo.h>

#include "dshow/dshow_base_renderer.h"

class VideoRendererFilter : public RendererFilter, public IQualProp, public IQualityControl {
public:
    // result is not read or written.
    VideoRendererFilter(REFCLSID classId, const char* objectName, IUnknown* outer, HRESULT* result);
    ~VideoRendererFilter() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    void BeforeDrawSample(IMediaSample* sample) override;
    void AfterDrawSample(IMediaSample* sample) override;
    HRESULT OnStreamingStarted() override;
    HRESULT OnStreamingStopped() override;
    BOOL ScheduleRenderSample(IMediaSample* sample) override;
    HRESULT DecideDrawTime(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop) override;

    virtual void RecordFrameStatistics(LONG lateness, LONG interval);
    virtual void RecordDirectDraw();
    virtual void ResetFrameStatistics();
    virtual HRESULT SendQualityMessage(LONGLONG lateness, REFERENCE_TIME timeStamp);

    DSHOW_FORWARD_UNKNOWN

    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName) override;

    // IQualProp
    HRESULT STDMETHODCALLTYPE get_FramesDroppedInRenderer(int* out) override;
    HRESULT STDMETHODCALLTYPE get_FramesDrawn(int* out) override;
    HRESULT STDMETHODCALLTYPE get_AvgFrameRate(int* out) override;
    HRESULT STDMETHODCALLTYPE get_Jitter(int* out) override;
    HRESULT STDMETHODCALLTYPE get_AvgSyncOffset(int* out) override;
    HRESULT STDMETHODCALLTYPE get_DevSyncOffset(int* out) override;
    // IQualityControl
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

    void ThrottleSleep();
    void StoreFrameTiming(LONG lateness, LONG interval);
    int FrameStatDeviation(LONG count, LONGLONG sumOfSquares, LONGLONG sum);

    LONG dropState;
    BOOL upstreamAcceptsQuality;
    LONG throttle;
    LONG averageDrawTime;
    LONG lastDrawDuration;
    DWORD renderStart;
    LONG earlyLead;
    LONG averageEarliness;
    LONG averageFrameInterval;
    LONG frameBaseline;
    REFERENCE_TIME lastSampleStart;
    LONG framesDropped;
    LONG framesDrawn;
    LONGLONG syncOffsetSum;
    LONGLONG syncOffsetSquares;
    REFERENCE_TIME lastDrawTime;
    LONGLONG intervalSquares;
    LONGLONG intervalSum;
    LONG pendingLateness;
    LONG pendingInterval;
    DWORD streamingTime;
};

// (a * b + c) / d, exact through a 128-bit product, truncated toward zero;
// saturates when the quotient does not fit (and for d = 0).
LONGLONG MulDiv64(LONGLONG a, LONGLONG b, LONGLONG d, LONGLONG c);
// Three Newton steps from the power of two above; 32768 above 2^30.
LONG IntegerSquareRoot(LONG x);
// The throttle (100-ns units) a quality message's proportion asks for.
LONG ThrottleForProportion(LONG proportion);
