#!/usr/bin/python3
"""Oracles of the voice tests, independent of the engine's readers.

Usage:
  voice_oracle.py samples WAV OUT     writes the WAVE file's samples (read by scipy) to OUT as raw
                                      little-endian 16-bit integers, interleaved; prints rate,
                                      channels and frames
  voice_oracle.py tone RAW RATE BLOCK reads raw little-endian 32-bit floats (one channel) and prints
                                      the frequency of the spectral peak (parabolic interpolation
                                      between bins of a Hann-windowed FFT), the bin width, the
                                      largest step between neighbouring samples across the
                                      boundaries of BLOCK-frame blocks, and the largest inside them

Run with Debian's /usr/bin/python3, which sees Debian's numpy and scipy.
"""
import sys

import numpy as np
from scipy.io import wavfile


def samples(path, out):
    rate, data = wavfile.read(path)
    data = np.asarray(data, dtype="<i2")
    if data.ndim == 1:
        data = data.reshape(-1, 1)
    data.tofile(out)
    print(f"{rate} {data.shape[1]} {data.shape[0]}")


def tone(path, rate, block):
    x = np.fromfile(path, dtype="<f4").astype(np.float64)
    frames = len(x)
    spectrum = np.abs(np.fft.rfft(x * np.hanning(frames)))
    peak = int(np.argmax(spectrum[1:])) + 1
    left, centre, right = np.log(spectrum[peak - 1: peak + 2] + 1e-30)
    shift = 0.5 * (left - right) / (left - 2.0 * centre + right)
    steps = np.abs(np.diff(x))
    at_boundary = np.zeros(len(steps), dtype=bool)
    at_boundary[block - 1::block] = True  # the step from the last frame of a block to the next
    print(f"{(peak + shift) * rate / frames:.4f} {rate / frames:.4f} "
          f"{steps[at_boundary].max():.6f} {steps[~at_boundary].max():.6f}")


def main():
    if sys.argv[1] == "samples":
        samples(sys.argv[2], sys.argv[3])
    else:
        tone(sys.argv[2], float(sys.argv[3]), int(sys.argv[4]))


if __name__ == "__main__":
    main()
