// The byte code of the two base shaders, hand-assembled as shader-model-2
// tokens. Built with the Windows compiler (the token macros come from the
// platform's d3d9 headers) into an object that is never linked: the build
// copies its .vxshd section out as raw bytes for make_shader_pack.
//
// Vertex shader: what the fixed pipeline does to an untransformed vertex with
// the identity world matrix that 2D batches use, position times the view
// matrix (c6-c9, transposed) times the projection (c2-c5, transposed), with
// the diffuse colour and the first texture coordinate passed on.
// Pixel shader: the texture sample times the diffuse colour (the MODULATE
// stage of the fixed pipeline).
#include <windows.h>
#include <d3d9types.h>

namespace {

constexpr DWORD Op(D3DSHADER_INSTRUCTION_OPCODE_TYPE opcode, DWORD operands)
{
    return (DWORD)opcode | (operands << D3DSI_INSTLENGTH_SHIFT);
}

constexpr DWORD Reg(D3DSHADER_PARAM_REGISTER_TYPE type, DWORD number)
{
    return 0x80000000u | (((DWORD)type << D3DSP_REGTYPE_SHIFT) & D3DSP_REGTYPE_MASK) |
           (((DWORD)type << D3DSP_REGTYPE_SHIFT2) & D3DSP_REGTYPE_MASK2) | (number & D3DSP_REGNUM_MASK);
}

constexpr DWORD Dst(D3DSHADER_PARAM_REGISTER_TYPE type, DWORD number, DWORD mask = D3DSP_WRITEMASK_ALL)
{
    return Reg(type, number) | mask;
}

constexpr DWORD Src(D3DSHADER_PARAM_REGISTER_TYPE type, DWORD number)
{
    return Reg(type, number) | D3DSP_NOSWIZZLE | D3DSPSM_NONE;
}

constexpr DWORD DclUsage(D3DDECLUSAGE usage, DWORD index = 0)
{
    return 0x80000000u | ((DWORD)usage << D3DSP_DCL_USAGE_SHIFT) | (index << D3DSP_DCL_USAGEINDEX_SHIFT);
}

constexpr DWORD Dcl = 0x80000000u;   // pixel-shader inputs: no usage

#define DP4_ROW(dstType, dstNumber, component, srcType, srcNumber, constant)                      \
    Op(D3DSIO_DP4, 3), Dst(dstType, dstNumber, component), Src(srcType, srcNumber), \
        Src(D3DSPR_CONST, constant)

constexpr DWORD VertexTokens[] = {
    D3DVS_VERSION(2, 0),
    Op(D3DSIO_DCL, 2), DclUsage(D3DDECLUSAGE_POSITION), Dst(D3DSPR_INPUT, 0),
    Op(D3DSIO_DCL, 2), DclUsage(D3DDECLUSAGE_COLOR), Dst(D3DSPR_INPUT, 1),
    Op(D3DSIO_DCL, 2), DclUsage(D3DDECLUSAGE_TEXCOORD), Dst(D3DSPR_INPUT, 2),
    // r0 = v0 x view
    DP4_ROW(D3DSPR_TEMP, 0, D3DSP_WRITEMASK_0, D3DSPR_INPUT, 0, 6),
    DP4_ROW(D3DSPR_TEMP, 0, D3DSP_WRITEMASK_1, D3DSPR_INPUT, 0, 7),
    DP4_ROW(D3DSPR_TEMP, 0, D3DSP_WRITEMASK_2, D3DSPR_INPUT, 0, 8),
    DP4_ROW(D3DSPR_TEMP, 0, D3DSP_WRITEMASK_3, D3DSPR_INPUT, 0, 9),
    // oPos = r0 x projection
    DP4_ROW(D3DSPR_RASTOUT, D3DSRO_POSITION, D3DSP_WRITEMASK_0, D3DSPR_TEMP, 0, 2),
    DP4_ROW(D3DSPR_RASTOUT, D3DSRO_POSITION, D3DSP_WRITEMASK_1, D3DSPR_TEMP, 0, 3),
    DP4_ROW(D3DSPR_RASTOUT, D3DSRO_POSITION, D3DSP_WRITEMASK_2, D3DSPR_TEMP, 0, 4),
    DP4_ROW(D3DSPR_RASTOUT, D3DSRO_POSITION, D3DSP_WRITEMASK_3, D3DSPR_TEMP, 0, 5),
    Op(D3DSIO_MOV, 2), Dst(D3DSPR_ATTROUT, 0), Src(D3DSPR_INPUT, 1),
    Op(D3DSIO_MOV, 2), Dst(D3DSPR_TEXCRDOUT, 0), Src(D3DSPR_INPUT, 2),
    D3DVS_END(),
};

constexpr DWORD PixelTokens[] = {
    D3DPS_VERSION(2, 0),
    Op(D3DSIO_DCL, 2), Dcl, Dst(D3DSPR_INPUT, 0),
    Op(D3DSIO_DCL, 2), Dcl, Dst(D3DSPR_TEXTURE, 0),
    Op(D3DSIO_DCL, 2), Dcl | D3DSTT_2D, Dst(D3DSPR_SAMPLER, 0),
    Op(D3DSIO_TEX, 3), Dst(D3DSPR_TEMP, 0), Src(D3DSPR_TEXTURE, 0), Src(D3DSPR_SAMPLER, 0),
    Op(D3DSIO_MUL, 3), Dst(D3DSPR_TEMP, 0), Src(D3DSPR_TEMP, 0), Src(D3DSPR_INPUT, 0),
    Op(D3DSIO_MOV, 2), Dst(D3DSPR_COLOROUT, 0), Src(D3DSPR_TEMP, 0),
    D3DPS_END(),
};

constexpr DWORD VertexCount = sizeof VertexTokens / sizeof VertexTokens[0];
constexpr DWORD PixelCount = sizeof PixelTokens / sizeof PixelTokens[0];

// What make_shader_pack reads: the two byte sizes, then the vertex and the
// pixel shader's tokens (little-endian u32 on every target).
struct BaseShaderBlob {
    DWORD vertexBytes, pixelBytes;
    DWORD vertex[VertexCount];
    DWORD pixel[PixelCount];
};

template <DWORD N> constexpr void Copy(DWORD (&to)[N], const DWORD (&from)[N])
{
    for (DWORD i = 0; i < N; i++)
        to[i] = from[i];
}

constexpr BaseShaderBlob MakeBlob()
{
    BaseShaderBlob b = {};
    b.vertexBytes = VertexCount * 4;
    b.pixelBytes = PixelCount * 4;
    Copy(b.vertex, VertexTokens);
    Copy(b.pixel, PixelTokens);
    return b;
}

} // namespace

extern const BaseShaderBlob BaseShaders;
__attribute__((section(".vxshd"), used)) constexpr BaseShaderBlob BaseShaders = MakeBlob();
