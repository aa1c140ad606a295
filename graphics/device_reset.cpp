#include "graphics/device_reset.h"

#include "graphics/device.h"
#include "graphics/draw_state.h"
#include "graphics/draw_target.h"
#include "graphics/font/default_font.h"
#include "graphics/font/font_handles.h"
#include "graphics/graph_loading.h"
#include "graphics/graph_record.h"
#include "graphics/mask_screen.h"
#include "graphics/matrix_math.h"
#include "graphics/model.h"
#include "graphics/state_cache.h"
#include "graphics/transform3d.h"
#include "runtime/input.h"
#include "runtime/library.h"
#include "runtime/log.h"
#include "runtime/main_window.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"

static GraphRestoreHandler restoreHandler;
static int restoreHandlerSet;
// A loss reset could not make the device again: Direct3D stays the renderer
// (every device call refuses while there is no device) and the next
// activation tries again.
static int devicePending;

int ResetDeviceEntry()
{
    return ResetDevice(0, 0, 0, 0, 0);
}

int DeviceResetPending() { return devicePending; }

int ResetDevice(int modeFlag, int width, int height, int depth, int refresh)
{
    // The renderer chosen at start-up stays: a software screen has no device
    // to lose, and graphs made for it have no textures to put on one.
    const bool direct3D = Screen.hardware == 1 || devicePending;
    if (Screen.hardware) {
        ReleaseMaskScreen();
        ReleaseAllGraphTextures();
    }
    TerminateDirect3D();
    if (modeFlag == 0) {
        TermInputSystem();
        InitInputSystem();
    } else {
        Screen.width = width;
        Screen.height = height;
        Screen.depth = depth;
        Screen.refresh = refresh;
    }

    const int softwareOnly = Screen.softwareOnly;
    if (!direct3D)
        Screen.softwareOnly = 1;
    InitDirect3DGraphics();
    Screen.softwareOnly = softwareOnly;
    if (!direct3D)
        return 0;
    if (Screen.hardware != 1) {
        Screen.hardware = 1;
        devicePending = 1;
        return 0;
    }
    devicePending = 0;

    RecreateAllGraphTextures();
    RestoreMaskScreen();
    // Selecting the draw target resets the 3D matrices; the loss keeps them.
    const Matrix view = Draw.view;
    const Matrix projection = Draw.projection;
    const Matrix viewport = Draw.viewport;
    SelectDrawTarget(Draw.target);
    ReapplyAllStates();
    for (int i = 0; i < 2; i++) {
        ClearDrawTarget(nullptr);
        PresentScreenRect(nullptr);
    }
    if (modeFlag == 0) {
        RunGraphRestoreHandler();
    } else {
        RestoreAllGraphs();
        RestoreModelTextures();
        RecreateAllFonts();
    }
    ApplyDefault2DStates();
    RestoreAllModelBases();
    Draw.lightsFullRefresh = 1;
    if (modeFlag == 0) {
        SetWorldMatrix(&Draw.world);
        SetViewMatrix(&view);
        SetProjectionMatrixDirect(&projection);
        SetViewportMatrix(&viewport);
    }
    return 0;
}

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
    const ScreenSettings before = Screen;
    SwitchScreenMode(width, height, depth, 0, refresh);
    if (Screen.width == width && Screen.height == height && Screen.depth == depth && Screen.refresh == refresh)
        return 0;
    if (Screen.width == before.width && Screen.height == before.height && Screen.depth == before.depth &&
        Screen.refresh == before.refresh)
        return -1;
    if (Screen.width == 640 && Screen.height == 480 && Screen.depth == 16 && Screen.refresh == 0)
        return -2;
    return -1;
}

// One start of the graphics layer in the given mode.
static int StartGraphicsIn(int width, int height, int depth, int refresh)
{
    Screen.width = width;
    Screen.height = height;
    Screen.depth = depth;
    Screen.refresh = refresh;
    return InitGraphics();
}

int SwitchScreenMode(int width, int height, int depth, int force, int refresh)
{
    const bool windowed = GetWindowedFlag() != 0;
    if (!windowed && width == 320 && height == 240) {
        Screen.doubled = 1;
        width = 640;
        height = 480;
    } else {
        if (windowed && force && Screen.doubled && Screen.width == 640 && Screen.height == 480) {
            width = 320;
            height = 240;
        }
        Screen.doubled = 0;
    }
    if (width == -1)
        width = Screen.width;
    if (height == -1)
        height = Screen.height;
    if (depth == -1)
        depth = Screen.depth;
    if (refresh == -1)
        refresh = Screen.refresh;
    if (!force && width == Screen.width && height == Screen.height && depth == Screen.depth &&
        refresh == Screen.refresh)
        return 0;

    WriteLog("画面モード変更処理を開始します\n");
    IncreaseLogIndent();
    int fontSize = -1, fontThickness = -1;
    if (Screen.started) {
        if (const FontRecord* font = GetFontRecord(FetchDefaultFontHandle())) {
            fontSize = font->size;
            fontThickness = font->thickness;
        }
    }
    const int oldWidth = Screen.width, oldHeight = Screen.height;
    const int oldDepth = Screen.depth, oldRefresh = Screen.refresh;
    if (!SystemState.kept.initialised && !SystemState.kept.starting) {
        DecreaseLogIndent();
        return 0;
    }

    const int target = Draw.target;
    int result = 0;
    if (Screen.started)
        TerminateGraphics();
    if (StartGraphicsIn(width, height, depth, refresh) != 0) {
        bool started = false;
        if (width == 320 && height == 240) {
            SetReducedScreen(1);
            started = StartGraphicsIn(640, 480, depth, refresh) == 0;
        }
        if (!started)
            started = StartGraphicsIn(oldWidth, oldHeight, oldDepth, oldRefresh) == 0;
        if (!started && StartGraphicsIn(640, 480, 16, 0) != 0) {
            // A display that shows no full-screen mode at all: rather than
            // end the program, go on in a window in the mode that ran, as
            // start-up does for a size the display does not offer, and
            // report the switch as failed.
            if (windowed)
                FatalErrorExit("予期せぬ画面モード変更不能現象が起きました2\n");
            SystemState.settings.windowMode = 1;
            ApplyWindowStyle();
            if (StartGraphicsIn(oldWidth, oldHeight, oldDepth, oldRefresh) != 0)
                FatalErrorExit("予期せぬ画面モード変更不能現象が起きました2\n");
            result = -1;
        }
    }

    if (GetWindowedFlag())
        ApplyWindowStyle();
    if (fontSize != -1)
        SetDefaultFontSizeAndThickness(0, fontSize, fontThickness);
    DecreaseLogIndent();
    WriteLog("画面モード変更処理は正常に終了しました\n");
    RunMessagePump();
    // A graph target went with the graphs; the screen takes its place.
    if (SelectDrawTarget(target) != 0)
        SelectDrawTarget(DRAW_TARGET_BACK);
    return result;
}

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
    RestoreModelTextures();
    // Fonts come back in their own slots, so their handles stay valid.
    RecreateAllFonts();
    return 0;
}

int HasGraphRestoreHandler() { return restoreHandlerSet; }
