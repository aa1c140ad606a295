#include "graphics/pipeline_inputs.h"

// Stand-ins until the draw state and the 3D state exist: the values the
// reset of the graphics state gives, and 3D calls that send nothing.
PipelineInputSet PipelineInputs = {
    0, 0xFFFFFF, 0, 1, 0, D3DFILL_SOLID,
    {0, 0, D3DCMP_LESSEQUAL, 0}, {0, 0, D3DCMP_LESSEQUAL, 0},
    {{3, 3, 3, 3, 3, 3, 3, 3}, {3, 3, 3, 3, 3, 3, 3, 3}, {3, 3, 3, 3, 3, 3, 3, 3}},
    {0, 0, 640, 480}, 0xFFFFFFFF, -1};

int SetLightingEnableCached(int) { return 0; }
int SetFogEnableCached(int) { return 0; }
int SetFogVertexModeCached(int) { return 0; }
int SetFogColorCached(DWORD) { return 0; }
int SetFogRangeCached(float, float) { return 0; }
int SetFogDensityCached(float) { return 0; }
int SetMaterialState(const D3DMATERIAL9*) { return 0; }
int SetDiffuseMaterialSource(int) { return 0; }
int SetSpecularMaterialSource(int) { return 0; }
int SetGlobalAmbient(DWORD) { return 0; }
int ApplyLightingShaderState() { return 0; }
int MaterialChanged() { return 0; }
static D3DMATERIAL9 material;
const D3DMATERIAL9* DrawMaterial() { return &material; }
int DrawUsesVertexColor() { return 1; }
void ReapplyTransforms() {}
void ReapplyDeviceLights() {}
int LightsNeedRefresh() { return 0; }
void RefreshLightAssignments() {}
int SetPixelShaderConstants(int, int, const float*) { return 0; }
IDirect3DBaseTexture9* GraphFirstTexture(int) { return nullptr; }
