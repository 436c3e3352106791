#!/usr/bin/python3
"""A numpy model of three-dimensional panning of one emitter on a planar speaker ring (or a
first-order ambisonic output), written from the description of the steps, in double precision.

Reads cases from stdin, one per line:
  input_mask output_mask px py pz fx fy fz tx ty tz spread focus centre rule front side rear
(masks as decimal speaker masks; output_mask 0 means first-order ambisonics, 4 channels; angles in
degrees) and prints, per case, one line with the matrix: input channels x output channels (LFE
excluded from the output), row by row.

Steps modelled: the device's planar cloud of virtual points per channel count, focus narrowing,
the turn of each cloud to its channel's azimuth on the ring of channels, the ray's frame, the
narrowing around the emitter direction by the spread (rotation onto the axis and back), pairwise
panning on the layout's ring (with the ring without the centre for the centre blend) or the stereo
law, and the row normalisation to 1 / (f x points). Run with Debian's /usr/bin/python3.
"""
import math
import sys

import numpy as np

FL, FR, FC, LFE, BL, BR, SL, SR = 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x200, 0x400
RING_RANK = [BL, SL, FL, FC, FR, SR, BR]
CHANNEL_AZIMUTHS = {
    1: [0.0],
    2: [90.0, -90.0],
    3: [90.0, 0.0, -90.0],
    4: [135.0, 45.0, -45.0, -135.0],
    5: [144.0, 72.0, 0.0, -72.0, -144.0],
    6: [150.0, 90.0, 30.0, -30.0, -90.0, -150.0],
    7: [154.29, 102.86, 51.43, 0.0, -51.43, -102.86, -154.29],
}


def bits(mask):
    return [1 << i for i in range(20) if mask & (1 << i)]


def channel_of(mask, speaker):
    """Column of a speaker: ascending bits, the LFE last."""
    return sorted(b for b in bits(mask) if b != LFE).index(speaker)


def fast_sin(x):
    s = 1.2732395 * x - 0.4052847 * x * abs(x)
    return s + 0.225 * (s * abs(s) - s)


def narrow(p, q):
    """Draws a unit point towards (0, 0, 1): q = 1 keeps it, 0 collapses it."""
    if q >= 1.0:
        return p
    x, y, z = p
    if q > 0.5:
        if x * x + y * y < 0.0001:
            x, y, z = 0.0, 0.0, (-1.0 if z < 0.0 else 1.0)
        z = max(z, -1.0)
        asin_z = z * (1.085865 - 0.35786 * z ** 2 + 0.719088 * z ** 4)
        a = (1.0 - q) * math.pi / 2 + q * asin_z
        new_z = a - a ** 3 / 6.0 + a ** 5 / 120.0
        scale = math.sqrt(max(1.0 - new_z ** 2, 0.0) / max(x * x + y * y, 0.0001))
        v = np.array([x * scale, y * scale, new_z])
    else:
        shift = 1.0 / (fast_sin(math.pi * q) + 0.0001)
        v = np.array([x, y, max(z, -0.999) + shift])
    n = np.linalg.norm(v)
    return v / n if n > 0 else v


def onto_axis(d):
    """The rotation about d x (0, 0, 1) taking d onto (0, 0, 1)."""
    n = np.linalg.norm(d)
    if n == 0.0:
        return np.eye(3)
    u = d / n
    axis = np.cross(u, [0.0, 0.0, 1.0])
    s = np.linalg.norm(axis)
    if s < 1e-7:
        return np.eye(3) if u[2] > 0 else np.diag([1.0, -1.0, -1.0])
    k = axis / s
    kx = np.array([[0, -k[2], k[1]], [k[2], 0, -k[0]], [-k[1], k[0], 0]])
    angle = math.atan2(s, u[2])
    return np.eye(3) + math.sin(angle) * kx + (1 - math.cos(angle)) * kx @ kx


def planar_cloud(n, density):
    p = int((math.pi / n) * density + 1.01)
    p = (p + 3) // 4 * 4
    cs = [(p - 1) / p * math.pi / n - k * 2 * math.pi / (n * p) for k in range(p)]
    return [np.array([-math.sin(c), 0.0, math.cos(c)]) for c in cs]


def ring_of(mask, angles, with_centre):
    """(azimuth in radians, speaker) of each ring position of a planar layout."""
    a, s, r = (math.radians(v) for v in angles)
    m = (s + r) / 2
    centre = with_centre and (mask & FC)
    fronts = [(a, FL)] + ([(0.0, FC)] if centre else []) + [(-a, FR)]
    surrounds = mask & ~(FL | FR | FC | LFE)
    if surrounds == 0:
        return fronts + [(-r, FR), (r, FL)]
    if surrounds in (SL | SR, BL | BR):
        left, right = (SL, SR) if surrounds == SL | SR else (BL, BR)
        return [(m, left)] + fronts + [(-m, right)]
    return [(r, BL), (s, SL)] + fronts + [(-s, SR), (-r, BR)]


def pan_pairwise(ring, mask, x, z, weight, power):
    positions = [np.array([-math.sin(az), math.cos(az)]) for az, _ in ring]
    count = len(ring)
    chosen = None
    for k in range(count):
        x1, z1 = positions[k]
        x2, z2 = positions[(k + 1) % count]
        det = x1 * z2 - z1 * x2
        g1 = (x * z2 - z * x2) / det
        g2 = (-x * z1 + z * x1) / det
        chosen = (k, g1, g2)
        if g1 >= 0 and g2 >= 0:
            break
    k, g1, g2 = chosen
    g1 += 2.0 ** -23
    g2 += 2.0 ** -23
    p = weight / (g1 * g1 + g2 * g2)
    power[channel_of(mask, ring[k][1])] += g1 * g1 * p
    power[channel_of(mask, ring[(k + 1) % count][1])] += g2 * g2 * p


def smallest_gap_rad(angles):
    gaps = [angles[0]] + [angles[i + 1] - angles[i] for i in range(len(angles) - 1)] + [360 - 2 * angles[-1]]
    return math.radians(min(gaps))


def pan_case(fields):
    in_mask, out_mask = int(fields[0]), int(fields[1])
    pos = np.array(fields[2:5])
    front, top = np.array(fields[5:8]), np.array(fields[8:11])
    spread, focus, centre, rule = fields[11], fields[12], fields[13], int(fields[14])
    angles = fields[15:18]
    side = np.cross(top, front)
    frame = np.column_stack([side, top, front])
    d = pos / np.linalg.norm(pos) if np.linalg.norm(pos) > 0 else np.array([0.0, 0.0, 1.0])
    m = onto_axis(pos)

    speakers = [b for b in bits(in_mask) if b != LFE]
    ring_speakers = [b for b in RING_RANK if b in speakers]
    f = len(ring_speakers)
    ambisonic = out_mask == 0
    out_channels = 4 if ambisonic else len([b for b in bits(out_mask) if b != LFE])
    cloud = planar_cloud(f, 1.0 / smallest_gap_rad(angles)) if spread > 0 else [np.array([0.0, 0.0, 1.0])]
    matrix = np.zeros((len(bits(in_mask)), out_channels))
    ring = None if ambisonic else ring_of(out_mask, angles, True)
    ring_without_centre = None if ambisonic else ring_of(out_mask, angles, False)
    for k, speaker in enumerate(ring_speakers):
        az = math.radians(CHANNEL_AZIMUTHS[f][k])
        turn = np.array([[math.cos(az), 0, -math.sin(az)], [0, 1, 0], [math.sin(az), 0, math.cos(az)]])
        row = np.zeros(out_channels)
        for point in cloud:
            v = narrow(point, 1.0 - focus) if (spread > 0 and focus > 0) else point
            if spread <= 0:
                v = d
            else:
                v = frame @ (turn @ v)
                if spread < 1:
                    v = m.T @ narrow(m @ v, spread)
            if ambisonic:
                row += np.array([1.0, -v[0], v[1], v[2]])
            elif rule == 1 and out_mask & ~LFE == FL | FR:
                x = min(max(v[0], -1.0), 1.0)
                right = (0.5 * x + 0.70710677 - 0.20710677 * x * x) ** 2
                row[1] += right
                row[0] += 0.0 if right > 1 else 1.0 - right
            elif (out_mask & FC) and centre < 1:
                pan_pairwise(ring, out_mask, v[0], v[2], centre, row)
                pan_pairwise(ring_without_centre, out_mask, v[0], v[2], 1.0 - centre, row)
            else:
                pan_pairwise(ring, out_mask, v[0], v[2], 1.0, row)
        row /= f * len(cloud)
        matrix[channel_of(in_mask, speaker)] = row if ambisonic else np.sqrt(row)
    return matrix


def main():
    for line in sys.stdin:
        fields = [float(v) for v in line.split()]
        if not fields:
            continue
        print(" ".join("%.9g" % v for v in pan_case(fields).ravel()))


if __name__ == "__main__":
    main()
