// MP3 (and whatever else the platform's splitters and decoders take) decoded
// whole to PCM by a DirectShow graph: the compressed bytes are served from
// memory by the library's reader, the graph builder adds a splitter and a
// decoder between it and the library's sample grabber, which collects every
// PCM sample, and the platform's Null Renderer ends the chain. The graph runs
// without a clock so it decodes as fast as it can.
#include "audio/mp3_directshow.h"

#include <dshow.h>
#include <stdint.h>
#include <string.h>

#include "dshow/dshow_mem_reader.h"
#include "dshow/dshow_sample_grabber.h"
#include "runtime/log.h"
#include "runtime/memory.h"
#include "runtime/message_pump.h"

DWORD Mp3GraphStallLimitMs = 10000;
DWORD Mp3GraphBuildLimitMs = 10000;

namespace {

// The headers do not declare the Null Renderer's id.
const CLSID kNullRendererId = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

const int32_t kGrowthStep = 1048576;

// One running conversion as the grabber callback sees it.
struct Mp3Sink {
    SoundConverter* converter;
    DWORD ticket;
    LONG deliveries; // samples appended so far: the caller's sign of progress
    Mp3Sink* next;
};

SRWLOCK sinkLock = SRWLOCK_INIT;
Mp3Sink* sinks = nullptr;
DWORD lastTicket = 0;

Mp3Sink* FindSink(DWORD ticket)
{
    for (Mp3Sink* s = sinks; s; s = s->next)
        if (s->ticket == ticket)
            return s;
    return nullptr;
}

LONG SinkDeliveries(DWORD ticket)
{
    AcquireSRWLockShared(&sinkLock);
    Mp3Sink* s = FindSink(ticket);
    LONG n = s ? s->deliveries : 0;
    ReleaseSRWLockShared(&sinkLock);
    return n;
}

// Appends n bytes to the decoded memory, growing it in whole steps until
// they fit. On a failed growth the data is dropped and the pointer left null,
// which the caller reports once the graph completes.
void AppendPcm(MemoryConverterState* m, const BYTE* bytes, LONG n)
{
    int64_t need = (int64_t)m->size + n;
    if (need > m->capacity) {
        int64_t capacity = m->capacity + ((need - m->capacity + kGrowthStep - 1) / kGrowthStep) * kGrowthStep;
        if (capacity > INT32_MAX)
            capacity = INT32_MAX;
        unsigned char* grown = need <= INT32_MAX ? (unsigned char*)AllocTracked((size_t)capacity, "", 0) : nullptr;
        if (!grown) {
            FreeTracked(m->pcm);
            m->pcm = nullptr;
            return;
        }
        if (m->size > 0)
            memcpy(grown, m->pcm, (size_t)m->size);
        FreeTracked(m->pcm);
        m->pcm = grown;
        m->capacity = (int32_t)capacity;
    }
    memcpy(m->pcm + m->size, bytes, (size_t)n);
    m->size += n;
}

DWORD WINAPI StopGraph(void* control)
{
    ((IMediaControl*)control)->Stop();
    ((IMediaControl*)control)->Release();
    return 0;
}

// Stops the graph, waiting for its streaming threads for at most the stall
// limit: a platform filter that never lets go must not hold the caller. The
// stop then finishes on its own thread, which keeps the graph (and so the
// reader and its bytes) alive until it does.
void StopWithin(IMediaControl* control)
{
    control->AddRef();
    HANDLE thread = CreateThread(nullptr, 0, StopGraph, control, 0, nullptr);
    if (!thread) {
        StopGraph(control);
        return;
    }
    if (WaitForSingleObject(thread, Mp3GraphStallLimitMs) != WAIT_OBJECT_0)
        WriteLogEntry("MP3変換のグラフが停止しません");
    CloseHandle(thread);
}

// Everything one conversion holds; Release gives it all back.
struct Mp3Graph {
    unsigned char* compressed = nullptr;
    D_CMemStream* stream = nullptr;
    IBaseFilter* reader = nullptr;  // counted: the library's reader
    IBaseFilter* grabber = nullptr; // counted: the library's grabber
    D_CSampleGrabber* grabberObject = nullptr;
    IBaseFilter* nullRenderer = nullptr;
    IGraphBuilder* graph = nullptr;
    IMediaFilter* mediaFilter = nullptr;
    IMediaControl* control = nullptr;
    IMediaEvent* events = nullptr;
    DWORD ticket = 0;
    bool running = false;
    MediaTypeObject readerType, grabberType, connectedType;

    void Release(SoundConverter* c)
    {
        // The graph stops before anything it reads from goes away.
        if (running && control)
            StopWithin(control);
        if (ticket)
            UnregisterMp3Sink(ticket);
        if (events)
            events->Release();
        if (mediaFilter)
            mediaFilter->Release();
        if (control)
            control->Release();
        if (graph)
            graph->Release();
        if (nullRenderer)
            nullRenderer->Release();
        if (grabber)
            grabber->Release();
        // The stream and the compressed bytes stay while anything still holds
        // the reader that reads them.
        ULONG readerLeft = reader ? reader->Release() : 0;
        if (readerLeft == 0) {
            ReleaseMemStream(stream);
            FreeTracked(compressed);
        }
        if (c) {
            FreeTracked(c->memory.pcm);
            c->memory.pcm = nullptr;
        }
        ClearMediaTypeObject(&readerType);
        ClearMediaTypeObject(&grabberType);
        ClearMediaTypeObject(&connectedType);
    }
};

void Discard(Mp3Graph* g, SoundConverter* c)
{
    g->Release(c);
    delete g;
}

int Fail(Mp3Graph* g, SoundConverter* c, const char* text)
{
    WriteLogEntry(text);
    Discard(g, c);
    return -1;
}

// One graph build on a thread of its own: the reader's output connected to
// the grabber's input through whatever the graph builder puts between them.
// A platform splitter can wait for ever on a damaged stream inside that
// connection; the caller then gives the build up and leaves the graph record
// with it, to be freed if the connection ever returns.
struct RenderJob {
    LONG holders;         // the caller and the thread
    IGraphBuilder* graph; // counted until Connect returns
    IPin* pin;            // counted until Connect returns
    IPin* in;             // counted until Connect returns
    HRESULT result;
    HANDLE done;
    Mp3Graph* orphan;     // set by a caller that gave up
};

void LeaveRenderJob(RenderJob* job)
{
    if (InterlockedDecrement(&job->holders) != 0)
        return;
    if (job->orphan)
        Discard(job->orphan, nullptr);
    CloseHandle(job->done);
    delete job;
}

DWORD WINAPI RenderThread(void* parameter)
{
    RenderJob* job = (RenderJob*)parameter;
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    job->result = job->graph->Connect(job->pin, job->in);
    // The references go before the caller hears of the end: the reader's
    // last release frees the bytes it reads.
    job->in->Release();
    job->pin->Release();
    job->graph->Release();
    if (SUCCEEDED(com))
        CoUninitialize();
    SetEvent(job->done);
    LeaveRenderJob(job);
    return 0;
}

// Connects the pins within the build limit, pumping the caller's messages:
// 1 when the connection was made, 0 when it failed, -1 when it did not return
// in time (the graph record then belongs to the build's thread). The input
// pin's reference passes to the call.
int ConnectWithin(Mp3Graph* g, IPin* pin, IPin* in)
{
    if (!in)
        return 0;
    RenderJob* job = new RenderJob();
    job->holders = 2;
    job->graph = g->graph;
    job->pin = pin;
    job->in = in;
    job->graph->AddRef();
    job->pin->AddRef();
    job->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = job->done ? CreateThread(nullptr, 0, RenderThread, job, 0, nullptr) : nullptr;
    if (!thread) {
        job->in->Release();
        job->pin->Release();
        job->graph->Release();
        job->holders = 1;
        LeaveRenderJob(job);
        return 0;
    }
    CloseHandle(thread);
    DWORD start = GetTickCount();
    bool finished = false;
    while (!finished) {
        finished = WaitForSingleObject(job->done, 50) == WAIT_OBJECT_0;
        // The window's end is answered by the run that follows the build.
        RunMessagePump();
        if (!finished && GetTickCount() - start > Mp3GraphBuildLimitMs)
            break;
    }
    if (!finished) {
        job->orphan = g;
        LeaveRenderJob(job);
        return -1;
    }
    HRESULT result = job->result;
    LeaveRenderJob(job);
    return result == S_OK ? 1 : 0;
}

// Connects two pins through the graph: `direct` only with each other, else
// with whatever filters the graph builder puts between them. Both pins are
// released; S_OK or the failure.
HRESULT ConnectPins(IGraphBuilder* graph, IPin* out, IPin* in, bool direct)
{
    HRESULT hr = E_FAIL;
    if (out && in)
        hr = direct ? graph->ConnectDirect(out, in, nullptr) : graph->Connect(out, in);
    if (out)
        out->Release();
    if (in)
        in->Release();
    return hr;
}

// The connected PCM format as the converter's output format; -1 with the
// log text when it cannot be one.
int TakeConnectedFormat(const AM_MEDIA_TYPE* type, WAVEFORMATEX* out, const char** why)
{
    if (!IsEqualGUID(type->formattype, FORMAT_WaveFormatEx) || !type->pbFormat ||
        type->cbFormat < sizeof(PCMWAVEFORMAT)) {
        *why = "サポート外のストリームフォーマットです。";
        return -1;
    }
    PCMWAVEFORMAT f;
    memcpy(&f, type->pbFormat, sizeof f);
    *why = "サポート外のオーディオフォーマットです。";
    if (f.wf.wFormatTag != WAVE_FORMAT_PCM)
        return -1;
    // No division by zero, and a byte rate the converter's sizes can hold.
    uint64_t rate = (uint64_t)f.wf.nBlockAlign * f.wf.nSamplesPerSec;
    if (f.wf.nChannels == 0 || f.wf.nBlockAlign == 0 || rate == 0 || rate > INT32_MAX)
        return -1;
    memset(out, 0, sizeof *out);
    out->wFormatTag = WAVE_FORMAT_PCM;
    out->nChannels = f.wf.nChannels;
    out->nSamplesPerSec = f.wf.nSamplesPerSec;
    out->nBlockAlign = f.wf.nBlockAlign;
    out->nAvgBytesPerSec = (DWORD)rate;
    out->wBitsPerSample = (WORD)(f.wf.nBlockAlign * 8 / f.wf.nChannels);
    out->cbSize = 0;
    // The same formats as the converters give: the sound buffers take no other.
    return IsPlayablePcmFormat(out) ? 0 : -1;
}

} // namespace

DWORD RegisterMp3Sink(SoundConverter* converter)
{
    Mp3Sink* s = (Mp3Sink*)AllocTracked(sizeof(Mp3Sink), "", 0);
    if (!s)
        return 0;
    AcquireSRWLockExclusive(&sinkLock);
    do
        lastTicket++;
    while (lastTicket == 0 || FindSink(lastTicket));
    s->converter = converter;
    s->ticket = lastTicket;
    s->deliveries = 0;
    s->next = sinks;
    sinks = s;
    ReleaseSRWLockExclusive(&sinkLock);
    return s->ticket;
}

void UnregisterMp3Sink(DWORD ticket)
{
    AcquireSRWLockExclusive(&sinkLock);
    Mp3Sink* found = nullptr;
    for (Mp3Sink** at = &sinks; *at; at = &(*at)->next) {
        if ((*at)->ticket == ticket) {
            found = *at;
            *at = found->next;
            break;
        }
    }
    ReleaseSRWLockExclusive(&sinkLock);
    FreeTracked(found);
}

HRESULT __cdecl OnMp3Sample(IMediaSample* sample, REFERENCE_TIME*, REFERENCE_TIME*, BOOL, DWORD userValue)
{
    if (!sample)
        return 0;
    // The lock keeps the converter registered until the append is done.
    AcquireSRWLockExclusive(&sinkLock);
    Mp3Sink* s = FindSink(userValue);
    MemoryConverterState* m = s ? &s->converter->memory : nullptr;
    if (m && m->pcm) {
        BYTE* bytes = nullptr;
        LONG n = sample->GetActualDataLength();
        if (n > 0 && SUCCEEDED(sample->GetPointer(&bytes)) && bytes)
            AppendPcm(m, bytes, n);
        s->deliveries++;
    }
    ReleaseSRWLockExclusive(&sinkLock);
    return 0;
}

IPin* FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction)
{
    IEnumPins* pins = nullptr;
    if (!filter || filter->EnumPins(&pins) != S_OK || !pins)
        return nullptr;
    IPin* found = nullptr;
    IPin* pin = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK && pin) {
        PIN_DIRECTION d;
        if (pin->QueryDirection(&d) == S_OK && d == direction)
            found = pin;
        else
            pin->Release();
        pin = nullptr;
    }
    pins->Release();
    return found;
}

int ConvertMp3ToPcm(SoundConverter* c)
{
    MemoryConverterState* m = &c->memory;
    *m = MemoryConverterState();
    long size = GetConverterStreamSize(c);
    StreamDescriptor* s = &c->source;
    s->ops.seek(s->handle, 0, SEEK_SET);
    if (size <= 0)
        return -1;
    // On the heap: a graph build that outlives its time limit keeps it.
    Mp3Graph* g = new Mp3Graph;
    g->compressed = (unsigned char*)AllocTracked((size_t)size, "", 0);
    if (!g->compressed) {
        Discard(g, c);
        return -1;
    }
    // A stream that delivers less than it measured is taken as it reads.
    size_t length = s->ops.read(g->compressed, 1, (size_t)size, s->handle);
    if (length == 0 || length > (size_t)size) {
        Discard(g, c);
        return -1;
    }

    g->stream = CreateMemStream(g->compressed, (LONGLONG)length, 0xFFFFFFFF);
    if (!g->stream)
        return Fail(g, c, "MP3変換用 D_CMemStream の作成に失敗しました");

    g->readerType.majortype = MEDIATYPE_Stream;
    g->readerType.subtype = MEDIASUBTYPE_MPEG1Audio;
    HRESULT hr = S_OK;
    D_CMemReader* reader = CreateMemReader(g->stream, &g->readerType, &hr);
    if (!reader)
        return Fail(g, c, "MP3変換用 D_CMemReader の作成に失敗しました");
    g->reader = reader->BaseFilterInterface();
    g->reader->AddRef();

    if (FAILED(CoCreateInstance(kNullRendererId, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                (void**)&g->nullRenderer))) {
        g->nullRenderer = nullptr;
        return Fail(g, c, "MP3変換用 NullRender の作成に失敗しました");
    }
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, (void**)&g->graph))) {
        g->graph = nullptr;
        return Fail(g, c, "MP3変換用 IGraphBuilder の作成に失敗しました");
    }

    hr = S_OK;
    g->grabberObject = CreateSampleGrabber(nullptr, &hr);
    if (!g->grabberObject)
        return Fail(g, c, "MP3変換用 D_CSampleGrabber の作成に失敗しました");
    g->grabber = g->grabberObject->BaseFilterInterface();
    g->grabber->AddRef();

    g->grabberType.majortype = MEDIATYPE_Audio;
    g->grabberType.subtype = MEDIASUBTYPE_PCM;
    if (g->grabberObject->SetGrabberAcceptedMediaType(&g->grabberType) != S_OK)
        return Fail(g, c, "サンプルグラバフィルタのメディアタイプの設定に失敗しました");
    if (g->graph->AddFilter(g->grabber, L"SampleGrabber") != S_OK)
        return Fail(g, c, "サンプルグラバフィルタのグラフへの追加に失敗しました");
    if (g->graph->AddFilter(g->reader, L"MemFile") != S_OK)
        return Fail(g, c, "メモリファイルフィルタのグラフへの追加に失敗しました");
    // The chain is built pin to pin: the graph builder supplies only what
    // lies between the reader and the grabber (the splitter and decoder), and
    // the Null Renderer is connected straight to the grabber. A Render of the
    // whole chain needs a default audio renderer behind the grabber; where
    // the device list it looks in is rewritten by other processes meanwhile
    // (Wine's), it finds none there, backs off, and connects the splitter to
    // the renderer with the grabber left out.
    int built = ConnectWithin(g, reader->outputPin.PinInterface(), FindPinByDirection(g->grabber, PINDIR_INPUT));
    if (built < 0) {
        // The build still runs on its own thread, which now owns the graph.
        WriteLogEntry("グラフの構築に失敗しました");
        return -1;
    }
    if (built == 0)
        return Fail(g, c, "グラフの構築に失敗しました");
    if (g->graph->AddFilter(g->nullRenderer, L"File Renderer") != S_OK)
        return Fail(g, c, "ヌルレンダラーフィルタのグラフへの追加に失敗しました");
    if (ConnectPins(g->graph, FindPinByDirection(g->grabber, PINDIR_OUTPUT),
                    FindPinByDirection(g->nullRenderer, PINDIR_INPUT), true) != S_OK)
        return Fail(g, c, "既存レンダラーをNullレンダラーと交換する処理が失敗しました");

    if (g->grabberObject->GetConnectedMediaType(&g->connectedType) != S_OK)
        return Fail(g, c, "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。");
    const char* why = nullptr;
    if (TakeConnectedFormat(&g->connectedType, &c->format, &why) != 0)
        return Fail(g, c, why);

    g->ticket = RegisterMp3Sink(c);
    if (!g->ticket || g->grabberObject->SetGrabberCallback(OnMp3Sample, g->ticket) != S_OK)
        return Fail(g, c, "コールバック関数を設定できません");

    // Ten times the compressed size covers ordinary bitrates; the callback
    // grows the block when it does not.
    uint64_t capacity = (uint64_t)length * 10;
    m->pcm = capacity <= INT32_MAX ? (unsigned char*)AllocTracked((size_t)capacity, "", 0) : nullptr;
    if (!m->pcm)
        return Fail(g, c, "PCMデータを格納するメモリ領域の確保に失敗しました");
    m->capacity = (int32_t)capacity;
    m->size = 0;

    if (g->graph->QueryInterface(IID_IMediaFilter, (void**)&g->mediaFilter) != S_OK) {
        g->mediaFilter = nullptr;
        return Fail(g, c, "IMediaFilter の取得に失敗しました");
    }
    g->mediaFilter->SetSyncSource(nullptr);
    if (g->graph->QueryInterface(IID_IMediaControl, (void**)&g->control) != S_OK) {
        g->control = nullptr;
        return Fail(g, c, "IMediaControl の取得に失敗しました");
    }
    if (g->graph->QueryInterface(IID_IMediaEvent, (void**)&g->events) != S_OK) {
        g->events = nullptr;
        return Fail(g, c, "IMediaEvent の取得に失敗しました");
    }

    g->running = true;
    g->control->Run();
    // A platform filter that never completes must not hold the caller: the
    // wait ends once the graph has gone the stall limit without a sample.
    LONG seen = 0;
    DWORD lastProgress = GetTickCount();
    for (;;) {
        if (RunMessagePump() == -1)
            return Fail(g, c, "MP3変換の途中でソフトが終了しました");
        LONG code = 0;
        hr = g->events->WaitForCompletion(100, &code);
        if (hr == S_OK && code == EC_ERRORABORT)
            return Fail(g, c, "MP3変換の途中でエラーが発生しました");
        if (hr == S_OK && code == EC_COMPLETE) {
            if (!m->pcm)
                return Fail(g, c, "PCMデータを格納するメモリ領域の再確保に失敗しました");
            break;
        }
        LONG delivered = SinkDeliveries(g->ticket);
        if (delivered != seen) {
            seen = delivered;
            lastProgress = GetTickCount();
        } else if (GetTickCount() - lastProgress > Mp3GraphStallLimitMs) {
            return Fail(g, c, "MP3変換の途中でエラーが発生しました");
        }
    }

    c->method = kConverterMemory;
    c->bufferSize = (int32_t)c->format.nAvgBytesPerSec;
    m->readPosition = 0;
    // The PCM data now belongs to the converter.
    Discard(g, nullptr);
    return 0;
}
