"""The frequency of a captured tone in each block of frames, from its rising zero crossings.

Arguments: FILE CHANNELS RATE BLOCK
FILE holds raw float32 interleaved samples. Channel 0 is measured: in each block, the rising
crossings through 0 are placed by linear interpolation between the samples around them, and the
frequency is the number of whole periods between the first and the last crossing over the time
between them. Prints one line per block: the frequency in Hz, or 0 when the block holds fewer
than two crossings.
"""
import sys

import numpy as np


def main():
    path, channels, rate, block = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
    x = np.fromfile(path, dtype=np.float32).reshape(-1, channels)[:, 0].astype(np.float64)
    for start in range(0, len(x) - block + 1, block):
        y = x[start:start + block]
        rising = np.nonzero((y[:-1] < 0.0) & (y[1:] >= 0.0))[0]
        crossings = rising + y[rising] / (y[rising] - y[rising + 1])
        if len(crossings) < 2:
            print(0.0)
            continue
        print((len(crossings) - 1) * rate / (crossings[-1] - crossings[0]))


if __name__ == "__main__":
    main()
