// The device-state cache: every state that 2D drawing touches keeps a copy
// here, and its setter calls the device only when the value changes (flushing
// the vertex batch first, so queued vertices keep the states they were queued
// with). The force flag makes every setter send its value regardless.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

#include "graphics/blend_modes.h"

enum { CACHED_STAGE_COUNT = 8 };

struct CachedStageState {
    IDirect3DBaseTexture9* texture;
    int texCoordIndex;
    int resultToTemp;
    int16_t alphaArg1, alphaArg2, alphaOp;
    int16_t colorArg1, colorArg2, colorOp;
    int magFilter, minFilter, mipFilter;
    int maxAnisotropy;
    int addressU, addressV, addressW;
    int texTransformEnable;
    float texTransform[16];
};

struct DeviceStateSet {
    D3DVIEWPORT9 viewport;
    RECT scissor;
    IDirect3DSurface9* renderTarget;
    int stageCount;                 // of the last applied stage program

    // Blend render states.
    int alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable;
    DWORD textureFactor;
    int srcBlend, destBlend, blendOp;

    CachedStageState stages[CACHED_STAGE_COUNT];

    int userProgramActive;
    UserStageProgram userProgram;
    int userProgramTexturesOnly;

    int filterMode;                 // 3 after the defaults: no setter uses it
    int maxAnisotropy;
    int zEnable, zWriteEnable, zFunc, depthBias;
    int shadeMode, fillMode, cullMode;

    // The 3D states, kept by the 3D setters.
    int fogEnable, fogVertexMode;
    DWORD fogColor;
    float fogStart, fogEnd, fogDensity;
    int lighting, specularEnable;
    int diffuseMaterialSource, specularMaterialSource;   // 255 = unknown
    float ambient[4];               // a, r, g, b, each 0.0 to 1.0
    D3DMATERIAL9 material;

    // Per-draw values.
    int modulate, useAlpha;
    int blendMode, alphaKind, transKind;
    IDirect3DBaseTexture9* mainTexture;
    IDirect3DBaseTexture9* blendTexture;
    int blendBorderParam, blendBorderSize;
    int blendDirty, textureDirty;

    // Shader caches.
    IDirect3DVertexShader9* vertexShader;
    IDirect3DPixelShader9* pixelShader;
    IDirect3DVertexDeclaration9* vertexDeclaration;

    int force;
};

extern DeviceStateSet DeviceStateCache;

int SetZEnable(int v);
int SetZWriteEnable(int v);
int SetZFunc(int v);
int SetDepthBias(int v);
int SetCullMode(int v);
int SetShadeModeCached(int v);
int SetFillModeCached(int v);
int SetSpecularEnableCached(int v);
// 0 point, 1 linear, 2 anisotropic; any other mode is refused after the flush.
int SetTextureFilter(int mode);
int SetMaxAnisotropy(int v);
// stage 0 to 7, or -1 for all eight.
int SetTextureAddress(int stage, int mode);
int SetTextureAddressU(int stage, int mode);
int SetTextureAddressV(int stage, int mode);
int SetTextureAddressW(int stage, int mode);
// matrix: 16 floats, always given.
int SetTexCoordTransform(int stage, int enable, const float* matrix);
int SetViewportRect(const D3DVIEWPORT9* viewport);
int SetViewportFromRect(int x1, int y1, int x2, int y2);
int SetScissorRectCached(const RECT* rect);
int SetRenderTargetCached(IDirect3DSurface9* surface);
void ResetTexCoordIndices();
void RefreshDeviceLights();
void ApplyDefault2DStates();
// Drops every device object the cache refers to (render target, textures,
// shaders, declaration); run when the device and its objects are released,
// so that a new object at a freed address is never taken as already set.
void ForgetCachedDeviceObjects();
// Run once after every creation of the device.
void SetDefaultRenderStates();
// Run after the device was reset or re-created: 0, or -1 without a device.
int ReapplyAllStates();
