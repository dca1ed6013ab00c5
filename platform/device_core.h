// The part of every 3-D device that does not depend on how it draws: device
// state (render, sampler and texture-stage states, bound textures, vertex
// input, viewport), state blocks, resources kept in system memory, the
// reference rules, present parameter checks and the cursor state. The scripted
// device and the OpenGL device derive from CoreDevice and implement the
// drawing hooks.
//
// Reference rules (they match what the framework expects of a device):
// - every object created by a device holds one reference to the device while
//   the object itself has references, so releasing the device while objects
//   are alive reports a count above zero;
// - binding an object to the device (SetTexture, SetStreamSource, SetIndices,
//   SetVertexDeclaration, state blocks) does not add a visible reference; a
//   bound object whose last reference is released stays alive (without
//   holding the device) until it is unbound or the device goes away.
#pragma once

#include <bitset>
#include <cstdint>
#include <vector>

#include "platform/device.h"

namespace devcore {

constexpr int kRenderStates = 256;
constexpr int kSamplers = 16;
constexpr int kSamplerStates = 14;
constexpr int kStages = 8;
constexpr int kStageStates = 33;
constexpr int kStreams = 16;

class CoreDevice;

// Bytes per pixel of a format the device can keep in memory, 0 for formats it
// cannot (compressed, palette, video formats).
UINT FormatBytesPerPixel(D3DFORMAT format);
bool IsDepthStencilFormat(D3DFORMAT format);
// The client size of a window (640 x 480 for no window or an unknown one,
// as the scripted devices of tests often have).
void WindowClientSize(HWND window, UINT* width, UINT* height);

// An object owned by a device. Interface is the public interface it
// implements.
template <class Interface>
class DeviceChild : public Interface {
public:
    explicit DeviceChild(CoreDevice* device);

    CoreDevice* Owner() const { return m_device; }
    // Internal references held by device bindings.
    void BindRef() { ++m_bindRefs; }
    void UnbindRef() {
        if (--m_bindRefs == 0 && m_publicGone) delete this;
    }

protected:
    void LastReleased() override;

private:
    CoreDevice* m_device;
    int m_bindRefs = 0;
    bool m_publicGone = false;
};

// --- resources ----------------------------------------------------------------

struct TextureLevel {
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;
    std::vector<uint8_t> bits;
    bool locked = false;
    bool readOnlyLock = false;
    RECT lockedRect{};
};

class TextureImpl final : public DeviceChild<IDirect3DTexture9> {
public:
    TextureImpl(CoreDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool);
    ~TextureImpl() override;

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    D3DFORMAT Format() const { return m_format; }
    D3DPOOL Pool() const { return m_pool; }
    DWORD Usage() const { return m_usage; }
    UINT BytesPerPixel() const { return m_bpp; }
    std::vector<TextureLevel>& Levels() { return m_levels; }

    // Backend data (the OpenGL texture name and what it still needs).
    uint32_t backendName = 0;
    uint32_t backendDirtyLevels = 0;  // bit per level that must be uploaded
    DWORD appliedSampler[kSamplerStates] = {};  // sampler states last applied to the backend texture
    bool samplerApplied = false;

private:
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    DWORD m_usage;
    UINT m_bpp;
    std::vector<TextureLevel> m_levels;
};

class SurfaceImpl final : public DeviceChild<IDirect3DSurface9> {
public:
    SurfaceImpl(CoreDevice* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }
    UINT Pitch() const { return m_pitch; }
    D3DFORMAT Format() const { return m_format; }
    const uint8_t* Bits() const { return m_bits.data(); }

private:
    UINT m_width, m_height, m_pitch;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
    std::vector<uint8_t> m_bits;
    bool m_locked = false;
};

// Vertex and index buffers share their memory handling.
class BufferData {
public:
    BufferData(UINT size, DWORD usage, D3DPOOL pool) : m_bits(size), m_usage(usage), m_pool(pool) {}
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();

    UINT Size() const { return static_cast<UINT>(m_bits.size()); }
    const uint8_t* Bits() const { return m_bits.data(); }
    DWORD Usage() const { return m_usage; }
    D3DPOOL Pool() const { return m_pool; }
    // The byte range written since the backend last took it (empty: begin >= end).
    UINT dirtyBegin = 0;
    UINT dirtyEnd = 0;
    bool discardOnUpload = false;
    uint32_t backendName = 0;

private:
    std::vector<uint8_t> m_bits;
    DWORD m_usage;
    D3DPOOL m_pool;
    int m_locks = 0;
};

class VertexBufferImpl final : public DeviceChild<IDirect3DVertexBuffer9> {
public:
    VertexBufferImpl(CoreDevice* device, UINT size, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBufferImpl() override;

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    UINT GetSize() override { return data.Size(); }
    HRESULT Lock(UINT offset, UINT size, void** bits, DWORD flags) override { return data.Lock(offset, size, bits, flags); }
    HRESULT Unlock() override;

    BufferData data;
    DWORD fvf;
};

class IndexBufferImpl final : public DeviceChild<IDirect3DIndexBuffer9> {
public:
    IndexBufferImpl(CoreDevice* device, UINT size, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~IndexBufferImpl() override;

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    UINT GetSize() override { return data.Size(); }
    D3DFORMAT GetFormat() override { return format; }
    HRESULT Lock(UINT offset, UINT size, void** bits, DWORD flags) override { return data.Lock(offset, size, bits, flags); }
    HRESULT Unlock() override;

    BufferData data;
    D3DFORMAT format;
};

class VertexDeclImpl final : public DeviceChild<IDirect3DVertexDeclaration9> {
public:
    VertexDeclImpl(CoreDevice* device, std::vector<D3DVERTEXELEMENT9> elements);
    ~VertexDeclImpl() override;
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;

    // Without the end marker.
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }
    uint32_t backendName = 0;  // the vertex array object built for it, if any

private:
    std::vector<D3DVERTEXELEMENT9> m_elements;
};

// The elements of a flexible vertex format (XYZ / XYZRHW, NORMAL, DIFFUSE,
// SPECULAR, TEX0..TEX8 of two floats), stride in *stride. False when the
// format has bits this device does not know.
bool FvfToElements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride);
UINT FvfStride(DWORD fvf);

// --- state -------------------------------------------------------------------------

struct StreamBinding {
    VertexBufferImpl* vb = nullptr;
    UINT offset = 0;
    UINT stride = 0;
};

// The values of every tracked state. Pointers are bound (internal references).
struct DeviceState {
    DWORD rs[kRenderStates];
    DWORD samp[kSamplers][kSamplerStates];
    DWORD tss[kStages][kStageStates];
    TextureImpl* tex[kSamplers];
    D3DVIEWPORT9 viewport;
    DWORD fvf;
    VertexDeclImpl* decl;
    StreamBinding streams[kStreams];
    IndexBufferImpl* indices;
};

// Which states a state block holds.
struct StateMask {
    std::bitset<kRenderStates> rs;
    std::bitset<kSamplerStates> samp[kSamplers];
    std::bitset<kStageStates> tss[kStages];
    std::bitset<kSamplers> tex;
    bool viewport = false;
    bool fvf = false;
    bool decl = false;
    std::bitset<kStreams> streams;
    bool indices = false;
};

class StateBlockImpl final : public DeviceChild<IDirect3DStateBlock9> {
public:
    explicit StateBlockImpl(CoreDevice* device);
    ~StateBlockImpl() override;
    HRESULT Capture() override;
    HRESULT Apply() override;

    DeviceState values;
    StateMask mask;
};

// What the adapter object tells a new device about itself.
struct DeviceSetup {
    IDirect3D9* d3d = nullptr;
    UINT adapter = 0;
    D3DDEVTYPE type = D3DDEVTYPE_HAL;
    HWND focusWindow = nullptr;
    DWORD behaviorFlags = 0;
    D3DCAPS9 caps{};
    D3DFORMAT desktopFormat = D3DFMT_X8R8G8B8;
};

// Checks and completes present parameters: zero back-buffer sizes of a
// windowed device take the window's client size, an unknown windowed format
// the desktop format, a zero count one buffer. D3DERR_INVALIDCALL for
// parameters no device accepts.
HRESULT ResolvePresentParameters(const D3DPRESENT_PARAMETERS& in, HWND focusWindow, D3DFORMAT desktopFormat,
                                 D3DPRESENT_PARAMETERS* out);

class CoreDevice : public IDirect3DDevice9 {
public:
    explicit CoreDevice(const DeviceSetup& setup);
    ~CoreDevice() override;

    // --- IDirect3DDevice9 (the parts common to every device) ---
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* params) override;
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* params) override;
    HRESULT GetBackBufferDesc(D3DSURFACE_DESC* desc) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source, const RECT* dest, HWND overrideWindow, const void* dirtyRegion) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;

    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;

    HRESULT SetFVF(DWORD fvf) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* ib) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, void* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vb,
                               void* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** ib,
                              void* sharedHandle) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, void* sharedHandle) override;

    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(IDirect3DStateBlock9** block) override;

    HRESULT SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface9* image) override;
    void SetCursorPosition(int x, int y, DWORD flags) override;
    BOOL ShowCursor(BOOL show) override;

    // --- for the resources and state blocks of this device ---
    const DeviceState& State() const { return m_state; }
    bool Recording() const { return m_recording != nullptr; }
    void ApplyBlock(const StateBlockImpl& block);
    void CaptureBlock(StateBlockImpl& block);
    void TextureUnlocked(TextureImpl* texture, UINT level) { OnTextureUnlocked(texture, level); }
    void TextureDestroyed(TextureImpl* texture) { OnTextureDestroyed(texture); }
    void BufferUnlocked(BufferData* buffer, bool indexBuffer) { OnBufferUnlocked(buffer, indexBuffer); }
    void BufferDestroyed(BufferData* buffer) { OnBufferDestroyed(buffer); }
    void DeclDestroyed(VertexDeclImpl* decl) { OnDeclDestroyed(decl); }
    void StateBlockCreated(StateBlockImpl* block) { m_blocks.push_back(block); }
    void StateBlockDestroyed(StateBlockImpl* block);

    const D3DPRESENT_PARAMETERS& PresentParams() const { return m_pp; }
    const DeviceSetup& Setup() const { return m_setup; }
    bool InScene() const { return m_inScene; }
    bool CursorShown() const { return m_cursorShown; }
    POINT CursorPosition() const { return m_cursorPos; }

protected:
    void LastReleased() override;

    // Called by the adapter object right after construction, with resolved
    // present parameters. Sets them and the default state.
    void InitPresentParameters(const D3DPRESENT_PARAMETERS& pp);
    // Releases every binding (called before the device is deleted, while the
    // derived part still exists).
    void ReleaseBindings();
    void ResetStateToDefaults();

    // --- hooks of the concrete device ---
    virtual HRESULT DoReset(const D3DPRESENT_PARAMETERS& pp) = 0;
    virtual HRESULT DoPresent() = 0;
    virtual HRESULT DoBeginScene() = 0;
    virtual HRESULT DoClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                            DWORD stencil) = 0;
    virtual HRESULT DoDraw(D3DPRIMITIVETYPE type, UINT vertexCount, UINT startVertex) = 0;
    virtual HRESULT DoDrawIndexed(D3DPRIMITIVETYPE type, INT baseVertex, UINT indexCount, UINT startIndex) = 0;
    virtual HRESULT DoDrawUP(D3DPRIMITIVETYPE type, UINT vertexCount, const void* vertices, UINT stride) = 0;
    virtual HRESULT DoSetCursorImage(UINT hotX, UINT hotY, const SurfaceImpl& image) = 0;
    virtual void DoShowCursor(bool show) = 0;
    virtual void DoCursorPosition(int x, int y) = 0;

    // Notifications of current-state changes (not of recording).
    virtual void OnRenderState(D3DRENDERSTATETYPE, DWORD) {}
    virtual void OnSamplerState(DWORD /*sampler*/) {}
    virtual void OnTextureStageState(DWORD /*stage*/) {}
    virtual void OnTexture(DWORD /*sampler*/) {}
    virtual void OnViewport() {}
    virtual void OnVertexInput() {}
    virtual void OnAllState() {}
    // False refuses the format for textures of this device.
    virtual bool CanCreateTexture(D3DFORMAT) { return true; }
    virtual void OnTextureCreated(TextureImpl*) {}
    virtual void OnBufferCreated(BufferData*) {}
    virtual void OnTextureUnlocked(TextureImpl*, UINT /*level*/) {}
    virtual void OnTextureDestroyed(TextureImpl*) {}
    virtual void OnBufferUnlocked(BufferData*, bool /*indexBuffer*/) {}
    virtual void OnBufferDestroyed(BufferData*) {}
    virtual void OnDeclDestroyed(VertexDeclImpl*) {}

    D3DPRESENT_PARAMETERS m_pp{};
    DeviceSetup m_setup;

private:
    void ApplyState(const DeviceState& values, const StateMask& mask);
    static UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount);

    DeviceState m_state{};
    StateBlockImpl* m_recording = nullptr;
    std::vector<StateBlockImpl*> m_blocks;
    bool m_inScene = false;
    bool m_cursorShown = false;
    POINT m_cursorPos{0, 0};
    bool m_bindingsReleased = false;
};

// Sets *slot to value, moving the internal binding reference.
template <class T>
void SetBound(T*& slot, T* value) {
    if (slot == value) return;
    if (value) value->BindRef();
    T* old = slot;
    slot = value;
    if (old) old->UnbindRef();
}

template <class Interface>
DeviceChild<Interface>::DeviceChild(CoreDevice* device) : m_device(device) {
    m_device->AddRef();
}

template <class Interface>
void DeviceChild<Interface>::LastReleased() {
    CoreDevice* device = m_device;
    m_publicGone = true;
    if (m_bindRefs == 0) delete this;
    // The object may be gone from here on (releasing the device can end a
    // bound object).
    device->Release();
}

// Fills a state record and a mask with the device's defaults / with "all".
void DefaultState(DeviceState* state, const D3DPRESENT_PARAMETERS& pp);
void FillMask(StateMask* mask, D3DSTATEBLOCKTYPE type);

}  // namespace devcore
