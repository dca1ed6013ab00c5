// Initialisation: accessibility start-up values, scheduler resolution, the
// command line, the helper-library version check and the adapter object.
#include <cwchar>
#include <string>

#include "common/fw_internal.h"

namespace {

// Matches the option name at *pstrCmdLine (case-insensitive) when it is
// followed by the end of the argument or by ':'; moves past the name.
bool IsNextArg(const wchar_t*& strCmdLine, const wchar_t* strArg) {
    size_t nArgLen = std::wcslen(strArg);
    size_t nCmdLen = std::wcslen(strCmdLine);
    if (nCmdLen >= nArgLen && wcsnicmp_portable(strCmdLine, strArg, nArgLen) == 0 &&
        (strCmdLine[nArgLen] == 0 || strCmdLine[nArgLen] == L':')) {
        strCmdLine += nArgLen;
        return true;
    }
    return false;
}

// When the position holds ":value", copies the value (at most 256
// characters, cut at the first blank or control character) and moves past it.
constexpr size_t kFlagSize = 257;
bool GetCmdParam(const wchar_t*& strCmdLine, wchar_t* strFlag) {
    if (*strCmdLine != L':') return false;
    strCmdLine++;
    size_t n = 0;
    while (n < kFlagSize - 1 && strCmdLine[n] > 32) {
        strFlag[n] = strCmdLine[n];
        ++n;
    }
    strFlag[n] = 0;
    strCmdLine += n;
    while (*strCmdLine > 32) strCmdLine++;  // the part beyond 256 characters
    return true;
}

// Leading decimal integer (0 when there is none), as the system's C library
// reads it.
int ReadInt(const wchar_t* str) {
    long long value = std::wcstoll(str, nullptr, 10);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return static_cast<int>(value);
}

float ReadFloat(const wchar_t* str) { return static_cast<float>(std::wcstod(str, nullptr)); }

}  // namespace

void FWParseCommandLine() {
    FWState& s = GetFWState();
    std::vector<std::wstring> args = GetCommandLineArguments();
    wchar_t strFlag[kFlagSize];

    for (size_t iArg = 1; iArg < args.size(); ++iArg) {
        const wchar_t* strCmdLine = args[iArg].c_str();
        bool bApplied = false;

        if (*strCmdLine == L'/' || *strCmdLine == L'-') {
            strCmdLine++;

            if (!bApplied && IsNextArg(strCmdLine, L"adapter") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideAdapterOrdinal(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"windowed")) {
                s.SetOverrideWindowed(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"fullscreen")) {
                s.SetOverrideFullScreen(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"forcehal")) {
                s.SetOverrideForceHAL(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"forceref")) {
                s.SetOverrideForceREF(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"forcepurehwvp")) {
                s.SetOverrideForcePureHWVP(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"forcehwvp")) {
                s.SetOverrideForceHWVP(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"forceswvp")) {
                s.SetOverrideForceSWVP(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"forcevsync") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideForceVsync(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"width") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideWidth(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"height") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideHeight(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"startx") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideStartX(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"starty") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideStartY(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"constantframetime")) {
                float fTimePerFrame = GetCmdParam(strCmdLine, strFlag) ? ReadFloat(strFlag) : 0.0333f;
                s.SetOverrideConstantFrameTime(true);
                s.SetOverrideConstantTimePerFrame(fTimePerFrame);
                FWSetConstantFrameTime(true, fTimePerFrame);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"quitafterframe") && GetCmdParam(strCmdLine, strFlag)) {
                s.SetOverrideQuitAfterFrame(ReadInt(strFlag));
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"noerrormsgboxes")) {
                s.SetShowMsgBoxOnError(false);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"nostats")) {
                s.SetNoStats(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"relaunchmce")) {
                s.SetOverrideRelaunchMCE(true);
                bApplied = true;
            }
            if (!bApplied && IsNextArg(strCmdLine, L"automation")) {
                s.SetAutomation(true);
                bApplied = true;
            }
        }

        if (!bApplied) {
            // Report the whole argument, cut at its first blank or control character.
            size_t n = 0;
            const wchar_t* strArg = args[iArg].c_str();
            while (n < kFlagSize - 1 && strArg[n] > 32) {
                strFlag[n] = strArg[n];
                ++n;
            }
            strFlag[n] = 0;
            FWOutputDebugString(L"Unrecognized flag: %s", strFlag);
        }
    }
}

bool FWCheckHelperVersion(UINT d3dSdkVersion, UINT helperSdkVersion) {
    // The library side of the check: the versions this library was built with.
    return d3dSdkVersion == D3D_SDK_VERSION && helperSdkVersion == FW_HELPER_SDK_VERSION;
}

IDirect3D9* FWCreateD3DObject() {
    if (FWGetTestHooks().createD3D != nullptr) return FWGetTestHooks().createD3D(D3D_SDK_VERSION);
    return Direct3DCreate9(D3D_SDK_VERSION);
}

HRESULT FWInit(bool bParseCommandLine, bool bHandleDefaultHotkeys, bool bShowMsgBoxOnError, bool bHandleAltEnter) {
    FWState& s = GetFWState();
    s.SetInitCalled(true);

    // The user's accessibility settings at start: restored at shutdown and
    // whenever shortcut keys are allowed again. A record that cannot be read
    // stays empty and is never applied.
    struct {
        AccessibilityFeature feature;
        void (FWState::*store)(const ACCESSIBILITYKEYS&);
    } const startup[] = {
        {AccessibilityFeature::StickyKeys, &FWState::SetStartupStickyKeys},
        {AccessibilityFeature::ToggleKeys, &FWState::SetStartupToggleKeys},
        {AccessibilityFeature::FilterKeys, &FWState::SetStartupFilterKeys},
    };
    for (const auto& entry : startup) {
        ACCESSIBILITYKEYS keys{};
        keys.cbSize = sizeof(ACCESSIBILITYKEYS);
        if (!GetAccessibilityKeys(entry.feature, &keys)) keys = ACCESSIBILITYKEYS{};
        (s.*entry.store)(keys);
    }

    // One-millisecond scheduler resolution keeps the 50 ms sleeps of the main
    // loop accurate.
    TimeBeginPeriod(1);

    s.SetShowMsgBoxOnError(bShowMsgBoxOnError);
    s.SetHandleDefaultHotkeys(bHandleDefaultHotkeys);
    s.SetHandleAltEnter(bHandleAltEnter);

    if (bParseCommandLine) FWParseCommandLine();

    // The helper library must be the one the program was built for.
    UINT builtForD3D = D3D_SDK_VERSION;
    UINT builtForHelper = FW_HELPER_SDK_VERSION;
    if (FWGetTestHooks().builtForVersionsSet) {
        builtForD3D = FWGetTestHooks().builtForD3DVersion;
        builtForHelper = FWGetTestHooks().builtForHelperVersion;
    }
    if (!FWCheckHelperVersion(builtForD3D, builtForHelper)) {
        FWDisplayErrorMessage(FWERR_INCORRECTVERSION);
        return FWTrace(__FILE__, __LINE__, FWERR_INCORRECTVERSION, L"D3DXCheckVersion", false);
    }

    if (s.GetD3D() == nullptr) s.SetD3D(FWCreateD3DObject());

    if (s.GetD3D() != nullptr) {
        FWGetGlobalTimer()->Reset();
        s.SetInited(true);
        return S_OK;
    }

    FWDisplayErrorMessage(FWERR_NODIRECT3D);
    return FWTrace(__FILE__, __LINE__, FWERR_NODIRECT3D, L"Direct3DCreate9", false);
}
