#include "tools/datagen/pictures.h"

#include "tools/datagen/raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <stdexcept>

namespace datagen {

namespace {

// A 5 × 7 pixel font for the characters the pictures need.
const std::map<char, std::array<const char*, 7>>& Font() {
    static const std::map<char, std::array<const char*, 7>> font = {
        {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
        {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
        {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
        {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
        {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
        {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
        {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
        {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
        {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
        {'l', {".#...", ".#...", ".#...", ".#...", ".#...", ".#...", "..##."}},
        {'u', {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"}},
        {'d', {"....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"}},
        {'b', {"#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####."}},
        {'f', {"..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."}},
    };
    return font;
}

constexpr int kGlyphWidth = 5, kGlyphHeight = 7;
// At most this many cells of captions (the last one an ellipsis when the
// series is longer).
constexpr size_t kMaxCaptionsShown = 9;

// Draws a character with its top-left corner at (x, y), each font pixel a
// square of `scale` image pixels; a pixel is covered by the area of the
// squares that overlap it.
void DrawGlyph(Canvas& c, char ch, double x, double y, double scale, Rgba colour) {
    auto it = Font().find(ch);
    if (it == Font().end()) throw std::invalid_argument("no glyph for a character");
    const auto& rows = it->second;
    auto overlap = [](double a0, double a1, double b0, double b1) { return std::max(0.0, std::min(a1, b1) - std::max(a0, b0)); };
    c.FillCoverage(int(x) - 1, int(y) - 1, int(x + kGlyphWidth * scale) + 2, int(y + kGlyphHeight * scale) + 2,
                   [&](int px, int py) {
                       double area = 0;
                       for (int row = 0; row < kGlyphHeight; ++row)
                           for (int col = 0; col < kGlyphWidth; ++col)
                               if (rows[row][col] == '#')
                                   area += overlap(px, px + 1, x + col * scale, x + (col + 1) * scale) *
                                           overlap(py, py + 1, y + row * scale, y + (row + 1) * scale);
                       return area;
                   },
                   colour);
}

double TextWidth(const std::string& text, double scale) {
    return text.empty() ? 0 : (double(text.size()) * (kGlyphWidth + 1) - 1) * scale;
}

void DrawText(Canvas& c, const std::string& text, double x, double y, double scale, Rgba colour) {
    for (char ch : text) {
        DrawGlyph(c, ch, x, y, scale, colour);
        x += (kGlyphWidth + 1) * scale;
    }
}

Rgba FromHsv(double hue, double s, double v) {
    double h = std::fmod(hue, 360.0) / 60.0;
    double f = h - std::floor(h);
    double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    switch (int(h)) {
    case 0: return {float(v), float(t), float(p), 1};
    case 1: return {float(q), float(v), float(p), 1};
    case 2: return {float(p), float(v), float(t), 1};
    case 3: return {float(p), float(q), float(v), 1};
    case 4: return {float(t), float(p), float(v), 1};
    default: return {float(v), float(p), float(q), 1};
    }
}

Rgba CaptionColour(char kind) {
    switch (kind) {
    case 'r':
    case 'l': return {1.00f, 0.78f, 0.28f, 1};  // rows
    case 'u':
    case 'd': return {0.42f, 0.86f, 1.00f, 1};  // columns
    default: return {1.00f, 0.52f, 0.74f, 1};   // slices
    }
}

void Polygon(Canvas& c, std::vector<Point> points, Rgba colour) {
    c.Fill(0, 0, kPictureRegion, kPictureRegion,
           [points](double x, double y) { return PolygonDistance(x, y, points); }, colour);
}

// A small cube seen from above the front-right corner: white top, green
// front (left), red right.
void DrawCubeIcon(Canvas& c, double cx, double top, double size) {
    double w = size * 0.5, h = size * 0.28, side = size * 0.55;
    Point t{cx, top}, l{cx - w, top + h}, r{cx + w, top + h}, m{cx, top + 2 * h};
    Point lb{l.x, l.y + side}, rb{r.x, r.y + side}, mb{m.x, m.y + side};
    Polygon(c, {t, r, m, l}, Rgba{0.95f, 0.95f, 0.95f, 1});
    Polygon(c, {l, m, mb, lb}, Rgba{0.0f, 0.62f, 0.30f, 1});
    Polygon(c, {m, r, rb, mb}, Rgba{0.80f, 0.08f, 0.10f, 1});
    Rgba edge{0.05f, 0.06f, 0.09f, 0.9f};
    for (auto [a, b] : {std::pair{t, r}, {r, m}, {m, l}, {l, t}, {m, mb}, {l, lb}, {r, rb}, {lb, mb}, {mb, rb}})
        c.Fill(0, 0, kPictureRegion, kPictureRegion,
               [a, b](double x, double y) { return SegmentDistance(x, y, a, b, 0.45); }, edge);
}

}  // namespace

const std::vector<std::string>& SolvingSeries(int n) {
    static const std::vector<std::vector<std::string>> series = {
        {"f3", "l2", "f3", "r2"},
        {"d3", "r3", "u3"},
        {"r3", "r3", "f3", "l3", "b3"},
        {"b3", "r3", "f3", "f3", "l3", "b3"},
        {"l3", "d3", "r3", "u3", "r3", "f3", "l3", "b3"},
        {"r3", "d1", "l3", "u1", "l3", "b3", "r3", "f3"},
        {"l1", "f3", "u3", "l1", "d3", "r1", "b3"},
        {"u3", "r2", "u3", "r2", "u3", "r2", "u3", "r2"},
        {"f3", "r3", "f3", "f3", "r3", "r3", "f3", "f3", "l3", "b3", "l1",
         "f3", "r3", "f3", "f3", "r3", "r3", "f3", "f3", "l3", "b3", "r1"},
        {"u3", "b3", "d3", "f3", "u3", "b3", "d3", "f3"},
    };
    if (n < 1 || n > kPictureCount) throw std::out_of_range("sequence number");
    return series[size_t(n - 1)];
}

std::string PictureFileName(int n) { return "Bild" + std::to_string(n) + ".bmp"; }

std::vector<uint8_t> BuildPicture(int n) {
    const std::vector<std::string>& captions = SolvingSeries(n);
    Canvas c(kPictureSize, kPictureSize);
    const Rgba background{0.09f, 0.10f, 0.16f, 1};
    c.Fill(0, 0, kPictureSize, kPictureSize, [](double, double) { return -1.0; }, background);

    // The tile, framed in the sequence's own colour.
    const Rgba accent = FromHsv((n - 1) * 36.0 + 200.0, 0.70, 0.95);
    c.Fill(0, 0, kPictureRegion, kPictureRegion,
           [](double x, double y) { return RoundedBoxDistance(x, y, 0.5, 0.5, 64.5, 64.5, 8); }, accent);
    c.Fill(0, 0, kPictureRegion, kPictureRegion,
           [](double x, double y) { return RoundedBoxDistance(x, y, 2.5, 2.5, 62.5, 62.5, 6); },
           [](double, double y) {
               return Mix(Rgba{0.22f, 0.25f, 0.38f, 1}, Rgba{0.10f, 0.11f, 0.18f, 1}, float(y / 64.0));
           });

    // Header: the sequence number on a badge and a small cube.
    const std::string number = std::to_string(n);
    const double numberScale = 2.0;
    const double badgeRight = 6 + TextWidth(number, numberScale) + 3.5;
    c.Fill(0, 0, kPictureRegion, kPictureRegion,
           [=](double x, double y) { return RoundedBoxDistance(x, y, 3.5, 3.5, badgeRight, 22, 4); }, accent);
    DrawText(c, number, 6, 6, numberScale, Rgba{1, 1, 1, 1});
    DrawCubeIcon(c, 51, 4.5, 17);

    // The captions, in rows, at the largest scale at which they fit. A series
    // too long to be read at this size shows its beginning and an ellipsis.
    const double areaLeft = 4, areaTop = 24, areaWidth = 57, areaHeight = 37;
    const bool cut = captions.size() > kMaxCaptionsShown;
    const int count = cut ? int(kMaxCaptionsShown) : int(captions.size());
    double scale = 0;
    int columns = 1;
    for (int cols = 1; cols <= count; ++cols) {
        int rows = (count + cols - 1) / cols;
        // A caption is 11 font pixels wide; 3 between captions, 2 between rows.
        double s = std::min(areaWidth / (cols * 11 + (cols - 1) * 3), areaHeight / (rows * 7 + (rows - 1) * 2));
        s = std::floor(s * 8) / 8;
        if (s > scale) scale = s, columns = cols;
    }
    const int rows = (count + columns - 1) / columns;
    const double pitchX = 14 * scale, pitchY = 9 * scale;
    const double blockHeight = rows * pitchY - 2 * scale;
    const double top = std::round(areaTop + (areaHeight - blockHeight) / 2);
    for (int i = 0; i < count; ++i) {
        int row = i / columns, col = i % columns;
        int inRow = std::min(columns, count - row * columns);
        double rowWidth = inRow * pitchX - 3 * scale;
        double x = std::round(areaLeft + (areaWidth - rowWidth) / 2) + col * pitchX;
        double y = top + row * pitchY;
        if (cut && i == count - 1) {
            for (int dot = 0; dot < 3; ++dot)
                c.Fill(0, 0, kPictureRegion, kPictureRegion,
                       [=](double px, double py) {
                           return CircleDistance(px, py, x + (1.5 + 4 * dot) * scale, y + 6 * scale, 0.9 * scale);
                       },
                       Rgba{0.93f, 0.94f, 0.97f, 1});
            continue;
        }
        const std::string& caption = captions[size_t(i)];
        DrawText(c, caption.substr(0, 1), x, y, scale, CaptionColour(caption[0]));
        DrawText(c, caption.substr(1), x + 6 * scale, y, scale, Rgba{0.93f, 0.94f, 0.97f, 1});
    }
    return c.ToRgba8();
}

std::vector<uint8_t> MakeBmp24(int width, int height, const std::vector<uint8_t>& rgba) {
    const uint32_t rowSize = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t imageSize = rowSize * uint32_t(height);
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    put32(14 + 40 + imageSize);  // file size
    put32(0);                    // reserved
    put32(14 + 40);              // offset of the pixels
    put32(40);                   // info header size
    put32(uint32_t(width));
    put32(uint32_t(height));  // positive: rows bottom to top
    put16(1);                 // planes
    put16(24);                // bits per pixel
    put32(0);                 // no compression
    put32(imageSize);
    put32(2835);  // 72 dots per inch
    put32(2835);
    put32(0);
    put32(0);
    for (int y = height - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        while (out.size() - start < rowSize) out.push_back(0);
    }
    return out;
}

}  // namespace datagen
