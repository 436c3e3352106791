"""Bodies of actions (item type 3) and events (item type 4) of a bank's "HIRC" chunk.

An action type is 16 bits: the kind in the high byte, the scope in the low byte (0x03: on the
target, for the posting game object). A description names the kind ("play") with an optional
"scope", or gives the whole type as a number ("0x0403").
"""

from .binary import f32, i32, u8, u32, varint
from .fields import Fields
from .ids import number
from .properties import SHAPE_LINEAR, property_list, range_list

# Kind byte -> (name, layout of the kind-specific parameters, default scope).
KINDS = {
    0x01: ("stop", "scoped_options", 0x03),
    0x02: ("pause", "scoped_options", 0x03),
    0x03: ("resume", "scoped_options", 0x03),
    0x04: ("play", "play", 0x03),
    0x06: ("set_gain", "scoped", 0x03),
    0x07: ("reset_gain", "scoped", 0x03),
    0x10: ("set_node_flag", "none", 0x02),
    0x11: ("clear_node_flag", "none", 0x02),
    0x12: ("set_state", "group_pair", 0x04),
    0x13: ("set_game_parameter", "scoped_game_parameter", 0x03),
    0x14: ("reset_game_parameter", "scoped_game_parameter", 0x03),
    0x19: ("set_switch", "group_pair", 0x01),
    0x1A: ("node_slot", "node_slot", 0x03),
    0x1B: ("node_slot_reset", "node_slot", 0x03),
    0x1C: ("notify", "none", 0x03),
    0x1D: ("trigger", "none", 0x00),
    0x1E: ("seek", "seek", 0x03),
    0x1F: ("break", "none", 0x03),
    0x21: ("post_event", "none", 0x03),
    0x22: ("reset_playlist", "scoped", 0x03),
}
# The property-setting kinds (set on even kinds, reset on odd ones and 0x30) share one layout.
for _kind in list(range(0x08, 0x10)) + [0x20, 0x30]:
    KINDS[_kind] = ("set_property_%02x" % _kind, "scoped_value", 0x03)
KIND_BY_NAME = {name: kind for kind, (name, _, _) in KINDS.items()}

PLAY = 0x0403


def action_type(fields):
    value = fields.raw("action")
    if isinstance(value, str) and value in KIND_BY_NAME:
        kind = KIND_BY_NAME[value]
        return (kind << 8) | fields.int("scope", KINDS[kind][2])
    if "scope" in fields:
        raise ValueError("%s: a scope goes with a kind name, not with a whole type" % fields.what)
    try:
        return number(value)
    except ValueError:
        raise ValueError("%s: action %r is neither a kind (%s) nor a type number"
                         % (fields.what, value, ", ".join(sorted(KIND_BY_NAME)))) from None


def _exceptions(fields):
    """Varint count, then {u32 id, u8 is-bus} per entry."""
    entries = fields.raw("exceptions", [])
    body = varint(fields.int("exception_count", len(entries)))
    for entry in entries:
        object_id, is_bus = (entry, 0) if not isinstance(entry, (list, tuple)) else entry
        body += u32(Fields("exception", {"id": object_id}).id("id")) + u8(1 if is_bus else 0)
    return body


def _values(fields, as_float=True):
    """Base, minimum and maximum, 32 bits each (floats, or integers)."""
    if as_float:
        return b"".join(f32(fields.float(key)) for key in ("value", "min", "max"))
    return b"".join(i32(fields.int(key)) for key in ("value", "min", "max"))


def _value_block(fields):
    """u8 value meaning (1 absolute, 2 offset), then base, minimum and maximum."""
    return u8(fields.int("meaning", 1)) + _values(fields)


def _params(fields, kind, bank_id):
    layout = KINDS[kind][1]

    def curve():
        return u8(fields.int("curve", SHAPE_LINEAR))

    if layout == "play":
        return curve() + u32(fields.id("bank", bank_id))
    if layout == "none":
        return b""
    if layout == "group_pair":
        return u32(fields.id("group")) + u32(fields.id("state" if kind == 0x12 else "switch"))
    if layout == "scoped":
        return curve() + _exceptions(fields)
    if layout == "scoped_options":
        return curve() + u8(fields.int("options")) + _exceptions(fields)
    if layout == "scoped_value":
        return curve() + _value_block(fields) + _exceptions(fields)
    if layout == "scoped_game_parameter":
        return (curve() + u8(fields.int("bypass_transition")) + _value_block(fields) +
                _exceptions(fields))
    if layout == "node_slot":
        return u8(fields.int("flag")) + u8(fields.int("slot")) + _exceptions(fields)
    if layout == "seek":
        relative = fields.int("relative")
        return (u8(relative) + _values(fields, as_float=bool(relative)) +
                u8(fields.int("snap")) + _exceptions(fields))
    raise AssertionError(layout)


def action_body(fields, bank_id):
    """u32 id, u16 type, u32 target, u8 is-bus, the property list, the range list, then the
    kind's parameters ("params_hex" replaces them; kinds without a layout need it). A play
    action with no properties is 18 bytes."""
    kind_type = action_type(fields)
    body = u32(fields.id("id")) + (kind_type & 0xFFFF).to_bytes(2, "little")
    body += u32(fields.id("target")) + u8(fields.int("target_is_bus"))
    body += property_list(fields.raw("props"), fields.optional_int("prop_count"))
    body += range_list(fields.raw("ranges"), fields.optional_int("range_count"))
    if "params_hex" in fields:
        return body + fields.hex("params_hex")
    kind = (kind_type >> 8) & 0xFF
    if kind not in KINDS:
        raise ValueError("%s: kind 0x%02x has no layout; give params_hex" % (fields.what, kind))
    return body + _params(fields, kind, bank_id)


def event_body(fields):
    """u32 id, varint action count, u32 action ids in execution order (9 bytes for one)."""
    actions = fields.ids("actions")
    return (u32(fields.id("id")) + varint(fields.int("count", len(actions))) +
            b"".join(u32(action) for action in actions))
