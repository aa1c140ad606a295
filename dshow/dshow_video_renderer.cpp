#include "dshow/dshow_video_renderer.h"

#include <mmsystem.h>
#include <uuids.h>

#include "dshow/dshow_lock.h"

namespace {

const LONG kLatenessLimit = 500000000;  // 50 s either way
const LONG kDrawEarlier = 80000;        // samples are handled 8 ms early
const LONGLONG kSinceCap = 10000000;    // 1 s

LONGLONG Clamp64(LONGLONG value, LONGLONG low, LONGLONG high)
{
    return value < low ? low : value > high ? high : value;
}

// 128-bit two's-complement arithmetic for MulDiv64 (no native 128-bit type
// on every target).
struct Wide {
    ULONGLONG high, low;
};

Wide MultiplyMagnitudes(ULONGLONG a, ULONGLONG b)
{
    ULONGLONG a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
    ULONGLONG p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    ULONGLONG middle = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
    Wide result;
    result.low = (middle << 32) | (p00 & 0xFFFFFFFFu);
    result.high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
    return result;
}

Wide Negate(Wide value)
{
    Wide result;
    result.low = ~value.low + 1;
    result.high = ~value.high + (result.low == 0 ? 1 : 0);
    return result;
}

Wide Add(Wide x, Wide y)
{
    Wide result;
    result.low = x.low + y.low;
    result.high = x.high + y.high + (result.low < x.low ? 1 : 0);
    return result;
}

ULONGLONG Magnitude(LONGLONG value)
{
    return value < 0 ? 0 - static_cast<ULONGLONG>(value) : static_cast<ULONGLONG>(value);
}

} // namespace

LONGLONG MulDiv64(LONGLONG a, LONGLONG b, LONGLONG d, LONGLONG c)
{
    Wide product = MultiplyMagnitudes(Magnitude(a), Magnitude(b));
    if ((a < 0) != (b < 0))
        product = Negate(product);
    Wide addend = {c < 0 ? ~0ull : 0, static_cast<ULONGLONG>(c)};
    Wide numerator = Add(product, addend);
    bool negative = (numerator.high >> 63) != 0;
    if (negative)
        numerator = Negate(numerator);
    if (d < 0)
        negative = !negative;
    ULONGLONG divisor = Magnitude(d);
    if (numerator.high >= divisor)
        return negative ? static_cast<LONGLONG>(0x8000000000000000ull) : 0x7FFFFFFFFFFFFFFFll;

    // Long division of the 128-bit magnitude; the quotient fits in 64 bits.
    ULONGLONG remainder = numerator.high, quotient = 0;
    for (int bit = 63; bit >= 0; bit--) {
        bool carry = (remainder >> 63) != 0;
        remainder = (remainder << 1) | ((numerator.low >> bit) & 1);
        quotient <<= 1;
        if (carry || remainder >= divisor) {
            remainder -= divisor;
            quotient |= 1;
        }
    }
    if (negative)
        return quotient > 0x8000000000000000ull ? static_cast<LONGLONG>(0x8000000000000000ull)
                                                 : static_cast<LONGLONG>(0 - quotient);
    return quotient > 0x7FFFFFFFFFFFFFFFull ? 0x7FFFFFFFFFFFFFFFll : static_cast<LONGLONG>(quotient);
}

LONG IntegerSquareRoot(LONG x)
{
    if (x > (1L << 30))
        return 32768;
    if (x <= 0)
        return 0;
    LONGLONG root = 1;
    if (x >= 2) {
        root = 2;
        while (root * root < x)
            root *= 2;
    }
    for (int step = 0; step < 3; step++) {
        root = (root * root + x) / (2 * root);
        if (root <= 0)
            break;
    }
    return static_cast<LONG>(root);
}

LONG ThrottleForProportion(LONG proportion)
{
    if (proportion >= 1000)
        return 0;
    // A negative proportion means nothing; below -166 the formula would
    // divide by zero or go negative. All are taken as the slowest real one.
    if (proportion < 0)
        proportion = 0;
    return 388880000 / (proportion + 167) - 330000;
}

VideoRendererFilter::VideoRendererFilter(REFCLSID classId, const char* objectName, IUnknown* outer,
                                         HRESULT* result)
    : RendererFilter(classId, objectName, outer, result), upstreamAcceptsQuality(FALSE), framesDropped(0),
      framesDrawn(0)
{
    ResetFrameStatistics();
}

VideoRendererFilter::~VideoRendererFilter() = default;

HRESULT STDMETHODCALLTYPE VideoRendererFilter::InnerQueryInterface(REFIID iid, void** out)
{
    if (IsEqualGUID(iid, IID_IQualProp))
        return HandOutInterface(static_cast<IQualProp*>(this), out);
    if (IsEqualGUID(iid, IID_IQualityControl))
        return HandOutInterface(static_cast<IQualityControl*>(this), out);
    return RendererFilter::InnerQueryInterface(iid, out);
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName)
{
    // Leaving the graph: the window (of a renderer that has one) is gone. The
    // caller holds the filter, so its own pointer needs no extra reference.
    if (!newGraph && graph)
        NotifyFilterEvent(EC_WINDOW_DESTROYED, reinterpret_cast<LONG_PTR>(BaseFilterInterface()), 0);
    return FilterObject::JoinFilterGraph(newGraph, newName);
}

void VideoRendererFilter::ThrottleSleep()
{
    LONG wait = throttle;
    Sleep(wait >= 1 ? static_cast<DWORD>(wait / 10000) : 0);
}

void VideoRendererFilter::StoreFrameTiming(LONG lateness, LONG interval)
{
    pendingLateness = lateness;
    pendingInterval = interval;
}

void VideoRendererFilter::BeforeDrawSample(IMediaSample*)
{
    RecordFrameStatistics(pendingLateness, pendingInterval);
    renderStart = timeGetTime();
}

void VideoRendererFilter::AfterDrawSample(IMediaSample*)
{
    LONG took = static_cast<LONG>((timeGetTime() - renderStart) * 10000);
    // A draw of more than twice both the average and the last is left out.
    if (took < 2LL * averageDrawTime || took < 2LL * lastDrawDuration)
        averageDrawTime = static_cast<LONG>((took + 3LL * averageDrawTime) / 4);
    lastDrawDuration = took;
    ThrottleSleep();
}

void VideoRendererFilter::RecordDirectDraw()
{
    averageDrawTime = 0;
    lastDrawDuration = 5000000;
    RecordFrameStatistics(pendingLateness, pendingInterval);
    ThrottleSleep();
}

void VideoRendererFilter::RecordFrameStatistics(LONG lateness, LONG interval)
{
    LONG ms = lateness / 10000;
    if (ms < -1000 || ms > 1000)
        ms = framesDrawn <= 1 ? 0 : ms < 0 ? -1000 : 1000;
    if (framesDrawn > 1) {
        syncOffsetSum += ms;
        syncOffsetSquares += static_cast<LONGLONG>(ms) * ms;
    }
    if (framesDrawn > 2) {
        LONG iv = interval / 10000;
        if (iv < 0 || iv > 1000)
            iv = 1000;
        intervalSquares += static_cast<LONGLONG>(iv) * iv;
        intervalSum += iv;
    }
    framesDrawn++;
}

void VideoRendererFilter::ResetFrameStatistics()
{
    lastDrawTime = -1000;
    streamingTime = timeGetTime();
    syncOffsetSum = syncOffsetSquares = 0;
    intervalSum = intervalSquares = 0;
    lastSampleStart = 0;
    averageDrawTime = lastDrawDuration = 0;
    frameBaseline = 0;
    averageEarliness = 0;
    renderStart = 0;
    framesDropped = framesDrawn = 0;
    pendingLateness = pendingInterval = 0;
    dropState = 0;
    earlyLead = 0;
    throttle = 0;
    averageFrameInterval = -1;
}

HRESULT VideoRendererFilter::OnStreamingStarted()
{
    ResetFrameStatistics();
    return S_OK;
}

HRESULT VideoRendererFilter::OnStreamingStopped()
{
    streamingTime = timeGetTime() - streamingTime;
    return S_OK;
}

BOOL VideoRendererFilter::ScheduleRenderSample(IMediaSample* sample)
{
    BOOL scheduled = RendererFilter::ScheduleRenderSample(sample);
    if (!scheduled)
        framesDropped++;
    return scheduled;
}

HRESULT VideoRendererFilter::DecideDrawTime(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    if (*start >= kDrawEarlier) {
        *start -= kDrawEarlier;
        *stop -= kDrawEarlier;
    }
    lastSampleStart = *start;

    REFERENCE_TIME clockNow = 0;
    clock->GetTime(&clockNow);
    REFERENCE_TIME now = clockNow - startTime;
    LONG late = static_cast<LONG>(Clamp64(now - *start, -kLatenessLimit, kLatenessLimit));

    upstreamAcceptsQuality = SendQualityMessage(late, now) == S_OK ? TRUE : FALSE;

    LONG frame = static_cast<LONG>(*stop - *start);
    LONGLONG slack = frameBaseline / 32;
    if (frame > frameBaseline + slack || frame < frameBaseline - slack) {
        averageFrameInterval = frame;
        frameBaseline = frame;
    }

    BOOL force = (upstreamAcceptsQuality && sample->IsDiscontinuity() == S_OK) || dropState == -1;

    if (late > 0)
        earlyLead = 0;
    else if (late < earlyLead && !force)
        earlyLead = earlyLead - earlyLead / 8;
    else
        earlyLead = late;

    LONG early = late < 0 ? -late : 0;
    LONG nextEarliness = static_cast<LONG>((3LL * averageEarliness + early) / 4);

    LONGLONG sinceRaw = now - lastDrawTime;
    LONGLONG since = sinceRaw > kSinceCap ? kSinceCap : sinceRaw;

    if (3LL * averageDrawTime > averageFrameInterval) {
        BOOL keep = upstreamAcceptsQuality ? (late <= 4LL * frame) : (2LL * late < frame);
        if (!keep && averageEarliness <= 80000 && sinceRaw <= kSinceCap) {
            dropState = -1;
            averageEarliness = nextEarliness;
            return E_FAIL;
        }
    }

    BOOL nowOk = force || (averageFrameInterval > frame + static_cast<LONGLONG>(frame / 16) &&
                           late > -10LL * frame);

    if (late >= -9000000 && nowOk) {
        averageEarliness = static_cast<LONG>(3LL * averageEarliness / 4);
        dropState = 0;
        averageFrameInterval = static_cast<LONG>((since + 3LL * averageFrameInterval) / 4);
        StoreFrameTiming(late, static_cast<LONG>(since));
        lastDrawTime = now;
        if (earlyLead > late)
            earlyLead = late;
        return S_OK;
    }

    dropState++;
    averageFrameInterval = frame;
    *start += earlyLead > -static_cast<LONGLONG>(frame) ? earlyLead : -static_cast<LONGLONG>(frame);
    averageEarliness = nextEarliness;
    LONG offset, interval;
    if (late < 0) {
        interval = static_cast<LONG>(Clamp64(*start - lastDrawTime, -kLatenessLimit, kLatenessLimit));
        offset = static_cast<LONG>(Clamp64(*start - lastSampleStart, -kLatenessLimit, kLatenessLimit));
        lastDrawTime = *start;
    } else {
        interval = static_cast<LONG>(since);
        offset = late;
        lastDrawTime = now;
    }
    StoreFrameTiming(offset, interval);
    return late < 0 ? S_FALSE : S_OK;
}

HRESULT VideoRendererFilter::SendQualityMessage(LONGLONG lateness, REFERENCE_TIME timeStamp)
{
    Quality quality;
    LONGLONG interval = averageFrameInterval;
    quality.Type = (interval >= 0 && interval <= 2LL * averageDrawTime) ? Flood : Famine;
    LONGLONG proportion = 1000;
    if (interval >= 0) {
        LONGLONG earliness = averageEarliness;
        if (lateness > 0) {
            proportion = 1000 - lateness / 10000;
            if (proportion < 500)
                proportion = 500;
        } else if (earliness > 20000 && lateness < -20000) {
            if (earliness >= interval)
                proportion = 2000;
            else
                proportion = 1000 * (interval / (interval - earliness + 20000));
            if (proportion > 2000)
                proportion = 2000;
        }
    }
    quality.Proportion = static_cast<long>(proportion);
    quality.Late = lateness + averageDrawTime / 2;
    quality.TimeStamp = timeStamp;

    if (!qualitySink && inputPin && inputPin->connectedPin) {
        IQualityControl* upstream = nullptr;
        if (SUCCEEDED(inputPin->connectedPin->QueryInterface(IID_IQualityControl,
                                                              reinterpret_cast<void**>(&upstream))))
            qualitySink = upstream;
    }
    if (!qualitySink)
        return S_FALSE;
    return qualitySink->Notify(BaseFilterInterface(), quality);
}

int VideoRendererFilter::FrameStatDeviation(LONG count, LONGLONG sumOfSquares, LONGLONG sum)
{
    if (!clock || count <= 1)
        return 0;
    LONGLONG variance = (sumOfSquares - MulDiv64(sum, sum, count, 0)) / (count - 1);
    return IntegerSquareRoot(static_cast<LONG>(variance));
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::get_FramesDroppedInRenderer(int* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&interfaceLock);
    *out = framesDropped;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::get_FramesDrawn(int* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&interfaceLock);
    *out = framesDrawn;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::get_AvgFrameRate(int* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&interfaceLock);
    LONG elapsed = static_cast<LONG>(streaming ? timeGetTime() - streamingTime : streamingTime);
    *out = elapsed <= 0 ? 0 : MulDiv(100000, framesDrawn, elapsed);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::get_Jitter(int* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&interfaceLock);
    *out = FrameStatDeviation(framesDrawn - 2, intervalSquares, intervalSum);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::get_AvgSyncOffset(int* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&interfaceLock);
    if (!clock || framesDrawn <= 1)
        *out = 0;
    else
        *out = static_cast<int>(syncOffsetSum / (framesDrawn - 1));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::get_DevSyncOffset(int* out)
{
    if (!out)
        return E_POINTER;
    CriticalSectionHold hold(&interfaceLock);
    *out = FrameStatDeviation(framesDrawn - 1, syncOffsetSquares, syncOffsetSum);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::Notify(IBaseFilter*, Quality quality)
{
    throttle = ThrottleForProportion(quality.Proportion);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE VideoRendererFilter::SetSink(IQualityControl* sink)
{
    if (sink)
        sink->AddRef();
    if (qualitySink)
        qualitySink->Release();
    qualitySink = sink;
    return S_OK;
}
