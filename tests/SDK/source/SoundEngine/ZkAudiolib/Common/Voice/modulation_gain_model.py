"""Model of the voice's modulation stage, written from its description with numpy in double
precision: every sample x of frame k of every channel becomes
    x * prod over control-rate entries (s + (e - s) * k / F) * prod over audio-rate entries (scale * m[k] + offset)
with s = current * scale + offset and e = last * scale + offset of the entry's instance, F the
block's frames.

Argument: a JSON object {"frames", "channels", "input" (float32 file, planar), "output" (float64
file written, planar), "control": [{"current", "last", "scale", "offset"}], "audio": [{"buffer"
(float32 file of at least F values), "scale", "offset"}]}.
"""
import json
import sys

import numpy as np

case = json.loads(sys.argv[1])
frames = case["frames"]
channels = case["channels"]
block = np.fromfile(case["input"], dtype=np.float32).astype(np.float64).reshape(channels, frames)
k = np.arange(frames, dtype=np.float64)
gain = np.ones(frames)
for entry in case["control"]:
    # The instance values and the entry are single-precision numbers: so are s and e.
    start = float(np.float32(np.float32(entry["current"]) * np.float32(entry["scale"]) + np.float32(entry["offset"])))
    end = float(np.float32(np.float32(entry["last"]) * np.float32(entry["scale"]) + np.float32(entry["offset"])))
    gain *= start + (end - start) * k / frames
for entry in case["audio"]:
    m = np.fromfile(entry["buffer"], dtype=np.float32)[:frames].astype(np.float64)
    gain *= entry["scale"] * m + entry["offset"]
(block * gain).astype(np.float64).tofile(case["output"])
