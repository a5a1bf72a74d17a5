// Dithered gradients and the wrapped present, for the pictures.
#include "Paint.h"

namespace {

Rgb Along(const std::vector<Stop>& stops, int t) {
    if (t <= stops.front().at) return stops.front().colour;
    for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].at) {
            const int span = stops[i].at - stops[i - 1].at;
            return Mix(stops[i - 1].colour, stops[i].colour, (t - stops[i - 1].at) * 256 / span);
        }
    return stops.back().colour;
}

} // namespace

void Gradient(Canvas& c, int x0, int y0, int x1, int y1, const std::vector<Stop>& stops, int levels,
              bool (*inside)(int x, int y)) {
    std::vector<uint8_t> band(static_cast<size_t>(levels));
    for (int i = 0; i < levels; ++i)
        band[static_cast<size_t>(i)] = Ink(c, Along(stops, i * 256 / (levels - 1)));
    const int span = y1 > y0 ? y1 - y0 : 1;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            if (inside && !inside(x, y)) continue;
            const int v = (y - y0) * (levels - 1) * 16 / span;
            int level = v / 16 + (v % 16 > Bayer(x, y) ? 1 : 0);
            if (level > levels - 1) level = levels - 1;
            Plot(c, x, y, band[static_cast<size_t>(level)]);
        }
}

void Present(Canvas& c, int x0, int y0, int w, int h, Rgb box, Rgb ribbon) {
    const uint8_t dark = Ink(c, Mix(box, Rgb{30, 0, 30}, 100));
    FillRect(c, x0, y0, x0 + w - 1, y0 + h - 1, Ink(c, box));
    FillRect(c, x0 + w - 4, y0, x0 + w - 1, y0 + h - 1, dark);
    FillRect(c, x0 - 1, y0 - 3, x0 + w, y0 + 1, Ink(c, Mix(box, Rgb{255, 255, 255}, 60)));
    const uint8_t rib = Ink(c, ribbon);
    FillRect(c, x0 + w / 2 - 2, y0 - 3, x0 + w / 2 + 1, y0 + h - 1, rib);
    FillRect(c, x0, y0 + h / 2 - 1, x0 + w - 1, y0 + h / 2 + 1, rib);
    FillEllipse(c, x0 + w / 2 - 5, y0 - 6, 4, 3, rib);
    FillEllipse(c, x0 + w / 2 + 4, y0 - 6, 4, 3, rib);
    FillRect(c, x0 + w / 2 - 1, y0 - 7, x0 + w / 2, y0 - 4, Ink(c, Mix(ribbon, Rgb{}, 60)));
}
