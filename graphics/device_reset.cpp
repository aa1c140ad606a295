#include "graphics/device_reset.h"

#include "graphics/device.h"
#include "graphics/font/default_font.h"
#include "graphics/graph_loading.h"
#include "runtime/system_state.h"

static GraphRestoreHandler restoreHandler;
static int restoreHandlerSet;

int ResetDeviceEntry() { return 0; }

int SetScreenMode(int width, int height, int depth, int refresh)
{
    if (width == 0 || height == 0 || (depth != 8 && depth != 16 && depth != 32))
        return -1;
    if (!SystemState.kept.initialised && !SystemState.kept.starting) {
        Screen.width = width;
        Screen.height = height;
        Screen.depth = depth;
        Screen.refresh = refresh;
        return 0;
    }
    // Stand-in: changing a running screen comes with the graphics layer.
    return -1;
}

int SwitchScreenMode(int, int, int, int, int) { return 0; }

int SetGraphRestoreHandler(GraphRestoreHandler handler)
{
    restoreHandler = handler;
    restoreHandlerSet = 1;
    return 0;
}

int RunGraphRestoreHandler()
{
    // No handler set means the default one: reload every graph from its file.
    (restoreHandler ? restoreHandler : RestoreAllGraphs)();
    // Fonts come back in their own slots, so their handles stay valid.
    RecreateAllFonts();
    return 0;
}

int HasGraphRestoreHandler() { return restoreHandlerSet; }
