// A small filter of the library's DirectShow classes for the tests: up to four
// pins of the kinds below, each recording what the framework asked of it.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_filter.h"
#include "dshow/dshow_media_type.h"
#include "dshow/dshow_transport_pins.h"

// A complete media type: audio, the given subtype, a format block of
// formatBytes bytes (each byte = fill).
void MakeTestType(AM_MEDIA_TYPE* type, const GUID& subtype, ULONG formatBytes = 0, BYTE fill = 0);

class TestFilter : public FilterObject {
public:
    explicit TestFilter(IUnknown* outer = nullptr);
    ~TestFilter() override;
    int CountPins() override { return pinCount; }
    PinObject* PinAtIndex(int index) override { return index >= 0 && index < pinCount ? pins[index] : nullptr; }
    // The filter owns the pins it is given.
    void AddPin(PinObject* pin) { pins[pinCount++] = pin; }

    CRITICAL_SECTION section;
    PinObject* pins[4];
    int pinCount;
    int* destroyedCount; // raised by the destructor when set
};

// What a test pin answers: a result per type, and the types it proposes.
struct TestTypeRules {
    // Types accepted with S_OK; everything else gets refusal.
    std::vector<GUID> accepted;
    HRESULT refusal = S_FALSE;
    std::vector<GUID> proposed; // subtypes, proposed in order as complete types
};

class TestOutputPin : public OutputPinObject {
public:
    TestOutputPin(TestFilter* filter, const WCHAR* name);
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT ProposeMediaType(int position, MediaTypeObject* type) override;
    HRESULT ReleaseConnection() override;
    HRESULT SizeAllocatorBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
    HRESULT MakeDefaultAllocator(IMemAllocator** out) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;

    TestTypeRules rules;
    std::vector<GUID> tried; // subtypes given to AcceptMediaType, in order
    int releaseConnectionCalls = 0;
    int enumerateCalls = 0;
    ALLOCATOR_PROPERTIES requested = {2, 4096, 1, 0};
    int useOwnAllocator = 0; // MakeDefaultAllocator gives a library allocator
};

class TestInputPin : public InputPinObject {
public:
    TestInputPin(TestFilter* filter, const WCHAR* name);
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT ProposeMediaType(int position, MediaTypeObject* type) override;
    HRESULT FinishConnection(IPin* peer) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    TestTypeRules rules;
    std::vector<GUID> tried;
    int endOfStreamCalls = 0;
    int enumerateCalls = 0;
    HRESULT receiveConnectionFailure = S_OK; // a failure here refuses ReceiveConnection
    std::vector<HRESULT> receiveResults;     // when not empty, Receive answers these in turn
    int receiveCalls = 0;
    bool answerCanBlock = false; // ReceiveCanBlock answers canBlock instead of the base walk
    HRESULT canBlock = S_OK;
    HRESULT getAllocatorFailure = S_OK;
};

// A pin whose state steps give chosen results and are logged as
// "A<n>" (activate), "D<n>" (deactivate) and "R<n>" (run), n its tag.
class StatePin : public PinObject {
public:
    StatePin(TestFilter* filter, int tag, std::vector<int>* log);
    HRESULT OnPinActivate() override;
    HRESULT OnPinDeactivate() override;
    HRESULT OnPinRun(REFERENCE_TIME start) override;
    HRESULT AcceptMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT ReleaseConnection() override { return S_OK; }
    HRESULT FinishConnection(IPin*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter*, Quality) override { return S_OK; }

    int tag;
    std::vector<int>* log; // tag + 100 activate, + 200 deactivate, + 300 run
    HRESULT activateResult = S_OK, deactivateResult = S_OK, runResult = S_OK;
};

// Marks a pin connected (to itself) without a negotiation, for the state
// tests; Unmark undoes it.
void MarkConnected(PinObject* pin);
void UnmarkConnected(PinObject* pin);

// A graph stand-in for JoinFilterGraph: it answers IMediaEventSink and
// records the events and reconnect requests it gets.
class FakeGraph : public IFilterGraph, public IMediaEventSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reconnect(IPin* pin) override
    {
        reconnected = pin;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Notify(LONG code, LONG_PTR parameter1, LONG_PTR parameter2) override
    {
        events.push_back({code, parameter1, parameter2});
        return S_OK;
    }

    struct Event {
        LONG code;
        LONG_PTR parameter1, parameter2;
    };
    std::vector<Event> events;
    IPin* reconnected = nullptr;
    LONG count = 1;
};

// A reference clock whose time the test sets; with `advancing` on it also
// moves with real time from the last SetTime. It records its advises.
class FakeClock : public IReferenceClock {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&count); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&count); }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* out) override;
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME base, REFERENCE_TIME stream, HEVENT event,
                                         DWORD_PTR* cookie) override;
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR cookie) override;

    void SetTime(REFERENCE_TIME time);
    // Signals the event of the last advise, as the clock would at its time.
    void FireAdvise();

    struct Advise {
        REFERENCE_TIME base, stream;
        HEVENT event;
        DWORD_PTR cookie;
    };
    std::vector<Advise> advises;
    std::vector<DWORD_PTR> unadvised;
    REFERENCE_TIME time = 0;
    LARGE_INTEGER setAt = {};
    bool advancing = false;
    volatile LONG count = 1;
};

// Ends the process with a message when a scope outlives its limit, so that a
// hang in the platform or in a teardown fails the test instead of stalling.
struct TestWatchdog {
    TestWatchdog(DWORD limitMs, const char* what);
    ~TestWatchdog();
    HANDLE done;
    HANDLE thread;
    DWORD limit;
    const char* what;
};
