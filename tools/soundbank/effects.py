"""Bodies of effect objects of a bank's "HIRC" chunk: share sets (item type 16), custom effects
(type 17) and audio-device share sets (type 21):

    u32 id; u32 plug-in id (-1: none); u32 data size N; N bytes of parameter data;
    u8 media count M; M x {u8 index, u32 media id};
    u16 subscription count S; S x {u32 game parameter, u8 parameter type, u8 kind, varint target
        parameter, u32 curve id, u8 scaling, u16 point count P, P x 12-byte points};
    state chunk (properties.state_chunk); u16 initial-value count V; V x {varint parameter id,
    u8 driven kind, f32 value};
    type 21 only: the node form of an effect list (u8 override, u8 count; with a count, u8 bypass
    bits and 7-byte entries {u8 slot, u32 effect id, u8 share-set flag, u8 unused}).

Description keys: "plugin" (an id, or -1); "data" (hex) and/or "data_f32" (numbers packed as f32
after it); "media" [ids]; "rtpc" [entries of properties.rtpc_list: "parameter",
"parameter_type", "combine" (the kind), "target", "curve", "scaling", "points"]; "states" (a state
chunk); "initial" [{"param", "kind", "value"}]; type 21: "effects_override", "effects" [{"slot",
"id", "shareset"}], "bypass". Damaged bodies: "data_size", "media_count", "rtpc_count",
"initial_count" replace the written counts (a count one too large runs past the item).
"""

import copy

from .binary import f32, u8, u16, u32, varint
from .fields import Fields
from .nodes import _effect_entries
from .properties import rtpc_list, state_chunk

ITEM_TYPES = {"shareset": 16, "custom_effect": 17, "audio_device": 21}
NO_PLUGIN = -1


def _data(fields):
    data = fields.hex("data") + b"".join(f32(value) for value in fields.raw("data_f32", []))
    return u32(fields.int("data_size", len(data))) + data


def _media(fields):
    media = fields.raw("media", [])
    body = u8(fields.int("media_count", len(media)))
    for index, media_id in enumerate(media):
        body += u8(index) + u32(Fields("media", {"id": media_id}).id("id"))
    return body


def _initial_values(fields):
    values = fields.raw("initial", [])
    body = u16(fields.int("initial_count", len(values)))
    for value in values:
        value = Fields("initial value", value)
        body += varint(value.int("param")) + u8(value.int("kind")) + f32(value.float("value"))
        value.done()
    return body


def effect_body(fields, item_type):
    entries = fields.raw("rtpc", [])
    body = (u32(fields.id("id")) + u32(fields.int("plugin", NO_PLUGIN)) + _data(fields) +
            _media(fields) + u16(fields.int("rtpc_count", len(entries))) + rtpc_list(entries)[2:] +
            state_chunk(fields.raw("states", None)) + _initial_values(fields))
    if item_type == ITEM_TYPES["audio_device"]:
        body += _effect_entries(fields, True)
    return body


def variants(description):
    """(name, description) for each damaged copy of the bank's first effect object: the data size
    and each count one beyond what the body holds."""
    for chunk_index, chunk in enumerate(description.get("chunks", [])):
        if chunk.get("tag") != "HIRC":
            continue
        for item_index, item in enumerate(chunk.get("items", [])):
            if item.get("type") in ITEM_TYPES and "hex" not in item:
                return _item_variants(description, chunk_index, item_index, item)
    return []


def _item_variants(description, chunk_index, item_index, item):
    data = len(bytes.fromhex(item.get("data", ""))) + 4 * len(item.get("data_f32", []))
    changes = [("effect_data_size_past_item", {"data_size": data + 1}),
               ("effect_media_count_plus_one", {"media_count": len(item.get("media", [])) + 1}),
               ("effect_rtpc_count_plus_one", {"rtpc_count": len(item.get("rtpc", [])) + 1}),
               ("effect_initial_count_plus_one",
                {"initial_count": len(item.get("initial", [])) + 1})]
    out = []
    for name, change in changes:
        variant = copy.deepcopy(description)
        variant["chunks"][chunk_index]["items"][item_index].update(change)
        out.append((name, variant))
    return out
