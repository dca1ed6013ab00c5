// Framework initialisation: the command line, the result codes with their
// messages, exit codes and boxes, the error trace and the checked calls.
#include <cmath>
#include <functional>

#include "fw_fixture.h"

namespace {

// --- command line -------------------------------------------------------------------------

struct OptionCase {
    std::vector<std::wstring> args;
    const char* what;
    std::function<double()> read;
    double expected;
    const wchar_t* unrecognized;  // the text reported as unrecognised, or null
};

void PrintTo(const OptionCase& c, std::ostream* os) { *os << ParamName(c.what); }

class FWCommandLineTest : public FWTest, public ::testing::WithParamInterface<OptionCase> {};

std::function<double()> Field(int (FWState::*getter)()) {
    return [getter] { return static_cast<double>((GetFWState().*getter)()); };
}
std::function<double()> Field(bool (FWState::*getter)()) {
    return [getter] { return (GetFWState().*getter)() ? 1.0 : 0.0; };
}
std::function<double()> Field(float (FWState::*getter)()) {
    return [getter] { return static_cast<double>((GetFWState().*getter)()); };
}

TEST_P(FWCommandLineTest, AppliesOptionOrReportsIt) {
    const OptionCase& c = GetParam();
    SetArgs(c.args);
    ASSERT_EQ(FWInit(true, true, true, true), S_OK);

    EXPECT_NEAR(c.read(), c.expected, 1e-6) << c.what;
    if (c.unrecognized != nullptr) {
        EXPECT_NE(DebugText().find(std::wstring(L"Unrecognized flag: ") + c.unrecognized), std::wstring::npos)
            << "debug output: " << WideToUtf8(DebugText());
    } else {
        EXPECT_EQ(DebugText().find(L"Unrecognized flag"), std::wstring::npos) << WideToUtf8(DebugText());
    }
}

const OptionCase kOptionCases[] = {
    {{L"-adapter:1"}, "adapter", Field(&FWState::GetOverrideAdapterOrdinal), 1, nullptr},
    {{L"-adapter"}, "adapter without value", Field(&FWState::GetOverrideAdapterOrdinal), -1, L"-adapter"},
    {{L"-ADAPTER:2"}, "adapter, upper case", Field(&FWState::GetOverrideAdapterOrdinal), 2, nullptr},
    {{L"/Adapter:3"}, "adapter with slash", Field(&FWState::GetOverrideAdapterOrdinal), 3, nullptr},
    {{L"adapter:1"}, "no option sign", Field(&FWState::GetOverrideAdapterOrdinal), -1, L"adapter:1"},
    {{L"-windowed"}, "windowed", Field(&FWState::GetOverrideWindowed), 1, nullptr},
    {{L"/WINDOWED"}, "windowed, slash and upper case", Field(&FWState::GetOverrideWindowed), 1, nullptr},
    {{L"-windowedx"}, "windowedx", Field(&FWState::GetOverrideWindowed), 0, L"-windowedx"},
    {{L"-fullscreen"}, "fullscreen", Field(&FWState::GetOverrideFullScreen), 1, nullptr},
    {{L"-forcehal"}, "forcehal", Field(&FWState::GetOverrideForceHAL), 1, nullptr},
    {{L"-forceref"}, "forceref", Field(&FWState::GetOverrideForceREF), 1, nullptr},
    {{L"-forcepurehwvp"}, "forcepurehwvp", Field(&FWState::GetOverrideForcePureHWVP), 1, nullptr},
    {{L"-forcehwvp"}, "forcehwvp", Field(&FWState::GetOverrideForceHWVP), 1, nullptr},
    {{L"-forceswvp"}, "forceswvp", Field(&FWState::GetOverrideForceSWVP), 1, nullptr},
    {{L"-forcevsync:1"}, "forcevsync 1", Field(&FWState::GetOverrideForceVsync), 1, nullptr},
    {{L"-forcevsync:2"}, "forcevsync 2", Field(&FWState::GetOverrideForceVsync), 2, nullptr},
    {{L"-forcevsync:0"}, "forcevsync 0", Field(&FWState::GetOverrideForceVsync), 0, nullptr},
    {{L"-forcevsync"}, "forcevsync without value", Field(&FWState::GetOverrideForceVsync), 0, L"-forcevsync"},
    {{L"-width:800"}, "width", Field(&FWState::GetOverrideWidth), 800, nullptr},
    {{L"-width"}, "width without value", Field(&FWState::GetOverrideWidth), 0, L"-width"},
    {{L"-width:800 junk"}, "width cut at the blank", Field(&FWState::GetOverrideWidth), 800, nullptr},
    {{L"-height:600"}, "height", Field(&FWState::GetOverrideHeight), 600, nullptr},
    {{L"-height:"}, "height with empty value", Field(&FWState::GetOverrideHeight), 0, nullptr},
    {{L"-startx:10"}, "startx", Field(&FWState::GetOverrideStartX), 10, nullptr},
    {{L"-startx"}, "startx without value", Field(&FWState::GetOverrideStartX), -1, L"-startx"},
    {{L"-starty:-20"}, "starty", Field(&FWState::GetOverrideStartY), -20, nullptr},
    {{L"-constantframetime"}, "constantframetime default", Field(&FWState::GetTimePerFrame), 0.0333, nullptr},
    {{L"-constantframetime:0.5"}, "constantframetime value", Field(&FWState::GetTimePerFrame), 0.5, nullptr},
    {{L"-constantframetime"}, "constantframetime switch", Field(&FWState::GetConstantFrameTime), 1, nullptr},
    {{L"-quitafterframe:10"}, "quitafterframe", Field(&FWState::GetOverrideQuitAfterFrame), 10, nullptr},
    {{L"-quitafterframe"}, "quitafterframe without value", Field(&FWState::GetOverrideQuitAfterFrame), 0,
     L"-quitafterframe"},
    {{L"-noerrormsgboxes"}, "noerrormsgboxes", Field(&FWState::GetShowMsgBoxOnError), 0, nullptr},
    {{L"-NoStats"}, "nostats", Field(&FWState::GetNoStats), 1, nullptr},
    {{L"-relaunchmce"}, "relaunchmce", Field(&FWState::GetOverrideRelaunchMCE), 1, nullptr},
    {{L"-automation"}, "automation", Field(&FWState::GetAutomation), 1, nullptr},
    {{L"-bogus\tmore"}, "unknown option cut at the tab", Field(&FWState::GetOverrideWindowed), 0, L"-bogus"},
    {{L"-windowed", L"-adapter:4", L"-width:1024"}, "several arguments", Field(&FWState::GetOverrideAdapterOrdinal), 4,
     nullptr},
};

INSTANTIATE_TEST_SUITE_P(Options, FWCommandLineTest, ::testing::ValuesIn(kOptionCases),
                         [](const ::testing::TestParamInfo<OptionCase>& info) { return ParamName(info.param.what); });

TEST_F(FWTest, CommandLineKeepsEveryVertexProcessingOptionGiven) {
    SetArgs({L"-forceswvp", L"-forcehwvp", L"-forcepurehwvp"});
    ASSERT_EQ(FWInit(), S_OK);
    FWState& s = GetFWState();
    EXPECT_TRUE(s.GetOverrideForceSWVP());
    EXPECT_TRUE(s.GetOverrideForceHWVP());
    EXPECT_TRUE(s.GetOverrideForcePureHWVP());
}

TEST_F(FWTest, CommandLineIsReadOnlyWhenAsked) {
    SetArgs({L"-adapter:1", L"-bogus"});
    ASSERT_EQ(FWInit(false, true, true, true), S_OK);
    EXPECT_EQ(GetFWState().GetOverrideAdapterOrdinal(), -1);
    EXPECT_EQ(DebugText().find(L"Unrecognized flag"), std::wstring::npos);
}

TEST_F(FWTest, ConstantFrameTimeFromTheCommandLineCannotBeUndone) {
    SetArgs({L"-constantframetime"});
    ASSERT_EQ(FWInit(), S_OK);
    FWSetConstantFrameTime(false, 1.0f);
    EXPECT_TRUE(GetFWState().GetConstantFrameTime());
    EXPECT_FLOAT_EQ(GetFWState().GetTimePerFrame(), 0.0333f);

    // Without the option the call decides.
    FWTestResetState();
    FWSetConstantFrameTime(true, 0.25f);
    EXPECT_TRUE(GetFWState().GetConstantFrameTime());
    EXPECT_FLOAT_EQ(GetFWState().GetTimePerFrame(), 0.25f);
}

TEST_F(FWTest, FreshStateHasTheDocumentedDefaults) {
    FWState& s = GetFWState();
    EXPECT_EQ(s.GetOverrideAdapterOrdinal(), -1);
    EXPECT_EQ(s.GetOverrideStartX(), -1);
    EXPECT_EQ(s.GetOverrideStartY(), -1);
    EXPECT_EQ(s.GetOverrideForceVsync(), 0);
    EXPECT_TRUE(s.GetAutoChangeAdapter());
    EXPECT_TRUE(s.GetShowMsgBoxOnError());
    EXPECT_TRUE(s.GetAllowShortcutKeysWhenWindowed());
    EXPECT_FALSE(s.GetAllowShortcutKeysWhenFullscreen());
    EXPECT_TRUE(FWIsActive());
    EXPECT_TRUE(s.GetCallDefWindowProc());
    EXPECT_EQ(FWGetExitCode(), 0);
    EXPECT_FALSE(FWIsWindowed());
    EXPECT_EQ(FWGetD3DDevice(), nullptr);
    EXPECT_TRUE(g_bFWThreadSafe.load());
    FWDeviceSettings zero{};
    FWDeviceSettings settings = FWGetDeviceSettings();
    EXPECT_EQ(std::memcmp(&settings, &zero, sizeof(zero)), 0);
}

// --- result codes -------------------------------------------------------------------------

struct ErrorCase {
    HRESULT hr;
    int exitCode;
    const wchar_t* message;  // null: no box
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << WideToUtf8(DXGetErrorString(c.hr)); }

class FWErrorDisplayTest : public FWTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(FWErrorDisplayTest, StoresExitCodeAndShowsMessage) {
    const ErrorCase& c = GetParam();
    std::wstring expected = c.message != nullptr ? c.message : L"";
    if (c.hr == FWERR_NOCOMPATIBLEDEVICES && IsRemoteSession())
        expected = L"Direct3D does not work over a remote session.";

    EXPECT_EQ(FWDisplayErrorMessage(c.hr), c.hr);
    EXPECT_EQ(FWGetExitCode(), c.exitCode);
    if (c.message == nullptr) {
        EXPECT_TRUE(Boxes().boxes.empty());
    } else {
        ASSERT_EQ(Boxes().boxes.size(), 1u);
        EXPECT_EQ(Boxes().boxes[0].text, expected);
        EXPECT_EQ(Boxes().boxes[0].caption, L"3-D Application");  // no window title yet
        EXPECT_EQ(Boxes().boxes[0].type, MB_ICONERROR | MB_OK);
    }

    // With message boxes off only the exit code is stored.
    Boxes().boxes.clear();
    GetFWState().SetExitCode(0);
    GetFWState().SetShowMsgBoxOnError(false);
    FWDisplayErrorMessage(c.hr);
    EXPECT_EQ(FWGetExitCode(), c.exitCode);
    EXPECT_TRUE(Boxes().boxes.empty());
}

const ErrorCase kErrorCases[] = {
    {FWERR_NODIRECT3D, 2,
     L"Could not initialize Direct3D. You may want to check that the latest graphics drivers are correctly installed "
     L"on your system.  Also make sure that this program was compiled with header files that match the installed "
     L"graphics libraries."},
    {FWERR_NOCOMPATIBLEDEVICES, 3, L"Could not find any compatible Direct3D devices."},
    {FWERR_MEDIANOTFOUND, 4,
     L"Could not find required media. Ensure that the program's data folder is correctly installed."},
    {FWERR_NONZEROREFCOUNT, 5,
     L"The D3D device has a non-zero reference count, meaning some objects were not released."},
    {FWERR_CREATINGDEVICE, 6, L"Failed creating the Direct3D device."},
    {FWERR_RESETTINGDEVICE, 7, L"Failed resetting the Direct3D device."},
    {FWERR_CREATINGDEVICEOBJECTS, 8, L"Failed creating Direct3D device objects."},
    {FWERR_RESETTINGDEVICEOBJECTS, 9, L"Failed resetting Direct3D device objects."},
    {FWERR_INCORRECTVERSION, 10, L"Incorrect version of Direct3D and/or D3DX."},
    {FWERR_DEVICEREMOVED, 1, nullptr},
    {E_OUTOFMEMORY, 1, nullptr},
    {D3DERR_DEVICELOST, 1, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Codes, FWErrorDisplayTest, ::testing::ValuesIn(kErrorCases),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) {
                             return ParamName(WideToUtf8(DXGetErrorString(info.param.hr)));
                         });

TEST_F(FWTest, ErrorNamesCoverFrameworkDeviceAndSystemCodes) {
    const struct {
        HRESULT hr;
        const wchar_t* name;
    } cases[] = {
        {FWERR_NODIRECT3D, L"FWERR_NODIRECT3D"},
        {FWERR_DEVICEREMOVED, L"FWERR_DEVICEREMOVED"},
        {FWERR_INCORRECTVERSION, L"FWERR_INCORRECTVERSION"},
        {D3DERR_DEVICELOST, L"D3DERR_DEVICELOST"},
        {D3DERR_NOTAVAILABLE, L"D3DERR_NOTAVAILABLE"},
        {D3DXERR_INVALIDDATA, L"D3DXERR_INVALIDDATA"},
        {E_OUTOFMEMORY, L"E_OUTOFMEMORY"},
        {E_ACCESSDENIED, L"E_ACCESSDENIED"},
        {E_INVALIDARG, L"E_INVALIDARG"},
        {ERROR_CLASS_ALREADY_EXISTS_HR, L"ERROR_CLASS_ALREADY_EXISTS_HR"},
        {HRESULT_FROM_ERRNO(2), L"ENOENT"},
        {S_OK, L"S_OK"},
        {static_cast<HRESULT>(0x80001234u), L"Unknown"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(DXGetErrorString(c.hr), c.name);
        EXPECT_NE(std::wstring(DXGetErrorDescription(c.hr)), L"") << WideToUtf8(c.name);
    }
    EXPECT_STREQ(DXGetErrorDescription(static_cast<HRESULT>(0x80001234u)), L"Unknown error.");
}

// --- trace ------------------------------------------------------------------------------------

TEST_F(FWTest, TraceWritesTheLineAndAsksInABox) {
    EXPECT_EQ(FWTrace("common/thing.cpp", 42, E_FAIL, L"DoThing( 1 )", true), E_FAIL);
    EXPECT_EQ(DebugText(), L"common/thing.cpp(42): DoThing( 1 ) hr=E_FAIL (0x80004005)\n");
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_EQ(Boxes().boxes[0].text,
              L"File: common/thing.cpp\nLine: 42\nError Code: E_FAIL (0x80004005)\nCalling: DoThing( 1 )\n"
              L"Do you want to debug the application?");
    EXPECT_EQ(Boxes().boxes[0].caption, L"Unexpected error encountered");
    EXPECT_EQ(Boxes().boxes[0].type, MB_YESNO | MB_ICONERROR);
}

TEST_F(FWTest, TraceWithoutMessageOrBox) {
    const HRESULT unknown = static_cast<HRESULT>(0x80001234u);
    EXPECT_EQ(FWTrace("x.cpp", 7, unknown, L"", false), unknown);
    EXPECT_EQ(DebugText(), L"x.cpp(7): hr=Unknown (0x80001234)\n");
    EXPECT_TRUE(Boxes().boxes.empty());

    // Without a file there is no location; the box has no "Calling" line.
    DebugText().clear();
    DXTrace(nullptr, 9, FWERR_MEDIANOTFOUND, nullptr, true);
    EXPECT_EQ(DebugText(), L"hr=FWERR_MEDIANOTFOUND (0x80040903)\n");
    ASSERT_EQ(Boxes().boxes.size(), 1u);
    EXPECT_EQ(Boxes().boxes[0].text,
              L"File: \nLine: 9\nError Code: FWERR_MEDIANOTFOUND (0x80040903)\nDo you want to debug the application?");
}

TEST_F(FWTest, NoErrorMessageBoxesSuppressesTraceBoxesButNotTheLine) {
    SetArgs({L"-noerrormsgboxes"});
    ASSERT_EQ(FWInit(), S_OK);
    FWTrace("f.cpp", 1, E_INVALIDARG, L"Call()", true);
    EXPECT_EQ(DebugText(), L"f.cpp(1): Call() hr=E_INVALIDARG (0x80070057)\n");
    EXPECT_TRUE(Boxes().boxes.empty());
}

HRESULT FailWith(HRESULT hr) { return hr; }

int g_stepsAfterCheck = 0;

HRESULT CheckedCallsCarryOn() {
    HRESULT hr;
    FW_CHECK(FailWith(E_OUTOFMEMORY));
    ++g_stepsAfterCheck;
    FW_CHECK(FailWith(S_OK));
    ++g_stepsAfterCheck;
    return hr;
}

constexpr int kReturnLine = __LINE__ + 4;
HRESULT CheckedCallReturns() {
    HRESULT hr;
    ++g_stepsAfterCheck;
    FW_CHECK_RETURN(FailWith(D3DERR_INVALIDCALL));
    ++g_stepsAfterCheck;
    return S_OK;
}

TEST_F(FWTest, CheckedCallsTraceFileLineAndCallText) {
    g_stepsAfterCheck = 0;
    EXPECT_EQ(CheckedCallsCarryOn(), S_OK);
    EXPECT_EQ(g_stepsAfterCheck, 2);
    EXPECT_NE(DebugText().find(L"FailWith(E_OUTOFMEMORY) hr=E_OUTOFMEMORY (0x8007000e)\n"), std::wstring::npos)
        << WideToUtf8(DebugText());
    EXPECT_EQ(DebugText().find(L"FailWith(S_OK)"), std::wstring::npos);
    EXPECT_EQ(Boxes().boxes.size(), 1u);

    DebugText().clear();
    g_stepsAfterCheck = 0;
    EXPECT_EQ(CheckedCallReturns(), D3DERR_INVALIDCALL);
    EXPECT_EQ(g_stepsAfterCheck, 1);
    std::wstring expected = Utf8ToWide(__FILE__) + L"(" + std::to_wstring(kReturnLine) +
                            L"): FailWith(D3DERR_INVALIDCALL) hr=D3DERR_INVALIDCALL (0x8876086c)\n";
    EXPECT_EQ(DebugText(), expected);
}

TEST_F(FWTest, DebugStringIsCutAt511Characters) {
    std::wstring longText(600, L'x');
    FWOutputDebugString(L"%s", longText.c_str());
    EXPECT_EQ(DebugText(), std::wstring(511, L'x'));
    DebugText().clear();
    FWOutputDebugString(L"%d-%s-%S", 7, L"wide", "narrow");
    EXPECT_EQ(DebugText(), L"7-wide-narrow");
}

// --- init failures and the order of the steps ----------------------------------------------

int g_createCalls = 0;
IDirect3D9* NoDirect3D(UINT) {
    ++g_createCalls;
    return nullptr;
}

TEST_F(FWTest, VersionMismatchEndsInitWithExitCode10) {
    FWTestSetBuiltForVersions(D3D_SDK_VERSION, FW_HELPER_SDK_VERSION + 1);
    EXPECT_EQ(FWInit(), FWERR_INCORRECTVERSION);
    EXPECT_EQ(FWGetExitCode(), 10);
    EXPECT_EQ(CountBoxes(L"Incorrect version of Direct3D and/or D3DX."), 1);
    EXPECT_NE(DebugText().find(L"D3DXCheckVersion hr=FWERR_INCORRECTVERSION (0x80040909)"), std::wstring::npos);
    EXPECT_EQ(FWGetD3DObject(), nullptr);
}

TEST_F(FWTest, MissingDirect3DEndsInitWithExitCode2AndNoBoxWhenAsked) {
    FWTestSetDirect3DCreateHook(NoDirect3D);
    SetArgs({L"-noerrormsgboxes"});
    EXPECT_EQ(FWInit(), FWERR_NODIRECT3D);
    EXPECT_EQ(FWGetExitCode(), 2);
    EXPECT_TRUE(Boxes().boxes.empty());
    EXPECT_NE(DebugText().find(L"Direct3DCreate9 hr=FWERR_NODIRECT3D (0x80040901)"), std::wstring::npos);
}

TEST_F(FWTest, FailedInitMakesEveryLaterStepFailAtOnce) {
    g_createCalls = 0;
    FWTestSetDirect3DCreateHook(NoDirect3D);
    ASSERT_EQ(FWInit(), FWERR_NODIRECT3D);
    ASSERT_EQ(g_createCalls, 1);
    ASSERT_EQ(CountBoxes(kErrorCases[0].message), 1);

    EXPECT_EQ(FWCreateWindow(L"Never"), E_FAIL);
    EXPECT_EQ(FWCreateDevice(0, true, 640, 480), E_FAIL);
    EXPECT_EQ(FWMainLoop(), E_FAIL);

    EXPECT_EQ(g_createCalls, 1) << "init must not be retried";
    EXPECT_EQ(FWGetHWND(), nullptr);
    EXPECT_FALSE(GetFWState().GetWindowCreated());
    EXPECT_EQ(FWGetExitCode(), 2) << "the stored failure stays";
    EXPECT_EQ(Boxes().boxes.size(), 1u) << "no further boxes";
    EXPECT_FALSE(GetFWState().GetInsideMainloop());
}

TEST_F(FWTest, MainLoopWithoutAnyStepFailsWithExitCode1WhenDeviceCreationFailed) {
    // A device creation that was attempted and failed: the loop does not run.
    GetFWState().SetDeviceCreateCalled(true);
    EXPECT_EQ(FWMainLoop(), E_FAIL);
    EXPECT_EQ(FWGetExitCode(), 1);
    // Not left "inside the main loop": a later call is refused for the same
    // reason, not because of a stale guard.
    EXPECT_FALSE(GetFWState().GetInsideMainloop());
}

// --- pauses -------------------------------------------------------------------------------------

TEST_F(FWTest, PausesNestAndExtraResumesAreHarmless) {
    FWGetGlobalTimer()->Reset();
    FWPause(true, true);
    FWPause(true, true);
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_TRUE(FWIsRenderingPaused());
    EXPECT_TRUE(FWGetGlobalTimer()->IsStopped());

    FWPause(false, false);
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_TRUE(FWIsRenderingPaused());
    EXPECT_TRUE(FWGetGlobalTimer()->IsStopped());

    FWPause(false, false);
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_FALSE(FWGetGlobalTimer()->IsStopped());

    // Extra resumes do not bank a negative count.
    FWPause(false, false);
    FWPause(false, false);
    FWPause(true, false);
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_TRUE(GetFWState().GetTimePaused());
    EXPECT_FALSE(GetFWState().GetRenderingPaused());
    EXPECT_EQ(GetFWState().GetPauseTimeCount(), 1);
    EXPECT_EQ(GetFWState().GetPauseRenderingCount(), 0);
}

// --- timers without a loop ------------------------------------------------------------------------

void NoOpTimer(UINT, void*) {}

TEST_F(FWTest, TimerRegistrationAndKilling) {
    EXPECT_EQ(FWKillTimer(1), S_FALSE) << "no timer list yet";

    EXPECT_EQ(FWSetTimer(nullptr, 1.0f, nullptr, nullptr), E_INVALIDARG);
    EXPECT_NE(DebugText().find(L"FWSetTimer hr=E_INVALIDARG"), std::wstring::npos);

    UINT id1 = 0;
    UINT id2 = 0;
    ASSERT_EQ(FWSetTimer(NoOpTimer, 0.5f, &id1, nullptr), S_OK);
    ASSERT_EQ(FWSetTimer(NoOpTimer, 0.5f, &id2, nullptr), S_OK);
    EXPECT_EQ(id1, 1u);
    EXPECT_EQ(id2, 2u);
    ASSERT_EQ(FWSetTimer(NoOpTimer, 0.5f, nullptr, nullptr), S_OK);  // id 3, not reported

    EXPECT_EQ(FWKillTimer(id1), S_OK);
    EXPECT_EQ(FWKillTimer(id1), S_OK) << "killing twice succeeds twice";
    DebugText().clear();
    EXPECT_EQ(FWKillTimer(99), E_INVALIDARG);
    EXPECT_NE(DebugText().find(L"FWKillTimer hr=E_INVALIDARG"), std::wstring::npos);

    // A killed timer keeps its place; the others are untouched.
    CGrowableArray<FW_TIMER>* pList = GetFWState().GetTimerList();
    ASSERT_NE(pList, nullptr);
    ASSERT_EQ(pList->GetSize(), 3);
    EXPECT_FALSE(pList->GetAt(0).bEnabled);
    EXPECT_TRUE(pList->GetAt(1).bEnabled);
    EXPECT_EQ(pList->GetAt(2).nID, 3u);
}

// --- format names ---------------------------------------------------------------------------------

TEST_F(FWTest, FormatNames) {
    const struct {
        D3DFORMAT format;
        const wchar_t* name;
    } cases[] = {
        {D3DFMT_UNKNOWN, L"D3DFMT_UNKNOWN"},   {D3DFMT_X8R8G8B8, L"D3DFMT_X8R8G8B8"},
        {D3DFMT_A2B10G10R10, L"D3DFMT_A2B10G10R10"}, {D3DFMT_D24S8, L"D3DFMT_D24S8"},
        {D3DFMT_D16_LOCKABLE, L"D3DFMT_D16_LOCKABLE"}, {D3DFMT_DXT5, L"D3DFMT_DXT5"},
        {D3DFMT_MULTI2_ARGB8, L"D3DFMT_MULTI2_ARGB8"}, {D3DFMT_CxV8U8, L"D3DFMT_CxV8U8"},
        {D3DFMT_A32B32G32R32F, L"D3DFMT_A32B32G32R32F"}, {D3DFMT_INDEX32, L"D3DFMT_INDEX32"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(FWD3DFormatToString(c.format, true), c.name);
        EXPECT_STREQ(FWD3DFormatToString(c.format, false), c.name + 7);
    }
    // Formats outside the table (two depth formats the table leaves out, and
    // a made-up value).
    for (D3DFORMAT format : {D3DFMT_D32F_LOCKABLE, D3DFMT_D24FS8, static_cast<D3DFORMAT>(999)}) {
        EXPECT_STREQ(FWD3DFormatToString(format, true), L"Unknown format");
        EXPECT_STREQ(FWD3DFormatToString(format, false), L"Unknown format");
    }
}

}  // namespace
