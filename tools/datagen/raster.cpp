#include "tools/datagen/raster.h"

#include <algorithm>
#include <cmath>

namespace datagen {

Canvas::Canvas(int width, int height) : m_width(width), m_height(height), m_pixels(size_t(width) * height) {}

void Canvas::Fill(int x0, int y0, int x1, int y1, const Distance& distance, const Paint& colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, m_width);
    y1 = std::min(y1, m_height);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            double px = x + 0.5, py = y + 0.5;
            double coverage = std::clamp(0.5 - distance(px, py), 0.0, 1.0);
            if (coverage <= 0) continue;
            Blend(x, y, colour(px, py), coverage);
        }
    }
}

void Canvas::FillCoverage(int x0, int y0, int x1, int y1, const Coverage& coverage, const Rgba& colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, m_width);
    y1 = std::min(y1, m_height);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) Blend(x, y, colour, std::clamp(coverage(x, y), 0.0, 1.0));
}

void Canvas::Blend(int x, int y, const Rgba& src, double coverage) {
    float a = src.a * float(coverage);
    if (a <= 0) return;
    Rgba& dst = m_pixels[size_t(y) * m_width + x];
    float outA = a + dst.a * (1 - a);
    auto blend = [&](float s, float d) { return (s * a + d * dst.a * (1 - a)) / outA; };
    dst = {blend(src.r, dst.r), blend(src.g, dst.g), blend(src.b, dst.b), outA};
}

void Canvas::Fill(int x0, int y0, int x1, int y1, const Distance& distance, const Rgba& colour) {
    Fill(x0, y0, x1, y1, distance, [&](double, double) { return colour; });
}

void Canvas::BleedColours(int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<Rgba> next = m_pixels;
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                if (ToByte(At(x, y).a) != 0) continue;
                float r = 0, g = 0, b = 0, weight = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = x + dx, ny = y + dy;
                        if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= m_width || ny >= m_height) continue;
                        const Rgba& n = At(nx, ny);
                        // Painted pixels, and those that an earlier pass coloured.
                        float w = ToByte(n.a) != 0 ? 1.0f : (n.r + n.g + n.b > 0 ? 0.25f : 0.0f);
                        r += n.r * w;
                        g += n.g * w;
                        b += n.b * w;
                        weight += w;
                    }
                }
                if (weight > 0) next[size_t(y) * m_width + x] = {r / weight, g / weight, b / weight, 0.0f};
            }
        }
        m_pixels.swap(next);
    }
}

uint8_t ToByte(float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

std::vector<uint8_t> Canvas::ToRgba8() const {
    std::vector<uint8_t> out;
    out.reserve(m_pixels.size() * 4);
    for (const Rgba& p : m_pixels) {
        uint8_t a = ToByte(p.a);
        out.push_back(ToByte(p.r));
        out.push_back(ToByte(p.g));
        out.push_back(ToByte(p.b));
        out.push_back(a);
    }
    return out;
}

double RoundedBoxDistance(double x, double y, double left, double top, double right, double bottom, double radius) {
    double cx = (left + right) / 2, cy = (top + bottom) / 2;
    double hx = (right - left) / 2 - radius, hy = (bottom - top) / 2 - radius;
    double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    double inside = std::min(std::max(qx, qy), 0.0);
    return outside + inside - radius;
}

double CircleDistance(double x, double y, double cx, double cy, double radius) {
    return std::hypot(x - cx, y - cy) - radius;
}

double SegmentDistance(double x, double y, Point a, Point b, double halfWidth) {
    double px = x - a.x, py = y - a.y, bx = b.x - a.x, by = b.y - a.y;
    double t = std::clamp((px * bx + py * by) / (bx * bx + by * by), 0.0, 1.0);
    return std::hypot(px - bx * t, py - by * t) - halfWidth;
}

double PolygonDistance(double x, double y, const std::vector<Point>& v) {
    // Exact distance to the edges, with the sign from the crossing number.
    double d = (x - v[0].x) * (x - v[0].x) + (y - v[0].y) * (y - v[0].y);
    bool inside = false;
    for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i, ++i) {
        double ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
        double wx = x - v[i].x, wy = y - v[i].y;
        double t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0, 1.0);
        double bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        if ((v[i].y > y) != (v[j].y > y) && x < v[i].x + (y - v[i].y) * ex / ey) inside = !inside;
    }
    return inside ? -std::sqrt(d) : std::sqrt(d);
}

}  // namespace datagen
