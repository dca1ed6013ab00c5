// SDL events arrive at the window procedure as the right messages.
#include <gtest/gtest.h>

#include "platform/window.h"
#include "platform/window_sdl.h"
#include "platform/window_test_util.h"

namespace {

class WindowEvents : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartTestVideo()) << SDL_GetError(); }

    void SetUp() override {
        hwnd = CreateTestWindow(L"EventTestClass", CS_DBLCLKS, 120, 90, 320, 240);
        ASSERT_NE(hwnd, nullptr);
        PumpMessages();
        MessageLog().clear();
    }
    void TearDown() override {
        ReleaseCapture();
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
        PumpMessages();
        MessageLog().clear();
    }

    void Key(SDL_Keycode sym, bool down, Uint16 mod = 0, bool repeat = false, uint32_t time = 1000) {
        SDL_Event e = {};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.timestamp = time;
        e.key.windowID = SdlIdOf(hwnd);
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = SDL_GetScancodeFromKey(sym);
        e.key.keysym.mod = mod;
        PlatformQueueSdlEvent(&e);
    }
    void Text(const char* utf8) {
        SDL_Event e = {};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = SdlIdOf(hwnd);
        SDL_strlcpy(e.text.text, utf8, sizeof(e.text.text));
        PlatformQueueSdlEvent(&e);
    }
    void Button(Uint8 button, bool down, int x, int y, uint32_t time, HWND window = nullptr) {
        SDL_Event e = {};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.timestamp = time;
        e.button.windowID = SdlIdOf(window ? window : hwnd);
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x;
        e.button.y = y;
        PlatformQueueSdlEvent(&e);
    }
    void Window(Uint8 event, int data1 = 0, int data2 = 0) {
        SDL_Event e = {};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SdlIdOf(hwnd);
        e.window.event = event;
        e.window.data1 = data1;
        e.window.data2 = data2;
        PlatformQueueSdlEvent(&e);
    }

    HWND hwnd = nullptr;
};

// --- keys ------------------------------------------------------------------------

struct KeyCase {
    const char* name;
    SDL_Keycode sym;
    bool down;
    Uint16 mod;
    bool repeat;
    UINT message;
    UINT vk;
    bool altBit;
    bool repeatBit;
};

const KeyCase kKeyCases[] = {
    {"letter down", SDLK_a, true, 0, false, WM_KEYDOWN, 'A', false, false},
    {"letter auto-repeat", SDLK_a, true, 0, true, WM_KEYDOWN, 'A', false, true},
    {"letter up", SDLK_a, false, 0, false, WM_KEYUP, 'A', false, true},
    {"letter with Alt", SDLK_a, true, KMOD_LALT, false, WM_SYSKEYDOWN, 'A', true, false},
    {"letter up with Alt", SDLK_a, false, KMOD_LALT, false, WM_SYSKEYUP, 'A', true, true},
    {"Enter with right Alt", SDLK_RETURN, true, KMOD_RALT, false, WM_SYSKEYDOWN, VK_RETURN, true, false},
    {"Enter without Alt", SDLK_RETURN, true, 0, false, WM_KEYDOWN, VK_RETURN, false, false},
    {"F10 alone is a system key", SDLK_F10, true, 0, false, WM_SYSKEYDOWN, VK_F10, false, false},
    {"F10 up", SDLK_F10, false, 0, false, WM_SYSKEYUP, VK_F10, false, true},
    {"Alt itself", SDLK_LALT, true, KMOD_LALT, false, WM_SYSKEYDOWN, VK_MENU, true, false},
    {"Ctrl+Alt is not a system key", SDLK_e, true, KMOD_LCTRL | KMOD_RALT, false, WM_KEYDOWN, 'E', true, false},
    {"right Shift is VK_SHIFT", SDLK_RSHIFT, true, KMOD_RSHIFT, false, WM_KEYDOWN, VK_SHIFT, false, false},
    {"right Ctrl is VK_CONTROL", SDLK_RCTRL, true, KMOD_RCTRL, false, WM_KEYDOWN, VK_CONTROL, false, false},
    {"digit", SDLK_7, true, 0, false, WM_KEYDOWN, '7', false, false},
    {"F3", SDLK_F3, true, 0, false, WM_KEYDOWN, VK_F3, false, false},
    {"F8", SDLK_F8, true, 0, false, WM_KEYDOWN, VK_F8, false, false},
    {"F24", SDLK_F24, true, 0, false, WM_KEYDOWN, VK_F24, false, false},
    {"page up", SDLK_PAGEUP, true, 0, false, WM_KEYDOWN, VK_PRIOR, false, false},
    {"page down", SDLK_PAGEDOWN, true, 0, false, WM_KEYDOWN, VK_NEXT, false, false},
    {"home", SDLK_HOME, true, 0, false, WM_KEYDOWN, VK_HOME, false, false},
    {"end", SDLK_END, true, 0, false, WM_KEYDOWN, VK_END, false, false},
    {"insert", SDLK_INSERT, true, 0, false, WM_KEYDOWN, VK_INSERT, false, false},
    {"delete", SDLK_DELETE, true, 0, false, WM_KEYDOWN, VK_DELETE, false, false},
    {"left", SDLK_LEFT, true, 0, false, WM_KEYDOWN, VK_LEFT, false, false},
    {"down", SDLK_DOWN, true, 0, false, WM_KEYDOWN, VK_DOWN, false, false},
    {"numpad 5", SDLK_KP_5, true, 0, false, WM_KEYDOWN, VK_NUMPAD5, false, false},
    {"numpad plus", SDLK_KP_PLUS, true, 0, false, WM_KEYDOWN, VK_ADD, false, false},
    {"pause", SDLK_PAUSE, true, 0, false, WM_KEYDOWN, VK_PAUSE, false, false},
    {"escape", SDLK_ESCAPE, true, 0, false, WM_KEYDOWN, VK_ESCAPE, false, false},
    {"tab", SDLK_TAB, true, 0, false, WM_KEYDOWN, VK_TAB, false, false},
    {"space", SDLK_SPACE, true, 0, false, WM_KEYDOWN, VK_SPACE, false, false},
};

TEST_F(WindowEvents, KeyEventsBecomeKeyMessagesWithAltAndRepeatBits) {
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.name);
        MessageLog().clear();
        Key(c.sym, c.down, c.mod, c.repeat);
        PumpMessages(false);
        auto keys = LoggedOfType({WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP});
        ASSERT_EQ(keys.size(), 1u);
        EXPECT_EQ(keys[0].hwnd, hwnd);
        EXPECT_EQ(keys[0].message, c.message);
        EXPECT_EQ(keys[0].wParam, c.vk);
        EXPECT_EQ((keys[0].lParam & KF_ALTDOWN_BIT) != 0, c.altBit);
        EXPECT_EQ((keys[0].lParam & KF_REPEAT_BIT) != 0, c.repeatBit);
        EXPECT_EQ((keys[0].lParam & KF_UP_BIT) != 0, !c.down);
        Key(c.sym, false);  // leave no key recorded as down
        PumpMessages(false);
    }
}

TEST_F(WindowEvents, KeyStateFollowsModifierSidesAndOtherKeys) {
    Key(SDLK_RSHIFT, true, KMOD_RSHIFT);
    Key(SDLK_q, true, KMOD_RSHIFT);
    PumpMessages();
    EXPECT_TRUE(GetKeyState(VK_SHIFT) & 0x8000);
    EXPECT_TRUE(GetAsyncKeyState(VK_RSHIFT) & 0x8000);
    EXPECT_FALSE(GetAsyncKeyState(VK_LSHIFT) & 0x8000);
    EXPECT_TRUE(GetKeyState('Q') & 0x8000);
    Key(SDLK_q, false);
    Key(SDLK_RSHIFT, false);
    PumpMessages();
    EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);
    EXPECT_FALSE(GetKeyState('Q') & 0x8000);
}

TEST_F(WindowEvents, TypedTextBecomesCharMessagesOnlyThroughTranslate) {
    Key(SDLK_a, true, KMOD_LSHIFT);
    Text("A");
    Key(SDLK_a, false, KMOD_LSHIFT);
    PumpMessages(true);
    auto seq = LoggedOfType({WM_KEYDOWN, WM_CHAR, WM_KEYUP});
    ASSERT_EQ(seq.size(), 3u);
    EXPECT_EQ(seq[0].message, WM_KEYDOWN);
    EXPECT_EQ(seq[1].message, WM_CHAR);
    EXPECT_EQ(seq[1].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(seq[2].message, WM_KEYUP);

    MessageLog().clear();
    Key(SDLK_b, true);
    Text("b");
    PumpMessages(false);
    EXPECT_TRUE(LoggedOfType({WM_CHAR}).empty());
    Key(SDLK_b, false);
    PumpMessages();
}

TEST_F(WindowEvents, TextArrivingAfterItsKeyWasTranslatedStillComes) {
    Key(SDLK_e, true);
    PumpMessages(true);  // the key is taken and translated before its text arrives
    Text("\xC3\xA9");    // é
    PumpMessages(true);
    auto chars = LoggedOfType({WM_CHAR});
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>(0xE9));
    Key(SDLK_e, false);
    PumpMessages();
}

TEST_F(WindowEvents, ControlKeysTypeControlCharacters) {
    const std::pair<SDL_Keycode, WPARAM> cases[] = {
        {SDLK_RETURN, '\r'}, {SDLK_BACKSPACE, '\b'}, {SDLK_TAB, '\t'}, {SDLK_ESCAPE, 0x1B}};
    for (auto [sym, ch] : cases) {
        MessageLog().clear();
        Key(sym, true);
        Key(sym, false);
        PumpMessages(true);
        auto chars = LoggedOfType({WM_CHAR});
        ASSERT_EQ(chars.size(), 1u);
        EXPECT_EQ(chars[0].wParam, ch);
    }
}

// --- mouse -----------------------------------------------------------------------

struct ClickCase {
    const char* name;
    uint32_t secondTime;  // after the first press at 1000
    int secondX;
    Uint8 secondButton;
    UINT expected;
};

TEST_F(WindowEvents, SecondPressWithinTimeAndDistanceIsADoubleClick) {
    const uint32_t limit = GetDoubleClickTime();
    const ClickCase cases[] = {
        {"quick and close", 1000 + limit / 2, 12, SDL_BUTTON_LEFT, WM_LBUTTONDBLCLK},
        {"at the time limit", 1000 + limit, 10, SDL_BUTTON_LEFT, WM_LBUTTONDBLCLK},
        {"too slow", 1000 + limit + 1, 10, SDL_BUTTON_LEFT, WM_LBUTTONDOWN},
        {"too far", 1000 + 10, 30, SDL_BUTTON_LEFT, WM_LBUTTONDOWN},
        {"other button", 1000 + 10, 10, SDL_BUTTON_RIGHT, WM_RBUTTONDOWN},
        {"right double", 1000 + 10, 10, SDL_BUTTON_RIGHT, WM_RBUTTONDBLCLK},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        Uint8 first = (c.expected == WM_RBUTTONDBLCLK) ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
        Button(first, true, 10, 10, 1000);
        Button(first, false, 10, 10, 1005);
        PumpMessages();
        MessageLog().clear();
        Button(c.secondButton, true, c.secondX, 10, c.secondTime);
        Button(c.secondButton, false, c.secondX, 10, c.secondTime + 5);
        PumpMessages();
        ASSERT_GE(MessageLog().size(), 1u);
        EXPECT_EQ(MessageLog()[0].message, c.expected);
        // A third press starts over.
        Button(c.secondButton, true, c.secondX, 10, c.secondTime + 100000);
        Button(c.secondButton, false, c.secondX, 10, c.secondTime + 100005);
        PumpMessages();
    }
}

TEST_F(WindowEvents, TripleClickIsDownDoubleDown) {
    Button(SDL_BUTTON_LEFT, true, 5, 5, 5000);
    Button(SDL_BUTTON_LEFT, false, 5, 5, 5010);
    Button(SDL_BUTTON_LEFT, true, 5, 5, 5020);
    Button(SDL_BUTTON_LEFT, false, 5, 5, 5030);
    Button(SDL_BUTTON_LEFT, true, 5, 5, 5040);
    Button(SDL_BUTTON_LEFT, false, 5, 5, 5050);
    PumpMessages();
    auto presses = LoggedOfType({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK});
    ASSERT_EQ(presses.size(), 3u);
    EXPECT_EQ(presses[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(presses[1].message, WM_LBUTTONDBLCLK);
    EXPECT_EQ(presses[2].message, WM_LBUTTONDOWN);
}

TEST_F(WindowEvents, ClassWithoutDoubleClicksGetsTwoPresses) {
    HWND plain = CreateTestWindow(L"NoDoubleClickClass", 0, 10, 10, 300, 300);
    ASSERT_NE(plain, nullptr);
    Button(SDL_BUTTON_LEFT, true, 5, 5, 1000, plain);
    Button(SDL_BUTTON_LEFT, false, 5, 5, 1010, plain);
    Button(SDL_BUTTON_LEFT, true, 5, 5, 1020, plain);
    Button(SDL_BUTTON_LEFT, false, 5, 5, 1030, plain);
    PumpMessages();
    auto presses = LoggedOfType({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK});
    ASSERT_EQ(presses.size(), 2u);
    EXPECT_EQ(presses[1].message, WM_LBUTTONDOWN);
    DestroyWindow(plain);
}

TEST_F(WindowEvents, ButtonFlagsSideButtonsAndModifiers) {
    struct Step {
        Uint8 button;
        bool down;
        UINT message;
        WPARAM flags;
        WORD high;
    };
    Key(SDLK_LCTRL, true, KMOD_LCTRL);
    PumpMessages();
    const Step steps[] = {
        {SDL_BUTTON_LEFT, true, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 0},
        {SDL_BUTTON_MIDDLE, true, WM_MBUTTONDOWN, MK_LBUTTON | MK_MBUTTON | MK_CONTROL, 0},
        {SDL_BUTTON_X1, true, WM_XBUTTONDOWN, MK_LBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_CONTROL, XBUTTON1},
        {SDL_BUTTON_X2, true, WM_XBUTTONDOWN, MK_LBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2 | MK_CONTROL, XBUTTON2},
        {SDL_BUTTON_X1, false, WM_XBUTTONUP, MK_LBUTTON | MK_MBUTTON | MK_XBUTTON2 | MK_CONTROL, XBUTTON1},
        {SDL_BUTTON_LEFT, false, WM_LBUTTONUP, MK_MBUTTON | MK_XBUTTON2 | MK_CONTROL, 0},
        {SDL_BUTTON_RIGHT, true, WM_RBUTTONDOWN, MK_RBUTTON | MK_MBUTTON | MK_XBUTTON2 | MK_CONTROL, 0},
    };
    uint32_t t = 20000;
    for (const Step& s : steps) {
        MessageLog().clear();
        Button(s.button, s.down, 7, 9, t += 1000);
        PumpMessages();
        ASSERT_EQ(MessageLog().size(), 1u);
        EXPECT_EQ(MessageLog()[0].message, s.message);
        EXPECT_EQ(LOWORD(MessageLog()[0].wParam), s.flags);
        EXPECT_EQ(HIWORD(MessageLog()[0].wParam), s.high);
        EXPECT_EQ(MessageLog()[0].lParam, MAKELPARAM(7, 9));
    }
    EXPECT_TRUE(GetKeyState(VK_RBUTTON) & 0x8000);
    Button(SDL_BUTTON_MIDDLE, false, 7, 9, t += 1000);
    Button(SDL_BUTTON_X2, false, 7, 9, t += 1000);
    Button(SDL_BUTTON_RIGHT, false, 7, 9, t += 1000);
    Key(SDLK_LCTRL, false);
    PumpMessages();
}

TEST_F(WindowEvents, WheelCarriesDeltaAndScreenCoordinates) {
    struct WheelCase {
        int y;
        float preciseY;
        Uint32 direction;
        int delta;
    };
    const WheelCase cases[] = {
        {1, 1.0f, SDL_MOUSEWHEEL_NORMAL, 120},   {-2, -2.0f, SDL_MOUSEWHEEL_NORMAL, -240},
        {1, 1.0f, SDL_MOUSEWHEEL_FLIPPED, -120}, {0, 0.5f, SDL_MOUSEWHEEL_NORMAL, 60},
        {3, 0.0f, SDL_MOUSEWHEEL_NORMAL, 360},
    };
    POINT screen = {25, 35};
    ASSERT_TRUE(ClientToScreen(hwnd, &screen));
    for (const WheelCase& c : cases) {
        MessageLog().clear();
        SDL_Event e = {};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = SdlIdOf(hwnd);
        e.wheel.y = c.y;
        e.wheel.preciseY = c.preciseY;
        e.wheel.direction = c.direction;
        e.wheel.mouseX = 25;
        e.wheel.mouseY = 35;
        PlatformQueueSdlEvent(&e);
        PumpMessages();
        ASSERT_EQ(MessageLog().size(), 1u);
        EXPECT_EQ(MessageLog()[0].message, WM_MOUSEWHEEL);
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(MessageLog()[0].wParam), c.delta);
        EXPECT_EQ(GET_X_LPARAM(MessageLog()[0].lParam), screen.x);
        EXPECT_EQ(GET_Y_LPARAM(MessageLog()[0].lParam), screen.y);
    }
}

TEST_F(WindowEvents, MotionOutsideTheCapturingWindowHasNegativeCoordinates) {
    SetCapture(hwnd);
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = SdlIdOf(hwnd);
    e.motion.state = SDL_BUTTON_LMASK;
    e.motion.x = -5;
    e.motion.y = -300;
    PlatformQueueSdlEvent(&e);
    PumpMessages();
    auto moves = LoggedOfType({WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), -5);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), -300);
    EXPECT_EQ(moves[0].wParam & MK_LBUTTON, MK_LBUTTON);
}

// --- window events ------------------------------------------------------------------

TEST_F(WindowEvents, MinimiseRestoreMaximiseReportTheirSizes) {
    RECT client;
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    ASSERT_GT(client.right, 0);

    Window(SDL_WINDOWEVENT_MINIMIZED);
    PumpMessages();
    auto sizes = LoggedOfType({WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, SIZE_MINIMIZED);
    EXPECT_EQ(sizes[0].lParam, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    RECT minimised;
    GetClientRect(hwnd, &minimised);
    EXPECT_EQ(minimised.bottom, 0);  // what the framework tests for a rapid minimise

    MessageLog().clear();
    Window(SDL_WINDOWEVENT_RESTORED);
    PumpMessages();
    sizes = LoggedOfType({WM_SIZE});
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, SIZE_RESTORED);
    EXPECT_EQ(sizes[0].lParam, MAKELPARAM(client.right, client.bottom));
    EXPECT_FALSE(IsIconic(hwnd));

    MessageLog().clear();
    Window(SDL_WINDOWEVENT_MAXIMIZED);
    Window(SDL_WINDOWEVENT_SIZE_CHANGED, 1000, 700);
    Window(SDL_WINDOWEVENT_RESIZED, 1000, 700);  // the same change again
    PumpMessages();
    sizes = LoggedOfType({WM_SIZE});
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].wParam, SIZE_MAXIMIZED);
    EXPECT_EQ(sizes[1].wParam, SIZE_MAXIMIZED);
    EXPECT_EQ(sizes[1].lParam, MAKELPARAM(1000, 700));
    EXPECT_TRUE(IsZoomed(hwnd));

    MessageLog().clear();
    Window(SDL_WINDOWEVENT_MINIMIZED);
    PumpMessages();
    WINDOWPLACEMENT wp = {};
    ASSERT_TRUE(GetWindowPlacement(hwnd, &wp));
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
    EXPECT_EQ(wp.flags & WPF_RESTORETOMAXIMIZED, WPF_RESTORETOMAXIMIZED);
}

TEST_F(WindowEvents, ShowWindowReportsTheNewStateAtOnce) {
    ShowWindow(hwnd, SW_MINIMIZE);
    auto sizes = LoggedOfType({WM_SIZE});  // sent, not queued
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, SIZE_MINIMIZED);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    ShowWindow(hwnd, SW_RESTORE);
    sizes = LoggedOfType({WM_SIZE});
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[1].wParam, SIZE_RESTORED);
    EXPECT_GT(LOWORD(sizes[1].lParam), 0);
    ShowWindow(hwnd, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(WindowEvents, MoveFocusAndPaint) {
    Window(SDL_WINDOWEVENT_MOVED, 333, 222);
    Window(SDL_WINDOWEVENT_FOCUS_GAINED);
    Window(SDL_WINDOWEVENT_EXPOSED);
    Window(SDL_WINDOWEVENT_EXPOSED);  // one pending paint is enough
    Window(SDL_WINDOWEVENT_FOCUS_LOST);
    PumpMessages();
    auto moves = LoggedOfType({WM_MOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(333, 222));
    auto activations = LoggedOfType({WM_ACTIVATEAPP});
    ASSERT_EQ(activations.size(), 2u);
    EXPECT_EQ(activations[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(activations[1].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(LoggedOfType({WM_PAINT}).size(), 1u);
}

TEST_F(WindowEvents, UserCloseGivesCloseThenDestroy) {
    Window(SDL_WINDOWEVENT_CLOSE);
    PumpMessages();
    auto seq = LoggedOfType({WM_CLOSE, WM_DESTROY});
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(seq[0].message, WM_CLOSE);
    EXPECT_EQ(seq[1].message, WM_DESTROY);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(PlatformSdlWindow(hwnd), nullptr);
}

TEST_F(WindowEvents, FocusLossEndsTheCapture) {
    SetCapture(hwnd);
    Window(SDL_WINDOWEVENT_FOCUS_GAINED);
    Window(SDL_WINDOWEVENT_FOCUS_LOST);
    PumpMessages();
    auto changed = LoggedOfType({WM_CAPTURECHANGED});
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].lParam, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(WindowEvents, MinimumTrackingSizeComesFromTheWindowProcedure) {
    // Asked once at creation (before this test's log started).
    int w = 0, h = 0;
    SDL_GetWindowMinimumSize(PlatformSdlWindow(hwnd), &w, &h);
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, false);
    EXPECT_EQ(w, 200 - RectWidth(frame));
    EXPECT_EQ(h, 200 - RectHeight(frame));
}

TEST_F(WindowEvents, AdjustedRectangleGivesTheClientSizeAsked) {
    RECT r = {0, 0, 500, 400};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, false);
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 50, 60, RectWidth(r), RectHeight(r), SWP_NOZORDER));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 500);
    EXPECT_EQ(client.bottom, 400);
    auto sizes = LoggedOfType({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().lParam, MAKELPARAM(500, 400));
    WINDOWPLACEMENT wp = {};
    GetWindowPlacement(hwnd, &wp);
    EXPECT_EQ(RectWidth(wp.rcNormalPosition), RectWidth(r));
}

}  // namespace
