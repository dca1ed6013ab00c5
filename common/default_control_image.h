// The default control image of the GUI toolkit, carried inside the program:
// a complete DDS file in memory (262,272 bytes: a 128-byte header and a
// 256 × 256 image, 32 bits per pixel, R G B A in memory order, no mip levels),
// ready for the texture loader's in-memory entry. Generated at build time by
// tools/datagen.
#pragma once

#include <cstddef>

const unsigned char* FWDefaultControlImageDds();
size_t FWDefaultControlImageDdsSize();
