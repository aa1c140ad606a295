// The base filter's states, clock, pins and graph links, and the pin and
// media-type enumerators.
#include <gtest/gtest.h>

#include <windows.h>
#include <uuids.h>

#include <string>
#include <vector>

#include "dshow/dshow_enum.h"
#include "tests/dshow/dshow_test_filter.h"

namespace {

// A reference clock that reads a set time.
class FixedClock : public IReferenceClock {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override
    {
        *time = now;
        return result;
    }
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR) override { return E_NOTIMPL; }
    LONG count = 1;
    REFERENCE_TIME now = 0;
    HRESULT result = S_OK;
};

// A filter of three state pins: 0 and 2 connected, 1 not.
struct StateFixture {
    StateFixture()
    {
        filter = new TestFilter();
        filter->BaseFilterInterface()->AddRef();
        for (int tag = 0; tag < 3; tag++) {
            pins[tag] = new StatePin(filter, tag, &log);
            filter->AddPin(pins[tag]);
        }
        MarkConnected(pins[0]);
        MarkConnected(pins[2]);
    }
    ~StateFixture()
    {
        UnmarkConnected(pins[0]);
        UnmarkConnected(pins[2]);
        filter->BaseFilterInterface()->Release();
    }
    TestFilter* filter;
    StatePin* pins[3];
    std::vector<int> log;
};

const HRESULT kFailA = (HRESULT)0x80041001;
const HRESULT kFailB = (HRESULT)0x80041002;

} // namespace

TEST(DShowFilter, StateTransitionsTellOnlyConnectedPins)
{
    struct Step {
        const char* call;
        FILTER_STATE after;
        std::vector<int> told;
    };
    const Step steps[] = {
        {"stop", State_Stopped, {}},
        {"pause", State_Paused, {100, 102}},
        {"pause", State_Paused, {}},
        {"run", State_Running, {300, 302}},
        {"run", State_Running, {}},
        {"pause", State_Paused, {}},
        {"stop", State_Stopped, {200, 202}},
        {"run", State_Running, {100, 102, 300, 302}},
        {"stop", State_Stopped, {200, 202}},
    };
    StateFixture f;
    IBaseFilter* base = f.filter->BaseFilterInterface();
    REFERENCE_TIME start = 1000;
    for (const Step& step : steps) {
        f.log.clear();
        std::string call = step.call;
        HRESULT result = call == "stop" ? base->Stop() : call == "pause" ? base->Pause() : base->Run(start += 5);
        EXPECT_EQ(S_OK, result) << call;
        FILTER_STATE state;
        EXPECT_EQ(S_OK, base->GetState(0, &state));
        EXPECT_EQ(step.after, state) << call;
        EXPECT_EQ(step.told, f.log) << call;
    }
    EXPECT_EQ(start, f.filter->startTime) << "a second Run updates the start time";
    EXPECT_EQ(E_POINTER, base->GetState(0, nullptr));
}

TEST(DShowFilter, PinFailuresDuringStateChanges)
{
    {
        // Stop visits every connected pin and reports the first failure.
        StateFixture f;
        f.filter->BaseFilterInterface()->Pause();
        f.pins[0]->deactivateResult = kFailA;
        f.pins[2]->deactivateResult = kFailB;
        f.log.clear();
        EXPECT_EQ(kFailA, f.filter->Stop());
        EXPECT_EQ((std::vector<int>{200, 202}), f.log);
        EXPECT_EQ(State_Stopped, f.filter->state);
    }
    {
        // A refused activation keeps the filter stopped; the start time is kept.
        StateFixture f;
        f.pins[0]->activateResult = kFailA;
        EXPECT_EQ(kFailA, f.filter->Run(777));
        EXPECT_EQ(State_Stopped, f.filter->state);
        EXPECT_EQ(777, f.filter->startTime);
        EXPECT_EQ((std::vector<int>{100}), f.log);
    }
    {
        // A refused run leaves the filter paused by the Pause step.
        StateFixture f;
        f.pins[2]->runResult = kFailB;
        EXPECT_EQ(kFailB, f.filter->Run(5));
        EXPECT_EQ(State_Paused, f.filter->state);
        EXPECT_EQ((std::vector<int>{100, 102, 300, 302}), f.log);
    }
}

TEST(DShowFilter, ClockAndStreamTime)
{
    TestFilter* filter = new TestFilter();
    IBaseFilter* base = filter->BaseFilterInterface();
    base->AddRef();
    REFERENCE_TIME time = 0;
    EXPECT_EQ(VFW_E_NO_CLOCK, filter->GetFilterStreamTime(&time));

    FixedClock clock;
    EXPECT_EQ(S_OK, base->SetSyncSource(&clock));
    EXPECT_EQ(2, clock.count);
    IReferenceClock* got = nullptr;
    EXPECT_EQ(S_OK, base->GetSyncSource(&got));
    EXPECT_EQ(&clock, got);
    EXPECT_EQ(3, clock.count);
    got->Release();

    clock.now = 50000000;
    base->Run(20000000);
    EXPECT_EQ(S_OK, filter->GetFilterStreamTime(&time));
    EXPECT_EQ(30000000, time);
    clock.result = E_FAIL;
    EXPECT_EQ(E_FAIL, filter->GetFilterStreamTime(&time));

    FixedClock second;
    base->SetSyncSource(&second);
    EXPECT_EQ(1, clock.count);
    EXPECT_EQ(2, second.count);
    base->SetSyncSource(nullptr);
    EXPECT_EQ(1, second.count);
    EXPECT_EQ(S_OK, base->GetSyncSource(&got));
    EXPECT_EQ(nullptr, got);

    // The filter releases a clock it still holds when it goes.
    base->SetSyncSource(&clock);
    base->Release();
    EXPECT_EQ(1, clock.count);
}

TEST(DShowFilter, IdentityPinsAndGraphLinks)
{
    TestFilter* filter = new TestFilter();
    IBaseFilter* base = filter->BaseFilterInterface();
    base->AddRef();
    TestOutputPin* out = new TestOutputPin(filter, L"Out");
    TestInputPin* in = new TestInputPin(filter, L"In");
    filter->AddPin(out);
    filter->AddPin(in);

    CLSID id;
    EXPECT_EQ(S_OK, base->GetClassID(&id));
    EXPECT_TRUE(IsEqualGUID(filter->classId, id));
    EXPECT_EQ(E_POINTER, base->GetClassID(nullptr));
    EXPECT_EQ(E_NOTIMPL, base->QueryVendorInfo(nullptr));
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(S_OK, base->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)));
    EXPECT_EQ(S_FALSE, setup->Register());
    EXPECT_EQ(S_FALSE, setup->Unregister());
    setup->Release();

    IPin* pin = nullptr;
    EXPECT_EQ(S_OK, base->FindPin(L"In", &pin));
    EXPECT_EQ(in->PinInterface(), pin);
    pin->Release();
    pin = reinterpret_cast<IPin*>(1);
    EXPECT_EQ(VFW_E_NOT_FOUND, base->FindPin(L"Nothing", &pin));
    EXPECT_EQ(nullptr, pin);

    // Outside a graph: no events, no reconnection.
    EXPECT_EQ(E_NOTIMPL, filter->NotifyFilterEvent(EC_COMPLETE, 0, 0));
    EXPECT_EQ(E_NOINTERFACE, filter->RequestPinReconnect(out->PinInterface(), nullptr));

    // A 200-character name comes back cut to 127 characters and a terminator.
    std::wstring longName(200, L'n');
    longName[126] = L'X';
    FakeGraph graph;
    EXPECT_EQ(S_OK, base->JoinFilterGraph(&graph, longName.c_str()));
    EXPECT_EQ(1, graph.count) << "neither the graph nor its sink is counted";
    FILTER_INFO info;
    EXPECT_EQ(S_OK, base->QueryFilterInfo(&info));
    EXPECT_EQ(std::wstring(longName, 0, 127), std::wstring(info.achName));
    EXPECT_EQ(static_cast<IFilterGraph*>(&graph), info.pGraph);
    EXPECT_EQ(2, graph.count);
    info.pGraph->Release();

    // EC_COMPLETE always names this filter; other events pass as given.
    EXPECT_EQ(S_OK, filter->NotifyFilterEvent(EC_COMPLETE, 5, 1234));
    EXPECT_EQ(S_OK, filter->NotifyFilterEvent(EC_ERRORABORT, 6, 1234));
    ASSERT_EQ(2u, graph.events.size());
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(base), graph.events[0].parameter2);
    EXPECT_EQ(5, graph.events[0].parameter1);
    EXPECT_EQ(1234, graph.events[1].parameter2);
    // A graph without IFilterGraph2 reconnects through IFilterGraph.
    EXPECT_EQ(S_OK, filter->RequestPinReconnect(out->PinInterface(), nullptr));
    EXPECT_EQ(out->PinInterface(), graph.reconnected);

    EXPECT_EQ(S_OK, base->JoinFilterGraph(nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, filter->NotifyFilterEvent(EC_COMPLETE, 0, 0));
    EXPECT_EQ(S_OK, base->QueryFilterInfo(&info));
    EXPECT_EQ(L'\0', info.achName[0]);
    EXPECT_EQ(nullptr, info.pGraph);
    base->Release();
}

TEST(DShowEnumerators, PinEnumeratorNextSkipResetClone)
{
    TestFilter* filter = new TestFilter();
    IBaseFilter* base = filter->BaseFilterInterface();
    base->AddRef();
    filter->AddPin(new TestOutputPin(filter, L"A"));

    IEnumPins* pins = nullptr;
    ASSERT_EQ(S_OK, base->EnumPins(&pins));
    EXPECT_EQ(2, filter->referenceCount) << "the enumerator holds its filter";
    IPin* got[3] = {};
    ULONG fetched = 99;
    EXPECT_EQ(E_INVALIDARG, pins->Next(2, got, nullptr));
    EXPECT_EQ(S_OK, pins->Next(1, got, nullptr));
    EXPECT_EQ(filter->pins[0]->PinInterface(), got[0]);
    got[0]->Release();
    got[0] = nullptr;
    EXPECT_EQ(S_FALSE, pins->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(nullptr, got[0]);
    EXPECT_EQ(E_POINTER, pins->Next(1, nullptr, nullptr));

    EXPECT_EQ(S_OK, pins->Reset());
    EXPECT_EQ(S_FALSE, pins->Next(2, got, &fetched));
    EXPECT_EQ(1u, fetched);
    got[0]->Release();

    // A second pin and a new version: Next starts over but skips pin A.
    filter->AddPin(new TestInputPin(filter, L"B"));
    filter->pinSetVersion++;
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Skip(1));
    IEnumPins* clone = reinterpret_cast<IEnumPins*>(1);
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Clone(&clone));
    EXPECT_EQ(nullptr, clone);
    EXPECT_EQ(S_FALSE, pins->Next(2, got, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(filter->pins[1]->PinInterface(), got[0]);
    got[0]->Release();

    // A clone keeps the position and the pins already returned.
    pins->Reset();
    EXPECT_EQ(S_OK, pins->Next(1, got, nullptr));
    got[0]->Release();
    ASSERT_EQ(S_OK, pins->Clone(&clone));
    pins->Reset();
    EXPECT_EQ(S_OK, clone->Skip(0));
    EXPECT_EQ(S_FALSE, clone->Skip(2)) << "past the end";
    EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_EQ(filter->pins[1]->PinInterface(), got[0]);
    got[0]->Release();
    EXPECT_EQ(S_OK, clone->Reset());
    EXPECT_EQ(S_OK, clone->Skip(1));
    EXPECT_EQ(S_FALSE, clone->Skip(2));
    EXPECT_EQ(S_OK, clone->Next(1, got, nullptr)) << "Skip(2) past the end kept the position";
    got[0]->Release();

    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, clone->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(clone), unknown);
    EXPECT_EQ(1u, unknown->Release());
    EXPECT_EQ(0u, clone->Release());
    EXPECT_EQ(0u, pins->Release());
    EXPECT_EQ(1, filter->referenceCount);

    // A pin missing from its slot makes Next fail, and a failed Next keeps
    // no reference on the pins it met before the gap.
    filter->pinCount = 3;
    filter->pins[2] = nullptr;
    ASSERT_EQ(S_OK, base->EnumPins(&pins));
    LONG before = filter->referenceCount;   // pins count on their filter
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, pins->Next(3, got, &fetched));
    EXPECT_EQ(0u, fetched);
    EXPECT_EQ(before, filter->referenceCount);
    pins->Release();
    filter->pinCount = 2;
    base->Release();
}

TEST(DShowEnumerators, MediaTypeEnumeratorFollowsThePinsList)
{
    TestFilter* filter = new TestFilter();
    filter->BaseFilterInterface()->AddRef();
    TestOutputPin* pin = new TestOutputPin(filter, L"Out");
    filter->AddPin(pin);
    pin->rules.proposed = {MEDIASUBTYPE_PCM, MEDIASUBTYPE_MPEG1AudioPayload};

    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(S_OK, pin->PinInterface()->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(E_INVALIDARG, types->Next(2, got, nullptr));
    EXPECT_EQ(S_FALSE, types->Next(3, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, got[0]->subtype));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_MPEG1AudioPayload, got[1]->subtype));
    ASSERT_EQ(4u, got[1]->cbFormat);
    EXPECT_EQ(1, got[1]->pbFormat[0]);
    DestroyMediaTypeRecord(got[0]);
    DestroyMediaTypeRecord(got[1]);
    EXPECT_EQ(S_FALSE, types->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);

    EXPECT_EQ(S_OK, types->Reset());
    EXPECT_EQ(S_OK, types->Skip(2)) << "the type at position 1 exists";
    EXPECT_EQ(S_FALSE, types->Skip(1));
    types->Reset();
    EXPECT_EQ(S_OK, types->Skip(1));
    IEnumMediaTypes* clone = nullptr;
    ASSERT_EQ(S_OK, types->Clone(&clone));
    EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_MPEG1AudioPayload, got[0]->subtype));
    DestroyMediaTypeRecord(got[0]);
    clone->Release();

    // A changed list refuses everything but Reset and Skip(0).
    pin->typeListVersion++;
    EXPECT_EQ(S_OK, types->Skip(0));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Skip(1));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Next(1, got, &fetched));
    EXPECT_EQ(VFW_E_ENUM_OUT_OF_SYNC, types->Clone(&clone));
    EXPECT_EQ(nullptr, clone);
    EXPECT_EQ(S_OK, types->Reset());
    EXPECT_EQ(S_OK, types->Next(1, got, nullptr));
    DestroyMediaTypeRecord(got[0]);
    // A huge skip ends past any list without overflowing the position.
    EXPECT_EQ(S_FALSE, types->Skip(0xFFFFFFFFu));
    EXPECT_EQ(S_FALSE, types->Next(1, got, &fetched));
    types->Release();
    EXPECT_EQ(0u, filter->BaseFilterInterface()->Release());
}
