"""The bank writer's layered containers (item type 9) and their layer records: the lengths of
minimal and filled bodies, the fields at their offsets read back with struct, and the fault
variants."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks, layered  # noqa: E402

NODE_BODY = 32
BINDING = {"parameter": 77, "target": 0, "curve": 5, "points": [[0, 0], [100, -6]]}


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class LayeredBodyTest(unittest.TestCase):
    def test_container_lengths(self):
        cases = (({}, 0),
                 ({"children": [1, 2, 3]}, 12),
                 ({"layers": [{"id": 40}]}, 15),
                 ({"children": [1], "layers": [{"id": 40}, {"id": 41}]}, 4 + 30))
        for extra, added in cases:
            with self.subTest(extra=extra):
                written_type, body = item(type="layered", id=5, **extra)
                self.assertEqual(written_type, 9)
                self.assertEqual(len(body), 45 + added)

    def test_layer_record_lengths(self):
        cases = (({}, 0),
                 ({"rtpc": [BINDING]}, 14 + 2 * 12),
                 ({"rtpc": [dict(BINDING, points=[])]}, 14),
                 ({"associations": [{"child": 1, "points": [[0, 1], [50, 0], [100, 0]]}]}, 8 + 3 * 12),
                 ({"associations": [{"child": 1}, {"child": 2, "points": [[0, 1]]}]}, 8 + 8 + 12))
        for extra, added in cases:
            with self.subTest(extra=extra):
                self.assertEqual(len(layered.layer_record(dict(id=40, **extra))), 15 + added)

    def test_fields_at_their_offsets(self):
        _, body = item(type="layered", id=0x99, children=[10, 11], continuous=True,
                       layers=[{"id": 40, "rtpc": [BINDING], "crossfade": 77, "crossfade_type": 2,
                                "associations": [{"child": 10, "points": [[0, 1, 9], [100, 0]]}]}])
        at = 4 + NODE_BODY
        self.assertEqual(struct.unpack_from("<IIII", body, at), (2, 10, 11, 1))
        at += 16
        self.assertEqual(struct.unpack_from("<IHIBBBIBH", body, at), (40, 1, 77, 0, 0, 0, 5, 0, 2))
        at += 4 + 2 + 14 + 24
        self.assertEqual(struct.unpack_from("<IBI", body, at), (77, 2, 1))
        at += 9
        self.assertEqual(struct.unpack_from("<IIffIffI", body, at), (10, 2, 0.0, 1.0, 9, 100.0, 0.0, 4))
        self.assertEqual(body[-1], 1, "the continuous byte ends the body")
        self.assertEqual(len(body), at + 8 + 24 + 1)

    def test_fault_variants_make_each_count_one_too_large(self):
        description = {"chunks": [{"tag": "HIRC", "items": [
            {"type": "layered", "id": 5, "children": [1],
             "layers": [{"id": 40, "rtpc": [BINDING],
                         "associations": [{"child": 1, "points": [[0, 1]]}]}]}]}]}
        got = {name: variant["chunks"][0]["items"][0] for name, variant in layered.variants(description)}
        self.assertEqual(got["layered_child_count_plus_one"]["child_count"], 2)
        self.assertEqual(got["layered_layer_count_plus_one"]["layer_count"], 2)
        self.assertEqual(got["layer_binding_count_plus_one"]["layers"][0]["binding_count"], 2)
        self.assertEqual(got["layer_association_count_plus_one"]["layers"][0]["association_count"], 2)
        self.assertEqual(got["layer_point_count_plus_one"]["layers"][0]["associations"][0]["point_count"], 2)
        _, body = item(**got["layer_binding_count_plus_one"])
        self.assertEqual(struct.unpack_from("<H", body, 4 + NODE_BODY + 16)[0], 2)


if __name__ == "__main__":
    unittest.main()
