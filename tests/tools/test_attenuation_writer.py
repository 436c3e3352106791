"""The bank writer's attenuation bodies (item type 14) and a sound's 3-D positioning settings:
lengths and field placement read back with struct, the count overrides that make damaged
bodies, and refusals."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks  # noqa: E402
from soundbank.ids import fnv1  # noqa: E402

TWO_POINTS = [[0, 0], [100, -20]]


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class AttenuationBodyTest(unittest.TestCase):
    def test_cone_off_and_on_lengths_and_map_offsets(self):
        cone = {"inside": 90, "outside": 180, "volume": -6, "lowpass": 10, "highpass": 20}
        for what, extra, length, map_offset in (("cone off", {}, 43, 6),
                                                ("cone on", {"cone": cone}, 63, 26)):
            with self.subTest(what):
                item_type, body = item(type="attenuation", id=7, map={0: 0, 3: 0},
                                       curves=[{"scaling": 2, "points": TWO_POINTS}], **extra)
                self.assertEqual(item_type, 14)
                self.assertEqual(len(body), length)
                self.assertEqual(body[map_offset:map_offset + 7],
                                 bytes([0, 255, 255, 0, 255, 255, 255]))
                self.assertEqual(struct.unpack_from("<BBH", body, map_offset + 7), (1, 2, 2))
                self.assertEqual(struct.unpack_from("<ffI", body, map_offset + 7 + 4 + 12),
                                 (100.0, -20.0, 4))
                self.assertEqual(body[-2:], b"\x00\x00", "no parameter curves")
        _, body = item(type="attenuation", id=7, second_flag=1, cone=cone, map=[255] * 7)
        self.assertEqual(struct.unpack_from("<IBB5f", body), (7, 1, 1, 90, 180, -6, 10, 20))

    def test_parameter_curves_take_the_node_entry_form_and_counts_can_lie(self):
        entry = {"parameter": 9, "target": 200, "curve": 3, "points": [[0, 1]]}
        _, body = item(type="attenuation", id=1, rtpc=[entry], rtpc_count=2, curve_count=8)
        self.assertEqual(body[13], 8, "N as given, no curve written")
        self.assertEqual(struct.unpack_from("<HIBB", body, 14), (2, 9, 0, 0))
        self.assertEqual(body[22:24], bytes([0x81, 0x48]), "target 200 most significant first")

    def test_refusals(self):
        for what, fields in (("six map entries", {"map": [0] * 6}),
                             ("role 7", {"map": {7: 0}})):
            with self.subTest(what), self.assertRaises(ValueError):
                item(type="attenuation", id=1, **fields)


class SoundPositioningTest(unittest.TestCase):
    def test_three_d_settings_add_the_q_byte_and_properties_70_and_71_are_typed(self):
        _, plain = item(type="sound", id=1, media=2, media_size=10)
        _, positioned = item(type="sound", id=1, media=2, media_size=10, positioning=3,
                             positioning_3d=0x11)
        self.assertEqual((len(plain), len(positioned)), (50, 51))
        _, props = item(type="sound", id=1, media=2, media_size=10,
                        props={"attenuation": 5, 71: 2})
        start = props.index(bytes([2, 70, 71]))
        self.assertEqual(struct.unpack_from("<if", props, start + 3), (5, 2.0))

    def test_a_sound_may_name_its_attenuation_by_the_items_name(self):
        # Names hash above 2^31 as often as not: the id is written unsigned, not as an int32.
        for name in ("Attenuation/launch_flight", "A"):
            with self.subTest(name=name):
                _, props = item(type="sound", id=1, media=2, media_size=10, props={"attenuation": name})
                start = props.index(bytes([1, 70]))
                self.assertEqual(struct.unpack_from("<I", props, start + 2)[0], fnv1(name))


if __name__ == "__main__":
    unittest.main()
