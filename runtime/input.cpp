#include "runtime/input.h"

#include <string.h>

#include "runtime/input_state.h"
#include "runtime/library.h"
#include "runtime/library_lock.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"
#include "runtime/window_state.h"

InputSystemState InputState;

// Operating-system code of Windows Vista: from there on the keyboard is read
// through the message queue unless DirectInput is asked for.
static const int OsCodeVista = 0x108;

static void ClearInputState()
{
    int noDirectInput = InputState.noDirectInput;
    int alwaysKeyboard = InputState.alwaysDirectInputKeyboard;
    memset(&InputState, 0, sizeof InputState);
    InputState.noDirectInput = noDirectInput;
    InputState.alwaysDirectInputKeyboard = alwaysKeyboard;
}

HRESULT CreateInputDevice(REFGUID guid, InputDevice** device)
{
    *device = nullptr;
    if (InputState.version8) {
        IDirectInputDevice8A* created = nullptr;
        HRESULT hr = ((IDirectInput8A*)InputState.directInput)->CreateDevice(guid, &created, nullptr);
        *device = created;
        return hr;
    }
    return ((IDirectInput7A*)InputState.directInput)
        ->CreateDeviceEx(guid, IID_IDirectInputDevice7A, (void**)device, nullptr);
}

static void ReleaseDevice(InputDevice** device)
{
    if (!*device)
        return;
    (*device)->Unacquire();
    (*device)->Release();
    *device = nullptr;
}

// Everything of DirectInput that was made, in reverse order.
static void ReleaseDirectInput()
{
    ReleaseJoypads();
    if (InputState.keyboard) {
        InputState.keyboard->Unacquire();
        InputState.keyboard->SetEventNotification(nullptr);
        InputState.keyboard->Release();
        InputState.keyboard = nullptr;
    }
    if (InputState.keyboardEvent) {
        CloseHandle(InputState.keyboardEvent);
        InputState.keyboardEvent = nullptr;
    }
    ReleaseDevice(&InputState.mouse);
    if (UsingDirectInput())
        InputState.directInput->Release();
    InputState.directInput = nullptr;
}

[[noreturn]] static void FailInputStart(const char* text)
{
    ReleaseDirectInput();
    InputState.starting = 0;
    FatalErrorExit(text);
}

// One DirectInput version: create the object and initialise it. True when the
// object is ready.
static bool TryDirectInputVersion(REFCLSID clsid, REFIID iid, DWORD version, bool lineFeed)
{
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &object);
    if (FAILED(hr) || !object) {
        WriteLog(lineFeed ? "取得に失敗。\n" : "取得に失敗。");
        WriteLogFormat("エラーコード 0x%x", (unsigned)hr);
        return false;
    }
    WriteLog("成功\n");
    WriteLog("引き続き初期化処理... ");
    HINSTANCE instance = SystemState.live.instance ? SystemState.live.instance : GetModuleHandleA(nullptr);
    if (version == 0x0800)
        hr = ((IDirectInput8A*)object)->Initialize(instance, version);
    else
        hr = ((IDirectInput7A*)object)->Initialize(instance, version);
    if (FAILED(hr)) {
        WriteLog("初期化に失敗。");
        ((IUnknown*)object)->Release();
        return false;
    }
    WriteLog("初期化成功\n");
    InputState.directInput = (IUnknown*)object;
    return true;
}

static void ObtainDirectInput()
{
    WriteLog("DirectInput関係初期化処理\n");
    IncreaseLogIndent();
    WriteLog("DirectInput7 の取得中... ");
    if (!TryDirectInputVersion(CLSID_DirectInput, IID_IDirectInput7A, 0x0700, true)) {
        WriteLog("DirectInput8 の取得を試みます...");
        if (TryDirectInputVersion(CLSID_DirectInput8, IID_IDirectInput8A, 0x0800, false)) {
            InputState.version8 = 1;
        } else {
            WriteLog("DirectInput を使用しません。\n");
            InputState.noDirectInput = 1;
        }
    }
    DecreaseLogIndent();
}

// Mouse and keyboard devices; returns -1 when the keyboard's notification
// cannot be set up, 0 otherwise.
static int SetUpSystemDevices()
{
    HWND window = SystemState.live.window;
    WriteLog("マウスデバイスの初期化... ");
    if (FAILED(CreateInputDevice(GUID_SysMouse, &InputState.mouse)))
        FailInputStart("マウスデバイスの取得に失敗しました");
    if (FAILED(InputState.mouse->SetDataFormat(&c_dfDIMouse)))
        FailInputStart("マウスデバイスのデータ形式の設定に失敗しました");
    if (FAILED(InputState.mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailInputStart("マウスデバイスの協調レベルの設定に失敗しました");
    WriteLog("初期化成功\n");

    WriteLog("キーボードデバイスの初期化... ");
    if (FAILED(CreateInputDevice(GUID_SysKeyboard, &InputState.keyboard)))
        FailInputStart("キーボードデバイスの取得に失敗しました");
    InputDevice* keyboard = InputState.keyboard;
    if (FAILED(keyboard->SetDataFormat(&c_dfDIKeyboard)))
        FailInputStart("キーボードデバイスのデータ形式の設定に失敗しました");
    if (FAILED(keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailInputStart("キーボードデバイスの協調レベルの設定に失敗しました");

    DIPROPDWORD buffer = {};
    buffer.diph.dwSize = sizeof buffer;
    buffer.diph.dwHeaderSize = sizeof buffer.diph;
    buffer.diph.dwHow = DIPH_DEVICE;
    buffer.dwData = 100;
    if (FAILED(keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph)))
        WriteLog("キーボードのプロパティ設定に失敗しました\n");

    int result = 0;
    InputState.keyboardEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = keyboard->SetEventNotification(InputState.keyboardEvent);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        WriteLog("キーボードイベントのセットアップが失敗しました\n");
        result = -1;
    }
    if (FAILED(keyboard->Acquire()) && FAILED(keyboard->Acquire()))
        FailInputStart("キーボードデバイスの取得に失敗しました");
    WriteLog("初期化成功\n");
    InputState.keyboardReadTime = timeGetTime();
    WriteLog("DirectInput 関連の初期化は正常に終了しました\n");
    return result;
}

// Pads through the joystick calls: those that answer before the first gap are
// counted for the log, but all 16 are read (silent ones read as centred).
static void SetUpJoystickCalls()
{
    int found = 0;
    for (; found < INPUT_MAX_PADS; found++) {
        JOYCAPSA caps;
        if (JoystickApi.getDevCaps((UINT_PTR)found, &caps, sizeof caps) != JOYERR_NOERROR)
            break;
        InputState.pads[found].hasZAndR = (caps.wCaps & JOYCAPS_HASZ) && (caps.wCaps & JOYCAPS_HASR);
    }
    WriteLogFormat("パッドの数は %d 個です", found);
    InputState.directInput = INPUT_NO_DIRECTINPUT;
    WriteLog("入力関連の初期化をしました\n");
    InputState.padCount = INPUT_MAX_PADS;
}

int InitInputSystem()
{
    if (InputRunning() || InputState.starting)
        return 0;
    ClearInputState();
    InputState.starting = 1;

    if (!InputState.noDirectInput)
        ObtainDirectInput();

    int result = 0;
    if (!InputState.noDirectInput) {
        BringWindowToTop(SystemState.live.window);
        RunMessagePump();
        SetupJoypads();
        result = SetUpSystemDevices();
    } else {
        SetUpJoystickCalls();
    }

    FillDefaultPadKeyMap();
    InputState.starting = 0;
    return result;
}

int TermInputSystem()
{
    if (!InputRunning())
        return 0;
    if (!UsingDirectInput()) {
        WriteLog("入力関連の終了処理... 完了\n");
        InputState.directInput = nullptr;
        InputState.padCount = 0;
        return 0;
    }
    WriteLog("DirectInput 関連の終了処理... 完了\n");
    ReleaseDirectInput();
    return 0;
}

// ---------------------------------------------------------------------------
// Keyboard

static bool ReadKeyboardDevice(int pumpFirst)
{
    HANDLE event = InputState.keyboardEvent;
    DWORD now = timeGetTime();
    bool signalled = event && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    if (now == InputState.keyboardReadTime && !signalled)
        return false;
    if (pumpFirst && (RunMessagePump() != 0 || !UsingDirectInput()))
        return false;
    // The pump may have restarted input: take the devices afresh.
    InputDevice* keyboard = InputState.keyboard;
    if (!keyboard)
        return false;
    unsigned char keys[256];
    if (FAILED(keyboard->GetDeviceState(sizeof keys, keys))) {
        keyboard->Acquire();
        if (FAILED(keyboard->GetDeviceState(sizeof keys, keys)))
            return false;
    }
    memcpy(InputState.keyStates, keys, sizeof keys);
    InputState.keyboardReads++;
    InputState.keyboardReadTime = now;
    if (InputState.keyboardEvent && WaitForSingleObject(InputState.keyboardEvent, 0) == WAIT_OBJECT_0)
        ResetEvent(InputState.keyboardEvent);
    // DirectInput misses the right Shift key on some keyboards; the message
    // queue's state is right.
    BYTE vk[256];
    if (GetKeyboardState(vk))
        InputState.keyStates[DIK_RSHIFT] = vk[VK_RSHIFT];
    return true;
}

static bool ReadKeyboardMessages(int pumpFirst)
{
    // Only the lock holder (the message pump) reads; the game's calls between
    // pumps see the state of the last pump.
    if (!LibraryLockHeldByCaller())
        return false;
    DWORD now = timeGetTime();
    if (now == InputState.keyboardReadTime)
        return false;
    InputState.keyboardReadTime = now;
    if (pumpFirst && RunMessagePump() != 0)
        return false;
    BYTE vk[256];
    if (!GetKeyboardState(vk))
        return false;
    memset(InputState.keyStates, 0, sizeof InputState.keyStates);
    for (const KeyCodePair& pair : KeyCodeTable)
        InputState.keyStates[pair.keyCode] = vk[pair.virtualKey];
    InputState.keyboardReads++;
    return true;
}

int RefreshKeyStates(int pumpFirst)
{
    if (InputState.keyboardReading)
        return 0;
    InputState.keyboardReading = 1;
    bool directInput = UsingDirectInput() && InputState.keyboard &&
                       (InputState.alwaysDirectInputKeyboard || SystemState.kept.osCode < OsCodeVista);
    bool read = directInput ? ReadKeyboardDevice(pumpFirst) : ReadKeyboardMessages(pumpFirst);
    InputState.keyboardReading = 0;
    return read ? 1 : 0;
}

// Called by the message pump after it has taken its messages, so it does not
// pump again: that keeps the pump's limit of five messages a call.
int UpdateKeyboardState()
{
    return RefreshKeyStates(0);
}

// ---------------------------------------------------------------------------
// Reading calls

// Common start of the reading calls: hold while the window is inactive, and
// start input when it is not running. Returns 1 when the caller is to read,
// 0 when it is to return *startResult instead.
static int PrepareRead(int* startResult)
{
    *startResult = 0;
    // Before the window exists (or after it is gone) there is nothing to wait
    // for and no window to bind devices to.
    if (!SystemState.live.window) {
        *startResult = -1;
        return 0;
    }
    WaitWhileInactive();
    if (!InputRunning() && !GetWindowClosing()) {
        *startResult = InitInputSystem();
        return 0;
    }
    return 1;
}

int CheckKeyDown(int keyCode)
{
    int startResult;
    if (!PrepareRead(&startResult))
        return 0;
    RefreshKeyStates(1);
    if (keyCode < 0 || keyCode > 255)
        return 0;
    return (InputState.keyStates[keyCode] & 0x80) ? 1 : 0;
}

int GetAllKeyStates(char* keys)
{
    if (!keys)
        return -1;
    int startResult;
    if (!PrepareRead(&startResult)) {
        memset(keys, 0, 256);
        return startResult;
    }
    RefreshKeyStates(1);
    for (int i = 0; i < 256; i++)
        keys[i] = (InputState.keyStates[i] & 0x80) ? 1 : 0;
    return 0;
}

int KeyMapBits(int row)
{
    if (row < 0 || row >= PAD_MAP_ROWS)
        return 0;
    unsigned bits = 0;
    for (int bit = 0; bit < PAD_MAP_BITS; bit++)
        for (int code : InputState.padKeyMap[row][bit]) {
            // Code 0 is the filler of unused entries and matches no key.
            if (code > 0 && code < 256 && (InputState.keyStates[code] & 0x80)) {
                bits |= 1u << bit;
                break;
            }
        }
    return (int)bits;
}

int GetPadInputBits(int inputType)
{
    int startResult;
    if (!PrepareRead(&startResult))
        return 0;
    bool withKeys = (inputType & INPUT_TYPE_WITH_KEYS) != 0;
    int pad = (inputType & ~INPUT_TYPE_WITH_KEYS) - 1;
    int count = InputState.padCount;
    if ((pad < -1 || pad >= count) && count != 0 && !withKeys)
        return 0;

    int bits = 0;
    if (pad >= 0 && pad < count) {
        UpdateJoypadState(pad);
        bits |= PadStateBits(&InputState.pads[pad].state);
    }
    if (withKeys) {
        RefreshKeyStates(1);
        bits |= KeyMapBits(pad > 0 ? pad : 0);
    }
    return bits;
}

// ---------------------------------------------------------------------------
// Activation

int UnacquireInputDevices()
{
    if (!UsingDirectInput())
        return 0;
    HWND window = SystemState.live.window;
    DWORD level = SystemState.live.active ? (DISCL_EXCLUSIVE | DISCL_FOREGROUND)
                                          : (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    for (int i = 0; i < InputState.padCount; i++) {
        InputDevice* device = InputState.pads[i].device;
        if (!device)
            continue;
        device->Unacquire();
        device->SetCooperativeLevel(window, level);
        device->Acquire();
    }
    if (InputState.keyboard) {
        InputState.keyboard->Unacquire();
        InputState.keyboard->Acquire();
    }
    return 0;
}
