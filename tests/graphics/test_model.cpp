// The model module: the sine table, the built-in images and the grey ramp read
// back, the material image preparation (normal map, power-of-two scaling,
// turn), handle refusal, shut-down over hand-made records returning every
// block, and a device reset that runs the model hooks over empty tables.
#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <string.h>

#include <vector>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_calls.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/model.h"
#include "image/image_loader.h"
#include "image/raster_image.h"
#include "runtime/memory.h"
#include "tests/graphics/library_start.h"

namespace {

// A 32-bit top-left-origin TGA of the given B, G, R, A pixels, row by row.
std::vector<uint8_t> Tga(int width, int height, const std::vector<uint32_t>& argb)
{
    std::vector<uint8_t> file(18);
    file[2] = 2;
    file[12] = (uint8_t)width;
    file[13] = (uint8_t)(width >> 8);
    file[14] = (uint8_t)height;
    file[15] = (uint8_t)(height >> 8);
    file[16] = 32;
    file[17] = 0x28;
    for (uint32_t v : argb)
        for (int i = 0; i < 4; i++)
            file.push_back((uint8_t)(v >> (8 * i)));
    return file;
}

uint32_t Pixel(RasterImage* image, int x, int y)
{
    uint32_t r, g, b, a;
    if (GetRasterImagePixel(image, x, y, &r, &g, &b, &a) != 0)
        return 0xDEADBEEF;
    return a << 24 | r << 16 | g << 8 | b;
}

// Main entry: no device; the start-up is driven by the renderer flag.
class ModelTables : public testing::Test {
protected:
    void SetUp() override { savedHardware = Screen.hardware; }
    void TearDown() override
    {
        Screen.hardware = 1;
        TerminateModelSystem();
        Screen.hardware = savedHardware;
    }
    int savedHardware = 0;
};

TEST_F(ModelTables, SineTableAtItsQuarterPointsAndAgainstSine)
{
    Screen.hardware = 1;
    ASSERT_EQ(0, InitializeModelSystem());
    ASSERT_EQ(1, Models.initialised);
    const float* t = Models.sineTable;
    EXPECT_EQ(0.0f, t[0]);
    EXPECT_NEAR(1.0, t[16384], 1e-7);
    EXPECT_NEAR(0.0, t[32768], 1e-6);
    EXPECT_NEAR(-1.0, t[49152], 1e-7);
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < MODEL_SINE_TABLE_SIZE; i += 977)
        EXPECT_NEAR(sin(2.0 * pi * i / 65536.0), t[i], 2e-6) << i;

    // Filled once: a second start-up keeps the table as it is.
    Models.sineTable[5] = 42.0f;
    EXPECT_EQ(0, InitializeModelSystem());
    EXPECT_EQ(42.0f, Models.sineTable[5]);
    EXPECT_EQ(0, TerminateModelSystem());
    EXPECT_EQ(0, Models.initialised);
}

TEST_F(ModelTables, SoftwareModeStartsNothing)
{
    Screen.hardware = 0;
    memset(Models.sineTable, 0, sizeof Models.sineTable);
    EXPECT_EQ(0, InitializeModelSystem());
    EXPECT_EQ(0, Models.initialised);
    EXPECT_EQ(0.0f, Models.sineTable[16384]);
    EXPECT_EQ(0, TerminateModelSystem());
}

TEST_F(ModelTables, BuiltInImagesDecodeToTheirPixels)
{
    struct Case {
        int image, x, y;
        uint32_t argb;
    };
    const Case cases[] = {
        {0, 0, 0, 0xFF000000}, {0, 1, 0, 0xFF111111}, {0, 3, 0, 0xFF333333},
        {0, 0, 1, 0xFF444444}, {0, 2, 2, 0xFFAAAAAA}, {0, 3, 3, 0xFFFFFFFF},
        {1, 0, 0, 0x00FFFFFF}, {1, 1, 0, 0x24FFFFFF}, {1, 7, 0, 0xFCFFFFFF},
        {1, 0, 3, 0x03FFFFFF}, {1, 7, 3, 0xFFFFFFFF}, {1, 4, 2, 0x92FFFFFF},
    };
    const int sizes[2] = {84, 172}, widths[2] = {4, 8}, heights[2] = {4, 4};
    RasterImage images[2];
    for (int i = 0; i < 2; i++) {
        const void* data;
        int size;
        ASSERT_EQ(0, GetModelBuiltinImage(i, &data, &size));
        EXPECT_EQ(sizes[i], size);
        ASSERT_EQ(0, LoadImageToRasterImage(nullptr, data, size, 1, &images[i], 0)) << i;
        EXPECT_EQ(widths[i], images[i].width);
        EXPECT_EQ(heights[i], images[i].height);
    }
    for (const Case& c : cases)
        EXPECT_EQ(c.argb, Pixel(&images[c.image], c.x, c.y)) << c.image << " " << c.x << "," << c.y;
    for (RasterImage& image : images)
        FreeRasterImage(&image);
    const void* data;
    int size;
    EXPECT_EQ(-1, GetModelBuiltinImage(2, &data, &size));
}

TEST_F(ModelTables, GreyRampHoldsItsColumnValueInEveryRow)
{
    RasterImage ramp;
    ASSERT_EQ(0, MakeGreyRampImage(&ramp));
    ASSERT_EQ(256, ramp.width);
    ASSERT_EQ(8, ramp.height);
    EXPECT_EQ(32, ramp.format.bitDepth);
    int wrong = 0;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 256; x++) {
            uint32_t v;
            memcpy(&v, (const uint8_t*)ramp.pixels + y * ramp.pitch + 4 * x, 4);
            wrong += v != ((uint32_t)x << 16 | (uint32_t)x << 8 | (uint32_t)x);
        }
    EXPECT_EQ(0, wrong);
    FreeRasterImage(&ramp);
}

// Heights 0 and 255 side by side: the slope wraps at the right edge, so the
// two normals lean opposite ways; the scale steepens them.
TEST_F(ModelTables, BumpTurnsRedHeightsIntoNormals)
{
    const std::vector<uint8_t> heights = Tga(2, 1, {0xFF000000, 0xFFFF0000});
    struct Case {
        float scale;
        uint32_t left, right;
    };
    const Case cases[] = {
        {1.0f, 0x00257FD9, 0x00D97FD9},
        {2.0f, 0x00467FF1, 0x00B87FF1},
    };
    for (const Case& c : cases) {
        RasterImage colour, alpha;
        ASSERT_EQ(0, LoadModelTextureImage(&colour, &alpha, heights.data(), (int)heights.size(), nullptr, 0, 1,
                                           c.scale, 0));
        EXPECT_EQ(c.left, Pixel(&colour, 0, 0)) << c.scale;
        EXPECT_EQ(c.right, Pixel(&colour, 1, 0)) << c.scale;
        EXPECT_EQ(nullptr, alpha.pixels);
        FreeRasterImage(&colour);
    }
}

TEST_F(ModelTables, TextureImagesScaleToPowersOfTwoTurnAndFillMissingColour)
{
    // 3 x 5 of one colour grows to 4 x 8; a flat image stays flat under the
    // bilinear scale (within its rounding).
    const std::vector<uint8_t> flat = Tga(3, 5, std::vector<uint32_t>(15, 0xFF336699));
    RasterImage colour, alpha;
    ASSERT_EQ(0, LoadModelTextureImage(&colour, &alpha, flat.data(), (int)flat.size(), nullptr, 0, 0, 1.0f, 0));
    ASSERT_EQ(4, colour.width);
    ASSERT_EQ(8, colour.height);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 4; x++) {
            const uint32_t v = Pixel(&colour, x, y);
            for (int shift = 0; shift < 32; shift += 8)
                EXPECT_NEAR((0xFF336699u >> shift) & 0xFF, (v >> shift) & 0xFF, 1) << x << "," << y;
        }
    FreeRasterImage(&colour);

    // Alpha only: the colour is white at the alpha image's size; with the
    // flip both come turned by 180 degrees.
    const std::vector<uint8_t> mask = Tga(2, 2, {0xFF010101, 0xFF020202, 0xFF030303, 0xFF040404});
    ASSERT_EQ(0, LoadModelTextureImage(&colour, &alpha, nullptr, 0, mask.data(), (int)mask.size(), 0, 1.0f, 1));
    EXPECT_EQ(2, colour.width);
    EXPECT_EQ(2, colour.height);
    EXPECT_EQ(0xFFFFFFFFu, Pixel(&colour, 0, 1));
    EXPECT_EQ(0xFF040404u, Pixel(&alpha, 0, 0));
    EXPECT_EQ(0xFF010101u, Pixel(&alpha, 1, 1));
    FreeRasterImage(&colour);
    FreeRasterImage(&alpha);
}

TEST_F(ModelTables, TextureImageFailuresKeepNoMemory)
{
    const std::vector<uint8_t> good = Tga(2, 2, std::vector<uint32_t>(4, 0xFF000000));
    const uint8_t junk[20] = {1, 2, 3};
    const int before = GetAllocCount();
    RasterImage colour, alpha;
    EXPECT_EQ(-1, LoadModelTextureImage(&colour, &alpha, nullptr, 0, nullptr, 0, 0, 1.0f, 0));
    EXPECT_EQ(-1, LoadModelTextureImage(&colour, &alpha, junk, sizeof junk, nullptr, 0, 0, 1.0f, 0));
    // A good colour image is freed again when its alpha image fails.
    EXPECT_EQ(-1, LoadModelTextureImage(&colour, &alpha, good.data(), (int)good.size(), junk, sizeof junk, 0,
                                        1.0f, 0));
    EXPECT_EQ(nullptr, colour.pixels);
    EXPECT_EQ(before, GetAllocCount());
}

TEST_F(ModelTables, InvalidHandlesAreRefused)
{
    Screen.hardware = 1;
    ASSERT_EQ(0, InitializeModelSystem());
    const int handles[] = {0, -1, 1, MODEL_BASE_HANDLE_TYPE, MODEL_BASE_HANDLE_TYPE | 5,
                           MODEL_INSTANCE_HANDLE_TYPE, 0x50010003};
    for (int h : handles) {
        EXPECT_EQ(-1, DeleteModelBase(h)) << std::hex << h;
        EXPECT_EQ(-1, DeleteModelInstance(h)) << std::hex << h;
    }
}

template <typename T> T* Block(size_t count = 1)
{
    return (T*)AllocTrackedZero(sizeof(T) * count, "test", __LINE__);
}

// A base with a mesh, a material and two frames, two instances of it, and a
// reserved slot in each table: shut-down deletes them all and every block the
// module held is returned.
TEST_F(ModelTables, ShutDownDeletesEveryRecordAndReturnsItsMemory)
{
    Screen.hardware = 1;
    const int before = GetAllocCount();
    ASSERT_EQ(0, InitializeModelSystem());

    Models.baseSlots = 3;
    Models.bases = Block<ModelBase*>(3);
    Models.instanceSlots = 4;
    Models.instances = Block<ModelInstance*>(4);
    Models.work = Block<char>(64);

    ModelBase* base = Block<ModelBase>();
    base->handle = MODEL_BASE_HANDLE_TYPE | 1;
    base->references = 3;
    base->meshCount = 1;
    base->meshes = Block<ModelMesh>();
    base->meshes[0].vertices = Block<float>(12);
    base->meshes[0].indices = Block<uint16_t>(3);
    base->materialCount = 1;
    base->materials = Block<ModelMaterial>();
    base->materials[0].colourData = Block<char>(16);
    base->frameCount = 2;
    base->frames = Block<void*>(2);
    base->frames[0] = Block<char>(8);
    base->frames[1] = Block<char>(8);
    Models.bases[1] = base;
    Models.bases[2] = (ModelBase*)1;
    Models.baseCount = 2;

    ModelInstance* instances[2];
    for (int i = 0; i < 2; i++) {
        ModelInstance* in = instances[i] = Block<ModelInstance>();
        in->slot = i * 2;
        in->handle = (int)((uint32_t)(0x5000 | (7 + i)) << 16) | in->slot;
        in->baseHandle = base->handle;
        in->base = base;
        in->slotDataCount = 2;
        in->slotData = Block<void*>(2);
        in->slotData[1] = Block<char>(4);
        in->frames = Block<ModelInstanceFrame>(2);
        in->frames[1].blocks[0] = Block<char>(4);
        in->frames[0].blocks[1] = Block<char>(4);
        in->materials = Block<ModelMaterial>();
        in->materials[0].alphaData = Block<char>(4);
        in->vertexBuffers = Block<IDirect3DVertexBuffer9*>();
        Models.instances[in->slot] = in;
    }
    instances[0]->next = instances[1];
    instances[1]->previous = instances[0];
    base->firstInstance = instances[0];
    base->lastInstance = instances[1];
    base->instanceCount = 2;
    Models.instances[3] = (ModelInstance*)1;
    Models.instanceCount = 3;

    // A handle whose check value differs is refused; the right one unlinks
    // its instance and drops its reference on the base.
    EXPECT_EQ(-1, DeleteModelInstance(instances[1]->handle ^ 0x00010000));
    EXPECT_EQ(0, DeleteModelInstance(instances[1]->handle));
    EXPECT_EQ(instances[0], base->lastInstance);
    EXPECT_EQ(nullptr, instances[0]->next);
    EXPECT_EQ(1, base->instanceCount);
    EXPECT_EQ(2, base->references);
    EXPECT_EQ(2, Models.instanceCount);

    // The device hooks walk the records without a device.
    EXPECT_EQ(0, ReleaseModelDeviceObjects());
    EXPECT_EQ(0, RestoreAllModelBases());

    EXPECT_EQ(0, TerminateModelSystem());
    EXPECT_EQ(0, Models.initialised);
    EXPECT_EQ(0, Models.baseCount);
    EXPECT_EQ(0, Models.instanceCount);
    EXPECT_EQ(nullptr, Models.bases);
    EXPECT_EQ(nullptr, Models.instances);
    EXPECT_EQ(before, GetAllocCount());
}

// Pixels of the back screen at (x0, y0) that differ from want(x, y) in
// their colour bits.
template <typename Want> int WrongScreenPixels(int x0, int y0, int width, int height, Want want)
{
    RasterImage screen;
    RECT area = {x0, y0, x0 + width, y0 + height};
    if (LockScreenImage(&area, &screen) != 0)
        return -1;
    int wrong = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t v;
            memcpy(&v, (const uint8_t*)screen.pixels + (ptrdiff_t)y * screen.pitch + 4 * x, 4);
            wrong += (v & 0xFFFFFF) != want(x, y);
        }
    UnlockScreenImage();
    return wrong;
}

// The library on Direct3D: start-up fills the table, a loss reset runs the
// model hooks (over empty tables, then with built-in textures and a material
// whose graphs only the model restore refills), and the library's end clears
// the module.
class ModelDevice : public testing::Test {
protected:
    static void SetUpTestSuite() { started = StartLibraryOnDirect3D(640, 480); }
    void SetUp() override { ASSERT_TRUE(started); }
    static bool started;
};

bool ModelDevice::started;

TEST_F(ModelDevice, ResetRunsTheHooksAndRefillsTheModelTextures)
{
    ASSERT_EQ(1, Models.initialised);
    EXPECT_NEAR(1.0, Models.sineTable[16384], 1e-7);
    EXPECT_EQ(0, Models.baseSlots);
    EXPECT_EQ(0, Models.instanceSlots);

    // Empty tables: the hooks change nothing but keep the keying setting.
    ASSERT_EQ(0, SetTransColorKeying(1));
    ASSERT_EQ(0, ResetDevice(0, 0, 0, 0, 0));
    EXPECT_EQ(1, Screen.hardware);
    EXPECT_NE(nullptr, DeviceObjects.device);
    EXPECT_EQ(1, Models.initialised);
    EXPECT_EQ(1, Draw.create.useTransColor);
    for (int texture : Models.builtinTextures)
        EXPECT_EQ(0, texture);
    ASSERT_EQ(0, SetTransColorKeying(0));

    // Graphs of the built-in sizes and one material texture; none has a file,
    // so after a reset only the model restore gives them their pictures.
    const int sizes[3][2] = {{4, 4}, {8, 4}, {256, 8}};
    for (int i = 0; i < 3; i++) {
        Models.builtinTextures[i] = CreateEmptyGraph(sizes[i][0], sizes[i][1]);
        ASSERT_NE(-1, Models.builtinTextures[i]);
    }
    const std::vector<uint8_t> quad = Tga(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF808080});
    Models.baseSlots = 1;
    Models.bases = Block<ModelBase*>(1);
    ModelBase* base = Models.bases[0] = Block<ModelBase>();
    Models.baseCount = 1;
    base->handle = MODEL_BASE_HANDLE_TYPE;
    base->references = 1;
    base->materialCount = 1;
    base->materials = Block<ModelMaterial>();
    base->materials[0].colourData = Block<uint8_t>(quad.size());
    memcpy(base->materials[0].colourData, quad.data(), quad.size());
    base->materials[0].colourSize = (int)quad.size();
    base->materials[0].texture = CreateEmptyGraph(2, 2);
    ASSERT_NE(-1, base->materials[0].texture);

    ASSERT_EQ(0, ResetDevice(0, 0, 0, 0, 0));
    SelectDrawTarget(DRAW_TARGET_BACK);
    ASSERT_EQ(0, ClearDrawTarget(nullptr));
    ASSERT_EQ(0, DrawGraphAt(0, 0, Models.builtinTextures[0], 0));
    ASSERT_EQ(0, DrawGraphAt(0, 20, Models.builtinTextures[2], 0));
    ASSERT_EQ(0, DrawGraphAt(20, 0, base->materials[0].texture, 0));
    EXPECT_EQ(0, WrongScreenPixels(0, 0, 4, 4, [](int x, int y) { return (uint32_t)(4 * y + x) * 0x111111u; }));
    EXPECT_EQ(0, WrongScreenPixels(0, 20, 256, 8, [](int x, int) { return (uint32_t)x * 0x010101u; }));
    const uint32_t quadColours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    EXPECT_EQ(0, WrongScreenPixels(20, 0, 2, 2, [&](int x, int y) { return quadColours[2 * y + x]; }));

    // The library's end deletes the base with its texture graph.
    const int texture = base->materials[0].texture;
    EXPECT_EQ(0, TerminateModelSystem());
    EXPECT_EQ(0, IsGraphHandleValid(texture));
    EXPECT_EQ(0, InitializeModelSystem());
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(0, Models.initialised);
    EXPECT_EQ(nullptr, Models.bases);
}

}  // namespace
