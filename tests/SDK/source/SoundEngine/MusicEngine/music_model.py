"""An independent model of what a music segment, track and playlist item answer, computed from the
same description the bank writer turns into a bank. Reads a JSON request on stdin and prints one
line per answer:

    sync KIND POSITION EXCLUDE FILTER FOUND POINT CUE
    window START LENGTH BEATS BARS GRIDLINES
    seed SEED                      (the engine's generator is seeded here)
    cue POSITION SKIP_ENTRY FILTER CUE_ID CUE_POSITION
    subtrack INDEX
    repeat COUNT
    callback FRAME TYPE            (the music callbacks of a play, frame by frame, in report order)

Times are samples at "rate"; marker positions relative to the entry cue as the queries give them.
The random draws follow the engine's 64-bit linear congruential generator: state = state x
0x5851F42D4C957F2D + 1 (mod 2^64), a draw is state >> 33.
"""

import json
import math
import random
import sys

MASK64 = (1 << 64) - 1


class Lcg:
    def __init__(self, seed):
        self.state = seed & MASK64

    def index(self, count):
        self.state = (self.state * 0x5851F42D4C957F2D + 1) & MASK64
        draw = self.state >> 33
        return 0 if count == 0 else draw % count


def half_away(value):
    return int(math.floor(abs(value) + 0.5)) * (1 if value >= 0 else -1)


class Segment:
    def __init__(self, description, rate):
        self.markers = [(m["id"], half_away(rate * m["position_ms"] * 0.001)) for m in description["markers"]]
        grid = description.get("grid", {})
        beat = 60.0 / grid.get("tempo", 120.0) * 4.0 / grid.get("beat_value", 4) * rate
        self.beat = math.ceil(beat)
        self.bar = math.ceil(grid.get("beats_per_bar", 4) * beat)
        self.period = math.ceil(rate * grid.get("period_ms", 0.0) * 0.001)
        self.offset = math.ceil(rate * grid.get("offset_ms", 0.0) * 0.001)
        self.entry = self.markers[0][1]
        self.active = self.markers[-1][1] - self.entry

    def relative(self, index):
        return self.markers[index][1] - self.entry

    def sync(self, kind, position, exclude, cue_filter):
        """(found, point, cue id)."""
        if position > self.active:
            return 0, 0, 0
        d = position + (1 if exclude else 0)
        if kind == 0:
            return 1, d, 0
        if kind in (1, 2, 3):
            period, origin = {1: (self.period, self.offset), 2: (self.bar, 0), 3: (self.beat, 0)}[kind]
            if period <= 0:
                point = d + 1
            else:
                point = origin + math.ceil((d - origin) / period) * period
                # exact integers: step to the first line at or after d
                while point - period >= d:
                    point -= period
                while point < d:
                    point += period
            return (1, point, 0) if point <= self.active else (0, 0, 0)
        if kind == 4:
            for index in range(1 if exclude else 0, len(self.markers)):
                ident = self.markers[index][0]
                if self.relative(index) >= position and cue_filter in (0, ident):
                    return 1, self.relative(index), ident
            return 1, self.active, self.markers[-1][0]
        if kind == 5:
            for index in range(1, len(self.markers) - 1):
                ident = self.markers[index][0]
                if self.relative(index) >= d and cue_filter in (0, ident):
                    return 1, self.relative(index), ident
            return 0, 0, 0
        if kind == 6:
            return (1, 0, self.markers[0][0]) if position == 0 and not exclude else (0, 0, 0)
        if kind == 7:
            return 1, self.active, self.markers[-1][0]
        return 0, 0, 0

    def window(self, start, length):
        end = min(start + length, self.active)
        start = max(start, 0)
        counts = []
        for period, origin in ((self.beat, 0), (self.bar, 0), (self.period, self.offset)):
            if period <= 0 or end <= start:
                counts.append(0)
                continue
            # every line origin + k x period that lies in [start, end)
            first = origin + math.ceil((start - origin) / period) * period
            counts.append(len(range(first, end, period)))
        return counts

    def callbacks(self, start, frame, frames):
        """(frame index, callback type) of every music callback of the frames [start + i x frame,
        start + (i + 1) x frame), in the order they are reported within a frame."""
        out = []
        for index in range(frames):
            low, high = start + index * frame, start + (index + 1) * frame
            for marker in range(1, len(self.markers) - 1):
                if low <= self.relative(marker) < high:
                    out.append((index, 0x2000))
            if low <= 0 < high:
                out.append((index, 0x400))
            beats, bars, lines = self.window(low, frame)
            out += [(index, 0x200)] * bars + [(index, 0x100)] * beats + [(index, 0x1000)] * lines
            if low <= self.active < high:
                out.append((index, 0x800))
        return out

    def random_cue(self, lcg, position, skip_entry, cue_filter):
        indexes = [i for i in range(len(self.markers) - 1) if self.relative(i) >= position]
        if skip_entry:
            indexes = [i for i in indexes if i != 0]
        candidates = [i for i in indexes if cue_filter == 0 or self.markers[i][0] == cue_filter or i == 0]
        if not candidates:
            return self.markers[0][0], 0
        pick = candidates[lcg.index(len(candidates))]
        return self.markers[pick][0], self.relative(pick)


def main():
    request = json.load(sys.stdin)
    rate = request["rate"]
    out = []
    segment = Segment(request["segment"], rate)
    for kind, position, exclude, cue_filter in request.get("sync", []):
        found, point, cue = segment.sync(kind, position, exclude, cue_filter)
        out.append("sync %d %d %d %d %d %d %d" % (kind, position, exclude, cue_filter, found, point, cue))
    windows = random.Random(request.get("window_seed", 1))
    for _ in range(request.get("windows", 0)):
        start = windows.randint(-segment.active // 4, segment.active + segment.active // 4)
        length = windows.randint(0, segment.active)
        out.append("window %d %d %d %d %d" % ((start, length) + tuple(segment.window(start, length))))
    seed = request.get("seed", 1)
    out.append("seed %d" % seed)
    lcg = Lcg(seed)
    for position, skip_entry, cue_filter in request.get("random_cues", []):
        cue, where = segment.random_cue(lcg, position, skip_entry, cue_filter)
        out.append("cue %d %d %d %d %d" % (position, skip_entry, cue_filter, cue, where))
    out.append("seed %d" % seed)
    lcg = Lcg(seed)
    for _ in range(request.get("subtracks", 0)):
        out.append("subtrack %d" % lcg.index(request["subtrack_count"]))
    played = request.get("callbacks")
    if played:
        for index, kind in segment.callbacks(played["start"], played["frame"], played["frames"]):
            out.append("callback %d %d" % (index, kind))
    repeat = request.get("repeat")
    if repeat:
        out.append("seed %d" % seed)
        lcg = Lcg(seed)
        count, low, high = repeat["count"], repeat["low"], repeat["high"]
        for _ in range(repeat["draws"]):
            lowest, highest = max(1, count + low), count + high
            if count == 0 or (low == 0 and high == 0) or lowest >= highest:
                value = count if count == 0 or (low == 0 and high == 0) else lowest
            else:
                value = lowest + lcg.index(highest - lowest + 1)
            out.append("repeat %d" % value)
    print("\n".join(out))


if __name__ == "__main__":
    main()
