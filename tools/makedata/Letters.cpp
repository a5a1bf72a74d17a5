// The letters E, K and U (ek__e, ek__k, ek__u): white masks on black, which
// the twister fills with its texture.
#include "Paint.h"
#include "Pictures.h"

Canvas DrawLetter(char letter) {
    Canvas c = MakeCanvas(320, 200);
    const uint8_t white = Ink(c, Rgb{255, 255, 255});
    constexpr int Left = 50, Top = 25, Bottom = 175, Stroke = 35;
    switch (letter) {
    case 'E':
        FillRect(c, Left, Top, Left + Stroke - 1, Bottom - 1, white);
        FillRect(c, Left, Top, Left + 99, Top + 31, white);
        FillRect(c, Left, 86, Left + 84, 114, white);
        FillRect(c, Left, Bottom - 32, Left + 99, Bottom - 1, white);
        break;
    case 'K':
        FillRect(c, Left, Top, Left + Stroke - 1, Bottom - 1, white);
        FillPolygon(c,
                    Points{{Left + 28, 94}, {Left + 70, Top}, {Left + 110, Top}, {Left + 52, 112}},
                    white);
        FillPolygon(
            c, Points{{Left + 28, 106}, {Left + 56, 90}, {Left + 114, Bottom}, {Left + 72, Bottom}},
            white);
        break;
    default: // 'U'
        FillRect(c, Left, Top, Left + Stroke - 1, 120, white);
        FillRect(c, Left + 110 - Stroke, Top, Left + 109, 120, white);
        for (int y = 120; y < Bottom; ++y)
            for (int x = Left; x < Left + 110; ++x) {
                const int dx2 = (2 * x + 1 - (2 * Left + 110)), dy2 = 2 * (y - 120) + 1;
                const int d2 = dx2 * dx2 + dy2 * dy2; // in quarter pixels
                if (d2 <= 110 * 110 && d2 >= 40 * 40) Plot(c, x, y, white);
            }
        break;
    }
    return c;
}
