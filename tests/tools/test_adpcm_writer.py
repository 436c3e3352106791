"""The writer's ADPCM media: its decoder model judged by ffmpeg's IMA ADPCM decoder on the standard
twin of random blocks, its encoders by the signal-to-noise ratio of tones, its twins by soxi, the
predictive decoder by hand-computed vectors, and its damaged copies by a reading of their bytes."""

import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest

import bank_reading as br

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import adpcm, synth, wave  # noqa: E402


def random_blocks(rng, count, channels):
    """count blocks of random channel blocks: any first sample, index 0-88, random codes."""
    data = bytearray()
    for _ in range(count * channels):
        data += struct.pack("<hBB", rng.randint(-32768, 32767), rng.randint(0, 88), 0)
        data += bytes(rng.randrange(256) for _ in range(32))
    return bytes(data)


class WithFolder(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def write(self, data, name):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as target:
            target.write(data)
        return path


class DecoderModelAgainstFfmpeg(WithFolder):
    def test_random_blocks_decode_as_ffmpeg_decodes_their_twin(self):
        rng = random.Random(38)
        for channels in (1, 2, 6):
            data = random_blocks(rng, 300, channels)
            model = adpcm.decode_data(data, channels)
            twins = adpcm.twin_files(data, 48000, channels)
            if channels <= 2:
                self.assertEqual(len(twins), 1)
                decoded = br.ffmpeg_ima_samples(self.write(twins[0], "twin.wav"), channels)
                self.assertEqual(decoded, model, "%d channels" % channels)
                continue
            # One mono twin per channel: each is the model's samples of that channel.
            self.assertEqual(len(twins), channels)
            for c, twin in enumerate(twins):
                decoded = br.ffmpeg_ima_samples(self.write(twin, "twin%d.wav" % c), 1)
                self.assertEqual(decoded, model[c::channels], "channel %d of %d" % (c, channels))

    def test_soxi_reads_the_twin(self):
        media = adpcm.build({"encoding": "adpcm", "wave": {"rate": 44100, "channels": 2, "frames": 6400,
                                                            "parts": [{"tone": 440, "amp": 0.5}]}})
        path = self.write(adpcm.twin_file(media.data, 44100, 2), "twin.wav")
        info = subprocess.run(["soxi", path], check=True, capture_output=True, text=True).stdout
        self.assertIn("IMA ADPCM", info)
        self.assertIn("Channels       : 2", info)
        self.assertIn("Sample Rate    : 44100", info)
        # 100 blocks of 65 samples each.
        self.assertIn("6500 samples", info)


class EncodersKeepTheTone(unittest.TestCase):
    def test_tones_decode_at_25_db_or_better(self):
        for encoding in ("adpcm", "adpcm_8311"):
            for frequency in (100, 440, 1000, 3000):
                for level_db in (-12, -6, -1):
                    desc = {"encoding": encoding, "wave": {"rate": 48000, "channels": 1, "frames": 6400,
                            "parts": [{"tone": frequency, "amp": 10 ** (level_db / 20.0)}]}}
                    media = adpcm.build(desc)
                    reference = [int(round(s * 32767.0)) for s in synth.render(desc["wave"]).samples[0]]
                    noise = sum((a - b) ** 2 for a, b in zip(reference, media.samples))
                    power = sum(a * a for a in reference)
                    snr = 10 * math.log10(power / noise)
                    self.assertGreaterEqual(snr, 25.0, "%s %d Hz at %d dBFS" % (encoding, frequency, level_db))

    def test_the_step_index_carries_over_to_the_next_block(self):
        media = adpcm.build({"encoding": "adpcm", "wave": {"rate": 48000, "frames": 640,
                                                            "parts": [{"tone": 2000, "amp": 0.9}]}})
        indexes = [media.data[i + 2] for i in range(0, len(media.data), adpcm.CHANNEL_BLOCK)]
        self.assertEqual(indexes[0], 0)
        self.assertGreater(min(indexes[1:]), 40, "a loud tone keeps a large step from block to block")


class PredictiveHandVectors(unittest.TestCase):
    def block(self, first, second, state, codes):
        body = bytearray(31)
        for n, code in enumerate(codes):
            body[n // 2] |= code << (4 * (n & 1))
        return struct.pack("<hhB", first, second, state) + bytes(body)

    def test_table(self):
        cases = [
            ("state 0, code 0", (0, 0, 0, [0]), [0, 0, -14]),
            ("state 0, codes 7 and 8", (100, 200, 0, [7, 8]), [100, 200, 300, 400]),
            ("state 0 climbing", (0, 0, 0, [15, 15, 0]), [0, 0, 14, 84, -70]),
            ("state 11 saturates, clips below", (0, 0, 11, [0, 0]), [0, 0, -28672, -32768]),
            ("state 11 clips above", (0, 10000, 11, [15]), [0, 10000, 32767]),
            ("state 11, codes 7 and 8", (0, 0, 11, [7, 8]), [0, 0, -1024, -1536]),
            ("a state above 11", (0, 0, 200, [15]), [0, 0, 28672]),
        ]
        for name, (first, second, state, codes), expected in cases:
            decoded = adpcm.decode_predictive_block(self.block(first, second, state, codes))
            self.assertEqual(decoded[:len(expected)], expected, name)

    def test_a_one_sample_block(self):
        self.assertEqual(adpcm.decode_predictive_block(self.block(-7, 9, 3, []), 1), [-7])


class DamagedCopies(unittest.TestCase):
    def fmt_and_data(self, fault, channels=2):
        desc = {"encoding": "adpcm", "wave": {"rate": 48000, "channels": channels, "frames": 640 + 20,
                                              "parts": [{"tone": 440, "amp": 0.5}]}}
        if fault is not None:
            desc["fault"] = fault
        data = wave.media_bytes(desc)
        chunks, at = {}, 12
        while at + 8 <= len(data):
            tag, size = data[at:at + 4], struct.unpack_from("<I", data, at + 4)[0]
            chunks[tag] = (size, data[at + 8:at + 8 + size])
            at += 8 + size + (size & 1)
        return chunks[b"fmt "][1], chunks[b"data"]

    def test_each_fault_changes_what_it_names(self):
        expected = {"tag_1": (0, 1), "tag_fffe": (0, 0xFFFE), "block_align_0": (12, 0),
                    "block_align_35": (12, 70), "channels_0": (2, 0), "config_3ch": (20, 7),
                    "rate_0": (4, 0)}
        for fault, (offset, value) in expected.items():
            fmt, _ = self.fmt_and_data(fault)
            size = 4 if offset in (4, 20) else 2
            self.assertEqual(int.from_bytes(fmt[offset:offset + size], "little"), value, fault)
        fmt, _ = self.fmt_and_data("fmt_16")
        self.assertEqual(len(fmt), 16)
        _, (size, body) = self.fmt_and_data("cut_inside_block")
        self.assertEqual((size, len(body)), (720, 720 - 72 + 10))
        _, (size, body) = self.fmt_and_data("half_block")
        self.assertEqual(size, 720 + 36)

    def test_a_sound_file_has_whole_blocks_and_the_layout_of_its_format(self):
        fmt, (size, _) = self.fmt_and_data(None)
        self.assertEqual(size, 720, "660 frames are cut to 10 blocks")
        tag, channels, rate, byte_rate, align, bits, extra, frames = struct.unpack_from("<HHIIHHHH", fmt)
        self.assertEqual((tag, channels, rate, align, bits, extra, frames), (2, 2, 48000, 72, 4, 6, 64))
        self.assertEqual(byte_rate, 48000 * 72 // 64)
        self.assertEqual(struct.unpack_from("<I", fmt, 20)[0], 0x3)


if __name__ == "__main__":
    unittest.main()
