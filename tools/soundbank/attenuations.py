"""Bodies of attenuations (item type 14) of a bank's "HIRC" chunk:

    u32 id; u8 second flag; u8 cone enabled; with the cone five f32 {inside angle, outside angle
    (full angles in degrees), outside volume (dB), outside low-pass, outside high-pass};
    7 x u8 curve map (roles 0 to 6, 255 = none); u8 N; N curves {u8 scaling, u16 point count,
    12-byte points}; u16 M, M game-parameter entries (the entries of properties.rtpc_list)

Description keys: "second_flag"; "cone" {"inside", "outside", "volume", "lowpass", "highpass"}
(absent: cone off); "map" (seven slot numbers, or {"role": slot}; missing roles 255);
"curves" [{"scaling", "points", "point_count"}], "curve_count"; "rtpc" [entries], "rtpc_count".
The counts replace the written counts (a damaged body: a count one too large runs past the item).
"""

from .binary import f32, u8, u16, u32
from .fields import Fields
from .properties import curve_points, rtpc_list

ITEM_TYPES = {"attenuation": 14}
ROLES = 7
NO_CURVE = 255
_CONE_FIELDS = ("inside", "outside", "volume", "lowpass", "highpass")


def _curve_map(table):
    if isinstance(table, dict):
        slots = [NO_CURVE] * ROLES
        for role, slot in table.items():
            if not 0 <= int(role) < ROLES:
                raise ValueError("attenuation map: role %s is not 0 to 6" % role)
            slots[int(role)] = slot
        return bytes(slots)
    if len(table) != ROLES:
        raise ValueError("attenuation map: seven slots, one per role, not %d" % len(table))
    return bytes(table)


def attenuation_body(fields):
    body = u32(fields.id("id")) + u8(fields.int("second_flag"))
    cone = fields.raw("cone", None)
    body += u8(0 if cone is None else 1)
    if cone is not None:
        cone = Fields("cone", cone)
        body += b"".join(f32(cone.float(name)) for name in _CONE_FIELDS)
        cone.done()
    curves = fields.raw("curves", [])
    body += _curve_map(fields.raw("map", {}))
    body += u8(fields.int("curve_count", len(curves)))
    for curve in curves:
        curve = Fields("attenuation curve", curve)
        points = curve.raw("points", [])
        body += (u8(curve.int("scaling")) + u16(curve.int("point_count", len(points))) +
                 curve_points(points))
        curve.done()
    entries = fields.raw("rtpc", [])
    # The parameter-curve entries are those of nodes; only the count may differ.
    return body + u16(fields.int("rtpc_count", len(entries))) + rtpc_list(entries)[2:]
