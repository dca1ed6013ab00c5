// The scripted adapter table: an adapter object that answers every query from
// a script, and devices that draw nothing and record what they are asked.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/device.h"
#include "platform/device_core.h"
#include "platform/device_internal.h"
#include "platform/window.h"

namespace {

using devcore::CoreDevice;
using devcore::DeviceSetup;

ScriptedDeviceBehaviour g_behaviour;
ScriptedDeviceLog g_log;
std::shared_ptr<const ScriptedSystem> g_script;

template <size_t N>
void CopyText(char (&dest)[N], const std::string& source) {
    const size_t n = std::min(N - 1, source.size());
    std::memcpy(dest, source.data(), n);
    dest[n] = '\0';
}

bool Contains(const std::vector<D3DFORMAT>& list, D3DFORMAT format) {
    return std::find(list.begin(), list.end(), format) != list.end();
}

class ScriptedDevice final : public CoreDevice {
public:
    ScriptedDevice(const DeviceSetup& setup, const D3DPRESENT_PARAMETERS& pp) : CoreDevice(setup) {
        InitPresentParameters(pp);
        ++g_log.devicesCreated;
        ++g_log.devicesAlive;
        g_log.lastPresentParameters = pp;
        g_log.lastCreation = {setup.adapter, setup.type, setup.focusWindow, setup.behaviorFlags};
        g_log.fillMode = D3DFILL_SOLID;
    }
    ~ScriptedDevice() override { --g_log.devicesAlive; }

    HRESULT TestCooperativeLevel() override { return g_behaviour.cooperativeLevel; }

    HRESULT ReadBackBuffer(std::vector<uint8_t>* rgba, UINT* width, UINT* height) override {
        if (!rgba || !width || !height) return D3DERR_INVALIDCALL;
        // Nothing is drawn: the image is the last clear colour.
        *width = m_pp.BackBufferWidth;
        *height = m_pp.BackBufferHeight;
        rgba->resize(static_cast<size_t>(*width) * *height * 4);
        const uint8_t px[4] = {static_cast<uint8_t>(m_clear >> 16), static_cast<uint8_t>(m_clear >> 8),
                               static_cast<uint8_t>(m_clear), static_cast<uint8_t>(m_clear >> 24)};
        for (size_t i = 0; i < rgba->size(); i += 4) std::memcpy(rgba->data() + i, px, 4);
        return S_OK;
    }

protected:
    HRESULT DoReset(const D3DPRESENT_PARAMETERS& pp) override {
        ++g_log.resets;
        if (FAILED(g_behaviour.resetResult)) return g_behaviour.resetResult;
        g_log.lastPresentParameters = pp;
        return S_OK;
    }
    HRESULT DoPresent() override {
        ++g_log.presents;
        return g_behaviour.presentResult;
    }
    HRESULT DoBeginScene() override {
        if (FAILED(g_behaviour.beginSceneResult)) return g_behaviour.beginSceneResult;
        ++g_log.scenes;
        return S_OK;
    }
    HRESULT DoClear(DWORD, const D3DRECT*, DWORD flags, D3DCOLOR color, float, DWORD) override {
        ++g_log.clears;
        if (flags & D3DCLEAR_TARGET) {
            g_log.lastClearColor = color;
            m_clear = color;
        }
        return S_OK;
    }
    HRESULT DoDraw(D3DPRIMITIVETYPE, UINT, UINT) override { return Drawn(); }
    HRESULT DoDrawIndexed(D3DPRIMITIVETYPE, INT, UINT, UINT) override { return Drawn(); }
    HRESULT DoDrawUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override { return Drawn(); }
    HRESULT DoSetCursorImage(UINT, UINT, const devcore::SurfaceImpl&) override {
        ++g_log.cursorImages;
        return S_OK;
    }
    void DoShowCursor(bool show) override { g_log.cursorVisible = show; }
    void DoCursorPosition(int x, int y) override { g_log.cursorPosition = {x, y}; }

    void OnRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        if (state == D3DRS_FILLMODE) g_log.fillMode = value;
    }
    void OnAllState() override { g_log.fillMode = State().rs[D3DRS_FILLMODE]; }

private:
    HRESULT Drawn() {
        ++g_log.drawCalls;
        return S_OK;
    }
    D3DCOLOR m_clear = 0;
};

class ScriptedD3D final : public IDirect3D9 {
public:
    explicit ScriptedD3D(std::shared_ptr<const ScriptedSystem> script) : m_script(std::move(script)) {}

    UINT GetAdapterCount() override { return static_cast<UINT>(m_script->adapters.size()); }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* id) override {
        const ScriptedAdapter* a = Adapter(adapter);
        if (!a || !id) return D3DERR_INVALIDCALL;
        std::memset(id, 0, sizeof(*id));
        CopyText(id->Driver, a->driver);
        CopyText(id->Description, a->description);
        CopyText(id->DeviceName, a->deviceName);
        return S_OK;
    }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
        const ScriptedAdapter* a = Adapter(adapter);
        if (!a) return 0;
        return static_cast<UINT>(std::count_if(a->modes.begin(), a->modes.end(),
                                               [format](const D3DDISPLAYMODE& m) { return m.Format == format; }));
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) override {
        const ScriptedAdapter* a = Adapter(adapter);
        if (!a || !out) return D3DERR_INVALIDCALL;
        for (const D3DDISPLAYMODE& m : a->modes) {
            if (m.Format != format) continue;
            if (mode-- == 0) {
                *out = m;
                return S_OK;
            }
        }
        return D3DERR_INVALIDCALL;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out) override {
        const ScriptedAdapter* a = Adapter(adapter);
        if (!a || !out) return D3DERR_INVALIDCALL;
        *out = a->desktop;
        return S_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override {
        const ScriptedDeviceType* t = nullptr;
        HRESULT hr = Find(adapter, type, &t);
        if (FAILED(hr)) return hr;
        for (const ScriptedCombo& c : t->combos)
            if (c.adapterFormat == adapterFormat && c.backBufferFormat == backBufferFormat &&
                c.windowed == (windowed != FALSE))
                return S_OK;
        return D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT, DWORD usage, D3DRESOURCETYPE resourceType,
                              D3DFORMAT checkFormat) override {
        const ScriptedDeviceType* t = nullptr;
        HRESULT hr = Find(adapter, type, &t);
        if (FAILED(hr)) return hr;
        bool ok;
        if (usage & D3DUSAGE_DEPTHSTENCIL) {
            ok = Contains(t->depthStencilFormats, checkFormat);
        } else if (usage & D3DUSAGE_RENDERTARGET) {
            ok = std::any_of(t->combos.begin(), t->combos.end(),
                             [checkFormat](const ScriptedCombo& c) { return c.backBufferFormat == checkFormat; });
            if (ok && (usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING))
                ok = Contains(t->blendableTextureFormats, checkFormat);
        } else if (usage & D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING) {
            ok = Contains(t->blendableTextureFormats, checkFormat);
        } else {
            ok = Contains(t->blendableTextureFormats, checkFormat) || Contains(t->textureFormats, checkFormat);
        }
        if (ok && resourceType == D3DRTYPE_TEXTURE && (usage & D3DUSAGE_DEPTHSTENCIL)) ok = false;
        return ok ? S_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD* qualityLevels) override {
        if (qualityLevels) *qualityLevels = 0;
        const ScriptedDeviceType* t = nullptr;
        HRESULT hr = Find(adapter, type, &t);
        if (FAILED(hr)) return hr;
        for (const ScriptedDepthConflict& c : t->depthConflicts)
            if (c.depthStencilFormat == surfaceFormat && c.multiSampleType == multiSample) return D3DERR_NOTAVAILABLE;
        for (const ScriptedMultiSample& m : t->multiSample)
            if (m.type == multiSample) {
                if (qualityLevels) *qualityLevels = m.qualityLevels;
                return S_OK;
            }
        return D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT,
                                   D3DFORMAT depthStencilFormat) override {
        const ScriptedDeviceType* t = nullptr;
        HRESULT hr = Find(adapter, type, &t);
        if (FAILED(hr)) return hr;
        return Contains(t->depthStencilFormats, depthStencilFormat) ? S_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (!caps) return D3DERR_INVALIDCALL;
        const ScriptedDeviceType* t = nullptr;
        HRESULT hr = Find(adapter, type, &t);
        if (FAILED(hr)) return hr;
        *caps = t->caps;
        caps->DeviceType = type;
        caps->AdapterOrdinal = adapter;
        return S_OK;
    }

    HMONITOR GetAdapterMonitor(UINT adapter) override {
        if (!Adapter(adapter)) return nullptr;
        // A scripted adapter beyond this machine's displays has no monitor.
        return PlatformMonitorOfDisplay(static_cast<int>(adapter));
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (!params) return D3DERR_INVALIDCALL;
        const ScriptedDeviceType* t = nullptr;
        HRESULT hr = Find(adapter, type, &t);
        if (FAILED(hr)) return hr;
        if (FAILED(t->createResult)) return t->createResult;
        const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                          D3DCREATE_MIXED_VERTEXPROCESSING);
        if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
            vp != D3DCREATE_MIXED_VERTEXPROCESSING)
            return D3DERR_INVALIDCALL;
        DeviceSetup setup;
        setup.d3d = this;
        setup.adapter = adapter;
        setup.type = type;
        setup.focusWindow = focusWindow;
        setup.behaviorFlags = behaviorFlags;
        setup.caps = t->caps;
        setup.caps.DeviceType = type;
        setup.caps.AdapterOrdinal = adapter;
        setup.desktopFormat = m_script->adapters[adapter].desktop.Format;
        D3DPRESENT_PARAMETERS pp;
        hr = devcore::ResolvePresentParameters(*params, focusWindow, setup.desktopFormat, &pp);
        if (FAILED(hr)) return hr;
        auto* d = new (std::nothrow) ScriptedDevice(setup, pp);
        if (!d) return E_OUTOFMEMORY;
        *params = pp;
        *device = d;
        return S_OK;
    }

private:
    const ScriptedAdapter* Adapter(UINT adapter) const {
        return adapter < m_script->adapters.size() ? &m_script->adapters[adapter] : nullptr;
    }
    HRESULT Find(UINT adapter, D3DDEVTYPE type, const ScriptedDeviceType** out) const {
        const ScriptedAdapter* a = Adapter(adapter);
        if (!a) return D3DERR_INVALIDCALL;
        for (const ScriptedDeviceType& t : a->deviceTypes)
            if (t.type == type) {
                *out = &t;
                return S_OK;
            }
        return D3DERR_NOTAVAILABLE;
    }

    std::shared_ptr<const ScriptedSystem> m_script;
};

}  // namespace

void PlatformUseScriptedSystem(const ScriptedSystem* script) {
    if (script) {
        g_script = std::make_shared<const ScriptedSystem>(*script);
        g_behaviour = ScriptedDeviceBehaviour{};
        const int alive = g_log.devicesAlive;
        g_log = ScriptedDeviceLog{};
        g_log.devicesAlive = alive;
    } else {
        g_script.reset();
    }
}

bool PlatformUsingScriptedSystem() { return g_script != nullptr; }
ScriptedDeviceBehaviour& PlatformScriptedBehaviour() { return g_behaviour; }
ScriptedDeviceLog& PlatformScriptedLog() { return g_log; }

IDirect3D9* CreateScriptedDirect3D() {
    if (!g_script) return nullptr;
    return new (std::nothrow) ScriptedD3D(g_script);
}

ScriptedSystem MakeTypicalScriptedSystem() {
    ScriptedAdapter adapter;
    adapter.description = "Scripted Adapter";
    adapter.driver = "scripted";
    adapter.deviceName = "DISPLAY1";
    adapter.desktop = {1280, 1024, 60, D3DFMT_X8R8G8B8};
    const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 720}, {1280, 960}, {1280, 1024}};
    for (const auto& s : sizes)
        for (UINT rate : {60u, 75u}) adapter.modes.push_back({s[0], s[1], rate, D3DFMT_X8R8G8B8});

    ScriptedDeviceType hal;
    hal.type = D3DDEVTYPE_HAL;
    D3DCAPS9& caps = hal.caps;
    caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps.VertexShaderVersion = D3DVS_VERSION(3, 0);
    caps.PixelShaderVersion = D3DPS_VERSION(3, 0);
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps.CursorCaps = D3DCURSORCAPS_COLOR;
    caps.MaxTextureWidth = 4096;
    caps.MaxTextureHeight = 4096;
    caps.MaxTextureBlendStages = 8;
    caps.MaxSimultaneousTextures = 8;
    caps.MaxStreams = 16;
    caps.MaxPrimitiveCount = 0xFFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.NumSimultaneousRTs = 1;
    hal.createResult = S_OK;
    for (bool windowed : {false, true}) {
        hal.combos.push_back({D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, windowed});
        hal.combos.push_back({D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, windowed});
    }
    hal.blendableTextureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8};
    hal.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};
    hal.multiSample = {{D3DMULTISAMPLE_NONE, 1}};
    adapter.deviceTypes.push_back(hal);

    ScriptedSystem system;
    system.adapters.push_back(adapter);
    return system;
}
