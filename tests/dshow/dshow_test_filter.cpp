#include "tests/dshow/dshow_test_filter.h"

#include <stdio.h>
#include <string.h>
#include <uuids.h>

// {5E1A0001-0000-4000-8000-00AA00BB00CC}
static const CLSID kTestFilterClass = {0x5e1a0001, 0, 0x4000, {0x80, 0, 0, 0xaa, 0, 0xbb, 0, 0xcc}};

void MakeTestType(AM_MEDIA_TYPE* type, const GUID& subtype, ULONG formatBytes, BYTE fill)
{
    ResetMediaTypeRecord(type);
    type->majortype = MEDIATYPE_Audio;
    type->subtype = subtype;
    type->formattype = FORMAT_WaveFormatEx;
    if (formatBytes) {
        type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(formatBytes));
        memset(type->pbFormat, fill, formatBytes);
        type->cbFormat = formatBytes;
    }
}

TestFilter::TestFilter(IUnknown* outer)
    : FilterObject("Test filter", outer, &section, kTestFilterClass), pins(), pinCount(0), destroyedCount(nullptr)
{
    InitializeCriticalSection(&section);
}

TestFilter::~TestFilter()
{
    for (int index = 0; index < pinCount; index++)
        delete pins[index];
    DeleteCriticalSection(&section);
    if (destroyedCount)
        (*destroyedCount)++;
}

static HRESULT ApplyRules(const TestTypeRules& rules, std::vector<GUID>* tried, const AM_MEDIA_TYPE* type)
{
    tried->push_back(type->subtype);
    for (const GUID& subtype : rules.accepted) {
        if (IsEqualGUID(subtype, type->subtype))
            return S_OK;
    }
    return rules.refusal;
}

static HRESULT ProposeFromRules(const TestTypeRules& rules, int position, MediaTypeObject* type)
{
    if (position < 0)
        return E_INVALIDARG;
    if ((size_t)position >= rules.proposed.size())
        return VFW_S_NO_MORE_ITEMS;
    MediaTypeObject proposed;
    MakeTestType(&proposed, rules.proposed[position], 4, (BYTE)position);
    return SetMediaTypeObject(type, &proposed);
}

TestOutputPin::TestOutputPin(TestFilter* filter, const WCHAR* name)
    : OutputPinObject("Test output", filter, &filter->section, nullptr, name)
{
}

HRESULT TestOutputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    return ApplyRules(rules, &tried, type);
}

HRESULT TestOutputPin::ProposeMediaType(int position, MediaTypeObject* type)
{
    return ProposeFromRules(rules, position, type);
}

HRESULT TestOutputPin::ReleaseConnection()
{
    releaseConnectionCalls++;
    return OutputPinObject::ReleaseConnection();
}

HRESULT TestOutputPin::SizeAllocatorBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties)
{
    ALLOCATOR_PROPERTIES wanted = requested;
    if (properties->cbAlign > wanted.cbAlign)
        wanted.cbAlign = properties->cbAlign;
    ALLOCATOR_PROPERTIES actual;
    HRESULT result = allocator->SetProperties(&wanted, &actual);
    if (FAILED(result))
        return result;
    return actual.cBuffers >= wanted.cBuffers && actual.cbBuffer >= wanted.cbBuffer ? S_OK : E_FAIL;
}

HRESULT TestOutputPin::MakeDefaultAllocator(IMemAllocator** out)
{
    if (!useOwnAllocator)
        return OutputPinObject::MakeDefaultAllocator(out);
    MemorySampleAllocator* allocator = ConstructBufferAllocator("Test allocator", nullptr, nullptr);
    if (!allocator)
        return E_OUTOFMEMORY;
    return allocator->InnerQueryInterface(IID_IMemAllocator, reinterpret_cast<void**>(out));
}

HRESULT STDMETHODCALLTYPE TestOutputPin::EnumMediaTypes(IEnumMediaTypes** out)
{
    enumerateCalls++;
    return OutputPinObject::EnumMediaTypes(out);
}

TestInputPin::TestInputPin(TestFilter* filter, const WCHAR* name)
    : InputPinObject("Test input", filter, &filter->section, nullptr, name)
{
}

HRESULT TestInputPin::AcceptMediaType(const AM_MEDIA_TYPE* type)
{
    return ApplyRules(rules, &tried, type);
}

HRESULT TestInputPin::ProposeMediaType(int position, MediaTypeObject* type)
{
    return ProposeFromRules(rules, position, type);
}

HRESULT TestInputPin::FinishConnection(IPin*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestInputPin::EndOfStream()
{
    endOfStreamCalls++;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TestInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (FAILED(receiveConnectionFailure))
        return receiveConnectionFailure;
    return InputPinObject::ReceiveConnection(connector, type);
}

HRESULT STDMETHODCALLTYPE TestInputPin::EnumMediaTypes(IEnumMediaTypes** out)
{
    enumerateCalls++;
    return InputPinObject::EnumMediaTypes(out);
}

HRESULT STDMETHODCALLTYPE TestInputPin::GetAllocator(IMemAllocator** out)
{
    if (FAILED(getAllocatorFailure))
        return getAllocatorFailure;
    return InputPinObject::GetAllocator(out);
}

HRESULT STDMETHODCALLTYPE TestInputPin::Receive(IMediaSample* sample)
{
    receiveCalls++;
    if (!receiveResults.empty()) {
        HRESULT result = receiveResults.front();
        receiveResults.erase(receiveResults.begin());
        return result;
    }
    return InputPinObject::Receive(sample);
}

HRESULT STDMETHODCALLTYPE TestInputPin::ReceiveCanBlock()
{
    return answerCanBlock ? canBlock : InputPinObject::ReceiveCanBlock();
}

StatePin::StatePin(TestFilter* filter, int tag, std::vector<int>* log)
    : PinObject("State pin", filter, &filter->section, nullptr, L"State", PINDIR_INPUT), tag(tag), log(log)
{
}

HRESULT StatePin::OnPinActivate()
{
    log->push_back(100 + tag);
    return activateResult;
}

HRESULT StatePin::OnPinDeactivate()
{
    log->push_back(200 + tag);
    PinObject::OnPinDeactivate();
    return deactivateResult;
}

HRESULT StatePin::OnPinRun(REFERENCE_TIME)
{
    log->push_back(300 + tag);
    return runResult;
}

void MarkConnected(PinObject* pin)
{
    pin->connectedPin = pin->PinInterface();
    pin->connectedPin->AddRef();
}

void UnmarkConnected(PinObject* pin)
{
    IPin* peer = pin->connectedPin;
    pin->connectedPin = nullptr;
    peer->Release();
}

HRESULT STDMETHODCALLTYPE FakeGraph::QueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IFilterGraph))
        *out = static_cast<IFilterGraph*>(this);
    else if (IsEqualGUID(iid, IID_IMediaEventSink))
        *out = static_cast<IMediaEventSink*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeClock::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IReferenceClock)) {
        *out = static_cast<IReferenceClock*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE FakeClock::GetTime(REFERENCE_TIME* out)
{
    if (!out)
        return E_POINTER;
    *out = time;
    if (advancing) {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        *out += (now.QuadPart - setAt.QuadPart) * 10000000 / frequency.QuadPart;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeClock::AdviseTime(REFERENCE_TIME base, REFERENCE_TIME stream, HEVENT event,
                                                DWORD_PTR* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = advises.size() + 1;
    advises.push_back({base, stream, event, *cookie});
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeClock::Unadvise(DWORD_PTR cookie)
{
    unadvised.push_back(cookie);
    return S_OK;
}

void FakeClock::SetTime(REFERENCE_TIME newTime)
{
    time = newTime;
    QueryPerformanceCounter(&setAt);
}

void FakeClock::FireAdvise()
{
    if (!advises.empty())
        SetEvent(reinterpret_cast<HANDLE>(advises.back().event));
}

namespace {

DWORD WINAPI WatchdogThread(void* parameter)
{
    TestWatchdog* dog = static_cast<TestWatchdog*>(parameter);
    if (WaitForSingleObject(dog->done, dog->limit) == WAIT_TIMEOUT) {
        fprintf(stderr, "watchdog: %s took more than %lu ms\n", dog->what, static_cast<unsigned long>(dog->limit));
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    return 0;
}

} // namespace

TestWatchdog::TestWatchdog(DWORD limitMs, const char* whatText)
    : done(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread(nullptr), limit(limitMs), what(whatText)
{
    thread = CreateThread(nullptr, 0, WatchdogThread, this, 0, nullptr);
}

TestWatchdog::~TestWatchdog()
{
    SetEvent(done);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(done);
}
