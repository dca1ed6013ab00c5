// The framework's own state record and the operations its units share. Not
// for the application: it goes through fw.h.
#pragma once

#include <atomic>
#include <mutex>

#include "common/fw.h"
#include "platform/system.h"

// One framework timer (FWSetTimer).
struct FW_TIMER {
    LPFWCALLBACKTIMER pCallbackTimer;
    void* pCallbackUserContext;
    float fTimeoutInSecs;
    float fCountdown;
    bool bEnabled;
    UINT nID;
};

// The lock of the state record. While the thread-safety flag is set, every
// accessor holds it around its one field access (never across a callback).
extern std::mutex g_FWStateLock;
extern std::atomic<bool> g_bFWThreadSafe;

class FWStateLock {
public:
    FWStateLock() : m_bLocked(g_bFWThreadSafe.load(std::memory_order_relaxed)) {
        if (m_bLocked) g_FWStateLock.lock();
    }
    ~FWStateLock() {
        if (m_bLocked) g_FWStateLock.unlock();
    }
    FWStateLock(const FWStateLock&) = delete;
    FWStateLock& operator=(const FWStateLock&) = delete;

private:
    bool m_bLocked;
};

// The fields of the state, in their declared order. V: a value with its
// initial value; S: a record, zero at first.
#define FW_STATE_FIELDS(V, S)                                             \
    /* objects */                                                         \
    V(IDirect3D9*, D3D, nullptr)                                          \
    V(IDirect3DDevice9*, D3DDevice, nullptr)                              \
    V(CD3DEnumeration*, D3DEnumeration, nullptr)                          \
    V(FWDeviceSettings*, CurrentDeviceSettings, nullptr)                  \
    S(D3DSURFACE_DESC, BackBufferSurfaceDesc)                             \
    S(D3DCAPS9, Caps)                                                     \
    /* windows */                                                         \
    V(HWND, HWNDFocus, nullptr)                                           \
    V(HWND, HWNDDeviceFullScreen, nullptr)                                \
    V(HWND, HWNDDeviceWindowed, nullptr)                                  \
    V(HMONITOR, AdapterMonitor, nullptr)                                  \
    V(HMENU, Menu, nullptr)                                               \
    /* mode change */                                                     \
    V(UINT, FullScreenBackBufferWidthAtModeChange, 0)                     \
    V(UINT, FullScreenBackBufferHeightAtModeChange, 0)                    \
    V(UINT, WindowBackBufferWidthAtModeChange, 0)                         \
    V(UINT, WindowBackBufferHeightAtModeChange, 0)                        \
    V(DWORD, WindowedStyleAtModeChange, 0)                                \
    S(WINDOWPLACEMENT, WindowedPlacement)                                 \
    V(bool, TopmostWhileWindowed, false)                                  \
    V(bool, Minimized, false)                                             \
    V(bool, Maximized, false)                                             \
    V(bool, MinimizedWhileFullscreen, false)                              \
    V(bool, IgnoreSizeChange, false)                                      \
    /* time */                                                            \
    V(double, Time, 0.0)                                                  \
    V(double, AbsoluteTime, 0.0)                                          \
    V(float, ElapsedTime, 0.0f)                                           \
    V(HINSTANCE, HInstance, nullptr)                                      \
    V(double, LastStatsUpdateTime, 0.0)                                   \
    V(DWORD, LastStatsUpdateFrames, 0)                                    \
    V(float, FPS, 0.0f)                                                   \
    V(int, CurrentFrameNumber, 0)                                         \
    /* keys */                                                            \
    V(HHOOK, KeyboardHook, nullptr)                                       \
    V(bool, AllowShortcutKeysWhenFullscreen, false)                       \
    V(bool, AllowShortcutKeysWhenWindowed, true)                          \
    V(bool, AllowShortcutKeys, false)                                     \
    V(bool, CallDefWindowProc, true)                                      \
    S(ACCESSIBILITYKEYS, StartupStickyKeys)                               \
    S(ACCESSIBILITYKEYS, StartupToggleKeys)                               \
    S(ACCESSIBILITYKEYS, StartupFilterKeys)                               \
    /* switches */                                                        \
    V(bool, HandleDefaultHotkeys, false)                                  \
    V(bool, HandleAltEnter, false)                                        \
    V(bool, ShowMsgBoxOnError, true)                                      \
    V(bool, NoStats, false)                                               \
    V(bool, ClipCursorWhenFullScreen, false)                              \
    V(bool, ShowCursorWhenFullScreen, false)                              \
    V(bool, ConstantFrameTime, false)                                     \
    V(float, TimePerFrame, 0.0f)                                          \
    V(bool, WireframeMode, false)                                         \
    V(bool, AutoChangeAdapter, true)                                      \
    V(bool, WindowCreatedWithDefaultPositions, false)                     \
    V(int, ExitCode, 0)                                                   \
    /* progress */                                                        \
    V(bool, Inited, false)                                                \
    V(bool, WindowCreated, false)                                         \
    V(bool, DeviceCreated, false)                                         \
    V(bool, InitCalled, false)                                            \
    V(bool, WindowCreateCalled, false)                                    \
    V(bool, DeviceCreateCalled, false)                                    \
    V(bool, DeviceObjectsCreated, false)                                  \
    V(bool, DeviceObjectsReset, false)                                    \
    V(bool, InsideDeviceCallback, false)                                  \
    V(bool, InsideMainloop, false)                                        \
    V(bool, Active, true)                                                 \
    V(bool, TimePaused, false)                                            \
    V(bool, RenderingPaused, false)                                       \
    V(int, PauseRenderingCount, 0)                                        \
    V(int, PauseTimeCount, 0)                                             \
    V(bool, DeviceLost, false)                                            \
    V(bool, NotifyOnMouseMove, false)                                     \
    V(bool, Automation, false)                                            \
    V(bool, InSizeMove, false)                                            \
    V(UINT, TimerLastID, 0)                                               \
    /* command-line overrides */                                          \
    V(int, OverrideAdapterOrdinal, -1)                                    \
    V(bool, OverrideWindowed, false)                                      \
    V(bool, OverrideFullScreen, false)                                    \
    V(int, OverrideStartX, -1)                                            \
    V(int, OverrideStartY, -1)                                            \
    V(int, OverrideWidth, 0)                                              \
    V(int, OverrideHeight, 0)                                             \
    V(bool, OverrideForceHAL, false)                                      \
    V(bool, OverrideForceREF, false)                                      \
    V(bool, OverrideForcePureHWVP, false)                                 \
    V(bool, OverrideForceHWVP, false)                                     \
    V(bool, OverrideForceSWVP, false)                                     \
    V(bool, OverrideConstantFrameTime, false)                             \
    V(float, OverrideConstantTimePerFrame, 0.0f)                          \
    V(int, OverrideQuitAfterFrame, 0)                                     \
    V(int, OverrideForceVsync, 0)                                         \
    V(bool, OverrideRelaunchMCE, false)                                   \
    /* callbacks */                                                       \
    V(LPFWCALLBACKISDEVICEACCEPTABLE, IsDeviceAcceptableFunc, nullptr)    \
    V(LPFWCALLBACKMODIFYDEVICESETTINGS, ModifyDeviceSettingsFunc, nullptr) \
    V(LPFWCALLBACKDEVICECREATED, DeviceCreatedFunc, nullptr)              \
    V(LPFWCALLBACKDEVICERESET, DeviceResetFunc, nullptr)                  \
    V(LPFWCALLBACKDEVICELOST, DeviceLostFunc, nullptr)                    \
    V(LPFWCALLBACKDEVICEDESTROYED, DeviceDestroyedFunc, nullptr)          \
    V(LPFWCALLBACKFRAMEMOVE, FrameMoveFunc, nullptr)                      \
    V(LPFWCALLBACKFRAMERENDER, FrameRenderFunc, nullptr)                  \
    V(LPFWCALLBACKKEYBOARD, KeyboardFunc, nullptr)                        \
    V(LPFWCALLBACKMOUSE, MouseFunc, nullptr)                              \
    V(LPFWCALLBACKMSGPROC, WindowMsgFunc, nullptr)                        \
    V(void*, IsDeviceAcceptableFuncUserContext, nullptr)                  \
    V(void*, ModifyDeviceSettingsFuncUserContext, nullptr)                \
    V(void*, DeviceCreatedFuncUserContext, nullptr)                       \
    V(void*, DeviceResetFuncUserContext, nullptr)                         \
    V(void*, DeviceLostFuncUserContext, nullptr)                          \
    V(void*, DeviceDestroyedFuncUserContext, nullptr)                     \
    V(void*, FrameMoveFuncUserContext, nullptr)                           \
    V(void*, FrameRenderFuncUserContext, nullptr)                         \
    V(void*, KeyboardFuncUserContext, nullptr)                            \
    V(void*, MouseFuncUserContext, nullptr)                               \
    V(void*, WindowMsgFuncUserContext, nullptr)                           \
    /* input (the key and button arrays and the texts follow below) */    \
    V(CGrowableArray<FW_TIMER>*, TimerList, nullptr)

// The framework's one state record. Every field is read and written through
// its getter and setter, which hold the framework lock while the
// thread-safety flag is set.
class FWState {
public:
    FWState() = default;
    ~FWState();
    FWState(const FWState&) = delete;
    FWState& operator=(const FWState&) = delete;

#define FW_STATE_ACCESS_V(type, name, init)   \
    type Get##name() {                        \
        FWStateLock lock;                     \
        return m_##name;                      \
    }                                         \
    void Set##name(type value) {              \
        FWStateLock lock;                     \
        m_##name = value;                     \
    }
#define FW_STATE_ACCESS_S(type, name)         \
    type Get##name() {                        \
        FWStateLock lock;                     \
        return m_##name;                      \
    }                                         \
    const type* Get##name##Ptr() {            \
        FWStateLock lock;                     \
        return &m_##name;                     \
    }                                         \
    void Set##name(const type& value) {       \
        FWStateLock lock;                     \
        m_##name = value;                     \
    }
    FW_STATE_FIELDS(FW_STATE_ACCESS_V, FW_STATE_ACCESS_S)
#undef FW_STATE_ACCESS_V
#undef FW_STATE_ACCESS_S

    // Arrays: the caller reads and writes single elements through the pointer.
    bool* GetKeys() {
        FWStateLock lock;
        return m_Keys;
    }
    bool* GetMouseButtons() {
        FWStateLock lock;
        return m_MouseButtons;
    }
    WCHAR* GetStaticFrameStats() {
        FWStateLock lock;
        return m_StaticFrameStats;
    }
    WCHAR* GetFPSStats() {
        FWStateLock lock;
        return m_FPSStats;
    }
    WCHAR* GetFrameStats() {
        FWStateLock lock;
        return m_FrameStats;
    }
    WCHAR* GetDeviceStats() {
        FWStateLock lock;
        return m_DeviceStats;
    }
    WCHAR* GetWindowTitle() {
        FWStateLock lock;
        return m_WindowTitle;
    }

    static constexpr size_t kStaticFrameStatsSize = 256;
    static constexpr size_t kFPSStatsSize = 64;
    static constexpr size_t kFrameStatsSize = 256;
    static constexpr size_t kDeviceStatsSize = 256;
    static constexpr size_t kWindowTitleSize = 256;

private:
#define FW_STATE_MEMBER_V(type, name, init) type m_##name = init;
#define FW_STATE_MEMBER_S(type, name) type m_##name{};
    FW_STATE_FIELDS(FW_STATE_MEMBER_V, FW_STATE_MEMBER_S)
#undef FW_STATE_MEMBER_V
#undef FW_STATE_MEMBER_S

    bool m_Keys[256]{};
    bool m_MouseButtons[5]{};
    WCHAR m_StaticFrameStats[kStaticFrameStatsSize]{};
    WCHAR m_FPSStats[kFPSStatsSize]{};
    WCHAR m_FrameStats[kFrameStatsSize]{};
    WCHAR m_DeviceStats[kDeviceStatsSize]{};
    WCHAR m_WindowTitle[kWindowTitleSize]{};
};

// The state record, created on first call.
FWState& GetFWState();

// --- shared between the framework's units --------------------------------------------

// Text to the debugger output (and to a test's capture, when set).
void FWDebugOutput(const wchar_t* text);

// Device life cycle.
HRESULT FWChangeDevice(FWDeviceSettings* pNewDeviceSettings, IDirect3DDevice9* pd3dDeviceFromApp, bool bForceRecreate,
                       bool bClipWindowToSingleAdapter);
HRESULT FWCreate3DEnvironment(IDirect3DDevice9* pd3dDeviceFromApp);
HRESULT FWReset3DEnvironment();
void FWCleanup3DEnvironment(bool bReleaseSettings = true);
void FWCheckForWindowSizeChange();
void FWCheckForWindowChangingMonitors();
// Shuts down after a failure the framework cannot recover from, keeping the
// failure in the exit code: the code the error display stored, or 1 when
// none was stored (0 or the reference-device 11).
void FWShutdownAfterFailure();
// Creates the default window unless one exists; E_FAIL when a window was
// asked for before and could not be made.
HRESULT FWEnsureWindow();

// Window.
void FWSetupCursor();
void FWAllowShortcutKeys(bool bAllowKeys);

// Main loop.
void FWRender3DEnvironment();
void FWUpdateFrameStats();
void FWUpdateStaticFrameStats();
void FWUpdateDeviceStats(D3DDEVTYPE DeviceType, DWORD BehaviorFlags, const D3DADAPTER_IDENTIFIER9* pAdapterIdentifier);
void FWHandleTimers();

// Initialisation: the command line and the version check.
void FWParseCommandLine();
bool FWCheckHelperVersion(UINT d3dSdkVersion, UINT helperSdkVersion);
// The adapter object (through the test's factory when one is set).
IDirect3D9* FWCreateD3DObject();

// Test-support knobs, kept here so that the units can read them.
struct FWTestHooks {
    void (*debugOutput)(const wchar_t* text) = nullptr;
    IDirect3D9* (*createD3D)(UINT sdkVersion) = nullptr;
    bool builtForVersionsSet = false;
    UINT builtForD3DVersion = 0;
    UINT builtForHelperVersion = 0;
};
FWTestHooks& FWGetTestHooks();
