#!/usr/bin/python3
"""Second-order Butterworth coefficients from scipy, the oracle of the filter tests.

Usage: butterworth_reference.py low|high SAMPLE_RATE_HZ CUTOFF_HZ [CUTOFF_HZ ...]
Prints one line per cut-off: "b0 b1 b2 a1 a2" with a0 normalised to 1.
Run with Debian's /usr/bin/python3, which sees Debian's numpy and scipy.
"""
import sys

from scipy import signal


def main():
    kind = sys.argv[1]
    rate = float(sys.argv[2])
    for cutoff in sys.argv[3:]:
        b, a = signal.butter(2, float(cutoff), btype="lowpass" if kind == "low" else "highpass", fs=rate)
        b = b / a[0]
        a = a / a[0]
        print(" ".join(repr(float(v)) for v in (b[0], b[1], b[2], a[1], a[2])))


if __name__ == "__main__":
    main()
