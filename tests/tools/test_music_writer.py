"""The bank writer's music bodies (segments, tracks, switch and playlist containers, item types 10
to 13): the lengths of minimal and filled bodies, fields read back at their offsets with struct,
the playlist items depth first, and the fault variants."""

import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bank_reading as br  # noqa: E402

REPOSITORY = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPOSITORY, "tools"))

from soundbank import chunks, faults, music  # noqa: E402
from soundbank.ids import resolve  # noqa: E402

NODE_BODY = 32
# id, music flags, node body, child count, grid, stinger count
COMMON = 4 + 1 + NODE_BODY + 4 + 23 + 4


def item(**fields):
    item_type, body, _ = chunks.hierarchy_item(dict(fields), "Test.bnk", {})
    return item_type, body


class MusicBodyTest(unittest.TestCase):
    def test_lengths(self):
        rule = {"sources": [1], "destinations": [2]}
        cases = (("music_segment", 10, 80, {}),
                 ("music_segment", 10, 106, {"markers": [{"id": 1}, {"id": 2}]}),
                 ("music_segment", 10, 80 + 24, {"stingers": [{"trigger": 1}]}),
                 ("music_segment", 10, 80 + 8, {"children": [5, 6]}),
                 ("music_track", 11, 54, {}),
                 ("music_track", 11, 54 + 44 + 4, {"clips": [{"source": 1}]}),
                 ("music_track", 11, 54 + 14, {"sources": [{"source": 1}]}),
                 ("music_track", 11, 54 + 12 + 24, {"curves": [{"points": [[0, 1, 4], [1, 0, 4]]}]}),
                 ("music_track", 11, 54 + 1 + 4 + 4 + 4 + 8 + 32, {"track_kind": "switch", "switch": {"switches": [1, 2]}}),
                 ("music_playlist", 13, 76, {}),
                 ("music_playlist", 13, 76 + 64, {"rules": [rule]}),
                 ("music_playlist", 13, 76 + 94, {"rules": [dict(rule, segment={"id": 9})]}),
                 ("music_playlist", 13, 76 + 3 * 30, {"playlist": {"items": [{"segment": 1}, {"segment": 2}]}}),
                 ("music_switch", 12, 82, {}),
                 ("music_switch", 12, 82 + 2 * 5 + 3 * 12, {"arguments": [[7, 1], [8, 0]],
                                                            "tree": {"children": {"1": {"children": {"*": 5}}}}}))
        for kind, item_type, length, extra in cases:
            with self.subTest(kind=kind, extra=extra):
                written_type, body = item(type=kind, id=5, **extra)
                self.assertEqual(written_type, item_type)
                self.assertEqual(len(body), length)
        self.assertEqual(music.STINGER_LENGTH, 24)
        self.assertEqual(music.CLIP_LENGTH, 44)
        self.assertEqual(music.PLAYLIST_ITEM_LENGTH, 30)

    def test_segment_fields_at_their_offsets(self):
        _, body = item(type="music_segment", id=0x55, music_flags=14, children=[7],
                       grid={"period_ms": 300.0, "offset_ms": 50.0, "tempo": 96.0, "beats_per_bar": 3,
                             "beat_value": 8, "own": 1},
                       stingers=[{"trigger": 1, "segment": 2, "sync": 3, "cue": 4, "min_ms": -5, "next_segment": 1}],
                       duration_ms=1234.5, markers=[{"id": 9, "position_ms": 10.0, "name": "in"}])
        self.assertEqual(struct.unpack_from("<IB", body, 0), (0x55, 14))
        at = 5 + NODE_BODY
        self.assertEqual(struct.unpack_from("<II", body, at), (1, 7))
        self.assertEqual(struct.unpack_from("<ddfBBB", body, at + 8), (300.0, 50.0, 96.0, 3, 8, 1))
        self.assertEqual(struct.unpack_from("<IIIIIiI", body, at + 31), (1, 1, 2, 3, 4, -5, 1))
        self.assertEqual(struct.unpack_from("<dII", body, at + 59), (1234.5, 1, 9))
        self.assertEqual(struct.unpack_from("<d", body, at + 75), (10.0,))
        self.assertEqual(body[at + 83:], b"in\x00")

    def test_track_fields_at_their_offsets(self):
        _, body = item(type="music_track", id=3, track_flags=2,
                       sources=[{"source": 8, "stream_type": 1, "media_size": 64, "flags": 1}],
                       clips=[{"subtrack": 1, "source": 8, "event": 5, "position_ms": 1.0, "start_trim_ms": 2.0,
                               "end_trim_ms": 3.0, "duration_ms": 4.0}],
                       curves=[{"clip": 0, "kind": 2, "points": [[0.5, 1.0, 4]]}], track_kind="switch",
                       switch={"group_type": 1, "group": 6, "default": 7, "switches": [7], "fade_out_time": 10,
                               "fade_out_curve": 2, "fade_out_offset": -3, "sync": 4, "cue": 5, "fade_in_time": 11,
                               "fade_in_curve": 3, "fade_in_offset": 9},
                       look_ahead_ms=100)
        self.assertEqual(struct.unpack_from("<IBI", body, 0), (3, 2, 1))
        self.assertEqual(struct.unpack_from("<IBIIB", body, 9), (0x00010001, 1, 8, 64, 1))
        self.assertEqual(struct.unpack_from("<IIIIdddd", body, 23), (1, 1, 8, 5, 1.0, 2.0, 3.0, 4.0))
        self.assertEqual(struct.unpack_from("<II", body, 71), (2, 1))  # sub-track count, curve count
        self.assertEqual(struct.unpack_from("<IIIffI", body, 79), (0, 2, 1, 0.5, 1.0, 4))
        at = 103 + NODE_BODY
        self.assertEqual(struct.unpack_from("<BBIIII", body, at), (3, 1, 6, 7, 1, 7))
        self.assertEqual(struct.unpack_from("<IIiIIIIii", body, at + 18), (10, 2, -3, 4, 5, 11, 3, 9, 100))
        self.assertEqual(len(body), at + 18 + 36)

    def test_the_bank_reader_reads_segments_and_tracks_back(self):
        grid = {"period_ms": 500.0, "offset_ms": 0.0, "tempo": 120.0, "beats_per_bar": 4, "beat_value": 4, "own": 1}
        _, body = item(type="music_segment", id=0x55, children=[7, 8], grid=grid, stingers=[{"trigger": 1}],
                       duration_ms=3000.0, markers=[{"id": 1, "position_ms": 500.0, "name": "entry"},
                                                    {"id": 2, "position_ms": 2500.0}])
        segment = br.music_segment(body)
        self.assertEqual((segment["id"], segment["children"], segment["grid"], segment["duration_ms"]),
                         (0x55, [7, 8], grid, 3000.0))
        self.assertEqual(segment["markers"], [(1, 500.0, "entry"), (2, 2500.0, "")])
        for kind, extra in (("normal", {}), ("switch", {"switch": {"switches": [1, 2]}})):
            with self.subTest(kind=kind):
                _, body = item(type="music_track", id=7, sources=[{"source": 3, "media_size": 96}, {"source": 4}],
                               clips=[{"source": 3, "position_ms": 250.0, "duration_ms": 500.0}],
                               curves=[{"points": [[0, 1, 4]]}], track_kind=kind, look_ahead_ms=-20, **extra)
                track = br.music_track(body)
                self.assertEqual([(s["source"], s["stream_type"], s["media_size"]) for s in track["sources"]],
                                 [(3, 0, 96), (4, 0, 0)])
                self.assertEqual([(c["source"], c["position_ms"], c["duration_ms"]) for c in track["clips"]],
                                 [(3, 250.0, 500.0)])
                self.assertEqual((track["id"], track["look_ahead_ms"]), (7, -20))

    def test_a_track_source_names_its_codec(self):
        for codec, plugin in (("pcm", 0x00010001), ("adpcm", 0x00020001), ("midi", 0x00100001)):
            with self.subTest(codec=codec):
                _, body = item(type="music_track", id=3, sources=[{"source": 8, "codec": codec, "stream_type": 2}])
                self.assertEqual(br.music_track(body)["sources"][0]["plugin"], plugin)
        with self.assertRaises(ValueError):
            item(type="music_track", id=3, sources=[{"source": 8, "codec": "vorbis"}])

    def test_a_track_names_its_midi_target_and_tempo(self):
        # The target is read as an integer id, the tempo as a float, however they are written.
        _, body = item(type="music_track", id=3, props={"midi_target": 900, "midi_tempo": 90})
        self.assertEqual(br.music_track(body)["props"], {56: struct.pack("<I", 900), 55: struct.pack("<f", 90.0)})
        # The target is an item of the bank: named as its id is, or an id above 2^31.
        for target, expected in (("Sound/fanfare", resolve("Sound/fanfare")), (0xF0000001, 0xF0000001)):
            _, body = item(type="music_track", id=3, props={"midi_target": target})
            self.assertEqual(br.music_track(body)["props"], {56: struct.pack("<I", expected)}, target)

    def test_the_bank_reader_reads_playlist_containers_back(self):
        rules = [{"source": {"sync": 7, "post_exit": 1}, "destination": {"pre_entry": 1}},
                 {"sources": [5], "destinations": [6], "segment": {"id": 9, "pre_entry": 1, "post_exit": 1}}]
        stinger = {"trigger": 0x77, "segment": 9, "sync": 3, "cue": 0, "min_ms": 1000, "next_segment": 1}
        _, body = item(type="music_playlist", id=4, children=[5, 6, 9], stingers=[stinger], rules=rules,
                       playlist={"id": 1, "mode": 1, "items": [{"segment": 5, "id": 2},
                                                              {"id": 3, "mode": 3, "repeat": 0, "avoid_repeat": 1,
                                                               "items": [{"segment": 6, "id": 7}]}]})
        container = br.music_playlist(body)
        self.assertEqual((container["id"], container["children"], container["stingers"]), (4, [5, 6, 9], [stinger]))
        self.assertEqual([(r["sources"], r["destinations"]) for r in container["rules"]],
                         [([0xFFFFFFFF], [0xFFFFFFFF]), ([5], [6])])
        self.assertEqual((container["rules"][0]["source"]["sync"], container["rules"][0]["source"]["post_exit"],
                          container["rules"][0]["destination"]["pre_entry"], container["rules"][0]["segment"]),
                         (7, 1, 1, None))
        self.assertEqual(container["rules"][1]["segment"]["id"], 9)
        self.assertEqual([(i["segment"], i["id"], i["child_count"], i["mode"], i["repeat"], i["avoid_repeat"])
                          for i in container["items"]],
                         [(0, 1, 2, 1, 1, 0), (5, 2, 0, 0, 1, 0), (0, 3, 1, 3, 0, 1), (6, 7, 0, 0, 1, 0)])

    def test_rule_fields_at_their_offsets(self):
        body = music.rule_body({"sources": [1, 2], "destinations": [-1],
                                "source": {"fade_time": 1, "curve": 2, "offset": -3, "sync": 4, "cue": 5, "post_exit": 1},
                                "destination": {"fade_time": 6, "curve": 7, "offset": 8, "cue": 9, "value": 10,
                                                "mode": 1, "entry": 3, "pre_entry": 1, "use_source_cue": 1},
                                "segment": {"id": 11, "fade_in_time": 12, "fade_in_curve": 13, "fade_in_offset": -14,
                                            "fade_out_time": 15, "fade_out_curve": 16, "fade_out_offset": 17,
                                            "pre_entry": 1, "post_exit": 0}})
        self.assertEqual(struct.unpack_from("<IIIII", body, 0), (2, 1, 2, 1, 0xFFFFFFFF))
        self.assertEqual(struct.unpack_from("<IIiIIB", body, 20), (1, 2, -3, 4, 5, 1))
        self.assertEqual(struct.unpack_from("<IIiIIHHBB", body, 41), (6, 7, 8, 9, 10, 1, 3, 1, 1))
        self.assertEqual(struct.unpack_from("<BIIIiIIiBB", body, 67), (1, 11, 12, 13, -14, 15, 16, 17, 1, 0))

    def test_playlist_items_depth_first(self):
        _, body = item(type="music_playlist", id=1, playlist={
            "id": 100, "mode": 2, "avoid_repeat": 4, "flag": 1, "items": [
                {"id": 101, "items": [{"id": 102, "segment": 7, "weight": 3}, {"id": 103, "segment": 8}]},
                {"id": 104, "segment": 9, "repeat": 3, "repeat_low": -1, "repeat_high": 2}]})
        count, = struct.unpack_from("<I", body, 72)
        self.assertEqual(count, 5)
        rows = [struct.unpack_from("<IIIIhhhIHBB", body, 76 + 30 * index) for index in range(count)]
        self.assertEqual([(r[0], r[1], r[2]) for r in rows], [(0, 100, 2), (0, 101, 2), (7, 102, 0), (8, 103, 0), (9, 104, 0)])
        self.assertEqual(rows[0][3], 2)
        self.assertEqual(rows[0][8:], (4, 0, 1))
        self.assertEqual(rows[2][7], 3)
        self.assertEqual(rows[3][7], 50000)
        self.assertEqual(rows[4][4:7], (3, -1, 2))

    def test_switch_fields_at_their_offsets(self):
        _, body = item(type="music_switch", id=1, arguments=[[7, 1], [8, 0]], mode=1, **{"continue": 0},
                       tree={"children": {"5": {"children": {"*": 20}}}})
        at = COMMON + 4
        self.assertEqual(struct.unpack_from("<BIIIBB", body, at), (0, 2, 7, 8, 1, 0))
        self.assertEqual(struct.unpack_from("<IB", body, at + 15), (36, 1))
        self.assertEqual(len(body), at + 20 + 36)

    def test_fault_variants(self):
        description = {"name": "M.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "music_track", "id": 1, "clips": [{"source": 1}]},
            {"type": "music_segment", "id": 2, "markers": [{"id": 1, "name": "a"}]},
            {"type": "music_playlist", "id": 3, "rules": [{}], "playlist": {"items": [{"segment": 2}]}},
            {"type": "music_switch", "id": 4, "tree": {"children": {"1": 2}}}]}]}
        names = {name for name, _ in music.variants(description)}
        for expected in ("music_segment_child_count_plus_one", "music_segment_name_unterminated",
                         "music_segment_tempo_zero", "music_segment_beat_value_zero", "music_segment_duration_huge",
                         "music_track_clip_position_huge", "music_playlist_group_past_items",
                         "music_switch_tree_size_off_node"):
            self.assertIn(expected, names)
        self.assertTrue(names <= {name for name, _ in faults.variants(description, _image(description))})
        for name, variant in music.variants(description):
            with self.subTest(name=name):
                items = variant["chunks"][1]["items"]
                for entry in items:
                    chunks.hierarchy_item(dict(entry), "M.bnk", {})
        # The unterminated name ends the item without its zero.
        unterminated = dict(music.variants(description))["music_segment_name_unterminated"]
        _, body = item(**unterminated["chunks"][1]["items"][1])
        self.assertEqual(body[-4:], b"name")


def _image(description):
    from soundbank import bank
    return bank.build(description)


if __name__ == "__main__":
    unittest.main()
