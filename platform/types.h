// Basic value types of the platform layer.
//
// The framework is written in terms of windows, messages, handles and 32-bit
// result codes. These are their types on this platform. The sizes are fixed:
// every 32-bit quantity of the framework is int32_t / uint32_t here (a C++
// `long` is 64-bit on this platform and is never used for them).
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using BOOL = int32_t;
using FLOAT = float;
using WCHAR = wchar_t;
using LONGLONG = int64_t;
using HRESULT = int32_t;
using UINT_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// The longest path the platform handles, in characters, terminator included.
constexpr int MAX_PATH = 4096;

struct RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct POINT {
    int32_t x;
    int32_t y;
};

struct SIZE {
    int32_t cx;
    int32_t cy;
};

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator==(const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }

inline void SetRect(RECT* r, int32_t l, int32_t t, int32_t rt, int32_t b) {
    r->left = l;
    r->top = t;
    r->right = rt;
    r->bottom = b;
}
inline void SetRectEmpty(RECT* r) { SetRect(r, 0, 0, 0, 0); }
inline void OffsetRect(RECT* r, int32_t dx, int32_t dy) {
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
}
inline void InflateRect(RECT* r, int32_t dx, int32_t dy) {
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
}
// Left and top inclusive, right and bottom exclusive.
inline bool PtInRect(const RECT* r, POINT p) {
    return p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
inline int32_t RectWidth(const RECT& r) { return r.right - r.left; }
inline int32_t RectHeight(const RECT& r) { return r.bottom - r.top; }

// Opaque handles. Each names an object that only the platform layer knows.
struct PlatformWindow;
struct PlatformMonitor;
struct PlatformModule;
struct PlatformMenu;
struct PlatformIcon;
struct PlatformCursor;
struct PlatformAccelerators;
struct PlatformHook;
using HWND = PlatformWindow*;
using HMONITOR = PlatformMonitor*;
using HINSTANCE = PlatformModule*;
using HMODULE = PlatformModule*;
using HMENU = PlatformMenu*;
using HICON = PlatformIcon*;
using HCURSOR = PlatformCursor*;
using HACCEL = PlatformAccelerators*;
using HHOOK = PlatformHook*;

// Word and message-parameter helpers. Coordinates in lParam are signed 16-bit
// halves.
constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp))); }
constexpr int GET_WHEEL_DELTA_WPARAM(WPARAM wp) { return static_cast<int16_t>(HIWORD(wp)); }
constexpr LPARAM MAKELPARAM(int lo, int hi) {
    return static_cast<LPARAM>(static_cast<uint32_t>((static_cast<uint32_t>(lo) & 0xFFFF) |
                                                     ((static_cast<uint32_t>(hi) & 0xFFFF) << 16)));
}
constexpr WPARAM MAKEWPARAM(int lo, int hi) {
    return static_cast<WPARAM>((static_cast<uint32_t>(lo) & 0xFFFF) | ((static_cast<uint32_t>(hi) & 0xFFFF) << 16));
}
