// The window, its messages and input.
//
// The framework owns one top-level window and handles its events as window
// messages (window, message, wParam, lParam) through a window procedure. The
// layer turns the system's events into these messages, with the values and
// parameter layouts given below, queues them, and hands them to the window
// procedure when the framework dispatches them.
#pragma once

#include "platform/result.h"
#include "platform/types.h"

// --- messages ------------------------------------------------------------------

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;            // lParam: client x, y of the window's top-left, screen coords
constexpr UINT WM_SIZE = 0x0005;            // wParam: SIZE_*; lParam: client width, height
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;     // wParam: TRUE activated, FALSE deactivated
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_GETMINMAXINFO = 0x0024;   // lParam: MINMAXINFO*
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_KEYDOWN = 0x0100;         // wParam: virtual key; lParam bit 29 Alt, bit 30 repeat
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;            // wParam: character (UTF-32)
constexpr UINT WM_SYSKEYDOWN = 0x0104;      // key while Alt is held, and F10
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_SYSCOMMAND = 0x0112;      // wParam: SC_*
constexpr UINT WM_MENUCHAR = 0x0120;
constexpr UINT WM_MOUSEMOVE = 0x0200;       // wParam: MK_* flags; lParam: client x, y (signed 16-bit)
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;      // wParam: MK_* low, delta high (+-120 a notch); lParam: SCREEN x, y
constexpr UINT WM_XBUTTONDOWN = 0x020B;     // wParam high word: XBUTTON1 or XBUTTON2
constexpr UINT WM_XBUTTONUP = 0x020C;
constexpr UINT WM_XBUTTONDBLCLK = 0x020D;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;
constexpr UINT WM_CAPTURECHANGED = 0x0215;  // lParam: the window that gains the capture (or null)
constexpr UINT WM_POWERBROADCAST = 0x0218;  // wParam: PBT_*
constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
constexpr UINT WM_EXITSIZEMOVE = 0x0232;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM SIZE_MAXSHOW = 3;
constexpr WPARAM SIZE_MAXHIDE = 4;

constexpr WPARAM PBT_APMQUERYSUSPEND = 0x0000;
constexpr WPARAM PBT_APMRESUMESUSPEND = 0x0007;

constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_KEYMENU = 0xF100;
constexpr WPARAM SC_RESTORE = 0xF120;

constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT MNC_CLOSE = 1;
constexpr LRESULT MAKELRESULT(int lo, int hi) { return static_cast<LRESULT>(MAKELPARAM(lo, hi)); }

// Button and modifier flags of mouse messages (low word of wParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;
constexpr WPARAM MK_XBUTTON1 = 0x0020;
constexpr WPARAM MK_XBUTTON2 = 0x0040;
constexpr WORD XBUTTON1 = 0x0001;
constexpr WORD XBUTTON2 = 0x0002;
constexpr int WHEEL_DELTA = 120;

// lParam bits of key messages.
constexpr LPARAM KF_ALTDOWN_BIT = LPARAM(1) << 29;
constexpr LPARAM KF_REPEAT_BIT = LPARAM(1) << 30;
constexpr LPARAM KF_UP_BIT = LPARAM(1) << 31;

// --- virtual keys --------------------------------------------------------------

constexpr UINT VK_LBUTTON = 0x01;
constexpr UINT VK_RBUTTON = 0x02;
constexpr UINT VK_CANCEL = 0x03;
constexpr UINT VK_MBUTTON = 0x04;
constexpr UINT VK_XBUTTON1 = 0x05;
constexpr UINT VK_XBUTTON2 = 0x06;
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_CLEAR = 0x0C;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;  // Alt
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_CAPITAL = 0x14;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;  // page up
constexpr UINT VK_NEXT = 0x22;   // page down
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_SELECT = 0x29;
constexpr UINT VK_PRINT = 0x2A;
constexpr UINT VK_SNAPSHOT = 0x2C;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_HELP = 0x2F;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
constexpr UINT VK_LWIN = 0x5B;
constexpr UINT VK_RWIN = 0x5C;
constexpr UINT VK_APPS = 0x5D;
constexpr UINT VK_NUMPAD0 = 0x60;
constexpr UINT VK_NUMPAD1 = 0x61;
constexpr UINT VK_NUMPAD2 = 0x62;
constexpr UINT VK_NUMPAD3 = 0x63;
constexpr UINT VK_NUMPAD4 = 0x64;
constexpr UINT VK_NUMPAD5 = 0x65;
constexpr UINT VK_NUMPAD6 = 0x66;
constexpr UINT VK_NUMPAD7 = 0x67;
constexpr UINT VK_NUMPAD8 = 0x68;
constexpr UINT VK_NUMPAD9 = 0x69;
constexpr UINT VK_MULTIPLY = 0x6A;
constexpr UINT VK_ADD = 0x6B;
constexpr UINT VK_SEPARATOR = 0x6C;
constexpr UINT VK_SUBTRACT = 0x6D;
constexpr UINT VK_DECIMAL = 0x6E;
constexpr UINT VK_DIVIDE = 0x6F;
constexpr UINT VK_F1 = 0x70;  // VK_F1 + n - 1 is Fn, up to F24
constexpr UINT VK_F2 = 0x71;
constexpr UINT VK_F3 = 0x72;
constexpr UINT VK_F4 = 0x73;
constexpr UINT VK_F5 = 0x74;
constexpr UINT VK_F6 = 0x75;
constexpr UINT VK_F7 = 0x76;
constexpr UINT VK_F8 = 0x77;
constexpr UINT VK_F9 = 0x78;
constexpr UINT VK_F10 = 0x79;
constexpr UINT VK_F11 = 0x7A;
constexpr UINT VK_F12 = 0x7B;
constexpr UINT VK_F24 = 0x87;
constexpr UINT VK_NUMLOCK = 0x90;
constexpr UINT VK_SCROLL = 0x91;
constexpr UINT VK_LSHIFT = 0xA0;
constexpr UINT VK_RSHIFT = 0xA1;
constexpr UINT VK_LCONTROL = 0xA2;
constexpr UINT VK_RCONTROL = 0xA3;
constexpr UINT VK_LMENU = 0xA4;
constexpr UINT VK_RMENU = 0xA5;
// Punctuation keys, by their place on a US keyboard.
constexpr UINT VK_OEM_1 = 0xBA;       // ;:
constexpr UINT VK_OEM_PLUS = 0xBB;    // =+
constexpr UINT VK_OEM_COMMA = 0xBC;   // ,<
constexpr UINT VK_OEM_MINUS = 0xBD;   // -_
constexpr UINT VK_OEM_PERIOD = 0xBE;  // .>
constexpr UINT VK_OEM_2 = 0xBF;       // /?
constexpr UINT VK_OEM_3 = 0xC0;       // `~
constexpr UINT VK_OEM_4 = 0xDB;       // [{
constexpr UINT VK_OEM_5 = 0xDC;       // \|
constexpr UINT VK_OEM_6 = 0xDD;       // ]}
constexpr UINT VK_OEM_7 = 0xDE;       // '"
constexpr UINT VK_OEM_102 = 0xE2;     // the extra key of ISO keyboards

// --- windows -------------------------------------------------------------------

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_WNDPROC = -4;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<intptr_t>(-2));

constexpr UINT WPF_RESTORETOMAXIMIZED = 0x0002;

struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// What WM_CREATE carries in lParam: the arguments of CreateWindowW.
struct CREATESTRUCTW {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    DWORD style;
    const wchar_t* lpszName;
    const wchar_t* lpszClass;
    DWORD dwExStyle;
};

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr UINT CS_DBLCLKS = 0x0008;

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    const wchar_t* lpszMenuName;
    const wchar_t* lpszClassName;
};

// Registers a window class. ERROR_CLASS_ALREADY_EXISTS_HR when a class of
// that name exists.
HRESULT RegisterClassW(const WNDCLASSW* windowClass);
bool UnregisterClassW(const wchar_t* className, HINSTANCE instance);

// Creates a top-level window of a registered class. x and y may be
// CW_USEDEFAULT. width and height are the outer size (see AdjustWindowRect).
// The window starts hidden unless style has WS_VISIBLE. Returns null on
// failure; GetLastErrorHR() then tells why.
HWND CreateWindowW(const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                   int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// Releases the mouse capture if the window holds it (WM_CAPTURECHANGED),
// sends WM_DESTROY, drops the window's queued messages, then forgets the
// window: every call given its handle afterwards fails harmlessly.
bool DestroyWindow(HWND window);
bool IsWindow(HWND window);
HRESULT GetLastErrorHR();

// Returns whether the window was visible. A change of state (minimised,
// maximised, restored) is reported at once with WM_SIZE, before returning;
// SetWindowPos and MoveWindow likewise send WM_MOVE and WM_SIZE.
bool ShowWindow(HWND window, int showCommand);
bool IsWindowVisible(HWND window);
bool IsIconic(HWND window);  // minimised
bool IsZoomed(HWND window);  // maximised
bool GetClientRect(HWND window, RECT* rect);  // left, top are 0
bool GetWindowRect(HWND window, RECT* rect);  // screen coordinates, frame included
// Grows a client rectangle to the window rectangle for the given style: by
// the frame the window manager draws (as last reported for a decorated
// window; none before that, and none for WS_POPUP). There is no menu bar.
bool AdjustWindowRect(RECT* rect, DWORD style, bool hasMenu);
bool SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
bool MoveWindow(HWND window, int x, int y, int width, int height, bool repaint);
bool GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
bool SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement);
intptr_t GetWindowLongPtrW(HWND window, int index);
intptr_t SetWindowLongPtrW(HWND window, int index, intptr_t value);  // returns the previous value
int GetWindowTextW(HWND window, wchar_t* text, int maxCount);
bool SetWindowTextW(HWND window, const wchar_t* text);
HMENU GetMenu(HWND window);  // windows of this platform have no menu bar: null
bool SetMenu(HWND window, HMENU menu);
bool DestroyMenu(HMENU menu);
HWND GetForegroundWindow();
HINSTANCE GetModuleHandleW(const wchar_t* moduleName);  // null name: the program
HICON ExtractIconW(HINSTANCE instance, const wchar_t* file, UINT index);
bool InvalidateRect(HWND window, const RECT* rect, bool erase);  // queues WM_PAINT

// --- monitors ------------------------------------------------------------------

constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
constexpr DWORD MONITORINFOF_PRIMARY = 1;

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};

HMONITOR MonitorFromWindow(HWND window, DWORD flags);
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
bool GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);
// The monitor of display (adapter) n, or null.
HMONITOR PlatformMonitorOfDisplay(int display);
int PlatformDisplayCount();

// --- message queue ---------------------------------------------------------------

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Gathers pending system events, turns them into messages and returns the
// first one (removing it with PM_REMOVE). False when the queue is empty.
// WM_QUIT (from PostQuitMessage) comes once every other queued message has
// been taken, and only to a peek without a window filter.
bool PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// Adds WM_CHAR messages for typed characters.
bool TranslateMessage(const MSG* msg);
// Calls the window procedure of msg->hwnd.
LRESULT DispatchMessageW(const MSG* msg);
// Queues WM_QUIT with the exit code.
void PostQuitMessage(int exitCode);
bool PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Calls the window procedure at once and returns its result.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Default processing of a message: what the system does for a window that
// does not handle it (WM_CLOSE destroys the window, and so on).
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// This platform has no accelerator tables: nothing is ever translated.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* msg);
bool DestroyAcceleratorTable(HACCEL table);
// Milliseconds within which a second press of the same button, within 4
// pixels of the first, counts as a double click (windows whose class has
// CS_DBLCLKS). 500 unless SDL's SDL_MOUSE_DOUBLE_CLICK_TIME hint says otherwise.
UINT GetDoubleClickTime();

// --- mouse and keyboard ------------------------------------------------------------

HWND SetCapture(HWND window);  // returns the previous capture window
bool ReleaseCapture();
HWND GetCapture();
bool GetCursorPos(POINT* point);  // screen coordinates
bool SetCursorPos(int x, int y);
bool ClientToScreen(HWND window, POINT* point);
bool ScreenToClient(HWND window, POINT* point);
// Confines the cursor to a screen rectangle; null releases it.
bool ClipCursor(const RECT* rect);
// Shows or hides the system cursor; returns the display count.
int ShowCursor(bool show);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR LoadStandardArrowCursor();
// The key's state: bit 0x8000 set while down (also for VK_SHIFT, VK_CONTROL,
// VK_MENU and their left/right variants, read live from the system).
int16_t GetKeyState(int virtualKey);
int16_t GetAsyncKeyState(int virtualKey);

// --- message boxes -------------------------------------------------------------------

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a modal box; returns the button pressed (IDOK, IDYES, IDNO).
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
// The three-button question of the reference-device warning: "Yes" gives
// IDYES, "No" IDNO, "Yes, don't show again" IDYES + 0x80; closing gives IDYES.
int ShowReferenceDeviceWarning(HWND owner, const wchar_t* caption, const wchar_t* text);

// Tests answer boxes instead of a person. With a hook set no box is shown:
// the hook receives the texts and type (type 0xFFFFFFFF for the three-button
// warning) and its result is returned.
using MessageBoxHook = int (*)(const wchar_t* text, const wchar_t* caption, UINT type);
void PlatformSetMessageBoxHook(MessageBoxHook hook);
