"""The bank writer's media for preparation tests: the 8-bit test format and its plain twin (read
back by sox), loose copies with a tone of their own, "DIDX" entries in a given order, and the
damaged copies that readers of prepared and decoded media get."""

import json
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import bank_reading as br

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WRITER = os.path.join(REPOSITORY, "tools", "bank_writer.py")
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import bank, faults, wave  # noqa: E402

WAVE = {"rate": 8000, "channels": 2, "frames": 40, "parts": [{"tone": 1000, "amp": 0.5}]}


def sox_raw(path, *options):
    return subprocess.run(["sox", path] + list(options) + ["-t", "raw", "-"], check=True,
                          stdout=subprocess.PIPE).stdout


class TestFormatTest(unittest.TestCase):
    def test_test_format_and_plain_twin_hold_the_same_samples(self):
        test = wave.media_bytes({"encoding": "u8_test", "wave": WAVE})
        plain = wave.media_bytes({"encoding": "u8_plain", "wave": WAVE})
        fmt = test[20:48]
        tag, channels, rate, _, align, bits, extension, _, _, frames = struct.unpack("<HHIIHHHHII", fmt)
        self.assertEqual((tag, channels, rate, align, bits, extension, frames),
                         (0xFFFF, 2, 8000, 2, 8, 10, 40))
        self.assertEqual(test[48:56], b"data" + struct.pack("<I", 80), "a header of 56 bytes")
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "plain.wav")
            with open(path, "wb") as out:
                out.write(plain)
            self.assertEqual(sox_raw(path, "-e", "unsigned", "-b", "8"), test[56:],
                             "sox reads the plain twin's samples as the test format holds them")

    def test_claimed_frames_and_odd_headers(self):
        claimed = wave.media_bytes({"encoding": "u8_test", "wave": WAVE, "claimed_frames": 2 ** 31 + 8})
        self.assertEqual(struct.unpack_from("<I", claimed, 44)[0], 2 ** 31 + 8)
        odd = wave.media_bytes({"encoding": "u8_test", "wave": WAVE,
                                "extra_chunks": [{"tag": "odd ", "hex": "01", "pad": "none"}]})
        self.assertEqual(odd.index(b"data") + 8, 65)


class LooseMediaAndOrderTest(unittest.TestCase):
    DESCRIPTION = {"name": "Loose.bnk",
                   "media": [{"id": 5, "wave": WAVE, "loose": {"wave": dict(WAVE, parts=[{"tone": 2000}])}},
                             {"id": 6, "hex": "0102030405"}],
                   "chunks": [{"tag": "BKHD"}, {"tag": "DIDX", "order": [6, 5]}, {"tag": "DATA"}]}

    def test_loose_copies_and_entry_order(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "loose.json")
            with open(path, "w") as out:
                json.dump(self.DESCRIPTION, out)
            subprocess.run([sys.executable, WRITER, "--loose-media", "--out-dir", folder, path], check=True)
            with open(os.path.join(folder, "Loose.bnk"), "rb") as source:
                data = source.read()
            entries = struct.unpack("<6I", br.chunk(data, "DIDX"))
            self.assertEqual((entries[0], entries[3]), (6, 5), "the order given")
            media = br.chunk(data, "DATA")
            with open(os.path.join(folder, "6.oxm"), "rb") as source:
                self.assertEqual(source.read(), bytes.fromhex("0102030405"), "the bank's bytes")
            with open(os.path.join(folder, "5.oxm"), "rb") as source:
                loose = source.read()
            offset, size = entries[4], entries[5]
            self.assertNotEqual(loose, media[offset:offset + size], "a tone of its own")
            self.assertEqual(len(loose), size)

    def test_fault_variants_for_prepared_media(self):
        description = dict(self.DESCRIPTION, media=self.DESCRIPTION["media"] + [
            {"id": 7, "encoding": "u8_test", "wave": WAVE}],
            chunks=[{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}])
        variants = dict(faults.variants(description, bank.build(description)))
        reversed_order = bank.build(variants["didx_out_of_order"]).data
        self.assertEqual(struct.unpack_from("<I", br.chunk(reversed_order, "DIDX"))[0], 7)
        huge = variants["frames_claimed_huge"]["media"][2]
        self.assertEqual(huge["claimed_frames"], 2 ** 31 + 8)


if __name__ == "__main__":
    unittest.main()
