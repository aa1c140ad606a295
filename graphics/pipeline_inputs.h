// The draw-state values that the vertex batch, the state caches and the
// per-draw set-up read, in one place.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include "graphics/draw_state.h"
#include "graphics/graph_handles.h"
#include "graphics/shaders.h"
#include "graphics/transform3d.h"

inline int DrawBlendMode() { return Draw.blendMode; }
inline unsigned int DrawBrightness() { return Draw.brightness; }
inline int DrawKeepsModulating() { return DrawDerived.keepModulating; }
inline int DrawFilterMode() { return Draw.filterMode; }
inline int DrawMaxAnisotropy() { return Draw.maxAnisotropy; }
inline int DrawCullMode() { return Draw.cullMode; }
inline int DrawFillMode() { return Draw.fillMode; }
// Z enable, Z write, Z function, depth bias.
inline const int* DrawDepthSet(int threeD) { return threeD ? &Draw.depth3D.zEnable : &Draw.depth2D.zEnable; }
// coordinate 0 U, 1 V, 2 W: the eight per-stage address modes (writable).
inline int* DrawAddressModes(int coordinate)
{
    return coordinate == 0 ? Draw.addressU : coordinate == 1 ? Draw.addressV : Draw.addressW;
}
inline RECT DrawAreaRect() { return Draw.area; }
inline void SetDrawVertexColor(unsigned int colour) { DrawDerived.vertexColor = colour; }
inline unsigned int DrawVertexColor() { return DrawDerived.vertexColor; }
