#include "platform/image.h"

#include <climits>
#include <cstring>
#include <new>

#include "platform/file_read.h"

#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_TGA
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

namespace {

// DDS header constants.
constexpr uint32_t kDdsMagic = 0x20534444;  // "DDS "
constexpr uint32_t kDdsHeaderSize = 124;
constexpr uint32_t kDdsPixelFormatSize = 32;
constexpr uint32_t DDSD_CAPS = 0x1;
constexpr uint32_t DDSD_HEIGHT = 0x2;
constexpr uint32_t DDSD_WIDTH = 0x4;
constexpr uint32_t DDSD_PITCH = 0x8;
constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;
constexpr uint32_t DDSD_DEPTH = 0x800000;
constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDPF_RGB = 0x40;
constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;
constexpr uint32_t DDSCAPS2_CUBEMAP = 0x200;
constexpr uint32_t DDSCAPS2_VOLUME = 0x200000;

// Offsets of the header fields from the start of the file (magic included).
enum DdsField : size_t {
    kSize = 4,
    kFlags = 8,
    kHeight = 12,
    kWidth = 16,
    kPitch = 20,
    kDepth = 24,
    kMipCount = 28,
    kPfSize = 76,
    kPfFlags = 80,
    kPfFourCC = 84,
    kPfBits = 88,
    kPfRMask = 92,
    kPfGMask = 96,
    kPfBMask = 100,
    kPfAMask = 104,
    kCaps = 108,
    kCaps2 = 112,
};
constexpr size_t kDdsFileHeader = 128;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint32_t Le16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }
void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

int ByteLane(uint32_t mask) {
    for (int i = 0; i < 4; ++i)
        if (mask == (0xFFu << (8 * i))) return i;
    return -1;
}

HRESULT Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return D3DXERR_INVALIDDATA;
}

HRESULT CheckSize(uint64_t w, uint64_t h, const ImageLimits& limits, std::string* error) {
    if (w == 0 || h == 0) return Fail(error, "the image has no pixels");
    if (w > limits.maxSide || h > limits.maxSide || w * h > limits.maxPixels)
        return Fail(error, "the image is too large (" + std::to_string(w) + " x " + std::to_string(h) + ")");
    return S_OK;
}

struct DdsLayout {
    int lane[4];  // byte of red, green, blue, alpha (alpha -1 when none)
};

HRESULT ProbeDds(const uint8_t* d, size_t size, const ImageLimits& limits, D3DXIMAGE_INFO* info, DdsLayout* layout,
                 std::string* error) {
    if (size < kDdsFileHeader) return Fail(error, "truncated DDS header");
    if (Le32(d) != kDdsMagic) return Fail(error, "not a DDS file");
    if (Le32(d + kSize) != kDdsHeaderSize || Le32(d + kPfSize) != kDdsPixelFormatSize)
        return Fail(error, "corrupt DDS header (bad structure sizes)");
    const uint32_t flags = Le32(d + kFlags);
    if ((flags & (DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT)) != (DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT))
        return Fail(error, "corrupt DDS header (size or pixel format missing)");
    const uint32_t w = Le32(d + kWidth), h = Le32(d + kHeight);
    if (HRESULT hr = CheckSize(w, h, limits, error); FAILED(hr)) return hr;
    if ((Le32(d + kCaps2) & (DDSCAPS2_CUBEMAP | DDSCAPS2_VOLUME)) || ((flags & DDSD_DEPTH) && Le32(d + kDepth) > 1))
        return Fail(error, "cube map and volume DDS files are not supported");
    const uint32_t pf = Le32(d + kPfFlags);
    if (pf & DDPF_FOURCC) return Fail(error, "compressed DDS files are not supported");
    if (!(pf & DDPF_RGB) || Le32(d + kPfBits) != 32) return Fail(error, "only 32-bit RGB DDS files are supported");
    DdsLayout l{};
    l.lane[0] = ByteLane(Le32(d + kPfRMask));
    l.lane[1] = ByteLane(Le32(d + kPfGMask));
    l.lane[2] = ByteLane(Le32(d + kPfBMask));
    l.lane[3] = (pf & DDPF_ALPHAPIXELS) ? ByteLane(Le32(d + kPfAMask)) : -1;
    const bool alpha = (pf & DDPF_ALPHAPIXELS) != 0;
    if (l.lane[0] < 0 || l.lane[1] < 0 || l.lane[2] < 0 || (alpha && l.lane[3] < 0))
        return Fail(error, "unsupported DDS channel masks");
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < i; ++j)
            if (l.lane[i] >= 0 && l.lane[i] == l.lane[j]) return Fail(error, "corrupt DDS channel masks (overlapping)");
    D3DFORMAT format;
    if (l.lane[0] == 2 && l.lane[1] == 1 && l.lane[2] == 0)
        format = alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    else if (l.lane[0] == 0 && l.lane[1] == 1 && l.lane[2] == 2)
        format = alpha ? D3DFMT_A8B8G8R8 : D3DFMT_X8B8G8R8;
    else
        return Fail(error, "unsupported DDS channel order");
    if ((flags & DDSD_PITCH) && Le32(d + kPitch) != static_cast<uint64_t>(w) * 4)
        return Fail(error, "corrupt DDS header (pitch " + std::to_string(Le32(d + kPitch)) + " for width " +
                               std::to_string(w) + ")");
    if (size - kDdsFileHeader < static_cast<uint64_t>(w) * h * 4) return Fail(error, "truncated DDS pixel data");
    *info = D3DXIMAGE_INFO{w, h, 1, 1, format, D3DRTYPE_TEXTURE, D3DXIFF_DDS};
    if (layout) *layout = l;
    return S_OK;
}

// Structural checks that stb_image does not make: it reads zeros past the
// end of truncated BMP, TGA and JPEG data instead of failing.
HRESULT CheckBmpLength(const uint8_t* d, size_t size, std::string* error) {
    if (size < 26) return Fail(error, "truncated BMP header");
    const uint32_t offset = Le32(d + 10);
    const uint32_t headerSize = Le32(d + 14);
    int64_t w = 0, h = 0;
    uint32_t bpp = 0;
    if (headerSize == 12) {  // the old core header: 16-bit sizes
        w = Le16(d + 18);
        h = Le16(d + 20);
        bpp = Le16(d + 24);
    } else if (headerSize >= 40) {
        if (size < 34) return Fail(error, "truncated BMP header");
        const uint32_t compression = Le32(d + 30);
        if (compression != 0 && compression != 3) return S_OK;  // stb refuses the others
        w = static_cast<int32_t>(Le32(d + 18));
        h = static_cast<int32_t>(Le32(d + 22));
        bpp = Le16(d + 28);
    } else {
        return S_OK;  // stb refuses it
    }
    if (w <= 0 || h == 0) return Fail(error, "corrupt BMP header (size)");
    const uint64_t rowBytes = (static_cast<uint64_t>(w) * bpp + 31) / 32 * 4;
    const uint64_t rows = static_cast<uint64_t>(h < 0 ? -h : h);
    if (static_cast<uint64_t>(offset) + rowBytes * rows > size) return Fail(error, "truncated BMP pixel data");
    return S_OK;
}

HRESULT CheckTgaLength(const uint8_t* d, size_t size, std::string* error) {
    if (size < 18) return Fail(error, "truncated TGA header");
    const uint32_t idLength = d[0];
    const uint32_t mapType = d[1];
    const uint32_t type = d[2];
    const uint32_t mapLength = Le16(d + 5);
    const uint32_t mapEntryBits = d[7];
    const uint64_t w = Le16(d + 12), h = Le16(d + 14);
    const uint32_t bits = d[16];
    uint64_t pos = 18 + idLength + (mapType == 1 ? static_cast<uint64_t>(mapLength) * ((mapEntryBits + 7) / 8) : 0);
    const uint64_t pixelBytes = (bits + 7) / 8;
    const uint64_t pixels = w * h;
    if (pos > size) return Fail(error, "truncated TGA header");
    if (type >= 1 && type <= 3) {
        if (pos + pixels * pixelBytes > size) return Fail(error, "truncated TGA pixel data");
    } else if (type >= 9 && type <= 11) {
        // Walk the run-length packets: every pixel must be covered by data.
        uint64_t done = 0;
        while (done < pixels) {
            if (pos >= size) return Fail(error, "truncated TGA pixel data");
            const uint8_t header = d[pos++];
            const uint64_t count = (header & 0x7Fu) + 1u;
            pos += (header & 0x80) ? pixelBytes : pixelBytes * count;
            done += count;
            if (pos > size) return Fail(error, "truncated TGA pixel data");
        }
    }
    return S_OK;
}

uint32_t Be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// Walks the PNG chunks to the end chunk: each must lie within the data, so
// a length field cannot make the decoder reserve more than the file holds.
HRESULT CheckPngChunks(const uint8_t* d, size_t size, std::string* error) {
    size_t pos = 8;
    for (;;) {
        if (pos + 12 > size) return Fail(error, "truncated PNG data (no end chunk)");
        const uint32_t length = Be32(d + pos);
        if (length > 0x7FFFFFFFu || length > size - pos - 12) return Fail(error, "truncated or corrupt PNG chunk");
        if (std::memcmp(d + pos + 4, "IEND", 4) == 0) return S_OK;
        pos += 12 + static_cast<size_t>(length);
    }
}

// Walks the JPEG's marker segments up to the end marker, checking what the
// stb_image decoder relies on without checking it: every Huffman table is a
// valid prefix code of at most 256 symbols, and every scan uses only tables
// defined before it. The walk also proves the data is not cut short.
HRESULT CheckJpegStructure(const uint8_t* d, size_t size, size_t pos, std::string* error) {
    bool dc[4] = {}, ac[4] = {};
    bool progressive = false;
    for (;;) {
        if (pos + 2 > size) return Fail(error, "truncated JPEG data (no end marker)");
        if (d[pos] != 0xFF) return Fail(error, "corrupt JPEG data (marker expected)");
        const uint8_t m = d[pos + 1];
        if (m == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (m == 0xD9) return S_OK;  // end of image
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (pos + 4 > size) return Fail(error, "truncated JPEG data");
        const size_t segLength = (static_cast<size_t>(d[pos + 2]) << 8) | d[pos + 3];
        if (segLength < 2 || pos + 2 + segLength > size) return Fail(error, "truncated JPEG data");
        const uint8_t* seg = d + pos + 4;
        const size_t segSize = segLength - 2;
        if (m == 0xC4) {  // Huffman tables
            size_t at = 0;
            while (at < segSize) {
                if (at + 17 > segSize) return Fail(error, "corrupt JPEG Huffman table");
                const uint32_t tc = seg[at] >> 4, th = seg[at] & 15;
                if (tc > 1 || th > 3) return Fail(error, "corrupt JPEG Huffman table");
                uint32_t n = 0, code = 0;
                for (int j = 1; j <= 16; ++j) {
                    const uint32_t count = seg[at + j];
                    n += count;
                    code += count;
                    if (code > (1u << j)) return Fail(error, "corrupt JPEG Huffman table (bad code lengths)");
                    code <<= 1;
                }
                if (n > 256 || at + 17 + n > segSize) return Fail(error, "corrupt JPEG Huffman table");
                (tc ? ac : dc)[th] = true;
                at += 17 + n;
            }
        } else if (m == 0xC2) {
            progressive = true;
        } else if (m == 0xC0 || m == 0xC1) {
            progressive = false;
        } else if (m == 0xDA) {  // start of scan, then entropy-coded data
            if (segSize < 1) return Fail(error, "corrupt JPEG scan header");
            const size_t count = seg[0];
            if (segSize < 1 + 2 * count + 3) return Fail(error, "corrupt JPEG scan header");
            const uint32_t ss = seg[1 + 2 * count], ah = seg[3 + 2 * count] >> 4;
            for (size_t c = 0; c < count; ++c) {
                const uint32_t td = seg[2 + 2 * c] >> 4, ta = seg[2 + 2 * c] & 15;
                const bool needDc = !progressive || (ss == 0 && ah == 0);
                const bool needAc = !progressive || ss != 0;
                if ((needDc && (td > 3 || !dc[td])) || (needAc && (ta > 3 || !ac[ta])))
                    return Fail(error, "corrupt JPEG scan (undefined Huffman table)");
            }
            size_t at = pos + 2 + segLength;
            for (;;) {
                if (at + 1 >= size) return Fail(error, "truncated JPEG data (no end marker)");
                if (d[at] == 0xFF && d[at + 1] != 0x00 && !(d[at + 1] >= 0xD0 && d[at + 1] <= 0xD7) && d[at + 1] != 0xFF)
                    break;
                ++at;
            }
            pos = at;
            continue;
        }
        pos += 2 + segLength;
    }
}

HRESULT Probe(const uint8_t* d, size_t size, const ImageLimits& limits, D3DXIMAGE_INFO* info, DdsLayout* dds,
              std::string* error) {
    if (!d || size == 0) return Fail(error, "empty image data");
    if (size >= 4 && Le32(d) == kDdsMagic) return ProbeDds(d, size, limits, info, dds, error);
    if (size > static_cast<size_t>(INT_MAX)) return Fail(error, "image data too large");
    D3DXIMAGE_FILEFORMAT format;
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 2 && d[0] == 'B' && d[1] == 'M') {
        format = D3DXIFF_BMP;
        if (HRESULT hr = CheckBmpLength(d, size, error); FAILED(hr)) return hr;
    } else if (size >= 8 && std::memcmp(d, kPng, 8) == 0) {
        format = D3DXIFF_PNG;
        if (HRESULT hr = CheckPngChunks(d, size, error); FAILED(hr)) return hr;
    } else if (d[0] == 0xFF) {
        // The start-of-image marker, after any fill bytes (as the decoder
        // reads it); anything else starting with 0xFF is no image.
        size_t i = 1;
        while (i < size && d[i] == 0xFF) ++i;
        if (i >= size || d[i] != 0xD8) return Fail(error, "not a recognised image file");
        format = D3DXIFF_JPG;
        if (HRESULT hr = CheckJpegStructure(d, size, i + 1, error); FAILED(hr)) return hr;
    } else {
        format = D3DXIFF_TGA;  // no signature: stb_image's header test decides
    }
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(d, static_cast<int>(size), &w, &h, &comp)) {
        if (format == D3DXIFF_TGA) return Fail(error, "not a recognised image file");
        const char* why = stbi_failure_reason();
        return Fail(error, std::string("corrupt image: ") + (why ? why : "unknown error"));
    }
    if (format == D3DXIFF_TGA) {
        if (HRESULT hr = CheckTgaLength(d, size, error); FAILED(hr)) return hr;
    }
    if (HRESULT hr = CheckSize(static_cast<uint64_t>(w), static_cast<uint64_t>(h), limits, error); FAILED(hr))
        return hr;
    const bool alpha = comp == 2 || comp == 4;
    *info = D3DXIMAGE_INFO{static_cast<UINT>(w), static_cast<UINT>(h), 1, 1,
                           alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE, format};
    return S_OK;
}

}  // namespace

HRESULT ImageInfoFromMemory(const void* data, size_t size, D3DXIMAGE_INFO* info, std::string* error,
                            const ImageLimits& limits) {
    if (!info) return E_INVALIDARG;
    return Probe(static_cast<const uint8_t*>(data), size, limits, info, nullptr, error);
}

HRESULT ImageDecodeMemory(const void* data, size_t size, DecodedImage* out, std::string* error,
                          const ImageLimits& limits) {
    if (!out) return E_INVALIDARG;
    const uint8_t* d = static_cast<const uint8_t*>(data);
    D3DXIMAGE_INFO info{};
    DdsLayout layout{};
    if (HRESULT hr = Probe(d, size, limits, &info, &layout, error); FAILED(hr)) return hr;
    std::vector<uint32_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(info.Width) * info.Height);
    } catch (const std::bad_alloc&) {
        if (error) *error = "out of memory for the image's pixels";
        return E_OUTOFMEMORY;
    }
    if (info.ImageFileFormat == D3DXIFF_DDS) {
        const uint8_t* p = d + kDdsFileHeader;
        for (size_t i = 0; i < pixels.size(); ++i, p += 4) {
            uint32_t a = layout.lane[3] >= 0 ? p[layout.lane[3]] : 0xFFu;
            pixels[i] = (a << 24) | (static_cast<uint32_t>(p[layout.lane[0]]) << 16) |
                        (static_cast<uint32_t>(p[layout.lane[1]]) << 8) | p[layout.lane[2]];
        }
    } else {
        int w = 0, h = 0, comp = 0;
        stbi_uc* rgba = stbi_load_from_memory(d, static_cast<int>(size), &w, &h, &comp, 4);
        if (!rgba) {
            const char* why = stbi_failure_reason();
            std::string reason = why ? why : "unknown error";
            if (reason == "Out of memory" || reason == "outofmem") {
                if (error) *error = "out of memory decoding the image";
                return E_OUTOFMEMORY;
            }
            return Fail(error, "corrupt image: " + reason);
        }
        if (static_cast<UINT>(w) != info.Width || static_cast<UINT>(h) != info.Height) {
            stbi_image_free(rgba);
            return Fail(error, "corrupt image (inconsistent size)");
        }
        const stbi_uc* p = rgba;
        for (size_t i = 0; i < pixels.size(); ++i, p += 4)
            pixels[i] = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[0]) << 16) |
                        (static_cast<uint32_t>(p[1]) << 8) | p[2];
        stbi_image_free(rgba);
    }
    out->info = info;
    out->pixels = std::move(pixels);
    return S_OK;
}

namespace {

// Reads the file and hands its bytes to fromMemory(data, size, message); a
// failure's message is prefixed with the path.
template <class FromMemory>
HRESULT FromFile(const std::string& path, std::string* error, FromMemory fromMemory) {
    std::vector<uint8_t> bytes;
    if (HRESULT hr = ReadFileBytes(path, &bytes, error); FAILED(hr)) return hr;
    std::string message;
    HRESULT hr = fromMemory(bytes.data(), bytes.size(), &message);
    if (FAILED(hr) && error) *error = path + ": " + message;
    return hr;
}

}  // namespace

HRESULT ImageInfoFromFile(const std::string& path, D3DXIMAGE_INFO* info, std::string* error) {
    return FromFile(path, error, [info](const uint8_t* data, size_t size, std::string* message) {
        return ImageInfoFromMemory(data, size, info, message);
    });
}

HRESULT ImageDecodeFile(const std::string& path, DecodedImage* out, std::string* error) {
    return FromFile(path, error, [out](const uint8_t* data, size_t size, std::string* message) {
        return ImageDecodeMemory(data, size, out, message);
    });
}

std::vector<uint8_t> ImageEncodeDds(UINT width, UINT height, const uint32_t* argb) {
    std::vector<uint8_t> file;
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide || !argb) return file;
    const size_t count = static_cast<size_t>(width) * height;
    file.assign(kDdsFileHeader + count * 4, 0);
    uint8_t* d = file.data();
    PutLe32(d, kDdsMagic);
    PutLe32(d + kSize, kDdsHeaderSize);
    PutLe32(d + kFlags, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT);
    PutLe32(d + kHeight, height);
    PutLe32(d + kWidth, width);
    PutLe32(d + kPitch, width * 4);
    PutLe32(d + kPfSize, kDdsPixelFormatSize);
    PutLe32(d + kPfFlags, DDPF_RGB | DDPF_ALPHAPIXELS);
    PutLe32(d + kPfBits, 32);
    PutLe32(d + kPfRMask, 0x000000FFu);
    PutLe32(d + kPfGMask, 0x0000FF00u);
    PutLe32(d + kPfBMask, 0x00FF0000u);
    PutLe32(d + kPfAMask, 0xFF000000u);
    PutLe32(d + kCaps, DDSCAPS_TEXTURE);
    uint8_t* p = d + kDdsFileHeader;
    for (size_t i = 0; i < count; ++i, p += 4) {
        const uint32_t c = argb[i];
        p[0] = static_cast<uint8_t>(c >> 16);  // red
        p[1] = static_cast<uint8_t>(c >> 8);   // green
        p[2] = static_cast<uint8_t>(c);        // blue
        p[3] = static_cast<uint8_t>(c >> 24);  // alpha
    }
    return file;
}
