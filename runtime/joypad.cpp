// Game pads: DirectInput enumeration and set-up, reading through DirectInput
// or the joystick calls, and the mapping of a pad state to pad bits.
#include "runtime/input.h"

#include <string.h>

#include "runtime/helpers.h"
#include "runtime/input_state.h"
#include "runtime/log.h"
#include "runtime/message_pump.h"
#include "runtime/system_state.h"

JoystickCalls JoystickApi = {joyGetDevCapsA, joyGetPosEx};

// ---------------------------------------------------------------------------
// Set-up through DirectInput

static void ReleasePad(PadRecord* pad)
{
    if (pad->device) {
        pad->device->Unacquire();
        pad->device->SetEventNotification(nullptr);
    }
    IDirectInputEffect* effects[2] = {pad->constantEffect, pad->sineEffect};
    for (IDirectInputEffect* effect : effects)
        if (effect) {
            effect->Stop();
            effect->Release();
        }
    if (pad->device)
        pad->device->Release();
    if (pad->event)
        CloseHandle(pad->event);
    memset(pad, 0, sizeof *pad);
}

int ReleaseJoypads()
{
    for (PadRecord& pad : InputState.pads)
        ReleasePad(&pad);
    InputState.padCount = 0;
    return 0;
}

static HRESULT SetAxisRange(InputDevice* device, DWORD offset)
{
    DIPROPRANGE range = {};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = offset;
    range.diph.dwHow = DIPH_BYOFFSET;
    range.lMin = -PAD_AXIS_RANGE;
    range.lMax = PAD_AXIS_RANGE;
    return device->SetProperty(DIPROP_RANGE, &range.diph);
}

static HRESULT SetAxisDeadZone(InputDevice* device, DWORD offset)
{
    DIPROPDWORD zone = {};
    zone.diph.dwSize = sizeof zone;
    zone.diph.dwHeaderSize = sizeof zone.diph;
    zone.diph.dwObj = offset;
    zone.diph.dwHow = DIPH_BYOFFSET;
    zone.dwData = PAD_DEAD_ZONE;
    return device->SetProperty(DIPROP_DEADZONE, &zone.diph);
}

// The vibration effects on the X and Y axes: a slow sine under an envelope
// and a full constant force, both running until stopped.
static void CreatePadEffects(PadRecord* pad)
{
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {0, 0};

    DIEFFECT effect = {};
    effect.dwSize = sizeof effect;
    effect.dwDuration = INFINITE;
    effect.dwSamplePeriod = 0;
    effect.dwGain = DI_FFNOMINALMAX;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.dwTriggerRepeatInterval = 0;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;

    DIPERIODIC periodic = {};
    periodic.dwMagnitude = 10000;
    periodic.lOffset = 0;
    periodic.dwPhase = 0;
    periodic.dwPeriod = 1500000;
    DIENVELOPE envelope = {};
    envelope.dwSize = sizeof envelope;
    envelope.dwAttackLevel = 0;
    envelope.dwAttackTime = 500000;
    envelope.dwFadeLevel = 0;
    envelope.dwFadeTime = 1000000;
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof periodic;
    effect.lpvTypeSpecificParams = &periodic;
    if (FAILED(pad->device->CreateEffect(GUID_Sine, &effect, &pad->sineEffect, nullptr)))
        pad->sineEffect = nullptr;

    DICONSTANTFORCE constant = {};
    constant.lMagnitude = 10000;
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof constant;
    effect.lpvTypeSpecificParams = &constant;
    if (FAILED(pad->device->CreateEffect(GUID_ConstantForce, &effect, &pad->constantEffect, nullptr))) {
        pad->constantEffect = nullptr;
        WriteLog("周期的エフェクトの作成に失敗しました。\n");
    }
}

// Adds one attached game controller; skips it when a required step fails.
BOOL CALLBACK EnumJoypadProc(LPCDIDEVICEINSTANCEA instance, LPVOID)
{
    if (InputState.padCount >= INPUT_MAX_PADS)
        return DIENUM_STOP;
    PadRecord* pad = &InputState.pads[InputState.padCount];
    memset(pad, 0, sizeof *pad);

    WriteLog("入力装置を見つけました\n");
    if (FAILED(CreateInputDevice(instance->guidInstance, &pad->device))) {
        pad->device = nullptr;
        WriteLog("入力装置の取得に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    InputDevice* device = pad->device;

    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof info;
    const DIDEVICEINSTANCEA* names = SUCCEEDED(device->GetDeviceInfo(&info)) ? &info : instance;
    CopyTextMax(pad->instanceName, names->tszInstanceName, sizeof pad->instanceName - 1);
    CopyTextMax(pad->productName, names->tszProductName, sizeof pad->productName - 1);
    IncreaseLogIndent();
    WriteLogFormat("デバイスの登録名:%s", pad->instanceName);
    WriteLogFormat("デバイスの製品登録名:%s", pad->productName);
    DecreaseLogIndent();

    if (FAILED(device->SetDataFormat(&c_dfDIJoystick))) {
        ReleasePad(pad);
        WriteLog("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    if (FAILED(device->SetCooperativeLevel(SystemState.live.window, DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        WriteLog("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");

    if (FAILED(SetAxisRange(device, DIJOFS_X))) {
        ReleasePad(pad);
        WriteLog("ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    if (FAILED(SetAxisRange(device, DIJOFS_Y))) {
        ReleasePad(pad);
        WriteLog("ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    SetAxisRange(device, DIJOFS_Z);
    SetAxisRange(device, DIJOFS_RZ);
    if (FAILED(SetAxisDeadZone(device, DIJOFS_X))) {
        ReleasePad(pad);
        WriteLog("ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    if (FAILED(SetAxisDeadZone(device, DIJOFS_Y))) {
        ReleasePad(pad);
        WriteLog("ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    SetAxisDeadZone(device, DIJOFS_Z);
    SetAxisDeadZone(device, DIJOFS_RZ);

    CreatePadEffects(pad);
    pad->vibrationRequest = 0;
    pad->vibrationPower = PAD_VIBRATION_FULL;
    pad->vibrationDuration = -1;
    pad->constantPlaying = 0;
    pad->sinePlaying = 0;

    pad->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = device->SetEventNotification(pad->event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        WriteLog("ジョイパッドイベントのセットアップが失敗しました\n");
        ReleasePad(pad);
        return DIENUM_CONTINUE;
    }
    device->Acquire();
    memset(&pad->state, 0, sizeof pad->state);
    InputState.padCount++;
    WriteLog("ジョイパッドの追加は正常に終了しました\n");
    return InputState.padCount < INPUT_MAX_PADS ? DIENUM_CONTINUE : DIENUM_STOP;
}

int SetupJoypads()
{
    if (!UsingDirectInput())
        return -1;
    ReleaseJoypads();
    WriteLog("ジョイパッドの初期化... \n");
    InputState.padCount = 0;
    // Device type (version 7) and device class (version 8) of game
    // controllers share the value 4.
    if (InputState.version8)
        ((IDirectInput8A*)InputState.directInput)
            ->EnumDevices(DI8DEVCLASS_GAMECTRL, EnumJoypadProc, nullptr, DIEDFL_ATTACHEDONLY);
    else
        ((IDirectInput7A*)InputState.directInput)
            ->EnumDevices(DIDEVTYPE_JOYSTICK, EnumJoypadProc, nullptr, DIEDFL_ATTACHEDONLY);
    WriteLog("ジョイパッドの初期化は正常に終了しました\n");
    return 0;
}

// ---------------------------------------------------------------------------
// Reading

int MapJoystickAxis(DWORD value)
{
    // The end of the travel reads full deflection, as DirectInput's range does.
    if (value >= 65535)
        return PAD_AXIS_RANGE;
    int v = (int)value;
    if (v < 24576)
        return (v - 24576) * PAD_AXIS_RANGE / 24576;
    if (v > 40960)
        return (v - 40960) * PAD_AXIS_RANGE / 24576;
    return 0;
}

void StoreJoystickPosition(PadRecord* pad, const JOYINFOEX* info)
{
    DIJOYSTATE& state = pad->state;
    state.lX = MapJoystickAxis(info->dwXpos);
    state.lY = MapJoystickAxis(info->dwYpos);
    if (pad->hasZAndR) {
        state.lZ = MapJoystickAxis(info->dwZpos);
        state.lRz = MapJoystickAxis(info->dwRpos);
    } else {
        state.lZ = 0;
        state.lRz = 0;
    }
    for (int b = 0; b < 24; b++)
        state.rgbButtons[b] = (info->dwButtons & (1u << b)) ? 128 : 0;
}

static int ReadPadDevice(int index)
{
    PadRecord* pad = &InputState.pads[index];
    if (!pad->device)
        return 0;
    DWORD now = timeGetTime();
    bool signalled = pad->event && WaitForSingleObject(pad->event, 0) == WAIT_OBJECT_0;
    if (now == pad->lastReadTime && !signalled)
        return 0;
    pad->lastReadTime = now;
    pad->device->Poll();
    DIJOYSTATE state;
    HRESULT hr = pad->device->GetDeviceState(sizeof state, &state);
    if (FAILED(hr)) {
        if (RunMessagePump() != 0 || !UsingDirectInput())
            return -1;
        // The pump may have restarted input and released this pad.
        if (!pad->device)
            return 0;
        pad->device->Acquire();
        hr = pad->device->GetDeviceState(sizeof state, &state);
    }
    if (SUCCEEDED(hr))
        pad->state = state;
    if (pad->event && WaitForSingleObject(pad->event, 0) == WAIT_OBJECT_0)
        ResetEvent(pad->event);
    return 0;
}

static int ReadPadJoystickCalls(int index)
{
    PadRecord* pad = &InputState.pads[index];
    DWORD now = timeGetTime();
    if (now == pad->lastReadTime)
        return 0;
    pad->lastReadTime = now;
    JOYINFOEX info = {};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    if (JoystickApi.getPosEx((UINT)index, &info) != JOYERR_NOERROR) {
        memset(&pad->state, 0, sizeof pad->state);
        return 0;
    }
    StoreJoystickPosition(pad, &info);
    return 0;
}

int UpdateJoypadState(int padIndex)
{
    if (padIndex < 0 || padIndex >= INPUT_MAX_PADS)
        return -1;
    if (UsingDirectInput())
        return ReadPadDevice(padIndex);
    if (InputRunning())
        return ReadPadJoystickCalls(padIndex);
    return 0;
}

int PadStateBits(const DIJOYSTATE* state)
{
    unsigned bits = 0;
    if (state->lX < 0)
        bits |= PAD_BIT_LEFT;
    else if (state->lX > 0)
        bits |= PAD_BIT_RIGHT;
    if (state->lY < 0)
        bits |= PAD_BIT_UP;
    else if (state->lY > 0)
        bits |= PAD_BIT_DOWN;
    for (int b = 0; b < 24; b++)
        if (state->rgbButtons[b] & 0x80)
            bits |= (unsigned)PAD_BIT_BUTTON1 << b;
    return (int)bits;
}
