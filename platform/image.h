// Decoding of image files into 32-bit pixels, for the texture loaders.
//
// Formats: BMP, PNG, TGA and JPEG (through stb_image) and uncompressed 32-bit
// DDS. The format is recognised by the file's contents, not its name (TGA,
// which has no signature, is tried last).
//
// Pixels come out as 32-bit 0xAARRGGBB values (the texel layout of
// D3DFMT_A8R8G8B8 textures), rows top-down, no padding; images without alpha
// get alpha 0xFF.
//
// DDS: the 128-byte header of magic "DDS " and a 124-byte description:
// size 124, flags (caps, height, width, pixel format required), height,
// width, pitch (when the pitch flag is set it must be width * 4), depth,
// mip-map count (levels past the first are ignored), 11 reserved words, the
// 32-byte pixel format (size 32, flags RGB with or without alpha-pixels, no
// four-character code, 32 bits, and red, green, blue (and alpha) masks each one
// whole byte, all different), caps (texture), caps2 (no cube map, no volume),
// caps3, caps4, reserved. The first level's width * height * 4 bytes follow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/device_types.h"
#include "platform/result.h"

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_HDR = 7,
    D3DXIFF_PFM = 8,
};

// What an image file holds. Format is that of the file's pixels: for DDS the
// format its masks describe (D3DFMT_A8B8G8R8 for masks R 0xFF, G 0xFF00,
// B 0xFF0000, A 0xFF000000; D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8,
// D3DFMT_X8B8G8R8 likewise); for the others D3DFMT_A8R8G8B8 when the file
// has an alpha channel, D3DFMT_X8R8G8B8 otherwise. Depth and MipLevels are 1,
// ResourceType D3DRTYPE_TEXTURE.
struct D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// The largest image accepted: each side at most 16384 pixels and at most
// 64 Mi pixels in all. Larger claims are refused before any decoding.
constexpr UINT kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t{64} << 20;

struct DecodedImage {
    D3DXIMAGE_INFO info{};
    std::vector<uint32_t> pixels;  // Width * Height values 0xAARRGGBB, rows top-down
};

// Limits for one call (tests and fuzzing use smaller ones).
struct ImageLimits {
    UINT maxSide = kMaxImageSide;
    uint64_t maxPixels = kMaxImagePixels;
};

// Reads only what is needed to fill the information record. A missing,
// truncated, corrupt, unsupported or oversized image fails with
// D3DXERR_INVALIDDATA and a message in *error (when given).
HRESULT ImageInfoFromMemory(const void* data, size_t size, D3DXIMAGE_INFO* info, std::string* error,
                            const ImageLimits& limits = ImageLimits{});
HRESULT ImageInfoFromFile(const std::string& path, D3DXIMAGE_INFO* info, std::string* error);

// Decodes the whole image. Failures as above; E_OUTOFMEMORY when the pixels
// cannot be allocated.
HRESULT ImageDecodeMemory(const void* data, size_t size, DecodedImage* out, std::string* error,
                          const ImageLimits& limits = ImageLimits{});
HRESULT ImageDecodeFile(const std::string& path, DecodedImage* out, std::string* error);

// Writes an uncompressed 32-bit DDS file (the layout above, one level, masks
// R 0x000000FF, G 0x0000FF00, B 0x00FF0000, A 0xFF000000) from 0xAARRGGBB
// pixels: 128 + width * height * 4 bytes. Used to build in-memory images such
// as the built-in control texture. Empty when a side is 0 or too large.
std::vector<uint8_t> ImageEncodeDds(UINT width, UINT height, const uint32_t* argb);
