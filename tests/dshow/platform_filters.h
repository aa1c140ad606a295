// The platform's filters that the graph tests connect the library's own to,
// and the pin lookup they share.
#pragma once

#include <windows.h>
#include <dshow.h>

// The WAVE parser, which pulls its input through IAsyncReader.
const CLSID kWaveParser = {0xD51BD5A1, 0x7548, 0x11CF, {0xA5, 0x20, 0x00, 0x80, 0xC7, 0x7E, 0xF5, 0x8A}};
// The Null Renderer, which takes samples through IMemInputPin (the headers
// do not declare its id).
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

// The filter's first pin of a direction, with a reference; null without one.
inline IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction)
{
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)))
        return nullptr;
    IPin* pin = nullptr;
    IPin* found = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        pin->QueryDirection(&d);
        if (d == direction)
            found = pin;
        else
            pin->Release();
    }
    pins->Release();
    return found;
}
