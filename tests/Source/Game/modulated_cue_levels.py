"""A modulated cue of the game as heard against its model, block by block: the level of the cue's
tone in the capture and in the modelled signal, the cue's media as the bank stores it
(tests/tools/bank_media.py) times its modulation gain, started at each of its posts, onto
channel 0 at the centre gain of a mono sound, with the other mono cues playing meanwhile (their
media as they are stored, unmodulated, at the centre gain or, positioned, at their own gains).
Each level is the amplitude, in dBFS, of the least-squares sine at the tone, fitted together with
sines at the other tones playing (music, other cues) and a constant.

Arguments: CAPTURE CHANNELS RATE BANK MEDIA GAINS BLOCK TONES STARTS FROM TO [OTHERS]
  GAINS   raw float64: the modulation gain of each of the media's samples from its start
  TONES   comma-separated: the cue's tone first, then the others playing
  STARTS  comma-separated frames of the capture at which a play of the cue starts
  FROM TO the span of capture frames measured, in blocks of BLOCK frames
  OTHERS  comma-separated NAME:START of the other cues' media and the frames they start at, or
          NAME:START:GAINS for a positioned cue: GAINS (raw float64) its gain on channel 0 for each
          of its samples, instead of the centre gain
Prints one line per block: the heard and the modelled level.

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
    capture, channels, rate, bank, name, gains, block, tones, starts, first, last = sys.argv[1:12]
    others = sys.argv[12].split(",") if len(sys.argv) > 12 and sys.argv[12] else []
    channels, rate, block, first, last = int(channels), float(rate), int(block), int(first), int(last)
    tones = [float(hz) for hz in tones.split(",")]
    heard = np.fromfile(capture, dtype=np.float32).reshape(-1, channels)[:, 0].astype(np.float64)
    media = media_of_bank(bank, name)
    gain = np.fromfile(gains, dtype=np.float64)
    played = media[:len(gain)] * gain[:len(media)] * CENTRE
    model = np.zeros(len(heard))
    def add(signal, start):
        end = min(len(model), start + len(signal))
        model[start:end] += signal[:end - start]

    for start in (int(s) for s in starts.split(",")):
        add(played, start)
    for other in others:
        other_name, other_start, *other_gains = other.split(":")
        other_media = media_of_bank(bank, other_name)
        if other_gains:
            other_media = other_media * np.fromfile(other_gains[0], dtype=np.float64)[:len(other_media)]
        else:
            other_media = other_media * CENTRE
        add(other_media, int(other_start))
    for at in range(first, last - block + 1, block):
        span = slice(at, at + block)
        print("%.4f %.4f" % (tone_db(heard[span], rate, tones, at), tone_db(model[span], rate, tones, at)))


main()
