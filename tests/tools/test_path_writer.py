"""The bank writer's path block (3-D position modes 1 and 2 of sound and bus bodies): its length
and fields read back with struct, and the damaged copies of tools/soundbank/paths.py."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks, paths  # noqa: E402

PATH = {"mode": 4, "transition_time": 300, "vertices": [[-1000, 0, 500, 1500], [1000, 0, 500, 0]],
        "items": [[0, 2]], "ranges": [[1.5, 2.5, 3.5]]}


def item(**fields):
    return chunks.hierarchy_item(dict(fields), "Test.bnk", {})[1]


class PathBlockTest(unittest.TestCase):
    def test_a_path_of_two_vertices_and_one_item_adds_65_bytes(self):
        positioned = item(type="sound", id=1, media=2, media_size=10, positioning=0x23,
                          positioning_3d=0x40, path=PATH)
        self.assertEqual(len(positioned), 116, "51 with 3-D settings, 65 for the path block")
        start = positioned.index(bytes([0x23, 0x40])) + 2
        self.assertEqual(struct.unpack_from("<BII", positioned, start), (4, 300, 2))
        self.assertEqual(struct.unpack_from("<fffI", positioned, start + 9), (-1000.0, 0.0, 500.0, 1500))
        self.assertEqual(struct.unpack_from("<III", positioned, start + 41), (1, 0, 2))
        self.assertEqual(struct.unpack_from("<fff", positioned, start + 53), (1.5, 2.5, 3.5))

    def test_modes_0_and_3_write_no_block_and_buses_write_the_same_one(self):
        plain = item(type="bus", id=1, parent=2, positioning=3)
        for mode in (0, 3):
            with self.subTest(mode=mode):
                self.assertEqual(len(item(type="bus", id=1, parent=2, positioning=3 | mode << 5)), len(plain))
                with self.assertRaises(ValueError):
                    item(type="bus", id=1, parent=2, positioning=3 | mode << 5, path=PATH)
        for mode in (1, 2):
            with self.subTest(mode=mode):
                body = item(type="bus", id=1, parent=2, positioning=3 | mode << 5, path=PATH)
                self.assertEqual(len(body) - len(plain), 65)


class PathFaultsTest(unittest.TestCase):
    def test_each_fault_changes_only_the_first_path_block(self):
        description = {"name": "T.bnk", "chunks": [{"tag": "HIRC", "items": [
            {"type": "sound", "id": 1, "media": 2, "media_size": 0},
            {"type": "sound", "id": 3, "media": 2, "media_size": 0, "positioning": 0x23, "path": PATH},
            {"type": "sound", "id": 4, "media": 2, "media_size": 0, "positioning": 0x23, "path": PATH}]}]}
        faults = dict(paths.variants(description))
        expected = {"path_item_past_vertices": ([[1, 2]], 2), "path_item_at_vertex_count": ([[2, 1]], 2),
                    "path_no_vertices": ([[0, 2]], 0), "path_no_items": ([], 2)}
        self.assertEqual(sorted(faults), sorted(expected))
        for name, (items, vertices) in expected.items():
            with self.subTest(name):
                damaged = faults[name]["chunks"][0]["items"]
                self.assertEqual(damaged[1]["path"]["items"], items)
                self.assertEqual(len(damaged[1]["path"]["vertices"]), vertices)
                self.assertEqual(damaged[2]["path"], PATH, "the second block is left alone")
                body = item(**damaged[1])
                self.assertGreater(len(body), 0, "the writer still writes the damaged block")
        self.assertEqual(paths.variants({"chunks": [{"tag": "HIRC", "items": [
            {"type": "sound", "id": 1, "positioning": 0x63, "path": PATH}]}]}), [],
            "mode 3 has no path block")


if __name__ == "__main__":
    unittest.main()
