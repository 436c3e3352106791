"""The bank writer: body lengths and field placement read back with the tests' own reader, ids
against the values the engine documents, the fault variants and the command line."""

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

from soundbank import bank, binary, chunks, faults, ids, properties  # noqa: E402


def body(item, bank_name="Test.bnk", media_sizes=None):
    return chunks.hierarchy_item(item, bank_name, media_sizes or {})[1]


def f32(value):
    return struct.pack("<f", value)


def u32(value):
    return struct.pack("<I", value)


TONE = {"wave": {"rate": 8000, "seconds": 0.01, "parts": [{"tone": 1000, "amp": 0.5}]}}


def small_bank(**extra):
    description = {
        "name": "Small.bnk",
        "media": [dict(TONE, id=11), {"id": 12, "hex": "0102030405"}, dict(TONE, id=13)],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
                   {"tag": "HIRC", "items": [
                       {"type": "sound", "id": 21, "media": 11, "bus": "Effects"},
                       {"type": "action", "id": 31, "action": "play", "target": 21},
                       {"type": "event", "id": "Play_Small", "actions": [31]}]},
                   {"tag": "STMG", "game_parameters": [{"id": 5, "default": 1.0}]}]}
    description.update(extra)
    return description


class BodyLengthTest(unittest.TestCase):
    def test_minimal_bodies(self):
        cases = [
            ({"type": "sound", "id": 1, "media": 2, "media_size": 10}, 50),
            ({"type": "action", "id": 1, "action": "play", "target": 2}, 18),
            ({"type": "event", "id": 1, "actions": [2]}, 9),
            ({"type": "bus", "id": 1, "device": "System"}, 51),
            ({"type": "bus18", "id": 1, "parent": 2}, 47),
            ({"type": "state", "id": 1}, 6),
            ({"type": "sound", "id": 1, "media": 2, "media_size": 0, "plugin": 0x00020002,
              "plugin_params": "0102"}, 56),
        ]
        for item, length in cases:
            with self.subTest(item=item):
                self.assertEqual(len(body(item)), length)
        self.assertEqual(properties.state_chunk(None), b"\x00\x00")

    def test_variable_length_numbers(self):
        for value, encoded in ((0, "00"), (127, "7f"), (128, "8100"), (200, "8148"),
                               (16383, "ff7f"), (16384, "818000"), (1 << 28, "8180808000")):
            with self.subTest(value=value):
                self.assertEqual(binary.varint(value).hex(), encoded)
                self.assertEqual(br.Cursor(binary.varint(value)).varint(), value)


class IdTest(unittest.TestCase):
    def test_ids_of_names(self):
        for name, expected in (("Init", 0x50C63A23), ("init", 0x50C63A23), ("abc", 0x439C2F4B),
                               ("ABC", 0x439C2F4B), ("", 0x811C9DC5), ("System", 0xE611314A),
                               ("Music_Volume", 1006694123), ("SFX_Volume", 1564184899)):
            with self.subTest(name=name):
                self.assertEqual(ids.fnv1(name), expected)
                self.assertEqual(br.fnv1(name), expected)
        self.assertNotEqual(ids.fnv1("\u00c4"), ids.fnv1("\u00e4"))

    def test_bank_ids_drop_the_last_extension(self):
        self.assertEqual({ids.bank_id(n) for n in ("Main.bnk", "main", "MAIN.BNK")},
                         {ids.fnv1("main")})
        self.assertEqual(ids.bank_id("a.b.bnk"), ids.fnv1("a.b"))

    def test_ids_in_descriptions(self):
        self.assertEqual([ids.resolve(v) for v in (7, "0x10", "Init", -1)],
                         [7, 16, 0x50C63A23, 0xFFFFFFFF])


class FieldPlacementTest(unittest.TestCase):
    def test_sound(self):
        sound = br.sound(body({"type": "sound", "id": "S", "media": 9, "bus": "Music",
                               "parent": 4, "props": {"loop_count": 0, "priority": 60,
                                                      "0": -3.5},
                               "ranges": {"0": [-1.0, 1.0]}, "positioning": 1,
                               "max_instances": 1, "limit_flags": 1,
                               "effects": [{"slot": 1, "id": 77}],
                               "rtpc": [{"parameter": 3, "target": 5, "curve": 8,
                                         "points": [[0, 1], [1, 2, 9]]}]},
                              media_sizes={9: 1234}))
        self.assertEqual((sound["id"], sound["plugin"], sound["stream_type"], sound["source"],
                          sound["media_size"]), (br.fnv1("S"), 0x00010001, 0, 9, 1234))
        self.assertEqual((sound["bus"], sound["parent"]), (br.fnv1("Music"), 4))
        self.assertEqual(sound["props"], {58: u32(0), 7: f32(60.0), 0: f32(-3.5)})
        self.assertEqual(sound["ranges"], {0: f32(-1.0) + f32(1.0)})
        self.assertEqual((sound["positioning"], sound["max_instances"], sound["limit_flags"]),
                         (1, 1, 1))
        self.assertEqual(sound["rtpc"], [{"parameter": 3, "parameter_type": 0, "combine": 0,
                                          "target": 5, "curve": 8, "scaling": 0,
                                          "points": [(0.0, 1.0, 4), (1.0, 2.0, 9)]}])

    def test_action_kinds(self):
        bank_id = ids.bank_id("Test.bnk")
        exception = u32(5) + b"\x01"
        cases = [
            ({"action": "play"}, 0x0403, b"\x04" + u32(bank_id)),
            ({"action": "play", "bank": 0, "curve": 9}, 0x0403, b"\x09" + u32(0)),
            ({"action": "stop", "scope": 4, "options": 2, "exceptions": [[5, 1]]}, 0x0104,
             b"\x04\x02\x01" + exception),
            ({"action": "set_state", "group": 1, "state": 2}, 0x1204, u32(1) + u32(2)),
            ({"action": "set_switch", "group": 1, "switch": 2}, 0x1901, u32(1) + u32(2)),
            ({"action": "set_game_parameter", "bypass_transition": 1, "value": 2.5},
             0x1303, b"\x04\x01\x01" + f32(2.5) + f32(0) + f32(0) + b"\x00"),
            ({"action": "set_property_0a", "meaning": 2, "value": -6, "min": -1, "max": 1},
             0x0A03, b"\x04\x02" + f32(-6) + f32(-1) + f32(1) + b"\x00"),
            ({"action": "seek", "relative": 1, "value": 0.5, "snap": 1}, 0x1E03,
             b"\x01" + f32(0.5) + f32(0) + f32(0) + b"\x01\x00"),
            ({"action": "seek", "value": 1500}, 0x1E03,
             b"\x00" + struct.pack("<iii", 1500, 0, 0) + b"\x00\x00"),
            ({"action": "node_slot", "flag": 1, "slot": 2, "exceptions": [5]}, 0x1A03,
             b"\x01\x02\x01" + u32(5) + b"\x00"),
            ({"action": "0x1F03"}, 0x1F03, b""),
            ({"action": "reset_playlist", "scope": 2}, 0x2202, b"\x04\x00"),
            ({"action": "0x0503", "params_hex": "aabb"}, 0x0503, b"\xaa\xbb"),
        ]
        for fields, action_type, params in cases:
            with self.subTest(fields=fields):
                action = br.action(body(dict(fields, type="action", id=1, target=2)))
                self.assertEqual((action["type"], action["target"], action["params"]),
                                 (action_type, 2, params))

    def test_action_properties_and_bus_target(self):
        action = br.action(body({"type": "action", "id": 1, "action": "stop", "target": "Music",
                                 "target_is_bus": 1,
                                 "props": {"delay": 500, "fade_time": 20, "probability": 50},
                                 "ranges": {"delay": [-100, 100]}}))
        self.assertEqual(action["target_is_bus"], 1)
        self.assertEqual(action["props"], {15: u32(500), 16: u32(20), 17: f32(50.0)})
        self.assertEqual(action["ranges"], {15: struct.pack("<ii", -100, 100)})

    def test_event_and_bus(self):
        event = br.event(body({"type": "event", "id": 3, "actions": list(range(1, 201))}))
        self.assertEqual(event["actions"], list(range(1, 201)))
        top = br.bus(body({"type": "bus", "id": "Top", "device": "System",
                           "ducks": [{"target": 4, "volume": -6}],
                           "effects": [{"slot": 0, "id": 3}], "plugins": [{"id": 8}],
                           "state": {"properties": [[0, 1, 1]],
                                     "groups": [{"id": 9, "states": [[1, 2]]}]}}))
        self.assertEqual((top["parent"], top["device"]), (0, 0xE611314A))
        child = br.bus(body({"type": "bus", "id": "Child", "parent": "Top",
                             "props": {"5": -3.0}}))
        self.assertEqual((child["parent"], child["device"], child["props"]),
                         (br.fnv1("Top"), None, {5: f32(-3.0)}))


class BankLayoutTest(unittest.TestCase):
    def test_chunks_media_and_items(self):
        image = bank.build(small_bank())
        tags = [tag for tag, _ in br.chunks(image.data)]
        self.assertEqual(tags, ["BKHD", "DIDX", "DATA", "HIRC", "STMG"])
        version, bank_id, _, alignment = br.Cursor(br.chunk(image.data, "BKHD")).unpack("IIIH")
        self.assertEqual((version, bank_id, alignment), (140, br.fnv1("Small"), 16))
        index = br.media_index(br.chunk(image.data, "DIDX"))
        data = br.chunk(image.data, "DATA")
        self.assertEqual(sorted(index), [11, 12, 13])
        self.assertEqual(data[index[12][0]:index[12][0] + index[12][1]], bytes(range(1, 6)))
        for media_id, (offset, size) in index.items():
            self.assertEqual(offset % 16, 0)
            self.assertLessEqual(offset + size, len(data))
        self.assertEqual(len(data), index[13][0] + index[13][1])
        self.assertEqual(br.wave(data[index[11][0]:])["rate"], 8000)
        items = br.items(br.chunk(image.data, "HIRC"))
        self.assertEqual([t for t, _ in items], [2, 3, 4])
        self.assertEqual(br.sound(items[0][1])["media_size"], index[11][1])
        self.assertEqual(br.global_settings(br.chunk(image.data, "STMG"))["game_parameters"],
                         {5: 1.0})
        self.assertEqual(image.layout()["media"][1], {"id": 12, "offset": index[12][0],
                                                      "size": 5})

    def test_header_sizes_declared_sizes_raw_bytes_cuts(self):
        image = bank.build({"name": "a.bnk", "chunks": [
            {"tag": "BKHD", "version": 135, "alignment": 32, "body_length": 28},
            {"tag": "JUNK", "hex": "0102", "declared_size": 9}, {"raw": "444944"}],
            "append": "ff"})
        self.assertEqual(len(image.data), 8 + 28 + 8 + 2 + 3 + 1)
        self.assertEqual(image.data[8:12], u32(135))
        self.assertEqual(image.data[20:22], struct.pack("<H", 32))
        self.assertEqual(image.data[36:44], b"JUNK" + u32(9))
        self.assertEqual(image.data[-4:], b"DID\xff")
        cut = bank.build({"name": "a.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "PLAT"}],
                          "truncate": {"chunk": 1, "offset": 3}})
        self.assertEqual(cut.data, bank.build({"name": "a.bnk",
                                               "chunks": [{"tag": "BKHD"}]}).data + b"PLA")
        self.assertEqual(len(bank.build({"name": "a.bnk", "chunks": [{"tag": "BKHD"}],
                                         "truncate": -2}).data), 26)

    def test_settings_and_small_chunks(self):
        image = bank.build({"name": "s.bnk", "chunks": [
            {"tag": "STMG", "volume_threshold": -40.0, "max_voices": 9, "second_voice_limit": 3,
             "state_groups": [{"id": 1, "default_time": 100,
                               "transitions": [{"from": 2, "to": 3, "time": 50}]}],
             "switch_groups": [{"id": 4, "parameter": 5, "points": [[0, 6], [1, 7, 9]]}],
             "game_parameters": [{"id": 8, "default": 100, "ramp": 1, "ramp_up": 10}],
             "group_entries": [{"id": 9, "values": [1, 2, 3, 4, 5, 6]}]},
            {"tag": "ENVS", "curves": [{"enabled": 1, "scaling": 2, "points": [[0, 1]]}]},
            {"tag": "STID", "groups": [{"banks": [{"name": "Init"}]}]},
            {"tag": "PLAT", "name": "Linux"},
            {"tag": "INIT", "plugins": [{"id": 7, "library": "Reverb"}]}]})
        found = dict(br.chunks(image.data))
        settings = br.global_settings(found["STMG"])
        self.assertEqual((settings["volume_threshold"], settings["max_voices"],
                          settings["second_voice_limit"], settings["game_parameters"]),
                         (-40.0, 9, 3, {8: 100.0}))
        self.assertEqual(found["STMG"][-28:], u32(9) + b"".join(f32(v) for v in range(1, 7)))
        self.assertEqual(found["ENVS"], b"\x01\x02\x01\x00" + f32(0) + f32(1) + u32(4) +
                         b"\x00\x00\x00\x00" * 5)
        self.assertEqual(found["STID"], u32(1) + u32(1) + u32(0x50C63A23) + b"\x04Init")
        self.assertEqual(found["PLAT"], b"Linux\x00")
        self.assertEqual(found["INIT"], u32(1) + u32(7) + b"Reverb\x00")


class FaultVariantTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.description = small_bank()
        cls.description["chunks"] += [{"tag": "ENVS"}, {"tag": "INIT"}, {"tag": "PLAT"},
                                      {"tag": "STID", "groups": [{"banks": [{"name": "x"}]}]}]
        cls.image = bank.build(cls.description)
        cls.variants = {name: bank.build(d).data
                        for name, d in faults.variants(cls.description, cls.image)}

    def offset(self, tag):
        return next(offset for t, offset, _ in self.image.chunks if t == tag)

    def test_cuts(self):
        data = self.variants
        self.assertEqual(data["cut_before_3_HIRC"], self.image.data[:self.offset("HIRC")])
        for k in (1, 3, 7):
            self.assertEqual(data["cut_header_1_DIDX_%d" % k],
                             self.image.data[:self.offset("DIDX") + k])
        self.assertLess(len(data["cut_body_2_DATA"]), self.offset("HIRC"))

    def test_order_and_sizes(self):
        tags = [self.variants[n][:4] for n in ("first_chunk_DIDX", "no_header", "data_before_didx")]
        self.assertEqual(tags, [b"DIDX", b"DIDX", b"BKHD"])
        self.assertEqual([t for t, _ in br.chunks(self.variants["data_before_didx"])][1:3],
                         ["DATA", "DIDX"])
        self.assertIn("JUNK", [t for t, _ in br.chunks(self.variants["unknown_tag"])])
        data = self.variants["size_huge_3_HIRC"]
        self.assertEqual(data[self.offset("HIRC") + 4:self.offset("HIRC") + 8], u32(0xFFFFFFF0))
        self.assertEqual(self.variants["version_117"][8:12], u32(117))

    def test_counts(self):
        hirc = br.chunk(self.variants["hirc_count_huge"], "HIRC")
        self.assertEqual(hirc[:4], u32(0x40000000))
        stmg = br.chunk(self.variants["stmg_game_parameter_count_plus_one"], "STMG")
        self.assertEqual(stmg[16:20], u32(2))
        self.assertEqual(br.chunk(self.variants["init_count_huge"], "INIT")[:4],
                         u32(0x40000000))
        self.assertEqual(br.chunk(self.variants["envs_point_count_huge"], "ENVS")[2:4],
                         b"\xff\xff")
        self.assertEqual(br.chunk(self.variants["stid_count_huge"], "STID")[4:8],
                         u32(0x40000000))
        self.assertEqual(br.chunk(self.variants["stid_length_past"], "STID")[12], 255)
        self.assertEqual(br.chunk(self.variants["init_count_plus_one"], "INIT")[:4], u32(1))
        self.assertEqual(br.chunk(self.variants["plat_other"], "PLAT"), b"OtherPlatform\x00")

    def test_media_index_past_data(self):
        data_size = len(br.chunk(self.image.data, "DATA"))
        at_end = br.media_index(br.chunk(self.variants["didx_offset_at_end"], "DIDX"))
        self.assertEqual(at_end[11][0], data_size)
        past = br.media_index(br.chunk(self.variants["didx_size_past_data"], "DIDX"))
        self.assertEqual(sum(past[11]), data_size + 1)
        self.assertEqual(len(br.chunk(self.variants["didx_remainder"], "DIDX")) % 12, 5)


class ErrorTest(unittest.TestCase):
    def test_bad_descriptions_are_refused(self):
        good = small_bank()
        cases = [
            {"chunks": []},
            dict(good, colour=1),
            dict(good, chunks=[{"tag": "BKHD", "verison": 140}]),
            dict(good, chunks=[{"tag": "ABCD"}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": "sound", "id": 1,
                                                          "media": 99}]}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": "action", "id": 1,
                                                          "action": "jump"}]}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": "action", "id": 1,
                                                          "action": "0x0403", "scope": 4}]}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": "bus", "id": 1, "parent": 2,
                                                          "device": 3}]}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": "bus", "id": 1, "aux": 8}]}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": 30, "id": 1}]}]),
            dict(good, chunks=[{"tag": "HIRC", "items": [{"type": "sound", "id": 1, "media": 11,
                                                          "props": {"loop_count": 1.5}}]}]),
            dict(good, chunks=[{"tag": "BKHD"}], truncate={"chunk": 3, "offset": 0}),
        ]
        for description in cases:
            with self.subTest(description=description), self.assertRaises(ValueError):
                bank.build(description)


class CommandLineTest(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.folder = folder.name

    def write_json(self, content):
        path = os.path.join(self.folder, "banks.json")
        with open(path, "w", encoding="utf-8") as target:
            json.dump(content, target)
        return path

    def run_writer(self, *arguments):
        return subprocess.run([sys.executable, WRITER] + list(arguments), capture_output=True,
                              text=True)

    def test_writes_banks_layouts_and_fault_variants(self):
        path = self.write_json([small_bank(), small_bank(name="Other.bnk", file="o.bnk")])
        out = os.path.join(self.folder, "out")
        result = self.run_writer("--out-dir", out, "--layout", "--fault-variants", path)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(out, "Small.bnk"), "rb") as written:
            self.assertEqual(written.read(), bank.build(small_bank()).data)
        with open(os.path.join(out, "o.bnk.layout.json"), "r", encoding="utf-8") as layout:
            self.assertEqual(json.load(layout)["chunks"][0], {"tag": "BKHD", "offset": 0,
                                                              "size": 20})
        names = os.listdir(out)
        self.assertIn("Small.hirc_count_huge.bnk", names)
        self.assertIn("o.stmg_game_parameter_count_plus_one.bnk", names)

    def test_one_bank_to_a_file_and_a_bad_one_fails_with_a_message(self):
        target = os.path.join(self.folder, "one.bnk")
        self.assertEqual(self.run_writer(self.write_json(small_bank()), "-o", target).returncode,
                         0)
        self.assertTrue(os.path.exists(target))
        result = self.run_writer(self.write_json(dict(small_bank(), colour=1)), "-o", target)
        self.assertEqual(result.returncode, 1)
        self.assertIn("colour", result.stderr)


class StreamedMedia(unittest.TestCase):
    """Sounds of stream types 1 and 2 with their prefetch size; their media written as loose
    "<id>.oxm" files beside the bank, not into it."""

    def test_streamed_sound_and_its_loose_file(self):
        description = {"name": "Streams.bnk",
                       "streamed": [{"id": 501, "hex": "0102030405"}],
                       "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
                           {"type": "sound", "id": 1001, "media": 501, "stream_type": 2,
                            "media_size": 4096, "source_flags": 1}]}]}
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "d.json")
            with open(path, "w") as out:
                json.dump(description, out)
            subprocess.run([sys.executable, WRITER, path, "-o", os.path.join(folder, "Streams.bnk")],
                           check=True)
            with open(os.path.join(folder, "501.oxm"), "rb") as loose:
                self.assertEqual(loose.read(), bytes([1, 2, 3, 4, 5]))
            with open(os.path.join(folder, "Streams.bnk"), "rb") as written:
                self.assertNotIn(bytes([1, 2, 3, 4, 5]), written.read())
        sound = body(description["chunks"][1]["items"][0])
        plugin, stream_type, source, size, flags = struct.unpack_from("<IBIIB", sound, 4)
        self.assertEqual((plugin, stream_type, source, size, flags), (0x00010001, 2, 501, 4096, 1))


if __name__ == "__main__":
    unittest.main()
