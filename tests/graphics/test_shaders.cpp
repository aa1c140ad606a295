// The built-in shader pack, the base shaders on the real device (drawn beside
// the fixed pipeline and read back), the constant shadows with their upload
// order, the vertex declarations, the device reset path, and packs that are
// broken in every layer (each only switches programmable shading off).
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <string.h>
#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/matrix_math.h"
#include "graphics/shaders.h"
#include "graphics/transform3d.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "tests/graphics/test_device.h"
#include "tests/runtime/log_capture.h"
#include "tests/support/test_support.h"
#include "tools/packer/archive_writer.h"
#include "tools/packer/lz_encoder.h"

// Failure seam: the linker hands the library's calls of GetBuiltInShaderPack
// to this wrapper (see tests/graphics/CMakeLists.txt), which can give a
// fixture pack instead of the built-in one.
static std::vector<uint8_t> fixturePack;
static bool useFixturePack;
extern "C" const unsigned char* realGetBuiltInShaderPack(uint32_t*) asm(REAL_SYMBOL("_Z20GetBuiltInShaderPackPj"));
extern "C" const unsigned char* WrappedGetBuiltInShaderPack(uint32_t*) asm(WRAPPED_SYMBOL("_Z20GetBuiltInShaderPackPj"));
extern "C" const unsigned char* WrappedGetBuiltInShaderPack(uint32_t* size)
{
    if (!useFixturePack)
        return realGetBuiltInShaderPack(size);
    *size = (uint32_t)fixturePack.size();
    return fixturePack.data();
}

namespace {

const int BaseVertexSlot = BASE_VERTEX_SHADER_ENTRY * SHADER_PACK_VARIANTS + BASE_VERTEX_SHADER_VARIANT;
const int BasePixelSlot = (SHADER_PACK_VERTEX_ENTRIES + BASE_PIXEL_SHADER_ENTRY) * SHADER_PACK_VARIANTS +
                          BASE_PIXEL_SHADER_VARIANT;

// Shader tokens written out by hand (D3DSIO_MOV = 1 with two operands,
// D3DSIO_COMMENT = 0xFFFE, end = 0x0000FFFF).
const DWORD MovInstruction = 0x02000001;
const DWORD VertexOnlyEnd[] = { 0xFFFE0200, 0x0000FFFF };

std::vector<uint8_t> Bytes(const DWORD* tokens, size_t count)
{
    std::vector<uint8_t> b(count * 4);
    memcpy(b.data(), tokens, b.size());
    return b;
}

IDirect3DVertexShader9* BaseVertexShader()
{
    return ShaderPack.vertexShaders[BASE_VERTEX_SHADER_ENTRY][BASE_VERTEX_SHADER_VARIANT];
}

IDirect3DPixelShader9* BasePixelShader()
{
    return ShaderPack.pixelShaders[BASE_PIXEL_SHADER_ENTRY][BASE_PIXEL_SHADER_VARIANT];
}

// A pack entry with the given code in the given table slots, in slot order.
std::vector<uint8_t> MakeEntry(const std::vector<std::pair<int, std::vector<uint8_t>>>& blocks)
{
    std::vector<uint8_t> entry(SHADER_PACK_TABLE_SIZE, 0);
    for (const auto& b : blocks) {
        entry[(size_t)b.first * 2] = (uint8_t)b.second.size();
        entry[(size_t)b.first * 2 + 1] = (uint8_t)(b.second.size() >> 8);
        entry.insert(entry.end(), b.second.begin(), b.second.end());
    }
    return entry;
}

// The packed form the library embeds: the entry in an archive with the
// default key, the archive LZ-compressed.
std::vector<uint8_t> PackBlock(const std::vector<uint8_t>& entry, const char* name = SHADER_PACK_ENTRY_NAME,
                               PackCompression compression = PACK_ALWAYS)
{
    std::vector<PackFile> files(1);
    files[0].path = name;
    files[0].data = entry;
    PackOptions options;
    options.compression = compression;
    std::vector<uint8_t> archive;
    EXPECT_TRUE(BuildArchive(files, options, archive));
    return EncodeArchiveLz(archive.data(), (uint32_t)archive.size());
}

// The byte code of the built-in base shaders, read from the built-in pack.
std::vector<uint8_t> BuiltInCode(int slot)
{
    EXPECT_EQ(1, LoadShaderPack());
    const unsigned char* code = slot == BaseVertexSlot
                                    ? ShaderPack.vertexCode[BASE_VERTEX_SHADER_ENTRY][BASE_VERTEX_SHADER_VARIANT]
                                    : ShaderPack.pixelCode[BASE_PIXEL_SHADER_ENTRY][BASE_PIXEL_SHADER_VARIANT];
    uint32_t size = ShaderPack.entry[slot * 2] | ShaderPack.entry[slot * 2 + 1] << 8;
    return std::vector<uint8_t>(code, code + size);
}

void ExpectRegister(const float* got, float x, float y, float z, float w)
{
    EXPECT_FLOAT_EQ(x, got[0]);
    EXPECT_FLOAT_EQ(y, got[1]);
    EXPECT_FLOAT_EQ(z, got[2]);
    EXPECT_FLOAT_EQ(w, got[3]);
}

// A real device that offers shader model 2, with the shader state cleared.
class ShaderDevice : public testing::Test {
protected:
    TestDevice t;

    void SetUp() override
    {
        useFixturePack = false;
        ReleaseShaderPack();
        memset(&UserShaderConstants, 0, sizeof UserShaderConstants);
        memset(VertexShaderConstants, 0, sizeof VertexShaderConstants);
        memset(PixelShaderConstants, 0, sizeof PixelShaderConstants);
        if (!t.Open(64, 64))
            GTEST_SKIP() << "no Direct3D 9 device";
        DeviceObjects.vertexShader20 = 1;
        DeviceObjects.pixelShader20 = 1;
    }

    void TearDown() override
    {
        ReleaseVertexDeclarations();
        ReleasePackShaders();
        ReleaseShaderPack();
        DeviceObjects.vertexShader20 = DeviceObjects.pixelShader20 = 0;
        useFixturePack = false;
        t.Close();
    }

    Float4 DeviceVertexConstant(int reg)
    {
        Float4 v = {};
        t.device->GetVertexShaderConstantF((UINT)reg, &v.x, 1);
        return v;
    }
};

} // namespace

TEST(ShaderPack, BuiltInPackHoldsExactlyTheTwoBaseShaders)
{
    ReleaseShaderPack();
    ASSERT_EQ(1, LoadShaderPack());
    const unsigned char* entry = ShaderPack.entry;
    ASSERT_NE(nullptr, entry);
    // Loading again keeps what is there.
    EXPECT_EQ(1, LoadShaderPack());
    EXPECT_EQ(entry, ShaderPack.entry);

    uint32_t vertexSize = entry[BaseVertexSlot * 2] | entry[BaseVertexSlot * 2 + 1] << 8;
    uint32_t pixelSize = entry[BasePixelSlot * 2] | entry[BasePixelSlot * 2 + 1] << 8;
    EXPECT_EQ(SHADER_PACK_TABLE_SIZE + vertexSize + pixelSize, ShaderPack.entrySize);
    // Code follows the table in table order; every other slot is empty.
    EXPECT_EQ(entry + SHADER_PACK_TABLE_SIZE,
              ShaderPack.vertexCode[BASE_VERTEX_SHADER_ENTRY][BASE_VERTEX_SHADER_VARIANT]);
    EXPECT_EQ(entry + SHADER_PACK_TABLE_SIZE + vertexSize,
              ShaderPack.pixelCode[BASE_PIXEL_SHADER_ENTRY][BASE_PIXEL_SHADER_VARIANT]);
    int nonNull = 0;
    for (auto& e : ShaderPack.vertexCode)
        for (auto* c : e)
            nonNull += c != nullptr;
    for (auto& e : ShaderPack.pixelCode)
        for (auto* c : e)
            nonNull += c != nullptr;
    EXPECT_EQ(2, nonNull);

    // Shader model 2.0 tokens that end inside their blocks.
    DWORD vertexVersion, pixelVersion;
    memcpy(&vertexVersion, entry + SHADER_PACK_TABLE_SIZE, 4);
    memcpy(&pixelVersion, entry + SHADER_PACK_TABLE_SIZE + vertexSize, 4);
    EXPECT_EQ(D3DVS_VERSION(2, 0), vertexVersion);
    EXPECT_EQ(D3DPS_VERSION(2, 0), pixelVersion);
    EXPECT_EQ(1, ShaderCodeFits(entry + SHADER_PACK_TABLE_SIZE, vertexSize, 1));
    EXPECT_EQ(1, ShaderCodeFits(entry + SHADER_PACK_TABLE_SIZE + vertexSize, pixelSize, 0));

    int before = GetAllocCount();
    ReleaseShaderPack();
    EXPECT_EQ(nullptr, ShaderPack.entry);
    EXPECT_EQ(nullptr, ShaderPack.vertexCode[BASE_VERTEX_SHADER_ENTRY][BASE_VERTEX_SHADER_VARIANT]);
    EXPECT_EQ(before - 2, GetAllocCount());
}

TEST(ShaderPack, CodeMustEndInsideItsBlock)
{
    struct Case {
        const char* what;
        std::vector<DWORD> tokens;
        int vertex;
        int fits;
    } cases[] = {
        { "vs 2.0 with a mov", { 0xFFFE0200, MovInstruction, 0x800F0000, 0x90E40000, 0x0000FFFF }, 1, 1 },
        { "ps 3.0, end only", { 0xFFFF0300, 0x0000FFFF }, 0, 1 },
        { "no end token", { 0xFFFE0200, MovInstruction, 0x800F0000, 0x90E40000 }, 1, 0 },
        // The end value inside an operand is not the end.
        { "end value only as an operand", { 0xFFFE0200, MovInstruction, 0x800F0000, 0x0000FFFF }, 1, 0 },
        { "comment hides an end value", { 0xFFFE0200, 0x0001FFFE, 0x0000FFFF }, 1, 0 },
        { "comment, then end", { 0xFFFE0200, 0x0001FFFE, 0x0000FFFF, 0x0000FFFF }, 1, 1 },
        { "instruction runs past the block", { 0xFFFE0200, 0x0F000001, 0x0000FFFF }, 1, 0 },
        { "pixel code as vertex", { 0xFFFF0200, 0x0000FFFF }, 1, 0 },
        { "vertex code as pixel", { 0xFFFE0200, 0x0000FFFF }, 0, 0 },
        { "model 1.1 (no lengths)", { 0xFFFE0101, 0x0000FFFF }, 1, 0 },
        { "version only", { 0xFFFE0200 }, 1, 0 },
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> b = Bytes(c.tokens.data(), c.tokens.size());
        EXPECT_EQ(c.fits, ShaderCodeFits(b.data(), (uint32_t)b.size(), c.vertex)) << c.what;
    }
    std::vector<uint8_t> b = Bytes(VertexOnlyEnd, 2);
    EXPECT_EQ(0, ShaderCodeFits(b.data(), 7, 1)) << "size not whole tokens";
    EXPECT_EQ(0, ShaderCodeFits(nullptr, 8, 1));
}

TEST(ShaderConstants, ShadowsAreWrittenWithoutADevice)
{
    ASSERT_EQ(nullptr, DeviceObjects.device);
    ProgrammableShaders = 0;
    const float v[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    EXPECT_EQ(0, SetVertexShaderConstants(254, 2, v));
    ExpectRegister(VertexShaderConstants[254], 1, 2, 3, 4);
    ExpectRegister(VertexShaderConstants[255], 5, 6, 7, 8);
    EXPECT_EQ(0, SetPixelShaderConstants(30, 2, v));
    ExpectRegister(PixelShaderConstants[31], 5, 6, 7, 8);

    // Ranges outside the shadows are refused and write nothing.
    memset(VertexShaderConstants, 0, sizeof VertexShaderConstants);
    EXPECT_EQ(-1, SetVertexShaderConstants(255, 2, v));
    EXPECT_EQ(-1, SetVertexShaderConstants(-1, 1, v));
    EXPECT_EQ(-1, SetPixelShaderConstants(31, 2, v));
    EXPECT_EQ(-1, SetPixelShaderConstants(0, 1, nullptr));
    ExpectRegister(VertexShaderConstants[255], 0, 0, 0, 0);
}

TEST_F(ShaderDevice, SetupMakesTheBaseShadersAndSendsTheBaseConstants)
{
    LogCapture log;
    log.Start();
    EXPECT_EQ(0, SetupProgrammableShaders());
    std::vector<std::string> lines = log.Lines();
    log.Stop();
    ASSERT_EQ(1, ProgrammableShaders);
    EXPECT_NE(nullptr, BaseVertexShader());
    EXPECT_NE(nullptr, BasePixelShader());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("プログラマブルシェーダーを使用します", lines.back());

    Float4 c0 = DeviceVertexConstant(0);
    ExpectRegister(&c0.x, 0, 1, 0, 0);
    float p0[4] = {};
    t.device->GetPixelShaderConstantF(0, p0, 1);
    ExpectRegister(p0, 0, 0.5f, 1, 2);
    ExpectRegister(VertexShaderConstants[0], 0, 1, 0, 0);
    ExpectRegister(PixelShaderConstants[0], 0, 0.5f, 1, 2);

    // Release unsets both shaders and forgets the cached ones.
    t.device->SetVertexShader(BaseVertexShader());
    DeviceStateCache.vertexShader = BaseVertexShader();
    ReleasePackShaders();
    EXPECT_EQ(nullptr, BaseVertexShader());
    EXPECT_EQ(nullptr, BasePixelShader());
    EXPECT_EQ(nullptr, DeviceStateCache.vertexShader);
    IDirect3DVertexShader9* bound = (IDirect3DVertexShader9*)1;
    t.device->GetVertexShader(&bound);
    EXPECT_EQ(nullptr, bound);
    // The pack stays for the next device.
    EXPECT_NE(nullptr, ShaderPack.entry);
}

TEST_F(ShaderDevice, WithoutShaderModel2ThePackIsNeverUnpacked)
{
    DeviceObjects.pixelShader20 = 0;
    LogCapture log;
    log.Start();
    EXPECT_EQ(0, SetupProgrammableShaders());
    std::vector<std::string> lines = log.Lines();
    log.Stop();
    EXPECT_EQ(0, ProgrammableShaders);
    EXPECT_EQ(nullptr, ShaderPack.entry);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("プログラマブルシェーダーを使用しません", lines.back());
    // The shadows still get the base constants.
    ExpectRegister(VertexShaderConstants[0], 0, 1, 0, 0);
}

// The base shaders draw what the fixed pipeline draws: the same textured,
// coloured quad through the view and projection the library sends, once with
// FVF and fixed stages, once with the layout-0 declaration and the shaders.
TEST_F(ShaderDevice, BaseShadersDrawWhatTheFixedPipelineDraws)
{
    ASSERT_EQ(0, SetupProgrammableShaders());
    ASSERT_EQ(1, ProgrammableShaders);
    ASSERT_EQ(0, CreateVertexDeclarations());
    IDirect3DVertexDeclaration9* declaration = VertexDeclarations[0 * 9 + 1];
    ASSERT_NE(nullptr, declaration);
    IDirect3DDevice9* d = t.device;

    // view: x' = 2x - 1, y' = 2y; projection: y'' = y' / 2 + 1/4. Taken in
    // the wrong order y would come out as y + 1/2 instead of y + 1/4.
    Matrix view = { { 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, -1, 0, 0, 1 } };
    Matrix projection = { { 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0, 0.25f, 0, 1 } };
    Matrix identity;
    MakeIdentityMatrix(&identity);
    d->SetTransform(D3DTS_WORLD, (const D3DMATRIX*)identity.m);
    ASSERT_EQ(0, SetDeviceViewTransform(&view));
    ASSERT_EQ(0, SetDeviceProjectionTransform(&projection));

    // 2 x 2 texture: red, green / blue, white.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr));
    D3DLOCKED_RECT lr;
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &lr, nullptr, 0));
    DWORD* row0 = (DWORD*)lr.pBits;
    DWORD* row1 = (DWORD*)((BYTE*)lr.pBits + lr.Pitch);
    row0[0] = 0xFFFF0000;
    row0[1] = 0xFF00FF00;
    row1[0] = 0xFF0000FF;
    row1[1] = 0xFFFFFFFF;
    texture->UnlockRect(0);

    // Layout 0 with one texture coordinate: position, normal, two colours,
    // a four-float coordinate (48 bytes), the same as this FVF.
    struct Vertex {
        float x, y, z, nx, ny, nz;
        D3DCOLOR diffuse, specular;
        float u, v, s, q;
    };
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1 |
                      D3DFVF_TEXCOORDSIZE4(0);
    const D3DCOLOR gray = 0xFF808080;
    const Vertex quad[4] = {
        { 0.0f, 0.5f, 0.5f, 0, 0, 1, gray, 0, 0, 0, 0, 1 },
        { 0.5f, 0.5f, 0.5f, 0, 0, 1, gray, 0, 1, 0, 0, 1 },
        { 0.0f, -0.5f, 0.5f, 0, 0, 1, gray, 0, 0, 1, 0, 1 },
        { 0.5f, -0.5f, 0.5f, 0, 0, 1, gray, 0, 1, 1, 0, 1 },
    };

    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    d->SetRenderState(D3DRS_FOGENABLE, FALSE);
    d->SetTexture(0, texture);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);

    auto drawAndRead = [&](bool shaders, std::vector<DWORD>& pixels) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        if (shaders) {
            d->SetVertexDeclaration(declaration);
            d->SetVertexShader(BaseVertexShader());
            d->SetPixelShader(BasePixelShader());
        } else {
            d->SetVertexShader(nullptr);
            d->SetPixelShader(nullptr);
            d->SetFVF(fvf);
        }
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        d->EndScene();
        d->SetVertexShader(nullptr);
        d->SetPixelShader(nullptr);
        D3DLOCKED_RECT back;
        ASSERT_EQ(D3D_OK, DeviceObjects.backBuffer->LockRect(&back, nullptr, D3DLOCK_READONLY));
        pixels.resize(64 * 64);
        for (int y = 0; y < 64; y++)
            memcpy(&pixels[(size_t)y * 64], (BYTE*)back.pBits + (size_t)y * back.Pitch, 64 * 4);
        DeviceObjects.backBuffer->UnlockRect();
    };
    std::vector<DWORD> fixed, programmable;
    drawAndRead(false, fixed);
    drawAndRead(true, programmable);
    texture->Release();

    // The quad covers x 0-31 (NDC -1 to 0) and rows 8-39 (NDC 0.75 to -0.25),
    // its texels times the diffuse gray.
    auto at = [](const std::vector<DWORD>& p, int x, int y) { return p[(size_t)y * 64 + x] & 0xFFFFFF; };
    struct Probe {
        int x, y;
        DWORD expected;
    } probes[] = {
        { 8, 16, 0x800000 }, { 24, 16, 0x008000 }, { 8, 32, 0x000080 }, { 24, 32, 0x808080 },
        { 48, 24, 0 }, { 16, 4, 0 }, { 16, 44, 0 },
    };
    for (const Probe& p : probes) {
        for (int c = 0; c < 24; c += 8) {
            EXPECT_NEAR((int)(p.expected >> c & 0xFF), (int)(at(fixed, p.x, p.y) >> c & 0xFF), 2)
                << "fixed pipeline at " << p.x << "," << p.y;
            EXPECT_NEAR((int)(p.expected >> c & 0xFF), (int)(at(programmable, p.x, p.y) >> c & 0xFF), 2)
                << "shaders at " << p.x << "," << p.y;
        }
    }
    int differing = 0;
    for (size_t i = 0; i < fixed.size(); i++) {
        for (int c = 0; c < 24; c += 8)
            if (abs((int)(fixed[i] >> c & 0xFF) - (int)(programmable[i] >> c & 0xFF)) > 2) {
                differing++;
                break;
            }
    }
    EXPECT_EQ(0, differing);
}

TEST_F(ShaderDevice, DeclarationsFollowTheirLayouts)
{
    ASSERT_EQ(0, CreateVertexDeclarations());
    for (int i = 0; i < VERTEX_DECLARATION_COUNT; i++)
        EXPECT_NE(nullptr, VertexDeclarations[i]) << i;

    auto elements = [](IDirect3DVertexDeclaration9* d) {
        D3DVERTEXELEMENT9 e[MAXD3DDECLLENGTH + 1];
        UINT n = MAXD3DDECLLENGTH + 1;
        d->GetDeclaration(e, &n);
        return std::vector<D3DVERTEXELEMENT9>(e, e + n);
    };
    // Layout 5 with 8 coordinates: position, 9 elements, 8 coordinates from
    // 96, the end.
    std::vector<D3DVERTEXELEMENT9> e = elements(VertexDeclarations[5 * 9 + 8]);
    ASSERT_EQ(19u, e.size());
    EXPECT_EQ(D3DDECLUSAGE_POSITION, e[0].Usage);
    EXPECT_EQ(D3DDECLTYPE_FLOAT3, e[0].Type);
    EXPECT_EQ(76, e[7].Offset);
    EXPECT_EQ(D3DDECLUSAGE_NORMAL, e[7].Usage);
    EXPECT_EQ(2, e[7].UsageIndex);
    EXPECT_EQ(92, e[9].Offset);
    EXPECT_EQ(D3DDECLUSAGE_COLOR, e[9].Usage);
    EXPECT_EQ(1, e[9].UsageIndex);
    EXPECT_EQ(96 + 16 * 7, e[17].Offset);
    EXPECT_EQ(D3DDECLTYPE_FLOAT4, e[17].Type);
    EXPECT_EQ(7, e[17].UsageIndex);
    EXPECT_EQ(0xFF, e[18].Stream);
    // Layout 4 without coordinates: NORMAL1 sits at 44.
    e = elements(VertexDeclarations[4 * 9]);
    ASSERT_EQ(9u, e.size());
    EXPECT_EQ(44, e[4].Offset);
    EXPECT_EQ(1, e[4].UsageIndex);
    // The extra one keeps its second coordinate at 36.
    e = elements(VertexDeclarations[VERTEX_DECLARATION_EXTRA]);
    ASSERT_EQ(7u, e.size());
    EXPECT_EQ(36, e[5].Offset);
    EXPECT_EQ(D3DDECLTYPE_FLOAT2, e[5].Type);

    DeviceStateCache.vertexDeclaration = VertexDeclarations[3];
    ReleaseVertexDeclarations();
    for (int i = 0; i < VERTEX_DECLARATION_COUNT; i++)
        EXPECT_EQ(nullptr, VertexDeclarations[i]) << i;
    EXPECT_EQ(nullptr, DeviceStateCache.vertexDeclaration);
}

TEST_F(ShaderDevice, ConstantsGoUpWithTheLibrarySetFirst)
{
    ASSERT_EQ(0, SetupProgrammableShaders());
    ASSERT_EQ(1, ProgrammableShaders);
    const float library7[4] = { 7, 7, 7, 7 };
    ASSERT_EQ(0, SetVertexShaderConstants(7, 1, library7));

    // The user set goes up as its changed ranges only.
    UserShaderConstantSet& u = UserShaderConstants;
    for (int r = 0; r < 256; r++)
        for (int c = 0; c < 4; c++)
            u.vertexFloat[r][c] = 100.0f + r;
    u.vertexBool[3] = TRUE;
    u.changed[0] = { 6, 2 };   // vertex float c6-c7
    u.changed[2] = { 3, 1 };   // vertex bool b3
    EXPECT_EQ(0, ApplyShaderConstants(1));
    EXPECT_EQ(1, u.onDevice);
    EXPECT_FLOAT_EQ(106.0f, DeviceVertexConstant(6).x);
    EXPECT_FLOAT_EQ(107.0f, DeviceVertexConstant(7).x);
    EXPECT_FLOAT_EQ(0.0f, DeviceVertexConstant(8).x);
    BOOL b3 = FALSE;
    t.device->GetVertexShaderConstantB(3, &b3, 1);
    EXPECT_TRUE(b3);

    // A library constant puts the whole library set back first: c7 returns
    // to the library's value although only c20 is set.
    const float library20[4] = { 20, 21, 22, 23 };
    EXPECT_EQ(0, SetVertexShaderConstants(20, 1, library20));
    EXPECT_EQ(0, u.onDevice);
    EXPECT_FLOAT_EQ(7.0f, DeviceVertexConstant(7).x);
    EXPECT_FLOAT_EQ(0.0f, DeviceVertexConstant(6).x);
    Float4 c20 = DeviceVertexConstant(20);
    ExpectRegister(&c20.x, 20, 21, 22, 23);
    ExpectRegister(VertexShaderConstants[20], 20, 21, 22, 23);

    // With the library set on the device, asking for it again sends nothing.
    const float stray[4] = { -1, -1, -1, -1 };
    t.device->SetVertexShaderConstantF(7, stray, 1);
    EXPECT_EQ(0, ApplyShaderConstants(0));
    EXPECT_FLOAT_EQ(-1.0f, DeviceVertexConstant(7).x);

    // Off the programmable mode only the shadow is written.
    ProgrammableShaders = 0;
    const float library9[4] = { 9, 9, 9, 9 };
    EXPECT_EQ(0, SetVertexShaderConstants(9, 1, library9));
    EXPECT_FLOAT_EQ(9.0f, VertexShaderConstants[9][0]);
    EXPECT_NE(9.0f, DeviceVertexConstant(9).x);
    EXPECT_EQ(0, ApplyShaderConstants(1));
    EXPECT_EQ(0, u.onDevice);
}

// Packs broken at every layer: loading refuses each one, or the base shader
// that cannot be made is refused; programmable shading goes off, the device
// stays, and a good pack afterwards works again.
TEST_F(ShaderDevice, BrokenPacksOnlySwitchProgrammableShadingOff)
{
    std::vector<uint8_t> vertexCode = BuiltInCode(BaseVertexSlot);
    std::vector<uint8_t> pixelCode = BuiltInCode(BasePixelSlot);
    ReleaseShaderPack();
    std::vector<uint8_t> noEnd = vertexCode;
    noEnd.resize(noEnd.size() - 4);   // the end token cut off
    std::vector<uint8_t> good = PackBlock(MakeEntry({ { BaseVertexSlot, vertexCode }, { BasePixelSlot, pixelCode } }));
    std::vector<uint8_t> tooLong = MakeEntry({ { BaseVertexSlot, vertexCode }, { BasePixelSlot, pixelCode } });
    tooLong.resize(tooLong.size() - 1);   // the sizes run one byte past the entry
    std::vector<uint8_t> badMagic = good;
    badMagic[9] ^= 0x5A;   // the first token: a literal of the archive's magic

    struct Case {
        const char* what;
        std::vector<uint8_t> block;
        bool loads;
    } cases[] = {
        { "empty block", {}, false },
        { "block cut short", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2), false },
        { "archive magic changed", badMagic, false },
        { "not an archive", EncodeArchiveLz((const uint8_t*)"not an archive at all", 21), false },
        { "archive without the entry", PackBlock(MakeEntry({}), "Other.bin"), false },
        { "entry stored uncompressed", PackBlock(MakeEntry({}), SHADER_PACK_ENTRY_NAME, PACK_STORED), false },
        { "entry shorter than its table", PackBlock(std::vector<uint8_t>(1000, 0)), false },
        { "sizes run past the entry", PackBlock(tooLong), false },
        { "no base shaders", PackBlock(MakeEntry({})), true },
        { "base vertex shader without end", PackBlock(MakeEntry({ { BaseVertexSlot, noEnd }, { BasePixelSlot, pixelCode } })), true },
        { "shaders in each other's slots", PackBlock(MakeEntry({ { BaseVertexSlot, pixelCode }, { BasePixelSlot, vertexCode } })), true },
    };
    useFixturePack = true;
    for (const Case& c : cases) {
        fixturePack = c.block;
        ReleaseShaderPack();
        int allocations = GetAllocCount();
        EXPECT_EQ(c.loads ? 1 : 0, LoadShaderPack()) << c.what;
        if (!c.loads) {
            EXPECT_EQ(nullptr, ShaderPack.entry) << c.what;
            EXPECT_EQ(nullptr, ShaderPack.vertexCode[BASE_VERTEX_SHADER_ENTRY][BASE_VERTEX_SHADER_VARIANT]) << c.what;
        }
        LogCapture log;
        log.Start();
        EXPECT_EQ(0, SetupProgrammableShaders()) << c.what;
        std::vector<std::string> lines = log.Lines();
        log.Stop();
        EXPECT_EQ(0, ProgrammableShaders) << c.what;
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ("プログラマブルシェーダーを使用しません", lines.back()) << c.what;
        bool saidFailure = lines.size() >= 2 && lines[lines.size() - 2] == "シェーダーコードを展開するメモリ領域の確保に失敗しました";
        EXPECT_EQ(!c.loads, saidFailure) << c.what;
        EXPECT_NE(nullptr, DeviceObjects.device) << c.what;
        // A failed load tried again (as every device reset does) holds no
        // more than one attempt's blocks.
        EXPECT_EQ(0, SetupProgrammableShaders()) << c.what;
        EXPECT_LE(GetAllocCount(), allocations + 2) << c.what;
        ReleaseShaderPack();
        EXPECT_EQ(allocations, GetAllocCount()) << c.what;
    }

    fixturePack = good;
    ReleaseShaderPack();
    EXPECT_EQ(0, SetupProgrammableShaders());
    EXPECT_EQ(1, ProgrammableShaders);
    EXPECT_NE(nullptr, BaseVertexShader());
}

TEST(ShaderHandles, DeletionChecksTypeSlotAndCheckValue)
{
    Screen.started = 1;
    int a = -1, b = -1;
    ShaderRecord* ra = (ShaderRecord*)AllocHandleRecord(&ShaderHandles, sizeof(ShaderRecord), "test", __LINE__, &a);
    ShaderRecord* rb = (ShaderRecord*)AllocHandleRecord(&ShaderHandles, sizeof(ShaderRecord), "test", __LINE__, &b);
    ASSERT_NE(nullptr, ra);
    ASSERT_NE(nullptr, rb);
    EXPECT_EQ(HANDLE_TYPE_SHADER, a & HANDLE_TYPE_MASK);
    rb->code = AllocTracked(16, "test", __LINE__);

    int otherCheck = a ^ 0x00010000;
    EXPECT_EQ(-1, DeleteShaderHandle(otherCheck));
    EXPECT_EQ(-1, DeleteShaderHandle((a & ~HANDLE_TYPE_MASK) | HANDLE_TYPE_LIGHT));
    EXPECT_EQ(-1, DeleteShaderHandle((a & ~HANDLE_SLOT_MASK) | SHADER_HANDLE_MAX));
    EXPECT_EQ(-1, DeleteShaderHandle(-1));
    EXPECT_EQ(2, ShaderHandles.count);

    // Freeing the top slot lowers the end slot.
    EXPECT_EQ(0, DeleteShaderHandle(b));
    EXPECT_EQ(-1, DeleteShaderHandle(b));
    EXPECT_EQ(1, ShaderHandles.endSlot);

    // Delete-all works only while graphics is started.
    int allocations = GetAllocCount();
    Screen.started = 0;
    EXPECT_EQ(0, DeleteAllShaders());
    EXPECT_EQ(1, ShaderHandles.count);
    Screen.started = 1;
    EXPECT_EQ(0, DeleteAllShaders());
    EXPECT_EQ(0, ShaderHandles.count);
    EXPECT_EQ(0, ShaderHandles.endSlot);
    EXPECT_EQ(allocations - 1, GetAllocCount());
    Screen.started = 0;
}

// Around a device reset a shader handle's object goes and is made again from
// the byte code its record keeps, as the kind the record says.
TEST_F(ShaderDevice, ShaderHandleObjectsAreRemadeFromTheirCode)
{
    std::vector<uint8_t> vertexCode = BuiltInCode(BaseVertexSlot);
    std::vector<uint8_t> pixelCode = BuiltInCode(BasePixelSlot);
    int handles[2] = { -1, -1 };
    const std::vector<uint8_t>* codes[2] = { &vertexCode, &pixelCode };
    for (int i = 0; i < 2; i++) {
        ShaderRecord* r =
            (ShaderRecord*)AllocHandleRecord(&ShaderHandles, sizeof(ShaderRecord), "test", __LINE__, &handles[i]);
        ASSERT_NE(nullptr, r);
        r->isVertexShader = i == 0;
        r->codeSize = (uint32_t)codes[i]->size();
        r->code = AllocTracked(r->codeSize, "test", __LINE__);
        memcpy(r->code, codes[i]->data(), r->codeSize);
    }
    ShaderRecord* v = (ShaderRecord*)GetHandleRecord(&ShaderHandles, handles[0]);
    ShaderRecord* p = (ShaderRecord*)GetHandleRecord(&ShaderHandles, handles[1]);

    EXPECT_EQ(0, RecreateShaderHandleObjects());
    ASSERT_NE(nullptr, v->object);
    ASSERT_NE(nullptr, p->object);
    IDirect3DVertexShader9* asVertex = nullptr;
    IDirect3DPixelShader9* asPixel = nullptr;
    EXPECT_EQ(S_OK, v->object->QueryInterface(IID_IDirect3DVertexShader9, (void**)&asVertex));
    EXPECT_EQ(S_OK, p->object->QueryInterface(IID_IDirect3DPixelShader9, (void**)&asPixel));
    if (asVertex)
        asVertex->Release();
    if (asPixel)
        asPixel->Release();

    EXPECT_EQ(0, ReleaseShaderHandleObjects());
    EXPECT_EQ(nullptr, v->object);
    EXPECT_EQ(nullptr, p->object);
    EXPECT_EQ(0, RecreateShaderHandleObjects());
    EXPECT_NE(nullptr, v->object);

    Screen.started = 1;
    EXPECT_EQ(0, DeleteAllShaders());
    EXPECT_EQ(0, ShaderHandles.count);
}

// The whole library: start-up makes the shaders and declarations on its own
// device; the device reset path releases them with the device and makes
// them again from the pack it kept; the end frees the pack.
TEST(ShaderStartup, ResetRemakesTheShadersFromTheKeptPack)
{
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    ASSERT_EQ(0, SetScreenMode(640, 480, 32, 0));
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_EQ(1, Screen.hardware);
    if (!DeviceObjects.vertexShader20 || !DeviceObjects.pixelShader20) {
        EndLibraryLocked();
        GTEST_SKIP() << "the device offers no shader model 2 with hardware processing";
    }
    ASSERT_EQ(1, ProgrammableShaders);
    ASSERT_NE(nullptr, BaseVertexShader());
    ASSERT_NE(nullptr, VertexDeclarations[0]);
    const unsigned char* entry = ShaderPack.entry;
    ASSERT_NE(nullptr, entry);

    // The Direct3D half of a device reset.
    ASSERT_EQ(0, TerminateDirect3D());
    EXPECT_EQ(nullptr, BaseVertexShader());
    EXPECT_EQ(nullptr, BasePixelShader());
    EXPECT_EQ(nullptr, VertexDeclarations[0]);
    EXPECT_EQ(entry, ShaderPack.entry);
    ASSERT_EQ(0, InitDirect3DGraphics());
    ASSERT_EQ(1, Screen.hardware);
    EXPECT_EQ(1, ProgrammableShaders);
    EXPECT_NE(nullptr, BaseVertexShader());
    EXPECT_NE(nullptr, BasePixelShader());
    EXPECT_NE(nullptr, VertexDeclarations[VERTEX_DECLARATION_EXTRA]);
    EXPECT_EQ(entry, ShaderPack.entry);
    Float4 c0 = {};
    DeviceObjects.device->GetVertexShaderConstantF(0, &c0.x, 1);
    ExpectRegister(&c0.x, 0, 1, 0, 0);

    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(nullptr, ShaderPack.entry);
    EXPECT_EQ(nullptr, ShaderPack.image);
    EXPECT_EQ(0, GetAllocCount());
}
