"""Bodies of the music items of a bank's "HIRC" chunk: segments (type 10), tracks (type 11),
switch containers (type 12) and playlist containers (type 13). Times are given in milliseconds
as the bank stores them (f64 for durations, positions and grids, i32 for fade offsets and the
look-ahead); the engine converts them to samples.

Common music-node payload (segment and both containers), in order: u32 id, u8 music flags
("music_flags": bit 1 overrides the MIDI tempo, bit 2 the MIDI target, bit 3 the target is a
bus), the common node body of tools/soundbank/nodes.py, u32 child count and the child ids
("children", "child_count"), the 23-byte grid ("grid": {"period_ms", "offset_ms", "tempo" (120),
"beats_per_bar" (4), "beat_value" (4), "own" (false)}), u32 stinger count and 24-byte stingers
("stingers": [{"trigger", "segment", "sync", "cue", "min_ms", "next_segment"}],
"stinger_count"). With the defaults it is 68 bytes.

    music_segment   the common payload, f64 "duration_ms", u32 marker count ("marker_count") and
                    the markers ("markers": [{"id", "position_ms", "name", or "name_hex" for raw
                    name bytes written without a terminator}]). 80 bytes minimal.
    music_track     u32 id, u8 "track_flags", u32 source count and the sources ("sources":
                    [{"source", "plugin" (PCM) or "codec" ("pcm", "adpcm", "midi": MIDI track
                    media, tools/soundbank/midi.py), "stream_type",
                    "media_size" (the size of the bank's media of that id: its prefetch copy for
                    a streamed media that has one, else its loose file's size; else 0), "flags",
                    "plugin_params" hex}]), u32 clip count and 44-byte clips ("clips":
                    [{"subtrack", "source", "event", "position_ms", "start_trim_ms",
                    "end_trim_ms", "duration_ms"}]), with clips a u32 "subtrack_count" (default
                    the highest sub-track + 1), u32 curve count and the curves ("curves":
                    [{"clip", "kind", "points": [[x seconds, y, interpolation]],
                    "point_count"}]), the common node body, u8 "track_kind" ("normal",
                    "random", "sequence", "switch" or a number), for kind 3 the "switch" record
                    ({"group_type", "group", "default", "switches", "switch_count",
                    "fade_out_time", "fade_out_curve", "fade_out_offset", "sync", "cue",
                    "fade_in_time", "fade_in_curve", "fade_in_offset"}), i32 "look_ahead_ms".
                    54 bytes minimal.
    music_switch    the common payload, the rules, u8 "continue" (1), u32 argument count and the
                    group ids, then one kind byte each ("arguments": [[group, kind]],
                    "argument_count"), u32 tree size ("tree_size"), u8 "mode", the tree of
                    tools/soundbank/dialogue.py ("tree"). 82 bytes minimal.
    music_playlist  the common payload, the rules, u32 item count ("item_count") and the 30-byte
                    playlist items, depth first ("playlist": the root group). 76 bytes minimal.

Rules ("rules", "rule_count"): u32 source count and ids ("sources", default [-1] = any;
"source_count"), the same for "destinations", the source side ("source": {"fade_time",
"curve", "offset", "sync", "cue", "post_exit"}), the destination side ("destination":
{"fade_time", "curve", "offset", "cue", "value", "mode", "entry", "pre_entry",
"use_source_cue"}), u8 transition-segment flag and, with "segment": {"id", "fade_in_time",
"fade_in_curve", "fade_in_offset", "fade_out_time", "fade_out_curve", "fade_out_offset",
"pre_entry", "post_exit"}, the segment record. 64 bytes with one source and one destination
id, 94 with a transition segment.

Playlist item: a group {"items": [...], "id", "repeat" (1), "repeat_low", "repeat_high",
"weight" (50000), "mode", "avoid_repeat", "flag", "child_count"} or a leaf {"segment", "id",
"repeat", "repeat_low", "repeat_high", "weight"}.
"""

import copy
import struct

from .binary import f32, i32, u8, u16, u32
from .dialogue import tree_nodes
from .fields import Fields
from .ids import resolve
from .nodes import CODECS, PCM_CODEC, PLUGIN_TYPE_SOURCE, node_body
from .written_items import first_written_item

ITEM_TYPES = {"music_segment": 10, "music_track": 11, "music_switch": 12, "music_playlist": 13}
TRACK_KINDS = {"normal": 0, "random": 1, "sequence": 2, "switch": 3}
# A track's sources may also be MIDI track media, read by the engine's MIDI-track players (codec 16).
MIDI_CODEC = 0x00100001
TRACK_CODECS = dict(CODECS, midi=MIDI_CODEC)
DEFAULT_WEIGHT = 50000
ANY = -1
STINGER_LENGTH = 24
CLIP_LENGTH = 44
PLAYLIST_ITEM_LENGTH = 30


def f64(value):
    return struct.pack("<d", value)


def i16(value):
    return struct.pack("<h", value)


def _children(fields):
    children = fields.ids("children")
    return u32(fields.int("child_count", len(children))) + b"".join(u32(c) for c in children)


def _grid(fields):
    grid = Fields("grid", fields.raw("grid", {}))
    body = (f64(grid.float("period_ms")) + f64(grid.float("offset_ms")) +
            f32(grid.float("tempo", 120.0)) + u8(grid.int("beats_per_bar", 4)) +
            u8(grid.int("beat_value", 4)) + u8(grid.int("own")))
    grid.done()
    return body


def _stingers(fields):
    stingers = fields.raw("stingers", [])
    body = u32(fields.int("stinger_count", len(stingers)))
    for stinger in stingers:
        stinger = Fields("stinger", stinger)
        body += (u32(stinger.id("trigger")) + u32(stinger.id("segment")) + u32(stinger.int("sync")) +
                 u32(stinger.id("cue")) + i32(stinger.int("min_ms")) + u32(stinger.int("next_segment")))
        stinger.done()
    return body


def music_node_payload(fields):
    """The payload shared by segments and containers."""
    return (u32(fields.id("id")) + u8(fields.int("music_flags")) + node_body(fields) + _children(fields) +
            _grid(fields) + _stingers(fields))


def segment_body(fields):
    body = music_node_payload(fields) + f64(fields.float("duration_ms"))
    markers = fields.raw("markers", [])
    body += u32(fields.int("marker_count", len(markers)))
    for marker in markers:
        marker = Fields("marker", marker)
        body += u32(marker.id("id")) + f64(marker.float("position_ms"))
        if "name_hex" in marker:
            body += marker.hex("name_hex")
        else:
            body += marker.raw("name", "").encode("utf-8") + b"\x00"
        marker.done()
    return body


def _source(source, media_sizes):
    source = Fields("track source", source)
    codec = source.raw("codec")
    if codec is not None and codec not in TRACK_CODECS:
        raise ValueError("%s: unknown codec %r (known: %s)" % (source.what, codec, ", ".join(sorted(TRACK_CODECS))))
    plugin = TRACK_CODECS[codec] if codec is not None else source.int("plugin", PCM_CODEC)
    source_id = source.id("source")
    body = (u32(plugin) + u8(source.int("stream_type")) + u32(source_id) +
            u32(source.int("media_size", media_sizes.get(source_id, 0))) + u8(source.int("flags")))
    if plugin & 0xF == PLUGIN_TYPE_SOURCE:
        params = source.hex("plugin_params")
        body += u32(len(params)) + params
    source.done()
    return body


def _clip(clip):
    clip = Fields("clip", clip)
    body = (u32(clip.int("subtrack")) + u32(clip.id("source")) + u32(clip.id("event")) +
            f64(clip.float("position_ms")) + f64(clip.float("start_trim_ms")) +
            f64(clip.float("end_trim_ms")) + f64(clip.float("duration_ms")))
    clip.done()
    return body


def _curve(curve):
    curve = Fields("clip curve", curve)
    points = curve.raw("points", [])
    body = (u32(curve.int("clip")) + u32(curve.int("kind")) +
            u32(curve.int("point_count", len(points))))
    body += b"".join(f32(x) + f32(y) + u32(shape) for x, y, shape in points)
    curve.done()
    return body


def _track_kind(fields):
    kind = fields.raw("track_kind", 0)
    if isinstance(kind, str):
        if kind not in TRACK_KINDS:
            raise ValueError("%s: track_kind is one of %s or a number" % (fields.what, ", ".join(TRACK_KINDS)))
        return TRACK_KINDS[kind]
    return int(kind)


def _switch_record(fields):
    switch = Fields("switch track", fields.raw("switch", {}))
    switches = switch.ids("switches")
    body = (u8(switch.int("group_type")) + u32(switch.id("group")) + u32(switch.id("default")) +
            u32(switch.int("switch_count", len(switches))) + b"".join(u32(s) for s in switches))
    body += (u32(switch.int("fade_out_time")) + u32(switch.int("fade_out_curve")) +
             i32(switch.int("fade_out_offset")) + u32(switch.int("sync")) + u32(switch.id("cue")) +
             u32(switch.int("fade_in_time")) + u32(switch.int("fade_in_curve")) +
             i32(switch.int("fade_in_offset")))
    switch.done()
    return body


def track_body(fields, media_sizes):
    body = u32(fields.id("id")) + u8(fields.int("track_flags"))
    sources = fields.raw("sources", [])
    body += u32(fields.int("source_count", len(sources))) + b"".join(_source(s, media_sizes) for s in sources)
    clips = fields.raw("clips", [])
    clip_count = fields.int("clip_count", len(clips))
    body += u32(clip_count) + b"".join(_clip(c) for c in clips)
    if clip_count:
        highest = max((Fields("clip", dict(c)).int("subtrack") for c in clips), default=0)
        body += u32(fields.int("subtrack_count", highest + 1))
    curves = fields.raw("curves", [])
    body += u32(fields.int("curve_count", len(curves))) + b"".join(_curve(c) for c in curves)
    body += node_body(fields)
    kind = _track_kind(fields)
    body += u8(kind)
    if kind == TRACK_KINDS["switch"]:
        body += _switch_record(fields)
    return body + i32(fields.int("look_ahead_ms"))


def _id_list(fields, key, count_key):
    ids = fields.ids(key) if key in fields else [ANY]
    return u32(fields.int(count_key, len(ids))) + b"".join(u32(i) for i in ids)


def rule_body(rule):
    rule = Fields("transition rule", rule)
    body = _id_list(rule, "sources", "source_count") + _id_list(rule, "destinations", "destination_count")
    source = Fields("rule source", rule.raw("source", {}))
    body += (u32(source.int("fade_time")) + u32(source.int("curve")) + i32(source.int("offset")) +
             u32(source.int("sync")) + u32(source.id("cue")) + u8(source.int("post_exit")))
    source.done()
    destination = Fields("rule destination", rule.raw("destination", {}))
    body += (u32(destination.int("fade_time")) + u32(destination.int("curve")) +
             i32(destination.int("offset")) + u32(destination.id("cue")) + u32(destination.id("value")) +
             u16(destination.int("mode")) + u16(destination.int("entry")) +
             u8(destination.int("pre_entry")) + u8(destination.int("use_source_cue")))
    destination.done()
    if "segment" in rule:
        segment = Fields("transition segment", rule.raw("segment"))
        body += (u8(1) + u32(segment.id("id")) + u32(segment.int("fade_in_time")) +
                 u32(segment.int("fade_in_curve")) + i32(segment.int("fade_in_offset")) +
                 u32(segment.int("fade_out_time")) + u32(segment.int("fade_out_curve")) +
                 i32(segment.int("fade_out_offset")) + u8(segment.int("pre_entry")) +
                 u8(segment.int("post_exit")))
        segment.done()
    else:
        body += u8(0)
    rule.done()
    return body


def _rules(fields):
    rules = fields.raw("rules", [])
    return u32(fields.int("rule_count", len(rules))) + b"".join(rule_body(r) for r in rules)


def _playlist_items(root):
    """The 30-byte items of a playlist tree, depth first, without recursion."""
    out = []
    stack = [root]
    while stack:
        item = Fields("playlist item", stack.pop())
        children = item.raw("items", [])
        is_leaf = "segment" in item
        if is_leaf and children:
            raise ValueError("a playlist leaf (segment) has no items")
        out.append(u32(item.id("segment")) + u32(item.id("id")) +
                   u32(0 if is_leaf else item.int("child_count", len(children))) + u32(item.int("mode")) +
                   i16(item.int("repeat", 1)) + i16(item.int("repeat_low")) + i16(item.int("repeat_high")) +
                   u32(item.int("weight", DEFAULT_WEIGHT)) + u16(item.int("avoid_repeat")) + u8(0) +
                   u8(item.int("flag")))
        item.done()
        stack.extend(reversed(children))
    return out


def playlist_body(fields):
    body = music_node_payload(fields) + _rules(fields)
    root = fields.raw("playlist")
    items = _playlist_items(root) if root is not None else []
    return body + u32(fields.int("item_count", len(items))) + b"".join(items)


def switch_body(fields):
    body = music_node_payload(fields) + _rules(fields) + u8(fields.int("continue", 1))
    arguments = [(resolve(group), int(kind)) for group, kind in fields.raw("arguments", [])]
    body += u32(fields.int("argument_count", len(arguments)))
    body += b"".join(u32(group) for group, _ in arguments) + b"".join(u8(kind) for _, kind in arguments)
    nodes, _ = tree_nodes(fields.raw("tree"))
    return body + u32(fields.int("tree_size", len(nodes))) + u8(fields.int("mode")) + nodes


def music_body(fields, item_type, media_sizes=None):
    if item_type == 11:
        return track_body(fields, media_sizes or {})
    builders = {10: segment_body, 12: switch_body, 13: playlist_body}
    return builders[item_type](fields)


# --- Fault variants ---

def _first(description, item_type):
    return first_written_item(description, (item_type, ITEM_TYPES.get(item_type)))


def _grid_with(item, **values):
    grid = dict(item.get("grid", {}))
    grid.update(values)
    return grid


def _segment_changes(item):
    markers = item.get("markers", [])
    changes = [("music_segment_child_count_plus_one", {"child_count": len(item.get("children", [])) + 1}),
               ("music_segment_stinger_count_plus_one", {"stinger_count": len(item.get("stingers", [])) + 1}),
               ("music_segment_marker_count_plus_one", {"marker_count": len(markers) + 1}),
               ("music_segment_tempo_zero", {"grid": _grid_with(item, own=1, tempo=0.0)}),
               ("music_segment_tempo_negative", {"grid": _grid_with(item, own=1, tempo=-120.0)}),
               ("music_segment_beat_value_zero", {"grid": _grid_with(item, own=1, beat_value=0)}),
               ("music_segment_grid_period_negative", {"grid": _grid_with(item, own=1, period_ms=-10.0)}),
               ("music_segment_duration_huge", {"duration_ms": 1e300})]
    if markers:
        unterminated = copy.deepcopy(markers)
        unterminated[-1].pop("name", None)
        unterminated[-1]["name_hex"] = "6e616d65"
        changes.append(("music_segment_name_unterminated", {"markers": unterminated}))
    return changes


def _track_changes(item):
    clips = item.get("clips", [])
    changes = [("music_track_source_count_plus_one", {"source_count": len(item.get("sources", [])) + 1}),
               ("music_track_clip_count_plus_one", {"clip_count": len(clips) + 1}),
               ("music_track_curve_count_plus_one", {"curve_count": len(item.get("curves", [])) + 1}),
               ("music_track_look_ahead_huge", {"look_ahead_ms": 2 ** 31 - 1})]
    if clips:
        huge = copy.deepcopy(clips)
        huge[0]["position_ms"] = 1e300
        changes.append(("music_track_clip_position_huge", {"clips": huge}))
    return changes


def _rule_changes(prefix, item):
    rules = item.get("rules", [])
    changes = [(prefix + "_rule_count_plus_one", {"rule_count": len(rules) + 1})]
    if rules:
        damaged = copy.deepcopy(rules)
        damaged[0]["source_count"] = len(damaged[0].get("sources", [ANY])) + 1
        changes.append((prefix + "_rule_source_count_plus_one", {"rules": damaged}))
    return changes


def _playlist_changes(item):
    changes = _rule_changes("music_playlist", item)
    root = item.get("playlist")
    if root is not None:
        items = len(_playlist_items(copy.deepcopy(root)))
        changes.append(("music_playlist_item_count_plus_one", {"item_count": items + 1}))
        damaged = copy.deepcopy(root)
        damaged["child_count"] = len(damaged.get("items", [])) + items
        changes.append(("music_playlist_group_past_items", {"playlist": damaged}))
    return changes


def _switch_changes(item):
    nodes, _ = tree_nodes(item.get("tree"))
    return _rule_changes("music_switch", item) + [
        ("music_switch_argument_count_plus_one", {"argument_count": len(item.get("arguments", [])) + 1}),
        ("music_switch_tree_size_off_node", {"tree_size": len(nodes) - 1 if nodes else 5}),
        ("music_switch_tree_size_past_item", {"tree_size": len(nodes) + 12 * 100})]


def variants(description):
    """(name, description) for each damaged copy of the bank's first music item of each type:
    counts one too large (children, stingers, markers, sources, clips, curves, rules, rule ids,
    playlist items, arguments), an unterminated marker name, a playlist group whose child count
    runs past the items, a tree size off the node size or past the item, a tempo of 0 or
    negative, a beat value of 0, a negative grid period, a duration and a clip position of
    1e300 ms, a look-ahead of 2^31 - 1 ms."""
    out = []
    for kind, make in (("music_segment", _segment_changes), ("music_track", _track_changes),
                       ("music_playlist", _playlist_changes), ("music_switch", _switch_changes)):
        found = _first(description, kind)
        if found is None:
            continue
        chunk_index, item_index, item = found
        for name, change in make(item):
            variant = copy.deepcopy(description)
            variant["chunks"][chunk_index]["items"][item_index].update(change)
            out.append((name, variant))
    return out
