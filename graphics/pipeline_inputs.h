// The draw-state values that the vertex batch, the state caches and the
// per-draw set-up read, in one place.
#pragma once

#include <windows.h>
#include <d3d9.h>

// Stand-in record until the global draw state exists.
struct PipelineInputSet {
    int blendMode;
    unsigned int brightness;     // 0x00RRGGBB
    int filterMode, maxAnisotropy;
    int cullMode, fillMode;
    int depth2D[4], depth3D[4];  // Z enable, Z write, Z function, depth bias
    int address[3][8];           // U, V, W per stage
    RECT drawArea;
    unsigned int vertexColor;
    int blendGraph;              // -1 none
};

extern PipelineInputSet PipelineInputs;

inline int DrawBlendMode() { return PipelineInputs.blendMode; }
inline unsigned int DrawBrightness() { return PipelineInputs.brightness; }
inline int DrawFilterMode() { return PipelineInputs.filterMode; }
inline int DrawMaxAnisotropy() { return PipelineInputs.maxAnisotropy; }
inline int DrawCullMode() { return PipelineInputs.cullMode; }
inline int DrawFillMode() { return PipelineInputs.fillMode; }
inline const int* DrawDepthSet(int threeD) { return threeD ? PipelineInputs.depth3D : PipelineInputs.depth2D; }
// coordinate 0 U, 1 V, 2 W: the eight per-stage address modes (writable).
inline int* DrawAddressModes(int coordinate) { return PipelineInputs.address[coordinate]; }
inline RECT DrawAreaRect() { return PipelineInputs.drawArea; }
inline void SetDrawVertexColor(unsigned int colour) { PipelineInputs.vertexColor = colour; }
inline unsigned int DrawVertexColor() { return PipelineInputs.vertexColor; }

// The 3D state calls (stand-ins until the 3D state code exists).
int SetLightingEnableCached(int on);
int SetFogEnableCached(int on);
int SetFogVertexModeCached(int mode);
int SetFogColorCached(DWORD colour);
int SetFogRangeCached(float start, float end);
int SetFogDensityCached(float density);
int SetMaterialState(const D3DMATERIAL9* material);
int SetDiffuseMaterialSource(int on);
int SetSpecularMaterialSource(int on);
int SetGlobalAmbient(DWORD colour);
int ApplyLightingShaderState();
// Lit draws: whether the material of the draw state differs from the device's.
int MaterialChanged();
const D3DMATERIAL9* DrawMaterial();
int DrawUsesVertexColor();
// Sends the world, view, projection and viewport matrices again.
void ReapplyTransforms();
// Sets and enables every device light slot in use again.
void ReapplyDeviceLights();
// The light records: lights-changed and full-refresh flags, and the walk.
int LightsNeedRefresh();
void RefreshLightAssignments();
// The pixel-shader constants (the texture factor goes to register 5).
int SetPixelShaderConstants(int first, int count, const float* data);
// The texture of a graph's first tile (user stage programs may name graphs).
IDirect3DBaseTexture9* GraphFirstTexture(int graph);
