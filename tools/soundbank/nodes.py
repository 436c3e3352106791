"""Bodies of the node items of a bank's "HIRC" chunk: sounds (type 2), buses (types 8 and 18) and
state objects (type 1), with the sections of the common node body they share.

Every builder takes a Fields view of the item's description and returns the whole item body, the
object id first. The keys are listed in tools/bank_writer.py.
"""

from .binary import f32, u8, u16, u32
from .fields import Fields
from .properties import property_id, property_list, range_list, rtpc_list, state_chunk

# Plug-in id of the built-in PCM codec; its low 4 bits (1) mark a codec.
PCM_CODEC = 0x00010001
ADPCM_CODEC = 0x00020001
# Codecs a sound may name ("codec") instead of giving its plug-in id.
CODECS = {"pcm": PCM_CODEC, "adpcm": ADPCM_CODEC}
PLUGIN_TYPE_SOURCE = 2
# The maximum duck volume of a new bus, in dB.
NO_DUCK_LIMIT_DB = -96.3


def _effect_entries(fields, with_override):
    """Node form: u8 override, u8 count; bus form: u8 count. With a count, u8 bypass bits and
    7-byte entries {u8 slot, u32 effect id, u8 share-set flag, u8 rendered}."""
    effects = fields.raw("effects", [])
    body = u8(fields.int("effects_override")) if with_override else b""
    body += u8(fields.int("effect_count", len(effects)))
    if effects or fields.int("effect_count", len(effects)):
        body += u8(fields.int("bypass"))
    for effect in effects:
        effect = Fields("effect", effect)
        body += (u8(effect.int("slot")) + u32(effect.id("id")) + u8(effect.int("shareset")) +
                 u8(effect.int("rendered")))
        effect.done()
    return body


def _plugin_entries(fields, with_override):
    """Node form: u8 override, u8 count; bus form: u8 count. 6-byte entries {u8 index,
    u32 effect id, u8 share-set flag}."""
    plugins = fields.raw("plugins", [])
    body = u8(fields.int("plugins_override")) if with_override else b""
    body += u8(fields.int("plugin_count", len(plugins)))
    for plugin in plugins:
        plugin = Fields("plug-in attachment", plugin)
        body += u8(plugin.int("index")) + u32(plugin.id("id")) + u8(plugin.int("shareset"))
        plugin.done()
    return body


def _positioning(fields):
    """u8 P (bit 0 override, bit 1 3-D, bits 5-6 3-D position mode); with bits 0 and 1 a u8 Q;
    with mode 1 or 2 the path block."""
    p = fields.int("positioning")
    body = u8(p)
    if not (p & 1 and p & 2):
        return body
    body += u8(fields.int("positioning_3d"))
    if ((p >> 5) & 3) not in (1, 2):
        return body
    path = Fields("path", fields.raw("path", {}))
    vertices = path.raw("vertices", [])
    items = path.raw("items", [])
    ranges = path.raw("ranges", [[0.0, 0.0, 0.0]] * len(items))
    body += u8(path.int("mode")) + u32(path.int("transition_time"))
    body += u32(len(vertices)) + b"".join(f32(x) + f32(y) + f32(z) + u32(duration)
                                           for x, y, z, duration in vertices)
    body += u32(len(items)) + b"".join(u32(first) + u32(count) for first, count in items)
    body += b"".join(f32(a) + f32(b) + f32(c) for a, b, c in ranges)
    path.done()
    return body


def _aux(fields):
    """u8 A; with bit 3 four u32 aux bus ids (set by giving "aux_buses"); u32 extra aux bus."""
    a = fields.int("aux")
    body = b""
    if "aux_buses" in fields:
        buses = fields.ids("aux_buses")
        if len(buses) != 4:
            raise ValueError("%s: aux_buses holds four ids" % fields.what)
        a |= 0x08
        body = b"".join(u32(bus) for bus in buses)
    elif a & 0x08:
        raise ValueError("%s: aux bit 3 announces aux_buses, which are missing" % fields.what)
    return u8(a) + body + u32(fields.id("extra_aux_bus"))


def _state_and_rtpc(fields, rtpc_first):
    state = state_chunk(fields.raw("state"))
    rtpc = rtpc_list(fields.raw("rtpc"))
    return rtpc + state if rtpc_first else state + rtpc


# Behaviour byte bits of a node's MIDI settings.
BEHAVIOUR_MIDI_PLAY_MODE = 0x04     # overrides the MIDI play mode (property 46)
BEHAVIOUR_KEY_TRACKING = 0x08       # overrides key tracking (with root note property 45)
BEHAVIOUR_KEY_TRACKING_ON = 0x10
BEHAVIOUR_MIDI_MODE = 0x20          # note-offs are handed to the voices (derived MIDI mode 2)
MIDI_KEYS = ("play_mode", "key_tracking", "root_note", "hand_note_off")


def _midi_settings(fields):
    """A node's MIDI settings, {"midi": {"play_mode": 1, "key_tracking": true, "root_note": 69,
    "hand_note_off": false}}, as behaviour bits and properties: play_mode overrides the play mode
    (property 46); key_tracking (with root_note, property 45, default 60) overrides key tracking;
    hand_note_off sets the mode flag. The behaviour byte and the properties come back."""
    behaviour = fields.int("behaviour")
    props = list(_property_pairs(fields.raw("props")))
    midi = fields.raw("midi")
    if midi is None:
        return behaviour, props
    unknown = sorted(set(midi) - set(MIDI_KEYS))
    if unknown:
        raise ValueError("%s: unknown MIDI settings %s (known: %s)" % (fields.what, ", ".join(unknown),
                                                                       ", ".join(MIDI_KEYS)))
    if "play_mode" in midi:
        behaviour |= BEHAVIOUR_MIDI_PLAY_MODE
        props.append((46, midi["play_mode"]))
    if "key_tracking" in midi:
        behaviour |= BEHAVIOUR_KEY_TRACKING | (BEHAVIOUR_KEY_TRACKING_ON if midi["key_tracking"] else 0)
        props.append((45, midi.get("root_note", 60)))
    elif "root_note" in midi:
        raise ValueError("%s: a root note goes with key_tracking" % fields.what)
    if midi.get("hand_note_off"):
        behaviour |= BEHAVIOUR_MIDI_MODE
    return behaviour, props


def _property_pairs(table):
    if table is None:
        return []
    return list(table.items()) if isinstance(table, dict) else [tuple(pair) for pair in table]


def node_body(fields):
    """The common body of playable nodes, in reading order: effects, plug-in attachments, custom
    effect override byte, output bus, parent, behaviour byte, properties and ranges, positioning,
    aux, advanced settings, state chunk, game-parameter list. All defaults give 32 bytes."""
    body = _effect_entries(fields, True) + _plugin_entries(fields, True)
    body += u8(fields.int("custom_effect_override"))
    body += u32(fields.id("bus")) + u32(fields.id("parent"))
    behaviour, props = _midi_settings(fields)
    body += u8(behaviour)
    body += property_list(props, fields.optional_int("prop_count"))
    body += range_list(fields.raw("ranges"), fields.optional_int("range_count"))
    body += _positioning(fields) + _aux(fields)
    body += (u8(fields.int("limit_flags")) + u8(fields.int("queue")) +
             u16(fields.int("max_instances")) + u8(fields.int("below_threshold")) +
             u8(fields.int("advanced")))
    return body + _state_and_rtpc(fields, rtpc_first=False)


def sound_body(fields, media_sizes):
    """Type 2: u32 id; the source {u32 plug-in id, u8 stream type, u32 source id, u32 media size,
    u8 flags[, u32 parameter size, parameters for a source plug-in]}; the common node body.
    The media size defaults to the size of the bank's media of that id."""
    body = u32(fields.id("id"))
    codec = fields.raw("codec")
    if codec is not None and codec not in CODECS:
        raise ValueError("%s: unknown codec %r (known: %s)" % (fields.what, codec, ", ".join(sorted(CODECS))))
    plugin = CODECS[codec] if codec is not None else fields.int("plugin", PCM_CODEC)
    media = fields.id("media")
    if "media_size" in fields:
        size = fields.int("media_size")
    elif media in media_sizes:
        size = media_sizes[media]
    else:
        raise ValueError("%s: media %d is not in the bank; give media_size" % (fields.what, media))
    body += u32(plugin) + u8(fields.int("stream_type")) + u32(media) + u32(size)
    body += u8(fields.int("source_flags"))
    if plugin & 0xF == PLUGIN_TYPE_SOURCE:
        params = fields.hex("plugin_params")
        body += u32(len(params)) + params
    return body + node_body(fields)


def bus_body(fields):
    """Types 8 and 18: u32 id, u32 parent (a top-level bus, parent 0, adds u32 output device),
    properties (no ranges), positioning, aux, u8 bus flags A, u16 max instances, u32 channel
    configuration, u8 bus flags B, u32 recovery ms, f32 maximum duck volume, the ducks, the
    effects with u32 mixer id and u8 its share-set flag, u8 node flag, plug-in attachments,
    game-parameter list, state chunk. All defaults give 51 bytes (47 with a parent)."""
    body = u32(fields.id("id"))
    parent = fields.id("parent")
    body += u32(parent)
    if parent == 0:
        body += u32(fields.id("device"))
    elif "device" in fields:
        raise ValueError("%s: only a top-level bus (parent 0) names a device" % fields.what)
    body += property_list(fields.raw("props"), fields.optional_int("prop_count"))
    body += _positioning(fields) + _aux(fields)
    body += (u8(fields.int("bus_flags")) + u16(fields.int("max_instances")) +
             u32(fields.int("channel_config")) + u8(fields.int("bus_flags_b")))
    body += u32(fields.int("recovery_ms")) + f32(fields.float("max_duck_volume",
                                                              NO_DUCK_LIMIT_DB))
    ducks = fields.raw("ducks", [])
    body += u32(fields.int("duck_count", len(ducks)))
    for duck in ducks:
        duck = Fields("duck", duck)
        body += (u32(duck.id("target")) + f32(duck.float("volume")) + u32(duck.int("fade_out")) +
                 u32(duck.int("fade_in")) + u8(duck.int("curve", 4)) + u8(duck.int("property")))
        duck.done()
    body += _effect_entries(fields, False)
    body += u32(fields.id("mixer")) + u8(fields.int("mixer_shareset"))
    body += u8(fields.int("node_flag"))
    body += _plugin_entries(fields, False)
    return body + _state_and_rtpc(fields, rtpc_first=True)


def state_object_body(fields):
    """Type 1: u32 id, u16 count n, n u16 property ids, n f32 values."""
    values = fields.raw("values", {})
    pairs = list(values.items()) if isinstance(values, dict) else [tuple(v) for v in values]
    body = u32(fields.id("id")) + u16(fields.int("count", len(pairs)))
    body += b"".join(u16(property_id(key)) for key, _ in pairs)
    return body + b"".join(f32(value) for _, value in pairs)
