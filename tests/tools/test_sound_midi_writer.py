"""The bank writer's MIDI settings of a node: the behaviour byte's override and flag bits and the
properties they bring (46 the play mode, 45 the root note), read back from the written sound with
the independent reader of tests/tools/bank_reading.py."""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

import bank_reading  # noqa: E402
from soundbank import chunks  # noqa: E402
from soundbank.fields import Fields  # noqa: E402


def written_sound(**settings):
    item = {"type": "sound", "id": 300, "media": 1, "media_size": 8, "bus": 0}
    item.update(settings)
    body = chunks.hierarchy(Fields("HIRC", {"items": [item], "order": "as_written"}), "Test.bnk",
                            chunks.MediaLayout([], 16))
    (item_type, sound), = bank_reading.items(body)
    assert item_type == 2
    return bank_reading.sound(sound)


def integer(raw):
    return struct.unpack("<i", raw)[0]


class SoundMidiSettingsTest(unittest.TestCase):
    def test_each_setting_gives_its_bits_and_properties(self):
        cases = [
            ("none", {}, 0x00, {}),
            ("play mode", {"play_mode": 1}, 0x04, {46: 1}),
            ("key tracking on", {"key_tracking": True, "root_note": 69}, 0x18, {45: 69}),
            ("key tracking off keeps its override", {"key_tracking": False}, 0x08, {45: 60}),
            ("note-offs handed to the voices", {"hand_note_off": True}, 0x20, {}),
            ("the instrument", {"play_mode": 1, "key_tracking": True, "root_note": 69}, 0x1C, {46: 1, 45: 69}),
        ]
        for what, midi, bits, props in cases:
            with self.subTest(what):
                sound = written_sound(midi=midi)
                self.assertEqual(sound["behaviour"], bits)
                self.assertEqual({prop: integer(raw) for prop, raw in sound["props"].items()}, props)

    def test_settings_join_the_other_bits_and_properties(self):
        sound = written_sound(behaviour=0x01, props={"priority": 80.0}, midi={"play_mode": 2})
        self.assertEqual(sound["behaviour"], 0x05)
        self.assertEqual(sorted(sound["props"]), [7, 46])
        self.assertEqual(struct.unpack("<f", sound["props"][7])[0], 80.0)
        self.assertEqual(integer(sound["props"][46]), 2)

    def test_unknown_or_orphan_settings_are_refused(self):
        for midi in ({"transpose": 3}, {"root_note": 69}):
            with self.subTest(midi=midi), self.assertRaises(ValueError):
                written_sound(midi=midi)


if __name__ == "__main__":
    unittest.main()
