// The texture format table: for each format kind the first candidate that
// the device accepts for the back buffer's format.
#include "graphics/device.h"

#include "runtime/log.h"

DeviceFormatSet DeviceFormatTable;

const char* DeviceFormatName(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_X8R8G8B8: return "D3DFMT_X8R8G8B8";
    case D3DFMT_A8R8G8B8: return "D_D3DFMT_A8R8G8B8";
    case D3DFMT_R5G6B5: return "D3DFMT_R5G6B5";
    case D3DFMT_X1R5G5B5: return "D3DFMT_X1R5G5B5";
    case D3DFMT_A1R5G5B5: return "D_D3DFMT_A1R5G5B5";
    case D3DFMT_A4R4G4B4: return "D_D3DFMT_A4R4G4B4";
    case D3DFMT_DXT1: return "D_D3DFMT_DXT1";
    case D3DFMT_DXT2: return "D_D3DFMT_DXT2";
    case D3DFMT_DXT3: return "D_D3DFMT_DXT3";
    case D3DFMT_DXT4: return "D_D3DFMT_DXT4";
    case D3DFMT_DXT5: return "D_D3DFMT_DXT5";
    case D3DFMT_D16: return "D_D3DFMT_D16";
    case D3DFMT_D24X8: return "D_D3DFMT_D24X8";
    case D3DFMT_D32: return "D_D3DFMT_D32";
    default: return "D_D3DFMT_UNKNOWN";
    }
}

static UINT Adapter()
{
    return DeviceOptions.useAdapterIndex ? (UINT)DeviceOptions.adapterIndex : 0;
}

// The first candidate accepted as a texture of this usage; UNKNOWN for none.
static D3DFORMAT FirstTextureFormat(DWORD usage, const D3DFORMAT* candidates, int count)
{
    IDirect3D9* d3d = DeviceObjects.d3d;
    for (int i = 0; i < count; i++)
        if (d3d->CheckDeviceFormat(Adapter(), D3DDEVTYPE_HAL, DeviceFormatTable.backBuffer, usage, D3DRTYPE_TEXTURE,
                                   candidates[i]) == D3D_OK)
            return candidates[i];
    return D3DFMT_UNKNOWN;
}

struct FormatRow {
    const char* chosenText;   // log line with %s for the format
    const char* missingText;  // log line when none is accepted (row fails or stays 0)
    DWORD usage;
    D3DFORMAT candidates[3];
    int count;
};

// Kinds 0 to 5 and 12, 13; a missing kind 0, 2, 3, 4 or 5 refuses the device.
static const FormatRow plainRows[] = {
    {"16bit カラーフォーマットは %s です", "使用できる 16bit カラーフォーマットが見つかりませんでした\n", 0,
     {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5}, 2},
    {"32bit カラーフォーマットは %s です", nullptr, 0, {D3DFMT_X8R8G8B8}, 1},
    {"アルファ付き 16bit カラーフォーマットは %s です",
     "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした\n", 0,
     {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8}, 2},
    {"アルファ付き 32bit カラーフォーマットは %s です",
     "使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした\n", 0,
     {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}, 2},
    {"アルファテスト用 16bit カラーフォーマットは %s です",
     "使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした\n", 0,
     {D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4}, 3},
    {"アルファテスト用 32bit カラーフォーマットは %s です",
     "使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした\n", 0,
     {D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4}, 3},
};

static const char* const dxtTexts[5] = {
    "ＤＸＴ１テクスチャフォーマットは%s", "ＤＸＴ２テクスチャフォーマットは%s", "ＤＸＴ３テクスチャフォーマットは%s",
    "ＤＸＴ４テクスチャフォーマットは%s", "ＤＸＴ５テクスチャフォーマットは%s",
};
static const char* const dxtNames[5] = {
    " D_D3DFMT_DXT1 です", " D_D3DFMT_DXT2 です", " D_D3DFMT_DXT3 です", " D_D3DFMT_DXT4 です", " D_D3DFMT_DXT5 です",
};
static const D3DFORMAT dxtFormats[5] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};

static int FillDepthFormat()
{
    static const D3DFORMAT candidates[] = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D32};
    D3DFORMAT back = DeviceFormatTable.backBuffer;
    for (D3DFORMAT candidate : candidates) {
        if (DeviceObjects.d3d->CheckDepthStencilMatch(Adapter(), D3DDEVTYPE_HAL, back, back, candidate) == D3D_OK) {
            DeviceFormatTable.formats[FORMAT_DEPTH] = candidate;
            WriteLogFormat("Ｚバッファのフォーマットは %s です", DeviceFormatName(candidate));
            return 0;
        }
    }
    DeviceFormatTable.formats[FORMAT_DEPTH] = D3DFMT_UNKNOWN;
    WriteLog("使用できる Zバッファフォーマットが見つかりませんでした\n");
    return -1;
}

int FillDeviceFormatTable()
{
    D3DFORMAT* f = DeviceFormatTable.formats;
    if (!DeviceObjects.d3d || FillDepthFormat() != 0)
        return -1;

    for (int kind = FORMAT_16; kind <= FORMAT_ALPHA_TEST_32; kind++) {
        const FormatRow& row = plainRows[kind];
        f[kind] = FirstTextureFormat(row.usage, row.candidates, row.count);
        if (f[kind] == D3DFMT_UNKNOWN) {
            if (kind != FORMAT_32) {
                WriteLog(row.missingText);
                return -1;
            }
            f[kind] = f[FORMAT_16];
        }
        WriteLogFormat(row.chosenText, DeviceFormatName(f[kind]));
    }

    for (int i = 0; i < 5; i++) {
        D3DFORMAT accepted = FirstTextureFormat(0, &dxtFormats[i], 1);
        // Without the compressed format, DXT images convert to the alpha
        // formats.
        f[FORMAT_DXT1 + i] = accepted != D3DFMT_UNKNOWN ? accepted : f[i == 0 ? FORMAT_ALPHA_TEST_16 : FORMAT_ALPHA_32];
        WriteLogFormat(dxtTexts[i], accepted != D3DFMT_UNKNOWN ? dxtNames[i] : "使えません");
    }

    D3DFORMAT own16 = DeviceFormatTable.backBuffer == D3DFMT_R5G6B5 ? D3DFMT_R5G6B5 : D3DFMT_X1R5G5B5;
    D3DFORMAT other16 = own16 == D3DFMT_R5G6B5 ? D3DFMT_X1R5G5B5 : D3DFMT_R5G6B5;
    const D3DFORMAT target16[] = {own16, other16, D3DFMT_X8R8G8B8};
    const D3DFORMAT target32[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5};
    const D3DFORMAT targetAlpha32[] = {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4};
    struct TargetRow {
        int kind;
        const D3DFORMAT* candidates;
        int count;
        const char* chosenText;
        const char* missingText;
    } targets[] = {
        {FORMAT_TARGET_16, target16, 3, "描画用 16bit カラーフォーマットは %s です",
         "使用できる描画用 16bit カラーフォーマットがありませんでした\n"},
        {FORMAT_TARGET_32, target32, 3, "描画用 32bit カラーフォーマットは %s です",
         "使用できる描画用 32bit カラーフォーマットがありませんでした\n"},
        {FORMAT_TARGET_ALPHA_32, targetAlpha32, 2, "描画用アルファ付き 32bit カラーフォーマットは %s です",
         "使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした\n"},
    };
    for (const TargetRow& row : targets) {
        f[row.kind] = FirstTextureFormat(D3DUSAGE_RENDERTARGET, row.candidates, row.count);
        if (f[row.kind] == D3DFMT_UNKNOWN)
            WriteLog(row.missingText);
        else
            WriteLogFormat(row.chosenText, DeviceFormatName(f[row.kind]));
    }

    bool deep = Screen.depth == 32;
    f[FORMAT_TARGET_SCREEN] = f[deep ? FORMAT_TARGET_32 : FORMAT_TARGET_16];
    f[FORMAT_ALPHA_TEST_SCREEN] = f[deep ? FORMAT_ALPHA_TEST_32 : FORMAT_ALPHA_TEST_16];
    return 0;
}
