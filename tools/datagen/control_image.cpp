#include "tools/datagen/control_image.h"

#include "tools/datagen/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace datagen {

namespace {

// Rounded rectangle in image pixels (edges on pixel boundaries).
Canvas::Distance Box(double l, double t, double r, double b, double radius) {
    return [=](double x, double y) { return RoundedBoxDistance(x, y, l, t, r, b, radius); };
}

Canvas::Paint VerticalGradient(double top, double bottom, Rgba a, Rgba b) {
    return [=](double, double y) { return Mix(a, b, float(std::clamp((y - top) / (bottom - top), 0.0, 1.0))); };
}

// A raised button shape: a light rim, a body shaded from top to bottom and
// a soft gloss over its upper half.
void RaisedBox(Canvas& c, double l, double t, double r, double b, double radius, double rim, Rgba rimColour,
               Rgba top, Rgba bottom) {
    int x0 = int(std::floor(l)), y0 = int(std::floor(t)), x1 = int(std::ceil(r)), y1 = int(std::ceil(b));
    c.Fill(x0, y0, x1, y1, Box(l, t, r, b, radius), rimColour);
    c.Fill(x0, y0, x1, y1, Box(l + rim, t + rim, r - rim, b - rim, std::max(radius - rim, 1.0)),
           VerticalGradient(t + rim, b - rim, top, bottom));
    double middle = (t + b) / 2;
    c.Fill(x0, y0, x1, y1,
           [=](double x, double y) {
               return std::max(RoundedBoxDistance(x, y, l + rim, t + rim, r - rim, b - rim, std::max(radius - rim, 1.0)),
                               y - middle);
           },
           VerticalGradient(t + rim, middle, Rgba{1, 1, 1, 0.16f}, Rgba{1, 1, 1, 0.04f}));
}

void Triangle(Canvas& c, std::vector<Point> points, Rgba colour) {
    double l = 1e9, t = 1e9, r = -1e9, b = -1e9;
    for (const Point& p : points) {
        l = std::min(l, p.x), t = std::min(t, p.y), r = std::max(r, p.x), b = std::max(b, p.y);
    }
    c.Fill(int(l) - 2, int(t) - 2, int(r) + 3, int(b) + 3,
           [points](double x, double y) { return PolygonDistance(x, y, points) - 0.3; }, colour);
}

const Rgba kRim = Grey(0.88f);
const Rgba kFaceTop = Grey(0.60f), kFaceBottom = Grey(0.36f);
const Rgba kWellTop = Grey(0.16f, 0.92f), kWellBottom = Grey(0.28f, 0.92f);
const Rgba kWhite = Grey(1.0f);

}  // namespace

const std::vector<ElementRegion>& DefaultElementRegions() {
    static const std::vector<ElementRegion> regions = {
        {"button face", 0, 0, 136, 54},
        {"button fill layer", 136, 0, 252, 54},
        {"check box", 0, 54, 27, 81},
        {"check mark", 27, 54, 54, 81},
        {"radio button box", 54, 54, 81, 81},
        {"radio button mark", 81, 54, 108, 81},
        {"combo box main box", 7, 81, 247, 123},
        {"combo box drop button", 98, 189, 151, 238},
        {"combo box drop-down list", 13, 123, 241, 160},
        {"combo box selection bar", 12, 163, 239, 183},
        {"slider track", 1, 187, 93, 228},
        {"slider thumb", 151, 193, 192, 234},
        {"scroll bar track", 196, 212, 218, 223},
        {"scroll bar up arrow", 196, 192, 218, 212},
        {"scroll bar down arrow", 196, 223, 218, 244},
        {"scroll bar thumb", 220, 192, 238, 234},
        {"edit box text area", 14, 90, 241, 113},
        {"edit box frame top-left", 8, 82, 14, 90},
        {"edit box frame top", 14, 82, 241, 90},
        {"edit box frame top-right", 241, 82, 246, 90},
        {"edit box frame left", 8, 90, 14, 113},
        {"edit box frame right", 241, 90, 246, 113},
        {"edit box frame bottom-left", 8, 113, 14, 121},
        {"edit box frame bottom", 14, 113, 241, 121},
        {"edit box frame bottom-right", 241, 113, 246, 121},
        {"list box main box", 13, 123, 241, 160},
        {"list box selection bar", 16, 166, 240, 183},
    };
    return regions;
}

std::vector<uint8_t> BuildDefaultControlImage() {
    Canvas c(kControlImageSize, kControlImageSize);

    // Button face (tinted translucent white in the normal state, with white
    // text) and the fill layer laid over it under the mouse (white, where the
    // text turns black) or when pressed (black, faint).
    RaisedBox(c, 1, 1, 135, 53, 12, 3, kRim, kFaceTop, kFaceBottom);
    c.Fill(136, 0, 252, 54, Box(137, 1, 251, 53, 12), kWhite);

    // Check box and its mark; radio button and its mark.
    c.Fill(0, 54, 27, 81, Box(1.5, 55.5, 25.5, 79.5, 5), kRim);
    c.Fill(0, 54, 27, 81, Box(4, 58, 23, 77, 3), VerticalGradient(58, 77, kWellTop, kWellBottom));
    c.Fill(27, 54, 54, 81,
           [](double x, double y) {
               return std::min(SegmentDistance(x, y, {32.5, 67.5}, {38.5, 74}, 2.0),
                               SegmentDistance(x, y, {38.5, 74}, {48.5, 60}, 2.0));
           },
           kWhite);
    c.Fill(54, 54, 81, 81, [](double x, double y) { return CircleDistance(x, y, 67.5, 67.5, 12); }, kRim);
    c.Fill(54, 54, 81, 81, [](double x, double y) { return CircleDistance(x, y, 67.5, 67.5, 9.5); },
           VerticalGradient(58, 77, kWellTop, kWellBottom));
    c.Fill(81, 54, 108, 81, [](double x, double y) { return CircleDistance(x, y, 94.5, 67.5, 5.5); }, kWhite);

    // Combo box main box, which is also the edit box with its frame: a rim
    // and a grey field (white text over it normally, black under the mouse).
    c.Fill(7, 81, 247, 123, Box(8, 82, 246, 121, 7), kRim);
    c.Fill(7, 81, 247, 123, Box(11, 85, 243, 118, 4.5), VerticalGradient(85, 118, Grey(0.66f), Grey(0.50f)));

    // Drop-down list and list box: a light panel for black text.
    c.Fill(13, 123, 241, 160, Box(14, 124, 240, 159.5, 4), Grey(0.45f));
    c.Fill(13, 123, 241, 160, Box(15.5, 125.5, 238.5, 158, 3), VerticalGradient(125, 158, Grey(0.97f), Grey(0.90f)));

    // Selection bar (white text over it).
    c.Fill(12, 163, 240, 183, Box(12.5, 163.5, 239, 182.5, 3.5),
           VerticalGradient(163, 183, Rgba{0.32f, 0.55f, 0.95f, 1}, Rgba{0.13f, 0.32f, 0.74f, 1}));

    // Slider: a groove across the middle of the track, and a round knob.
    c.Fill(1, 187, 93, 228, Box(4, 202.5, 90, 212.5, 5), kRim);
    c.Fill(1, 187, 93, 228, Box(6, 204.5, 88, 210.5, 3), VerticalGradient(204, 211, Grey(0.12f), Grey(0.30f)));
    c.Fill(151, 193, 192, 234, [](double x, double y) { return CircleDistance(x, y, 171.5, 213.5, 18); }, Grey(0.30f));
    c.Fill(151, 193, 192, 234, [](double x, double y) { return CircleDistance(x, y, 171.5, 213.5, 15.5); },
           [](double x, double y) {
               double d = std::hypot(x - 166, y - 207) / 22.0;
               return Mix(Grey(1.0f), Grey(0.66f), float(std::clamp(d, 0.0, 1.0)));
           });

    // Combo box drop button: a button with a downward arrow.
    RaisedBox(c, 99.5, 190.5, 149.5, 236.5, 9, 2.5, kRim, kFaceTop, kFaceBottom);
    Triangle(c, {{112, 206}, {137, 206}, {124.5, 221}}, kWhite);

    // Scroll bar: a vertical channel, arrow buttons and a thumb with grips.
    c.Fill(196, 212, 218, 223, [](double x, double) { return std::abs(x - 207) - 9.5; },
           [](double x, double) {
               float t = float(std::abs(x - 207) / 9.5);
               return Rgba{0.20f + 0.35f * t, 0.20f + 0.35f * t, 0.20f + 0.35f * t, 0.75f};
           });
    RaisedBox(c, 197, 193, 217, 211, 4, 1.5, kRim, kFaceTop, kFaceBottom);
    Triangle(c, {{201.5, 206}, {212.5, 206}, {207, 199}}, kWhite);
    RaisedBox(c, 197, 224, 217, 243, 4, 1.5, kRim, kFaceTop, kFaceBottom);
    Triangle(c, {{201.5, 230}, {212.5, 230}, {207, 237}}, kWhite);
    RaisedBox(c, 221, 193, 237, 233, 6, 1.5, kRim, Grey(0.80f), Grey(0.58f));
    for (double y : {208.5, 213.0, 217.5})
        c.Fill(220, 192, 238, 234, Box(225, y - 0.8, 233, y + 0.8, 0.8), Grey(0.30f));

    c.BleedColours(4);
    return c.ToRgba8();
}

std::vector<uint8_t> MakeDds(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> out;
    out.reserve(kDdsHeaderSize + rgba.size());
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    };
    put32(0x20534444);                   // "DDS "
    put32(124);                          // header size
    put32(0x1 | 0x2 | 0x4 | 0x8 | 0x1000);  // caps, height, width, pitch, pixel format
    put32(uint32_t(height));
    put32(uint32_t(width));
    put32(uint32_t(width) * 4);  // pitch
    put32(0);                    // depth
    put32(0);                    // mip levels: none
    for (int i = 0; i < 11; ++i) put32(0);
    put32(32);           // pixel format size
    put32(0x40 | 0x1);   // RGB with alpha
    put32(0);            // no four-character code
    put32(32);           // bits per pixel
    put32(0x000000FF);   // red
    put32(0x0000FF00);   // green
    put32(0x00FF0000);   // blue
    put32(0xFF000000);   // alpha
    put32(0x1000);       // a texture
    for (int i = 0; i < 4; ++i) put32(0);
    out.insert(out.end(), rgba.begin(), rgba.end());
    return out;
}

std::vector<uint8_t> BuildDefaultControlImageDds() {
    return MakeDds(kControlImageSize, kControlImageSize, BuildDefaultControlImage());
}

std::string EmbeddedImageSource(const std::vector<uint8_t>& dds) {
    std::string out =
        "// Generated by tools/datagen: the default control image as an in-memory DDS file.\n"
        "#include \"common/default_control_image.h\"\n\n"
        "namespace {\n\n"
        "alignas(16) const unsigned char kDefaultControlImageDds[" + std::to_string(dds.size()) + "] = {\n";
    char buf[8];
    for (size_t i = 0; i < dds.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%u,", unsigned(dds[i]));
        out += buf;
        if (i % 24 == 23 || i + 1 == dds.size()) out += "\n";
    }
    out +=
        "};\n\n"
        "}  // namespace\n\n"
        "const unsigned char* FWDefaultControlImageDds() { return kDefaultControlImageDds; }\n\n"
        "size_t FWDefaultControlImageDdsSize() { return sizeof kDefaultControlImageDds; }\n";
    return out;
}

}  // namespace datagen
