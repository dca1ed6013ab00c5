#include "platform/d3dx_texture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/d3dx_internal.h"
#include "platform/file_read.h"
#include "platform/system.h"

namespace {

bool TakesImageSize(UINT v) { return v == 0 || v == D3DX_DEFAULT || v == D3DX_DEFAULT_NONPOW2 || v == D3DX_FROM_FILE; }

UINT FullChain(UINT w, UINT h) {
    UINT levels = 1;
    for (UINT s = std::max(w, h); s > 1; s >>= 1) ++levels;
    return levels;
}

bool HasAlpha(D3DFORMAT f) { return f == D3DFMT_A8R8G8B8 || f == D3DFMT_A8B8G8R8; }

// The texture format for an image and a requested format.
D3DFORMAT TextureFormat(D3DFORMAT requested, const D3DXIMAGE_INFO& info) {
    if (requested == D3DFMT_A8R8G8B8 || requested == D3DFMT_X8R8G8B8) return requested;
    return HasAlpha(info.Format) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
}

uint32_t Channel(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

// Resamples src (sw x sh) to dst (dw x dh): texel centres map onto texel
// centres; point picks the nearest texel, otherwise bilinear with clamping.
void Resample(const uint32_t* src, UINT sw, UINT sh, uint32_t* dst, UINT dw, UINT dh, bool point) {
    const float sx = static_cast<float>(sw) / static_cast<float>(dw);
    const float sy = static_cast<float>(sh) / static_cast<float>(dh);
    for (UINT y = 0; y < dh; ++y) {
        const float fy = (static_cast<float>(y) + 0.5f) * sy - 0.5f;
        for (UINT x = 0; x < dw; ++x) {
            const float fx = (static_cast<float>(x) + 0.5f) * sx - 0.5f;
            if (point) {
                const UINT px = std::min(sw - 1, static_cast<UINT>(std::max(0.0f, fx + 0.5f)));
                const UINT py = std::min(sh - 1, static_cast<UINT>(std::max(0.0f, fy + 0.5f)));
                dst[static_cast<size_t>(y) * dw + x] = src[static_cast<size_t>(py) * sw + px];
                continue;
            }
            const float cx = std::clamp(fx, 0.0f, static_cast<float>(sw - 1));
            const float cy = std::clamp(fy, 0.0f, static_cast<float>(sh - 1));
            const UINT x0 = static_cast<UINT>(cx), y0 = static_cast<UINT>(cy);
            const UINT x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
            const float ax = cx - static_cast<float>(x0), ay = cy - static_cast<float>(y0);
            const uint32_t p00 = src[static_cast<size_t>(y0) * sw + x0], p10 = src[static_cast<size_t>(y0) * sw + x1];
            const uint32_t p01 = src[static_cast<size_t>(y1) * sw + x0], p11 = src[static_cast<size_t>(y1) * sw + x1];
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const float top = static_cast<float>(Channel(p00, shift)) * (1 - ax) + static_cast<float>(Channel(p10, shift)) * ax;
                const float bottom = static_cast<float>(Channel(p01, shift)) * (1 - ax) + static_cast<float>(Channel(p11, shift)) * ax;
                const float v = top * (1 - ay) + bottom * ay;
                out |= static_cast<uint32_t>(std::clamp(v + 0.5f, 0.0f, 255.0f)) << shift;
            }
            dst[static_cast<size_t>(y) * dw + x] = out;
        }
    }
}

// The next mip level: each texel the average of (up to) 2 x 2 texels above.
void HalveLevel(const uint32_t* src, UINT sw, UINT sh, uint32_t* dst, UINT dw, UINT dh) {
    for (UINT y = 0; y < dh; ++y)
        for (UINT x = 0; x < dw; ++x) {
            const UINT x0 = std::min(2 * x, sw - 1), x1 = std::min(2 * x + 1, sw - 1);
            const UINT y0 = std::min(2 * y, sh - 1), y1 = std::min(2 * y + 1, sh - 1);
            const uint32_t p[4] = {src[static_cast<size_t>(y0) * sw + x0], src[static_cast<size_t>(y0) * sw + x1],
                                   src[static_cast<size_t>(y1) * sw + x0], src[static_cast<size_t>(y1) * sw + x1]};
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const uint32_t sum = Channel(p[0], shift) + Channel(p[1], shift) + Channel(p[2], shift) +
                                     Channel(p[3], shift);
                out |= ((sum + 2) / 4) << shift;
            }
            dst[static_cast<size_t>(y) * dw + x] = out;
        }
}

HRESULT WriteLevel(IDirect3DTexture9* texture, UINT level, const uint32_t* texels, UINT w, UINT h) {
    D3DLOCKED_RECT lr{};
    HRESULT hr = texture->LockRect(level, &lr, nullptr, 0);
    if (FAILED(hr)) return hr;
    for (UINT y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * static_cast<size_t>(lr.Pitch),
                    texels + static_cast<size_t>(y) * w, static_cast<size_t>(w) * 4);
    return texture->UnlockRect(level);
}

// The common body of the texture loaders: `what` and `source` name the call and
// the file for the trace.
HRESULT CreateFromMemory(const char* what, const std::string& source, IDirect3DDevice9* device, const void* data,
                         size_t size, UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool, DWORD filter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                         PALETTEENTRY* palette, IDirect3DTexture9** texture) {
    if (texture) *texture = nullptr;
    if (!device || !texture || (!data && size != 0)) {
        d3dx::Trace(what, source + ": invalid argument", D3DERR_INVALIDCALL);
        return D3DERR_INVALIDCALL;
    }
    (void)palette;  // no palette formats: nothing to fill
    DecodedImage image;
    std::string error;
    HRESULT hr = ImageDecodeMemory(data, size, &image, &error);
    if (FAILED(hr)) {
        d3dx::Trace(what, source + ": " + error, hr);
        return hr;
    }
    const D3DXIMAGE_INFO info = image.info;
    const UINT w = TakesImageSize(width) ? info.Width : width;
    const UINT h = TakesImageSize(height) ? info.Height : height;
    if (w > kMaxImageSide || h > kMaxImageSide) {
        d3dx::Trace(what, source + ": the asked size is too large", D3DERR_INVALIDCALL);
        return D3DERR_INVALIDCALL;
    }
    const UINT chain = FullChain(w, h);
    const UINT levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? chain
                        : mipLevels == D3DX_FROM_FILE                 ? 1
                                                                      : std::min(mipLevels, chain);
    const D3DFORMAT texFormat = TextureFormat(format, info);

    try {
        std::vector<uint32_t>& pixels = image.pixels;
        if (colorKey != 0)
            for (uint32_t& p : pixels)
                if (p == colorKey) p = 0;
        std::vector<uint32_t> level;
        if (w != info.Width || h != info.Height) {
            const DWORD kind = filter & 0xFF;
            level.resize(static_cast<size_t>(w) * h);
            Resample(pixels.data(), info.Width, info.Height, level.data(), w, h,
                     kind == D3DX_FILTER_POINT || kind == D3DX_FILTER_NONE);
        } else {
            level.swap(pixels);
        }

        IDirect3DTexture9* tex = nullptr;
        hr = device->CreateTexture(w, h, levels, usage, texFormat, pool, &tex, nullptr);
        if (FAILED(hr)) {
            d3dx::Trace(what, source + ": the device refused the texture", hr);
            return hr;
        }
        UINT lw = w, lh = h;
        std::vector<uint32_t> next;
        for (UINT l = 0; l < levels; ++l) {
            if (l > 0) {
                const UINT nw = std::max(1u, lw / 2), nh = std::max(1u, lh / 2);
                next.resize(static_cast<size_t>(nw) * nh);
                HalveLevel(level.data(), lw, lh, next.data(), nw, nh);
                level.swap(next);
                lw = nw;
                lh = nh;
            }
            hr = WriteLevel(tex, l, level.data(), lw, lh);
            if (FAILED(hr)) {
                tex->Release();
                d3dx::Trace(what, source + ": cannot fill the texture", hr);
                return hr;
            }
        }
        if (srcInfo) *srcInfo = info;
        *texture = tex;
        return S_OK;
    } catch (const std::bad_alloc&) {
        d3dx::Trace(what, source + ": out of memory", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
}

HRESULT ReadImageFile(const char* what, const wchar_t* path, std::vector<uint8_t>* bytes, std::string* name) {
    if (!path) {
        d3dx::Trace(what, "no file name", D3DERR_INVALIDCALL);
        return D3DERR_INVALIDCALL;
    }
    *name = PlatformNativePath(path);
    std::string error;
    HRESULT hr = ReadFileBytes(*name, bytes, &error);
    if (FAILED(hr)) d3dx::Trace(what, error, hr);
    return hr;
}

}  // namespace

HRESULT D3DXGetImageInfoFromFile(const wchar_t* path, D3DXIMAGE_INFO* info) {
    if (!path || !info) return D3DERR_INVALIDCALL;
    std::string error;
    HRESULT hr = ImageInfoFromFile(PlatformNativePath(path), info, &error);
    if (FAILED(hr)) d3dx::Trace("D3DXGetImageInfoFromFile", error, hr);
    return hr;
}

HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info) {
    if (!info || (!data && size != 0)) return D3DERR_INVALIDCALL;
    std::string error;
    HRESULT hr = ImageInfoFromMemory(data, size, info, &error);
    if (FAILED(hr)) d3dx::Trace("D3DXGetImageInfoFromFileInMemory", error, hr);
    return hr;
}

HRESULT D3DXCreateTextureFromFileEx(IDirect3DDevice9* device, const wchar_t* path, UINT width, UINT height,
                                    UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                    DWORD /*mipFilter*/, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                    PALETTEENTRY* palette, IDirect3DTexture9** texture) {
    constexpr const char* kWhat = "D3DXCreateTextureFromFileEx";
    if (texture) *texture = nullptr;
    std::vector<uint8_t> bytes;
    std::string name;
    HRESULT hr = ReadImageFile(kWhat, path, &bytes, &name);
    if (FAILED(hr)) return hr;
    return CreateFromMemory(kWhat, "\"" + name + "\"", device, bytes.data(), bytes.size(), width, height, mipLevels,
                            usage, format, pool, filter, colorKey, srcInfo, palette, texture);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD /*mipFilter*/, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture) {
    return CreateFromMemory("D3DXCreateTextureFromFileInMemoryEx", "image in memory", device, data, size, width,
                            height, mipLevels, usage, format, pool, filter, colorKey, srcInfo, palette, texture);
}

HRESULT D3DXCreateTextureFromFile(IDirect3DDevice9* device, const wchar_t* path, IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileEx(device, path, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                       D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(device, data, size, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               nullptr, nullptr, texture);
}

HRESULT D3DXCreateTextureFromResourceEx(IDirect3DDevice9*, HMODULE, const wchar_t* resource, UINT, UINT, UINT,
                                        DWORD, D3DFORMAT, D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                        PALETTEENTRY*, IDirect3DTexture9** texture) {
    if (texture) *texture = nullptr;
    const uintptr_t id = reinterpret_cast<uintptr_t>(resource);
    const std::string name = id <= 0xFFFF ? "#" + std::to_string(id) : "\"" + WideToUtf8(resource) + "\"";
    d3dx::Trace("D3DXCreateTextureFromResourceEx", "resource " + name + ": programs carry no resources here",
                D3DXERR_INVALIDDATA);
    return D3DXERR_INVALIDDATA;
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    if (texture) *texture = nullptr;
    if (!device || !texture) return D3DERR_INVALIDCALL;
    const UINT w = TakesImageSize(width) ? 256 : width;
    const UINT h = TakesImageSize(height) ? 256 : height;
    const UINT chain = FullChain(w, h);
    const UINT levels = (mipLevels == 0 || mipLevels == D3DX_DEFAULT) ? chain : std::min(mipLevels, chain);
    return device->CreateTexture(w, h, levels, usage, format == D3DFMT_UNKNOWN ? D3DFMT_A8R8G8B8 : format, pool,
                                 texture, nullptr);
}
