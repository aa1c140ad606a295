// Blend modes and the per-draw device states: before a Direct3D draw queues
// its vertices, SetDrawBlendStates brings every state the draw depends on up
// to date through the state caches.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

enum { BLEND_MODE_COUNT = 13 };

// One row per blend mode; -1 keeps the current device value.
struct BlendModeRow {
    int32_t destBlend;
    int32_t srcBlend;
    int32_t selector;     // which family of stage programs
    int32_t blendOp;
};

extern const BlendModeRow BlendModeTable[BLEND_MODE_COUNT];

// One texture stage of a stage program. Arguments are D3DTA values,
// operations D3DTEXTUREOP values; -1 keeps the current value.
struct StageEntry {
    uintptr_t slot;        // entry 0 of a built-in program: the active stage count;
                           // user programs: the stage's texture or graph handle
    int32_t texCoordIndex;
    int32_t resultToTemp;
    int16_t alphaArg1, alphaArg2, alphaOp;
    int16_t colorArg1, colorArg2, colorOp;
};

enum { STAGE_PROGRAM_STAGES = 8 };

struct StageProgram {
    StageEntry stages[STAGE_PROGRAM_STAGES];
};

// A complete blend set-up supplied by the caller (the mask module).
struct UserStageProgram {
    int32_t alphaTestEnable, alphaRef, alphaFunc, alphaBlendEnable;
    uint32_t textureFactor;
    int32_t srcBlend, destBlend, blendOp;
    int32_t stageCount;
    StageEntry stages[STAGE_PROGRAM_STAGES];
};

static_assert(sizeof(void*) != 4 || sizeof(UserStageProgram) == 228,
              "the user stage program is 228 bytes on 32-bit builds");

// Built-in stage programs: rows 0 to 35 and 48 to 59 (null for any other row).
// Row = 24 * selector + 6 * modulate + 3 * alpha + tc, or 12 + 6 * modulate +
// 3 * alpha + tc with a blend texture.
enum { STAGE_PROGRAM_ROWS = 60 };
const StageProgram* StageProgramRow(int row);
// Programs for draws without a texture: by selector (0 to 2), and the fixed
// program of the subtractive mode 3.
const StageProgram* UntexturedStageProgram(int selector);
const StageProgram* SubtractUntexturedProgram();

// Draw flags of SetDrawBlendStates.
enum {
    DRAW_FLAG_TRANSPARENT = 0x1,
    DRAW_FLAG_KEEP_KINDS = 0x2,
    DRAW_FLAG_GOURAUD = 0x8,
    DRAW_FLAG_MODULATE = 0x20,
    DRAW_FLAG_VERTEX_ALPHA = 0x40,
    DRAW_FLAG_KEEP_BLEND = 0x100,
    DRAW_FLAG_LIGHTING = 0x200,
    DRAW_FLAG_SPECULAR = 0x400,
    DRAW_FLAG_DEPTH_3D = 0x800,
    DRAW_FLAG_STAGE_ADDRESS = 0x1000,
    DRAW_FLAG_KEEP_SHADERS = 0x2000
};

// The format descriptor of a graph's image record: byte 1 is the alpha
// channel, byte 7 the one-bit alpha (transparent colour).
struct GraphFormatDesc;

void SetDrawBlendStates(const GraphFormatDesc* descriptor, IDirect3DBaseTexture9* texture, int flags);
// 0; -1 without a device, or when nothing was dirty (nothing was done).
int SetDrawTextureState(const UserStageProgram* program, int handles, int texturesOnly);
int CacheDrawBlendState(int mode, int alphaKind, int transKind);
int SetTextureCached(IDirect3DBaseTexture9* texture);
// border and size of -1 keep the stored values.
int CacheBlendTexture(IDirect3DBaseTexture9* texture, int border, int size);
int SetUserStageProgram(const UserStageProgram* program, int texturesOnly);
int ApplyStageProgram(const UserStageProgram* program, int texturesOnly, int handles);
