#include "graphics/blend_modes.h"

// Stand-ins until the blend set-up is filled in.
const BlendModeRow BlendModeTable[BLEND_MODE_COUNT] = {};

const StageProgram* StageProgramRow(int) { return nullptr; }
const StageProgram* UntexturedStageProgram(int) { return nullptr; }
const StageProgram* SubtractUntexturedProgram() { return nullptr; }
void SetDrawBlendStates(const GraphFormatDesc*, IDirect3DBaseTexture9*, int) {}
int SetDrawTextureState(const UserStageProgram*, int, int) { return -1; }
int CacheDrawBlendState(int, int, int) { return -1; }
int SetTextureCached(IDirect3DBaseTexture9*) { return -1; }
int CacheBlendTexture(IDirect3DBaseTexture9*, int, int) { return -1; }
int SetUserStageProgram(const UserStageProgram*, int) { return 0; }
int ApplyStageProgram(const UserStageProgram*, int, int) { return 0; }
