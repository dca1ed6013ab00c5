// The scripted adapter table and the scripted device: the checks answer as
// scripted, devices log and obey the behaviour, the device core keeps state,
// state blocks and reference counts right.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/device.h"
#include "support/hidden_device.h"
#include "support/scene_layout.h"

namespace {

// Two adapters: adapter 0 has HAL (with multisampling and a depth conflict)
// and a REF type that cannot be created; adapter 1 is a plain HAL with a
// 16-bit desktop and a long description.
ScriptedSystem TwoAdapterSystem() {
    ScriptedSystem sys = MakeTypicalScriptedSystem();
    ScriptedAdapter& a0 = sys.adapters[0];
    a0.modes.push_back({320, 240, 60, D3DFMT_X8R8G8B8});
    a0.modes.push_back({800, 600, 60, D3DFMT_R5G6B5});
    ScriptedDeviceType& hal = a0.deviceTypes[0];
    hal.multiSample = {{D3DMULTISAMPLE_NONE, 1}, {D3DMULTISAMPLE_NONMASKABLE, 3}, {D3DMULTISAMPLE_4_SAMPLES, 2}};
    hal.depthConflicts = {{D3DFMT_D32, D3DMULTISAMPLE_4_SAMPLES}};
    hal.textureFormats = {D3DFMT_L8};
    ScriptedDeviceType ref = hal;
    ref.type = D3DDEVTYPE_REF;
    ref.caps.DevCaps = 0;
    ref.createResult = D3DERR_NOTAVAILABLE;
    a0.deviceTypes.push_back(ref);

    ScriptedAdapter a1;
    a1.description = std::string(600, 'x');
    a1.deviceName = "A-DISPLAY-NAME-THAT-IS-FAR-TOO-LONG-FOR-THE-FIELD";
    a1.desktop = {1024, 768, 75, D3DFMT_R5G6B5};
    a1.modes = {{1024, 768, 75, D3DFMT_R5G6B5}};
    ScriptedDeviceType hal1;
    hal1.caps.DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
    hal1.combos = {{D3DFMT_R5G6B5, D3DFMT_R5G6B5, true}};
    hal1.blendableTextureFormats = {D3DFMT_R5G6B5};
    hal1.depthStencilFormats = {D3DFMT_D16};
    hal1.multiSample = {{D3DMULTISAMPLE_NONE, 1}};
    hal1.createResult = D3DERR_DEVICELOST;
    a1.deviceTypes.push_back(hal1);
    sys.adapters.push_back(a1);
    return sys;
}

class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedSystem sys = TwoAdapterSystem();
        PlatformUseScriptedSystem(&sys);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override {
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        PlatformUseScriptedSystem(nullptr);
    }

    static D3DPRESENT_PARAMETERS Windowed(UINT w, UINT h, bool depth = true) {
        D3DPRESENT_PARAMETERS pp = test_support::WindowedPresentParameters(w, h, nullptr);
        pp.EnableAutoDepthStencil = depth ? TRUE : FALSE;
        return pp;
    }

    IDirect3DDevice9* MakeDevice(D3DPRESENT_PARAMETERS pp) {
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
                  S_OK);
        return device;
    }

    IDirect3D9* d3d = nullptr;
};

TEST(ScriptedSelection, CreateRefusesOtherVersionsAndScriptIsCopied) {
    ScriptedSystem sys = MakeTypicalScriptedSystem();
    PlatformUseScriptedSystem(&sys);
    EXPECT_TRUE(PlatformUsingScriptedSystem());
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION + 1), nullptr);
    sys.adapters.clear();  // the selection holds its own copy
    IDirect3D9* first = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetAdapterCount(), 1u);

    // A later selection does not change an existing adapter object.
    ScriptedSystem two = TwoAdapterSystem();
    PlatformUseScriptedSystem(&two);
    IDirect3D9* second = Direct3DCreate9(D3D_SDK_VERSION);
    EXPECT_EQ(first->GetAdapterCount(), 1u);
    EXPECT_EQ(second->GetAdapterCount(), 2u);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(second->Release(), 0u);
    PlatformUseScriptedSystem(nullptr);
    EXPECT_FALSE(PlatformUsingScriptedSystem());
}

TEST(ScriptedSelection, SelectingAScriptResetsBehaviourAndLog) {
    ScriptedSystem sys = MakeTypicalScriptedSystem();
    PlatformUseScriptedSystem(&sys);
    PlatformScriptedBehaviour().presentResult = D3DERR_DEVICELOST;
    PlatformScriptedLog().presents = 7;
    PlatformUseScriptedSystem(&sys);
    EXPECT_EQ(PlatformScriptedBehaviour().presentResult, S_OK);
    EXPECT_EQ(PlatformScriptedLog().presents, 0);
    PlatformUseScriptedSystem(nullptr);
}

TEST(ScriptedSelection, TypicalSystemIsAsDocumented) {
    ScriptedSystem sys = MakeTypicalScriptedSystem();
    ASSERT_EQ(sys.adapters.size(), 1u);
    const ScriptedAdapter& a = sys.adapters[0];
    EXPECT_EQ(a.desktop.Width, 1280u);
    EXPECT_EQ(a.desktop.Height, 1024u);
    EXPECT_EQ(a.desktop.Format, D3DFMT_X8R8G8B8);
    bool has640 = false, has1280 = false;
    for (const auto& m : a.modes) {
        EXPECT_GE(m.Width, 640u);
        EXPECT_GE(m.Height, 480u);
        has640 |= m.Width == 640 && m.Height == 480;
        has1280 |= m.Width == 1280 && m.Height == 1024;
    }
    EXPECT_TRUE(has640 && has1280);
    ASSERT_EQ(a.deviceTypes.size(), 1u);
    const ScriptedDeviceType& hal = a.deviceTypes[0];
    EXPECT_EQ(hal.type, D3DDEVTYPE_HAL);
    EXPECT_TRUE(hal.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    EXPECT_EQ(hal.caps.VertexShaderVersion, D3DVS_VERSION(3, 0));
    EXPECT_EQ(hal.caps.PixelShaderVersion, D3DPS_VERSION(3, 0));
    EXPECT_EQ(hal.combos.size(), 4u);
    EXPECT_EQ(hal.depthStencilFormats,
              (std::vector<D3DFORMAT>{D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32}));
    ASSERT_EQ(hal.multiSample.size(), 1u);
    EXPECT_EQ(hal.multiSample[0].type, D3DMULTISAMPLE_NONE);
}

TEST_F(ScriptedTest, AdaptersModesAndIdentifiers) {
    ASSERT_EQ(d3d->GetAdapterCount(), 2u);
    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), S_OK);
    EXPECT_STREQ(id.Description, "Scripted Adapter");
    EXPECT_STREQ(id.DeviceName, "DISPLAY1");
    EXPECT_STREQ(id.Driver, "scripted");
    ASSERT_EQ(d3d->GetAdapterIdentifier(1, 0, &id), S_OK);
    EXPECT_EQ(std::strlen(id.Description), size_t(MAX_DEVICE_IDENTIFIER_STRING - 1));  // cut, terminated
    EXPECT_EQ(std::strlen(id.DeviceName), sizeof(id.DeviceName) - 1);
    EXPECT_EQ(d3d->GetAdapterIdentifier(2, 0, &id), D3DERR_INVALIDCALL);

    // Modes are counted and enumerated per format, in script order.
    EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 15u);
    EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_R5G6B5), 1u);
    EXPECT_EQ(d3d->GetAdapterModeCount(0, D3DFMT_A2R10G10B10), 0u);
    EXPECT_EQ(d3d->GetAdapterModeCount(5, D3DFMT_X8R8G8B8), 0u);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_R5G6B5, 0, &mode), S_OK);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    ASSERT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 14, &mode), S_OK);
    EXPECT_EQ(mode.Width, 320u);
    EXPECT_EQ(d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 15, &mode), D3DERR_INVALIDCALL);

    ASSERT_EQ(d3d->GetAdapterDisplayMode(1, &mode), S_OK);
    EXPECT_EQ(mode.Width, 1024u);
    EXPECT_EQ(mode.RefreshRate, 75u);
    EXPECT_EQ(mode.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(2, &mode), D3DERR_INVALIDCALL);
}

TEST_F(ScriptedTest, CapsCarryTypeAndOrdinal) {
    D3DCAPS9 caps;
    std::memset(&caps, 0xCD, sizeof(caps));
    ASSERT_EQ(d3d->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), S_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(caps.AdapterOrdinal, 1u);
    EXPECT_EQ(caps.DevCaps, D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE);
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), S_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(caps.AdapterOrdinal, 0u);
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->GetDeviceCaps(9, D3DDEVTYPE_HAL, &caps), D3DERR_INVALIDCALL);
}

struct CheckCase {
    const char* what;
    HRESULT (*check)(IDirect3D9*);
    HRESULT expected;
};

TEST_F(ScriptedTest, ChecksAnswerAsScripted) {
    const CheckCase cases[] = {
        {"windowed X8 on X8", [](IDirect3D9* d) { return d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE); }, S_OK},
        {"full-screen A8 on X8", [](IDirect3D9* d) { return d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, FALSE); }, S_OK},
        {"R5G6B5 not scripted", [](IDirect3D9* d) { return d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, TRUE); }, D3DERR_NOTAVAILABLE},
        {"adapter 1 windowed only", [](IDirect3D9* d) { return d->CheckDeviceType(1, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE); }, D3DERR_NOTAVAILABLE},
        {"adapter 1 windowed", [](IDirect3D9* d) { return d->CheckDeviceType(1, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, TRUE); }, S_OK},
        {"SW type absent", [](IDirect3D9* d) { return d->CheckDeviceType(0, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE); }, D3DERR_NOTAVAILABLE},
        {"no such adapter", [](IDirect3D9* d) { return d->CheckDeviceType(2, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE); }, D3DERR_INVALIDCALL},
        {"blending A8R8G8B8", [](IDirect3D9* d) { return d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8); }, S_OK},
        {"blending R5G6B5 refused", [](IDirect3D9* d) { return d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5); }, D3DERR_NOTAVAILABLE},
        {"blending on adapter 1", [](IDirect3D9* d) { return d->CheckDeviceFormat(1, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5); }, S_OK},
        {"depth D24S8", [](IDirect3D9* d) { return d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8); }, S_OK},
        {"depth D15S1 refused", [](IDirect3D9* d) { return d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D15S1); }, D3DERR_NOTAVAILABLE},
        {"plain texture L8", [](IDirect3D9* d) { return d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_L8); }, S_OK},
        {"plain texture A8 refused", [](IDirect3D9* d) { return d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8); }, D3DERR_NOTAVAILABLE},
        {"depth match D32", [](IDirect3D9* d) { return d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D32); }, S_OK},
        {"depth match D24X4S4 refused", [](IDirect3D9* d) { return d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_D24X4S4); }, D3DERR_NOTAVAILABLE},
        {"4x on back buffer", [](IDirect3D9* d) { return d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_4_SAMPLES, nullptr); }, S_OK},
        {"4x on D24S8", [](IDirect3D9* d) { return d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D24S8, TRUE, D3DMULTISAMPLE_4_SAMPLES, nullptr); }, S_OK},
        {"4x on D32 conflicts", [](IDirect3D9* d) { return d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D32, TRUE, D3DMULTISAMPLE_4_SAMPLES, nullptr); }, D3DERR_NOTAVAILABLE},
        {"2x not scripted", [](IDirect3D9* d) { return d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES, nullptr); }, D3DERR_NOTAVAILABLE},
    };
    for (const CheckCase& c : cases) EXPECT_EQ(c.check(d3d), c.expected) << c.what;
}

TEST_F(ScriptedTest, MultisampleQualityLevels) {
    DWORD q = 99;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, D3DMULTISAMPLE_NONMASKABLE, &q),
              S_OK);
    EXPECT_EQ(q, 3u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, D3DMULTISAMPLE_4_SAMPLES, &q),
              S_OK);
    EXPECT_EQ(q, 2u);
    q = 99;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, FALSE, D3DMULTISAMPLE_8_SAMPLES, &q),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(q, 0u);  // a refusal reports no levels
}

TEST_F(ScriptedTest, CreateDeviceReturnsScriptedResults) {
    D3DPRESENT_PARAMETERS pp = Windowed(1, 1);
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_SW, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
              D3DERR_DEVICELOST);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, &device), D3DERR_INVALIDCALL);  // no VP kind
    EXPECT_EQ(PlatformScriptedLog().devicesCreated, 0);

    HWND focus = reinterpret_cast<HWND>(0x1234);
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, focus, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE,
                                &pp, &device),
              S_OK);
    ASSERT_NE(device, nullptr);
    const ScriptedDeviceLog& log = PlatformScriptedLog();
    EXPECT_EQ(log.devicesCreated, 1);
    EXPECT_EQ(log.devicesAlive, 1);
    EXPECT_EQ(log.lastCreation.AdapterOrdinal, 0u);
    EXPECT_EQ(log.lastCreation.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(log.lastCreation.hFocusWindow, focus);
    EXPECT_EQ(log.lastCreation.BehaviorFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE);

    D3DDEVICE_CREATION_PARAMETERS cp;
    ASSERT_EQ(device->GetCreationParameters(&cp), S_OK);
    EXPECT_EQ(cp.hFocusWindow, focus);
    D3DCAPS9 caps;
    ASSERT_EQ(device->GetDeviceCaps(&caps), S_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
    IDirect3D9* back = nullptr;
    ASSERT_EQ(device->GetDirect3D(&back), S_OK);
    EXPECT_EQ(back, d3d);
    back->Release();
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(log.devicesAlive, 0);
}

TEST_F(ScriptedTest, ZeroSizesAndDefaultsAreWrittenBack) {
    D3DPRESENT_PARAMETERS pp = Windowed(0, 0);
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferCount = 0;
    IDirect3DDevice9* device = MakeDevice(pp);
    ASSERT_NE(device, nullptr);
    D3DPRESENT_PARAMETERS used;
    ASSERT_EQ(device->GetPresentParameters(&used), S_OK);
    // No window: the default client size.
    EXPECT_EQ(used.BackBufferWidth, 640u);
    EXPECT_EQ(used.BackBufferHeight, 480u);
    EXPECT_EQ(used.BackBufferFormat, D3DFMT_X8R8G8B8);  // the desktop format
    EXPECT_EQ(used.BackBufferCount, 1u);
    EXPECT_EQ(PlatformScriptedLog().lastPresentParameters.BackBufferWidth, 640u);

    // Reset writes the chosen sizes back into the caller's record; only the
    // zero dimension is replaced.
    D3DPRESENT_PARAMETERS again = Windowed(300, 0);
    ASSERT_EQ(device->Reset(&again), S_OK);
    EXPECT_EQ(again.BackBufferWidth, 300u);
    EXPECT_EQ(again.BackBufferHeight, 480u);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(device->GetBackBufferDesc(&desc), S_OK);
    EXPECT_EQ(desc.Width, 300u);
    EXPECT_EQ(desc.Height, 480u);
    D3DVIEWPORT9 vp;
    ASSERT_EQ(device->GetViewport(&vp), S_OK);
    EXPECT_EQ(vp.Width, 300u);
    EXPECT_EQ(vp.Height, 480u);

    // Full screen needs a size and a format.
    D3DPRESENT_PARAMETERS full = Windowed(0, 0);
    full.Windowed = FALSE;
    EXPECT_EQ(device->Reset(&full), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(ScriptedTest, InvalidPresentParametersAreRefused) {
    struct Case {
        const char* what;
        void (*edit)(D3DPRESENT_PARAMETERS*);
    };
    const Case cases[] = {
        {"four back buffers", [](D3DPRESENT_PARAMETERS* p) { p->BackBufferCount = 4; }},
        {"multisampling with copy", [](D3DPRESENT_PARAMETERS* p) { p->MultiSampleType = D3DMULTISAMPLE_2_SAMPLES; p->SwapEffect = D3DSWAPEFFECT_COPY; }},
        {"depth format not depth", [](D3DPRESENT_PARAMETERS* p) { p->AutoDepthStencilFormat = D3DFMT_X8R8G8B8; }},
        {"interval two windowed", [](D3DPRESENT_PARAMETERS* p) { p->PresentationInterval = D3DPRESENT_INTERVAL_TWO; }},
        {"depth back buffer", [](D3DPRESENT_PARAMETERS* p) { p->BackBufferFormat = D3DFMT_D16; }},
        {"bad swap effect", [](D3DPRESENT_PARAMETERS* p) { p->SwapEffect = static_cast<D3DSWAPEFFECT>(9); }},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS pp = Windowed(64, 64);
        c.edit(&pp);
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device),
                  D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(device, nullptr) << c.what;
    }
}

TEST_F(ScriptedTest, DeviceObeysBehaviourAndLogs) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 32));
    ASSERT_NE(device, nullptr);
    ScriptedDeviceBehaviour& b = PlatformScriptedBehaviour();
    const ScriptedDeviceLog& log = PlatformScriptedLog();

    EXPECT_EQ(device->TestCooperativeLevel(), S_OK);
    b.cooperativeLevel = D3DERR_DEVICENOTRESET;
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0x11223344, 1.0f, 0), S_OK);
    EXPECT_EQ(log.clears, 1);
    EXPECT_EQ(log.lastClearColor, 0x11223344u);
    std::vector<uint8_t> rgba;
    UINT w = 0, h = 0;
    ASSERT_EQ(device->ReadBackBuffer(&rgba, &w, &h), S_OK);
    ASSERT_EQ(rgba.size(), size_t(64 * 32 * 4));
    EXPECT_EQ(rgba[0], 0x22);
    EXPECT_EQ(rgba[3], 0x11);

    b.beginSceneResult = E_FAIL;
    EXPECT_EQ(device->BeginScene(), E_FAIL);
    EXPECT_EQ(log.scenes, 0);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);  // no scene began
    b.beginSceneResult = S_OK;
    EXPECT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);  // already inside
    EXPECT_EQ(device->EndScene(), S_OK);
    EXPECT_EQ(log.scenes, 1);

    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
    b.presentResult = D3DERR_DEVICELOST;
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(log.presents, 2);

    // A failing reset changes nothing; a later one succeeds.
    b.resetResult = D3DERR_DEVICELOST;
    D3DPRESENT_PARAMETERS pp = Windowed(128, 128);
    EXPECT_EQ(device->Reset(&pp), D3DERR_DEVICELOST);
    D3DSURFACE_DESC desc;
    device->GetBackBufferDesc(&desc);
    EXPECT_EQ(desc.Width, 64u);
    b.resetResult = S_OK;
    EXPECT_EQ(device->Reset(&pp), S_OK);
    device->GetBackBufferDesc(&desc);
    EXPECT_EQ(desc.Width, 128u);
    EXPECT_EQ(log.resets, 2);
    EXPECT_EQ(log.lastPresentParameters.BackBufferWidth, 128u);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(ScriptedTest, ResetRestoresDefaultStates) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME), S_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), S_OK);
    EXPECT_EQ(PlatformScriptedLog().fillMode, DWORD(D3DFILL_WIREFRAME));
    D3DPRESENT_PARAMETERS pp = Windowed(64, 64, false);
    ASSERT_EQ(device->Reset(&pp), S_OK);
    DWORD v = 0;
    device->GetRenderState(D3DRS_FILLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DFILL_SOLID));
    EXPECT_EQ(PlatformScriptedLog().fillMode, DWORD(D3DFILL_SOLID));
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CCW));
    device->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, D3DZB_FALSE);  // no depth buffer now
    device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_MODULATE));
    device->GetTextureStageState(1, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_DISABLE));
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &v);
    EXPECT_EQ(v, DWORD(D3DTADDRESS_WRAP));
    // Clearing a depth buffer that does not exist is refused.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(ScriptedTest, ReferenceCountsReportLiveObjects) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), S_OK);
    IDirect3DStateBlock9* block = nullptr;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &block), S_OK);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr), S_OK);

    // Each live object holds the device.
    device->AddRef();
    EXPECT_EQ(device->Release(), 4u);
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(tex->GetDevice(&owner), S_OK);
    EXPECT_EQ(owner, device);
    EXPECT_EQ(owner->Release(), 4u);

    // Binding adds no visible reference; a bound object released by its
    // owner stops holding the device.
    ASSERT_EQ(device->SetTexture(0, tex), S_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, 16), S_OK);
    EXPECT_EQ(tex->Release(), 0u);
    EXPECT_EQ(vb->Release(), 0u);
    device->AddRef();
    EXPECT_EQ(device->Release(), 2u);

    // A state block left alive is reported by the release of the device.
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(PlatformScriptedLog().devicesAlive, 1);
    EXPECT_EQ(block->Release(), 0u);  // the last reference: the device goes
    EXPECT_EQ(PlatformScriptedLog().devicesAlive, 0);
}

TEST_F(ScriptedTest, StateBlocksRecordCaptureAndApply) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    IDirect3DTexture9* texA = nullptr;
    IDirect3DTexture9* texB = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texA, nullptr), S_OK);
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texB, nullptr), S_OK);
    DWORD v = 0;

    // Recording: the states go into the block, not to the device.
    ASSERT_EQ(device->BeginStateBlock(), S_OK);
    EXPECT_EQ(device->BeginStateBlock(), D3DERR_INVALIDCALL);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTexture(0, texA);
    IDirect3DStateBlock9* recorded = nullptr;
    ASSERT_EQ(device->EndStateBlock(&recorded), S_OK);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, DWORD(FALSE));
    ASSERT_EQ(recorded->Apply(), S_OK);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, DWORD(TRUE));
    device->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, DWORD(D3DBLEND_SRCALPHA));
    device->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_SELECTARG2));

    // Capture takes the device's values of the recorded states only.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(recorded->Capture(), S_OK);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    recorded->Apply();
    device->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, DWORD(D3DBLEND_ONE));
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CW));  // not in the block

    // An "all" block puts back every state, textures and viewport included,
    // even after the texture's owner released it.
    IDirect3DStateBlock9* all = nullptr;
    device->SetTexture(1, texB);
    D3DVIEWPORT9 small = {8, 8, 16, 16, 0.0f, 1.0f};
    device->SetViewport(&small);
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_ALL, &all), S_OK);
    EXPECT_EQ(texB->Release(), 0u);
    device->SetTexture(1, nullptr);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    device->SetSamplerState(3, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    D3DVIEWPORT9 full = {0, 0, 64, 64, 0.0f, 1.0f};
    device->SetViewport(&full);
    ASSERT_EQ(all->Apply(), S_OK);
    device->GetRenderState(D3DRS_FILLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DFILL_SOLID));
    device->GetSamplerState(3, D3DSAMP_MINFILTER, &v);
    EXPECT_EQ(v, DWORD(D3DTEXF_POINT));
    D3DVIEWPORT9 vp;
    device->GetViewport(&vp);
    EXPECT_EQ(vp.X, 8u);
    EXPECT_EQ(vp.Width, 16u);

    // The texture lives on in the block and the device; it no longer holds
    // the device: device + texA + two blocks.
    device->AddRef();
    EXPECT_EQ(device->Release(), 4u);
    EXPECT_EQ(recorded->Release(), 0u);
    EXPECT_EQ(all->Release(), 0u);
    EXPECT_EQ(texA->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(PlatformScriptedLog().devicesAlive, 0);
}

TEST_F(ScriptedTest, PixelStateBlockLeavesVertexStates) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    IDirect3DStateBlock9* pixel = nullptr;
    ASSERT_EQ(device->CreateStateBlock(D3DSBT_PIXELSTATE, &pixel), S_OK);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    pixel->Apply();
    DWORD v = 0;
    device->GetRenderState(D3DRS_ZWRITEENABLE, &v);
    EXPECT_EQ(v, DWORD(TRUE));
    device->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_NONE));
    pixel->Release();
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(ScriptedTest, TexturesLockLevelsAndRects) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), S_OK);
    EXPECT_EQ(tex->GetLevelCount(), 5u);  // 16x4, 8x2, 4x1, 2x1, 1x1
    D3DSURFACE_DESC desc;
    ASSERT_EQ(tex->GetLevelDesc(3, &desc), S_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(tex->GetLevelDesc(5, &desc), D3DERR_INVALIDCALL);

    D3DLOCKED_RECT whole, part;
    ASSERT_EQ(tex->LockRect(0, &whole, nullptr, 0), S_OK);
    EXPECT_EQ(whole.Pitch, 64);
    EXPECT_EQ(tex->LockRect(0, &part, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    static_cast<uint32_t*>(whole.pBits)[16 * 2 + 5] = 0xDEADBEEF;
    ASSERT_EQ(tex->UnlockRect(0), S_OK);
    EXPECT_EQ(tex->UnlockRect(0), D3DERR_INVALIDCALL);
    RECT r = {5, 2, 7, 3};
    ASSERT_EQ(tex->LockRect(0, &part, &r, D3DLOCK_READONLY), S_OK);
    EXPECT_EQ(*static_cast<uint32_t*>(part.pBits), 0xDEADBEEFu);
    tex->UnlockRect(0);
    RECT outside = {0, 0, 17, 1};
    EXPECT_EQ(tex->LockRect(0, &part, &outside, 0), D3DERR_INVALIDCALL);

    IDirect3DTexture9* bad = nullptr;
    EXPECT_EQ(device->CreateTexture(16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(16, 16, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &bad, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);
    tex->Release();
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(ScriptedTest, VertexDeclarationsAndDrawing) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(test_support::kSceneDecl, &decl), S_OK);
    D3DVERTEXELEMENT9 back[MAXD3DDECLLENGTH];
    UINT count = 0;
    ASSERT_EQ(decl->GetDeclaration(back, &count), S_OK);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(back[2].Offset, 24);
    EXPECT_EQ(back[3].Stream, 0xFF);

    const D3DVERTEXELEMENT9 twice[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* bad = nullptr;
    EXPECT_EQ(device->CreateVertexDeclaration(twice, &bad), D3DERR_INVALIDCALL);

    struct V {
        float x, y, z, rhw;
        DWORD color;
    } quad[4] = {};
    ASSERT_EQ(device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE), S_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(V)), D3DERR_INVALIDCALL);  // no scene
    ASSERT_EQ(device->BeginScene(), S_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(V)), S_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(0), 2, quad, sizeof(V)), D3DERR_INVALIDCALL);

    // Indexed drawing checks the index range against the buffer.
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * 32, D3DUSAGE_WRITEONLY, 0, D3DPOOL_MANAGED, &vb, nullptr), S_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr), S_OK);
    EXPECT_EQ(ib->GetFormat(), D3DFMT_INDEX16);
    device->SetVertexDeclaration(decl);
    device->SetStreamSource(0, vb, 0, 32);
    device->SetIndices(ib);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);  // 6 vertices, buffer has 4
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
    // Drawing from memory unsets stream 0.
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(V)), S_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), S_OK);
    EXPECT_EQ(PlatformScriptedLog().drawCalls, 4);

    void* bits = nullptr;
    EXPECT_EQ(vb->Lock(100, 40, &bits, 0), D3DERR_INVALIDCALL);  // beyond the end
    ASSERT_EQ(vb->Lock(0, 0, &bits, 0), S_OK);
    EXPECT_EQ(vb->Unlock(), S_OK);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    vb->Release();
    ib->Release();
    decl->Release();
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(ScriptedTest, CursorAndViewportChecks) {
    IDirect3DDevice9* device = MakeDevice(Windowed(64, 64));
    ASSERT_NE(device, nullptr);
    IDirect3DSurface9* image = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(32, 32, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &image, nullptr), S_OK);
    EXPECT_EQ(device->SetCursorProperties(40, 0, image), D3DERR_INVALIDCALL);  // hot spot outside
    EXPECT_EQ(device->SetCursorProperties(3, 4, image), S_OK);
    EXPECT_EQ(device->ShowCursor(TRUE), FALSE);
    EXPECT_EQ(device->ShowCursor(FALSE), TRUE);
    device->SetCursorPosition(10, 20, 0);
    const ScriptedDeviceLog& log = PlatformScriptedLog();
    EXPECT_EQ(log.cursorImages, 1);
    EXPECT_FALSE(log.cursorVisible);
    EXPECT_EQ(log.cursorPosition, (POINT{10, 20}));
    IDirect3DSurface9* wrong = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SCRATCH, &wrong, nullptr), S_OK);
    EXPECT_EQ(device->SetCursorProperties(0, 0, wrong), D3DERR_INVALIDCALL);

    D3DVIEWPORT9 tooBig = {32, 0, 40, 10, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&tooBig), D3DERR_INVALIDCALL);
    wrong->Release();
    image->Release();
    EXPECT_EQ(device->Release(), 0u);
}

}  // namespace
