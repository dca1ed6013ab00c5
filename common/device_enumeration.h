// Device enumeration and device settings matching.
//
// The enumeration asks the adapter object, once per enumeration, what every
// adapter can do and records it as a tree: adapters -> device types -> device
// settings combinations. The matcher turns a wish list of device settings into
// settings that one of those combinations supports.
#pragma once

#include "common/fwshared.h"
#include "common/fwtypes.h"

class CD3DEnumDeviceInfo;
struct CD3DEnumDeviceSettingsCombo;

// A depth-stencil format on which a multisample type does not work.
struct CD3DEnumDSMSConflict {
    D3DFORMAT DSFormat;
    D3DMULTISAMPLE_TYPE MSType;
};

class CD3DEnumAdapterInfo {
public:
    CD3DEnumAdapterInfo() = default;
    CD3DEnumAdapterInfo(const CD3DEnumAdapterInfo&) = delete;
    CD3DEnumAdapterInfo& operator=(const CD3DEnumAdapterInfo&) = delete;
    ~CD3DEnumAdapterInfo();  // frees its device types

    UINT AdapterOrdinal = 0;
    D3DADAPTER_IDENTIFIER9 AdapterIdentifier{};
    WCHAR szUniqueDescription[256]{};
    CGrowableArray<D3DDISPLAYMODE> displayModeList;
    CGrowableArray<CD3DEnumDeviceInfo*> deviceInfoList;  // owned
};

class CD3DEnumDeviceInfo {
public:
    CD3DEnumDeviceInfo() = default;
    CD3DEnumDeviceInfo(const CD3DEnumDeviceInfo&) = delete;
    CD3DEnumDeviceInfo& operator=(const CD3DEnumDeviceInfo&) = delete;
    ~CD3DEnumDeviceInfo();  // frees its combinations

    UINT AdapterOrdinal = 0;
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    D3DCAPS9 Caps{};
    CGrowableArray<CD3DEnumDeviceSettingsCombo*> deviceSettingsComboList;  // owned
};

// One (adapter, device type, adapter format, back-buffer format, windowed)
// that the system supports and the application accepted.
struct CD3DEnumDeviceSettingsCombo {
    UINT AdapterOrdinal = 0;
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    D3DFORMAT AdapterFormat = D3DFMT_UNKNOWN;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;
    BOOL Windowed = FALSE;

    CGrowableArray<D3DFORMAT> depthStencilFormatList;
    CGrowableArray<D3DMULTISAMPLE_TYPE> multiSampleTypeList;
    CGrowableArray<DWORD> multiSampleQualityList;  // quality-level counts, parallel to the types
    CGrowableArray<UINT> presentIntervalList;
    CGrowableArray<CD3DEnumDSMSConflict> DSMSConflictList;

    CD3DEnumAdapterInfo* pAdapterInfo = nullptr;  // not owned
    CD3DEnumDeviceInfo* pDeviceInfo = nullptr;    // not owned
};

class CD3DEnumeration {
public:
    CD3DEnumeration();
    CD3DEnumeration(const CD3DEnumeration&) = delete;
    CD3DEnumeration& operator=(const CD3DEnumeration&) = delete;
    ~CD3DEnumeration();

    // Enumerates again (freeing the previous result) on the given adapter
    // object; FWERR_NODIRECT3D when it is null. (The framework's own entry,
    // FWPrepareEnumeration in fw.h, passes the framework's adapter object.)
    HRESULT Enumerate(IDirect3D9* pD3D, LPFWCALLBACKISDEVICEACCEPTABLE IsDeviceAcceptableFunc = nullptr,
                      void* pIsDeviceAcceptableFuncUserContext = nullptr);

    // Lookups are linear; the first match wins; null when none.
    CGrowableArray<CD3DEnumAdapterInfo*>* GetAdapterInfoList();
    CD3DEnumAdapterInfo* GetAdapterInfo(UINT AdapterOrdinal);
    CD3DEnumDeviceInfo* GetDeviceInfo(UINT AdapterOrdinal, D3DDEVTYPE DeviceType);
    CD3DEnumDeviceSettingsCombo* GetDeviceSettingsCombo(UINT AdapterOrdinal, D3DDEVTYPE DeviceType,
                                                        D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                                                        BOOL bWindowed);
    CD3DEnumDeviceSettingsCombo* GetDeviceSettingsCombo(const FWDeviceSettings* pDeviceSettings);

    // Options of the next enumeration (defaults as documented in the source).
    void SetRequirePostPixelShaderBlending(bool bRequire);
    void SetResolutionMinMax(UINT nMinWidth, UINT nMinHeight, UINT nMaxWidth, UINT nMaxHeight);
    void SetRefreshMinMax(UINT nMin, UINT nMax);
    void SetMultisampleQualityMax(UINT nMax);
    void SetPossibleVertexProcessingList(bool bSoftwareVP, bool bHardwareVP, bool bPureHarewareVP, bool bMixedVP);
    void GetPossibleVertexProcessingList(bool* pbSoftwareVP, bool* pbHardwareVP, bool* pbPureHarewareVP,
                                         bool* pbMixedVP);
    CGrowableArray<D3DFORMAT>* GetPossibleDepthStencilFormatList();
    CGrowableArray<D3DMULTISAMPLE_TYPE>* GetPossibleMultisampleTypeList();
    CGrowableArray<UINT>* GetPossiblePresentIntervalList();

    // Frees all adapters (and with them their device types and combinations).
    void ClearAdapterInfoList();

private:
    HRESULT EnumerateDevices(CD3DEnumAdapterInfo* pAdapterInfo, CGrowableArray<D3DFORMAT>* pAdapterFormatList);
    HRESULT EnumerateDeviceCombos(CD3DEnumAdapterInfo* pAdapterInfo, CD3DEnumDeviceInfo* pDeviceInfo,
                                  CGrowableArray<D3DFORMAT>* pAdapterFormatList);
    // Each fails only when memory runs out.
    HRESULT BuildDepthStencilFormatList(CD3DEnumDeviceSettingsCombo* pDeviceCombo);
    HRESULT BuildMultiSampleTypeList(CD3DEnumDeviceSettingsCombo* pDeviceCombo);
    HRESULT BuildDSMSConflictList(CD3DEnumDeviceSettingsCombo* pDeviceCombo);
    HRESULT BuildPresentIntervalList(CD3DEnumDeviceInfo* pDeviceInfo, CD3DEnumDeviceSettingsCombo* pDeviceCombo);
    void BuildUniqueDescriptions();

    IDirect3D9* m_pD3D = nullptr;  // not owned
    LPFWCALLBACKISDEVICEACCEPTABLE m_IsDeviceAcceptableFunc = nullptr;
    void* m_pIsDeviceAcceptableFuncUserContext = nullptr;
    bool m_bRequirePostPixelShaderBlending = true;
    CGrowableArray<D3DFORMAT> m_DepthStencilPossibleList;
    CGrowableArray<D3DMULTISAMPLE_TYPE> m_MultiSampleTypeList;
    CGrowableArray<UINT> m_PresentIntervalList;
    bool m_bSoftwareVP = true;
    bool m_bHardwareVP = true;
    bool m_bPureHarewareVP = true;
    bool m_bMixedVP = false;
    UINT m_nMinWidth = 640;
    UINT m_nMaxWidth = 0xFFFFFFFF;
    UINT m_nMinHeight = 480;
    UINT m_nMaxHeight = 0xFFFFFFFF;
    UINT m_nRefreshMin = 0;
    UINT m_nRefreshMax = 0xFFFFFFFF;
    UINT m_nMultisampleQualityMax = 0xFFFF;
    CGrowableArray<CD3DEnumAdapterInfo*> m_AdapterInfoList;  // owned
};

// The one enumeration object of the process, created on first call.
CD3DEnumeration* FWGetEnumeration();

// --- settings matching -----------------------------------------------------------

enum FWMATCH_TYPE : uint32_t {
    FWMT_IGNORE_INPUT = 0,       // choose freely, starting from the framework default
    FWMT_PRESERVE_INPUT = 1,     // the candidate must support the input value exactly
    FWMT_CLOSEST_TO_INPUT = 2,   // prefer the input value, else the nearest supported one
};

struct FWMatchOptions {
    FWMATCH_TYPE eAdapterOrdinal;
    FWMATCH_TYPE eDeviceType;
    FWMATCH_TYPE eWindowed;
    FWMATCH_TYPE eAdapterFormat;
    FWMATCH_TYPE eVertexProcessing;
    FWMATCH_TYPE eResolution;
    FWMATCH_TYPE eBackBufferFormat;
    FWMATCH_TYPE eBackBufferCount;
    FWMATCH_TYPE eMultiSample;
    FWMATCH_TYPE eSwapEffect;
    FWMATCH_TYPE eDepthFormat;
    FWMATCH_TYPE eStencilFormat;
    FWMATCH_TYPE ePresentFlags;
    FWMATCH_TYPE eRefreshRate;
    FWMATCH_TYPE ePresentInterval;
};

// Match options with the same rule for every setting.
constexpr FWMatchOptions AllMatchOptions(FWMATCH_TYPE rule) {
    FWMatchOptions matchOptions{};
    matchOptions.eAdapterOrdinal = rule;
    matchOptions.eDeviceType = rule;
    matchOptions.eWindowed = rule;
    matchOptions.eAdapterFormat = rule;
    matchOptions.eVertexProcessing = rule;
    matchOptions.eResolution = rule;
    matchOptions.eBackBufferFormat = rule;
    matchOptions.eBackBufferCount = rule;
    matchOptions.eMultiSample = rule;
    matchOptions.eSwapEffect = rule;
    matchOptions.eDepthFormat = rule;
    matchOptions.eStencilFormat = rule;
    matchOptions.ePresentFlags = rule;
    matchOptions.eRefreshRate = rule;
    matchOptions.ePresentInterval = rule;
    return matchOptions;
}

// What the matcher works on: the adapter object, the enumeration, and the
// device windows that valid settings name (windowed / full screen).
struct FWMatchContext {
    IDirect3D9* pD3D;
    CD3DEnumeration* pEnumeration;
    HWND hWndDeviceWindowed;
    HWND hWndDeviceFullScreen;
};

// The matcher. pOut and pIn may be the same record; a null pIn means all
// zero; a null pMatchOptions means all ignore. E_INVALIDARG for a null pOut
// or a context without enumeration, FWERR_NODIRECT3D for a context without
// adapter object, FWERR_NOCOMPATIBLEDEVICES when no combination passes the
// preserve rules (none is traced here). The desktop mode of each adapter is
// read from context.pD3D at every call. A multisample quality q counts as
// supported when q < the type's quality-level count.
HRESULT FWFindValidDeviceSettingsIn(const FWMatchContext& context, FWDeviceSettings* pOut,
                                    const FWDeviceSettings* pIn, const FWMatchOptions* pMatchOptions);

// The framework's entry, FWFindValidDeviceSettings (pOut, pIn, pMatchOptions),
// is declared in fw.h: it traces a null pOut, makes sure the enumeration
// exists without re-enumerating, and runs the matcher on the framework's
// adapter object, enumeration and windows.

// Format bit tables of the ranking.
UINT FWColorChannelBits(D3DFORMAT fmt);
UINT FWDepthBits(D3DFORMAT fmt);
UINT FWStencilBits(D3DFORMAT fmt);
