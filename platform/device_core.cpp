// State tracking, state blocks, memory resources and parameter checks shared
// by every device (see device_core.h).
#include "platform/device_core.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/window.h"

namespace devcore {

// --- formats ---------------------------------------------------------------------

UINT FormatBytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_G16R16:
        case D3DFMT_A2R10G10B10:
        case D3DFMT_G16R16F:
        case D3DFMT_R32F:
        case D3DFMT_D32:
        case D3DFMT_D24S8:
        case D3DFMT_D24X8:
        case D3DFMT_D24X4S4:
        case D3DFMT_D32F_LOCKABLE:
        case D3DFMT_D24FS8:
            return 4;
        case D3DFMT_R8G8B8:
            return 3;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8R3G3B2:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
        case D3DFMT_L16:
        case D3DFMT_R16F:
        case D3DFMT_D16_LOCKABLE:
        case D3DFMT_D16:
        case D3DFMT_D15S1:
            return 2;
        case D3DFMT_R3G3B2:
        case D3DFMT_A8:
        case D3DFMT_L8:
        case D3DFMT_A4L4:
            return 1;
        case D3DFMT_A16B16G16R16:
        case D3DFMT_A16B16G16R16F:
        case D3DFMT_G32R32F:
            return 8;
        case D3DFMT_A32B32G32R32F:
            return 16;
        default:
            return 0;
    }
}

bool IsDepthStencilFormat(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_D16_LOCKABLE:
        case D3DFMT_D32:
        case D3DFMT_D15S1:
        case D3DFMT_D24S8:
        case D3DFMT_D24X8:
        case D3DFMT_D24X4S4:
        case D3DFMT_D16:
        case D3DFMT_D32F_LOCKABLE:
        case D3DFMT_D24FS8:
            return true;
        default:
            return false;
    }
}

void WindowClientSize(HWND window, UINT* width, UINT* height) {
    *width = 640;
    *height = 480;
    RECT rc{};
    if (window && GetClientRect(window, &rc)) {
        *width = static_cast<UINT>(std::max(0, rc.right - rc.left));
        *height = static_cast<UINT>(std::max(0, rc.bottom - rc.top));
    }
}

// --- vertex layouts ------------------------------------------------------------------

bool FvfToElements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride) {
    constexpr DWORD kPositionMask = 0x400E;
    constexpr DWORD kXyzw = 0x4002;
    constexpr DWORD kPsize = 0x020;
    constexpr DWORD kTexCountMask = 0xF00;
    constexpr DWORD kKnown = kPositionMask | D3DFVF_NORMAL | kPsize | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | kTexCountMask;
    const UINT texCount = (fvf & kTexCountMask) >> 8;
    DWORD known = kKnown;
    for (UINT i = 0; i < texCount && i < 8; ++i) known |= 3u << (16 + 2 * i);
    if ((fvf & ~known) != 0 || texCount > 8) return false;

    if (elements) elements->clear();
    UINT offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        if (elements)
            elements->push_back({0, static_cast<WORD>(offset), type, D3DDECLMETHOD_DEFAULT, usage, index});
        offset += DeclTypeSize(type);
    };
    switch (fvf & kPositionMask) {
        case 0: break;
        case D3DFVF_XYZ: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0); break;
        case D3DFVF_XYZRHW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0); break;
        case kXyzw: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0); break;
        default: return false;  // blend weights are not supported
    }
    if (fvf & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & kPsize) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    for (UINT i = 0; i < texCount; ++i) {
        static const BYTE kSizes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4,
                                       D3DDECLTYPE_FLOAT1};
        add(kSizes[(fvf >> (16 + 2 * i)) & 3], D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i));
    }
    if (stride) *stride = offset;
    return true;
}

UINT FvfStride(DWORD fvf) {
    UINT stride = 0;
    return FvfToElements(fvf, nullptr, &stride) ? stride : 0;
}

// --- textures --------------------------------------------------------------------------

TextureImpl::TextureImpl(CoreDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool)
    : DeviceChild(device), m_format(format), m_pool(pool), m_usage(usage), m_bpp(FormatBytesPerPixel(format)) {
    m_levels.resize(levels);
    for (UINT i = 0; i < levels; ++i) {
        TextureLevel& level = m_levels[i];
        level.width = std::max(1u, width >> i);
        level.height = std::max(1u, height >> i);
        level.pitch = level.width * m_bpp;
        level.bits.assign(static_cast<size_t>(level.pitch) * level.height, 0);
    }
    backendDirtyLevels = levels >= 32 ? 0xFFFFFFFFu : ((1u << levels) - 1);
}

TextureImpl::~TextureImpl() { Owner()->TextureDestroyed(this); }

HRESULT TextureImpl::GetDevice(IDirect3DDevice9** device) { return ReferenceDeviceTo(Owner(), device); }

HRESULT TextureImpl::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= m_levels.size()) return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = m_levels[level].width;
    desc->Height = m_levels[level].height;
    return S_OK;
}

namespace {

// A lock rectangle inside a surface of the given size (null: the whole surface).
bool LockArea(const RECT* rect, UINT width, UINT height, RECT* area) {
    if (!rect) {
        SetRect(area, 0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height));
        return true;
    }
    if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left || rect->bottom <= rect->top ||
        rect->right > static_cast<int32_t>(width) || rect->bottom > static_cast<int32_t>(height))
        return false;
    *area = *rect;
    return true;
}

}  // namespace

HRESULT TextureImpl::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || level >= m_levels.size()) return D3DERR_INVALIDCALL;
    TextureLevel& lv = m_levels[level];
    RECT area;
    if (lv.locked || !LockArea(rect, lv.width, lv.height, &area)) return D3DERR_INVALIDCALL;
    lv.locked = true;
    lv.readOnlyLock = (flags & D3DLOCK_READONLY) != 0;
    lv.lockedRect = area;
    locked->Pitch = static_cast<INT>(lv.pitch);
    locked->pBits = lv.bits.data() + static_cast<size_t>(area.top) * lv.pitch + static_cast<size_t>(area.left) * m_bpp;
    return S_OK;
}

HRESULT TextureImpl::UnlockRect(UINT level) {
    if (level >= m_levels.size() || !m_levels[level].locked) return D3DERR_INVALIDCALL;
    TextureLevel& lv = m_levels[level];
    lv.locked = false;
    if (!lv.readOnlyLock) {
        backendDirtyLevels |= 1u << std::min(level, 31u);
        Owner()->TextureUnlocked(this, level);
    }
    return S_OK;
}

// --- surfaces ----------------------------------------------------------------------------

SurfaceImpl::SurfaceImpl(CoreDevice* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool)
    : DeviceChild(device),
      m_width(width),
      m_height(height),
      m_pitch(width * FormatBytesPerPixel(format)),
      m_format(format),
      m_pool(pool),
      m_bits(static_cast<size_t>(m_pitch) * height, 0) {}

HRESULT SurfaceImpl::GetDevice(IDirect3DDevice9** device) { return ReferenceDeviceTo(Owner(), device); }

HRESULT SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = 0;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = m_width;
    desc->Height = m_height;
    return S_OK;
}

HRESULT SurfaceImpl::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD) {
    RECT area;
    if (!locked || m_locked || !LockArea(rect, m_width, m_height, &area)) return D3DERR_INVALIDCALL;
    m_locked = true;
    locked->Pitch = static_cast<INT>(m_pitch);
    locked->pBits = m_bits.data() + static_cast<size_t>(area.top) * m_pitch +
                    static_cast<size_t>(area.left) * FormatBytesPerPixel(m_format);
    return S_OK;
}

HRESULT SurfaceImpl::UnlockRect() {
    if (!m_locked) return D3DERR_INVALIDCALL;
    m_locked = false;
    return S_OK;
}

// --- buffers ------------------------------------------------------------------------------

HRESULT BufferData::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    const UINT total = Size();
    if (size == 0) {
        if (offset > total) return D3DERR_INVALIDCALL;
        size = total - offset;
    }
    if (offset > total || size > total - offset) return D3DERR_INVALIDCALL;
    *data = m_bits.data() + offset;
    ++m_locks;
    if (!(flags & D3DLOCK_READONLY) && size > 0) {
        if (flags & D3DLOCK_DISCARD) {
            discardOnUpload = true;
            dirtyBegin = 0;
            dirtyEnd = total;
        } else if (dirtyBegin >= dirtyEnd) {
            dirtyBegin = offset;
            dirtyEnd = offset + size;
        } else {
            dirtyBegin = std::min(dirtyBegin, offset);
            dirtyEnd = std::max(dirtyEnd, offset + size);
        }
    }
    return S_OK;
}

HRESULT BufferData::Unlock() {
    if (m_locks == 0) return D3DERR_INVALIDCALL;
    --m_locks;
    return S_OK;
}

VertexBufferImpl::VertexBufferImpl(CoreDevice* device, UINT size, DWORD usage, DWORD fvfIn, D3DPOOL pool)
    : DeviceChild(device), data(size, usage, pool), fvf(fvfIn) {}

VertexBufferImpl::~VertexBufferImpl() { Owner()->BufferDestroyed(&data); }

HRESULT VertexBufferImpl::GetDevice(IDirect3DDevice9** device) { return ReferenceDeviceTo(Owner(), device); }

HRESULT VertexBufferImpl::Unlock() {
    HRESULT hr = data.Unlock();
    if (SUCCEEDED(hr)) Owner()->BufferUnlocked(&data, false);
    return hr;
}

IndexBufferImpl::IndexBufferImpl(CoreDevice* device, UINT size, DWORD usage, D3DFORMAT formatIn, D3DPOOL pool)
    : DeviceChild(device), data(size, usage, pool), format(formatIn) {}

IndexBufferImpl::~IndexBufferImpl() { Owner()->BufferDestroyed(&data); }

HRESULT IndexBufferImpl::GetDevice(IDirect3DDevice9** device) { return ReferenceDeviceTo(Owner(), device); }

HRESULT IndexBufferImpl::Unlock() {
    HRESULT hr = data.Unlock();
    if (SUCCEEDED(hr)) Owner()->BufferUnlocked(&data, true);
    return hr;
}

// --- vertex declarations -----------------------------------------------------------------

VertexDeclImpl::VertexDeclImpl(CoreDevice* device, std::vector<D3DVERTEXELEMENT9> elements)
    : DeviceChild(device), m_elements(std::move(elements)) {}

VertexDeclImpl::~VertexDeclImpl() { Owner()->DeclDestroyed(this); }

HRESULT VertexDeclImpl::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) {
    if (!count) return D3DERR_INVALIDCALL;
    const UINT n = static_cast<UINT>(m_elements.size()) + 1;
    if (elements) {
        std::copy(m_elements.begin(), m_elements.end(), elements);
        elements[n - 1] = D3DDECL_END();
    }
    *count = n;
    return S_OK;
}

// --- state blocks -----------------------------------------------------------------------------

StateBlockImpl::StateBlockImpl(CoreDevice* device) : DeviceChild(device) {
    values = DeviceState{};
    device->StateBlockCreated(this);
}

StateBlockImpl::~StateBlockImpl() {
    for (auto& t : values.tex) SetBound(t, static_cast<TextureImpl*>(nullptr));
    SetBound(values.decl, static_cast<VertexDeclImpl*>(nullptr));
    for (auto& s : values.streams) SetBound(s.vb, static_cast<VertexBufferImpl*>(nullptr));
    SetBound(values.indices, static_cast<IndexBufferImpl*>(nullptr));
    Owner()->StateBlockDestroyed(this);
}

HRESULT StateBlockImpl::Capture() {
    if (Owner()->Recording()) return D3DERR_INVALIDCALL;
    Owner()->CaptureBlock(*this);
    return S_OK;
}

HRESULT StateBlockImpl::Apply() {
    if (Owner()->Recording()) return D3DERR_INVALIDCALL;
    Owner()->ApplyBlock(*this);
    return S_OK;
}

void DefaultState(DeviceState* s, const D3DPRESENT_PARAMETERS& pp) {
    std::memset(s->rs, 0, sizeof(s->rs));
    s->rs[D3DRS_ZENABLE] = pp.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    s->rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    s->rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    s->rs[D3DRS_ZWRITEENABLE] = TRUE;
    s->rs[D3DRS_ALPHATESTENABLE] = FALSE;
    s->rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    s->rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    s->rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    s->rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    s->rs[D3DRS_ALPHAREF] = 0;
    s->rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    s->rs[D3DRS_ALPHABLENDENABLE] = FALSE;
    s->rs[D3DRS_FOGENABLE] = FALSE;
    s->rs[D3DRS_STENCILENABLE] = FALSE;
    s->rs[D3DRS_LIGHTING] = TRUE;
    s->rs[D3DRS_COLORWRITEENABLE] = 0xF;
    s->rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    s->rs[D3DRS_SCISSORTESTENABLE] = FALSE;
    s->rs[D3DRS_SEPARATEALPHABLENDENABLE] = FALSE;
    s->rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    s->rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    s->rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    for (auto& samp : s->samp) {
        std::memset(samp, 0, sizeof(samp));
        samp[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        samp[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        samp[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        samp[D3DSAMP_BORDERCOLOR] = 0;
        samp[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        samp[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        samp[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        samp[10] = 1;  // maximum anisotropy
    }
    for (int i = 0; i < kStages; ++i) {
        DWORD* t = s->tss[i];
        std::memset(t, 0, sizeof(s->tss[i]));
        t[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(i);
        t[D3DTSS_TEXTURETRANSFORMFLAGS] = 0;
        t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    s->viewport = {0, 0, pp.BackBufferWidth, pp.BackBufferHeight, 0.0f, 1.0f};
    s->fvf = 0;
}

namespace {

// Render states of the pixel and vertex groups of state blocks.
constexpr D3DRENDERSTATETYPE kPixelRenderStates[] = {
    D3DRS_ZENABLE,        D3DRS_FILLMODE,         D3DRS_SHADEMODE,          D3DRS_ZWRITEENABLE,
    D3DRS_ALPHATESTENABLE, D3DRS_SRCBLEND,        D3DRS_DESTBLEND,          D3DRS_ZFUNC,
    D3DRS_ALPHAREF,       D3DRS_ALPHAFUNC,        D3DRS_ALPHABLENDENABLE,   D3DRS_STENCILENABLE,
    D3DRS_COLORWRITEENABLE, D3DRS_BLENDOP,        D3DRS_SCISSORTESTENABLE,  D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_SRCBLENDALPHA,  D3DRS_DESTBLENDALPHA,   D3DRS_BLENDOPALPHA,
};
constexpr D3DRENDERSTATETYPE kVertexRenderStates[] = {D3DRS_SHADEMODE, D3DRS_CULLMODE, D3DRS_FOGENABLE,
                                                      D3DRS_LIGHTING};

}  // namespace

void FillMask(StateMask* mask, D3DSTATEBLOCKTYPE type) {
    *mask = StateMask{};
    if (type == D3DSBT_ALL) {
        mask->rs.set();
        for (auto& s : mask->samp) s.set();
        for (auto& t : mask->tss) t.set();
        mask->tex.set();
        mask->viewport = mask->fvf = mask->decl = mask->indices = true;
        mask->streams.set();
    } else if (type == D3DSBT_PIXELSTATE) {
        for (auto rs : kPixelRenderStates) mask->rs.set(rs);
        for (auto& s : mask->samp) s.set();
        for (auto& t : mask->tss) {
            t.set();
            t.reset(D3DTSS_TEXCOORDINDEX);
            t.reset(D3DTSS_TEXTURETRANSFORMFLAGS);
        }
    } else if (type == D3DSBT_VERTEXSTATE) {
        for (auto rs : kVertexRenderStates) mask->rs.set(rs);
        for (auto& t : mask->tss) {
            t.set(D3DTSS_TEXCOORDINDEX);
            t.set(D3DTSS_TEXTURETRANSFORMFLAGS);
        }
        mask->fvf = mask->decl = true;
    }
}

// --- present parameters -------------------------------------------------------------------------

HRESULT ResolvePresentParameters(const D3DPRESENT_PARAMETERS& in, HWND focusWindow, D3DFORMAT desktopFormat,
                                 D3DPRESENT_PARAMETERS* out) {
    D3DPRESENT_PARAMETERS pp = in;
    if (pp.BackBufferCount == 0) pp.BackBufferCount = 1;
    if (pp.BackBufferCount > 3) return D3DERR_INVALIDCALL;
    if (pp.SwapEffect < D3DSWAPEFFECT_DISCARD || pp.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
    if (pp.MultiSampleType > D3DMULTISAMPLE_16_SAMPLES) return D3DERR_INVALIDCALL;
    if (pp.MultiSampleType != D3DMULTISAMPLE_NONE && pp.SwapEffect != D3DSWAPEFFECT_DISCARD)
        return D3DERR_INVALIDCALL;
    if (pp.EnableAutoDepthStencil && !IsDepthStencilFormat(pp.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
    switch (pp.PresentationInterval) {
        case D3DPRESENT_INTERVAL_DEFAULT:
        case D3DPRESENT_INTERVAL_ONE:
        case D3DPRESENT_INTERVAL_IMMEDIATE:
            break;
        case D3DPRESENT_INTERVAL_TWO:
        case D3DPRESENT_INTERVAL_THREE:
        case D3DPRESENT_INTERVAL_FOUR:
            if (pp.Windowed) return D3DERR_INVALIDCALL;
            break;
        default:
            return D3DERR_INVALIDCALL;
    }
    if (pp.Windowed) {
        if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0) {
            UINT w, h;
            WindowClientSize(pp.hDeviceWindow ? pp.hDeviceWindow : focusWindow, &w, &h);
            if (pp.BackBufferWidth == 0) pp.BackBufferWidth = std::max(1u, w);
            if (pp.BackBufferHeight == 0) pp.BackBufferHeight = std::max(1u, h);
        }
        if (pp.BackBufferFormat == D3DFMT_UNKNOWN) pp.BackBufferFormat = desktopFormat;
    } else {
        if (pp.BackBufferWidth == 0 || pp.BackBufferHeight == 0 || pp.BackBufferFormat == D3DFMT_UNKNOWN)
            return D3DERR_INVALIDCALL;
    }
    if (FormatBytesPerPixel(pp.BackBufferFormat) == 0 || IsDepthStencilFormat(pp.BackBufferFormat))
        return D3DERR_INVALIDCALL;
    *out = pp;
    return S_OK;
}

// --- the device ------------------------------------------------------------------------------------

CoreDevice::CoreDevice(const DeviceSetup& setup) : m_setup(setup) {
    m_state = DeviceState{};
    if (m_setup.d3d) m_setup.d3d->AddRef();
}

CoreDevice::~CoreDevice() {
    ReleaseBindings();
    if (m_setup.d3d) m_setup.d3d->Release();
}

void CoreDevice::LastReleased() {
    // Bound objects are released while the concrete device still exists, so
    // its hooks see them go.
    ReleaseBindings();
    delete this;
}

void CoreDevice::ReleaseBindings() {
    if (m_bindingsReleased) return;
    m_bindingsReleased = true;
    for (auto& t : m_state.tex) SetBound(t, static_cast<TextureImpl*>(nullptr));
    SetBound(m_state.decl, static_cast<VertexDeclImpl*>(nullptr));
    for (auto& s : m_state.streams) SetBound(s.vb, static_cast<VertexBufferImpl*>(nullptr));
    SetBound(m_state.indices, static_cast<IndexBufferImpl*>(nullptr));
}

void CoreDevice::InitPresentParameters(const D3DPRESENT_PARAMETERS& pp) {
    m_pp = pp;
    ResetStateToDefaults();
}

void CoreDevice::ResetStateToDefaults() {
    for (auto& t : m_state.tex) SetBound(t, static_cast<TextureImpl*>(nullptr));
    SetBound(m_state.decl, static_cast<VertexDeclImpl*>(nullptr));
    for (auto& s : m_state.streams) {
        SetBound(s.vb, static_cast<VertexBufferImpl*>(nullptr));
        s.offset = s.stride = 0;
    }
    SetBound(m_state.indices, static_cast<IndexBufferImpl*>(nullptr));
    DefaultState(&m_state, m_pp);
    OnAllState();
}

void CoreDevice::StateBlockDestroyed(StateBlockImpl* block) {
    m_blocks.erase(std::remove(m_blocks.begin(), m_blocks.end(), block), m_blocks.end());
    if (m_recording == block) m_recording = nullptr;
}

HRESULT CoreDevice::GetDirect3D(IDirect3D9** d3d) {
    if (!d3d || !m_setup.d3d) return D3DERR_INVALIDCALL;
    m_setup.d3d->AddRef();
    *d3d = m_setup.d3d;
    return S_OK;
}

HRESULT CoreDevice::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = m_setup.caps;
    return S_OK;
}

HRESULT CoreDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    params->AdapterOrdinal = m_setup.adapter;
    params->DeviceType = m_setup.type;
    params->hFocusWindow = m_setup.focusWindow;
    params->BehaviorFlags = m_setup.behaviorFlags;
    return S_OK;
}

HRESULT CoreDevice::GetPresentParameters(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    *params = m_pp;
    return S_OK;
}

HRESULT CoreDevice::GetBackBufferDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = m_pp.BackBufferFormat;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = D3DUSAGE_RENDERTARGET;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->MultiSampleType = m_pp.MultiSampleType;
    desc->MultiSampleQuality = m_pp.MultiSampleQuality;
    desc->Width = m_pp.BackBufferWidth;
    desc->Height = m_pp.BackBufferHeight;
    return S_OK;
}

HRESULT CoreDevice::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params || m_recording) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS pp;
    HRESULT hr = ResolvePresentParameters(*params, m_setup.focusWindow, m_setup.desktopFormat, &pp);
    if (FAILED(hr)) return hr;
    hr = DoReset(pp);
    if (FAILED(hr)) return hr;
    m_pp = pp;
    *params = pp;
    m_inScene = false;
    ResetStateToDefaults();
    return S_OK;
}

HRESULT CoreDevice::Present(const RECT*, const RECT*, HWND, const void*) { return DoPresent(); }

HRESULT CoreDevice::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    HRESULT hr = DoBeginScene();
    if (SUCCEEDED(hr)) m_inScene = true;
    return hr;
}

HRESULT CoreDevice::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return S_OK;
}

HRESULT CoreDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    if ((count != 0 && !rects) || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_ZBUFFER) && !m_pp.EnableAutoDepthStencil) return D3DERR_INVALIDCALL;
    if (flags & D3DCLEAR_STENCIL) {
        const D3DFORMAT ds = m_pp.AutoDepthStencilFormat;
        const bool hasStencil = m_pp.EnableAutoDepthStencil &&
                                (ds == D3DFMT_D24S8 || ds == D3DFMT_D15S1 || ds == D3DFMT_D24X4S4 || ds == D3DFMT_D24FS8);
        if (!hasStencil) return D3DERR_INVALIDCALL;
    }
    return DoClear(count, rects, flags, color, z, stencil);
}

HRESULT CoreDevice::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    if (static_cast<uint64_t>(viewport->X) + viewport->Width > m_pp.BackBufferWidth ||
        static_cast<uint64_t>(viewport->Y) + viewport->Height > m_pp.BackBufferHeight)
        return D3DERR_INVALIDCALL;
    if (m_recording) {
        m_recording->values.viewport = *viewport;
        m_recording->mask.viewport = true;
        return S_OK;
    }
    m_state.viewport = *viewport;
    OnViewport();
    return S_OK;
}

HRESULT CoreDevice::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = m_state.viewport;
    return S_OK;
}

HRESULT CoreDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= static_cast<DWORD>(kRenderStates)) return D3DERR_INVALIDCALL;
    if (m_recording) {
        m_recording->values.rs[state] = value;
        m_recording->mask.rs.set(state);
        return S_OK;
    }
    if (m_state.rs[state] != value) {
        m_state.rs[state] = value;
        OnRenderState(state, value);
    }
    return S_OK;
}

HRESULT CoreDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || state >= static_cast<DWORD>(kRenderStates)) return D3DERR_INVALIDCALL;
    *value = m_state.rs[state];
    return S_OK;
}

HRESULT CoreDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= static_cast<DWORD>(kSamplers) || type >= static_cast<DWORD>(kSamplerStates))
        return D3DERR_INVALIDCALL;
    if (m_recording) {
        m_recording->values.samp[sampler][type] = value;
        m_recording->mask.samp[sampler].set(type);
        return S_OK;
    }
    if (m_state.samp[sampler][type] != value) {
        m_state.samp[sampler][type] = value;
        OnSamplerState(sampler);
    }
    return S_OK;
}

HRESULT CoreDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (!value || sampler >= static_cast<DWORD>(kSamplers) || type >= static_cast<DWORD>(kSamplerStates))
        return D3DERR_INVALIDCALL;
    *value = m_state.samp[sampler][type];
    return S_OK;
}

HRESULT CoreDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= static_cast<DWORD>(kStages) || type >= static_cast<DWORD>(kStageStates)) return D3DERR_INVALIDCALL;
    if (m_recording) {
        m_recording->values.tss[stage][type] = value;
        m_recording->mask.tss[stage].set(type);
        return S_OK;
    }
    if (m_state.tss[stage][type] != value) {
        m_state.tss[stage][type] = value;
        OnTextureStageState(stage);
    }
    return S_OK;
}

HRESULT CoreDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (!value || stage >= static_cast<DWORD>(kStages) || type >= static_cast<DWORD>(kStageStates))
        return D3DERR_INVALIDCALL;
    *value = m_state.tss[stage][type];
    return S_OK;
}

HRESULT CoreDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= static_cast<DWORD>(kSamplers)) return D3DERR_INVALIDCALL;
    TextureImpl* tex = nullptr;
    if (texture) {
        tex = dynamic_cast<TextureImpl*>(texture);
        if (!tex || tex->Owner() != this || tex->Pool() == D3DPOOL_SYSTEMMEM || tex->Pool() == D3DPOOL_SCRATCH)
            return D3DERR_INVALIDCALL;
    }
    if (m_recording) {
        SetBound(m_recording->values.tex[stage], tex);
        m_recording->mask.tex.set(stage);
        return S_OK;
    }
    if (m_state.tex[stage] != tex) {
        SetBound(m_state.tex[stage], tex);
        OnTexture(stage);
    }
    return S_OK;
}

HRESULT CoreDevice::SetFVF(DWORD fvf) {
    if (fvf != 0 && !FvfToElements(fvf, nullptr, nullptr)) return D3DERR_INVALIDCALL;
    if (m_recording) {
        m_recording->values.fvf = fvf;
        m_recording->mask.fvf = true;
        // Setting a format replaces the declaration, as on the live device.
        SetBound(m_recording->values.decl, static_cast<VertexDeclImpl*>(nullptr));
        m_recording->mask.decl = true;
        return S_OK;
    }
    if (m_state.fvf == fvf && !m_state.decl) return S_OK;
    m_state.fvf = fvf;
    SetBound(m_state.decl, static_cast<VertexDeclImpl*>(nullptr));
    OnVertexInput();
    return S_OK;
}

HRESULT CoreDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
    VertexDeclImpl* decl = nullptr;
    if (declaration) {
        decl = dynamic_cast<VertexDeclImpl*>(declaration);
        if (!decl || decl->Owner() != this) return D3DERR_INVALIDCALL;
    }
    if (m_recording) {
        SetBound(m_recording->values.decl, decl);
        m_recording->mask.decl = true;
        return S_OK;
    }
    if (m_state.decl == decl && (!decl || m_state.fvf == 0)) return S_OK;
    SetBound(m_state.decl, decl);
    if (decl) m_state.fvf = 0;
    OnVertexInput();
    return S_OK;
}

HRESULT CoreDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) {
    if (stream >= static_cast<UINT>(kStreams)) return D3DERR_INVALIDCALL;
    VertexBufferImpl* vb = nullptr;
    if (buffer) {
        vb = dynamic_cast<VertexBufferImpl*>(buffer);
        if (!vb || vb->Owner() != this) return D3DERR_INVALIDCALL;
    }
    StreamBinding* slot = m_recording ? &m_recording->values.streams[stream] : &m_state.streams[stream];
    if (!m_recording && slot->vb == vb && slot->offset == offset && slot->stride == stride) return S_OK;
    SetBound(slot->vb, vb);
    slot->offset = offset;
    slot->stride = stride;
    if (m_recording)
        m_recording->mask.streams.set(stream);
    else
        OnVertexInput();
    return S_OK;
}

HRESULT CoreDevice::SetIndices(IDirect3DIndexBuffer9* buffer) {
    IndexBufferImpl* ib = nullptr;
    if (buffer) {
        ib = dynamic_cast<IndexBufferImpl*>(buffer);
        if (!ib || ib->Owner() != this) return D3DERR_INVALIDCALL;
    }
    if (m_recording) {
        SetBound(m_recording->values.indices, ib);
        m_recording->mask.indices = true;
        return S_OK;
    }
    if (m_state.indices == ib) return S_OK;
    SetBound(m_state.indices, ib);
    OnVertexInput();
    return S_OK;
}

UINT CoreDevice::VertexCount(D3DPRIMITIVETYPE type, UINT n) {
    switch (type) {
        case D3DPT_POINTLIST: return n;
        case D3DPT_LINELIST: return 2 * n;
        case D3DPT_LINESTRIP: return n + 1;
        case D3DPT_TRIANGLELIST: return 3 * n;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return n + 2;
        default: return 0;
    }
}

HRESULT CoreDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    if (!m_inScene || VertexCount(type, 1) == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return S_OK;
    if (primitiveCount > (1u << 24)) return D3DERR_INVALIDCALL;
    if (!m_state.decl && m_state.fvf == 0) return D3DERR_INVALIDCALL;
    const StreamBinding& s0 = m_state.streams[0];
    if (!s0.vb) return D3DERR_INVALIDCALL;
    const UINT count = VertexCount(type, primitiveCount);
    if (s0.stride != 0 && static_cast<uint64_t>(s0.offset) + static_cast<uint64_t>(startVertex + count) * s0.stride >
                              s0.vb->data.Size())
        return D3DERR_INVALIDCALL;
    return DoDraw(type, count, startVertex);
}

HRESULT CoreDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT, UINT, UINT startIndex,
                                         UINT primitiveCount) {
    if (!m_inScene || VertexCount(type, 1) == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return S_OK;
    if (primitiveCount > (1u << 24)) return D3DERR_INVALIDCALL;
    if (!m_state.decl && m_state.fvf == 0) return D3DERR_INVALIDCALL;
    if (!m_state.streams[0].vb || !m_state.indices) return D3DERR_INVALIDCALL;
    const UINT count = VertexCount(type, primitiveCount);
    const UINT indexSize = m_state.indices->format == D3DFMT_INDEX32 ? 4 : 2;
    if (static_cast<uint64_t>(startIndex + count) * indexSize > m_state.indices->data.Size())
        return D3DERR_INVALIDCALL;
    return DoDrawIndexed(type, baseVertex, count, startIndex);
}

HRESULT CoreDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) {
    if (!m_inScene || !vertices || stride == 0 || VertexCount(type, 1) == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return S_OK;
    if (primitiveCount > (1u << 20)) return D3DERR_INVALIDCALL;
    if (!m_state.decl && m_state.fvf == 0) return D3DERR_INVALIDCALL;
    HRESULT hr = DoDrawUP(type, VertexCount(type, primitiveCount), vertices, stride);
    // Drawing from memory leaves stream 0 unset.
    if (m_state.streams[0].vb) {
        SetBound(m_state.streams[0].vb, static_cast<VertexBufferImpl*>(nullptr));
        m_state.streams[0].offset = m_state.streams[0].stride = 0;
        OnVertexInput();
    }
    return hr;
}

HRESULT CoreDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, void*) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || FormatBytesPerPixel(format) == 0 || IsDepthStencilFormat(format) ||
        (usage & D3DUSAGE_DEPTHSTENCIL) || pool > D3DPOOL_SCRATCH || !CanCreateTexture(format))
        return D3DERR_INVALIDCALL;
    if ((m_setup.caps.MaxTextureWidth && width > m_setup.caps.MaxTextureWidth) ||
        (m_setup.caps.MaxTextureHeight && height > m_setup.caps.MaxTextureHeight))
        return D3DERR_INVALIDCALL;
    UINT full = 1;
    for (UINT s = std::max(width, height); s > 1; s >>= 1) ++full;
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (levels > 1) return D3DERR_INVALIDCALL;
        levels = 1;
    } else if (levels == 0) {
        levels = full;
    } else if (levels > full) {
        return D3DERR_INVALIDCALL;
    }
    TextureImpl* tex = new (std::nothrow) TextureImpl(this, width, height, levels, usage, format, pool);
    if (!tex) return E_OUTOFMEMORY;
    OnTextureCreated(tex);
    *texture = tex;
    return S_OK;
}

HRESULT CoreDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vb,
                                       void*) {
    if (!vb) return D3DERR_INVALIDCALL;
    *vb = nullptr;
    if (length == 0 || pool > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    if (fvf != 0 && !FvfToElements(fvf, nullptr, nullptr)) return D3DERR_INVALIDCALL;
    auto* buffer = new (std::nothrow) VertexBufferImpl(this, length, usage, fvf, pool);
    if (!buffer) return E_OUTOFMEMORY;
    OnBufferCreated(&buffer->data);
    *vb = buffer;
    return S_OK;
}

HRESULT CoreDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** ib, void*) {
    if (!ib) return D3DERR_INVALIDCALL;
    *ib = nullptr;
    if (length == 0 || pool > D3DPOOL_SCRATCH || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    auto* buffer = new (std::nothrow) IndexBufferImpl(this, length, usage, format, pool);
    if (!buffer) return E_OUTOFMEMORY;
    OnBufferCreated(&buffer->data);
    *ib = buffer;
    return S_OK;
}

HRESULT CoreDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) {
    if (!decl) return D3DERR_INVALIDCALL;
    *decl = nullptr;
    if (!elements) return D3DERR_INVALIDCALL;
    std::vector<D3DVERTEXELEMENT9> list;
    for (int i = 0;; ++i) {
        if (i >= MAXD3DDECLLENGTH) return D3DERR_INVALIDCALL;  // no end marker
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) break;
        if (e.Stream >= kStreams || DeclTypeSize(e.Type) == 0 || e.Usage > D3DDECLUSAGE_SAMPLE ||
            e.Method != D3DDECLMETHOD_DEFAULT)
            return D3DERR_INVALIDCALL;
        for (const auto& other : list)
            if (other.Usage == e.Usage && other.UsageIndex == e.UsageIndex) return D3DERR_INVALIDCALL;
        list.push_back(e);
    }
    auto* d = new (std::nothrow) VertexDeclImpl(this, std::move(list));
    if (!d) return E_OUTOFMEMORY;
    *decl = d;
    return S_OK;
}

HRESULT CoreDevice::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, void*) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || width > 16384 || height > 16384 || FormatBytesPerPixel(format) == 0 ||
        IsDepthStencilFormat(format) || pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    auto* s = new (std::nothrow) SurfaceImpl(this, width, height, format, pool);
    if (!s) return E_OUTOFMEMORY;
    *surface = s;
    return S_OK;
}

void CoreDevice::CaptureBlock(StateBlockImpl& block) {
    const StateMask& m = block.mask;
    DeviceState& v = block.values;
    for (int i = 0; i < kRenderStates; ++i)
        if (m.rs.test(i)) v.rs[i] = m_state.rs[i];
    for (int s = 0; s < kSamplers; ++s)
        for (int i = 0; i < kSamplerStates; ++i)
            if (m.samp[s].test(i)) v.samp[s][i] = m_state.samp[s][i];
    for (int s = 0; s < kStages; ++s)
        for (int i = 0; i < kStageStates; ++i)
            if (m.tss[s].test(i)) v.tss[s][i] = m_state.tss[s][i];
    for (int s = 0; s < kSamplers; ++s)
        if (m.tex.test(s)) SetBound(v.tex[s], m_state.tex[s]);
    if (m.viewport) v.viewport = m_state.viewport;
    if (m.fvf) v.fvf = m_state.fvf;
    if (m.decl) SetBound(v.decl, m_state.decl);
    for (int s = 0; s < kStreams; ++s)
        if (m.streams.test(s)) {
            SetBound(v.streams[s].vb, m_state.streams[s].vb);
            v.streams[s].offset = m_state.streams[s].offset;
            v.streams[s].stride = m_state.streams[s].stride;
        }
    if (m.indices) SetBound(v.indices, m_state.indices);
}

void CoreDevice::ApplyBlock(const StateBlockImpl& block) { ApplyState(block.values, block.mask); }

void CoreDevice::ApplyState(const DeviceState& v, const StateMask& m) {
    for (int i = 0; i < kRenderStates; ++i)
        if (m.rs.test(i)) SetRenderState(static_cast<D3DRENDERSTATETYPE>(i), v.rs[i]);
    for (int s = 0; s < kSamplers; ++s)
        for (int i = 0; i < kSamplerStates; ++i)
            if (m.samp[s].test(i)) SetSamplerState(s, static_cast<D3DSAMPLERSTATETYPE>(i), v.samp[s][i]);
    for (int s = 0; s < kStages; ++s)
        for (int i = 0; i < kStageStates; ++i)
            if (m.tss[s].test(i)) SetTextureStageState(s, static_cast<D3DTEXTURESTAGESTATETYPE>(i), v.tss[s][i]);
    for (int s = 0; s < kSamplers; ++s)
        if (m.tex.test(s)) SetTexture(s, v.tex[s]);
    if (m.viewport) {
        // A viewport recorded for a larger back buffer is clipped to this one.
        D3DVIEWPORT9 vp = v.viewport;
        vp.X = std::min(vp.X, m_pp.BackBufferWidth);
        vp.Y = std::min(vp.Y, m_pp.BackBufferHeight);
        vp.Width = std::min(vp.Width, m_pp.BackBufferWidth - vp.X);
        vp.Height = std::min(vp.Height, m_pp.BackBufferHeight - vp.Y);
        SetViewport(&vp);
    }
    // The vertex format and the declaration are one state: a block holding
    // either puts back the declaration when it has one, else the format.
    if (m.decl && v.decl)
        SetVertexDeclaration(v.decl);
    else if (m.fvf || m.decl)
        SetFVF(v.fvf);
    for (int s = 0; s < kStreams; ++s)
        if (m.streams.test(s)) SetStreamSource(s, v.streams[s].vb, v.streams[s].offset, v.streams[s].stride);
    if (m.indices) SetIndices(v.indices);
}

HRESULT CoreDevice::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** block) {
    if (!block) return D3DERR_INVALIDCALL;
    *block = nullptr;
    if (m_recording || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE) return D3DERR_INVALIDCALL;
    auto* b = new (std::nothrow) StateBlockImpl(this);
    if (!b) return E_OUTOFMEMORY;
    FillMask(&b->mask, type);
    CaptureBlock(*b);
    *block = b;
    return S_OK;
}

HRESULT CoreDevice::BeginStateBlock() {
    if (m_recording) return D3DERR_INVALIDCALL;
    auto* b = new (std::nothrow) StateBlockImpl(this);
    if (!b) return E_OUTOFMEMORY;
    m_recording = b;
    return S_OK;
}

HRESULT CoreDevice::EndStateBlock(IDirect3DStateBlock9** block) {
    if (!block || !m_recording) return D3DERR_INVALIDCALL;
    *block = m_recording;
    m_recording = nullptr;
    return S_OK;
}

HRESULT CoreDevice::SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface9* image) {
    auto* surface = dynamic_cast<SurfaceImpl*>(image);
    if (!surface || surface->Owner() != this || surface->Format() != D3DFMT_A8R8G8B8 || hotX >= surface->Width() ||
        hotY >= surface->Height())
        return D3DERR_INVALIDCALL;
    return DoSetCursorImage(hotX, hotY, *surface);
}

void CoreDevice::SetCursorPosition(int x, int y, DWORD) {
    m_cursorPos = {x, y};
    DoCursorPosition(x, y);
}

BOOL CoreDevice::ShowCursor(BOOL show) {
    const BOOL previous = m_cursorShown ? TRUE : FALSE;
    m_cursorShown = show != FALSE;
    DoShowCursor(m_cursorShown);
    return previous;
}

}  // namespace devcore
