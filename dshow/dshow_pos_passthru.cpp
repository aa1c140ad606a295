#include "dshow/dshow_pos_passthru.h"

#include <uuids.h>
#include <vfwmsgs.h>

static HRESULT LastErrorResult()
{
    return (HRESULT)(0x80070000u | GetLastError());
}

HMODULE LoadOleAutomationLibrary()
{
    if (!OleAutomationModule)
        OleAutomationModule = LoadLibraryA("OleAut32.dll");
    return OleAutomationModule;
}

typedef HRESULT(WINAPI* LoadRegTypeLibFunction)(REFGUID, WORD, WORD, LCID, ITypeLib**);
typedef HRESULT(WINAPI* LoadTypeLibFunction)(LPCOLESTR, ITypeLib**);

HRESULT LoadControlTypeLib(ITypeInfo** cache, REFIID iid, UINT index, LCID locale, ITypeInfo** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index != 0)
        return TYPE_E_ELEMENTNOTFOUND;
    if (!*cache) {
        HMODULE module = LoadOleAutomationLibrary();
        if (!module)
            return LastErrorResult();
        LoadRegTypeLibFunction loadRegistered =
            (LoadRegTypeLibFunction)(void*)GetProcAddress(module, "LoadRegTypeLib");
        if (!loadRegistered)
            return LastErrorResult();
        ITypeLib* library = nullptr;
        HRESULT hr = loadRegistered(LIBID_QuartzTypeLib, 1, 0, locale, &library);
        if (FAILED(hr)) {
            LoadTypeLibFunction loadFile = (LoadTypeLibFunction)(void*)GetProcAddress(module, "LoadTypeLib");
            if (!loadFile)
                return LastErrorResult();
            hr = loadFile(L"control.tlb", &library);
            if (FAILED(hr))
                return hr;
        }
        hr = library->GetTypeInfoOfGuid(iid, cache);
        library->Release();
        if (FAILED(hr))
            return hr;
    }
    (*cache)->AddRef();
    *out = *cache;
    return S_OK;
}

MediaPositionDispatch::MediaPositionDispatch(const char* objectName, IUnknown* outer)
    : MediaObject(objectName, outer), typeInfo(nullptr)
{
}

MediaPositionDispatch::~MediaPositionDispatch()
{
    if (typeInfo)
        typeInfo->Release();
}

HRESULT STDMETHODCALLTYPE MediaPositionDispatch::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualIID(iid, IID_IMediaPosition))
        return HandOutInterface(PositionInterface(), out);
    return MediaObject::InnerQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE MediaPositionDispatch::GetTypeInfoCount(UINT* out)
{
    if (!out)
        return E_POINTER;
    *out = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE MediaPositionDispatch::GetTypeInfo(UINT index, LCID locale, ITypeInfo** out)
{
    return LoadControlTypeLib(&typeInfo, IID_IMediaPosition, index, locale, out);
}

HRESULT STDMETHODCALLTYPE MediaPositionDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                                               DISPID* ids)
{
    ITypeInfo* info;
    HRESULT hr = GetTypeInfo(0, locale, &info);
    if (FAILED(hr))
        return hr;
    hr = info->GetIDsOfNames(names, count, ids);
    info->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE MediaPositionDispatch::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                                        DISPPARAMS* parameters, VARIANT* result,
                                                        EXCEPINFO* exception, UINT* argumentError)
{
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info;
    HRESULT hr = PositionInterface()->GetTypeInfo(0, locale, &info);
    if (FAILED(hr))
        return hr;
    hr = info->Invoke(PositionInterface(), id, flags, parameters, result, exception, argumentError);
    info->Release();
    return hr;
}

D_CPosPassThru::D_CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* upstreamPin)
    : MediaPositionDispatch(objectName, outer), upstreamPin(upstreamPin)
{
    if (!upstreamPin && result)
        *result = E_POINTER;
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::InnerQueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IMediaSeeking))
        return HandOutInterface(SeekingInterface(), out);
    return MediaPositionDispatch::InnerQueryInterface(iid, out);
}

// Found anew on every call, so the pass-through follows reconnections.
template <typename Upstream>
static HRESULT FindUpstream(IPin* pin, REFIID iid, Upstream** out)
{
    *out = nullptr;
    IPin* connected = nullptr;
    if (!pin || FAILED(pin->ConnectedTo(&connected)) || !connected)
        return E_NOTIMPL;
    HRESULT hr = connected->QueryInterface(iid, (void**)out);
    connected->Release();
    if (FAILED(hr) || !*out) {
        *out = nullptr;
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT D_CPosPassThru::FindUpstreamSeeking(IMediaSeeking** out)
{
    return FindUpstream(upstreamPin, IID_IMediaSeeking, out);
}

HRESULT D_CPosPassThru::FindUpstreamPosition(IMediaPosition** out)
{
    return FindUpstream(upstreamPin, IID_IMediaPosition, out);
}

template <typename Call>
static HRESULT PassSeeking(D_CPosPassThru* self, Call call)
{
    IMediaSeeking* upstream;
    HRESULT hr = self->FindUpstreamSeeking(&upstream);
    if (FAILED(hr))
        return hr;
    hr = call(upstream);
    upstream->Release();
    return hr;
}

template <typename Call>
static HRESULT PassPosition(D_CPosPassThru* self, Call call)
{
    IMediaPosition* upstream;
    HRESULT hr = self->FindUpstreamPosition(&upstream);
    if (FAILED(hr))
        return hr;
    hr = call(upstream);
    upstream->Release();
    return hr;
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetCapabilities(DWORD* capabilities)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetCapabilities(capabilities); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::CheckCapabilities(DWORD* capabilities)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->CheckCapabilities(capabilities); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::IsFormatSupported(const GUID* format)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->IsFormatSupported(format); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::QueryPreferredFormat(GUID* format)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->QueryPreferredFormat(format); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetTimeFormat(GUID* format)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetTimeFormat(format); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::IsUsingTimeFormat(const GUID* format)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->IsUsingTimeFormat(format); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::SetTimeFormat(const GUID* format)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->SetTimeFormat(format); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetDuration(LONGLONG* duration)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetDuration(duration); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetStopPosition(LONGLONG* stop)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetStopPosition(stop); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetCurrentPosition(LONGLONG* current)
{
    if (SUCCEEDED(GetRenderedMediaTimes(current, nullptr)))
        return S_OK;
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetCurrentPosition(current); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                                            LONGLONG source, const GUID* sourceFormat)
{
    return PassSeeking(this, [&](IMediaSeeking* s) {
        return s->ConvertTimeFormat(target, targetFormat, source, sourceFormat);
    });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                                       DWORD stopFlags)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->SetPositions(current, currentFlags, stop, stopFlags); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetPositions(current, stop); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetAvailable(LONGLONG* earliest, LONGLONG* latest)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetAvailable(earliest, latest); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::SetRate(double rate)
{
    if (rate == 0.0)
        return E_INVALIDARG;
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->SetRate(rate); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetRate(double* rate)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetRate(rate); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::GetPreroll(LONGLONG* preroll)
{
    return PassSeeking(this, [&](IMediaSeeking* s) { return s->GetPreroll(preroll); });
}

HRESULT D_CPosPassThru::GetRenderedMediaTimes(LONGLONG*, LONGLONG*) { return E_FAIL; }

HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_Duration(REFTIME* length)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->get_Duration(length); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_CurrentPosition(REFTIME time)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->put_CurrentPosition(time); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_CurrentPosition(REFTIME* time)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->get_CurrentPosition(time); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_StopTime(REFTIME* time)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->get_StopTime(time); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_StopTime(REFTIME time)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->put_StopTime(time); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_PrerollTime(REFTIME* time)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->get_PrerollTime(time); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_PrerollTime(REFTIME time)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->put_PrerollTime(time); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::put_Rate(double rate)
{
    if (rate == 0.0)
        return E_INVALIDARG;
    return PassPosition(this, [&](IMediaPosition* p) { return p->put_Rate(rate); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::get_Rate(double* rate)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->get_Rate(rate); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::CanSeekForward(LONG* can)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->CanSeekForward(can); });
}

HRESULT STDMETHODCALLTYPE D_CPosPassThru::CanSeekBackward(LONG* can)
{
    return PassPosition(this, [&](IMediaPosition* p) { return p->CanSeekBackward(can); });
}

RendererPosPassThru::RendererPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result,
                                         IPin* upstreamPin)
    : D_CPosPassThru(objectName, outer, result, upstreamPin), lastStart(0), lastStop(0), noSample(TRUE)
{
    InitializeCriticalSection(&lock);
}

RendererPosPassThru::~RendererPosPassThru()
{
    DeleteCriticalSection(&lock);
}

HRESULT RendererPosPassThru::RecordRenderedSampleTimes(IMediaSample* sample)
{
    EnterCriticalSection(&lock);
    REFERENCE_TIME start, stop;
    HRESULT hr = sample->GetTime(&start, &stop);
    if (SUCCEEDED(hr)) {
        lastStart = start;
        lastStop = stop;
        noSample = FALSE;
    }
    LeaveCriticalSection(&lock);
    return hr;
}

HRESULT RendererPosPassThru::ClearRenderedSampleTimes()
{
    EnterCriticalSection(&lock);
    lastStart = 0;
    lastStop = 0;
    noSample = TRUE;
    LeaveCriticalSection(&lock);
    return S_OK;
}

HRESULT RendererPosPassThru::NoteEndOfStreamPosition()
{
    if (noSample)
        return E_FAIL;
    LONGLONG stop;
    HRESULT hr = SeekingInterface()->GetStopPosition(&stop);
    if (FAILED(hr))
        return hr;
    EnterCriticalSection(&lock);
    lastStart = stop;
    lastStop = stop;
    LeaveCriticalSection(&lock);
    return hr;
}

// Converted upstream from media time into the caller's current time format.
HRESULT RendererPosPassThru::GetRenderedMediaTimes(LONGLONG* start, LONGLONG* stop)
{
    EnterCriticalSection(&lock);
    HRESULT hr = E_FAIL;
    if (!noSample) {
        hr = SeekingInterface()->ConvertTimeFormat(start, nullptr, lastStart, &TIME_FORMAT_MEDIA_TIME);
        if (stop && SUCCEEDED(hr))
            hr = SeekingInterface()->ConvertTimeFormat(stop, nullptr, lastStop, &TIME_FORMAT_MEDIA_TIME);
    }
    LeaveCriticalSection(&lock);
    return hr;
}
