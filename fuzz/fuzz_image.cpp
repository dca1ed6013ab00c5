// Image decoding: header query and full decode of every format.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Smaller limits than the program's keep each run fast; the checks are
    // the same code.
    ImageLimits limits;
    limits.maxSide = 2048;
    limits.maxPixels = uint64_t{1} << 20;
    D3DXIMAGE_INFO info{};
    std::string error;
    HRESULT infoResult = ImageInfoFromMemory(data, size, &info, &error, limits);
    if (FAILED(infoResult) && error.empty()) __builtin_trap();
    DecodedImage image;
    HRESULT hr = ImageDecodeMemory(data, size, &image, &error, limits);
    if (SUCCEEDED(hr)) {
        if (FAILED(infoResult)) __builtin_trap();  // decodable means describable
        if (image.pixels.size() != static_cast<size_t>(image.info.Width) * image.info.Height) __builtin_trap();
        if (image.info.Width != info.Width || image.info.Height != info.Height) __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    return 0;
}
