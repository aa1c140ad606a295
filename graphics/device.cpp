#include "graphics/device.h"

#include "graphics/draw_target.h"

ScreenSettings Screen;
DeviceObjectSet DeviceObjects;
DeviceFormatSet DeviceFormatTable;

// Stand-ins until the Direct3D device and the software screens exist: the
// screen size and depth are fixed as start-up would fix them.
int InitGraphics()
{
    if (Screen.started)
        return 0;
    if (Screen.width == 0 || Screen.height == 0) {
        Screen.width = 640;
        Screen.height = 480;
    }
    if (Screen.depth == 0)
        Screen.depth = 16;
    Screen.started = 1;
    return 0;
}

int TerminateGraphics()
{
    FreeDisplayModes();
    Screen.started = 0;
    Screen.hardware = 0;
    return 0;
}

int AllowDirect3D(int allow)
{
    Screen.softwareOnly = !allow;
    return 0;
}

int QueryDirect3DAllowed() { return !Screen.softwareOnly; }
void* GetDirectDrawObject() { return nullptr; }

int HasDirect3DDevice() { return 0; }
int PresentDeviceOnce() { return 0; }

void BeginSceneIfNeeded()
{
    if (!DeviceObjects.d3d || !DeviceObjects.device || DeviceObjects.inScene)
        return;
    DeviceObjects.device->BeginScene();
    DeviceObjects.inScene = 1;
    DeviceObjects.sceneCounters[0] = DeviceObjects.sceneCounters[1] = DeviceObjects.sceneCounters[2] = 0;
}

void EndSceneIfNeeded()
{
    if (!DeviceObjects.d3d || !DeviceObjects.device || !DeviceObjects.inScene)
        return;
    DeviceObjects.device->EndScene();
    DeviceObjects.inScene = 0;
}
