// PinObject: one pin of a FilterObject. IPin and IQualityControl, the
// connection to a peer pin with the agreement on a media type, and the stored
// segment. A pin counts its references on its filter, so it lives exactly as
// long as the filter.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "dshow/dshow_media_type.h"
#include "dshow/dshow_object.h"

class FilterObject;

class PinObject : public MediaObject, public IPin, public IQualityControl {
public:
    // result is not written; pinName may be null.
    PinObject(const char* objectName, FilterObject* filter, CRITICAL_SECTION* lock, HRESULT* result,
              const WCHAR* pinName, PIN_DIRECTION direction);
    ~PinObject() override;

    HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRefCountedObject() override;
    ULONG STDMETHODCALLTYPE ReleaseCountedObject() override;

    virtual LONG GetTypeListVersion();
    virtual HRESULT OnPinActivate();
    virtual HRESULT OnPinDeactivate();
    virtual HRESULT OnPinRun(REFERENCE_TIME start);
    // S_OK when the pin takes the type; any other value refuses it.
    virtual HRESULT AcceptMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type);
    virtual HRESULT CheckPeerPin(IPin* peer);
    // Undoes what a connection set up; runs on every failed attempt and on
    // disconnection.
    virtual HRESULT ReleaseConnection() = 0;
    // Last step of a successful attempt; a failure undoes the connection.
    virtual HRESULT FinishConnection(IPin* peer) = 0;
    // The type at a 0-based position: S_OK, or VFW_S_NO_MORE_ITEMS past the end.
    virtual HRESULT ProposeMediaType(int position, MediaTypeObject* type);
    virtual HRESULT UnlinkPeer();

    DSHOW_FORWARD_UNKNOWN

    // IPin (EndOfStream, BeginFlush and EndFlush come from the pin classes)
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** out) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* out) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* out) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* out) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* out) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // IQualityControl (Notify comes from the pin classes)
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

    // Passes a quality message to the sink, else to the connected pin.
    HRESULT ForwardQualityNotify(Quality quality);

    HRESULT NegotiateConnectionType(IPin* receivePin, const AM_MEDIA_TYPE* type);
    HRESULT TryEnumeratedTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);
    HRESULT TryConnectionType(IPin* receivePin, const AM_MEDIA_TYPE* type);

    IPin* PinInterface() { return static_cast<IPin*>(this); }
    int IsConnected() const { return connectedPin != nullptr; }
    // 1 when the filter is Stopped.
    int FilterIsStopped() const;

    WCHAR* name;             // owned copy, or null
    IPin* connectedPin;      // counted; non-null exactly while connected
    PIN_DIRECTION direction;
    CRITICAL_SECTION* lock;  // the filter lock
    BYTE stoppedAfterError;  // a refused type change stops the stream
    BYTE connectWhileActive;
    BYTE ownTypesFirst;
    FilterObject* filter;    // not counted: the filter owns the pin
    IQualityControl* qualitySink; // not counted
    LONG typeListVersion;
    MediaTypeObject connectionType;
    REFERENCE_TIME segmentStart;
    REFERENCE_TIME segmentStop;
    double segmentRate;
};
