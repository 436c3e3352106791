"""An independent model of a segment whose switch track moves from one sub-track to another,
computed with numpy from the bank description the writer turned into the test's bank. Each
sub-track's clips are placed at their track times on the capture's time line (track time 0 = the
capture's first sample, as in segment_heard.py), reading their sources from the clips' start
offsets and wrapping at the sources' lengths; a sub-track is heard only over the spans it is given
(it enters in its middle, at the sample its span begins). Fades are not modelled: the spans they
cover are skipped from the comparison.

Usage: switch_track_heard.py CAPTURE.f32 CHANNELS DESCRIPTION.json SEGMENT_ID
                             [--plays SUB_TRACK FROM TO]... [--skip FROM TO]... [--shift SAMPLES]
--plays: the sub-track sounds over capture sample frames [FROM, TO);
--skip: capture sample frames [FROM, TO) are not compared (a fade);
--shift moves every span's edges SAMPLES later, for a test to show that a misplaced change misses.
Prints: the largest difference over both channels and the sample frame where it lies.
"""

import argparse
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from segment_heard import BUS_LEVEL, CENTRE, VOICE_LEVEL, media_of, read_inputs, samples  # noqa: E402


def sub_track_signal(items, media, segment, sub_track, length):
    """The sub-track's clips on the capture's time line, as they sound from the segment's start."""
    out = np.zeros(length)
    for track in items[segment]["children"]:
        for clip in items[track]["clips"]:
            if clip.get("subtrack", 0) != sub_track or clip.get("event"):
                continue
            start = samples(clip["position_ms"] + clip.get("start_trim_ms", 0.0))
            duration = samples(clip["duration_ms"])
            audible = samples(clip["duration_ms"] + clip.get("end_trim_ms", 0.0) - clip.get("start_trim_ms", 0.0))
            offset = samples(clip.get("start_trim_ms", 0.0)) % duration
            signal = media[clip["source"]][(offset + np.arange(audible)) % duration]
            end = min(length, start + audible)
            if end > start:
                out[start:end] += signal[:end - start]
    return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("capture")
    parser.add_argument("channels", type=int)
    parser.add_argument("description")
    parser.add_argument("segment", type=int)
    parser.add_argument("--plays", type=int, nargs=3, action="append", default=[],
                        metavar=("SUB_TRACK", "FROM", "TO"))
    parser.add_argument("--skip", type=int, nargs=2, action="append", default=[], metavar=("FROM", "TO"))
    parser.add_argument("--shift", type=int, default=0)
    args = parser.parse_args()
    capture, description, items = read_inputs(args)
    media = media_of(description)
    length = len(capture)
    segment_end = samples(items[args.segment]["duration_ms"])
    heard = np.zeros(length)
    for sub_track, begin, end in args.plays:
        signal = sub_track_signal(items, media, args.segment, sub_track, length)
        begin, end = max(0, begin + args.shift), min(length, segment_end, end + args.shift)
        if end > begin:
            heard[begin:end] += signal[begin:end]
    heard *= VOICE_LEVEL * BUS_LEVEL
    error = np.abs(capture - (heard * CENTRE)[:, None]).max(axis=1)
    for begin, end in args.skip:
        error[max(0, begin):max(0, end)] = 0.0
    worst = int(np.argmax(error))
    print("%.9g %d" % (error[worst], worst))


if __name__ == "__main__":
    main()
