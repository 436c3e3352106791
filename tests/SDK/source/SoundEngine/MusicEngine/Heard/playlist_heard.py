"""An independent model of what a playlist sounds like, computed with numpy from the bank
description the writer turned into the test's bank: the test names each segment the playlist
played as a piece (segment id, the capture sample frame where its segment time 0 lies, and the
segment times from which and until which it is heard); every clip of the segment's tracks is placed
at its track time (segment time + the entry cue's position), its source read from its start. The
pieces sum where they overlap (a pre-entry over the segment before, a post-exit over the next).
Levels and the writer's media are those of segment_heard.py.

Usage: playlist_heard.py CAPTURE.f32 CHANNELS DESCRIPTION.json --piece SEGMENT ORIGIN FROM UNTIL
                         [--piece ...] [--shift SAMPLES] [--skip FROM UNTIL]
--shift places every piece but the first SAMPLES later (negative: earlier), for a test to show that
a misplaced entry misses. --skip leaves the capture's sample frames [FROM, UNTIL) out of the
comparison (a fade, which the test judges on its frame levels).
Prints: the largest difference over both channels, the sample frame where it lies, and the
capture's last frame above 1e-3.
"""

import argparse

import numpy as np

from segment_heard import BUS_LEVEL, CENTRE, VOICE_LEVEL, media_of, read_inputs, samples


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("capture")
    parser.add_argument("channels", type=int)
    parser.add_argument("description")
    parser.add_argument("--piece", type=int, nargs=4, action="append", default=[],
                        metavar=("SEGMENT", "ORIGIN", "FROM", "UNTIL"))
    parser.add_argument("--shift", type=int, default=0)
    parser.add_argument("--skip", type=int, nargs=2, default=[0, 0], metavar=("FROM", "UNTIL"))
    args = parser.parse_args()
    capture, description, items = read_inputs(args)
    media = media_of(description)
    heard = np.zeros(len(capture))
    for index, (segment, origin, begin, until) in enumerate(args.piece):
        if index > 0:
            origin += args.shift
        entry = samples(items[segment]["markers"][0]["position_ms"])
        for track in items[segment].get("children", []):
            for clip in items[track]["clips"]:
                signal = media[clip["source"]][:samples(clip["duration_ms"])]
                # Segment time of each sample of the clip, kept where the piece is heard.
                times = samples(clip["position_ms"]) - entry + np.arange(len(signal))
                keep = (times >= begin) & (times < until) & (origin + times >= 0) & (origin + times < len(heard))
                heard[origin + times[keep]] += signal[keep]
    heard *= VOICE_LEVEL * BUS_LEVEL
    error = np.abs(capture - (heard * CENTRE)[:, None])
    error[max(args.skip[0], 0):max(args.skip[1], 0)] = 0.0
    worst = int(np.argmax(error.max(axis=1)))
    loud = np.nonzero(np.abs(capture).max(axis=1) > 1e-3)[0]
    print("%.9g %d %d" % (error.max(), worst, loud[-1] if len(loud) else -1))


main()
