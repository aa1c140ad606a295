#include "graphics/model.h"

#include <d3d9.h>
#include <math.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_reload.h"
#include "image/image_loader.h"
#include "image/raster_blit.h"
#include "image/raster_image.h"
#include "runtime/memory.h"

ModelState Models;

namespace {

// A table slot holding this value is reserved and has no record.
inline bool IsReserved(const void* p) { return (uintptr_t)p == 1; }

// Built-in images of the instance shading, reloaded into the first two
// built-in textures. A 4 x 4 shade ramp (grey (4y + x) * 17, opaque) ...
const unsigned char kShadeRampTga[84] = {
    0x02, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x04, 0x00, 0x04, 0x00, 0x20, 0x28, 0x56, 0x58, 0x00, 0x00, 0x00, 0xFF,
    0x11, 0x11, 0x11, 0xFF, 0x22, 0x22, 0x22, 0xFF, 0x33, 0x33, 0x33, 0xFF,
    0x44, 0x44, 0x44, 0xFF, 0x55, 0x55, 0x55, 0xFF, 0x66, 0x66, 0x66, 0xFF,
    0x77, 0x77, 0x77, 0xFF, 0x88, 0x88, 0x88, 0xFF, 0x99, 0x99, 0x99, 0xFF,
    0xAA, 0xAA, 0xAA, 0xFF, 0xBB, 0xBB, 0xBB, 0xFF, 0xCC, 0xCC, 0xCC, 0xFF,
    0xDD, 0xDD, 0xDD, 0xFF, 0xEE, 0xEE, 0xEE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};
// ... and an 8 x 4 white highlight whose alpha is 36x + y.
const unsigned char kHighlightTga[172] = {
    0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x08, 0x00, 0x04, 0x00, 0x20, 0x28, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF,
    0xFF, 0x24, 0xFF, 0xFF, 0xFF, 0x48, 0xFF, 0xFF, 0xFF, 0x6C, 0xFF, 0xFF,
    0xFF, 0x90, 0xFF, 0xFF, 0xFF, 0xB4, 0xFF, 0xFF, 0xFF, 0xD8, 0xFF, 0xFF,
    0xFF, 0xFC, 0xFF, 0xFF, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x25, 0xFF, 0xFF,
    0xFF, 0x49, 0xFF, 0xFF, 0xFF, 0x6D, 0xFF, 0xFF, 0xFF, 0x91, 0xFF, 0xFF,
    0xFF, 0xB5, 0xFF, 0xFF, 0xFF, 0xD9, 0xFF, 0xFF, 0xFF, 0xFD, 0xFF, 0xFF,
    0xFF, 0x02, 0xFF, 0xFF, 0xFF, 0x26, 0xFF, 0xFF, 0xFF, 0x4A, 0xFF, 0xFF,
    0xFF, 0x6E, 0xFF, 0xFF, 0xFF, 0x92, 0xFF, 0xFF, 0xFF, 0xB6, 0xFF, 0xFF,
    0xFF, 0xDA, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x03, 0xFF, 0xFF,
    0xFF, 0x27, 0xFF, 0xFF, 0xFF, 0x4B, 0xFF, 0xFF, 0xFF, 0x6F, 0xFF, 0xFF,
    0xFF, 0x93, 0xFF, 0xFF, 0xFF, 0xB7, 0xFF, 0xFF, 0xFF, 0xDB, 0xFF, 0xFF,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x54, 0x52,
    0x55, 0x45, 0x56, 0x49, 0x53, 0x49, 0x4F, 0x4E, 0x2D, 0x58, 0x46, 0x49,
    0x4C, 0x45, 0x2E, 0x00,
};

template <typename T> void FreeBlock(T*& block)
{
    if (block) {
        FreeTracked(block);
        block = nullptr;
    }
}

ModelBase* BaseRecord(int handle)
{
    if ((handle & ~MODEL_BASE_SLOT_MASK) != MODEL_BASE_HANDLE_TYPE)
        return nullptr;
    const int slot = handle & MODEL_BASE_SLOT_MASK;
    if (!Models.bases || slot >= Models.baseSlots)
        return nullptr;
    return Models.bases[slot];
}

int InstanceSlot(int handle)
{
    if ((handle & 0xF0000000) != MODEL_INSTANCE_HANDLE_TYPE || !Models.instances)
        return -1;
    const int slot = handle & MODEL_INSTANCE_SLOT_MASK;
    if (slot >= Models.instanceSlots || !Models.instances[slot])
        return -1;
    ModelInstance* record = Models.instances[slot];
    // A reserved slot has no record to carry a check value.
    if (!IsReserved(record) && record->handle != handle)
        return -1;
    return slot;
}

// The images and texture graph of one material; the texture is deleted.
void FreeMaterial(ModelMaterial& m)
{
    FreeBlock(m.colourData);
    FreeBlock(m.alphaData);
    m.colourSize = m.alphaSize = 0;
    if (m.texture) {
        FreeGraph(m.texture);
        m.texture = 0;
    }
}

bool IsPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

// The next power of two at or above v, at most cap (cap itself when v
// exceeds it; no cap when cap < 1).
int NextPowerOfTwo(int v, int cap)
{
    int p = 1;
    while (p < v && p < (1 << 30))
        p <<= 1;
    if (cap >= 1 && p > cap) {
        p = 1;
        while ((p << 1) <= cap)
            p <<= 1;
    }
    return p;
}

int ScaleToPowersOfTwo(RasterImage* image)
{
    if (!image->pixels || (IsPowerOfTwo(image->width) && IsPowerOfTwo(image->height)))
        return 0;
    const int width = NextPowerOfTwo(image->width, (int)(DeviceObjects.caps.MaxTextureWidth / 2));
    const int height = NextPowerOfTwo(image->height, (int)(DeviceObjects.caps.MaxTextureHeight / 2));
    RasterImage scaled;
    if (CreateImageLike(width, height, image, &scaled) != 0)
        return -1;
    if (ScaleBltRasterImage(0, 0, image->width, image->height, image, 0, 0, width, height, &scaled, 1) != 0) {
        FreeRasterImage(&scaled);
        return -1;
    }
    FreeRasterImage(image);
    *image = scaled;
    return 0;
}

// The normal map of the red channel as a height field, wrapping at the right
// and bottom edges.
int MakeNormalMap(RasterImage* image, float scale)
{
    if (scale < 0.000001f)
        scale = 0.000001f;
    RasterImage normal;
    if (CreateImageARGB32(image->width, image->height, &normal) != 0)
        return -1;
    for (int y = 0; y < image->height; y++)
        for (int x = 0; x < image->width; x++) {
            const int xr = x + 1 < image->width ? x + 1 : 0;
            const int yb = y + 1 < image->height ? y + 1 : 0;
            uint32_t h0, hx, hy, g, b, a;
            if (GetRasterImagePixel(image, x, y, &h0, &g, &b, &a) != 0 ||
                GetRasterImagePixel(image, xr, y, &hx, &g, &b, &a) != 0 ||
                GetRasterImagePixel(image, x, yb, &hy, &g, &b, &a) != 0) {
                FreeRasterImage(&normal);
                return -1;
            }
            const float da = ((float)hx - (float)h0) / 255.0f;
            const float db = ((float)hy - (float)h0) / 255.0f;
            float nx = -da * scale, ny = -db * scale, nz = scale * scale;
            const float length = sqrtf(nx * nx + ny * ny + nz * nz);
            nx /= length;
            ny /= length;
            nz /= length;
            SetRasterImagePixel(&normal, x, y, (int)(127.5f * (nx + 1.0f)), (int)(127.5f * (ny + 1.0f)),
                                (int)(127.5f * (nz + 1.0f)), 0);
        }
    FreeRasterImage(image);
    *image = normal;
    return 0;
}

bool IsBase(ModelBase* b) { return b && !IsReserved(b); }
bool IsInstance(ModelInstance* i) { return i && !IsReserved(i); }

// Reloads a material's texture from its images (the images are freed).
void ReloadMaterialTexture(ModelMaterial& m)
{
    if (!m.colourData && !m.alphaData)
        return;
    RasterImage colour, alpha;
    if (LoadModelTextureImage(&colour, &alpha, m.colourData, m.colourSize, m.alphaData, m.alphaSize, m.bump,
                              m.bumpScale, 0) != 0)
        return;
    ReloadGraphFromImages(&colour, alpha.pixels ? &alpha : nullptr, m.texture, 0, 0, 0);
    FreeRasterImage(&colour);
    FreeRasterImage(&alpha);
}

}  // namespace

int GetModelBuiltinImage(int index, const void** data, int* size)
{
    if (index == 0) {
        *data = kShadeRampTga;
        *size = (int)sizeof kShadeRampTga;
    } else if (index == 1) {
        *data = kHighlightTga;
        *size = (int)sizeof kHighlightTga;
    } else {
        return -1;
    }
    return 0;
}

int InitializeModelSystem()
{
    if (Screen.hardware != 1 || Models.initialised)
        return 0;
    for (int i = 0; i < MODEL_SINE_TABLE_SIZE; i++) {
        const float angle = (float)i * 3.1415927f * 2.0f * (1.0f / 65536.0f);
        Models.sineTable[i] = sinf(angle);
    }
    Models.bases = nullptr;
    Models.baseSlots = Models.baseCount = 0;
    Models.instances = nullptr;
    Models.instanceSlots = Models.instanceCount = 0;
    memset(Models.builtinTextures, 0, sizeof Models.builtinTextures);
    Models.work = nullptr;
    Models.workSize = Models.workUsed = 0;
    Models.initialised = 1;
    return 0;
}

int TerminateModelSystem()
{
    if (!Models.initialised)
        return 0;
    for (int i = 0; i < Models.instanceSlots; i++)
        if (Models.instances[i])
            DeleteModelInstance(IsReserved(Models.instances[i]) ? MODEL_INSTANCE_HANDLE_TYPE | i
                                                               : Models.instances[i]->handle);
    // Each base holds a reference of its own; drop them until the slot empties.
    for (int i = 0; i < Models.baseSlots; i++)
        while (Models.bases[i])
            if (DeleteModelBase(MODEL_BASE_HANDLE_TYPE | i) != 0)
                break;
    FreeBlock(Models.instances);
    FreeBlock(Models.bases);
    FreeBlock(Models.work);
    Models.instanceSlots = Models.instanceCount = 0;
    Models.baseSlots = Models.baseCount = 0;
    Models.workSize = Models.workUsed = 0;
    Models.initialised = 0;
    return 0;
}

int ReleaseModelDeviceObjects()
{
    for (int i = 0; i < Models.baseSlots; i++)
        if (IsBase(Models.bases[i]))
            ReleaseModelBaseBuffers(Models.bases[i]);
    for (int i = 0; i < Models.instanceSlots; i++)
        if (IsInstance(Models.instances[i]))
            ReleaseInstanceVertexBuffers(Models.instances[i]);
    return 0;
}

int RestoreAllModelBases()
{
    for (int i = 0; i < Models.baseSlots; i++)
        if (IsBase(Models.bases[i]))
            SetupModelBaseBuffers(Models.bases[i], 1);
    return 0;
}

int MakeGreyRampImage(RasterImage* out)
{
    if (CreateImageXRGB32(256, 8, out) != 0)
        return -1;
    for (int y = 0; y < 8; y++) {
        uint32_t* row = (uint32_t*)((uint8_t*)out->pixels + (ptrdiff_t)y * out->pitch);
        for (uint32_t i = 0; i < 256; i++)
            row[i] = i * 0x010101u;
    }
    return 0;
}

int CreateGreyRampTexture()
{
    RasterImage ramp;
    if (MakeGreyRampImage(&ramp) != 0)
        return -1;
    const int result = ReloadGraphFromRasterImage(&ramp, Models.builtinTextures[2]);
    FreeRasterImage(&ramp);
    return result;
}

int RestoreModelTextures()
{
    const int useTransColor = Draw.create.useTransColor;
    Draw.create.useTransColor = 0;
    for (int i = 0; i < 2; i++) {
        const void* data;
        int size;
        GetModelBuiltinImage(i, &data, &size);
        ReloadGraphFromFile(data, size, Models.builtinTextures[i], nullptr, 0, 0, 0);
    }
    CreateGreyRampTexture();
    Draw.create.useTransColor = useTransColor;

    for (int i = 0; i < Models.baseSlots; i++) {
        ModelBase* base = Models.bases[i];
        if (!IsBase(base))
            continue;
        for (int m = 0; m < base->materialCount; m++)
            ReloadMaterialTexture(base->materials[m]);
    }
    for (int i = 0; i < Models.instanceSlots; i++) {
        ModelInstance* instance = Models.instances[i];
        if (!IsInstance(instance) || !instance->materials)
            continue;
        for (int m = 0; m < instance->base->materialCount; m++)
            ReloadMaterialTexture(instance->materials[m]);
    }
    return 0;
}

int LoadModelTextureImage(RasterImage* colourOut, RasterImage* alphaOut, const void* colourData, int colourSize,
                          const void* alphaData, int alphaSize, int bump, float bumpScale, int flip)
{
    memset(colourOut, 0, sizeof *colourOut);
    memset(alphaOut, 0, sizeof *alphaOut);
    if (!colourData && !alphaData)
        return -1;
    if (colourData && LoadImageToRasterImage(nullptr, colourData, colourSize, 1, colourOut, 0) != 0)
        goto fail;
    if (alphaData && LoadImageToRasterImage(nullptr, alphaData, alphaSize, 1, alphaOut, 0) != 0)
        goto fail;
    if (!colourData) {
        // Without colour the texture is white under the alpha image.
        if (CreateImageARGB32(alphaOut->width, alphaOut->height, colourOut) != 0)
            goto fail;
        memset(colourOut->pixels, 0xFF, (size_t)colourOut->pitch * colourOut->height);
    }
    if (bump && MakeNormalMap(colourOut, bumpScale) != 0)
        goto fail;
    if (ScaleToPowersOfTwo(colourOut) != 0 || ScaleToPowersOfTwo(alphaOut) != 0)
        goto fail;
    if (flip) {
        RotateImage180(colourOut);
        if (alphaOut->pixels)
            RotateImage180(alphaOut);
    }
    return 0;
fail:
    FreeRasterImage(colourOut);
    FreeRasterImage(alphaOut);
    return -1;
}

// ---------------------------------------------------------------------------
// Device buffers

int ReleaseInstanceVertexBuffers(ModelInstance* instance)
{
    if (!instance->vertexBuffers)
        return 0;
    for (int m = 0; m < instance->base->meshCount; m++)
        ReleaseObject(instance->vertexBuffers[m]);
    return 0;
}

int SetupInstanceVertexBuffers(ModelInstance* instance)
{
    ModelBase* base = instance->base;
    if (!instance->vertexBuffers || !DeviceObjects.device)
        return -1;
    int result = 0;
    for (int m = 0; m < base->meshCount; m++) {
        const ModelMesh& mesh = base->meshes[m];
        if (instance->vertexBuffers[m] || mesh.vertexCount <= 0)
            continue;
        instance->vertexBuffers[m] =
            CreateVertexBufferObject((UINT)(mesh.vertexCount * mesh.vertexStride), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                     mesh.vertexFormat, D3DPOOL_DEFAULT);
        if (!instance->vertexBuffers[m])
            result = -1;
    }
    return result;
}

int ReleaseModelBaseBuffers(ModelBase* base)
{
    if (!base->setupDone)
        return 0;
    for (int g = 0; g < MODEL_BUFFER_GROUPS; g++)
        for (int k = 0; k < MODEL_BUFFER_KINDS; k++)
            for (int l = 0; l < MODEL_BUFFER_LISTS; l++) {
                ModelBufferNode* node = base->bufferLists[g][k][l];
                while (node) {
                    ModelBufferNode* next = node->next;
                    ReleaseObject(node->vertexBuffer);
                    ReleaseObject(node->indexBuffer);
                    FreeTracked(node);
                    node = next;
                }
                base->bufferLists[g][k][l] = nullptr;
            }
    for (int m = 0; m < base->meshCount; m++) {
        base->meshes[m].vertexBuffer = nullptr;
        base->meshes[m].indexBuffer = nullptr;
    }
    base->setupDone = 0;
    for (ModelInstance* i = base->firstInstance; i; i = i->next)
        ReleaseInstanceVertexBuffers(i);
    return 0;
}

// The list a mesh's buffers go to: the records keep no skinning, so every
// mesh is of the first group and kind, listed by its vertex format.
static ModelBufferNode** MeshBufferList(ModelBase* base, const ModelMesh& mesh)
{
    return &base->bufferLists[0][0][mesh.vertexFormat % MODEL_BUFFER_LISTS];
}

int SetupModelBaseBuffers(ModelBase* base, int flag)
{
    (void)flag;
    if (Screen.hardware != 1 || !DeviceObjects.device || DeviceObjects.hardwareShaders == 0 || base->setupDone)
        return 0;
    for (int m = 0; m < base->meshCount; m++) {
        ModelMesh& mesh = base->meshes[m];
        if (mesh.vertexCount <= 0 || mesh.indexCount <= 0 || !mesh.vertices || !mesh.indices)
            continue;
        const UINT vertexBytes = (UINT)(mesh.vertexCount * mesh.vertexStride);
        const UINT indexBytes = (UINT)(mesh.indexCount * 2);
        ModelBufferNode* node = (ModelBufferNode*)AllocTrackedZero(sizeof *node, "ModelBufferNode", __LINE__);
        if (!node)
            return -1;
        node->vertexBuffer = CreateVertexBufferObject(vertexBytes, D3DUSAGE_WRITEONLY, mesh.vertexFormat, D3DPOOL_DEFAULT);
        node->indexBuffer = CreateIndexBufferObject(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
        void* p = nullptr;
        if (node->vertexBuffer && node->vertexBuffer->Lock(0, vertexBytes, &p, 0) == D3D_OK) {
            memcpy(p, mesh.vertices, vertexBytes);
            node->vertexBuffer->Unlock();
        }
        if (node->indexBuffer && node->indexBuffer->Lock(0, indexBytes, &p, 0) == D3D_OK) {
            memcpy(p, mesh.indices, indexBytes);
            node->indexBuffer->Unlock();
        }
        ModelBufferNode** list = MeshBufferList(base, mesh);
        node->next = *list;
        *list = node;
        mesh.vertexBuffer = node->vertexBuffer;
        mesh.indexBuffer = node->indexBuffer;
    }
    base->setupDone = 1;
    for (ModelInstance* i = base->firstInstance; i; i = i->next)
        SetupInstanceVertexBuffers(i);
    return 0;
}

// ---------------------------------------------------------------------------
// Deletion

int FreeInstanceSlotData(ModelInstance* instance, int index)
{
    if (!instance->slotData || index < 0 || index >= instance->slotDataCount)
        return -1;
    FreeBlock(instance->slotData[index]);
    return 0;
}

int FreeInstanceFrameBlock(ModelInstance* instance, int frame, int which)
{
    if (!instance->frames || which < 0 || which > 1)
        return -1;
    const int count = instance->base->frameCount;
    if (frame == -1) {
        for (int f = 0; f < count; f++)
            FreeBlock(instance->frames[f].blocks[which]);
        return 0;
    }
    if (frame < 0 || frame >= count)
        return -1;
    FreeBlock(instance->frames[frame].blocks[which]);
    return 0;
}

int FreeInstanceFrameChain(ModelInstance* instance, int frame)
{
    if (FreeInstanceFrameBlock(instance, frame, 0) != 0)
        return -1;
    return FreeInstanceFrameBlock(instance, frame, 1);
}

int DeleteModelInstance(int handle)
{
    const int slot = InstanceSlot(handle);
    if (slot == -1)
        return -1;
    ModelInstance* instance = Models.instances[slot];
    if (IsReserved(instance)) {
        Models.instances[slot] = nullptr;
        Models.instanceCount--;
        return 0;
    }
    ModelBase* base = instance->base;
    for (int i = 0; i < instance->slotDataCount; i++)
        FreeInstanceSlotData(instance, i);
    FreeBlock(instance->slotData);
    ReleaseInstanceVertexBuffers(instance);
    FreeBlock(instance->vertexBuffers);
    FreeInstanceFrameChain(instance, -1);
    FreeBlock(instance->frames);
    if (instance->materials) {
        for (int m = 0; m < base->materialCount; m++)
            FreeMaterial(instance->materials[m]);
        FreeBlock(instance->materials);
    }
    if (instance->previous)
        instance->previous->next = instance->next;
    else
        base->firstInstance = instance->next;
    if (instance->next)
        instance->next->previous = instance->previous;
    else
        base->lastInstance = instance->previous;
    base->instanceCount--;
    const int baseHandle = instance->baseHandle;
    FreeTracked(instance);
    Models.instances[slot] = nullptr;
    Models.instanceCount--;
    DeleteModelBase(baseHandle);
    return 0;
}

int DeleteModelBase(int handle)
{
    ModelBase* base = BaseRecord(handle);
    if (!base)
        return -1;
    const int slot = handle & MODEL_BASE_SLOT_MASK;
    if (IsReserved(base)) {
        Models.bases[slot] = nullptr;
        Models.baseCount--;
        return 0;
    }
    if (--base->references > 0)
        return 0;
    ReleaseModelBaseBuffers(base);
    for (int m = 0; m < base->meshCount; m++) {
        FreeBlock(base->meshes[m].vertices);
        FreeBlock(base->meshes[m].indices);
    }
    FreeBlock(base->meshes);
    for (int m = 0; m < base->materialCount; m++)
        FreeMaterial(base->materials[m]);
    FreeBlock(base->materials);
    for (int f = 0; f < base->frameCount; f++)
        FreeBlock(base->frames[f]);
    FreeBlock(base->frames);
    FreeTracked(base);
    Models.bases[slot] = nullptr;
    Models.baseCount--;
    return 0;
}
