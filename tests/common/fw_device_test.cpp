// The device life cycle on the scripted adapter table: settings of the first
// device, the callback order, reset against recreate, toggles, the size
// check, failures with their exit codes, the reference-device warning.
#include <string>

#include "fw_fixture.h"
#include "support/hidden_device.h"

namespace {

// --- callback journal --------------------------------------------------------------------------

struct Journal {
    std::vector<std::string> calls;
    HRESULT createdResult = S_OK;
    HRESULT resetResult = S_OK;
    bool pausedDuringReset = false;
    IDirect3DDevice9* extraReference = nullptr;  // a reference the "application" forgets
    bool keepReference = false;
};
Journal g_journal;

HRESULT OnCreated(IDirect3DDevice9* pd3dDevice, const D3DSURFACE_DESC*, void*) {
    g_journal.calls.push_back("created");
    if (g_journal.keepReference) {
        pd3dDevice->AddRef();
        g_journal.extraReference = pd3dDevice;
    }
    return g_journal.createdResult;
}
HRESULT OnReset(IDirect3DDevice9*, const D3DSURFACE_DESC* pDesc, void*) {
    g_journal.calls.push_back("reset " + std::to_string(pDesc->Width) + "x" + std::to_string(pDesc->Height));
    g_journal.pausedDuringReset = FWIsTimePaused() && FWIsRenderingPaused();
    return g_journal.resetResult;
}
void OnLost(void*) { g_journal.calls.push_back("lost"); }
void OnDestroyed(void*) { g_journal.calls.push_back("destroyed"); }

class FWDeviceTest : public FWTest {
protected:
    void SetUp() override {
        FWTest::SetUp();
        if (!HasDisplay()) GTEST_SKIP() << "no display to open a window on";
        g_journal = Journal();
        FWSetCallbackDeviceCreated(OnCreated);
        FWSetCallbackDeviceReset(OnReset);
        FWSetCallbackDeviceLost(OnLost);
        FWSetCallbackDeviceDestroyed(OnDestroyed);
    }

    // The typical machine with a reference device beside the hardware one.
    static ScriptedSystem WithReferenceDevice() {
        ScriptedSystem script = MakeTypicalScriptedSystem();
        ScriptedDeviceType ref = script.adapters[0].deviceTypes[0];
        ref.type = D3DDEVTYPE_REF;
        script.adapters[0].deviceTypes.push_back(ref);
        return script;
    }

    using Calls = std::vector<std::string>;
};

// --- the first device ---------------------------------------------------------------------------

TEST_F(FWDeviceTest, FirstDeviceIsWindowedHal640x480WithD32AndNoVsync) {
    ASSERT_EQ(StartDevice(), S_OK);
    const FWDeviceSettings ds = FWGetDeviceSettings();
    EXPECT_EQ(ds.AdapterOrdinal, 0u);
    EXPECT_EQ(ds.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(ds.AdapterFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(ds.BehaviorFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_TRUE(ds.pp.Windowed);
    EXPECT_EQ(ds.pp.BackBufferWidth, 640u);
    EXPECT_EQ(ds.pp.BackBufferHeight, 480u);
    EXPECT_EQ(ds.pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(ds.pp.BackBufferCount, 2u);
    EXPECT_EQ(ds.pp.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(ds.pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_TRUE(ds.pp.EnableAutoDepthStencil);
    EXPECT_EQ(ds.pp.AutoDepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(ds.pp.PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(ds.pp.hDeviceWindow, FWGetHWNDDeviceWindowed());

    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Width, 640u);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Height, 480u);
    EXPECT_EQ(FWGetDeviceCaps()->DeviceType, D3DDEVTYPE_HAL);
    RECT rc = FWGetWindowClientRect();
    EXPECT_EQ(rc.right, 640);
    EXPECT_EQ(rc.bottom, 480);
    EXPECT_TRUE(IsWindowVisible(FWGetHWND())) << "the first device change shows the window";
    EXPECT_EQ(FWGetExitCode(), 0);
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_FALSE(g_bFWThreadSafe.load()) << "no lock for a device that is not multithreaded";
    EXPECT_EQ(g_journal.calls, (Calls{"created", "reset 640x480"}));
}

TEST_F(FWDeviceTest, DepthFormatNearest32WhenD32IsMissing) {
    ScriptedSystem script = MakeTypicalScriptedSystem();
    for (ScriptedDeviceType& type : script.adapters[0].deviceTypes)
        type.depthStencilFormats = {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8};
    UseScript(script);
    ASSERT_EQ(StartDevice(), S_OK);
    // 24 depth bits are nearest; of those, no stencil is preferred.
    EXPECT_EQ(FWGetDeviceSettings().pp.AutoDepthStencilFormat, D3DFMT_D24X8);
}

struct VsyncCase {
    std::vector<std::wstring> args;
    UINT interval;
};
void PrintTo(const VsyncCase& c, std::ostream* os) {
    *os << (c.args.empty() ? std::string("no option") : WideToUtf8(c.args[0]));
}

class FWVsyncTest : public FWDeviceTest, public ::testing::WithParamInterface<VsyncCase> {};

TEST_P(FWVsyncTest, PresentationIntervalOfTheFirstDevice) {
    SetArgs(GetParam().args);
    ASSERT_EQ(StartDevice(), S_OK);
    EXPECT_EQ(FWGetDeviceSettings().pp.PresentationInterval, GetParam().interval);
    EXPECT_EQ(std::wstring(FWGetFrameStats()).find(GetParam().interval == D3DPRESENT_INTERVAL_IMMEDIATE ? L"Vsync off"
                                                                                                      : L"Vsync on"),
              0u);
}

INSTANTIATE_TEST_SUITE_P(Vsync, FWVsyncTest,
                         ::testing::Values(VsyncCase{{}, D3DPRESENT_INTERVAL_IMMEDIATE},
                                           VsyncCase{{L"-forcevsync:0"}, D3DPRESENT_INTERVAL_IMMEDIATE},
                                           VsyncCase{{L"-forcevsync:1"}, D3DPRESENT_INTERVAL_DEFAULT},
                                           VsyncCase{{L"-forcevsync:2"}, D3DPRESENT_INTERVAL_DEFAULT}),
                         [](const ::testing::TestParamInfo<VsyncCase>& info) {
                             return info.param.args.empty() ? std::string("NoOption")
                                                            : ParamName(WideToUtf8(info.param.args[0]));
                         });

TEST_F(FWDeviceTest, CommandLineShapesTheFirstDevice) {
    SetArgs({L"-forceswvp", L"-forcehwvp", L"-forcepurehwvp", L"-width:800", L"-height:600"});
    ASSERT_EQ(StartDevice(), S_OK);
    const FWDeviceSettings ds = FWGetDeviceSettings();
    EXPECT_EQ(ds.BehaviorFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE)
        << "pure hardware wins over hardware, which wins over software";
    EXPECT_EQ(ds.pp.BackBufferWidth, 800u);
    EXPECT_EQ(ds.pp.BackBufferHeight, 600u);
    RECT rc = FWGetWindowClientRect();
    EXPECT_EQ(rc.right, 800);
    EXPECT_EQ(rc.bottom, 600);
    EXPECT_EQ(std::wstring(FWGetDeviceStats()).rfind(L"HAL (pure hw vp)", 0), 0u);
}

TEST_F(FWDeviceTest, FullScreenFromTheCommandLineTakesTheDesktopMode) {
    SetArgs({L"-fullscreen"});
    ASSERT_EQ(StartDevice(), S_OK);
    const FWDeviceSettings ds = FWGetDeviceSettings();
    const D3DDISPLAYMODE& desktop = m_script.adapters[0].desktop;
    EXPECT_FALSE(ds.pp.Windowed);
    EXPECT_EQ(ds.pp.BackBufferWidth, desktop.Width);
    EXPECT_EQ(ds.pp.BackBufferHeight, desktop.Height);
    EXPECT_EQ(ds.pp.FullScreen_RefreshRateInHz, desktop.RefreshRate);
    EXPECT_EQ(FWGetHWND(), FWGetHWNDDeviceFullScreen());
}

// --- callback order, reset and recreate ------------------------------------------------------------

TEST_F(FWDeviceTest, CallbackOrderOverTheDevicesLife) {
    ASSERT_EQ(StartDevice(), S_OK);
    FWDeviceSettings ds = FWGetDeviceSettings();
    ds.pp.BackBufferWidth = 800;
    ds.pp.BackBufferHeight = 600;
    ASSERT_EQ(FWCreateDeviceFromSettings(&ds, true, false), S_OK);
    ds.pp.BackBufferWidth = 700;
    ASSERT_EQ(FWCreateDeviceFromSettings(&ds, true, false), S_OK);
    FWShutdown();
    EXPECT_EQ(g_journal.calls, (Calls{"created", "reset 640x480", "lost", "reset 800x600", "lost", "reset 700x600",
                                      "lost", "destroyed"}));
    EXPECT_EQ(FWGetExitCode(), 0);
    EXPECT_EQ(FWGetD3DObject(), nullptr);
    EXPECT_EQ(FWGetHWND(), nullptr);
}

TEST_F(FWDeviceTest, SameAdapterTypeAndBehaviourResetsOtherwiseRecreates) {
    ASSERT_EQ(StartDevice(), S_OK);
    IDirect3DDevice9* pFirst = FWGetD3DDevice();
    const int created = PlatformScriptedLog().devicesCreated;
    const int resets = PlatformScriptedLog().resets;

    FWDeviceSettings ds = FWGetDeviceSettings();
    ds.pp.BackBufferWidth = 800;
    ds.pp.BackBufferHeight = 600;
    ASSERT_EQ(FWCreateDeviceFromSettings(&ds, true, false), S_OK);
    EXPECT_EQ(PlatformScriptedLog().devicesCreated, created);
    EXPECT_EQ(PlatformScriptedLog().resets, resets + 1);
    EXPECT_EQ(FWGetD3DDevice(), pFirst);
    EXPECT_EQ(PlatformScriptedLog().lastPresentParameters.BackBufferWidth, 800u);

    g_journal.calls.clear();
    ds.BehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    ASSERT_EQ(FWCreateDeviceFromSettings(&ds, true, false), S_OK);
    EXPECT_EQ(PlatformScriptedLog().devicesCreated, created + 1);
    EXPECT_EQ(g_journal.calls, (Calls{"lost", "destroyed", "created", "reset 800x600"}));
    EXPECT_EQ(PlatformScriptedLog().lastCreation.BehaviorFlags, D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    EXPECT_EQ(std::wstring(FWGetDeviceStats()).rfind(L"HAL (sw vp)", 0), 0u);

    // A forced recreation with unchanged settings.
    g_journal.calls.clear();
    ds = FWGetDeviceSettings();
    ASSERT_EQ(FWChangeDevice(&ds, nullptr, true, false), S_OK);
    EXPECT_EQ(PlatformScriptedLog().devicesCreated, created + 2);
    EXPECT_EQ(g_journal.calls, (Calls{"lost", "destroyed", "created", "reset 800x600"}));
}

TEST_F(FWDeviceTest, WindowSizeChangeResetsWithTheClientSize) {
    ASSERT_EQ(StartDevice(), S_OK);
    HWND hWnd = FWGetHWND();
    g_journal.calls.clear();
    const int created = PlatformScriptedLog().devicesCreated;

    // Resizing the window reports WM_SIZE, whose size check resets the device.
    RECT rc;
    SetRect(&rc, 0, 0, 800, 600);
    AdjustWindowRect(&rc, static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_STYLE)), false);
    ASSERT_TRUE(SetWindowPos(hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER));
    ASSERT_EQ(FWGetWindowClientRect().right, 800);
    // (A restore message of the same size, as a system may also send.)
    SendMessageW(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));

    EXPECT_EQ(g_journal.calls, (Calls{"lost", "reset 800x600"}));
    EXPECT_TRUE(g_journal.pausedDuringReset) << "time and rendering are paused during the change";
    EXPECT_EQ(PlatformScriptedLog().devicesCreated, created);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Width, 800u);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Height, 600u);
    EXPECT_EQ(FWGetDeviceSettings().pp.BackBufferWidth, 800u) << "the chosen size is written back";
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
}

TEST_F(FWDeviceTest, DraggingTheFrameChecksOnceAtTheEnd) {
    ASSERT_EQ(StartDevice(), S_OK);
    HWND hWnd = FWGetHWND();
    g_journal.calls.clear();

    SendMessageW(hWnd, WM_ENTERSIZEMOVE, 0, 0);
    for (int width : {700, 760, 800}) {
        RECT rc;
        SetRect(&rc, 0, 0, width, 600);
        AdjustWindowRect(&rc, static_cast<DWORD>(GetWindowLongPtrW(hWnd, GWL_STYLE)), false);
        SetWindowPos(hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER);
    }
    EXPECT_TRUE(g_journal.calls.empty()) << "no reset during the drag";
    EXPECT_TRUE(FWIsRenderingPaused());
    SendMessageW(hWnd, WM_EXITSIZEMOVE, 0, 0);

    EXPECT_EQ(g_journal.calls, (Calls{"lost", "reset 800x600"}));
    EXPECT_FALSE(FWIsRenderingPaused());
}

TEST_F(FWDeviceTest, FullScreenRoundTripRemembersBothSizes) {
    ASSERT_EQ(StartDevice(), S_OK);
    const D3DDISPLAYMODE& desktop = m_script.adapters[0].desktop;

    ASSERT_EQ(FWToggleFullScreen(), S_OK);
    EXPECT_FALSE(FWIsWindowed());
    EXPECT_EQ(FWGetWindowClientRectAtModeChange().right, 640);
    EXPECT_EQ(FWGetWindowClientRectAtModeChange().bottom, 480);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Width, desktop.Width);

    ASSERT_EQ(FWToggleFullScreen(), S_OK);
    EXPECT_TRUE(FWIsWindowed());
    EXPECT_EQ(FWGetFullsceenClientRectAtModeChange().right, static_cast<LONG>(desktop.Width));
    EXPECT_EQ(FWGetFullsceenClientRectAtModeChange().bottom, static_cast<LONG>(desktop.Height));
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Width, 640u);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Height, 480u);
    EXPECT_EQ(FWGetWindowClientRect().right, 640);
    EXPECT_EQ(GetWindowLongPtrW(FWGetHWND(), GWL_STYLE) & static_cast<intptr_t>(WS_POPUP), 0)
        << "the windowed style is back";
}

// --- refusals and failures ----------------------------------------------------------------------------

bool RefuseAll(FWDeviceSettings*, const D3DCAPS9*, void*) { return false; }

TEST_F(FWDeviceTest, ModifyCallbackRefusingTheFirstDevice) {
    EXPECT_EQ(StartDevice(RefuseAll), E_ABORT);
    const wchar_t* expected = IsRemoteSession() ? L"Direct3D does not work over a remote session."
                                                : L"Could not find any compatible Direct3D devices.";
    EXPECT_EQ(CountBoxes(expected), 1);
    EXPECT_EQ(FWGetExitCode(), 3);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_FALSE(GetFWState().GetDeviceCreated());
    EXPECT_TRUE(g_journal.calls.empty());
    EXPECT_FALSE(FWIsTimePaused()) << "a refusal pauses nothing";
    EXPECT_EQ(FWMainLoop(), E_FAIL);
    EXPECT_EQ(FWGetExitCode(), 3);
}

bool g_refuseNext = false;
bool RefuseWhenAsked(FWDeviceSettings*, const D3DCAPS9*, void*) { return !g_refuseNext; }

TEST_F(FWDeviceTest, RefusedToggleIsNotAnError) {
    g_refuseNext = false;
    ASSERT_EQ(StartDevice(RefuseWhenAsked), S_OK);
    g_refuseNext = true;
    EXPECT_EQ(FWToggleFullScreen(), E_ABORT);
    EXPECT_TRUE(FWIsWindowed());
    EXPECT_TRUE(Boxes().boxes.empty());
    EXPECT_EQ(FWGetExitCode(), 0);
    EXPECT_NE(FWGetD3DDevice(), nullptr);
}

struct CallbackFailureCase {
    const char* name;
    HRESULT createdResult;
    HRESULT resetResult;
    HRESULT expected;
    int exitCode;
    const wchar_t* message;
    std::vector<std::string> calls;
};
void PrintTo(const CallbackFailureCase& c, std::ostream* os) { *os << c.name; }

class FWCallbackFailureTest : public FWDeviceTest, public ::testing::WithParamInterface<CallbackFailureCase> {};

TEST_P(FWCallbackFailureTest, FailureIsReportedAndNoDeviceRemains) {
    const CallbackFailureCase& c = GetParam();
    g_journal.createdResult = c.createdResult;
    g_journal.resetResult = c.resetResult;
    EXPECT_EQ(StartDevice(), c.expected);
    EXPECT_EQ(FWGetExitCode(), c.exitCode);
    EXPECT_EQ(CountBoxes(c.message), 1);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_EQ(g_journal.calls, c.calls) << "destroyed only after a successful create, lost only after a reset";
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_EQ(GetFWState().GetCurrentDeviceSettings(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Callbacks, FWCallbackFailureTest,
    ::testing::Values(
        CallbackFailureCase{"CreatedFails", E_FAIL, S_OK, FWERR_CREATINGDEVICEOBJECTS, 8, L"Failed creating Direct3D device objects.",
                            {"created"}},
        CallbackFailureCase{"CreatedMissesMedia", FWERR_MEDIANOTFOUND, S_OK, FWERR_MEDIANOTFOUND, 4,
                            L"Could not find required media. Ensure that the program's data folder is correctly "
                            L"installed.",
                            {"created"}},
        CallbackFailureCase{"ResetFails", S_OK, E_OUTOFMEMORY, FWERR_RESETTINGDEVICEOBJECTS, 9,
                            L"Failed resetting Direct3D device objects.",
                            {"created", "reset 640x480", "destroyed"}}),
    [](const ::testing::TestParamInfo<CallbackFailureCase>& info) { return std::string(info.param.name); });

TEST_F(FWDeviceTest, DeviceCreationFailureShowsItsMessage) {
    ScriptedSystem script = MakeTypicalScriptedSystem();
    script.adapters[0].deviceTypes[0].createResult = E_OUTOFMEMORY;
    UseScript(script);
    // The enumeration keeps a type whose test device fails for any reason
    // but "not available"; the real creation then fails.
    EXPECT_EQ(StartDevice(), FWERR_CREATINGDEVICE);
    EXPECT_EQ(FWGetExitCode(), 6);
    EXPECT_EQ(CountBoxes(L"Failed creating the Direct3D device."), 1);
    EXPECT_NE(DebugText().find(L"CreateDevice hr=E_OUTOFMEMORY"), std::wstring::npos);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    // The failed settings are released although no device was made.
    EXPECT_EQ(GetFWState().GetCurrentDeviceSettings(), nullptr);
    EXPECT_FALSE(FWIsWindowed());
}

TEST_F(FWDeviceTest, FailedResetOfDeviceObjectsEndsWithItsExitCode) {
    // Mended: the change used to shut down with exit code 0 after the error
    // display stored 9.
    ASSERT_EQ(StartDevice(), S_OK);
    g_journal.resetResult = E_FAIL;
    FWDeviceSettings ds = FWGetDeviceSettings();
    ds.pp.BackBufferWidth = 800;
    ds.pp.BackBufferHeight = 600;
    EXPECT_EQ(FWCreateDeviceFromSettings(&ds, true, false), FWERR_RESETTINGDEVICEOBJECTS);
    EXPECT_EQ(CountBoxes(L"Failed resetting Direct3D device objects."), 1);
    EXPECT_EQ(FWGetExitCode(), 9);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_EQ(FWGetHWND(), nullptr);
    // The reset callback failed: lost runs again, destroyed ends the device.
    EXPECT_EQ(g_journal.calls,
              (Calls{"created", "reset 640x480", "lost", "reset 800x600", "lost", "destroyed"}));
}

TEST_F(FWDeviceTest, NonZeroReferenceCountIsReported) {
    g_journal.keepReference = true;
    ASSERT_EQ(StartDevice(), S_OK);
    FWShutdown(0);
    EXPECT_EQ(CountBoxes(L"The D3D device has a non-zero reference count, meaning some objects were not released."), 1);
    EXPECT_EQ(FWGetExitCode(), 5);
    EXPECT_NE(DebugText().find(L"FWCleanup3DEnvironment hr=FWERR_NONZEROREFCOUNT"), std::wstring::npos);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    ASSERT_NE(g_journal.extraReference, nullptr);
    EXPECT_EQ(g_journal.extraReference->Release(), 0u);
}

// Calls every public step from inside a device callback.
struct Refusals {
    HRESULT window, setWindow, device, setDevice, loop;
};
Refusals g_refusals;
HRESULT TryEverythingInside(IDirect3DDevice9* pd3dDevice, const D3DSURFACE_DESC*, void*) {
    HWND hWnd = FWGetHWND();
    g_refusals.window = FWCreateWindow(L"Again");
    g_refusals.setWindow = FWSetWindow(hWnd, hWnd, hWnd);
    g_refusals.device = FWCreateDevice();
    g_refusals.setDevice = FWSetDevice(pd3dDevice);
    g_refusals.loop = FWMainLoop();
    return S_OK;
}

TEST_F(FWDeviceTest, PublicStepsRefuseToRunInsideADeviceCallback) {
    FWSetCallbackDeviceCreated(TryEverythingInside);
    ASSERT_EQ(StartDevice(), S_OK);
    EXPECT_EQ(g_refusals.window, E_FAIL);
    EXPECT_EQ(g_refusals.setWindow, E_FAIL);
    EXPECT_EQ(g_refusals.device, E_FAIL);
    EXPECT_EQ(g_refusals.setDevice, E_FAIL);
    EXPECT_EQ(g_refusals.loop, E_FAIL);
    EXPECT_EQ(FWGetExitCode(), 1) << "a refused main loop turns exit code 0 into 1";
    EXPECT_EQ(Boxes().boxes.size(), 5u);
    size_t n = 0;
    for (size_t pos = DebugText().find(L"FWCreateWindow hr=E_FAIL"); pos != std::wstring::npos;
         pos = DebugText().find(L"FWCreateWindow hr=E_FAIL", pos + 1))
        ++n;
    EXPECT_EQ(n, 4u);
    EXPECT_NE(DebugText().find(L"FWMainLoop hr=E_FAIL"), std::wstring::npos);
    EXPECT_NE(FWGetD3DDevice(), nullptr) << "the device itself was created";
}

void LoopInsideLoop(IDirect3DDevice9*, double, float, void*) {
    g_refusals.loop = FWMainLoop();
    FWShutdown(FWGetExitCode());
}

TEST_F(FWDeviceTest, MainLoopRefusesToNest) {
    FWSetCallbackFrameMove(LoopInsideLoop);
    ASSERT_EQ(StartDevice(), S_OK);
    EXPECT_EQ(FWMainLoop(), S_OK);
    EXPECT_EQ(g_refusals.loop, E_FAIL);
    EXPECT_EQ(FWGetExitCode(), 1);
}

// --- adopted device, enumeration, matching ---------------------------------------------------------------

TEST_F(FWDeviceTest, AdoptedDeviceBecomesTheFrameworksDevice) {
    ASSERT_EQ(FWInit(), S_OK);
    ASSERT_EQ(FWCreateWindow(L"Adopt"), S_OK);
    EXPECT_EQ(FWSetDevice(nullptr), E_INVALIDARG);

    D3DPRESENT_PARAMETERS pp = test_support::WindowedPresentParameters(640, 480, FWGetHWNDFocus());
    IDirect3DDevice9* pDevice = nullptr;
    ASSERT_EQ(FWGetD3DObject()->CreateDevice(0, D3DDEVTYPE_HAL, FWGetHWNDFocus(), D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                             &pp, &pDevice),
              S_OK);

    ASSERT_EQ(FWSetDevice(pDevice), S_OK);
    EXPECT_EQ(FWGetD3DDevice(), pDevice);
    const FWDeviceSettings ds = FWGetDeviceSettings();
    EXPECT_EQ(ds.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(ds.AdapterFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(ds.BehaviorFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_EQ(g_journal.calls, (Calls{"created", "reset 640x480"}));
    // The framework holds its own reference.
    EXPECT_GT(pDevice->Release(), 0u);
}

int g_acceptCalls = 0;
bool CountAcceptable(D3DCAPS9*, D3DFORMAT, D3DFORMAT, bool, void*) {
    ++g_acceptCalls;
    return true;
}

TEST_F(FWDeviceTest, EnumerationRunsOnceUnlessForced) {
    ASSERT_EQ(FWInit(), S_OK);
    ASSERT_EQ(FWCreateWindow(L"Enum"), S_OK);
    g_acceptCalls = 0;
    ASSERT_EQ(FWCreateDevice(0, true, 640, 480, CountAcceptable, nullptr, nullptr), S_OK);
    const int afterCreate = g_acceptCalls;
    EXPECT_GT(afterCreate, 0);

    CD3DEnumeration* pEnum = FWPrepareEnumeration(false);
    EXPECT_EQ(pEnum, FWGetEnumeration());
    FWDeviceSettings out{};
    EXPECT_EQ(FWFindValidDeviceSettings(&out), S_OK);
    EXPECT_EQ(g_acceptCalls, afterCreate) << "matching does not enumerate again";
    EXPECT_EQ(out.DeviceType, D3DDEVTYPE_HAL);

    FWPrepareEnumeration(true);
    EXPECT_EQ(g_acceptCalls, 2 * afterCreate);

    EXPECT_EQ(FWFindValidDeviceSettings(nullptr), E_INVALIDARG);
    EXPECT_NE(DebugText().find(L"FWFindValidDeviceSettings hr=E_INVALIDARG"), std::wstring::npos);
}

TEST_F(FWDeviceTest, NoMatchingSettingsShowNoCompatibleDevices) {
    SetArgs({L"-forceref"});  // the typical machine has no reference device
    EXPECT_EQ(StartDevice(), FWERR_NOCOMPATIBLEDEVICES);
    EXPECT_EQ(FWGetExitCode(), 3);
    EXPECT_NE(DebugText().find(L"FWFindValidDeviceSettings hr=FWERR_NOCOMPATIBLEDEVICES"), std::wstring::npos);
}

// --- reference device ------------------------------------------------------------------------------------

TEST_F(FWDeviceTest, ExitCodeTellsTheReferenceDevice) {
    UseScript(WithReferenceDevice());
    SetArgs({L"-forceref"});
    ASSERT_EQ(StartDevice(), S_OK);
    EXPECT_EQ(FWGetDeviceSettings().DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(FWGetExitCode(), 11);
    EXPECT_EQ(std::wstring(FWGetDeviceStats()).rfind(L"REF (simulated hw vp)", 0), 0u);

    ASSERT_EQ(FWToggleREF(), S_OK);
    EXPECT_EQ(FWGetDeviceSettings().DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(FWGetExitCode(), 0);

    // F3 goes back to the reference device.
    SendMessageW(FWGetHWND(), WM_KEYDOWN, VK_F3, 0);
    EXPECT_EQ(FWGetDeviceSettings().DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(FWGetExitCode(), 11);
}

bool WarnOnReference(FWDeviceSettings* pSettings, const D3DCAPS9*, void*) {
    if (pSettings->DeviceType == D3DDEVTYPE_REF) FWDisplaySwitchingToREFWarning();
    return true;
}

TEST_F(FWDeviceTest, ReferenceWarningAnswers) {
    const std::wstring text =
        L"Switching to the Direct3D reference rasterizer, a software device\nthat implements the entire Direct3D "
        L"feature set, but runs very slowly.\nDo you wish to continue?";
    ASSERT_EQ(FWInit(), S_OK);
    ASSERT_EQ(FWCreateWindow(L"Warned"), S_OK);

    // Yes: go on, nothing remembered.
    Boxes().referenceWarningAnswer = IDYES;
    FWDisplaySwitchingToREFWarning();
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_EQ(Boxes().boxes[0].text, text);
    EXPECT_EQ(Boxes().boxes[0].caption, L"Warned");
    DWORD value = 0;
    EXPECT_FALSE(SettingsReadDword(L"Software\\Trevolia\\Framework", L"Skip Warning On REF", &value) && value != 0);
    EXPECT_NE(FWGetD3DObject(), nullptr);

    // Yes with "don't show again": remembered, never asked again.
    Boxes().referenceWarningAnswer = IDYES | 0x80;
    FWDisplaySwitchingToREFWarning();
    ASSERT_TRUE(SettingsReadDword(L"Software\\Trevolia\\Framework", L"Skip Warning On REF", &value));
    EXPECT_EQ(value, 1u);
    FWDisplaySwitchingToREFWarning();
    EXPECT_EQ(Boxes().boxes.size(), 2u);
}

TEST_F(FWDeviceTest, ReferenceWarningNoShutsDownWithExitCode1) {
    UseScript(WithReferenceDevice());
    SetArgs({L"-forceref"});
    Boxes().referenceWarningAnswer = IDNO;
    EXPECT_EQ(StartDevice(WarnOnReference), S_FALSE);
    EXPECT_EQ(FWGetExitCode(), 1);
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_EQ(FWGetD3DObject(), nullptr);
    EXPECT_EQ(FWGetHWND(), nullptr);
    EXPECT_TRUE(g_journal.calls.empty());
    EXPECT_EQ(FWMainLoop(), E_FAIL);
    EXPECT_EQ(FWGetExitCode(), 1);
}

TEST_F(FWDeviceTest, ReferenceWarningSilentWithoutMessageBoxes) {
    UseScript(WithReferenceDevice());
    SetArgs({L"-forceref", L"-noerrormsgboxes"});
    Boxes().referenceWarningAnswer = IDNO;
    ASSERT_EQ(StartDevice(WarnOnReference), S_OK);
    EXPECT_TRUE(Boxes().boxes.empty());
    EXPECT_EQ(FWGetExitCode(), 11);
}

}  // namespace
