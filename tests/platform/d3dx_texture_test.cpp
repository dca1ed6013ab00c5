// Textures from image files: every format loads to its size and texels
// (locked back and drawn), the loader's parameters are honoured, and broken
// images fail with a trace line instead of a texture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/d3dx_sprite.h"
#include "platform/d3dx_texture.h"
#include "platform/image.h"
#include "platform/system.h"
#include "support/d3dx_fixture.h"

#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>  // the implementation is in image_test.cpp

namespace {

constexpr int kW = 6, kH = 4;

// ARGB texels, every one different; alpha varies only when asked.
std::vector<uint32_t> Picture(bool alpha) {
    std::vector<uint32_t> p(kW * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const uint32_t a = alpha ? 255u - 40u * x : 255u;
            p[y * kW + x] = (a << 24) | (uint32_t(30 * x + 20) << 16) | (uint32_t(60 * y + 10) << 8) |
                            uint32_t(200 - 25 * x - 10 * y);
        }
    return p;
}

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

enum class Kind { Png, Bmp, Tga, Jpg, Dds };

std::vector<uint8_t> Encode(Kind kind, const std::vector<uint32_t>& argb, int comp) {
    if (kind == Kind::Dds) return ImageEncodeDds(kW, kH, argb.data());
    std::vector<uint8_t> bytes;
    for (uint32_t p : argb) {
        const uint8_t c[4] = {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)};
        bytes.insert(bytes.end(), c, c + comp);
    }
    std::vector<uint8_t> out;
    switch (kind) {
        case Kind::Png: stbi_write_png_to_func(Append, &out, kW, kH, comp, bytes.data(), kW * comp); break;
        case Kind::Bmp: stbi_write_bmp_to_func(Append, &out, kW, kH, comp, bytes.data()); break;
        case Kind::Tga: stbi_write_tga_to_func(Append, &out, kW, kH, comp, bytes.data()); break;
        case Kind::Jpg: stbi_write_jpg_to_func(Append, &out, kW, kH, comp, bytes.data(), 100); break;
        default: break;
    }
    return out;
}

// The texels of level `level` as 0xAARRGGBB values.
std::vector<uint32_t> Texels(IDirect3DTexture9* texture, UINT level = 0) {
    D3DSURFACE_DESC desc{};
    EXPECT_EQ(texture->GetLevelDesc(level, &desc), S_OK);
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(texture->LockRect(level, &lr, nullptr, D3DLOCK_READONLY), S_OK);
    std::vector<uint32_t> out(size_t(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y)
        std::memcpy(&out[size_t(y) * desc.Width], static_cast<uint8_t*>(lr.pBits) + size_t(y) * lr.Pitch,
                    desc.Width * 4);
    texture->UnlockRect(level);
    return out;
}

int ChannelDistance(uint32_t a, uint32_t b, bool withAlpha) {
    int worst = 0;
    for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8)
        worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
}

// The loader's parameters as the GUI's texture cache passes them.
HRESULT LoadLikeTheGui(IDirect3DDevice9* device, const std::vector<uint8_t>& file, D3DXIMAGE_INFO* info,
                       IDirect3DTexture9** texture) {
    return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), D3DX_DEFAULT, D3DX_DEFAULT, 1,
                                               0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, info,
                                               nullptr, texture);
}

using TextureTest = GlHelpersTest;

TEST_F(TextureTest, EachFormatLoadsToItsSizeFormatAndTexels) {
    struct Case {
        const char* name;
        Kind kind;
        int comp;
        D3DXIMAGE_FILEFORMAT fileFormat;
        D3DFORMAT textureFormat;
        int tolerance;
    } const cases[] = {
        {"PNG with alpha", Kind::Png, 4, D3DXIFF_PNG, D3DFMT_A8R8G8B8, 0},
        {"PNG without alpha", Kind::Png, 3, D3DXIFF_PNG, D3DFMT_X8R8G8B8, 0},
        {"BMP 24-bit", Kind::Bmp, 3, D3DXIFF_BMP, D3DFMT_X8R8G8B8, 0},
        {"BMP 32-bit", Kind::Bmp, 4, D3DXIFF_BMP, D3DFMT_A8R8G8B8, 0},
        {"TGA", Kind::Tga, 4, D3DXIFF_TGA, D3DFMT_A8R8G8B8, 0},
        {"JPEG", Kind::Jpg, 3, D3DXIFF_JPG, D3DFMT_X8R8G8B8, 40},
        {"DDS 32-bit", Kind::Dds, 4, D3DXIFF_DDS, D3DFMT_A8R8G8B8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint32_t> picture = Picture(c.comp == 4);
        const std::vector<uint8_t> file = Encode(c.kind, picture, c.comp);
        ASSERT_FALSE(file.empty());
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(LoadLikeTheGui(device, file, &info, &texture), S_OK);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(info.Width, UINT(kW));
        EXPECT_EQ(info.Height, UINT(kH));
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, c.fileFormat);
        EXPECT_EQ(texture->GetLevelCount(), 1u);
        D3DSURFACE_DESC desc{};
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), S_OK);
        EXPECT_EQ(desc.Width, UINT(kW));
        EXPECT_EQ(desc.Height, UINT(kH));
        EXPECT_EQ(desc.Format, c.textureFormat);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        const std::vector<uint32_t> texels = Texels(texture);
        int worst = 0;
        for (size_t i = 0; i < texels.size(); ++i)
            worst = std::max(worst, ChannelDistance(texels[i], picture[i], c.textureFormat == D3DFMT_A8R8G8B8));
        EXPECT_LE(worst, c.tolerance);
        texture->Release();
    }
}

TEST_F(TextureTest, ALoadedTextureDrawsItsTexelsAtTheirPixels) {
    const std::vector<uint32_t> picture = Picture(false);
    const std::vector<uint8_t> file = Encode(Kind::Png, picture, 3);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(LoadLikeTheGui(device, file, nullptr, &texture), S_OK);
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device, &sprite), S_OK);
    Clear(0xFF000000);
    ASSERT_EQ(sprite->Begin(0), S_OK);
    const D3DXVECTOR3 at(30, 40, 0);
    ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite->End(), S_OK);
    Read();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const uint32_t p = picture[y * kW + x];
            ExpectPixel(30 + x, 40 + y, {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)}, 1);
        }
    ExpectPixel(29, 40, {0, 0, 0});
    ExpectPixel(30 + kW, 40 + kH - 1, {0, 0, 0});
    sprite->Release();
    texture->Release();
}

TEST_F(TextureTest, SizeLevelsAndColourKeyFollowTheParameters) {
    // 2 x 2: opaque red, magenta (the key), green, blue.
    const uint32_t texels[4] = {0xFFFF0000, 0xFFFF00FF, 0xFF00FF00, 0xFF0000FF};
    const std::vector<uint8_t> file = ImageEncodeDds(2, 2, texels);
    IDirect3DTexture9* texture = nullptr;
    // Stretched to 4 x 4 with point sampling, the whole chain, the key cut out.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), 4, 4, D3DX_DEFAULT, 0,
                                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_DEFAULT,
                                                  0xFFFF00FF, nullptr, nullptr, &texture),
              S_OK);
    ASSERT_EQ(texture->GetLevelCount(), 3u);  // 4x4, 2x2, 1x1
    const std::vector<uint32_t> top = Texels(texture, 0);
    EXPECT_EQ(top[0], 0xFFFF0000u);
    EXPECT_EQ(top[1], 0xFFFF0000u);
    EXPECT_EQ(top[2], 0x00000000u);  // the key became transparent black
    EXPECT_EQ(top[3], 0x00000000u);
    EXPECT_EQ(top[3 * 4 + 3], 0xFF0000FFu);
    const std::vector<uint32_t> middle = Texels(texture, 1);
    EXPECT_EQ(middle, (std::vector<uint32_t>{0xFFFF0000, 0x00000000, 0xFF00FF00, 0xFF0000FF}));
    // The last level averages the four: alpha 3/4, red, green and blue 1/4 each.
    const std::vector<uint32_t> last = Texels(texture, 2);
    EXPECT_EQ(last[0], 0xBF404040u);
    texture->Release();

    // An explicit format the loader does not write becomes the image's own.
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), D3DX_DEFAULT, D3DX_DEFAULT,
                                                  1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  nullptr, nullptr, &texture),
              S_OK);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    texture->Release();
}

std::string TempDir() {
    std::string dir = ::testing::TempDir();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

std::wstring WritePicture(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = TempDir() + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    // The program's own form: backslashes.
    std::wstring wide = Utf8ToWide(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    return wide;
}

TEST_F(TextureTest, FilesLoadByTheProgramsPathsWithTheirInformation) {
    const std::wstring path = WritePicture("trevolia texture test.bmp", Encode(Kind::Bmp, Picture(false), 3));
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFile(path.c_str(), &info), S_OK);
    EXPECT_EQ(info.Width, UINT(kW));
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileEx(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                          D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture),
              S_OK);
    EXPECT_EQ(Texels(texture)[kW + 1], Picture(false)[kW + 1]);
    texture->Release();
    // The short form makes the whole chain: 6x4, 3x2, 1x1.
    ASSERT_EQ(D3DXCreateTextureFromFile(device, path.c_str(), &texture), S_OK);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    texture->Release();
}

TEST_F(TextureTest, BrokenImagesFailWithATraceAndNoTexture) {
    const std::vector<uint8_t> png = Encode(Kind::Png, Picture(true), 4);
    std::vector<uint8_t> dds = ImageEncodeDds(kW, kH, Picture(true).data());
    std::vector<uint8_t> cube = dds;
    cube[112] |= 0x00;  // caps2 at byte 112
    cube[113] |= 0x02;  // DDSCAPS2_CUBEMAP (0x200)
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    } const cases[] = {
        {"empty", {}},
        {"truncated PNG", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2)},
        {"truncated DDS", std::vector<uint8_t>(dds.begin(), dds.end() - 5)},
        {"cube map DDS", cube},
        {"not an image", std::vector<uint8_t>(64, 0x5A)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = WritePicture("broken.img", c.bytes);
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(uintptr_t{1});
        ::testing::internal::CaptureStderr();
        const HRESULT hr = D3DXCreateTextureFromFileEx(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                                       D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                                       0, nullptr, nullptr, &texture);
        const std::string trace = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(hr, D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        EXPECT_NE(trace.find("D3DXCreateTextureFromFileEx"), std::string::npos) << trace;
        EXPECT_NE(trace.find("broken.img"), std::string::npos) << trace;
        D3DXIMAGE_INFO info{};
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(D3DXGetImageInfoFromFile(path.c_str(), &info), D3DXERR_INVALIDDATA);
        ::testing::internal::GetCapturedStderr();
    }
    // A missing file and a file held in memory fail the same way.
    IDirect3DTexture9* texture = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCreateTextureFromFile(device, L"\\no\\such\\folder\\picture.png", &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, png.data(), UINT(png.size() - 30), &texture),
              D3DXERR_INVALIDDATA);
    const std::string trace = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(trace.find("picture.png"), std::string::npos) << trace;
    EXPECT_NE(trace.find("D3DXCreateTextureFromFileInMemoryEx"), std::string::npos) << trace;
    EXPECT_EQ(texture, nullptr);
    // There are no resources to load from.
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromResourceEx(device, nullptr, L"Picture", D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                                       D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                       nullptr, nullptr, &texture)));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(texture, nullptr);
}

}  // namespace
