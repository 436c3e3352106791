"""The media writer, judged by sox and soxi and by a reading of the bytes with struct."""

import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest

import bank_reading as br

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import wave  # noqa: E402

PCM_GUID = bytes.fromhex("0100000000001000800000aa00389b71")


def tone(rate, channels, frequency, seconds=0.5, **extra):
    desc = {"wave": {"rate": rate, "channels": channels, "seconds": seconds,
                     "parts": [{"tone": frequency, "amp": 0.5}]}}
    desc.update(extra)
    return desc


class WithFiles(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def write(self, data, name="media.wav"):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as target:
            target.write(data)
        return path


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True)


class ReadBySoxTest(WithFiles):
    CASES = [(48000, 1, 440), (44100, 2, 1000), (22050, 1, 300), (96000, 6, 2000), (8000, 1, 250)]

    def test_soxi_reads_rate_channels_bits_and_length(self):
        for rate, channels, frequency in self.CASES:
            with self.subTest(rate=rate, channels=channels):
                data = wave.media_bytes(tone(rate, channels, frequency))
                path = self.write(data)
                media = br.wave(data)
                frames = media["data_size"] // media["block_align"]
                self.assertEqual(int(run("soxi", "-r", path).stdout), rate)
                self.assertEqual(int(run("soxi", "-c", path).stdout), channels)
                self.assertEqual(int(run("soxi", "-b", path).stdout), 16)
                self.assertEqual(int(run("soxi", "-s", path).stdout), frames)
                self.assertEqual(frames, rate // 2)

    def test_sox_hears_the_tone(self):
        for rate, channels, frequency in self.CASES:
            with self.subTest(rate=rate, channels=channels):
                path = self.write(wave.media_bytes(tone(rate, channels, frequency)))
                stat = run("sox", path, "-n", "remix", "1", "stat").stderr
                rough = int(next(line for line in stat.splitlines()
                                 if line.startswith("Rough")).split()[-1])
                self.assertAlmostEqual(rough, frequency, delta=frequency * 0.02)

    def test_sox_reads_files_with_markers_labels_and_a_loop(self):
        desc = tone(48000, 1, 500, cues=[{"id": 1, "position": 10, "label": "odd"},
                                         {"id": 2, "position": 20}],
                    loop_points={"start": 0, "end": 23999})
        path = self.write(wave.media_bytes(desc))
        self.assertEqual(int(run("soxi", "-s", path).stdout), 24000)


class ExtensibleLayoutTest(unittest.TestCase):
    def test_fmt_is_the_40_byte_extensible_form_with_the_mask_at_offset_20(self):
        for channels, mask in ((1, 0x4), (2, 0x3), (6, 0x3F), (3, 0x7)):
            with self.subTest(channels=channels):
                media = br.wave(wave.media_bytes(tone(48000, channels, 100, 0.01)))
                self.assertEqual((media["tag"], media["fmt_size"], media["cb_size"]),
                                 (0xFFFE, 40, 22))
                self.assertEqual((media["bits"], media["valid_bits"]), (16, 16))
                self.assertEqual(media["block_align"], 2 * channels)
                self.assertEqual(media["byte_rate"], 48000 * 2 * channels)
                self.assertEqual((media["mask"], media["subformat"]), (mask, PCM_GUID))

    def test_a_given_mask_is_written_as_it_is(self):
        media = br.wave(wave.media_bytes(tone(48000, 2, 100, 0.01, channel_mask=0x3102)))
        self.assertEqual(media["mask"], 0x3102)

    def test_markers_labels_and_sampler_loop(self):
        data = wave.media_bytes(tone(48000, 1, 500, cues=[{"id": 7, "position": 10,
                                                           "label": "odd"},
                                                          {"id": 9, "position": 20}],
                                     loop_points={"start": 100, "end": 899}))
        tags = {tag: (offset, size) for tag, offset, size in br.wave_chunks(data)}
        offset, size = tags["cue "]
        self.assertEqual(size, 4 + 2 * 24)
        self.assertEqual(struct.unpack_from("<I", data, offset)[0], 2)
        self.assertEqual(struct.unpack_from("<II", data, offset + 4), (7, 10))
        self.assertEqual(struct.unpack_from("<II", data, offset + 28), (9, 20))
        offset, size = tags["LIST"]
        self.assertEqual(data[offset:offset + 4], b"adtl")
        self.assertEqual(data[offset + 4:offset + 8], b"labl")
        self.assertEqual(struct.unpack_from("<II", data, offset + 8), (8, 7))
        self.assertEqual(data[offset + 16:offset + 20], b"odd\0")
        offset, size = tags["smpl"]
        self.assertEqual(size, 60)
        self.assertEqual(struct.unpack_from("<I", data, offset + 28)[0], 1)
        self.assertEqual(struct.unpack_from("<II", data, offset + 44), (100, 899))
        self.assertLess(tags["fmt "][0], tags["cue "][0])
        self.assertLess(tags["smpl"][0], tags["data"][0])

    def test_an_odd_label_is_padded(self):
        data = wave.media_bytes(tone(48000, 1, 500, 0.01, cues=[{"id": 1, "position": 0,
                                                                 "label": "ab"}]))
        tags = [tag for tag, _, _ in br.wave_chunks(data)]
        self.assertEqual(tags, ["fmt ", "cue ", "LIST", "data"])


class VariantTest(unittest.TestCase):
    def variant(self, name):
        return wave.media_bytes(tone(48000, 1, 440, 0.01, variant=name))

    def tags(self, data):
        out, pos = [], 12
        while pos + 8 <= len(data):
            size = struct.unpack_from("<I", data, pos + 4)[0]
            out.append((data[pos:pos + 4].decode("ascii"), pos, size))
            pos += 8 + size + (size & 1 if data[pos + 8 + size:pos + 9 + size] == b"\0" else 0)
        return out

    def test_each_variant_has_its_fault(self):
        plain = self.tags(self.variant("odd_chunk"))
        self.assertEqual([t for t, _, _ in plain], ["fmt ", "odd ", "data"])
        odd = plain[1]
        self.assertEqual(odd[2], 3)
        self.assertEqual(self.variant("odd_chunk")[odd[1] + 11], 0)
        unpadded = self.variant("odd_chunk_unpadded")
        self.assertEqual(unpadded[odd[1] + 11:odd[1] + 15], b"data")
        second = self.tags(self.variant("second_fmt"))
        self.assertEqual([t for t, _, _ in second], ["fmt ", "fmt ", "data"])
        self.assertEqual((second[0][2], second[1][2]), (40, 16))
        self.assertEqual(self.tags(self.variant("data_before_fmt"))[0][0], "data")
        self.assertEqual(self.tags(self.variant("cue_before_fmt"))[0][0], "cue ")
        self.assertNotIn("data", [t for t, _, _ in self.tags(self.variant("no_data"))])
        self.assertEqual(self.variant("ogg")[:4], b"OggS")
        self.assertEqual(self.variant("not_wave")[8:12], b"WAVX")
        self.assertLess(len(self.variant("short")), 12)
        data = self.variant("data_past_end")
        _, offset, size = self.tags(data)[-1]
        self.assertGreater(offset + 8 + size, len(data))
        self.assertEqual(struct.unpack_from("<H", self.variant("plain_pcm"), 20)[0], 1)

    def test_count_variants_announce_more_than_their_chunk_holds(self):
        def body(variant, tag):
            data = self.variant(variant)
            (offset, size), = [(o, s) for t, o, s in self.tags(data) if t == tag]
            return data[offset + 8:offset + 8 + size]
        cue = body("cue_count_past_chunk", "cue ")
        self.assertEqual((struct.unpack_from("<I", cue)[0], len(cue)), (1000, 28))
        label = body("label_short", "LIST")
        self.assertEqual(label, b"adtl" + b"labl" + struct.pack("<I", 2) + b"\x01\x00")
        sampler = body("sampler_count_past_chunk", "smpl")
        self.assertEqual((struct.unpack_from("<I", sampler, 28)[0], len(sampler)), (1000, 60))
        sampler = body("sampler_data_past_chunk", "smpl")
        self.assertEqual((struct.unpack_from("<I", sampler, 32)[0], len(sampler)),
                         (0xFFFFFFF0, 60))

    def test_extra_chunks_go_where_they_say(self):
        data = wave.media_bytes(tone(48000, 1, 440, 0.01, extra_chunks=[
            {"tag": "zkd ", "hex": "010203", "pad": "nonzero", "before": "fmt "},
            {"tag": "labl", "hex": "01", "declared_size": 9},
            {"tag": "tail", "before": "end"}]))
        self.assertEqual(data[12:24], b"zkd " + struct.pack("<I", 3) + b"\x01\x02\x03\x7f")
        self.assertEqual(data[-8:], b"tail" + struct.pack("<I", 0))
        # The mis-sized "labl" stands just before "data" (found by its bytes: the walk by sizes
        # goes astray there, which is the point of such a chunk).
        offset = data.index(b"labl")
        self.assertEqual(data[offset:offset + 14], b"labl" + struct.pack("<I", 9) + b"\x01\x00data")

    def test_an_unknown_variant_is_refused(self):
        with self.assertRaises(ValueError):
            self.variant("bent")


class SynthesisTest(unittest.TestCase):
    def samples(self, desc):
        return br.wave(wave.media_bytes({"wave": desc}))["samples"]

    def test_a_loop_of_whole_periods_continues_from_its_last_sample_into_its_first(self):
        desc = {"rate": 44100, "loop": {"periods": 300, "of": 300},
                "parts": [{"chord": [300, 450, 601], "amp": 0.3}]}
        samples = self.samples(desc)
        self.assertEqual(len(samples), 44100)
        frequencies = (300, 450, 601)
        # Sample 44100 would be the first of the next pass: the same value as sample 0.
        following = sum(0.3 * math.sin(2 * math.pi * f * 44100 / 44100) for f in frequencies)
        self.assertAlmostEqual(samples[0] / 32767.0, following, places=4)
        step = max(abs(a - b) for a, b in zip(samples, samples[1:]))
        self.assertLessEqual(abs(samples[0] - samples[-1]), step)

    def test_a_loop_that_is_not_whole_is_refused(self):
        for desc in ({"loop": {"periods": 10, "of": 441}, "parts": [{"tone": 441}]},
                     {"loop": {"periods": 100}, "parts": [{"tone": 100}, {"tone": 150.5}]},
                     {"loop": True, "seconds": 1, "parts": [{"tone": 100}, {"noise": 0.1}]},
                     {"loop": True, "seconds": 1, "parts": [{"tone": 100}],
                      "envelope": {"release": 0.1}}):
            with self.subTest(desc=desc), self.assertRaises(ValueError):
                self.samples(desc)

    def test_envelope_noise_and_parts(self):
        samples = self.samples({"rate": 1000, "seconds": 1, "parts": [
            {"tone": 250, "amp": 0.5, "phase": 90, "start": 0.5, "length": 0.2,
             "envelope": {"attack": 0.1, "release": 0.1}}]})
        self.assertEqual(samples[:500], (0,) * 500)
        self.assertEqual(samples[700:], (0,) * 300)
        # 96 frames into the part: cos(48 pi) = 1, on the attack ramp at 97 / 100.
        self.assertEqual(samples[596], round(0.5 * 0.97 * 32767))
        noisy = {"rate": 8000, "seconds": 0.1, "parts": [{"noise": 0.5, "seed": 3}]}
        first, second = self.samples(noisy), self.samples(noisy)
        self.assertEqual(first, second)
        self.assertLessEqual(max(abs(s) for s in first), 0.5 * 32767 + 1)
        self.assertGreater(max(abs(s) for s in first), 0.4 * 32767)

    def test_bad_specs_are_refused(self):
        for desc in ({"seconds": 1, "parts": [{"tone": 100, "amp": 0.7}, {"tone": 200,
                                                                          "amp": 0.7}]},
                     {"seconds": 1, "parts": [{"tone": 100, "volume": 1}]},
                     {"seconds": 0.1, "parts": [{"tone": 100, "envelope": {"attack": 0.2}}]},
                     {"seconds": 1, "parts": [{"tone": 100, "start": 0.9, "length": 0.2}]},
                     {"parts": [{"tone": 100}]}):
            with self.subTest(desc=desc), self.assertRaises(ValueError):
                self.samples(desc)


class CommandLineTest(WithFiles):
    def test_writes_a_spec_and_its_variants(self):
        desc = self.write(b'[{"file": "a.wav", "wave": {"seconds": 0.01, "parts": '
                          b'[{"tone": 100}]}}]', "desc.json")
        out = os.path.join(self.folder.name, "out")
        subprocess.run([sys.executable, os.path.join(REPOSITORY, "tools", "media_writer.py"),
                        "--out-dir", out, "--variants", desc], check=True)
        self.assertEqual(sorted(os.listdir(out)),
                         sorted(["a.wav"] + ["a.%s.wav" % v for v in wave.VARIANTS]))

    def test_a_bad_spec_fails_with_a_message(self):
        desc = self.write(b'{"wave": {"seconds": 1, "parts": [{"tune": 100}]}}', "desc.json")
        result = subprocess.run([sys.executable, os.path.join(REPOSITORY, "tools",
                                                              "media_writer.py"),
                                 "-o", os.path.join(self.folder.name, "x.wav"), desc],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("tune", result.stderr)


if __name__ == "__main__":
    unittest.main()
