// Shaders, the built-in shader pack and the shader constants. Every constant
// the library sets is mirrored in shadow arrays, programmable or not.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <stdint.h>

#include "graphics/handle_table.h"
#include "graphics/shader_pack_layout.h"
#include "runtime/file/archive_reader.h"

// 1 while the programmable mode is on.
extern int ProgrammableShaders;

// Library constant shadows: 256 vertex and 32 pixel registers of four floats.
extern float VertexShaderConstants[256][4];
extern float PixelShaderConstants[32][4];

// A register range of the user set that changed since it was last uploaded.
struct ShaderConstantRange {
    int first, count;
};

// The user constant set (nothing in this program fills it).
struct UserShaderConstantSet {
    float vertexFloat[256][4];
    int vertexInt[16][4];
    BOOL vertexBool[16];
    float pixelFloat[224][4];
    int pixelInt[16][4];
    BOOL pixelBool[16];
    // Vertex float, int, bool, then pixel float, int, bool.
    ShaderConstantRange changed[6];
    int onDevice;   // the set on the device: 0 the library's, 1 the user's
};

extern UserShaderConstantSet UserShaderConstants;

// The pack once unpacked: the archive it came in, the two heap blocks, and a
// pointer into the entry for every code block (null where the size is 0).
struct ShaderPackSet {
    ArchiveRecord archive;
    unsigned char* image;      // the unpacked archive image
    unsigned char* entry;      // the unpacked pack entry; null until loaded
    uint32_t entrySize;
    const unsigned char* vertexCode[SHADER_PACK_VERTEX_ENTRIES][SHADER_PACK_VARIANTS];
    const unsigned char* pixelCode[SHADER_PACK_PIXEL_ENTRIES][SHADER_PACK_VARIANTS];
    IDirect3DVertexShader9* vertexShaders[SHADER_PACK_VERTEX_ENTRIES][SHADER_PACK_VARIANTS];
    IDirect3DPixelShader9* pixelShaders[SHADER_PACK_PIXEL_ENTRIES][SHADER_PACK_VARIANTS];
};

extern ShaderPackSet ShaderPack;

// The model pipeline's declarations: layout * 9 + texture coordinate count,
// then the extra one.
enum {
    VERTEX_DECLARATION_LAYOUTS = 6,
    VERTEX_DECLARATION_MAX_TEXCOORDS = 8,
    VERTEX_DECLARATION_EXTRA = 54,
    VERTEX_DECLARATION_COUNT = 55,
};

extern IDirect3DVertexDeclaration9* VertexDeclarations[VERTEX_DECLARATION_COUNT];

// Shader handles: none is made by this program, but deletion runs at the end.
struct ShaderRecord {
    uint32_t check;
    int handle;
    IUnknown* object;          // the vertex or pixel shader
    int isVertexShader;        // which of the two the kept code makes
    void* code;                // the kept byte code, for re-creation after a reset
    uint32_t codeSize;
};

extern HandleTable ShaderHandles;

// In programmable mode also uploads to the device (library set first).
// -1 for a range outside the shadow.
int SetVertexShaderConstants(int first, int count, const float* data);
int SetPixelShaderConstants(int first, int count, const float* data);
// Puts the library set (0) or the user set's changed ranges (1) on the
// device; nothing when that set is already there or the mode is off.
int ApplyShaderConstants(int user);

// Called after the Z buffer: unpacks the pack and makes the base shaders; 0.
int SetupProgrammableShaders();
// 1 when the pack entry is unpacked (also when it already was), else 0.
int LoadShaderPack();
// 1 when the byte code is a vertex (vertex = 1) or pixel shader of model 2
// or later whose tokens end inside size bytes, so the device never reads
// past it.
int ShaderCodeFits(const void* code, uint32_t size, int vertex);
int CreateVertexDeclarations();
int ReleaseVertexDeclarations();
// Unsets the shaders and releases the pack's shader objects (device release).
int ReleasePackShaders();
// Closes the shader archive and frees the unpacked pack (graphics end).
int ReleaseShaderPack();

int DeleteShaderHandle(int handle);
int DeleteAllShaders();
// Around a device reset: the shader handles' objects go with the device and
// are made again from their kept byte code.
int ReleaseShaderHandleObjects();
int RecreateShaderHandleObjects();
