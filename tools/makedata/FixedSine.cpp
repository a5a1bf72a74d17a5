#include "FixedSine.h"

#include <cmath>
#include <numbers>

double Sine(double x) {
    constexpr double Pi = std::numbers::pi;
    // Reduce to [-pi, pi], then to [-pi/2, pi/2], then a Taylor series.
    const double turns = std::floor(x / (2 * Pi) + 0.5);
    x -= turns * 2 * Pi;
    if (x > Pi / 2) x = Pi - x;
    if (x < -Pi / 2) x = -Pi - x;
    const double x2 = x * x;
    double term = x, sum = x;
    for (int k = 1; k <= 9; ++k) {
        term = -term * x2 / ((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

double Cosine(double x) {
    return Sine(x + std::numbers::pi / 2);
}
