"""Level of a shipped cue as heard against its model: the cue's media as it is stored in the bank
(16-bit PCM read here, any other coding decoded by ffmpeg), times the modulation gain of every
sample, onto channel 0 of the output at the centre gain of a mono sound.

Arguments: BANK MEDIA CAPTURE CHANNELS START GAINS FRAME
  BANK      the bank file holding the media (DIDX and DATA chunks)
  MEDIA     the media's name in the sound project (its id is the name's FNV-1 hash)
  CAPTURE   raw float32 interleaved samples of the output; the cue's first sample at frame START
  GAINS     raw float64: the modulation gain of each of the media's samples (shorter: the rest 0)
  FRAME     the frame length in samples
Prints one line per whole frame of the media: the heard and the modelled level of channel 0 in
dBFS (root mean square; -999 for silence).

Run by Debian's python3 (numpy); the bank is read with tests/tools/bank_reading.py.
"""
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "..", "..",
                                "..", "tools"))
import bank_reading as br  # noqa: E402

CENTRE = 0.70710677


def decoded(media):
    """Mono float samples of a WAVE file, as a decoder reads them."""
    found = {tag: (offset, size) for tag, offset, size in br.wave_chunks(media)}
    offset, _ = found["fmt "]
    tag, channels, _, _, _, bits = struct.unpack_from("<HHIIHH", media, offset)
    if tag in (1, 0xFFFE) and bits == 16 and (tag == 1 or media[offset + 24:offset + 26] == b"\x01\x00"):
        samples = np.array(br.wave(media)["samples"], dtype=np.float64) / 32768.0
    else:
        with tempfile.NamedTemporaryFile(suffix=".wav") as source:
            source.write(media)
            source.flush()
            raw = subprocess.run(["ffmpeg", "-v", "error", "-i", source.name, "-f", "f32le", "-"],
                                 check=True, capture_output=True).stdout
        samples = np.frombuffer(raw, dtype=np.float32).astype(np.float64)
    return samples.reshape(-1, channels).mean(axis=1)


def db(x):
    rms = float(np.sqrt(np.mean(x * x))) if len(x) else 0.0
    return 20.0 * np.log10(rms) if rms > 0 else -999.0


def main():
    bank, name, capture, channels, start, gains, frame = sys.argv[1:8]
    channels, start, frame, media_id = int(channels), int(start), int(frame), br.fnv1(name)
    with open(bank, "rb") as f:
        data = f.read()
    offset, size = br.media_index(br.chunk(data, "DIDX"))[media_id]
    media = decoded(br.chunk(data, "DATA")[offset:offset + size])
    gain = np.zeros(len(media))
    g = np.fromfile(gains, dtype=np.float64)[:len(media)]
    gain[:len(g)] = g
    expected = media * gain * CENTRE
    heard = np.fromfile(capture, dtype=np.float32).reshape(-1, channels)[start:, 0].astype(np.float64)
    for f in range(len(media) // frame):
        span = slice(f * frame, (f + 1) * frame)
        print("%.4f %.4f" % (db(heard[span]), db(expected[span])))


main()
