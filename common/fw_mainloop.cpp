// The main loop and its render step, pauses, framework timers, the statistics
// strings and the format names.
#include <cwchar>

#include "common/fw_internal.h"
#include "platform/clock.h"

namespace {

// On a failure the loop cannot recover from, a normal (0) or reference-device
// (11) exit code becomes the generic failure.
void MarkExitCodeFailed() {
    FWState& s = GetFWState();
    if (s.GetExitCode() == 0 || s.GetExitCode() == 11) s.SetExitCode(1);
}

}  // namespace

// --- main loop ---------------------------------------------------------------------------

HRESULT FWMainLoop(HACCEL hAccel) {
    FWState& s = GetFWState();

    if (s.GetInsideDeviceCallback() || s.GetInsideMainloop()) {
        MarkExitCodeFailed();
        return FWTrace(__FILE__, __LINE__, E_FAIL, L"FWMainLoop", true);
    }

    s.SetInsideMainloop(true);

    // Perform the missing steps with defaults.
    if (!s.GetDeviceCreated()) {
        if (s.GetDeviceCreateCalled()) {
            MarkExitCodeFailed();
            s.SetInsideMainloop(false);
            return E_FAIL;
        }
        HRESULT hr = FWCreateDevice(D3DADAPTER_DEFAULT, true, 0, 0, nullptr, nullptr, nullptr);
        if (FAILED(hr)) {
            MarkExitCodeFailed();
            s.SetInsideMainloop(false);
            return hr;
        }
    }

    if (!s.GetInited() || !s.GetWindowCreated() || !s.GetDeviceCreated()) {
        MarkExitCodeFailed();
        s.SetInsideMainloop(false);
        return FWTrace(__FILE__, __LINE__, E_FAIL, L"FWMainLoop", true);
    }

    // Make sure the message queue exists.
    MSG msg{};
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    msg.message = WM_NULL;

    while (msg.message != WM_QUIT) {
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            HWND hWnd = FWGetHWND();
            if (hAccel == nullptr || hWnd == nullptr || TranslateAcceleratorW(hWnd, hAccel, &msg) == 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        } else {
            FWRender3DEnvironment();
        }
    }

    if (hAccel != nullptr) DestroyAcceleratorTable(hAccel);
    s.SetInsideMainloop(false);
    return S_OK;
}

void FWRender3DEnvironment() {
    FWState& s = GetFWState();
    HRESULT hr;

    // Give the processor to other programs while nothing visible happens.
    if (s.GetDeviceLost() || FWIsRenderingPaused() || !FWIsActive()) Sleep(50);

    IDirect3DDevice9* pd3dDevice = s.GetD3DDevice();
    if (pd3dDevice == nullptr) {
        // A creation that reported a lost device: try again.
        if (s.GetDeviceLost()) {
            if (FWDeviceSettings* pCurrent = s.GetCurrentDeviceSettings()) {
                FWDeviceSettings deviceSettings = *pCurrent;
                FWChangeDevice(&deviceSettings, nullptr, false, true);
            }
        }
        return;
    }

    if (s.GetDeviceLost() && !FWIsRenderingPaused()) {
        hr = pd3dDevice->TestCooperativeLevel();
        if (FAILED(hr)) {
            if (hr == D3DERR_DEVICELOST) {
                // Cannot be reset yet: try again on the next step.
                return;
            }

            // The device can be reset now. When the user changed the desktop's
            // colour depth, the windowed settings must follow it.
            FWDeviceSettings* pCurrent = s.GetCurrentDeviceSettings();
            D3DDISPLAYMODE adapterDesktopDisplayMode{};
            if (pCurrent != nullptr && FWIsWindowed()) {
                s.GetD3D()->GetAdapterDisplayMode(pCurrent->AdapterOrdinal, &adapterDesktopDisplayMode);
                if (pCurrent->AdapterFormat != adapterDesktopDisplayMode.Format) {
                    FWMatchOptions matchOptions = AllMatchOptions(FWMT_CLOSEST_TO_INPUT);
                    matchOptions.eAdapterOrdinal = FWMT_PRESERVE_INPUT;
                    matchOptions.eDeviceType = FWMT_PRESERVE_INPUT;
                    matchOptions.eWindowed = FWMT_PRESERVE_INPUT;
                    matchOptions.eAdapterFormat = FWMT_PRESERVE_INPUT;

                    FWDeviceSettings deviceSettings = *pCurrent;
                    deviceSettings.AdapterFormat = adapterDesktopDisplayMode.Format;

                    hr = FWFindValidDeviceSettings(&deviceSettings, &deviceSettings, &matchOptions);
                    if (FAILED(hr)) {
                        FWDisplayErrorMessage(FWERR_NOCOMPATIBLEDEVICES);
                        FWShutdownAfterFailure();
                    }

                    hr = FWChangeDevice(&deviceSettings, nullptr, false, false);
                    if (FAILED(hr)) {
                        // Perhaps it works in full screen.
                        hr = FWToggleFullScreen();
                        if (FAILED(hr)) FWShutdownAfterFailure();
                    }
                    // The next step finds the new device and clears the lost mark.
                    return;
                }
            }

            hr = FWReset3DEnvironment();
            if (FAILED(hr)) {
                if (hr == D3DERR_DEVICELOST) {
                    // Lost again: wait.
                    return;
                } else if (hr == FWERR_RESETTINGDEVICEOBJECTS || hr == FWERR_MEDIANOTFOUND) {
                    FWDisplayErrorMessage(hr);
                    FWShutdownAfterFailure();
                    return;
                } else {
                    // Reset failed: recreate the device from the current settings.
                    FWDeviceSettings deviceSettings = FWGetDeviceSettings();
                    hr = FWChangeDevice(&deviceSettings, nullptr, true, false);
                    if (FAILED(hr)) {
                        FWShutdownAfterFailure();
                        return;
                    }
                }
            }
        }
        s.SetDeviceLost(false);
        pd3dDevice = s.GetD3DDevice();
        if (pd3dDevice == nullptr) return;
    }

    // Time of this step.
    double fTime;
    double fAbsTime;
    float fElapsedTime;
    FWGetGlobalTimer()->GetTimeValues(&fTime, &fAbsTime, &fElapsedTime);

    // Reproducible runs: every step advances time by exactly the constant.
    if (s.GetConstantFrameTime()) {
        fElapsedTime = s.GetTimePerFrame();
        fTime = s.GetTime() + fElapsedTime;
    }

    s.SetTime(fTime);
    s.SetAbsoluteTime(fAbsTime);
    s.SetElapsedTime(fElapsedTime);

    FWUpdateFrameStats();
    FWHandleTimers();

    if (LPFWCALLBACKFRAMEMOVE pCallbackFrameMove = s.GetFrameMoveFunc()) {
        pCallbackFrameMove(pd3dDevice, fTime, fElapsedTime, s.GetFrameMoveFuncUserContext());
        pd3dDevice = s.GetD3DDevice();
        if (pd3dDevice == nullptr) return;  // the callback shut the framework down
    }

    if (!FWIsRenderingPaused()) {
        if (LPFWCALLBACKFRAMERENDER pCallbackFrameRender = s.GetFrameRenderFunc()) {
            pCallbackFrameRender(pd3dDevice, fTime, fElapsedTime, s.GetFrameRenderFuncUserContext());
            pd3dDevice = s.GetD3DDevice();
            if (pd3dDevice == nullptr) return;
        }

#ifndef NDEBUG
        // The back buffer follows the window's client area (a debug check;
        // reported, not fatal).
        if (!s.GetMinimized()) {
            RECT rcClient{};
            GetClientRect(FWGetHWND(), &rcClient);
            if (FWGetBackBufferSurfaceDesc()->Width != static_cast<UINT>(rcClient.right))
                FWOutputDebugString(L"%S(%d): Debug check failed: %s\n", __FILE__, __LINE__,
                                    L"FWGetBackBufferSurfaceDesc()->Width == (UINT)rcClient.right");
            if (FWGetBackBufferSurfaceDesc()->Height != static_cast<UINT>(rcClient.bottom))
                FWOutputDebugString(L"%S(%d): Debug check failed: %s\n", __FILE__, __LINE__,
                                    L"FWGetBackBufferSurfaceDesc()->Height == (UINT)rcClient.bottom");
        }
#endif

        hr = pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
        if (hr == D3DERR_DEVICELOST || hr == D3DERR_DRIVERINTERNALERROR) s.SetDeviceLost(true);
    }

    // Counted also while rendering is paused.
    int nFrame = s.GetCurrentFrameNumber() + 1;
    s.SetCurrentFrameNumber(nFrame);

    if (s.GetOverrideQuitAfterFrame() != 0 && nFrame > s.GetOverrideQuitAfterFrame()) FWShutdown(0);
}

// --- pauses ----------------------------------------------------------------------------------

void FWPause(bool bPauseTime, bool bPauseRendering) {
    FWState& s = GetFWState();

    int nPauseTimeCount = s.GetPauseTimeCount() + (bPauseTime ? +1 : -1);
    if (nPauseTimeCount < 0) nPauseTimeCount = 0;
    s.SetPauseTimeCount(nPauseTimeCount);

    int nPauseRenderingCount = s.GetPauseRenderingCount() + (bPauseRendering ? +1 : -1);
    if (nPauseRenderingCount < 0) nPauseRenderingCount = 0;
    s.SetPauseRenderingCount(nPauseRenderingCount);

    if (nPauseTimeCount > 0)
        FWGetGlobalTimer()->Stop();
    else
        FWGetGlobalTimer()->Start();

    s.SetRenderingPaused(nPauseRenderingCount > 0);
    s.SetTimePaused(nPauseTimeCount > 0);
}

// --- timers ----------------------------------------------------------------------------------

HRESULT FWSetTimer(LPFWCALLBACKTIMER pCallbackTimer, float fTimeoutInSecs, UINT* pnIDEvent,
                   void* pCallbackUserContext) {
    if (pCallbackTimer == nullptr) return FWTrace(__FILE__, __LINE__, E_INVALIDARG, L"FWSetTimer", true);

    FWState& s = GetFWState();
    FW_TIMER timer;
    timer.pCallbackTimer = pCallbackTimer;
    timer.pCallbackUserContext = pCallbackUserContext;
    timer.fTimeoutInSecs = fTimeoutInSecs;
    timer.fCountdown = fTimeoutInSecs;
    timer.bEnabled = true;
    timer.nID = s.GetTimerLastID() + 1;
    s.SetTimerLastID(timer.nID);

    CGrowableArray<FW_TIMER>* pTimerList = s.GetTimerList();
    if (pTimerList == nullptr) {
        pTimerList = new (std::nothrow) CGrowableArray<FW_TIMER>;
        if (pTimerList == nullptr) return E_OUTOFMEMORY;
        s.SetTimerList(pTimerList);
    }

    HRESULT hr = pTimerList->Add(timer);
    if (FAILED(hr)) return hr;

    if (pnIDEvent != nullptr) *pnIDEvent = timer.nID;
    return S_OK;
}

HRESULT FWKillTimer(UINT nIDEvent) {
    CGrowableArray<FW_TIMER>* pTimerList = GetFWState().GetTimerList();
    if (pTimerList == nullptr) return S_FALSE;

    for (int i = 0; i < pTimerList->GetSize(); ++i) {
        FW_TIMER& timer = pTimerList->GetAt(i);
        if (timer.nID == nIDEvent) {
            timer.bEnabled = false;
            return S_OK;
        }
    }
    return FWTrace(__FILE__, __LINE__, E_INVALIDARG, L"FWKillTimer", true);
}

void FWHandleTimers() {
    FWState& s = GetFWState();
    float fElapsedTime = s.GetElapsedTime();
    CGrowableArray<FW_TIMER>* pTimerList = s.GetTimerList();
    if (pTimerList == nullptr) return;

    // A callback may add timers (the list may move): read by position.
    for (int i = 0; i < pTimerList->GetSize(); ++i) {
        FW_TIMER& timer = pTimerList->GetAt(i);
        if (!timer.bEnabled) continue;
        timer.fCountdown -= fElapsedTime;
        if (timer.fCountdown < 0) {
            // The overshoot is dropped.
            timer.fCountdown = timer.fTimeoutInSecs;
            LPFWCALLBACKTIMER pCallback = timer.pCallbackTimer;
            void* pUserContext = timer.pCallbackUserContext;
            pCallback(static_cast<UINT>(i), pUserContext);
        }
    }
}

// --- statistics ------------------------------------------------------------------------------

void FWUpdateFrameStats() {
    FWState& s = GetFWState();
    if (s.GetNoStats()) return;

    DWORD dwFrames = s.GetLastStatsUpdateFrames() + 1;
    s.SetLastStatsUpdateFrames(dwFrames);

    double fAbsTime = s.GetAbsoluteTime();
    double fLastTime = s.GetLastStatsUpdateTime();
    if (fAbsTime - fLastTime > 1.0) {
        float fFPS = static_cast<float>(dwFrames / (fAbsTime - fLastTime));
        s.SetFPS(fFPS);
        s.SetLastStatsUpdateTime(fAbsTime);
        s.SetLastStatsUpdateFrames(0);
        StringCchPrintfW(s.GetFPSStats(), FWState::kFPSStatsSize, L"%0.2f fps ", static_cast<double>(fFPS));
    }
}

void FWUpdateStaticFrameStats() {
    FWState& s = GetFWState();
    if (s.GetNoStats()) return;

    FWDeviceSettings* pDeviceSettings = s.GetCurrentDeviceSettings();
    if (pDeviceSettings == nullptr) return;
    CD3DEnumeration* pEnum = s.GetD3DEnumeration();
    if (pEnum == nullptr) return;
    CD3DEnumDeviceSettingsCombo* pDeviceSettingsCombo = pEnum->GetDeviceSettingsCombo(
        pDeviceSettings->AdapterOrdinal, pDeviceSettings->DeviceType, pDeviceSettings->AdapterFormat,
        pDeviceSettings->pp.BackBufferFormat, pDeviceSettings->pp.Windowed);
    if (pDeviceSettingsCombo == nullptr) return;

    wchar_t strFmt[100];
    D3DPRESENT_PARAMETERS* pPP = &pDeviceSettings->pp;
    if (pDeviceSettingsCombo->AdapterFormat == pDeviceSettingsCombo->BackBufferFormat) {
        StringCchCopyW(strFmt, 100, FWD3DFormatToString(pDeviceSettingsCombo->AdapterFormat, false));
    } else {
        StringCchPrintfW(strFmt, 100, L"backbuf %s, adapter %s",
                         FWD3DFormatToString(pDeviceSettingsCombo->BackBufferFormat, false),
                         FWD3DFormatToString(pDeviceSettingsCombo->AdapterFormat, false));
    }

    wchar_t strDepthFmt[100];
    if (pPP->EnableAutoDepthStencil) {
        StringCchPrintfW(strDepthFmt, 100, L" (%s)", FWD3DFormatToString(pPP->AutoDepthStencilFormat, false));
    } else {
        strDepthFmt[0] = 0;
    }

    wchar_t strMultiSample[100];
    switch (pPP->MultiSampleType) {
        case D3DMULTISAMPLE_NONMASKABLE:
            StringCchCopyW(strMultiSample, 100, L" (Nonmaskable Multisample)");
            break;
        case D3DMULTISAMPLE_NONE:
            strMultiSample[0] = 0;
            break;
        default:
            StringCchPrintfW(strMultiSample, 100, L" (%dx Multisample)", static_cast<int>(pPP->MultiSampleType));
            break;
    }

    StringCchPrintfW(s.GetStaticFrameStats(), FWState::kStaticFrameStatsSize, L"%%sVsync %s (%dx%d), %s%s%s",
                     (pPP->PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE) ? L"off" : L"on",
                     static_cast<int>(pPP->BackBufferWidth), static_cast<int>(pPP->BackBufferHeight), strFmt,
                     strDepthFmt, strMultiSample);
}

const wchar_t* FWGetFrameStats(bool bIncludeFPS) {
    FWState& s = GetFWState();
    WCHAR* pstrFrameStats = s.GetFrameStats();
    const WCHAR* pstrFPS = bIncludeFPS ? s.GetFPSStats() : L"";
    StringCchPrintfW(pstrFrameStats, FWState::kFrameStatsSize, s.GetStaticFrameStats(), pstrFPS);
    return pstrFrameStats;
}

void FWUpdateDeviceStats(D3DDEVTYPE DeviceType, DWORD BehaviorFlags, const D3DADAPTER_IDENTIFIER9* pAdapterIdentifier) {
    FWState& s = GetFWState();
    if (s.GetNoStats()) return;

    WCHAR* pstrDeviceStats = s.GetDeviceStats();
    const size_t nSize = FWState::kDeviceStatsSize;

    if (DeviceType == D3DDEVTYPE_REF)
        StringCchCopyW(pstrDeviceStats, nSize, L"REF");
    else if (DeviceType == D3DDEVTYPE_HAL)
        StringCchCopyW(pstrDeviceStats, nSize, L"HAL");
    else if (DeviceType == D3DDEVTYPE_SW)
        StringCchCopyW(pstrDeviceStats, nSize, L"SW");
    else
        pstrDeviceStats[0] = 0;

    const bool bHardware = (BehaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) != 0;
    const bool bPure = (BehaviorFlags & D3DCREATE_PUREDEVICE) != 0;
    if (bHardware && bPure) {
        StringCchCatW(pstrDeviceStats, nSize,
                      DeviceType == D3DDEVTYPE_HAL ? L" (pure hw vp)" : L" (simulated pure hw vp)");
    } else if (bHardware) {
        StringCchCatW(pstrDeviceStats, nSize, DeviceType == D3DDEVTYPE_HAL ? L" (hw vp)" : L" (simulated hw vp)");
    } else if (BehaviorFlags & D3DCREATE_MIXED_VERTEXPROCESSING) {
        StringCchCatW(pstrDeviceStats, nSize,
                      DeviceType == D3DDEVTYPE_HAL ? L" (mixed vp)" : L" (simulated mixed vp)");
    } else if (BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) {
        StringCchCatW(pstrDeviceStats, nSize, L" (sw vp)");
    }

    if (DeviceType == D3DDEVTYPE_HAL) {
        // The adapter's unique description from the enumeration, else the
        // identifier's own description.
        StringCchCatW(pstrDeviceStats, nSize, L": ");
        CD3DEnumeration* pEnum = s.GetD3DEnumeration();
        FWDeviceSettings* pDeviceSettings = s.GetCurrentDeviceSettings();
        CD3DEnumDeviceSettingsCombo* pDeviceSettingsCombo = nullptr;
        if (pEnum != nullptr && pDeviceSettings != nullptr)
            pDeviceSettingsCombo = pEnum->GetDeviceSettingsCombo(
                pDeviceSettings->AdapterOrdinal, pDeviceSettings->DeviceType, pDeviceSettings->AdapterFormat,
                pDeviceSettings->pp.BackBufferFormat, pDeviceSettings->pp.Windowed);
        if (pDeviceSettingsCombo != nullptr && pDeviceSettingsCombo->pAdapterInfo != nullptr) {
            StringCchCatW(pstrDeviceStats, nSize, pDeviceSettingsCombo->pAdapterInfo->szUniqueDescription);
        } else if (pAdapterIdentifier != nullptr) {
            // The description is UTF-8 (the system code page here).
            char szDescription[512];
            StringCchCopyA(szDescription, 512, pAdapterIdentifier->Description);
            std::wstring strDescription = Utf8ToWide(szDescription);
            StringCchCatW(pstrDeviceStats, nSize, strDescription.c_str());
        }
    }
}

const wchar_t* FWGetDeviceStats() { return GetFWState().GetDeviceStats(); }

// --- format names ------------------------------------------------------------------------------

const wchar_t* FWD3DFormatToString(D3DFORMAT format, bool bWithPrefix) {
    const wchar_t* pstr = nullptr;
    switch (format) {
#define FW_FORMAT_NAME(name)             \
    case D3DFMT_##name:                  \
        pstr = FW_WIDEN_("D3DFMT_" #name); \
        break;
        FW_FORMAT_NAME(UNKNOWN)
        FW_FORMAT_NAME(R8G8B8)
        FW_FORMAT_NAME(A8R8G8B8)
        FW_FORMAT_NAME(X8R8G8B8)
        FW_FORMAT_NAME(R5G6B5)
        FW_FORMAT_NAME(X1R5G5B5)
        FW_FORMAT_NAME(A1R5G5B5)
        FW_FORMAT_NAME(A4R4G4B4)
        FW_FORMAT_NAME(R3G3B2)
        FW_FORMAT_NAME(A8)
        FW_FORMAT_NAME(A8R3G3B2)
        FW_FORMAT_NAME(X4R4G4B4)
        FW_FORMAT_NAME(A2B10G10R10)
        FW_FORMAT_NAME(A8B8G8R8)
        FW_FORMAT_NAME(X8B8G8R8)
        FW_FORMAT_NAME(G16R16)
        FW_FORMAT_NAME(A2R10G10B10)
        FW_FORMAT_NAME(A16B16G16R16)
        FW_FORMAT_NAME(A8P8)
        FW_FORMAT_NAME(P8)
        FW_FORMAT_NAME(L8)
        FW_FORMAT_NAME(A8L8)
        FW_FORMAT_NAME(A4L4)
        FW_FORMAT_NAME(V8U8)
        FW_FORMAT_NAME(L6V5U5)
        FW_FORMAT_NAME(X8L8V8U8)
        FW_FORMAT_NAME(Q8W8V8U8)
        FW_FORMAT_NAME(V16U16)
        FW_FORMAT_NAME(A2W10V10U10)
        FW_FORMAT_NAME(UYVY)
        FW_FORMAT_NAME(YUY2)
        FW_FORMAT_NAME(DXT1)
        FW_FORMAT_NAME(DXT2)
        FW_FORMAT_NAME(DXT3)
        FW_FORMAT_NAME(DXT4)
        FW_FORMAT_NAME(DXT5)
        FW_FORMAT_NAME(D16_LOCKABLE)
        FW_FORMAT_NAME(D32)
        FW_FORMAT_NAME(D15S1)
        FW_FORMAT_NAME(D24S8)
        FW_FORMAT_NAME(D24X8)
        FW_FORMAT_NAME(D24X4S4)
        FW_FORMAT_NAME(D16)
        FW_FORMAT_NAME(L16)
        FW_FORMAT_NAME(VERTEXDATA)
        FW_FORMAT_NAME(INDEX16)
        FW_FORMAT_NAME(INDEX32)
        FW_FORMAT_NAME(Q16W16V16U16)
        FW_FORMAT_NAME(MULTI2_ARGB8)
        FW_FORMAT_NAME(R16F)
        FW_FORMAT_NAME(G16R16F)
        FW_FORMAT_NAME(A16B16G16R16F)
        FW_FORMAT_NAME(R32F)
        FW_FORMAT_NAME(G32R32F)
        FW_FORMAT_NAME(A32B32G32R32F)
        FW_FORMAT_NAME(CxV8U8)
#undef FW_FORMAT_NAME
        default:
            return L"Unknown format";
    }
    if (!bWithPrefix && std::wcsncmp(pstr, L"D3DFMT_", 7) == 0) pstr += 7;
    return pstr;
}
