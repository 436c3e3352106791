"""Names the tone bursts a run of playlist posts played, predicts them with a model of step-mode
selection, and reads the containers' history blob with struct against the model's histories.

Arguments: CAPTURE CHANNELS CASES BLOB
  CAPTURE   raw float32 interleaved samples of the main output, POST_FRAMES frames per post
  CASES     JSON: {"rate": Hz, "post_frames": n, "tones": [Hz, ...], "cases": [case, ...]}, a case
            {"name", "seed", "playlist": the bank writer's playlist item, "loaded": [sound ids],
             "objects": [the game object of each post]}; a sound id's last digit is its tone index
  BLOB      the bytes GetContainerHistory wrote after the last post
Prints per case "NAME heard T T ...", "NAME model T T ..." (tone indices; - for silence, ? for a
sound that is none of the tones) and "NAME history ok" or "NAME history <what differs>"; then
"blob ok" or "blob bad <what is wrong>".

The model follows the selection rules as the playlist's users rely on them, in Python's unbounded
integers: the generator x = x * 0x5851F42D4C957F2D + 1 mod 2^64 draws x >> 33; the step mode plays
one entry per post, random (standard with an avoid-repeat window, or shuffled in cycles, weighted
or not) or in sequence (wrapping, or bouncing at the end), its history kept once for every game
object or per game object; an entry whose sound is not loaded is passed over (random standard
mode probes the following entries instead of drawing again).
"""
import json
import os
import struct
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "Events"))
from action_draws_oracle import Generator  # noqa: E402  (the engine's generator in big integers)

DEFAULT_WEIGHT = 50000
GLOBAL_OBJECT = 0xFFFFFFFFFFFFFFFF


class RandomHistory:
    def __init__(self, weights, weighted):
        n = len(weights)
        self.n = n
        self.total = self.remaining = sum(weights) if weighted else n * DEFAULT_WEIGHT
        self.selectable = self.cycle = n
        self.recent = []
        self.played = [False] * n
        self.blocked = [False] * n


class SequenceHistory:
    def __init__(self):
        self.forward = 1
        self.last = -1


class Playlist:
    def __init__(self, item, loaded):
        children = item.get("children", [])
        entries = item.get("entries")
        if entries is None:
            entries = [[child, DEFAULT_WEIGHT] for child in children]
        self.ids = [e[0] if isinstance(e, list) else e for e in entries]
        self.weights = [e[1] if isinstance(e, list) else DEFAULT_WEIGHT for e in entries]
        self.loaded = [child in loaded for child in self.ids]
        self.random = item.get("play_mode", "sequence") == "random"
        self.random_type = item.get("random_type", 0)
        self.avoid = item.get("avoid_repeat", 0)
        self.weighted = any(w != DEFAULT_WEIGHT for w in self.weights)
        self.reverse = item.get("reverse_at_end", False)
        self.global_scope = item.get("global_scope", True)
        self.histories = {}

    def history(self, obj):
        key = GLOBAL_OBJECT if self.global_scope else obj
        if key not in self.histories:
            self.histories[key] = (RandomHistory(self.weights, self.weighted) if self.random
                                   else SequenceHistory())
        return self.histories[key]

    # --- random ---

    def eligible(self, h, i):
        if self.random_type == 0:
            return self.avoid == 0 or not h.played[i]
        return not h.blocked[i] and not h.played[i]

    def pick(self, h, generator):
        n = h.n
        if h.cycle == 0:
            h.cycle = n
            h.blocked = [False] * n
            h.selectable = n
            if self.random_type != 0:
                h.remaining = h.total - sum(self.weights[r] for r in h.recent)
            h.selectable -= len(h.recent)
        chosen = None
        if self.weighted:
            r = generator.draw() % h.remaining
            running = -1
            for i in range(n):
                if self.eligible(h, i):
                    running += self.weights[i]
                    if running >= r:
                        chosen = i
                        break
        else:
            r = generator.draw() % h.selectable
            candidates = [i for i in range(n) if self.eligible(h, i)]
            chosen = candidates[r]
        if self.random_type == 0:
            if not h.blocked[chosen]:
                h.blocked[chosen] = True
                h.cycle -= 1
            self.remember(h, chosen)
            return chosen
        h.remaining -= self.weights[chosen]
        h.selectable -= 1
        h.cycle -= 1
        h.blocked[chosen] = True
        h.recent.append(chosen)
        h.played[chosen] = True
        if len(h.recent) > min(max(self.avoid, 1), n - 1):
            oldest = h.recent.pop(0)
            h.played[oldest] = False
            if not h.blocked[oldest]:
                h.remaining += self.weights[oldest]
                h.selectable += 1
        return chosen

    def remember(self, h, chosen):
        if self.avoid == 0:
            return
        h.selectable -= 1
        h.recent.append(chosen)
        h.played[chosen] = True
        h.remaining -= self.weights[chosen]
        if len(h.recent) > min(self.avoid, h.n - 1):
            oldest = h.recent.pop(0)
            h.played[oldest] = False
            h.remaining += self.weights[oldest]
            h.selectable += 1

    def probe(self, h, previous):
        for step in range(1, h.n + 1):
            i = (previous + step) % h.n
            if self.eligible(h, i):
                self.remember(h, i)
                return i
        return None

    # --- sequence ---

    def step(self, h):
        n = len(self.ids)
        if h.forward:
            if h.last + 1 < n:
                h.last += 1
            elif self.reverse:
                h.forward = 0
                h.last -= 1
            else:
                h.last = 0
        elif h.last > 0:
            h.last -= 1
        else:
            h.last = 1
            h.forward = 1
        return h.last

    def select(self, obj, generator):
        """The entry index one post plays, None when nothing plays."""
        n = len(self.ids)
        if n == 0:
            return None
        if n == 1:
            return 0 if self.loaded[0] else None
        h = self.history(obj)
        index = None
        for attempt in range(n):
            if not self.random:
                index = self.step(h)
            elif attempt == 0 or self.random_type != 0:
                index = self.pick(h, generator)
            else:
                index = self.probe(h, index)
            if index is None:
                return None
            if self.loaded[index]:
                return index
        return None


def heard_tones(block, rate, tones):
    """The tone index of one post's capture (channel 0), - when silent, ? when no tone fits."""
    if np.max(np.abs(block)) < 1e-3:
        return "-"
    spectrum = np.abs(np.fft.rfft(block * np.hanning(len(block))))
    peak = float(np.argmax(spectrum)) * rate / len(block)
    nearest = min(range(len(tones)), key=lambda k: abs(tones[k] - peak))
    return str(nearest) if abs(tones[nearest] - peak) < 0.03 * tones[nearest] else "?"


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def values(self, fmt):
        size = struct.calcsize(fmt)
        if self.at + size > len(self.data):
            raise ValueError("short at byte %d" % self.at)
        values = struct.unpack_from(fmt, self.data, self.at)
        self.at += size
        return values

    def take(self, fmt):
        values = self.values(fmt)
        return values if len(values) > 1 else values[0]


def bits(flags, n):
    return [bool(flags[i >> 3] >> (i & 7) & 1) for i in range(n)]


def read_body(body, random):
    """{object id: history fields} of one container's bytes."""
    reader = Reader(body)
    play_mode = reader.take("<B")
    histories = {}
    for _ in range(reader.take("<I")):
        obj = reader.take("<Q")
        if random:
            n, total, remaining, selectable, cycle, k = reader.take("<HiiHHH")
            played = bits(reader.take("<%ds" % ((n + 7) // 8)), n)
            blocked = bits(reader.take("<%ds" % ((n + 7) // 8)), n)
            recent = list(reader.values("<%dH" % k))
            histories[obj] = (n, total, remaining, selectable, cycle, recent, played, blocked)
        else:
            histories[obj] = reader.take("<Bh")
    if reader.at != len(body):
        raise ValueError("%d bytes after the records" % (len(body) - reader.at))
    return play_mode, histories


def model_body(playlist):
    histories = {}
    for obj, h in playlist.histories.items():
        if playlist.random:
            histories[obj] = (h.n, h.total, h.remaining, h.selectable, h.cycle, h.recent, h.played, h.blocked)
        else:
            histories[obj] = (h.forward, h.last)
    return (0 if playlist.random else 1), histories


def main():
    capture_path, channels, cases_path, blob_path = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    with open(cases_path) as f:
        description = json.load(f)
    rate, post_frames, tones = description["rate"], description["post_frames"], description["tones"]
    samples = np.fromfile(capture_path, dtype=np.float32).reshape(-1, channels)[:, 0].astype(np.float64)
    post = 0
    playlists = {}
    for case in description["cases"]:
        playlist = Playlist(case["playlist"], set(case["loaded"]))
        playlists[case["playlist"]["id"]] = (case["name"], playlist)
        generator = Generator(case["seed"])
        heard, model = [], []
        for obj in case["objects"]:
            block = samples[post * post_frames:(post + 1) * post_frames]
            post += 1
            heard.append(heard_tones(block, rate, tones) if len(block) == post_frames else "-")
            index = playlist.select(obj, generator)
            model.append("-" if index is None else str(playlist.ids[index] % 10))
        print(case["name"], "heard", " ".join(heard))
        print(case["name"], "model", " ".join(model))

    with open(blob_path, "rb") as f:
        blob = f.read()
    reader = Reader(blob)
    seen = {}
    try:
        while reader.at < len(blob):
            container, length = reader.take("<II")
            seen[container] = reader.take("<%ds" % length)
    except ValueError as error:
        print("blob bad", error)
        return
    for container, (name, playlist) in playlists.items():
        if container not in seen:
            print(name, "history missing from the blob")
            continue
        try:
            found = read_body(seen[container], playlist.random)
        except ValueError as error:
            print(name, "history", error)
            continue
        expected = model_body(playlist)
        print(name, "history", "ok" if found == expected else "%r, the model %r" % (found, expected))
    print("blob ok")


if __name__ == "__main__":
    main()
