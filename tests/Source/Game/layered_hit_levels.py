"""The hits of a layered cue as heard against their model, block by block: each hit is the sum of
its children's media as the bank stores them (tests/tools/bank_media.py), each times its constant
gain, started together, onto channel 0 at the centre gain of a mono sound; the model is every hit
of the capture summed, so that a child's noise reaching another child's tone is modelled too.
Each level is the amplitude, in dBFS, of the least-squares sine at a tone, fitted together with
sines at every tone of TONES and a constant.

Arguments: CAPTURE CHANNELS RATE BANK BLOCK LENGTH TONES
  TONES   comma-separated: every tone playing (the hits' and the others', e.g. music)
Standard input: one hit a line, "START HZS NAME:GAIN [NAME:GAIN ...]": the capture frame at which
the hit starts, the comma-separated tones measured for it, and its children's media with their
gains. Prints, for each hit, each of its tones and each block of BLOCK frames over LENGTH frames
from its start, one line: the heard and the modelled level.

Run by Debian's python3 (numpy).
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from bank_media import media_of_bank  # noqa: E402
from tone_level import tone_db  # noqa: E402

CENTRE = 0.70710677


def main():
    capture, channels, rate, bank, block, length, tones = sys.argv[1:8]
    channels, rate, block, length = int(channels), float(rate), int(block), int(length)
    tones = [float(hz) for hz in tones.split(",")]
    heard = np.fromfile(capture, dtype=np.float32).reshape(-1, channels)[:, 0].astype(np.float64)
    model = np.zeros(len(heard))
    media = {}
    hits = []
    for line in sys.stdin:
        fields = line.split()
        if not fields:
            continue
        start, measured = int(fields[0]), [float(hz) for hz in fields[1].split(",")]
        hits.append((start, measured))
        for child in fields[2:]:
            name, gain = child.rsplit(":", 1)
            if name not in media:
                media[name] = media_of_bank(bank, name)
            signal = media[name] * float(gain) * CENTRE
            end = min(len(model), start + len(signal))
            model[start:end] += signal[:end - start]
    for start, measured in hits:
        for hz in measured:
            ordered = [hz] + [other for other in tones if other != hz]
            for at in range(start, min(start + length, len(heard)) - block + 1, block):
                span = slice(at, at + block)
                print("%.4f %.4f" % (tone_db(heard[span], rate, ordered, at), tone_db(model[span], rate, ordered, at)))


main()
