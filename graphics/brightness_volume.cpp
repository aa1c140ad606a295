// The full-brightness colour and the volume texture that holds it for every
// colour (a lookup for shaders that raise a colour to full value).
#include "graphics/device.h"

#include "runtime/log.h"

void MaxBrightnessColor(int r, int g, int b, int* outR, int* outG, int* outB)
{
    int c[3] = {r, g, b};
    for (int& v : c)
        v = v < 0 ? 0 : v > 255 ? 255 : v;
    int hi = 0, lo = 0;
    for (int i = 1; i < 3; i++) {
        if (c[i] > c[hi])
            hi = i;
        if (c[i] < c[lo])
            lo = i;
    }
    int out[3];
    if (c[hi] == c[lo]) {
        // Black and every grey have no hue: full value is white.
        out[0] = out[1] = out[2] = 255;
    } else {
        int mid = 3 - hi - lo;
        int max = c[hi], min = c[lo];
        int s = (max - min) * 255 / max;
        out[hi] = 255;
        out[lo] = 255 - s;
        out[mid] = 255 - s * (255 + (min - c[mid]) * 255 / (max - min)) / 255;
    }
    *outR = out[0];
    *outG = out[1];
    *outB = out[2];
}

enum { VOLUME_SIDE = 128 };

int CreateBrightnessVolumeTexture()
{
    DeviceObjectSet& d = DeviceObjects;
    if (!d.device)
        return -1;
    if (d.brightnessVolume) {
        d.brightnessVolume->Release();
        d.brightnessVolume = nullptr;
    }
    IDirect3DVolumeTexture9* source = nullptr;
    if (FAILED(d.device->CreateVolumeTexture(VOLUME_SIDE, VOLUME_SIDE, VOLUME_SIDE, 1, 0, D3DFMT_X8R8G8B8,
                                             D3DPOOL_DEFAULT, &d.brightnessVolume, nullptr))) {
        d.brightnessVolume = nullptr;
        WriteLog("RGBカラーを輝度を最大にしたRGB値に変換するためのボリュームテクスチャの作成に失敗しました\n");
        return -1;
    }
    if (FAILED(d.device->CreateVolumeTexture(VOLUME_SIDE, VOLUME_SIDE, VOLUME_SIDE, 1, 0, D3DFMT_X8R8G8B8,
                                             D3DPOOL_SYSTEMMEM, &source, nullptr))) {
        WriteLog("RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャの作成に失敗しました\n");
        d.brightnessVolume->Release();
        d.brightnessVolume = nullptr;
        return -1;
    }
    D3DLOCKED_BOX box;
    if (FAILED(source->LockBox(0, &box, nullptr, 0))) {
        WriteLog("RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャのロックに失敗しました\n");
        source->Release();
        d.brightnessVolume->Release();
        d.brightnessVolume = nullptr;
        return -1;
    }
    for (int z = 0; z < VOLUME_SIDE; z++) {
        for (int y = 0; y < VOLUME_SIDE; y++) {
            DWORD* row = (DWORD*)((BYTE*)box.pBits + (size_t)z * box.SlicePitch + (size_t)y * box.RowPitch);
            for (int x = 0; x < VOLUME_SIDE; x++) {
                int r = 255, g = 255, b = 255;
                if (x >= 8 || y >= 8 || z >= 8)
                    MaxBrightnessColor(2 * x, 2 * y, 2 * z, &r, &g, &b);
                row[x] = 0xFF000000u | (DWORD)r << 16 | (DWORD)g << 8 | (DWORD)b;
            }
        }
    }
    source->UnlockBox(0);
    d.device->UpdateTexture(source, d.brightnessVolume);
    source->Release();
    return 0;
}
