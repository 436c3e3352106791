#!/usr/bin/python3
"""A numpy model of the mix matrix of a voice heard along one or several rays, built on the
three-dimensional panning model of tests/.../Panning/panning3d_model.py, in double precision.

Reads cases from stdin, one JSON object per line:
  {"in": input speaker mask, "out": output speaker mask (0: first-order ambisonics),
   "rays": [[px, py, pz, fx, fy, fz, tx, ty, tz, spread, focus, centre], ...], "gains": [...],
   "mode": multi-position mode, "spatialized": 0 or 1,
   "offsets": null or {"mask": listener speaker mask, "count": offsets stored, "gains": [linear]},
   "rule": panning rule, "angles": [three speaker angles in degrees]}
and prints, per case, the matrix (input channels x output channels, the LFE last on both sides)
row by row.

Rules modelled: the input reduced to its 7.0 speakers; each ray's spread raised by its elevation
(on a speaker output: asin(-y / |p|) / pi for a ray below the listener when the output has extra
speakers, else y^2 / |p|^2); the LFE whole onto the LFE; a listener without spatialization hears
every channel with k = 1 / sqrt(inputs), k / L on each of L speakers (k on the first channel of an
output that is not a speaker set); the listener's offsets by a speaker's rank among its own
configuration's speakers, those beyond the stored count at 0 dB; the rays combined: one scaled by
its gain, mode 1 summed, otherwise the coefficient of largest magnitude (the later ray on ties).
Run with Debian's /usr/bin/python3.
"""
import json
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Panning"))
import panning3d_model as pan  # noqa: E402

LFE = 0x8
SEVEN_ZERO = 0x637
EXTRA_SPEAKERS = 0xFF9C0


def channels(mask):
    return len(pan.bits(mask))


def ray_matrix(case, ray, rows, columns):
    in_mask, out_mask = case["in"], case["out"]
    p = ray[0:3]
    spread = ray[9]
    length = math.sqrt(sum(v * v for v in p))
    if out_mask != 0 and length > 0.0:
        if out_mask & EXTRA_SPEAKERS:
            if p[1] < 0.0:
                spread = max(spread, math.asin(-p[1] / length) / math.pi)
        else:
            spread = max(spread, p[1] * p[1] / (length * length))
    reduced = in_mask & SEVEN_ZERO
    panned = pan.pan_case([reduced, out_mask] + list(ray[0:9]) +
                          [spread, ray[10], ray[11], case["rule"]] + list(case["angles"]))
    matrix = np.zeros((rows, columns))
    matrix[:panned.shape[0], :panned.shape[1]] = panned
    return matrix


def unspatialized(case, rows, columns):
    out_mask = case["out"]
    k = 1.0 / math.sqrt(rows)
    matrix = np.zeros((rows, columns))
    if out_mask == 0:
        matrix[:, 0] = k
    else:
        speakers = channels(out_mask & ~LFE)
        matrix[:, :speakers] = k / speakers
    return matrix


def offset_gains(case, columns):
    offsets = case["offsets"]
    gains = np.ones(columns)
    listener = offsets["mask"]
    ranked = sorted(b for b in pan.bits(listener) if b != LFE) + ([LFE] if listener & LFE else [])
    out_order = sorted(b for b in pan.bits(case["out"]) if b != LFE) + ([LFE] if case["out"] & LFE else [])
    for column, speaker in enumerate(out_order):
        if speaker in ranked:
            rank = ranked.index(speaker)
            if rank < offsets["count"]:
                gains[column] = offsets["gains"][rank]
    return gains


def model(case):
    in_mask, out_mask = case["in"], case["out"]
    rows = channels(in_mask)
    columns = 4 if out_mask == 0 else channels(out_mask)
    both_lfe = in_mask & LFE and out_mask & LFE
    temporaries = []
    for ray in case["rays"]:
        t = ray_matrix(case, ray, rows, columns) if case["spatialized"] else unspatialized(case, rows, columns)
        if both_lfe:
            t[rows - 1, columns - 1] = 1.0
        if case["offsets"] is not None and out_mask != 0:
            t = t * offset_gains(case, columns)
        temporaries.append(t)
    gains = case["gains"]
    if len(temporaries) == 1:
        return temporaries[0] * gains[0]
    if case["mode"] == 1:
        return sum(t * g for t, g in zip(temporaries, gains))
    result = np.zeros((rows, columns))
    for t, g in zip(temporaries, gains):
        scaled = t * g
        louder = np.abs(scaled) >= np.abs(result)
        result[louder] = scaled[louder]
    return result


def main():
    for line in sys.stdin:
        if line.strip():
            print(" ".join("%.9g" % v for v in model(json.loads(line)).ravel()))


if __name__ == "__main__":
    main()
