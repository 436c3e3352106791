"""Bodies of modulators (item types 19 LFO, 20 envelope, 22 time) of a bank's "HIRC" chunk:

    u32 id; u8 N, N property ids, N values (4 bytes each); u8 M, M ids, M {min, max} pairs;
    u16 K, K game-parameter subscriptions (the entries of properties.rtpc_list)

Description keys: "props" {"name or id": value}, "prop_count"; "ranges" {"name or id": [min,
max]}, "range_count"; "rtpc" [{"parameter", "parameter_type", "combine", "target" (modulator
parameter number), "curve", "scaling", "points", "point_count"}], "rtpc_count". The counts
replace the written counts (a damaged body: a count one too large runs past the item).

A property is named ("lfo_frequency", ...) or numbered (0 to 19). Values follow the property's
type (integers for scope, stop_playback, lfo_waveform, trigger_on and time_loops, whose range is
a pair of integers; floats for the rest), unless written as {"f32"|"i32"|"u32": number} (for
example a float that is not finite: {"f32": "nan"}).

Nodes name modulators in their game-parameter entries with "parameter_type" 2 (the entry's
"parameter" is the modulator's id). A bank reads its items in order and a node whose entry names
a modulator not yet read fails, so the modulators of a "HIRC" chunk are written first
(modulators_first), unless the chunk says "order": "as_written".
"""

from .binary import f32, u8, u16, u32
from .properties import rtpc_list, value32

ITEM_TYPES = {"lfo": 19, "envelope": 20, "time_modulator": 22}

PROPERTY_IDS = {
    "scope": 0, "stop_playback": 1, "lfo_depth": 2, "lfo_attack": 3, "lfo_frequency": 4,
    "lfo_waveform": 5, "lfo_smoothing": 6, "lfo_pulse_width": 7, "lfo_initial_phase": 8,
    "env_attack_time": 9, "env_attack_curve": 10, "env_decay_time": 11,
    "env_sustain_level": 12, "env_sustain_time": 13, "env_release_time": 14, "trigger_on": 15,
    "time_duration": 16, "time_loops": 17, "time_playback_rate": 18, "time_initial_delay": 19,
}
INTEGER_IDS = frozenset([0, 1, 5, 15, 17])


def _property_id(key):
    if isinstance(key, str) and key in PROPERTY_IDS:
        return PROPERTY_IDS[key]
    try:
        value = int(key)
    except (TypeError, ValueError):
        raise ValueError("unknown modulator property %r (a number, or one of %s)"
                         % (key, ", ".join(sorted(PROPERTY_IDS)))) from None
    if not 0 <= value <= 255:
        raise ValueError("property id %d does not fit a byte" % value)
    return value


def _value(prop, value, integer=None):
    """4 bytes typed by the property; {"f32"|"i32"|"u32": v} overrides ({"f32": "nan"} too)."""
    if isinstance(value, dict) and list(value) == ["f32"]:
        return f32(float(value["f32"]))
    if not isinstance(value, dict):
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise ValueError("property %d: a value is a number, not %r" % (prop, value))
        if prop in INTEGER_IDS if integer is None else integer:
            if not float(value).is_integer():
                raise ValueError("property %d holds an integer, not %r" % (prop, value))
            value = {"i32": int(value)}
        else:
            value = {"f32": value}
    return value32(prop, value)


def _pairs(table):
    items = list(table.items()) if isinstance(table, dict) else [tuple(p) for p in table]
    return [(_property_id(key), value) for key, value in items]


def modulator_body(fields):
    props = _pairs(fields.raw("props", {}))
    ranges = _pairs(fields.raw("ranges", {}))
    entries = fields.raw("rtpc", [])
    body = u32(fields.id("id"))
    body += u8(fields.int("prop_count", len(props))) + bytes(p for p, _ in props)
    body += b"".join(_value(p, v) for p, v in props)
    body += u8(fields.int("range_count", len(ranges))) + bytes(p for p, _ in ranges)
    for prop, (low, high) in ranges:
        # Ranges are floats, except the integer pair of time_loops.
        integer = prop == PROPERTY_IDS["time_loops"]
        body += _value(prop, low, integer) + _value(prop, high, integer)
    # The subscription entries are those of nodes; only the count may differ.
    return body + u16(fields.int("rtpc_count", len(entries))) + rtpc_list(entries)[2:]


def modulators_first(items):
    """The items with the modulators moved ahead of the rest, each group in its written order."""
    def is_modulator(item):
        return isinstance(item, dict) and item.get("type") in ITEM_TYPES
    return [item for item in items if is_modulator(item)] + [item for item in items if not is_modulator(item)]
