// Fixtures of the helper library's tests and of the generated-data tests:
// the OpenGL device on a hidden window, with what was drawn read back
// (top-left origin), and a scripted device that counts draws.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/window.h"
#include "platform/window_sdl.h"
#include "support/hidden_device.h"

struct Rgb {
    int r, g, b;
};

class GlHelpersTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    void SetUp() override {
        PlatformUseScriptedSystem(nullptr);
        ASSERT_TRUE(PlatformInitVideo());
        window = test_support::MakeHiddenWindow(kWidth, kHeight);
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d) GTEST_SKIP() << "no OpenGL 3.3 on this display";
        D3DPRESENT_PARAMETERS pp = test_support::WindowedPresentParameters(kWidth, kHeight, window);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
                  S_OK);
        ASSERT_EQ(device->BeginScene(), S_OK);
    }
    void TearDown() override {
        if (device) {
            device->EndScene();
            EXPECT_EQ(device->Release(), 0u) << "a helper object kept its device";
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        if (window) DestroyWindow(window);
    }

    void Clear(D3DCOLOR color) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0), S_OK);
    }
    void Read() {
        ASSERT_EQ(device->ReadBackBuffer(&pixels, &width, &height), S_OK);
        ASSERT_EQ(pixels.size(), size_t(width) * height * 4);
    }
    Rgb At(int x, int y) const {
        const uint8_t* p = &pixels[(size_t(y) * width + size_t(x)) * 4];
        return {p[0], p[1], p[2]};
    }
    static bool Near(Rgb a, Rgb b, int tolerance = 3) {
        return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
    }
    void ExpectPixel(int x, int y, Rgb want, int tolerance = 3) const {
        const Rgb got = At(x, y);
        EXPECT_TRUE(Near(got, want, tolerance)) << "pixel " << x << "," << y << " is " << got.r << "," << got.g << ","
                                                << got.b << ", want " << want.r << "," << want.g << "," << want.b;
    }
    // The smallest rectangle holding every pixel that differs from the
    // background (empty when none does).
    RECT InkBounds(Rgb background, int tolerance = 24) const {
        RECT r = {kWidth, kHeight, 0, 0};
        for (int y = 0; y < int(height); ++y)
            for (int x = 0; x < int(width); ++x)
                if (!Near(At(x, y), background, tolerance)) {
                    r.left = std::min(r.left, x);
                    r.top = std::min(r.top, y);
                    r.right = std::max(r.right, x + 1);
                    r.bottom = std::max(r.bottom, y + 1);
                }
        if (r.right <= r.left) r = {0, 0, 0, 0};
        return r;
    }
    int CountNear(Rgb want, int tolerance = 3) const {
        int n = 0;
        for (int y = 0; y < int(height); ++y)
            for (int x = 0; x < int(width); ++x) n += Near(At(x, y), want, tolerance);
        return n;
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    std::vector<uint8_t> pixels;
    UINT width = 0, height = 0;
};

// A scripted device (no drawing, draws counted in PlatformScriptedLog()).
class ScriptedHelpersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedSystem sys = MakeTypicalScriptedSystem();
        PlatformUseScriptedSystem(&sys);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS pp = test_support::WindowedPresentParameters(640, 480, nullptr);
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
                  S_OK);
        ASSERT_EQ(device->BeginScene(), S_OK);
    }
    void TearDown() override {
        if (device) {
            device->EndScene();
            EXPECT_EQ(device->Release(), 0u) << "a helper object kept its device";
        }
        if (d3d) d3d->Release();
        PlatformUseScriptedSystem(nullptr);
    }
    int Draws() const { return PlatformScriptedLog().drawCalls; }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};
