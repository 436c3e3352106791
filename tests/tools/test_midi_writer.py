"""The writer's MIDI track media: the header fields read back with struct, the events judged by
Debian's python3-mido (the track wrapped in a standard MIDI file's chunks), variable-length numbers
against mido's own encoder, and the fault variants (media and bank)."""

import io
import math
import os
import struct
import sys
import unittest

import mido
from mido.midifiles import midifiles as mido_files

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import bank, faults, midi  # noqa: E402

HEADER = 6

# Running status, every channel message kind, both block kinds, a meta event and deltas of one to
# four bytes.
EVENTS = [
    {"delta": 0, "status": 0x90, "data": [60, 100]},
    {"delta": 0, "data": [62, 100]},
    {"delta": 127, "status": 0xB3, "data": [64, 127]},
    {"delta": 128, "status": 0xC5, "data": [9]},
    {"delta": 16383, "data": [10]},
    {"delta": 16384, "status": 0xE0, "data": [0, 64]},
    {"delta": 2097152, "meta": 1, "hex": "6869"},
    {"delta": 1, "sysex": "7e7f0901"},
    {"delta": 2, "escape": "0102"},
    {"delta": 0x0FFFFFFF, "status": 0xA1, "data": [60, 5]},
    {"delta": 3, "status": 0xD2, "data": [77]},
    {"delta": 4, "status": 0x80, "data": [60, 0]},
]
DESC = {"midi": {"ticks_per_quarter": 96, "tempo": 93.5, "events": EVENTS}}


def parsed_by_mido(track, ticks_per_quarter):
    body = track + bytes.fromhex("00ff2f00")  # mido wants the end-of-track event
    data = (b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks_per_quarter) +
            b"MTrk" + struct.pack(">I", len(body)) + body)
    return list(mido.MidiFile(file=io.BytesIO(data)).tracks[0])[:-1]


class MidiMediaTest(unittest.TestCase):
    def test_header_fields(self):
        data = midi.media_bytes(DESC)
        ticks, tempo = struct.unpack_from(">H", data)[0], struct.unpack_from("<f", data, 2)[0]
        self.assertEqual(ticks, 96)
        self.assertEqual(tempo, 93.5)

    def test_events_as_mido_reads_them(self):
        data = midi.media_bytes(DESC)
        messages = parsed_by_mido(data[HEADER:], 96)
        self.assertEqual([message.time for message in messages], [event["delta"] for event in EVENTS])
        channel = [message.bytes() for message in messages if not message.is_meta and message.type != "sysex"]
        self.assertEqual(channel, [[0x90, 60, 100], [0x90, 62, 100], [0xB3, 64, 127], [0xC5, 9], [0xC5, 10],
                                   [0xE0, 0, 64], [0xA1, 60, 5], [0xD2, 77], [0x80, 60, 0]])
        self.assertEqual(messages[6].text, "hi")
        self.assertEqual([list(message.data) for message in messages if message.type == "sysex"],
                         [[0x7E, 0x7F, 0x09, 0x01], [0x01, 0x02]])

    def test_variable_length_numbers(self):
        for value in (0, 1, 127, 128, 16383, 16384, 2097151, 2097152, 0x0FFFFFFF):
            self.assertEqual(midi.variable_length(value), bytes(mido_files.encode_variable_int(value)), value)
        for value in (-1, 1 << 28):
            with self.assertRaises(ValueError):
                midi.variable_length(value)

    def test_tempo_spellings_and_cuts(self):
        cases = (({"tempo": "nan"}, math.isnan), ({"tempo": "-inf"}, lambda t: t == -math.inf),
                 ({"tempo_bits": "0x7F7FFFFF"}, lambda t: t == struct.unpack("<f", bytes.fromhex("ffff7f7f"))[0]))
        for fields, check in cases:
            data = midi.media_bytes({"midi": dict(fields, events=[])})
            self.assertEqual(len(data), HEADER)
            self.assertTrue(check(struct.unpack_from("<f", data, 2)[0]), fields)
        whole = midi.media_bytes(DESC)
        self.assertEqual(midi.media_bytes({"midi": dict(DESC["midi"], truncate=7)}), whole[:7])
        self.assertEqual(midi.media_bytes({"midi": dict(DESC["midi"], append="f1")}), whole + b"\xf1")
        with self.assertRaises(ValueError):
            midi.media_bytes({"midi": dict(DESC["midi"], speed=1)})

    def test_variants(self):
        whole = midi.media_bytes(DESC)
        names = midi.variant_names(DESC)
        cuts = [name for name in names if name.startswith("cut_")]
        self.assertEqual(len(cuts), len(whole))
        for name in cuts:
            self.assertEqual(midi.media_bytes(dict(DESC, variant=name)), whole[:int(name[4:])])
        damaged = {name: midi.media_bytes(dict(DESC, variant=name)) for name in midi.NAMED_VARIANTS}
        self.assertEqual(struct.unpack_from(">H", damaged["ticks_zero"])[0], 0)
        tempo = {name: struct.unpack_from("<f", damaged[name], 2)[0] for name in damaged}
        self.assertTrue(math.isnan(tempo["tempo_nan"]))
        self.assertEqual(tempo["tempo_negative"], -120.0)
        self.assertEqual(tempo["tempo_infinite"], math.inf)
        self.assertTrue(math.isfinite(tempo["tempo_huge"]) and tempo["tempo_huge"] > 3e38)
        first = len(midi.variable_length(0)) + 3  # the first event: delta 0, note on
        self.assertEqual(damaged["bad_status"][HEADER + first:HEADER + first + 2], b"\x00\xf1")
        self.assertEqual(damaged["controller_high_bit"][HEADER + first:HEADER + first + 4], b"\x00\xb0\x87\x10")
        self.assertEqual(damaged["long_delta"][HEADER + first:HEADER + first + 4], b"\x80\x80\x80\x80")
        self.assertEqual(damaged["sysex_past_end"][len(whole):], bytes.fromhex("00f07f0102"))
        self.assertEqual(damaged["running_status_first"][HEADER:HEADER + 3], bytes.fromhex("003c64"))
        zero = parsed_by_mido(damaged["all_deltas_zero"][HEADER:], 96)
        self.assertEqual([message.time for message in zero], [0] * len(EVENTS))

    def test_bank_media_and_its_faults(self):
        description = {"name": "Midi.bnk", "media": [{"id": 7, **DESC}],
                       "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}]}
        image = bank.build(description)
        (media_id, offset, size), = image.media
        data_chunk = next(start for tag, start, _ in image.chunks if tag == "DATA")
        self.assertEqual((media_id, size), (7, len(midi.media_bytes(DESC))))
        self.assertEqual(image.data[data_chunk + 8 + offset:][:size], midi.media_bytes(DESC))
        named = {name: variant for name, variant in faults.variants(description, image) if name.startswith("midi_")}
        self.assertEqual(sorted(named), sorted("midi_" + name for name in midi.NAMED_VARIANTS))
        ticks_zero = bank.build(named["midi_ticks_zero"])
        self.assertEqual(ticks_zero.data[data_chunk + 8 + offset:][:2], b"\x00\x00")


if __name__ == "__main__":
    unittest.main()
