"""Level of a shipped cue as heard against its model: the cue's media as it is stored in the bank
(tests/tools/bank_media.py), times the modulation gain of every
sample, onto channel 0 of the output at the centre gain of a mono sound.

Arguments: BANK MEDIA CAPTURE CHANNELS START GAINS FRAME
  BANK      the bank file holding the media (DIDX and DATA chunks)
  MEDIA     the media's name in the sound project (its id is the name's FNV-1 hash)
  CAPTURE   raw float32 interleaved samples of the output; the cue's first sample at frame START
  GAINS     raw float64: the modulation gain of each of the media's samples (shorter: the rest 0)
  FRAME     the frame length in samples
Prints one line per whole frame of the media: the heard and the modelled level of channel 0 in
dBFS (root mean square; -999 for silence).

Run by Debian's python3 (numpy).
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "..", "..",
                                "..", "tools"))
from bank_media import media_of_bank  # noqa: E402

CENTRE = 0.70710677


def db(x):
    rms = float(np.sqrt(np.mean(x * x))) if len(x) else 0.0
    return 20.0 * np.log10(rms) if rms > 0 else -999.0


def main():
    bank, name, capture, channels, start, gains, frame = sys.argv[1:8]
    channels, start, frame = int(channels), int(start), int(frame)
    media = media_of_bank(bank, name)
    gain = np.zeros(len(media))
    g = np.fromfile(gains, dtype=np.float64)[:len(media)]
    gain[:len(g)] = g
    expected = media * gain * CENTRE
    heard = np.fromfile(capture, dtype=np.float32).reshape(-1, channels)[start:, 0].astype(np.float64)
    for f in range(len(media) // frame):
        span = slice(f * frame, (f + 1) * frame)
        print("%.4f %.4f" % (db(heard[span]), db(expected[span])))


main()
