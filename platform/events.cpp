// The message queue: SDL events become window messages; peek, translate,
// dispatch, post, send, default processing; mouse capture, cursor and key
// state.
//
// What SDL tells and what it does not:
// - Keys: SDL_KEYDOWN/UP give keycode, scancode, repeat and the modifier state.
//   Typed text comes separately (SDL_TEXTINPUT, after its key); it is attached
//   to the key-down message it belongs to and becomes WM_CHAR (WM_SYSCHAR with
//   Alt) only when the program translates that message, as the program's pump
//   expects. Return, Backspace, Tab, Escape and Ctrl+letter give no text in SDL;
//   their control characters are made here.
// - Mouse: SDL reports buttons 1-5 (left, middle, right, side 1, side 2) and
//   the click count; double clicks are decided here from the event time and
//   position (within GetDoubleClickTime() ms and 4 pixels), only for windows
//   whose class has CS_DBLCLKS. The wheel reports notches (fractions on
//   smooth-scrolling devices): one notch is 120.
// - Window: shown, exposed (WM_PAINT), moved (WM_MOVE), size changed,
//   minimised, maximised, restored (WM_SIZE), focus gained/lost
//   (WM_ACTIVATEAPP), close requested (WM_CLOSE). SDL cannot tell when the
//   user starts or ends dragging the frame: the window manager does that
//   without telling the program, so no WM_ENTERSIZEMOVE/WM_EXITSIZEMOVE comes
//   from a drag; every step of it arrives as its own WM_SIZE / WM_MOVE. When
//   the window lands on another display the layer sends the pair
//   WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE, which is the moment a program checks its
//   monitor. WM_SETCURSOR and WM_NCHITTEST are never generated (there is no
//   non-client area; the cursor set with SetCursor stays).
// - SDL_QUIT (SIGINT/SIGTERM) asks every window to close (WM_CLOSE).
#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>

#include "platform/system.h"
#include "platform/window.h"
#include "platform/window_internal.h"
#include "platform/window_sdl.h"

struct PlatformCursor {
    SDL_Cursor* sdl;
    bool owned;
};

using namespace platform_detail;

namespace {

constexpr int kDoubleClickDistance = 4;

struct Entry {
    MSG msg;
    uint64_t serial;
    std::u32string text;  // characters typed with this key-down
};

std::deque<Entry> g_queue;
uint64_t g_nextSerial = 1;
bool g_quitPending = false;
int g_quitCode = 0;

// The key-down that text input attaches to: its serial while queued, and the
// last one taken from the queue.
uint64_t g_lastKeyDownSerial = 0;
struct RemovedKey {
    uint64_t serial = 0;
    MSG msg = {};
    std::u32string text;
    bool translated = false;
} g_lastRemovedKey;

HWND g_capture = nullptr;
HWND g_focus = nullptr;
bool g_appActive = false;
uint32_t g_buttonMask = 0;  // SDL_BUTTON() bits of the buttons down
POINT g_cursorPos = {0, 0};

PlatformCursor g_arrow = {nullptr, false};
HCURSOR g_currentCursor = &g_arrow;
int g_cursorShowCount = 0;

bool VideoUp() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

HWND Alive(HWND w) { return Lookup(w) ? w : nullptr; }

bool LiveGlobalMouse() {
    if (!VideoUp()) return false;
    const char* d = SDL_GetCurrentVideoDriver();
    return d != nullptr && std::strcmp(d, "offscreen") != 0 && std::strcmp(d, "dummy") != 0;
}

bool ModifierDown(UINT left, UINT right, SDL_Scancode l, SDL_Scancode r) {
    if (RecordedKeyDown(left) || RecordedKeyDown(right)) return true;
    int n = 0;
    const Uint8* keys = SDL_GetKeyboardState(&n);
    return keys != nullptr && ((l < n && keys[l]) || (r < n && keys[r]));
}

bool ShiftDown() { return ModifierDown(VK_LSHIFT, VK_RSHIFT, SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT); }
bool ControlDown() { return ModifierDown(VK_LCONTROL, VK_RCONTROL, SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL); }

WPARAM MouseFlags(uint32_t buttons) {
    WPARAM f = 0;
    if (buttons & SDL_BUTTON_LMASK) f |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK) f |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK) f |= MK_MBUTTON;
    if (buttons & SDL_BUTTON_X1MASK) f |= MK_XBUTTON1;
    if (buttons & SDL_BUTTON_X2MASK) f |= MK_XBUTTON2;
    if (ShiftDown()) f |= MK_SHIFT;
    if (ControlDown()) f |= MK_CONTROL;
    return f;
}

void UpdateCursorVisibility() {
    if (!VideoUp()) return;
    bool visible = g_cursorShowCount >= 0 && g_currentCursor != nullptr;
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void Push(HWND window, UINT message, WPARAM wParam, LPARAM lParam, uint32_t time, POINT pt, bool front = false) {
    Entry e;
    e.msg = {window, message, wParam, lParam, time, pt};
    e.serial = g_nextSerial++;
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) g_lastKeyDownSerial = e.serial;
    if (front) g_queue.push_front(std::move(e));
    else g_queue.push_back(std::move(e));
}

// The window an input event belongs to: its own, else the focus window.
HWND EventWindow(uint32_t windowId) {
    PlatformWindow* w = LookupSdlId(windowId);
    if (w != nullptr) return w;
    return Alive(g_focus);
}

// Characters of a UTF-8 text.
std::u32string DecodeUtf8(const char* text) {
    std::wstring wide = Utf8ToWide(text);
    return std::u32string(wide.begin(), wide.end());
}

void AttachText(HWND window, const std::u32string& chars, uint32_t time) {
    for (auto it = g_queue.rbegin(); it != g_queue.rend(); ++it) {
        if (it->serial == g_lastKeyDownSerial && it->msg.hwnd == window) {
            it->text += chars;
            return;
        }
    }
    if (g_lastRemovedKey.serial != 0 && g_lastRemovedKey.serial == g_lastKeyDownSerial &&
        g_lastRemovedKey.msg.hwnd == window) {
        if (!g_lastRemovedKey.translated) {
            g_lastRemovedKey.text += chars;
            return;
        }
        UINT m = g_lastRemovedKey.msg.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        for (char32_t c : chars) Push(window, m, c, g_lastRemovedKey.msg.lParam, time, g_cursorPos);
        return;
    }
    // Text without a key (input methods, pasted text): characters of their own.
    for (char32_t c : chars) Push(window, WM_CHAR, c, 1, time, g_cursorPos);
}

void ConvertKey(const SDL_KeyboardEvent& k) {
    HWND window = EventWindow(k.windowID);
    UINT vk = VirtualKeyFromSdl(k.keysym.sym, k.keysym.scancode);
    if (vk == 0) return;
    bool down = k.type == SDL_KEYDOWN;
    UINT sided = SidedVirtualKeyFromSdl(k.keysym.sym);
    RecordKeyState(sided != 0 ? sided : vk, down);
    if (window == nullptr) return;
    bool alt = (k.keysym.mod & KMOD_ALT) != 0 || (down && vk == VK_MENU);
    bool ctrl = (k.keysym.mod & KMOD_CTRL) != 0;
    bool sys = vk == VK_F10 || ((alt || vk == VK_MENU) && !ctrl);
    LPARAM lp = 1;
    if (alt) lp |= KF_ALTDOWN_BIT;
    if (!down) lp |= KF_REPEAT_BIT | KF_UP_BIT;
    else if (k.repeat) lp |= KF_REPEAT_BIT;
    UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    Push(window, msg, vk, lp, k.timestamp, g_cursorPos);
}

// Screen position of a point given relative to an SDL window's client area.
POINT ToScreen(HWND window, int x, int y) {
    POINT o = ClientOrigin(Lookup(window));
    return {o.x + x, o.y + y};
}

void ConvertMotion(const SDL_MouseMotionEvent& m) {
    HWND window = EventWindow(m.windowID);
    if (window == nullptr) return;
    POINT screen = ToScreen(window, m.x, m.y);
    RecordCursorPos(screen);
    HWND target = Alive(g_capture) ? g_capture : window;
    POINT o = ClientOrigin(Lookup(target));
    Push(target, WM_MOUSEMOVE, MouseFlags(m.state), MAKELPARAM(screen.x - o.x, screen.y - o.y), m.timestamp, screen);
}

void ConvertButton(const SDL_MouseButtonEvent& b) {
    bool down = b.type == SDL_MOUSEBUTTONDOWN;
    if (b.button < 1 || b.button > 5) return;
    if (down) g_buttonMask |= SDL_BUTTON(b.button);
    else g_buttonMask &= ~SDL_BUTTON(b.button);
    HWND window = EventWindow(b.windowID);
    if (window == nullptr) return;
    POINT screen = ToScreen(window, b.x, b.y);
    RecordCursorPos(screen);
    HWND target = Alive(g_capture) ? g_capture : window;
    PlatformWindow* w = Lookup(target);
    POINT o = ClientOrigin(w);
    int cx = screen.x - o.x;
    int cy = screen.y - o.y;

    bool dbl = false;
    if (down) {
        uint32_t limit = GetDoubleClickTime();
        if ((w->classStyle & CS_DBLCLKS) && w->clickButton == b.button &&
            static_cast<uint32_t>(b.timestamp - w->clickTime) <= limit && std::abs(cx - w->clickX) <= kDoubleClickDistance &&
            std::abs(cy - w->clickY) <= kDoubleClickDistance) {
            dbl = true;
            w->clickButton = 0;  // a third press starts again
        } else {
            w->clickButton = b.button;
            w->clickTime = b.timestamp;
            w->clickX = cx;
            w->clickY = cy;
        }
    }
    UINT base = 0;
    WPARAM extra = 0;
    switch (b.button) {
        case SDL_BUTTON_LEFT: base = WM_LBUTTONDOWN; break;
        case SDL_BUTTON_RIGHT: base = WM_RBUTTONDOWN; break;
        case SDL_BUTTON_MIDDLE: base = WM_MBUTTONDOWN; break;
        case SDL_BUTTON_X1: base = WM_XBUTTONDOWN; extra = static_cast<WPARAM>(XBUTTON1) << 16; break;
        default: base = WM_XBUTTONDOWN; extra = static_cast<WPARAM>(XBUTTON2) << 16; break;
    }
    UINT msg = down ? (dbl ? base + 2 : base) : base + 1;
    Push(target, msg, MouseFlags(g_buttonMask) | extra, MAKELPARAM(cx, cy), b.timestamp, screen);
}

void ConvertWheel(const SDL_MouseWheelEvent& e) {
    HWND window = EventWindow(e.windowID);
    if (window == nullptr) return;
    float notches = e.preciseY != 0.0f ? e.preciseY : static_cast<float>(e.y);
    if (e.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
    long delta = std::lround(notches * WHEEL_DELTA);
    if (delta == 0) return;
    if (delta > 32767) delta = 32767;
    if (delta < -32768) delta = -32768;
    POINT screen = ToScreen(window, e.mouseX, e.mouseY);
    RecordCursorPos(screen);
    HWND target = Alive(g_capture) ? g_capture : window;
    WPARAM wp = MAKEWPARAM(static_cast<int>(MouseFlags(g_buttonMask)), static_cast<int>(delta));
    Push(target, WM_MOUSEWHEEL, wp, MAKELPARAM(screen.x, screen.y), e.timestamp, screen);
}

void ConvertWindowEvent(const SDL_WindowEvent& e) {
    PlatformWindow* w = LookupSdlId(e.windowID);
    if (w == nullptr) return;
    HWND hwnd = w;
    uint32_t t = e.timestamp;
    switch (e.event) {
        case SDL_WINDOWEVENT_SHOWN:
            w->visible = true;
            break;
        case SDL_WINDOWEVENT_HIDDEN:
            w->visible = false;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            QueueMessage(hwnd, WM_PAINT, 0, 0, t, g_cursorPos);
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (!w->minimized) RememberNormalRect(w);
            NotifyMove(hwnd, e.data1, e.data2, false);
            break;
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (w->minimized) break;
            RememberNormalRect(w);
            NotifySize(hwnd, CurrentSizeKind(w), e.data1, e.data2, false);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            if (!w->minimized) w->restoreToMaximized = w->maximized;
            w->minimized = true;
            NotifySize(hwnd, SIZE_MINIMIZED, 0, 0, false);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED: {
            w->minimized = false;
            w->maximized = true;
            int cw = 0, ch = 0;
            ClientSize(w, &cw, &ch);
            NotifySize(hwnd, SIZE_MAXIMIZED, cw, ch, false);
            break;
        }
        case SDL_WINDOWEVENT_RESTORED: {
            w->minimized = false;
            w->maximized = false;
            int cw = 0, ch = 0;
            ClientSize(w, &cw, &ch);
            NotifySize(hwnd, SIZE_RESTORED, cw, ch, false);
            break;
        }
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            g_focus = hwnd;
            if (!g_appActive) {
                g_appActive = true;
                Push(hwnd, WM_ACTIVATEAPP, TRUE, 0, t, g_cursorPos);
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (g_focus == hwnd) g_focus = nullptr;
            if (g_capture == hwnd) ReleaseCapture();
            if (g_appActive) {
                g_appActive = false;
                Push(hwnd, WM_ACTIVATEAPP, FALSE, 0, t, g_cursorPos);
            }
            break;
        case SDL_WINDOWEVENT_CLOSE:
            Push(hwnd, WM_CLOSE, 0, 0, t, g_cursorPos);
            break;
#if SDL_VERSION_ATLEAST(2, 0, 18)
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            Push(hwnd, WM_ENTERSIZEMOVE, 0, 0, t, g_cursorPos);
            Push(hwnd, WM_EXITSIZEMOVE, 0, 0, t, g_cursorPos);
            break;
#endif
        default:
            break;
    }
}

void PumpSdl() {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    SDL_PumpEvents();
    SDL_Event events[32];
    for (;;) {
        int n = SDL_PeepEvents(events, 32, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) PlatformQueueSdlEvent(&events[i]);
    }
}

bool Matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && m.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return m.message >= filterMin && m.message <= filterMax;
}

}  // namespace

// --- internal helpers ------------------------------------------------------------------

namespace platform_detail {

void QueueMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, uint32_t time, POINT pt) {
    if (message == WM_PAINT) {
        for (const Entry& e : g_queue) {
            if (e.msg.hwnd == window && e.msg.message == WM_PAINT) return;  // one pending paint
        }
    }
    Push(window, message, wParam, lParam, time, pt);
}

void DropMessagesFor(HWND window) {
    for (auto it = g_queue.begin(); it != g_queue.end();) {
        if (it->msg.hwnd == window) it = g_queue.erase(it);
        else ++it;
    }
    if (g_lastRemovedKey.msg.hwnd == window) g_lastRemovedKey = RemovedKey();
}

void ForgetWindowInput(HWND window) {
    if (g_capture == window) ReleaseCapture();
    if (g_focus == window) {
        g_focus = nullptr;
        g_appActive = false;
    }
}

void NotifySize(HWND window, WPARAM kind, int width, int height, bool send) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return;
    if (w->lastSizeKind == kind && w->lastSizeW == width && w->lastSizeH == height) return;
    w->lastSizeKind = kind;
    w->lastSizeW = width;
    w->lastSizeH = height;
    LPARAM lp = MAKELPARAM(width, height);
    if (send) SendMessageW(window, WM_SIZE, kind, lp);
    else Push(window, WM_SIZE, kind, lp, SDL_GetTicks(), g_cursorPos);
}

void NotifyMove(HWND window, int x, int y, bool send) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return;
    if (w->lastMoveX == x && w->lastMoveY == y) return;
    w->lastMoveX = x;
    w->lastMoveY = y;
    LPARAM lp = MAKELPARAM(x, y);
    if (send) SendMessageW(window, WM_MOVE, 0, lp);
    else Push(window, WM_MOVE, 0, lp, SDL_GetTicks(), g_cursorPos);
}

void RecordCursorPos(POINT screen) { g_cursorPos = screen; }

HWND FocusWindow() { return Alive(g_focus); }

}  // namespace platform_detail

void PlatformQueueSdlEvent(const SDL_Event* event) {
    if (event == nullptr) return;
    switch (event->type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            ConvertKey(event->key);
            break;
        case SDL_TEXTINPUT: {
            HWND window = EventWindow(event->text.windowID);
            if (window != nullptr) AttachText(window, DecodeUtf8(event->text.text), event->text.timestamp);
            break;
        }
        case SDL_MOUSEMOTION:
            ConvertMotion(event->motion);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            ConvertButton(event->button);
            break;
        case SDL_MOUSEWHEEL:
            ConvertWheel(event->wheel);
            break;
        case SDL_WINDOWEVENT:
            ConvertWindowEvent(event->window);
            break;
        case SDL_QUIT:
            for (HWND w : AllWindows()) Push(w, WM_CLOSE, 0, 0, event->quit.timestamp, g_cursorPos);
            break;
        default:
            break;
    }
}

// --- the queue ----------------------------------------------------------------------

bool PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr) return false;
    PumpSdl();
    for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
        if (!Matches(it->msg, window, filterMin, filterMax)) continue;
        *msg = it->msg;
        if (removeFlags & PM_REMOVE) {
            if (it->msg.message == WM_KEYDOWN || it->msg.message == WM_SYSKEYDOWN) {
                g_lastRemovedKey.serial = it->serial;
                g_lastRemovedKey.msg = it->msg;
                g_lastRemovedKey.text = std::move(it->text);
                g_lastRemovedKey.translated = false;
            }
            g_queue.erase(it);
        }
        return true;
    }
    // The quit message comes once everything posted before has been taken.
    MSG quit = {nullptr, WM_QUIT, static_cast<WPARAM>(g_quitCode), 0, SDL_GetTicks(), g_cursorPos};
    if (g_quitPending && window == nullptr && Matches(quit, nullptr, filterMin, filterMax)) {
        *msg = quit;
        if (removeFlags & PM_REMOVE) g_quitPending = false;
        return true;
    }
    return false;
}

bool TranslateMessage(const MSG* msg) {
    if (msg == nullptr) return false;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
        return msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    }
    const MSG& last = g_lastRemovedKey.msg;
    std::u32string chars;
    bool known = g_lastRemovedKey.serial != 0 && last.hwnd == msg->hwnd && last.message == msg->message &&
                 last.wParam == msg->wParam && last.lParam == msg->lParam && last.time == msg->time;
    if (known) {
        if (g_lastRemovedKey.translated) return true;
        g_lastRemovedKey.translated = true;
        chars = std::move(g_lastRemovedKey.text);
        g_lastRemovedKey.text.clear();
    }
    if (chars.empty()) {
        // Keys that type control characters, which SDL does not report as text.
        switch (msg->wParam) {
            case VK_RETURN: chars = U"\r"; break;
            case VK_BACK: chars = U"\b"; break;
            case VK_TAB: chars = U"\t"; break;
            case VK_ESCAPE: chars = U"\x1b"; break;
            default:
                if (msg->wParam >= 'A' && msg->wParam <= 'Z' && ControlDown() && !(msg->lParam & KF_ALTDOWN_BIT)) {
                    chars = std::u32string(1, static_cast<char32_t>(msg->wParam - 'A' + 1));
                }
                break;
        }
    }
    UINT charMsg = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    // The characters come next, before anything queued after the key.
    for (auto c = chars.rbegin(); c != chars.rend(); ++c) {
        Push(msg->hwnd, charMsg, *c, msg->lParam, msg->time, msg->pt, true);
    }
    return true;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (msg == nullptr) return 0;
    PlatformWindow* w = Lookup(msg->hwnd);
    if (w == nullptr || w->proc == nullptr) return 0;
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode) {
    g_quitPending = true;
    g_quitCode = exitCode;
}

bool PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && Lookup(window) == nullptr) return false;
    if (message == WM_QUIT) {
        // Posted like any other message, in order.
        Push(nullptr, WM_QUIT, wParam, lParam, SDL_GetTicks(), g_cursorPos);
        return true;
    }
    Push(window, message, wParam, lParam, SDL_GetTicks(), g_cursorPos);
    return true;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || w->proc == nullptr) return 0;
    return w->proc(window, message, wParam, lParam);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr) return 0;
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F1 + 3 && (lParam & KF_ALTDOWN_BIT)) SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE: SendMessageW(window, WM_CLOSE, 0, 0); break;
                case SC_MINIMIZE: ShowWindow(window, SW_MINIMIZE); break;
                case SC_MAXIMIZE: ShowWindow(window, SW_SHOWMAXIMIZED); break;
                case SC_RESTORE: ShowWindow(window, SW_RESTORE); break;
                default: break;
            }
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(static_cast<uintptr_t>(lParam)) == HTCLIENT && w->classCursor != nullptr) {
                SetCursor(w->classCursor);
                return TRUE;
            }
            return FALSE;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_ERASEBKGND:
            return 1;
        default:
            return 0;
    }
}

// This platform has no accelerator tables: nothing is ever translated.
int TranslateAcceleratorW(HWND, HACCEL, MSG*) { return 0; }
bool DestroyAcceleratorTable(HACCEL table) { return table != nullptr; }

UINT GetDoubleClickTime() {
    const char* hint = SDL_GetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_TIME);
    if (hint != nullptr && *hint != 0) {
        int ms = std::atoi(hint);
        if (ms > 0) return static_cast<UINT>(ms);
    }
    return 500;
}

HWND GetForegroundWindow() {
    HWND focus = FocusWindow();
    if (focus != nullptr) return focus;
    if (!VideoUp()) return nullptr;
    return PlatformWindowFromSdl(SDL_GetKeyboardFocus());
}

// --- mouse -------------------------------------------------------------------------------

HWND SetCapture(HWND window) {
    HWND previous = Alive(g_capture);
    if (Lookup(window) == nullptr) return previous;
    if (previous == window) return previous;
    g_capture = window;
    if (VideoUp()) SDL_CaptureMouse(SDL_TRUE);  // unsupported by some drivers: capture stays logical
    if (previous != nullptr) SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return previous;
}

bool ReleaseCapture() {
    HWND previous = Alive(g_capture);
    g_capture = nullptr;
    if (VideoUp()) SDL_CaptureMouse(SDL_FALSE);
    if (previous != nullptr) SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND GetCapture() { return Alive(g_capture); }

bool GetCursorPos(POINT* point) {
    if (point == nullptr) return false;
    if (LiveGlobalMouse()) {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        g_cursorPos = {x, y};
    }
    *point = g_cursorPos;
    return true;
}

bool SetCursorPos(int x, int y) {
    g_cursorPos = {x, y};
    if (LiveGlobalMouse()) SDL_WarpMouseGlobal(x, y);
    return true;
}

bool ClientToScreen(HWND window, POINT* point) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || point == nullptr) return false;
    POINT o = ClientOrigin(w);
    point->x += o.x;
    point->y += o.y;
    return true;
}

bool ScreenToClient(HWND window, POINT* point) {
    PlatformWindow* w = Lookup(window);
    if (w == nullptr || point == nullptr) return false;
    POINT o = ClientOrigin(w);
    point->x -= o.x;
    point->y -= o.y;
    return true;
}

bool ClipCursor(const RECT* rect) {
    for (HWND h : AllWindows()) {
        PlatformWindow* w = Lookup(h);
        if (rect == nullptr) {
            SDL_SetWindowMouseRect(w->sdl, nullptr);
            continue;
        }
        POINT o = ClientOrigin(w);
        int cw = 0, ch = 0;
        SDL_GetWindowSize(w->sdl, &cw, &ch);
        int l = std::max(rect->left, o.x), t = std::max(rect->top, o.y);
        int r = std::min(rect->right, o.x + cw), b = std::min(rect->bottom, o.y + ch);
        if (r > l && b > t) {
            SDL_Rect local = {l - o.x, t - o.y, r - l, b - t};
            SDL_SetWindowMouseRect(w->sdl, &local);
        } else {
            SDL_SetWindowMouseRect(w->sdl, nullptr);
        }
    }
    return true;
}

int ShowCursor(bool show) {
    g_cursorShowCount += show ? 1 : -1;
    UpdateCursorVisibility();
    return g_cursorShowCount;
}

HCURSOR LoadStandardArrowCursor() {
    if (g_arrow.sdl == nullptr && VideoUp()) {
        g_arrow.sdl = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
        g_arrow.owned = g_arrow.sdl != nullptr;
    }
    return &g_arrow;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR previous = g_currentCursor;
    g_currentCursor = cursor;
    if (cursor != nullptr && VideoUp()) {
        SDL_Cursor* c = cursor->sdl != nullptr ? cursor->sdl : SDL_GetDefaultCursor();
        if (c != nullptr) SDL_SetCursor(c);
    }
    UpdateCursorVisibility();
    return previous;
}

HCURSOR PlatformCursorFromSdl(SDL_Cursor* cursor) {
    if (cursor == nullptr) return nullptr;
    return new PlatformCursor{cursor, true};
}

void PlatformDestroyCursor(HCURSOR cursor) {
    if (cursor == nullptr || cursor == &g_arrow) return;
    if (g_currentCursor == cursor) SetCursor(LoadStandardArrowCursor());
    if (cursor->owned && cursor->sdl != nullptr) SDL_FreeCursor(cursor->sdl);
    delete cursor;
}

// --- key state ---------------------------------------------------------------------------

namespace {

int16_t KeyState(int virtualKey) {
    bool down = false;
    bool toggled = false;
    uint32_t live = VideoUp() ? SDL_GetMouseState(nullptr, nullptr) : 0;
    uint32_t buttons = g_buttonMask | live;
    switch (virtualKey) {
        case VK_LBUTTON: down = buttons & SDL_BUTTON_LMASK; break;
        case VK_RBUTTON: down = buttons & SDL_BUTTON_RMASK; break;
        case VK_MBUTTON: down = buttons & SDL_BUTTON_MMASK; break;
        case VK_XBUTTON1: down = buttons & SDL_BUTTON_X1MASK; break;
        case VK_XBUTTON2: down = buttons & SDL_BUTTON_X2MASK; break;
        case VK_SHIFT: down = ShiftDown(); break;
        case VK_CONTROL: down = ControlDown(); break;
        case VK_MENU: down = ModifierDown(VK_LMENU, VK_RMENU, SDL_SCANCODE_LALT, SDL_SCANCODE_RALT); break;
        case VK_LSHIFT: down = ModifierDown(VK_LSHIFT, VK_LSHIFT, SDL_SCANCODE_LSHIFT, SDL_SCANCODE_LSHIFT); break;
        case VK_RSHIFT: down = ModifierDown(VK_RSHIFT, VK_RSHIFT, SDL_SCANCODE_RSHIFT, SDL_SCANCODE_RSHIFT); break;
        case VK_LCONTROL: down = ModifierDown(VK_LCONTROL, VK_LCONTROL, SDL_SCANCODE_LCTRL, SDL_SCANCODE_LCTRL); break;
        case VK_RCONTROL: down = ModifierDown(VK_RCONTROL, VK_RCONTROL, SDL_SCANCODE_RCTRL, SDL_SCANCODE_RCTRL); break;
        case VK_LMENU: down = ModifierDown(VK_LMENU, VK_LMENU, SDL_SCANCODE_LALT, SDL_SCANCODE_LALT); break;
        case VK_RMENU: down = ModifierDown(VK_RMENU, VK_RMENU, SDL_SCANCODE_RALT, SDL_SCANCODE_RALT); break;
        default:
            down = virtualKey >= 0 && RecordedKeyDown(static_cast<UINT>(virtualKey));
            break;
    }
    SDL_Keymod mods = SDL_GetModState();
    if (virtualKey == static_cast<int>(VK_CAPITAL)) toggled = mods & KMOD_CAPS;
    if (virtualKey == static_cast<int>(VK_NUMLOCK)) toggled = mods & KMOD_NUM;
    if (virtualKey == static_cast<int>(VK_SCROLL)) toggled = mods & KMOD_SCROLL;
    return static_cast<int16_t>((down ? 0x8000 : 0) | (toggled ? 1 : 0));
}

}  // namespace

int16_t GetKeyState(int virtualKey) { return KeyState(virtualKey); }
int16_t GetAsyncKeyState(int virtualKey) { return KeyState(virtualKey); }
