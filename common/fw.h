// The framework core: its state, the application callbacks, initialisation
// and the command line, the result codes and the error trace, the window and
// its messages, the device life cycle, the main loop with timing, pauses,
// timers and statistics.
//
// The program registers its callbacks, then calls FWInit, FWCreateWindow,
// FWCreateDevice and FWMainLoop in that order and returns FWGetExitCode().
// A later step performs a missing earlier step with defaults; when an earlier
// step was attempted and failed, the later ones fail at once with E_FAIL.
// Everything runs on the thread that created the window.
#pragma once

#include "common/device_enumeration.h"
#include "common/fwmisc.h"
#include "common/fwshared.h"
#include "common/fwtypes.h"
#include "platform/device.h"
#include "platform/window.h"

// --- error trace and checked calls ---------------------------------------------------

// Writes "file(line): message hr=NAME (0x........)" to the debugger output
// and, when bPopMsgBox is true and message boxes on error are allowed, asks
// in a Yes/No box titled "Unexpected error encountered" whether to break into
// the debugger. Returns hr unchanged.
HRESULT FWTrace(const char* strFile, DWORD dwLine, HRESULT hr, const wchar_t* strMsg, bool bPopMsgBox);
// The same without looking at the framework's message-box switch.
HRESULT DXTrace(const char* strFile, DWORD dwLine, HRESULT hr, const wchar_t* strMsg, bool bPopMsgBox);
// The symbolic name ("E_INVALIDARG", "D3DERR_DEVICELOST", "FWERR_NODIRECT3D",
// ...) and a one-line description of a result code; "Unknown" and
// "Unknown error." for codes the table does not hold.
const wchar_t* DXGetErrorString(HRESULT hr);
const wchar_t* DXGetErrorDescription(HRESULT hr);

#define FW_WIDEN2_(s) L##s
#define FW_WIDEN_(s) FW_WIDEN2_(s)

// Checked calls. Both store the call's result in a variable `hr` of the
// enclosing scope; on failure they trace the file, the line and the call's
// source text (with a box allowed). FW_CHECK carries on, FW_CHECK_RETURN
// returns the traced code from the enclosing function.
#define FW_CHECK(x)                                                                       \
    do {                                                                                  \
        hr = (x);                                                                         \
        if (FAILED(hr)) FWTrace(__FILE__, static_cast<DWORD>(__LINE__), hr, FW_WIDEN_(#x), true); \
    } while (0)
#define FW_CHECK_RETURN(x)                                                                               \
    do {                                                                                                 \
        hr = (x);                                                                                        \
        if (FAILED(hr)) return FWTrace(__FILE__, static_cast<DWORD>(__LINE__), hr, FW_WIDEN_(#x), true); \
    } while (0)

// Stores the code's process exit code (2..10, 1 for any other) and, for the
// framework's own failures, shows its message in an error box owned by the
// window unless message boxes on error are off. Returns hr.
HRESULT FWDisplayErrorMessage(HRESULT hr);
// Formats into a 512-character buffer (cut and terminated) and sends the text
// to the debugger output. "%s" is a wide string, "%S" a narrow one.
void FWOutputDebugString(const wchar_t* strFormat, ...);

// --- initialisation and settings ----------------------------------------------------

// Reads the command line when asked (options of the table below), sets the
// scheduler resolution to 1 ms, checks the helper library's version and
// creates the adapter object. Failures: FWERR_INCORRECTVERSION (exit code 10),
// FWERR_NODIRECT3D (exit code 2).
//   -adapter:n -windowed -fullscreen -forcehal -forceref -forcepurehwvp
//   -forcehwvp -forceswvp -forcevsync:n -width:n -height:n -startx:n
//   -starty:n -constantframetime[:seconds] -quitafterframe:n -noerrormsgboxes
//   -nostats -relaunchmce -automation   ("/" works as "-"; names ignore case)
HRESULT FWInit(bool bParseCommandLine = true, bool bHandleDefaultHotkeys = true, bool bShowMsgBoxOnError = true,
               bool bHandleAltEnter = true);

// The version of the helper library (images, effects, meshes, fonts) this
// framework is built for. FWInit compares it with the library's.
constexpr UINT FW_HELPER_SDK_VERSION = 30;

void FWSetCallbackDeviceCreated(LPFWCALLBACKDEVICECREATED pCallback, void* pUserContext = nullptr);
void FWSetCallbackDeviceReset(LPFWCALLBACKDEVICERESET pCallback, void* pUserContext = nullptr);
void FWSetCallbackDeviceLost(LPFWCALLBACKDEVICELOST pCallback, void* pUserContext = nullptr);
void FWSetCallbackDeviceDestroyed(LPFWCALLBACKDEVICEDESTROYED pCallback, void* pUserContext = nullptr);
void FWSetCallbackModifyDeviceSettings(LPFWCALLBACKMODIFYDEVICESETTINGS pCallback, void* pUserContext = nullptr);
void FWSetCallbackFrameMove(LPFWCALLBACKFRAMEMOVE pCallback, void* pUserContext = nullptr);
void FWSetCallbackFrameRender(LPFWCALLBACKFRAMERENDER pCallback, void* pUserContext = nullptr);
void FWSetCallbackKeyboard(LPFWCALLBACKKEYBOARD pCallback, void* pUserContext = nullptr);
// With bIncludeMouseMove the callback also sees every mouse move.
void FWSetCallbackMouse(LPFWCALLBACKMOUSE pCallback, bool bIncludeMouseMove = false, void* pUserContext = nullptr);
void FWSetCallbackMsgProc(LPFWCALLBACKMSGPROC pCallback, void* pUserContext = nullptr);

// Cursor in full screen: show it, confine it to the window.
void FWSetCursorSettings(bool bShowCursorWhenFullScreen = false, bool bClipCursorWhenFullScreen = false);
// Every frame advances time by exactly fTimePerFrame seconds while enabled.
// "-constantframetime" on the command line overrides both arguments.
void FWSetConstantFrameTime(bool bConstantFrameTime, float fTimePerFrame = 0.0333f);
// Whether the Windows keys and the accessibility hot keys work while running.
void FWSetShortcutKeySettings(bool bAllowWhenFullscreen = false, bool bAllowWhenWindowed = true);
// Whether a window moved to another monitor moves the device to its adapter.
void FWSetMultimonSettings(bool bAutoChangeAdapter = true);
// Whether unhandled messages go to the default window procedure.
void FWSetCallDefWindowProc(bool bCallDefWindowProc = true);

// --- window ---------------------------------------------------------------------------

// Creates the one window (hidden; the first device change shows it) with a
// 640 x 480 client area, or the "-width"/"-height" of the command line.
// Returns S_OK at once when a window exists already.
HRESULT FWCreateWindow(const wchar_t* strWindowTitle = L"Direct3D Window", HINSTANCE hInstance = nullptr,
                       HICON hIcon = nullptr, HMENU hMenu = nullptr, int x = CW_USEDEFAULT, int y = CW_USEDEFAULT);
// Adopts windows the application created; with bHandleMessages the
// framework's window procedure is installed on the focus window.
HRESULT FWSetWindow(HWND hWndFocus, HWND hWndDeviceFullScreen, HWND hWndDeviceWindowed, bool bHandleMessages = true);
// The framework's window procedure.
LRESULT FWStaticWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// --- device -----------------------------------------------------------------------------

// Finds valid settings for the wish (adapter, windowed, size; 0 x 0 takes the
// framework's defaults) and the command line, and creates the device.
// pCallbackIsDeviceAcceptable filters the enumeration; the modify callback
// sees the settings before every device change and may refuse them.
HRESULT FWCreateDevice(UINT AdapterOrdinal = D3DADAPTER_DEFAULT, bool bWindowed = true, int nSuggestedWidth = 0,
                       int nSuggestedHeight = 0, LPFWCALLBACKISDEVICEACCEPTABLE pCallbackIsDeviceAcceptable = nullptr,
                       LPFWCALLBACKMODIFYDEVICESETTINGS pCallbackModifyDeviceSettings = nullptr,
                       void* pUserContext = nullptr);
// Changes to the given settings (made valid first unless bPreserveInput; the
// record is updated in place). Used by the settings dialog.
HRESULT FWCreateDeviceFromSettings(FWDeviceSettings* pDeviceSettings, bool bPreserveInput = false,
                                   bool bClipWindowToSingleAdapter = true);
// Adopts a device the application created.
HRESULT FWSetDevice(IDirect3DDevice9* pd3dDevice);
// Switch between windowed and full screen / between the HAL and REF device.
// E_ABORT when the application's modify callback refused the change.
HRESULT FWToggleFullScreen();
HRESULT FWToggleREF();
// Closes the window, stores the exit code, releases the device and the
// adapter object. The main loop then ends.
void FWShutdown(int nExitCode = 0);
// Asks once whether to go on with the slow reference device (the answer can
// be remembered); "No" shuts down with exit code 1. For the application's
// modify callback.
void FWDisplaySwitchingToREFWarning();

// The enumeration of the framework's adapter object: created on first use,
// enumerated when bForceEnumerate is true or when it is new, with the
// acceptability callback given to FWCreateDevice.
CD3DEnumeration* FWPrepareEnumeration(bool bForceEnumerate = false);
// The settings matcher on the framework's adapter object, enumeration and
// windows. pOut and pIn may be the same record; a null pIn means all zero, a
// null pMatchOptions all ignore. E_INVALIDARG for a null pOut (traced),
// FWERR_NOCOMPATIBLEDEVICES when the preserve rules exclude everything.
HRESULT FWFindValidDeviceSettings(FWDeviceSettings* pOut, FWDeviceSettings* pIn = nullptr,
                                  FWMatchOptions* pMatchOptions = nullptr);

// Performance markers around parts of a frame; -1 when the system offers none.
int FWPerfBeginEvent(D3DCOLOR color, const wchar_t* strName);
int FWPerfEndEvent();

// --- main loop, pauses, timers, statistics -----------------------------------------

// Pumps messages and renders whenever the queue is empty, until the window
// closes. Creates a default device first when none was created.
HRESULT FWMainLoop(HACCEL hAccel = nullptr);
// Nesting pauses: true adds one, false takes one away (never below 0).
void FWPause(bool bPauseTime, bool bPauseRendering);
// Calls pCallbackTimer (position in the timer list, context) every
// fTimeoutInSecs seconds of application time, checked once per frame.
HRESULT FWSetTimer(LPFWCALLBACKTIMER pCallbackTimer, float fTimeoutInSecs = 1.0f, UINT* pnIDEvent = nullptr,
                   void* pCallbackUserContext = nullptr);
HRESULT FWKillTimer(UINT nIDEvent);
// "%0.2f fps Vsync on (WxH), FORMAT (DEPTH)"; the fps part only when asked.
const wchar_t* FWGetFrameStats(bool bIncludeFPS = false);
// "HAL (hw vp): adapter description" and the like.
const wchar_t* FWGetDeviceStats();
// "D3DFMT_X8R8G8B8" (or "X8R8G8B8" without prefix); "Unknown format".
const wchar_t* FWD3DFormatToString(D3DFORMAT format, bool bWithPrefix = true);

// --- getters and predicates -------------------------------------------------------------

IDirect3D9* FWGetD3DObject();
IDirect3DDevice9* FWGetD3DDevice();
FWDeviceSettings FWGetDeviceSettings();              // all zero when there is no device
D3DPRESENT_PARAMETERS FWGetPresentParameters();      // all zero when there is no device
const D3DSURFACE_DESC* FWGetBackBufferSurfaceDesc();
const D3DCAPS9* FWGetDeviceCaps();
HWND FWGetHWND();  // the windowed device window when windowed, else the full-screen one
HWND FWGetHWNDFocus();
HWND FWGetHWNDDeviceFullScreen();
HWND FWGetHWNDDeviceWindowed();
HINSTANCE FWGetHINSTANCE();
double FWGetTime();
float FWGetElapsedTime();
float FWGetFPS();
const wchar_t* FWGetWindowTitle();
RECT FWGetWindowClientRect();
RECT FWGetWindowClientRectAtModeChange();
RECT FWGetFullsceenClientRectAtModeChange();
bool FWGetShowMsgBoxOnError();
bool FWGetAutomation();
bool FWGetHandleDefaultHotkeys();
int FWGetExitCode();

bool FWIsWindowed();
bool FWIsActive();
bool FWIsRenderingPaused();
bool FWIsTimePaused();
// Left/right Shift, Control and Alt are read live; mouse-button codes answer
// FWIsMouseButtonDown; every other key from the key messages seen.
bool FWIsKeyDown(BYTE vKey);
bool FWIsMouseButtonDown(BYTE vButton);
