// The play scene on the software renderer: the game started without
// Direct3D in its demo data draws an area's frame into the memory-image
// screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include "game/area_start.h"
#include "game/game_state.h"
#include "game/main_loop.h"
#include "game/play_state.h"
#include "game/scenes.h"
#include "graphics/device.h"
#include "graphics/draw_target.h"
#include "graphics/graph_record.h"
#include "image/mem_image.h"
#include "image/raster_image.h"
#include "runtime/library.h"
#include "tests/support/test_files.h"

namespace {

uint32_t ScreenPixel(const RasterImage& screen, int x, int y)
{
    uint32_t v = 0;
    memcpy(&v, (const uint8_t*)screen.pixels + (ptrdiff_t)y * screen.pitch + x * screen.format.bytesPerPixel,
           screen.format.bytesPerPixel);
    return v & 0xFFFFFF;
}

} // namespace

TEST(SoftwarePlay, AnAreaFrameShowsItsBackgroundAndHud)
{
    ASSERT_GE(TestArgCount(), 2);
    ASSERT_TRUE(SetCurrentDirectoryA(TestArg(1)));
    AllowDirect3D(0);
    ASSERT_EQ(0, StartGame());
    ASSERT_EQ(0, Screen.hardware);

    for (int area = 0; area < 5; area += 2) {
        areaIndex = area;
        StartArea();
        sceneNo = SCENE_PLAY;
        startLinePassed = 1;
        for (int frame = 0; frame < 10; frame++)
            ASSERT_EQ(0, RunGameFrame());

        // The background is a whole-screen picture drawn first: where nothing
        // covers it, the screen holds its pixels exactly.
        const int background = AreaBackgroundGraph(area);
        ASSERT_NE(-1, background) << "area " << area;
        const MEMIMG* picture = GetGraphMemImage(background);
        ASSERT_NE(nullptr, picture);
        ASSERT_EQ(1280, picture->width);
        ASSERT_EQ(720, picture->height);

        RECT whole = {0, 0, 1280, 720};
        RasterImage screen = {};
        ASSERT_EQ(0, LockScreenImage(&whole, &screen));
        int same = 0, samples = 0, hud = 0;
        for (int y = 0; y < 720; y += 7)
            for (int x = 0; x < 1280; x += 7) {
                const uint8_t* row = (const uint8_t*)picture->pixels + (ptrdiff_t)y * picture->body->pitch;
                uint32_t p = 0;
                memcpy(&p, row + x * 4, 4);
                same += ScreenPixel(screen, x, y) == (p & 0xFFFFFF);
                samples++;
            }
        // The slot bar sits at (20, 694) over the background.
        for (int x = 20; x < 300; x++)
            for (int y = 694; y < 714; y++) {
                const uint8_t* row = (const uint8_t*)picture->pixels + (ptrdiff_t)y * picture->body->pitch;
                uint32_t p = 0;
                memcpy(&p, row + x * 4, 4);
                hud += ScreenPixel(screen, x, y) != (p & 0xFFFFFF);
            }
        UnlockScreenImage();
        EXPECT_GT(same, samples / 2) << "area " << area << ": the background is not on the screen";
        EXPECT_LT(same, samples) << "area " << area << ": nothing was drawn over the background";
        EXPECT_GT(hud, 200) << "area " << area << ": no slot bar";
    }
    EndLibraryLocked();
}
