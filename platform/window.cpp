// Windows: classes, the table of live windows, geometry, placement, styles and
// monitors, over SDL windows.
//
// Sizes: SDL positions and sizes a window by its client area; the window
// manager draws the frame outside it. The outer ("window") rectangle of this
// layer is the client rectangle grown by the frame the window manager reports
// for the window (SDL_GetWindowBordersSize). AdjustWindowRect, which has no
// window, uses the frame last reported for any decorated window (none before
// the first one is mapped, and none on drivers without frames), and every call
// that takes an outer size subtracts the same frame, so that
// AdjustWindowRect followed by SetWindowPos gives exactly the client size asked.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "platform/window_sdl.h"

struct PlatformModule {
    int unused;
};
struct PlatformMonitor {
    int display;
};

namespace {

constexpr HRESULT kErrorClassNotFound = MAKE_HRESULT(1, FACILITY_SYSTEM, 1407);
constexpr HRESULT kErrorCreateFailed = MAKE_HRESULT(1, FACILITY_SYSTEM, 1004);
constexpr int kMaxMonitors = 16;

struct WindowClass {
    WNDCLASSW cls;
    std::wstring name;
};

std::map<std::wstring, WindowClass>& Classes() {
    static std::map<std::wstring, WindowClass> classes;
    return classes;
}

std::vector<std::unique_ptr<PlatformWindow>>& Table() {
    static std::vector<std::unique_ptr<PlatformWindow>> table;
    return table;
}

PlatformModule g_module = {0};
PlatformMonitor g_monitors[kMaxMonitors];
HRESULT g_lastError = S_OK;
RECT g_knownInsets = {0, 0, 0, 0};
bool g_videoReady = false;

std::wstring ClassKey(const wchar_t* name) {
    std::wstring key = name;
    for (auto& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return key;
}

bool Decorated(DWORD style) { return (style & WS_POPUP) == 0; }

void ApplyStyle(PlatformWindow* w) {
    bool decorated = Decorated(w->style);
    SDL_SetWindowBordered(w->sdl, decorated ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(w->sdl, (decorated && (w->style & WS_THICKFRAME)) ? SDL_TRUE : SDL_FALSE);
}

void ApplyTopmost(PlatformWindow* w) {
    SDL_SetWindowAlwaysOnTop(w->sdl, (w->exStyle & WS_EX_TOPMOST) ? SDL_TRUE : SDL_FALSE);
}

HMONITOR MonitorOf(int display) {
    if (display < 0 || display >= kMaxMonitors || display >= PlatformDisplayCount()) return nullptr;
    g_monitors[display].display = display;
    return &g_monitors[display];
}

int DisplayOf(HMONITOR monitor) {
    for (int i = 0; i < kMaxMonitors; ++i) {
        if (monitor == &g_monitors[i]) return i;
    }
    return -1;
}

int64_t DistanceSquared(const SDL_Rect& r, POINT p) {
    int64_t dx = 0, dy = 0;
    if (p.x < r.x) dx = r.x - p.x;
    else if (p.x >= r.x + r.w) dx = p.x - (r.x + r.w - 1);
    if (p.y < r.y) dy = r.y - p.y;
    else if (p.y >= r.y + r.h) dy = p.y - (r.y + r.h - 1);
    return dx * dx + dy * dy;
}

// Applies a new show state and reports the resulting WM_SIZE at once.
void SetShowState(HWND hwnd, PlatformWindow* w, bool minimized, bool maximized) {
    w->minimized = minimized;
    w->maximized = maximized;
    int cw = 0, ch = 0;
    platform_detail::ClientSize(w, &cw, &ch);
    platform_detail::NotifySize(hwnd, platform_detail::CurrentSizeKind(w), cw, ch);
}

}  // namespace

namespace platform_detail {

PlatformWindow* Lookup(HWND window) {
    if (window == nullptr) return nullptr;
    for (auto& w : Table()) {
        if (w.get() == window) return w.get();
    }
    return nullptr;
}

PlatformWindow* LookupSdlId(uint32_t id) {
    if (id == 0) return nullptr;
    for (auto& w : Table()) {
        if (w->sdlId == id) return w.get();
    }
    return nullptr;
}

std::vector<HWND> AllWindows() {
    std::vector<HWND> all;
    for (auto& w : Table()) all.push_back(w.get());
    return all;
}

RECT FrameInsets(const PlatformWindow* w, DWORD style) {
    RECT none = {0, 0, 0, 0};
    if (!Decorated(style)) return none;
    if (w != nullptr && w->sdl != nullptr) {
        if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) return none;
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right) == 0 &&
            (top | left | bottom | right) != 0) {
            g_knownInsets = {left, top, right, bottom};
        }
    }
    return g_knownInsets;
}

POINT ClientOrigin(const PlatformWindow* w) {
    POINT p = {0, 0};
    if (w != nullptr && w->sdl != nullptr) SDL_GetWindowPosition(w->sdl, &p.x, &p.y);
    return p;
}

void ClientSize(const PlatformWindow* w, int* width, int* height) {
    *width = 0;
    *height = 0;
    if (w == nullptr || w->sdl == nullptr || w->minimized) return;
    SDL_GetWindowSize(w->sdl, width, height);
}

WPARAM CurrentSizeKind(const PlatformWindow* w) {
    if (w->minimized) return SIZE_MINIMIZED;
    if (w->maximized) return SIZE_MAXIMIZED;
    return SIZE_RESTORED;
}

void RememberNormalRect(PlatformWindow* w) {
    if (w->minimized || w->maximized || w->sdl == nullptr) return;
    if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) return;
    RECT r;
    if (GetWindowRect(w, &r)) w->normalRect = r;
}

}  // namespace platform_detail

using namespace platform_detail;

namespace {

// At exit: windows still open are destroyed and SDL is shut down, which also
// closes its connections to the display and the session bus. Calls into SDL
// after this (such as deleting a GL context) find it stopped and do nothing.
void ShutDownVideo() {
    for (HWND w : AllWindows()) DestroyWindow(w);
    g_videoReady = false;
    SDL_Quit();
}

}  // namespace

// --- SDL access ------------------------------------------------------------------

bool PlatformInitVideo() {
    if (g_videoReady && SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Closing the last window is an ordinary WM_CLOSE for the program, not a
    // quit event of its own; SIGINT/SIGTERM still arrive as SDL_QUIT.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A click that activates the window is also a click into it.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        OutputDebugStringA("Platform: the video system cannot start: ");
        OutputDebugStringA(SDL_GetError());
        OutputDebugStringA("\n");
        return false;
    }
    g_videoReady = true;
    static bool cleanupRegistered = false;
    if (!cleanupRegistered) {
        cleanupRegistered = true;
        std::atexit(&ShutDownVideo);
    }
    return true;
}

SDL_Window* PlatformSdlWindow(HWND window) {
    PlatformWindow* w = Lookup(window);
    return w ? w->sdl : nullptr;
}

HWND PlatformWindowFromSdl(SDL_Window* window) {
    if (window == nullptr) return nullptr;
    return LookupSdlId(SDL_GetWindowID(window));
}

HRESULT GetLastErrorHR() { return g_lastError; }

// --- classes ---------------------------------------------------------------------

HRESULT RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == 0 ||
        windowClass->lpfnWndProc == nullptr) {
        return E_INVALIDARG;
    }
    std::wstring key = ClassKey(windowClass->lpszClassName);
    if (Classes().count(key) != 0) return ERROR_CLASS_ALREADY_EXISTS_HR;
    WindowClass entry;
    entry.cls = *windowClass;
    entry.name = windowClass->lpszClassName;
    entry.cls.lpszMenuName = nullptr;
    auto it = Classes().emplace(key, std::move(entry)).first;
    it->second.cls.lpszClassName = it->second.name.c_str();
    return S_OK;
}

bool UnregisterClassW(const wchar_t* className, HINSTANCE) {
    if (className == nullptr) return false;
    std::wstring key = ClassKey(className);
    auto it = Classes().find(key);
    if (it == Classes().end()) return false;
    for (auto& w : Table()) {
        if (ClassKey(w->className.c_str()) == key) return false;  // still in use
    }
    Classes().erase(it);
    return true;
}

// --- creation and destruction -------------------------------------------------------

HWND CreateWindowW(const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                   int height, HWND, HMENU, HINSTANCE, void* param) {
    if (className == nullptr) {
        g_lastError = E_INVALIDARG;
        return nullptr;
    }
    auto cls = Classes().find(ClassKey(className));
    if (cls == Classes().end()) {
        g_lastError = kErrorClassNotFound;
        return nullptr;
    }
    if (!PlatformInitVideo()) {
        g_lastError = kErrorCreateFailed;
        return nullptr;
    }
    RECT insets = FrameInsets(nullptr, style);
    int cw = (width == CW_USEDEFAULT) ? 640 : width - insets.left - insets.right;
    int ch = (height == CW_USEDEFAULT) ? 480 : height - insets.top - insets.bottom;
    cw = std::max(cw, 1);
    ch = std::max(ch, 1);
    bool defaultPos = (x == CW_USEDEFAULT || y == CW_USEDEFAULT);
    int sx = defaultPos ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : x + insets.left;
    int sy = defaultPos ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : y + insets.top;

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (!Decorated(style)) flags |= SDL_WINDOW_BORDERLESS;
    else if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;

    std::string utf8Title = WideToUtf8(title ? title : L"");
    SDL_Window* sdl = SDL_CreateWindow(utf8Title.c_str(), sx, sy, cw, ch, flags);
    if (sdl == nullptr) {
        OutputDebugStringA("Platform: SDL_CreateWindow failed: ");
        OutputDebugStringA(SDL_GetError());
        OutputDebugStringA("\n");
        g_lastError = kErrorCreateFailed;
        return nullptr;
    }
    auto owned = std::make_unique<PlatformWindow>();
    PlatformWindow* w = owned.get();
    w->sdl = sdl;
    w->sdlId = SDL_GetWindowID(sdl);
    w->proc = cls->second.cls.lpfnWndProc;
    w->className = cls->second.name;
    w->classStyle = cls->second.cls.style;
    w->classCursor = cls->second.cls.hCursor;
    w->style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
    w->title = title ? title : L"";
    Table().push_back(std::move(owned));

    // The window procedure gives the tracking limits before anything else.
    MINMAXINFO mmi = {};
    SDL_Rect desk = {0, 0, 0, 0};
    SDL_GetDisplayBounds(0, &desk);
    mmi.ptMaxSize = {desk.w, desk.h};
    mmi.ptMaxPosition = {desk.x, desk.y};
    mmi.ptMinTrackSize = {1, 1};
    mmi.ptMaxTrackSize = {32767, 32767};
    SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    if (Lookup(w) == nullptr) {
        g_lastError = kErrorCreateFailed;
        return nullptr;
    }
    int minW = std::max(1, static_cast<int>(mmi.ptMinTrackSize.x - insets.left - insets.right));
    int minH = std::max(1, static_cast<int>(mmi.ptMinTrackSize.y - insets.top - insets.bottom));
    if (minW > 1 || minH > 1) SDL_SetWindowMinimumSize(sdl, minW, minH);
    if (mmi.ptMaxTrackSize.x < 32767 || mmi.ptMaxTrackSize.y < 32767) {
        SDL_SetWindowMaximumSize(sdl, std::max(minW, static_cast<int>(mmi.ptMaxTrackSize.x - insets.left - insets.right)),
                                 std::max(minH, static_cast<int>(mmi.ptMaxTrackSize.y - insets.top - insets.bottom)));
    }
    RememberNormalRect(w);
    {
        int cw2 = 0, ch2 = 0;
        SDL_GetWindowSize(sdl, &cw2, &ch2);
        w->lastSizeKind = SIZE_RESTORED;
        w->lastSizeW = cw2;
        w->lastSizeH = ch2;
        POINT o = ClientOrigin(w);
        w->lastMoveX = o.x;
        w->lastMoveY = o.y;
    }

    CREATESTRUCTW cs = {};
    cs.lpCreateParams = param;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = style;
    cs.lpszName = w->title.c_str();
    cs.lpszClass = w->className.c_str();
    if (SendMessageW(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1 || Lookup(w) == nullptr) {
        DestroyWindow(w);
        g_lastError = kErrorCreateFailed;
        return nullptr;
    }
    if (style & WS_VISIBLE) {
        ShowWindow(w, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW);
    }
    g_lastError = S_OK;
    return w;
}

bool DestroyWindow(HWND window) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || w->destroying) return false;
    w->destroying = true;
    ForgetWindowInput(window);
    if (w->visible) {
        SDL_HideWindow(w->sdl);
        w->visible = false;
    }
    SendMessageW(window, WM_DESTROY, 0, 0);
    DropMessagesFor(window);
    auto& table = Table();
    for (auto it = table.begin(); it != table.end(); ++it) {
        if (it->get() == w) {
            SDL_Window* sdl = w->sdl;
            table.erase(it);
            SDL_DestroyWindow(sdl);
            break;
        }
    }
    return true;
}

bool IsWindow(HWND window) { return Lookup(window) != nullptr; }

// --- show state -------------------------------------------------------------------

bool ShowWindow(HWND window, int showCommand) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return false;
    bool wasVisible = w->visible;
    auto show = [&] {
        if (!w->visible) {
            SDL_ShowWindow(w->sdl);
            w->visible = true;
        }
    };
    switch (showCommand) {
        case SW_HIDE:
            if (w->visible) {
                SDL_HideWindow(w->sdl);
                w->visible = false;
            }
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            show();
            if (!w->minimized) {
                w->restoreToMaximized = w->maximized;
                SDL_MinimizeWindow(w->sdl);
                SetShowState(window, w, true, false);
            }
            break;
        case SW_SHOWMAXIMIZED:
            show();
            if (!w->maximized || w->minimized) {
                SDL_MaximizeWindow(w->sdl);
                SetShowState(window, w, false, true);
            }
            break;
        case SW_RESTORE:
            show();
            if (w->minimized && w->restoreToMaximized) {
                SDL_RestoreWindow(w->sdl);
                SDL_MaximizeWindow(w->sdl);
                SetShowState(window, w, false, true);
            } else if (w->minimized || w->maximized) {
                SDL_RestoreWindow(w->sdl);
                SetShowState(window, w, false, false);
            }
            break;
        case SW_SHOWNORMAL:
            show();
            if (w->minimized || w->maximized) {
                SDL_RestoreWindow(w->sdl);
                SetShowState(window, w, false, false);
            }
            break;
        default:  // SW_SHOW, SW_SHOWNOACTIVATE
            show();
            break;
    }
    return wasVisible;
}

bool IsWindowVisible(HWND window) {
    PlatformWindow* w = Lookup(window);
    return w != nullptr && w->visible;
}

bool IsIconic(HWND window) {
    PlatformWindow* w = Lookup(window);
    return w != nullptr && w->minimized;
}

bool IsZoomed(HWND window) {
    PlatformWindow* w = Lookup(window);
    return w != nullptr && w->maximized && !w->minimized;
}

// --- geometry ----------------------------------------------------------------------

bool GetClientRect(HWND window, RECT* rect) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || rect == nullptr) return false;
    int cw = 0, ch = 0;
    ClientSize(w, &cw, &ch);
    SetRect(rect, 0, 0, cw, ch);
    return true;
}

bool GetWindowRect(HWND window, RECT* rect) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || rect == nullptr) return false;
    RECT in = FrameInsets(w, w->style);
    POINT o = ClientOrigin(w);
    int cw = 0, ch = 0;
    SDL_GetWindowSize(w->sdl, &cw, &ch);
    SetRect(rect, o.x - in.left, o.y - in.top, o.x + cw + in.right, o.y + ch + in.bottom);
    return true;
}

bool AdjustWindowRect(RECT* rect, DWORD style, bool) {
    if (rect == nullptr) return false;
    RECT in = FrameInsets(nullptr, style);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return true;
}

bool SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return false;
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) {
            w->exStyle |= WS_EX_TOPMOST;
            ApplyTopmost(w);
        } else if (insertAfter == HWND_NOTOPMOST) {
            w->exStyle &= ~WS_EX_TOPMOST;
            ApplyTopmost(w);
        }
    }
    if (flags & SWP_FRAMECHANGED) ApplyStyle(w);
    RECT in = FrameInsets(w, w->style);
    if (!(flags & SWP_NOSIZE)) {
        int cw = std::max(1, static_cast<int>(width - in.left - in.right));
        int ch = std::max(1, static_cast<int>(height - in.top - in.bottom));
        SDL_SetWindowSize(w->sdl, cw, ch);
    }
    if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(w->sdl, x + in.left, y + in.top);
    if (flags & SWP_SHOWWINDOW) ShowWindow(window, SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
    if (Lookup(window) == nullptr) return true;
    RememberNormalRect(w);
    if (!(flags & SWP_NOMOVE)) {
        POINT o = ClientOrigin(w);
        NotifyMove(window, o.x, o.y);
    }
    if (!(flags & SWP_NOSIZE) && Lookup(window) != nullptr) {
        int cw = 0, ch = 0;
        ClientSize(w, &cw, &ch);
        NotifySize(window, CurrentSizeKind(w), cw, ch);
    }
    return true;
}

bool MoveWindow(HWND window, int x, int y, int width, int height, bool) {
    return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || placement == nullptr) return false;
    RememberNormalRect(w);
    placement->length = sizeof(WINDOWPLACEMENT);
    placement->flags = (w->minimized && w->restoreToMaximized) ? WPF_RESTORETOMAXIMIZED : 0;
    placement->showCmd = w->minimized ? SW_SHOWMINIMIZED : w->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    placement->ptMinPosition = {-1, -1};
    placement->ptMaxPosition = {-1, -1};
    placement->rcNormalPosition = w->normalRect;
    return true;
}

bool SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || placement == nullptr) return false;
    const RECT& r = placement->rcNormalPosition;
    switch (placement->showCmd) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            SetWindowPos(window, nullptr, r.left, r.top, RectWidth(r), RectHeight(r), SWP_NOZORDER | SWP_NOACTIVATE);
            if (Lookup(window)) ShowWindow(window, SW_SHOWMINIMIZED);
            if ((w = Lookup(window)) != nullptr) w->restoreToMaximized = (placement->flags & WPF_RESTORETOMAXIMIZED) != 0;
            break;
        case SW_SHOWMAXIMIZED:
            if (w->minimized || w->maximized) ShowWindow(window, SW_SHOWNORMAL);
            if (Lookup(window)) SetWindowPos(window, nullptr, r.left, r.top, RectWidth(r), RectHeight(r), SWP_NOZORDER | SWP_NOACTIVATE);
            if (Lookup(window)) ShowWindow(window, SW_SHOWMAXIMIZED);
            break;
        case SW_HIDE:
            SetWindowPos(window, nullptr, r.left, r.top, RectWidth(r), RectHeight(r), SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        default:
            if (w->minimized || w->maximized) ShowWindow(window, SW_SHOWNORMAL);
            if (Lookup(window)) SetWindowPos(window, nullptr, r.left, r.top, RectWidth(r), RectHeight(r), SWP_NOZORDER | SWP_NOACTIVATE);
            if (Lookup(window) && placement->showCmd != SW_SHOWNOACTIVATE) ShowWindow(window, SW_SHOW);
            break;
    }
    if ((w = Lookup(window)) != nullptr) w->normalRect = r;
    return true;
}

intptr_t GetWindowLongPtrW(HWND window, int index) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return 0;
    switch (index) {
        case GWL_STYLE: {
            DWORD s = w->style;
            if (w->visible) s |= WS_VISIBLE;
            if (w->minimized) s |= WS_MINIMIZE;
            if (w->maximized && !w->minimized) s |= WS_MAXIMIZE;
            return static_cast<intptr_t>(s);
        }
        case GWL_EXSTYLE:
            return static_cast<intptr_t>(w->exStyle);
        case GWLP_WNDPROC:
            return reinterpret_cast<intptr_t>(w->proc);
        default:
            return 0;
    }
}

intptr_t SetWindowLongPtrW(HWND window, int index, intptr_t value) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return 0;
    intptr_t old = GetWindowLongPtrW(window, index);
    switch (index) {
        case GWL_STYLE:
            // The show-state bits follow ShowWindow, not the style word.
            w->style = static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
            ApplyStyle(w);
            break;
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            ApplyTopmost(w);
            break;
        case GWLP_WNDPROC:
            if (value == 0) return 0;
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        default:
            return 0;
    }
    return old;
}

int GetWindowTextW(HWND window, wchar_t* text, int maxCount) {
    PlatformWindow* w = Lookup(window);
    if (text == nullptr || maxCount <= 0) return 0;
    text[0] = 0;
    if (w == nullptr) return 0;
    int n = std::min(static_cast<int>(w->title.size()), maxCount - 1);
    std::copy(w->title.begin(), w->title.begin() + n, text);
    text[n] = 0;
    return n;
}

bool SetWindowTextW(HWND window, const wchar_t* text) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return false;
    w->title = text ? text : L"";
    SDL_SetWindowTitle(w->sdl, WideToUtf8(w->title).c_str());
    return true;
}

// Windows of this platform have no menu bar; menus are never created.
HMENU GetMenu(HWND) { return nullptr; }
bool SetMenu(HWND window, HMENU menu) { return IsWindow(window) && menu == nullptr; }
bool DestroyMenu(HMENU) { return false; }

HINSTANCE GetModuleHandleW(const wchar_t* moduleName) { return moduleName == nullptr ? &g_module : nullptr; }

// Program files carry no icons on this platform; windows get the desktop's
// default icon.
HICON ExtractIconW(HINSTANCE, const wchar_t*, UINT) { return nullptr; }

bool InvalidateRect(HWND window, const RECT*, bool) {
    if (Lookup(window) == nullptr) return false;
    QueueMessage(window, WM_PAINT, 0, 0, SDL_GetTicks(), {0, 0});
    return true;
}

// --- monitors ---------------------------------------------------------------------

int PlatformDisplayCount() {
    if (!PlatformInitVideo()) return 0;
    return std::max(0, SDL_GetNumVideoDisplays());
}

HMONITOR PlatformMonitorOfDisplay(int display) { return MonitorOf(display); }

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
    int count = std::min(PlatformDisplayCount(), kMaxMonitors);
    int nearest = -1;
    int64_t best = INT64_MAX;
    for (int i = 0; i < count; ++i) {
        SDL_Rect r;
        if (SDL_GetDisplayBounds(i, &r) != 0) continue;
        int64_t d = DistanceSquared(r, point);
        if (d == 0) return MonitorOf(i);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    if (flags == MONITOR_DEFAULTTONEAREST && nearest >= 0) return MonitorOf(nearest);
    if (flags == MONITOR_DEFAULTTOPRIMARY) return MonitorOf(0);
    return nullptr;
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags) {
    PlatformWindow* w = Lookup(window);
    if (w != nullptr) {
        int d = SDL_GetWindowDisplayIndex(w->sdl);
        if (d >= 0) {
            HMONITOR m = MonitorOf(d);
            if (m != nullptr) return m;
        }
        RECT r;
        GetWindowRect(window, &r);
        POINT centre = {r.left + RectWidth(r) / 2, r.top + RectHeight(r) / 2};
        return MonitorFromPoint(centre, flags);
    }
    if (flags == MONITOR_DEFAULTTONULL) return nullptr;
    return MonitorOf(0);
}

bool GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
    int d = DisplayOf(monitor);
    if (d < 0 || info == nullptr || d >= PlatformDisplayCount()) return false;
    SDL_Rect r, u;
    if (SDL_GetDisplayBounds(d, &r) != 0) return false;
    if (SDL_GetDisplayUsableBounds(d, &u) != 0) u = r;
    SetRect(&info->rcMonitor, r.x, r.y, r.x + r.w, r.y + r.h);
    SetRect(&info->rcWork, u.x, u.y, u.x + u.w, u.y + u.h);
    info->dwFlags = (d == 0) ? MONITORINFOF_PRIMARY : 0;
    return true;
}
