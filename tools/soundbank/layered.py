"""Bodies of layered containers (item type 9 of a bank's "HIRC" chunk) with their layer records,
and their fault variants.

    layered  children [ids], child_count, layers [layer], layer_count, continuous (false), then
             the node keys
    layer    id, rtpc [game-parameter entries as in a node's "rtpc" list], binding_count,
             crossfade (game parameter id, 0 = none), crossfade_type (0), associations
             [association], association_count
    association  child (id), points [[x, y, shape]...] (shape defaults to linear), point_count

A minimal layered container is 45 bytes (+ 4 per child, + its layer records); a minimal layer
record 15 bytes (+ 14 + 12 per point for each binding whose target is below 128, + 8 + 12 per
point for each association).
"""

import copy

from .binary import u8, u16, u32
from .fields import Fields
from .nodes import node_body
from .properties import curve_points, rtpc_list
from .written_items import first_written_item

ITEM_TYPES = {"layered": 9}


def _association(description):
    fields = Fields("layer association", description)
    points = fields.raw("points", [])
    body = (u32(fields.id("child")) + u32(fields.int("point_count", len(points))) +
            curve_points(points))
    fields.done()
    return body


def layer_record(description):
    """u32 layer id, u16 binding count + bindings, u32 crossfade parameter, u8 its type, u32
    association count + associations."""
    fields = Fields("layer", description)
    bindings = fields.raw("rtpc", [])
    bindings_body = rtpc_list(bindings)
    if "binding_count" in fields:
        bindings_body = u16(fields.int("binding_count")) + bindings_body[2:]
    associations = fields.raw("associations", [])
    body = (u32(fields.id("id")) + bindings_body + u32(fields.id("crossfade")) +
            u8(fields.int("crossfade_type")) +
            u32(fields.int("association_count", len(associations))) +
            b"".join(_association(association) for association in associations))
    fields.done()
    return body


def layered_body(fields):
    children = fields.ids("children")
    layers = fields.raw("layers", [])
    return (u32(fields.id("id")) + node_body(fields) +
            u32(fields.int("child_count", len(children))) + b"".join(u32(c) for c in children) +
            u32(fields.int("layer_count", len(layers))) +
            b"".join(layer_record(layer) for layer in layers) +
            u8(1 if fields.raw("continuous", False) else 0))


def variants(description):
    """(name, description) for each damaged copy of the bank's first layered container: each count
    of its body one too large (children, layers, and of its first layer the bindings, the
    associations and the first association's points)."""
    found = _first(description)
    if found is None:
        return []
    chunk_index, item_index, item = found
    out = []

    def add(name, change):
        variant = copy.deepcopy(description)
        change(variant["chunks"][chunk_index]["items"][item_index])
        out.append((name, variant))

    add("layered_child_count_plus_one",
        lambda it: it.update(child_count=len(it.get("children", [])) + 1))
    add("layered_layer_count_plus_one",
        lambda it: it.update(layer_count=len(it.get("layers", [])) + 1))
    layers = item.get("layers", [])
    if layers:
        first = layers[0]
        add("layer_binding_count_plus_one",
            lambda it: it["layers"][0].update(binding_count=len(first.get("rtpc", [])) + 1))
        associations = first.get("associations", [])
        add("layer_association_count_plus_one",
            lambda it: it["layers"][0].update(association_count=len(associations) + 1))
        if associations:
            points = associations[0].get("points", [])
            add("layer_point_count_plus_one",
                lambda it: it["layers"][0]["associations"][0].update(point_count=len(points) + 1))
    return out


def _first(description):
    return first_written_item(description, ("layered", ITEM_TYPES["layered"]))
