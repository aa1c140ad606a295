// Device-loss reset, screen-mode changes and the graph-restore handler.
#pragma once

typedef void (*GraphRestoreHandler)();

// The device-loss entry of the window procedure's activation.
int ResetDeviceEntry();
// modeFlag 0: after a device loss (the other values are ignored); 1: in place
// for a new mode (stores the values; nothing in this program asks for it).
int ResetDevice(int modeFlag, int width, int height, int depth, int refresh);
// 1 while the last loss reset could not make the device again; the next
// activation resets again.
int DeviceResetPending();
int SetScreenMode(int width, int height, int depth, int refresh);
// Rebuilds the graphics layer in a new mode (-1 keeps a value; force rebuilds
// an unchanged mode): every graph and font handle goes, the default font is
// made again at its size. 0; -1 when no full-screen mode could be started and
// the window mode was taken instead.
int SwitchScreenMode(int width, int height, int depth, int force, int refresh);
int SetGraphRestoreHandler(GraphRestoreHandler handler);
int RunGraphRestoreHandler();
// 1 when a restore handler is installed.
int HasGraphRestoreHandler();
