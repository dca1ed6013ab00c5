// The 3-D device: the adapter object, the device, its resources, and a
// scripted adapter table for tests.
//
// Objects are reference counted: a creator hands out one reference, AddRef
// adds one, Release drops one and deletes the object at zero, returning the
// count that remains. Resources hold a reference to their device, so a device
// released while resources are alive reports a count above zero.
//
// Screen-space conventions are the device's: pixel coordinates run from the
// top-left corner of the back buffer downward, clip-space depth runs from 0 to
// 1, matrices are row-vector (see platform/maths.h). How the drawing API
// underneath differs is handled inside the layer and never seen above it.
#pragma once

#include <string>
#include <vector>

#include "platform/device_types.h"
#include "platform/result.h"
#include "platform/types.h"

class RefCounted {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    ULONG AddRef() { return ++m_refs; }
    ULONG Release() {
        ULONG left = --m_refs;
        if (left == 0) LastReleased();
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;
    // Called when the last reference goes; deletes the object unless a
    // derived class keeps it for a while (objects bound to a device stay until
    // they are unbound).
    virtual void LastReleased() { delete this; }

private:
    ULONG m_refs = 1;
};

template <class T>
inline void SAFE_RELEASE(T*& p) {
    if (p) {
        p->Release();
        p = nullptr;
    }
}

class IDirect3D9;
class IDirect3DDevice9;

class IDirect3DResource9 : public RefCounted {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

class IDirect3DBaseTexture9 : public IDirect3DResource9 {
public:
    virtual DWORD GetLevelCount() = 0;
};

// A 2-D texture. Managed-pool textures survive a device reset.
class IDirect3DTexture9 : public IDirect3DBaseTexture9 {
public:
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // Rows are top-down; A8R8G8B8 / X8R8G8B8 texels are 32-bit 0xAARRGGBB values.
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

// A plain image in system memory (used for the device cursor).
class IDirect3DSurface9 : public IDirect3DResource9 {
public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

class IDirect3DVertexBuffer9 : public IDirect3DResource9 {
public:
    virtual UINT GetSize() = 0;
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class IDirect3DIndexBuffer9 : public IDirect3DResource9 {
public:
    virtual UINT GetSize() = 0;
    virtual D3DFORMAT GetFormat() = 0;  // D3DFMT_INDEX16 or D3DFMT_INDEX32
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
};

class IDirect3DVertexDeclaration9 : public RefCounted {
public:
    // Copies the elements, end marker included, and their count (with it).
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) = 0;
};

// Records device state and puts it back.
class IDirect3DStateBlock9 : public RefCounted {
public:
    virtual HRESULT Capture() = 0;
    virtual HRESULT Apply() = 0;
};

class IDirect3DDevice9 : public RefCounted {
public:
    // S_OK when the device can draw; D3DERR_DEVICELOST while it cannot be
    // reset yet; D3DERR_DEVICENOTRESET when it can be reset now.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT GetDirect3D(IDirect3D9** d3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* params) = 0;
    // The present parameters in use, with the sizes the device chose.
    virtual HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* params) = 0;
    // Description of back buffer 0.
    virtual HRESULT GetBackBufferDesc(D3DSURFACE_DESC* desc) = 0;
    // A zero back-buffer width or height takes the device window's client
    // size; the chosen size is written back into *params (also for creation).
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT Present(const RECT* source, const RECT* dest, HWND overrideWindow, const void* dirtyRegion) = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;

    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;

    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* ib) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primitiveCount) = 0;
    // Draws from memory. Pre-transformed coloured vertices (D3DFVF_XYZRHW |
    // D3DFVF_DIFFUSE: x, y in back-buffer pixels, z, rhw, ARGB colour) use the
    // layer's built-in shader.
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                    UINT stride) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, void* sharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** vb, void* sharedHandle) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** ib, void* sharedHandle) = 0;
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, void* sharedHandle) = 0;

    virtual HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) = 0;
    virtual HRESULT BeginStateBlock() = 0;
    virtual HRESULT EndStateBlock(IDirect3DStateBlock9** block) = 0;

    // The device cursor: an A8R8G8B8 image with its hot spot.
    virtual HRESULT SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface9* image) = 0;
    virtual void SetCursorPosition(int x, int y, DWORD flags) = 0;
    virtual BOOL ShowCursor(BOOL show) = 0;

    // Copy of the back buffer as top-down rows of RGBA bytes (tests and
    // screenshots).
    virtual HRESULT ReadBackBuffer(std::vector<uint8_t>* rgba, UINT* width, UINT* height) = 0;
};

// GetDevice of every object made on a device: a new reference to the device
// through *out (D3DERR_INVALIDCALL for a null out).
inline HRESULT ReferenceDeviceTo(IDirect3DDevice9* device, IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    device->AddRef();
    *out = device;
    return S_OK;
}

// The adapter object: adapters, display modes, capabilities and checks.
class IDirect3D9 : public RefCounted {
public:
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
    // The adapter's current desktop mode.
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                               D3DMULTISAMPLE_TYPE multiSample, DWORD* qualityLevels) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    virtual HMONITOR GetAdapterMonitor(UINT adapter) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;
};

// The version number the program is built for; Direct3DCreate9 refuses others.
constexpr UINT D3D_SDK_VERSION = 32;

// The adapter object of this system (or of the scripted table, when one is
// selected). Null when the drawing system cannot be reached.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);

// Performance markers: named regions in a frame capture. They return -1 when
// the system offers no markers.
int D3DPERF_BeginEvent(D3DCOLOR color, const wchar_t* name);
int D3DPERF_EndEvent();

// --- scripted adapter table ----------------------------------------------------
//
// Tests describe any set of adapters, modes, formats and capabilities; while a
// script is selected, Direct3DCreate9 returns an adapter object that answers
// every query and check from it, and its devices are scripted devices that
// draw nothing and record what they are asked.

struct ScriptedCombo {
    D3DFORMAT adapterFormat;
    D3DFORMAT backBufferFormat;
    bool windowed;
};

struct ScriptedMultiSample {
    D3DMULTISAMPLE_TYPE type;
    DWORD qualityLevels;
};

struct ScriptedDepthConflict {
    D3DFORMAT depthStencilFormat;
    D3DMULTISAMPLE_TYPE multiSampleType;
};

struct ScriptedDeviceType {
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    D3DCAPS9 caps{};  // DeviceType and AdapterOrdinal are filled in by the layer
    // Result of creating a device of this type (D3DERR_NOTAVAILABLE: the type
    // does not exist on this adapter).
    HRESULT createResult = S_OK;
    // CheckDeviceType succeeds for exactly these.
    std::vector<ScriptedCombo> combos;
    // Texture formats that support blending after the pixel shader.
    std::vector<D3DFORMAT> blendableTextureFormats;
    // Depth-stencil formats usable (and matching every back-buffer format).
    std::vector<D3DFORMAT> depthStencilFormats;
    // Multisample types supported for every back-buffer format and mode.
    std::vector<ScriptedMultiSample> multiSample;
    // Depth-stencil formats on which a multisample type fails.
    std::vector<ScriptedDepthConflict> depthConflicts;
    // Further texture formats usable without special usage (the blendable
    // ones are usable too).
    std::vector<D3DFORMAT> textureFormats;
};

struct ScriptedAdapter {
    std::string description = "Scripted Adapter";
    std::string driver = "scripted";
    std::string deviceName = "DISPLAY1";
    D3DDISPLAYMODE desktop{1280, 1024, 60, D3DFMT_X8R8G8B8};
    std::vector<D3DDISPLAYMODE> modes;  // every mode, any format
    std::vector<ScriptedDeviceType> deviceTypes;
};

struct ScriptedSystem {
    std::vector<ScriptedAdapter> adapters;
};

// Behaviour of the scripted devices, set by tests between calls.
struct ScriptedDeviceBehaviour {
    HRESULT presentResult = S_OK;
    HRESULT cooperativeLevel = S_OK;
    HRESULT resetResult = S_OK;
    HRESULT beginSceneResult = S_OK;
};

// What the scripted devices were asked, for tests to read.
struct ScriptedDeviceLog {
    int devicesCreated = 0;
    int devicesAlive = 0;   // scripted devices not yet destroyed
    int resets = 0;         // Reset calls that reached a device (failed ones too)
    int presents = 0;
    int clears = 0;
    int scenes = 0;         // successful BeginScene calls
    int drawCalls = 0;
    DWORD fillMode = D3DFILL_SOLID;  // the fill mode of the last device that changed it
    D3DCOLOR lastClearColor = 0;
    int cursorImages = 0;   // successful SetCursorProperties calls
    bool cursorVisible = false;
    POINT cursorPosition{0, 0};
    D3DPRESENT_PARAMETERS lastPresentParameters{};  // as completed by the device
    D3DDEVICE_CREATION_PARAMETERS lastCreation{};
};

// Selects a script (copied) for every later Direct3DCreate9; null returns to
// the real system. Selecting a script also sets the behaviour and the log back
// to their defaults. Adapter objects already created keep their script.
void PlatformUseScriptedSystem(const ScriptedSystem* script);
bool PlatformUsingScriptedSystem();
ScriptedDeviceBehaviour& PlatformScriptedBehaviour();
ScriptedDeviceLog& PlatformScriptedLog();

// A typical machine: one HAL adapter with a 1280x1024 X8R8G8B8 desktop,
// the usual modes from 640x480 up, hardware transform and lighting, vertex and
// pixel shaders 3.0, windowed and full-screen X8R8G8B8/A8R8G8B8 back buffers,
// depth formats D16, D24X8, D24S8 and D32, no multisampling.
ScriptedSystem MakeTypicalScriptedSystem();
