// The device life cycle: choosing settings, creating, resetting, recreating
// and releasing the device, full-screen and reference-device toggles, the
// window size and monitor checks, shutdown, the reference-device warning and
// the framework's side of the enumeration.
#include <new>

#include "common/fw_internal.h"

namespace {

constexpr const wchar_t* kRegistryKey = L"Software\\Trevolia\\Framework";
constexpr const wchar_t* kSkipWarningOnREF = L"Skip Warning On REF";

// Resolution rule of a toggle: the size saved for the target mode, when there
// is one.
void SetToggleResolution(FWDeviceSettings* pSettings, FWMatchOptions* pMatchOptions) {
    FWState& s = GetFWState();
    UINT nWidth;
    UINT nHeight;
    if (pSettings->pp.Windowed) {
        nWidth = s.GetWindowBackBufferWidthAtModeChange();
        nHeight = s.GetWindowBackBufferHeightAtModeChange();
    } else {
        nWidth = s.GetFullScreenBackBufferWidthAtModeChange();
        nHeight = s.GetFullScreenBackBufferHeightAtModeChange();
    }
    if (nWidth > 0 && nHeight > 0) {
        pMatchOptions->eResolution = FWMT_CLOSEST_TO_INPUT;
        pSettings->pp.BackBufferWidth = nWidth;
        pSettings->pp.BackBufferHeight = nHeight;
    } else {
        // No saved size: the matcher's default for the mode.
        pMatchOptions->eResolution = FWMT_IGNORE_INPUT;
    }
}

// The shared end of the two toggles: change, and when that fails for any
// reason but the application's refusal, go back to the mode it came from.
HRESULT ChangeOrSwitchBack(FWDeviceSettings* pSettings, FWMatchOptions* pMatchOptions,
                           void (*undo)(FWDeviceSettings*, FWMatchOptions*)) {
    HRESULT hr = FWChangeDevice(pSettings, nullptr, false, false);
    if (FAILED(hr) && hr != E_ABORT) {
        undo(pSettings, pMatchOptions);
        FWFindValidDeviceSettings(pSettings, pSettings, pMatchOptions);
        HRESULT hr2 = FWChangeDevice(pSettings, nullptr, false, false);
        if (FAILED(hr2)) FWShutdownAfterFailure();
    }
    return hr;
}

// Calls a device callback inside the re-entrancy guard.
template <typename F>
void InsideDeviceCallback(F call) {
    FWState& s = GetFWState();
    s.SetInsideDeviceCallback(true);
    call();
    s.SetInsideDeviceCallback(false);
}

}  // namespace

// --- enumeration and matching ------------------------------------------------------------

CD3DEnumeration* FWPrepareEnumeration(bool bForceEnumerate) {
    FWState& s = GetFWState();
    CD3DEnumeration* pEnum = s.GetD3DEnumeration();
    if (pEnum == nullptr) {
        pEnum = FWGetEnumeration();
        s.SetD3DEnumeration(pEnum);
        bForceEnumerate = true;
    }
    if (bForceEnumerate)
        pEnum->Enumerate(s.GetD3D(), s.GetIsDeviceAcceptableFunc(), s.GetIsDeviceAcceptableFuncUserContext());
    return pEnum;
}

HRESULT FWFindValidDeviceSettings(FWDeviceSettings* pOut, FWDeviceSettings* pIn, FWMatchOptions* pMatchOptions) {
    if (pOut == nullptr) return FWTrace(__FILE__, __LINE__, E_INVALIDARG, L"FWFindValidDeviceSettings", true);

    CD3DEnumeration* pEnum = FWPrepareEnumeration(false);
    FWMatchContext context;
    context.pD3D = GetFWState().GetD3D();
    context.pEnumeration = pEnum;
    context.hWndDeviceWindowed = FWGetHWNDDeviceWindowed();
    context.hWndDeviceFullScreen = FWGetHWNDDeviceFullScreen();
    return FWFindValidDeviceSettingsIn(context, pOut, pIn, pMatchOptions);
}

// --- creation ----------------------------------------------------------------------------

HRESULT FWCreateDevice(UINT AdapterOrdinal, bool bWindowed, int nSuggestedWidth, int nSuggestedHeight,
                       LPFWCALLBACKISDEVICEACCEPTABLE pCallbackIsDeviceAcceptable,
                       LPFWCALLBACKMODIFYDEVICESETTINGS pCallbackModifyDeviceSettings, void* pUserContext) {
    FWState& s = GetFWState();

    if (s.GetInsideDeviceCallback()) return FWTrace(__FILE__, __LINE__, E_FAIL, L"FWCreateWindow", true);

    s.SetIsDeviceAcceptableFunc(pCallbackIsDeviceAcceptable);
    s.SetIsDeviceAcceptableFuncUserContext(pUserContext);
    s.SetModifyDeviceSettingsFunc(pCallbackModifyDeviceSettings);
    s.SetModifyDeviceSettingsFuncUserContext(pUserContext);

    s.SetDeviceCreateCalled(true);

    if (HRESULT hr = FWEnsureWindow(); FAILED(hr)) return hr;

    // A new acceptability callback: enumerate again.
    FWPrepareEnumeration(true);

    FWMatchOptions matchOptions = AllMatchOptions(FWMT_IGNORE_INPUT);
    matchOptions.eAdapterOrdinal = FWMT_PRESERVE_INPUT;
    matchOptions.eWindowed = FWMT_PRESERVE_INPUT;
    if (bWindowed || (nSuggestedWidth != 0 && nSuggestedHeight != 0))
        matchOptions.eResolution = FWMT_CLOSEST_TO_INPUT;

    FWDeviceSettings deviceSettings{};
    deviceSettings.AdapterOrdinal = AdapterOrdinal;
    deviceSettings.pp.Windowed = bWindowed ? TRUE : FALSE;
    deviceSettings.pp.BackBufferWidth = static_cast<UINT>(nSuggestedWidth);
    deviceSettings.pp.BackBufferHeight = static_cast<UINT>(nSuggestedHeight);

    // The command line wins.
    if (s.GetOverrideWidth() != 0) deviceSettings.pp.BackBufferWidth = static_cast<UINT>(s.GetOverrideWidth());
    if (s.GetOverrideHeight() != 0) deviceSettings.pp.BackBufferHeight = static_cast<UINT>(s.GetOverrideHeight());
    if (s.GetOverrideAdapterOrdinal() != -1) deviceSettings.AdapterOrdinal = static_cast<UINT>(s.GetOverrideAdapterOrdinal());
    if (s.GetOverrideFullScreen()) {
        deviceSettings.pp.Windowed = FALSE;
        if (s.GetOverrideWidth() == 0 && s.GetOverrideHeight() == 0) matchOptions.eResolution = FWMT_IGNORE_INPUT;
    }
    if (s.GetOverrideWindowed()) deviceSettings.pp.Windowed = TRUE;
    if (s.GetOverrideForceHAL()) {
        deviceSettings.DeviceType = D3DDEVTYPE_HAL;
        matchOptions.eDeviceType = FWMT_PRESERVE_INPUT;
    }
    if (s.GetOverrideForceREF()) {
        deviceSettings.DeviceType = D3DDEVTYPE_REF;
        matchOptions.eDeviceType = FWMT_PRESERVE_INPUT;
    }
    if (s.GetOverrideForcePureHWVP()) {
        deviceSettings.BehaviorFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
        matchOptions.eVertexProcessing = FWMT_PRESERVE_INPUT;
    } else if (s.GetOverrideForceHWVP()) {
        deviceSettings.BehaviorFlags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
        matchOptions.eVertexProcessing = FWMT_PRESERVE_INPUT;
    } else if (s.GetOverrideForceSWVP()) {
        deviceSettings.BehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        matchOptions.eVertexProcessing = FWMT_PRESERVE_INPUT;
    }
    if (s.GetOverrideForceVsync() == 0) {
        deviceSettings.pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        matchOptions.ePresentInterval = FWMT_PRESERVE_INPUT;
    } else if (s.GetOverrideForceVsync() == 1) {
        deviceSettings.pp.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
        matchOptions.ePresentInterval = FWMT_PRESERVE_INPUT;
    }

    HRESULT hr = FWFindValidDeviceSettings(&deviceSettings, &deviceSettings, &matchOptions);
    if (FAILED(hr)) {
        FWDisplayErrorMessage(hr);
        return FWTrace(__FILE__, __LINE__, hr, L"FWFindValidDeviceSettings", false);
    }

    return FWChangeDevice(&deviceSettings, nullptr, false, true);
}

HRESULT FWCreateDeviceFromSettings(FWDeviceSettings* pDeviceSettings, bool bPreserveInput,
                                   bool bClipWindowToSingleAdapter) {
    if (pDeviceSettings == nullptr)
        return FWTrace(__FILE__, __LINE__, E_INVALIDARG, L"FWCreateDeviceFromSettings", true);

    FWState& s = GetFWState();
    s.SetDeviceCreateCalled(true);

    if (HRESULT hr = FWEnsureWindow(); FAILED(hr)) return hr;

    if (!bPreserveInput) {
        FWMatchOptions matchOptions = AllMatchOptions(FWMT_CLOSEST_TO_INPUT);
        HRESULT hr = FWFindValidDeviceSettings(pDeviceSettings, pDeviceSettings, &matchOptions);
        if (FAILED(hr)) {
            FWDisplayErrorMessage(hr);
            return FWTrace(__FILE__, __LINE__, hr, L"FWFindValidDeviceSettings", false);
        }
    }

    return FWChangeDevice(pDeviceSettings, nullptr, false, bClipWindowToSingleAdapter);
}

HRESULT FWSetDevice(IDirect3DDevice9* pd3dDevice) {
    FWState& s = GetFWState();

    if (pd3dDevice == nullptr) return FWTrace(__FILE__, __LINE__, E_INVALIDARG, L"FWSetDevice", true);
    if (s.GetInsideDeviceCallback()) return FWTrace(__FILE__, __LINE__, E_FAIL, L"FWCreateWindow", true);

    s.SetDeviceCreateCalled(true);
    if (HRESULT hr = FWEnsureWindow(); FAILED(hr)) return hr;

    FWDeviceSettings deviceSettings{};
    pd3dDevice->GetPresentParameters(&deviceSettings.pp);
    D3DDEVICE_CREATION_PARAMETERS creationParams{};
    pd3dDevice->GetCreationParameters(&creationParams);
    deviceSettings.AdapterOrdinal = creationParams.AdapterOrdinal;
    deviceSettings.DeviceType = creationParams.DeviceType;
    deviceSettings.BehaviorFlags = creationParams.BehaviorFlags;

    // The adapter format of the first combination that fits, else the
    // back-buffer format.
    deviceSettings.AdapterFormat = deviceSettings.pp.BackBufferFormat;
    CD3DEnumeration* pEnum = FWPrepareEnumeration(false);
    if (CD3DEnumDeviceInfo* pDeviceInfo = pEnum->GetDeviceInfo(deviceSettings.AdapterOrdinal, deviceSettings.DeviceType)) {
        for (int i = 0; i < pDeviceInfo->deviceSettingsComboList.GetSize(); ++i) {
            CD3DEnumDeviceSettingsCombo* pCombo = pDeviceInfo->deviceSettingsComboList.GetAt(i);
            if (pCombo->BackBufferFormat == deviceSettings.pp.BackBufferFormat &&
                (pCombo->Windowed != FALSE) == (deviceSettings.pp.Windowed != FALSE)) {
                deviceSettings.AdapterFormat = pCombo->AdapterFormat;
                break;
            }
        }
    }

    return FWChangeDevice(&deviceSettings, pd3dDevice, false, false);
}

// --- the one routine of every device change ---------------------------------------------------

HRESULT FWChangeDevice(FWDeviceSettings* pNewDeviceSettings, IDirect3DDevice9* pd3dDeviceFromApp, bool bForceRecreate,
                       bool bClipWindowToSingleAdapter) {
    FWState& s = GetFWState();
    HRESULT hr;

    if (s.GetD3D() == nullptr) return S_FALSE;

    FWDeviceSettings* pNew = new (std::nothrow) FWDeviceSettings(*pNewDeviceSettings);
    if (pNew == nullptr) return E_OUTOFMEMORY;

    FWDeviceSettings* pOld = s.GetCurrentDeviceSettings();

    // The application sees the settings first and may change or refuse them.
    if (LPFWCALLBACKMODIFYDEVICESETTINGS pCallbackModify = s.GetModifyDeviceSettingsFunc()) {
        D3DCAPS9 caps{};
        s.GetD3D()->GetDeviceCaps(pNew->AdapterOrdinal, pNew->DeviceType, &caps);
        bool bContinue = pCallbackModify(pNew, &caps, s.GetModifyDeviceSettingsFuncUserContext());
        if (!bContinue) {
            if (pOld == nullptr) FWDisplayErrorMessage(FWERR_NOCOMPATIBLEDEVICES);
            delete pNew;
            return E_ABORT;
        }
        if (s.GetD3D() == nullptr) {
            // The callback shut the framework down.
            delete pNew;
            return S_FALSE;
        }
        // A shutdown inside the callback also released the settings.
        pOld = s.GetCurrentDeviceSettings();
    }

    s.SetCurrentDeviceSettings(pNew);

    FWPause(true, true);
    s.SetIgnoreSizeChange(true);
    g_bFWThreadSafe = (pNew->BehaviorFlags & D3DCREATE_MULTITHREADED) != 0;

    // The first device of the process follows the command line.
    if (pd3dDeviceFromApp == nullptr && pOld == nullptr) {
        if (s.GetOverrideAdapterOrdinal() != -1) pNew->AdapterOrdinal = static_cast<UINT>(s.GetOverrideAdapterOrdinal());
        if (s.GetOverrideFullScreen()) pNew->pp.Windowed = FALSE;
        if (s.GetOverrideWindowed()) pNew->pp.Windowed = TRUE;
        if (s.GetOverrideForceREF())
            pNew->DeviceType = D3DDEVTYPE_REF;
        else if (s.GetOverrideForceHAL())
            pNew->DeviceType = D3DDEVTYPE_HAL;
        if (s.GetOverrideWidth() != 0) pNew->pp.BackBufferWidth = static_cast<UINT>(s.GetOverrideWidth());
        if (s.GetOverrideHeight() != 0) pNew->pp.BackBufferHeight = static_cast<UINT>(s.GetOverrideHeight());
        if (s.GetOverrideForcePureHWVP()) {
            pNew->BehaviorFlags &= ~D3DCREATE_SOFTWARE_VERTEXPROCESSING;
            pNew->BehaviorFlags |= D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
        } else if (s.GetOverrideForceHWVP()) {
            pNew->BehaviorFlags &= ~(D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE);
            pNew->BehaviorFlags |= D3DCREATE_HARDWARE_VERTEXPROCESSING;
        } else if (s.GetOverrideForceSWVP()) {
            pNew->BehaviorFlags &= ~(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE);
            pNew->BehaviorFlags |= D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        }
    }

    // A zero size takes the window's client area.
    const bool bKeepCurrentWindowSize = pNew->pp.BackBufferWidth == 0 && pNew->pp.BackBufferHeight == 0;

    HWND hWndWindowed = FWGetHWNDDeviceWindowed();
    HWND hWndFullScreen = FWGetHWNDDeviceFullScreen();

    // Prepare the windows for the mode.
    if (pNew->pp.Windowed) {
        if (pOld != nullptr && !pOld->pp.Windowed) {
            // Leaving full screen: remember its size, give the window its style back.
            s.SetFullScreenBackBufferWidthAtModeChange(pOld->pp.BackBufferWidth);
            s.SetFullScreenBackBufferHeightAtModeChange(pOld->pp.BackBufferHeight);
            SetWindowLongPtrW(hWndWindowed, GWL_STYLE, static_cast<intptr_t>(s.GetWindowedStyleAtModeChange()));
        }
        if (hWndFullScreen != hWndWindowed)
            ShowWindow(hWndFullScreen, SW_HIDE);
        else if (s.GetMenu() != nullptr)
            SetMenu(hWndWindowed, s.GetMenu());
    } else {
        if (pOld == nullptr || pOld->pp.Windowed) {
            // Leaving windowed mode: remember where and how the window was.
            WINDOWPLACEMENT placement{};
            placement.length = sizeof(WINDOWPLACEMENT);
            GetWindowPlacement(hWndWindowed, &placement);
            s.SetWindowedPlacement(placement);
            s.SetTopmostWhileWindowed((GetWindowLongPtrW(hWndWindowed, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
            DWORD dwStyle = static_cast<DWORD>(GetWindowLongPtrW(hWndWindowed, GWL_STYLE));
            dwStyle &= ~(WS_MAXIMIZE | WS_MINIMIZE);
            s.SetWindowedStyleAtModeChange(dwStyle);
            if (pOld != nullptr) {
                s.SetWindowBackBufferWidthAtModeChange(pOld->pp.BackBufferWidth);
                s.SetWindowBackBufferHeightAtModeChange(pOld->pp.BackBufferHeight);
            }
        }

        ShowWindow(hWndFullScreen, SW_HIDE);
        SetWindowLongPtrW(hWndFullScreen, GWL_STYLE, static_cast<intptr_t>(WS_POPUP | WS_SYSMENU));

        if (hWndFullScreen == hWndWindowed) {
            HMENU hMenu = GetMenu(hWndFullScreen);
            s.SetMenu(hMenu);
            SetMenu(hWndFullScreen, nullptr);
        }

        WINDOWPLACEMENT placementFullScreen{};
        placementFullScreen.length = sizeof(WINDOWPLACEMENT);
        GetWindowPlacement(hWndFullScreen, &placementFullScreen);
        if ((placementFullScreen.flags & WPF_RESTORETOMAXIMIZED) != 0) {
            placementFullScreen.flags &= ~WPF_RESTORETOMAXIMIZED;
            placementFullScreen.showCmd = SW_RESTORE;
            SetWindowPlacement(hWndFullScreen, &placementFullScreen);
        }
    }

    // A reset suffices unless the adapter, device type or behaviour changed.
    IDirect3DDevice9* pCurrentDevice = s.GetD3DDevice();
    if (!bForceRecreate && (pd3dDeviceFromApp == nullptr || pd3dDeviceFromApp == pCurrentDevice) &&
        pCurrentDevice != nullptr && pOld != nullptr && pOld->AdapterOrdinal == pNew->AdapterOrdinal &&
        pOld->DeviceType == pNew->DeviceType && pOld->BehaviorFlags == pNew->BehaviorFlags) {
        hr = FWReset3DEnvironment();
        if (FAILED(hr)) {
            if (hr == D3DERR_DEVICELOST) {
                // The loop resets it once the device can be reset.
                s.SetDeviceLost(true);
            } else if (hr == FWERR_RESETTINGDEVICEOBJECTS || hr == FWERR_MEDIANOTFOUND) {
                delete pOld;
                FWDisplayErrorMessage(hr);
                FWShutdownAfterFailure();
                return hr;
            } else {
                // The reset failed: recreate from the old state.
                s.SetCurrentDeviceSettings(pOld);
                hr = FWChangeDevice(pNew, pd3dDeviceFromApp, true, bClipWindowToSingleAdapter);
                delete pNew;  // the nested change copied it and released pOld
                if (FAILED(hr)) {
                    FWShutdownAfterFailure();
                    return FWERR_CREATINGDEVICE;
                }
                s.SetIgnoreSizeChange(false);
                FWPause(false, false);
                return S_OK;
            }
        }
    } else {
        if (pOld != nullptr) FWCleanup3DEnvironment(false);

        hr = FWCreate3DEnvironment(pd3dDeviceFromApp);
        if (FAILED(hr)) {
            delete pOld;
            FWCleanup3DEnvironment(true);
            FWDisplayErrorMessage(hr);
            FWPause(false, false);
            s.SetIgnoreSizeChange(false);
            return hr;
        }
    }

    FWAllowShortcutKeys(pNew->pp.Windowed ? s.GetAllowShortcutKeysWhenWindowed()
                                          : s.GetAllowShortcutKeysWhenFullscreen());
    s.SetAdapterMonitor(s.GetD3D()->GetAdapterMonitor(pNew->AdapterOrdinal));
    FWUpdateStaticFrameStats();

    if (pOld != nullptr && !pOld->pp.Windowed && pNew->pp.Windowed) {
        // Back from full screen: the old place and z-order.
        WINDOWPLACEMENT placement = s.GetWindowedPlacement();
        SetWindowPlacement(hWndWindowed, &placement);
        HWND hWndInsertAfter = s.GetTopmostWhileWindowed() ? HWND_TOPMOST : HWND_NOTOPMOST;
        SetWindowPos(hWndWindowed, hWndInsertAfter, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOREDRAW | SWP_NOSIZE);
    }

    // Does the window have to take the back buffer's size?
    bool bNeedToResize = false;
    if (pNew->pp.Windowed && !bKeepCurrentWindowSize) {
        UINT nClientWidth;
        UINT nClientHeight;
        if (IsIconic(hWndWindowed)) {
            WINDOWPLACEMENT placement{};
            placement.length = sizeof(WINDOWPLACEMENT);
            GetWindowPlacement(hWndWindowed, &placement);
            if ((placement.flags & WPF_RESTORETOMAXIMIZED) != 0 &&
                placement.showCmd == static_cast<UINT>(SW_SHOWMINIMIZED)) {
                // Restore briefly to learn the maximised client size.
                ShowWindow(hWndWindowed, SW_RESTORE);
                RECT rcClient{};
                GetClientRect(hWndWindowed, &rcClient);
                nClientWidth = static_cast<UINT>(rcClient.right - rcClient.left);
                nClientHeight = static_cast<UINT>(rcClient.bottom - rcClient.top);
                ShowWindow(hWndWindowed, SW_MINIMIZE);
            } else {
                // The normal-position rectangle less the frame.
                RECT rcFrame{};
                AdjustWindowRect(&rcFrame, s.GetWindowedStyleAtModeChange(), s.GetMenu() != nullptr);
                LONG nFrameWidth = rcFrame.right - rcFrame.left;
                LONG nFrameHeight = rcFrame.bottom - rcFrame.top;
                nClientWidth = static_cast<UINT>(placement.rcNormalPosition.right -
                                                 placement.rcNormalPosition.left - nFrameWidth);
                nClientHeight = static_cast<UINT>(placement.rcNormalPosition.bottom -
                                                  placement.rcNormalPosition.top - nFrameHeight);
            }
        } else {
            RECT rcClient{};
            GetClientRect(hWndWindowed, &rcClient);
            nClientWidth = static_cast<UINT>(rcClient.right - rcClient.left);
            nClientHeight = static_cast<UINT>(rcClient.bottom - rcClient.top);
        }

        if (nClientWidth != pNew->pp.BackBufferWidth || nClientHeight != pNew->pp.BackBufferHeight)
            bNeedToResize = true;

        if (bClipWindowToSingleAdapter && !IsIconic(hWndWindowed)) {
            // A window reaching beyond its adapter's work area is resized,
            // unless it is maximised there.
            HMONITOR hAdapterMonitor = s.GetD3D()->GetAdapterMonitor(pNew->AdapterOrdinal);
            HMONITOR hWindowMonitor = MonitorFromWindow(hWndWindowed, MONITOR_DEFAULTTOPRIMARY);
            MONITORINFO miAdapter{};
            miAdapter.cbSize = sizeof(MONITORINFO);
            RECT rcWindow{};
            if (GetMonitorInfoW(hAdapterMonitor, &miAdapter) && GetWindowRect(hWndWindowed, &rcWindow)) {
                if (rcWindow.left < miAdapter.rcWork.left || rcWindow.right > miAdapter.rcWork.right ||
                    rcWindow.top < miAdapter.rcWork.top || rcWindow.bottom > miAdapter.rcWork.bottom) {
                    if (hWindowMonitor == hAdapterMonitor && IsZoomed(hWndWindowed))
                        bNeedToResize = false;
                    else
                        bNeedToResize = true;
                }
            }
        }
    }

    if (bNeedToResize) {
        if (IsIconic(hWndWindowed)) ShowWindow(hWndWindowed, SW_RESTORE);
        if (IsZoomed(hWndWindowed)) ShowWindow(hWndWindowed, SW_RESTORE);

        if (bClipWindowToSingleAdapter) {
            HMONITOR hAdapterMonitor = s.GetD3D()->GetAdapterMonitor(pNew->AdapterOrdinal);
            MONITORINFO miAdapter{};
            miAdapter.cbSize = sizeof(MONITORINFO);
            GetMonitorInfoW(hAdapterMonitor, &miAdapter);
            LONG nMonitorWidth = miAdapter.rcWork.right - miAdapter.rcWork.left;
            LONG nMonitorHeight = miAdapter.rcWork.bottom - miAdapter.rcWork.top;

            RECT rcResizedWindow;
            SetRect(&rcResizedWindow, 0, 0, static_cast<LONG>(pNew->pp.BackBufferWidth),
                    static_cast<LONG>(pNew->pp.BackBufferHeight));
            AdjustWindowRect(&rcResizedWindow, static_cast<DWORD>(GetWindowLongPtrW(hWndWindowed, GWL_STYLE)),
                             s.GetMenu() != nullptr);
            LONG nWindowWidth = rcResizedWindow.right - rcResizedWindow.left;
            LONG nWindowHeight = rcResizedWindow.bottom - rcResizedWindow.top;
            if (nWindowWidth > nMonitorWidth) nWindowWidth = nMonitorWidth;
            if (nWindowHeight > nMonitorHeight) nWindowHeight = nMonitorHeight;

            if (rcResizedWindow.left < miAdapter.rcWork.left || rcResizedWindow.top < miAdapter.rcWork.top ||
                rcResizedWindow.right > miAdapter.rcWork.right || rcResizedWindow.bottom > miAdapter.rcWork.bottom) {
                // Centre it in the work area.
                LONG nOffsetX = (nMonitorWidth - nWindowWidth) / 2;
                LONG nOffsetY = (nMonitorHeight - nWindowHeight) / 2;
                SetRect(&rcResizedWindow, miAdapter.rcWork.left + nOffsetX, miAdapter.rcWork.top + nOffsetY,
                        miAdapter.rcWork.left + nOffsetX + nWindowWidth, miAdapter.rcWork.top + nOffsetY + nWindowHeight);
            }
            SetWindowPos(hWndWindowed, nullptr, rcResizedWindow.left, rcResizedWindow.top, nWindowWidth, nWindowHeight,
                         SWP_NOZORDER);
        } else {
            RECT rcWindow;
            SetRect(&rcWindow, 0, 0, static_cast<LONG>(pNew->pp.BackBufferWidth),
                    static_cast<LONG>(pNew->pp.BackBufferHeight));
            AdjustWindowRect(&rcWindow, static_cast<DWORD>(GetWindowLongPtrW(hWndWindowed, GWL_STYLE)),
                             s.GetMenu() != nullptr);
            SetWindowPos(hWndWindowed, nullptr, 0, 0, rcWindow.right - rcWindow.left, rcWindow.bottom - rcWindow.top,
                         SWP_NOZORDER | SWP_NOMOVE);
        }

        // The system may have limited the window: then the back buffer takes
        // the client size it got.
        RECT rcClient{};
        GetClientRect(hWndWindowed, &rcClient);
        if (static_cast<UINT>(rcClient.right - rcClient.left) != pNew->pp.BackBufferWidth ||
            static_cast<UINT>(rcClient.bottom - rcClient.top) != pNew->pp.BackBufferHeight) {
            FWDeviceSettings deviceSettings = FWGetDeviceSettings();
            deviceSettings.pp.BackBufferWidth = 0;
            deviceSettings.pp.BackBufferHeight = 0;
            hr = FWChangeDevice(&deviceSettings, nullptr, false, bClipWindowToSingleAdapter);
            // The nested change released pNew (its old settings).
            pNew = nullptr;
            if (FAILED(hr)) {
                delete pOld;
                FWCleanup3DEnvironment(true);
                FWPause(false, false);
                s.SetIgnoreSizeChange(false);
                return hr;
            }
        }
    }

    // Show the window now that the device exists.
    HWND hWnd = FWGetHWND();
    if (hWnd != nullptr && !IsWindowVisible(hWnd)) ShowWindow(hWnd, SW_SHOW);

    // Keep the display awake in full screen; only the system while windowed.
    if (FWIsWindowed())
        SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_CONTINUOUS);
    else
        SetThreadExecutionState(ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED | ES_CONTINUOUS);

    delete pOld;
    s.SetIgnoreSizeChange(false);
    FWPause(false, false);
    s.SetDeviceCreated(true);
    return S_OK;
}

HRESULT FWCreate3DEnvironment(IDirect3DDevice9* pd3dDeviceFromApp) {
    FWState& s = GetFWState();
    HRESULT hr;
    IDirect3DDevice9* pd3dDevice = nullptr;
    FWDeviceSettings* pDeviceSettings = s.GetCurrentDeviceSettings();

    if (pd3dDeviceFromApp == nullptr) {
        hr = s.GetD3D()->CreateDevice(pDeviceSettings->AdapterOrdinal, pDeviceSettings->DeviceType, FWGetHWNDFocus(),
                                      pDeviceSettings->BehaviorFlags, &pDeviceSettings->pp, &pd3dDevice);
        if (hr == D3DERR_DEVICELOST) {
            // The loop finishes the job once the device can be made.
            s.SetDeviceLost(true);
            return S_OK;
        }
        if (FAILED(hr)) {
            FWTrace(__FILE__, __LINE__, hr, L"CreateDevice", false);
            return FWERR_CREATINGDEVICE;
        }
    } else {
        pd3dDeviceFromApp->AddRef();
        pd3dDevice = pd3dDeviceFromApp;
    }

    s.SetD3DDevice(pd3dDevice);

    // The exit code tells that the program ran on the reference device.
    if (pDeviceSettings->DeviceType == D3DDEVTYPE_REF && s.GetExitCode() == 0) s.SetExitCode(11);
    if (pDeviceSettings->DeviceType == D3DDEVTYPE_HAL && s.GetExitCode() == 11) s.SetExitCode(0);

    D3DSURFACE_DESC backBufferSurfaceDesc{};
    if (FAILED(pd3dDevice->GetBackBufferDesc(&backBufferSurfaceDesc))) backBufferSurfaceDesc = D3DSURFACE_DESC{};
    s.SetBackBufferSurfaceDesc(backBufferSurfaceDesc);

    FWSetupCursor();

    D3DCAPS9 caps{};
    pd3dDevice->GetDeviceCaps(&caps);
    s.SetCaps(caps);

    const D3DADAPTER_IDENTIFIER9* pAdapterIdentifier = nullptr;
    D3DADAPTER_IDENTIFIER9 adapterIdentifier{};
    CD3DEnumeration* pEnum = s.GetD3DEnumeration();
    if (CD3DEnumAdapterInfo* pAdapterInfo =
            pEnum != nullptr ? pEnum->GetAdapterInfo(pDeviceSettings->AdapterOrdinal) : nullptr) {
        pAdapterIdentifier = &pAdapterInfo->AdapterIdentifier;
    } else if (SUCCEEDED(s.GetD3D()->GetAdapterIdentifier(pDeviceSettings->AdapterOrdinal, 0, &adapterIdentifier))) {
        pAdapterIdentifier = &adapterIdentifier;
    }
    FWUpdateDeviceStats(pDeviceSettings->DeviceType, pDeviceSettings->BehaviorFlags, pAdapterIdentifier);

    // The application creates its device objects.
    hr = S_OK;
    if (LPFWCALLBACKDEVICECREATED pCallbackDeviceCreated = s.GetDeviceCreatedFunc()) {
        InsideDeviceCallback([&] {
            hr = pCallbackDeviceCreated(pd3dDevice, s.GetBackBufferSurfaceDescPtr(), s.GetDeviceCreatedFuncUserContext());
        });
        if (s.GetD3DDevice() == nullptr) return E_FAIL;  // the callback shut down
        if (FAILED(hr)) {
            FWTrace(__FILE__, __LINE__, hr, L"DeviceCreated callback", false);
            return hr == FWERR_MEDIANOTFOUND ? FWERR_MEDIANOTFOUND : FWERR_CREATINGDEVICEOBJECTS;
        }
    }
    s.SetDeviceObjectsCreated(true);

    hr = S_OK;
    if (LPFWCALLBACKDEVICERESET pCallbackDeviceReset = s.GetDeviceResetFunc()) {
        InsideDeviceCallback([&] {
            hr = pCallbackDeviceReset(pd3dDevice, s.GetBackBufferSurfaceDescPtr(), s.GetDeviceResetFuncUserContext());
        });
        if (s.GetD3DDevice() == nullptr) return E_FAIL;
        if (FAILED(hr)) {
            FWTrace(__FILE__, __LINE__, hr, L"DeviceReset callback", false);
            return hr == FWERR_MEDIANOTFOUND ? FWERR_MEDIANOTFOUND : FWERR_RESETTINGDEVICEOBJECTS;
        }
    }
    s.SetDeviceObjectsReset(true);
    return S_OK;
}

HRESULT FWReset3DEnvironment() {
    FWState& s = GetFWState();
    IDirect3DDevice9* pd3dDevice = s.GetD3DDevice();
    FWDeviceSettings* pDeviceSettings = s.GetCurrentDeviceSettings();
    FW_ASSERT(pd3dDevice != nullptr && pDeviceSettings != nullptr);
    if (pd3dDevice == nullptr || pDeviceSettings == nullptr) return E_FAIL;

    // The application releases what does not survive a reset.
    if (s.GetDeviceObjectsReset()) {
        InsideDeviceCallback([&] {
            if (LPFWCALLBACKDEVICELOST pCallbackDeviceLost = s.GetDeviceLostFunc())
                pCallbackDeviceLost(s.GetDeviceLostFuncUserContext());
            s.SetDeviceObjectsReset(false);
        });
    }

    HRESULT hr = pd3dDevice->Reset(&pDeviceSettings->pp);
    if (FAILED(hr)) {
        if (hr == D3DERR_DEVICELOST) return D3DERR_DEVICELOST;  // the loop retries
        FWTrace(__FILE__, __LINE__, FWERR_RESETTINGDEVICE, L"Reset", false);
        return FWERR_RESETTINGDEVICE;
    }

    D3DSURFACE_DESC backBufferSurfaceDesc{};
    if (FAILED(pd3dDevice->GetBackBufferDesc(&backBufferSurfaceDesc))) backBufferSurfaceDesc = D3DSURFACE_DESC{};
    s.SetBackBufferSurfaceDesc(backBufferSurfaceDesc);

    FWSetupCursor();

    hr = S_OK;
    if (LPFWCALLBACKDEVICERESET pCallbackDeviceReset = s.GetDeviceResetFunc()) {
        InsideDeviceCallback([&] {
            hr = pCallbackDeviceReset(pd3dDevice, s.GetBackBufferSurfaceDescPtr(), s.GetDeviceResetFuncUserContext());
        });
        if (FAILED(hr)) {
            FWTrace(__FILE__, __LINE__, hr, L"DeviceResetCallback", false);
            InsideDeviceCallback([&] {
                if (LPFWCALLBACKDEVICELOST pCallbackDeviceLost = s.GetDeviceLostFunc())
                    pCallbackDeviceLost(s.GetDeviceLostFuncUserContext());
            });
            return hr == FWERR_MEDIANOTFOUND ? FWERR_MEDIANOTFOUND : FWERR_RESETTINGDEVICEOBJECTS;
        }
    }

    s.SetDeviceObjectsReset(true);
    return S_OK;
}

void FWCleanup3DEnvironment(bool bReleaseSettings) {
    FWState& s = GetFWState();

    if (IDirect3DDevice9* pd3dDevice = s.GetD3DDevice()) {
        InsideDeviceCallback([&] {
            if (s.GetDeviceObjectsReset()) {
                if (LPFWCALLBACKDEVICELOST pCallbackDeviceLost = s.GetDeviceLostFunc())
                    pCallbackDeviceLost(s.GetDeviceLostFuncUserContext());
                s.SetDeviceObjectsReset(false);
            }
            if (s.GetDeviceObjectsCreated()) {
                if (LPFWCALLBACKDEVICEDESTROYED pCallbackDeviceDestroyed = s.GetDeviceDestroyedFunc())
                    pCallbackDeviceDestroyed(s.GetDeviceDestroyedFuncUserContext());
                s.SetDeviceObjectsCreated(false);
            }
        });

        // Everything the application made on the device must be gone by now.
        ULONG nRefCount = pd3dDevice->Release();
        s.SetD3DDevice(nullptr);
        if (nRefCount > 0) {
            FWDisplayErrorMessage(FWERR_NONZEROREFCOUNT);
            FWTrace(__FILE__, __LINE__, FWERR_NONZEROREFCOUNT, L"FWCleanup3DEnvironment", false);
        }

        s.SetBackBufferSurfaceDesc(D3DSURFACE_DESC{});
        s.SetCaps(D3DCAPS9{});
        s.SetDeviceCreated(false);
    }

    // Also without a device (a creation that failed): the settings are owned here.
    if (bReleaseSettings) {
        FWDeviceSettings* pOld = s.GetCurrentDeviceSettings();
        s.SetCurrentDeviceSettings(nullptr);
        delete pOld;
    }
}

// --- toggles --------------------------------------------------------------------------------

HRESULT FWToggleFullScreen() {
    FWDeviceSettings deviceSettings = FWGetDeviceSettings();
    deviceSettings.pp.Windowed = !deviceSettings.pp.Windowed;

    FWMatchOptions matchOptions = AllMatchOptions(FWMT_CLOSEST_TO_INPUT);
    matchOptions.eAdapterOrdinal = FWMT_PRESERVE_INPUT;
    matchOptions.eWindowed = FWMT_PRESERVE_INPUT;
    matchOptions.eAdapterFormat = FWMT_IGNORE_INPUT;
    matchOptions.eBackBufferFormat = FWMT_IGNORE_INPUT;
    matchOptions.eRefreshRate = FWMT_IGNORE_INPUT;
    SetToggleResolution(&deviceSettings, &matchOptions);

    HRESULT hr = FWFindValidDeviceSettings(&deviceSettings, &deviceSettings, &matchOptions);
    if (FAILED(hr)) return hr;

    return ChangeOrSwitchBack(&deviceSettings, &matchOptions, [](FWDeviceSettings* pSettings, FWMatchOptions* pOptions) {
        pSettings->pp.Windowed = !pSettings->pp.Windowed;
        SetToggleResolution(pSettings, pOptions);
    });
}

HRESULT FWToggleREF() {
    FWDeviceSettings deviceSettings = FWGetDeviceSettings();
    if (deviceSettings.DeviceType == D3DDEVTYPE_HAL)
        deviceSettings.DeviceType = D3DDEVTYPE_REF;
    else if (deviceSettings.DeviceType == D3DDEVTYPE_REF)
        deviceSettings.DeviceType = D3DDEVTYPE_HAL;

    FWMatchOptions matchOptions = AllMatchOptions(FWMT_CLOSEST_TO_INPUT);
    matchOptions.eAdapterOrdinal = FWMT_PRESERVE_INPUT;
    matchOptions.eDeviceType = FWMT_PRESERVE_INPUT;

    HRESULT hr = FWFindValidDeviceSettings(&deviceSettings, &deviceSettings, &matchOptions);
    if (FAILED(hr)) return hr;

    return ChangeOrSwitchBack(&deviceSettings, &matchOptions, [](FWDeviceSettings* pSettings, FWMatchOptions*) {
        if (pSettings->DeviceType == D3DDEVTYPE_HAL)
            pSettings->DeviceType = D3DDEVTYPE_REF;
        else if (pSettings->DeviceType == D3DDEVTYPE_REF)
            pSettings->DeviceType = D3DDEVTYPE_HAL;
    });
}

// --- window checks ------------------------------------------------------------------------------

void FWCheckForWindowSizeChange() {
    FWState& s = GetFWState();
    // Window events caused by a device change do not start another one.
    if (s.GetIgnoreSizeChange() || !s.GetDeviceCreated() || !FWIsWindowed()) return;

    RECT rcCurrentClient{};
    GetClientRect(FWGetHWND(), &rcCurrentClient);
    const D3DSURFACE_DESC* pDesc = FWGetBackBufferSurfaceDesc();
    if (static_cast<UINT>(rcCurrentClient.right) != pDesc->Width ||
        static_cast<UINT>(rcCurrentClient.bottom) != pDesc->Height) {
        // A zero size takes the client area.
        FWDeviceSettings deviceSettings = FWGetDeviceSettings();
        deviceSettings.pp.BackBufferWidth = 0;
        deviceSettings.pp.BackBufferHeight = 0;
        FWChangeDevice(&deviceSettings, nullptr, false, false);
    }
}

void FWCheckForWindowChangingMonitors() {
    FWState& s = GetFWState();
    if (!s.GetAutoChangeAdapter() || s.GetIgnoreSizeChange() || !s.GetDeviceCreated() || !FWIsWindowed()) return;

    HMONITOR hWindowMonitor = MonitorFromWindow(FWGetHWND(), MONITOR_DEFAULTTOPRIMARY);
    if (hWindowMonitor == s.GetAdapterMonitor()) return;

    // The adapter whose monitor now holds the window.
    CD3DEnumeration* pEnum = FWPrepareEnumeration(false);
    CGrowableArray<CD3DEnumAdapterInfo*>* pAdapterList = pEnum->GetAdapterInfoList();
    bool bFound = false;
    UINT newOrdinal = 0;
    for (int i = 0; pAdapterList != nullptr && i < pAdapterList->GetSize(); ++i) {
        CD3DEnumAdapterInfo* pAdapterInfo = pAdapterList->GetAt(i);
        if (s.GetD3D()->GetAdapterMonitor(pAdapterInfo->AdapterOrdinal) == hWindowMonitor) {
            newOrdinal = pAdapterInfo->AdapterOrdinal;
            bFound = true;
            break;
        }
    }
    if (!bFound) return;

    FWDeviceSettings deviceSettings = FWGetDeviceSettings();
    deviceSettings.AdapterOrdinal = newOrdinal;
    FWMatchOptions matchOptions = AllMatchOptions(FWMT_CLOSEST_TO_INPUT);
    matchOptions.eAdapterOrdinal = FWMT_PRESERVE_INPUT;

    HRESULT hr = FWFindValidDeviceSettings(&deviceSettings, &deviceSettings, &matchOptions);
    if (FAILED(hr)) return;

    hr = FWChangeDevice(&deviceSettings, nullptr, false, false);
    if (hr == E_ABORT) {
        // The application does not want to follow the window: stop asking.
        s.SetAutoChangeAdapter(false);
    } else if (FAILED(hr)) {
        FWShutdownAfterFailure();
        FWPause(false, false);
    }
}

// --- shutdown ----------------------------------------------------------------------------------

void FWShutdown(int nExitCode) {
    FWState& s = GetFWState();

    HWND hWnd = FWGetHWND();
    if (hWnd != nullptr) SendMessageW(hWnd, WM_CLOSE, 0, 0);

    s.SetExitCode(nExitCode);

    FWCleanup3DEnvironment(true);

    // Restores the user's accessibility settings too.
    FWAllowShortcutKeys(true);

    if (CD3DEnumeration* pEnum = s.GetD3DEnumeration()) {
        // The enumeration refers to the adapter object released below.
        pEnum->ClearAdapterInfoList();
        s.SetD3DEnumeration(nullptr);
    }

    if (IDirect3D9* pD3D = s.GetD3D()) {
        pD3D->Release();
        s.SetD3D(nullptr);
    }

    // "-relaunchmce" restarts the system's media-centre shell; this platform
    // has no such edition, so there is nothing to start.
}

void FWShutdownAfterFailure() {
    int nExitCode = FWGetExitCode();
    if (nExitCode == 0 || nExitCode == 11) nExitCode = 1;
    FWShutdown(nExitCode);
}

// --- reference-device warning -------------------------------------------------------------------

void FWDisplaySwitchingToREFWarning() {
    FWState& s = GetFWState();
    if (!s.GetShowMsgBoxOnError()) return;

    DWORD dwSkipWarning = 0;
    if (SettingsReadDword(kRegistryKey, kSkipWarningOnREF, &dwSkipWarning) && dwSkipWarning != 0) return;

    const wchar_t* strTitle = s.GetWindowTitle();
    int nResult = ShowReferenceDeviceWarning(
        FWGetHWND(), strTitle,
        L"Switching to the Direct3D reference rasterizer, a software device\nthat implements the entire Direct3D "
        L"feature set, but runs very slowly.\nDo you wish to continue?");

    if ((nResult & 0x80) != 0) SettingsWriteDword(kRegistryKey, kSkipWarningOnREF, 1);

    if ((nResult & 0x0F) == IDNO) FWShutdown(1);
}

// --- performance markers -------------------------------------------------------------------------

int FWPerfBeginEvent(D3DCOLOR color, const wchar_t* strName) { return D3DPERF_BeginEvent(color, strName); }

int FWPerfEndEvent() { return D3DPERF_EndEvent(); }
