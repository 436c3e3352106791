#!/usr/bin/python3
"""A cue flying along a straight path past the listener, as heard against its model, frame by frame.

The model: the cue's media as the bank stores it (tests/tools/bank_media.py), started at capture
frame "start", heard on each channel at the gain of its position: the attenuation's dry curve at the
position's distance times the three-dimensional panning (positioned_tone_model.py; a listener at
the origin facing +z, +x to its right). The position of the cue's frame k (from 0) lies
min(k + 1, frames) / frames of the way from the path's first vertex to its second: the play starts
its path player in the engine frame it starts in, and the player steps to each frame's number
before that frame is rendered, so the first frame heard is already one step along. The matrix of
frame k ramps linearly across the frame from that of frame k - 1 to its own (sample n of the frame
at n / frame of the way); the first frame has no frame before and holds its own.

Argument: one JSON object
  {"bank", "media", "capture", "channels", "start", "frame", "from": [x, y, z], "to": [x, y, z],
   "frames", "curve": [x0, db0, x1, db1], "rule", "angles": [a1, a2, a3], "tones": [hz, ...],
   "left_gains": FILE, "others": [{"media", "start", "gains": FILE}]}
With "left_gains" the model only writes the left gain of each of the cue's samples into FILE (raw
float64) and prints nothing; "capture", "channels" and "start" may then be left out. "tones" is
optional. Without it each level is the root mean square of the frame (the whole band);
with it, the amplitude of the least-squares sine at the first tone fitted together with sines at
the others (tones of other sounds playing) and a constant: the level band-limited to the cue's tone.
"others" (optional) are unpositioned cues heard meanwhile, added to the model at the centre gain of
a mono sound on both channels from their capture frame "start" on, times their own gain for each
sample ("gains", raw float64): sounds whose noise reaches the band of the cue's tone.
Prints one line per whole frame of the media: the heard left and right levels and the modelled left
and right levels, in dBFS (-999 for silence).

Run by Debian's python3 (numpy).
"""
import json
import os
import sys

import numpy as np

CENTRE = 0.70710677  # a mono sound's gain on each of two channels, unpositioned
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "..", "..", "..", "tools"))
import positioned_tone_model  # noqa: E402
from bank_media import media_of_bank  # noqa: E402
from tone_level import SILENT_DB as SILENT, tone_db  # noqa: E402


def db(value):
    return 20.0 * np.log10(value) if value > 0 else SILENT


def rms_db(x):
    return db(float(np.sqrt(np.mean(x * x)))) if len(x) else SILENT


def frame_gains(case, count):
    """The left and right gain of each frame's matrix."""
    start, end = np.array(case["from"], dtype=np.float64), np.array(case["to"], dtype=np.float64)
    gains = []
    for k in range(count):
        x, y, z = start + (end - start) * min(k + 1, case["frames"]) / case["frames"]
        gains.append(positioned_tone_model.channel_gains(x, y, z, *case["curve"], case["rule"], *case["angles"]))
    return np.array(gains)


def sample_gains(case, samples):
    """The left and right gain of each of the cue's samples: each frame's matrix ramped from the
    frame before's across the frame. (samples, 2)"""
    frame = case["frame"]
    count = -(-samples // frame)
    gains = frame_gains(case, count)
    ramp = np.arange(frame) / frame
    out = np.zeros((count * frame, 2))
    for k in range(count):
        before = gains[k - 1] if k > 0 else gains[k]
        out[k * frame:(k + 1) * frame] = before + np.outer(ramp, gains[k] - before)
    return out[:samples]


def main():
    case = json.loads(sys.argv[1])
    frame = case["frame"]
    rate = case.get("rate", 48000)
    media = media_of_bank(case["bank"], case["media"])
    gains = sample_gains(case, len(media))
    if "left_gains" in case:
        # Only the gains: another model adds the cue, heard on channel 0, to what it models.
        gains[:, 0].astype(np.float64).tofile(case["left_gains"])
        return
    model = media[:, None] * gains
    for other in case.get("others", []):
        # Another cue, unpositioned: at the centre gain on both channels, times its own gains.
        signal = media_of_bank(case["bank"], other["media"]) * CENTRE
        if "gains" in other:
            own = np.fromfile(other["gains"], dtype=np.float64)[:len(signal)]
            signal = signal[:len(own)] * own
        offset = other["start"] - case["start"]
        first, last = max(0, offset), min(len(model), offset + len(signal))
        if first < last:
            model[first:last] += signal[first - offset:last - offset, None]
    start, channels = case["start"], case["channels"]
    heard = np.fromfile(case["capture"], dtype=np.float32).reshape(-1, channels).astype(np.float64)
    tones = case.get("tones")
    for k in range(len(media) // frame):
        at = start + k * frame
        if at + frame > len(heard):
            break
        levels = []
        for signal, offset in ((heard[at:at + frame], at), (model[k * frame:(k + 1) * frame], at)):
            for channel in range(2):
                x = signal[:, channel]
                levels.append(tone_db(x, rate, tones, offset) if tones else rms_db(x))
        print(" ".join("%.4f" % level for level in levels))


main()
