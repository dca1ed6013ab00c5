// Device enumeration: what every adapter can do, as a tree of adapters,
// device types and device settings combinations.
#include "common/device_enumeration.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/ascii.h"

namespace {

// Adapter formats the framework can put on the desktop, in enumeration order.
constexpr D3DFORMAT kAllowedAdapterFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5,
                                                D3DFMT_A2R10G10B10};

// Back-buffer formats tried on every adapter format, in enumeration order.
constexpr D3DFORMAT kBackBufferFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10,
                                            D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};

constexpr D3DDEVTYPE kDeviceTypes[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF};

// The longest unique description taken from an adapter's description, in
// characters (the ordinal suffix comes on top).
constexpr size_t kMaxDescriptionChars = 100;

bool ModeLess(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    if (a.Width != b.Width) return a.Width < b.Width;
    if (a.Height != b.Height) return a.Height < b.Height;
    if (a.Format != b.Format) return a.Format < b.Format;
    return a.RefreshRate < b.RefreshRate;
}

// Length of a fixed-size text field that a driver may have left unterminated.
size_t BoundedLength(const char* text, size_t capacity) {
    const void* end = std::memchr(text, 0, capacity);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : capacity;
}

// Decodes UTF-8 into at most maxChars wide characters (plus the terminator;
// out holds at least maxChars + 1). Malformed sequences become U+FFFD.
void Utf8ToWideBounded(const char* text, size_t length, WCHAR* out, size_t maxChars) {
    size_t n = 0;
    size_t i = 0;
    while (i < length && n < maxChars) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0xFFFD;
        size_t extra = 0;
        uint32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            cp = lead & 0x1Fu, extra = 1, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            cp = lead & 0x0Fu, extra = 2, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            cp = lead & 0x07u, extra = 3, minimum = 0x10000;
        } else {
            cp = 0xFFFD;  // stray continuation byte or invalid lead
        }
        ++i;
        bool ok = true;
        for (size_t k = 0; k < extra; ++k) {
            if (i >= length || (static_cast<unsigned char>(text[i]) & 0xC0u) != 0x80u) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
            ++i;
        }
        if (!ok || (extra > 0 && (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))) cp = 0xFFFD;
        out[n++] = static_cast<WCHAR>(cp);
    }
    out[n] = 0;
}

}  // namespace

// --- records ---------------------------------------------------------------------

CD3DEnumAdapterInfo::~CD3DEnumAdapterInfo() {
    for (int32_t i = 0; i < deviceInfoList.GetSize(); ++i) delete deviceInfoList[i];
    deviceInfoList.RemoveAll();
}

CD3DEnumDeviceInfo::~CD3DEnumDeviceInfo() {
    for (int32_t i = 0; i < deviceSettingsComboList.GetSize(); ++i) delete deviceSettingsComboList[i];
    deviceSettingsComboList.RemoveAll();
}

// --- enumeration object ------------------------------------------------------------

CD3DEnumeration::CD3DEnumeration() {
    // Out of memory here leaves a shorter list; enumeration then offers less.
    const D3DFORMAT depthStencil[] = {D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
    for (D3DFORMAT f : depthStencil) m_DepthStencilPossibleList.Add(f);

    for (uint32_t t = D3DMULTISAMPLE_NONE; t <= D3DMULTISAMPLE_16_SAMPLES; ++t)
        m_MultiSampleTypeList.Add(static_cast<D3DMULTISAMPLE_TYPE>(t));

    const UINT intervals[] = {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT, D3DPRESENT_INTERVAL_ONE,
                              D3DPRESENT_INTERVAL_TWO,       D3DPRESENT_INTERVAL_THREE,   D3DPRESENT_INTERVAL_FOUR};
    for (UINT pi : intervals) m_PresentIntervalList.Add(pi);
}

CD3DEnumeration::~CD3DEnumeration() { ClearAdapterInfoList(); }

void CD3DEnumeration::ClearAdapterInfoList() {
    for (int32_t i = 0; i < m_AdapterInfoList.GetSize(); ++i) delete m_AdapterInfoList[i];
    m_AdapterInfoList.RemoveAll();
}

HRESULT CD3DEnumeration::Enumerate(IDirect3D9* pD3D, LPFWCALLBACKISDEVICEACCEPTABLE IsDeviceAcceptableFunc,
                                   void* pIsDeviceAcceptableFuncUserContext) {
    if (pD3D == nullptr) return FWERR_NODIRECT3D;

    m_pD3D = pD3D;
    m_IsDeviceAcceptableFunc = IsDeviceAcceptableFunc;
    m_pIsDeviceAcceptableFuncUserContext = pIsDeviceAcceptableFuncUserContext;
    ClearAdapterInfoList();

    HRESULT hr = S_OK;
    CGrowableArray<D3DFORMAT> adapterFormatList;
    const UINT numAdapters = m_pD3D->GetAdapterCount();
    for (UINT adapterOrdinal = 0; adapterOrdinal < numAdapters; ++adapterOrdinal) {
        CD3DEnumAdapterInfo* pAdapterInfo = new (std::nothrow) CD3DEnumAdapterInfo;
        if (pAdapterInfo == nullptr) {
            hr = E_OUTOFMEMORY;
            break;
        }
        pAdapterInfo->AdapterOrdinal = adapterOrdinal;
        if (FAILED(m_pD3D->GetAdapterIdentifier(adapterOrdinal, 0, &pAdapterInfo->AdapterIdentifier)))
            pAdapterInfo->AdapterIdentifier = D3DADAPTER_IDENTIFIER9{};

        // Display modes in the allowed adapter formats, within the limits; the
        // formats they use become the adapter formats to try.
        adapterFormatList.RemoveAll();
        for (D3DFORMAT allowedFormat : kAllowedAdapterFormats) {
            const UINT numModes = m_pD3D->GetAdapterModeCount(adapterOrdinal, allowedFormat);
            for (UINT mode = 0; mode < numModes && SUCCEEDED(hr); ++mode) {
                D3DDISPLAYMODE displayMode{};
                if (FAILED(m_pD3D->EnumAdapterModes(adapterOrdinal, allowedFormat, mode, &displayMode))) continue;
                if (displayMode.Width < m_nMinWidth || displayMode.Height < m_nMinHeight ||
                    displayMode.Width > m_nMaxWidth || displayMode.Height > m_nMaxHeight ||
                    displayMode.RefreshRate < m_nRefreshMin || displayMode.RefreshRate > m_nRefreshMax)
                    continue;
                hr = pAdapterInfo->displayModeList.Add(displayMode);
                if (SUCCEEDED(hr) && !adapterFormatList.Contains(displayMode.Format))
                    hr = adapterFormatList.Add(displayMode.Format);
            }
        }

        // The desktop's format serves windowed combinations even when it is
        // none of the allowed ones.
        D3DDISPLAYMODE desktopMode{};
        if (SUCCEEDED(hr) && SUCCEEDED(m_pD3D->GetAdapterDisplayMode(adapterOrdinal, &desktopMode)) &&
            !adapterFormatList.Contains(desktopMode.Format))
            hr = adapterFormatList.Add(desktopMode.Format);

        if (FAILED(hr)) {
            delete pAdapterInfo;
            break;
        }

        D3DDISPLAYMODE* modes = pAdapterInfo->displayModeList.GetData();
        if (modes != nullptr) std::sort(modes, modes + pAdapterInfo->displayModeList.GetSize(), ModeLess);

        hr = EnumerateDevices(pAdapterInfo, &adapterFormatList);
        if (FAILED(hr) || pAdapterInfo->deviceInfoList.GetSize() == 0) {
            delete pAdapterInfo;
            if (FAILED(hr)) break;
            continue;
        }

        hr = m_AdapterInfoList.Add(pAdapterInfo);
        if (FAILED(hr)) {
            delete pAdapterInfo;
            break;
        }
    }

    if (FAILED(hr)) {
        // Only memory can run out here; leave no half-built result behind.
        ClearAdapterInfoList();
        return hr;
    }

    BuildUniqueDescriptions();
    return S_OK;
}

void CD3DEnumeration::BuildUniqueDescriptions() {
    const int32_t count = m_AdapterInfoList.GetSize();
    bool bUniqueDesc = true;
    for (int32_t i = 0; i < count && bUniqueDesc; ++i) {
        const D3DADAPTER_IDENTIFIER9& a = m_AdapterInfoList[i]->AdapterIdentifier;
        const size_t lenA = BoundedLength(a.Description, sizeof(a.Description));
        for (int32_t j = i + 1; j < count; ++j) {
            const D3DADAPTER_IDENTIFIER9& b = m_AdapterInfoList[j]->AdapterIdentifier;
            const size_t lenB = BoundedLength(b.Description, sizeof(b.Description));
            if (EqualIgnoringAsciiCase({a.Description, lenA}, {b.Description, lenB})) {
                bUniqueDesc = false;
                break;
            }
        }
    }

    for (int32_t i = 0; i < count; ++i) {
        CD3DEnumAdapterInfo* pAdapterInfo = m_AdapterInfoList[i];
        const D3DADAPTER_IDENTIFIER9& id = pAdapterInfo->AdapterIdentifier;
        WCHAR* desc = pAdapterInfo->szUniqueDescription;
        Utf8ToWideBounded(id.Description, BoundedLength(id.Description, sizeof(id.Description)), desc,
                          kMaxDescriptionChars);
        if (!bUniqueDesc) {
            const size_t used = std::wcslen(desc);
            const size_t room = sizeof(pAdapterInfo->szUniqueDescription) / sizeof(WCHAR) - used;
            std::swprintf(desc + used, room, L" (#%d)", static_cast<int>(pAdapterInfo->AdapterOrdinal));
        }
    }
}

HRESULT CD3DEnumeration::EnumerateDevices(CD3DEnumAdapterInfo* pAdapterInfo,
                                          CGrowableArray<D3DFORMAT>* pAdapterFormatList) {
    for (D3DDEVTYPE deviceType : kDeviceTypes) {
        CD3DEnumDeviceInfo* pDeviceInfo = new (std::nothrow) CD3DEnumDeviceInfo;
        if (pDeviceInfo == nullptr) return E_OUTOFMEMORY;

        pDeviceInfo->AdapterOrdinal = pAdapterInfo->AdapterOrdinal;
        pDeviceInfo->DeviceType = deviceType;
        if (FAILED(m_pD3D->GetDeviceCaps(pAdapterInfo->AdapterOrdinal, deviceType, &pDeviceInfo->Caps))) {
            delete pDeviceInfo;
            continue;
        }

        // A test device tells whether this type exists at all on the adapter;
        // only "not available" rules it out.
        D3DDISPLAYMODE primaryDesktop{};
        m_pD3D->GetAdapterDisplayMode(0, &primaryDesktop);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 1;
        pp.BackBufferHeight = 1;
        pp.BackBufferFormat = primaryDesktop.Format;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.Windowed = TRUE;
        pp.hDeviceWindow = nullptr;
        IDirect3DDevice9* pDevice = nullptr;
        const HRESULT hrDevice = m_pD3D->CreateDevice(pAdapterInfo->AdapterOrdinal, deviceType, nullptr,
                                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &pDevice);
        SAFE_RELEASE(pDevice);
        if (hrDevice == D3DERR_NOTAVAILABLE) {
            delete pDeviceInfo;
            continue;
        }

        const HRESULT hr = EnumerateDeviceCombos(pAdapterInfo, pDeviceInfo, pAdapterFormatList);
        if (FAILED(hr) || pDeviceInfo->deviceSettingsComboList.GetSize() == 0) {
            delete pDeviceInfo;
            if (FAILED(hr)) return hr;
            continue;
        }
        const HRESULT hrAdd = pAdapterInfo->deviceInfoList.Add(pDeviceInfo);
        if (FAILED(hrAdd)) {
            delete pDeviceInfo;
            return hrAdd;
        }
    }
    return S_OK;
}

HRESULT CD3DEnumeration::EnumerateDeviceCombos(CD3DEnumAdapterInfo* pAdapterInfo, CD3DEnumDeviceInfo* pDeviceInfo,
                                               CGrowableArray<D3DFORMAT>* pAdapterFormatList) {
    const UINT ordinal = pAdapterInfo->AdapterOrdinal;
    const D3DDEVTYPE deviceType = pDeviceInfo->DeviceType;
    for (int32_t iFormat = 0; iFormat < pAdapterFormatList->GetSize(); ++iFormat) {
        const D3DFORMAT adapterFormat = pAdapterFormatList->GetAt(iFormat);
        for (D3DFORMAT backBufferFormat : kBackBufferFormats) {
            for (BOOL windowed = FALSE; windowed <= TRUE; ++windowed) {
                if (!windowed && pAdapterInfo->displayModeList.GetSize() == 0) continue;
                if (FAILED(m_pD3D->CheckDeviceType(ordinal, deviceType, adapterFormat, backBufferFormat, windowed)))
                    continue;
                if (m_bRequirePostPixelShaderBlending &&
                    FAILED(m_pD3D->CheckDeviceFormat(ordinal, deviceType, adapterFormat,
                                                     D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_TEXTURE,
                                                     backBufferFormat)))
                    continue;
                if (m_IsDeviceAcceptableFunc != nullptr &&
                    !m_IsDeviceAcceptableFunc(&pDeviceInfo->Caps, adapterFormat, backBufferFormat, windowed != FALSE,
                                              m_pIsDeviceAcceptableFuncUserContext))
                    continue;

                CD3DEnumDeviceSettingsCombo* pCombo = new (std::nothrow) CD3DEnumDeviceSettingsCombo();
                if (pCombo == nullptr) return E_OUTOFMEMORY;
                pCombo->AdapterOrdinal = ordinal;
                pCombo->DeviceType = deviceType;
                pCombo->AdapterFormat = adapterFormat;
                pCombo->BackBufferFormat = backBufferFormat;
                pCombo->Windowed = windowed;

                HRESULT hr = BuildDepthStencilFormatList(pCombo);
                if (SUCCEEDED(hr)) hr = BuildMultiSampleTypeList(pCombo);
                if (SUCCEEDED(hr) && pCombo->multiSampleTypeList.GetSize() == 0) {
                    delete pCombo;  // not even "no multisampling" works here
                    continue;
                }
                if (SUCCEEDED(hr)) hr = BuildDSMSConflictList(pCombo);
                if (SUCCEEDED(hr)) hr = BuildPresentIntervalList(pDeviceInfo, pCombo);
                pCombo->pAdapterInfo = pAdapterInfo;
                pCombo->pDeviceInfo = pDeviceInfo;
                if (SUCCEEDED(hr)) hr = pDeviceInfo->deviceSettingsComboList.Add(pCombo);
                if (FAILED(hr)) {
                    delete pCombo;
                    return hr;
                }
            }
        }
    }
    return S_OK;
}

HRESULT CD3DEnumeration::BuildDepthStencilFormatList(CD3DEnumDeviceSettingsCombo* pCombo) {
    for (int32_t i = 0; i < m_DepthStencilPossibleList.GetSize(); ++i) {
        const D3DFORMAT dsFormat = m_DepthStencilPossibleList[i];
        if (FAILED(m_pD3D->CheckDeviceFormat(pCombo->AdapterOrdinal, pCombo->DeviceType, pCombo->AdapterFormat,
                                             D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, dsFormat)))
            continue;
        if (FAILED(m_pD3D->CheckDepthStencilMatch(pCombo->AdapterOrdinal, pCombo->DeviceType, pCombo->AdapterFormat,
                                                  pCombo->BackBufferFormat, dsFormat)))
            continue;
        const HRESULT hr = pCombo->depthStencilFormatList.Add(dsFormat);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CD3DEnumeration::BuildMultiSampleTypeList(CD3DEnumDeviceSettingsCombo* pCombo) {
    // The count of quality levels is capped at the maximum quality + 1; the
    // sum is taken wide so a maximum of 0xFFFFFFFF means "no cap".
    const uint64_t qualityCap = static_cast<uint64_t>(m_nMultisampleQualityMax) + 1;
    for (int32_t i = 0; i < m_MultiSampleTypeList.GetSize(); ++i) {
        const D3DMULTISAMPLE_TYPE msType = m_MultiSampleTypeList[i];
        DWORD qualityLevels = 0;
        if (FAILED(m_pD3D->CheckDeviceMultiSampleType(pCombo->AdapterOrdinal, pCombo->DeviceType,
                                                      pCombo->BackBufferFormat, pCombo->Windowed, msType,
                                                      &qualityLevels)))
            continue;
        HRESULT hr = pCombo->multiSampleTypeList.Add(msType);
        if (SUCCEEDED(hr))
            hr = pCombo->multiSampleQualityList.Add(static_cast<DWORD>(std::min<uint64_t>(qualityLevels, qualityCap)));
        if (FAILED(hr)) {
            // Keep the two lists parallel.
            if (pCombo->multiSampleTypeList.GetSize() > pCombo->multiSampleQualityList.GetSize())
                pCombo->multiSampleTypeList.Remove(pCombo->multiSampleTypeList.GetSize() - 1);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CD3DEnumeration::BuildDSMSConflictList(CD3DEnumDeviceSettingsCombo* pCombo) {
    for (int32_t iDS = 0; iDS < pCombo->depthStencilFormatList.GetSize(); ++iDS) {
        const D3DFORMAT dsFormat = pCombo->depthStencilFormatList[iDS];
        for (int32_t iMS = 0; iMS < pCombo->multiSampleTypeList.GetSize(); ++iMS) {
            const D3DMULTISAMPLE_TYPE msType = pCombo->multiSampleTypeList[iMS];
            if (SUCCEEDED(m_pD3D->CheckDeviceMultiSampleType(pCombo->AdapterOrdinal, pCombo->DeviceType, dsFormat,
                                                             pCombo->Windowed, msType, nullptr)))
                continue;
            const HRESULT hr = pCombo->DSMSConflictList.Add(CD3DEnumDSMSConflict{dsFormat, msType});
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

HRESULT CD3DEnumeration::BuildPresentIntervalList(CD3DEnumDeviceInfo* pDeviceInfo,
                                                  CD3DEnumDeviceSettingsCombo* pCombo) {
    for (int32_t i = 0; i < m_PresentIntervalList.GetSize(); ++i) {
        const UINT pi = m_PresentIntervalList[i];
        // A windowed swap chain presents at most once per refresh.
        if (pCombo->Windowed &&
            (pi == D3DPRESENT_INTERVAL_TWO || pi == D3DPRESENT_INTERVAL_THREE || pi == D3DPRESENT_INTERVAL_FOUR))
            continue;
        if (pi == D3DPRESENT_INTERVAL_DEFAULT || (pDeviceInfo->Caps.PresentationIntervals & pi) != 0) {
            const HRESULT hr = pCombo->presentIntervalList.Add(pi);
            if (FAILED(hr)) return hr;
        }
    }
    return S_OK;
}

// --- lookups -------------------------------------------------------------------------

CGrowableArray<CD3DEnumAdapterInfo*>* CD3DEnumeration::GetAdapterInfoList() { return &m_AdapterInfoList; }

CD3DEnumAdapterInfo* CD3DEnumeration::GetAdapterInfo(UINT AdapterOrdinal) {
    for (int32_t i = 0; i < m_AdapterInfoList.GetSize(); ++i)
        if (m_AdapterInfoList[i]->AdapterOrdinal == AdapterOrdinal) return m_AdapterInfoList[i];
    return nullptr;
}

CD3DEnumDeviceInfo* CD3DEnumeration::GetDeviceInfo(UINT AdapterOrdinal, D3DDEVTYPE DeviceType) {
    CD3DEnumAdapterInfo* pAdapterInfo = GetAdapterInfo(AdapterOrdinal);
    if (pAdapterInfo == nullptr) return nullptr;
    for (int32_t i = 0; i < pAdapterInfo->deviceInfoList.GetSize(); ++i)
        if (pAdapterInfo->deviceInfoList[i]->DeviceType == DeviceType) return pAdapterInfo->deviceInfoList[i];
    return nullptr;
}

CD3DEnumDeviceSettingsCombo* CD3DEnumeration::GetDeviceSettingsCombo(UINT AdapterOrdinal, D3DDEVTYPE DeviceType,
                                                                     D3DFORMAT AdapterFormat,
                                                                     D3DFORMAT BackBufferFormat, BOOL bWindowed) {
    CD3DEnumDeviceInfo* pDeviceInfo = GetDeviceInfo(AdapterOrdinal, DeviceType);
    if (pDeviceInfo == nullptr) return nullptr;
    for (int32_t i = 0; i < pDeviceInfo->deviceSettingsComboList.GetSize(); ++i) {
        CD3DEnumDeviceSettingsCombo* pCombo = pDeviceInfo->deviceSettingsComboList[i];
        if (pCombo->AdapterFormat == AdapterFormat && pCombo->BackBufferFormat == BackBufferFormat &&
            (pCombo->Windowed != FALSE) == (bWindowed != FALSE))
            return pCombo;
    }
    return nullptr;
}

CD3DEnumDeviceSettingsCombo* CD3DEnumeration::GetDeviceSettingsCombo(const FWDeviceSettings* pDeviceSettings) {
    if (pDeviceSettings == nullptr) return nullptr;
    return GetDeviceSettingsCombo(pDeviceSettings->AdapterOrdinal, pDeviceSettings->DeviceType,
                                  pDeviceSettings->AdapterFormat, pDeviceSettings->pp.BackBufferFormat,
                                  pDeviceSettings->pp.Windowed);
}

// --- options -------------------------------------------------------------------------

void CD3DEnumeration::SetRequirePostPixelShaderBlending(bool bRequire) { m_bRequirePostPixelShaderBlending = bRequire; }

void CD3DEnumeration::SetResolutionMinMax(UINT nMinWidth, UINT nMinHeight, UINT nMaxWidth, UINT nMaxHeight) {
    m_nMinWidth = nMinWidth;
    m_nMinHeight = nMinHeight;
    m_nMaxWidth = nMaxWidth;
    m_nMaxHeight = nMaxHeight;
}

void CD3DEnumeration::SetRefreshMinMax(UINT nMin, UINT nMax) {
    m_nRefreshMin = nMin;
    m_nRefreshMax = nMax;
}

void CD3DEnumeration::SetMultisampleQualityMax(UINT nMax) { m_nMultisampleQualityMax = nMax; }

void CD3DEnumeration::SetPossibleVertexProcessingList(bool bSoftwareVP, bool bHardwareVP, bool bPureHarewareVP,
                                                      bool bMixedVP) {
    m_bSoftwareVP = bSoftwareVP;
    m_bHardwareVP = bHardwareVP;
    m_bPureHarewareVP = bPureHarewareVP;
    m_bMixedVP = bMixedVP;
}

void CD3DEnumeration::GetPossibleVertexProcessingList(bool* pbSoftwareVP, bool* pbHardwareVP, bool* pbPureHarewareVP,
                                                      bool* pbMixedVP) {
    if (pbSoftwareVP) *pbSoftwareVP = m_bSoftwareVP;
    if (pbHardwareVP) *pbHardwareVP = m_bHardwareVP;
    if (pbPureHarewareVP) *pbPureHarewareVP = m_bPureHarewareVP;
    if (pbMixedVP) *pbMixedVP = m_bMixedVP;
}

CGrowableArray<D3DFORMAT>* CD3DEnumeration::GetPossibleDepthStencilFormatList() { return &m_DepthStencilPossibleList; }

CGrowableArray<D3DMULTISAMPLE_TYPE>* CD3DEnumeration::GetPossibleMultisampleTypeList() {
    return &m_MultiSampleTypeList;
}

CGrowableArray<UINT>* CD3DEnumeration::GetPossiblePresentIntervalList() { return &m_PresentIntervalList; }

// --- the process's enumeration -------------------------------------------------------

CD3DEnumeration* FWGetEnumeration() {
    // Initialised once even when several threads ask first at the same time;
    // destroyed at process exit.
    static CD3DEnumeration s_enumeration;
    return &s_enumeration;
}

// --- format bit tables -----------------------------------------------------------------

UINT FWColorChannelBits(D3DFORMAT fmt) {
    switch (fmt) {
        case D3DFMT_R8G8B8:
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
            return 8;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
            return 5;
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
            return 4;
        case D3DFMT_R3G3B2:
        case D3DFMT_A8R3G3B2:
            return 2;
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A2R10G10B10:
            return 10;
        case D3DFMT_A16B16G16R16:
            return 16;
        default:
            return 0;
    }
}

UINT FWDepthBits(D3DFORMAT fmt) {
    switch (fmt) {
        case D3DFMT_D16_LOCKABLE:
        case D3DFMT_D16:
            return 16;
        case D3DFMT_D32:
        case D3DFMT_D32F_LOCKABLE:
            return 32;
        case D3DFMT_D15S1:
            return 15;
        case D3DFMT_D24S8:
        case D3DFMT_D24X8:
        case D3DFMT_D24X4S4:
        case D3DFMT_D24FS8:
            return 24;
        default:
            return 0;
    }
}

UINT FWStencilBits(D3DFORMAT fmt) {
    switch (fmt) {
        case D3DFMT_D15S1:
            return 1;
        case D3DFMT_D24S8:
        case D3DFMT_D24FS8:
            return 8;
        case D3DFMT_D24X4S4:
            return 4;
        default:
            return 0;
    }
}
