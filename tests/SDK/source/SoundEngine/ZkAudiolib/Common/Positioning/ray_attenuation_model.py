"""numpy model of the ray attenuation and listener filters of the positioning maths.

Input (argv[1], JSON): {"attenuation": description as the bank writer takes it (or null),
"environment": {"obstruction": [volume, low-pass, high-pass], "occlusion": [...]} each curve
{"scaling", "points"} or null (disabled), "path": 0-2, "listener": id, "rays": [{"distance",
"emitter_angle", "occlusion", "obstruction", "occlusion_like", "obstruction_like", "listener"}]}.
Output: one line per ray "dry aux1 aux2 cone lp hp" (lp, hp -1 for another listener's ray), then a
line "v w". Curves of shapes 4 (linear) and 9 (constant) only; decibels to gain exactly (the
engine's fast form is within 0.25 %).
"""

import json
import math
import sys

import numpy as np

LINEAR, CONSTANT = 4, 9


def curve(description, volume):
    points = np.array([[p[0], p[1], p[2] if len(p) > 2 else LINEAR] for p in description["points"]],
                      dtype=np.float64)
    scaling = description.get("scaling", 0)
    if volume and scaling == 2:
        points[:, 1] += 1.0
        scaling = 0
    elif volume and scaling == 0:
        scaling = 4

    def evaluate(x):
        xs, ys, shapes = points[:, 0], points[:, 1], points[:, 2]
        if x <= xs[0]:
            y = ys[0]
        elif x >= xs[-1]:
            y = ys[-1]
        else:
            i = int(np.searchsorted(xs, x, side="right")) - 1
            t = (x - xs[i]) / (xs[i + 1] - xs[i])
            y = ys[i] if shapes[i] == CONSTANT else ys[i] + (ys[i + 1] - ys[i]) * t
        return 10.0 ** (y / 20.0) if scaling == 4 else y
    return evaluate


def main():
    case = json.loads(sys.argv[1])
    att = case.get("attenuation")
    roles = [None] * 7
    cone = None
    if att is not None:
        slots = att["map"]
        for role in range(7):
            if slots[role] != 255:
                roles[role] = curve(att["curves"][slots[role]], role < 3)
        if "cone" in att:
            c = att["cone"]
            cone = (math.radians(c["inside"]) / 2, math.radians(c["outside"]) / 2, c["volume"],
                    c["lowpass"], c["highpass"])
    env = {}
    for group, curves in case.get("environment", {}).items():
        env[group] = [None if d is None else curve(d, i == 0) for i, d in enumerate(curves)]

    def env_curve(group, index):
        return env.get(group, [None] * 3)[index]

    v = w = 100.0
    for ray in case["rays"]:
        d = ray["distance"]
        gains = [1.0, 1.0, 1.0]
        for role in range(3):
            if roles[role] is not None:
                gains[role] = roles[role](d)
        factor = 1.0
        if cone is not None:
            a = ray["emitter_angle"]
            inside, outside = cone[0], cone[1]
            factor = 0.0 if a <= inside else 1.0 if a >= outside else (a - inside) / (outside - inside)
            gains[0] *= 10.0 ** (cone[2] * factor / 20.0)
        p = max(ray["occlusion"], ray["occlusion_like"])
        q = max(ray["obstruction"], ray["obstruction_like"])
        if p != 0 and env_curve("occlusion", 0) is not None:
            gains = [g * env_curve("occlusion", 0)(p) for g in gains]
        if q != 0 and env_curve("obstruction", 0) is not None:
            gains[0] *= env_curve("obstruction", 0)(q)
        lp = hp = -1.0
        if ray["listener"] == case["listener"]:
            lp = factor * cone[3] if cone is not None else 0.0
            hp = factor * cone[4] if cone is not None else 0.0
            if roles[3] is not None:
                lp = max(lp, roles[3](d))
            if roles[4] is not None:
                hp = max(hp, roles[4](d))
            sources = [("occlusion", p)] + ([("obstruction", q)] if case["path"] == 0 else [])
            for group, percent in sources:
                if percent == 0:
                    continue
                if env_curve(group, 1) is not None:
                    lp = max(lp, env_curve(group, 1)(percent))
                if env_curve(group, 2) is not None:
                    hp = max(hp, env_curve(group, 2)(percent))
            v, w = min(v, lp), min(w, hp)
        print("%.9g %.9g %.9g %.9g %.9g %.9g" % (gains[0], gains[1], gains[2], factor, lp, hp))
    print("%.9g %.9g" % (v, w))


main()
