// Shaders, the built-in shader pack and the shader constants. Every constant
// the library sets is mirrored in shadow arrays, programmable or not.
#pragma once

// 1 while the programmable mode is on.
extern int ProgrammableShaders;

// Library constant shadows: 256 vertex and 32 pixel registers of four floats.
extern float VertexShaderConstants[256][4];
extern float PixelShaderConstants[32][4];

// In programmable mode also uploads to the device (library set first).
int SetVertexShaderConstants(int first, int count, const float* data);
int SetPixelShaderConstants(int first, int count, const float* data);

// Called after the Z buffer: unpacks the pack and makes the base shaders; 0.
int SetupProgrammableShaders();
int CreateVertexDeclarations();
int ReleaseVertexDeclarations();
// Releases the pack's shader objects (device release).
int ReleasePackShaders();
int DeleteAllShaders();
// Closes the shader archive and frees the unpacked pack (graphics end).
int ReleaseShaderPack();
// User shader objects around a device reset: released before, re-created
// from their kept byte code after; 0.
int ReleaseUserShaderObjects();
int RecreateUserShaderObjects();
