"""The ramped matrix mix of a channel bus, modelled with numpy.

Arguments: frames outputs, then per input: channels:previous_gain:next_gain:previous_matrix:next_matrix
with the matrices as comma-separated rows x outputs values. Input k, channel c, frame n holds
sin(0.05 (n + 1)(k + 1) + 0.7 c) (0.3 + 0.1 k). Each matrix entry's gain moves linearly from
previous_matrix x previous_gain at frame 0 towards next_matrix x next_gain at frame frames (not
reached). Prints the bus's channels, frame after frame, one value a line.
"""
import sys

import numpy as np


def main():
    frames = int(sys.argv[1])
    outputs = int(sys.argv[2])
    n = np.arange(frames, dtype=np.float64)
    mix = np.zeros((outputs, frames))
    for k, connection in enumerate(sys.argv[3:]):
        channels, g0, g1, m0, m1 = connection.split(":")
        channels, g0, g1 = int(channels), float(g0), float(g1)
        m0 = np.array([float(v) for v in m0.split(",")]).reshape(channels, outputs)
        m1 = np.array([float(v) for v in m1.split(",")]).reshape(channels, outputs)
        for c in range(channels):
            x = np.sin(0.05 * (n + 1) * (k + 1) + 0.7 * c) * (0.3 + 0.1 * k)
            for o in range(outputs):
                start = m0[c, o] * g0
                end = m1[c, o] * g1
                mix[o] += x * (start + (end - start) * n / frames)
    for o in range(outputs):
        for v in mix[o]:
            print("%.9g" % v)


main()
