// Textures from image files, from image files held in memory, and the image
// information of a file.
//
// Formats: BMP, PNG, TGA, JPEG and uncompressed 32-bit DDS (platform/image.h),
// recognised by their contents. Every image has one 2-D level in the file
// (resource type D3DRTYPE_TEXTURE); cube and volume files are refused.
//
// Loader parameters (the *Ex forms):
// - width, height: D3DX_DEFAULT, D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE or 0
//   take the image's size; other values resample the image to that size
//   (point sampling with D3DX_FILTER_POINT / D3DX_FILTER_NONE, else linear).
// - mip levels: D3DX_FROM_FILE and 1 give one level; 0 and D3DX_DEFAULT the
//   whole chain down to 1 x 1 (each level a 2 x 2 box average of the one above,
//   whatever mipFilter says); n gives n levels (at most the whole chain).
// - usage: passed to the device.
// - format: D3DFMT_UNKNOWN and D3DFMT_FROM_FILE take the image's format as a
//   texture format the device draws: D3DFMT_A8R8G8B8 when the image has an
//   alpha channel, D3DFMT_X8R8G8B8 otherwise. D3DFMT_A8R8G8B8 and
//   D3DFMT_X8R8G8B8 are honoured as asked; any other format is replaced by the
//   one the image would get (the closest format this loader writes).
// - pool: passed to the device (D3DPOOL_MANAGED survives a device reset).
// - colour key: 0 for none; otherwise every texel equal to the key (all 32 bits
//   0xAARRGGBB, alpha included) becomes transparent black 0x00000000.
// - image information (may be null): the file's width, height, format (as in
//   platform/image.h), one level, D3DRTYPE_TEXTURE and the file format.
// - palette: must be null (no palette formats).
//
// Paths are the program's wide paths ('\' or '/'); they are opened through
// PlatformNativePath. A missing, truncated, corrupt or unsupported image fails
// with D3DXERR_INVALIDDATA (E_OUTOFMEMORY when memory runs out) and a line on
// the debugger output naming the loader, the file and what is wrong; nothing is
// created then.
#pragma once

#include "platform/device.h"
#include "platform/image.h"

// "Take it from the image" / "the library's choice" for sizes and levels.
constexpr UINT D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr UINT D3DX_DEFAULT_NONPOW2 = 0xFFFFFFFEu;
constexpr UINT D3DX_FROM_FILE = 0xFFFFFFFDu;
constexpr D3DFORMAT D3DFMT_FROM_FILE = static_cast<D3DFORMAT>(0xFFFFFFFDu);

// Image filters (the low byte is the kind; the other bits are modifiers).
constexpr DWORD D3DX_FILTER_NONE = 1;
constexpr DWORD D3DX_FILTER_POINT = 2;
constexpr DWORD D3DX_FILTER_LINEAR = 3;
constexpr DWORD D3DX_FILTER_TRIANGLE = 4;
constexpr DWORD D3DX_FILTER_BOX = 5;
constexpr DWORD D3DX_FILTER_MIRROR_U = 0x10000;
constexpr DWORD D3DX_FILTER_MIRROR_V = 0x20000;
constexpr DWORD D3DX_FILTER_MIRROR = 0x70000;
constexpr DWORD D3DX_FILTER_DITHER = 0x80000;
constexpr DWORD D3DX_FILTER_SRGB = 0x600000;

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

HRESULT D3DXGetImageInfoFromFile(const wchar_t* path, D3DXIMAGE_INFO* info);
HRESULT D3DXGetImageInfoFromFileInMemory(const void* data, UINT size, D3DXIMAGE_INFO* info);

HRESULT D3DXCreateTextureFromFileEx(IDirect3DDevice9* device, const wchar_t* path, UINT width, UINT height,
                                    UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                    DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                    PALETTEENTRY* palette, IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice9* device, const void* data, UINT size, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            IDirect3DTexture9** texture);
// The defaults: image size, the whole mip chain, the image's format, managed.
HRESULT D3DXCreateTextureFromFile(IDirect3DDevice9* device, const wchar_t* path, IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture);

// Programs on this platform carry no resources: always fails with
// D3DXERR_INVALIDDATA (and a trace line). Built-in images are handed to the
// in-memory loader instead.
HRESULT D3DXCreateTextureFromResourceEx(IDirect3DDevice9* device, HMODULE module, const wchar_t* resource,
                                        UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                        D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                        IDirect3DTexture9** texture);

// An empty texture: D3DX_DEFAULT sizes are 256, 0 / D3DX_DEFAULT levels the
// whole chain, D3DFMT_UNKNOWN is D3DFMT_A8R8G8B8.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);
