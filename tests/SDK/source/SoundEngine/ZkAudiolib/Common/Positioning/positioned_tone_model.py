#!/usr/bin/python3
"""The level a 3-D positioned mono tone should reach on each channel of a stereo output: the
attenuation's dry curve at the emitter's distance (its dB points linear in between, held beyond
the last, turned into a linear gain) times the three-dimensional panning of the emitter's
direction (the panning model of tests/.../Panning/panning3d_model.py), the spread raised by the
emitter's elevation to y^2 / |p|^2 on a planar output.

Reads cases from stdin, one per line:
  amplitude px py pz x0 db0 x1 db1 rule angle1 angle2 angle3
(the position relative to a listener at the origin facing +z with +y up, so x is to its right)
and prints the left and right amplitudes. Run with Debian's /usr/bin/python3.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Panning"))
import panning3d_model  # noqa: E402

MONO_CENTRE = 0x4
STEREO = 0x3


def dry_gain(distance, x0, db0, x1, db1):
    if distance <= x0:
        db = db0
    elif distance >= x1:
        db = db1
    else:
        db = db0 + (db1 - db0) * (distance - x0) / (x1 - x0)
    return 10.0 ** (db / 20.0)


def channel_gains(px, py, pz, x0, db0, x1, db1, rule, a1, a2, a3):
    """The left and right gains of a mono emitter at (px, py, pz) around the listener."""
    length_squared = px * px + py * py + pz * pz
    spread = py * py / length_squared if length_squared > 0.0 else 0.0
    matrix = panning3d_model.pan_case([MONO_CENTRE, STEREO, px, py, pz, 0.0, 0.0, 1.0, 0.0, 1.0, 0.0,
                                       spread, 0.0, 0.0, rule, a1, a2, a3])
    gain = dry_gain(math.sqrt(length_squared), x0, db0, x1, db1)
    row = matrix.ravel()
    return gain * row[0], gain * row[1]


def main():
    for line in sys.stdin:
        fields = [float(v) for v in line.split()]
        if not fields:
            continue
        left, right = channel_gains(*fields[1:])
        print("%.9g %.9g" % (fields[0] * left, fields[0] * right))


if __name__ == "__main__":
    main()
