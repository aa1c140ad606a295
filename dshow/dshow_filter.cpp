#include "dshow/dshow_filter.h"

#include <uuids.h>

#include "dshow/dshow_enum.h"
#include "dshow/dshow_lock.h"
#include "dshow/dshow_pin.h"
#include "runtime/memory.h"

namespace {

const HRESULT kFileNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

} // namespace

FilterObject::FilterObject(const char* objectName, IUnknown* outer, CRITICAL_SECTION* lock, REFCLSID classId)
    : MediaObject(objectName, outer), state(State_Stopped), clock(nullptr), startTime(0), classId(classId),
      lock(lock), name(nullptr), graph(nullptr), eventSink(nullptr), pinSetVersion(1)
{
}

FilterObject::FilterObject(const char* objectName, IUnknown* outer, CRITICAL_SECTION* lock, REFCLSID classId,
                           HRESULT*)
    : FilterObject(objectName, outer, lock, classId)
{
}

FilterObject::~FilterObject()
{
    FreeTracked(name);
    if (clock)
        clock->Release();
}

HRESULT STDMETHODCALLTYPE FilterObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IBaseFilter) || IsEqualGUID(iid, IID_IMediaFilter) || IsEqualGUID(iid, IID_IPersist))
        return HandOutInterface(BaseFilterInterface(), out);
    if (IsEqualGUID(iid, IID_IAMovieSetup))
        return HandOutInterface(static_cast<IAMovieSetup*>(this), out);
    return MediaObject::InnerQueryInterface(iid, out);
}

HRESULT FilterObject::GetFilterStreamTime(REFERENCE_TIME* out)
{
    if (!clock)
        return VFW_E_NO_CLOCK;
    HRESULT result = clock->GetTime(out);
    if (FAILED(result))
        return result;
    *out -= startTime;
    return S_OK;
}

LONG FilterObject::GetPinSetVersion()
{
    return pinSetVersion;
}

const FilterSetupRecord* FilterObject::GetFilterSetupRecord()
{
    return nullptr;
}

HRESULT STDMETHODCALLTYPE FilterObject::GetClassID(CLSID* out)
{
    if (!out)
        return E_POINTER;
    *out = classId;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::Stop()
{
    CriticalSectionHold hold(lock);
    HRESULT kept = S_OK;
    if (state != State_Stopped) {
        int count = CountPins();
        for (int index = 0; index < count; index++) {
            PinObject* pin = PinAtIndex(index);
            if (pin && pin->IsConnected()) {
                HRESULT result = pin->OnPinDeactivate();
                if (FAILED(result) && SUCCEEDED(kept))
                    kept = result;
            }
        }
    }
    state = State_Stopped;
    return kept;
}

HRESULT STDMETHODCALLTYPE FilterObject::Pause()
{
    CriticalSectionHold hold(lock);
    if (state == State_Stopped) {
        int count = CountPins();
        for (int index = 0; index < count; index++) {
            PinObject* pin = PinAtIndex(index);
            if (pin && pin->IsConnected()) {
                HRESULT result = pin->OnPinActivate();
                if (FAILED(result))
                    return result;
            }
        }
    }
    state = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::Run(REFERENCE_TIME start)
{
    CriticalSectionHold hold(lock);
    startTime = start;
    if (state == State_Stopped) {
        // Through the interface, so that a subclass's Pause runs.
        HRESULT result = BaseFilterInterface()->Pause();
        if (FAILED(result))
            return result;
    }
    if (state != State_Running) {
        int count = CountPins();
        for (int index = 0; index < count; index++) {
            PinObject* pin = PinAtIndex(index);
            if (pin && pin->IsConnected()) {
                HRESULT result = pin->OnPinRun(start);
                if (FAILED(result))
                    return result;
            }
        }
    }
    state = State_Running;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::GetState(DWORD, FILTER_STATE* out)
{
    if (!out)
        return E_POINTER;
    *out = state;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::SetSyncSource(IReferenceClock* newClock)
{
    CriticalSectionHold hold(lock);
    if (newClock)
        newClock->AddRef();
    if (clock)
        clock->Release();
    clock = newClock;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::GetSyncSource(IReferenceClock** out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    if (clock)
        clock->AddRef();
    *out = clock;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::EnumPins(IEnumPins** out)
{
    if (!out)
        return E_POINTER;
    *out = CreatePinEnumerator(this, nullptr);
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE FilterObject::FindPin(LPCWSTR id, IPin** out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(lock);
    int count = CountPins();
    for (int index = 0; index < count; index++) {
        PinObject* pin = PinAtIndex(index);
        if (pin && id && pin->name && lstrcmpW(pin->name, id) == 0)
            return HandOutInterface(pin->PinInterface(), reinterpret_cast<void**>(out));
    }
    *out = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE FilterObject::QueryFilterInfo(FILTER_INFO* out)
{
    if (!out)
        return E_POINTER;
    if (name)
        lstrcpynW(out->achName, name, MAX_FILTER_NAME);
    else
        out->achName[0] = 0;
    out->pGraph = graph;
    if (graph)
        graph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName)
{
    CriticalSectionHold hold(lock);
    graph = newGraph;
    if (newGraph) {
        // The graph holds the filter, so neither the graph nor its sink is
        // counted here.
        IMediaEventSink* sink = nullptr;
        if (SUCCEEDED(newGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
            eventSink = sink;
            sink->Release();
        }
    } else {
        eventSink = nullptr;
    }
    FreeTracked(name);
    name = newName ? CopyWideStringTracked(newName) : nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::QueryVendorInfo(LPWSTR*)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FilterObject::Register()
{
    const FilterSetupRecord* record = GetFilterSetupRecord();
    if (!record)
        return S_FALSE;
    HRESULT initialized = CoInitialize(nullptr);
    IFilterMapper* mapper = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                   reinterpret_cast<void**>(&mapper)))) {
        WriteFilterRegistration(record, mapper, TRUE);
        mapper->Release();
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(initialized))
        CoUninitialize();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FilterObject::Unregister()
{
    const FilterSetupRecord* record = GetFilterSetupRecord();
    if (!record)
        return S_FALSE;
    HRESULT initialized = CoInitialize(nullptr);
    IFilterMapper* mapper = nullptr;
    HRESULT result = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                      reinterpret_cast<void**>(&mapper));
    if (SUCCEEDED(result)) {
        result = WriteFilterRegistration(record, mapper, FALSE);
        mapper->Release();
    }
    CoFreeUnusedLibraries();
    if (SUCCEEDED(initialized))
        CoUninitialize();
    return result == kFileNotFound ? S_OK : result;
}

HRESULT FilterObject::NotifyFilterEvent(long code, LONG_PTR parameter1, LONG_PTR parameter2)
{
    IMediaEventSink* sink = eventSink;
    if (!sink)
        return E_NOTIMPL;
    if (code == EC_COMPLETE)
        parameter2 = reinterpret_cast<LONG_PTR>(BaseFilterInterface());
    return sink->Notify(code, parameter1, parameter2);
}

HRESULT FilterObject::RequestPinReconnect(IPin* pin, const AM_MEDIA_TYPE* type)
{
    if (!graph)
        return E_NOINTERFACE;
    IFilterGraph2* graph2 = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_IFilterGraph2, reinterpret_cast<void**>(&graph2))) && graph2) {
        HRESULT result = graph2->ReconnectEx(pin, type);
        graph2->Release();
        return result;
    }
    return graph->Reconnect(pin);
}

HRESULT WriteFilterRegistration(const FilterSetupRecord* record, IFilterMapper* mapper, BOOL registerFlag)
{
    if (!record)
        return S_FALSE;
    CLSID id = *record->classId;
    HRESULT result = mapper->UnregisterFilter(id);
    if (!registerFlag)
        return result == kFileNotFound ? S_OK : result;
    result = mapper->RegisterFilter(id, record->name, record->merit);
    if (result == kFileNotFound)
        return S_OK;
    for (int p = 0; SUCCEEDED(result) && p < record->pinCount; p++) {
        const REGFILTERPINS& pin = record->pins[p];
        CLSID connectsTo = pin.clsConnectsToFilter ? *pin.clsConnectsToFilter : GUID_NULL;
        result = mapper->RegisterPin(id, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                     connectsTo, pin.strConnectsToPin);
        for (UINT t = 0; SUCCEEDED(result) && t < pin.nMediaTypes; t++) {
            const REGPINTYPES& type = pin.lpMediaType[t];
            result = mapper->RegisterPinType(id, pin.strName, *type.clsMajorType, *type.clsMinorType);
        }
    }
    return result == kFileNotFound ? S_OK : result;
}
