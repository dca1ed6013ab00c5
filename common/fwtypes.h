// Types shared by the whole framework: the device settings record, the
// application callbacks and the framework's result codes.
#pragma once

#include "platform/device.h"
#include "platform/device_types.h"
#include "platform/result.h"
#include "platform/types.h"

// The device settings that create, reset, change, match and the settings
// dialog exchange; always copied by value.
struct FWDeviceSettings {
    UINT AdapterOrdinal;
    D3DDEVTYPE DeviceType;
    D3DFORMAT AdapterFormat;
    DWORD BehaviorFlags;
    D3DPRESENT_PARAMETERS pp;
};

// Application callbacks. Each is optional; the user context given with it is
// passed back unchanged as the last argument.
using LPFWCALLBACKISDEVICEACCEPTABLE = bool (*)(D3DCAPS9* pCaps, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                                                bool bWindowed, void* pUserContext);
using LPFWCALLBACKMODIFYDEVICESETTINGS = bool (*)(FWDeviceSettings* pDeviceSettings, const D3DCAPS9* pCaps,
                                                  void* pUserContext);
using LPFWCALLBACKDEVICECREATED = HRESULT (*)(IDirect3DDevice9* pd3dDevice,
                                              const D3DSURFACE_DESC* pBackBufferSurfaceDesc, void* pUserContext);
using LPFWCALLBACKDEVICERESET = HRESULT (*)(IDirect3DDevice9* pd3dDevice,
                                            const D3DSURFACE_DESC* pBackBufferSurfaceDesc, void* pUserContext);
using LPFWCALLBACKDEVICELOST = void (*)(void* pUserContext);
using LPFWCALLBACKDEVICEDESTROYED = void (*)(void* pUserContext);
using LPFWCALLBACKFRAMEMOVE = void (*)(IDirect3DDevice9* pd3dDevice, double fTime, float fElapsedTime,
                                       void* pUserContext);
using LPFWCALLBACKFRAMERENDER = void (*)(IDirect3DDevice9* pd3dDevice, double fTime, float fElapsedTime,
                                         void* pUserContext);
using LPFWCALLBACKKEYBOARD = void (*)(UINT nChar, bool bKeyDown, bool bAltDown, void* pUserContext);
using LPFWCALLBACKMOUSE = void (*)(bool bLeftButtonDown, bool bRightButtonDown, bool bMiddleButtonDown,
                                   bool bSideButton1Down, bool bSideButton2Down, int nMouseWheelDelta, int xPos,
                                   int yPos, void* pUserContext);
using LPFWCALLBACKMSGPROC = LRESULT (*)(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                        bool* pbNoFurtherProcessing, void* pUserContext);
using LPFWCALLBACKTIMER = void (*)(UINT idEvent, void* pUserContext);

// Framework failures, in the interface facility from 0x80040901 upward.
constexpr HRESULT FWERR_NODIRECT3D = MAKE_HRESULT(1, FACILITY_ITF, 0x0901);
constexpr HRESULT FWERR_NOCOMPATIBLEDEVICES = MAKE_HRESULT(1, FACILITY_ITF, 0x0902);
constexpr HRESULT FWERR_MEDIANOTFOUND = MAKE_HRESULT(1, FACILITY_ITF, 0x0903);
constexpr HRESULT FWERR_NONZEROREFCOUNT = MAKE_HRESULT(1, FACILITY_ITF, 0x0904);
constexpr HRESULT FWERR_CREATINGDEVICE = MAKE_HRESULT(1, FACILITY_ITF, 0x0905);
constexpr HRESULT FWERR_RESETTINGDEVICE = MAKE_HRESULT(1, FACILITY_ITF, 0x0906);
constexpr HRESULT FWERR_CREATINGDEVICEOBJECTS = MAKE_HRESULT(1, FACILITY_ITF, 0x0907);
constexpr HRESULT FWERR_RESETTINGDEVICEOBJECTS = MAKE_HRESULT(1, FACILITY_ITF, 0x0908);
constexpr HRESULT FWERR_INCORRECTVERSION = MAKE_HRESULT(1, FACILITY_ITF, 0x0909);
constexpr HRESULT FWERR_DEVICEREMOVED = MAKE_HRESULT(1, FACILITY_ITF, 0x090A);
static_assert(FWERR_NODIRECT3D == static_cast<HRESULT>(0x80040901u));
static_assert(FWERR_DEVICEREMOVED == static_cast<HRESULT>(0x8004090Au));
