// Second-order Butterworth low-pass and high-pass coefficients by the bilinear transform with
// pre-warping, in single precision. The recurrence they drive is
//   y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2
// (x1, x2 the last two inputs, y1, y2 the last two outputs); a0 is normalised to 1.
// Threading: pure functions.
#pragma once

struct BiquadCoefficients
{
    float b0 = 1.0f;
    float b1 = 0.0f;
    float b2 = 0.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;
};

BiquadCoefficients ComputeButterworthLowPass(float cutoffHz, float sampleRateHz);
BiquadCoefficients ComputeButterworthHighPass(float cutoffHz, float sampleRateHz);
