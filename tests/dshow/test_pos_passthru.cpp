// The position pass-through: every seeking and position call reaches the
// filter upstream of the owner's input pin, and a renderer's pass-through
// reports the last rendered sample's time converted upstream.
#include <gtest/gtest.h>

#include <dshow.h>

#include <functional>
#include <string>

#include "dshow/dshow_allocator.h"
#include "dshow/dshow_pos_passthru.h"

namespace {

LONG fakeRefs; // references the pass-through holds on the fakes

// Records the last call and its arguments; answers `answer`.
struct FakeSeeking : IMediaSeeking {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++fakeRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --fakeRefs; }
    HRESULT Note(const char* name) { last = name; return answer; }
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* c) override { *c = 0x55; return Note("GetCapabilities"); }
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* c) override { *c &= 1; return Note("CheckCapabilities"); }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* f) override { format = f; return Note("IsFormatSupported"); }
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* f) override { *f = TIME_FORMAT_FRAME; return Note("QueryPreferredFormat"); }
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* f) override { *f = TIME_FORMAT_MEDIA_TIME; return Note("GetTimeFormat"); }
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* f) override { format = f; return Note("IsUsingTimeFormat"); }
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* f) override { format = f; return Note("SetTimeFormat"); }
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* d) override { *d = 777; return Note("GetDuration"); }
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* s) override { *s = stop; return Note("GetStopPosition"); }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* c) override { *c = 4242; return Note("GetCurrentPosition"); }
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                                const GUID* sourceFormat) override
    {
        convertTarget = targetFormat;
        convertSource = sourceFormat;
        convertValue = source;
        *target = source / 1000; // "frames"
        return Note("ConvertTimeFormat");
    }
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* c, DWORD cf, LONGLONG* s, DWORD sf) override
    {
        value = *c + *s;
        flags = cf | sf;
        return Note("SetPositions");
    }
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* c, LONGLONG* s) override { *c = 1; *s = 2; return Note("GetPositions"); }
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* e, LONGLONG* l) override { *e = 3; *l = 4; return Note("GetAvailable"); }
    HRESULT STDMETHODCALLTYPE SetRate(double r) override { rate = r; return Note("SetRate"); }
    HRESULT STDMETHODCALLTYPE GetRate(double* r) override { *r = 1.5; return Note("GetRate"); }
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* p) override { *p = 9; return Note("GetPreroll"); }

    std::string last;
    HRESULT answer = S_OK;
    const GUID* format = nullptr;
    const GUID* convertTarget = nullptr;
    const GUID* convertSource = nullptr;
    LONGLONG convertValue = 0;
    LONGLONG value = 0;
    LONGLONG stop = 0;
    DWORD flags = 0;
    double rate = 0;
};

struct FakePosition : IMediaPosition {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++fakeRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --fakeRefs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT Note(const char* name) { last = name; return answer; }
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* t) override { *t = 12.5; return Note("get_Duration"); }
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME t) override { time = t; return Note("put_CurrentPosition"); }
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* t) override { *t = 1.25; return Note("get_CurrentPosition"); }
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* t) override { *t = 2.5; return Note("get_StopTime"); }
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME t) override { time = t; return Note("put_StopTime"); }
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* t) override { *t = 0.5; return Note("get_PrerollTime"); }
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME t) override { time = t; return Note("put_PrerollTime"); }
    HRESULT STDMETHODCALLTYPE put_Rate(double r) override { time = r; return Note("put_Rate"); }
    HRESULT STDMETHODCALLTYPE get_Rate(double* r) override { *r = 0.75; return Note("get_Rate"); }
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* c) override { *c = OATRUE; return Note("CanSeekForward"); }
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* c) override { *c = OAFALSE; return Note("CanSeekBackward"); }

    std::string last;
    HRESULT answer = S_OK;
    double time = 0;
};

// IPin with nothing behind it; the fakes below fill in what they need.
struct StubPin : IPin {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++fakeRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --fakeRefs; }
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** out) override { *out = nullptr; return VFW_E_NOT_CONNECTED; }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_NOTIMPL; }
};

// The upstream filter's output pin, answering seeking and position questions
// when it has them.
struct UpstreamPin : StubPin {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IMediaSeeking) && withSeeking)
            *out = static_cast<IMediaSeeking*>(&seeking);
        else if (IsEqualIID(iid, IID_IMediaPosition) && withPosition)
            *out = static_cast<IMediaPosition*>(&position);
        else
            return E_NOINTERFACE;
        ++fakeRefs;
        return S_OK;
    }
    FakeSeeking seeking;
    FakePosition position;
    bool withSeeking = true;
    bool withPosition = true;
};

// The owner's input pin, connected to `peer` when it is set.
struct OwnerPin : StubPin {
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** out) override
    {
        *out = peer;
        if (!peer)
            return VFW_E_NOT_CONNECTED;
        ++fakeRefs;
        return S_OK;
    }
    IPin* peer = nullptr;
};

struct PassThruFixture : testing::Test {
    void SetUp() override
    {
        fakeRefs = 0;
        HRESULT hr = S_OK;
        passThru = new RendererPosPassThru("test", nullptr, &hr, &input);
        ASSERT_NE(nullptr, passThru);
        EXPECT_EQ(S_OK, hr);
        passThru->InnerUnknown()->AddRef();
        seeking = passThru->SeekingInterface();
        position = passThru->PositionInterface();
    }
    void TearDown() override
    {
        passThru->InnerUnknown()->Release();
        EXPECT_EQ(0, fakeRefs) << "references on the upstream pin or its interfaces were kept";
    }
    OwnerPin input;
    UpstreamPin upstream;
    RendererPosPassThru* passThru = nullptr;
    IMediaSeeking* seeking = nullptr;
    IMediaPosition* position = nullptr;
};

struct Forward {
    const char* name;
    std::function<HRESULT(IMediaSeeking*, IMediaPosition*)> call;
    bool isSeeking;
};

std::vector<Forward> EveryForward()
{
    static LONGLONG a, b;
    static DWORD caps;
    static GUID g;
    static double r;
    static LONG c;
    static REFTIME t;
    return {
        {"GetCapabilities", [](IMediaSeeking* s, IMediaPosition*) { return s->GetCapabilities(&caps); }, true},
        {"CheckCapabilities", [](IMediaSeeking* s, IMediaPosition*) { caps = 3; return s->CheckCapabilities(&caps); }, true},
        {"IsFormatSupported", [](IMediaSeeking* s, IMediaPosition*) { return s->IsFormatSupported(&TIME_FORMAT_FRAME); }, true},
        {"QueryPreferredFormat", [](IMediaSeeking* s, IMediaPosition*) { return s->QueryPreferredFormat(&g); }, true},
        {"GetTimeFormat", [](IMediaSeeking* s, IMediaPosition*) { return s->GetTimeFormat(&g); }, true},
        {"IsUsingTimeFormat", [](IMediaSeeking* s, IMediaPosition*) { return s->IsUsingTimeFormat(&TIME_FORMAT_FRAME); }, true},
        {"SetTimeFormat", [](IMediaSeeking* s, IMediaPosition*) { return s->SetTimeFormat(&TIME_FORMAT_FRAME); }, true},
        {"GetDuration", [](IMediaSeeking* s, IMediaPosition*) { return s->GetDuration(&a); }, true},
        {"GetStopPosition", [](IMediaSeeking* s, IMediaPosition*) { return s->GetStopPosition(&a); }, true},
        {"GetCurrentPosition", [](IMediaSeeking* s, IMediaPosition*) { return s->GetCurrentPosition(&a); }, true},
        {"ConvertTimeFormat", [](IMediaSeeking* s, IMediaPosition*) {
             return s->ConvertTimeFormat(&a, &TIME_FORMAT_FRAME, 5000, &TIME_FORMAT_MEDIA_TIME); }, true},
        {"SetPositions", [](IMediaSeeking* s, IMediaPosition*) {
             a = 10; b = 20;
             return s->SetPositions(&a, AM_SEEKING_AbsolutePositioning, &b, AM_SEEKING_SeekToKeyFrame); }, true},
        {"GetPositions", [](IMediaSeeking* s, IMediaPosition*) { return s->GetPositions(&a, &b); }, true},
        {"GetAvailable", [](IMediaSeeking* s, IMediaPosition*) { return s->GetAvailable(&a, &b); }, true},
        {"SetRate", [](IMediaSeeking* s, IMediaPosition*) { return s->SetRate(2.5); }, true},
        {"GetRate", [](IMediaSeeking* s, IMediaPosition*) { return s->GetRate(&r); }, true},
        {"GetPreroll", [](IMediaSeeking* s, IMediaPosition*) { return s->GetPreroll(&a); }, true},
        {"get_Duration", [](IMediaSeeking*, IMediaPosition* p) { return p->get_Duration(&t); }, false},
        {"put_CurrentPosition", [](IMediaSeeking*, IMediaPosition* p) { return p->put_CurrentPosition(3.0); }, false},
        {"get_CurrentPosition", [](IMediaSeeking*, IMediaPosition* p) { return p->get_CurrentPosition(&t); }, false},
        {"get_StopTime", [](IMediaSeeking*, IMediaPosition* p) { return p->get_StopTime(&t); }, false},
        {"put_StopTime", [](IMediaSeeking*, IMediaPosition* p) { return p->put_StopTime(4.0); }, false},
        {"get_PrerollTime", [](IMediaSeeking*, IMediaPosition* p) { return p->get_PrerollTime(&t); }, false},
        {"put_PrerollTime", [](IMediaSeeking*, IMediaPosition* p) { return p->put_PrerollTime(0.5); }, false},
        {"put_Rate", [](IMediaSeeking*, IMediaPosition* p) { return p->put_Rate(2.0); }, false},
        {"get_Rate", [](IMediaSeeking*, IMediaPosition* p) { return p->get_Rate(&r); }, false},
        {"CanSeekForward", [](IMediaSeeking*, IMediaPosition* p) { return p->CanSeekForward(&c); }, false},
        {"CanSeekBackward", [](IMediaSeeking*, IMediaPosition* p) { return p->CanSeekBackward(&c); }, false},
    };
}

} // namespace

TEST_F(PassThruFixture, WithoutAConnectedUpstreamPinEveryCallIsNotImplemented)
{
    for (const Forward& f : EveryForward())
        EXPECT_EQ(E_NOTIMPL, f.call(seeking, position)) << f.name;
    // A rate of 0 is refused before anything is asked.
    EXPECT_EQ(E_INVALIDARG, seeking->SetRate(0.0));
    EXPECT_EQ(E_INVALIDARG, position->put_Rate(0.0));

    // Connected, but to a pin that has neither interface.
    input.peer = &upstream;
    upstream.withSeeking = upstream.withPosition = false;
    for (const Forward& f : EveryForward())
        EXPECT_EQ(E_NOTIMPL, f.call(seeking, position)) << f.name;
}

TEST_F(PassThruFixture, EveryCallReachesTheUpstreamFilterWithItsArgumentsAndResult)
{
    input.peer = &upstream;
    upstream.seeking.answer = upstream.position.answer = (HRESULT)0x00040007; // a distinctive success
    for (const Forward& f : EveryForward()) {
        upstream.seeking.last.clear();
        upstream.position.last.clear();
        EXPECT_EQ((HRESULT)0x00040007, f.call(seeking, position)) << f.name;
        EXPECT_EQ(f.name, f.isSeeking ? upstream.seeking.last : upstream.position.last);
    }
    LONGLONG current = 10, stop = 20, out = 0;
    seeking->SetPositions(&current, 1, &stop, 4);
    EXPECT_EQ(30, upstream.seeking.value);
    EXPECT_EQ(5u, upstream.seeking.flags);
    seeking->SetRate(-2.0);
    EXPECT_EQ(-2.0, upstream.seeking.rate);
    seeking->ConvertTimeFormat(&out, &TIME_FORMAT_FRAME, 8000, &TIME_FORMAT_MEDIA_TIME);
    EXPECT_EQ(8, out);
    EXPECT_EQ(&TIME_FORMAT_FRAME, upstream.seeking.convertTarget);
    seeking->GetDuration(&out);
    EXPECT_EQ(777, out);
    REFTIME t = 0;
    position->put_StopTime(6.5);
    EXPECT_EQ(6.5, upstream.position.time);
    position->get_Duration(&t);
    EXPECT_EQ(12.5, t);

    // Failures come back unchanged too.
    upstream.seeking.answer = upstream.position.answer = E_ABORT;
    for (const Forward& f : EveryForward())
        EXPECT_EQ(E_ABORT, f.call(seeking, position)) << f.name;
}

TEST_F(PassThruFixture, TheRendererReportsItsLastSampleTimeConvertedUpstream)
{
    input.peer = &upstream;
    LONGLONG now = 0;
    EXPECT_EQ(E_FAIL, passThru->NoteEndOfStreamPosition()) << "no sample yet";
    EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&now));
    EXPECT_EQ(4242, now) << "before any sample the upstream position";

    BYTE buffer[4];
    HRESULT hr = S_OK;
    MediaSampleObject* sample = new MediaSampleObject("test", nullptr, &hr, buffer, 4);
    REFERENCE_TIME start = 10000000, stop = 20000000;
    sample->SetTime(&start, &stop);
    EXPECT_EQ(S_OK, passThru->RecordRenderedSampleTimes(sample));
    upstream.seeking.last.clear();
    EXPECT_EQ(S_OK, seeking->GetCurrentPosition(&now));
    EXPECT_EQ("ConvertTimeFormat", upstream.seeking.last);
    EXPECT_EQ(10000000, upstream.seeking.convertValue);
    ASSERT_NE(nullptr, upstream.seeking.convertSource);
    EXPECT_TRUE(IsEqualGUID(TIME_FORMAT_MEDIA_TIME, *upstream.seeking.convertSource));
    EXPECT_EQ(nullptr, upstream.seeking.convertTarget) << "into the current format";
    EXPECT_EQ(10000, now);
    LONGLONG first = 0, last = 0;
    EXPECT_EQ(S_OK, passThru->GetRenderedMediaTimes(&first, &last));
    EXPECT_EQ(10000, first);
    EXPECT_EQ(20000, last);

    upstream.seeking.stop = 55000000;
    EXPECT_EQ(S_OK, passThru->NoteEndOfStreamPosition());
    seeking->GetCurrentPosition(&now);
    EXPECT_EQ(55000, now) << "after the end, the upstream stop position";

    // A conversion refused upstream falls back to the upstream position.
    upstream.seeking.answer = E_NOTIMPL;
    EXPECT_EQ(E_NOTIMPL, seeking->GetCurrentPosition(&now));
    EXPECT_EQ("GetCurrentPosition", upstream.seeking.last);
    upstream.seeking.answer = S_OK;

    passThru->ClearRenderedSampleTimes();
    seeking->GetCurrentPosition(&now);
    EXPECT_EQ(4242, now);
    sample->SetTime(nullptr, nullptr);
    EXPECT_EQ(VFW_E_SAMPLE_TIME_NOT_SET, passThru->RecordRenderedSampleTimes(sample));
    EXPECT_EQ(E_FAIL, passThru->GetRenderedMediaTimes(&first, nullptr));
    delete sample;
}

TEST_F(PassThruFixture, AllInterfacesCountOnTheOneObject)
{
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(S_OK, seeking->QueryInterface(IID_IUnknown, (void**)&a));
    ASSERT_EQ(S_OK, position->QueryInterface(IID_IUnknown, (void**)&b));
    EXPECT_EQ(a, b);
    EXPECT_EQ(passThru->InnerUnknown(), a);
    IMediaSeeking* again = nullptr;
    ASSERT_EQ(S_OK, position->QueryInterface(IID_IMediaSeeking, (void**)&again));
    EXPECT_EQ(seeking, again);
    EXPECT_EQ(4, passThru->referenceCount);
    a->Release();
    b->Release();
    again->Release();
    void* none = (void*)1;
    EXPECT_EQ(E_NOINTERFACE, seeking->QueryInterface(IID_IBaseFilter, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, passThru->InnerQueryInterface(IID_IMediaSeeking, nullptr));
    EXPECT_EQ(E_FAIL, passThru->D_CPosPassThru::GetRenderedMediaTimes(nullptr, nullptr));
}

TEST_F(PassThruFixture, DispatchAnswersFromTheControlTypeLibrary)
{
    UINT count = 0;
    EXPECT_EQ(S_OK, position->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, position->GetTypeInfoCount(nullptr));
    ITypeInfo* info = (ITypeInfo*)1;
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, position->GetTypeInfo(1, 0, &info));
    EXPECT_EQ(nullptr, info);
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, position->Invoke(1, IID_IMediaSeeking, 0, DISPATCH_METHOD, nullptr,
                                                        nullptr, nullptr, nullptr));

    HRESULT hr = position->GetTypeInfo(0, 0, &info);
    if (FAILED(hr)) {
        EXPECT_EQ(nullptr, info);
        EXPECT_EQ(nullptr, passThru->typeInfo) << "a failed load caches nothing";
        return;
    }
    // Found: cached, and the same object for the next caller.
    ITypeInfo* second = nullptr;
    EXPECT_EQ(S_OK, position->GetTypeInfo(0, 0, &second));
    EXPECT_EQ(info, second);
    EXPECT_EQ(info, passThru->typeInfo);
    second->Release();
    info->Release();
    OLECHAR name[] = L"Duration";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, position->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_NE(DISPID_UNKNOWN, id);
}

TEST(PosPassThru, AMissingPinIsReportedAndEveryCallIsNotImplemented)
{
    HRESULT hr = S_OK;
    D_CPosPassThru* passThru = new D_CPosPassThru("test", nullptr, &hr, nullptr);
    ASSERT_NE(nullptr, passThru);
    EXPECT_EQ(E_POINTER, hr);
    passThru->InnerUnknown()->AddRef();
    LONGLONG value;
    EXPECT_EQ(E_NOTIMPL, passThru->SeekingInterface()->GetDuration(&value));
    EXPECT_EQ(E_NOTIMPL, passThru->SeekingInterface()->GetCurrentPosition(&value));
    passThru->InnerUnknown()->Release();
}
