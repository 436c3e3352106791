"""Sounds that play a source plug-in instead of media, and the engine's silence source.

A sound plays a source plug-in when its source block names a plug-in id of type 2 (low 4 bits):
its source id is then the id of a custom effect (item type 17) of the same plug-in, which holds the
parameters the plug-in starts with; the sound's block carries the same parameters.

Description item "silence": a sound of the silence source (plug-in 101 of company 0) and its custom
effect, written as those two items:

    {"type": "silence", "id": <sound id>, "effect": <custom effect id>, "duration": seconds (1.0),
     "random_min": seconds (0.0), "random_max": seconds (0.0), "block_size": 12, ...}

"block_size" cuts the parameter block (three f32: duration, minimum and maximum of the random
extension) to 0, 4 or 8 bytes for tests (0: the plug-in's defaults; 4 and 8: a block the engine
refuses). Every other key is the sound's (bus, props, ...).
"""

import copy
import struct

SILENCE_PLUGIN = (101 << 16) + 0 * 16 + 2
SILENCE_BLOCK_BYTES = 12


def silence_block(duration=1.0, random_min=0.0, random_max=0.0, size=SILENCE_BLOCK_BYTES):
    """The silence's parameter block: three little-endian f32, cut to size bytes."""
    if not 0 <= size <= SILENCE_BLOCK_BYTES:
        raise ValueError("a silence block holds 0 to %d bytes, not %d" % (SILENCE_BLOCK_BYTES, size))
    return struct.pack("<3f", duration, random_min, random_max)[:size]


def expand(items):
    """The items with each "silence" item written as its custom effect and its sound."""
    out = []
    for item in items:
        if not isinstance(item, dict) or item.get("type") != "silence":
            out.append(item)
            continue
        sound = copy.deepcopy(item)
        for key in ("type", "effect", "duration", "random_min", "random_max", "block_size"):
            sound.pop(key, None)
        if "effect" not in item:
            raise ValueError("silence %r: give the id of its custom effect (\"effect\")" % item.get("id"))
        block = silence_block(float(item.get("duration", 1.0)), float(item.get("random_min", 0.0)),
                              float(item.get("random_max", 0.0)),
                              int(item.get("block_size", SILENCE_BLOCK_BYTES)))
        out.append({"type": "custom_effect", "id": item["effect"], "plugin": SILENCE_PLUGIN,
                    "data": block.hex()})
        sound.update({"type": "sound", "plugin": SILENCE_PLUGIN, "media": item["effect"],
                      "media_size": 0, "plugin_params": block.hex()})
        out.append(sound)
    return out
