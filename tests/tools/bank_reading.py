"""A small reader of banks and WAVE files for the tests of the writers and of the game's banks.

Written from the file formats, apart from the writers in tools/ (it imports nothing of them), so
that a test compares two readings of the format instead of the writer with itself. Every read is
checked against the bytes it has: a malformed file raises AssertionError.
"""

import os
import struct
import subprocess
import tempfile


def fnv1(name):
    value = 0x811C9DC5
    for byte in name.encode("utf-8"):
        value = (value * 0x01000193) & 0xFFFFFFFF
        value ^= byte + 0x20 if 0x41 <= byte <= 0x5A else byte
    return value


class Cursor:
    """Little-endian reads over a body; reading past its end is an assertion."""

    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, count):
        assert self.pos + count <= len(self.data), "read of %d bytes at %d past %d" % (
            count, self.pos, len(self.data))
        out = self.data[self.pos:self.pos + count]
        self.pos += count
        return out

    def unpack(self, fmt):
        values = struct.unpack("<" + fmt, self.take(struct.calcsize("<" + fmt)))
        return values[0] if len(values) == 1 else values

    def u8(self):
        return self.unpack("B")

    def u16(self):
        return self.unpack("H")

    def u32(self):
        return self.unpack("I")

    def f32(self):
        return self.unpack("f")

    def varint(self):
        value = 0
        while True:
            byte = self.u8()
            value = (value << 7) | (byte & 0x7F)
            if not byte & 0x80:
                return value

    def at_end(self):
        return self.pos == len(self.data)


def chunks(data):
    """[(tag, body)] of a bank; every chunk must lie inside the file."""
    out = []
    cursor = Cursor(data)
    while not cursor.at_end():
        tag = cursor.take(4).decode("ascii")
        size = cursor.u32()
        out.append((tag, cursor.take(size)))
    return out


def chunk(data, tag):
    found = [body for name, body in chunks(data) if name == tag]
    assert len(found) == 1, "%d %s chunks" % (len(found), tag)
    return found[0]


def media_index(body):
    assert len(body) % 12 == 0
    return {entry[0]: (entry[1], entry[2]) for entry in struct.iter_unpack("<III", body)}


def items(body):
    """[(type, body)] of a "HIRC" body."""
    cursor = Cursor(body)
    count = cursor.u32()
    out = []
    for _ in range(count):
        item_type = cursor.u8()
        out.append((item_type, cursor.take(cursor.u32())))
    assert cursor.at_end(), "bytes after the last item"
    return out


def _property_list(cursor, value_bytes=4):
    count = cursor.u8()
    ids = list(cursor.take(count))
    return {prop: cursor.take(value_bytes) for prop in ids}


def _path(cursor):
    """The path block of 3-D position modes 1 and 2: mode, transition time, vertices
    [x, y, z, duration ms], items [first vertex, count] and one random range [x, z, y] per item."""
    out = {"mode": cursor.u8(), "transition_time": cursor.u32()}
    out["vertices"] = [list(cursor.unpack("fffI")) for _ in range(cursor.u32())]
    out["items"] = [list(cursor.unpack("II")) for _ in range(cursor.u32())]
    out["ranges"] = [list(cursor.unpack("fff")) for _ in out["items"]]
    return out


def _positioning(cursor, out):
    """Byte P (bit 0 override, bit 1 3-D, bits 5-6 the 3-D position mode) into out["positioning"];
    with the override and 3-D, byte Q into out["positioning_3d"] and, with mode 1 or 2, the path
    block into out["path"]."""
    p = out["positioning"] = cursor.u8()
    if p & 1 and p & 2:
        out["positioning_3d"] = cursor.u8()
        if ((p >> 5) & 3) in (1, 2):
            out["path"] = _path(cursor)


def _aux(cursor):
    a = cursor.u8()
    if a & 0x08:
        cursor.take(16)
    cursor.u32()


def _rtpc_list(cursor):
    entries = []
    for _ in range(cursor.u16()):
        entry = {"parameter": cursor.u32(), "parameter_type": cursor.u8(), "combine": cursor.u8(),
                 "target": cursor.varint(), "curve": cursor.u32(), "scaling": cursor.u8()}
        entry["points"] = [cursor.unpack("ffI") for _ in range(cursor.u16())]
        entries.append(entry)
    return entries


def _state_chunk(cursor):
    """The state groups of a state chunk [{id, sync, states [(state, state object)]}]; its
    properties are skipped."""
    for _ in range(cursor.varint()):
        cursor.varint()
        cursor.take(2)
    groups = []
    for _ in range(cursor.varint()):
        group, sync = cursor.unpack("IB")
        groups.append({"id": group, "sync": sync, "states": [cursor.unpack("II") for _ in range(cursor.varint())]})
    return groups


def _node_body(cursor, out):
    """The common body of playable nodes (sounds and containers) into out."""
    cursor.u8()  # effects override
    effects = cursor.u8()
    if effects:
        cursor.take(1 + 7 * effects)
    cursor.u8()  # attachments override
    cursor.take(6 * cursor.u8())
    cursor.u8()
    out["bus"], out["parent"], out["behaviour"] = cursor.u32(), cursor.u32(), cursor.u8()
    out["props"] = _property_list(cursor)
    out["ranges"] = _property_list(cursor, 8)
    _positioning(cursor, out)
    _aux(cursor)
    out["limit_flags"], out["queue"], out["max_instances"] = cursor.u8(), cursor.u8(), cursor.u16()
    cursor.take(2)
    out["state_groups"] = _state_chunk(cursor)
    out["rtpc"] = _rtpc_list(cursor)


def sound(body):
    cursor = Cursor(body)
    out = {"id": cursor.u32(), "plugin": cursor.u32(), "stream_type": cursor.u8(),
           "source": cursor.u32(), "media_size": cursor.u32(), "source_flags": cursor.u8()}
    if out["plugin"] & 0xF == 2:  # a source plug-in: its parameter block
        out["params"] = bytes(cursor.take(cursor.u32()))
    _node_body(cursor, out)
    assert cursor.at_end(), "bytes after the sound body"
    return out


def _children(cursor):
    return [cursor.u32() for _ in range(cursor.u32())]


def playlist(body):
    """A playlist container (item type 5): the node body, then its loops, transition, selection
    and flags, its children and its entries [(child id, weight)]."""
    cursor = Cursor(body)
    out = {"id": cursor.u32()}
    _node_body(cursor, out)
    out["loop_count"], out["loop_min"], out["loop_max"] = cursor.unpack("Hhh")
    out["transition_time"], out["transition_min"], out["transition_max"] = cursor.unpack("fff")
    out["avoid_repeat"] = cursor.u16()
    out["transition_kind"], out["random_type"], out["play_mode"], flags = cursor.unpack("BBBB")
    out["restart_each_play"], out["reverse_at_end"] = bool(flags & 0x02), bool(flags & 0x04)
    out["continuous"], out["global_scope"] = bool(flags & 0x08), bool(flags & 0x10)
    out["children"] = _children(cursor)
    out["entries"] = [cursor.unpack("II") for _ in range(cursor.u16())]
    assert cursor.at_end(), "bytes after the playlist body"
    return out


def switch(body):
    """A switch container (item type 6): the node body, its group, default value and continuous
    flag, its children, its values {value: [child ids]} in bank order and its child settings
    [(child id, flags-high, mode, fade-out ms, fade-in ms)]."""
    cursor = Cursor(body)
    out = {"id": cursor.u32()}
    _node_body(cursor, out)
    out["group_type"], out["group"], out["default"], out["continuous"] = cursor.unpack("BIIB")
    out["children"] = _children(cursor)
    out["values"] = {}
    for _ in range(cursor.u32()):
        value, count = cursor.unpack("II")
        out["values"].setdefault(value, []).extend(cursor.u32() for _ in range(count))
    out["settings"] = [cursor.unpack("IBBII") for _ in range(cursor.u32())]
    assert cursor.at_end(), "bytes after the switch body"
    return out


def group(body):
    """A group node (item type 7): the node body and its children."""
    cursor = Cursor(body)
    out = {"id": cursor.u32()}
    _node_body(cursor, out)
    out["children"] = _children(cursor)
    assert cursor.at_end(), "bytes after the group body"
    return out


def layered(body):
    """A layered container (item type 9): the node body, its children, its layer records (id,
    bindings, crossfade parameter and type, associations [{"child", "points"}]) and continuous."""
    cursor = Cursor(body)
    out = {"id": cursor.u32()}
    _node_body(cursor, out)
    out["children"] = _children(cursor)
    out["layers"] = []
    for _ in range(cursor.u32()):
        layer = {"id": cursor.u32(), "rtpc": _rtpc_list(cursor), "crossfade": cursor.u32(),
                 "crossfade_type": cursor.u8()}
        layer["associations"] = [{"child": cursor.u32(), "points": [cursor.unpack("ffI") for _ in range(cursor.u32())]}
                                 for _ in range(cursor.u32())]
        out["layers"].append(layer)
    out["continuous"] = bool(cursor.u8())
    assert cursor.at_end(), "bytes after the layered container body"
    return out


def _music_node(cursor):
    """What music segments and containers share: id, music flags, node body, children and grid."""
    out = {"id": cursor.u32(), "music_flags": cursor.u8()}
    _node_body(cursor, out)
    out["children"] = _children(cursor)
    period, offset, tempo, beats_per_bar, beat_value, own = cursor.unpack("ddfBBB")
    out["grid"] = {"period_ms": period, "offset_ms": offset, "tempo": tempo, "beats_per_bar": beats_per_bar,
                   "beat_value": beat_value, "own": own}
    return out


def music_segment(body):
    """A music segment (item type 10): its node body, its tracks, grid, duration and markers
    [(id, position ms, name)]; stingers are skipped."""
    cursor = Cursor(body)
    out = _music_node(cursor)
    cursor.take(24 * cursor.u32())
    out["duration_ms"] = cursor.unpack("d")
    out["markers"] = []
    for _ in range(cursor.u32()):
        marker_id, position = cursor.unpack("Id")
        name = bytearray()
        while (byte := cursor.u8()) != 0:
            name.append(byte)
        out["markers"].append((marker_id, position, name.decode("utf-8")))
    assert cursor.at_end(), "bytes after the segment body"
    return out


def music_track(body):
    """A music track (item type 11): its sources (as sound() names their fields), its clips, its
    node body, kind and look-ahead; curves and a switch track's record are skipped."""
    cursor = Cursor(body)
    out = {"id": cursor.u32(), "track_flags": cursor.u8(), "sources": [], "clips": []}
    for _ in range(cursor.u32()):
        source = {"plugin": cursor.u32(), "stream_type": cursor.u8(), "source": cursor.u32(),
                  "media_size": cursor.u32(), "source_flags": cursor.u8()}
        if source["plugin"] & 0xF == 2:
            source["params"] = bytes(cursor.take(cursor.u32()))
        out["sources"].append(source)
    clip_fields = ("subtrack", "source", "event", "position_ms", "start_trim_ms", "end_trim_ms", "duration_ms")
    for _ in range(cursor.u32()):
        out["clips"].append(dict(zip(clip_fields, cursor.unpack("IIIdddd"))))
    if out["clips"]:
        out["subtrack_count"] = cursor.u32()
    for _ in range(cursor.u32()):
        cursor.take(8)
        cursor.take(12 * cursor.u32())
    _node_body(cursor, out)
    out["track_kind"] = cursor.u8()
    if out["track_kind"] == 3:
        cursor.take(9)
        cursor.take(4 * cursor.u32() + 32)
    out["look_ahead_ms"] = cursor.unpack("i")
    assert cursor.at_end(), "bytes after the track body"
    return out


def _rule(cursor):
    """A transition rule of a music container: its source and destination ids, both sides and its
    transition segment (None without one)."""
    rule = {"sources": [cursor.u32() for _ in range(cursor.u32())],
            "destinations": [cursor.u32() for _ in range(cursor.u32())]}
    rule["source"] = dict(zip(("fade_time", "curve", "offset", "sync", "cue", "post_exit"), cursor.unpack("IIiIIB")))
    rule["destination"] = dict(zip(("fade_time", "curve", "offset", "cue", "value", "mode", "entry", "pre_entry",
                                    "use_source_cue"), cursor.unpack("IIiIIHHBB")))
    rule["segment"] = None
    if cursor.u8():
        rule["segment"] = dict(zip(("id", "fade_in_time", "fade_in_curve", "fade_in_offset", "fade_out_time",
                                    "fade_out_curve", "fade_out_offset", "pre_entry", "post_exit"),
                                   cursor.unpack("IIIiIIiBB")))
    return rule


def _stingers(cursor):
    return [dict(zip(("trigger", "segment", "sync", "cue", "min_ms", "next_segment"), cursor.unpack("IIIIiI")))
            for _ in range(cursor.u32())]


def music_switch(body):
    """A music switch container (item type 12): its node body, children, grid, stingers, transition
    rules, continue flag, arguments [(group, kind)], decision mode and its decision tree of one
    level {key: node} (0: any value)."""
    cursor = Cursor(body)
    out = _music_node(cursor)
    out["stingers"] = _stingers(cursor)
    out["rules"] = [_rule(cursor) for _ in range(cursor.u32())]
    out["continue"] = cursor.u8()
    count = cursor.u32()
    groups = [cursor.u32() for _ in range(count)]
    out["arguments"] = list(zip(groups, [cursor.u8() for _ in range(count)]))
    size = cursor.u32()
    out["mode"] = cursor.u8()
    tree = Cursor(cursor.take(size))
    _, first, children, _, _ = tree.unpack("IHHHH")
    assert first == 1, "one level below the root"
    out["tree"] = {}
    for _ in range(children):
        key, node, _, _ = tree.unpack("IIHH")
        out["tree"][key] = node
    assert tree.at_end() and cursor.at_end(), "bytes after the music switch body"
    return out


def music_playlist(body):
    """A music playlist container (item type 13): its node body, segments, grid, stingers
    [{trigger, segment, sync, cue, min_ms, next_segment}], transition rules and playlist items
    in their order, depth first [{segment, id, child_count, mode, repeat, repeat_low,
    repeat_high, weight, avoid_repeat, flag}]."""
    cursor = Cursor(body)
    out = _music_node(cursor)
    out["stingers"] = _stingers(cursor)
    out["rules"] = [_rule(cursor) for _ in range(cursor.u32())]
    fields = ("segment", "id", "child_count", "mode", "repeat", "repeat_low", "repeat_high", "weight", "avoid_repeat",
              "unused", "flag")
    out["items"] = []
    for _ in range(cursor.u32()):
        item = dict(zip(fields, cursor.unpack("IIIIhhhIHBB")))
        del item["unused"]
        out["items"].append(item)
    assert cursor.at_end(), "bytes after the music playlist body"
    return out


def action(body):
    cursor = Cursor(body)
    out = {"id": cursor.u32(), "type": cursor.u16(), "target": cursor.u32(),
           "target_is_bus": cursor.u8()}
    out["props"] = _property_list(cursor)
    out["ranges"] = _property_list(cursor, 8)
    out["params"] = body[cursor.pos:]
    return out


def event(body):
    cursor = Cursor(body)
    out = {"id": cursor.u32()}
    out["actions"] = [cursor.u32() for _ in range(cursor.varint())]
    assert cursor.at_end(), "bytes after the event body"
    return out


def bus(body):
    cursor = Cursor(body)
    out = {"id": cursor.u32(), "parent": cursor.u32()}
    out["device"] = cursor.u32() if out["parent"] == 0 else None
    out["props"] = _property_list(cursor)
    _positioning(cursor, out)
    _aux(cursor)
    cursor.take(1 + 2 + 4 + 1 + 4 + 4)
    cursor.take(18 * cursor.u32())
    effects = cursor.u8()
    if effects:
        cursor.take(1 + 7 * effects)
    cursor.take(4 + 1 + 1)
    cursor.take(6 * cursor.u8())
    out["rtpc"] = _rtpc_list(cursor)
    _state_chunk(cursor)
    assert cursor.at_end(), "bytes after the bus body"
    return out


def attenuation(body):
    """An attenuation (item type 14): its cone (None when off), the curve slot of each of the seven
    roles (255: none) and its curves {"scaling", "points" [(x, y, shape)]}."""
    cursor = Cursor(body)
    out = {"id": cursor.u32(), "second_flag": cursor.u8()}
    out["cone"] = cursor.unpack("fffff") if cursor.u8() else None
    out["map"] = list(cursor.take(7))
    out["curves"] = []
    for _ in range(cursor.u8()):
        scaling = cursor.u8()
        out["curves"].append({"scaling": scaling, "points": [cursor.unpack("ffI") for _ in range(cursor.u16())]})
    out["rtpc"] = _rtpc_list(cursor)
    assert cursor.at_end(), "bytes after the attenuation body"
    return out


def global_settings(body):
    cursor = Cursor(body)
    out = {"volume_threshold": cursor.f32(), "max_voices": cursor.u16(),
           "second_voice_limit": cursor.u16()}
    out["state_groups"] = []
    for _ in range(cursor.u32()):
        out["state_groups"].append(cursor.u32())
        cursor.take(4)
        cursor.take(12 * cursor.u32())
    for _ in range(cursor.u32()):
        cursor.take(9)
        cursor.take(12 * cursor.u32())
    out["game_parameters"] = {}
    for _ in range(cursor.u32()):
        parameter, default, ramp, up, down, builtin = cursor.unpack("IfIffB")
        out["game_parameters"][parameter] = default
    cursor.take(28 * cursor.u32())
    assert cursor.at_end(), "bytes after the global settings"
    return out


def wave_chunks(data):
    """[(tag, offset of the body, size)] of a RIFF/WAVE file, pad bytes skipped."""
    assert data[:4] == b"RIFF" and data[8:12] == b"WAVE", "not a RIFF/WAVE file"
    out, pos = [], 12
    while pos + 8 <= len(data):
        tag, size = data[pos:pos + 4].decode("ascii"), struct.unpack_from("<I", data, pos + 4)[0]
        out.append((tag, pos + 8, size))
        pos += 8 + size + (size & 1)
    return out


def wave(data):
    """The format fields and the interleaved 16-bit samples of a WAVE-extensible file."""
    found = {tag: (offset, size) for tag, offset, size in reversed(wave_chunks(data))}
    offset, size = found["fmt "]
    fmt = dict(zip(("tag", "channels", "rate", "byte_rate", "block_align", "bits", "cb_size",
                    "valid_bits", "mask"), struct.unpack_from("<HHIIHHHHI", data, offset)))
    fmt["fmt_size"] = size
    fmt["subformat"] = data[offset + 24:offset + 40]
    offset, size = found["data"]
    assert offset + size <= len(data), "data chunk past the end of the file"
    fmt["data_size"] = size
    fmt["samples"] = struct.unpack_from("<%dh" % (size // 2), data, offset)
    return fmt


ADPCM_FRAMES_PER_BLOCK = 64
ADPCM_CHANNEL_BLOCK = 36


def _ima_twin(data, rate, channels):
    """A standard IMA ADPCM WAVE file (tag 0x11, 65 samples per 36-byte channel block, the code bytes
    of the channels interleaved by 4) holding the same blocks as codec-2 data (each channel's 36
    bytes in turn)."""
    align = ADPCM_CHANNEL_BLOCK * channels
    body = bytearray()
    for start in range(0, len(data) - len(data) % align, align):
        blocks = [data[start + c * ADPCM_CHANNEL_BLOCK:start + (c + 1) * ADPCM_CHANNEL_BLOCK]
                  for c in range(channels)]
        for block in blocks:
            body += block[:4]
        for group in range(8):
            for block in blocks:
                body += block[4 + 4 * group:8 + 4 * group]
    fmt = struct.pack("<HHIIHHHH", 0x11, channels, rate, rate * align // 65, align, 4, 2, 65)
    riff = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(body)) + body
    return b"RIFF" + struct.pack("<I", len(riff)) + riff


def ffmpeg_ima_samples(path, channels):
    """ffmpeg's decode of a standard IMA ADPCM file, the 65th sample of each block dropped."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-"],
                         check=True, capture_output=True).stdout
    samples = struct.unpack("<%dh" % (len(raw) // 2), raw)
    per_block = 65 * channels
    out = []
    for start in range(0, len(samples) - len(samples) % per_block, per_block):
        out.append(samples[start:start + ADPCM_FRAMES_PER_BLOCK * channels])
    return [s for block in out for s in block]


def adpcm_wave(data):
    """The format fields and the interleaved 16-bit samples of a codec-2 ADPCM file (format tag 2),
    decoded by ffmpeg: the same blocks as a standard IMA ADPCM file (mono files, one per channel,
    above two channels), without the 65th sample of each block that the engine never plays."""
    found = {tag: (offset, size) for tag, offset, size in reversed(wave_chunks(data))}
    offset, size = found["fmt "]
    assert size >= 24, "an ADPCM format holds its configuration word"
    fmt = dict(zip(("tag", "channels", "rate", "byte_rate", "block_align", "bits", "cb_size",
                    "frames_per_block", "mask"), struct.unpack_from("<HHIIHHHHI", data, offset)))
    fmt["fmt_size"] = size
    offset, size = found["data"]
    assert offset + size <= len(data), "data chunk past the end of the file"
    fmt["data_size"] = size
    channels, body = fmt["channels"], data[offset:offset + size]
    with tempfile.TemporaryDirectory() as folder:
        def decode(part, count, name):
            path = os.path.join(folder, name)
            with open(path, "wb") as target:
                target.write(_ima_twin(part, fmt["rate"], count))
            return ffmpeg_ima_samples(path, count)
        if channels <= 2:
            samples = decode(body, channels, "twin.wav")
        else:
            align = ADPCM_CHANNEL_BLOCK * channels
            per_channel = [decode(b"".join(body[start + c * ADPCM_CHANNEL_BLOCK:start + (c + 1) * ADPCM_CHANNEL_BLOCK]
                                           for start in range(0, len(body) - len(body) % align, align)),
                                  1, "twin%d.wav" % c) for c in range(channels)]
            samples = [s for frame in zip(*per_channel) for s in frame]
    fmt["samples"] = tuple(samples)
    return fmt
