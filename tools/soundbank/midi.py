"""MIDI track media of music tracks: ticks per quarter note (u16, big-endian), the tempo in quarter
notes per minute (f32, little-endian), then one track of events to the last byte, each a
variable-length delta in ticks and an event; no chunk headers.

Media description (a media of a bank, or of tools/media_writer.py):
    {"midi": {"ticks_per_quarter": 480, "tempo": 120, "events": [...]}, "variant": name}

    ticks_per_quarter  0 to 65535 (default 480)
    tempo              a number, or "nan", "inf", "-inf" (default 120); "tempo_bits" (a u32)
                       writes the float's bits instead
    events             in track order, each with "delta" (ticks, default 0, written as a
                       variable-length number) or "delta_hex" (the delta's bytes as given), then one
                       of:
        "status", "data"    a channel message: the status byte and its data bytes; without
                            "status" only the data bytes are written (running status)
        "sysex"             hex bytes of a 0xF0 block ("escape": the same with 0xF7); "length"
                            replaces the length written before them
        "meta", "hex"       a meta event (0xFF, the type, a length, the bytes); "length" as above
        "raw"               hex bytes written as they are, after the delta
    truncate           keep only the first N bytes of the media
    append             hex bytes added at the end

Variants (the "variant" key; variant_names(desc) lists those of a description): "cut_<n>" keeps
the first n bytes, for every n shorter than the media; and one fault each: ticks_zero (ticks per
quarter 0), tempo_nan, tempo_negative, tempo_infinite, tempo_huge (the largest finite float),
bad_status (a 0xF1 event after the first), controller_high_bit (a control change whose
controller number has its high bit), long_delta (a delta whose fourth byte announces a fifth),
sysex_past_end (a final 0xF0 block announcing more bytes than remain), running_status_first
(the first event has data bytes and no status), all_deltas_zero (every delta 0: a loop that
moves no tick).
"""

import copy
import struct

from .binary import varint
from .fields import Fields

NAMED_VARIANTS = ("ticks_zero", "tempo_nan", "tempo_negative", "tempo_infinite", "tempo_huge",
                  "bad_status", "controller_high_bit", "long_delta", "sysex_past_end",
                  "running_status_first", "all_deltas_zero")
_LARGEST_FINITE_FLOAT_BITS = 0x7F7FFFFF


def variable_length(value):
    """The variable-length bytes of value (at most four in a MIDI track)."""
    if not 0 <= value < 1 << 28:
        raise ValueError("a variable-length number holds 0 to 2^28 - 1, not %d" % value)
    return varint(value)


def _tempo_bytes(fields):
    if "tempo_bits" in fields:
        return struct.pack("<I", fields.int("tempo_bits") & 0xFFFFFFFF)
    tempo = fields.raw("tempo", 120)
    if isinstance(tempo, str):
        if tempo not in ("nan", "inf", "-inf"):
            raise ValueError("midi: tempo is a number, \"nan\", \"inf\" or \"-inf\"")
        tempo = float(tempo)
    return struct.pack("<f", float(tempo))


def _block(body, fields):
    length = fields.optional_int("length")
    return variable_length(len(body) if length is None else length) + body


def _event_bytes(index, event):
    fields = Fields("midi event %d" % index, event)
    out = bytearray(fields.hex("delta_hex") if "delta_hex" in fields
                    else variable_length(fields.int("delta", 0)))
    if "raw" in fields:
        out += fields.hex("raw")
    elif "sysex" in fields or "escape" in fields:
        status, key = (0xF0, "sysex") if "sysex" in fields else (0xF7, "escape")
        out += bytes([status]) + _block(fields.hex(key), fields)
    elif "meta" in fields:
        out += bytes([0xFF, fields.int("meta")]) + _block(fields.hex("hex"), fields)
    else:
        if "status" in fields:
            out.append(fields.int("status"))
        out += bytes(fields.raw("data", []))
    fields.done()
    return bytes(out)


def track_bytes(midi):
    """The bytes of the events alone (after the six header bytes)."""
    return b"".join(_event_bytes(index, event) for index, event in enumerate(midi.get("events", [])))


def _damaged(midi, variant):
    midi = copy.deepcopy(midi)
    events = midi.setdefault("events", [])
    if variant == "ticks_zero":
        midi["ticks_per_quarter"] = 0
    elif variant.startswith("tempo_"):
        midi.pop("tempo_bits", None)
        if variant == "tempo_huge":
            midi.pop("tempo", None)
            midi["tempo_bits"] = _LARGEST_FINITE_FLOAT_BITS
        else:
            midi["tempo"] = {"tempo_nan": "nan", "tempo_negative": -120,
                             "tempo_infinite": "inf"}[variant]
    elif variant == "bad_status":
        events.insert(1, {"delta": 0, "raw": "f1"})
    elif variant == "controller_high_bit":
        events.insert(1, {"delta": 0, "status": 0xB0, "data": [0x87, 0x10]})
    elif variant == "long_delta":
        events.insert(1, {"delta_hex": "80808080", "status": 0x90, "data": [60, 1]})
    elif variant == "sysex_past_end":
        events.append({"delta": 0, "sysex": "0102", "length": 0x7F})
    elif variant == "running_status_first":
        events.insert(0, {"delta": 0, "data": [60, 100]})
    elif variant == "all_deltas_zero":
        for event in events:
            event.pop("delta_hex", None)
            event["delta"] = 0
    else:
        raise ValueError("midi: unknown variant %r" % variant)
    return midi


def media_bytes(desc):
    """The bytes of a media description with a "midi" key (see the module's comment)."""
    desc = dict(desc)
    variant = desc.pop("variant", None)
    outer = Fields("midi media", desc)
    midi = outer.raw("midi")
    outer.done()
    if variant is not None and not variant.startswith("cut_"):
        midi = _damaged(midi, variant)
    fields = Fields("midi", midi)
    data = bytearray(struct.pack(">H", fields.int("ticks_per_quarter", 480)))
    data += _tempo_bytes(fields)
    data += track_bytes(midi)
    fields.raw("events")
    if "truncate" in fields:
        del data[fields.int("truncate"):]
    data += fields.hex("append")
    fields.done()
    if variant is not None and variant.startswith("cut_"):
        del data[int(variant[4:]):]
    return bytes(data)


def variant_names(desc):
    """Every variant of a MIDI media description: each cut shorter than the media, then the named
    faults."""
    size = len(media_bytes({key: value for key, value in desc.items() if key != "variant"}))
    return ["cut_%d" % length for length in range(size)] + list(NAMED_VARIANTS)
