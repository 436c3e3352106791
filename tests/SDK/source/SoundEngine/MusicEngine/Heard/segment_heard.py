"""An independent model of what a music segment played by itself sounds like, computed with numpy
from the bank description the writer turned into the test's bank: every clip of the segment's track
placed at its track time (track time 0 = the first sample of the frame in which the play action
ran, the capture's first sample), reading its source from the clip's start offset and wrapping at
the source's length. An event clip posts its event at the clip's start, and the event's play
action runs in the engine frame (1024 samples) that holds it: an ordinary play action starts its
sound at the start of that frame. Nothing sounds past the segment's end.

A seek heard at capture sample frame SEEK_AT (a frame's first sample) to track time SEEK_TO: the
clips stop there, and from SEEK_AT on the capture is the track as it is from SEEK_TO: a clip whose
span holds SEEK_TO enters in its middle with a voice of its own reading its source from the
matching position (an event clip posts its event at once); the sounds of events posted before go
on.

The level: the media are the writer's 16-bit samples (round(x * 32767)) read back as s / 32768;
a mono voice goes onto stereo at 0.70710677 per channel; the voice's volume (0 dB) and the master
bus's volume (0 dB) each become linear through the engine's fast decibel conversion, whose 0 dB
is 0.99903899, not 1. Every connection mixes its first frame at its own gain (a voice's, and a
bus instance's brought up again after a frame without input), so the level holds from the first
sample.

Usage: segment_heard.py CAPTURE.f32 CHANNELS DESCRIPTION.json SEGMENT_ID [--seek SEEK_AT SEEK_TO]
                        [--shift SAMPLES]
--shift places every clip SAMPLES later than its track time (negative: earlier), for a test to
show that a misplaced clip misses.
Prints: the largest difference over both channels (from SEEK_AT on), the sample frame where it
lies, and the capture's last frame above 1e-3.
"""

import argparse
import json
import math

import numpy as np

RATE = 48000
FRAME = 1024
CENTRE = 0.70710677
PCM_SCALE = 32767.0   # the writer's full scale
PCM_READ = 32768.0    # the engine's 16-bit to float


def fast_pow10(v):
    """10^v as the engine computes it in single precision: the exponent from the float's bits and
    a quadratic for the mantissa."""
    v = np.float32(v)
    if v < -37.0:
        return np.float32(0.0)
    bits = int(np.int32(np.float32(v * np.float32(27866352.0) + np.float32(1065353216.0))))
    mantissa = np.array([(bits & 0x007FFFFF) | 0x3F800000], dtype=np.uint32).view(np.float32)[0]
    power = np.array([bits & 0xFF800000], dtype=np.uint32).view(np.float32)[0]
    return np.float32((np.float32(0.32518977) * mantissa + np.float32(0.020805772)) * mantissa +
                      np.float32(0.65304345)) * power


def decibels_to_linear(db):
    return float(fast_pow10(np.float32(db) * np.float32(0.05)))


VOICE_LEVEL = decibels_to_linear(0.0)
BUS_LEVEL = decibels_to_linear(0.0)


def half_away(value):
    return int(np.floor(abs(value) + 0.5)) * (1 if value >= 0 else -1)


def samples(ms):
    return half_away(ms * RATE * 0.001)


def tone(hz, amp, frames, rate):
    """The writer's tone: amp x sin(2 pi hz / rate x n), n counted within one repetition."""
    step = 2.0 * math.pi * hz / rate
    n = np.arange(frames)
    if float(hz).is_integer() and hz > 0:
        n = n % (rate // math.gcd(int(hz), rate))
    return amp * np.array([math.sin(step * i) for i in n])


def media_of(description):
    media = {}
    for entry in description["media"]:
        wave = entry["wave"]
        signal = np.zeros(wave["frames"])
        for part in wave["parts"]:
            signal += tone(part["tone"], part["amp"], wave["frames"], wave["rate"])
        media[entry["id"]] = np.clip(np.round(signal * PCM_SCALE), -32768, 32767) / PCM_READ
    return media


class Track:
    """The voices of a segment's track on the capture's time line."""

    def __init__(self, items, media, segment, shift):
        self.items, self.media, self.shift = items, media, shift
        self.clips = [clip for track in items[segment]["children"] for clip in items[track]["clips"]]
        self.voices = []  # (capture sample frame of the first sample, samples)

    def start_of(self, clip):
        return samples(clip["position_ms"] + clip.get("start_trim_ms", 0.0)) + self.shift

    def event_sounds(self, clip):
        for action_id in self.items[clip["event"]]["actions"]:
            yield self.media[self.items[self.items[action_id]["target"]]["media"]]

    def clip_signal(self, clip):
        duration = samples(clip["duration_ms"])
        audible = samples(clip["duration_ms"] + clip.get("end_trim_ms", 0.0) - clip.get("start_trim_ms", 0.0))
        offset = samples(clip.get("start_trim_ms", 0.0)) % duration
        return self.media[clip["source"]][(offset + np.arange(audible)) % duration]

    def add(self, at, signal, until=None):
        if until is not None:
            signal = signal[:max(0, until - at)]
        if len(signal):
            self.voices.append((at, signal))

    def play(self, capture_at, track_from, until):
        """The track from track time track_from on, heard from capture_at; clip voices cut at
        capture sample until (event sounds go on)."""
        origin = capture_at - track_from
        for clip in self.clips:
            start = self.start_of(clip)
            if clip.get("event"):
                # The frame that holds the clip's start posts it; entered in its span, the seek's.
                span = samples(clip.get("end_trim_ms", 0.0) - clip.get("start_trim_ms", 0.0))
                if start >= track_from:
                    post = origin + start
                    post -= post % FRAME
                elif start + span > track_from:
                    post = capture_at
                else:
                    continue
                if post < until:
                    for sound in self.event_sounds(clip):
                        self.add(post, sound)
                continue
            signal = self.clip_signal(clip)
            if start + len(signal) <= track_from:
                continue
            skipped = max(0, track_from - start)
            self.add(origin + start + skipped, signal[skipped:], until)

    def heard(self, length, segment_end):
        """The capture the voices make, each voice at its level through the master bus's."""
        out = np.zeros(length)
        for at, signal in self.voices:
            end = min(length, at + len(signal))
            if end > at:
                out[at:end] += signal[:end - at]
        out *= VOICE_LEVEL * BUS_LEVEL
        out[max(0, segment_end):] = 0.0
        return out


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("capture")
    parser.add_argument("channels", type=int)
    parser.add_argument("description")
    parser.add_argument("segment", type=int)
    parser.add_argument("--seek", type=int, nargs=2, metavar=("SEEK_AT", "SEEK_TO"))
    parser.add_argument("--shift", type=int, default=0)
    args = parser.parse_args()
    capture = np.fromfile(args.capture, dtype=np.float32).reshape(-1, args.channels)
    description = json.load(open(args.description))
    items = {}
    for chunk in description["chunks"]:
        for item in chunk.get("items", []):
            items[item["id"]] = item
    segment_end = samples(items[args.segment]["duration_ms"])
    track = Track(items, media_of(description), args.segment, args.shift)
    if args.seek is None:
        seek_at = 0
        track.play(0, 0, len(capture))
        end = segment_end
    else:
        seek_at, seek_to = args.seek
        track.play(0, 0, seek_at)
        track.play(seek_at, seek_to, len(capture))
        end = seek_at + segment_end - seek_to
    heard = track.heard(len(capture), end)
    error = np.abs(capture[seek_at:] - (heard[seek_at:] * CENTRE)[:, None])
    worst = seek_at + int(np.argmax(error.max(axis=1)))
    loud = np.nonzero(np.abs(capture).max(axis=1) > 1e-3)[0]
    print("%.9g %d %d" % (error.max(), worst, loud[-1] if len(loud) else -1))


if __name__ == "__main__":
    main()
