#!/usr/bin/python3
"""Judges a captured tone: raw little-endian 32-bit float samples, interleaved.

Usage: tone_oracle.py FILE CHANNELS RATE CHANNEL
Prints four numbers for the channel: the frequency of the spectral peak in Hz (parabolic
interpolation between bins of a Hann-windowed FFT), the RMS level in dB full scale, the residual
against a least-squares sine fitted to the whole capture in dB relative to the tone (frequency,
amplitude, phase and offset fitted by scipy), and the number of frames.

Run with Debian's /usr/bin/python3, which sees Debian's numpy and scipy.
"""
import sys

import numpy as np
from scipy.optimize import curve_fit


def main():
    path, channels, rate, channel = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
    samples = np.fromfile(path, dtype="<f4").reshape(-1, channels)[:, channel].astype(np.float64)
    frames = len(samples)
    spectrum = np.abs(np.fft.rfft(samples * np.hanning(frames)))
    peak = int(np.argmax(spectrum[1:])) + 1
    left, centre, right = np.log(spectrum[peak - 1: peak + 2] + 1e-30)
    shift = 0.5 * (left - right) / (left - 2.0 * centre + right)
    frequency = (peak + shift) * rate / frames
    rms = np.sqrt(np.mean(samples ** 2))
    level_db = 20.0 * np.log10(rms + 1e-30)

    t = np.arange(frames) / rate

    def sine(time, f, a, b, c):
        return a * np.sin(2.0 * np.pi * f * time) + b * np.cos(2.0 * np.pi * f * time) + c

    amplitude = np.sqrt(2.0) * rms
    parameters, _ = curve_fit(sine, t, samples, p0=[frequency, amplitude, 0.0, 0.0])
    residual = samples - sine(t, *parameters)
    residual_db = 20.0 * np.log10(np.sqrt(np.mean(residual ** 2)) / (rms + 1e-30) + 1e-30)
    print(f"{frequency:.4f} {level_db:.4f} {residual_db:.2f} {frames}")


if __name__ == "__main__":
    main()
