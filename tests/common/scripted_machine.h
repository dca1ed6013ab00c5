// Small builders for scripted adapter tables, so that each enumeration or
// matching case reads as a few lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/device_enumeration.h"
#include "platform/device.h"

namespace scripted {

inline D3DDISPLAYMODE Mode(UINT width, UINT height, UINT hz = 60, D3DFORMAT format = D3DFMT_X8R8G8B8) {
    return D3DDISPLAYMODE{width, height, hz, format};
}

// 640x480, 800x600 and 1024x768 at 60 Hz in one format.
inline std::vector<D3DDISPLAYMODE> StandardModes(D3DFORMAT format = D3DFMT_X8R8G8B8) {
    return {Mode(640, 480, 60, format), Mode(800, 600, 60, format), Mode(1024, 768, 60, format)};
}

// A device type with hardware transform and lighting that offers windowed and
// full-screen back buffers in each of the given formats on each of the given
// adapter formats; every back-buffer format blends, D16, D24X8, D24S8 and D32
// work, and "no multisampling" is the only multisample type.
inline ScriptedDeviceType Device(D3DDEVTYPE type = D3DDEVTYPE_HAL,
                                 std::vector<D3DFORMAT> adapterFormats = {D3DFMT_X8R8G8B8},
                                 std::vector<D3DFORMAT> backBufferFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
    ScriptedDeviceType t;
    t.type = type;
    t.caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    t.caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    for (D3DFORMAT af : adapterFormats)
        for (D3DFORMAT bb : backBufferFormats)
            for (bool windowed : {false, true}) t.combos.push_back({af, bb, windowed});
    t.blendableTextureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10,
                                 D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};
    t.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
    t.multiSample = {{D3DMULTISAMPLE_NONE, 1}};
    return t;
}

inline ScriptedDeviceType WithoutHardwareTnL(ScriptedDeviceType t) {
    t.caps.DevCaps &= ~D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    return t;
}

inline ScriptedAdapter Adapter(std::vector<D3DDISPLAYMODE> modes, std::vector<ScriptedDeviceType> types,
                               D3DDISPLAYMODE desktop = Mode(1024, 768), std::string description = "Scripted Adapter") {
    ScriptedAdapter a;
    a.description = std::move(description);
    a.desktop = desktop;
    a.modes = std::move(modes);
    a.deviceTypes = std::move(types);
    return a;
}

// One adapter with the standard modes and one HAL device type.
inline ScriptedSystem OneHalAdapter() {
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {Device()}));
    return s;
}

// Selects a script, creates its adapter object and enumerates it into an
// enumeration object of the test's own.
class ScriptedEnumerationTest : public ::testing::Test {
protected:
    void TearDown() override {
        SAFE_RELEASE(m_d3d);
        PlatformUseScriptedSystem(nullptr);
    }

    HRESULT Enumerate(const ScriptedSystem& script, LPFWCALLBACKISDEVICEACCEPTABLE callback = nullptr,
                      void* context = nullptr) {
        SAFE_RELEASE(m_d3d);
        PlatformUseScriptedSystem(&script);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        EXPECT_NE(m_d3d, nullptr);
        return m_enum.Enumerate(m_d3d, callback, context);
    }

    int AdapterCount() { return m_enum.GetAdapterInfoList()->GetSize(); }
    CD3DEnumAdapterInfo* AdapterAt(int i) { return m_enum.GetAdapterInfoList()->GetAt(i); }

    // Every combination of every adapter and device type, in enumeration order.
    std::vector<CD3DEnumDeviceSettingsCombo*> AllCombos() {
        std::vector<CD3DEnumDeviceSettingsCombo*> out;
        for (int a = 0; a < AdapterCount(); ++a)
            for (int d = 0; d < AdapterAt(a)->deviceInfoList.GetSize(); ++d) {
                CD3DEnumDeviceInfo* info = AdapterAt(a)->deviceInfoList[d];
                for (int c = 0; c < info->deviceSettingsComboList.GetSize(); ++c)
                    out.push_back(info->deviceSettingsComboList[c]);
            }
        return out;
    }

    CD3DEnumeration m_enum;
    IDirect3D9* m_d3d = nullptr;
};

template <typename T>
std::vector<T> ToVector(const CGrowableArray<T>& a) {
    std::vector<T> v;
    for (int32_t i = 0; i < a.GetSize(); ++i) v.push_back(a[i]);
    return v;
}

}  // namespace scripted

inline bool operator==(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    return a.Width == b.Width && a.Height == b.Height && a.RefreshRate == b.RefreshRate && a.Format == b.Format;
}
inline std::ostream& operator<<(std::ostream& os, const D3DDISPLAYMODE& m) {
    return os << m.Width << "x" << m.Height << "@" << m.RefreshRate << "/fmt" << static_cast<unsigned>(m.Format);
}
