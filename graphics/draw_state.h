// The global draw state that every draw reads (blend mode and parameter,
// brightness, draw area, filter, transition graph, graph-creation settings,
// the 3D transform, camera, fog and material), its setters and accessors,
// and the colour value: a pixel value in the screen format.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

#include "graphics/device_reset.h"
#include "graphics/graph_record.h"
#include "graphics/matrix_math.h"

// The user32 call of the same name is never used; the record takes the name.
#undef DrawState

enum { TEXTURE_STAGE_COUNT = 8 };

// Z settings of one kind of draw.
struct DepthSet {
    int zEnable;
    int zWriteEnable;
    int zFunc;                // D3DCMPFUNC
    int depthBias;
};
static_assert(sizeof(DepthSet) == 4 * sizeof(int), "a depth set reads as four ints");

// Projection modes of the camera.
enum { CAMERA_PERSPECTIVE = 0, CAMERA_ORTHOGRAPHIC = 1, CAMERA_USER_MATRIX = 2 };

struct CameraState {
    int mode;                 // CAMERA_*
    float nearZ, farZ;
    float aspectScale;
    float fov;                // radians
    float orthoSize;
    Matrix userProjection;
    float centerX, centerY;   // screen centre
    float viewportScale;
};

struct FogState {
    int mode;                 // D3DFOGMODE
    uint32_t color;           // ARGB
    float start, end;
};

struct MaterialState {
    D3DMATERIAL9 material;
    int useVertexColor;
};

struct DrawState {
    int target;               // -2 back screen, -4 front screen, or a drawable graph
    RECT area;                // draw area, ordered and inside the target
    float areaLeftF, areaTopF, areaRightF, areaBottomF;
    DepthSet depth2D;
    DepthSet depth3D;
    int fillMode;             // D3DFILLMODE
    int cullMode;             // 0 none, 2 clockwise, other counter-clockwise
    int addressU[TEXTURE_STAGE_COUNT];
    int addressV[TEXTURE_STAGE_COUNT];
    int addressW[TEXTURE_STAGE_COUNT];
    float vertexDepth2D;      // z of every 2D vertex
    int filterMode;           // 0 nearest, 1 linear, 2 anisotropic
    int maxAnisotropy;
    int blendMode;            // 0..12
    int blendParam;           // 0..255
    int blendGraph;           // transition graph, -1 none
    int blendBorderParam;     // 0..255
    int blendBorderSize;      // 0..255
    uint32_t brightness;      // 0x00RRGGBB; white = unchanged
    GraphCreateSettings create;
    int noVSync;              // presents do not wait for the vertical blank
    int noVSyncRequest;       // the same, asked for before start-up
    int reducedScreen;
    int emptyArea;            // the draw area has no pixels: draws do nothing
    RECT requestedArea;       // as last passed to SetClipArea
    GraphRestoreHandler restoreHandler;
    int maskRequest;          // mask drawing as asked for
    int softDrawSuppress;

    // 3D transform: row-vector matrices.
    Matrix world, view, projection, viewport;
    Matrix areaViewport;          // viewport of the current draw area
    Matrix areaViewportInverse;
    Matrix combined;              // view x projection x viewport
    Matrix worldCombined;         // world x combined
    Float4 cameraRight, cameraUp, cameraForward;
    int combinedUpToDate;
    int worldSet, viewSet, projectionSet;
    CameraState camera;
    FogState fog;
    int defaultLight;             // light handle

    // Lights and material: kept by ResetGraphicsState.
    MaterialState material;
    int lightsChanged;            // device light indices must be re-assigned
    int lightsFullRefresh;
};

extern DrawState Draw;

// Values derived from the draw state for the Direct3D path.
struct DrawDerivedValues {
    uint32_t vertexColor;         // ARGB of the 2D vertices
    float blendTexWidth, blendTexHeight;
    float blendTexInvWidth, blendTexInvHeight;
    // 1: textured draws modulate by the vertex colour even at full
    // brightness. Modulating by white changes no texel, so a caller that
    // switches between white and other colours draw by draw (edged text)
    // keeps one stage program and one batch.
    int keepModulating;
};

extern DrawDerivedValues DrawDerived;

// Setters (0 unless stated).
// -1 for a mode outside 0 to 12 (nothing stored).
int SelectBlendMode(int mode, int param);
int SetBrightness(int r, int g, int b);
void SetDrawBrightPacked(uint32_t rgb);
int SetFilterMode(int mode);
// -1 for a bad handle, no device, or a graph without textures under Direct3D.
int SetTransitionGraph(int graph, int border, int size);
// Sets the draw area of the current target (any corner order; clamped).
// -1 when the target is not the screen and not a valid graph, or when
// Direct3D is in use without a device.
int SetClipArea(int x1, int y1, int x2, int y2);
// The four values last passed to SetClipArea, as given.
int GetRequestedClipArea(RECT* area);
int SetTransColorRgb(int r, int g, int b);
int EnableVSyncWait(int flag);

// Accessors.
int SetGraphColorDepth(int bits);
int GetGraphColorDepth();
int SetDrawableGraphMode(int flag);
int GetDrawableGraphMode();
int SetAlphaTestMode(int flag);
int GetAlphaTestMode();
int SetTransColorKeying(int flag);
int SetEmptyGraphAlpha(int flag);
int GetEmptyGraphAlpha();
int SetKeepSystemCopy(int flag);
int GetKeepSystemCopy();
int GetDrawTargetHandle();
// The size of the current draw target: the screen for -2 and -4, else the
// graph's; -1 (nothing written) when the target is neither.
int GetDrawTargetSize(int* width, int* height);
int IsVSyncWaitEnabled();
int SetReducedScreen(int flag);
int GetFilterMode();

// Derived values and colour.
uint32_t GetVertexDiffuseColor();
// Recomputes the vertex colour from mode, parameter and brightness.
void RefreshVertexColor();
// -1 when the blend graph is invalid or smaller than the given graph.
int CheckBlendGraphSize(const GraphRecord* graph);
// The colour value of a colour: X8R8G8B8 with the top byte 0xFF, or R5G6B5
// on a 16-bit screen.
uint32_t ColorFromRGB(int r, int g, int b);
int RGBFromColor(uint32_t color, int* r, int* g, int* b);
// Index of a graph picture's texture format kind.
int GraphFormatIndex(const GraphFormatDesc* desc);
