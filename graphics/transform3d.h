// The fixed-function 3D state beside the 2D drawing: world, view, projection
// and viewport matrices with a camera that derives them, lights behind light
// handles, the material, the global ambient colour and fog; and the reset of
// the whole draw state at graphics start-up. Every setter stores into the draw
// state, reaches the device through a cache and mirrors the shader constants.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

#include "graphics/handle_table.h"
#include "graphics/matrix_math.h"

enum { DEVICE_LIGHT_COUNT = 256 };

struct LightRecord {
    uint32_t check;
    int handle;
    D3DLIGHT9 light;
    int deviceIndex;          // -1 = none
    int enabled;
    int changed;
};

extern HandleTable LightHandles;

// The lights as last sent to the device (the other 3D states are cached in
// the device-state cache).
struct Device3DCache {
    D3DLIGHT9 lights[DEVICE_LIGHT_COUNT];
    int lightEnabled[DEVICE_LIGHT_COUNT];
    int highestEnabledLight;  // -1 = none
    int highestAssignedLight; // highest index the last light refresh gave; -1 = none
};

extern Device3DCache Device3D;

// Matrices and camera.
int SetWorldMatrix(const Matrix* m);
int SetViewMatrix(const Matrix* m);
int SetProjectionMatrix(const Matrix* m);
int SetViewportMatrix(const Matrix* m);
// Stores m as the user projection (mode 2) and recomputes.
int SetProjectionMatrixDirect(const Matrix* m);
int SetCameraClipPlanes(float nearZ, float farZ);
// Also selects the perspective mode.
int SetCameraFieldOfView(float fov);
int CenterCameraOnScreen(float x, float y);
int RecomputeCombinedMatrices();
int RecomputeProjection();
int SetDeviceWorldTransform(const Matrix* m);
int SetDeviceViewTransform(const Matrix* m);
int SetDeviceProjectionTransform(const Matrix* m);

// Lights and material.
int CreateLightRecord();
// -1 when every light slot is taken.
int CreateDirectionalLight(float x, float y, float z);
LightRecord* GetLightRecord(int handle);
int FreeLightHandle(int handle);
int DeleteAllLightsButDefault();
int SetLightForward(int index, int enable, const D3DLIGHT9* light);
int SetLightState(int index, const D3DLIGHT9* light);
int SetLightEnableState(int index, int enable);
int UploadLightAmbientConstants();
int SetMaterialState(const D3DMATERIAL9* material);
int SetGlobalAmbient(DWORD color);
int SetLightingEnable(int on);
int SetLightingEnableCached(int on);
int SetDiffuseMaterialSource(int on);
int SetSpecularMaterialSource(int on);
int ApplyLightingShaderState();

// Fog.
int SetFogKind(int mode);
int SetFogColorRGB(int r, int g, int b);
int SetFogRange(float start, float end);
int SetFogEnableCached(int on);
int SetFogVertexModeCached(int mode);
int SetFogColorCached(DWORD color);
int SetFogRangeCached(float start, float end);
int SetFogDensityCached(float density);

// For the per-draw set-up and the re-apply after a device reset.
// 1 when the draw state's material differs from the device's.
int MaterialChanged();
const D3DMATERIAL9* DrawMaterial();
int DrawUsesVertexColor();
// Sends the world, view, projection and viewport matrices again.
void ReapplyTransforms();
// Sets and enables every device light slot in use again.
void ReapplyDeviceLights();
// The light list changed or a full refresh was asked for.
int LightsNeedRefresh();
// Gives the enabled lights device indices (directional, then spot, then
// point lights), sends those whose index or content changed, switches off
// the indices no longer used and clears both flags.
void RefreshLightAssignments();

// Graphics start-up: every draw setting back to its default.
int ResetGraphicsState();
