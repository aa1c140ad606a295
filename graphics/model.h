// 3D model module: model bases (shared mesh, material and texture data) and
// model instances (per-use state) with their device buffers. Nothing in this
// program makes a base or an instance; what runs is the life-cycle around the
// graphics layer: start-up, release and restore across a device reset, and
// shut-down, all walking the (empty) tables.
#pragma once

#include <stdint.h>

struct IDirect3DVertexBuffer9;
struct IDirect3DIndexBuffer9;
struct RasterImage;

enum {
    MODEL_SINE_TABLE_SIZE = 65536,
    MODEL_BASE_HANDLE_TYPE = 0x08000000,
    MODEL_BASE_SLOT_MASK = 0x1FFFF,
    MODEL_INSTANCE_HANDLE_TYPE = 0x50000000,
    MODEL_INSTANCE_SLOT_MASK = 0xFFFF,
    MODEL_BUFFER_GROUPS = 3,
    MODEL_BUFFER_KINDS = 2,
    MODEL_BUFFER_LISTS = 9,
    MODEL_BUILTIN_TEXTURES = 3,
};

// One material: its colour and alpha image files held in memory, the bump
// settings and the graph of its texture (0 when none).
struct ModelMaterial {
    void* colourData;
    int colourSize;
    void* alphaData;
    int alphaSize;
    int bump;
    float bumpScale;
    int texture;
};

struct ModelMesh {
    int material;
    uint32_t vertexFormat;  // FVF of the mesh's vertices
    int vertexStride;
    int vertexCount;
    int indexCount;
    void* vertices;         // vertexCount * vertexStride bytes
    uint16_t* indices;
    IDirect3DVertexBuffer9* vertexBuffer;  // references into the buffer lists
    IDirect3DIndexBuffer9* indexBuffer;
};

struct ModelBufferNode {
    ModelBufferNode* next;
    IDirect3DVertexBuffer9* vertexBuffer;
    IDirect3DIndexBuffer9* indexBuffer;
};

struct ModelInstance;

struct ModelBase {
    int handle;
    int setupDone;          // device buffers made
    int references;         // one for the base itself, one per instance
    int instanceCount;
    ModelInstance* firstInstance;
    ModelInstance* lastInstance;
    int meshCount;
    ModelMesh* meshes;
    int materialCount;
    ModelMaterial* materials;
    int frameCount;
    void** frames;
    ModelBufferNode* bufferLists[MODEL_BUFFER_GROUPS][MODEL_BUFFER_KINDS][MODEL_BUFFER_LISTS];
};

// Per frame of its base, an instance keeps two blocks: 0 the frame's
// matrices, 1 its blended state.
struct ModelInstanceFrame {
    void* blocks[2];
};

struct ModelInstance {
    int slot;
    int handle;             // ((check | 0x5000) << 16) | slot
    int baseHandle;
    ModelBase* base;
    ModelInstance* previous;  // neighbours in the base's instance list
    ModelInstance* next;
    int slotDataCount;
    void** slotData;
    ModelInstanceFrame* frames;  // base->frameCount entries
    ModelMaterial* materials;    // base->materialCount overrides; colourData null = not overridden
    IDirect3DVertexBuffer9** vertexBuffers;  // base->meshCount dynamic buffers
};

struct ModelState {
    uint8_t initialised;
    float sineTable[MODEL_SINE_TABLE_SIZE];
    ModelBase** bases;        // a slot may hold 1: reserved, no record
    int baseSlots, baseCount;
    ModelInstance** instances;  // likewise
    int instanceSlots, instanceCount;
    int builtinTextures[MODEL_BUILTIN_TEXTURES];
    void* work;
    int workSize, workUsed;
};

extern ModelState Models;

int InitializeModelSystem();
int TerminateModelSystem();
// Releases the models' vertex and index buffers (device release).
int ReleaseModelDeviceObjects();
// Makes every base's device buffers again after a device reset.
int RestoreAllModelBases();
// Reloads the built-in textures and every material texture.
int RestoreModelTextures();
int DeleteModelBase(int base);
int DeleteModelInstance(int instance);

int ReleaseModelBaseBuffers(ModelBase* base);
int SetupModelBaseBuffers(ModelBase* base, int flag);
int ReleaseInstanceVertexBuffers(ModelInstance* instance);
int SetupInstanceVertexBuffers(ModelInstance* instance);
int FreeInstanceSlotData(ModelInstance* instance, int index);
int FreeInstanceFrameChain(ModelInstance* instance, int frame);
int FreeInstanceFrameBlock(ModelInstance* instance, int frame, int which);
// Decodes a material's images (each optional, not both absent), turns the
// colour into a normal map with bump, scales sides that are not powers of two
// up to the next power (capped at half the device's largest texture) and
// turns both by 180 degrees with flip. The caller frees both. 0 or -1.
int LoadModelTextureImage(RasterImage* colourOut, RasterImage* alphaOut, const void* colourData, int colourSize,
                          const void* alphaData, int alphaSize, int bump, float bumpScale, int flip);
// Refills the third built-in texture with the grey ramp.
int CreateGreyRampTexture();
// The 256 x 8 32-bit ramp: column i holds 0x00iiiiii. 0 or -1.
int MakeGreyRampImage(RasterImage* out);
// The built-in TGA images reloaded into the first two built-in textures.
int GetModelBuiltinImage(int index, const void** data, int* size);
