"""Bodies of switch containers (hierarchy item type 6) of a bank's "HIRC" chunk, with their fault
variants.

    switch  group_type ("switch", "state" or a number; default switch), group (id or name),
            default (value id or name), continuous, children [ids], child_count, values [{"value",
            "children" [ids], "child_count"}], value_count, settings [{"child", "mode" (1 stops
            with the fade-out), "fade_out", "fade_in" (ms), "first_only", "continue_across",
            "flags_high" (replaces the two flags)}], settings_count, then the node keys

A minimal switch container is 58 bytes (+ 4 per child, + 8 + 4K per value of K children, + 14 per
child setting).
"""

import copy

from .binary import u8, u32
from .fields import Fields
from .nodes import node_body
from .written_items import first_written_item

ITEM_TYPES = {"switch": 6}
GROUP_TYPES = {"switch": 0, "state": 1}
FIRST_ONLY = 0x01
CONTINUE_ACROSS = 0x02


def _group_type(fields):
    kind = fields.raw("group_type", "switch")
    if isinstance(kind, str):
        if kind not in GROUP_TYPES:
            raise ValueError("%s: group_type is switch, state or a number" % fields.what)
        return GROUP_TYPES[kind]
    return int(kind)


def _values(fields):
    values = fields.raw("values", [])
    body = u32(fields.int("value_count", len(values)))
    for index, given in enumerate(values):
        value = Fields("%s value %d" % (fields.what, index), given)
        children = value.ids("children")
        body += (u32(value.id("value")) + u32(value.int("child_count", len(children))) +
                 b"".join(u32(child) for child in children))
        value.done()
    return body


def _settings(fields):
    settings = fields.raw("settings", [])
    body = u32(fields.int("settings_count", len(settings)))
    for index, given in enumerate(settings):
        setting = Fields("%s setting %d" % (fields.what, index), given)
        if "flags_high" in setting:
            high = setting.int("flags_high")
        else:
            high = ((FIRST_ONLY if setting.raw("first_only", False) else 0) |
                    (CONTINUE_ACROSS if setting.raw("continue_across", False) else 0))
        body += (u32(setting.id("child")) + u8(high) + u8(setting.int("mode")) +
                 u32(setting.int("fade_out")) + u32(setting.int("fade_in")))
        setting.done()
    return body


def switch_body(fields):
    body = u32(fields.id("id")) + node_body(fields)
    body += (u8(_group_type(fields)) + u32(fields.id("group")) + u32(fields.id("default")) +
             u8(1 if fields.raw("continuous", False) else 0))
    children = fields.ids("children")
    body += u32(fields.int("child_count", len(children))) + b"".join(u32(c) for c in children)
    return body + _values(fields) + _settings(fields)


def variants(description):
    """(name, description) for each damaged copy of the bank's first switch container: each of
    its counts (children, values, the first value's children, settings) one too large, and a
    value naming a child twice."""
    found = _first(description)
    if found is None:
        return []
    chunk_index, item_index, item = found
    values = item.get("values", [])
    changes = [
        ("switch_child_count_plus_one", {"child_count": len(item.get("children", [])) + 1}),
        ("switch_value_count_plus_one", {"value_count": len(values) + 1}),
        ("switch_settings_count_plus_one", {"settings_count": len(item.get("settings", [])) + 1}),
    ]
    if values:
        first = dict(values[0])
        first["child_count"] = len(first.get("children", [])) + 1
        changes.append(("switch_value_child_count_plus_one", {"values": [first] + values[1:]}))
        twice = dict(values[0])
        twice["children"] = list(twice.get("children", [])[:1]) * 2
        if twice["children"]:
            changes.append(("switch_value_child_twice", {"values": [twice] + values[1:]}))
    out = []
    for name, change in changes:
        variant = copy.deepcopy(description)
        variant["chunks"][chunk_index]["items"][item_index].update(change)
        out.append((name, variant))
    return out


def _first(description):
    return first_written_item(description, ("switch", ITEM_TYPES["switch"]))
