// A real Direct3D 9 device on a hidden window, made by the test itself and
// put where the library keeps its device, so that what the setters send can
// be read back from the device.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/state_cache.h"

struct TestDevice {
    HMODULE module = nullptr;
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;

    // False when no device can be made (the caller skips).
    bool Open(int width = 640, int height = 480)
    {
        module = LoadLibraryA("d3d9.dll");
        if (!module)
            return false;
        typedef IDirect3D9*(WINAPI * Create9)(UINT);
        Create9 create = (Create9)(void*)GetProcAddress(module, "Direct3DCreate9");
        d3d = create ? create(D3D_SDK_VERSION) : nullptr;
        if (!d3d)
            return false;
        window = CreateWindowA("STATIC", "test", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        D3DPRESENT_PARAMETERS pp = {};
        pp.BackBufferWidth = (UINT)width;
        pp.BackBufferHeight = (UINT)height;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.hDeviceWindow = window;
        pp.Windowed = TRUE;
        pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device)))
            return false;
        DeviceObjects.d3d = d3d;
        DeviceObjects.device = device;
        device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &DeviceObjects.backBuffer);
        Screen.width = width;
        Screen.height = height;
        Screen.depth = 32;
        Screen.hardware = 1;
        Screen.started = 1;
        SetDefaultRenderStates();
        // As device creation leaves them: unknown, so the first setting is sent.
        DeviceStateCache.diffuseMaterialSource = 255;
        DeviceStateCache.specularMaterialSource = 255;
        return true;
    }

    void Close()
    {
        EndSceneIfNeeded();
        if (DeviceObjects.backBuffer)
            DeviceObjects.backBuffer->Release();
        DeviceObjects.backBuffer = nullptr;
        DeviceObjects.device = nullptr;
        DeviceObjects.d3d = nullptr;
        Screen.hardware = 0;
        if (device)
            device->Release();
        if (d3d)
            d3d->Release();
        if (window)
            DestroyWindow(window);
        device = nullptr;
        d3d = nullptr;
        window = nullptr;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state)
    {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }

    float RenderStateFloat(D3DRENDERSTATETYPE state)
    {
        DWORD bits = RenderState(state);
        float value;
        memcpy(&value, &bits, sizeof value);
        return value;
    }
};
