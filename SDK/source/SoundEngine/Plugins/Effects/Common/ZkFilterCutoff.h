// Mapping of the 0-100 filter values of the sound design to cut-off frequencies. 0 is no filtering:
// the low-pass opens to 20 kHz and the high-pass closes to about 16.8 Hz. Both are capped at
// 0.45 x the sample rate so that the bilinear design stays below Nyquist.
// Threading: pure functions.
#pragma once

constexpr float kFilterCutoffCapOfSampleRate = 0.45f;

// Low-pass: linear from 20000 Hz (value 0) towards 7000 Hz below 30; from 30 up,
// 16.797443 x 2^((100 - v) x 0.124328129) by a fast exponent approximation.
float LowPassValueToHz(float value, float sampleRateHz);
// High-pass: the low-pass curve mirrored (value v uses the low-pass curve at 100 - v).
float HighPassValueToHz(float value, float sampleRateHz);
