"""K-weighted power of a frame of a sum of sines, through the ITU-R BS.1770 48 kHz filter.

Arguments: frames-per-buffer frame-index weight:freq:amp ... (one per channel; weight 0 leaves a
channel out). Each channel's signal is amp * sin(2 pi freq n / 48000) from n = 0; the whole signal
up to the end of the frame is filtered, and the frame's weighted mean of squares is printed.
"""
import sys

import numpy as np
from scipy import signal

RATE = 48000
# The two stages of the recommendation at 48 kHz: the shelf, then the high-pass.
SHELF_B = [1.53512485958697, -2.69169618940638, 1.19839281085285]
SHELF_A = [1.0, -1.69065929318241, 0.73248077421585]
HIGHPASS_B = [1.0, -2.0, 1.0]
HIGHPASS_A = [1.0, -1.99004745483398, 0.99007225036621]


def main():
    frames = int(sys.argv[1])
    index = int(sys.argv[2])
    n = np.arange((index + 1) * frames)
    total = 0.0
    for channel in sys.argv[3:]:
        weight, freq, amp = (float(v) for v in channel.split(":"))
        x = amp * np.sin(2.0 * np.pi * freq * n / RATE)
        y = signal.lfilter(HIGHPASS_B, HIGHPASS_A, signal.lfilter(SHELF_B, SHELF_A, x))
        total += weight * np.sum(y[index * frames:] ** 2)
    print("%.9g" % (total / frames))


main()
