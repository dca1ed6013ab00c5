// The window procedure on the framework's window with a scripted windowed
// device: key and mouse state, the hot keys, the pause bookkeeping of window
// events, and the rules of messages this platform never sends by itself.
#include "fw_fixture.h"

namespace {

struct KeyCall {
    UINT key;
    bool down;
    bool alt;
};
struct MouseCall {
    bool left, right, middle, side1, side2;
    int wheel, x, y;
};
struct InputLog {
    std::vector<KeyCall> keys;
    std::vector<MouseCall> mouse;
    std::vector<UINT> messages;
    UINT swallow = 0xFFFFFFFF;  // message the message callback handles itself
};
InputLog g_input;

void RecordKey(UINT key, bool down, bool alt, void*) { g_input.keys.push_back({key, down, alt}); }
void RecordMouse(bool l, bool r, bool m, bool s1, bool s2, int wheel, int x, int y, void*) {
    g_input.mouse.push_back({l, r, m, s1, s2, wheel, x, y});
}
LRESULT RecordMessage(HWND, UINT uMsg, WPARAM, LPARAM, bool* pbNoFurtherProcessing, void*) {
    g_input.messages.push_back(uMsg);
    if (uMsg == g_input.swallow) {
        *pbNoFurtherProcessing = true;
        return 1234;
    }
    return 0;
}

class FWWindowTest : public FWTest {
protected:
    void SetUp() override {
        FWTest::SetUp();
        if (!HasDisplay()) GTEST_SKIP() << "no display to open a window on";
        g_input = InputLog();
        FWSetCallbackKeyboard(RecordKey);
        FWSetCallbackMouse(RecordMouse);
        FWSetCallbackMsgProc(RecordMessage);
        ASSERT_EQ(StartDevice(), S_OK);
        m_hWnd = FWGetHWND();
        ASSERT_NE(m_hWnd, nullptr);
        ASSERT_TRUE(FWIsWindowed());
    }

    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) { return SendMessageW(m_hWnd, uMsg, wParam, lParam); }

    HWND m_hWnd = nullptr;
};

// --- keys and mouse ------------------------------------------------------------------------

TEST_F(FWWindowTest, KeyMessagesKeepKeyStateAndReachTheKeyboardCallback) {
    Send(WM_KEYDOWN, 'A', 0);
    EXPECT_TRUE(FWIsKeyDown('A'));
    Send(WM_SYSKEYDOWN, 'B', KF_ALTDOWN_BIT);
    EXPECT_TRUE(FWIsKeyDown('B'));
    Send(WM_KEYUP, 'A', 0);
    EXPECT_FALSE(FWIsKeyDown('A'));
    Send(WM_SYSKEYUP, 'B', KF_ALTDOWN_BIT);
    EXPECT_FALSE(FWIsKeyDown('B'));

    ASSERT_EQ(g_input.keys.size(), 4u);
    EXPECT_TRUE(g_input.keys[0].key == 'A' && g_input.keys[0].down && !g_input.keys[0].alt);
    EXPECT_TRUE(g_input.keys[1].key == 'B' && g_input.keys[1].down && g_input.keys[1].alt);
    EXPECT_TRUE(g_input.keys[2].key == 'A' && !g_input.keys[2].down && !g_input.keys[2].alt);
    EXPECT_TRUE(g_input.keys[3].key == 'B' && !g_input.keys[3].down && g_input.keys[3].alt);
}

TEST_F(FWWindowTest, ShiftControlAndAltAreReadLiveNotFromMessages) {
    // Nobody holds the left Shift key on the test's display, whatever the
    // messages say.
    Send(WM_KEYDOWN, VK_LSHIFT, 0);
    EXPECT_FALSE(FWIsKeyDown(static_cast<BYTE>(VK_LSHIFT)));
    EXPECT_TRUE(GetFWState().GetKeys()[VK_LSHIFT]);
}

struct MouseCase {
    UINT message;
    WPARAM wParam;
    bool left, right, middle, side1, side2;
};

TEST_F(FWWindowTest, MouseMessagesKeepButtonStateAndReachTheMouseCallback) {
    const MouseCase cases[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, true, false, false, false, false},
        {WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, true, true, false, false, false},
        {WM_MBUTTONDBLCLK, MK_MBUTTON, false, false, true, false, false},
        {WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1, XBUTTON1), false, false, false, true, false},
        {WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON2 | MK_SHIFT, XBUTTON2), false, false, false, false, true},
        {WM_LBUTTONUP, 0, false, false, false, false, false},
    };
    for (const MouseCase& c : cases) {
        g_input.mouse.clear();
        Send(c.message, c.wParam, MAKELPARAM(-5, 300));
        ASSERT_EQ(g_input.mouse.size(), 1u) << std::hex << c.message;
        const MouseCall& call = g_input.mouse[0];
        EXPECT_EQ(call.left, c.left);
        EXPECT_EQ(call.right, c.right);
        EXPECT_EQ(call.middle, c.middle);
        EXPECT_EQ(call.side1, c.side1);
        EXPECT_EQ(call.side2, c.side2);
        EXPECT_EQ(call.x, -5);
        EXPECT_EQ(call.y, 300);
        EXPECT_EQ(call.wheel, 0);

        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(VK_LBUTTON)), c.left);
        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(VK_RBUTTON)), c.right);
        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(VK_MBUTTON)), c.middle);
        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(MK_MBUTTON)), c.middle);
        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(VK_XBUTTON1)), c.side1);
        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(MK_XBUTTON1)), c.side1);
        EXPECT_EQ(FWIsMouseButtonDown(static_cast<BYTE>(VK_XBUTTON2)), c.side2);
        EXPECT_EQ(FWIsKeyDown(static_cast<BYTE>(VK_RBUTTON)), c.right);
        EXPECT_EQ(FWIsKeyDown(static_cast<BYTE>(VK_XBUTTON2)), c.side2);
    }
}

TEST_F(FWWindowTest, WheelTakesScreenCoordinatesAndReportsTheDelta) {
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(m_hWnd, &origin));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), MAKELPARAM(origin.x + 30, origin.y + 40));
    ASSERT_EQ(g_input.mouse.size(), 1u);
    EXPECT_EQ(g_input.mouse[0].wheel, -WHEEL_DELTA);
    EXPECT_EQ(g_input.mouse[0].x, 30);
    EXPECT_EQ(g_input.mouse[0].y, 40);
}

TEST_F(FWWindowTest, MouseMovesReachTheCallbackOnlyWhenAsked) {
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(1, 2));
    EXPECT_TRUE(g_input.mouse.empty());
    FWSetCallbackMouse(RecordMouse, true);
    Send(WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(1, 2));
    ASSERT_EQ(g_input.mouse.size(), 1u);
    EXPECT_TRUE(g_input.mouse[0].right);
}

TEST_F(FWWindowTest, MessageCallbackCanStopTheFrameworksHandling) {
    g_input.swallow = WM_KEYDOWN;
    EXPECT_EQ(Send(WM_KEYDOWN, VK_ESCAPE, 0), 1234);
    EXPECT_EQ(FWGetHWND(), m_hWnd) << "Escape was handled by the application";
    // The key state and keyboard callback come before the message callback.
    EXPECT_TRUE(FWIsKeyDown(static_cast<BYTE>(VK_ESCAPE)));
    EXPECT_EQ(g_input.keys.size(), 1u);

    g_input.swallow = 0xFFFFFFFF;
    Send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(FWGetHWND(), nullptr);
    EXPECT_FALSE(IsWindow(m_hWnd));
}

// --- hot keys ----------------------------------------------------------------------------------

TEST_F(FWWindowTest, EscapeClosesTheWindowAndPostsQuit) {
    Send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(FWGetHWND(), nullptr);
    EXPECT_EQ(FWGetHWNDFocus(), nullptr);
    EXPECT_EQ(FWGetHWNDDeviceWindowed(), nullptr);
    EXPECT_EQ(FWGetHWNDDeviceFullScreen(), nullptr);
    bool bQuit = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) bQuit = true;
    EXPECT_TRUE(bQuit);
}

TEST_F(FWWindowTest, F8SwitchesWireframeOnTheDeviceAtOnce) {
    Send(WM_KEYDOWN, VK_F8, 0);
    EXPECT_TRUE(GetFWState().GetWireframeMode());
    EXPECT_EQ(PlatformScriptedLog().fillMode, static_cast<DWORD>(D3DFILL_WIREFRAME));
    Send(WM_KEYDOWN, VK_F8, 0);
    EXPECT_FALSE(GetFWState().GetWireframeMode());
    EXPECT_EQ(PlatformScriptedLog().fillMode, static_cast<DWORD>(D3DFILL_SOLID));
}

TEST_F(FWWindowTest, HotKeysOnlyWhenHandled) {
    GetFWState().SetHandleDefaultHotkeys(false);
    Send(WM_KEYDOWN, VK_F8, 0);
    Send(WM_KEYDOWN, VK_PAUSE, 0);
    Send(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(GetFWState().GetWireframeMode());
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_EQ(FWGetHWND(), m_hWnd);
}

TEST_F(FWWindowTest, F3WithoutReferenceDeviceChangesNothing) {
    const FWDeviceSettings before = FWGetDeviceSettings();
    const int created = PlatformScriptedLog().devicesCreated;
    Send(WM_KEYDOWN, VK_F3, 0);
    const FWDeviceSettings after = FWGetDeviceSettings();
    EXPECT_EQ(after.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);
    EXPECT_EQ(PlatformScriptedLog().devicesCreated, created);
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
}

TEST_F(FWWindowTest, AltEnterTogglesFullScreenAndBack) {
    RECT rcBefore{};
    GetWindowRect(m_hWnd, &rcBefore);

    Send(WM_SYSKEYDOWN, VK_RETURN, 0);  // Enter without Alt
    EXPECT_TRUE(FWIsWindowed());

    EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_RETURN, KF_ALTDOWN_BIT), 0);
    ASSERT_FALSE(FWIsWindowed());
    const D3DDISPLAYMODE& desktop = m_script.adapters[0].desktop;
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Width, desktop.Width);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Height, desktop.Height);
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());

    Send(WM_SYSKEYDOWN, VK_RETURN, KF_ALTDOWN_BIT);
    ASSERT_TRUE(FWIsWindowed());
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Width, 640u);
    EXPECT_EQ(FWGetBackBufferSurfaceDesc()->Height, 480u);
    RECT rcClient = FWGetWindowClientRect();
    EXPECT_EQ(rcClient.right, 640);
    EXPECT_EQ(rcClient.bottom, 480);
    RECT rcAfter{};
    GetWindowRect(m_hWnd, &rcAfter);
    EXPECT_EQ(rcAfter.left, rcBefore.left);
    EXPECT_EQ(rcAfter.top, rcBefore.top);
}

TEST_F(FWWindowTest, AltEnterIgnoredWhenNotHandled) {
    GetFWState().SetHandleAltEnter(false);
    Send(WM_SYSKEYDOWN, VK_RETURN, KF_ALTDOWN_BIT);
    EXPECT_TRUE(FWIsWindowed());
}

// --- window events and pauses --------------------------------------------------------------------

TEST_F(FWWindowTest, MinimiseTwiceThenRestoreRunsTimeAgain) {
    // Mended: a second "minimised" used to pause again while the restore
    // resumed once, leaving time and rendering stopped for good.
    Send(WM_SIZE, SIZE_MINIMIZED, 0);
    Send(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_TRUE(FWIsRenderingPaused());
    EXPECT_TRUE(GetFWState().GetMinimized());

    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
    EXPECT_FALSE(GetFWState().GetMinimized());
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_FALSE(FWGetGlobalTimer()->IsStopped());
}

TEST_F(FWWindowTest, MaximiseFromMinimisedResumesAndRestoreClearsMaximised) {
    Send(WM_SIZE, SIZE_MINIMIZED, 0);
    Send(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(640, 480));
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_TRUE(GetFWState().GetMaximized());
    EXPECT_FALSE(GetFWState().GetMinimized());
    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 480));
    EXPECT_FALSE(GetFWState().GetMaximized());
    EXPECT_FALSE(FWIsTimePaused());
}

TEST_F(FWWindowTest, SizeMoveAndMenuLoopHoldOnePauseEach) {
    Send(WM_ENTERSIZEMOVE);
    EXPECT_TRUE(GetFWState().GetInSizeMove());
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_TRUE(FWIsRenderingPaused());
    Send(WM_EXITSIZEMOVE);
    EXPECT_FALSE(GetFWState().GetInSizeMove());
    EXPECT_FALSE(FWIsTimePaused());

    Send(WM_ENTERMENULOOP);
    EXPECT_TRUE(FWIsRenderingPaused());
    Send(WM_EXITMENULOOP);
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_FALSE(FWIsTimePaused());
}

TEST_F(FWWindowTest, MinimumTrackingSizeIs200By200) {
    MINMAXINFO info{};
    info.ptMinTrackSize = {1, 1};
    Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 200);
}

TEST_F(FWWindowTest, RulesForMessagesThisPlatformDoesNotSendByItself) {
    EXPECT_EQ(Send(WM_MENUCHAR), 0x10000);
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMQUERYSUSPEND), TRUE);
    GetFWState().SetLastStatsUpdateTime(5.0);
    FWGetGlobalTimer()->Stop();
    EXPECT_EQ(Send(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND), TRUE);
    EXPECT_EQ(GetFWState().GetLastStatsUpdateTime(), 0.0);
    EXPECT_FALSE(FWGetGlobalTimer()->IsStopped()) << "the timer was reset";

    // Windowed, the framework leaves the hit test to default processing
    // (switched off here, so the answer is 0, not the client-area code).
    FWSetCallDefWindowProc(false);
    EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(5, 5)), 0);
}

TEST_F(FWWindowTest, FullScreenBlocksFrameGrabsAndSystemCommandsAndPausesWhenInactive) {
    ASSERT_EQ(FWToggleFullScreen(), S_OK);
    ASSERT_FALSE(FWIsWindowed());

    EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(5, 5)), HTCLIENT);
    for (WPARAM command : {SC_MOVE, SC_SIZE, SC_MAXIMIZE, SC_KEYMENU, SC_MOVE | 2}) {
        EXPECT_EQ(Send(WM_SYSCOMMAND, command), 0) << std::hex << command;
    }
    EXPECT_TRUE(Send(WM_SETCURSOR) != 0) << "the class cursor is not set in full screen";

    // Deactivated in full screen: one pause, released on reactivation.
    Send(WM_ACTIVATEAPP, FALSE);
    EXPECT_FALSE(FWIsActive());
    EXPECT_TRUE(FWIsTimePaused());
    EXPECT_TRUE(GetFWState().GetMinimizedWhileFullscreen());
    EXPECT_TRUE(GetFWState().GetAllowShortcutKeys());
    Send(WM_ACTIVATEAPP, FALSE);  // already inactive: nothing more
    Send(WM_ACTIVATEAPP, TRUE);
    EXPECT_TRUE(FWIsActive());
    EXPECT_FALSE(FWIsTimePaused());
    EXPECT_FALSE(FWIsRenderingPaused());
    EXPECT_FALSE(GetFWState().GetMinimizedWhileFullscreen());
    EXPECT_FALSE(GetFWState().GetAllowShortcutKeys()) << "full screen blocks the shortcut keys by default";
}

TEST_F(FWWindowTest, DeactivationWhileWindowedDoesNotPause) {
    Send(WM_ACTIVATEAPP, FALSE);
    EXPECT_FALSE(FWIsActive());
    EXPECT_FALSE(FWIsTimePaused());
    Send(WM_ACTIVATEAPP, TRUE);
    EXPECT_TRUE(FWIsActive());
    EXPECT_TRUE(GetFWState().GetAllowShortcutKeys());
}

TEST_F(FWWindowTest, FullScreenMouseMovesTheDeviceCursor) {
    ASSERT_EQ(FWToggleFullScreen(), S_OK);
    POINT pt{};
    ASSERT_TRUE(GetCursorPos(&pt));
    PlatformScriptedLog().cursorPosition = {-1, -1};
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
    EXPECT_EQ(PlatformScriptedLog().cursorPosition.x, pt.x);
    EXPECT_EQ(PlatformScriptedLog().cursorPosition.y, pt.y);
}

TEST_F(FWWindowTest, ShortcutKeysOffInFullScreenLeaveFeaturesInUseAlone) {
    // The user's settings at start: sticky keys off with their hot key armed,
    // filter keys switched on (with its hot key).
    ACCESSIBILITYKEYS sticky{sizeof(ACCESSIBILITYKEYS), SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY};
    ACCESSIBILITYKEYS filter{sizeof(ACCESSIBILITYKEYS), SKF_STICKYKEYSON | SKF_HOTKEYACTIVE};
    ASSERT_TRUE(SetAccessibilityKeys(AccessibilityFeature::StickyKeys, &sticky));
    ASSERT_TRUE(SetAccessibilityKeys(AccessibilityFeature::FilterKeys, &filter));
    GetFWState().SetStartupStickyKeys(sticky);
    GetFWState().SetStartupFilterKeys(filter);

    ASSERT_EQ(FWToggleFullScreen(), S_OK);
    EXPECT_FALSE(GetFWState().GetAllowShortcutKeys());
    EXPECT_NE(GetFWState().GetKeyboardHook(), nullptr) << "the Windows keys are held back";
    ACCESSIBILITYKEYS now{};
    ASSERT_TRUE(GetAccessibilityKeys(AccessibilityFeature::StickyKeys, &now));
    EXPECT_EQ(now.dwFlags & (SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY), 0u);
    ASSERT_TRUE(GetAccessibilityKeys(AccessibilityFeature::FilterKeys, &now));
    EXPECT_EQ(now.dwFlags, filter.dwFlags) << "a feature that is on is left alone";

    ASSERT_EQ(FWToggleFullScreen(), S_OK);
    EXPECT_TRUE(GetFWState().GetAllowShortcutKeys());
    EXPECT_EQ(GetFWState().GetKeyboardHook(), nullptr);
    ASSERT_TRUE(GetAccessibilityKeys(AccessibilityFeature::StickyKeys, &now));
    EXPECT_EQ(now.dwFlags, sticky.dwFlags) << "the start-up settings are back";
}

int g_paintRenders = 0;
void CountPaintRender(IDirect3DDevice9*, double, float, void*) { ++g_paintRenders; }

TEST_F(FWWindowTest, PaintDrawsOnlyWhileRenderingIsPaused) {
    g_paintRenders = 0;
    FWSetCallbackFrameRender(CountPaintRender);
    const int presents = PlatformScriptedLog().presents;
    Send(WM_PAINT);
    EXPECT_EQ(g_paintRenders, 0);
    FWPause(false, true);
    PlatformScriptedBehaviour().presentResult = D3DERR_DRIVERINTERNALERROR;
    Send(WM_PAINT);
    EXPECT_EQ(g_paintRenders, 1);
    EXPECT_EQ(PlatformScriptedLog().presents, presents + 1);
    EXPECT_TRUE(GetFWState().GetDeviceLost());
    PlatformScriptedBehaviour().presentResult = S_OK;
}

}  // namespace
