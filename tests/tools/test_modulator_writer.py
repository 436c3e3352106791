"""The bank writer's modulator bodies (item types 19, 20, 22): lengths and field placement read
back with struct, typed values, the count overrides that make damaged bodies, and refusals."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks  # noqa: E402


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class ModulatorBodyTest(unittest.TestCase):
    def test_lengths(self):
        cases = [
            ("empty body: id, N, M and K only", {"type": "lfo", "id": 5}, 8),
            ("an LFO with three properties", {"type": "lfo", "id": 5, "props": {
                "lfo_frequency": 2.0, "lfo_waveform": 1, "scope": 2}}, 23),
            ("one range", {"type": "envelope", "id": 5, "ranges": {"env_attack_time": [0, 1]}}, 17),
        ]
        for what, fields, length in cases:
            with self.subTest(what):
                self.assertEqual(len(item(**fields)[1]), length)

    def test_subscription_entry_with_one_byte_parameter_number_and_two_points_is_38_bytes(self):
        entry = {"parameter": 7, "target": 8, "curve": 3, "points": [[0, 0], [1, 1]]}
        _, body = item(type="envelope", id=5, rtpc=[entry])
        self.assertEqual(len(body) - 8, 38)
        parameter, parameter_type, combine, number, curve, scaling, points = struct.unpack_from(
            "<IBBBIBH", body, 8)
        self.assertEqual((parameter, parameter_type, combine, number, curve, scaling, points),
                         (7, 0, 0, 8, 3, 0, 2))
        self.assertEqual(struct.unpack_from("<ffI", body, 8 + 14 + 12), (1.0, 1.0, 4))

    def test_item_types_and_field_placement(self):
        for name, number in (("lfo", 19), ("envelope", 20), ("time_modulator", 22)):
            with self.subTest(name):
                self.assertEqual(item(type=name, id=1)[0], number)
        _, body = item(type="time_modulator", id=0x01020304,
                       props={"time_duration": 2.5, "time_loops": 3},
                       ranges={"time_loops": [-1, 2], "time_playback_rate": [0.5, 1.5]})
        self.assertEqual(struct.unpack_from("<IB2B", body), (0x01020304, 2, 16, 17))
        self.assertEqual(struct.unpack_from("<fi", body, 7), (2.5, 3))
        self.assertEqual(struct.unpack_from("<B2B", body, 15), (2, 17, 18))
        self.assertEqual(struct.unpack_from("<ii", body, 18), (-1, 2), "loops' range: integers")
        self.assertEqual(struct.unpack_from("<ff", body, 26), (0.5, 1.5))
        self.assertEqual(struct.unpack_from("<H", body, 34), (0,))

    def test_two_byte_parameter_number_most_significant_group_first(self):
        _, body = item(type="lfo", id=1, rtpc=[{"parameter": 1, "target": 200,
                                                "points": [[0, 0]]}])
        self.assertEqual(body[8 + 6:8 + 8], bytes([0x81, 0x48]))

    def test_count_overrides_and_values_that_are_not_finite(self):
        _, body = item(type="lfo", id=1, props={"lfo_depth": 50.0}, prop_count=2,
                       range_count=1, rtpc_count=3)
        self.assertEqual((body[4], body[10], struct.unpack_from("<H", body, 11)[0]), (2, 1, 3))
        _, body = item(type="lfo", id=1, props={"lfo_depth": {"f32": "inf"}})
        self.assertEqual(struct.unpack_from("<f", body, 6)[0], float("inf"))

    def test_refusals(self):
        for what, fields in (("unknown property", {"props": {"lfo_speed": 1}}),
                             ("integer property with a fraction", {"props": {"scope": 1.5}}),
                             ("misspelt key", {"prop": {}})):
            with self.subTest(what), self.assertRaises(ValueError):
                item(type="lfo", id=1, **fields)


if __name__ == "__main__":
    unittest.main()


class ModulatorOrderTest(unittest.TestCase):
    """A node naming a modulator is read after it: modulators lead the chunk unless told not to."""

    class Layout:
        sizes = {}

    def item_types(self, **chunk):
        from soundbank.fields import Fields
        body = chunks.hierarchy(Fields("HIRC", dict(chunk)), "Test.bnk", self.Layout())
        types, offset = [], 4
        for _ in range(struct.unpack_from("<I", body)[0]):
            item_type, size = struct.unpack_from("<BI", body, offset)
            types.append((item_type, struct.unpack_from("<I", body, offset + 5)[0]))
            offset += 5 + size
        return types

    def test_modulators_are_written_before_the_nodes_that_name_them(self):
        entry = {"parameter": 30, "parameter_type": 2, "target": 2, "points": [[0, -100], [1, 100]]}
        items = [{"type": "sound", "id": 10, "media_size": 4, "rtpc": [entry]}, {"type": "lfo", "id": 30},
                 {"type": "envelope", "id": 31}]
        self.assertEqual(self.item_types(items=items), [(19, 30), (20, 31), (2, 10)])
        self.assertEqual(self.item_types(items=items, order="as_written"), [(2, 10), (19, 30), (20, 31)])
