"""Sections shared by the bodies of hierarchy items: packed property lists and randomised ranges,
state chunks, game-parameter lists with their curves, and the curve points themselves."""

from .binary import f32, i32, u8, u16, u32, varint
from .fields import Fields
from .ids import resolve

# Property ids whose values are 32-bit integers or floats, by the engine's property table; any
# other id takes the type of the number written (an integer, or a number with a decimal point).
# The music nodes' MIDI settings are read the same way: the MIDI target (56) as an integer id, the
# MIDI tempo (55) as a float.
INTEGER_PROPERTIES = frozenset([15, 16, 40, 41, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 56, 57,
                                58, 70] + list(range(74, 86)))
FLOAT_PROPERTIES = frozenset([0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 17, 19, 20, 21, 22, 23, 24,
                              25, 26, 27, 28, 29, 31, 32, 33, 54, 55, 59, 71, 72, 73] +
                             list(range(60, 70)))

# Names for the property ids whose role the engine gives; a description may use them as keys.
PROPERTY_NAMES = {"priority": 7, "delay": 15, "fade_time": 16, "probability": 17,
                  "loop_count": 58, "initial_delay": 59, "attenuation": 70,
                  "midi_root_note": 45, "midi_play_mode": 46, "midi_tempo": 55, "midi_target": 56}

# The properties whose value is the id of another item of the bank.
ID_PROPERTIES = frozenset([PROPERTY_NAMES["attenuation"], PROPERTY_NAMES["midi_target"]])

# Curve point shapes (the interpolation of the segment that starts at a point).
SHAPE_LINEAR = 4
# Curve scalings: 0 none, 2 signed dB mapping (y in -1..1 as linear gain steps), 3 power of ten,
# 4 decibels to linear.
SCALING_NONE = 0
SCALING_DB = 2


def property_id(key):
    if isinstance(key, str) and key in PROPERTY_NAMES:
        return PROPERTY_NAMES[key]
    try:
        value = int(key)
    except (TypeError, ValueError):
        raise ValueError("unknown property %r (a number, or one of %s)"
                         % (key, ", ".join(sorted(PROPERTY_NAMES)))) from None
    if not 0 <= value <= 255:
        raise ValueError("property id %d does not fit a byte" % value)
    return value


def value32(prop, value):
    """A property value as 4 bytes: typed by the property table, by an explicit {"f32": v},
    {"i32": v} or {"u32": v}, or else by the number written."""
    if isinstance(value, dict):
        if len(value) != 1:
            raise ValueError("a typed value has one key: %r" % (value,))
        kind, number = next(iter(value.items()))
        if kind == "f32":
            return f32(number)
        if kind == "i32":
            return i32(number)
        if kind == "u32":
            return u32(number)
        raise ValueError("a typed value is f32, i32 or u32, not %r" % kind)
    if isinstance(value, bool):
        raise ValueError("property %d: a value is a number" % prop)
    if prop in ID_PROPERTIES and (isinstance(value, str) or (isinstance(value, int) and value >= 0)):
        # Another item of the bank (an attenuation, a MIDI target): named as its id is, or its id,
        # an unsigned 32-bit number (half of all ids made from names lie above 2^31).
        return u32(resolve(value) if isinstance(value, str) else value)
    if prop in FLOAT_PROPERTIES:
        return f32(value)
    if prop in INTEGER_PROPERTIES:
        if not float(value).is_integer():
            raise ValueError("property %d holds an integer, not %r" % (prop, value))
        return i32(int(value))
    return i32(value) if isinstance(value, int) else f32(value)


def _pairs(table):
    """[(id, value)] from {"id": value} or [[id, value], ...], in the order written."""
    if isinstance(table, dict):
        items = list(table.items())
    else:
        items = [tuple(pair) for pair in table]
    return [(property_id(key), value) for key, value in items]


def property_list(table, count=None):
    """u8 count, the ids (u8 each), then the values (4 bytes each). count overrides the count."""
    pairs = _pairs(table or {})
    return (u8(len(pairs) if count is None else count) + bytes(p for p, _ in pairs) +
            b"".join(value32(p, v) for p, v in pairs))


def range_list(table, count=None):
    """u8 count, the ids, then a {min, max} pair (4 bytes each) per id."""
    pairs = _pairs(table or {})
    body = u8(len(pairs) if count is None else count) + bytes(p for p, _ in pairs)
    for prop, (low, high) in pairs:
        body += value32(prop, low) + value32(prop, high)
    return body


def curve_points(points):
    """12-byte points {f32 x, f32 y, u32 shape}; a point may omit its shape (linear)."""
    body = b""
    for point in points:
        x, y = point[0], point[1]
        shape = point[2] if len(point) > 2 else SHAPE_LINEAR
        body += f32(x) + f32(y) + u32(shape)
    return body


def state_chunk(desc):
    """Varint property count; per property varint id, u8 kind, u8 dB flag; varint group count;
    per group u32 id, u8 sync type, varint state count, then {u32 state, u32 state object}.
    An empty or missing description gives the 2-byte empty chunk."""
    desc = Fields("state chunk", desc or {})
    properties = desc.raw("properties", [])
    groups = desc.raw("groups", [])
    body = varint(desc.int("property_count", len(properties)))
    for prop in properties:
        prop_id, kind = prop[0], prop[1]
        db = prop[2] if len(prop) > 2 else 0
        body += varint(property_id(prop_id)) + u8(kind) + u8(1 if db else 0)
    body += varint(desc.int("group_count", len(groups)))
    for group in groups:
        group = Fields("state group", group)
        states = group.raw("states", [])
        body += u32(group.id("id")) + u8(group.int("sync")) + varint(group.int("state_count",
                                                                             len(states)))
        for state, state_object in states:
            body += u32(resolve(state)) + u32(resolve(state_object))
        group.done()
    desc.done()
    return body


def rtpc_list(entries):
    """u16 count; per entry u32 game parameter, u8 parameter type (0 game parameter, 2 modulator),
    u8 combine mode (3 multiplies the curves of one parameter, others add), varint target
    parameter bit, u32 curve id, u8 scaling, u16 point count, 12-byte points."""
    entries = entries or []
    body = u16(len(entries))
    for entry in entries:
        entry = Fields("game-parameter entry", entry)
        points = entry.raw("points", [])
        body += (u32(entry.id("parameter")) + u8(entry.int("parameter_type")) +
                 u8(entry.int("combine")) + varint(entry.int("target")) + u32(entry.id("curve")) +
                 u8(entry.int("scaling")) + u16(entry.int("point_count", len(points))) +
                 curve_points(points))
        entry.done()
    return body
