#include "Canvas.h"

#include "common/Error.h"
#include "image/Pcx.h"

#include <algorithm>
#include <cmath>
#include <numbers>

Canvas MakeCanvas(int width, int height) {
    Canvas c;
    c.width = width;
    c.height = height;
    c.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    c.palette.push_back(Rgb{0, 0, 0});
    return c;
}

uint8_t Ink(Canvas& c, Rgb colour) {
    for (size_t i = 0; i < c.palette.size(); ++i) {
        const Rgb& p = c.palette[i];
        if (p.r == colour.r && p.g == colour.g && p.b == colour.b) return static_cast<uint8_t>(i);
    }
    if (c.palette.size() >= 256) {
        // Drawn on in black; the file is refused when it is written.
        if (!c.paletteFull)
            SetError("a %dx%d picture needs more than 256 colours", c.width, c.height);
        c.paletteFull = true;
        return 0;
    }
    c.palette.push_back(colour);
    return static_cast<uint8_t>(c.palette.size() - 1);
}

Rgb Mix(Rgb a, Rgb b, int t) {
    auto mix = [t](int p, int q) { return static_cast<uint8_t>((p * (256 - t) + q * t) / 256); };
    return Rgb{mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

int Bayer(int x, int y) {
    static constexpr int Matrix[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return Matrix[y & 3][x & 3];
}

namespace {

bool Inside(const Canvas& c, int x, int y) {
    return x >= 0 && y >= 0 && x < c.width && y < c.height;
}

size_t Offset(const Canvas& c, int x, int y) {
    return static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x);
}

} // namespace

void Plot(Canvas& c, int x, int y, uint8_t index) {
    if (Inside(c, x, y)) c.pixels[Offset(c, x, y)] = index;
}

uint8_t Peek(const Canvas& c, int x, int y) {
    return Inside(c, x, y) ? c.pixels[Offset(c, x, y)] : 0;
}

void FillRect(Canvas& c, int x0, int y0, int x1, int y1, uint8_t index) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            Plot(c, x, y, index);
}

void FillEllipse(Canvas& c, int cx, int cy, int rx, int ry, uint8_t index) {
    if (rx <= 0 || ry <= 0) return;
    // Pixel centres inside (dx/rx)^2 + (dy/ry)^2 <= 1, in integers.
    const int64_t rx2 = static_cast<int64_t>(rx) * rx, ry2 = static_cast<int64_t>(ry) * ry;
    for (int dy = -ry; dy <= ry; ++dy)
        for (int dx = -rx; dx <= rx; ++dx)
            if (dx * dx * ry2 + dy * dy * rx2 <= rx2 * ry2 + (rx2 + ry2) / 4)
                Plot(c, cx + dx, cy + dy, index);
}

void FillCircle(Canvas& c, int cx, int cy, int r, uint8_t index) {
    FillEllipse(c, cx, cy, r, r, index);
}

void FillPolygon(Canvas& c, const std::vector<std::array<double, 2>>& points, uint8_t index) {
    const size_t n = points.size();
    if (n < 3) return;
    for (int y = 0; y < c.height; ++y) {
        const double sy = y + 0.5;
        std::vector<double> xs;
        for (size_t i = 0; i < n; ++i) {
            const auto& a = points[i];
            const auto& b = points[(i + 1) % n];
            if ((a[1] <= sy && b[1] > sy) || (b[1] <= sy && a[1] > sy))
                xs.push_back(a[0] + (sy - a[1]) * (b[0] - a[0]) / (b[1] - a[1]));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            // Pixel x is inside when its centre x + 0.5 lies in [xs[i], xs[i+1]).
            const int from = static_cast<int>(std::ceil(xs[i] - 0.5));
            const int to = static_cast<int>(std::ceil(xs[i + 1] - 0.5)) - 1;
            for (int x = std::max(from, 0); x <= std::min(to, c.width - 1); ++x)
                Plot(c, x, y, index);
        }
    }
}

void ThickLine(Canvas& c, double x0, double y0, double x1, double y1, double thickness,
               uint8_t index) {
    const double r = thickness / 2;
    const int minX = static_cast<int>(std::floor(std::min(x0, x1) - r)) - 1;
    const int maxX = static_cast<int>(std::ceil(std::max(x0, x1) + r)) + 1;
    const int minY = static_cast<int>(std::floor(std::min(y0, y1) - r)) - 1;
    const int maxY = static_cast<int>(std::ceil(std::max(y0, y1) + r)) + 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x) {
            const double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double t = len2 > 0 ? (px * dx + py * dy) / len2 : 0;
            t = std::clamp(t, 0.0, 1.0);
            const double ex = px - t * dx, ey = py - t * dy;
            if (ex * ex + ey * ey <= r * r) Plot(c, x, y, index);
        }
}

void Outline(Canvas& c, uint8_t from, uint8_t index) {
    const Canvas before = c;
    auto at = [&](int x, int y) { return Inside(before, x, y) ? Peek(before, x, y) : from; };
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            if (at(x, y) == from && (at(x - 1, y) != from || at(x + 1, y) != from ||
                                     at(x, y - 1) != from || at(x, y + 1) != from))
                Plot(c, x, y, index);
}

std::vector<uint8_t> EncodePcx(const Canvas& c) {
    if (c.paletteFull) return {};
    std::vector<uint8_t> palette;
    for (const Rgb& p : c.palette)
        palette.insert(palette.end(), {p.r, p.g, p.b});
    return EncodePcx(c.width, c.height, c.pixels, palette);
}
