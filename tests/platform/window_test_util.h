// A hidden test window whose procedure records every message, and helpers to
// feed SDL events and run the message pump.
#pragma once

#include <SDL2/SDL.h>

#include <cstdlib>
#include <vector>

#include "platform/window.h"
#include "platform/window_sdl.h"

struct RecordedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<RecordedMessage>& MessageLog() {
    static std::vector<RecordedMessage> log;
    return log;
}

inline LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageLog().push_back({hwnd, message, wParam, lParam});
    if (message == WM_GETMINMAXINFO) {
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {200, 200};
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Without an X server the tests run on SDL's offscreen driver; under Xvfb on
// X11. Either way the windows stay hidden and events are fed in directly.
inline bool StartTestVideo() {
    const char* display = std::getenv("DISPLAY");
    if ((display == nullptr || *display == 0) && std::getenv("SDL_VIDEODRIVER") == nullptr) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    }
    return PlatformInitVideo();
}

inline HWND CreateTestWindow(const wchar_t* className, UINT classStyle, int x, int y, int width, int height) {
    WNDCLASSW wc = {};
    wc.style = classStyle;
    wc.lpfnWndProc = &RecordingProc;
    wc.lpszClassName = className;
    RegisterClassW(&wc);  // may exist from an earlier test
    return CreateWindowW(className, L"Test window", WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr,
                         nullptr, nullptr);
}

// Takes every queued message, translating and dispatching it as the
// program's pump does. Returns the exit code of a WM_QUIT taken, else -1.
inline int PumpMessages(bool translate = true) {
    int quit = -1;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = static_cast<int>(msg.wParam);
            continue;
        }
        if (translate) TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return quit;
}

inline std::vector<RecordedMessage> LoggedOfType(std::initializer_list<UINT> types) {
    std::vector<RecordedMessage> out;
    for (const auto& m : MessageLog()) {
        for (UINT t : types) {
            if (m.message == t) out.push_back(m);
        }
    }
    return out;
}

inline uint32_t SdlIdOf(HWND hwnd) { return SDL_GetWindowID(PlatformSdlWindow(hwnd)); }
