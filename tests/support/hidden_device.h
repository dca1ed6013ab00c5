// A hidden window and the 3-D device on it, for the tests and benchmarks
// that draw with the real OpenGL device (header only: the benchmark program
// includes it too).
#pragma once

#include "platform/device.h"
#include "platform/gl_api.h"
#include "platform/gl_device.h"
#include "platform/window.h"
#include "platform/window_sdl.h"

namespace test_support {

// A hidden window whose client area is width x height, or null when no
// display can be opened.
inline HWND MakeHiddenWindow(int width, int height) {
    if (!PlatformInitVideo()) return nullptr;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = L"TrevoliaTestWindow";
    RegisterClassW(&wc);  // may exist from an earlier test
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, false);
    return CreateWindowW(L"TrevoliaTestWindow", L"Test window", WS_OVERLAPPEDWINDOW, 0, 0, r.right - r.left,
                         r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

// Resizes a window made by MakeHiddenWindow to a client area of width x height.
inline void ResizeHiddenWindow(HWND window, int width, int height) {
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, false);
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
}

// Windowed presentation on window (null: the focus window): one discarded
// X8R8G8B8 back buffer of width x height (0: the client size), a D24S8 depth
// buffer, no wait for the vertical blank.
inline D3DPRESENT_PARAMETERS WindowedPresentParameters(UINT width, UINT height, HWND window) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

// The OpenGL device on a hidden window with a width x height back buffer, for
// benchmarks: the members stay null when there is no display or no OpenGL
// 3.3. Everything is released when it goes.
struct HiddenDevice {
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;

    HiddenDevice(UINT width, UINT height) {
        PlatformUseScriptedSystem(nullptr);
        window = MakeHiddenWindow(static_cast<int>(width), static_cast<int>(height));
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!window || !d3d) return;
        D3DPRESENT_PARAMETERS pp = WindowedPresentParameters(width, height, window);
        if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device)))
            device = nullptr;
    }
    ~HiddenDevice() {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (window) DestroyWindow(window);
    }
    HiddenDevice(const HiddenDevice&) = delete;
    HiddenDevice& operator=(const HiddenDevice&) = delete;

    // Waits until the GPU has done everything asked so far.
    void Finish() {
        if (GlMakeCurrent(device)) glapi::glFinish();
    }
};

}  // namespace test_support
