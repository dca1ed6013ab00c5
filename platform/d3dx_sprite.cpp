#include "platform/d3dx_sprite.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

struct SpriteVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 28, "pre-transformed, coloured, one texture coordinate pair");
constexpr DWORD kSpriteFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// Rectangles queued before a draw is forced (bounds the batch buffer).
constexpr size_t kMaxQuadsPerDraw = 4096;

class Sprite final : public ID3DXSprite {
public:
    explicit Sprite(IDirect3DDevice9* device) : m_device(device) {
        m_device->AddRef();
        D3DXMatrixIdentity(&m_transform);
        m_batch.reserve(6 * 256);
    }
    ~Sprite() override {
        if (m_begun) End();
        DropBatchTexture();
        if (m_stateBlock) m_stateBlock->Release();
        m_device->Release();
    }

    HRESULT GetDevice(IDirect3DDevice9** device) override { return ReferenceDeviceTo(m_device, device); }
    HRESULT GetTransform(D3DXMATRIX* transform) override {
        if (!transform) return D3DERR_INVALIDCALL;
        *transform = m_transform;
        return S_OK;
    }
    HRESULT SetTransform(const D3DXMATRIX* transform) override {
        if (!transform) return D3DERR_INVALIDCALL;
        m_transform = *transform;
        m_identity = D3DXMatrixIsIdentity(&m_transform);
        return S_OK;
    }

    HRESULT Begin(DWORD flags) override;
    HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                 const D3DXVECTOR3* position, D3DCOLOR color) override;
    HRESULT Flush() override;
    HRESULT End() override;

    HRESULT OnLostDevice() override {
        if (m_stateBlock) {
            m_stateBlock->Release();
            m_stateBlock = nullptr;
        }
        return S_OK;
    }
    HRESULT OnResetDevice() override { return S_OK; }

private:
    void DropBatchTexture() {
        if (m_batchTexture && m_addRefTextures) m_batchTexture->Release();
        m_batchTexture = nullptr;
    }
    void SetStates(DWORD flags);
    SpriteVertex Corner(float x, float y, float z, D3DCOLOR color, float u, float v) const {
        SpriteVertex out{x, y, z, 1.0f, color, u, v};
        if (!m_identity) {
            const D3DXMATRIX& m = m_transform;
            float w = x * m._14 + y * m._24 + z * m._34 + m._44;
            if (w == 0.0f) w = 1.0f;
            out.x = (x * m._11 + y * m._21 + z * m._31 + m._41) / w;
            out.y = (x * m._12 + y * m._22 + z * m._32 + m._42) / w;
            out.z = (x * m._13 + y * m._23 + z * m._33 + m._43) / w;
        }
        out.z = std::clamp(out.z, 0.0f, 1.0f);
        return out;
    }

    IDirect3DDevice9* m_device;
    D3DXMATRIX m_transform;
    bool m_identity = true;
    bool m_begun = false;
    bool m_saved = false;
    bool m_addRefTextures = true;
    IDirect3DStateBlock9* m_stateBlock = nullptr;
    IDirect3DTexture9* m_batchTexture = nullptr;
    std::vector<SpriteVertex> m_batch;
};

void Sprite::SetStates(DWORD flags) {
    IDirect3DDevice9* d = m_device;
    if (flags & D3DXSPRITE_ALPHABLEND) {
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        d->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        d->SetRenderState(D3DRS_ALPHAREF, 0);
    }
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
}

HRESULT Sprite::Begin(DWORD flags) {
    if (m_begun) return D3DERR_INVALIDCALL;
    m_saved = false;
    if (!(flags & D3DXSPRITE_DONOTSAVESTATE)) {
        if (!m_stateBlock) {
            HRESULT hr = m_device->CreateStateBlock(D3DSBT_ALL, &m_stateBlock);
            if (FAILED(hr)) return hr;
        }
        HRESULT hr = m_stateBlock->Capture();
        if (FAILED(hr)) return hr;
        m_saved = true;
    }
    if (!(flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) SetStates(flags);
    m_addRefTextures = !(flags & D3DXSPRITE_DO_NOT_ADDREF_TEXTURE);
    m_begun = true;
    return S_OK;
}

HRESULT Sprite::Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                     const D3DXVECTOR3* position, D3DCOLOR color) {
    if (!m_begun || !texture) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    HRESULT hr = texture->GetLevelDesc(0, &desc);
    if (FAILED(hr)) return hr;
    const LONG tw = static_cast<LONG>(desc.Width), th = static_cast<LONG>(desc.Height);
    RECT r = srcRect ? *srcRect : RECT{0, 0, tw, th};
    r.left = std::clamp(r.left, 0, tw);
    r.right = std::clamp(r.right, 0, tw);
    r.top = std::clamp(r.top, 0, th);
    r.bottom = std::clamp(r.bottom, 0, th);
    if (r.right <= r.left || r.bottom <= r.top) return S_OK;

    if (texture != m_batchTexture || m_batch.size() >= 6 * kMaxQuadsPerDraw) {
        hr = Flush();
        if (FAILED(hr)) return hr;
        m_batchTexture = texture;
        if (m_addRefTextures) texture->AddRef();
    }
    float x0 = 0.0f, y0 = 0.0f, z = 0.0f;
    if (center) {
        x0 -= center->x;
        y0 -= center->y;
        z -= center->z;
    }
    if (position) {
        x0 += position->x;
        y0 += position->y;
        z += position->z;
    }
    const float x1 = x0 + static_cast<float>(r.right - r.left), y1 = y0 + static_cast<float>(r.bottom - r.top);
    const float u0 = static_cast<float>(r.left) / static_cast<float>(tw);
    const float u1 = static_cast<float>(r.right) / static_cast<float>(tw);
    const float v0 = static_cast<float>(r.top) / static_cast<float>(th);
    const float v1 = static_cast<float>(r.bottom) / static_cast<float>(th);
    const SpriteVertex tl = Corner(x0, y0, z, color, u0, v0), tr = Corner(x1, y0, z, color, u1, v0);
    const SpriteVertex br = Corner(x1, y1, z, color, u1, v1), bl = Corner(x0, y1, z, color, u0, v1);
    m_batch.push_back(tl);
    m_batch.push_back(tr);
    m_batch.push_back(br);
    m_batch.push_back(tl);
    m_batch.push_back(br);
    m_batch.push_back(bl);
    return S_OK;
}

HRESULT Sprite::Flush() {
    if (!m_begun) return D3DERR_INVALIDCALL;
    if (m_batch.empty()) {
        DropBatchTexture();
        return S_OK;
    }
    HRESULT hr = m_device->SetFVF(kSpriteFvf);
    if (SUCCEEDED(hr)) hr = m_device->SetTexture(0, m_batchTexture);
    if (SUCCEEDED(hr))
        hr = m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(m_batch.size() / 3), m_batch.data(),
                                       sizeof(SpriteVertex));
    m_batch.clear();
    DropBatchTexture();
    return hr;
}

HRESULT Sprite::End() {
    if (!m_begun) return D3DERR_INVALIDCALL;
    HRESULT hr = Flush();
    m_begun = false;
    if (m_saved && m_stateBlock) {
        HRESULT applied = m_stateBlock->Apply();
        if (SUCCEEDED(hr)) hr = applied;
    }
    m_saved = false;
    return hr;
}

}  // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
    if (!sprite) return D3DERR_INVALIDCALL;
    *sprite = nullptr;
    if (!device) return D3DERR_INVALIDCALL;
    auto* s = new (std::nothrow) Sprite(device);
    if (!s) return E_OUTOFMEMORY;
    *sprite = s;
    return S_OK;
}
