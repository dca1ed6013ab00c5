#include "platform/image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace {

constexpr int kW = 5, kH = 3;

// A 5 x 3 picture with every pixel different (RGBA bytes, rows top-down).
std::vector<uint8_t> TestRgba(bool alpha) {
    std::vector<uint8_t> rgba(kW * kH * 4);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = &rgba[(y * kW + x) * 4];
            p[0] = static_cast<uint8_t>(40 * x + 10);
            p[1] = static_cast<uint8_t>(70 * y + 5);
            p[2] = static_cast<uint8_t>(200 - 30 * x - 20 * y);
            p[3] = alpha ? static_cast<uint8_t>(255 - 50 * x) : 255;
        }
    return rgba;
}

uint32_t Argb(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

void Append(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

std::vector<uint8_t> Encode(D3DXIMAGE_FILEFORMAT format, const std::vector<uint8_t>& rgba, int comp, int w = kW,
                            int h = kH) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> packed;
    for (size_t i = 0; i < rgba.size(); i += 4)
        for (int c = 0; c < comp; ++c) packed.push_back(rgba[i + c]);
    switch (format) {
        case D3DXIFF_PNG: stbi_write_png_to_func(Append, &out, w, h, comp, packed.data(), w * comp); break;
        case D3DXIFF_BMP: stbi_write_bmp_to_func(Append, &out, w, h, comp, packed.data()); break;
        case D3DXIFF_TGA: stbi_write_tga_to_func(Append, &out, w, h, comp, packed.data()); break;
        case D3DXIFF_JPG: stbi_write_jpg_to_func(Append, &out, w, h, comp, packed.data(), 100); break;
        default: break;
    }
    return out;
}

struct FormatCase {
    const char* name;
    D3DXIMAGE_FILEFORMAT format;
    int comp;
    bool rle;  // TGA only
    D3DFORMAT expectedFormat;
};

TEST(Image, EachFormatDecodesToTheRightSizeAndPixels) {
    const FormatCase cases[] = {
        {"PNG RGBA", D3DXIFF_PNG, 4, false, D3DFMT_A8R8G8B8}, {"PNG RGB", D3DXIFF_PNG, 3, false, D3DFMT_X8R8G8B8},
        {"BMP 24-bit", D3DXIFF_BMP, 3, false, D3DFMT_X8R8G8B8}, {"BMP 32-bit", D3DXIFF_BMP, 4, false, D3DFMT_A8R8G8B8},
        {"TGA raw", D3DXIFF_TGA, 4, false, D3DFMT_A8R8G8B8}, {"TGA run-length", D3DXIFF_TGA, 3, true, D3DFMT_X8R8G8B8},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        stbi_write_tga_with_rle = c.rle ? 1 : 0;
        const std::vector<uint8_t> rgba = TestRgba(c.comp == 4);
        const std::vector<uint8_t> file = Encode(c.format, rgba, c.comp);
        ASSERT_FALSE(file.empty());
        D3DXIMAGE_INFO info{};
        std::string error;
        ASSERT_EQ(ImageInfoFromMemory(file.data(), file.size(), &info, &error), S_OK) << error;
        EXPECT_EQ(info.Width, UINT(kW));
        EXPECT_EQ(info.Height, UINT(kH));
        EXPECT_EQ(info.Depth, 1u);
        EXPECT_EQ(info.MipLevels, 1u);
        EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
        EXPECT_EQ(info.ImageFileFormat, c.format);
        EXPECT_EQ(info.Format, c.expectedFormat);
        DecodedImage image;
        ASSERT_EQ(ImageDecodeMemory(file.data(), file.size(), &image, &error), S_OK) << error;
        ASSERT_EQ(image.pixels.size(), size_t(kW * kH));
        for (int i = 0; i < kW * kH; ++i) EXPECT_EQ(image.pixels[i], Argb(&rgba[i * 4])) << "pixel " << i;
    }
    stbi_write_tga_with_rle = 1;
}

TEST(Image, JpegDecodesCloseToTheSource) {
    // Flat 8 x 8 blocks survive JPEG almost unchanged.
    const int w = 16, h = 8;
    std::vector<uint8_t> rgba(w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgba[(y * w + x) * 4];
            p[0] = x < 8 ? 200 : 30;
            p[1] = x < 8 ? 40 : 160;
            p[2] = x < 8 ? 60 : 220;
            p[3] = 255;
        }
    const std::vector<uint8_t> file = Encode(D3DXIFF_JPG, rgba, 3, w, h);
    DecodedImage image;
    std::string error;
    ASSERT_EQ(ImageDecodeMemory(file.data(), file.size(), &image, &error), S_OK) << error;
    EXPECT_EQ(image.info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(image.info.Format, D3DFMT_X8R8G8B8);
    ASSERT_EQ(image.info.Width, UINT(w));
    ASSERT_EQ(image.info.Height, UINT(h));
    for (int i = 0; i < w * h; i += 5) {
        uint32_t got = image.pixels[i];
        EXPECT_EQ(got >> 24, 0xFFu);
        for (int c = 0; c < 3; ++c) {
            int expected = rgba[i * 4 + c];
            int actual = static_cast<int>((got >> (16 - 8 * c)) & 0xFF);
            EXPECT_NEAR(actual, expected, 12) << "pixel " << i << " channel " << c;
        }
    }
}

// The built-in control image: 256 x 256, 262,272 bytes, the exact header.
TEST(Image, DdsLayoutRoundTrips) {
    std::vector<uint32_t> argb(256 * 256);
    for (size_t i = 0; i < argb.size(); ++i) argb[i] = static_cast<uint32_t>(i * 2654435761u);
    const std::vector<uint8_t> dds = ImageEncodeDds(256, 256, argb.data());
    ASSERT_EQ(dds.size(), 262272u);
    auto word = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, &dds[at], 4);
        return v;
    };
    EXPECT_EQ(std::memcmp(dds.data(), "DDS ", 4), 0);
    EXPECT_EQ(word(4), 124u);           // header size
    EXPECT_EQ(word(12), 256u);          // height
    EXPECT_EQ(word(16), 256u);          // width
    EXPECT_EQ(word(20), 1024u);         // pitch
    EXPECT_EQ(word(76), 32u);           // pixel format size
    EXPECT_EQ(word(80), 0x41u);         // RGB with alpha
    EXPECT_EQ(word(88), 32u);           // bits
    EXPECT_EQ(word(92), 0x000000FFu);   // red
    EXPECT_EQ(word(96), 0x0000FF00u);   // green
    EXPECT_EQ(word(100), 0x00FF0000u);  // blue
    EXPECT_EQ(word(104), 0xFF000000u);  // alpha
    // First texel, stored R, G, B, A.
    EXPECT_EQ(dds[128], static_cast<uint8_t>(argb[0] >> 16));
    EXPECT_EQ(dds[131], static_cast<uint8_t>(argb[0] >> 24));

    DecodedImage image;
    std::string error;
    ASSERT_EQ(ImageDecodeMemory(dds.data(), dds.size(), &image, &error), S_OK) << error;
    EXPECT_EQ(image.info.Width, 256u);
    EXPECT_EQ(image.info.Height, 256u);
    EXPECT_EQ(image.info.Format, D3DFMT_A8B8G8R8);
    EXPECT_EQ(image.info.ImageFileFormat, D3DXIFF_DDS);
    EXPECT_EQ(image.info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(image.pixels, argb);
}

TEST(Image, DdsWithArgbMasksAndNoAlpha) {
    std::vector<uint32_t> argb = {0x11223344u, 0x55667788u};
    std::vector<uint8_t> dds = ImageEncodeDds(2, 1, argb.data());
    // Rewrite as X8R8G8B8: masks R 0xFF0000, G 0xFF00, B 0xFF, no alpha flag;
    // bytes B, G, R, X.
    const uint32_t masks[4] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0};
    std::memcpy(&dds[92], masks, 16);
    uint32_t flags = 0x40;
    std::memcpy(&dds[80], &flags, 4);
    for (int i = 0; i < 2; ++i) {
        uint8_t* p = &dds[128 + i * 4];
        p[0] = static_cast<uint8_t>(argb[i]);
        p[1] = static_cast<uint8_t>(argb[i] >> 8);
        p[2] = static_cast<uint8_t>(argb[i] >> 16);
        p[3] = 0;
    }
    DecodedImage image;
    std::string error;
    ASSERT_EQ(ImageDecodeMemory(dds.data(), dds.size(), &image, &error), S_OK) << error;
    EXPECT_EQ(image.info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFF223344u, 0xFF667788u}));
}

std::vector<uint8_t> SmallDds() {
    std::vector<uint32_t> argb(4 * 4, 0xFF00FF00u);
    return ImageEncodeDds(4, 4, argb.data());
}

void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); }

// Position of the first marker segment of that type (0xFF, type).
size_t FindMarker(const std::vector<uint8_t>& f, uint8_t type) {
    for (size_t i = 2; i + 1 < f.size(); ++i)
        if (f[i] == 0xFF && f[i + 1] == type) return i;
    ADD_FAILURE() << "no marker " << int(type);
    return 0;
}

std::vector<uint8_t> ReadData(const std::string& name) {
    const char* dir = std::getenv("TREVOLIA_TEST_DATA");
    if (!dir) {
        ADD_FAILURE() << "TREVOLIA_TEST_DATA is not set";
        return {};
    }
    std::ifstream in(std::string(dir) + "/images/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct CorruptCase {
    const char* what;
    std::function<std::vector<uint8_t>()> make;
    const char* excerpt;
};

TEST(Image, CorruptAndTruncatedImagesFailCleanly) {
    stbi_write_tga_with_rle = 1;
    const std::vector<uint8_t> rgba = TestRgba(true);
    auto cut = [](std::vector<uint8_t> v, size_t keep) {
        v.resize(std::min(keep, v.size()));
        return v;
    };
    auto dds = [](auto edit) {
        std::vector<uint8_t> d = SmallDds();
        edit(d);
        return d;
    };
    const CorruptCase cases[] = {
        {"empty", [] { return std::vector<uint8_t>(); }, "empty"},
        {"garbage", [] { return std::vector<uint8_t>(100, 0xAB); }, ""},
        {"text", [] { return std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}; }, "not a recognised image"},
        {"BMP core header cut",
         [] {
             // 4 x 4, 24 bits, 12-byte header: 26 + 4 rows of 12 bytes; 14 bytes missing.
             std::vector<uint8_t> f = {'B', 'M', 74, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 4, 0, 4, 0, 1, 0, 24, 0};
             f.resize(60, 0x80);
             return f;
         },
         "truncated BMP"},
        {"PNG cut in half", [&] { auto f = Encode(D3DXIFF_PNG, rgba, 4); return cut(f, f.size() / 2); }, "PNG"},
        {"PNG without end chunk", [&] { auto f = Encode(D3DXIFF_PNG, rgba, 4); return cut(f, f.size() - 12); },
         "no end chunk"},
        {"PNG signature only", [&] { return cut(Encode(D3DXIFF_PNG, rgba, 4), 8); }, "truncated PNG"},
        {"PNG zero width",
         [&] {
             auto f = Encode(D3DXIFF_PNG, rgba, 4);
             std::memset(&f[16], 0, 4);
             return f;
         },
         ""},
        {"PNG huge size",
         [&] {
             auto f = Encode(D3DXIFF_PNG, rgba, 4);
             f[16] = 0x00, f[17] = 0x01, f[18] = 0x00, f[19] = 0x00;  // width 65536
             return f;
         },
         ""},
        {"PNG chunk longer than the file",
         [&] {
             auto f = Encode(D3DXIFF_PNG, rgba, 4);
             size_t idat = 8;
             while (std::memcmp(&f[idat + 4], "IDAT", 4) != 0) idat += 12 + (f[idat + 2] << 8 | f[idat + 3]);
             f[idat] = 0x7F, f[idat + 1] = 0xFF;  // length 0x7FFFxxxx
             return f;
         },
         "PNG chunk"},
        {"BMP cut", [&] { auto f = Encode(D3DXIFF_BMP, rgba, 3); return cut(f, f.size() - 5); }, "truncated BMP"},
        {"BMP header only", [&] { return cut(Encode(D3DXIFF_BMP, rgba, 3), 20); }, "truncated BMP"},
        {"TGA run-length cut", [&] { auto f = Encode(D3DXIFF_TGA, rgba, 4); return cut(f, f.size() - 3); },
         "truncated TGA"},
        {"JPEG cut", [&] { auto f = Encode(D3DXIFF_JPG, rgba, 3); return cut(f, f.size() - 20); }, "truncated JPEG"},
        {"JPEG Huffman table of more than 256 symbols",
         [&] {
             auto f = Encode(D3DXIFF_JPG, rgba, 3);
             size_t dht = FindMarker(f, 0xC4);
             for (int j = 9; j <= 16; ++j) f[dht + 4 + j] = 0xFF;  // counts of lengths 9..16
             return f;
         },
         "Huffman table"},
        {"JPEG over-subscribed Huffman code",
         [&] {
             auto f = Encode(D3DXIFF_JPG, rgba, 3);
             f[FindMarker(f, 0xC4) + 4 + 1] = 3;  // three codes of length 1
             return f;
         },
         "bad code lengths"},
        {"JPEG scan naming an undefined table",
         [&] {
             auto f = Encode(D3DXIFF_JPG, rgba, 3);
             f[FindMarker(f, 0xDA) + 5 + 1] = 0x33;  // first component: tables 3 / 3
             return f;
         },
         "undefined Huffman table"},
        {"JPEG found by fuzzing", [] { return ReadData("bad_huffman.jpg"); }, "JPEG"},
        {"JPEG after fill bytes, found by fuzzing", [] { return ReadData("fill_bytes_bad_huffman.jpg"); }, "JPEG"},
        {"0xFF without a start marker", [] { return std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0x01}; }, "not a recognised"},
        {"PNG found by fuzzing", [] { return ReadData("huge_idat.png"); }, "PNG"},
        {"DDS cut", [] { auto d = SmallDds(); d.pop_back(); return d; }, "truncated DDS pixel"},
        {"DDS header cut", [&] { return cut(SmallDds(), 100); },
         "truncated DDS header"},
        {"DDS bad header size", [&] { return dds([](auto& d) { Put32(d, 4, 100); }); }, "structure sizes"},
        {"DDS bad pitch", [&] { return dds([](auto& d) { Put32(d, 20, 15); }); }, "pitch"},
        {"DDS overlapping masks", [&] { return dds([](auto& d) { Put32(d, 96, 0xFF); }); }, "overlapping"},
        {"DDS odd mask", [&] { return dds([](auto& d) { Put32(d, 92, 0xF0F0); }); }, "masks"},
        {"DDS compressed", [&] { return dds([](auto& d) { Put32(d, 80, 0x4); }); }, "compressed"},
        {"DDS 16-bit", [&] { return dds([](auto& d) { Put32(d, 88, 16); }); }, "32-bit"},
        {"DDS cube map", [&] { return dds([](auto& d) { Put32(d, 112, 0x200); }); }, "cube map"},
        {"DDS zero width", [&] { return dds([](auto& d) { Put32(d, 16, 0); }); }, "no pixels"},
        {"DDS absurd size", [&] { return dds([](auto& d) { Put32(d, 16, 100000); Put32(d, 20, 400000); }); },
         "too large"},
    };
    for (const CorruptCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> data = c.make();
        DecodedImage image;
        D3DXIMAGE_INFO info{};
        std::string error, infoError;
        EXPECT_EQ(ImageDecodeMemory(data.data(), data.size(), &image, &error), D3DXERR_INVALIDDATA);
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_FALSE(error.empty());
        EXPECT_NE(error.find(c.excerpt), std::string::npos) << error;
        // The header-only query agrees whenever the header itself is at fault.
        if (std::string(c.what).rfind("DDS", 0) == 0 || data.empty()) {
            EXPECT_EQ(ImageInfoFromMemory(data.data(), data.size(), &info, &infoError), D3DXERR_INVALIDDATA);
        }
    }
}

TEST(Image, LimitsRefuseLargeImagesBeforeDecoding) {
    std::vector<uint32_t> argb(64 * 64, 0xFFFFFFFFu);
    const std::vector<uint8_t> dds = ImageEncodeDds(64, 64, argb.data());
    ImageLimits limits;
    limits.maxSide = 32;
    DecodedImage image;
    std::string error;
    EXPECT_EQ(ImageDecodeMemory(dds.data(), dds.size(), &image, &error, limits), D3DXERR_INVALIDDATA);
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
    limits = ImageLimits{};
    limits.maxPixels = 64 * 64 - 1;
    EXPECT_EQ(ImageDecodeMemory(dds.data(), dds.size(), &image, &error, limits), D3DXERR_INVALIDDATA);
}

TEST(Image, FilesLoadAndMissingOnesFail) {
    const char* dir = std::getenv("TREVOLIA_TEST_DATA");
    ASSERT_NE(dir, nullptr);
    const std::string path = std::string(dir) + "/images/checker.tga";
    DecodedImage image;
    std::string error;
    ASSERT_EQ(ImageDecodeFile(path, &image, &error), S_OK) << error;
    EXPECT_EQ(image.info.Width, 2u);
    EXPECT_EQ(image.info.Height, 2u);
    // Stored bottom-up in the file; decoded top-down.
    EXPECT_EQ(image.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}));
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(ImageInfoFromFile(path, &info, &error), S_OK) << error;
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_TGA);

    EXPECT_EQ(ImageDecodeFile(std::string(dir) + "/images/missing.png", &image, &error), D3DXERR_INVALIDDATA);
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;
    EXPECT_EQ(ImageInfoFromFile(std::string(dir) + "/images", &info, &error), D3DXERR_INVALIDDATA);

    // A file that reads but is no image: the decoder's message after the path.
    const std::string junk = ::testing::TempDir() + "trevolia_not_an_image.png";
    std::ofstream(junk, std::ios::binary) << "not an image at all";
    error.clear();
    EXPECT_EQ(ImageInfoFromFile(junk, &info, &error), D3DXERR_INVALIDDATA);
    EXPECT_EQ(error.rfind(junk + ": ", 0), 0u) << error;
    EXPECT_GT(error.size(), junk.size() + 2) << error;
    error.clear();
    EXPECT_EQ(ImageDecodeFile(junk, &image, &error), D3DXERR_INVALIDDATA);
    EXPECT_EQ(error.rfind(junk + ": ", 0), 0u) << error;
    EXPECT_GT(error.size(), junk.size() + 2) << error;
    std::remove(junk.c_str());
}

}  // namespace
