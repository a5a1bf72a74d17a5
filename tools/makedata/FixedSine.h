// Sine and cosine from a fixed polynomial, so that every machine draws the
// same pictures and writes the same samples.
#pragma once

double Sine(double x);
double Cosine(double x);
