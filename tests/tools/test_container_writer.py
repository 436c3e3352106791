"""The bank writer's container bodies (playlist containers, item type 5; group nodes, type 7): the
lengths of minimal and filled bodies, each field at its offset read back with struct, and the fault
variants."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks, containers, faults  # noqa: E402

NODE_BODY = 32


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class ContainerBodyTest(unittest.TestCase):
    def test_lengths(self):
        cases = (("playlist", 5, 66, {}, 0),
                 ("playlist", 5, 66, {"children": [1, 2, 3]}, 3 * 4 + 3 * 8),
                 ("playlist", 5, 66, {"children": [1, 2], "entries": [[1, 7]]}, 2 * 4 + 8),
                 ("playlist", 5, 66, {"entries": [9, 9, 9]}, 3 * 8),
                 ("group", 7, 40, {}, 0),
                 ("group", 7, 40, {"children": [4, 5, 6, 7]}, 16))
        for kind, item_type, minimal, extra, added in cases:
            with self.subTest(kind=kind, extra=extra):
                written_type, body = item(type=kind, id=5, **extra)
                self.assertEqual(written_type, item_type)
                self.assertEqual(len(body), minimal + added)

    def test_playlist_fields_at_their_offsets(self):
        _, body = item(type="playlist", id=0x55, loop_count=3, loop_min=-1, loop_max=2,
                       transition_time=300.0, transition_min=-10.0, transition_max=20.0,
                       avoid_repeat=2, transition_kind=3, random_type=1, play_mode="random",
                       reverse_at_end=True, continuous=True, global_scope=False,
                       children=[10, 11], entries=[[10, 100000], [11, 50000]])
        self.assertEqual(struct.unpack_from("<I", body), (0x55,))
        at = 4 + NODE_BODY
        self.assertEqual(struct.unpack_from("<HhhfffHBBBB", body, at),
                         (3, -1, 2, 300.0, -10.0, 20.0, 2, 3, 1, 0, 0x02 | 0x04 | 0x08))
        self.assertEqual(struct.unpack_from("<III", body, at + 24), (2, 10, 11))
        self.assertEqual(struct.unpack_from("<HIIII", body, at + 36), (2, 10, 100000, 11, 50000))

    def test_playlist_defaults_and_raw_flags(self):
        _, body = item(type="playlist", id=1)
        self.assertEqual(struct.unpack_from("<HBBBB", body, 4 + NODE_BODY + 18), (0, 0, 0, 1, 0x12))
        _, body = item(type="playlist", id=1, flags=0xE1)
        self.assertEqual(body[4 + NODE_BODY + 23], 0xE1)

    def test_group_children_follow_the_node_body(self):
        _, body = item(type="group", id=7, parent=3, children=[20, 21], child_count=5)
        self.assertEqual(struct.unpack_from("<III", body, 4 + NODE_BODY), (5, 20, 21))
        self.assertEqual(struct.unpack_from("<I", body, 4 + 9), (3,), "the parent in the node body")

    def test_unknown_play_mode_is_an_error(self):
        with self.assertRaises(ValueError):
            item(type="playlist", id=1, play_mode="shuffle")

    def test_fault_variants(self):
        description = {"name": "Test.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "playlist", "id": 1, "children": [10, 11]},
            {"type": "group", "id": 2, "children": [20]}]}]}
        variants = dict(containers.variants(description))
        self.assertEqual(set(variants), {
            "playlist_child_count_plus_one", "group_child_count_plus_one",
            "playlist_entry_count_plus_one", "playlist_weight_2_31", "playlist_weights_3e9",
            "playlist_duplicate_random_entry", "playlist_play_mode_2"})
        _, body = item(**variants["playlist_child_count_plus_one"]["chunks"][1]["items"][0])
        self.assertEqual(struct.unpack_from("<I", body, 4 + NODE_BODY + 24), (3,))
        _, body = item(**variants["playlist_weight_2_31"]["chunks"][1]["items"][0])
        self.assertEqual(struct.unpack_from("<HII", body, 4 + NODE_BODY + 36), (1, 10, 2 ** 31))
        names = [name for name, _ in faults.variants(description, _image(description))]
        self.assertIn("group_child_count_plus_one", names, "the bank's fault list carries them")


def _image(description):
    from soundbank import bank
    return bank.build(description)


if __name__ == "__main__":
    unittest.main()
