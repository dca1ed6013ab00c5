// The framework's state record: creation, the lock, the callback setters,
// the switches, the getters and predicates, and the test hooks.
#include <cstring>

#include "common/fw_internal.h"
#include "common/fw_testsupport.h"
#include "platform/window.h"

std::mutex g_FWStateLock;
std::atomic<bool> g_bFWThreadSafe{true};

FWState::~FWState() {
    delete m_TimerList;
    m_TimerList = nullptr;
    delete m_CurrentDeviceSettings;
    m_CurrentDeviceSettings = nullptr;
}

namespace {

// Owns the state record. The record is made on first access (function-local
// static: once, safely against concurrent first calls) and, at process exit,
// shut down and destroyed.
struct FWStateOwner {
    FWState* pState = nullptr;

    FWStateOwner() {
        // The global timer and the enumeration object must outlive the state,
        // whose destruction still uses them: make them first.
        FWGetGlobalTimer();
        FWGetEnumeration();
        pState = new FWState();
        g_bFWThreadSafe = true;
    }
    ~FWStateOwner() {
        if (pState != nullptr) {
            FWShutdown(0);
            delete pState;
            pState = nullptr;
        }
        g_bFWThreadSafe = false;
    }
};

FWStateOwner& StateOwner() {
    static FWStateOwner owner;
    return owner;
}

}  // namespace

FWState& GetFWState() { return *StateOwner().pState; }

FWTestHooks& FWGetTestHooks() {
    static FWTestHooks hooks;
    return hooks;
}

// --- callback setters ------------------------------------------------------------------

void FWSetCallbackDeviceCreated(LPFWCALLBACKDEVICECREATED pCallback, void* pUserContext) {
    GetFWState().SetDeviceCreatedFunc(pCallback);
    GetFWState().SetDeviceCreatedFuncUserContext(pUserContext);
}

void FWSetCallbackDeviceReset(LPFWCALLBACKDEVICERESET pCallback, void* pUserContext) {
    GetFWState().SetDeviceResetFunc(pCallback);
    GetFWState().SetDeviceResetFuncUserContext(pUserContext);
}

void FWSetCallbackDeviceLost(LPFWCALLBACKDEVICELOST pCallback, void* pUserContext) {
    GetFWState().SetDeviceLostFunc(pCallback);
    GetFWState().SetDeviceLostFuncUserContext(pUserContext);
}

void FWSetCallbackDeviceDestroyed(LPFWCALLBACKDEVICEDESTROYED pCallback, void* pUserContext) {
    GetFWState().SetDeviceDestroyedFunc(pCallback);
    GetFWState().SetDeviceDestroyedFuncUserContext(pUserContext);
}

void FWSetCallbackModifyDeviceSettings(LPFWCALLBACKMODIFYDEVICESETTINGS pCallback, void* pUserContext) {
    GetFWState().SetModifyDeviceSettingsFunc(pCallback);
    GetFWState().SetModifyDeviceSettingsFuncUserContext(pUserContext);
}

void FWSetCallbackFrameMove(LPFWCALLBACKFRAMEMOVE pCallback, void* pUserContext) {
    GetFWState().SetFrameMoveFunc(pCallback);
    GetFWState().SetFrameMoveFuncUserContext(pUserContext);
}

void FWSetCallbackFrameRender(LPFWCALLBACKFRAMERENDER pCallback, void* pUserContext) {
    GetFWState().SetFrameRenderFunc(pCallback);
    GetFWState().SetFrameRenderFuncUserContext(pUserContext);
}

void FWSetCallbackKeyboard(LPFWCALLBACKKEYBOARD pCallback, void* pUserContext) {
    GetFWState().SetKeyboardFunc(pCallback);
    GetFWState().SetKeyboardFuncUserContext(pUserContext);
}

void FWSetCallbackMouse(LPFWCALLBACKMOUSE pCallback, bool bIncludeMouseMove, void* pUserContext) {
    GetFWState().SetMouseFunc(pCallback);
    GetFWState().SetNotifyOnMouseMove(bIncludeMouseMove);
    GetFWState().SetMouseFuncUserContext(pUserContext);
}

void FWSetCallbackMsgProc(LPFWCALLBACKMSGPROC pCallback, void* pUserContext) {
    GetFWState().SetWindowMsgFunc(pCallback);
    GetFWState().SetWindowMsgFuncUserContext(pUserContext);
}

// --- switches --------------------------------------------------------------------------

void FWSetCursorSettings(bool bShowCursorWhenFullScreen, bool bClipCursorWhenFullScreen) {
    GetFWState().SetClipCursorWhenFullScreen(bClipCursorWhenFullScreen);
    GetFWState().SetShowCursorWhenFullScreen(bShowCursorWhenFullScreen);
    FWSetupCursor();
}

void FWSetConstantFrameTime(bool bConstantFrameTime, float fTimePerFrame) {
    FWState& s = GetFWState();
    if (s.GetOverrideConstantFrameTime()) {
        bConstantFrameTime = s.GetOverrideConstantFrameTime();
        fTimePerFrame = s.GetOverrideConstantTimePerFrame();
    }
    s.SetConstantFrameTime(bConstantFrameTime);
    s.SetTimePerFrame(fTimePerFrame);
}

void FWSetShortcutKeySettings(bool bAllowWhenFullscreen, bool bAllowWhenWindowed) {
    FWState& s = GetFWState();
    s.SetAllowShortcutKeysWhenWindowed(bAllowWhenWindowed);
    s.SetAllowShortcutKeysWhenFullscreen(bAllowWhenFullscreen);
    if (s.GetInited()) FWAllowShortcutKeys(FWIsWindowed() ? bAllowWhenWindowed : bAllowWhenFullscreen);
}

void FWSetMultimonSettings(bool bAutoChangeAdapter) { GetFWState().SetAutoChangeAdapter(bAutoChangeAdapter); }

void FWSetCallDefWindowProc(bool bCallDefWindowProc) { GetFWState().SetCallDefWindowProc(bCallDefWindowProc); }

// --- getters -----------------------------------------------------------------------------

IDirect3D9* FWGetD3DObject() { return GetFWState().GetD3D(); }
IDirect3DDevice9* FWGetD3DDevice() { return GetFWState().GetD3DDevice(); }

FWDeviceSettings FWGetDeviceSettings() {
    FWDeviceSettings settings{};
    if (FWDeviceSettings* pCurrent = GetFWState().GetCurrentDeviceSettings()) settings = *pCurrent;
    return settings;
}

D3DPRESENT_PARAMETERS FWGetPresentParameters() {
    D3DPRESENT_PARAMETERS pp{};
    if (FWDeviceSettings* pCurrent = GetFWState().GetCurrentDeviceSettings()) pp = pCurrent->pp;
    return pp;
}

const D3DSURFACE_DESC* FWGetBackBufferSurfaceDesc() { return GetFWState().GetBackBufferSurfaceDescPtr(); }
const D3DCAPS9* FWGetDeviceCaps() { return GetFWState().GetCapsPtr(); }

HWND FWGetHWND() {
    return FWIsWindowed() ? GetFWState().GetHWNDDeviceWindowed() : GetFWState().GetHWNDDeviceFullScreen();
}
HWND FWGetHWNDFocus() { return GetFWState().GetHWNDFocus(); }
HWND FWGetHWNDDeviceFullScreen() { return GetFWState().GetHWNDDeviceFullScreen(); }
HWND FWGetHWNDDeviceWindowed() { return GetFWState().GetHWNDDeviceWindowed(); }
HINSTANCE FWGetHINSTANCE() { return GetFWState().GetHInstance(); }
double FWGetTime() { return GetFWState().GetTime(); }
float FWGetElapsedTime() { return GetFWState().GetElapsedTime(); }
float FWGetFPS() { return GetFWState().GetFPS(); }
const wchar_t* FWGetWindowTitle() { return GetFWState().GetWindowTitle(); }

RECT FWGetWindowClientRect() {
    RECT rc{};
    GetClientRect(FWGetHWND(), &rc);
    return rc;
}

RECT FWGetWindowClientRectAtModeChange() {
    RECT rc{0, 0, static_cast<LONG>(GetFWState().GetWindowBackBufferWidthAtModeChange()),
            static_cast<LONG>(GetFWState().GetWindowBackBufferHeightAtModeChange())};
    return rc;
}

RECT FWGetFullsceenClientRectAtModeChange() {
    RECT rc{0, 0, static_cast<LONG>(GetFWState().GetFullScreenBackBufferWidthAtModeChange()),
            static_cast<LONG>(GetFWState().GetFullScreenBackBufferHeightAtModeChange())};
    return rc;
}

bool FWGetShowMsgBoxOnError() { return GetFWState().GetShowMsgBoxOnError(); }
bool FWGetAutomation() { return GetFWState().GetAutomation(); }
bool FWGetHandleDefaultHotkeys() { return GetFWState().GetHandleDefaultHotkeys(); }
int FWGetExitCode() { return GetFWState().GetExitCode(); }

// --- predicates --------------------------------------------------------------------------

bool FWIsWindowed() {
    FWDeviceSettings* pCurrent = GetFWState().GetCurrentDeviceSettings();
    return pCurrent != nullptr && pCurrent->pp.Windowed != FALSE;
}

bool FWIsActive() { return GetFWState().GetActive(); }
bool FWIsRenderingPaused() { return GetFWState().GetPauseRenderingCount() > 0; }
bool FWIsTimePaused() { return GetFWState().GetPauseTimeCount() > 0; }

// --- test support --------------------------------------------------------------------------

void FWTestResetState() {
    FWState& s = GetFWState();
    // Let the close go through whatever the test's callbacks did.
    s.SetWindowMsgFunc(nullptr);
    s.SetKeyboardFunc(nullptr);
    s.SetMouseFunc(nullptr);
    s.SetInsideDeviceCallback(false);
    FWShutdown(0);
    // An adopted window that the framework did not close.
    if (HWND hWnd = s.GetHWNDFocus(); hWnd != nullptr && IsWindow(hWnd)) DestroyWindow(hWnd);

    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }

    FWStateOwner& owner = StateOwner();
    delete owner.pState;
    owner.pState = new FWState();
    g_bFWThreadSafe = true;

    *FWGetGlobalTimer() = CFWTimer();
    FWGetTestHooks() = FWTestHooks();
}

void FWTestSetDebugOutputHook(void (*hook)(const wchar_t* text)) { FWGetTestHooks().debugOutput = hook; }

void FWTestSetDirect3DCreateHook(IDirect3D9* (*create)(UINT sdkVersion)) { FWGetTestHooks().createD3D = create; }

void FWTestSetBuiltForVersions(UINT d3dSdkVersion, UINT helperSdkVersion) {
    FWTestHooks& hooks = FWGetTestHooks();
    hooks.builtForVersionsSet = true;
    hooks.builtForD3DVersion = d3dSdkVersion;
    hooks.builtForHelperVersion = helperSdkVersion;
}
