// Accessors of the host layer's window state, and the features that this
// program never switches on (kept as calls that change nothing).
#pragma once

#include <windows.h>
#include <stdint.h>

int GetQuitRequested();
HWND GetMainWindowHwnd();
int GetWindowedFlag();
int IsMainWindowActive();
int GetWindowClosing();
int GetDesktopInfo(int* width, int* height, int* colorBits);
double GetWindowScale(double* x, double* y);
int SetDesktopComposition(int flag);

// Features this program never switches on: their calls change nothing.
struct RasterImage;

// One entry of the collected menu items.
struct MenuItemRecord {
    HMENU menu;
    uint16_t position;
    uint16_t id;
    char name[128];
};
static_assert(sizeof(MenuItemRecord) == (sizeof(void*) == 4 ? 136 : 144),
              "menu item entries are 136 bytes (the handle takes 8 and aligns the entry on 64-bit)");

int CollectMenuItems();                          // items collected (0: no menu)
const MenuItemRecord* GetMenuItemRecord(int id); // none without a menu
int GetMenuItemText(int id, char* text);         // -1 without a menu
int IsMenuShown();
int SetMenuVisible(int flag);
// In full screen shows the menu near the top edge; without a menu it only
// re-applies the cursor setting.
int AutoShowMenu();

int FindToolBarButton(int id);                   // -1 without a tool bar
int GetToolBarHeight();                          // 0 without a tool bar
int ClearToolBarButtons();

// 1 when the main window is a layered window (extended style WS_EX_LAYERED;
// this program never makes one), else 0.
int IsLayeredWindowInUse();
// Shows the screen image through the layered main window: the image from
// its point (x, y) on becomes the window's picture, the graph transparent
// colour becoming alpha 0. 0, or -1 without a layered window or on failure.
int UpdateLayeredWindowFromScreen(const RasterImage* image, int x, int y);
// Draws the image kept for an inactive window; -1 (none is ever kept).
int DrawInactiveWindowImage();
// Records a button press in the mouse-click log; the log is off.
int RecordMouseClick(int button, int x, int y);
// Frees the dropped-file list (always empty: no files are accepted).
int FreeDroppedFiles();
