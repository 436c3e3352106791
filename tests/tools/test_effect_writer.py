"""The bank writer's effect-object bodies (item types 16, 17 and 21): the lengths of minimal and
filled bodies, each field at its offset read back with struct, the count overrides that make
damaged bodies, and the fault variants."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks, effects  # noqa: E402

LINE = [[0, 0], [100, 1]]


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class EffectBodyTest(unittest.TestCase):
    def test_lengths_grow_by_each_section(self):
        subscription = {"parameter": 9, "combine": 3, "target": 0, "curve": 1}
        for kind, item_type, minimal in (("shareset", 16, 19), ("custom_effect", 17, 19),
                                         ("audio_device", 21, 21)):
            cases = (("minimal", {}, 0),
                     ("data", {"data": "0102030405"}, 5),
                     ("two media", {"media": [7, 8]}, 10),
                     ("subscription of 3 points",
                      {"rtpc": [dict(subscription, points=[[0, 0], [50, 1], [100, 2]])]}, 14 + 36),
                     ("two initial values", {"initial": [{"param": 0, "kind": 3, "value": 0.5},
                                                         {"param": 1, "value": 2}]}, 12))
            for what, extra, added in cases:
                with self.subTest(kind=kind, what=what):
                    written_type, body = item(type=kind, id=5, **extra)
                    self.assertEqual(written_type, item_type)
                    self.assertEqual(len(body), minimal + added)

    def test_fields_at_their_offsets(self):
        _, body = item(type="shareset", id=0x10, plugin=0x30041, data_f32=[0.5], media=[0x77],
                       rtpc=[{"parameter": 9, "parameter_type": 0, "combine": 3, "target": 200,
                              "curve": 4, "scaling": 2, "points": LINE}],
                       states={"properties": [[0, 3]]},
                       initial=[{"param": 0, "kind": 3, "value": 0.25}])
        self.assertEqual(struct.unpack_from("<IIIf", body), (0x10, 0x30041, 4, 0.5))
        self.assertEqual(struct.unpack_from("<BBI", body, 16), (1, 0, 0x77))
        self.assertEqual(struct.unpack_from("<HIBB", body, 22), (1, 9, 0, 3))
        self.assertEqual(body[30:32], bytes([0x81, 0x48]), "target 200, most significant first")
        self.assertEqual(struct.unpack_from("<IBH", body, 32), (4, 2, 2))
        self.assertEqual(struct.unpack_from("<ffI", body, 39 + 12), (100.0, 1.0, 4))
        self.assertEqual(body[63:68], bytes([1, 0, 3, 0, 0]), "one property (0, kind 3), no groups")
        self.assertEqual(struct.unpack_from("<HBBf", body, 68), (1, 0, 3, 0.25))

    def test_no_plugin_is_all_ones_and_the_device_list_follows_the_common_body(self):
        _, body = item(type="audio_device", id=1, effects_override=1, bypass=1,
                       effects=[{"slot": 0, "id": 0x99, "shareset": 1}])
        self.assertEqual(struct.unpack_from("<I", body, 4), (0xFFFFFFFF,))
        self.assertEqual(struct.unpack_from("<BBBBIBB", body, 19), (1, 1, 1, 0, 0x99, 1, 0))
        self.assertEqual(len(body), 21 + 1 + 7)

    def test_count_overrides_write_no_entries(self):
        _, body = item(type="custom_effect", id=1, data_size=9, media_count=3, rtpc_count=2,
                       initial_count=5)
        self.assertEqual(len(body), 19)
        self.assertEqual(struct.unpack_from("<I", body, 8), (9,))
        self.assertEqual(body[12], 3)
        self.assertEqual(struct.unpack_from("<H", body, 13), (2,))
        self.assertEqual(struct.unpack_from("<H", body, 17), (5,))

    def test_variants_damage_the_first_effect_object(self):
        description = {"chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "sound", "id": 1}, {"type": "shareset", "id": 2, "data": "0102",
                                          "media": [5]}]}]}
        names = dict(effects.variants(description))
        self.assertEqual(sorted(names), ["effect_data_size_past_item",
                                         "effect_initial_count_plus_one",
                                         "effect_media_count_plus_one",
                                         "effect_rtpc_count_plus_one"])
        damaged = names["effect_data_size_past_item"]["chunks"][1]["items"][1]
        self.assertEqual(damaged["data_size"], 3)
        self.assertEqual(names["effect_media_count_plus_one"]["chunks"][1]["items"][1]
                         ["media_count"], 2)
        self.assertNotIn("data_size", description["chunks"][1]["items"][1], "a copy is damaged")


if __name__ == "__main__":
    unittest.main()
