#include "graphics/shaders.h"

#include <string.h>

#include "graphics/device.h"

// Stand-in until the shader pack exists: the shadows are kept and the device
// gets the constants only in programmable mode, which nothing switches on yet.
int ProgrammableShaders;
float VertexShaderConstants[256][4];
float PixelShaderConstants[32][4];

int SetVertexShaderConstants(int first, int count, const float* data)
{
    if (first < 0 || count < 0 || first > 256 || count > 256 - first)
        return -1;
    if (ProgrammableShaders && DeviceObjects.device)
        DeviceObjects.device->SetVertexShaderConstantF((UINT)first, data, (UINT)count);
    memcpy(VertexShaderConstants[first], data, (size_t)count * sizeof VertexShaderConstants[0]);
    return 0;
}

int SetPixelShaderConstants(int first, int count, const float* data)
{
    if (first < 0 || count < 0 || first > 32 || count > 32 - first)
        return -1;
    if (ProgrammableShaders && DeviceObjects.device)
        DeviceObjects.device->SetPixelShaderConstantF((UINT)first, data, (UINT)count);
    memcpy(PixelShaderConstants[first], data, (size_t)count * sizeof PixelShaderConstants[0]);
    return 0;
}

// Stand-ins until the shader pack exists: the programmable mode is on exactly
// when the device allows it.
int SetupProgrammableShaders()
{
    ProgrammableShaders = DeviceObjects.vertexShader20 && DeviceObjects.pixelShader20;
    return 0;
}

int CreateVertexDeclarations() { return 0; }
int ReleaseVertexDeclarations() { return 0; }

int ReleasePackShaders()
{
    ProgrammableShaders = 0;
    return 0;
}

int DeleteAllShaders() { return 0; }
int ReleaseShaderPack() { return 0; }

// Stand-ins: no call of this program makes a user shader.
int ReleaseUserShaderObjects() { return 0; }
int RecreateUserShaderObjects() { return 0; }
