// A source filter with one output pin, "Output", that offers the pull model
// (IAsyncReader) over an AsyncStream: the downstream parser asks for byte
// ranges, queued or synchronous, and the filter's read engine performs them.
// The filter proposes exactly one media type, which its creator sets.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_async_io.h"
#include "dshow/dshow_filter.h"
#include "dshow/dshow_pin.h"

class AsyncSourceFilter;

// The filter lock, made before anything that keeps a pointer to it and deleted
// after everything that uses it.
struct FilterLockSection {
    FilterLockSection() { InitializeCriticalSection(&section); }
    ~FilterLockSection() { DeleteCriticalSection(&section); }
    FilterLockSection(const FilterLockSection&) = delete;
    FilterLockSection& operator=(const FilterLockSection&) = delete;
    CRITICAL_SECTION section;
};

class AsyncOutputPin : public IAsyncReader, public PinObject {
public:
    // result is not written.
    AsyncOutputPin(HRESULT* result, AsyncSourceFilter* filter, AsyncIoEngine* engine, CRITICAL_SECTION* lock);

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT CheckPeerPin(IPin* peer) override;
    HRESULT ReleaseConnection() override;
    HRESULT FinishConnection(IPin* peer) override;
    HRESULT ProposeMediaType(int position, MediaTypeObject* type) override;

    DSHOW_FORWARD_UNKNOWN

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    // IQualityControl
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* sender, Quality quality) override;
    // IAsyncReader (BeginFlush and EndFlush serve IPin too)
    HRESULT STDMETHODCALLTYPE RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                               IMemAllocator** actual) override;
    HRESULT STDMETHODCALLTYPE Request(IMediaSample* sample, DWORD_PTR user) override;
    HRESULT STDMETHODCALLTYPE WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) override;
    HRESULT STDMETHODCALLTYPE SyncReadAligned(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
    HRESULT STDMETHODCALLTYPE Length(LONGLONG* total, LONGLONG* available) override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

    IAsyncReader* ReaderInterface() { return static_cast<IAsyncReader*>(this); }

    // The bytes a sample asks for, carried in its times; cut at the end of the
    // stream rounded up to the alignment.
    HRESULT SampleByteRange(IMediaSample* sample, LONGLONG* position, LONG* length);
    // A new allocator of the library's own, AddRef-ed.
    HRESULT CreatePinAllocator(IMemAllocator** out);

    AsyncSourceFilter* owner; // not counted: the filter owns the pin
    AsyncIoEngine* engine;    // the filter's
    BOOL readerRequested;     // the peer asked for IAsyncReader in this attempt
};

class AsyncSourceFilter : public FilterObject {
public:
    // stream is not owned; result is not written.
    AsyncSourceFilter(const char* objectName, IUnknown* outer, AsyncStream* stream, HRESULT* result);
    ~AsyncSourceFilter() override;

    int CountPins() override;
    PinObject* PinAtIndex(int index) override;
    const FilterSetupRecord* GetFilterSetupRecord() override;
    virtual HRESULT ConnectOutputPin(IPin* receivePin, const AM_MEDIA_TYPE* type);

    FilterLockSection filterLock;
    AsyncIoEngine engine;
    AsyncOutputPin outputPin;
    MediaTypeObject outputType; // the one type the pin proposes
};
