#include "common/default_control_image.h"
#include "tools/datagen/control_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace {

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

class ControlImage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dds = new std::vector<uint8_t>(datagen::BuildDefaultControlImageDds());
    }
    static void TearDownTestSuite() {
        delete s_dds;
        s_dds = nullptr;
    }
    static const std::vector<uint8_t>& Dds() { return *s_dds; }
    // Pixel (x, y) as R G B A.
    static const uint8_t* Pixel(int x, int y) { return &Dds()[128 + (size_t(y) * 256 + x) * 4]; }

    static std::vector<uint8_t>* s_dds;
};
std::vector<uint8_t>* ControlImage::s_dds = nullptr;

TEST_F(ControlImage, IsA262272ByteUncompressedDdsWithAlpha) {
    const std::vector<uint8_t>& dds = Dds();
    ASSERT_EQ(dds.size(), 262272u);
    EXPECT_EQ(std::memcmp(dds.data(), "DDS ", 4), 0);
    struct Field {
        size_t offset;
        uint32_t value;
        const char* name;
    };
    const Field fields[] = {
        {4, 124, "header size"},        {8, 0x100F, "flags: caps, height, width, pitch, pixel format"},
        {12, 256, "height"},            {16, 256, "width"},
        {20, 1024, "pitch"},            {28, 0, "mip levels"},
        {76, 32, "pixel format size"},  {80, 0x41, "pixel format flags: RGB with alpha"},
        {84, 0, "four-character code"}, {88, 32, "bits per pixel"},
        {92, 0x000000FF, "red mask"},   {96, 0x0000FF00, "green mask"},
        {100, 0x00FF0000, "blue mask"}, {104, 0xFF000000, "alpha mask"},
        {108, 0x1000, "caps: texture"},
    };
    for (const Field& f : fields) EXPECT_EQ(Read32(dds, f.offset), f.value) << f.name;
}

TEST_F(ControlImage, EveryRegionOfTheElementTableIsPaintedAndNothingElse) {
    std::vector<bool> inRegion(256 * 256, false);
    for (const datagen::ElementRegion& r : datagen::DefaultElementRegions()) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= 256 && r.bottom <= 256 && r.left < r.right &&
                    r.top < r.bottom);
        int painted = 0, strongest = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                inRegion[size_t(y) * 256 + x] = true;
                painted += Pixel(x, y)[3] > 0;
                strongest = std::max<int>(strongest, Pixel(x, y)[3]);
            }
        }
        int area = (r.right - r.left) * (r.bottom - r.top);
        EXPECT_GE(painted * 10, area) << "at least a tenth of the region is painted";
        EXPECT_GE(strongest, 0xB0) << "clearly visible somewhere";
    }
    int stray = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) stray += !inRegion[size_t(y) * 256 + x] && Pixel(x, y)[3] != 0;
    EXPECT_EQ(stray, 0) << "pixels painted outside every region";
}

TEST_F(ControlImage, LayersSuitTheTextColoursDrawnOverThem) {
    auto luminance = [&](int x, int y) {
        const uint8_t* p = Pixel(x, y);
        return (0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2]) / 255.0;
    };
    // Button face: mid grey, so the white text of the normal state and the
    // black text over the white fill layer both read.
    EXPECT_GT(luminance(68, 27), 0.3);
    EXPECT_LT(luminance(68, 27), 0.6);
    // Fill layer: opaque white, the colour comes from the tint.
    EXPECT_EQ(std::memcmp(Pixel(194, 27), "\xFF\xFF\xFF\xFF", 4), 0);
    // Drop-down list: a light panel for black text; selection bar: a dark
    // blue for white text.
    EXPECT_GT(luminance(127, 141), 0.85);
    EXPECT_GT(Pixel(125, 173)[2], Pixel(125, 173)[0] + 60);
    EXPECT_LT(luminance(125, 173), 0.5);
    // Check and radio marks: white on transparent.
    EXPECT_EQ(Pixel(38, 73)[3], 255);
    EXPECT_EQ(Pixel(29, 56)[3], 0);
    EXPECT_EQ(std::memcmp(Pixel(94, 67), "\xFF\xFF\xFF\xFF", 4), 0);
}

TEST_F(ControlImage, TransparentPixelsCarryTheColourOfTheirNeighbours) {
    // Filtering at a shape's edge then does not darken it: the transparent
    // pixel just outside the fill layer is white, not black.
    const uint8_t* outside = Pixel(194, 0);
    EXPECT_EQ(outside[3], 0);
    EXPECT_GT(outside[0], 200);
}

TEST_F(ControlImage, EmbeddedSourceHoldsExactlyTheseBytes) {
    std::string source = datagen::EmbeddedImageSource(Dds());
    size_t start = source.find("= {");
    ASSERT_NE(start, std::string::npos);
    std::vector<uint8_t> parsed;
    std::regex number(R"(\d+)");
    std::string body = source.substr(start + 3, source.find("};", start) - start - 3);
    for (auto it = std::sregex_iterator(body.begin(), body.end(), number); it != std::sregex_iterator(); ++it)
        parsed.push_back(uint8_t(std::stoi(it->str())));
    EXPECT_EQ(parsed, Dds());
    EXPECT_NE(source.find("FWDefaultControlImageDds()"), std::string::npos);
}

TEST_F(ControlImage, TheProgramCarriesTheCurrentImage) {
    ASSERT_EQ(FWDefaultControlImageDdsSize(), Dds().size());
    EXPECT_EQ(std::memcmp(FWDefaultControlImageDds(), Dds().data(), Dds().size()), 0);
}

}  // namespace
