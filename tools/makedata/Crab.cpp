// The crab (ek_rapu): keyed on black, it walks on the sand of the beach with
// a present for Eku held up in both claws.
#include "Paint.h"
#include "Pictures.h"

Canvas DrawCrab() {
    Canvas c = MakeCanvas(320, 200);
    const uint8_t red = Ink(c, Rgb{226, 52, 40});
    const uint8_t dark = Ink(c, Rgb{160, 26, 34});
    const uint8_t light = Ink(c, Rgb{255, 128, 96});
    const uint8_t white = Ink(c, Rgb{255, 250, 240});
    const uint8_t pupil = Ink(c, Ink0);
    constexpr int Cx = 170, Cy = 176;
    // Three legs a side, bent at the knee, feet on the bottom rows.
    for (int side = -1; side <= 1; side += 2)
        for (int k = 0; k < 3; ++k) {
            const double hipX = Cx + side * 24.0, hipY = Cy + 2.0 + 5 * k;
            const double kneeX = Cx + side * (44.0 + 4 * k), kneeY = Cy - 6.0 + 7 * k;
            const double footX = Cx + side * (40.0 + 9 * k), footY = 198.0;
            ThickLine(c, hipX, hipY, kneeX, kneeY, 6, dark);
            ThickLine(c, kneeX, kneeY, footX, footY, 5, dark);
        }
    // The present it carries for Eku, held up in both claws.
    Present(c, 150, 124, 40, 20, Rgb{70, 170, 90}, Rgb{255, 220, 80});
    // Arms up to the claws.
    for (int side = -1; side <= 1; side += 2) {
        ThickLine(c, Cx + side * 26.0, Cy - 6.0, Cx + side * 38.0, Cy - 22.0, 7, red);
        ThickLine(c, Cx + side * 38.0, Cy - 22.0, Cx + side * 26.0, Cy - 34.0, 7, red);
        const int clawX = Cx + side * 24, clawY = Cy - 38;
        FillEllipse(c, clawX, clawY, 9, 8, red);
        FillEllipse(c, clawX - side * 2, clawY - 3, 4, 3, light);
        // The pincer's gap, pointing at the present.
        FillPolygon(c,
                    Points{{clawX - side * 1.0, clawY + 1.0},
                           {clawX - side * 10.0, clawY - 3.0},
                           {clawX - side * 10.0, clawY + 5.0}},
                    0);
    }
    // Eyes on stalks.
    for (int side = -1; side <= 1; side += 2) {
        ThickLine(c, Cx + side * 8.0, Cy - 14.0, Cx + side * 10.0, Cy - 22.0, 4, red);
        FillCircle(c, Cx + side * 10, Cy - 26, 6, white);
        FillCircle(c, Cx + side * 10 + 2, Cy - 26, 3, pupil);
        Plot(c, Cx + side * 10 + 1, Cy - 27, white);
    }
    // Body: shaded shell, highlights and a grin.
    FillEllipse(c, Cx, Cy, 32, 17, dark);
    FillEllipse(c, Cx, Cy - 2, 31, 15, red);
    FillEllipse(c, Cx - 12, Cy - 8, 8, 4, light);
    FillEllipse(c, Cx + 14, Cy - 9, 4, 2, light);
    for (int x = -9; x <= 9; ++x) {
        const int y = Cy + 3 + (81 - x * x) / 18;
        Plot(c, Cx + x, y, pupil);
        if (x > -8 && x < 8) Plot(c, Cx + x, y + 1, pupil);
    }
    FillEllipse(c, Cx - 20, Cy + 2, 4, 3, Ink(c, Rgb{255, 110, 130}));
    FillEllipse(c, Cx + 20, Cy + 2, 4, 3, Ink(c, Rgb{255, 110, 130}));
    Outline(c, 0, pupil);
    return c;
}
