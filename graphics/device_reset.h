// Device-loss reset, screen-mode changes and the graph-restore handler.
#pragma once

typedef void (*GraphRestoreHandler)();

int ResetDeviceEntry();
int SetScreenMode(int width, int height, int depth, int refresh);
int SwitchScreenMode(int width, int height, int depth, int force, int refresh);
int SetGraphRestoreHandler(GraphRestoreHandler handler);
int RunGraphRestoreHandler();
// 1 when a restore handler is installed.
int HasGraphRestoreHandler();
