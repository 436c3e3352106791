#!/usr/bin/python3
"""Random emitter and listener geometries with their distances and angles, computed by numpy.

Usage: positioning_oracle.py SEED COUNT
Prints one line per geometry:
  emitter position (3), emitter front (3), listener position (3), listener front (3), listener top (3),
  distance, emitter angle, listener angle, azimuth, elevation
Angles in radians; azimuth positive towards the listener's side vector (top x front), elevation up.
Run with Debian's /usr/bin/python3, which sees Debian's numpy.
"""
import sys

import numpy as np


def unit(v):
    return v / np.linalg.norm(v)


def frame(rng):
    front = unit(rng.normal(size=3))
    top = unit(np.cross(front, rng.normal(size=3)))
    return front, top


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    rng = np.random.default_rng(seed)
    for _ in range(count):
        emitter = rng.uniform(-50.0, 50.0, size=3).astype(np.float32).astype(np.float64)
        listener = rng.uniform(-50.0, 50.0, size=3).astype(np.float32).astype(np.float64)
        emitter_front, _ = frame(rng)
        listener_front, listener_top = frame(rng)
        emitter_front = emitter_front.astype(np.float32).astype(np.float64)
        listener_front = listener_front.astype(np.float32).astype(np.float64)
        listener_top = listener_top.astype(np.float32).astype(np.float64)
        r = emitter - listener
        h = np.linalg.norm(r)
        emitter_angle = np.arccos(np.clip(-np.dot(r, emitter_front) / h, -1.0, 1.0))
        listener_angle = np.arccos(np.clip(np.dot(r, listener_front) / h, -1.0, 1.0))
        side = np.cross(listener_top, listener_front)
        azimuth = np.arctan2(np.dot(r, side), np.dot(r, listener_front))
        elevation = np.arcsin(np.clip(np.dot(r, listener_top) / h, -1.0, 1.0))
        values = list(emitter) + list(emitter_front) + list(listener) + list(listener_front) + list(listener_top)
        values += [h, emitter_angle, listener_angle, azimuth, elevation]
        print(" ".join("%.9g" % v for v in values))


if __name__ == "__main__":
    main()
