"""Bodies of the container items of a bank's "HIRC" chunk: playlist containers (type 5) and group
nodes (type 7), with their fault variants.

    playlist  children [ids], child_count, entries [[id, weight] or id] (default: each child
              with weight 50000), entry_count, loop_count (1), loop_min, loop_max,
              transition_time, transition_min, transition_max (ms), avoid_repeat,
              transition_kind, random_type, play_mode ("random", "sequence" or a number;
              default sequence), restart_each_play (true), reverse_at_end, continuous,
              global_scope (true), flags (replaces the four flag keys), then the node keys
    group     children [ids], child_count, then the node keys

A minimal playlist container is 66 bytes (+ 4 per child, + 8 per entry), a group node 40 (+ 4 per
child).
"""

import copy
import struct

from .binary import f32, u8, u16, u32
from .fields import Fields
from .nodes import node_body
from .written_items import first_written_item

ITEM_TYPES = {"playlist": 5, "group": 7}
PLAY_MODES = {"random": 0, "sequence": 1}
DEFAULT_WEIGHT = 50000


def i16(value):
    return struct.pack("<h", value)


_FLAG_BITS = (("restart_each_play", 0x02, True), ("reverse_at_end", 0x04, False),
              ("continuous", 0x08, False), ("global_scope", 0x10, True))


def _children(fields):
    children = fields.ids("children")
    return u32(fields.int("child_count", len(children))) + b"".join(u32(c) for c in children), children


def _play_mode(fields):
    mode = fields.raw("play_mode", "sequence")
    if isinstance(mode, str):
        if mode not in PLAY_MODES:
            raise ValueError("%s: play_mode is random, sequence or a number" % fields.what)
        return PLAY_MODES[mode]
    return int(mode)


def _entries(fields, children):
    given = fields.raw("entries")
    if given is None:
        entries = [(child, DEFAULT_WEIGHT) for child in children]
    else:
        entries = []
        for entry in given:
            if isinstance(entry, list):
                child, weight = entry
            else:
                child, weight = entry, DEFAULT_WEIGHT
            entries.append((Fields("entry", {"id": child}).id("id"), int(weight)))
    body = u16(fields.int("entry_count", len(entries)))
    return body + b"".join(u32(child) + u32(weight) for child, weight in entries)


def playlist_body(fields):
    body = u32(fields.id("id")) + node_body(fields)
    body += (u16(fields.int("loop_count", 1)) + i16(fields.int("loop_min")) +
             i16(fields.int("loop_max")))
    body += (f32(fields.float("transition_time")) + f32(fields.float("transition_min")) +
             f32(fields.float("transition_max")))
    if "flags" in fields:
        flags = fields.int("flags")
    else:
        flags = 0
        for key, bit, default in _FLAG_BITS:
            if fields.raw(key, default):
                flags |= bit
    body += (u16(fields.int("avoid_repeat")) + u8(fields.int("transition_kind")) +
             u8(fields.int("random_type")) + u8(_play_mode(fields)) + u8(flags))
    children_bytes, children = _children(fields)
    return body + children_bytes + _entries(fields, children)


def group_body(fields):
    children_bytes, _ = _children(fields)
    return u32(fields.id("id")) + node_body(fields) + children_bytes


def container_body(fields, item_type):
    return playlist_body(fields) if item_type == ITEM_TYPES["playlist"] else group_body(fields)


def variants(description):
    """(name, description) for each damaged copy of the bank's first playlist and first group: a
    child count one too large, an entry count one too large, a weight of 2^31 and three weights
    of 10^9 in a random list, a random list naming a child twice, a play mode of 2."""
    out = []
    for kind in ITEM_TYPES:
        found = _first(description, kind)
        if found is None:
            continue
        chunk_index, item_index, item = found
        children = item.get("children", [])
        changes = [("%s_child_count_plus_one" % kind, {"child_count": len(children) + 1})]
        if kind == "playlist":
            ids = children or [1]
            entries = item.get("entries", [[child, DEFAULT_WEIGHT] for child in children])
            changes += [
                ("playlist_entry_count_plus_one", {"entry_count": len(entries) + 1}),
                ("playlist_weight_2_31", {"play_mode": "random", "entries": [[ids[0], 2 ** 31]]}),
                ("playlist_weights_3e9", {"play_mode": "random",
                                          "entries": [[ids[0] + k, 10 ** 9] for k in range(3)]}),
                ("playlist_duplicate_random_entry", {"play_mode": "random",
                                                     "entries": [[ids[0], 1], [ids[0], 1]]}),
                ("playlist_play_mode_2", {"play_mode": 2}),
            ]
        for name, change in changes:
            variant = copy.deepcopy(description)
            variant["chunks"][chunk_index]["items"][item_index].update(change)
            out.append((name, variant))
    return out


def _first(description, kind):
    return first_written_item(description, (kind, ITEM_TYPES[kind]))
