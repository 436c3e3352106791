"""The frequency of each stretch of a captured tone (raw float32 interleaved samples).

Arguments: FILE CHANNELS RATE FIRST:LAST [FIRST:LAST ...]
Prints one line: for each stretch of channel 0 (frames FIRST to LAST, both included) the frequency
(Hz) of its spectral peak, refined by a parabola through the log magnitudes of the peak's bins
(the window is Hann, the transform zero-padded to 16 times the stretch).
"""
import sys

import numpy as np


def peak_hz(x: np.ndarray, rate: float) -> float:
    size = 16 * len(x)
    spectrum = np.abs(np.fft.rfft(x * np.hanning(len(x)), size)) + 1e-30
    k = int(np.argmax(spectrum[1:-1])) + 1
    a, b, c = np.log(spectrum[k - 1:k + 2])
    shift = 0.5 * (a - c) / (a - 2 * b + c)
    return (k + shift) * rate / size


def main() -> None:
    path, channels, rate = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    left = np.fromfile(path, dtype=np.float32).reshape(-1, channels)[:, 0].astype(np.float64)
    answers = []
    for stretch in sys.argv[4:]:
        first, last = (int(v) for v in stretch.split(":"))
        answers.append("%.4f" % peak_hz(left[first:last + 1], rate))
    print(" ".join(answers))


if __name__ == "__main__":
    main()
