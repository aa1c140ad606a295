// Graphics start-up and shut-down, the screen settings and the device objects.
#pragma once

struct ScreenSettings {
    int width, height;       // 0 = unset (640 x 480)
    int depth;               // 16 or 32; 0 = unset (16)
    int refresh;             // Hz; 0 = the display's default
    int started;             // between InitGraphics and TerminateGraphics
    int hardware;            // 1 = Direct3D device in use
    int softwareOnly;        // no Direct3D at all
    int doubled;             // 320 x 240 shown on a 640 x 480 display mode
};

extern ScreenSettings Screen;

int InitGraphics();
int TerminateGraphics();
int AllowDirect3D(int allow);
int QueryDirect3DAllowed();
// The DirectDraw 7 object, or null.
void* GetDirectDrawObject();

// 1 while a Direct3D device exists.
int HasDirect3DDevice();
// Ends an open scene and presents the whole back buffer once; 0, or -1 when
// the present failed (the window procedure's activation test).
int PresentDeviceOnce();
