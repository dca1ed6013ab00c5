// A small 2-D painter for the generated pictures: shapes given by signed
// distance functions, filled with anti-aliased edges and composited with
// straight (not premultiplied) alpha.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace datagen {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

inline Rgba Mix(const Rgba& x, const Rgba& y, float t) {
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}
inline Rgba Grey(float v, float a = 1.0f) { return {v, v, v, a}; }

struct Point {
    double x, y;
};

class Canvas {
public:
    Canvas(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const Rgba& At(int x, int y) const { return m_pixels[size_t(y) * m_width + x]; }

    // Paints `colour(x, y)` over every pixel inside the clip rectangle, with
    // the coverage of the shape whose signed distance (negative inside, in
    // pixels) is `distance(x, y)`; (x, y) is the pixel's centre.
    using Distance = std::function<double(double, double)>;
    using Paint = std::function<Rgba(double, double)>;
    void Fill(int x0, int y0, int x1, int y1, const Distance& distance, const Paint& colour);
    void Fill(int x0, int y0, int x1, int y1, const Distance& distance, const Rgba& colour);
    // The same with the coverage (0..1) of each pixel given directly.
    using Coverage = std::function<double(int, int)>;
    void FillCoverage(int x0, int y0, int x1, int y1, const Coverage& coverage, const Rgba& colour);

    // Gives every fully transparent pixel the colour of its painted
    // neighbours, so that filtering at shape edges does not darken them.
    void BleedColours(int passes);

    // 8 bits per channel, R G B A in memory order, rows top to bottom.
    std::vector<uint8_t> ToRgba8() const;

private:
    void Blend(int x, int y, const Rgba& src, double coverage);

    int m_width, m_height;
    std::vector<Rgba> m_pixels;
};

// Signed distances (negative inside).
double RoundedBoxDistance(double x, double y, double left, double top, double right, double bottom, double radius);
double CircleDistance(double x, double y, double cx, double cy, double radius);
double SegmentDistance(double x, double y, Point a, Point b, double halfWidth);
double PolygonDistance(double x, double y, const std::vector<Point>& polygon);

uint8_t ToByte(float v);

}  // namespace datagen
