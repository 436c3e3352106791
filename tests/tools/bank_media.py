"""A media of a bank as a decoder reads it: mono float samples in [-1, 1) of the WAVE file that
the bank's DIDX and DATA chunks hold for an id. 16-bit PCM is read with bank_reading.py; the
engine's ADPCM media (format tag 2) through bank_reading.adpcm_wave, whose standard twin ffmpeg
decodes; any other coding by ffmpeg directly. The decoders are ones we did not write.
"""
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bank_reading as br  # noqa: E402


def decoded(wave_file):
    found = {tag: (offset, size) for tag, offset, size in br.wave_chunks(wave_file)}
    offset, _ = found["fmt "]
    tag, channels, _, _, _, bits = struct.unpack_from("<HHIIHH", wave_file, offset)
    pcm = tag == 1 or (tag == 0xFFFE and wave_file[offset + 24:offset + 26] == b"\x01\x00")
    if pcm and bits == 16:
        samples = np.array(br.wave(wave_file)["samples"], dtype=np.float64) / 32768.0
    elif tag == 2:
        samples = np.array(br.adpcm_wave(wave_file)["samples"], dtype=np.float64) / 32768.0
    else:
        with tempfile.NamedTemporaryFile(suffix=".wav") as source:
            source.write(wave_file)
            source.flush()
            raw = subprocess.run(["ffmpeg", "-v", "error", "-i", source.name, "-f", "f32le", "-"],
                                 check=True, capture_output=True).stdout
        samples = np.frombuffer(raw, dtype=np.float32).astype(np.float64)
    return samples.reshape(-1, channels).mean(axis=1)


def media_of_bank(bank_path, name):
    """The decoded media whose id is the FNV-1 hash of name."""
    with open(bank_path, "rb") as f:
        data = f.read()
    offset, size = br.media_index(br.chunk(data, "DIDX"))[br.fnv1(name)]
    return decoded(br.chunk(data, "DATA")[offset:offset + size])
