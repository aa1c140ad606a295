// Input and output pins with sample transport. The input pin implements
// IMemInputPin: it takes or is given the connection's allocator and checks
// every received sample against the filter state, the flush state and type
// changes. The output pin agrees on an allocator with the downstream
// IMemInputPin when the connection completes, commits and decommits it with
// the filter state, and passes samples, end of stream, flushes and segments on.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_pin.h"

class InputPinObject : public PinObject, public IMemInputPin {
public:
    // result is not written.
    InputPinObject(const char* objectName, FilterObject* filter, CRITICAL_SECTION* lock, HRESULT* result,
                   const WCHAR* pinName);
    ~InputPinObject() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    HRESULT ReleaseConnection() override;
    HRESULT OnPinDeactivate() override;
    // VFW_E_WRONG_STATE when stopped, S_FALSE while flushing,
    // VFW_E_RUNTIME_ERROR after a refused type change, else S_OK.
    virtual HRESULT CheckReceiveState();

    DSHOW_FORWARD_UNKNOWN

    // IPin steps of flushing (EndOfStream comes from the pin classes)
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    // IQualityControl
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* newAllocator, WINBOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* out) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    IMemInputPin* MemInputInterface() { return static_cast<IMemInputPin*>(this); }

    IMemAllocator* allocator; // counted
    BYTE readOnly;
    BYTE flushing;
    AM_SAMPLE2_PROPERTIES sampleProperties; // of the sample being received
    // A plain sample's type change comes as a copy: owned here, so that the
    // filter can read it through sampleProperties until the next Receive.
    AM_MEDIA_TYPE* receivedTypeCopy;
};

class OutputPinObject : public PinObject {
public:
    // result is not written.
    OutputPinObject(const char* objectName, FilterObject* filter, CRITICAL_SECTION* lock, HRESULT* result,
                    const WCHAR* pinName);
    ~OutputPinObject() override;

    HRESULT CheckPeerPin(IPin* peer) override;
    HRESULT ReleaseConnection() override;
    HRESULT FinishConnection(IPin* peer) override;
    HRESULT OnPinActivate() override;
    HRESULT OnPinDeactivate() override;

    // Picks and sizes the connection's allocator: the downstream pin's first,
    // else the pin's own.
    virtual HRESULT ChooseAllocator(IMemInputPin* downstream, IMemAllocator** out);
    // Sets the allocator's properties for this connection.
    virtual HRESULT SizeAllocatorBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT TakeOutputBuffer(IMediaSample** out, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                     DWORD flags);
    virtual HRESULT SendSample(IMediaSample* sample);
    virtual HRESULT MakeDefaultAllocator(IMemAllocator** out);
    virtual HRESULT SendEndOfStream();
    virtual HRESULT SendBeginFlush();
    virtual HRESULT SendEndFlush();
    virtual HRESULT SendNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // IPin: an output pin receives no stream.
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    // IQualityControl
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;

    IMemAllocator* allocator;       // counted
    IMemInputPin* downstreamInput;  // counted
};
