// The window: creation or adoption, the window procedure with its hot keys,
// key and mouse state, the shortcut-key switch and the cursor set-up.
#include <cwchar>

#include "common/fw_internal.h"

namespace {

constexpr const wchar_t* kWindowClassName = L"Direct3DWindowClass";

// Performs init with defaults when it has not succeeded; E_FAIL at once when
// it was attempted and failed.
HRESULT EnsureInit() {
    FWState& s = GetFWState();
    if (s.GetInited()) return S_OK;
    if (s.GetInitCalled()) return E_FAIL;
    return FWInit();
}

// The low-level keyboard hook: swallows the Windows keys while shortcut keys
// are not allowed.
bool SwallowShortcutKey(UINT virtualKey) {
    if (GetFWState().GetAllowShortcutKeys()) return false;
    return virtualKey == VK_LWIN || virtualKey == VK_RWIN;
}

// A device cursor from a system cursor: this platform's layer gives no access
// to a system cursor's images, so there is nothing to convert and the caller
// keeps the system cursor.
HRESULT SetDeviceCursor(IDirect3DDevice9* pd3dDevice, HCURSOR hCursor) {
    if (pd3dDevice == nullptr || hCursor == nullptr) return E_FAIL;
    return E_NOTIMPL;
}

bool IsMouseMessage(UINT uMsg) {
    switch (uMsg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_XBUTTONDOWN:
        case WM_XBUTTONUP:
        case WM_XBUTTONDBLCLK:
        case WM_MOUSEWHEEL:
            return true;
        default:
            return false;
    }
}

}  // namespace

// --- window creation ---------------------------------------------------------------

HRESULT FWCreateWindow(const wchar_t* strWindowTitle, HINSTANCE hInstance, HICON hIcon, HMENU hMenu, int x, int y) {
    FWState& s = GetFWState();

    if (s.GetInsideDeviceCallback()) return FWTrace(__FILE__, __LINE__, E_FAIL, L"FWCreateWindow", true);

    s.SetWindowCreateCalled(true);

    if (HRESULT hr = EnsureInit(); FAILED(hr)) return hr;

    // One window per process.
    if (s.GetHWNDFocus() != nullptr) return S_OK;

    if (hInstance == nullptr) hInstance = GetModuleHandleW(nullptr);
    s.SetHInstance(hInstance);

    if (hIcon == nullptr) {
        wchar_t szExePath[MAX_PATH];
        if (GetModuleFileNameW(nullptr, szExePath, MAX_PATH) > 0) hIcon = ExtractIconW(hInstance, szExePath, 0);
    }

    WNDCLASSW wndClass{};
    wndClass.style = CS_DBLCLKS;
    wndClass.lpfnWndProc = FWStaticWndProc;
    wndClass.hInstance = hInstance;
    wndClass.hIcon = hIcon;
    wndClass.hCursor = LoadStandardArrowCursor();
    wndClass.lpszMenuName = nullptr;
    wndClass.lpszClassName = kWindowClassName;
    HRESULT hr = RegisterClassW(&wndClass);
    if (FAILED(hr) && hr != ERROR_CLASS_ALREADY_EXISTS_HR) return FWTrace(__FILE__, __LINE__, hr, L"RegisterClass", true);

    if (s.GetOverrideStartX() != -1) x = s.GetOverrideStartX();
    if (s.GetOverrideStartY() != -1) y = s.GetOverrideStartY();
    s.SetWindowCreatedWithDefaultPositions(x == CW_USEDEFAULT && y == CW_USEDEFAULT);

    int nDefaultWidth = 640;
    int nDefaultHeight = 480;
    if (s.GetOverrideWidth() != 0) nDefaultWidth = s.GetOverrideWidth();
    if (s.GetOverrideHeight() != 0) nDefaultHeight = s.GetOverrideHeight();
    RECT rc;
    SetRect(&rc, 0, 0, nDefaultWidth, nDefaultHeight);
    AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, hMenu != nullptr);

    StringCchCopyW(s.GetWindowTitle(), FWState::kWindowTitleSize, strWindowTitle != nullptr ? strWindowTitle : L"");

    HWND hWnd = CreateWindowW(kWindowClassName, s.GetWindowTitle(), WS_OVERLAPPEDWINDOW, x, y, rc.right - rc.left,
                              rc.bottom - rc.top, nullptr, hMenu, hInstance, nullptr);
    if (hWnd == nullptr) {
        hr = GetLastErrorHR();
        if (SUCCEEDED(hr)) hr = E_FAIL;
        return FWTrace(__FILE__, __LINE__, hr, L"CreateWindow", true);
    }

    s.SetWindowCreated(true);
    s.SetHWNDFocus(hWnd);
    s.SetHWNDDeviceFullScreen(hWnd);
    s.SetHWNDDeviceWindowed(hWnd);
    return S_OK;
}

HRESULT FWSetWindow(HWND hWndFocus, HWND hWndDeviceFullScreen, HWND hWndDeviceWindowed, bool bHandleMessages) {
    FWState& s = GetFWState();

    if (s.GetInsideDeviceCallback()) return FWTrace(__FILE__, __LINE__, E_FAIL, L"FWCreateWindow", true);

    s.SetWindowCreateCalled(true);

    if (hWndFocus == nullptr || hWndDeviceFullScreen == nullptr || hWndDeviceWindowed == nullptr)
        return FWTrace(__FILE__, __LINE__, E_INVALIDARG, L"FWSetWindow", true);

    if (bHandleMessages) {
        const intptr_t wndProc = reinterpret_cast<intptr_t>(&FWStaticWndProc);
        SetWindowLongPtrW(hWndFocus, GWLP_WNDPROC, wndProc);
        if (GetWindowLongPtrW(hWndFocus, GWLP_WNDPROC) != wndProc) {
            HRESULT hr = GetLastErrorHR();
            if (SUCCEEDED(hr)) hr = E_FAIL;
            return FWTrace(__FILE__, __LINE__, hr, L"SetWindowLongPtr", true);
        }
    }

    if (HRESULT hr = EnsureInit(); FAILED(hr)) return hr;

    wchar_t strTitle[FWState::kWindowTitleSize];
    strTitle[0] = 0;
    GetWindowTextW(hWndFocus, strTitle, static_cast<int>(FWState::kWindowTitleSize));
    strTitle[FWState::kWindowTitleSize - 1] = 0;
    StringCchCopyW(s.GetWindowTitle(), FWState::kWindowTitleSize, strTitle);

    // Windows here belong to the program's own module.
    s.SetHInstance(GetModuleHandleW(nullptr));
    s.SetWindowCreatedWithDefaultPositions(false);
    s.SetWindowCreated(true);
    s.SetHWNDFocus(hWndFocus);
    s.SetHWNDDeviceFullScreen(hWndDeviceFullScreen);
    s.SetHWNDDeviceWindowed(hWndDeviceWindowed);
    return S_OK;
}

HRESULT FWEnsureWindow() {
    FWState& s = GetFWState();
    if (s.GetWindowCreated()) return S_OK;
    if (s.GetWindowCreateCalled()) return E_FAIL;
    return FWCreateWindow();
}

// --- window procedure ------------------------------------------------------------------

LRESULT FWStaticWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    FWState& s = GetFWState();

    // Keys: remember the state and tell the application.
    if (uMsg == WM_KEYDOWN || uMsg == WM_SYSKEYDOWN || uMsg == WM_KEYUP || uMsg == WM_SYSKEYUP) {
        bool bKeyDown = (uMsg == WM_KEYDOWN || uMsg == WM_SYSKEYDOWN);
        bool bAltDown = (lParam & KF_ALTDOWN_BIT) != 0;
        s.GetKeys()[static_cast<BYTE>(wParam & 0xFF)] = bKeyDown;
        if (LPFWCALLBACKKEYBOARD pCallback = s.GetKeyboardFunc())
            pCallback(static_cast<UINT>(wParam), bKeyDown, bAltDown, s.GetKeyboardFuncUserContext());
    }

    // Mouse: consolidate the button messages for the application.
    if (IsMouseMessage(uMsg) || (uMsg == WM_MOUSEMOVE && s.GetNotifyOnMouseMove())) {
        int xPos = GET_X_LPARAM(lParam);
        int yPos = GET_Y_LPARAM(lParam);
        int nMouseWheelDelta = 0;
        if (uMsg == WM_MOUSEWHEEL) {
            // The wheel reports screen coordinates.
            POINT pt{xPos, yPos};
            ScreenToClient(hWnd, &pt);
            xPos = pt.x;
            yPos = pt.y;
            nMouseWheelDelta = GET_WHEEL_DELTA_WPARAM(wParam);
        }
        WORD nMouseButtonState = LOWORD(wParam);
        bool bLeftButton = (nMouseButtonState & MK_LBUTTON) != 0;
        bool bRightButton = (nMouseButtonState & MK_RBUTTON) != 0;
        bool bMiddleButton = (nMouseButtonState & MK_MBUTTON) != 0;
        bool bSideButton1 = (nMouseButtonState & MK_XBUTTON1) != 0;
        bool bSideButton2 = (nMouseButtonState & MK_XBUTTON2) != 0;

        bool* bMouseButtons = s.GetMouseButtons();
        bMouseButtons[0] = bLeftButton;
        bMouseButtons[1] = bMiddleButton;
        bMouseButtons[2] = bRightButton;
        bMouseButtons[3] = bSideButton1;
        bMouseButtons[4] = bSideButton2;

        if (LPFWCALLBACKMOUSE pCallback = s.GetMouseFunc())
            pCallback(bLeftButton, bRightButton, bMiddleButton, bSideButton1, bSideButton2, nMouseWheelDelta, xPos,
                      yPos, s.GetMouseFuncUserContext());
    }

    // The application's message procedure sees every message first.
    if (LPFWCALLBACKMSGPROC pCallback = s.GetWindowMsgFunc()) {
        bool bNoFurtherProcessing = false;
        LRESULT nResult = pCallback(hWnd, uMsg, wParam, lParam, &bNoFurtherProcessing, s.GetWindowMsgFuncUserContext());
        if (bNoFurtherProcessing) return nResult;
    }

    switch (uMsg) {
        case WM_PAINT: {
            // While rendering is paused the loop does not draw: repaint here.
            IDirect3DDevice9* pd3dDevice = s.GetD3DDevice();
            if (pd3dDevice != nullptr && s.GetRenderingPaused() && s.GetDeviceObjectsCreated() &&
                s.GetDeviceObjectsReset()) {
                if (LPFWCALLBACKFRAMERENDER pCallback = s.GetFrameRenderFunc())
                    pCallback(pd3dDevice, s.GetTime(), s.GetElapsedTime(), s.GetFrameRenderFuncUserContext());
                HRESULT hr = pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
                if (hr == D3DERR_DEVICELOST || hr == D3DERR_DRIVERINTERNALERROR) s.SetDeviceLost(true);
            }
            break;
        }

        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                // Only the step into the minimised state pauses: a second
                // "minimised" would otherwise pause again while the restore
                // resumes once, leaving time and rendering stopped for good.
                if (!s.GetMinimized()) FWPause(true, true);
                s.SetMinimized(true);
                s.SetMaximized(false);
            } else {
                RECT rcCurrentClient{};
                GetClientRect(FWGetHWND(), &rcCurrentClient);
                if (rcCurrentClient.top == 0 && rcCurrentClient.bottom == 0) {
                    // A rapid minimise/restore sends a restore while the window
                    // is still minimised: ignore it.
                } else if (wParam == SIZE_MAXIMIZED) {
                    if (s.GetMinimized()) FWPause(false, false);
                    s.SetMinimized(false);
                    s.SetMaximized(true);
                    FWCheckForWindowSizeChange();
                    FWCheckForWindowChangingMonitors();
                } else if (wParam == SIZE_RESTORED) {
                    if (s.GetMaximized()) {
                        s.SetMaximized(false);
                        FWCheckForWindowSizeChange();
                        FWCheckForWindowChangingMonitors();
                    } else if (s.GetMinimized()) {
                        FWPause(false, false);
                        s.SetMinimized(false);
                        FWCheckForWindowSizeChange();
                        FWCheckForWindowChangingMonitors();
                    } else if (s.GetInSizeMove()) {
                        // Dragging the frame: the check runs when the drag ends.
                    } else {
                        // A programmatic or system resize.
                        FWCheckForWindowSizeChange();
                        FWCheckForWindowChangingMonitors();
                    }
                }
            }
            break;

        case WM_GETMINMAXINFO:
            if (lParam != 0) {
                MINMAXINFO* pMinMaxInfo = reinterpret_cast<MINMAXINFO*>(lParam);
                pMinMaxInfo->ptMinTrackSize.x = 200;
                pMinMaxInfo->ptMinTrackSize.y = 200;
            }
            break;

        case WM_ENTERSIZEMOVE:
            // Halt frame movement while the window is dragged or sized.
            FWPause(true, true);
            s.SetInSizeMove(true);
            break;

        case WM_EXITSIZEMOVE:
            FWPause(false, false);
            FWCheckForWindowSizeChange();
            FWCheckForWindowChangingMonitors();
            s.SetInSizeMove(false);
            break;

        case WM_MOUSEMOVE:
            if (s.GetActive() && !FWIsWindowed()) {
                if (IDirect3DDevice9* pd3dDevice = s.GetD3DDevice()) {
                    POINT ptCursor;
                    if (GetCursorPos(&ptCursor)) pd3dDevice->SetCursorPosition(ptCursor.x, ptCursor.y, 0);
                }
            }
            break;

        case WM_SETCURSOR:
            if (s.GetActive() && !FWIsWindowed()) {
                IDirect3DDevice9* pd3dDevice = s.GetD3DDevice();
                if (pd3dDevice != nullptr && s.GetShowCursorWhenFullScreen()) pd3dDevice->ShowCursor(TRUE);
                return TRUE;  // the system must not set the class cursor
            }
            break;

        case WM_ACTIVATEAPP:
            if (wParam == TRUE && !s.GetActive()) {
                s.SetActive(true);
                EnableGameControllers(true);
                if (s.GetMinimizedWhileFullscreen()) {
                    FWPause(false, false);
                    s.SetMinimizedWhileFullscreen(false);
                }
                FWAllowShortcutKeys(FWIsWindowed() ? s.GetAllowShortcutKeysWhenWindowed()
                                                   : s.GetAllowShortcutKeysWhenFullscreen());
            } else if (wParam == FALSE && s.GetActive()) {
                s.SetActive(false);
                EnableGameControllers(false);
                if (!FWIsWindowed()) {
                    ClipCursor(nullptr);
                    FWPause(true, true);
                    s.SetMinimizedWhileFullscreen(true);
                }
                FWAllowShortcutKeys(true);
            }
            break;

        case WM_ENTERMENULOOP:
            FWPause(true, true);
            break;

        case WM_EXITMENULOOP:
            FWPause(false, false);
            break;

        case WM_MENUCHAR:
            // Close the menu so that Alt+Enter does not beep.
            return MAKELRESULT(0, static_cast<int>(MNC_CLOSE));

        case WM_NCHITTEST:
            // Nothing outside the client area can be grabbed in full screen.
            if (!FWIsWindowed()) return HTCLIENT;
            break;

        case WM_POWERBROADCAST:
            switch (wParam) {
                case PBT_APMQUERYSUSPEND:
                    return TRUE;
                case PBT_APMRESUMESUSPEND:
                    FWGetGlobalTimer()->Reset();
                    s.SetLastStatsUpdateTime(0);
                    return TRUE;
                default:
                    break;
            }
            break;

        case WM_SYSCOMMAND:
            // No moving, sizing, maximising or keyboard menu in full screen.
            switch (wParam & 0xFFF0) {
                case SC_MOVE:
                case SC_SIZE:
                case SC_MAXIMIZE:
                case SC_KEYMENU:
                    if (!FWIsWindowed()) return 0;
                    break;
                default:
                    break;
            }
            break;

        case WM_SYSKEYDOWN:
            if (wParam == VK_RETURN && s.GetHandleAltEnter() && (lParam & KF_ALTDOWN_BIT) != 0) {
                FWPause(true, true);
                FWToggleFullScreen();
                FWPause(false, false);
                return 0;
            }
            break;

        case WM_KEYDOWN:
            if (s.GetHandleDefaultHotkeys()) {
                switch (wParam) {
                    case VK_F3:
                        FWPause(true, true);
                        FWToggleREF();
                        FWPause(false, false);
                        break;
                    case VK_F8: {
                        bool bWireFrame = !s.GetWireframeMode();
                        s.SetWireframeMode(bWireFrame);
                        if (IDirect3DDevice9* pd3dDevice = s.GetD3DDevice())
                            pd3dDevice->SetRenderState(D3DRS_FILLMODE, bWireFrame ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
                        break;
                    }
                    case VK_ESCAPE:
                        SendMessageW(hWnd, WM_CLOSE, 0, 0);
                        break;
                    case VK_PAUSE:
                        if (!FWIsTimePaused())
                            FWPause(true, false);
                        else
                            FWPause(false, false);
                        break;
                    default:
                        break;
                }
            }
            break;

        case WM_CLOSE: {
            HMENU hMenu = GetMenu(hWnd);
            if (hMenu != nullptr) DestroyMenu(hMenu);
            DestroyWindow(hWnd);
            UnregisterClassW(kWindowClassName, s.GetHInstance());
            s.SetHWNDFocus(nullptr);
            s.SetHWNDDeviceFullScreen(nullptr);
            s.SetHWNDDeviceWindowed(nullptr);
            return 0;
        }

        case WM_DESTROY:
            PostQuitMessage(0);
            break;

        default:
            break;
    }

    if (!s.GetCallDefWindowProc()) return 0;
    // F10 would enter the menu bar of a window that has none.
    if ((uMsg == WM_SYSKEYDOWN || uMsg == WM_SYSKEYUP) && wParam == VK_F10 && GetMenu(hWnd) == nullptr) return 0;
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

// --- shortcut keys ---------------------------------------------------------------------------

void FWAllowShortcutKeys(bool bAllowKeys) {
    FWState& s = GetFWState();
    s.SetAllowShortcutKeys(bAllowKeys);

    const struct {
        AccessibilityFeature feature;
        ACCESSIBILITYKEYS startup;
    } features[] = {
        {AccessibilityFeature::StickyKeys, s.GetStartupStickyKeys()},
        {AccessibilityFeature::ToggleKeys, s.GetStartupToggleKeys()},
        {AccessibilityFeature::FilterKeys, s.GetStartupFilterKeys()},
    };

    if (bAllowKeys) {
        // Put the user's settings back as they were at start.
        for (const auto& f : features)
            if (f.startup.cbSize == sizeof(ACCESSIBILITYKEYS)) SetAccessibilityKeys(f.feature, &f.startup);
        if (HHOOK hHook = s.GetKeyboardHook()) {
            RemoveKeyboardHook(hHook);
            s.SetKeyboardHook(nullptr);
        }
    } else {
        if (s.GetKeyboardHook() == nullptr) s.SetKeyboardHook(InstallLowLevelKeyboardHook(SwallowShortcutKey));

        // Switch off the accessibility hot keys, but leave a feature that is
        // switched on alone: the user relies on it.
        for (const auto& f : features) {
            if (f.startup.cbSize != sizeof(ACCESSIBILITYKEYS)) continue;
            ACCESSIBILITYKEYS keys = f.startup;
            if ((keys.dwFlags & SKF_STICKYKEYSON) == 0) {
                keys.dwFlags &= ~(SKF_HOTKEYACTIVE | SKF_CONFIRMHOTKEY);
                SetAccessibilityKeys(f.feature, &keys);
            }
        }
    }
}

// --- cursor ------------------------------------------------------------------------------------

void FWSetupCursor() {
    FWState& s = GetFWState();
    IDirect3DDevice9* pd3dDevice = s.GetD3DDevice();
    bool bFullScreen = !FWIsWindowed();

    if (bFullScreen && pd3dDevice != nullptr) {
        if (s.GetShowCursorWhenFullScreen()) {
            HCURSOR hCursor = LoadStandardArrowCursor();  // the window class's cursor
            if (SUCCEEDED(SetDeviceCursor(pd3dDevice, hCursor))) {
                SetCursor(nullptr);
                pd3dDevice->ShowCursor(TRUE);
            } else {
                // No device cursor on this platform: the system cursor stays.
                SetCursor(hCursor);
                pd3dDevice->ShowCursor(FALSE);
            }
        } else {
            SetCursor(nullptr);
            pd3dDevice->ShowCursor(FALSE);
        }
    }

    if (bFullScreen && s.GetClipCursorWhenFullScreen()) {
        RECT rcWindow;
        if (GetWindowRect(FWGetHWNDDeviceFullScreen(), &rcWindow)) ClipCursor(&rcWindow);
    } else {
        ClipCursor(nullptr);
    }
}

// --- key queries ------------------------------------------------------------------------------

bool FWIsKeyDown(BYTE vKey) {
    if (vKey >= VK_LSHIFT && vKey <= VK_RMENU) return (GetAsyncKeyState(vKey) & 0x8000) != 0;
    if (vKey == VK_LBUTTON || vKey == VK_RBUTTON || vKey == VK_MBUTTON || vKey == VK_XBUTTON1 || vKey == VK_XBUTTON2)
        return FWIsMouseButtonDown(vKey);
    return GetFWState().GetKeys()[vKey];
}

bool FWIsMouseButtonDown(BYTE vButton) {
    bool* bMouseButtons = GetFWState().GetMouseButtons();
    int nIndex;
    switch (vButton) {
        case VK_MBUTTON:
        case MK_MBUTTON:
            nIndex = 1;
            break;
        case VK_RBUTTON:
            nIndex = 2;
            break;
        case VK_XBUTTON1:
        case MK_XBUTTON1:
            nIndex = 3;
            break;
        case VK_XBUTTON2:
        case MK_XBUTTON2:
            nIndex = 4;
            break;
        default:
            nIndex = 0;
            break;
    }
    return bMouseButtons[nIndex];
}
