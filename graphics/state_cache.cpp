#include "graphics/state_cache.h"

// Stand-ins until the caches are filled in.
DeviceStateSet DeviceStateCache;

int SetZEnable(int) { return -1; }
int SetZWriteEnable(int) { return -1; }
int SetZFunc(int) { return -1; }
int SetDepthBias(int) { return -1; }
int SetCullMode(int) { return 0; }
int SetShadeModeCached(int) { return -1; }
int SetFillModeCached(int) { return -1; }
int SetSpecularEnableCached(int) { return -1; }
int SetTextureFilter(int) { return -1; }
int SetMaxAnisotropy(int) { return -1; }
int SetTextureAddress(int, int) { return 0; }
int SetTextureAddressU(int, int) { return 0; }
int SetTextureAddressV(int, int) { return 0; }
int SetTextureAddressW(int, int) { return 0; }
int SetTexCoordTransform(int, int, const float*) { return 0; }
int SetViewportRect(const D3DVIEWPORT9*) { return -1; }
int SetViewportFromRect(int, int, int, int) { return -1; }
int SetScissorRectCached(const RECT*) { return -1; }
int SetRenderTargetCached(IDirect3DSurface9*) { return -1; }
void ResetTexCoordIndices() {}
void RefreshDeviceLights() {}
void ApplyDefault2DStates() {}
void SetDefaultRenderStates() {}
int ReapplyAllStates() { return -1; }
