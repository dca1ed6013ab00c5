// The message queue's order, filters and quit message; mouse capture;
// monitors; message boxes.
#include <gtest/gtest.h>

#include <string>

#include "platform/window.h"
#include "platform/window_sdl.h"
#include "platform/window_test_util.h"

namespace {

class MessageQueue : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(StartTestVideo()) << SDL_GetError(); }

    void SetUp() override {
        a = CreateTestWindow(L"QueueTestClass", CS_DBLCLKS, 100, 100, 300, 300);
        b = CreateTestWindow(L"QueueTestClass", CS_DBLCLKS, 500, 200, 300, 300);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        PumpMessages();
        MessageLog().clear();
    }
    void TearDown() override {
        ReleaseCapture();
        if (IsWindow(a)) DestroyWindow(a);
        if (IsWindow(b)) DestroyWindow(b);
        PumpMessages();
        MessageLog().clear();
    }

    HWND a = nullptr;
    HWND b = nullptr;
};

TEST_F(MessageQueue, QuitComesAfterEveryPostedMessage) {
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostMessageW(b, WM_USER + 2, 0, 0);
    PostQuitMessage(7);
    PostMessageW(a, WM_USER + 3, 0, 0);
    std::vector<UINT> order;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        order.push_back(msg.message);
        if (msg.message == WM_QUIT) {
            EXPECT_EQ(msg.wParam, 7u);
            EXPECT_EQ(msg.hwnd, nullptr);
        }
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3, WM_QUIT}));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // quit is delivered once
}

TEST_F(MessageQueue, PeekWithoutRemovingLeavesTheMessage) {
    PostMessageW(a, WM_USER, 11, 22);
    MSG first, second;
    ASSERT_TRUE(PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PeekMessageW(&second, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(first.message, WM_USER);
    EXPECT_EQ(second.message, WM_USER);
    EXPECT_EQ(second.lParam, 22);

    PostQuitMessage(0);
    ASSERT_TRUE(PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(first.message, WM_QUIT);
    ASSERT_TRUE(PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(first.message, WM_QUIT);
    ASSERT_TRUE(PeekMessageW(&first, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&first, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(MessageQueue, FiltersSkipButKeepOtherMessages) {
    PostMessageW(a, WM_USER + 1, 0, 0);
    PostMessageW(b, WM_USER + 2, 0, 0);
    PostMessageW(a, WM_KEYDOWN, 'X', 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('X'));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, DestroyedWindowsTakeNoMessages) {
    PostMessageW(a, WM_USER, 0, 0);
    DestroyWindow(a);
    EXPECT_FALSE(PostMessageW(a, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageW(a, WM_USER, 0, 0), 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_FALSE(DestroyWindow(a));
}

LRESULT AnswerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(MessageQueue, SendCallsTheProcedureAtOnceAndProceduresCanBeReplaced) {
    EXPECT_EQ(SendMessageW(a, WM_USER, 21, 0), 0);  // the default procedure
    auto old = SetWindowLongPtrW(a, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&AnswerProc));
    EXPECT_EQ(old, reinterpret_cast<intptr_t>(&RecordingProc));
    EXPECT_EQ(SendMessageW(a, WM_USER, 21, 0), 42);
}

TEST_F(MessageQueue, CaptureChangesAreReportedToTheLosingWindow) {
    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(GetCapture(), a);
    EXPECT_TRUE(LoggedOfType({WM_CAPTURECHANGED}).empty());

    EXPECT_EQ(SetCapture(b), a);
    auto changed = LoggedOfType({WM_CAPTURECHANGED});
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].hwnd, a);
    EXPECT_EQ(changed[0].lParam, reinterpret_cast<LPARAM>(b));

    MessageLog().clear();
    EXPECT_TRUE(ReleaseCapture());
    changed = LoggedOfType({WM_CAPTURECHANGED});
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].hwnd, b);
    EXPECT_EQ(changed[0].lParam, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MessageQueue, DestroyingTheCaptureWindowReleasesTheCaptureFirst) {
    SetCapture(a);
    DestroyWindow(a);
    auto seq = LoggedOfType({WM_CAPTURECHANGED, WM_DESTROY});
    ASSERT_EQ(seq.size(), 2u);
    EXPECT_EQ(seq[0].message, WM_CAPTURECHANGED);
    EXPECT_EQ(seq[1].message, WM_DESTROY);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MessageQueue, MouseInputGoesToTheCaptureWindowInItsCoordinates) {
    SetCapture(b);
    SDL_Event e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = SdlIdOf(a);
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = 10;
    e.button.y = 20;
    PlatformQueueSdlEvent(&e);
    e.type = SDL_MOUSEBUTTONUP;
    PlatformQueueSdlEvent(&e);
    PumpMessages();
    POINT p = {10, 20};
    ClientToScreen(a, &p);
    ScreenToClient(b, &p);
    auto down = LoggedOfType({WM_LBUTTONDOWN});
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].hwnd, b);
    EXPECT_EQ(GET_X_LPARAM(down[0].lParam), p.x);
    EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), p.y);
}

TEST_F(MessageQueue, ScreenAndClientCoordinatesRoundTrip) {
    POINT p = {3, 4};
    ASSERT_TRUE(ClientToScreen(a, &p));
    RECT wr;
    ASSERT_TRUE(GetWindowRect(a, &wr));
    EXPECT_GE(p.x, wr.left);
    EXPECT_GE(p.y, wr.top);
    ASSERT_TRUE(ScreenToClient(a, &p));
    EXPECT_EQ(p, (POINT{3, 4}));
}

TEST_F(MessageQueue, MonitorsAreTheDisplays) {
    ASSERT_GE(PlatformDisplayCount(), 1);
    HMONITOR m = MonitorFromWindow(a, MONITOR_DEFAULTTOPRIMARY);
    ASSERT_NE(m, nullptr);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(m, &info));
    EXPECT_GT(RectWidth(info.rcMonitor), 0);
    EXPECT_GE(info.rcWork.left, info.rcMonitor.left);
    EXPECT_LE(info.rcWork.right, info.rcMonitor.right);
    EXPECT_EQ(PlatformMonitorOfDisplay(0), MonitorFromPoint({info.rcMonitor.left, info.rcMonitor.top}, 0));

    POINT far = {-100000, -100000};
    EXPECT_EQ(MonitorFromPoint(far, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_NE(MonitorFromPoint(far, MONITOR_DEFAULTTONEAREST), nullptr);
    EXPECT_EQ(PlatformMonitorOfDisplay(PlatformDisplayCount()), nullptr);
    EXPECT_FALSE(GetMonitorInfoW(nullptr, &info));
}

TEST_F(MessageQueue, WindowClassesAreRegisteredOnceAndKeptWhileInUse) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &RecordingProc;
    wc.lpszClassName = L"QueueTestClass";
    EXPECT_EQ(RegisterClassW(&wc), ERROR_CLASS_ALREADY_EXISTS_HR);
    EXPECT_FALSE(UnregisterClassW(L"QueueTestClass", nullptr));  // windows use it
    EXPECT_EQ(CreateWindowW(L"NoSuchClass", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr),
              nullptr);
    EXPECT_TRUE(FAILED(GetLastErrorHR()));
}

TEST_F(MessageQueue, TitleStyleAndTopmost) {
    ASSERT_TRUE(SetWindowTextW(a, L"Trevolia \u00fc"));
    wchar_t text[8];
    EXPECT_EQ(GetWindowTextW(a, text, 8), 7);
    EXPECT_EQ(std::wstring(text), L"Trevoli");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(a, GWL_STYLE)) & WS_THICKFRAME, WS_THICKFRAME);
    SetWindowLongPtrW(a, GWL_STYLE, WS_POPUP);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(a, GWL_STYLE)) & WS_POPUP, WS_POPUP);
    SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(a, GWL_EXSTYLE)) & WS_EX_TOPMOST, WS_EX_TOPMOST);
    SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(a, GWL_EXSTYLE)) & WS_EX_TOPMOST, 0u);
}

// --- message boxes ------------------------------------------------------------------

std::wstring g_boxText;
std::wstring g_boxCaption;
UINT g_boxType = 0;
int g_boxAnswer = 0;

int AnswerBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    g_boxText = text;
    g_boxCaption = caption;
    g_boxType = type;
    return g_boxAnswer;
}

TEST(MessageBoxes, TheHookAnswersInsteadOfAPerson) {
    PlatformSetMessageBoxHook(&AnswerBox);
    g_boxAnswer = IDNO;
    EXPECT_EQ(MessageBoxW(nullptr, L"Do you want to debug the application?", L"Unexpected error encountered",
                          MB_YESNO | MB_ICONERROR),
              IDNO);
    EXPECT_EQ(g_boxCaption, L"Unexpected error encountered");
    EXPECT_EQ(g_boxType, MB_YESNO | MB_ICONERROR);
    g_boxAnswer = IDYES + 0x80;
    EXPECT_EQ(ShowReferenceDeviceWarning(nullptr, L"Title", L"Switching"), IDYES + 0x80);
    EXPECT_EQ(g_boxType, 0xFFFFFFFFu);
    EXPECT_EQ(g_boxText, L"Switching");
    PlatformSetMessageBoxHook(nullptr);
}

TEST(MessageBoxes, WithoutAPersonEveryBoxAnswersItsDefaultAtOnce) {
    setenv("TREVOLIA_NO_MESSAGE_BOXES", "1", 1);
    PlatformSetMessageBoxHook(nullptr);
    EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(ShowReferenceDeviceWarning(nullptr, L"caption", L"text"), IDYES);
}

}  // namespace
