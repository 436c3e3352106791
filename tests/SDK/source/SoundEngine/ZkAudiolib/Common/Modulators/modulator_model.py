"""Models of the three modulator kinds, frame by frame, written from their description with numpy
(single precision where the engine computes in single precision) and Python integers (the
random generators, the sample positions).

Argument: a JSON list of cases. Each case prints one line per frame at control rate
("value peak state ideal") and, at audio rate, one line per sample ("value ideal"); "ideal" is the
mathematical sine (0.5 + 0.5 sin t) x depth for sine LFOs, else the value again.

  {"kind": "lfo", "waveform", "smoothing" (%), "pulse_width" (%), "phase" (degrees), "attack"
   (samples), "depth" (%), "frequency" (Hz), "seed" (the global
   generator's state before the instance's parameters are computed), "audio", "frames",
   "buffers"}
  {"kind": "envelope", "attack", "curve", "decay", "sustain", "release", "release_frame"
   (samples after the start; null: none), "start_level", "start_offset", "current" (the value
   before the first frame), "elapsed" (before the first frame), "audio", "frames", "buffers"}
  {"kind": "time", "duration" (samples), "loops" (0 endless), "rate", "delay" (samples),
   "stop_playback", "audio", "frames", "buffers", "sample_rate"}
"""
import json
import math
import sys

import numpy as np

F = np.float32
MULTIPLIER = 0x5851F42D4C957F2D
MASK64 = (1 << 64) - 1
NEVER = (1 << 63) - 1
TWO_PI = F(6.2831855)
PI = F(3.1415927)
HALF_PI = F(1.5707964)
THREE_HALF_PI = F(4.712389)


def lcg(state):
    return (state * MULTIPLIER + 1) & MASK64


# --- LFO ---

def half_sine(x):
    x2 = x * x
    return x * (F(0.4999983) - F(0.08332414) * x2 + F(0.0041531627) * x2 * x2
                - F(9.181827e-5) * x2 * x2 * x2)


def unit_sine(t):
    if t < HALF_PI:
        return F(0.5) + half_sine(t)
    if t < PI:
        return F(0.5) + half_sine(PI - t)
    if t < THREE_HALF_PI:
        return F(0.5) - half_sine(t - PI)
    return F(0.5) - half_sine(TWO_PI - t)


class Lfo:
    def __init__(self, case):
        self.waveform = case["waveform"]
        f = F(case["frequency"])
        # Percentages become fractions as the engine makes them: value x 0.01 in single precision.
        s = F(case["smoothing"]) * F(0.01)
        self.pulse_width = F(case["pulse_width"]) * F(0.01)
        self.depth = F(case["depth"]) * F(0.01)
        self.attack = case["attack"]
        increment = F(1.0) if f >= F(48000) else f / F(48000)
        if self.waveform == 0:
            increment = increment * TWO_PI
        self.increment = increment
        self.b, self.g = F(0), F(1)
        if s != 0:
            w = np.cos(np.exp(-np.log(F(24000) / min(f, F(48000))) * s) * F(24000) / F(48000) * TWO_PI,
                       dtype=F)
            c = F(2) - w
            self.b = np.sqrt(c * c - F(1), dtype=F) - c
            self.g = self.b + F(1)
        self.period = TWO_PI if self.waveform == 0 else F(1)
        phase = self.period * F(case["phase"]) * F(0.0027777778)
        phase += F(0.25) if self.waveform == 1 else F(0.5) if self.waveform == 3 else F(0)
        if phase < 0:
            phase += self.period
        elif phase >= self.period:
            phase -= self.period
        if self.waveform != 5:
            phase = np.fmod(phase, self.period, dtype=F)
        self.t = F(phase)
        self.y = F(0)
        state = lcg(case["seed"])  # the global generator's one step
        self.random = lcg(state >> 33)
        self.audio = case["audio"]
        self.frames = case["frames"]
        self.elapsed = 0

    def step(self):
        inc = self.increment if self.increment > F(1e-8) else F(1e-8)
        self.t = F(self.t + inc)
        if self.t >= self.period:
            self.t = F(self.t - self.period)
            if self.waveform == 5:
                self.random = lcg(self.random)

    def sample(self, depth):
        t, g, b = self.t, self.g, self.b
        w = self.waveform
        if w == 0:
            return unit_sine(t) * depth, F((0.5 + 0.5 * math.sin(float(t))) * float(depth))
        if w == 1:
            self.y = g * (F(2) * t if t < F(0.5) else F(2) * (F(1) - t)) - b * self.y
            value = self.y * depth
        elif w == 2:
            self.y = g * depth - b * self.y if t < self.pulse_width else -(b * self.y)
            value = self.y
        elif w == 3:
            self.y = g * (t * depth) - b * self.y
            value = self.y
        elif w == 4:
            self.y = g * ((F(1) - t) * depth) - b * self.y
            value = self.y
        else:
            self.y = g * (F(self.random >> 33) * F(4.656613e-10) * depth) - b * self.y
            value = self.y
        return value, value

    def frame(self, out):
        n = self.frames
        self.elapsed += n
        e, a, d = self.elapsed, self.attack, self.depth
        d0 = F(e - n) * d / F(a) if e - n < a else d
        if self.audio:
            d1 = F(e) * d / F(a) if e < a else d
            step = (d1 - d0) / F(n)
            depth = d0
            for _ in range(n):
                depth = F(depth + step)
                self.step()
                value, ideal = self.sample(depth)
                out.append("%.9g %.9g" % (value, ideal))
        else:
            inc = self.increment if self.increment > F(1e-8) else F(1e-8)
            self.t = F(self.t + F(n - 1) * inc)
            if self.t >= self.period:
                wraps = np.floor(self.t / self.period, dtype=F)
                self.t = F(self.t - wraps * self.period)
                if self.waveform == 5:
                    for _ in range(int(wraps)):
                        self.random = lcg(self.random)
            self.step()
            value, ideal = self.sample(d0)
            out.append("%.9g %.9g -1 %.9g" % (value, value, ideal))
        if self.waveform == 0:
            self.t = np.fmod(self.t, TWO_PI, dtype=F)
        elif self.waveform != 5:
            self.t = np.fmod(self.t, F(1), dtype=F)


# --- Envelope ---

class Envelope:
    """Segments of the attack (two halves), decay, sustain and release over sample positions;
    the release runs on a line from its starting level to 0 at its end (shortened by the blend
    when it starts before the decay ends)."""

    def __init__(self, case):
        self.case = case
        self.current = F(case.get("current", 0.0))
        self.elapsed = case.get("elapsed", 0)
        self.audio = case["audio"]
        self.n = case["frames"]

    def length(self, x):
        return (x + 2) // 4 * 4 if self.audio else x

    def timeline(self):
        c = self.case
        s = c["start_offset"] // 4 * 4
        h = self.length(c["attack"] // 2)
        decay = self.length(c["decay"])
        release = self.length(c["release"])
        k, level_l, start = F(c["curve"]), F(c["sustain"]), F(c["start_level"])
        rf = c["release_frame"]
        r = NEVER if rf is None else s + self.length(rf)
        p = self.elapsed - self.n
        if start > 0:
            if start <= k:
                skip = int(float(h) * float(start) / float(k))
            elif k >= 1:
                skip = 2 * h
            else:
                skip = int(h + float(h) * float(F(start - k)) / float(F(F(1) - k)))
            skip = self.length(skip)
            p += skip
            if r != NEVER:
                r += skip
        decay_end = s + 2 * h + decay
        shortened = 0
        if r < decay_end:
            x = r - s
            if h == 0:
                reached = F(1)
            elif x <= h:
                reached = F(x) * k / F(h)
            else:
                reached = k + F(min(x, 2 * h) - h) * (F(1) - k) / F(h)
            if reached > level_l and level_l < 1:
                blend = int(float(decay) * float(F(reached - level_l)) / float(F(F(1) - level_l)))
                shortened = min(release, decay_end - r, blend) // 2
        release_end = NEVER if r == NEVER else r + release - shortened
        slopes = {
            "a1": k / F(h) if h else F(0),
            "a2": (F(1) - k) / F(h) if h else F(0),
            "decay": (level_l - F(1)) / F(decay) if decay else F(0),
        }
        return dict(s=s, h=h, decay_end=decay_end, r=r, release_end=release_end, L=level_l,
                    start=start, slopes=slopes), p

    @staticmethod
    def segment(line, x):
        if x >= line["r"]:
            return ("release", line["release_end"]) if x < line["release_end"] else ("ended", NEVER)
        if x < line["s"]:
            return "before", min(line["s"], line["r"])
        if x < line["s"] + line["h"]:
            return "a1", min(line["s"] + line["h"], line["r"])
        if x < line["s"] + 2 * line["h"]:
            return "a2", min(line["s"] + 2 * line["h"], line["r"])
        if x < line["decay_end"]:
            return "decay", min(line["decay_end"], line["r"])
        return "sustain", line["r"]

    @staticmethod
    def slope(line, kind, x, level):
        if kind == "release":
            return F(-level / F(line["release_end"] - x))
        return line["slopes"].get(kind, F(0))

    def frame(self, out):
        self.elapsed += self.n
        line, p = self.timeline()
        if self.audio:
            self.audio_frame(line, p, out)
        else:
            self.control_frame(line, p, out)

    def control_frame(self, line, p, out):
        level = self.current if p != 0 else line["start"]
        peak = max(level, F(0))
        left, state = self.n, -1
        while left > 0:
            kind, end = self.segment(line, p)
            if kind == "ended":
                level, state = F(0), 3
                break
            run = min(left, end - p)
            if kind == "sustain":
                level = line["L"]
            elif kind == "release" and p + run == line["release_end"]:
                level = F(0)
            else:
                level = F(level + self.slope(line, kind, p, level) * F(run))
            p += run
            left -= run
            peak = max(peak, level)
        self.current = level
        out.append("%.9g %.9g %d %.9g" % (level, peak, state, level))

    def audio_frame(self, line, p, out):
        level = line["start"]
        if p != 0 and p - 1 >= line["s"]:
            kind, end = self.segment(line, p - 1)
            if kind == "sustain":
                level = line["L"]
            elif kind == "ended":
                level = F(0)
            else:
                level = F(self.current + self.slope(line, kind, p - 1, self.current))
                if end == p:
                    level = F(min(max(level, F(0)), F(1)))
        samples = []
        while len(samples) < self.n:
            kind, end = self.segment(line, p)
            if kind == "ended":
                samples += [F(0)] * (self.n - len(samples))
                break
            run = min(self.n - len(samples), end - p)
            if kind == "before":
                samples += [F(0)] * run
            elif kind == "sustain":
                samples += [line["L"]] * run
                level = line["L"]
            else:
                slope = self.slope(line, kind, p, level)
                samples += [F(level + F(i) * slope) for i in range(run)]
                level = F(level + F(run) * slope)
                if p + run == end:
                    level = F(min(max(level, F(0)), F(1)))
            p += run
        self.current = samples[-1]
        for value in samples:
            out.append("%.9g %.9g" % (value, value))


# --- Time ---

class Time:
    def __init__(self, case):
        self.c = case
        self.delay = case["delay"]
        self.started = False
        self.elapsed = 0
        d, loops = case["duration"], case["loops"]
        self.total = NEVER if loops == 0 else loops * d
        self.end = self.total if case["stop_playback"] else NEVER

    def frame(self, out):
        c = self.c
        n = c["frames"]
        if self.delay > 0:
            self.delay = max(0, self.delay - n)
        elif not self.started:
            self.started = True
        else:
            self.elapsed += int(n * c["rate"] + 0.5)
        d, e = c["duration"], self.elapsed
        state = -1
        if e >= self.end:
            value, state = d / c["sample_rate"], 3
        elif d == 0:
            value = 0.0
        else:
            if d < e < self.total:
                e %= d
            value = min(e, d) / c["sample_rate"]
        value = float(F(value))
        if c["audio"]:
            out.extend(["%.9g %.9g" % (value, value)] * n)
        else:
            out.append("%.9g %.9g %d %.9g" % (value, max(value, 0.0), state, value))


MODELS = {"lfo": Lfo, "envelope": Envelope, "time": Time}


def main():
    out = []
    for case in json.loads(sys.argv[1]):
        model = MODELS[case["kind"]](case)
        for _ in range(case["buffers"]):
            model.frame(out)
    sys.stdout.write("\n".join(out) + "\n")


main()
