// Seeking and position questions that a graph asks a renderer, passed on to
// the filter upstream of the renderer's input pin. IMediaPosition is a
// dispatch interface, so the base also answers IDispatch through the
// platform's type description of IMediaPosition, loaded on first use.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <control.h>

#include "dshow/dshow_object.h"

class MediaPositionDispatch : public IMediaPosition, public MediaObject {
public:
    MediaPositionDispatch(const char* objectName, IUnknown* outer);
    ~MediaPositionDispatch() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;

    DSHOW_FORWARD_UNKNOWN

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* out) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

    IMediaPosition* PositionInterface() { return static_cast<IMediaPosition*>(this); }

    ITypeInfo* typeInfo; // counted; null until first asked for
};

class D_CPosPassThru : public IMediaSeeking, public MediaPositionDispatch {
public:
    // upstreamPin is the owner's input pin (not counted); a null one writes
    // E_POINTER to result.
    D_CPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* upstreamPin);

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;

    DSHOW_FORWARD_UNKNOWN

    // IMediaSeeking
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override;
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* capabilities) override;
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override;
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override;
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override;
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override;
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override;
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override;
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override;
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                                const GUID* sourceFormat) override;
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                           DWORD stopFlags) override;
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
    HRESULT STDMETHODCALLTYPE SetRate(double rate) override;
    HRESULT STDMETHODCALLTYPE GetRate(double* rate) override;
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override;
    // The entry after the platform's: times of the last rendered sample.
    virtual HRESULT GetRenderedMediaTimes(LONGLONG* start, LONGLONG* stop);

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override;
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override;
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override;
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override;
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override;
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override;
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME time) override;
    HRESULT STDMETHODCALLTYPE put_Rate(double rate) override;
    HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override;
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* can) override;
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* can) override;

    IMediaSeeking* SeekingInterface() { return static_cast<IMediaSeeking*>(this); }

    // The IMediaSeeking (IMediaPosition) of the pin connected to the upstream
    // pin, AddRef-ed; E_NOTIMPL when there is none.
    HRESULT FindUpstreamSeeking(IMediaSeeking** out);
    HRESULT FindUpstreamPosition(IMediaPosition** out);

    IPin* upstreamPin; // not counted
};

// The renderer's pass-through: while it holds the times of the last rendered
// sample, they are the current position.
class RendererPosPassThru : public D_CPosPassThru {
public:
    RendererPosPassThru(const char* objectName, IUnknown* outer, HRESULT* result, IPin* upstreamPin);
    ~RendererPosPassThru() override;

    HRESULT GetRenderedMediaTimes(LONGLONG* start, LONGLONG* stop) override;
    HRESULT RecordRenderedSampleTimes(IMediaSample* sample);
    HRESULT ClearRenderedSampleTimes();
    HRESULT NoteEndOfStreamPosition();

    CRITICAL_SECTION lock;
    REFERENCE_TIME lastStart;
    REFERENCE_TIME lastStop;
    BOOL noSample; // no times stored
};

// The type information of interface iid (IID_IMediaPosition) from the
// platform's control type library, cached in *cache.
HRESULT LoadControlTypeLib(ITypeInfo** cache, REFIID iid, UINT index, LCID locale, ITypeInfo** out);
// OleAut32.dll, loaded on first use and kept in OleAutomationModule.
HMODULE LoadOleAutomationLibrary();
