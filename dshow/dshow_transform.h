// TransformFilter: a filter with one input pin and one output pin that makes
// one output sample from each input sample. The pins route their connection
// steps, flushes, end of stream and segments to virtual operations of the
// filter; the filter starts and stops the subclass's streaming with its state.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_filter.h"
#include "dshow/dshow_transport_pins.h"

class TransformInputPin;
class TransformOutputPin;

// Pin directions as the filter's pin callbacks see them.
enum { TRANSFORM_PIN_INPUT = 0, TRANSFORM_PIN_OUTPUT = 1 };

class TransformFilter : public FilterObject {
public:
    TransformFilter(const char* objectName, IUnknown* outer, REFCLSID classId);
    ~TransformFilter() override;

    int CountPins() override { return 2; }
    // GetTransformPin: makes both pins on first use.
    PinObject* PinAtIndex(int index) override;
    const FilterSetupRecord* GetFilterSetupRecord() override { return nullptr; }

    // S_OK delivers the output sample, S_FALSE skips it.
    virtual HRESULT TransformSample(IMediaSample* in, IMediaSample* out);
    // S_OK accepts; any other value refuses.
    virtual HRESULT CheckInputMediaType(const AM_MEDIA_TYPE* type);
    virtual HRESULT CheckTypePair(const AM_MEDIA_TYPE* inputType, const AM_MEDIA_TYPE* outputType);
    virtual HRESULT SizeOutputBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties);
    // VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT ProposeOutputType(int position, MediaTypeObject* type);
    virtual HRESULT OnTransformStart();
    virtual HRESULT OnTransformStop();
    // S_FALSE lets the message go upstream.
    virtual HRESULT AdjustQuality(Quality quality);
    virtual HRESULT OnPinTypeSet(int direction, const AM_MEDIA_TYPE* type);
    virtual HRESULT OnPinCheckPeer(int direction, IPin* peer);
    virtual HRESULT OnPinDisconnect(int direction);
    virtual HRESULT OnPinConnected(int direction, IPin* peer);
    virtual HRESULT ProcessInputSample(IMediaSample* sample);
    virtual HRESULT PassEndOfStream();
    virtual HRESULT PassBeginFlush();
    virtual HRESULT PassEndFlush();
    virtual HRESULT PassNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // IMediaFilter / IBaseFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override;

    // The base body of ProcessInputSample.
    HRESULT ProcessTransformSample(IMediaSample* sample);
    // An output buffer carrying the input sample's properties.
    HRESULT PrepareOutputSample(IMediaSample* sample, IMediaSample** out);

    BOOL endOfStreamSent;   // Pause passed an end of stream for an unconnected input
    BOOL skipped;           // the last sample was not delivered
    BOOL qualityChangeSent; // EC_QUALITY_CHANGE sent in this run
    CRITICAL_SECTION filterLock;
    CRITICAL_SECTION receiveLock;
    TransformInputPin* inputPin;   // owned
    TransformOutputPin* outputPin; // owned
};

class TransformInputPin : public InputPinObject {
public:
    // result is not written.
    TransformInputPin(const char* objectName, TransformFilter* filter, HRESULT* result, const WCHAR* pinName);

    HRESULT OnPinActivate() override;
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckPeerPin(IPin* peer) override;
    HRESULT ReleaseConnection() override;
    HRESULT FinishConnection(IPin* peer) override;
    HRESULT CheckReceiveState() override;

    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* out) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    TransformFilter* transform;
};

class TransformOutputPin : public OutputPinObject {
public:
    // result is not written.
    TransformOutputPin(const char* objectName, TransformFilter* filter, HRESULT* result, const WCHAR* pinName);
    ~TransformOutputPin() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckPeerPin(IPin* peer) override;
    HRESULT ReleaseConnection() override;
    HRESULT FinishConnection(IPin* peer) override;
    HRESULT ProposeMediaType(int position, MediaTypeObject* type) override;
    HRESULT SizeAllocatorBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* out) override;
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

    // Aggregates the platform's seeking pass-through over the input pin.
    HRESULT CreateSeekingPassThrough();

    TransformFilter* transform;
    IUnknown* seekingPassThrough; // owned; null until asked for
};
