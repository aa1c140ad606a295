// The host layer's one global block. Window start clears the live part and
// keeps the settings made by setter calls and the long-lived state.
#pragma once

#include <stdint.h>
#ifdef _WIN32
#include <windows.h>
#endif

// Settings made by setter calls; they survive every window start.
struct SystemSettings {
    int windowMode;              // 1 window, 0 full screen
    char windowTitle[256];
    char windowClassName[256];
    int iconResourceId;
    int logOff;                  // 1 = no log file
    char logFileName[256];
    int logDatedName;            // "Log<date>.txt" instead of "Log.txt"
    int logNoStamp;              // lines without the millisecond stamp
    int keepRunning;             // keep running while the window is inactive
    double windowScaleX, windowScaleY;
    int charSet;                 // 0 default, 1 Shift-JIS, 2 Korean, 3 Big5, 4 GBK
    int codePage;                // code page kept with the character set
    int charSetChosen;           // 1 once the character set has been set
    int archivesOff;             // 1 = the file layer uses the disk set only
    int imeUse;                  // 1 = the IME stays available for the window
    int compositionOff;          // desktop composition switched off by request
};

// State that outlives window starts but is not a setting.
struct SystemLongLived {
    int initialised;             // 1 between a successful start-up and shut-down
    int starting;                // 1 while start-up runs
    int comInitialised;
    char startDirectory[256];
    uint32_t logStartTime;
    // system information gathered by the system-information log
    char osText[256];
    char cpuName[256];
    char cpuVendor[16];
    int cpuMHz;
    int osCode;
    int directXVersion;
    int mmx, sse, sse2;
    int tscMode;
    uint64_t tscPerSecond;
#ifdef _WIN32 // Win32 handles: native builds leave them out
    // desktop composition library
    HMODULE dwmModule;
    HRESULT (WINAPI *dwmEnableComposition)(UINT);
#endif
};

// Everything else starts from zero at every window start.
struct SystemLiveState {
#ifdef _WIN32 // Win32 handles and records: native builds leave them out
    HWND window;
    HINSTANCE instance;
    DWORD mainThreadId;
    RECT clientRect;             // client area in screen coordinates
    LARGE_INTEGER counterFrequency;
    UINT timerPeriod;            // multimedia-timer resolution raised at window start
    BOOL screenSaverWasActive;   // the screen saver setting found at window start
#endif
    int quit;                    // window gone or WM_QUIT seen: the pump answers -1
    int closing;                 // WM_CLOSE posted by the library
    int destroyed;               // WM_DESTROY arrived
    int active;                  // the window is the active one
    int creating;                // window class and window being made
    int modeChanging;            // a window-mode switch is in progress
    int displayChangeSeen;       // WM_DISPLAYCHANGE arrived during a mode switch
    int visibleStyle;            // window-mode style carries WS_VISIBLE
    int inPaint;                 // the window procedure is painting
    int pumpReentry;             // the text-input step of the pump is running
    int cursorShownSetting;      // 1 shown, 0 hidden
    int cursorShown;             // the state actually applied
    int desktopWidth, desktopHeight, desktopColorBits;
    int counterPresent;
    int privateFlagA, privateFlagB;  // flags of the private messages 0x46F and 0x470
    uint64_t totalPhysicalMemory, freePhysicalMemory;
    int logIndent;
    int logMidLine;
};

struct SystemStateBlock {
    SystemSettings settings;
    SystemLongLived kept;
    SystemLiveState live;
};

extern SystemStateBlock SystemState;

// Clears the live part; called by the window start.
void ResetLiveSystemState();

// 1 when the system-information log found MMX.
int GetMmxAvailable();
