#include <gtest/gtest.h>

#include "graphics/device.h"
#include "graphics/vertex_batch.h"
#include "runtime/system_state.h"
#include "tests/graphics/recording_device.h"

namespace {

class VertexBatchTest : public testing::Test {
protected:
    RecordingDevice device;
    void SetUp() override { InstallRecordingDevice(&device); }
    void TearDown() override { RemoveRecordingDevice(); }

    // Queues n vertices and marks each with its running number in x.
    void Queue(int type, int n, int allowFull = 0)
    {
        void* at = AppendVertices(type, n, allowFull);
        ASSERT_NE(at, nullptr);
        int stride = VertexStride(VertexBatch.kind);
        for (int i = 0; i < n; i++)
            reinterpret_cast<float*>(static_cast<unsigned char*>(at) + i * stride)[0] = (float)i;
    }
};

TEST_F(VertexBatchTest, EmptyFlushMakesNoDeviceCall)
{
    EXPECT_EQ(FlushVertexBuffer(), 0);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(VertexBatchTest, WithoutDeviceTheFlushFailsAndKeepsTheVertices)
{
    DeviceObjects.device = nullptr;
    Queue(D3DPT_TRIANGLELIST, 6);
    EXPECT_EQ(FlushVertexBuffer(), -1);
    EXPECT_EQ(VertexBatch.count, 6);
    DeviceObjects.device = &device;
    EXPECT_EQ(FlushVertexBuffer(), 0);
    ASSERT_EQ(device.Count(CALL_DRAW_UP), 1u);
    EXPECT_EQ(device.Of(CALL_DRAW_UP)[0].b, 2u);
}

TEST_F(VertexBatchTest, SevenTriangleListVerticesDrawTwoTriangles)
{
    Queue(D3DPT_TRIANGLELIST, 7);
    EXPECT_EQ(FlushVertexBuffer(), 0);
    ASSERT_EQ(device.calls.size(), 3u);
    EXPECT_EQ(device.calls[0].kind, CALL_BEGIN_SCENE);
    EXPECT_EQ(device.calls[1].kind, CALL_FVF);
    EXPECT_EQ(device.calls[1].a, 0x144u);
    const DeviceCall& draw = device.calls[2];
    EXPECT_EQ(draw.kind, CALL_DRAW_UP);
    EXPECT_EQ(draw.a, (DWORD)D3DPT_TRIANGLELIST);
    EXPECT_EQ(draw.b, 2u);
    EXPECT_EQ(draw.c, 28u);
    EXPECT_EQ(draw.pointer, static_cast<const void*>(VertexBatch.textured));
    EXPECT_EQ(VertexBatch.count, 0);
    device.Forget();
    EXPECT_EQ(FlushVertexBuffer(), 0);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(VertexBatchTest, PrimitiveCountFollowsTheType)
{
    struct Case { int type; DWORD primitives; } cases[] = {
        {D3DPT_POINTLIST, 7}, {D3DPT_LINELIST, 3}, {D3DPT_LINESTRIP, 6},
        {D3DPT_TRIANGLELIST, 2}, {D3DPT_TRIANGLESTRIP, 5}, {D3DPT_TRIANGLEFAN, 5}, {7, 0},
    };
    for (const Case& c : cases) {
        device.Forget();
        Queue(c.type, 7);
        FlushVertexBuffer();
        ASSERT_EQ(device.Count(CALL_DRAW_UP), 1u) << c.type;
        EXPECT_EQ(device.Of(CALL_DRAW_UP)[0].a, (DWORD)c.type);
        EXPECT_EQ(device.Of(CALL_DRAW_UP)[0].b, c.primitives) << c.type;
    }
}

TEST_F(VertexBatchTest, AnotherPrimitiveTypeFlushesTheQueuedOnes)
{
    Queue(D3DPT_TRIANGLELIST, 6);
    EXPECT_TRUE(device.Of(CALL_DRAW_UP).empty());
    Queue(D3DPT_LINELIST, 2);
    auto draws = device.Of(CALL_DRAW_UP);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].a, (DWORD)D3DPT_TRIANGLELIST);
    EXPECT_EQ(draws[0].b, 2u);
    EXPECT_EQ(VertexBatch.count, 2);
    EXPECT_EQ(VertexBatch.primitiveType, D3DPT_LINELIST);
    // The line went to the start of the buffer.
    EXPECT_EQ(VertexBatch.textured[1].x, 1.0f);
    EXPECT_EQ(VertexBatch.write, reinterpret_cast<unsigned char*>(&VertexBatch.textured[2]));
}

TEST_F(VertexBatchTest, AFullBatchFlushesBeforeTheNextQuad)
{
    // Quads (six vertices, strict room test) that fit in one batch of each kind.
    struct Case { int kind; int quads; DWORD stride; DWORD fvf; } cases[] = {
        {VERTEX_KIND_PLAIN, 537, 20, 0x44},
        {VERTEX_KIND_TEXTURED, 389, 28, 0x144},
        {VERTEX_KIND_BLEND, 272, 40, 0x2C4},
    };
    for (const Case& c : cases) {
        FlushVertexBuffer();
        ASSERT_EQ(SetVertexKind(c.kind), 0);
        device.Forget();
        for (int i = 0; i < c.quads; i++)
            Queue(D3DPT_TRIANGLELIST, 6);
        EXPECT_TRUE(device.Of(CALL_DRAW_UP).empty()) << c.kind;
        Queue(D3DPT_TRIANGLELIST, 6);
        auto draws = device.Of(CALL_DRAW_UP);
        ASSERT_EQ(draws.size(), 1u) << c.kind;
        EXPECT_EQ(draws[0].b, (DWORD)(c.quads * 2)) << c.kind;
        EXPECT_EQ(draws[0].c, c.stride);
        ASSERT_EQ(device.Count(CALL_FVF), 1u);
        EXPECT_EQ(device.Of(CALL_FVF)[0].a, c.fvf);
        EXPECT_EQ(VertexBatch.count, 6);
    }
}

TEST_F(VertexBatchTest, OutlinesMayFillTheBatchToTheLastVertex)
{
    for (int i = 0; i < 1170; i++)
        Queue(D3DPT_LINELIST, 2, 1);
    EXPECT_EQ(VertexBatch.count, 2340);
    EXPECT_TRUE(device.Of(CALL_DRAW_UP).empty());
    Queue(D3DPT_LINELIST, 2, 1);
    ASSERT_EQ(device.Count(CALL_DRAW_UP), 1u);
    EXPECT_EQ(device.Of(CALL_DRAW_UP)[0].b, 1170u);
}

TEST_F(VertexBatchTest, MoreVerticesThanABatchHoldsAreRefused)
{
    EXPECT_EQ(AppendVertices(D3DPT_TRIANGLELIST, 2340, 0), nullptr);
    EXPECT_EQ(AppendVertices(D3DPT_TRIANGLELIST, 2341, 1), nullptr);
    EXPECT_EQ(AppendVertices(D3DPT_TRIANGLELIST, 0, 1), nullptr);
    EXPECT_EQ(AppendVertices(D3DPT_TRIANGLELIST, -6, 1), nullptr);
    EXPECT_EQ(VertexBatch.count, 0);
}

TEST_F(VertexBatchTest, QuitAndSkipDrawingDiscardTheBatch)
{
    Queue(D3DPT_TRIANGLELIST, 6);
    SystemState.live.quit = 1;
    EXPECT_EQ(FlushVertexBuffer(), 0);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(VertexBatch.count, 0);

    SystemState.live.quit = 0;
    VertexBatch.skipDrawing = 1;
    Queue(D3DPT_TRIANGLELIST, 6);
    EXPECT_EQ(FlushVertexBuffer(), 0);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_EQ(VertexBatch.count, 0);
}

TEST_F(VertexBatchTest, TheFormatIsSetOnlyWhenItChanges)
{
    Queue(D3DPT_TRIANGLELIST, 3);
    FlushVertexBuffer();
    Queue(D3DPT_TRIANGLELIST, 3);
    FlushVertexBuffer();
    EXPECT_EQ(device.Count(CALL_FVF), 1u);
    EXPECT_EQ(device.Count(CALL_DRAW_UP), 2u);
    EXPECT_EQ(device.Count(CALL_BEGIN_SCENE), 1u);
    VertexBatch.fvf = 0;   // forgotten by the shader code
    Queue(D3DPT_TRIANGLELIST, 3);
    FlushVertexBuffer();
    EXPECT_EQ(device.Count(CALL_FVF), 2u);
}

TEST_F(VertexBatchTest, TheKindChangesOnlyWhileTheBatchIsEmpty)
{
    Queue(D3DPT_TRIANGLELIST, 3);
    EXPECT_EQ(SetVertexKind(VERTEX_KIND_PLAIN), -1);
    EXPECT_EQ(VertexBatch.kind, VERTEX_KIND_TEXTURED);
    FlushVertexBuffer();
    EXPECT_EQ(SetVertexKind(VERTEX_KIND_PLAIN), 0);
    EXPECT_EQ(SetVertexKind(3), -1);
}

TEST_F(VertexBatchTest, PreparedBuffersHoldDepthZeroRhwOneAndWhiteSpecular)
{
    VertexBatch.plain[5].rhw = 7.0f;
    VertexBatch.textured[2339].z = 3.0f;
    VertexBatch.blend[1637].specular = 0;
    PrepareVertexBuffers();
    for (const VertexPlain& v : VertexBatch.plain)
        ASSERT_TRUE(v.z == 0.0f && v.rhw == 1.0f);
    for (const VertexTextured& v : VertexBatch.textured)
        ASSERT_TRUE(v.z == 0.0f && v.rhw == 1.0f);
    for (const VertexBlend& v : VertexBatch.blend)
        ASSERT_TRUE(v.z == 0.0f && v.rhw == 1.0f && v.specular == 0xFFFFFFFFu);
}

}  // namespace
