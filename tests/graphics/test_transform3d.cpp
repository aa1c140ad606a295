// The 3D state: camera and projection against independently computed
// matrices, lights, material, ambient and fog as the device and the shader
// constants receive them, and the reset of the whole draw state.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/shaders.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "graphics/vertex_batch.h"
#include "test_device.h"
#include "tests/graphics/recording_device.h"

namespace {

void DeleteAllLights()
{
    for (int slot = 0; slot < LightHandles.endSlot; slot++)
        FreeLightHandle(HandleAtSlot(&LightHandles, slot));
    LightHandles.checkCounter = 0;
    Draw.defaultLight = -1;
}

struct Transform3DTest : ::testing::Test {
    TestDevice d;
    void SetUp() override
    {
        memset(&Draw, 0, sizeof Draw);
        Draw.target = -2;
        Draw.defaultLight = -1;
        memset(&Device3D, 0, sizeof Device3D);
        Device3D.highestEnabledLight = -1;
        Device3D.highestAssignedLight = -1;
        memset(VertexShaderConstants, 0, sizeof VertexShaderConstants);
        memset(PixelShaderConstants, 0, sizeof PixelShaderConstants);
        Screen.width = 640;
        Screen.height = 480;
        Screen.depth = 32;
    }
    void TearDown() override
    {
        d.Close();
        DeleteAllLights();
        Screen = ScreenSettings{};
    }
    bool Open()
    {
        return d.Open();
    }
    void ExpectTransform(D3DTRANSFORMSTATETYPE type, const float* expected, float tolerance)
    {
        D3DMATRIX m;
        d.device->GetTransform(type, &m);
        for (int i = 0; i < 16; i++)
            EXPECT_NEAR(expected[i], (&m._11)[i], tolerance) << "transform " << type << " element " << i;
    }
};

void ExpectConstant(const float* reg, float x, float y, float z, float w)
{
    EXPECT_NEAR(x, reg[0], 1e-5f);
    EXPECT_NEAR(y, reg[1], 1e-5f);
    EXPECT_NEAR(z, reg[2], 1e-5f);
    EXPECT_NEAR(w, reg[3], 1e-5f);
}

} // namespace

TEST_F(Transform3DTest, PerspectiveCameraReachesTheDeviceUnchangedOverTheWholeTarget)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    Draw.camera.aspectScale = 1.0f;
    Draw.camera.viewportScale = 1.0f;
    CenterCameraOnScreen(320, 240);
    SetClipArea(0, 0, 640, 480);
    SetCameraFieldOfView(1.0471976f);
    SetCameraClipPlanes(10.0f, 10000.0f);

    // 60 degrees: cot(30) = sqrt(3); x is scaled by height / width.
    double y = sqrt(3.0), x = y * 480.0 / 640.0, q = 10000.0 / 9990.0;
    const float expected[16] = { (float)x, 0, 0, 0, 0, (float)y, 0, 0, 0, 0, (float)q, 1, 0, 0, (float)(-q * 10.0), 0 };
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(expected[i], Draw.projection.m[i], 1e-4f) << i;
    ExpectTransform(D3DTS_PROJECTION, expected, 1e-3f);
    EXPECT_EQ(CAMERA_PERSPECTIVE, Draw.camera.mode);
    // The shader sees the projection transposed in c2-c5.
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            EXPECT_NEAR(expected[c * 4 + r], VertexShaderConstants[2 + r][c], 1e-3f);
}

TEST_F(Transform3DTest, OrthographicAndUserProjections)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    Draw.camera.viewportScale = 1.0f;
    CenterCameraOnScreen(320, 240);
    SetClipArea(0, 0, 640, 480);
    Draw.camera.mode = CAMERA_ORTHOGRAPHIC;
    Draw.camera.aspectScale = 2.0f;   // aspect 480 / 640 * 2 = 1.5
    Draw.camera.orthoSize = 4.0f;
    SetCameraClipPlanes(1.0f, 11.0f);
    // Visible height 4, width 4 / 1.5; depth 1..11 to 0..1.
    const float ortho[16] = { 2.0f / (4.0f / 1.5f), 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.1f, 0, 0, 0, -0.1f, 1 };
    ExpectTransform(D3DTS_PROJECTION, ortho, 1e-4f);

    Matrix user;
    MakeIdentityMatrix(&user);
    user.m[0] = 3.0f;
    user.m[13] = 0.25f;
    EXPECT_EQ(0, SetProjectionMatrixDirect(&user));
    EXPECT_EQ(CAMERA_USER_MATRIX, Draw.camera.mode);
    ExpectTransform(D3DTS_PROJECTION, user.m, 1e-4f);
    // The clip planes no longer change a user matrix.
    SetCameraClipPlanes(5.0f, 50.0f);
    ExpectTransform(D3DTS_PROJECTION, user.m, 1e-4f);
}

TEST_F(Transform3DTest, ViewAndWorldReachTheDeviceAndTheCombinedMatrices)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    Vector3 eye = { 320, 240, -415.69f }, target = { 320, 240, -414.69f }, up = { 0, 1, 0 };
    Matrix view, world;
    MakeLookAtMatrix(&view, &eye, &target, &up);
    MakeIdentityMatrix(&world);
    world.m[12] = 5.0f;
    EXPECT_EQ(0, SetViewMatrix(&view));
    EXPECT_EQ(0, SetWorldMatrix(&world));
    ExpectTransform(D3DTS_VIEW, view.m, 1e-4f);
    ExpectTransform(D3DTS_WORLD, world.m, 1e-6f);
    EXPECT_EQ(1, Draw.viewSet);
    EXPECT_EQ(1, Draw.worldSet);
    // A camera looking along +z: right +x, up +y, forward +z.
    ExpectConstant(&Draw.cameraRight.x, 1, 0, 0, 0);
    ExpectConstant(&Draw.cameraUp.x, 0, 1, 0, 0);
    ExpectConstant(&Draw.cameraForward.x, 0, 0, 1, 0);
    // View constants c6-c9 are the transposed view: c9 = column 3 = (0, 0, 0, 1).
    ExpectConstant(VertexShaderConstants[6], 1, 0, 0, -320);
    ExpectConstant(VertexShaderConstants[9], 0, 0, 0, 1);

    // world x view x projection x viewport carries a point to its pixel.
    Draw.camera.aspectScale = 1.0f;
    Draw.camera.viewportScale = 1.0f;
    CenterCameraOnScreen(320, 240);
    SetCameraFieldOfView(1.0471976f);
    SetCameraClipPlanes(41.0f, 20415.0f);
    Vector3 p = { 100.0f, 50.0f, 0.0f };
    Float4 h = { 0, 0, 0, 0 };
    const float* m = Draw.worldCombined.m;
    for (int c = 0; c < 4; c++)
        (&h.x)[c] = p.x * m[c] + p.y * m[4 + c] + p.z * m[8 + c] + m[12 + c];
    // The world moves the point 5 to the right; the camera 415.69 away from
    // the target plane sees it at its own 2D pixel, y downward.
    EXPECT_NEAR(105.0f, h.x / h.w, 0.05f);
    EXPECT_NEAR(480.0f - 50.0f, h.y / h.w, 0.05f);
}

TEST_F(Transform3DTest, LightRecordsTakeDefaultsAndWrapTheirCheckValue)
{
    int h = CreateDirectionalLight(1, -1, 1);
    ASSERT_NE(-1, h);
    EXPECT_EQ(HANDLE_TYPE_LIGHT, h & HANDLE_TYPE_MASK);
    LightRecord* r = GetLightRecord(h);
    ASSERT_NE(nullptr, r);
    float n = 1.0f / sqrtf(3.0f);
    EXPECT_EQ(D3DLIGHT_DIRECTIONAL, r->light.Type);
    EXPECT_NEAR(n, r->light.Direction.x, 1e-6f);
    EXPECT_NEAR(-n, r->light.Direction.y, 1e-6f);
    EXPECT_NEAR(n, r->light.Direction.z, 1e-6f);
    EXPECT_EQ(2000.0f, r->light.Range);
    EXPECT_EQ(1.0f, r->light.Falloff);
    EXPECT_FLOAT_EQ(0.1f, r->light.Attenuation0);
    EXPECT_EQ(2.0f, r->light.Theta);
    EXPECT_FLOAT_EQ(0.33f, r->light.Ambient.g);
    EXPECT_EQ(1.0f, r->light.Diffuse.a);
    EXPECT_EQ(-1, r->deviceIndex);
    EXPECT_EQ(1, r->enabled);
    EXPECT_EQ(1, Draw.lightsChanged);

    LightHandles.checkCounter = 2047;
    int a = CreateLightRecord(), b = CreateLightRecord();
    EXPECT_EQ(2047, (a >> 16) & 0x7FF);
    EXPECT_EQ(0, (b >> 16) & 0x7FF);

    Draw.defaultLight = h;
    EXPECT_EQ(0, DeleteAllLightsButDefault());
    EXPECT_EQ(1, LightHandles.count);
    EXPECT_NE(nullptr, GetLightRecord(h));
    EXPECT_EQ(-1, FreeLightHandle(a));
}

TEST_F(Transform3DTest, EveryLightSlotTakenRefusesANewLight)
{
    for (int i = 0; i < LIGHT_HANDLE_MAX; i++)
        ASSERT_NE(-1, CreateLightRecord());
    EXPECT_EQ(-1, CreateLightRecord());
    EXPECT_EQ(-1, CreateDirectionalLight(0, 0, 1));
}

TEST_F(Transform3DTest, LightRefreshOrdersByTypeAndSwitchesOffFreedIndices)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    int point = CreateLightRecord();
    GetLightRecord(point)->light.Type = D3DLIGHT_POINT;
    GetLightRecord(point)->light.Position = { 1, 2, 3 };
    int dir1 = CreateDirectionalLight(0, 0, 1);
    int dir2 = CreateDirectionalLight(1, 0, 0);

    RefreshDeviceLights();
    EXPECT_EQ(0, GetLightRecord(dir1)->deviceIndex);
    EXPECT_EQ(1, GetLightRecord(dir2)->deviceIndex);
    EXPECT_EQ(2, GetLightRecord(point)->deviceIndex);
    D3DLIGHT9 sent;
    d.device->GetLight(2, &sent);
    EXPECT_EQ(D3DLIGHT_POINT, sent.Type);
    EXPECT_EQ(3.0f, sent.Position.z);
    BOOL on = FALSE;
    d.device->GetLightEnable(2, &on);
    EXPECT_TRUE(on);
    EXPECT_EQ(0, Draw.lightsChanged);
    EXPECT_EQ((DWORD)TRUE, d.RenderState(D3DRS_LIGHTING));

    GetLightRecord(dir1)->enabled = 0;
    Draw.lightsChanged = 1;
    RefreshDeviceLights();
    EXPECT_EQ(0, GetLightRecord(dir2)->deviceIndex);
    EXPECT_EQ(1, GetLightRecord(point)->deviceIndex);
    d.device->GetLight(1, &sent);
    EXPECT_EQ(D3DLIGHT_POINT, sent.Type);
    d.device->GetLightEnable(2, &on);
    EXPECT_FALSE(on);
    EXPECT_EQ(1, Device3D.highestEnabledLight);
}

TEST_F(Transform3DTest, HighestEnabledLightFallsToZeroWhenNoneIsLeftBelow)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = { 0, 0, 1 };
    EXPECT_EQ(0, SetLightForward(5, 1, &light));
    EXPECT_EQ(5, Device3D.highestEnabledLight);
    EXPECT_EQ(0, SetLightEnableState(5, 0));
    EXPECT_EQ(0, Device3D.highestEnabledLight);
    EXPECT_EQ(0, SetLightForward(7, 1, &light));
    EXPECT_EQ(0, SetLightForward(3, 1, &light));
    EXPECT_EQ(0, SetLightEnableState(7, 0));
    EXPECT_EQ(3, Device3D.highestEnabledLight);
    EXPECT_EQ(-1, SetLightEnableState(-1, 1));
}

TEST_F(Transform3DTest, MaterialAndAmbientReachTheDeviceAndTheConstants)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    D3DMATERIAL9 material = {};
    material.Diffuse = { 0.5f, 0.25f, 1.0f, 1.0f };
    material.Specular = { 0.1f, 0.2f, 0.3f, 0.4f };
    material.Ambient = { 0.5f, 0.5f, 1.0f, 1.0f };
    material.Emissive = { 0.125f, 0, 0, 0 };
    material.Power = 20.0f;
    EXPECT_EQ(0, SetMaterialState(&material));
    D3DMATERIAL9 sent;
    d.device->GetMaterial(&sent);
    EXPECT_EQ(0, memcmp(&material, &sent, sizeof sent));
    ExpectConstant(VertexShaderConstants[11], 0.5f, 0.25f, 1.0f, 1.0f);
    ExpectConstant(VertexShaderConstants[12], 0.1f, 0.2f, 0.3f, 0.4f);
    ExpectConstant(VertexShaderConstants[13], 20.0f, 0, 0, 0);
    ExpectConstant(PixelShaderConstants[2], 0.5f, 0.25f, 1.0f, 1.0f);
    ExpectConstant(PixelShaderConstants[4], 20.0f, 0, 0, 0);

    EXPECT_EQ(0, SetGlobalAmbient(0x80FF6633));
    EXPECT_EQ(0x80FF6633u, d.RenderState(D3DRS_AMBIENT));
    // global ambient x material ambient + emissive
    ExpectConstant(VertexShaderConstants[1], 1.0f * 0.5f + 0.125f, 0.4f * 0.5f, 0.2f * 1.0f, 128.0f / 255.0f);
    ExpectConstant(PixelShaderConstants[1], 0.625f, 0.2f, 0.2f, 128.0f / 255.0f);

    // Light 0's ambient times the material ambient goes to c18 and p11.
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Ambient = { 0.5f, 0.5f, 0.5f, 1.0f };
    light.Direction = { 0, 0, 1 };
    SetLightForward(0, 1, &light);
    ExpectConstant(VertexShaderConstants[18], 0.25f, 0.25f, 0.5f, 1.0f);
    ExpectConstant(PixelShaderConstants[11], 0.25f, 0.25f, 0.5f, 1.0f);

    // Lights far above the four shader lights stay within the registers.
    SetLightForward(200, 1, &light);
    EXPECT_EQ(200, Device3D.highestEnabledLight);

    EXPECT_EQ(0, SetDiffuseMaterialSource(1));
    EXPECT_EQ((DWORD)D3DMCS_COLOR1, d.RenderState(D3DRS_DIFFUSEMATERIALSOURCE));
    EXPECT_EQ(0, SetSpecularMaterialSource(0));
    EXPECT_EQ((DWORD)D3DMCS_MATERIAL, d.RenderState(D3DRS_SPECULARMATERIALSOURCE));
    EXPECT_EQ(0, SetLightingEnable(0));
    EXPECT_EQ((DWORD)FALSE, d.RenderState(D3DRS_LIGHTING));
}

TEST_F(Transform3DTest, FogReachesTheDeviceAndTheFogConstant)
{
    if (!Open())
        GTEST_SKIP() << "no Direct3D 9 device";
    EXPECT_EQ(0, SetFogKind(D3DFOG_EXP));
    EXPECT_EQ((DWORD)D3DFOG_EXP, d.RenderState(D3DRS_FOGVERTEXMODE));
    EXPECT_EQ(0, SetFogColorRGB(1, 2, 3));
    EXPECT_EQ(0xFF010203u, d.RenderState(D3DRS_FOGCOLOR));
    EXPECT_EQ(0xFF010203u, Draw.fog.color);
    EXPECT_EQ(0, SetFogDensityCached(0.5f));
    EXPECT_EQ(0, SetFogRange(100.0f, 600.0f));
    EXPECT_EQ(100.0f, d.RenderStateFloat(D3DRS_FOGSTART));
    EXPECT_EQ(600.0f, d.RenderStateFloat(D3DRS_FOGEND));
    ExpectConstant(VertexShaderConstants[10], 600.0f / 500.0f, -1.0f / 500.0f, 0.5f, 2.7182817f);

    // Only the end changes: the start stays where it is.
    EXPECT_EQ(0, SetFogRange(100.0f, 300.0f));
    EXPECT_EQ(300.0f, d.RenderStateFloat(D3DRS_FOGEND));
    ExpectConstant(VertexShaderConstants[10], 300.0f / 200.0f, -1.0f / 200.0f, 0.5f, 2.7182817f);
    EXPECT_EQ(0, SetFogEnableCached(1));
    EXPECT_EQ((DWORD)TRUE, d.RenderState(D3DRS_FOGENABLE));
}

TEST_F(Transform3DTest, FogSettingsWithoutADeviceStayInTheDrawState)
{
    EXPECT_EQ(0, SetFogKind(D3DFOG_LINEAR));
    EXPECT_EQ(0, SetFogRange(2.0f, 3.0f));
    EXPECT_EQ(D3DFOG_LINEAR, Draw.fog.mode);
    EXPECT_EQ(2.0f, Draw.fog.start);
    EXPECT_EQ(3.0f, Draw.fog.end);
    EXPECT_EQ(0, SetMaterialState(&Draw.material.material));   // no device: nothing to do
    EXPECT_EQ(-1, ApplyLightingShaderState());
}

TEST_F(Transform3DTest, ResetGivesEveryDefaultAndKeepsTheLongLivedSettings)
{
    Screen.started = 1;
    Draw.noVSync = 1;
    Draw.reducedScreen = 1;
    Draw.blendMode = 5;
    Draw.brightness = 0x123456;
    Draw.cullMode = 2;
    Draw.create.drawable = 1;
    Draw.create.transColor = 0xFF00FF;
    EXPECT_EQ(0, ResetGraphicsState());

    EXPECT_EQ(1, Draw.noVSync);
    EXPECT_EQ(1, Draw.reducedScreen);
    EXPECT_EQ(0, Draw.blendMode);
    EXPECT_EQ(0, Draw.blendParam);
    EXPECT_EQ(0x00FFFFFFu, Draw.brightness);
    EXPECT_EQ(-1, Draw.blendGraph);
    EXPECT_EQ(0, Draw.cullMode);
    EXPECT_EQ(D3DFILL_SOLID, Draw.fillMode);
    for (int k = 0; k < TEXTURE_STAGE_COUNT; k++) {
        EXPECT_EQ(D3DTADDRESS_CLAMP, Draw.addressU[k]);
        EXPECT_EQ(D3DTADDRESS_CLAMP, Draw.addressV[k]);
        EXPECT_EQ(D3DTADDRESS_CLAMP, Draw.addressW[k]);
    }
    EXPECT_FLOAT_EQ(0.2f, Draw.vertexDepth2D);
    for (const DepthSet* set : { &Draw.depth2D, &Draw.depth3D }) {
        EXPECT_EQ(0, set->zEnable);
        EXPECT_EQ(0, set->zWriteEnable);
        EXPECT_EQ(D3DCMP_LESSEQUAL, set->zFunc);
        EXPECT_EQ(0, set->depthBias);
    }
    EXPECT_EQ(0, Draw.filterMode);
    EXPECT_EQ(1, Draw.maxAnisotropy);
    EXPECT_EQ(0, Draw.create.drawable);
    EXPECT_EQ(0u, Draw.create.transColor);
    EXPECT_EQ(1, Draw.create.useTransColor);
    EXPECT_EQ(1, Draw.create.alphaTest);
    EXPECT_EQ(0, Draw.create.colorDepth);
    EXPECT_EQ(1, Draw.maskRequest);
    EXPECT_EQ(D3DFOG_LINEAR, Draw.fog.mode);
    EXPECT_EQ(0xFFFFFFFFu, Draw.fog.color);
    EXPECT_EQ(0.0f, Draw.fog.start);
    EXPECT_EQ(1500.0f, Draw.fog.end);
    EXPECT_EQ(1, Draw.lightsChanged);

    EXPECT_TRUE(Draw.target == -2 || Draw.target == -4) << Draw.target;
    EXPECT_EQ(0, Draw.area.left);
    EXPECT_EQ(0, Draw.area.top);
    EXPECT_EQ(640, Draw.area.right);
    EXPECT_EQ(480, Draw.area.bottom);

    LightRecord* light = GetLightRecord(Draw.defaultLight);
    ASSERT_NE(nullptr, light);
    EXPECT_EQ(D3DLIGHT_DIRECTIONAL, light->light.Type);
    EXPECT_NEAR(-1.0f / sqrtf(3.0f), light->light.Direction.y, 1e-6f);

    EXPECT_EQ(10.0f, Draw.camera.nearZ);
    EXPECT_EQ(10000.0f, Draw.camera.farZ);
    EXPECT_EQ(CAMERA_PERSPECTIVE, Draw.camera.mode);
    EXPECT_EQ(1.0f, Draw.camera.aspectScale);
    EXPECT_FLOAT_EQ(1.0471976f, Draw.camera.fov);
    EXPECT_EQ(1.0f, Draw.camera.orthoSize);
    EXPECT_EQ(1.0f, Draw.camera.viewportScale);
    Matrix identity;
    MakeIdentityMatrix(&identity);
    EXPECT_EQ(0, memcmp(&identity, &Draw.camera.userProjection, sizeof identity));

    EXPECT_EQ(1, Draw.material.useVertexColor);
    EXPECT_FLOAT_EQ(0.8f, Draw.material.material.Diffuse.r);
    EXPECT_EQ(1.0f, Draw.material.material.Diffuse.a);
    EXPECT_EQ(0.0f, Draw.material.material.Ambient.r);
    EXPECT_FLOAT_EQ(0.8f, Draw.material.material.Specular.b);
    EXPECT_EQ(0.0f, Draw.material.material.Specular.a);
    EXPECT_EQ(20.0f, Draw.material.material.Power);
}

namespace {

struct Cached3DTest : ::testing::Test {
    RecordingDevice device;
    void SetUp() override
    {
        memset(&Draw, 0, sizeof Draw);
        Draw.target = -2;
        InstallRecordingDevice(&device);
        Screen.width = 640;
        Screen.height = 480;
        SetDefaultRenderStates();
        FlushVertexBuffer();
        device.Forget();
    }
    void TearDown() override { RemoveRecordingDevice(); }
    size_t RenderStateCount(D3DRENDERSTATETYPE state)
    {
        size_t n = 0;
        for (const DeviceCall& call : device.Of(CALL_RENDER_STATE))
            n += call.a == (DWORD)state;
        return n;
    }
};

} // namespace

TEST_F(Cached3DTest, ChangesFlushTheBatchFirstAndUnchangedValuesSendNothing)
{
    ASSERT_NE(nullptr, AppendVertices(D3DPT_TRIANGLELIST, 3, 0));
    EXPECT_EQ(0, SetFogColorCached(0xFF102030));
    ASSERT_EQ(2u, device.calls.size());
    EXPECT_EQ(CALL_DRAW_UP, device.calls[0].kind);   // queued vertices go out first
    EXPECT_EQ(CALL_RENDER_STATE, device.calls[1].kind);
    EXPECT_EQ((DWORD)D3DRS_FOGCOLOR, device.calls[1].a);

    device.Forget();
    ASSERT_NE(nullptr, AppendVertices(D3DPT_TRIANGLELIST, 3, 0));
    EXPECT_EQ(0, SetFogColorCached(0xFF102030));
    EXPECT_EQ(0, SetLightingEnableCached(DeviceStateCache.lighting));
    EXPECT_EQ(0, SetFogRangeCached(0.0f, 1.0f));
    EXPECT_EQ(0u, device.calls.size());

    // Only the end that changed is sent; forced, both go again.
    EXPECT_EQ(0, SetFogRangeCached(0.0f, 50.0f));
    EXPECT_EQ(0u, RenderStateCount(D3DRS_FOGSTART));
    EXPECT_EQ(1u, RenderStateCount(D3DRS_FOGEND));
    DeviceStateCache.force = 1;
    EXPECT_EQ(0, SetFogRangeCached(0.0f, 50.0f));
    DeviceStateCache.force = 0;
    EXPECT_EQ(1u, RenderStateCount(D3DRS_FOGSTART));
    EXPECT_EQ(2u, RenderStateCount(D3DRS_FOGEND));

    // A material equal to the device's sends nothing.
    D3DMATERIAL9 material = DeviceStateCache.material;
    device.Forget();
    EXPECT_EQ(0, SetMaterialState(&material));
    EXPECT_EQ(0u, device.Count(CALL_MATERIAL));
    material.Power = 3.0f;
    EXPECT_EQ(0, SetMaterialState(&material));
    EXPECT_EQ(1u, device.Count(CALL_MATERIAL));
}

TEST_F(Cached3DTest, LightingShaderStateSetsTheFixedStagesAndForgetsShaders)
{
    DeviceStateCache.vertexShader = (IDirect3DVertexShader9*)&device;
    VertexBatch.fvf = VERTEX_FVF_TEXTURED;
    EXPECT_EQ(0, ApplyLightingShaderState());
    const DWORD indices[4] = { 0, 1, 1, 0 };
    for (DWORD k = 0; k < 4; k++) {
        DWORD value = 99;
        EXPECT_TRUE(device.LastStageState(k, D3DTSS_TEXCOORDINDEX, &value));
        EXPECT_EQ(indices[k], value);
        EXPECT_TRUE(device.LastSamplerState(k, D3DSAMP_ADDRESSU, &value));
        EXPECT_EQ((DWORD)DeviceStateCache.stages[k].addressU, value);
    }
    DWORD cull = 0;
    EXPECT_TRUE(device.LastRenderState(D3DRS_CULLMODE, &cull));
    EXPECT_EQ((DWORD)D3DCULL_NONE, cull);
    EXPECT_EQ(nullptr, DeviceStateCache.vertexShader);
    EXPECT_EQ(0u, VertexBatch.fvf);
    EXPECT_EQ(1u, device.Count(CALL_VERTEX_SHADER));
    ExpectConstant(PixelShaderConstants[0], 0.0f, 0.5f, 1.0f, 2.0f);
    ExpectConstant(VertexShaderConstants[0], 0.0f, 1.0f, 0.0f, 0.0f);
}
