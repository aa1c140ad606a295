#include "graphics/soft_screen.h"

#include <string.h>

#include "graphics/device.h"
#include "runtime/library.h"
#include "runtime/memory.h"

MEMIMG SoftPrimaryScreen;
MEMIMG SoftWorkImages[2];
MEMIMG* SoftDrawTarget;

int CreateSoftScreenImages()
{
    int kind = Screen.depth == 16 ? MEMIMG_KIND_R5G6B5 : MEMIMG_KIND_X8R8G8B8;
    if (CreateMemImageDefault(&SoftPrimaryScreen, Screen.width, Screen.height, kind) != 0)
        FatalErrorExit("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
    memset(SoftWorkImages, 0, sizeof SoftWorkImages);
    CreateMemImage(&SoftWorkImages[0], Screen.width, Screen.height, -1, 0, kind, 0, 0, 0, nullptr);
    // The second one holds the text mask: it keeps a run table.
    CreateMemImage(&SoftWorkImages[1], Screen.width, Screen.height, -1, 0, kind, 0, 0, 1, nullptr);
    unsigned int c = Screen.backColor;
    FillMemImageRect(&SoftPrimaryScreen, nullptr,
                     ColorToPixelValue(SoftPrimaryScreen.body->format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255));
    SoftDrawTarget = &SoftPrimaryScreen;
    return 0;
}

int ReleaseSoftScreenImages()
{
    ReleaseMemImage(&SoftPrimaryScreen);
    ReleaseMemImage(&SoftWorkImages[0]);
    ReleaseMemImage(&SoftWorkImages[1]);
    // A failed creation leaves its emptied body in the record.
    MEMIMG* images[] = {&SoftPrimaryScreen, &SoftWorkImages[0], &SoftWorkImages[1]};
    for (MEMIMG* image : images) {
        FreeTracked(image->body);
        memset(image, 0, sizeof *image);
    }
    SoftDrawTarget = nullptr;
    return 0;
}
