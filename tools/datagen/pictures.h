// The ten pictures of the solving-sequence buttons. Picture n shows the
// number of its sequence, a small cube and the series of turn-button captions
// it plays, coloured by kind (rows r/l amber, columns u/d cyan, slices f/b
// pink). The button shows the region (0, 0, 65, 65) scaled to 50 × 50, so
// everything is drawn inside it; the rest of the 128 × 128 image (a power of
// two, so no loader needs to resize it) is background.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

constexpr int kPictureCount = 10;
constexpr int kPictureSize = 128;
constexpr int kPictureRegion = 65;

// The series of sequence n (1–10), as turn-button captions in playing order.
const std::vector<std::string>& SolvingSeries(int n);

// Picture n as R G B A bytes (opaque), rows top to bottom.
std::vector<uint8_t> BuildPicture(int n);
std::string PictureFileName(int n);  // "Bild<n>.bmp"

// An uncompressed 24-bit BMP (bottom-up rows, padded to 4 bytes) of an RGBA
// image; alpha is dropped.
std::vector<uint8_t> MakeBmp24(int width, int height, const std::vector<uint8_t>& rgba);

}  // namespace datagen
