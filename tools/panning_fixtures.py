#!/usr/bin/python3
"""Reference values for the speaker-panning tests, written as text lines into one fixture file.

Run by the build with Debian's python3 (numpy and scipy):  panning_fixtures.py OUTPUT

Sections (one record per line, fields separated by spaces):
  sh ORDER X Y Z c0 c1 ...      real SN3D spherical harmonics in ACN order, from scipy's complex
                                harmonics (not from a recursion of our own); near a pole
                                (Z^2 >= 0.99) the engine keeps only the zonal terms, as Z^l
  pair MASK X Z g0 g1 ...       pairwise power gains of a direction on the planar layout of MASK
                                at the default speaker angles (ring model in double precision)
  vbap MASK AZ EL g0 g1 ...     VBAP power gains (ComputeGainsForAngles) on the layout of MASK,
                                modelling the engine's fast trigonometry and triangulation
"""
import math
import sys

import numpy as np
from scipy.special import sph_harm

F = np.float32

# ---------------------------------------------------------------- spherical harmonics


def real_sn3d(order, X, Y, Z):
    azimuth = math.atan2(Y, X)
    polar = math.acos(max(-1.0, min(1.0, Z)))
    out = []
    for l in range(order + 1):
        for m in range(-l, l + 1):
            am = abs(m)
            # scipy: sph_harm(m, l, azimuth, polar), orthonormal (N3D times 1/sqrt(4 pi)) with the
            # Condon-Shortley phase. Real SN3D: remove the phase and the 4 pi / (2l + 1) scale.
            y = sph_harm(am, l, azimuth, polar)
            scale = math.sqrt(4.0 * math.pi / (2 * l + 1)) * (-1) ** am
            if m == 0:
                value = scale * y.real
            elif m > 0:
                value = scale * math.sqrt(2.0) * y.real
            else:
                value = scale * math.sqrt(2.0) * y.imag
            out.append(value)
    if order >= 2 and Z * Z >= 0.99:
        for l in range(2, order + 1):
            for n in range(l * l, (l + 1) * (l + 1)):
                out[n] = 0.0
            out[l * l + l] = Z ** l
    return out


def sh_directions():
    rng = np.random.default_rng(20240611)
    dirs = [(1, 0, 0), (0, 1, 0), (0, 0, 1), (0, 0, -1), (-1, 0, 0), (0.6, -0.8, 0.0)]
    # Just inside and outside the pole rule.
    for z in (0.994, 0.996, -0.9955, 0.98):
        r = math.sqrt(1 - z * z)
        dirs.append((r * math.cos(0.7), r * math.sin(0.7), z))
    for v in rng.normal(size=(14, 3)):
        v = v / np.linalg.norm(v)
        dirs.append(tuple(float(c) for c in v))
    return dirs


# ---------------------------------------------------------------- planar rings and pairwise panning

DEG = math.pi / 180.0
ANGLES = (45.0 * DEG, 90.0 * DEG, 135.0 * DEG)
HEIGHT = 54.7 * DEG


def ring_of(mask):
    a, s, r = ANGLES
    m = 0.5 * (s + r)
    # (azimuth, speaker bit) in ring order
    rings = {
        0x3: [(a, 0x1), (-a, 0x2), (-r, 0x2), (r, 0x1)],
        0x7: [(a, 0x1), (0.0, 0x4), (-a, 0x2), (-r, 0x2), (r, 0x1)],
        0x603: [(m, 0x200), (a, 0x1), (-a, 0x2), (-m, 0x400)],
        0x607: [(m, 0x200), (a, 0x1), (0.0, 0x4), (-a, 0x2), (-m, 0x400)],
        0x633: [(r, 0x10), (s, 0x200), (a, 0x1), (-a, 0x2), (-s, 0x400), (-r, 0x20)],
        0x637: [(r, 0x10), (s, 0x200), (a, 0x1), (0.0, 0x4), (-a, 0x2), (-s, 0x400), (-r, 0x20)],
    }
    return rings[mask]


def channel_of(mask, bit):
    return bin(mask & (bit - 1) & ~0x8).count("1")


def pairwise(mask, x, z, weight=1.0):
    ring = ring_of(mask)
    n = len(ring)
    pos = [(-math.sin(az), math.cos(az)) for az, _ in ring]
    chosen = None
    for k in range(n):
        (x1, z1), (x2, z2) = pos[k], pos[(k + 1) % n]
        # Solve [x1 x2; z1 z2] g = (x, z).
        g1, g2 = np.linalg.solve(np.array([[x1, x2], [z1, z2]]), np.array([x, z]))
        chosen = (k, g1, g2)
        if g1 >= 0 and g2 >= 0:
            break
    k, g1, g2 = chosen
    eps = 2.0 ** -23
    g1 += eps
    g2 += eps
    p = weight / (g1 * g1 + g2 * g2)
    gains = [0.0] * bin(mask).count("1")
    gains[channel_of(mask, ring[k][1])] += g1 * g1 * p
    gains[channel_of(mask, ring[(k + 1) % n][1])] += g2 * g2 * p
    return gains


# ---------------------------------------------------------------- VBAP with the engine's fast maths


def fsin(x):
    x = F(x)
    s = F(1.2732395) * x - F(0.4052847) * x * abs(x)
    return F(s + F(0.225) * (s * abs(s) - s))


def fcos(x):
    x = F(x)
    return fsin(x + F(math.pi / 2)) if x <= F(math.pi / 2) else fsin(x - F(3 * math.pi / 2))


def fatan2(y, x):
    y, x = F(y), F(x)
    if x == 0:
        return F(math.pi / 2) if y > 0 else (F(-math.pi / 2) if y < 0 else F(0))
    t = y / x
    if abs(t) < 1:
        a = t / (F(1) + F(0.28) * t * t)
        if x < 0:
            a = a - F(math.pi) if y < 0 else a + F(math.pi)
        return F(a)
    a = F(math.pi / 2) - t / (t * t + F(0.28))
    if y < 0:
        a -= F(math.pi)
    return F(a)


def fasin(v):
    g = min(abs(F(v)), F(1))
    r = ((((((F(84.31466) * g - F(242.71996)) * g + F(262.81305)) * g - F(131.11235)) * g + F(29.66154)) * g
          - F(1.4518384)) * g + F(0.0328437))
    return F(-r) if v < 0 else F(r)


def wrap(az, el):
    while az > math.pi:
        az -= 2 * math.pi
    while az < -math.pi:
        az += 2 * math.pi
    while el > math.pi / 2:
        el -= math.pi
    while el < -math.pi / 2:
        el += math.pi
    return az, el


def vec(az, el):
    ce = fcos(el)
    return np.array([fcos(az) * ce, fsin(az) * ce, fsin(el)], dtype=np.float64)


def second(v):
    return (float(fatan2(v[2], -v[0])), float(fasin(-v[1])))


def speaker_directions(mask):
    a, s, r = ANGLES
    m = 0.5 * (s + r)
    both = (mask & 0x630) == 0x630
    table = {
        0x1: (a, 0), 0x2: (-a, 0), 0x4: (0, 0), 0x10: (r if both else m, 0), 0x20: (-r if both else -m, 0),
        0x200: (s if both else m, 0), 0x400: (-s if both else -m, 0), 0x800: (0, math.pi / 2),
        0x1000: (a, HEIGHT), 0x2000: (0, HEIGHT), 0x4000: (-a, HEIGHT), 0x8000: (r, HEIGHT),
        0x10000: (math.pi, HEIGHT), 0x20000: (-r, HEIGHT),
    }
    return [table[1 << b] for b in range(20) if mask & (1 << b) and (1 << b) != 0x8]


class Vbap:
    def __init__(self, mask):
        dirs = speaker_directions(mask)
        self.n = len(dirs)
        self.vectors, proj1, proj2 = [], [], []
        for az, el in dirs:
            az, el = wrap(az, el)
            v = vec(az, el)
            self.vectors.append(v)
            proj1.append((float(F(az)), float(F(el))))
            proj2.append(second(v))
        below = np.array([0.0, 0.0, -1.0])
        self.vectors.append(below)
        proj1.append((0.0, -math.pi / 2))
        proj2.append(second(below))
        self.main = [[], []]
        self.virtual = [[], []]
        for p, pts in enumerate((proj1, proj2)):
            self.triangulate(p, pts)

    def triangulate(self, p, pts):
        count = self.n + 1
        for a in range(count):
            for b in range(a + 1, count):
                for c in range(b + 1, count):
                    (ax, ay), (bx, by), (cx, cy) = pts[a], pts[b], pts[c]
                    o = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax)
                    if o == 0:
                        continue
                    empty = True
                    for d in range(count):
                        if d in (a, b, c):
                            continue
                        dx, dy = pts[d]
                        m = np.array([[ax - dx, ay - dy, (ax - dx) ** 2 + (ay - dy) ** 2],
                                      [bx - dx, by - dy, (bx - dx) ** 2 + (by - dy) ** 2],
                                      [cx - dx, cy - dy, (cx - dx) ** 2 + (cy - dy) ** 2]])
                        det = np.linalg.det(m) * (1 if o > 0 else -1)
                        if det > 0.01:
                            empty = False
                            break
                    if not empty:
                        continue
                    key = (a, b, c)
                    if p == 1 and any(key == t[0] for t in self.main[0] + self.virtual[0]):
                        continue
                    d2 = 2 * o
                    a2, b2, c2 = ax * ax + ay * ay, bx * bx + by * by, cx * cx + cy * cy
                    ux = (a2 * (by - cy) + b2 * (cy - ay) + c2 * (ay - by)) / d2
                    uy = (a2 * (cx - bx) + b2 * (ax - cx) + c2 * (bx - ax)) / d2
                    r2 = (ax - ux) ** 2 + (ay - uy) ** 2 + 0.05
                    (self.virtual if c == self.n else self.main)[p].append((key, (ux, uy), r2))

    def gains_for_angles(self, az, el):
        az, el = wrap(az, el)
        d = vec(az, el)
        points = [(az, el), second(d)]
        lists = self.main if el > 0 else self.virtual
        gains = np.zeros(self.n)
        for p in range(2):
            for key, (ux, uy), r2 in lists[p]:
                px, py = points[p]
                if (px - ux) ** 2 + (py - uy) ** 2 > r2:
                    continue
                if el > 0:
                    L = np.column_stack([self.vectors[k] for k in key])
                    if abs(np.linalg.det(L)) < 1e-38:
                        continue
                    g = np.linalg.solve(L, d)
                    if np.any(g < -1e-5) or np.sum(g * g) < 1e-38:
                        continue
                    for k, gk in zip(key, g):
                        gains[k] += gk * gk / np.sum(g * g)
                else:
                    i, j = key[0], key[1]
                    L = np.array([[self.vectors[i][0], self.vectors[j][0]], [self.vectors[i][1], self.vectors[j][1]]])
                    if abs(np.linalg.det(L)) < 1e-38:
                        continue
                    g = np.linalg.solve(L, d[:2])
                    if np.any(g < -1e-5) or np.sum(g * g) < 2.0 ** -23:
                        continue
                    gains[i] += g[0] ** 2 / np.sum(g * g)
                    gains[j] += g[1] ** 2 / np.sum(g * g)
        return gains


def fmt(values):
    return " ".join("%.9g" % v for v in values)


def main():
    out = open(sys.argv[1], "w")
    for order in range(1, 6):
        for X, Y, Z in sh_directions():
            out.write("sh %d %s %s\n" % (order, fmt((X, Y, Z)), fmt(real_sn3d(order, X, Y, Z))))
    for mask in (0x3, 0x7, 0x603, 0x607, 0x633, 0x637):
        for deg in range(-180, 180, 15):
            az = (deg + 7) * DEG  # off the speakers, both sides, every sector
            x, z = -math.sin(az), math.cos(az)
            out.write("pair %d %s %s\n" % (mask, fmt((x, z)), fmt(pairwise(mask, x, z))))
    rng = np.random.default_rng(7)
    for mask in (0x2D637, 0x5607, 0x3FE37):
        vbap = Vbap(mask)
        for _ in range(40):
            az = float(rng.uniform(-math.pi, math.pi))
            el = float(rng.uniform(-0.6, 1.4))
            out.write("vbap %d %s %s\n" % (mask, fmt((az, el)), fmt(vbap.gains_for_angles(az, el))))
    out.close()


if __name__ == "__main__":
    main()
