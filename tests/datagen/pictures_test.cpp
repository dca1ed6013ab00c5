#include "tools/datagen/pictures.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <vector>

namespace {

uint32_t Read32(const std::vector<uint8_t>& b, size_t o) {
    return uint32_t(b[o]) | uint32_t(b[o + 1]) << 8 | uint32_t(b[o + 2]) << 16 | uint32_t(b[o + 3]) << 24;
}
uint16_t Read16(const std::vector<uint8_t>& b, size_t o) { return uint16_t(b[o] | b[o + 1] << 8); }

TEST(SolvingSeries, TenSeriesOfTurnCaptions) {
    const size_t lengths[10] = {4, 3, 5, 6, 8, 8, 7, 8, 22, 8};
    const std::regex caption("[rludbf][123]");
    for (int n = 1; n <= 10; ++n) {
        const auto& series = datagen::SolvingSeries(n);
        EXPECT_EQ(series.size(), lengths[n - 1]) << "sequence " << n;
        for (const std::string& c : series) EXPECT_TRUE(std::regex_match(c, caption)) << c;
    }
    EXPECT_EQ(datagen::SolvingSeries(2), (std::vector<std::string>{"d3", "r3", "u3"}));
    EXPECT_THROW(datagen::SolvingSeries(11), std::out_of_range);
}

TEST(Bmp, HeaderAndRowsOfA24BitBottomUpImage) {
    // A 3 x 2 image: rows are padded to 12 bytes and stored bottom row first, B G R.
    std::vector<uint8_t> rgba = {
        1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255,          // top row
        10, 11, 12, 255, 13, 14, 15, 255, 16, 17, 18, 255,  // bottom row
    };
    std::vector<uint8_t> bmp = datagen::MakeBmp24(3, 2, rgba);
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Read32(bmp, 2), bmp.size());
    EXPECT_EQ(Read32(bmp, 10), 54u);
    EXPECT_EQ(Read32(bmp, 14), 40u);
    EXPECT_EQ(Read32(bmp, 18), 3u);
    EXPECT_EQ(Read32(bmp, 22), 2u);
    EXPECT_EQ(Read16(bmp, 26), 1);
    EXPECT_EQ(Read16(bmp, 28), 24);
    EXPECT_EQ(Read32(bmp, 30), 0u);
    EXPECT_EQ(std::vector<uint8_t>(bmp.begin() + 54, bmp.end()),
              (std::vector<uint8_t>{12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0, 3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0}));
}

TEST(Pictures, EachIsA128PixelBmpDrawnInsideTheButtonRegionAndDistinct) {
    const int size = datagen::kPictureSize, region = datagen::kPictureRegion;
    std::vector<std::vector<uint8_t>> pictures;
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE("picture " + std::to_string(n));
        EXPECT_EQ(datagen::PictureFileName(n), "Bild" + std::to_string(n) + ".bmp");
        std::vector<uint8_t> rgba = datagen::BuildPicture(n);
        ASSERT_EQ(rgba.size(), size_t(size) * size * 4);
        std::vector<uint8_t> bmp = datagen::MakeBmp24(size, size, rgba);
        EXPECT_EQ(bmp.size(), 54u + size_t(size) * size * 3);
        EXPECT_EQ(Read32(bmp, 18), uint32_t(size));
        EXPECT_EQ(Read32(bmp, 22), uint32_t(size));

        // Outside the region: one plain background colour. Inside: a drawing
        // with many colours (text, badge, cube).
        auto pixel = [&](int x, int y) {
            const uint8_t* p = &rgba[(size_t(y) * size + x) * 4];
            return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        };
        std::set<uint32_t> outside, inside;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) (x < region && y < region ? inside : outside).insert(pixel(x, y));
        EXPECT_EQ(outside.size(), 1u);
        EXPECT_GT(inside.size(), 40u);
        pictures.push_back(rgba);
    }
    for (size_t a = 0; a < pictures.size(); ++a) {
        for (size_t b = a + 1; b < pictures.size(); ++b) {
            int differing = 0;
            for (int y = 0; y < region; ++y)
                for (int x = 0; x < region; ++x) {
                    size_t i = (size_t(y) * size + x) * 4;
                    differing += pictures[a][i] != pictures[b][i] || pictures[a][i + 1] != pictures[b][i + 1] ||
                                 pictures[a][i + 2] != pictures[b][i + 2];
                }
            EXPECT_GT(differing, region * region / 5) << "pictures " << a + 1 << " and " << b + 1;
        }
    }
}

}  // namespace
