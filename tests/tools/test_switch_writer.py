"""The bank writer's switch container bodies (item type 6): the lengths of minimal and filled
bodies, the fields read back with struct at their offsets, and the fault variants."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import bank, chunks, faults, switches  # noqa: E402

NODE_BODY = 32
SWITCH_FIELDS = 4 + NODE_BODY + 10  # id, node body, group type, group, default, continuous


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class SwitchBodyTest(unittest.TestCase):
    def test_lengths(self):
        cases = (({}, 0),
                 ({"children": [1, 2, 3]}, 3 * 4),
                 ({"values": [{"value": 5, "children": [1, 2]}]}, 8 + 2 * 4),
                 ({"values": [{"value": 5}, {"value": 6, "children": [3]}]}, 8 + 8 + 4),
                 ({"settings": [{"child": 1}, {"child": 2, "mode": 1}]}, 2 * 14))
        for extra, added in cases:
            with self.subTest(extra=extra):
                written_type, body = item(type="switch", id=5, **extra)
                self.assertEqual(written_type, 6)
                self.assertEqual(len(body), 58 + added)

    def test_fields_at_their_offsets(self):
        _, body = item(type="switch", id=0x66, group_type="state", group=0x1234, default=0x99,
                       continuous=True, children=[10, 11],
                       values=[{"value": 0x98, "children": [10]}, {"value": 0x99, "children": [10, 11]}],
                       settings=[{"child": 10, "mode": 1, "fade_out": 200, "fade_in": 100,
                                  "first_only": True, "continue_across": True}])
        self.assertEqual(struct.unpack_from("<I", body), (0x66,))
        at = 4 + NODE_BODY
        self.assertEqual(struct.unpack_from("<BIIB", body, at), (1, 0x1234, 0x99, 1))
        at = SWITCH_FIELDS
        self.assertEqual(struct.unpack_from("<III", body, at), (2, 10, 11))
        self.assertEqual(struct.unpack_from("<IIII IIII", body, at + 12), (2, 0x98, 1, 10, 0x99, 2, 10, 11))
        self.assertEqual(struct.unpack_from("<IIBBII", body, at + 44), (1, 10, 0x03, 1, 200, 100))
        self.assertEqual(len(body), at + 44 + 4 + 14)

    def test_raw_counts_and_flags(self):
        _, body = item(type="switch", id=1, child_count=7, value_count=3, settings_count=9,
                       values=[{"value": 2, "child_count": 4}], settings=[{"child": 3, "flags_high": 0xFF}])
        self.assertEqual(struct.unpack_from("<I", body, SWITCH_FIELDS), (7,))
        self.assertEqual(struct.unpack_from("<III", body, SWITCH_FIELDS + 4), (3, 2, 4))
        self.assertEqual(struct.unpack_from("<IIB", body, SWITCH_FIELDS + 16), (9, 3, 0xFF))

    def test_unknown_group_type_is_an_error(self):
        with self.assertRaises(ValueError):
            item(type="switch", id=1, group_type="parameter")

    def test_fault_variants(self):
        description = {"name": "Test.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "switch", "id": 1, "children": [10, 11], "values": [{"value": 4, "children": [10, 11]}],
             "settings": [{"child": 10}]}]}]}
        variants = dict(switches.variants(description))
        self.assertEqual(set(variants), {
            "switch_child_count_plus_one", "switch_value_count_plus_one", "switch_settings_count_plus_one",
            "switch_value_child_count_plus_one", "switch_value_child_twice"})
        _, body = item(**variants["switch_value_child_count_plus_one"]["chunks"][1]["items"][0])
        self.assertEqual(struct.unpack_from("<III", body, SWITCH_FIELDS + 12), (1, 4, 3))
        _, body = item(**variants["switch_value_child_twice"]["chunks"][1]["items"][0])
        self.assertEqual(struct.unpack_from("<IIII", body, SWITCH_FIELDS + 16), (4, 2, 10, 10))
        names = [name for name, _ in faults.variants(description, bank.build(description))]
        self.assertIn("switch_settings_count_plus_one", names, "the bank's fault list carries them")


if __name__ == "__main__":
    unittest.main()
