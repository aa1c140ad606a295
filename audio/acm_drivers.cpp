#include "audio/acm_drivers.h"

namespace {

const int MaxHeldDrivers = 32;
HACMDRIVER heldDrivers[MaxHeldDrivers];
int heldCount;
// 0 nothing held, 1 being opened or closed, 2 held.
volatile LONG holdState;

BOOL CALLBACK HoldOne(HACMDRIVERID id, DWORD_PTR, DWORD support)
{
    if (support & ACMDRIVERDETAILS_SUPPORTF_DISABLED)
        return TRUE;
    HACMDRIVER driver = nullptr;
    if (heldCount < MaxHeldDrivers && acmDriverOpen(&driver, id, 0) == 0 && driver)
        heldDrivers[heldCount++] = driver;
    return heldCount < MaxHeldDrivers;
}

// The first held driver that lists the format tag, or none.
HACMDRIVER HeldDriverFor(WORD formatTag)
{
    HoldAcmDrivers();
    if (holdState != 2)
        return nullptr;
    for (int i = 0; i < heldCount; i++) {
        ACMFORMATTAGDETAILSA details = {};
        details.cbStruct = sizeof details;
        details.dwFormatTag = formatTag;
        if (acmFormatTagDetailsA(heldDrivers[i], &details, ACM_FORMATTAGDETAILSF_FORMATTAG) == 0)
            return heldDrivers[i];
    }
    return nullptr;
}

} // namespace

void HoldAcmDrivers()
{
    if (InterlockedCompareExchange(&holdState, 1, 0) != 0)
        return;
    heldCount = 0;
    acmDriverEnum(HoldOne, 0, 0);
    InterlockedExchange(&holdState, 2);
}

void ReleaseAcmDrivers()
{
    if (InterlockedCompareExchange(&holdState, 1, 2) != 2)
        return;
    for (int i = 0; i < heldCount; i++)
        acmDriverClose(heldDrivers[i], 0);
    heldCount = 0;
    InterlockedExchange(&holdState, 0);
}

MMRESULT SuggestAcmFormat(WAVEFORMATEX* source, WAVEFORMATEX* out, DWORD outSize, DWORD flags)
{
    HACMDRIVER driver = HeldDriverFor(source->wFormatTag);
    if (driver && acmFormatSuggest(driver, source, out, outSize, flags) == 0)
        return 0;
    return acmFormatSuggest(nullptr, source, out, outSize, flags);
}

MMRESULT OpenAcmStream(HACMSTREAM* stream, WAVEFORMATEX* source, WAVEFORMATEX* out)
{
    HACMDRIVER driver = HeldDriverFor(source->wFormatTag);
    if (driver && acmStreamOpen(stream, driver, source, out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) == 0)
        return 0;
    return acmStreamOpen(stream, nullptr, source, out, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
}
