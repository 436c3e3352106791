"""Measures a captured tone: raw float32 interleaved samples of the engine's output.

Arguments: FILE CHANNELS RATE TONE_HZ [SOURCE_RATE]
Prints one line: the spectral peak (Hz) of channel 0 and its bin width, then per channel the
amplitude of the least-squares sine at the tone's frequency and the residual against it (dB
relative to the sine's amplitude, over the frames between the first and last audible frames
less one frame of 1024 at each end), then the first and last audible frames (|x| > 1e-4) of
channel 0 (-1 when silent).

With SOURCE_RATE the tone was played from media at that rate through a linear resampler: the
fitted model is then the sine sampled at the source rate and linearly interpolated at the output
frames (interpolation is linear, so the model keeps the sine's amplitude and phase as unknowns),
and the first audible frame is taken as the tone's first frame less one (its first sample is 0).
"""
import sys

import numpy as np

# The resampler interpolates from the frame before the read position (its history).
HISTORY_FRAMES = 1.0


def sine_fit(x: np.ndarray, rate: float, hz: float, offset: int, source_rate: float):
    frames = np.arange(len(x)) + offset
    if source_rate > 0:
        # The output frame n reads the source at n x step / 65536 frames, the step a 16-bit fixed
        # point fraction, between the previous input frame (the history, silent before the first)
        # and the next.
        step = np.floor(source_rate / rate * 65536.0 + 0.5)
        positions = frames * step / 65536.0 - HISTORY_FRAMES
        grid = np.arange(-1, int(positions[-1]) + 2)
        sine = np.where(grid >= 0, np.sin(2 * np.pi * hz * grid / source_rate), 0.0)
        cosine = np.where(grid >= 0, np.cos(2 * np.pi * hz * grid / source_rate), 0.0)
        sine, cosine = np.interp(positions, grid, sine), np.interp(positions, grid, cosine)
    else:
        sine, cosine = np.sin(2 * np.pi * hz * frames / rate), np.cos(2 * np.pi * hz * frames / rate)
    basis = np.stack([sine, cosine, np.ones_like(sine)], axis=1)
    coefficients, *_ = np.linalg.lstsq(basis, x, rcond=None)
    fitted = basis @ coefficients
    amplitude = float(np.hypot(coefficients[0], coefficients[1]))
    residual = float(np.sqrt(np.mean((x - fitted) ** 2)) * np.sqrt(2.0))
    return amplitude, residual


def main() -> None:
    path, channels, rate, tone = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
    source_rate = float(sys.argv[5]) if len(sys.argv) > 5 else 0.0
    samples = np.fromfile(path, dtype=np.float32).reshape(-1, channels).astype(np.float64)
    audible = np.nonzero(np.abs(samples[:, 0]) > 1e-4)[0]
    if len(audible) == 0:
        print("0 0 " + " ".join("0 0" for _ in range(channels)) + " -1 -1")
        return
    first, last = int(audible[0]), int(audible[-1])
    body = samples[first:last + 1]
    spectrum = np.abs(np.fft.rfft(body[:, 0] * np.hanning(len(body))))
    bin_hz = rate / len(body)
    peak = float(np.argmax(spectrum)) * bin_hz
    start = max(first - 1, 0)
    margin = 1024 if last - first > 4096 else 0
    inner = samples[start + margin:last + 1 - margin]
    fields = [f"{peak:.3f}", f"{bin_hz:.6f}"]
    for channel in range(channels):
        amplitude, residual = sine_fit(inner[:, channel], rate, tone, margin, source_rate)
        residual_db = 20 * np.log10(max(residual, 1e-12) / max(amplitude, 1e-12))
        fields += [f"{amplitude:.9f}", f"{residual_db:.3f}"]
    fields += [str(first), str(last)]
    print(" ".join(fields))


if __name__ == "__main__":
    main()
