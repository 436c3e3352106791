"""The bank writer's sounds of a source plug-in and the silence item: the sound's source block (plug-in
id of type 2, source id, size 0, flags, parameter size and block) and its custom effect, read back
with struct from the written hierarchy, and the silence block's three floats and cut sizes."""

import os
import struct
import sys
import unittest

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks, source_plugins  # noqa: E402
from soundbank.fields import Fields  # noqa: E402


def hierarchy_items(items):
    """(type, body) of each item the "HIRC" body holds."""
    body = chunks.hierarchy(Fields("HIRC", {"items": items, "order": "as_written"}), "Test.bnk",
                            chunks.MediaLayout([], 16))
    count, = struct.unpack_from("<I", body)
    out, at = [], 4
    for _ in range(count):
        item_type, size = struct.unpack_from("<BI", body, at)
        out.append((item_type, body[at + 5:at + 5 + size]))
        at += 5 + size
    return out


class SilenceItemTest(unittest.TestCase):
    def test_a_silence_is_its_custom_effect_and_its_sound(self):
        items = hierarchy_items([{"type": "silence", "id": 300, "effect": 600, "duration": 0.21,
                                  "random_max": 0.1, "bus": 0}])
        self.assertEqual([item_type for item_type, _ in items], [17, 2])
        effect, sound = items[0][1], items[1][1]
        block = struct.pack("<3f", 0.21, 0.0, 0.1)
        self.assertEqual(struct.unpack_from("<III", effect), (600, 0x00650002, 12))
        self.assertEqual(effect[12:24], block)
        plugin_id, stream_type, source, size, flags, param_size = struct.unpack_from("<IIBIIBI", sound)[1:]
        self.assertEqual(struct.unpack_from("<I", sound), (300,))
        self.assertEqual((plugin_id & 0xF, plugin_id), (2, 0x00650002), "a source plug-in: type 2")
        self.assertEqual((stream_type, source, size, flags, param_size), (0, 600, 0, 0, 12))
        self.assertEqual(sound[22:34], block)

    def test_blocks_are_cut_for_tests(self):
        for size in (0, 8, 12):
            with self.subTest(size=size):
                items = hierarchy_items([{"type": "silence", "id": 1, "effect": 2, "duration": 0.5,
                                          "block_size": size}])
                effect = items[0][1]
                self.assertEqual(struct.unpack_from("<I", effect, 8), (size,))
                self.assertEqual(effect[12:12 + size], struct.pack("<3f", 0.5, 0.0, 0.0)[:size])

    def test_the_block_defaults_and_limits(self):
        self.assertEqual(source_plugins.silence_block(), struct.pack("<3f", 1.0, 0.0, 0.0))
        with self.assertRaises(ValueError):
            source_plugins.silence_block(size=13)
        with self.assertRaises(ValueError):
            hierarchy_items([{"type": "silence", "id": 1}])

    def test_other_items_are_left_as_they_are(self):
        items = [{"type": "event", "id": 4, "actions": []}]
        self.assertEqual(source_plugins.expand(items), items)


if __name__ == "__main__":
    unittest.main()
