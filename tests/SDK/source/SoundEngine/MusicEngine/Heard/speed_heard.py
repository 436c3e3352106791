"""An independent model of a music segment whose playback speed changes while it plays, computed
with numpy from the bank description the writer turned into the test's bank. Music time runs with
the capture (track time 0 = the first sample of the frame in which the play action ran) up to
capture sample frame CHANGE_AT, and SPEED times as fast from there: a clip placed at track time t
sounds at capture time CHANGE_AT + (t - CHANGE_AT) / SPEED when t lies past the change, and every
clip sounding after the change is heard SPEED times as high (1200 x log2(SPEED) cents).

For each sound clip of the segment's track it compares, in the capture's channel 0:
- where the clip is heard (first and last sample above 1e-3 near the expected place) with the
  place the model gives, in samples;
- the frequency of the spectrum's peak over the part of the clip heard after the change (a Hann
  window) with the source's tone x SPEED, in spectral bins of that part.

Usage: speed_heard.py CAPTURE.f32 CHANNELS DESCRIPTION.json SEGMENT_ID CHANGE_AT SPEED
Prints: the largest start error and the largest end error (samples), and the largest frequency
error (bins).
"""

import json
import sys

import numpy as np

RATE = 48000
AUDIBLE = 1e-3
SEARCH = 512  # samples around an expected start or end in which the clip's edge is looked for


def half_away(value):
    return int(np.floor(abs(value) + 0.5)) * (1 if value >= 0 else -1)


def samples(ms):
    return half_away(ms * RATE * 0.001)


def main():
    capture_path, channels, description_path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    segment_id, change_at, speed = int(sys.argv[4]), int(sys.argv[5]), float(sys.argv[6])
    left = np.fromfile(capture_path, dtype=np.float32).reshape(-1, channels)[:, 0].astype(np.float64)
    description = json.load(open(description_path))
    tones = {entry["id"]: entry["wave"]["parts"][0]["tone"] for entry in description["media"]}
    items = {}
    for chunk in description["chunks"]:
        for item in chunk.get("items", []):
            items[item["id"]] = item

    def heard_at(track_time):
        if track_time <= change_at:
            return float(track_time)
        return change_at + (track_time - change_at) / speed

    start_error = end_error = bin_error = 0.0
    for track_id in items[segment_id]["children"]:
        for clip in items[track_id]["clips"]:
            if clip.get("event"):
                continue
            begin = samples(clip["position_ms"] + clip.get("start_trim_ms", 0.0))
            audible = samples(clip["duration_ms"] + clip.get("end_trim_ms", 0.0) - clip.get("start_trim_ms", 0.0))
            start, end = heard_at(begin), heard_at(begin + audible)
            low = max(0, int(start) - SEARCH)
            window = np.abs(left[low:int(end) + SEARCH]) > AUDIBLE
            loud = np.nonzero(window)[0]
            if len(loud) == 0:
                print("1e9 1e9 1e9")  # a clip that is not heard
                return
            # The first sample of a tone that starts at phase 0 is 0: the edge is a sample late.
            start_error = max(start_error, abs(low + loud[0] - 1 - start))
            end_error = max(end_error, abs(low + loud[-1] + 1 - end))
            after = int(np.ceil(max(start, change_at))) + 2
            if int(end) - 2 - after < 256:
                continue
            part = left[after:int(end) - 2]
            spectrum = np.abs(np.fft.rfft(part * np.hanning(len(part))))
            bin_hz = RATE / len(part)
            peak_hz = np.argmax(spectrum) * bin_hz
            expected_hz = tones[clip["source"]] * (speed if end > change_at else 1.0)
            bin_error = max(bin_error, abs(peak_hz - expected_hz) / bin_hz)
    print("%.6g %.6g %.6g" % (start_error, end_error, bin_error))


main()
