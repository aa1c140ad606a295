// FilterObject: the base of every filter of the library's DirectShow classes.
// IBaseFilter and IAMovieSetup over the pins a subclass supplies, the filter
// state and reference clock, joining a graph and passing events to it.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_object.h"

class PinObject;

// Registration data a filter may return from GetFilterSetupRecord.
struct FilterSetupRecord {
    const CLSID* classId;
    const WCHAR* name;
    DWORD merit;
    int pinCount;
    const REGFILTERPINS* pins;
};

class FilterObject : public MediaObject, public IBaseFilter, public IAMovieSetup {
public:
    // lock is the filter lock, owned by the subclass and shared with its pins.
    FilterObject(const char* objectName, IUnknown* outer, CRITICAL_SECTION* lock, REFCLSID classId);
    // Same; result is not written.
    FilterObject(const char* objectName, IUnknown* outer, CRITICAL_SECTION* lock, REFCLSID classId,
                 HRESULT* result);
    ~FilterObject() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    // Clock time minus the last Run's start time.
    virtual HRESULT GetFilterStreamTime(REFERENCE_TIME* out);
    virtual LONG GetPinSetVersion();
    virtual int CountPins() = 0;
    // The pin for 0 <= index < CountPins(), else null; not AddRef-ed.
    virtual PinObject* PinAtIndex(int index) = 0;
    virtual const FilterSetupRecord* GetFilterSetupRecord();

    DSHOW_FORWARD_UNKNOWN

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* out) override;
    // IMediaFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* out) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* newClock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** out) override;
    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** out) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* out) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* out) override;
    // IAMovieSetup
    HRESULT STDMETHODCALLTYPE Register() override;
    HRESULT STDMETHODCALLTYPE Unregister() override;

    // Passes an event to the graph's sink; E_NOTIMPL outside a graph.
    HRESULT NotifyFilterEvent(long code, LONG_PTR parameter1, LONG_PTR parameter2);
    // Asks the graph to reconnect pin (with type when it can take one).
    HRESULT RequestPinReconnect(IPin* pin, const AM_MEDIA_TYPE* type);

    IBaseFilter* BaseFilterInterface() { return static_cast<IBaseFilter*>(this); }
    CRITICAL_SECTION* FilterLock() const { return lock; }

    FILTER_STATE state;
    IReferenceClock* clock;   // counted
    REFERENCE_TIME startTime; // of the last Run
    CLSID classId;
    CRITICAL_SECTION* lock;
    WCHAR* name;              // owned copy, or null
    IFilterGraph* graph;      // not counted: the graph holds the filter
    IMediaEventSink* eventSink; // not counted
    LONG pinSetVersion;
};

// Registers (or, with registerFlag 0, removes) a filter with the mapper.
HRESULT WriteFilterRegistration(const FilterSetupRecord* record, IFilterMapper* mapper, BOOL registerFlag);
