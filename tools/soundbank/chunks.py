"""Bodies of the chunks of a bank: "BKHD", "DIDX", "DATA", "HIRC", "STMG", "ENVS", "STID",
"PLAT" and "INIT". Every builder takes a Fields view of the chunk's description (the keys are
listed in tools/bank_writer.py) and returns the body; the bank assembles the 8-byte headers."""

from . import actions, attenuations, containers, dialogue, effects, modulators, music, nodes, preparation, source_plugins
from . import layered, switches
from .binary import f32, u8, u16, u32
from .fields import Fields
from .ids import bank_id
from .properties import curve_points

BANK_VERSION = 140
HEADER_LENGTH = 20
DIDX_ENTRY_LENGTH = 12
MEDIA_ALIGNMENT = 16
DEFAULT_VOLUME_THRESHOLD_DB = -96.3
DEFAULT_MAX_VOICES = 128
ENVIRONMENT_CURVES = 6

ITEM_TYPES = {"state": 1, "sound": 2, "action": 3, "event": 4, "bus": 8, "dialogue_event": 15,
              "bus18": 18, **modulators.ITEM_TYPES, **attenuations.ITEM_TYPES,
              **effects.ITEM_TYPES, **containers.ITEM_TYPES, **music.ITEM_TYPES,
              **switches.ITEM_TYPES, **layered.ITEM_TYPES}


def header(fields, bank_name):
    """u32 version, u32 bank id, u32 (not read), u16 media alignment, u16 and u32 (not read),
    then zero bytes up to body_length (20 at least by default; fewer only for tests)."""
    body = (u32(fields.int("version", BANK_VERSION)) +
            u32(fields.id("id", bank_id(bank_name))) + u32(fields.int("field8")) +
            u16(fields.int("alignment", MEDIA_ALIGNMENT)) + u16(fields.int("field14")) +
            u32(fields.int("field16")))
    length = fields.int("body_length", HEADER_LENGTH)
    return (body + bytes(max(0, length - len(body))))[:length]


class MediaLayout:
    """Where each media of the bank lies in the "DATA" body: offsets rounded up to the alignment."""

    def __init__(self, media, alignment):
        self.entries = []
        offset = 0
        for media_id, data in media:
            offset = (offset + alignment - 1) // alignment * alignment
            self.entries.append((media_id, offset, data))
            offset += len(data)
        self.sizes = {media_id: len(data) for media_id, _, data in self.entries}

    def data_body(self):
        body = bytearray()
        for _, offset, data in self.entries:
            body += bytes(offset - len(body)) + data
        return bytes(body)


def media_index(fields, layout):
    """12-byte entries {u32 media id, u32 offset in "DATA", u32 size}; "entries" replaces the
    computed ones, "extra_bytes" (hex) is appended as a remainder."""
    if "entries" in fields:
        entries = []
        for entry in fields.raw("entries"):
            entry = Fields("media index entry", entry)
            entries.append((entry.id("id"), entry.int("offset"), entry.int("size")))
            entry.done()
    else:
        entries = [(media_id, offset, len(data)) for media_id, offset, data in layout.entries]
    entries = preparation.ordered(entries, fields.ids("order") if "order" in fields else None)
    body = b"".join(u32(i) + u32(offset) + u32(size) for i, offset, size in entries)
    return body + fields.hex("extra_bytes")


def hierarchy(fields, bank, layout):
    """u32 item count, then items {u8 type, u32 body size, body}; modulators first (see
    modulators.py) unless "order" is "as_written"."""
    items = source_plugins.expand(fields.raw("items", []))
    if fields.raw("order", "modulators_first") != "as_written":
        items = modulators.modulators_first(items)
    body = bytearray(u32(fields.int("count", len(items))))
    for index, item in enumerate(items):
        item_type, item_body, declared = hierarchy_item(item, bank, layout.sizes, index)
        body += u8(item_type) + u32(len(item_body) if declared is None else declared) + item_body
    return bytes(body)


def hierarchy_item(item, bank, media_sizes, index=0):
    """(type, body, declared size or None) of one item description."""
    if not isinstance(item, dict):
        raise ValueError("item %d: expected an object, got %r" % (index, item))
    kind = item.get("type")
    fields = Fields("item %d (%s %s)" % (index, kind, item.get("id", "")), item)
    declared = fields.optional_int("size")
    if isinstance(kind, str) and kind in ITEM_TYPES:
        fields.raw("type")
        item_type = ITEM_TYPES[kind]
    else:
        try:
            item_type = fields.int("type", -1)
        except ValueError:
            item_type = -1
        if not 0 <= item_type <= 255:
            raise ValueError("%s: type is one of %s or a number of one byte"
                             % (fields.what, ", ".join(ITEM_TYPES)))
    if "hex" in fields:
        prefix = u32(fields.id("id")) if "id" in fields else b""
        body = prefix + fields.hex("hex")
    elif item_type == 1:
        body = nodes.state_object_body(fields)
    elif item_type == 2:
        body = nodes.sound_body(fields, media_sizes)
    elif item_type == 3:
        body = actions.action_body(fields, bank_id(bank))
    elif item_type == 4:
        body = actions.event_body(fields)
    elif item_type in (8, 18):
        body = nodes.bus_body(fields)
    elif item_type == 15:
        body = dialogue.dialogue_event_body(fields)
    elif item_type in modulators.ITEM_TYPES.values():
        body = modulators.modulator_body(fields)
    elif item_type == 14:
        body = attenuations.attenuation_body(fields)
    elif item_type in effects.ITEM_TYPES.values():
        body = effects.effect_body(fields, item_type)
    elif item_type in containers.ITEM_TYPES.values():
        body = containers.container_body(fields, item_type)
    elif item_type in layered.ITEM_TYPES.values():
        body = layered.layered_body(fields)
    elif item_type in music.ITEM_TYPES.values():
        body = music.music_body(fields, item_type, media_sizes)
    elif item_type in switches.ITEM_TYPES.values():
        body = switches.switch_body(fields)
    else:
        raise ValueError("%s: item type %d is written from hex" % (fields.what, item_type))
    fields.done()
    return item_type, body, declared


def _counted(fields, key, count_key, what):
    """The u32 count of a section (count_key overrides it) and a Fields view of each entry."""
    entries = fields.raw(key, [])
    return u32(fields.int(count_key, len(entries))), [Fields(what, e) for e in entries]


def global_settings(fields):
    """"STMG": f32 volume threshold (dB), u16 voice limit, u16 second voice limit, then four
    counted sections: state groups, switch groups, game parameters, group entries."""
    body = (f32(fields.float("volume_threshold", DEFAULT_VOLUME_THRESHOLD_DB)) +
            u16(fields.int("max_voices", DEFAULT_MAX_VOICES)) +
            u16(fields.int("second_voice_limit")))
    count, groups = _counted(fields, "state_groups", "state_group_count", "state group")
    body += count
    for group in groups:
        transitions = group.raw("transitions", [])
        body += (u32(group.id("id")) + u32(group.int("default_time")) +
                 u32(group.int("transition_count", len(transitions))))
        for transition in transitions:
            transition = Fields("state transition", transition)
            body += (u32(transition.id("from")) + u32(transition.id("to")) +
                     u32(transition.int("time")))
            transition.done()
        group.done()
    count, groups = _counted(fields, "switch_groups", "switch_group_count", "switch group")
    body += count
    for group in groups:
        points = group.raw("points", [])
        body += (u32(group.id("id")) + u32(group.id("parameter")) +
                 u8(group.int("parameter_type")) + u32(group.int("point_count", len(points))))
        for point in points:
            value, switch = point[0], point[1]
            shape = point[2] if len(point) > 2 else 4
            body += f32(value) + u32(Fields("point", {"id": switch}).id("id")) + u32(shape)
        group.done()
    count, parameters = _counted(fields, "game_parameters", "game_parameter_count",
                                 "game parameter")
    body += count
    for parameter in parameters:
        body += (u32(parameter.id("id")) + f32(parameter.float("default")) +
                 u32(parameter.int("ramp")) + f32(parameter.float("ramp_up")) +
                 f32(parameter.float("ramp_down")) + u8(parameter.int("builtin")))
        parameter.done()
    count, entries = _counted(fields, "group_entries", "group_entry_count", "group entry")
    body += count
    for entry in entries:
        values = entry.raw("values", [0.0] * 6)
        if len(values) != 6:
            raise ValueError("a group entry holds six values")
        body += u32(entry.id("id")) + b"".join(f32(v) for v in values)
        entry.done()
    return body


def environment_curves(fields):
    """"ENVS": six curves (obstruction then occlusion; volume, low-pass, high-pass), each u8
    enabled, u8 scaling, u16 point count, 12-byte points. Curves not given are disabled and
    empty."""
    curves = fields.raw("curves", [])
    if len(curves) > ENVIRONMENT_CURVES:
        raise ValueError("ENVS holds six curves")
    body = b""
    for curve in curves + [{}] * (ENVIRONMENT_CURVES - len(curves)):
        curve = Fields("environment curve", curve)
        points = curve.raw("points", [])
        body += (u8(curve.int("enabled")) + u8(curve.int("scaling")) +
                 u16(curve.int("point_count", len(points))) + curve_points(points))
        curve.done()
    return body


def bank_names(fields):
    """"STID": groups of {u32 string type, u32 count, per bank u32 id, u8 length, the name}."""
    body = b""
    for group in fields.raw("groups", []):
        group = Fields("bank-name group", group)
        banks = group.raw("banks", [])
        body += u32(group.int("string_type", 1)) + u32(group.int("count", len(banks)))
        for entry in banks:
            entry = Fields("bank name", entry)
            name = entry.raw("name", "").encode("utf-8")
            body += (u32(entry.id("id", bank_id(name.decode("utf-8")))) +
                     u8(entry.int("length", len(name))) + name)
            entry.done()
        group.done()
    return body


def platform(fields):
    """"PLAT": the platform name and its terminating NUL."""
    return fields.raw("name", "").encode("utf-8") + b"\x00"


def plugin_libraries(fields):
    """"INIT": u32 count, then per library u32 plug-in id and the NUL-terminated name."""
    libraries = fields.raw("plugins", [])
    body = u32(fields.int("count", len(libraries)))
    for library in libraries:
        library = Fields("plug-in library", library)
        body += u32(library.id("id")) + library.raw("library", "").encode("utf-8") + b"\x00"
        library.done()
    return body
