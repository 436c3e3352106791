"""An independent model of what a music segment played by itself sounds like, computed with numpy
from the bank description the writer turned into the test's bank: every clip of the segment's track
placed at its track time (track time 0 = the first sample of the frame in which the play action
ran), reading its source from the clip's start offset and wrapping at the source's length. An
event clip posts its event at the clip's start, and the event's play action runs in the engine
frame (1024 samples) that holds it: an ordinary play action starts its sound at the start of that
frame. Mono media onto stereo at 0.70710677. Given a seek heard at capture sample frame SEEK_AT to
track time SEEK_TO, the capture from SEEK_AT on is the track as it is from SEEK_TO: what sounded
before is cut, a clip entered in its middle reads its source from the matching position, and
nothing sounds past the segment's end.

Usage: segment_heard.py CAPTURE.f32 CHANNELS DESCRIPTION.json SEGMENT_ID [SEEK_AT SEEK_TO]
Prints: the largest difference over both channels, the sample frame where it lies, and the
capture's last frame above 1e-3.
"""

import json
import sys

import numpy as np

RATE = 48000
FRAME = 1024
CENTRE = 0.70710677


def half_away(value):
    return int(np.floor(abs(value) + 0.5)) * (1 if value >= 0 else -1)


def samples(ms):
    return half_away(ms * RATE * 0.001)


def media_of(description):
    media = {}
    for entry in description["media"]:
        wave = entry["wave"]
        n = np.arange(wave["frames"])
        signal = np.zeros(wave["frames"])
        for part in wave["parts"]:
            signal += part["amp"] * np.sin(2.0 * np.pi * part["tone"] * n / wave["rate"])
        media[entry["id"]] = signal
    return media


def main():
    capture_path, channels, description_path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    segment_id = int(sys.argv[4])
    capture = np.fromfile(capture_path, dtype=np.float32).reshape(-1, channels)
    description = json.load(open(description_path))
    media = media_of(description)
    items = {}
    for chunk in description["chunks"]:
        for item in chunk.get("items", []):
            items[item["id"]] = item
    seek_at, seek_to = (int(sys.argv[5]), int(sys.argv[6])) if len(sys.argv) > 6 else (0, 0)
    segment_end = samples(items[segment_id]["duration_ms"])
    expected = np.zeros(max(len(capture), seek_to + len(capture)))

    def place(signal, start):
        end = min(len(expected), start + len(signal))
        if end > start:
            expected[start:end] += signal[:end - start]

    for track_id in items[segment_id]["children"]:
        item = items[track_id]
        for clip in item["clips"]:
            start = samples(clip["position_ms"] + clip.get("start_trim_ms", 0.0))
            if clip.get("event"):
                for action_id in items[clip["event"]]["actions"]:
                    sound = items[items[action_id]["target"]]
                    place(media[sound["media"]], start - start % FRAME)
                continue
            duration = samples(clip["duration_ms"])
            audible = samples(clip["duration_ms"] + clip.get("end_trim_ms", 0.0) - clip.get("start_trim_ms", 0.0))
            offset = samples(clip.get("start_trim_ms", 0.0)) % duration
            source = media[clip["source"]]
            place(source[(offset + np.arange(audible)) % duration], start)
    expected[segment_end:] = 0.0
    heard = expected[seek_to:seek_to + len(capture) - seek_at]
    error = np.abs(capture[seek_at:] - (heard * CENTRE)[:, None])
    worst = seek_at + int(np.argmax(error.max(axis=1)))
    loud = np.nonzero(np.abs(capture).max(axis=1) > 1e-3)[0]
    print("%.9g %d %d" % (error.max(), worst, loud[-1] if len(loud) else -1))


main()
