// The default control image of the GUI toolkit: a 256 × 256 atlas with alpha
// whose regions are the faces of the controls (buttons, check and radio boxes,
// combo box, list, slider, scroll bar, edit frame, dialog caption). The program
// carries it as a DDS file in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

constexpr int kControlImageSize = 256;
constexpr size_t kDdsHeaderSize = 128;
constexpr size_t kControlImageDdsSize = kDdsHeaderSize + size_t(kControlImageSize) * kControlImageSize * 4;

// One rectangle (left, top, right, bottom; right and bottom exclusive) of the
// default element table, and what it shows.
struct ElementRegion {
    const char* name;
    int left, top, right, bottom;
};
// Every rectangle of the default element table and the dialog caption.
const std::vector<ElementRegion>& DefaultElementRegions();

// The image: R G B A bytes per pixel, rows top to bottom, straight alpha.
std::vector<uint8_t> BuildDefaultControlImage();

// An uncompressed 32-bit DDS file of an RGBA image (channel masks R 0xFF,
// G 0xFF00, B 0xFF0000, A 0xFF000000; no mip levels).
std::vector<uint8_t> MakeDds(int width, int height, const std::vector<uint8_t>& rgba);
std::vector<uint8_t> BuildDefaultControlImageDds();

// C++ source defining the accessors of common/default_control_image.h over
// these bytes.
std::string EmbeddedImageSource(const std::vector<uint8_t>& dds);

}  // namespace datagen
