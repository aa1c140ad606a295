#include "graphics/shaders.h"

#include <string.h>

#include "graphics/device.h"
#include "graphics/state_cache.h"
#include "runtime/log.h"
#include "runtime/memory.h"

int ProgrammableShaders;
float VertexShaderConstants[256][4];
float PixelShaderConstants[32][4];
UserShaderConstantSet UserShaderConstants;
ShaderPackSet ShaderPack;
IDirect3DVertexDeclaration9* VertexDeclarations[VERTEX_DECLARATION_COUNT];
DEFINE_HANDLE_TABLE(ShaderHandles, HANDLE_TYPE_SHADER, SHADER_HANDLE_MAX, SLOT_AT_END);

enum { USER_VERTEX_FLOAT, USER_VERTEX_INT, USER_VERTEX_BOOL, USER_PIXEL_FLOAT, USER_PIXEL_INT, USER_PIXEL_BOOL };

static IDirect3DDevice9* Device() { return DeviceObjects.device; }

// ---------------------------------------------------------------------------
// Constants

int ApplyShaderConstants(int user)
{
    user = user ? 1 : 0;
    IDirect3DDevice9* device = Device();
    if (!ProgrammableShaders || !device || user == UserShaderConstants.onDevice)
        return 0;
    if (user == 0) {
        device->SetVertexShaderConstantF(0, VertexShaderConstants[0], 256);
        device->SetPixelShaderConstantF(0, PixelShaderConstants[0], 32);
    } else {
        // Only ranges that lie inside their arrays are sent.
        static const int sizes[6] = { 256, 16, 16, 224, 16, 16 };
        UserShaderConstantSet& u = UserShaderConstants;
        for (int kind = 0; kind < 6; kind++) {
            ShaderConstantRange r = u.changed[kind];
            if (r.count <= 0 || r.first < 0 || r.first >= sizes[kind] || r.count > sizes[kind] - r.first)
                continue;
            switch (kind) {
            case USER_VERTEX_FLOAT: device->SetVertexShaderConstantF((UINT)r.first, u.vertexFloat[r.first], (UINT)r.count); break;
            case USER_VERTEX_INT: device->SetVertexShaderConstantI((UINT)r.first, u.vertexInt[r.first], (UINT)r.count); break;
            case USER_VERTEX_BOOL: device->SetVertexShaderConstantB((UINT)r.first, &u.vertexBool[r.first], (UINT)r.count); break;
            case USER_PIXEL_FLOAT: device->SetPixelShaderConstantF((UINT)r.first, u.pixelFloat[r.first], (UINT)r.count); break;
            case USER_PIXEL_INT: device->SetPixelShaderConstantI((UINT)r.first, u.pixelInt[r.first], (UINT)r.count); break;
            case USER_PIXEL_BOOL: device->SetPixelShaderConstantB((UINT)r.first, &u.pixelBool[r.first], (UINT)r.count); break;
            }
        }
    }
    UserShaderConstants.onDevice = user;
    return 0;
}

int SetVertexShaderConstants(int first, int count, const float* data)
{
    if (first < 0 || count < 0 || first > 256 || count > 256 - first || (count && !data))
        return -1;
    if (count == 0)
        return 0;
    if (ProgrammableShaders && Device()) {
        ApplyShaderConstants(0);
        Device()->SetVertexShaderConstantF((UINT)first, data, (UINT)count);
    }
    memcpy(VertexShaderConstants[first], data, (size_t)count * sizeof VertexShaderConstants[0]);
    return 0;
}

int SetPixelShaderConstants(int first, int count, const float* data)
{
    if (first < 0 || count < 0 || first > 32 || count > 32 - first || (count && !data))
        return -1;
    if (count == 0)
        return 0;
    if (ProgrammableShaders && Device()) {
        ApplyShaderConstants(0);
        Device()->SetPixelShaderConstantF((UINT)first, data, (UINT)count);
    }
    memcpy(PixelShaderConstants[first], data, (size_t)count * sizeof PixelShaderConstants[0]);
    return 0;
}

// ---------------------------------------------------------------------------
// The shader pack

static uint32_t Read32(const unsigned char* p)
{
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

int ShaderCodeFits(const void* code, uint32_t size, int vertex)
{
    if (!code || size < 8 || size % 4)
        return 0;
    const unsigned char* p = (const unsigned char*)code;
    uint32_t tokens = size / 4;
    uint32_t version = Read32(p);
    // Only shader model 2 and later say how long each instruction is.
    if ((version >> 16) != (vertex ? 0xFFFEu : 0xFFFFu) || ((version >> 8) & 0xFF) < 2)
        return 0;
    for (uint32_t i = 1; i < tokens;) {
        uint32_t t = Read32(p + (size_t)i * 4);
        uint32_t opcode = t & 0xFFFF;
        if (opcode == 0xFFFF)
            return 1;
        uint32_t length = opcode == 0xFFFE ? (t >> 16) & 0x7FFF : (t >> D3DSI_INSTLENGTH_SHIFT) & 0xF;
        i += 1 + length;
    }
    return 0;
}

static uint32_t PackCodeSize(int slot)
{
    const unsigned char* s = ShaderPack.entry + (size_t)slot * 2;
    return (uint32_t)s[0] | (uint32_t)s[1] << 8;
}

static void ForgetCodeTables()
{
    memset(ShaderPack.vertexCode, 0, sizeof ShaderPack.vertexCode);
    memset(ShaderPack.pixelCode, 0, sizeof ShaderPack.pixelCode);
}

// Points the code tables into the entry; false when the sizes run past it.
static bool WalkPackTable()
{
    uint64_t at = SHADER_PACK_TABLE_SIZE;
    const int vertexSlots = SHADER_PACK_VERTEX_ENTRIES * SHADER_PACK_VARIANTS;
    const int slots = (SHADER_PACK_VERTEX_ENTRIES + SHADER_PACK_PIXEL_ENTRIES) * SHADER_PACK_VARIANTS;
    for (int slot = 0; slot < slots; slot++) {
        uint32_t size = PackCodeSize(slot);
        if (size == 0)
            continue;
        if (at + size > ShaderPack.entrySize) {
            ForgetCodeTables();
            return false;
        }
        const unsigned char* code = ShaderPack.entry + at;
        if (slot < vertexSlots)
            ShaderPack.vertexCode[slot / SHADER_PACK_VARIANTS][slot % SHADER_PACK_VARIANTS] = code;
        else
            ShaderPack.pixelCode[(slot - vertexSlots) / SHADER_PACK_VARIANTS][slot % SHADER_PACK_VARIANTS] = code;
        at += size;
    }
    return true;
}

// Frees the archive image and the entry, closing the archive first.
static void FreePackBlocks()
{
    CloseArchiveRecord(&ShaderPack.archive);
    FreeTracked(ShaderPack.image);
    FreeTracked(ShaderPack.entry);
    ShaderPack.image = nullptr;
    ShaderPack.entry = nullptr;
    ShaderPack.entrySize = 0;
    ForgetCodeTables();
}

int LoadShaderPack()
{
    ShaderPackSet& s = ShaderPack;
    if (s.entry)
        return 1;
    // An image left by an attempt that failed goes first, so that a failing
    // pack costs nothing on every device reset.
    FreePackBlocks();
    ClearArchiveRecord(&s.archive);

    uint32_t blockSize = 0;
    const unsigned char* block = GetBuiltInShaderPack(&blockSize);
    if (!block || blockSize < LZ_HEADER_SIZE)
        return 0;
    uint32_t imageSize = ArchiveLzOutputSize(block);
    if (imageSize == 0 || CheckArchiveLzHeader(block, blockSize, imageSize) != 0)
        return 0;
    s.image = (unsigned char*)AllocTracked(imageSize, "ShaderPackArchive", __LINE__);
    if (!s.image || DecodeArchiveLzChecked(block, blockSize, s.image, imageSize) != 0)
        return 0;
    if (OpenArchiveInMemory(&s.archive, s.image, imageSize, nullptr) != 0)
        return 0;

    uint32_t offset = 0, size = 0;
    const unsigned char* image = (const unsigned char*)GetArchiveImage(&s.archive);
    if (!image || GetArchiveFileLocation(&s.archive, SHADER_PACK_ENTRY_NAME, &offset, &size) != 0 ||
        size < SHADER_PACK_TABLE_SIZE || offset >= imageSize ||
        CheckArchiveLzHeader(image + offset, imageSize - offset, size) != 0)
        return 0;
    unsigned char* entry = (unsigned char*)AllocTracked(size, "ShaderPack", __LINE__);
    if (!entry)
        return 0;
    if (DecodeArchiveLzChecked(image + offset, imageSize - offset, entry, size) != 0) {
        FreeTracked(entry);
        return 0;
    }
    s.entry = entry;
    s.entrySize = size;
    if (!WalkPackTable()) {
        FreeTracked(s.entry);
        s.entry = nullptr;
        s.entrySize = 0;
        return 0;
    }
    return 1;
}

int ReleaseShaderPack()
{
    FreePackBlocks();
    return 0;
}

// The device reads byte code as DWORDs; code that does not start on one is
// handed over from an aligned copy.
template <typename Shader, typename Create>
static bool CreateFromCode(const unsigned char* code, uint32_t size, int vertex, Shader** out, Create create)
{
    if (!code || !ShaderCodeFits(code, size, vertex))
        return false;
    const DWORD* tokens = (const DWORD*)(const void*)code;
    DWORD* copy = nullptr;
    if ((uintptr_t)code % alignof(DWORD)) {
        copy = (DWORD*)AllocTracked(size, "ShaderCode", __LINE__);
        if (!copy)
            return false;
        memcpy(copy, code, size);
        tokens = copy;
    }
    Shader* shader = nullptr;
    bool ok = SUCCEEDED(create(tokens, &shader)) && shader;
    FreeTracked(copy);
    *out = ok ? shader : nullptr;
    return ok;
}

static bool CreateVertexShaderFromCode(const unsigned char* code, uint32_t size, IDirect3DVertexShader9** out)
{
    return CreateFromCode(code, size, 1, out, [](const DWORD* t, IDirect3DVertexShader9** s) {
        return Device()->CreateVertexShader(t, s);
    });
}

static bool CreatePixelShaderFromCode(const unsigned char* code, uint32_t size, IDirect3DPixelShader9** out)
{
    return CreateFromCode(code, size, 0, out, [](const DWORD* t, IDirect3DPixelShader9** s) {
        return Device()->CreatePixelShader(t, s);
    });
}

static bool CreateBaseShaders()
{
    ShaderPackSet& s = ShaderPack;
    if (!Device())
        return false;
    const int v = BASE_VERTEX_SHADER_ENTRY, vv = BASE_VERTEX_SHADER_VARIANT;
    const int p = BASE_PIXEL_SHADER_ENTRY, pv = BASE_PIXEL_SHADER_VARIANT;
    bool ok = CreateVertexShaderFromCode(s.vertexCode[v][vv], PackCodeSize(v * SHADER_PACK_VARIANTS + vv),
                                         &s.vertexShaders[v][vv]);
    ok = CreatePixelShaderFromCode(s.pixelCode[p][pv],
                                   PackCodeSize((SHADER_PACK_VERTEX_ENTRIES + p) * SHADER_PACK_VARIANTS + pv),
                                   &s.pixelShaders[p][pv]) && ok;
    return ok;
}

// Unsets both shaders on the device and forgets the cached ones.
static void UnsetShaders()
{
    if (Device()) {
        Device()->SetVertexShader(nullptr);
        Device()->SetPixelShader(nullptr);
    }
    DeviceStateCache.vertexShader = nullptr;
    DeviceStateCache.pixelShader = nullptr;
}

int ReleasePackShaders()
{
    UnsetShaders();
    for (auto& entry : ShaderPack.vertexShaders)
        for (auto*& shader : entry)
            ReleaseObject(shader);
    for (auto& entry : ShaderPack.pixelShaders)
        for (auto*& shader : entry)
            ReleaseObject(shader);
    // Without its shaders the programmable mode cannot stay on.
    ProgrammableShaders = 0;
    return 0;
}

int SetupProgrammableShaders()
{
    ReleasePackShaders();
    ProgrammableShaders = 0;
    if (DeviceObjects.vertexShader20 && DeviceObjects.pixelShader20) {
        ProgrammableShaders = 1;
        if (!ShaderPack.entry && !LoadShaderPack()) {
            WriteLog("シェーダーコードを展開するメモリ領域の確保に失敗しました\n");
            ProgrammableShaders = 0;
        }
    }
    if (ShaderPack.entry && !CreateBaseShaders())
        ProgrammableShaders = 0;
    WriteLog(ProgrammableShaders ? "プログラマブルシェーダーを使用します\n" : "プログラマブルシェーダーを使用しません\n");

    static const float vertexBase[4] = { 0.0f, 1.0f, 0.0f, 0.0f };
    static const float pixelBase[4] = { 0.0f, 0.5f, 1.0f, 2.0f };
    SetVertexShaderConstants(0, 1, vertexBase);
    SetPixelShaderConstants(0, 1, pixelBase);
    return 0;
}

// ---------------------------------------------------------------------------
// Vertex declarations

namespace {

struct DeclElement {
    BYTE offset, type, usage, index;
};

// The elements after the position, per base layout, ending with a zero type
// of usage 0xFF.
const DeclElement End = { 0, 0, 0xFF, 0 };
const DeclElement LayoutElements[VERTEX_DECLARATION_LAYOUTS][11] = {
    { { 12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 24, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
      { 28, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, End },
    { { 12, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0 }, { 16, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0 },
      { 32, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 44, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
      { 48, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, End },
    { { 12, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0 }, { 16, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 1 },
      { 20, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0 }, { 36, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 1 },
      { 52, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 64, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
      { 68, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, End },
    { { 12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 24, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 1 },
      { 36, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 2 }, { 48, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
      { 52, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, End },
    { { 12, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0 }, { 16, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0 },
      { 32, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 44, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 1 },
      { 56, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 2 }, { 68, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
      { 72, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, End },
    { { 12, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0 }, { 16, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 1 },
      { 20, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0 }, { 36, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 1 },
      { 52, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 64, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 1 },
      { 76, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 2 }, { 88, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
      { 92, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, End },
};
const int LayoutSizes[VERTEX_DECLARATION_LAYOUTS] = { 32, 52, 72, 56, 76, 96 };

// The extra declaration; its second texture coordinate lies at 36, over the
// first one's second half, as the model pipeline has always had it.
const DeclElement ExtraElements[] = {
    { 12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0 }, { 24, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0 },
    { 28, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1 }, { 32, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 0 },
    { 36, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 1 }, End,
};

D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE index)
{
    D3DVERTEXELEMENT9 e = { 0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index };
    return e;
}

// POSITION FLOAT3 at 0, the listed elements, `texcoords` FLOAT4 texture
// coordinates from texOffset, and D3DDECL_END.
IDirect3DVertexDeclaration9* MakeDeclaration(const DeclElement* list, int texcoords, int texOffset)
{
    D3DVERTEXELEMENT9 elements[24];
    int n = 0;
    elements[n++] = Element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    for (; list->usage != 0xFF; list++)
        elements[n++] = Element(list->offset, list->type, list->usage, list->index);
    for (int i = 0; i < texcoords; i++)
        elements[n++] = Element((WORD)(texOffset + 16 * i), D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, (BYTE)i);
    elements[n++] = { 0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0 };
    IDirect3DVertexDeclaration9* declaration = nullptr;
    if (FAILED(Device()->CreateVertexDeclaration(elements, &declaration)))
        declaration = nullptr;
    return declaration;
}

void ReleaseDeclarationObjects()
{
    if (DeviceStateCache.vertexDeclaration)
        for (auto* d : VertexDeclarations)
            if (d == DeviceStateCache.vertexDeclaration)
                DeviceStateCache.vertexDeclaration = nullptr;
    for (auto*& d : VertexDeclarations)
        ReleaseObject(d);
}

} // namespace

int CreateVertexDeclarations()
{
    ReleaseDeclarationObjects();
    if (!Device())
        return 0;
    for (int layout = 0; layout < VERTEX_DECLARATION_LAYOUTS; layout++)
        for (int n = 0; n <= VERTEX_DECLARATION_MAX_TEXCOORDS; n++)
            VertexDeclarations[layout * (VERTEX_DECLARATION_MAX_TEXCOORDS + 1) + n] =
                MakeDeclaration(LayoutElements[layout], n, LayoutSizes[layout]);
    VertexDeclarations[VERTEX_DECLARATION_EXTRA] = MakeDeclaration(ExtraElements, 0, 0);
    return 0;
}

int ReleaseVertexDeclarations()
{
    UnsetShaders();
    ReleaseDeclarationObjects();
    return 0;
}

// ---------------------------------------------------------------------------
// Shader handles

int DeleteShaderHandle(int handle)
{
    ShaderRecord* r = (ShaderRecord*)GetHandleRecord(&ShaderHandles, handle);
    if (!r)
        return -1;
    ReleaseObject(r->object);
    FreeTracked(r->code);
    r->code = nullptr;
    return FreeHandleRecord(&ShaderHandles, handle);
}

int DeleteAllShaders()
{
    if (!Screen.started)
        return 0;
    DeleteAllHandles(&ShaderHandles, DeleteShaderHandle);
    return 0;
}

int ReleaseShaderHandleObjects()
{
    for (int slot = 0; slot < ShaderHandles.endSlot; slot++) {
        ShaderRecord* r = (ShaderRecord*)ShaderHandles.records[slot];
        if (r)
            ReleaseObject(r->object);
    }
    return 0;
}

int RecreateShaderHandleObjects()
{
    if (!Device())
        return 0;
    for (int slot = 0; slot < ShaderHandles.endSlot; slot++) {
        ShaderRecord* r = (ShaderRecord*)ShaderHandles.records[slot];
        if (!r || r->object || !r->code)
            continue;
        const unsigned char* code = (const unsigned char*)r->code;
        if (r->isVertexShader) {
            IDirect3DVertexShader9* shader = nullptr;
            if (CreateVertexShaderFromCode(code, r->codeSize, &shader))
                r->object = shader;
        } else {
            IDirect3DPixelShader9* shader = nullptr;
            if (CreatePixelShaderFromCode(code, r->codeSize, &shader))
                r->object = shader;
        }
    }
    return 0;
}
