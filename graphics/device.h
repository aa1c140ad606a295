// Graphics start-up and shut-down, the screen settings, the Direct3D device
// objects and the texture format table.
#pragma once

#include <windows.h>
#include <d3d9.h>

struct IDirectDraw7;

struct ScreenSettings {
    int width, height;       // 0 = unset (640 x 480)
    int depth;               // 16 or 32; 0 = unset (16)
    int refresh;             // Hz; 0 = the display's default
    int started;             // between InitGraphics and TerminateGraphics
    int hardware;            // 1 = Direct3D device in use
    int softwareOnly;        // no Direct3D at all
    int doubled;             // 320 x 240 shown on a 640 x 480 display mode
    int displayChanged;      // the display mode was changed through the display settings
    unsigned int backColor;  // 0x00RRGGBB of clears and the first fill of the software screen
};

extern ScreenSettings Screen;

// Options of the device; nothing in this program sets them.
struct DeviceOptionSet {
    int useAdapterIndex, adapterIndex;
    int multithreaded;
    int forceSoftwareVertexProcessing;
    int compositionOff;
    int multisampleType, multisampleQuality;
    int fpuPreserve;
};

extern DeviceOptionSet DeviceOptions;

// The Direct3D objects; each null when absent.
struct DeviceObjectSet {
    HMODULE d3d9Module;
    IDirectDraw7* directDraw;
    IDirect3D9* d3d;                   // also set when the Ex object was made
    IDirect3D9Ex* d3dEx;
    IDirect3DDevice9* device;          // also set when the Ex device was made
    IDirect3DDevice9Ex* deviceEx;
    IDirect3DSwapChain9* swapChain;
    IDirect3DSurface9* backBuffer;
    IDirect3DSurface9* subBackBuffer;  // full screen only
    IDirect3DSurface9* depthStencil;
    int depthWidth, depthHeight;       // powers of two
    IDirect3DVolumeTexture9* brightnessVolume;
    int inScene;                       // between BeginScene and EndScene
    int sceneCounters[3];              // zeroed by each BeginScene
    D3DCAPS9 caps;
    // Capability flags derived at creation.
    int blendOpSupported;              // D3DPMISCCAPS_BLENDOP
    int tempArgSupported;              // D3DPMISCCAPS_TSSARGTEMP
    int hardwareShaders;               // created with mixed vertex processing
    int vertexShader20, pixelShader20;
    int maxTextureSide;
};

extern DeviceObjectSet DeviceObjects;

// Texture format kinds: indices of DeviceFormatTable.formats.
enum {
    FORMAT_16 = 0,
    FORMAT_32 = 1,
    FORMAT_ALPHA_16 = 2,
    FORMAT_ALPHA_32 = 3,
    FORMAT_ALPHA_TEST_16 = 4,
    FORMAT_ALPHA_TEST_32 = 5,
    FORMAT_DXT1 = 6,
    FORMAT_DXT2 = 7,
    FORMAT_DXT3 = 8,
    FORMAT_DXT4 = 9,
    FORMAT_DXT5 = 10,
    FORMAT_TARGET_16 = 11,
    FORMAT_TARGET_32 = 12,
    FORMAT_TARGET_ALPHA_32 = 13,
    FORMAT_TARGET_SCREEN = 14,
    FORMAT_ALPHA_TEST_SCREEN = 15,
    FORMAT_DEPTH = 16,
    FORMAT_KIND_COUNT = 17
};

struct DeviceFormatSet {
    D3DFORMAT backBuffer;
    D3DFORMAT formats[FORMAT_KIND_COUNT];
};

extern DeviceFormatSet DeviceFormatTable;

int InitGraphics();
int TerminateGraphics();
int AllowDirect3D(int allow);
int QueryDirect3DAllowed();
// The DirectDraw 7 object, or null.
void* GetDirectDrawObject();

// The Direct3D layer alone (device reset and start-up): 0, or -1 when
// d3d9.dll or DirectDraw is missing or the software path cannot start.
int InitDirect3DGraphics();
int TerminateDirect3D();
int CreateDirectDrawObject();
int CreateDirect3DObject();
int CreateD3DDevice();
// Releases the device and every surface and texture that hangs off it.
void ReleaseDeviceAndSurfaces();
int CreateZBuffer();
int CreateBrightnessVolumeTexture();
// Fills DeviceFormatTable for the device's back buffer; -1 when a format
// that textures cannot do without is missing.
int FillDeviceFormatTable();
// Log name of a Direct3D format.
const char* DeviceFormatName(D3DFORMAT format);

// The colour of the same hue and saturation at full value.
void MaxBrightnessColor(int r, int g, int b, int* outR, int* outG, int* outB);

// Software screens: the primary screen image and the two work images of
// the software string drawing.
int CreateSoftScreenImages();
int ReleaseSoftScreenImages();

// Full-screen display mode through the display settings; 0 or -1.
int ChangeDisplayResolution();

// 1 while a Direct3D device exists.
int HasDirect3DDevice();
// Ends an open scene and presents the whole back buffer once; 0, or -1 when
// the present failed (the window procedure's activation test).
int PresentDeviceOnce();

// Draws open the scene lazily; everything that hands the back buffer to
// another operation closes it.
void BeginSceneIfNeeded();
void EndSceneIfNeeded();

int SetDialogMode(int on);
int SetDialogModeAfterScene(int on);
IDirect3DVertexBuffer9* CreateVertexBufferObject(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
IDirect3DIndexBuffer9* CreateIndexBufferObject(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

// Releases a COM object when there is one and forgets it.
template <typename T> inline void ReleaseObject(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}
