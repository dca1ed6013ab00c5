// Device settings matching: from a wish list of settings and a rule per field
// (preserve, closest, ignore) to settings that an enumerated combination
// supports.
#include <algorithm>
#include <cstdlib>

#include "common/device_enumeration.h"

namespace {

constexpr DWORD kVertexProcessingBits =
    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING;

bool SameWindowed(BOOL a, BOOL b) { return (a != FALSE) == (b != FALSE); }

bool HasHardwareTnL(const CD3DEnumDeviceSettingsCombo* pCombo) {
    return pCombo->pDeviceInfo != nullptr && (pCombo->pDeviceInfo->Caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
}

// The adapter's current desktop mode; all zero when it cannot be read.
D3DDISPLAYMODE DesktopMode(IDirect3D9* pD3D, UINT adapterOrdinal) {
    D3DDISPLAYMODE mode{};
    if (FAILED(pD3D->GetAdapterDisplayMode(adapterOrdinal, &mode))) mode = D3DDISPLAYMODE{};
    return mode;
}

const CGrowableArray<D3DDISPLAYMODE>* ModesOf(const CD3DEnumDeviceSettingsCombo* pCombo) {
    return pCombo->pAdapterInfo != nullptr ? &pCombo->pAdapterInfo->displayModeList : nullptr;
}

// Some display mode of the combination's adapter, in its adapter format, has
// this width and height.
bool HasModeOfSize(const CD3DEnumDeviceSettingsCombo* pCombo, UINT width, UINT height) {
    const CGrowableArray<D3DDISPLAYMODE>* modes = ModesOf(pCombo);
    if (modes == nullptr) return false;
    for (int32_t i = 0; i < modes->GetSize(); ++i) {
        const D3DDISPLAYMODE& m = modes->GetAt(i);
        if (m.Format == pCombo->AdapterFormat && m.Width == width && m.Height == height) return true;
    }
    return false;
}

bool HasModeOfRefresh(const CD3DEnumDeviceSettingsCombo* pCombo, UINT refreshRate) {
    const CGrowableArray<D3DDISPLAYMODE>* modes = ModesOf(pCombo);
    if (modes == nullptr) return false;
    for (int32_t i = 0; i < modes->GetSize(); ++i) {
        const D3DDISPLAYMODE& m = modes->GetAt(i);
        if (m.Format == pCombo->AdapterFormat && m.RefreshRate == refreshRate) return true;
    }
    return false;
}

// Quality q of a multisample type is valid when q < its count of quality levels.
bool HasMultiSample(const CD3DEnumDeviceSettingsCombo* pCombo, D3DMULTISAMPLE_TYPE type, DWORD quality) {
    const int32_t n = std::min(pCombo->multiSampleTypeList.GetSize(), pCombo->multiSampleQualityList.GetSize());
    for (int32_t i = 0; i < n; ++i)
        if (pCombo->multiSampleTypeList[i] == type && pCombo->multiSampleQualityList[i] > quality) return true;
    return false;
}

int64_t Distance(UINT a, UINT b) {
    return a > b ? static_cast<int64_t>(a) - static_cast<int64_t>(b) : static_cast<int64_t>(b) - static_cast<int64_t>(a);
}

// The target the ranking aims at.
FWDeviceSettings BuildOptimalDeviceSettings(IDirect3D9* pD3D, const FWDeviceSettings& in, const FWMatchOptions& mo) {
    FWDeviceSettings opt{};

    opt.AdapterOrdinal = mo.eAdapterOrdinal == FWMT_IGNORE_INPUT ? D3DADAPTER_DEFAULT : in.AdapterOrdinal;
    opt.DeviceType = mo.eDeviceType == FWMT_IGNORE_INPUT ? D3DDEVTYPE_HAL : in.DeviceType;
    opt.pp.Windowed = mo.eWindowed == FWMT_IGNORE_INPUT ? TRUE : in.pp.Windowed;

    const D3DDISPLAYMODE desktop = DesktopMode(pD3D, opt.AdapterOrdinal);
    if (mo.eAdapterFormat == FWMT_IGNORE_INPUT) {
        if (opt.pp.Windowed || FWColorChannelBits(desktop.Format) >= 8)
            opt.AdapterFormat = desktop.Format;
        else
            opt.AdapterFormat = D3DFMT_X8R8G8B8;
    } else {
        opt.AdapterFormat = in.AdapterFormat;
    }

    opt.BehaviorFlags =
        mo.eVertexProcessing == FWMT_IGNORE_INPUT ? D3DCREATE_HARDWARE_VERTEXPROCESSING : in.BehaviorFlags;

    if (mo.eResolution == FWMT_IGNORE_INPUT) {
        if (opt.pp.Windowed) {
            opt.pp.BackBufferWidth = 640;
            opt.pp.BackBufferHeight = 480;
        } else {
            opt.pp.BackBufferWidth = desktop.Width;
            opt.pp.BackBufferHeight = desktop.Height;
        }
    } else {
        opt.pp.BackBufferWidth = in.pp.BackBufferWidth;
        opt.pp.BackBufferHeight = in.pp.BackBufferHeight;
    }

    opt.pp.BackBufferFormat = mo.eBackBufferFormat == FWMT_IGNORE_INPUT ? opt.AdapterFormat : in.pp.BackBufferFormat;
    opt.pp.BackBufferCount = mo.eBackBufferCount == FWMT_IGNORE_INPUT ? 2 : in.pp.BackBufferCount;

    if (mo.eMultiSample == FWMT_IGNORE_INPUT) {
        opt.pp.MultiSampleType = D3DMULTISAMPLE_NONE;
        opt.pp.MultiSampleQuality = 0;
    } else {
        opt.pp.MultiSampleType = in.pp.MultiSampleType;
        opt.pp.MultiSampleQuality = in.pp.MultiSampleQuality;
    }

    opt.pp.SwapEffect = mo.eSwapEffect == FWMT_IGNORE_INPUT ? D3DSWAPEFFECT_DISCARD : in.pp.SwapEffect;

    if (mo.eDepthFormat == FWMT_IGNORE_INPUT && mo.eStencilFormat == FWMT_IGNORE_INPUT)
        opt.pp.AutoDepthStencilFormat =
            FWColorChannelBits(opt.pp.BackBufferFormat) >= 8 ? D3DFMT_D32 : D3DFMT_D16;
    else
        opt.pp.AutoDepthStencilFormat = in.pp.AutoDepthStencilFormat;

    opt.pp.Flags = mo.ePresentFlags == FWMT_IGNORE_INPUT ? D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL : in.pp.Flags;
    opt.pp.FullScreen_RefreshRateInHz = mo.eRefreshRate == FWMT_IGNORE_INPUT ? 0 : in.pp.FullScreen_RefreshRateInHz;
    opt.pp.PresentationInterval =
        mo.ePresentInterval == FWMT_IGNORE_INPUT ? D3DPRESENT_INTERVAL_DEFAULT : in.pp.PresentationInterval;
    return opt;
}

// False when the combination cannot honour a preserve rule.
bool MatchesPreserveOptions(const CD3DEnumDeviceSettingsCombo* pCombo, const FWDeviceSettings& in,
                            const FWMatchOptions& mo) {
    if (mo.eAdapterOrdinal == FWMT_PRESERVE_INPUT && pCombo->AdapterOrdinal != in.AdapterOrdinal) return false;
    if (mo.eDeviceType == FWMT_PRESERVE_INPUT && pCombo->DeviceType != in.DeviceType) return false;
    if (mo.eWindowed == FWMT_PRESERVE_INPUT && !SameWindowed(pCombo->Windowed, in.pp.Windowed)) return false;
    if (mo.eAdapterFormat == FWMT_PRESERVE_INPUT && pCombo->AdapterFormat != in.AdapterFormat) return false;

    if (mo.eVertexProcessing == FWMT_PRESERVE_INPUT && (in.BehaviorFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) != 0 &&
        !HasHardwareTnL(pCombo))
        return false;

    if (mo.eResolution == FWMT_PRESERVE_INPUT &&
        !HasModeOfSize(pCombo, in.pp.BackBufferWidth, in.pp.BackBufferHeight))
        return false;

    if (mo.eBackBufferFormat == FWMT_PRESERVE_INPUT && pCombo->BackBufferFormat != in.pp.BackBufferFormat)
        return false;

    if (mo.eMultiSample == FWMT_PRESERVE_INPUT &&
        !HasMultiSample(pCombo, in.pp.MultiSampleType, in.pp.MultiSampleQuality))
        return false;

    const D3DFORMAT inDS = in.pp.AutoDepthStencilFormat;
    if (mo.eDepthFormat == FWMT_PRESERVE_INPUT && mo.eStencilFormat == FWMT_PRESERVE_INPUT && inDS != D3DFMT_UNKNOWN &&
        !pCombo->depthStencilFormatList.Contains(inDS))
        return false;

    if (mo.eDepthFormat == FWMT_PRESERVE_INPUT && inDS != D3DFMT_UNKNOWN) {
        bool found = false;
        for (int32_t i = 0; i < pCombo->depthStencilFormatList.GetSize() && !found; ++i)
            found = FWDepthBits(pCombo->depthStencilFormatList[i]) == FWDepthBits(inDS);
        if (!found) return false;
    }

    if (mo.eStencilFormat == FWMT_PRESERVE_INPUT && inDS != D3DFMT_UNKNOWN) {
        bool found = false;
        for (int32_t i = 0; i < pCombo->depthStencilFormatList.GetSize() && !found; ++i)
            found = FWStencilBits(pCombo->depthStencilFormatList[i]) == FWStencilBits(inDS);
        if (!found) return false;
    }

    if (mo.eRefreshRate == FWMT_PRESERVE_INPUT && !HasModeOfRefresh(pCombo, in.pp.FullScreen_RefreshRateInHz))
        return false;

    if (mo.ePresentInterval == FWMT_PRESERVE_INPUT && !pCombo->presentIntervalList.Contains(in.pp.PresentationInterval))
        return false;

    return true;
}

// 0.9 less 0.2 per bit of colour-channel difference, never below 0 (single precision).
float FormatSimilarity(D3DFORMAT a, D3DFORMAT b) {
    const int delta = std::abs(static_cast<int>(FWColorChannelBits(a)) - static_cast<int>(FWColorChannelBits(b)));
    const float scale = 0.9f - static_cast<float>(delta) * 0.2f;
    return scale > 0.0f ? scale : 0.0f;
}

// How well a combination fits the target; a single-precision sum whose terms
// are added in a fixed order, so equal combinations get bit-equal ranks.
float RankDeviceCombo(const CD3DEnumDeviceSettingsCombo* pCombo, const FWDeviceSettings& opt,
                      const D3DDISPLAYMODE& desktop) {
    float rank = 0.0f;

    if (pCombo->AdapterOrdinal == opt.AdapterOrdinal) rank += 1000.0f;
    if (pCombo->DeviceType == opt.DeviceType) rank += 100.0f;
    if (pCombo->DeviceType == D3DDEVTYPE_HAL) rank += 0.1f;
    if (SameWindowed(pCombo->Windowed, opt.pp.Windowed)) rank += 10.0f;

    if (pCombo->AdapterFormat == opt.AdapterFormat)
        rank += 1.0f;
    else
        rank += FormatSimilarity(pCombo->AdapterFormat, opt.AdapterFormat);

    if (!pCombo->Windowed) {
        const bool desktopMatch = FWColorChannelBits(desktop.Format) >= 8 ? pCombo->AdapterFormat == desktop.Format
                                                                          : pCombo->AdapterFormat == D3DFMT_X8R8G8B8;
        if (desktopMatch) rank += 0.1f;
    }

    const bool hwTnL = HasHardwareTnL(pCombo);
    if ((opt.BehaviorFlags & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING)) != 0 && hwTnL)
        rank += 1.0f;
    if (hwTnL) rank += 0.1f;

    if (HasModeOfSize(pCombo, opt.pp.BackBufferWidth, opt.pp.BackBufferHeight)) rank += 1.0f;

    if (pCombo->BackBufferFormat == opt.pp.BackBufferFormat)
        rank += 1.0f;
    else
        rank += FormatSimilarity(pCombo->BackBufferFormat, opt.pp.BackBufferFormat);
    if (pCombo->BackBufferFormat == pCombo->AdapterFormat) rank += 0.1f;

    if (HasMultiSample(pCombo, opt.pp.MultiSampleType, opt.pp.MultiSampleQuality)) rank += 1.0f;
    if (pCombo->depthStencilFormatList.Contains(opt.pp.AutoDepthStencilFormat)) rank += 1.0f;
    if (HasModeOfRefresh(pCombo, opt.pp.FullScreen_RefreshRateInHz)) rank += 1.0f;
    if (pCombo->presentIntervalList.Contains(opt.pp.PresentationInterval)) rank += 1.0f;

    return rank;
}

// The full-screen display mode nearest to the wanted size (|dw| + |dh|, first
// smallest wins); a windowed combination takes any size.
D3DDISPLAYMODE FindValidResolution(const CD3DEnumDeviceSettingsCombo* pCombo, const D3DDISPLAYMODE& wanted) {
    if (pCombo->Windowed) return wanted;
    const CGrowableArray<D3DDISPLAYMODE>* modes = ModesOf(pCombo);
    D3DDISPLAYMODE best = wanted;
    bool found = false;
    int64_t bestDistance = 0;
    for (int32_t i = 0; modes != nullptr && i < modes->GetSize(); ++i) {
        const D3DDISPLAYMODE& m = modes->GetAt(i);
        if (m.Format != pCombo->AdapterFormat) continue;
        const int64_t distance = Distance(m.Width, wanted.Width) + Distance(m.Height, wanted.Height);
        if (!found || distance < bestDistance) {
            best = m;
            bestDistance = distance;
            found = true;
            if (distance == 0) break;
        }
    }
    return best;
}

FWDeviceSettings BuildValidDeviceSettings(const FWMatchContext& context, const CD3DEnumDeviceSettingsCombo* pBest,
                                          const FWDeviceSettings& in, const FWMatchOptions& mo) {
    const D3DDISPLAYMODE desktop = DesktopMode(context.pD3D, pBest->AdapterOrdinal);
    const bool hwTnL = HasHardwareTnL(pBest);
    const DWORD defaultVP = hwTnL ? D3DCREATE_HARDWARE_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING;

    FWDeviceSettings valid{};
    valid.AdapterOrdinal = pBest->AdapterOrdinal;
    valid.DeviceType = pBest->DeviceType;
    valid.AdapterFormat = pBest->AdapterFormat;

    // Vertex processing.
    DWORD behaviorFlags = 0;
    if (mo.eVertexProcessing == FWMT_PRESERVE_INPUT) {
        behaviorFlags = in.BehaviorFlags;
    } else if (mo.eVertexProcessing == FWMT_IGNORE_INPUT) {
        behaviorFlags = defaultVP;
    } else {
        behaviorFlags = in.BehaviorFlags;
        if (!hwTnL &&
            (behaviorFlags & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING)) != 0) {
            behaviorFlags &= ~(D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING);
            behaviorFlags |= D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        }
        if ((behaviorFlags & kVertexProcessingBits) == 0) behaviorFlags |= defaultVP;
    }

    // Resolution.
    D3DDISPLAYMODE bestMode{};
    if (mo.eResolution == FWMT_PRESERVE_INPUT) {
        bestMode.Width = in.pp.BackBufferWidth;
        bestMode.Height = in.pp.BackBufferHeight;
    } else {
        D3DDISPLAYMODE wanted{};
        if (mo.eResolution == FWMT_CLOSEST_TO_INPUT) {
            wanted.Width = in.pp.BackBufferWidth;
            wanted.Height = in.pp.BackBufferHeight;
        } else if (pBest->Windowed) {
            wanted.Width = 640;
            wanted.Height = 480;
        } else {
            wanted.Width = desktop.Width;
            wanted.Height = desktop.Height;
        }
        bestMode = FindValidResolution(pBest, wanted);
    }

    // Back-buffer count.
    UINT backBufferCount = 2;
    if (mo.eBackBufferCount == FWMT_PRESERVE_INPUT) {
        backBufferCount = in.pp.BackBufferCount;
    } else if (mo.eBackBufferCount == FWMT_CLOSEST_TO_INPUT) {
        backBufferCount = in.pp.BackBufferCount;
        if (backBufferCount > 3) backBufferCount = 3;
        if (backBufferCount < 1) backBufferCount = 1;
    }

    // Multisampling works only with the discard swap effect.
    D3DMULTISAMPLE_TYPE msType = D3DMULTISAMPLE_NONE;
    DWORD msQuality = 0;
    if (in.pp.SwapEffect == D3DSWAPEFFECT_DISCARD) {
        if (mo.eMultiSample == FWMT_PRESERVE_INPUT) {
            msType = in.pp.MultiSampleType;
            msQuality = in.pp.MultiSampleQuality;
        } else if (mo.eMultiSample == FWMT_CLOSEST_TO_INPUT) {
            const int64_t wantedType = in.pp.MultiSampleType;
            const int32_t n =
                std::min(pBest->multiSampleTypeList.GetSize(), pBest->multiSampleQualityList.GetSize());
            for (int32_t i = 0; i < n; ++i) {
                const D3DMULTISAMPLE_TYPE type = pBest->multiSampleTypeList[i];
                const DWORD levels = pBest->multiSampleQualityList[i];
                if (std::llabs(static_cast<int64_t>(type) - wantedType) <
                    std::llabs(static_cast<int64_t>(msType) - wantedType)) {
                    msType = type;
                    // Highest valid quality is levels - 1 (a type reported with no
                    // levels still has quality 0).
                    msQuality = levels > 0 ? std::min<DWORD>(levels - 1, in.pp.MultiSampleQuality) : 0;
                }
            }
        }
    }

    // Swap effect.
    D3DSWAPEFFECT swapEffect = D3DSWAPEFFECT_DISCARD;
    if (mo.eSwapEffect == FWMT_PRESERVE_INPUT) {
        swapEffect = in.pp.SwapEffect;
    } else if (mo.eSwapEffect == FWMT_CLOSEST_TO_INPUT) {
        swapEffect = in.pp.SwapEffect;
        if (swapEffect != D3DSWAPEFFECT_DISCARD && swapEffect != D3DSWAPEFFECT_FLIP &&
            swapEffect != D3DSWAPEFFECT_COPY)
            swapEffect = D3DSWAPEFFECT_DISCARD;
    }

    // Depth-stencil: the listed format with the smallest penalty.
    const int64_t backBufferBits = FWColorChannelBits(pBest->BackBufferFormat);
    const int64_t inDepthBits = FWDepthBits(in.pp.AutoDepthStencilFormat);
    const int64_t inStencilBits = FWStencilBits(in.pp.AutoDepthStencilFormat);
    D3DFORMAT depthStencilFormat = D3DFMT_UNKNOWN;
    BOOL enableAutoDepthStencil = FALSE;
    int64_t bestDSRank = 100000;
    for (int32_t i = 0; i < pBest->depthStencilFormatList.GetSize(); ++i) {
        const D3DFORMAT ds = pBest->depthStencilFormatList[i];
        const int64_t depthBits = FWDepthBits(ds);
        const int64_t stencilBits = FWStencilBits(ds);
        int64_t rank = 0;
        if (mo.eDepthFormat == FWMT_PRESERVE_INPUT)
            rank = depthBits == inDepthBits ? 0 : 10000;
        else if (mo.eDepthFormat == FWMT_IGNORE_INPUT)
            rank = std::llabs(depthBits - backBufferBits * 4);
        else
            rank = std::llabs(depthBits - inDepthBits);

        if (mo.eStencilFormat == FWMT_PRESERVE_INPUT)
            rank += stencilBits == inStencilBits ? 0 : 10000;
        else if (mo.eStencilFormat == FWMT_IGNORE_INPUT)
            rank += stencilBits;
        else
            rank += std::llabs(stencilBits - inStencilBits);

        if (rank < bestDSRank) {
            bestDSRank = rank;
            depthStencilFormat = ds;
            enableAutoDepthStencil = TRUE;
        }
    }

    // Present flags.
    DWORD presentFlags = 0;
    if (mo.ePresentFlags == FWMT_PRESERVE_INPUT) {
        presentFlags = in.pp.Flags;
    } else if (mo.ePresentFlags == FWMT_IGNORE_INPUT) {
        presentFlags = enableAutoDepthStencil ? D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL : 0;
    } else {
        presentFlags = in.pp.Flags;
        if (enableAutoDepthStencil) presentFlags |= D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    }

    // Refresh rate: among the modes of the chosen size, the nearest rate.
    UINT refreshRate = 0;
    if (!pBest->Windowed) {
        if (mo.eRefreshRate == FWMT_PRESERVE_INPUT) {
            refreshRate = in.pp.FullScreen_RefreshRateInHz;
        } else {
            const UINT target =
                mo.eRefreshRate == FWMT_CLOSEST_TO_INPUT ? in.pp.FullScreen_RefreshRateInHz : desktop.RefreshRate;
            const CGrowableArray<D3DDISPLAYMODE>* modes = ModesOf(pBest);
            if (target != 0 && modes != nullptr) {
                bool found = false;
                int64_t bestDistance = 0;
                for (int32_t i = 0; i < modes->GetSize(); ++i) {
                    const D3DDISPLAYMODE& m = modes->GetAt(i);
                    if (m.Format != pBest->AdapterFormat || m.Width != bestMode.Width || m.Height != bestMode.Height)
                        continue;
                    const int64_t distance = Distance(m.RefreshRate, target);
                    if (!found || distance < bestDistance) {
                        refreshRate = m.RefreshRate;
                        bestDistance = distance;
                        found = true;
                        if (distance == 0) break;
                    }
                }
            }
        }
    }

    // Presentation interval.
    UINT presentInterval = D3DPRESENT_INTERVAL_DEFAULT;
    if (mo.ePresentInterval == FWMT_PRESERVE_INPUT) {
        presentInterval = in.pp.PresentationInterval;
    } else if (mo.ePresentInterval == FWMT_CLOSEST_TO_INPUT) {
        if (pBest->presentIntervalList.Contains(in.pp.PresentationInterval))
            presentInterval = in.pp.PresentationInterval;
    }

    valid.BehaviorFlags = behaviorFlags;
    valid.pp.BackBufferWidth = bestMode.Width;
    valid.pp.BackBufferHeight = bestMode.Height;
    valid.pp.BackBufferFormat = pBest->BackBufferFormat;
    valid.pp.BackBufferCount = backBufferCount;
    valid.pp.MultiSampleType = msType;
    valid.pp.MultiSampleQuality = msQuality;
    valid.pp.SwapEffect = swapEffect;
    valid.pp.hDeviceWindow = pBest->Windowed ? context.hWndDeviceWindowed : context.hWndDeviceFullScreen;
    valid.pp.Windowed = pBest->Windowed;
    valid.pp.EnableAutoDepthStencil = enableAutoDepthStencil;
    valid.pp.AutoDepthStencilFormat = depthStencilFormat;
    valid.pp.Flags = presentFlags;
    valid.pp.FullScreen_RefreshRateInHz = refreshRate;
    valid.pp.PresentationInterval = presentInterval;
    return valid;
}

}  // namespace

HRESULT FWFindValidDeviceSettingsIn(const FWMatchContext& context, FWDeviceSettings* pOut,
                                    const FWDeviceSettings* pIn, const FWMatchOptions* pMatchOptions) {
    if (pOut == nullptr) return E_INVALIDARG;
    if (context.pD3D == nullptr) return FWERR_NODIRECT3D;
    if (context.pEnumeration == nullptr) return E_INVALIDARG;

    // pOut may be pIn: work on copies.
    const FWDeviceSettings in = pIn != nullptr ? *pIn : FWDeviceSettings{};
    const FWMatchOptions mo = pMatchOptions != nullptr ? *pMatchOptions : FWMatchOptions{};

    const FWDeviceSettings optimal = BuildOptimalDeviceSettings(context.pD3D, in, mo);

    const CD3DEnumDeviceSettingsCombo* pBest = nullptr;
    float bestRank = -1.0f;
    CGrowableArray<CD3DEnumAdapterInfo*>* adapters = context.pEnumeration->GetAdapterInfoList();
    for (int32_t iAdapter = 0; iAdapter < adapters->GetSize(); ++iAdapter) {
        const CD3DEnumAdapterInfo* pAdapterInfo = adapters->GetAt(iAdapter);
        const D3DDISPLAYMODE desktop = DesktopMode(context.pD3D, pAdapterInfo->AdapterOrdinal);
        for (int32_t iDevice = 0; iDevice < pAdapterInfo->deviceInfoList.GetSize(); ++iDevice) {
            const CD3DEnumDeviceInfo* pDeviceInfo = pAdapterInfo->deviceInfoList[iDevice];
            for (int32_t iCombo = 0; iCombo < pDeviceInfo->deviceSettingsComboList.GetSize(); ++iCombo) {
                const CD3DEnumDeviceSettingsCombo* pCombo = pDeviceInfo->deviceSettingsComboList[iCombo];
                // A window shares the desktop, so only the desktop's format works.
                if (pCombo->Windowed && pCombo->AdapterFormat != desktop.Format) continue;
                if (!MatchesPreserveOptions(pCombo, in, mo)) continue;
                const float rank = RankDeviceCombo(pCombo, optimal, desktop);
                if (rank > bestRank) {
                    bestRank = rank;
                    pBest = pCombo;
                }
            }
        }
    }

    if (pBest == nullptr) return FWERR_NOCOMPATIBLEDEVICES;

    *pOut = BuildValidDeviceSettings(context, pBest, in, mo);
    return S_OK;
}
