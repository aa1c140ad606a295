// The mask screen: the mask-data table, the refusal without buffers, and on
// both renderers the life cycle (with a device reset) and a masked draw read
// back from the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include "graphics/device.h"
#include "graphics/device_reset.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "graphics/handle_table.h"
#include "graphics/mask_screen.h"
#include "graphics/shape_calls.h"
#include "image/mem_image.h"
#include "runtime/library.h"
#include "runtime/memory.h"
#include "screen_readback.h"

namespace {

void* Block(size_t size) { return AllocTracked(size, __FILE__, __LINE__); }

TEST(MaskData, SlotsAreReusedWithANewCheckAndOldHandlesRefused)
{
    const int allocs = GetAllocCount();
    EXPECT_EQ(0, DeleteAllMaskData());  // empty table

    const int a = AddMaskData(Block(16), 4, 4);
    const int b = AddMaskData(Block(16), 4, 4);
    ASSERT_NE(-1, a);
    ASSERT_NE(-1, b);
    EXPECT_EQ(HANDLE_TYPE_MASK_DATA, a & HANDLE_TYPE_MASK);
    EXPECT_EQ(0, a & HANDLE_SLOT_MASK);
    EXPECT_EQ(1, b & HANDLE_SLOT_MASK);

    EXPECT_EQ(0, DeleteMaskData(a));
    EXPECT_EQ(allocs + 1, GetAllocCount());  // its block is freed
    EXPECT_EQ(-1, DeleteMaskData(a));        // already deleted

    const int c = AddMaskData(Block(16), 4, 4);
    EXPECT_EQ(0, c & HANDLE_SLOT_MASK);  // the freed slot first
    EXPECT_NE(a, c);                     // with another check value
    EXPECT_EQ(-1, DeleteMaskData(a));    // the old handle does not reach the new record

    const int refused[] = {
        -1,
        (c & ~HANDLE_TYPE_MASK) | HANDLE_TYPE_GRAPH,    // another type
        MakeHandle(HANDLE_TYPE_MASK_DATA, 0, 512),      // slot past the table
        MakeHandle(HANDLE_TYPE_MASK_DATA, 0, 7),        // free slot
    };
    for (int h : refused)
        EXPECT_EQ(-1, DeleteMaskData(h)) << std::hex << h;

    EXPECT_EQ(0, DeleteMaskData(b));
    EXPECT_EQ(0, DeleteMaskData(c));
    EXPECT_EQ(allocs, GetAllocCount());
}

TEST(MaskData, AFullTableRefusesAndDeleteAllEmptiesIt)
{
    const int allocs = GetAllocCount();
    for (int i = 0; i < MASK_HANDLE_MAX; i++)
        ASSERT_NE(-1, AddMaskData(Block(8), 1, 1)) << i;
    EXPECT_EQ(-1, AddMaskData(nullptr, 1, 1));
    EXPECT_EQ(0, DeleteAllMaskData());
    EXPECT_EQ(allocs, GetAllocCount());
    const int h = AddMaskData(nullptr, 1, 1);
    EXPECT_EQ(0, h & HANDLE_SLOT_MASK);
    EXPECT_EQ(0, DeleteMaskData(h));
}

TEST(MaskDrawing, WithoutBuffersTheRequestIsRefusedAndKept)
{
    ASSERT_EQ(nullptr, GetMaskBuffer(nullptr));
    Draw.maskRequest = 0;
    EXPECT_EQ(-1, SetMaskDrawing(1));
    EXPECT_EQ(0, GetMaskDrawing());
    EXPECT_EQ(0, IsMaskDrawingActive());
    // Off likewise: nothing exists to switch.
    Draw.maskRequest = 1;
    EXPECT_EQ(-1, SetMaskDrawing(0));
    EXPECT_EQ(1, GetMaskDrawing());
    EXPECT_EQ(0, TerminateMaskScreen());
    EXPECT_EQ(0, RestoreMaskScreen());
    EXPECT_EQ(nullptr, GetMaskBuffer(nullptr));
}

void Start(int software)
{
    Screen.width = Screen.height = Screen.depth = Screen.refresh = 0;
    Screen.doubled = 0;
    ASSERT_EQ(0, AllowDirect3D(!software));
    ChangeWindowMode(1);
    SetLogFileOutput(0);
    SetKeepRunningInBackground(1);
    ASSERT_EQ(0, SetScreenMode(320, 240, 32, 0));
    ASSERT_EQ(0, InitLibraryLocked());
    ASSERT_EQ(software ? 0 : 1, Screen.hardware);
}

void End()
{
    EXPECT_EQ(0, EndLibraryLocked());
    EXPECT_EQ(0, GetAllocCount());
    AllowDirect3D(1);
}

const unsigned int kRed = 0xFF0000, kBlue = 0x0000FF;

// Blue everywhere, the mask set on the left half of (40, 40)-(120, 80), then
// a red box over all of that rectangle. Returns the row y = 60 from x = 30 to 130.
std::vector<unsigned int> MaskedBoxRow(int reverse)
{
    EXPECT_EQ(0, SetMaskDrawing(0));
    Screen.backColor = kBlue;
    EXPECT_EQ(0, ClearDrawTarget(nullptr));
    int pitch = 0;
    uint8_t* mask = GetMaskBuffer(&pitch);
    EXPECT_TRUE(mask != nullptr);
    if (!mask)
        return {};
    memset(mask, 0, (size_t)pitch * Screen.height);
    for (int y = 40; y < 80; y++)
        memset(mask + y * pitch + 40, 1, 40);
    if (Screen.hardware) {
        EXPECT_EQ(0, UpdateMaskImage(nullptr));
    }
    SetMaskReverse(reverse);
    EXPECT_EQ(0, SetMaskDrawing(1));
    EXPECT_EQ(1, IsMaskDrawingActive());
    FillBoxShape(40, 40, 120, 80, ColorFromRGB(255, 0, 0));
    EXPECT_EQ(0, SetMaskDrawing(0));
    SetMaskReverse(0);
    return ReadScreenRgb(30, 60, 100, 1);
}

// Expected row of MaskedBoxRow: x 30..39 and 120..129 untouched, 40..79
// masked, 80..119 open (the other way round in reverse).
void ExpectMaskedRow(const std::vector<unsigned int>& row, int reverse)
{
    ASSERT_EQ(100u, row.size());
    for (int i = 0; i < 100; i++) {
        const int x = 30 + i;
        const bool inBox = x >= 40 && x < 120;
        const bool masked = x < 80;
        const unsigned int want = inBox && masked == (reverse != 0) ? kRed : kBlue;
        EXPECT_EQ(want, row[i]) << "x " << x << " reverse " << reverse;
    }
}

void LifeCycleAndMaskedDraw()
{
    const int allocs = GetAllocCount();
    const int bytes = GetAllocTotalSize();
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));

    ASSERT_EQ(0, CreateMaskBuffers(1));
    int pitch = 0;
    ASSERT_NE(nullptr, GetMaskBuffer(&pitch));
    EXPECT_EQ(320, pitch);
    if (Screen.hardware) {
        EXPECT_NE(nullptr, GetMaskScreenSurface());
        EXPECT_EQ(nullptr, GetMaskScreenImage());
    } else {
        EXPECT_NE(nullptr, GetMaskScreenImage());
        EXPECT_EQ(nullptr, GetMaskScreenSurface());
    }
    // A second creation keeps what exists.
    uint8_t* buffer = GetMaskBuffer(nullptr);
    ASSERT_EQ(0, CreateMaskBuffers(1));
    EXPECT_EQ(buffer, GetMaskBuffer(nullptr));

    // A draw with mask drawing off goes straight to the screen.
    EXPECT_EQ(0, SetMaskDrawing(0));
    Screen.backColor = kBlue;
    ClearDrawTarget(nullptr);
    memset(buffer, 1, (size_t)pitch * Screen.height);
    FillBoxShape(0, 0, 8, 1, ColorFromRGB(255, 0, 0));
    EXPECT_EQ(kRed, ReadScreenRgb(4, 0, 1, 1).at(0));

    ExpectMaskedRow(MaskedBoxRow(0), 0);
    ExpectMaskedRow(MaskedBoxRow(1), 1);

    if (Screen.hardware) {
        // A device loss: mask drawing comes back on the new device.
        EXPECT_EQ(0, SetMaskDrawing(1));
        ASSERT_EQ(0, ResetDevice(0, 0, 0, 0, 0));
        ASSERT_EQ(1, Screen.hardware);
        EXPECT_NE(nullptr, GetMaskScreenSurface());
        EXPECT_EQ(1, IsMaskDrawingActive());
        ExpectMaskedRow(MaskedBoxRow(0), 0);
    }

    EXPECT_EQ(0, TerminateMaskScreen());
    EXPECT_EQ(nullptr, GetMaskBuffer(nullptr));
    EXPECT_EQ(nullptr, GetMaskScreenSurface());
    EXPECT_EQ(nullptr, GetMaskScreenImage());
    EXPECT_EQ(0, IsMaskDrawingActive());
    EXPECT_EQ(-1, SetMaskDrawing(1));
    EXPECT_EQ(allocs, GetAllocCount());
    EXPECT_EQ(bytes, GetAllocTotalSize());

    // Off again, draws reach the screen everywhere.
    Screen.backColor = kBlue;
    ClearDrawTarget(nullptr);
    FillBoxShape(40, 40, 120, 80, ColorFromRGB(255, 0, 0));
    EXPECT_EQ(kRed, ReadScreenRgb(50, 60, 1, 1).at(0));
}

TEST(MaskHardware, LifeCycleResetAndMaskedDraw)
{
    Start(0);
    LifeCycleAndMaskedDraw();
    End();
}

uint32_t GraphPixel(int graph, int x, int y)
{
    MEMIMG* image = GetGraphMemImage(graph);
    if (!image || x >= image->width || y >= image->height)
        return 0xDEAD;
    uint32_t v = 0;
    memcpy(&v, (const uint8_t*)image->pixels + (ptrdiff_t)y * image->body->pitch + x * 4, 4);
    return v & 0xFFFFFF;
}

TEST(MaskSoftware, LifeCycleAndMaskedDraw)
{
    Start(1);
    LifeCycleAndMaskedDraw();

    // A graph target larger than the screen-sized mask: the part of a draw
    // beyond the mask never reaches the target, the rest is composed.
    SetDrawableGraphMode(1);
    const int graph = CreateEmptyGraph(400, 300);
    SetDrawableGraphMode(0);
    ASSERT_NE(-1, graph);
    ASSERT_EQ(0, SelectDrawTarget(graph));
    ASSERT_EQ(0, CreateMaskBuffers(1));
    ASSERT_EQ(0, SetMaskDrawing(1));
    FillBoxShape(300, 200, 400, 300, ColorFromRGB(255, 0, 0));
    EXPECT_EQ(0, SetMaskDrawing(0));
    EXPECT_EQ(kRed, GraphPixel(graph, 310, 230));
    EXPECT_EQ(0u, GraphPixel(graph, 330, 230));
    EXPECT_EQ(0u, GraphPixel(graph, 310, 250));
    EXPECT_EQ(0, TerminateMaskScreen());
    ASSERT_EQ(0, SelectDrawTarget(DRAW_TARGET_BACK));
    EXPECT_EQ(0, FreeGraph(graph));
    End();
}

}  // namespace
